#pragma once

// The program's logging statements, one per level:
//   LOG_TRACE;                                  entry of a function
//   LOG_DEBUG << "[Tag] text: " << value;       a message
// A statement prints while no configuration is loaded, or when the loaded
// log level is at least its threshold; otherwise its operands are not even
// evaluated. A printed line reads
//   <date> [<thread>] [<level>] [BastivaConnectApp:<file>:<function>():<line>] <message>
// and goes to Qt's message output as a debug message, escaped once: control
// characters are written as escapes and a backslash is doubled (see
// libvelcor::escapeLogText). Texts from pages, servers and the service
// cannot start a line of their own in the log, and each text operand is
// cut to MaxTextChars (see clipped). What a source outside the program
// causes is also limited in rate (common/loglimit.h).

#include <QByteArray>
#include <QDebug>
#include <QLatin1String>
#include <QString>
#include <QStringList>

#include <type_traits>

#include "common/config.h"

namespace ORVO {
namespace log {

class RateLimit;

// The longest text operand of a line, in characters.
constexpr int MaxTextChars = 4096;

// text cut to max characters (never half a surrogate pair), with a mark at
// its end that says how many were left out.
QString clipped(const QString& text, int max);

// What a line takes in the file: its UTF-8 bytes and its line break.
qint64 utf8Size(const QString& text);
// The start of a line up to its location: "<date> [0x<thread>] [<level>] [".
QString lineStart(const char* level);
// How many of this thread's lines a limit has left out so far.
quint64 linesLeftOut();

inline bool enabled(int threshold)
{
    const Config* cfg = g_cfg;
    return cfg == nullptr || cfg->logLevel >= threshold;
}

// While the program's message handler delivers a line, Qt does not call it
// again: a line logged meanwhile would only reach standard error. An object
// of this class, made by the handler, holds the lines that this thread's
// statements log until the handler takes them, after the current line;
// they are escaped already.
class HeldLines
{
public:
    HeldLines();
    ~HeldLines();
    HeldLines(const HeldLines&) = delete;
    HeldLines& operator=(const HeldLines&) = delete;

    // The oldest line held, taken; false when none is.
    bool take(QString* line);

private:
    QStringList lines;
    QStringList* outer;
};

// One log line being built; handed to Qt's message output when destroyed,
// if limit (else the scope's, common/loglimit.h), if any, takes it.
class Line
{
public:
    Line(const char* level, const char* file, const char* function, int line, int threshold,
         RateLimit* limit = nullptr);
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    Line& operator<<(const char* text);
    Line& operator<<(const QString& text);
    Line& operator<<(QLatin1String text);
    Line& operator<<(const QByteArray& bytes);
    Line& operator<<(bool value);
    Line& operator<<(char c);

    template <typename T> std::enable_if_t<std::is_integral<T>::value, Line&> operator<<(T value)
    {
        buffer += QString::number(value);
        return *this;
    }

    // Everything else in the notation of Qt's debug stream.
    template <typename T>
    std::enable_if_t<!std::is_integral<T>::value, Line&> operator<<(const T& value)
    {
        QString text;
        QDebug(&text).nospace() << value;
        buffer += clipped(text, MaxTextChars);
        return *this;
    }

private:
    QString buffer;
    const char* level;
    int threshold;
    RateLimit* limit;
};

// Makes Qt's messages that reach standard error without the file log
// (before it opens, after it closes: Qt's warnings, the service library's
// lines) escaped as the log escapes them, and limited as the log limits
// them. Called once, before any other message handler is installed: those
// hand their lines on to it.
void escapeStandardError();

// The file name of a path, for compilers without __FILE_NAME__.
constexpr const char* baseName(const char* path)
{
    const char* base = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '/')
            base = p + 1;
    }
    return base;
}

} // namespace log
} // namespace ORVO

#ifdef __FILE_NAME__
#define ORVO_LOG_FILE __FILE_NAME__
#else
#define ORVO_LOG_FILE ::ORVO::log::baseName(__FILE__)
#endif

// A loop that runs once or not at all, so the statement composes with if
// and else like a plain function call.
#define ORVO_LOG_AT(threshold, word)                                                               \
    for (bool orvoLogOnce_ = ::ORVO::log::enabled(threshold); orvoLogOnce_; orvoLogOnce_ = false)  \
    ::ORVO::log::Line(word, ORVO_LOG_FILE, __func__, __LINE__, threshold)

#define LOG_ALWAYS ORVO_LOG_AT(-1, "LOG")
#define LOG_ERROR ORVO_LOG_AT(3, "ERROR")
#define LOG_NOTICE ORVO_LOG_AT(5, "notice")
#define LOG_DEBUG ORVO_LOG_AT(6, "debug")
#define LOG_TRACE ORVO_LOG_AT(7, "trace")
