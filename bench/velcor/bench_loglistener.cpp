// The log listener's intake of service log lines (100 bytes each) from one
// loopback sender, against a bare QTcpSocket loop reading the same bytes,
// and its memory while a sender floods it.
//
//   <build>/bench/bench_loglistener
//
// Counters: lines_per_s for each reader; in BM_ListenerVsBareSocket, ratio
// is the listener's time over the bare loop's (goal: at most 1.5) and
// listener_lines_per_s its rate (goal: at least 500000), against the
// readLine loop (ratio) and plain block reads (ratio_to_block_reads); in BM_Flood,
// rss_growth_kib is the largest growth of the resident set while flooded.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "libvelcor/loglistener.h"
#include "loopback.h"

namespace {

constexpr int LineSize = 100;
constexpr int LinesPerRun = 1000000;

// 100 bytes: a service log line of 99 characters and its "\n".
QByteArray makeLine()
{
    QByteArray line = "Mon Dec 7 08:43:01 2026 [0x7f92] [debug] [vtx-service:tunnel.c:run():42] "
                      "data channel rekeyed";
    line = line.leftJustified(LineSize - 1, '.');
    line.append('\n');
    return line;
}

// Writes count lines to 127.0.0.1:port from a plain thread, as fast as the
// socket takes them, then closes.
std::thread startSender(quint16 port, qint64 count, std::atomic<bool>* stop = nullptr,
                        const QByteArray& extra = QByteArray())
{
    return std::thread([port, count, stop, extra]() {
        const int fd = benchkit::connectLoopback(port);
        if (fd < 0)
            return;
        QByteArray block;
        const QByteArray line = makeLine();
        for (int i = 0; i < 655; ++i)
            block.append(line);
        qint64 sent = 0;
        while (count < 0 || sent < count) {
            if (stop && stop->load())
                break;
            const qint64 lines = count < 0 ? 655 : qMin<qint64>(655, count - sent);
            if (!benchkit::sendAll(fd, block.constData(), lines * LineSize)) {
                ::close(fd);
                return;
            }
            sent += lines;
            if (!extra.isEmpty())
                ::send(fd, extra.constData(), size_t(extra.size()), MSG_NOSIGNAL);
        }
        ::close(fd);
    });
}

// Seconds for the listener to deliver LinesPerRun lines.
double listenerRun()
{
    libvelcor::LogListener listener;
    if (listener.start(QHostAddress(QHostAddress::LocalHost), 0) != 0)
        return -1;
    qint64 lines = 0;
    qint64 chars = 0;
    QObject::connect(&listener, &libvelcor::LogListener::log, [&](const QString& line) {
        ++lines;
        chars += line.size();
    });
    QElapsedTimer t;
    t.start();
    std::thread sender = startSender(quint16(listener.getPort()), LinesPerRun);
    benchkit::runUntil([&]() { return lines >= LinesPerRun; }, 60000);
    const double s = t.nsecsElapsed() / 1e9;
    sender.join();
    benchmark::DoNotOptimize(chars);
    return lines == LinesPerRun ? s : -1;
}

// Seconds for a bare QTcpSocket loop to read the same bytes: line by line
// (readLine), or in blocks counting the "\n" (bytes).
double bareRun(bool byLine)
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return -1;
    qint64 lines = 0;
    qint64 bytes = 0;
    QTcpSocket* socket = nullptr;
    QObject::connect(&server, &QTcpServer::newConnection, [&]() {
        socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, [&, byLine]() {
            if (byLine) {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine();
                    bytes += line.size();
                    ++lines;
                }
                return;
            }
            char buffer[65536];
            qint64 n;
            while ((n = socket->read(buffer, sizeof buffer)) > 0) {
                bytes += n;
                for (const char* p = buffer;
                     (p = static_cast<const char*>(memchr(p, '\n', size_t(buffer + n - p)))); ++p)
                    ++lines;
            }
        });
    });
    QElapsedTimer t;
    t.start();
    std::thread sender = startSender(server.serverPort(), LinesPerRun);
    benchkit::runUntil([&]() { return lines >= LinesPerRun; }, 60000);
    const double s = t.nsecsElapsed() / 1e9;
    sender.join();
    benchmark::DoNotOptimize(bytes);
    return lines == LinesPerRun ? s : -1;
}

