#include "libvelcor/json.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace libvelcor {
namespace json {

namespace {

QVariant fromJson(const QJsonValue& value);

QVariant fromNumber(double d)
{
    double whole = 0;
    if (std::modf(d, &whole) == 0.0) {
        if (whole >= std::numeric_limits<int>::min() && whole <= std::numeric_limits<int>::max())
            return QVariant(static_cast<int>(whole));
        // Integers beyond 2^53 have lost precision already; keep them double.
        if (std::fabs(whole) <= 9007199254740992.0)
            return QVariant(static_cast<qlonglong>(whole));
    }
    return QVariant(d);
}

QVariant fromJson(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return QVariant();
    case QJsonValue::Bool:
        return QVariant(value.toBool());
    case QJsonValue::Double:
        return fromNumber(value.toDouble());
    case QJsonValue::String: {
        QString s = value.toString();
        // An empty string must stay non-null: readers test presence with
        // isNull(), and "" is present.
        if (s.isNull())
            s = QLatin1String("");
        return QVariant(s);
    }
    case QJsonValue::Array: {
        QVariantList list;
        const QJsonArray array = value.toArray();
        list.reserve(array.size());
        for (const QJsonValue& item : array)
            list.append(fromJson(item));
        return list;
    }
    case QJsonValue::Object: {
        QVariantMap map;
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            map.insert(it.key(), fromJson(it.value()));
        return map;
    }
    }
    return QVariant();
}

bool toJson(const QVariant& value, QJsonValue& out, int depth);

bool toJsonObject(const QVariantMap& map, QJsonValue& out, int depth)
{
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it) {
        QJsonValue item;
        if (!toJson(it.value(), item, depth + 1))
            return false;
        object.insert(it.key(), item);
    }
    out = object;
    return true;
}

bool toJson(const QVariant& value, QJsonValue& out, int depth)
{
    // Guards against self-referencing structures built by mistake.
    if (depth > 256)
        return false;
    if (!value.isValid()) {
        out = QJsonValue(QJsonValue::Null);
        return true;
    }
    switch (static_cast<int>(value.type())) {
    case QMetaType::Bool:
        out = value.toBool();
        return true;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
        out = static_cast<double>(value.toLongLong());
        return true;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        // Through the unsigned type: above 2^63 the signed one turns negative.
        out = static_cast<double>(value.toULongLong());
        return true;
    case QMetaType::Double:
    case QMetaType::Float:
        out = value.toDouble();
        return true;
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar:
    case QMetaType::QUrl:
        out = value.toString();
        return true;
    case QMetaType::QVariantMap:
        return toJsonObject(value.toMap(), out, depth);
    case QMetaType::QVariantHash: {
        QVariantMap map;
        const QVariantHash hash = value.toHash();
        for (auto it = hash.begin(); it != hash.end(); ++it)
            map.insert(it.key(), it.value());
        return toJsonObject(map, out, depth);
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QJsonArray array;
        const QVariantList list = value.toList();
        for (const QVariant& item : list) {
            QJsonValue v;
            if (!toJson(item, v, depth + 1))
                return false;
            array.append(v);
        }
        out = array;
        return true;
    }
    default:
        if (value.canConvert<QString>()) {
            out = value.toString();
            return true;
        }
        return false;
    }
}

} // namespace

QVariant parse(const QByteArray& utf8, bool& ok)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError || doc.isNull()) {
        ok = false;
        return QVariant();
    }
    ok = true;
    if (doc.isObject())
        return fromJson(doc.object());
    return fromJson(doc.array());
}

QVariant parse(const QString& text, bool& ok)
{
    return parse(text.toUtf8(), ok);
}

QVariant parseFromFile(const QString& path, bool& ok)
{
    ok = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QVariant();
    if (file.size() > MaxFileSize)
        return QVariant();
    // A buffer sized to the file: one of the whole limit for every small
    // file costs dearly under the sanitizers. A file that tells no size (a
    // device) is read up to the limit, one that grew while read likewise.
    const qint64 size = file.size();
    QByteArray bytes = file.read(size > 0 ? size + 1 : MaxFileSize + 1);
    if (size > 0 && bytes.size() > size)
        bytes += file.read(MaxFileSize + 1 - bytes.size());
    if (bytes.size() > MaxFileSize)
        return QVariant();
    return parse(bytes, ok);
}

QString serialize(const QVariant& value, bool& ok)
{
    QJsonValue json;
    ok = toJson(value, json, 0);
    if (!ok)
        return QString();
    if (json.isObject() || json.isArray()) {
        const QJsonDocument doc =
            json.isObject() ? QJsonDocument(json.toObject()) : QJsonDocument(json.toArray());
        QByteArray text = doc.toJson(QJsonDocument::Indented);
        if (text.endsWith('\n'))
            text.chop(1);
        return QString::fromUtf8(text);
    }
    // A scalar: serialise it inside an array and take the element's text.
    QByteArray text = QJsonDocument(QJsonArray{json}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.mid(1, text.size() - 2));
}

} // namespace json
} // namespace libvelcor
