// The local service client: the connection state machine, the delayed
// "start" and login, route changes, ports and the relays, against the
// service simulator and the test server.

#include <QtTest>

#include "libvelcor/cloudapi.h"
#include "libvelcor/setupapi.h"
#include "rig.h"
#include "testmain.h"

using orvotest::Mode;
using orvotest::Rig;
using orvotest::TestServer;

namespace {

// Past the 500 ms login delay, with room for the login's round trip.
const int LoginWaitMs = 750;

QVariant setupFragment(const QVariant& enabled)
{
    QVariantMap setup;
    if (enabled.isValid())
        setup.insert(QStringLiteral("enabled"), enabled);
    return QVariantMap{{QStringLiteral("setup"), setup}};
}

int loginPosts(const Rig& rig)
{
    return rig.web.requests(QLatin1String(TestServer::LoginPath)).size();
}

} // namespace

class TestApiManager : public QObject
{
    Q_OBJECT

private slots:
    void stateMachine_data();
    void stateMachine();
    void startFollowsTheConnectRequest();
    void signInWithoutTheCredentialSendsNoStart_data();
    void signInWithoutTheCredentialSendsNoStart();
    void syncRoutes_data();
    void syncRoutes();
    void setupFlagFollowsFragments_data();
    void setupFlagFollowsFragments();
    void quickDisconnectDropsTheScheduledLogin();
    void droppedConnectionDropsTheScheduledLogin();
    void portsAndSettingsReachEverySession();
    void progressAndFallbackAreRelayed();
    void serviceNeedIsReported();
    void proxyCredentialNeverSignsIn();
    void refusedLoginSaysSoAndStops();
    void loginGoesToTheSignInsServer();
};

void TestApiManager::stateMachine_data()
{
    QTest::addColumn<QVariantList>("states");
    QTest::addColumn<bool>("setupEnabled");
    QTest::addColumn<int>("retrievals");
    QTest::addColumn<int>("logins");

    QTest::newRow("idle, connecting, reconnecting, connected")
        << QVariantList{0, 2, 3, 4} << true << 1 << 1;
    QTest::newRow("connecting, connected") << QVariantList{2, 4} << true << 1 << 1;
    QTest::newRow("error, connected") << QVariantList{1, 4} << true << 1 << 1;
    // A client started while the tunnel was already up: a plain connection
    // to it, with nothing to log in with.
    QTest::newRow("first report connected") << QVariantList{4} << true << 0 << 0;
    QTest::newRow("first report reconnecting") << QVariantList{3} << true << 0 << 0;
    QTest::newRow("found tunnel gone") << QVariantList{4, 0} << true << 0 << 0;
    QTest::newRow("reconnecting to connected asks nothing")
        << QVariantList{2, 3, 4} << true << 1 << 1;
    QTest::newRow("only connecting") << QVariantList{0, 2} << true << 0 << 0;
    QTest::newRow("plain OpenVPN") << QVariantList{0, 2, 3, 4} << false << 0 << 0;
}

void TestApiManager::stateMachine()
{
    QFETCH(QVariantList, states);
    QFETCH(bool, setupEnabled);
    QFETCH(int, retrievals);
    QFETCH(int, logins);

    Rig rig;
    QVERIFY(rig.start());
    // Up at the first report: a tunnel kept from a run before, no sign-in.
    const bool found = states.first().toInt() >= libvelcor::StateReconnecting;
    if (!found)
        QVERIFY(rig.signIn(Rig::userPass(), setupEnabled
                                                ? QVariantMap()
                                                : setupFragment(QStringLiteral("false")).toMap()));
    QCOMPARE(rig.api()->isSetupEnabled(), setupEnabled);
    QCOMPARE(rig.api()->getLastState(), -1);
    const int mark = rig.simMark();

    for (const QVariant& st : states)
        rig.sim.emitState(st.toInt());
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("window.stateChanged")), states.size(),
                              5000);
    QTest::qWait(LoginWaitMs);
    QCOMPARE(rig.valuesSince(QStringLiteral("setup.configRetrieve"), mark).size(), retrievals);
    QCOMPARE(loginPosts(rig), logins);
    QCOMPARE(rig.log.count(QStringLiteral("window.loggedIn")), logins);
    QCOMPARE(rig.api()->getLastState(), states.last().toInt());
    QCOMPARE(rig.log.count(QStringLiteral("portal.gotPages")), retrievals);
    QVariantList seen;
    for (const orvofake::Call& c : rig.log.of(QStringLiteral("window.stateChanged")))
        seen << c.args.at(0);
    QCOMPARE(seen, states);
    // The windows show a found tunnel as a plain connection while it is up.
    const QVariantMap shown =
        rig.log.last(QStringLiteral("window.configReceive")).args.value(0).toMap();
    if (found)
        QCOMPARE(shown.value("setup").toMap().value("enabled"),
                 QVariant(states.last().toInt() > 2 ? "false" : "true"));
}

