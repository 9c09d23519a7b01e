#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVariant>

#include "libvelcor/auth.h"
#include "libvelcor/error.h"
#include "libvelcor/params.h"

// The line protocol between libvelcor and the local service, shared by the
// library and the service simulator. docs/service-protocol.md describes
// every message.
namespace libvelcor {
namespace protocol {

constexpr int Version = 1;
// Longest protocol line accepted, without its "\n".
constexpr int MaxLineSize = 1024 * 1024;
// Longest service log line kept whole; longer ones are cut and marked.
constexpr int MaxLogLineSize = 64 * 1024;
// Appended to a log line that was cut.
constexpr const char* CutMarker = " [line cut]";

// True when data holds well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool isValidUtf8(const char* data, int size);

// One line (without its "\n") into a message object. On failure returns
// false and says why in error; the line is then to be dropped.
bool decodeLine(const char* data, int size, QJsonObject& message, QString& error);
// A message as one line with its "\n".
QByteArray encode(const QJsonObject& message);

QString messageType(const QJsonObject& message);
// A request id: a positive integer below 2^53, else -1.
qint64 messageId(const QJsonObject& message);

// Numbers arrive as doubles; they are range-checked as doubles before any
// conversion, as converting one outside the target type is undefined.
// True when value is a whole number from min to max (both within +-2^53).
bool wholeNumber(const QJsonValue& value, double min, double max, qint64& out);
// True when value is a whole number an int holds.
bool intValue(const QJsonValue& value, int& out);

// Tells the service's log lines from anything else. A log line is
// "<date and time> [<thread>] [<level>] [<location>]", then its end or a
// blank and the message (any text). The date and time has the shape of
// Qt's text date form in any language: words between blanks (a space, a
// no-break space or a narrow one), exactly one the time (H:MM:SS or
// HH:MM:SS) and one a year of four digits, the others any text without a
// control character, a bracket or a "/"; valid UTF-8, at most 128 bytes.
// The thread is printable ASCII without blanks, the level a word of ASCII
// letters, the location any text without an ASCII control character
// (bytes from 0x80 up are taken as they come: the log escapes what it
// writes); none of the three is empty or holds a bracket. A sender's lines
// mostly share one second, so the last date found good is kept and not
// looked at again.
class LogLineCheck
{
public:
    bool accepts(const char* data, int size);

private:
    QByteArray lastDate;
};

QJsonObject authToJson(const Auth& auth);
// False when a member is missing or of the wrong type, or the credential
// refuses a value.
bool authFromJson(const QJsonValue& value, Auth& auth);

QJsonValue paramsToJson(const Params& params);
// An array of [name, value] pairs of strings.
bool paramsFromJson(const QJsonValue& value, Params& params);

QJsonObject errorToJson(const Error& error);

// QVariant <-> JSON for configuration maps: "" stays a non-null string.
QJsonValue variantToJson(const QVariant& value);
QVariant jsonToVariant(const QJsonValue& value);

// Deep merge used by the service for configuration fragments: nested maps
// are merged key by key, any other value replaces the held one.
QVariantMap mergeMaps(const QVariantMap& held, const QVariantMap& fragment);

// A credential or message with its password replaced, for log lines.
QString maskedAuth(const Auth& auth);

} // namespace protocol
} // namespace libvelcor
