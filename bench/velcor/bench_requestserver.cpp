// The request server under hostile local peers: how long a probe request
// (connect, one action, its answer; retried while turned away) waits, and
// how much the server's process grows and logs.
//
//   <build>/bench/bench_requestserver
//
// Counters: probe_ms, the probe's wait (-1: not answered within the limit);
// in BM_UnreadAnswers, rss_growth_kib (largest growth of the resident set
// while a peer sends 16 MiB of refused lines and reads no answer) and
// log_lines / log_mib (what the server logged meanwhile).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
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

namespace {

constexpr int ProbeLimitMs = 20000;

std::atomic<qint64> g_logLines{0};
std::atomic<qint64> g_logBytes{0};

void countingHandler(QtMsgType, const QMessageLogContext&, const QString& text)
{
    ++g_logLines;
    g_logBytes += text.toUtf8().size() + 1;
}

// The service's side: one connection per request. Milliseconds until an
// answer came, retrying while the server turns it away; -1 past the limit.
std::thread startProbe(quint16 port, std::atomic<qint64>* ms)
{
    return std::thread([port, ms]() {
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
                    *ms = t.elapsed();
                    return;
                }
            }
            if (fd >= 0)
                ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        *ms = -1;
    });
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

// A peer sends 16 MiB of refused lines ("x\n") and never reads.
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
            const QByteArray block = QByteArray("x\n").repeated(32 * 1024);
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
