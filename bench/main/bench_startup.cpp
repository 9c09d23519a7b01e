// Start-up cost of command-line mode: from process start to the log line
// "[Main] Starting main loop", beside a bare QCoreApplication program that
// starts and quits, measured in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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
    char dir[] = "/tmp/bench_startup.XXXXXX";
    if (!mkdtemp(dir))
        std::abort();
    g_root = dir;
    setenv("HOME", dir, 1);
    setenv("XDG_DATA_HOME", (g_root + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (g_root + "/config").c_str(), 1);
    // No service: a closed loopback port; the measured span ends earlier.
    setenv("VELCOR_SERVICE_ADDR", "127.0.0.1:1", 1);
    unsetenv("QT_LOGGING_RULES");
}

pid_t spawn(const char* program, const std::vector<const char*>& args, int* errFd)
{
    int fds[2];
    if (pipe(fds) != 0)
        std::abort();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDERR_FILENO);
        const int devnull = ::open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program));
        for (const char* a : args)
            argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }
    close(fds[1]);
    *errFd = fds[0];
    return pid;
}

void drainAndReap(pid_t pid, int fd)
{
    char buf[65536];
    while (read(fd, buf, sizeof buf) > 0) {
    }
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
}

void BM_BareCoreApplication(benchmark::State& state)
{
    prepareRoot();
    for (auto _ : state) {
        const auto start = Clock::now();
        int fd = -1;
        const pid_t pid = spawn(ORVO_BARE_APP, {}, &fd);
        drainAndReap(pid, fd);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}

void BM_CommandLineModeToMainLoop(benchmark::State& state)
{
    prepareRoot();
    const char marker[] = "[Main] Starting main loop";
    for (auto _ : state) {
        const auto start = Clock::now();
        int fd = -1;
        const pid_t pid = spawn(ORVO_CLIENT, {"cmd"}, &fd);
        std::string seen;
        char buf[65536];
        bool found = false;
        while (!found) {
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            seen.append(buf, static_cast<size_t>(n));
            found = seen.find(marker) != std::string::npos;
        }
        const auto end = Clock::now();
        if (!found) {
            state.SkipWithError("the client ended before its main loop");
            drainAndReap(pid, fd);
            break;
        }
        kill(pid, SIGTERM);
        drainAndReap(pid, fd);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

} // namespace

BENCHMARK(BM_BareCoreApplication)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_CommandLineModeToMainLoop)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);

BENCHMARK_MAIN();
