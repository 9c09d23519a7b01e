// Start-up cost of command-line mode beside a bare QCoreApplication
// program, measured in the same run and to the same point: from process
// start to the first line the service receives (the hello of the service
// connection, which both send from their event loop once connected). The
// service is a listening socket of this program, so neither the client's
// log nor its log level plays a part; a program that says nothing within
// Deadline is ended and fails the run (exit status 1).
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "spawn.h"
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Far beyond a start on a slow machine; only a program that never says
// hello gets there.
constexpr std::chrono::seconds Deadline(60);

std::string g_root;
int g_listener = -1;
bool g_failed = false;

using benchkit::spawn;

// The service: a socket on a free loopback port, named to the programs
// through VELCOR_SERVICE_ADDR; with the client's per-user locations, shared
// by every run (the first run installs the configuration, as on a fresh
// account). False when no socket could be had.
bool prepare()
{
    if (g_listener >= 0)
        return true;
    g_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (g_listener < 0 || bind(g_listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        listen(g_listener, 4) != 0 ||
        getsockname(g_listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return false;
    const std::string service = "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
    g_root = benchkit::makeClientHome("bench_startup", service.c_str());
    return true;
}

// Waits, until the deadline, for a connection to the service that brings a
// whole line; errFd (the program's standard error) is kept empty meanwhile.
// False when the program ended or the deadline passed first.
bool waitForFirstLine(int errFd, Clock::time_point deadline, const char** why)
{
    int conn = -1;
    std::string seen;
    bool ok = false;
    *why = "no line reached the service within the deadline";
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd fds[2] = {{conn >= 0 ? conn : g_listener, POLLIN, 0}, {errFd, POLLIN, 0}};
        if (poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR)
            break;
        if (fds[1].revents != 0 && !benchkit::drain(errFd)) {
            *why = "the program ended before it said anything to the service";
            break;
        }
        if (fds[0].revents == 0)
            continue;
        if (conn < 0) {
            conn = accept4(g_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            continue;
        }
        char buf[4096];
        const ssize_t n = read(conn, buf, sizeof buf);
        if (n == 0) {
            // Closed without a line: wait for the next connection.
            close(conn);
            conn = -1;
            seen.clear();
            continue;
        }
        if (n > 0)
            seen.append(buf, static_cast<size_t>(n));
        if (seen.find('\n') != std::string::npos) {
            ok = true;
            break;
        }
    }
    if (conn >= 0)
        close(conn);
    return ok;
}

void endProgram(pid_t pid, int fd)
{
    benchkit::endProgram(pid, fd);
    // A connection the program made while it ended.
    while (true) {
        const int late = accept4(g_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (late < 0)
            break;
        close(late);
    }
}

void runToFirstLine(benchmark::State& state, const char* program,
                    const std::vector<const char*>& args)
{
    if (!prepare()) {
        state.SkipWithError("no loopback port for the service");
        g_failed = true;
        return;
    }
    for (auto _ : state) {
        const auto start = Clock::now();
        int fd = -1;
        const pid_t pid = spawn(program, args, &fd);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        const char* why = nullptr;
        const bool said = waitForFirstLine(fd, start + Deadline, &why);
        const auto end = Clock::now();
        endProgram(pid, fd);
        if (!said) {
            state.SkipWithError(why);
            g_failed = true;
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

void BM_BareCoreApplicationToHello(benchmark::State& state)
{
    runToFirstLine(state, ORVO_BARE_APP, {});
}

void BM_CommandLineModeToHello(benchmark::State& state)
{
    runToFirstLine(state, ORVO_CLIENT, {"cmd"});
}

} // namespace

BENCHMARK(BM_BareCoreApplicationToHello)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);
BENCHMARK(BM_CommandLineModeToHello)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return g_failed ? 1 : 0;
}
