#pragma once

#include <QByteArray>
#include <QString>

namespace libvelcor {
namespace utils {

// Writes bytes to path atomically: the old file stays whole when the write
// fails. 0 on success, -1 on failure.
int bytes2File(const QByteArray& bytes, const QString& path);
// Removes a file or a directory tree. A symbolic link is removed itself,
// never what it points to. A path that does not exist counts as removed.
// 0 on success, -1 on failure.
int rmRec(const QString& path);

} // namespace utils
} // namespace libvelcor
