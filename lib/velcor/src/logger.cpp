#include "libvelcor/logger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>

namespace libvelcor {

namespace {
// The logger whose handler is installed; Qt has one message handler per
// process, so only one logger can be open at a time.
std::atomic<Logger*> g_active{nullptr};
std::atomic<FILE*> g_file{nullptr};
std::atomic<QtMessageHandler> g_previous{nullptr};
} // namespace

Logger::Logger(QObject* parent) : QObject(parent) {}

Logger::~Logger()
{
    close();
}

void Logger::setPath(const QString& value)
{
    path = value;
}

int Logger::open()
{
    if (file)
        return 0;
    if (path.isEmpty() || g_active.load())
        return -1;
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return -1;
    FILE* f = std::fopen(QFile::encodeName(info.absoluteFilePath()).constData(), "ae");
    if (!f)
        return -1;
    // Line buffering: a crash loses at most the line being written.
    std::setvbuf(f, nullptr, _IOLBF, 64 * 1024);
    file = f;
    g_file.store(f);
    g_active.store(this);
    previous = qInstallMessageHandler(&Logger::handler);
    g_previous.store(previous);
    return 0;
}

void Logger::close()
{
    if (!file)
        return;
    qInstallMessageHandler(previous);
    g_active.store(nullptr);
    g_file.store(nullptr);
    g_previous.store(nullptr);
    std::fclose(file);
    file = nullptr;
    previous = nullptr;
}

void Logger::handler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    if (FILE* f = g_file.load()) {
        const QByteArray line = msg.toLocal8Bit();
        // One call per line keeps the lines of two threads apart.
        flockfile(f);
        fwrite_unlocked(line.constData(), 1, static_cast<size_t>(line.size()), f);
        fputc_unlocked('\n', f);
        funlockfile(f);
    }
    // Qt hands back its default handler when none was installed before.
    if (QtMessageHandler prev = g_previous.load())
        prev(type, context, msg);
}

} // namespace libvelcor
