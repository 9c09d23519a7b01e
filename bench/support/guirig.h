#pragma once

// The full GUI of the benchmarks that click through a sign-in: the real
// controller, main window, login plugin and Manager, offscreen, against the
// service simulator, with one plain OpenVPN profile "office". Only for the
// programs that link the login plugin, Manager and the test kit.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

#include <memory>

#include "common/common.h"
#include "gui/gui.h"
#include "gui/log/logform.h"
#include "gui/testseams.h"
#include "libvelcor/api.h"
#include "loginfixture.h"
#include "mgr/manager.h"
#include "profiles/connprofile.h"
#include "servicesimulator.h"
#include "testenv.h"

// Outside any namespace, as the resource macro wants.
inline void initGuiBenchResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace benchkit {

// Runs an event loop until the state comes or the time is up.
inline bool runUntilState(ORVO::Gui* gui, int wanted, int timeoutMs = 10000)
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

class GuiRig
{
public:
    // Starts the simulator (each step stepDelayMs apart) and the GUI; an
    // empty result, else what failed.
    const char* start(int stepDelayMs)
    {
        logintest::writeProfile(env.dataDir(), "office", "vpn");
        if (!sim.listen(0))
            return "simulator";
        sim.setAutopilot(true);
        sim.setStepDelay(stepDelayMs);
        qputenv(libvelcor::Api::ServiceAddrVariable, sim.address().toLatin1());
        LogForm::setListenPort(0);
        ORVO::seams::setAssumeSystemTray(true);
        gui = std::make_unique<ORVO::Gui>(nullptr, true, false);
        manager = std::make_unique<ORVO::Manager>(nullptr);
        manager->gui = gui.get();
        if (!gui->isValid() || !manager->isValid() || manager->run() != 0 || gui->run() != 0)
            return "start-up";
        return nullptr;
    }

    orvotest::TestEnv env;
    orvosim::ServiceSimulator sim;
    std::unique_ptr<ORVO::Gui> gui;
    // Declared last, so it goes first: it borrows the controller.
    std::unique_ptr<ORVO::Manager> manager;
};

inline void silentHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

// The main() of such a program: an offscreen application with the
// program's resources and names, the log made but not printed.
inline int runGuiBenchmarks(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initGuiBenchResources();
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

} // namespace benchkit
