// The local service client: the connection state machine, the delayed
// "start" and login, route changes, ports and the relays, against the
// service simulator and the test server.

#include <QtTest>

#include <functional>

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

int count(const Rig& rig, const char* call)
{
    return rig.log.count(QLatin1String(call));
}

int requests(const Rig& rig, const char* path)
{
    return rig.web.requests(QLatin1String(path)).size();
}

// Why the windows were told last that no portal comes.
QString noPortal(const Rig& rig)
{
    return rig.log.last(QStringLiteral("window.plainConnection")).args.value(1).toString();
}

// What the windows were told last of the connection up: plain, and found
// (its note says that no sign-in here started it).
QVariantList shown(const Rig& rig)
{
    return {rig.log.last(QStringLiteral("window.plainConnection")).args.value(0),
            noPortal(rig).contains("not started by a sign-in")};
}

// The states 0 to 4 in an order that holds every pair of consecutive
// reports once (a de Bruijn sequence of order 2, closed).
const QList<int> EveryPairOfReports{0, 0, 1, 0, 2, 0, 3, 0, 4, 1, 1, 2, 1,
                                    3, 1, 4, 2, 2, 3, 2, 4, 3, 3, 4, 4, 0};

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
    void portsAndSettingsReachEverySession();
    void progressAndFallbackAreRelayed();
    void serviceNeedIsReported();
    void proxyCredentialNeverSignsIn();
    void refusedLoginSaysSoAndStops();
    void loginGoesToTheSignInsServer();
    void signInLastsUntilItsTunnelEnds_data();
    void signInLastsUntilItsTunnelEnds();
    void anEndedSignInLeavesNothingBehind();
};

void TestApiManager::stateMachine_data()
{
    // States reported before the sign-in (its "start"), and after it.
    QTest::addColumn<QVariantList>("before");
    QTest::addColumn<QVariantList>("after");
    QTest::addColumn<bool>("setupEnabled");
    QTest::addColumn<int>("retrievals");
    QTest::addColumn<int>("logins");

    QTest::newRow("idle, connecting, reconnecting, connected")
        << QVariantList{0} << QVariantList{2, 3, 4} << true << 1 << 1;
    QTest::newRow("connecting, connected")
        << QVariantList{} << QVariantList{2, 4} << true << 1 << 1;
    QTest::newRow("error, connected") << QVariantList{1} << QVariantList{4} << true << 1 << 1;
    // A client started while the tunnel was already up: a plain connection
    // to it, with nothing to log in with.
    QTest::newRow("first report connected") << QVariantList{4} << QVariantList{} << true << 0 << 0;
    QTest::newRow("first report reconnecting")
        << QVariantList{3} << QVariantList{} << true << 0 << 0;
    QTest::newRow("found tunnel gone") << QVariantList{4, 0} << QVariantList{} << true << 0 << 0;
    QTest::newRow("reconnecting to connected asks nothing")
        << QVariantList{} << QVariantList{2, 3, 4} << true << 1 << 1;
    QTest::newRow("only connecting") << QVariantList{0} << QVariantList{2} << true << 0 << 0;
    QTest::newRow("plain OpenVPN") << QVariantList{0} << QVariantList{2, 3, 4} << false << 0 << 0;
}