void BM_LogListener(benchmark::State& state)
{
    double total = 0;
    for (auto _ : state) {
        const double s = listenerRun();
        if (s < 0) {
            state.SkipWithError("listener run failed");
            return;
        }
        state.SetIterationTime(s);
        total += s;
    }
    state.SetItemsProcessed(state.iterations() * LinesPerRun);
    state.counters["lines_per_s"] = state.iterations() * LinesPerRun / total;
}
BENCHMARK(BM_LogListener)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BareSocket(benchmark::State& state)
{
    double total = 0;
    for (auto _ : state) {
        const double s = bareRun(state.range(0) == 1);
        if (s < 0) {
            state.SkipWithError("bare run failed");
            return;
        }
        state.SetIterationTime(s);
        total += s;
    }
    state.SetItemsProcessed(state.iterations() * LinesPerRun);
    state.counters["lines_per_s"] = state.iterations() * LinesPerRun / total;
}
// Argument 1: readLine loop; 0: block reads counting "\n".
BENCHMARK(BM_BareSocket)
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Both readers alternately in one run, so machine noise hits both alike.
void BM_ListenerVsBareSocket(benchmark::State& state)
{
    double listener = 0;
    double bareLines = 0;
    double bareBytes = 0;
    for (auto _ : state) {
        const double bl = bareRun(true);
        const double bb = bareRun(false);
        const double l = listenerRun();
        if (l < 0 || bl < 0 || bb < 0) {
            state.SkipWithError("run failed");
            return;
        }
        state.SetIterationTime(l);
        listener += l;
        bareLines += bl;
        bareBytes += bb;
    }
    state.counters["ratio"] = listener / bareLines;
    state.counters["ratio_to_block_reads"] = listener / bareBytes;
    state.counters["listener_lines_per_s"] = state.iterations() * LinesPerRun / listener;
    state.counters["bare_lines_per_s"] = state.iterations() * LinesPerRun / bareLines;
    state.counters["block_read_lines_per_s"] = state.iterations() * LinesPerRun / bareBytes;
}
BENCHMARK(BM_ListenerVsBareSocket)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// A sender floods for a second with lines and, between blocks, a 1 MiB
// piece of one log line that never ends; the receiver is slow (1 µs of work
// per line). The resident set must not grow with what was sent.
void BM_Flood(benchmark::State& state)
{
    qint64 growth = 0;
    qint64 totalLines = 0;
    for (auto _ : state) {
        libvelcor::LogListener listener;
        if (listener.start(QHostAddress(QHostAddress::LocalHost), 0) != 0) {
            state.SkipWithError("listen failed");
            return;
        }
        qint64 lines = 0;
        QObject::connect(&listener, &libvelcor::LogListener::log, [&](const QString&) {
            ++lines;
            QElapsedTimer busy;
            busy.start();
            while (busy.nsecsElapsed() < 1000) {
            }
        });
        const qint64 before = benchkit::residentKib();
        qint64 peak = before;
        QTimer sample;
        QObject::connect(&sample, &QTimer::timeout,
                         [&]() { peak = qMax(peak, benchkit::residentKib()); });
        sample.start(10);
        std::atomic<bool> stop{false};
        // Every block is followed by a 1 MiB stretch without "\n": the head
        // of a log line, and a message that does not end.
        const QByteArray head = makeLine().left(makeLine().indexOf("] d") + 2);
        std::thread sender = startSender(quint16(listener.getPort()), -1, &stop,
                                         head + QByteArray(1024 * 1024 - head.size(), 'z'));
        QElapsedTimer t;
        t.start();
        benchkit::runUntil([&]() { return t.elapsed() >= 1000; }, 2000);
        stop = true;
        listener.stop();
        sender.join();
        peak = qMax(peak, benchkit::residentKib());
        growth = qMax(growth, peak - before);
        totalLines += lines;
    }
    state.counters["rss_growth_kib"] = double(growth);
    state.counters["lines_delivered"] = double(totalLines);
}
BENCHMARK(BM_Flood)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return benchkit::runCoreBenchmarks(argc, argv);
}
