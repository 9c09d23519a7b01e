#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QStringList>
#include <QVariant>

class QUrl;
struct stat;

namespace ORVO {
namespace utils {

// Makes a file readable by its owner only: group and other bits dropped;
// with create, a missing file is created empty (0600). 0, or -1 with
// problem naming the file and the reason.
int makeFilePrivate(const QString& path, bool create, QString& problem);
// The text of a style sheet; each path is read once per process, failures
// included (they give, and cache, the empty text).
QString loadStyleSheet(QString path);
// "[N day(s), ]hh:mm:ss".
QString seconds2Human(int seconds);
QString stringPad(int number, int width);
// Every "+" becomes a blank; nothing else is decoded.
QString remapQueryItem(const QString& item);
QString resolvePath(QString path);
int pid2Int(qint64 pid);
bool caseInsensitiveLessThan(const QString& a, const QString& b);

// Writes one line to the standard error stream at once: where the program
// has no windows, what a box would show goes there. The text is escaped as
// the log escapes it (libvelcor::escapeLogText): a text from outside cannot
// send the terminal a control sequence or start a line of its own.
void printErr(const QString& text);
// Each of the lines escaped so, written at once: the program's own line
// breaks between texts.
void printErr(const QStringList& lines);

// Texts from outside the program (the service, the management server) as
// a box or a line on standard error shows them: at most maxChars
// characters and maxLines lines, a cut marked by DisplayCutMark at its end.
// The log keeps its own limit.
constexpr int DisplayMaxChars = 2000;
constexpr int DisplayMaxLines = 30;
extern const char DisplayCutMark[];
QString cutForDisplay(const QString& text, int maxChars = DisplayMaxChars,
                      int maxLines = DisplayMaxLines);

// The C library's text for an errno value, first letter in lower case so
// that it reads inside a sentence ("permission denied").
QString errnoText(int code);
// The last part of a file name that a server proposes ("a/b\\c.txt" gives
// "c.txt"; "." and ".." give ""), so that it can only name a file in a
// folder the user chose.
QString bareFileName(const QString& name);
// True when both URLs name the same web origin: the same scheme, host and
// port (a missing port counts as the scheme's default). A URL without a
// host is the origin of nothing.
bool isSameOrigin(const QUrl& a, const QUrl& b);
// How the management server is reached with a credential of this type: a
// certificate sign-in over https, any other over http.
QString serverScheme(int authType);
// Why QDir::mkpath could not make dir: the deepest part of it that exists
// is not a folder, or cannot be written into.
QString mkpathFailure(const QString& dir);

// Reads a regular file of at most maxSize bytes; nothing else is opened
// (a FIFO would wait for a writer, a device may act on being opened). 0, or
// -1 with problem saying what is wrong, to follow the file's path in a
// sentence: "does not exist", "is a directory, not a file", "is not a
// regular file but a FIFO", "cannot be read: permission denied", "is too
// large: ...".
int readRegularFile(const QString& path, qint64 maxSize, QByteArray& bytes, QString& problem);
// Why a file of this status is not a regular one, in the words above ("is a
// directory, not a file", "is not a regular file but a FIFO"); empty for a
// regular file.
QString notRegular(const struct stat& st);
// Writes bytes to target atomically (libvelcor::utils::AtomicFile), so a
// failure never leaves a partial or missing target behind. perms, when
// given, are set before any byte is written. 0, or -1 with problem naming
// the file and the reason.
int writeReplacing(const QByteArray& bytes, const QString& target, QFileDevice::Permissions perms,
                   QString& problem);

} // namespace utils
} // namespace ORVO