void TestApiManager::stateMachine()
{
    QFETCH(QVariantList, before);
    QFETCH(QVariantList, after);
    QFETCH(bool, setupEnabled);
    QFETCH(int, retrievals);
    QFETCH(int, logins);

    Rig rig;
    QVERIFY(rig.start());
    QCOMPARE(rig.api()->getLastState(), -1);
    for (const QVariant& st : before)
        rig.sim.emitState(st.toInt());
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("window.stateChanged")), before.size(),
                              5000);
    if (!after.isEmpty())
        QVERIFY(rig.signIn(Rig::userPass(), setupEnabled
                                                ? QVariantMap()
                                                : setupFragment(QStringLiteral("false")).toMap()));
    QCOMPARE(rig.api()->isSetupEnabled(), setupEnabled);
    const int mark = rig.simMark();

    for (const QVariant& st : after)
        rig.sim.emitState(st.toInt());
    const QVariantList states = before + after;
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("window.stateChanged")), states.size(),
                              5000);
    QTest::qWait(LoginWaitMs);
    QCOMPARE(rig.valuesSince(QStringLiteral("setup.configRetrieve"), mark).size(), retrievals);
    QCOMPARE(loginPosts(rig), logins);
    QCOMPARE(rig.log.count(QStringLiteral("window.loggedIn")), logins);
    QCOMPARE(rig.api()->getLastState(), states.last().toInt());
    // A configuration that comes once its sign-in has ended brings no pages.
    QCOMPARE(rig.log.count(QStringLiteral("portal.gotPages")), logins);
    QVariantList seen;
    for (const orvofake::Call& c : rig.log.of(QStringLiteral("window.stateChanged")))
        seen << c.args.at(0);
    QCOMPARE(seen, states);
    // The windows show a found tunnel as a plain connection while it is up.
    const bool foundUp = after.isEmpty() && states.last().toInt() > 2;
    if (after.isEmpty())
        QCOMPARE(shown(rig), (QVariantList{foundUp, foundUp}));
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
    QSignalSpy lasting(rig.api(), SIGNAL(signInLasts(bool)));
    emit rig.gui->sigConnect();
    QCOMPARE(lasting.size(), 0); // a later sign-in in place of one that lasts
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
// never logs in to that server: not a plain profile's through a service
// error and its retry, nor when an earlier sign-in's configuration comes
// late.
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
    rig.sim.emitState(libvelcor::StateError);
    rig.sim.emitState(libvelcor::StateConnected);
    QTest::qWait(LoginWaitMs * 2);
    QCOMPARE(loginPosts(rig), 1);
    QCOMPARE(rig.log.count(QStringLiteral("portal.gotPages")), 1);
    // Up again after the error, it is still the plain profile's sign-in.
    QCOMPARE(rig.log.last(QStringLiteral("window.plainConnection")).args,
             (QVariantList{true, QString()}));
}

// A sign-in lasts from SIGN IN until its tunnel is over. Through every pair
// of consecutive reports (errors and a lost service are stumbles), each
// answer the configuration may get, LOGOUT at several steps and however the
// management server takes it, the user's password and the web session go
// only to the server that the sign-in's first configuration named (A), and
// only while the sign-in lasts; every LOGOUT stops the tunnel within the
// bound; only a tunnel that rises without a sign-in is said to be found.
// The user signs in again at some states at which the window offers SIGN IN.
void TestApiManager::signInLastsUntilItsTunnelEnds_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QList<int>>("signInAt");
    QTest::addColumn<QString>("logout"); // LOGOUT every 5 steps, and how it goes
    QTest::addColumn<int>("lostAt");     // the state at which the service is lost
    for (const char* answer :
         {"A", "A, then B", "A, then fallback B", "none", "failure", "late", "never"}) {
        const QString name(answer);
        QTest::newRow(qPrintable(name + ", sign-ins at idle and error"))
            << name << QList<int>{0, 1} << "" << -1;
        QTest::newRow(qPrintable(name + ", at idle, LOGOUT every 5"))
            << name << QList<int>{0} << "answers" << -1;
        QTest::newRow(qPrintable(name + ", at error")) << name << QList<int>{1} << "" << -1;
    }
    QTest::newRow("A, LOGOUT to a silent server") << "A" << QList<int>{0} << "silent" << -1;
    QTest::newRow("A, LOGOUT sent on elsewhere") << "A" << QList<int>{0} << "elsewhere" << -1;
    QTest::newRow("A, LOGOUT, slow, a password change and LOGOUT again")
        << "A" << QList<int>{0} << "slow" << -1;
    QTest::newRow("A, LOGOUT while the service is lost")
        << "A" << QList<int>{0, 1} << "while lost" << -1;
    QTest::newRow("A, the service lost while connected") << "A" << QList<int>{0, 1} << "" << 4;
    QTest::newRow("A, then the web client told B")
        << "A, told B" << QList<int>{0, 1} << "answers" << -1;
    QTest::newRow("A, its login sent on to B (307)") << "307" << QList<int>{0, 1} << "" << -1;
    QTest::newRow("A, its login slow") << "slow login" << QList<int>{0, 1} << "" << -1;
    QTest::newRow("A, its password change sent on to B (307)")
        << "307 change" << QList<int>{0, 1} << "" << -1;
    QTest::newRow("A, then another id at its address")
        << "A, then another id" << QList<int>{0, 1} << "" << -1;
    // The first answer a failure or none, A again at the retry; or too late,
    // A when asked again at the same rise.
    QTest::newRow("refused, then A") << "refused, then A" << QList<int>{1} << "" << -1;
    QTest::newRow("none, then A") << "none, then A" << QList<int>{1} << "" << -1;
    QTest::newRow("too late, then A") << "too late, then A" << QList<int>{0} << "" << -1;
    // A names no fallback, and the service runs on its fallback connection.
    QTest::newRow("A, on the fallback") << "A, on the fallback" << QList<int>{0, 1} << "" << -1;
}

