#include "main/signalwatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/log.h"

namespace {
// [0] written by the handler, [1] read by the notifier.
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
    // A burst of signals must never block the handler.
    ::fcntl(g_fds[0], F_SETFL, ::fcntl(g_fds[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(g_fds[1], F_SETFL, ::fcntl(g_fds[1], F_GETFL) | O_NONBLOCK);
    notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(notifier, SIGNAL(activated(int)), this, SLOT(_readSignal()));

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
    delete notifier;
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

void SignalWatcher::_readSignal()
{
    char bytes[16];
    bool any = false;
    while (::read(g_fds[1], bytes, sizeof bytes) > 0)
        any = true;
    if (!any)
        return;
    LOG_DEBUG << "[Main] Quit requested by a signal";
    emit quitRequested();
}
