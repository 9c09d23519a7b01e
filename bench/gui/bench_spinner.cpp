// Resident memory while the sign-in spinner turns: the full GUI (controller,
// main window, login plugin and Manager) signs in with a plain OpenVPN
// profile against the service simulator, whose steps keep the spinner of
// the CANCEL / nn% bar turning for about a second, and signs out again. The
// resident set is taken after the 10th cycle and after the last (200th);
// each iteration's time is one whole cycle. The log pages are switched off:
// they keep the lines of every sign-in (up to their bound), which is not
// what is measured here. Runs offscreen:
//   <build>/bench/bench_spinner
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QMovie>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtPlugin>

#include "common/common.h"
#include "gui/gui.h"
#include "gui/log/logform.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/testseams.h"
#include "libvelcor/api.h"
#include "loginfixture.h"
#include "loopback.h"
#include "mgr/manager.h"
#include "profiles/connprofile.h"
#include "servicesimulator.h"
#include "testenv.h"

Q_IMPORT_PLUGIN(LoginPlugin)

namespace {

// Four steps (connecting, three progress reports, connected): the spinner
// turns for about a second, ten frames of its animation.
const int StepDelayMs = 250;
const int EarlyCycles = 10;
const int Cycles = 200;

void silentHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

bool runUntilState(ORVO::Gui* gui, int wanted, int timeoutMs = 10000)
{
    QEventLoop loop;
    bool came = false;
    QObject::connect(gui, &ORVO::Gui::stateChanged, &loop, [&](libvelcor::State s) {
        if (s == wanted) {
            came = true;
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return came;
}

double mib(qint64 kib)
{
    return kib / 1024.0;
}

void BM_SpinnerCycles(benchmark::State& state)
{
    orvotest::TestEnv env;
    logintest::writeProfile(env.dataDir(), "office", "vpn");
    QSettings(ORVO::org(), QLatin1String(ORVO::ApplicationId))
        .setValue(QStringLiteral("logDisabled"), true);
    orvosim::ServiceSimulator sim;
    if (!sim.listen(0)) {
        state.SkipWithError("simulator");
        return;
    }
    sim.setAutopilot(true);
    sim.setStepDelay(StepDelayMs);
    qputenv(libvelcor::Api::ServiceAddrVariable, sim.address().toLatin1());
    LogForm::setListenPort(0);
    ORVO::seams::setAssumeSystemTray(true);
    ORVO::Gui gui(nullptr, true, false);
    ORVO::Manager manager(nullptr);
    manager.gui = &gui;
    if (!gui.isValid() || !manager.isValid() || manager.run() != 0 || gui.run() != 0) {
        state.SkipWithError("start-up");
        return;
    }
    MainWindow* window = gui.mainWindow;
    benchkit::runUntil([] { return false; }, 1500);
    qint64 early = -1;
    int cycle = 0;
    for (auto _ : state) {
        window->signInButton->click();
        if (!runUntilState(&gui, libvelcor::StateConnecting) ||
            window->loadingMovie->state() != QMovie::Running) {
            state.SkipWithError("no spinner");
            return;
        }
        if (!runUntilState(&gui, libvelcor::StateConnected)) {
            state.SkipWithError("no connection");
            return;
        }
        window->signInButton->click();
        if (!runUntilState(&gui, libvelcor::StateIdle)) {
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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
    QCoreApplication::setOrganizationName(ORVO::org());
    QCoreApplication::setApplicationName(QLatin1String(ORVO::ApplicationId));
    ORVO::registerMetaTypes();
    ORVO::registerProfileMetaTypes();
    qInstallMessageHandler(silentHandler);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