void TestApiManager::signInLastsUntilItsTunnelEnds()
{
    QFETCH(QString, answer);
    QFETCH(QList<int>, signInAt);
    QFETCH(QString, logout);
    QFETCH(int, lostAt);
    const int delayMs = 15;
    const int boundMs = 120;
    ORVO::ApiManager::setDelays(5, delayMs, boundMs);
    const int tooLateMs = answer == "too late, then A" ? 500 : 30000;
    libvelcor::Api::setRequestTimeout(tooLateMs);
    const auto restore = qScopeGuard([] {
        ORVO::ApiManager::setDelays(ORVO::ApiManager::StartDelayMs, ORVO::ApiManager::LoginDelayMs);
        libvelcor::Api::setRequestTimeout(30000);
    });
    Rig rig;
    QVERIFY(rig.start());
    // A is the test server as 127.0.0.1, B the same server as localhost: a
    // login that goes to B is seen by its Host.
    const QVariantMap a = rig.sim.serverRecord();
    QVariantMap server = a.value("server").toMap();
    server.insert("openvpn_internal_ip", "localhost");
    const QVariantMap b{{"server", server}};
    server = a.value("server").toMap();
    server.insert("fallback_openvpn_internal_ip", "localhost");
    const QVariantMap fallbackB{{"server", server}};
    const QUuid otherId("{00000000-0000-4000-8000-000000000001}");
    server = a.value("server").toMap();
    server.insert("uuid", otherId.toString());
    const QVariantMap other{{"server", server}};
    if (answer.startsWith("none"))
        rig.sim.setConfigReply(QVariantMap{});
    else if (answer == "failure" || answer == "refused, then A")
        rig.sim.setResultCode("setup.configRetrieve", 5);
    else if (answer == "late")
        rig.sim.setConfigReply(a, delayMs * 6);
    else if (answer == "never")
        rig.sim.setConfigReply(a, 600000);
    else if (answer.startsWith("307"))
        rig.web.setResponse(answer == "307" ? TestServer::LoginPath
                                            : TestServer::ChangePasswordPath,
                            307, "", "text/plain",
                            {{"Location", "http://localhost:" + QByteArray::number(rig.web.port()) +
                                              TestServer::LoginPath}});
    else if (answer == "slow login") // still under way at the next report
        rig.web.setDelay(TestServer::LoginPath, 100);
    if (logout == "silent" || logout == "slow")
        rig.web.setDelay(TestServer::LogoutPath, logout == "silent" ? 600000 : boundMs * 10);
    else if (logout == "elsewhere") // a single sign-on's logout: the server took it
        rig.web.setResponse(TestServer::LogoutPath, 302, "", "text/plain",
                            {{"Location", "http://localhost:1/sso/logout"}});

    // Stopping: its "stop" went, so it ends once the service says idle.
    bool lasts = false;
    bool stopping = false;
    bool found = false;
    int state = -1;
    int loginsAtEnd = 0;
    int retrievalsAtEnd = 0;
    int errorsSeen = 0;
    bool switched = false;
    const auto retrievals = [&rig]() {
        return rig.valuesSince(QStringLiteral("setup.configRetrieve"), 0).size();
    };
    int pagesAtSignIn = 0;
    const auto signIn = [&]() {
        if (answer.startsWith("A, then")) {
            rig.sim.setConfigReply(a);
            rig.sim.emitFallback(false);
        }
        if (answer == "A, on the fallback")
            rig.sim.emitFallback(true);
        pagesAtSignIn = rig.log.count(QStringLiteral("portal.gotPages"));
        QVERIFY(rig.signIn());
        lasts = true;
        stopping = false;
    };
    // Nothing more is asked or logged in to once the sign-out began.
    const auto freeze = [&]() {
        QTest::qWait(delayMs * 2);
        loginsAtEnd = loginPosts(rig);
        retrievalsAtEnd = retrievals();
    };
    const auto ended = [&]() {
        if (lasts && !stopping)
            freeze();
        lasts = false;
        stopping = false;
    };
    const auto stopped = [&]() {
        stopping = true;
        if (state == 0)
            ended();
    };
    // The service lost and back; meanwhile() runs while it is away.
    const auto lose = [&](const std::function<void()>& meanwhile) {
        const quint16 port = rig.sim.port();
        const int starts = rig.valuesSince(QStringLiteral("status.start"), 0).size();
        rig.sim.close();
        QTest::qWait(50);
        QTRY_VERIFY(state < 2 || rig.api()->getLastState() == 1);
        state = qMin(state, 1);
        found = false;
        meanwhile();
        QTest::qWait(100);
        QVERIFY(rig.sim.listen(port));
        QTRY_VERIFY(rig.valuesSince(QStringLiteral("status.start"), 0).size() > starts);
    };
    signIn();
    for (int i = 0; i < EveryPairOfReports.size(); ++i) {
        const int st = EveryPairOfReports.at(i);
        if (!logout.isEmpty() && i % 5 == 4 && lasts && !stopping) {
            QTRY_VERIFY(!rig.api()->getLodestarApi()->isBusy());
            const int mark = rig.simMark();
            const int changes =
                requests(rig, TestServer::ChangePasswordPath) + count(rig, "gui._gotAuthChanged");
            // A change under way at the press has its answer first; one
            // made after it goes nowhere.
            const bool first = logout == "slow" && rig.api()->getIsLoggedIn() && state == 4;
            const auto press = [&]() {
                if (first)
                    emit rig.portal()->changePassword(QStringLiteral("demo"));
                emit rig.window()->sigDisconnect();
                if (logout == "slow") {
                    emit rig.portal()->changePassword(QStringLiteral("chosenByPortal"));
                    emit rig.window()->sigDisconnect();
                    emit rig.window()->sigDisconnect();
                }
                stopped();
            };
            // Long enough for the "stop" to be lost with the connection.
            logout == "while lost" ? lose([&] { press(), QTest::qWait(300); }) : press();
            // Within the bound, whatever the server does; again to a
            // service that is back.
            if (lasts)
                QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(mark).contains("stop"), boundMs * 4);
            QCOMPARE(requests(rig, TestServer::ChangePasswordPath) +
                         count(rig, "gui._gotAuthChanged"),
                     changes + 2 * first);
            // The service holds the sign-out's empty credential, not the change's.
            QVERIFY(!first || rig.sim.credentials().last().getPass().isEmpty());
            freeze();
        }
        const int postsBefore = loginPosts(rig);
        const int pagesBefore = count(rig, "portal.gotPages");
        const int reports = count(rig, "window.stateChanged");
        const int asked = retrievals();
        const bool up = st == 3 || st == 4;
        const bool rose = up && state != 3 && state != 4;
        // The first rise of a sign-in into "connected" answered too late.
        const bool late = answer == "too late, then A" && !switched && st == 4 && rose && lasts;
        if (late)
            rig.sim.setConfigReply(a, tooLateMs * 2);
        rig.sim.emitState(st);
        QTRY_VERIFY_WITH_TIMEOUT(count(rig, "window.stateChanged") > reports, 5000);
        const int answeredLogins = count(rig, "window.loggedIn");
        if (late) {
            QTRY_VERIFY(retrievals() > asked);
            rig.sim.setConfigReply(a);
            switched = true;
        }
        // After the first answer, the service's own retry names A.
        const bool retried = answer == "refused, then A" || answer == "none, then A";
        if (retried && !switched && rose && lasts && !stopping) {
            QTRY_VERIFY(noPortal(rig).startsWith("No portal comes for this connection"));
            rig.sim.setResultCode("setup.configRetrieve", 0);
            rig.sim.clearConfigReply();
            switched = true;
        }
        if (st <= 1) {
            found = false;
            if (st == 0)
                ended();
        } else if (up && state != 3 && state != 4) {
            found = !lasts;
        }
        state = st;
        const bool going = lasts && !stopping;
        const bool none = answer == "none" || answer == "failure" || answer == "A, on the fallback";
        if (going && none && up)
            QTRY_VERIFY(noPortal(rig).startsWith("No portal comes for this connection"));
        // Back after an error or a lost service: its pages anew at the
        // rise, and a login to A at each report of "connected".
        if (going && (answer == "A" || (switched && answer.endsWith("then A"))) && st == 4) {
            QTRY_VERIFY_WITH_TIMEOUT(loginPosts(rig) > postsBefore, 5000);
            QVERIFY(!rose || count(rig, "portal.gotPages") > pagesBefore);
        }
        QTest::qWait(answer == "slow login" && st != 4 ? 150 : delayMs * 2);
        // A login under way when the tunnel left "connected" was dropped:
        // none is answered while the tunnel is away.
        QVERIFY2(st == 4 || count(rig, "window.loggedIn") == answeredLogins,
                 qPrintable(QStringLiteral("step %1 (%2)").arg(i).arg(st)));
        // A login sent on to B fails, with its box: the sign-in stops.
        const int errors = count(rig, "gui._gotError");
        if (answer == "307" && going && errors > errorsSeen) {
            QTRY_VERIFY(rig.actionsSince(0).contains("stop"));
            stopped();
            freeze();
        }
        errorsSeen = errors;
        if (st == lostAt)
            lose([] {});
        // Once the sign-in's own configuration named A, the service names B,
        // or B as the fallback that it then runs on.
        if (answer.startsWith("A, then") &&
            rig.log.count(QStringLiteral("portal.gotPages")) > pagesAtSignIn) {
            rig.sim.setConfigReply(answer == "A, then B"            ? b
                                   : answer == "A, then another id" ? other
                                                                    : fallbackB);
            if (answer != "A, then B")
                rig.sim.emitFallback(true);
        }
        // Or the web client is told B. The password change goes to A only.
        if (answer == "A, then B" || answer == "A, told B" || answer == "307 change") {
            QTRY_VERIFY(!rig.api()->getLodestarApi()->isBusy());
            if (answer == "A, told B" && count(rig, "portal.gotPages") > 0)
                emit rig.api()->serverAddrSupply(QStringLiteral("localhost"), QString());
            emit rig.portal()->changePassword(QStringLiteral("demo"));
        }

        const QString step = QStringLiteral("step %1 (%2)").arg(i).arg(st);
        // Each on a connection of its own, which no later tunnel takes; no
        // change made after LOGOUT.
        for (const TestServer::Request& r : rig.web.requests())
            QVERIFY2(r.headers.value("host").startsWith("127.0.0.1:") &&
                         r.headers.value("connection") == "close" &&
                         !r.body.contains("chosenByPortal"),
                     qPrintable(step));
        // Nor do the portal's pages come from anywhere else.
        QVERIFY2(QStringList({"", "127.0.0.1"}).contains(rig.portal()->addr) &&
                     rig.portal()->fallbackAddr.isEmpty() && rig.portal()->serverId != otherId,
                 qPrintable(step));
        if (!going) {
            QVERIFY2(loginPosts(rig) == loginsAtEnd, qPrintable(step));
            QVERIFY2(retrievals() == retrievalsAtEnd, qPrintable(step));
        }
        // The window offers CANCEL for as long as the sign-in lasts.
        QVERIFY2(rig.log.last(QStringLiteral("window.signInLasts")).args == QVariantList{lasts},
                 qPrintable(step));
        QVERIFY2(rig.log.last(QStringLiteral("window.signingOut")).args.value(0).toBool() ==
                     stopping,
                 qPrintable(step));
        if (up)
            QVERIFY2(shown(rig).at(1) == found && (!found || shown(rig).at(0).toBool()),
                     qPrintable(step));
        if (signInAt.contains(st) && !lasts)
            signIn();
    }
    QVERIFY(logout != "elsewhere" ||
            (requests(rig, TestServer::LogoutPath) > 0 && count(rig, "gui._gotError") == 0));
    // The sign-ins that LOGOUT leaves long enough log in.
    if (answer == "none" || answer == "failure" || answer == "never" ||
        answer == "A, on the fallback")
        QCOMPARE(loginPosts(rig), 0);
    else if (signInAt.size() == 2 && answer != "A, then fallback B")
        QTRY_VERIFY(loginPosts(rig) > 0);
}

