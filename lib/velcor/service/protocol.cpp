#include "protocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <climits>
#include <cmath>
#include <cstring>

namespace libvelcor {
namespace protocol {

namespace {

// The length of the well-formed UTF-8 sequence of a non-ASCII lead byte at
// p, its code point in cp; 0 when it is not well-formed (an overlong form,
// a surrogate, above U+10FFFF, cut by end).
inline int utf8Sequence(const unsigned char* p, const unsigned char* end, unsigned int& cp)
{
    const unsigned char c = *p;
    int extra = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        extra = 1;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (end - p <= extra)
        return 0;
    for (int i = 1; i <= extra; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return extra + 1;
}

} // namespace

bool isValidUtf8(const char* data, int size)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* end = p + size;
    while (p < end) {
        // Runs of ASCII are the common case.
        if (*p < 0x80) {
            ++p;
            continue;
        }
        unsigned int cp = 0;
        const int n = utf8Sequence(p, end, cp);
        if (n == 0)
            return false;
        p += n;
    }
    return true;
}

bool decodeLine(const char* data, int size, QJsonObject& message, QString& error)
{
    if (size > MaxLineSize) {
        error = QStringLiteral("line longer than %1 bytes").arg(MaxLineSize);
        return false;
    }
    if (size > 0 && std::memchr(data, '\0', size_t(size))) {
        error = QStringLiteral("NUL byte in line");
        return false;
    }
    if (!isValidUtf8(data, size)) {
        error = QStringLiteral("line is not valid UTF-8");
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromRawData(data, size), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = QStringLiteral("malformed JSON at offset %1: %2")
                    .arg(parseError.offset)
                    .arg(parseError.errorString());
        return false;
    }
    if (!doc.isObject()) {
        error = QStringLiteral("message is not a JSON object");
        return false;
    }
    message = doc.object();
    const QJsonValue type = message.value(QLatin1String("type"));
    if (!type.isString() || type.toString().isEmpty()) {
        error = QStringLiteral("message without a type");
        return false;
    }
    return true;
}

QByteArray encode(const QJsonObject& message)
{
    QByteArray line = QJsonDocument(message).toJson(QJsonDocument::Compact);
    line.append('\n');
    return line;
}

QString messageType(const QJsonObject& message)
{
    return message.value(QLatin1String("type")).toString();
}

qint64 messageId(const QJsonObject& message)
{
    // An id above 2^53 reaches us rounded to a neighbour: only the range
    // where every integer is exact is taken.
    qint64 id = 0;
    if (!wholeNumber(message.value(QLatin1String("id")), 1, 9007199254740991.0, id))
        return -1;
    return id;
}

bool wholeNumber(const QJsonValue& value, double min, double max, qint64& out)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    // Written so that NaN fails too.
    if (!(d >= min && d <= max) || std::trunc(d) != d)
        return false;
    out = qint64(d);
    return true;
}

bool intValue(const QJsonValue& value, int& out)
{
    qint64 n = 0;
    if (!wholeNumber(value, INT_MIN, INT_MAX, n))
        return false;
    out = int(n);
    return true;
}

namespace {

// What each field of a log line's head may hold, one bit per field.
enum LogField : unsigned char { Thread = 1, Level = 2, Location = 4 };

struct LogFieldBytes
{
    unsigned char allowed[256] = {};
    constexpr LogFieldBytes()
    {
        for (int c = 0x20; c < 256; ++c) {
            if (c == 0x7f || c == '[' || c == ']')
                continue;
            allowed[c] = Location;
            if (c > ' ' && c < 0x80)
                allowed[c] |= Thread;
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
                allowed[c] |= Level;
        }
    }
};

constexpr LogFieldBytes logFieldBytes;

// Longest date and time taken, in bytes: Qt's longest, of every language
// it knows, takes 80.
constexpr int MaxLogDateSize = 128;

bool isDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// "H:MM:SS" or "HH:MM:SS".
bool timeShape(const unsigned char* p, int size)
{
    if (size == 8 && isDigit(*p))
        ++p;
    else if (size != 7)
        return false;
    return isDigit(p[0]) && p[1] == ':' && isDigit(p[2]) && isDigit(p[3]) && p[4] == ':' &&
           isDigit(p[5]) && isDigit(p[6]);
}

bool yearShape(const unsigned char* p, int size)
{
    return size == 4 && isDigit(p[0]) && isDigit(p[1]) && isDigit(p[2]) && isDigit(p[3]);
}

// The length of the blank at p (a space, a no-break space or a narrow
// no-break space, which some languages put inside a month's name), else 0.
int blankAt(const unsigned char* p, const unsigned char* end)
{
    if (*p == ' ')
        return 1;
    if (p[0] == 0xC2 && end - p >= 2 && p[1] == 0xA0)
        return 2;
    if (p[0] == 0xE2 && end - p >= 3 && p[1] == 0x80 && p[2] == 0xAF)
        return 3;
    return 0;
}

// The shape of the date and time that Qt's text date form writes in any
// language ("Mon Dec 7 08:43:01 2026"; Catalan names hold U+2019, Mongolian
// ones a hyphen and a blank, Sanskrit ones a colon): words between blanks,
// exactly one the time and one a year of four digits; the others are the
// names and the day, whatever their script writes there. Only the shape
// counts: Qt cannot read back most languages' dates, and a local time in a
// daylight-saving gap is no time at all where the service's zone differs.
// Refused are control characters, invalid UTF-8, brackets and "/": every
// HTTP request line (a WebSocket handshake is one) has a "/" before its
// first "[", so no request is taken for a log line, and its headers never
// come to be read.
bool logDateShape(const unsigned char* p, const unsigned char* end)
{
    if (end - p > MaxLogDateSize)
        return false;
    int times = 0;
    int years = 0;
    while (p < end) {
        if (const int blank = blankAt(p, end)) {
            p += blank;
            continue;
        }
        const unsigned char* word = p;
        while (p < end && !blankAt(p, end)) {
            const unsigned char c = *p;
            if (c >= 0x80) {
                unsigned int cp = 0;
                const int n = utf8Sequence(p, end, cp);
                // No C1 control either.
                if (n == 0 || cp <= 0x9F)
                    return false;
                p += n;
                continue;
            }
            if (c < 0x20 || c == 0x7F || c == '/' || c == '[' || c == ']')
                return false;
            ++p;
        }
        const int size = int(p - word);
        if (timeShape(word, size))
            ++times;
        else if (yearShape(word, size))
            ++years;
    }
    return times == 1 && years == 1;
}

} // namespace

bool LogLineCheck::accepts(const char* data, int size)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* end = p + size;
    const unsigned char* open =
        static_cast<const unsigned char*>(std::memchr(p, '[', size_t(size)));
    if (!open || open - p < 2 || open[-1] != ' ')
        return false;
    const int dateSize = int(open - 1 - p);
    if (dateSize != lastDate.size() || std::memcmp(data, lastDate.constData(), size_t(dateSize))) {
        if (!logDateShape(p, open - 1))
            return false;
        lastDate = QByteArray(data, dateSize);
    }
    p = open;
    for (const LogField field : {Thread, Level, Location}) {
        if (field != Thread) {
            if (end - p < 2 || p[0] != ' ' || p[1] != '[')
                return false;
            ++p;
        }
        const unsigned char* start = ++p;
        while (p < end && (logFieldBytes.allowed[*p] & field))
            ++p;
        if (p == end || *p != ']' || p == start)
            return false;
        ++p;
    }
    return p == end || *p == ' ';
}