void TestApiManager::startFollowsTheConnectRequest()
{
    Rig rig;
    QVERIFY(rig.start(Mode::CommandLine));
    emit rig.gui->authSupply(Rig::userPass());
    int mark = rig.simMark();
    QElapsedTimer t;
    t.start();
    emit rig.gui->sigConnect();
    QCOMPARE(rig.actionsSince(mark).size(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(rig.actionsSince(mark).size(), 1, 5000);
    const qint64 elapsed = t.elapsed();
    QVERIFY2(elapsed >= 95 && elapsed < 1000, qPrintable(QString::number(elapsed)));
    QCOMPARE(rig.actionsSince(mark), QStringList{QStringLiteral("start")});

    // Each request schedules its own "start".
    emit rig.gui->sigConnect();
    emit rig.gui->sigConnect();
    QTRY_COMPARE_WITH_TIMEOUT(rig.actionsSince(mark).size(), 3, 5000);

    // A sign-out before the delay has passed: "stop" is the last word. A
    // request of the test's own, made once the "start" was due, is answered
    // after the sign-out's credential (which a "start" would wait for): by
    // then nothing but the "stop" has been asked for.
    emit rig.gui->authSupply(Rig::userPass());
    mark = rig.simMark();
    QSignalSpy asked(rig.api(), SIGNAL(actionRequest(QString, libvelcor::Params)));
    emit rig.gui->sigConnect();
    emit rig.gui->sigDisconnect();
    libvelcor::SetupApi probe;
    QSignalSpy answered(&probe, SIGNAL(configReceived(libvelcor::Api::ResultCode, QVariant)));
    QTimer::singleShot(2 * ORVO::ApiManager::StartDelayMs, &probe, SLOT(configRetrieve()));
    QVERIFY(answered.wait(5000));
    QCOMPARE(asked.size(), 1);
    QCOMPARE(rig.actionsSince(mark), QStringList{QStringLiteral("stop")});

    // The sign-in's credential answered after the delay, and the password
    // changed meanwhile: the "start" waits for the answer, and goes.
    rig.sim.setAnswerDelay(QStringLiteral("auth"), 400);
    mark = rig.simMark();
    t.restart();
    emit rig.gui->authSupply(Rig::userPass());
    emit rig.gui->sigConnect();
    emit rig.api()->getLodestarApi()->authChanged(
        Rig::userPass(QStringLiteral("demo"), QStringLiteral("new")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.actionsSince(mark), QStringList{QStringLiteral("start")}, 5000);
    QVERIFY2(t.elapsed() >= 400, qPrintable(QString::number(t.elapsed())));
}

void TestApiManager::signInWithoutTheCredentialSendsNoStart_data()
{
    // The service's answer to the credential; 0: the service is down, -1:
    // no credential at all, -2: taken, then the connection lost (a service
    // that restarts holds none), -3: no answer in time.
    QTest::addColumn<int>("authResult");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("detail"); // %1: the service's address
    // The service lost and back before the "start" is due: the sign-in's
    // credential could not go, so neither may its "start"; the box tells
    // why the service could not be reached then.
    QTest::newRow("between two attempts")
        << 0 << "Cannot sign in: the local service cannot be reached"
        << "%1";
    QTest::newRow("credential refused")
        << 2 << "Cannot sign in: the local service refused the credential"
        << " code 2";
    QTest::newRow("no credential handed over") << -1 << "Cannot sign in: no credential was given"
                                               << "";
    QTest::newRow("taken, then the service lost and back")
        << -2 << "Cannot sign in: the local service cannot be reached"
        << "was lost";
    QTest::newRow("no answer in time")
        << -3 << "Cannot sign in: the local service did not answer in time"
        << "no answer to the credential within";
}

void TestApiManager::signInWithoutTheCredentialSendsNoStart()
{
    QFETCH(int, authResult);
    QFETCH(QString, text);
    QFETCH(QString, detail);
    const auto timeout = qScopeGuard([]() { libvelcor::Api::setRequestTimeout(30000); });
    if (authResult == -3)
        libvelcor::Api::setRequestTimeout(400);
    Rig rig;
    QVERIFY(rig.start());
    const quint16 port = rig.sim.port();
    const int errors = authResult == 0 || authResult == -2 ? 1 : 0;
    if (authResult > 0) {
        rig.sim.setResultCode(QStringLiteral("auth"), authResult);
    } else if (authResult == 0) {
        rig.sim.close();
        QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("gui._gotError")), 1, 5000);
    } else if (authResult == -2) {
        // A request answered after the credential: so was the credential.
        emit rig.login()->authSupply(Rig::userPass());
        libvelcor::SetupApi probe;
        QSignalSpy answered(&probe, SIGNAL(configReceived(libvelcor::Api::ResultCode, QVariant)));
        probe.configRetrieve();
        QVERIFY(answered.wait(5000));
        rig.sim.disconnectClients();
        QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("gui._gotError")), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.sim.clientCount(), 1, 5000);
    } else if (authResult == -3) {
        rig.sim.setAnswerDelay(QStringLiteral("auth"), 1200);
    }
    const int mark = rig.simMark();
    if (authResult >= 0 || authResult == -3)
        rig.login()->signIn(Rig::userPass(), Rig::security());
    else
        emit rig.gui->sigConnect();
    if (authResult == 0) {
        // A request that is never held, made after the credential, has
        // failed: so has the credential. Then the service comes back.
        libvelcor::CloudApi probe;
        QSignalSpy notSent(&probe, SIGNAL(actionNotSent(QString, QString)));
        probe.actionRequest(QStringLiteral("probe"), libvelcor::Params());
        QVERIFY(notSent.wait(5000));
        QVERIFY(rig.sim.listen(port));
    }
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("gui._gotError")), errors + 1, 5000);
    const QVariantList told = rig.log.last(QStringLiteral("gui._gotError")).args;
    QCOMPARE(told.at(1).toString(), text);
    QVERIFY2(
        told.at(2).toString().contains(detail.replace(QStringLiteral("%1"), rig.sim.address())),
        qPrintable(told.at(2).toString()));
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.clientCount(), 1, 5000);
    QTest::qWait(300);
    QCOMPARE(rig.valuesSince(QStringLiteral("auth"), mark).size(),
             authResult > 0 || authResult == -3 ? 1 : 0);
    QVERIFY(rig.actionsSince(mark).isEmpty());
}

