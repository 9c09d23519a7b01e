// A local service that floods the client with progress lines: how much the
// client's process grows and how fast the lines reach a receiver.
//
//   <build>/bench/bench_serviceflood
//
// The service (a thread speaking the line protocol on a loopback socket)
// answers the hello, waits for "status.start" and then sends its lines as
// fast as the client takes them, about 225 bytes each (400,000 lines are
// about 90 MB), followed by a heartbeat every 200 ms. The first argument is
// the number of lines, the second what each line costs its receiver in
// microseconds (0: it only counts; 20: about what a window's update costs).
//
// Counters: mib_sent, what the service sent; rss_growth_mib, the largest
// growth of the resident set meanwhile (sampled every 5 ms by a thread of
// its own); lines_per_s, lines delivered per second from the first line
// sent to the last one heard; delivered, lines heard (less than sent: some
// were lost or the limit of 300 s ran out).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "libvelcor/api.h"
#include "libvelcor/statusapi.h"
#include "loopback.h"

namespace {

using Clock = std::chrono::steady_clock;

// A listening socket on 127.0.0.1 with a port of the kernel's choice.
int listenLoopback(quint16* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 1) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(addr.sin_port);
    return fd;
}

// The next line from fd (without its "\n"), or an empty array once closed.
QByteArray readLine(int fd, QByteArray& pending)
{
    for (;;) {
        const int nl = pending.indexOf('\n');
        if (nl >= 0) {
            const QByteArray line = pending.left(nl);
            pending.remove(0, nl + 1);
            return line;
        }
        char buf[4096];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return QByteArray();
        pending.append(buf, int(n));
    }
}

QByteArray progressLine(int step, int total)
{
    static const QByteArray desc =
        QByteArray("Resolving the gateway and negotiating the tunnel ").repeated(4).left(170);
    return "{\"type\":\"progress\",\"step\":" + QByteArray::number(step) +
           ",\"total\":" + QByteArray::number(total) + ",\"desc\":\"" + desc + "\"}\n";
}

struct Service
{
    int lines = 0;
    std::atomic<bool> stop{false};
    std::atomic<qint64> bytesSent{0};
    std::atomic<Clock::rep> floodStart{0};

    void run(int listenFd)
    {
        const int fd = ::accept(listenFd, nullptr, nullptr);
        if (fd < 0)
            return;
        QByteArray pending;
        readLine(fd, pending); // hello
        const QByteArray settings = "{\"type\":\"settings\",\"protocol\":1,\"settings\":{}}\n";
        benchkit::sendAll(fd, settings.constData(), settings.size());
        for (;;) {
            const QByteArray line = readLine(fd, pending);
            if (line.isEmpty()) {
                ::close(fd);
                return;
            }
            const QJsonObject m = QJsonDocument::fromJson(line).object();
            if (m.value(QLatin1String("type")).toString() == QLatin1String("status.start")) {
                const QByteArray answer = "{\"type\":\"result\",\"rc\":0,\"id\":" +
                                          QByteArray::number(m.value(QLatin1String("id")).toInt()) +
                                          "}\n";
                benchkit::sendAll(fd, answer.constData(), answer.size());
                break;
            }
        }
        floodStart = Clock::now().time_since_epoch().count();
        QByteArray block;
        for (int i = 1; i <= lines && !stop; ++i) {
            block += progressLine(i, lines);
            if (block.size() >= 256 * 1024 || i == lines) {
                if (!benchkit::sendAll(fd, block.constData(), block.size()))
                    break;
                bytesSent += block.size();
                block.clear();
            }
        }
        const QByteArray heartbeat = "{\"type\":\"heartbeat\"}\n";
        while (!stop && benchkit::sendAll(fd, heartbeat.constData(), heartbeat.size()))
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::close(fd);
    }
};

void spin(int micros)
{
    const Clock::time_point until = Clock::now() + std::chrono::microseconds(micros);
    while (Clock::now() < until) {
    }
}

void BM_ProgressFlood(benchmark::State& state)
{
    const int lines = int(state.range(0));
    const int cost = int(state.range(1));
    for (auto _ : state) {
        quint16 port = 0;
        const int listenFd = listenLoopback(&port);
        if (listenFd < 0) {
            state.SkipWithError("listen failed");
            return;
        }
        qputenv(libvelcor::Api::ServiceAddrVariable,
                QByteArray("127.0.0.1:") + QByteArray::number(port));
        Service service;
        service.lines = lines;
        std::thread serving([&]() { service.run(listenFd); });

        const qint64 before = benchkit::residentKib();
        std::atomic<qint64> peak{before};
        std::atomic<bool> sampling{true};
        std::thread sampler([&]() {
            while (sampling) {
                const qint64 now = benchkit::residentKib();
                if (now > peak)
                    peak = now;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });

        int delivered = 0;
        Clock::time_point last;
        {
            libvelcor::StatusApi status;
            QObject::connect(&status, &libvelcor::StatusApi::gotSettings,
                             [&status]() { status.start(1000); });
            QObject::connect(&status, &libvelcor::StatusApi::apiProgress,
                             [&](const libvelcor::Progress&) {
                                 ++delivered;
                                 last = Clock::now();
                                 if (cost > 0)
                                     spin(cost);
                             });
            status.init();
            benchkit::runUntil([&]() { return delivered >= lines; }, 300000, 5);
        }
        // The connection goes from the event loop.
        benchkit::runUntil([]() { return false; }, 100);
        sampling = false;
        sampler.join();
        service.stop = true;
        serving.join();
        ::close(listenFd);

        const double seconds =
            std::chrono::duration<double>(last.time_since_epoch() -
                                          Clock::duration(service.floodStart.load()))
                .count();
        state.counters["mib_sent"] = service.bytesSent / 1048576.0;
        state.counters["rss_growth_mib"] = (peak - before) / 1024.0;
        state.counters["lines_per_s"] = seconds > 0 ? delivered / seconds : 0.0;
        state.counters["delivered"] = delivered;
    }
}
BENCHMARK(BM_ProgressFlood)
    ->Args({400000, 0})
    ->Args({400000, 20})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return benchkit::runCoreBenchmarks(argc, argv);
}