QJsonObject authToJson(const Auth& auth)
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), int(auth.getId()));
    o.insert(QStringLiteral("type"), int(auth.getType()));
    o.insert(QStringLiteral("url"), auth.getUrl());
    o.insert(QStringLiteral("user"), auth.getUser());
    o.insert(QStringLiteral("pass"), auth.getPass());
    o.insert(QStringLiteral("path"), auth.getPath());
    return o;
}

namespace {

bool intMember(const QJsonObject& o, const char* name, int& out)
{
    return intValue(o.value(QLatin1String(name)), out);
}

bool stringMember(const QJsonObject& o, const char* name, QString& out)
{
    const QJsonValue v = o.value(QLatin1String(name));
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

} // namespace

bool authFromJson(const QJsonValue& value, Auth& auth)
{
    if (!value.isObject())
        return false;
    const QJsonObject o = value.toObject();
    int id = 0;
    int type = 0;
    QString url, user, pass, path;
    if (!intMember(o, "id", id) || !intMember(o, "type", type) || !stringMember(o, "url", url) ||
        !stringMember(o, "user", user) || !stringMember(o, "pass", pass) ||
        !stringMember(o, "path", path))
        return false;
    if ((id != Auth::ProfileId && id != Auth::ProxyId) ||
        (type != Auth::NoneType && type != Auth::UserPassType && type != Auth::CertificateType))
        return false;
    auth = Auth(Auth::Id(id), Auth::Type(type), url, user, pass, path);
    return true;
}

QJsonValue paramsToJson(const Params& params)
{
    QJsonArray array;
    for (const auto& p : params)
        array.append(QJsonArray{p.first, p.second});
    return array;
}

bool paramsFromJson(const QJsonValue& value, Params& params)
{
    if (!value.isArray())
        return false;
    Params out;
    const QJsonArray array = value.toArray();
    for (const QJsonValue& item : array) {
        if (!item.isArray())
            return false;
        const QJsonArray pair = item.toArray();
        if (pair.size() != 2 || !pair.at(0).isString() || !pair.at(1).isString())
            return false;
        out.append(qMakePair(pair.at(0).toString(), pair.at(1).toString()));
    }
    params = out;
    return true;
}

QJsonObject errorToJson(const Error& error)
{
    QJsonObject o;
    o.insert(QStringLiteral("code"), error.getCode());
    o.insert(QStringLiteral("desc"), error.getDesc());
    o.insert(QStringLiteral("extra"), error.getExtra());
    return o;
}

QJsonValue variantToJson(const QVariant& value)
{
    return QJsonValue::fromVariant(value);
}

QVariant jsonToVariant(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String: {
        QString s = value.toString();
        if (s.isNull())
            s = QLatin1String("");
        return s;
    }
    case QJsonValue::Array: {
        QVariantList list;
        const QJsonArray array = value.toArray();
        for (const QJsonValue& item : array)
            list.append(jsonToVariant(item));
        return list;
    }
    case QJsonValue::Object: {
        QVariantMap map;
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            map.insert(it.key(), jsonToVariant(it.value()));
        return map;
    }
    case QJsonValue::Double: {
        // Whole numbers an int holds become ints; any other number stays a
        // double.
        int n = 0;
        if (intValue(value, n))
            return n;
        return value.toDouble();
    }
    case QJsonValue::Bool:
        return value.toBool();
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return QVariant();
}

QVariantMap mergeMaps(const QVariantMap& held, const QVariantMap& fragment)
{
    QVariantMap out = held;
    for (auto it = fragment.begin(); it != fragment.end(); ++it) {
        const QVariant heldValue = out.value(it.key());
        if (heldValue.type() == QVariant::Map && it.value().type() == QVariant::Map)
            out.insert(it.key(), mergeMaps(heldValue.toMap(), it.value().toMap()));
        else
            out.insert(it.key(), it.value());
    }
    return out;
}

QString maskedAuth(const Auth& auth)
{
    return QStringLiteral("id=%1 type=%2 url=%3 user=%4 pass=%5 path=%6")
        .arg(int(auth.getId()))
        .arg(int(auth.getType()))
        .arg(auth.getUrl(), auth.getUser(),
             auth.getPass().isEmpty() ? QStringLiteral("(empty)") : QStringLiteral("(set)"),
             auth.getPath());
}

} // namespace protocol
} // namespace libvelcor