void TestApiManager::syncRoutes_data()
{
    QTest::addColumn<QStringList>("endpoints");
    QTest::addColumn<QString>("ips");
    QTest::newRow("two") << QStringList{"10.0.0.5", "10.0.0.9"} << "10.0.0.5,10.0.0.9";
    QTest::newRow("one") << QStringList{"10.0.0.5"} << "10.0.0.5";
    QTest::newRow("none") << QStringList() << "";
}

void TestApiManager::syncRoutes()
{
    QFETCH(QStringList, endpoints);
    QFETCH(QString, ips);

    Rig rig;
    QVERIFY(rig.start());
    const int mark = rig.simMark();
    emit rig.portal()->syncRoutes(endpoints);
    QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("cloud.action"), mark).size(), 1,
                              5000);
    const QVariantMap a = rig.valuesSince(QStringLiteral("cloud.action"), mark).first().toMap();
    QCOMPARE(a.value(QStringLiteral("action")).toString(), QStringLiteral("syncRoutes"));
    QCOMPARE(a.value(QStringLiteral("params")).toList(),
             (QVariantList{QVariant(QVariantList{QStringLiteral("ips"), ips})}));
}

void TestApiManager::setupFlagFollowsFragments_data()
{
    QTest::addColumn<bool>("initial");
    QTest::addColumn<QVariant>("fragment");
    QTest::addColumn<bool>("expected");

    QTest::newRow("no setup section")
        << false << QVariant(QVariantMap{{QStringLiteral("timeout"), QStringLiteral("30")}})
        << false;
    QTest::newRow("setup without enabled") << false << setupFragment(QVariant()) << false;
    QTest::newRow("\"false\"") << true << setupFragment(QStringLiteral("false")) << false;
    QTest::newRow("\"FALSE\"") << true << setupFragment(QStringLiteral("FALSE")) << false;
    QTest::newRow("\"0\"") << true << setupFragment(QStringLiteral("0")) << false;
    QTest::newRow("empty text") << true << setupFragment(QString("")) << false;
    QTest::newRow("\"true\"") << false << setupFragment(QStringLiteral("true")) << true;
    QTest::newRow("other text") << false << setupFragment(QStringLiteral("yes")) << true;
}

