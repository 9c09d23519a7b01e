// Resident memory while the sign-in spinner turns: the full GUI (controller,
// main window, login plugin and Manager) signs in with a plain OpenVPN
// profile against the service simulator, whose steps keep the spinner of
// the CANCEL / nn% bar turning for about a second, and signs out again. The
// resident set is taken after the 10th cycle and after the last (200th);
// each iteration's time is one whole cycle. The log pages are switched off:
// they keep the lines of every sign-in (up to their bound), which is not
// what is measured here. Runs offscreen:
//   <build>/bench/bench_spinner
#include <QMovie>
#include <QPushButton>
#include <QSettings>
#include <QtPlugin>

#include "gui/mainwindow/mainwindow.h"
#include "guirig.h"
#include "loopback.h"

Q_IMPORT_PLUGIN(LoginPlugin)

namespace {

// Four steps (connecting, three progress reports, connected): the spinner
// turns for about a second, ten frames of its animation.
const int StepDelayMs = 250;
const int EarlyCycles = 10;
const int Cycles = 200;

double mib(qint64 kib)
{
    return kib / 1024.0;
}

void BM_SpinnerCycles(benchmark::State& state)
{
    benchkit::GuiRig rig;
    QSettings(ORVO::org(), QLatin1String(ORVO::ApplicationId))
        .setValue(QStringLiteral("logDisabled"), true);
    if (const char* failed = rig.start(StepDelayMs)) {
        state.SkipWithError(failed);
        return;
    }
    ORVO::Gui& gui = *rig.gui;
    MainWindow* window = gui.mainWindow;
    benchkit::runUntil([] { return false; }, 1500);
    qint64 early = -1;
    int cycle = 0;
    for (auto _ : state) {
        window->signInButton->click();
        if (!benchkit::runUntilState(&gui, libvelcor::StateConnecting) ||
            window->loadingMovie->state() != QMovie::Running) {
            state.SkipWithError("no spinner");
            return;
        }
        if (!benchkit::runUntilState(&gui, libvelcor::StateConnected)) {
            state.SkipWithError("no connection");
            return;
        }
        window->signInButton->click();
        if (!benchkit::runUntilState(&gui, libvelcor::StateIdle)) {
            state.SkipWithError("no sign-out");
            return;
        }
        if (++cycle == EarlyCycles)
            early = benchkit::residentKib();
    }
    const qint64 last = benchkit::residentKib();
    state.counters["rss_10_MiB"] = mib(early);
    state.counters["rss_200_MiB"] = mib(last);
    state.counters["growth_MiB"] = mib(last - early);
}

} // namespace

BENCHMARK(BM_SpinnerCycles)->Unit(benchmark::kMillisecond)->Iterations(Cycles);

int main(int argc, char** argv)
{
    return benchkit::runGuiBenchmarks(argc, argv);
}
