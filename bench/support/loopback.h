#pragma once

// Helpers of the benchmarks that talk to a local port and watch their own
// process: plain sockets to 127.0.0.1, the resident set, and an event loop
// run until a condition holds, and their main().

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace benchkit {

// A socket connected to 127.0.0.1:port, or -1; rcvbuf > 0 shrinks its
// receive buffer first.
inline int connectLoopback(quint16 port, int rcvbuf = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (rcvbuf > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends all of [p, p + left); false once the peer is gone.
inline bool sendAll(int fd, const char* p, qint64 left)
{
    while (left > 0) {
        const ssize_t n = ::send(fd, p, size_t(left), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

// This process's resident set in KiB, or -1.
inline qint64 residentKib()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Runs the event loop until done() or the time limit.
template <class Done> void runUntil(Done done, int limitMs, int waitMs = 50)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, waitMs);
}

// The main() of such a program: a core application around the benchmarks.
inline int runCoreBenchmarks(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace benchkit
