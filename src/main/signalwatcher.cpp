#include "main/signalwatcher.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/log.h"

namespace {
// [0] written by the handler, [1] read by the watcher's thread.
int g_fds[2] = {-1, -1};
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
    if (::pipe2(stopFds, O_CLOEXEC) != 0) {
        LOG_ERROR << "pipe failed: " << errno;
        ::close(g_fds[0]);
        ::close(g_fds[1]);
        g_fds[0] = g_fds[1] = -1;
        return;
    }
    // A burst of signals must never block the handler.
    ::fcntl(g_fds[0], F_SETFL, ::fcntl(g_fds[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(g_fds[1], F_SETFL, ::fcntl(g_fds[1], F_GETFL) | O_NONBLOCK);
    thread = std::thread([this] { _watch(); });

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
    {
        const std::lock_guard<std::mutex> lock(ending);
        going = true;
    }
    const char byte = 0;
    ssize_t ignored = ::write(stopFds[1], &byte, 1);
    (void)ignored;
    thread.join();
    ::close(stopFds[0]);
    ::close(stopFds[1]);
    ::close(g_fds[0]);
    ::close(g_fds[1]);
    g_fds[0] = g_fds[1] = -1;
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
    for (;;) {
        pollfd fds[2] = {{g_fds[1], POLLIN, 0}, {stopFds[0], POLLIN, 0}};
        const int timeout = first ? int(std::max<qint64>(0, QuitBoundMs - since.elapsed())) : -1;
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (fds[1].revents)
            return;
        if (ready == 0) {
            _end(first);
            return;
        }
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
        if (any)
            QMetaObject::invokeMethod(
                this,
                [this] {
                    taken = true;
                    LOG_DEBUG << "[Main] Quit requested by a signal";
                    emit quitRequested();
                },
                Qt::QueuedConnection);
    }
}

void SignalWatcher::_end(int signo)
{
    // The lock stays held: the watcher, the log and the configuration it
    // reads stay while the process ends.
    ending.lock();
    if (going) {
        ending.unlock();
        return;
    }
    if (taken)
        LOG_ERROR << "[Main] Ended " << QuitBoundMs
                  << " ms after the signal with the quit unfinished: the main thread was held. "
                     "A tunnel still up is shown at the next start, with LOGOUT to end it";
    else
        LOG_ERROR << "[Main] Ended " << QuitBoundMs
                  << " ms after the signal without signing out: the main thread was held all "
                     "the while. A tunnel still up is shown at the next start, with LOGOUT to "
                     "end it";
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(signo, &dfl, nullptr);
    ::kill(::getpid(), signo);
    // Delivered to a thread that does not block it; this one waits.
    for (;;)
        ::pause();
}
