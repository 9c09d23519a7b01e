#include "common/log.h"

#include <QDateTime>
#include <QThread>

#include "common/loglimit.h"
#include "libvelcor/logger.h"

namespace ORVO {
namespace log {

namespace {

// Qt::TextDate text of the current second, in the system's language; the
// names stay characters (the line is encoded once, where it is written).
// Formatting a date is the costliest part of a line, and most lines of a
// second share it.
QString currentDateText()
{
    thread_local qint64 cachedSecond = -1;
    thread_local QString cachedText;
    const qint64 second = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (second != cachedSecond) {
        cachedText = QDateTime::fromSecsSinceEpoch(second).toString(Qt::TextDate);
        cachedSecond = second;
    }
    return cachedText;
}

} // namespace

qint64 utf8Size(const QString& text)
{
    qint64 size = 1;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        size += u < 0x80 ? 1 : u < 0x800 || QChar::isSurrogate(u) ? 2 : 3;
    }
    return size;
}

namespace {

// A line of the user's command as the file takes it: escaped, and cut so
// that it takes at most limits::UserLineBytes there, escapes and the mark
// included, however the page's text escapes.
QString userCommandLine(const QString& line)
{
    const QString whole = libvelcor::escapeLogText(line);
    if (utf8Size(whole) <= limits::UserLineBytes)
        return whole;
    // The most characters that fit, escaped and marked: a character takes a
    // byte at least.
    int fits = 0;
    for (int over = qMin<int>(line.size(), limits::UserLineBytes) + 1; over - fits > 1;) {
        const int mid = (fits + over) / 2;
        if (utf8Size(libvelcor::escapeLogText(clipped(line, mid))) <= limits::UserLineBytes)
            fits = mid;
        else
            over = mid;
    }
    return libvelcor::escapeLogText(clipped(line, fits));
}

// Where this thread's statements put their lines while a handler delivers.
thread_local QStringList* t_held = nullptr;
thread_local quint64 t_leftOut = 0;

// Qt's own handler, which writes standard error.
QtMessageHandler g_standardError = nullptr;

void standardErrorHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    const QString line = libvelcor::handledLine(type, context, msg);
    if (!line.isNull())
        libvelcor::passEscapedLine(g_standardError, type, context, line);
}

} // namespace

HeldLines::HeldLines() : outer(t_held)
{
    t_held = &lines;
}

HeldLines::~HeldLines()
{
    t_held = outer;
}

void escapeStandardError()
{
    if (!g_standardError)
        g_standardError = qInstallMessageHandler(&standardErrorHandler);
}

QString clipped(const QString& text, int max)
{
    if (text.size() <= max)
        return text;
    int keep = max;
    if (keep > 0 && text.at(keep - 1).isHighSurrogate())
        --keep;
    const QString mark =
        QStringLiteral(" \u2026 (cut: %1 more characters)").arg(text.size() - keep);
    // Built to its exact size, without the room that joining strings leaves.
    QString out;
    out.reserve(keep + mark.size());
    out.append(text.constData(), keep);
    out.append(mark);
    return out;
}

quint64 linesLeftOut()
{
    return t_leftOut;
}

bool HeldLines::take(QString* line)
{
    if (lines.isEmpty())
        return false;
    *line = lines.takeFirst();
    return true;
}

QString lineStart(const char* level)
{
    QString start;
    start.reserve(160);
    start += currentDateText();
    start += QLatin1String(" [0x");
    start += QString::number(reinterpret_cast<quintptr>(QThread::currentThreadId()), 16);
    start += QLatin1String("] [");
    start += QLatin1String(level);
    start += QLatin1String("] [");
    return start;
}

Line::Line(const char* level, const char* file, const char* function, int line, int threshold,
           RateLimit* limit)
    : buffer(lineStart(level)), level(level), threshold(threshold), limit(limit)
{
    buffer += QLatin1String("BastivaConnectApp:");
    buffer += QLatin1String(file);
    buffer += QLatin1Char(':');
    buffer += QLatin1String(function);
    buffer += QLatin1String("():");
    buffer += QString::number(line);
    buffer += QLatin1String("] ");
}

Line::~Line()
{
    LimitScope* scope = nullptr;
    if (!limit)
        LimitScope::current(&scope);
    // A line of the user's command is short, however long what a page put
    // in it.
    const QString text = scope && scope->isUserCommand() ? userCommandLine(buffer)
                                                         : libvelcor::escapeLogText(buffer);
    // Built whole also when it is left out: how much a flood asks for is
    // what tells when it has ended.
    const qint64 bytes = utf8Size(text);
    if (limit ? !limit->take(threshold, level, bytes)
              : scope && !scope->take(threshold, level, bytes)) {
        ++t_leftOut;
        return;
    }
    if (t_held)
        t_held->append(text);
    else
        libvelcor::outputEscapedLine(QtDebugMsg, text);
}

Line& Line::operator<<(const char* text)
{
    buffer += clipped(QString::fromUtf8(text), MaxTextChars);
    return *this;
}

Line& Line::operator<<(const QString& text)
{
    // Quoted but not escaped, so the log shows the text as it is.
    buffer += QLatin1Char('"');
    buffer += clipped(text, MaxTextChars);
    buffer += QLatin1Char('"');
    return *this;
}

Line& Line::operator<<(QLatin1String text)
{
    return *this << QString(text);
}

Line& Line::operator<<(const QByteArray& bytes)
{
    return *this << QString::fromUtf8(bytes);
}

Line& Line::operator<<(bool value)
{
    buffer += value ? QLatin1String("true") : QLatin1String("false");
    return *this;
}

Line& Line::operator<<(char c)
{
    buffer += QLatin1Char(c);
    return *this;
}

} // namespace log
} // namespace ORVO
