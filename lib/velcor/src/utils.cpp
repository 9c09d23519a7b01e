#include "libvelcor/utils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace libvelcor {
namespace utils {

int bytes2File(const QByteArray& bytes, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return -1;
    }
    return file.commit() ? 0 : -1;
}

int rmRec(const QString& path)
{
    if (path.isEmpty())
        return -1;
    const QFileInfo info(path);
    // A link is removed itself; its target is left alone.
    if (info.isSymLink())
        return QFile::remove(path) ? 0 : -1;
    if (!info.exists())
        return 0;
    if (!info.isDir())
        return QFile::remove(path) ? 0 : -1;
    // QDir::removeRecursively removes links inside the tree without
    // following them.
    return QDir(path).removeRecursively() ? 0 : -1;
}

} // namespace utils
} // namespace libvelcor