void TestApiManager::setupFlagFollowsFragments()
{
    QFETCH(bool, initial);
    QFETCH(QVariant, fragment);
    QFETCH(bool, expected);

    Rig rig;
    QVERIFY(rig.start(Mode::Minimal));
    int mark = rig.simMark();
    emit rig.login()->configSupply(
        setupFragment(initial ? QStringLiteral("true") : QStringLiteral("false")));
    QCOMPARE(rig.api()->isSetupEnabled(), initial);
    QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("config"), mark).size(), 1, 5000);
    mark = rig.simMark();
    emit rig.login()->configSupply(fragment);
    QCOMPARE(rig.api()->isSetupEnabled(), expected);
    // The fragment still reaches the service unchanged.
    QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("config"), mark).size(), 1, 5000);
    QCOMPARE(rig.valuesSince(QStringLiteral("config"), mark).first(), fragment);
}

void TestApiManager::quickDisconnectDropsTheScheduledLogin()
{
    Rig rig;
    QVERIFY(rig.start(Mode::Minimal));
    QVERIFY(rig.signIn());
    rig.sim.emitState(libvelcor::StateConnecting);
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_COMPARE_WITH_TIMEOUT(rig.api()->getLastState(), 4, 5000);
    const int mark = rig.simMark();

    emit rig.gui->tray->sigDisconnect();
    // Not logged in yet: "stop" goes at once.
    QTRY_COMPARE_WITH_TIMEOUT(rig.actionsSince(mark), QStringList{QStringLiteral("stop")}, 5000);
    // The service has not reported the end yet, and the sign-out's default
    // map enabled the setup again: only the disconnect itself stops the login.
    QCOMPARE(rig.api()->getLastState(), 4);
    QVERIFY(rig.api()->isSetupEnabled());
    QTest::qWait(LoginWaitMs);
    QCOMPARE(loginPosts(rig), 0);
    QVERIFY(!rig.api()->getIsLoggedIn());
}

void TestApiManager::droppedConnectionDropsTheScheduledLogin()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.signIn());
    rig.sim.emitState(libvelcor::StateConnecting);
    rig.sim.emitState(libvelcor::StateConnected);
    rig.sim.emitState(libvelcor::StateError);
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("window.stateChanged")), 3, 5000);
    QTest::qWait(LoginWaitMs);
    QCOMPARE(loginPosts(rig), 0);

    // The next rise logs in as usual.
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("window.loggedIn")), 1, 5000);
    QCOMPARE(loginPosts(rig), 1);
}

void TestApiManager::portsAndSettingsReachEverySession()
{
    Rig rig;
    QVERIFY(rig.start());
    QCOMPARE(rig.sim.requestPort(), rig.api()->getRequestPort());
    QVERIFY(rig.api()->getRequestPort() >= ORVO::ApiManager::RequestServerPort);
    QCOMPARE(rig.sim.values(QStringLiteral("status.start")), QList<QVariant>{1000});
    QCOMPARE(rig.sim.values(QStringLiteral("setup.port")).size(), 1);

    emit rig.login()->logPortSupply(4824);
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.logPort(), 4824, 5000);

    // The user's standing settings, changed, then a sign-in's fragment and
    // the defaults of a sign-out.
    const QVariantMap timeout{{QStringLiteral("timeout"), QStringLiteral("45")}};
    emit rig.login()->configSupply(QVariantMap{{QStringLiteral("timeout"), QStringLiteral("30")}});
    emit rig.login()->configSupply(timeout);
    emit rig.login()->logVerbosityChanged(ORVO::VerbosityHigh);
    emit rig.login()->configSupply(QVariantMap{{QStringLiteral("is_profile"), true}});
    emit rig.gui->sigDisconnect();
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.values(QStringLiteral("config")).size(), 5, 5000);

    // A new session of the service gets the request port once (a second
    // copy would come before its "status.start"), and the newest of each
    // standing setting once; then the defaults that the loss's error sends.
    const int mark = rig.simMark();
    rig.sim.disconnectClients();
    QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("status.start"), mark).size(), 1,
                              5000);
    QCOMPARE(rig.valuesSince(QStringLiteral("setup.port"), mark),
             QList<QVariant>{rig.api()->getRequestPort()});
    const QVariantMap high{{QStringLiteral("log"), QVariantMap{{QStringLiteral("lev"), 7}}},
                           {QStringLiteral("vpn"), QVariantMap{{QStringLiteral("verb"), 4}}}};
    QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("config"), mark),
                              (QList<QVariant>{timeout, high, orvotest::defaultMap()}), 5000);
}

