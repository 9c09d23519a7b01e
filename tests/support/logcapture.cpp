#include "logcapture.h"

#include <QLocale>
#include <QMutex>

#include "libvelcor/logger.h"

namespace orvotest {

namespace {

QMutex g_mutex;
QStringList g_lines;
QtMessageHandler g_previous = nullptr;
int g_depth = 0;

void handler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    {
        QMutexLocker lock(&g_mutex);
        g_lines << msg;
    }
    if (msg.contains(QLatin1String("QObject::connect")) && g_previous)
        g_previous(type, context, msg);
}

} // namespace

LogCapture::LogCapture()
{
    QMutexLocker lock(&g_mutex);
    if (g_depth++ == 0) {
        g_lines.clear();
        g_previous = qInstallMessageHandler(handler);
    }
}

LogCapture::~LogCapture()
{
    QMutexLocker lock(&g_mutex);
    if (--g_depth == 0) {
        qInstallMessageHandler(g_previous);
        g_previous = nullptr;
    }
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&g_mutex);
    return g_lines;
}

QStringList LogCapture::linesAt(const QString& levelWord) const
{
    QStringList out;
    for (const QString& line : lines()) {
        const QRegularExpressionMatch m = lineShape().match(line);
        if (m.hasMatch() && m.captured(QStringLiteral("level")) == levelWord)
            out << line;
    }
    return out;
}

int LogCapture::count(const QRegularExpression& re) const
{
    int n = 0;
    for (const QString& line : lines()) {
        if (re.match(line).hasMatch())
            ++n;
    }
    return n;
}

bool LogCapture::contains(const QString& text) const
{
    for (const QString& line : lines()) {
        if (line.contains(text))
            return true;
    }
    return false;
}

void LogCapture::clear()
{
    QMutexLocker lock(&g_mutex);
    g_lines.clear();
}

namespace {

// The short day or month names of the system's language and of the C
// locale, as they are and as the log escapes them (a name may hold a
// joiner), as the alternatives of a pattern.
QString shortNames(QString (QLocale::*name)(int, QLocale::FormatType) const, int count)
{
    QStringList names;
    for (const QLocale& locale : {QLocale::system(), QLocale::c()}) {
        for (int i = 1; i <= count; ++i) {
            const QString text = (locale.*name)(i, QLocale::ShortFormat);
            for (const QString& form : {text, libvelcor::escapeLogText(text)})
                names << QRegularExpression::escape(form);
        }
    }
    names.removeDuplicates();
    return QLatin1String("(?:") + names.join(QLatin1Char('|')) + QLatin1Char(')');
}

} // namespace

const QRegularExpression& LogCapture::lineShape()
{
    // The day's and month's names are the system's (or English ones), in any
    // language: they may hold dots, blanks and letters beyond ASCII.
    static const QRegularExpression re(
        QStringLiteral("^(?<date>") + shortNames(&QLocale::dayName, 7) + QLatin1Char(' ') +
            shortNames(&QLocale::monthName, 12) +
            QStringLiteral(
                R"( [1-9]\d? \d\d:\d\d:\d\d \d{4}) )"
                R"(\[(?<thread>0x[0-9a-f]+)\] \[(?<level>LOG|FATAL|ERROR|warning|notice|debug|trace)\] )"
                R"(\[BastivaConnectApp:(?<file>[^:\[\]]+):(?<function>[^\[\]]*)\(\):(?<line>\d+)\] )"
                R"((?<message>.*)$)"),
        QRegularExpression::DotMatchesEverythingOption);
    return re;
}

} // namespace orvotest
