// Start-up cost of full GUI mode: from process start to the main window on
// screen (the display reports a normal top-level window of the process
// mapped; message boxes do not count), and the resident memory one second
// later, beside a bare Qt Widgets + QtWebKit program that shows a window of
// the same size, measured in the same run. Both run against the display of
// the environment (xvfb-run).
// The end point is the display's, so neither the client's log nor its
// verbosity plays a part; a program that shows no window within Deadline
// is ended and fails the run (exit status 1).
#include <benchmark/benchmark.h>

#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
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

const char ServiceAddr[] = "127.0.0.1:4894";
// Far beyond a start on a slow machine; only a program that never shows a
// window gets there.
constexpr std::chrono::seconds Deadline(60);

std::string g_root;
pid_t g_simulator = -1;
bool g_failed = false;

void stopSimulator()
{
    if (g_simulator > 0) {
        kill(g_simulator, SIGTERM);
        waitpid(g_simulator, nullptr, 0);
        g_simulator = -1;
    }
}

using benchkit::spawn;

// The display, told to report every top-level window that is mapped.
class Display
{
public:
    Display()
    {
        conn = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(conn))
            return;
        root = xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn, root, XCB_CW_EVENT_MASK, &mask);
        pidAtom = atom("_NET_WM_PID");
        typeAtom = atom("_NET_WM_WINDOW_TYPE");
        normalAtom = atom("_NET_WM_WINDOW_TYPE_NORMAL");
        xcb_flush(conn);
    }
    ~Display() { xcb_disconnect(conn); }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    bool valid() const
    {
        return !xcb_connection_has_error(conn) && pidAtom != XCB_ATOM_NONE &&
               typeAtom != XCB_ATOM_NONE && normalAtom != XCB_ATOM_NONE;
    }
    int fd() const { return xcb_get_file_descriptor(conn); }

    // Handles the events that have come; true when one of them mapped a
    // main window (a normal one: no message box, dialog, menu or tool tip)
    // that pid made. Qt names the process in _NET_WM_PID and the kind of
    // window, most specific first, in _NET_WM_WINDOW_TYPE.
    bool windowMappedBy(pid_t pid)
    {
        bool mapped = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(conn)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (!map->override_redirect &&
                    firstValue(map->window, pidAtom, XCB_ATOM_CARDINAL) == uint32_t(pid) &&
                    firstValue(map->window, typeAtom, XCB_ATOM_ATOM) == normalAtom)
                    mapped = true;
            }
            std::free(event);
        }
        return mapped;
    }

private:
    xcb_atom_t atom(const char* name)
    {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(
                conn, xcb_intern_atom(conn, 0, static_cast<uint16_t>(std::strlen(name)), name),
                nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // The first 32-bit value of a window's property; 0 when it has none.
    uint32_t firstValue(xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
    {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(conn, xcb_get_property(conn, 0, window, property, type, 0, 1),
                                   nullptr),
            &std::free);
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
            return 0;
        return *static_cast<uint32_t*>(xcb_get_property_value(reply.get()));
    }

    xcb_connection_t* conn = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_atom_t pidAtom = XCB_ATOM_NONE;
    xcb_atom_t typeAtom = XCB_ATOM_NONE;
    xcb_atom_t normalAtom = XCB_ATOM_NONE;
};

Display* g_display = nullptr;

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

enum class Shown { Yes, Ended, TimedOut };

// Waits for a window of pid on the display, until the deadline.
Shown waitForWindow(pid_t pid, int errFd, Clock::time_point deadline)
{
    for (;;) {
        if (g_display->windowMappedBy(pid))
            return Shown::Yes;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return Shown::TimedOut;
        pollfd fds[2] = {{g_display->fd(), POLLIN, 0}, {errFd, POLLIN, 0}};
        if (poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR)
            return Shown::Ended;
        if (fds[1].revents != 0 && !benchkit::drain(errFd))
            return g_display->windowMappedBy(pid) ? Shown::Yes : Shown::Ended;
    }
}

// Keeps the pipe empty for a while, so the program never blocks on it.
void drainFor(int fd, std::chrono::milliseconds span)
{
    const auto end = Clock::now() + span;
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (poll(&p, 1, static_cast<int>(left > 0 ? left : 0)) > 0 && !benchkit::drain(fd))
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

void run(benchmark::State& state, const char* program, const std::vector<const char*>& args)
{
    prepare();
    double rss = 0.0;
    for (auto _ : state) {
        g_display->windowMappedBy(-1); // what earlier programs left
        const auto start = Clock::now();
        int fd = -1;
        const pid_t pid = spawn(program, args, &fd);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        const Shown shown = waitForWindow(pid, fd, start + Deadline);
        const auto end = Clock::now();
        if (shown != Shown::Yes) {
            state.SkipWithError(shown == Shown::Ended
                                    ? "the program ended before it showed a window"
                                    : "no window shown within the deadline");
            g_failed = true;
            benchkit::endProgram(pid, fd);
            break;
        }
        drainFor(fd, std::chrono::milliseconds(1000));
        rss += residentMiB(pid);
        benchkit::endProgram(pid, fd);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    if (!g_failed && state.iterations() > 0)
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

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Display display;
    if (!display.valid()) {
        std::fputs("bench_guistart: no display; run it under xvfb-run -a\n", stderr);
        return 1;
    }
    g_display = &display;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return g_failed ? 1 : 0;
}
