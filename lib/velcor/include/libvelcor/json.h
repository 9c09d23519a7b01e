#pragma once

#include <QString>
#include <QVariant>

namespace libvelcor {
namespace json {

// JSON objects become QVariantMap, arrays QVariantList, null an invalid
// QVariant, and "" a non-null empty QString (readers count it as present).
// Integral numbers become int (or qlonglong when larger), others double.
QVariant parse(const QString& text, bool& ok);
QVariant parse(const QByteArray& utf8, bool& ok);
// Files over MaxFileSize are refused.
QVariant parseFromFile(const QString& path, bool& ok);
// Object members come out in ascending key order.
QString serialize(const QVariant& value, bool& ok);

constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

} // namespace json
} // namespace libvelcor
