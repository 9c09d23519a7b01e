#pragma once

#include <QDateTime>
#include <QDebug>
#include <QThread>

#include <cstring>

#include "libvelcor/logger.h"
#include "libvelcor/loglevel.h"

// The library's log lines, in the program's line shape (date and time,
// thread, level word and location in square brackets, then the message),
// filtered on the library's own level g_libvelcorLogLev.
namespace libvelcor {
namespace detail {

inline const char* baseName(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// One line being built, handed to Qt's message output, escaped, when the
// statement ends. Operands are written in the debug stream's notation, but a
// text is quoted, as in the program's own lines. The line is the library's
// own, as the program's are: no filter of Qt's messages holds it back.
class LogLine
{
public:
    LogLine(const char* level, const char* file, const char* func, int line) : d(&text)
    {
        d.nospace().noquote();
        d << QDateTime::currentDateTime().toString(Qt::TextDate) << " ["
          << static_cast<void*>(QThread::currentThreadId()) << "] [" << level
          << "] [libvelcor:" << baseName(file) << ":" << func << "():" << line << "] ";
    }
    ~LogLine() { outputEscapedLine(QtDebugMsg, escapeLogText(text)); }
    LogLine(const LogLine&) = delete;
    LogLine& operator=(const LogLine&) = delete;

    LogLine& operator<<(const QString& value)
    {
        d << '"' << value << '"';
        return *this;
    }
    LogLine& operator<<(QLatin1String value) { return *this << QString(value); }
    LogLine& operator<<(const QByteArray& bytes) { return *this << QString::fromUtf8(bytes); }
    template <typename T> LogLine& operator<<(const T& value)
    {
        d << value;
        return *this;
    }

private:
    QString text;
    QDebug d;
};

} // namespace detail
} // namespace libvelcor

// A loop of at most one pass, so the macro is safe after a bare if.
#define VLOG_AT(lev, word)                                                                         \
    for (bool vlogOnce_ = g_libvelcorLogLev >= (lev); vlogOnce_; vlogOnce_ = false)                \
    libvelcor::detail::LogLine(word, __FILE__, __func__, __LINE__)

#define VLOG_ERROR VLOG_AT(3, "ERROR")
#define VLOG_NOTICE VLOG_AT(5, "notice")
#define VLOG_DEBUG VLOG_AT(6, "debug")
#define VLOG_TRACE VLOG_AT(7, "trace")
