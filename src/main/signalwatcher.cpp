#include "main/signalwatcher.h"

#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/log.h"

namespace {
// [0] written by the handler, [1] read by the watcher's thread.
int g_fds[2] = {-1, -1};
// Written as the watcher goes.
int g_stopFds[2] = {-1, -1};
// The watcher, while it lasts, under g_lock; held too while the process
// ends, so that the watcher, and the log it writes to, stay meanwhile.
std::mutex g_lock;
SignalWatcher* g_watcher = nullptr;
// The thread's answer to the watcher's going, under g_lock.
enum class Answer { None, Ended, Keeps };
Answer g_answer = Answer::None;
std::condition_variable g_answered;
// The event loop took the quit.
std::atomic<bool> g_taken{false};
// How long the end waits for the log's line: the main thread may be stuck
// inside the log, holding its lock.
const int LogWaitMs = 200;

// Written without any lock, and only when it does not block: a terminal or
// pipe that takes nothing more loses it.
void writeStandardError(const QByteArray& line)
{
    pollfd fd = {STDERR_FILENO, POLLOUT, 0};
    if (::poll(&fd, 1, 0) == 1 && (fd.revents & POLLOUT)) {
        ssize_t ignored = ::write(STDERR_FILENO, line.constData(), size_t(line.size()));
        (void)ignored;
    }
}
} // namespace

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent)
{
    LOG_TRACE;
    if (g_fds[0] != -1) {
        LOG_ERROR << "only one signal watcher at a time";
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0) {
        LOG_ERROR << "socketpair failed: " << errno;
        g_fds[0] = g_fds[1] = -1;
        return;
    }
    if (::pipe2(g_stopFds, O_CLOEXEC) != 0) {
        LOG_ERROR << "pipe failed: " << errno;
        ::close(g_fds[0]);
        ::close(g_fds[1]);
        g_fds[0] = g_fds[1] = -1;
        return;
    }
    // A burst of signals must never block the handler.
    ::fcntl(g_fds[0], F_SETFL, ::fcntl(g_fds[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(g_fds[1], F_SETFL, ::fcntl(g_fds[1], F_GETFL) | O_NONBLOCK);
    {
        const std::lock_guard<std::mutex> lock(g_lock);
        g_watcher = this;
        g_answer = Answer::None;
    }
    thread = std::thread(&SignalWatcher::_watch);

    struct sigaction sa = {};
    sa.sa_handler = &SignalWatcher::handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, &oldInt);
    ::sigaction(SIGTERM, &sa, &oldTerm);
    ::sigaction(SIGHUP, nullptr, &oldHup);
    if (oldHup.sa_handler != SIG_IGN)
        ::sigaction(SIGHUP, &sa, nullptr);
    valid = true;
}

SignalWatcher::~SignalWatcher()
{
    LOG_TRACE;
    if (!valid)
        return;
    ::sigaction(SIGINT, &oldInt, nullptr);
    ::sigaction(SIGTERM, &oldTerm, nullptr);
    ::sigaction(SIGHUP, &oldHup, nullptr);
    std::unique_lock<std::mutex> lock(g_lock);
    g_watcher = nullptr;
    const char byte = 0;
    ssize_t ignored = ::write(g_stopFds[1], &byte, 1);
    (void)ignored;
    g_answered.wait(lock, [] { return g_answer != Answer::None; });
    if (g_answer == Answer::Keeps) {
        // A signal came: its bound holds over what goes after the watcher,
        // and the thread keeps what it reads until the process ends.
        thread.detach();
        return;
    }
    lock.unlock();
    thread.join();
    for (int* fd : {&g_stopFds[0], &g_stopFds[1], &g_fds[0], &g_fds[1]}) {
        ::close(*fd);
        *fd = -1;
    }
}

void SignalWatcher::handler(int signo)
{
    const int saved = errno;
    const char byte = static_cast<char>(signo);
    ssize_t ignored = ::write(g_fds[0], &byte, 1);
    (void)ignored;
    errno = saved;
}

void SignalWatcher::_watch()
{
    QElapsedTimer since;
    int first = 0;
    bool watched = true;
    for (;;) {
        pollfd fds[2] = {{g_fds[1], POLLIN, 0}, {watched ? g_stopFds[0] : -1, POLLIN, 0}};
        const int timeout = first ? int(std::max<qint64>(0, QuitBoundMs - since.elapsed())) : -1;
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            _end(first);
            return;
        }
        // A signal that came before the watcher went holds its bound.
        char bytes[16];
        ssize_t got = 0;
        bool any = false;
        while ((got = ::read(g_fds[1], bytes, sizeof bytes)) > 0) {
            if (!first) {
                first = bytes[0];
                since.start();
            }
            any = true;
        }
        const std::lock_guard<std::mutex> lock(g_lock);
        if (SignalWatcher* watcher = any ? g_watcher : nullptr)
            QMetaObject::invokeMethod(
                watcher,
                [watcher] {
                    g_taken = true;
                    LOG_DEBUG << "[Main] Quit requested by a signal";
                    emit watcher->quitRequested();
                },
                Qt::QueuedConnection);
        if (watched && fds[1].revents) {
            watched = false;
            g_answer = first ? Answer::Keeps : Answer::Ended;
            g_answered.notify_all();
            if (!first)
                return;
        }
    }
}

void SignalWatcher::_end(int signo)
{
    // The lock stays held: the watcher, the log and the configuration it
    // reads stay while the process ends.
    g_lock.lock();
    const QByteArray line =
        QByteArray("[Main] Ended ") + QByteArray::number(QuitBoundMs) +
        (g_taken ? " ms after the signal with the quit unfinished: the main thread was held. "
                 : " ms after the signal without signing out: the main thread was held all the "
                   "while. ") +
        "A tunnel still up is shown at the next start, with LOGOUT to end it";
    // The kill never waits on the log: its line goes out on a thread of its
    // own, for a while; past that, or once the log went with the watcher,
    // straight to standard error.
    bool logged = false;
    if (g_watcher) {
        struct Told
        {
            std::mutex mutex;
            std::condition_variable done;
            bool logged = false;
        };
        const auto told = std::make_shared<Told>();
        std::thread([told, line] {
            LOG_ERROR << line.constData();
            const std::lock_guard<std::mutex> lock(told->mutex);
            told->logged = true;
            told->done.notify_all();
        }).detach();
        std::unique_lock<std::mutex> lock(told->mutex);
        logged = told->done.wait_for(lock, std::chrono::milliseconds(LogWaitMs),
                                     [&told] { return told->logged; });
    }
    if (!logged)
        writeStandardError(line + '\n');
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(signo, &dfl, nullptr);
    ::kill(::getpid(), signo);
    // Delivered to a thread that does not block it; this one waits.
    for (;;)
        ::pause();
}
