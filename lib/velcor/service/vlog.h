#pragma once

#include <QDateTime>
#include <QDebug>
#include <QThread>

#include <cstring>
#include <utility>

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

// One line being built, handed to Qt's message output when the statement
// ends. Operands are written in the debug stream's notation, but a text is
// quoted and not escaped, as in the program's own lines: a line is escaped
// once, by the message handler (libvelcor::handledLogText).
class LogLine
{
public:
    explicit LogLine(QDebug stream) : d(std::move(stream)) {}

    LogLine& operator<<(const QString& text)
    {
        d << '"' << text << '"';
        return *this;
    }
    LogLine& operator<<(QLatin1String text) { return *this << QString(text); }
    LogLine& operator<<(const QByteArray& bytes) { return *this << QString::fromUtf8(bytes); }
    template <typename T> LogLine& operator<<(const T& value)
    {
        d << value;
        return *this;
    }

private:
    QDebug d;
};

inline LogLine logLine(const char* level, const char* file, const char* func, int line)
{
    QDebug d = QMessageLogger(nullptr, 0, nullptr).debug();
    d.nospace().noquote();
    d << QDateTime::currentDateTime().toString(Qt::TextDate) << " ["
      << static_cast<void*>(QThread::currentThreadId()) << "] [" << level
      << "] [libvelcor:" << baseName(file) << ":" << func << "():" << line << "] ";
    return LogLine(d);
}

} // namespace detail
} // namespace libvelcor

// A loop of at most one pass, so the macro is safe after a bare if.
#define VLOG_AT(lev, word)                                                                         \
    for (bool vlogOnce_ = g_libvelcorLogLev >= (lev); vlogOnce_; vlogOnce_ = false)                \
    libvelcor::detail::logLine(word, __FILE__, __func__, __LINE__)

#define VLOG_ERROR VLOG_AT(3, "ERROR")
#define VLOG_NOTICE VLOG_AT(5, "notice")
#define VLOG_DEBUG VLOG_AT(6, "debug")
#define VLOG_TRACE VLOG_AT(7, "trace")