void TestApiManager::progressAndFallbackAreRelayed()
{
    Rig rig;
    QVERIFY(rig.start());
    rig.sim.emitProgress(1, 3, QStringLiteral("Resolving the gateway"));
    rig.sim.emitFallback(true);
    rig.sim.emitProgress(2, 3, QStringLiteral("Authenticating"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("tray.progress")), 2, 5000);
    QStringList order;
    for (const orvofake::Call& c : rig.log.calls())
        if (c.member != QLatin1String("setCookieJar"))
            order << c.name() + QLatin1Char(' ') + c.args.value(0).toString();
    QCOMPARE(order,
             (QStringList{QStringLiteral("window.progress 1"), QStringLiteral("tray.progress 1"),
                          QStringLiteral("portal.gotFallback true"),
                          QStringLiteral("window.progress 2"), QStringLiteral("tray.progress 2")}));
    QCOMPARE(rig.log.last(QStringLiteral("window.progress")).args,
             (QVariantList{2, 3, QStringLiteral("Authenticating")}));
}

void TestApiManager::serviceNeedIsReported()
{
    Rig rig;
    QVERIFY(rig.start());
    const int mark = rig.simMark();
    rig.sim.emitNeed(QStringLiteral("password"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("gui._gotError")), 1, 5000);
    QCOMPARE(rig.log.last(QStringLiteral("gui._gotError")).args.at(0).toInt(),
             int(ORVO::ModuleApiManager));
    QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("config"), mark).size(), 1, 5000);
}

void TestApiManager::proxyCredentialNeverSignsIn()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.signIn());
    // A proxy change after the sign-in.
    emit rig.login()->authSupply(Rig::proxy());
    rig.sim.emitState(libvelcor::StateConnecting);
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("window.loggedIn")), 1, 5000);
    QCOMPARE(rig.web.requests(QLatin1String(TestServer::LoginPath)).first().body,
             QByteArray("zub_username=demo&zub_password=demo"));
}

void TestApiManager::refusedLoginSaysSoAndStops()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.signIn(Rig::userPass(QStringLiteral("demo"), QStringLiteral("wrong"))));
    const int mark = rig.simMark();
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("gui._gotError")), 1, 5000);
    QCOMPARE(rig.log.last(QStringLiteral("gui._gotError")).args.at(1).toString(),
             QStringLiteral("The management server refused the user name or password"));
    // The window is left with the sign-in it can act on, not a dead tunnel.
    QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(mark).contains(QStringLiteral("stop")), 5000);
}

// A login goes to the server that the sign-in's configuration named, also
// when that configuration comes after the login's delay; a later sign-in
// never logs in to that server, not once a service error has reset a plain
// profile's configuration, nor when an earlier sign-in's configuration
// comes late.
void TestApiManager::loginGoesToTheSignInsServer()
{
    Rig rig;
    QVERIFY(rig.start());
    rig.sim.setConfigReply(rig.sim.serverRecord(), LoginWaitMs * 2);
    QVERIFY(rig.signInManaged());
    emit rig.window()->sigDisconnect();
    QTRY_VERIFY(!rig.api()->getIsLoggedIn());
    rig.sim.emitState(libvelcor::StateIdle);
    // A sign-in that ends before its configuration comes: it comes late.
    const int mark = rig.simMark();
    QVERIFY(rig.signIn());
    rig.sim.emitState(libvelcor::StateConnecting);
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_VERIFY(!rig.valuesSince(QStringLiteral("setup.configRetrieve"), mark).isEmpty());
    emit rig.window()->sigDisconnect();
    rig.sim.emitState(libvelcor::StateIdle);
    rig.sim.setConfigReply(QVariantMap{}); // no server record
    QVERIFY(rig.signIn(Rig::userPass(), setupFragment(QStringLiteral("false")).toMap()));
    rig.sim.emitState(libvelcor::StateConnecting);
    rig.sim.emitState(libvelcor::StateConnected);
    rig.sim.emitError(400, QStringLiteral("The service connection was lost"));
    QTRY_VERIFY(rig.api()->isSetupEnabled());
    rig.sim.emitState(libvelcor::StateError);
    rig.sim.emitState(libvelcor::StateConnected);
    QTest::qWait(LoginWaitMs * 2);
    QCOMPARE(loginPosts(rig), 1);
    QCOMPARE(rig.log.count(QStringLiteral("portal.gotPages")), 1);
    // Shown as a plain connection, which the user can end.
    QCOMPARE(
        rig.log.last(QStringLiteral("window.configReceive")).args.value(0).toMap().value("setup"),
        QVariant(QVariantMap{{"enabled", "false"}}));
}

ORVO_TEST_MAIN(TestApiManager)
#include "tst_apimanager.moc"
