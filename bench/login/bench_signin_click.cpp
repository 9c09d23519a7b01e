// A click on SIGN IN with a plain OpenVPN profile, to the main window's
// connected state (LOGOUT shown), against the service simulator answering
// at once. The 100 ms start delay of the connect request is taken out; what
// is left is the client's own time, which must stay under 20 ms. The wait
// is a real event loop that sleeps until something happens.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
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
#include "mgr/apimanager.h"
#include "mgr/manager.h"
#include "profiles/connprofile.h"
#include "servicesimulator.h"
#include "testenv.h"

Q_IMPORT_PLUGIN(LoginPlugin)

namespace {

void silentHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

// Runs an event loop until the state comes or the time is up.
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

void BM_SignInClick(benchmark::State& state)
{
    orvotest::TestEnv env;
    logintest::writeProfile(env.dataDir(), "office", "vpn");
    orvosim::ServiceSimulator sim;
    if (!sim.listen(0)) {
        state.SkipWithError("simulator");
        return;
    }
    sim.setAutopilot(true);
    sim.setStepDelay(0);
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
    QPushButton* button = gui.mainWindow->signInButton;
    // Let the start-up settle.
    QEventLoop settle;
    QTimer::singleShot(1500, &settle, &QEventLoop::quit);
    settle.exec();
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        button->click();
        if (!runUntilState(&gui, libvelcor::StateConnected) ||
            button->text() != QLatin1String("LOGOUT")) {
            state.SkipWithError("no connection");
            return;
        }
        const double own = t.nsecsElapsed() / 1e6 - ORVO::ApiManager::StartDelayMs;
        state.SetIterationTime(own / 1000.0);
        button->click();
        if (!runUntilState(&gui, libvelcor::StateIdle)) {
            state.SkipWithError("no sign-out");
            return;
        }
    }
}

} // namespace

BENCHMARK(BM_SignInClick)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
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
