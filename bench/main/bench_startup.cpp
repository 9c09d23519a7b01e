// Start-up cost of command-line mode beside a bare QCoreApplication
// program, measured in the same run and to the same point: from process
// start to the line "[Main] Starting main loop" on standard error, which
// both write right before they enter their event loop.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "spawn.h"
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string g_root;

// The client's per-user locations, shared by every run (the first run
// installs the configuration, as on a fresh account).
void prepareRoot()
{
    if (!g_root.empty())
        return;
    // No service: a closed loopback port; the measured span ends earlier.
    g_root = benchkit::makeClientHome("bench_startup", "127.0.0.1:1");
}

using benchkit::spawn;

void drainAndReap(pid_t pid, int fd)
{
    char buf[65536];
    while (read(fd, buf, sizeof buf) > 0) {
    }
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
}

const char MainLoopMarker[] = "[Main] Starting main loop";

// Starts the program and returns the seconds until its main-loop line, or
// a negative value when it ended without one. The program is then asked to
// end (SIGTERM) and reaped.
double secondsToMainLoop(const char* program, const std::vector<const char*>& args)
{
    const auto start = Clock::now();
    int fd = -1;
    const pid_t pid = spawn(program, args, &fd);
    std::string seen;
    char buf[65536];
    bool found = false;
    while (!found) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        seen.append(buf, static_cast<size_t>(n));
        found = seen.find(MainLoopMarker) != std::string::npos;
    }
    const auto end = Clock::now();
    kill(pid, SIGTERM);
    drainAndReap(pid, fd);
    return found ? std::chrono::duration<double>(end - start).count() : -1;
}

void runToMainLoop(benchmark::State& state, const char* program,
                   const std::vector<const char*>& args)
{
    prepareRoot();
    for (auto _ : state) {
        const double seconds = secondsToMainLoop(program, args);
        if (seconds < 0) {
            state.SkipWithError("the program ended before its main loop");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void BM_BareCoreApplicationToMainLoop(benchmark::State& state)
{
    runToMainLoop(state, ORVO_BARE_APP, {});
}

void BM_CommandLineModeToMainLoop(benchmark::State& state)
{
    runToMainLoop(state, ORVO_CLIENT, {"cmd"});
}

} // namespace

BENCHMARK(BM_BareCoreApplicationToMainLoop)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);
BENCHMARK(BM_CommandLineModeToMainLoop)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);

BENCHMARK_MAIN();
