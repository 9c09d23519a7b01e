#include "libvelcor/logger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace libvelcor {

namespace {
// The logger whose handler is installed; Qt has one message handler per
// process, so only one logger can be open at a time.
std::atomic<Logger*> g_active{nullptr};
std::atomic<FILE*> g_file{nullptr};
std::atomic<QtMessageHandler> g_previous{nullptr};

QString errnoText(int code)
{
    QString text = QString::fromLocal8Bit(std::strerror(code));
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return text;
}

// Why the folder could not be made: the deepest part of it that exists is
// a file, or cannot be written into.
QString mkpathFailure(const QString& dir)
{
    QString existing = QDir::cleanPath(dir);
    while (!QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).absolutePath();
        if (parent == existing)
            break;
        existing = parent;
    }
    const QFileInfo info(existing);
    QString text = QStringLiteral("cannot create the folder ") + dir + QStringLiteral(": ");
    if (info.exists() && !info.isDir())
        return text + existing + QStringLiteral(" is not a folder");
    if (::access(QFile::encodeName(existing).constData(), W_OK | X_OK) != 0)
        return text + existing + QStringLiteral(": ") + errnoText(errno);
    return text + QStringLiteral("unknown reason");
}
} // namespace

Logger::Logger(QObject* parent) : QObject(parent) {}

Logger::~Logger()
{
    close();
}

int Logger::setPath(const QString& value)
{
    if (value.isEmpty()) {
        error = QStringLiteral("the log file's path is empty");
        return -1;
    }
    // The C library would stop at the NUL and open another file.
    if (value.contains(QChar(0))) {
        error = QStringLiteral("the log file's path holds a NUL character");
        return -1;
    }
    if (file) {
        error = QStringLiteral("cannot change the path of the open log file ") + path;
        return -1;
    }
    path = value;
    error.clear();
    return 0;
}

int Logger::open()
{
    if (file)
        return 0;
    if (path.isEmpty()) {
        error = QStringLiteral("the log file's path is not set");
        return -1;
    }
    if (g_active.load()) {
        error = QStringLiteral("another log file is open in this process");
        return -1;
    }
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        error = mkpathFailure(info.absolutePath());
        return -1;
    }
    const QString target = info.absoluteFilePath();
    FILE* f = std::fopen(QFile::encodeName(target).constData(), "ae");
    if (!f) {
        error = QStringLiteral("cannot open the log file ") + target + QStringLiteral(": ") +
                errnoText(errno);
        return -1;
    }
    error.clear();
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
