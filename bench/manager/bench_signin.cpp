// A management-server sign-in with the service simulator answering at once
// and the test server on loopback: the time from the connect request to
// "loggedIn", minus the 100 ms start delay and the 500 ms login delay, is
// the client's own time; it must stay under 20 ms. The wait is a real
// event loop that sleeps until something happens, as the program's does:
// polling would spin the processor and time wake-ups the program never has.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <memory>

#include "common/common.h"
#include "fakes.h"
#include "libvelcor/api.h"
#include "libvelcor/client.h"
#include "mgr/apimanager.h"
#include "mgr/manager.h"
#include "profiles/connprofile.h"
#include "servicesimulator.h"
#include "testserver.h"

namespace {

constexpr double SpecifiedDelaysMs =
    ORVO::ApiManager::StartDelayMs + ORVO::ApiManager::LoginDelayMs;

void silentHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

// Runs an event loop until the signal comes or the time is up; true when
// it came.
template <typename Sender, typename Signal>
bool runUntil(const Sender* sender, Signal signal, int timeoutMs = 10000)
{
    QEventLoop loop;
    bool came = false;
    QObject::connect(sender, signal, &loop, [&]() {
        came = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return came;
}

// For the untimed steps: an event loop that looks at the condition every
// 5 ms and sleeps in between.
template <typename Pred> bool waitFor(Pred pred, int timeoutMs = 10000)
{
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&]() {
        if (pred() || t.elapsed() > timeoutMs)
            loop.quit();
    });
    tick.start(5);
    if (!pred())
        loop.exec();
    return pred();
}

struct Client
{
    QTemporaryDir dir;
    orvosim::ServiceSimulator sim;
    orvotest::TestServer web;
    orvofake::CallLog log;
    std::unique_ptr<orvofake::FakeGui> gui;
    std::unique_ptr<ORVO::Manager> manager;
    int loggedIn = 0;
    int stops = 0;

    bool start()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + QStringLiteral("/data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + QStringLiteral("/config")));
        QDir().mkpath(dir.path() + QStringLiteral("/data"));
        if (!sim.listen() || !web.listen(false))
            return false;
        qputenv(libvelcor::Api::ServiceAddrVariable, sim.address().toLatin1());
        libvelcor::Client::setPortOverride(web.port());
        sim.setManagementServer(
            QStringLiteral("127.0.0.1"), QString(),
            QStringLiteral("{da39a3ee-5e6b-5b0d-b255-bfef95601890}"),
            QVariantMap{{QStringLiteral("devices"), QStringLiteral("/manage/portal/devices")}});
        // The service answers at once: "start" brings the tunnel up, "stop"
        // takes it down.
        QObject::connect(
            &sim, &orvosim::ServiceSimulator::received, &sim, [this](const QString& kind) {
                if (kind != QLatin1String("cloud.action"))
                    return;
                const QString action =
                    sim.log().last().value.toMap().value(QStringLiteral("action")).toString();
                if (action == QLatin1String("start")) {
                    sim.emitState(2);
                    sim.emitState(4);
                } else if (action == QLatin1String("stop")) {
                    ++stops;
                    sim.emitState(0);
                }
            });
        gui.reset(new orvofake::FakeGui(&log, false, false));
        manager.reset(new ORVO::Manager(nullptr));
        if (!manager->isValid())
            return false;
        manager->gui = gui.get();
        manager->run();
        QObject::connect(manager->getApiManager(), &ORVO::ApiManager::loggedIn,
                         [this]() { ++loggedIn; });
        return waitFor([this]() {
            return sim.requestPort() > 0 && !sim.values(QStringLiteral("status.start")).isEmpty();
        });
    }
};

void BM_SignInOwnTime(benchmark::State& state)
{
    Client c;
    if (!c.start()) {
        state.SkipWithError("the simulator or the test server did not start");
        return;
    }
    const libvelcor::Auth auth(libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType,
                               QString(""), QStringLiteral("demo"), QStringLiteral("demo"),
                               QString(""));
    double worst = 0;
    for (auto _ : state) {
        const int before = c.loggedIn;
        QElapsedTimer t;
        t.start();
        emit c.gui->authSupply(auth);
        emit c.gui->sigConnect();
        runUntil(c.manager->getApiManager(), &ORVO::ApiManager::loggedIn);
        if (c.loggedIn <= before) {
            state.SkipWithError("no login");
            return;
        }
        const double own = t.nsecsElapsed() / 1e6 - SpecifiedDelaysMs;
        worst = qMax(worst, own);
        state.SetIterationTime(own / 1000.0);

        // Sign out (logout, then "stop") before the next round.
        state.PauseTiming();
        const int stops = c.stops;
        emit c.gui->sigDisconnect();
        waitFor(
            [&]() { return c.stops > stops && c.manager->getApiManager()->getLastState() == 0; });
        state.ResumeTiming();
    }
    state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_SignInOwnTime)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(ORVO::org());
    QCoreApplication::setApplicationName(QLatin1String(ORVO::ApplicationId));
    ORVO::registerMetaTypes();
    ORVO::registerProfileMetaTypes();
    // The log lines are still made, but not printed.
    qInstallMessageHandler(silentHandler);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