// What ends a sign-in ends what it asked of the web API and of the
// service, and a sign-in's logins go only where its first configuration
// said: a configuration naming another server after a reconnection stops
// them; a sign-out while the tunnel reconnects stops it at once; a logout
// still waiting when the tunnel ends, and a password change answered after
// it, are no later sign-in's.
void TestApiManager::anEndedSignInLeavesNothingBehind()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.signInManaged());
    QVariantMap server = rig.sim.serverRecord().value("server").toMap();
    server.insert("openvpn_internal_ip", "localhost");
    rig.sim.setConfigReply(QVariantMap{{"server", server}});
    rig.sim.emitState(libvelcor::StateConnecting);
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_COMPARE(shown(rig), (QVariantList{true, false}));
    QVERIFY(noPortal(rig).contains("another management server"));
    QTest::qWait(LoginWaitMs);
    QCOMPARE(loginPosts(rig), 1);

    int mark = rig.simMark();
    rig.web.setDelay(QLatin1String(TestServer::LogoutPath), 1500);
    rig.sim.emitState(libvelcor::StateReconnecting);
    QTRY_COMPARE(rig.api()->getLastState(), int(libvelcor::StateReconnecting));
    emit rig.window()->sigDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(mark).contains("stop"), 1000);

    rig.sim.emitState(libvelcor::StateIdle);
    rig.sim.clearConfigReply();
    QVERIFY(rig.signInManaged());
    mark = rig.simMark();
    emit rig.window()->sigDisconnect();
    QElapsedTimer sinceLogout;
    sinceLogout.start();
    QTRY_VERIFY(!rig.web.requests(QLatin1String(TestServer::LogoutPath)).isEmpty());
    rig.sim.emitState(libvelcor::StateIdle);
    QTRY_VERIFY(!rig.api()->getIsLoggedIn());
    QVERIFY(rig.signInManaged());
    rig.web.setDelay(QLatin1String(TestServer::ChangePasswordPath), 300);
    emit rig.portal()->changePassword(QStringLiteral("chosenByPortal"));
    QTRY_VERIFY(!rig.web.requests(QLatin1String(TestServer::ChangePasswordPath)).isEmpty());
    rig.sim.emitState(libvelcor::StateIdle);
    QVERIFY(rig.signIn());
    rig.sim.emitState(libvelcor::StateConnecting);
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_COMPARE_WITH_TIMEOUT(loginPosts(rig), 4, 5000);
    QCOMPARE(rig.web.requests(QLatin1String(TestServer::LoginPath)).last().body,
             QByteArray("zub_username=demo&zub_password=demo"));
    // The old logout's answer has come by now: it stopped nothing.
    QTest::qWait(int(qMax<qint64>(0, 1600 - sinceLogout.elapsed())));
    QCOMPARE(rig.actionsSince(mark), QStringList({"start", "start"}));

    // An answer asked at an earlier rise, coming once the login is due: the
    // sign-in began with A, and the tunnel up now leads to B, as its own
    // answer says.
    rig.sim.emitState(libvelcor::StateIdle);
    rig.sim.setConfigReply(rig.sim.serverRecord(), LoginWaitMs);
    QVERIFY(rig.signIn());
    mark = rig.simMark();
    const int posts = loginPosts(rig);
    rig.sim.emitState(libvelcor::StateConnecting);
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_VERIFY(!rig.valuesSince(QStringLiteral("setup.configRetrieve"), mark).isEmpty());
    rig.sim.setConfigReply(QVariantMap{{"server", server}});
    rig.sim.emitState(libvelcor::StateError);
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_VERIFY(noPortal(rig).contains("another management server"));
    QTest::qWait(LoginWaitMs);
    QCOMPARE(loginPosts(rig), posts);
    // Back after an error, the tunnel is asked about anew: a login due
    // before the answer waits for it, and goes nowhere once it names B.
    rig.sim.emitState(libvelcor::StateIdle);
    rig.sim.clearConfigReply();
    QVERIFY(rig.signInManaged());
    rig.sim.setConfigReply(QVariantMap{{"server", server}}, LoginWaitMs);
    rig.sim.emitState(libvelcor::StateError);
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_VERIFY(noPortal(rig).contains("another management server"));
    QCOMPARE(loginPosts(rig), posts + 1);

    // A sign-out while the login again after a reconnection is under way
    // logs out at once; a password change meanwhile goes nowhere.
    rig.sim.emitState(libvelcor::StateIdle);
    rig.sim.clearConfigReply();
    QVERIFY(rig.signInManaged());
    rig.web.setDelay(QLatin1String(TestServer::LoginPath), 3000);
    rig.sim.emitState(libvelcor::StateReconnecting);
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_COMPARE(loginPosts(rig), posts + 3);
    const int logouts = requests(rig, TestServer::LogoutPath);
    const int changes = requests(rig, TestServer::ChangePasswordPath);
    emit rig.portal()->changePassword(QStringLiteral("demo"));
    emit rig.window()->sigDisconnect();
    QTRY_COMPARE_WITH_TIMEOUT(requests(rig, TestServer::LogoutPath), logouts + 1, 1000);
    QCOMPARE(requests(rig, TestServer::ChangePasswordPath), changes);
    // A login answered once the web client was told another server is not
    // taken.
    rig.sim.emitState(libvelcor::StateIdle);
    rig.web.setDelay(QLatin1String(TestServer::LoginPath), LoginWaitMs);
    QVERIFY(rig.signIn());
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_COMPARE(loginPosts(rig), posts + 4);
    emit rig.api()->serverAddrSupply(QStringLiteral("localhost"), QString());
    QTest::qWait(LoginWaitMs * 2);
    QCOMPARE(count(rig, "window.loggedIn"), posts + 2);

    // A login due while a change is under way waits for its answer; a
    // change that the tunnel's going leaves unanswered is told.
    rig.sim.emitState(libvelcor::StateIdle);
    rig.web.clearPath(QLatin1String(TestServer::LoginPath));
    QVERIFY(rig.signInManaged());
    rig.web.setDelay(QLatin1String(TestServer::ChangePasswordPath), LoginWaitMs * 2);
    emit rig.portal()->changePassword(QStringLiteral("demo"));
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_COMPARE(count(rig, "gui._gotAuthChanged"), 1);
    QTRY_COMPARE(loginPosts(rig), posts + 6);
    QTRY_VERIFY(!rig.api()->getLodestarApi()->isBusy());
    rig.web.setDelay(QLatin1String(TestServer::ChangePasswordPath), 3000);
    emit rig.portal()->changePassword(QStringLiteral("demo"));
    QTRY_VERIFY(requests(rig, TestServer::ChangePasswordPath) > changes + 1);
    const int boxes = count(rig, "gui._gotError");
    rig.sim.emitState(libvelcor::StateReconnecting);
    QTRY_COMPARE(count(rig, "gui._gotError"), boxes + 1);
    QVERIFY(rig.log.last("gui._gotError").args.value(2).toString().contains("may be in force"));

    // A logo sent on, slowly, once another id is named at the address: the
    // web session ends, and the logo with it.
    TestServer logos;
    if (!logos.listen(false, 80)) // root
        QSKIP("port 80 is taken");
    logos.setResponse(TestServer::LogoPath, 302, "", "text/plain", {{"Location", "/logo2"}});
    logos.setDelay(TestServer::LogoPath, 2000);
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_VERIFY(!logos.requests(TestServer::LogoPath).isEmpty());
    server = rig.sim.serverRecord().value("server").toMap();
    server.insert("uuid", "{00000000-0000-4000-8000-000000000001}");
    rig.sim.setConfigReply(QVariantMap{{"server", server}});
    rig.sim.emitState(libvelcor::StateError);
    QTRY_COMPARE(rig.api()->getLastState(), 1);
    rig.sim.emitState(libvelcor::StateConnected);
    QTest::qWait(2500);
    QVERIFY(logos.requests(QStringLiteral("/logo2")).isEmpty());
}

ORVO_TEST_MAIN(TestApiManager)
#include "tst_apimanager.moc"
