// The request server under hostile local peers: how long a probe request
// (connect, one action, its answer; retried while turned away) waits, and
// how much the server's process grows and logs.
//
//   <build>/bench/bench_requestserver
//
// Counters: probe_ms, the probe's wait (-1: not answered within the limit);
// in BM_UnreadAnswers, rss_growth_kib (largest growth of the resident set
// while a peer sends 16 MiB of refused requests and reads no answer) and
// log_lines / log_mib (what the server logged meanwhile). BM_Attack runs
// peers that keep a slot with a refused request every 4 s (argument bit 1),
// and/or 2,000 peers that connect, send four refused requests and close (bit
// 2); error_lines / error_kib are the ERROR lines the server logged until it
// stopped; probe_worst_ms and probes, the longest wait of the probes made
// one after the other while the peers of bit 2 ran. A refused request is a
// message the server answers and goes on: a line that is no message at all
// would close the connection at once. BM_PeerOwnerLookup: us_per_lookup,
// the time of the owner check of one loopback connection.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "libvelcor/server.h"
#include "loopback.h"
#include "peerowner.h"

namespace {

constexpr int ProbeLimitMs = 20000;

// A message of an unknown type: answered as refused, the connection kept.
const QByteArray Refused = "{\"type\":\"x\"}\n";

std::atomic<qint64> g_logLines{0};
std::atomic<qint64> g_logBytes{0};

std::atomic<qint64> g_errorLines{0};
std::atomic<qint64> g_errorBytes{0};

void countingHandler(QtMsgType, const QMessageLogContext&, const QString& text)
{
    const qint64 bytes = text.toUtf8().size() + 1;
    ++g_logLines;
    g_logBytes += bytes;
    if (text.contains(QLatin1String("[ERROR]"))) {
        ++g_errorLines;
        g_errorBytes += bytes;
    }
}

// The service's side: one connection per request. Milliseconds until an
// answer came, retrying while the server turns it away; -1 past the limit.
qint64 probeOnce(quint16 port)
{
    const QByteArray request = "{\"type\":\"action\",\"id\":1,\"action\":\"probe\"}\n";
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ProbeLimitMs) {
        const int fd = benchkit::connectLoopback(port);
        if (fd >= 0 && benchkit::sendAll(fd, request.constData(), request.size())) {
            pollfd p{fd, POLLIN, 0};
            char c = 0;
            if (::poll(&p, 1, 500) == 1 && ::recv(fd, &c, 1, 0) == 1) {
                ::close(fd);
                return t.elapsed();
            }
        }
        if (fd >= 0)
            ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

std::thread startProbe(quint16 port, std::atomic<qint64>* ms)
{
    return std::thread([port, ms]() { *ms = probeOnce(port); });
}

bool startServer(libvelcor::Server& server)
{
    return server.setInitialPort(0) == 0 && server.start() == 0;
}

// The probe's wait while the server's own loop runs here.
qint64 probeMs(quint16 port)
{
    std::atomic<qint64> ms{-2};
    std::thread probe = startProbe(port, &ms);
    benchkit::runUntil([&]() { return ms != -2; }, ProbeLimitMs + 1000);
    probe.join();
    return ms;
}

// No other peer: the probe's plain round trip.
void BM_ProbeAlone(benchmark::State& state)
{
    for (auto _ : state) {
        libvelcor::Server server(nullptr, libvelcor::ModeLocal);
        if (!startServer(server)) {
            state.SkipWithError("listen failed");
            return;
        }
        state.counters["probe_ms"] = double(probeMs(quint16(server.getPort())));
    }
}
BENCHMARK(BM_ProbeAlone)->Unit(benchmark::kMillisecond)->Iterations(1);

// Every slot taken by a peer that sent half a line and waits.
void BM_SilentPeers(benchmark::State& state)
{
    for (auto _ : state) {
        libvelcor::Server server(nullptr, libvelcor::ModeLocal);
        if (!startServer(server)) {
            state.SkipWithError("listen failed");
            return;
        }
        const quint16 port = quint16(server.getPort());
        std::vector<int> silent;
        for (int i = 0; i < libvelcor::Server::MaxConnections; ++i) {
            const int fd = benchkit::connectLoopback(port);
            if (fd >= 0)
                benchkit::sendAll(fd, "{\"type\":", 8);
            silent.push_back(fd);
        }
        // Let the server take them all in before the probe comes.
        benchkit::runUntil([]() { return false; }, 300);
        const qint64 ms = probeMs(port);
        for (int fd : silent)
            if (fd >= 0)
                ::close(fd);
        state.counters["probe_ms"] = double(ms);
    }
}
BENCHMARK(BM_SilentPeers)->Unit(benchmark::kMillisecond)->Iterations(1);

// A peer sends 16 MiB of refused requests and never reads.
void BM_UnreadAnswers(benchmark::State& state)
{
    for (auto _ : state) {
        libvelcor::Server server(nullptr, libvelcor::ModeLocal);
        if (!startServer(server)) {
            state.SkipWithError("listen failed");
            return;
        }
        const quint16 port = quint16(server.getPort());
        const qint64 before = benchkit::residentKib();
        qint64 peak = before;
        QTimer sample;
        QObject::connect(&sample, &QTimer::timeout,
                         [&]() { peak = qMax(peak, benchkit::residentKib()); });
        sample.start(10);
        g_logLines = 0;
        g_logBytes = 0;
        const QtMessageHandler previous = qInstallMessageHandler(countingHandler);
        std::atomic<bool> flooded{false};
        std::thread flood([port, &flooded]() {
            const QByteArray block = Refused.repeated(64 * 1024 / Refused.size());
            const int fd = benchkit::connectLoopback(port, 4096);
            for (int i = 0; fd >= 0 && i < 256; ++i)
                if (!benchkit::sendAll(fd, block.constData(), block.size()))
                    break;
            // The peer stays until the server has read what it sent.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            flooded = true;
            if (fd >= 0)
                ::close(fd);
        });
        benchkit::runUntil([]() { return false; }, 200);
        std::atomic<qint64> ms{-2};
        std::thread probe = startProbe(port, &ms);
        benchkit::runUntil([&]() { return ms != -2 && flooded; }, 60000);
        probe.join();
        flood.join();
        // What the server still has to work through.
        benchkit::runUntil([]() { return false; }, 500);
        peak = qMax(peak, benchkit::residentKib());
        qInstallMessageHandler(previous);
        state.counters["probe_ms"] = double(ms);
        state.counters["rss_growth_kib"] = double(peak - before);
        state.counters["log_lines"] = double(g_logLines);
        state.counters["log_mib"] = g_logBytes / 1048576.0;
    }
}
BENCHMARK(BM_UnreadAnswers)->Unit(benchmark::kMillisecond)->Iterations(1);

// Peers that keep their slots with a refused request every 4 s, and
// connect again once the server has closed them, until stop.
std::thread startRefusedLinePeers(quint16 port, std::atomic<bool>* stop)
{
    return std::thread([port, stop]() {
        std::vector<int> fds(libvelcor::Server::MaxConnections, -1);
        while (!*stop) {
            for (int& fd : fds) {
                if (fd >= 0 && !benchkit::sendAll(fd, Refused.constData(), Refused.size())) {
                    ::close(fd);
                    fd = -1;
                }
                if (fd < 0 && (fd = benchkit::connectLoopback(port)) >= 0)
                    benchkit::sendAll(fd, Refused.constData(), Refused.size());
            }
            for (int i = 0; i < 80 && !*stop; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    });
}

// count peers, one after the other: connect, four refused requests, close.
// ms: how long they took.
std::thread startConnectClosePeers(quint16 port, int count, std::atomic<qint64>* ms)
{
    return std::thread([port, count, ms]() {
        QElapsedTimer t;
        t.start();
        const QByteArray lines = Refused.repeated(4);
        for (int i = 0; i < count; ++i) {
            const int fd = benchkit::connectLoopback(port);
            if (fd >= 0) {
                benchkit::sendAll(fd, lines.constData(), lines.size());
                ::close(fd);
            }
        }
        *ms = t.elapsed();
    });
}

// Bit 1: refused-line peers hold the slots first; bit 2: 2,000
// connect-and-close peers run while the probe waits.
void BM_Attack(benchmark::State& state)
{
    const bool holders = state.range(0) & 1;
    const bool churn = state.range(0) & 2;
    for (auto _ : state) {
        g_logLines = 0;
        g_logBytes = 0;
        g_errorLines = 0;
        g_errorBytes = 0;
        const QtMessageHandler previous = qInstallMessageHandler(countingHandler);
        std::atomic<bool> stop{false};
        std::atomic<qint64> churnMs{churn ? -1 : 0};
        std::thread holding;
        std::thread churning;
        qint64 ms = -2;
        qint64 worstMs = -2;
        int probeCount = 0;
        {
            libvelcor::Server server(nullptr, libvelcor::ModeLocal);
            if (!startServer(server)) {
                qInstallMessageHandler(previous);
                state.SkipWithError("listen failed");
                return;
            }
            const quint16 port = quint16(server.getPort());
            if (holders) {
                holding = startRefusedLinePeers(port, &stop);
                benchkit::runUntil([]() { return false; }, 300);
            }
            if (churn)
                churning = startConnectClosePeers(port, 2000, &churnMs);
            // Probes one after the other until the attack is over: the
            // first one's wait, and the longest.
            qint64 first = -2;
            qint64 worst = 0;
            int probes = 0;
            std::atomic<bool> probed{false};
            std::thread probing([&]() {
                do {
                    const qint64 wait = probeOnce(port);
                    if (probes++ == 0)
                        first = wait;
                    worst = wait < 0 || worst < 0 ? -1 : qMax(worst, wait);
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                } while (first >= 0 && churnMs < 0);
                probed = true;
            });
            benchkit::runUntil([&]() { return probed && churnMs >= 0; }, ProbeLimitMs + 10000);
            stop = true;
            probing.join();
            for (std::thread* t : {&churning, &holding})
                if (t->joinable())
                    t->join();
            ms = first;
            worstMs = worst;
            probeCount = probes;
            // What the server still has to work through.
            benchkit::runUntil([]() { return false; }, 500);
        }
        qInstallMessageHandler(previous);
        state.counters["probe_ms"] = double(ms);
        if (churn) {
            state.counters["churn_ms"] = double(churnMs.load());
            state.counters["probe_worst_ms"] = double(worstMs);
            state.counters["probes"] = probeCount;
        }
        state.counters["error_lines"] = double(g_errorLines);
        state.counters["error_kib"] = g_errorBytes / 1024.0;
    }
}
BENCHMARK(BM_Attack)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(1);

// The owner checks of one connection, timed alone: argument 0, the
// accepted connection's (the request server's, the log listener's);
// argument 1, the service client's, made before the service has taken the
// connection in, so that the listener names the owner.
void BM_PeerOwnerLookup(benchmark::State& state)
{
    const bool service = state.range(0) == 1;
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        state.SkipWithError("listen failed");
        return;
    }
    qint64 ns = 0;
    qint64 lookups = 0;
    for (auto _ : state) {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        if (!client.waitForConnected(5000)) {
            state.SkipWithError("connect failed");
            return;
        }
        QElapsedTimer t;
        t.start();
        bool allowed = service && libvelcor::detail::serviceOwner(client).allowed;
        if (service)
            ns += t.nsecsElapsed();
        if (!server.waitForNewConnection(5000)) {
            state.SkipWithError("accept failed");
            return;
        }
        QTcpSocket* accepted = server.nextPendingConnection();
        if (!service) {
            t.start();
            allowed = libvelcor::detail::peerOwner(*accepted).allowed;
            ns += t.nsecsElapsed();
        }
        ++lookups;
        delete accepted;
        if (!allowed) {
            state.SkipWithError("own peer refused");
            return;
        }
    }
    state.counters["us_per_lookup"] = lookups ? ns / 1000.0 / double(lookups) : 0.0;
}
BENCHMARK(BM_PeerOwnerLookup)->Arg(0)->Arg(1)->Iterations(5000);

} // namespace

int main(int argc, char** argv)
{
    return benchkit::runCoreBenchmarks(argc, argv);
}
