// Start-up cost of full GUI mode: from process start to the main window
// shown (the window is on screen when the program enters its event loop,
// which it announces with "[Main] Starting main loop"), and the resident
// memory one second later, beside a bare Qt Widgets + QtWebKit program that
// shows a window of the same size, measured in the same run. Both run
// against the display of the environment (xvfb-run).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "spawn.h"
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

const char Marker[] = "[Main] Starting main loop";
const char ServiceAddr[] = "127.0.0.1:4894";

std::string g_root;
pid_t g_simulator = -1;

void stopSimulator()
{
    if (g_simulator > 0) {
        kill(g_simulator, SIGTERM);
        waitpid(g_simulator, nullptr, 0);
        g_simulator = -1;
    }
}

using benchkit::spawn;

// The client's per-user locations and a simulated service, shared by every
// run (the first run installs the configuration, as on a fresh account).
void prepare()
{
    if (!g_root.empty())
        return;
    g_root = benchkit::makeClientHome("bench_guistart", ServiceAddr);
    int fd = -1;
    g_simulator = spawn(ORVO_SIMULATOR, {"--listen", ServiceAddr}, &fd);
    close(fd);
    std::atexit(stopSimulator);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

// Reads standard error until the marker; false when the program ended first.
bool waitForMarker(int fd)
{
    std::string seen;
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return false;
        seen.append(buf, static_cast<size_t>(n));
        if (seen.find(Marker) != std::string::npos)
            return true;
        // Only the tail can still hold the start of a marker.
        if (seen.size() > 4096)
            seen.erase(0, seen.size() - 64);
    }
}

// Keeps the pipe empty for a while, so the program never blocks on it.
void drainFor(int fd, std::chrono::milliseconds span)
{
    const auto end = Clock::now() + span;
    char buf[65536];
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (poll(&p, 1, static_cast<int>(left > 0 ? left : 0)) > 0 &&
            read(fd, buf, sizeof buf) <= 0)
            return;
    }
}

double residentMiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return 0.0;
}

void endProgram(pid_t pid, int fd)
{
    kill(pid, SIGTERM);
    char buf[65536];
    while (read(fd, buf, sizeof buf) > 0) {
    }
    close(fd);
    waitpid(pid, nullptr, 0);
}

void run(benchmark::State& state, const char* program, const std::vector<const char*>& args)
{
    prepare();
    double rss = 0.0;
    for (auto _ : state) {
        const auto start = Clock::now();
        int fd = -1;
        const pid_t pid = spawn(program, args, &fd);
        const bool shown = waitForMarker(fd);
        const auto end = Clock::now();
        if (!shown) {
            state.SkipWithError("the program ended before its window was shown");
            endProgram(pid, fd);
            break;
        }
        drainFor(fd, std::chrono::milliseconds(1000));
        rss += residentMiB(pid);
        endProgram(pid, fd);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    if (state.iterations() > 0)
        state.counters["rss_MiB"] = rss / static_cast<double>(state.iterations());
}

void BM_BareWebKitWindow(benchmark::State& state)
{
    run(state, ORVO_BARE_WEBKIT, {});
}

void BM_FullGuiToMainWindowShown(benchmark::State& state)
{
    run(state, ORVO_CLIENT, {"gui"});
}

} // namespace

BENCHMARK(BM_BareWebKitWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_FullGuiToMainWindowShown)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

BENCHMARK_MAIN();
