// Whole sign-ins and sign-outs over real loopback sockets: the client side
// (Manager and its workers, wired to the recording GUI fakes) against the
// service simulator and the management-server test server.

#include <QNetworkCookie>
#include <QSettings>
#include <QtTest>

#include "common/cookiejar.h"
#include "libabout/about.h"
#include "rig.h"
#include "testmain.h"

using orvotest::Mode;
using orvotest::Rig;
using orvotest::TestServer;

// The web server on the standard ports, where the logo URLs lead.
#define START_WITH(rig, https)                                                                     \
    do {                                                                                           \
        if (!rig.start(Mode::Full, true, true, https, true)) {                                     \
            if (rig.web.port() == 0)                                                               \
                QSKIP("the management-server test server needs port 80 and 443 (run as root)");    \
            QFAIL("the client side did not start");                                                \
        }                                                                                          \
    } while (false)
#define START(rig) START_WITH(rig, false)
#define START_HTTPS(rig) START_WITH(rig, true)

namespace {

QVariantMap simAuth(const QVariant& v)
{
    return v.toMap();
}

int count(const QStringList& list, const QString& s)
{
    return list.count(s);
}

} // namespace

class TestCoordinationE2E : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void plainOpenVpnSignIn();
    void managementServerSignIn();
    void certificateProfileUsesHttpsThroughout();
    void signOutWithServerReachable();
    void signOutWithServerUnreachable();
    void quitWithSilentServerStillStops();
    void untrustedServer_data();
    void untrustedServer();
    void errorBoxHoldsNoStateBack();
    void requestServerActionReachesTheController();
    void passwordChangeIsUsedByLaterLogins();
    void passwordChangeFailures_data();
    void passwordChangeFailures();
    void managerGoneWhileLoggingOut();
};

void TestCoordinationE2E::initTestCase()
{
    TestServer::trustCaByDefault();
}

void TestCoordinationE2E::plainOpenVpnSignIn()
{
    Rig rig;
    START(rig);
    const QVariantMap fragment{
        {QStringLiteral("is_profile"), true},
        {QStringLiteral("setup"),
         QVariantMap{{QStringLiteral("enabled"), QStringLiteral("false")}}},
        {QStringLiteral("vpn"),
         QVariantMap{{QStringLiteral("conf"), QStringLiteral("/profiles/1.profile/client.ovpn")},
                     {QStringLiteral("args"), QStringLiteral("--route-nopull")}}}};
    const int mark = rig.simMark();
    QElapsedTimer t;
    t.start();
    rig.login()->signIn(Rig::userPass(),
                        Rig::security(true, QStringLiteral("/profiles/1.profile/ca.crt")),
                        fragment);

    QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(mark).contains(QStringLiteral("start")), 5000);
    const qint64 startAfter = t.elapsed();
    QVERIFY2(startAfter >= 95 && startAfter < 1000, qPrintable(QString::number(startAfter)));
    QCOMPARE(
        rig.sim.kinds().mid(mark),
        (QStringList{QStringLiteral("config"), QStringLiteral("auth"), QStringLiteral("config"),
                     QStringLiteral("config"), QStringLiteral("cloud.action")}));
    const auto configs = rig.valuesSince(QStringLiteral("config"), mark);
    QCOMPARE(configs.at(0).toMap(), fragment);
    QCOMPARE(configs.at(1)
                 .toMap()
                 .value(QStringLiteral("ssl"))
                 .toMap()
                 .value(QStringLiteral("op"))
                 .toMap(),
             (QVariantMap{{QStringLiteral("auth"), QStringLiteral("user-pass")}}));
    QCOMPARE(simAuth(rig.valuesSince(QStringLiteral("auth"), mark).first()),
             orvofake::authToMap(Rig::userPass()));
    const QVariantMap merged = rig.sim.mergedConfig();
    QCOMPARE(merged.value(QStringLiteral("ssl")).toMap().value(QStringLiteral("init")).toMap(),
             (QVariantMap{{QStringLiteral("verify_ca"), true},
                          {QStringLiteral("ca"), QStringLiteral("/profiles/1.profile/ca.crt")}}));
    QVERIFY(!rig.api()->isSetupEnabled());
    QVERIFY(!rig.window()->setupFlag);

    // States and progress reach the window, the tray and the login plugin in order.
    rig.log.clear();
    rig.sim.emitState(libvelcor::StateConnecting);
    rig.sim.emitProgress(1, 3, QStringLiteral("Resolving the gateway"));
    rig.sim.emitProgress(2, 3, QStringLiteral("Authenticating"));
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("login.stateChanged")), 2, 5000);
    QStringList window;
    for (const orvofake::Call& c : rig.log.calls())
        if (c.object == QLatin1String("window"))
            window << c.member + QLatin1Char(' ') + c.args.value(0).toString();
    // A plain profile's connection is shown plain, before its state.
    QCOMPARE(window,
             (QStringList{QStringLiteral("stateChanged 2"), QStringLiteral("progress 1"),
                          QStringLiteral("progress 2"), QStringLiteral("plainConnection true"),
                          QStringLiteral("stateChanged 4")}));
    QCOMPARE(rig.log.namesOf(QStringLiteral("tray")),
             (QStringList{QStringLiteral("tray._stateChanged"), QStringLiteral("tray.progress"),
                          QStringLiteral("tray.progress"), QStringLiteral("tray._stateChanged")}));

    // No management server: nothing is retrieved, nobody logs in.
    QTest::qWait(700);
    QCOMPARE(rig.valuesSince(QStringLiteral("setup.configRetrieve"), mark).size(), 0);
    QCOMPARE(rig.web.requests().size(), 0);

    // The sign-out stops the tunnel at once.
    const int out = rig.simMark();
    emit rig.window()->sigDisconnect();
    QTRY_COMPARE_WITH_TIMEOUT(rig.actionsSince(out), QStringList{QStringLiteral("stop")}, 5000);
    QCOMPARE(rig.web.requests().size(), 0);
}

void TestCoordinationE2E::managementServerSignIn()
{
    Rig rig;
    // A location the user chose earlier for this server's "viewer" action.
    {
        QSettings store(QString::fromLatin1(LibVelcorOrganization),
                        QStringLiteral("BastivaConnectApp"));
        store.setValue(QStringLiteral("ls_da39a3ee-5e6b-5b0d-b255-bfef95601890/Actions/viewer"),
                       QStringLiteral("Front desk|%PROGRAM_PATH%/no-such-viewer|/bin/sleep"));
    }
    START(rig);
    const int mark = rig.simMark();
    rig.login()->signIn(Rig::userPass(), Rig::security());
    QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(mark).contains(QStringLiteral("start")), 5000);

    rig.log.clear();
    rig.sim.emitState(libvelcor::StateConnecting);
    rig.sim.emitState(libvelcor::StateConnected);
    QElapsedTimer sinceConnected;
    QTRY_VERIFY_WITH_TIMEOUT(rig.api()->getLastState() == 4, 5000);
    sinceConnected.start();

    // The server record: id, addresses, pages, in that order.
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("portal.gotPages")), 1, 5000);
    QCOMPARE(rig.valuesSince(QStringLiteral("setup.configRetrieve"), mark).size(), 1);
    QCOMPARE(
        rig.log.namesOf(QStringLiteral("portal")),
        (QStringList{QStringLiteral("portal.gotServerId"), QStringLiteral("portal.gotServerAddr"),
                     QStringLiteral("portal.gotPages")}));
    QCOMPARE(rig.portal()->serverId, QUuid(Rig::uuid()));
    QCOMPARE(rig.portal()->addr, QStringLiteral("127.0.0.1"));
    QCOMPARE(rig.portal()->pages, Rig::pages());

    // About 500 ms later the web login, with the exact form and User-Agent.
    QTRY_COMPARE_WITH_TIMEOUT(rig.web.requests(QLatin1String(TestServer::LoginPath)).size(), 1,
                              5000);
    const qint64 loginAfter = sinceConnected.elapsed();
    QVERIFY2(loginAfter >= 450 && loginAfter < 2000, qPrintable(QString::number(loginAfter)));
    const TestServer::Request login =
        rig.web.requests(QLatin1String(TestServer::LoginPath)).first();
    QCOMPARE(login.method, QByteArray("POST"));
    QCOMPARE(login.body, QByteArray("zub_username=demo&zub_password=demo"));
    QCOMPARE(login.headers.value("user-agent"),
             QByteArray("Corvane Tavu Connect 3.8.1 (Macintosh)"));
    QCOMPARE(login.headers.value("host"), QByteArray("127.0.0.1"));

    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("window.loggedIn")), 1, 5000);
    QVERIFY(rig.api()->getIsLoggedIn());
    QVERIFY(rig.log.indexOf(QStringLiteral("portal.gotPages")) <
            rig.log.indexOf(QStringLiteral("window.loggedIn")));

    // The session cookie sits in the shared jar, for the portal pages.
    const auto cookies = rig.manager->getNetworkManager()->getCookieJar()->cookiesForUrl(
        QUrl(rig.web.baseUrl() + QStringLiteral("/manage/portal/devices")));
    QCOMPARE(cookies.size(), 1);
    QCOMPARE(cookies.first().name(), QByteArray(TestServer::SessionCookieName));
    QCOMPARE(rig.portal()
                 ->nam.cookieJar()
                 ->cookiesForUrl(QUrl(rig.web.baseUrl() + QStringLiteral("/")))
                 .size(),
             1);

    // The logos, large then small, into the data location.
    QTRY_COMPARE_WITH_TIMEOUT(orvotest::readFile(ORVO::getCustomLogoSmallPath()),
                              rig.web.logo(true), 5000);
    QCOMPARE(orvotest::readFile(ORVO::getCustomLogoPath()), rig.web.logo(false));
    QVERIFY(ORVO::getCustomLogoPath().startsWith(rig.env.root()));
    QStringList paths;
    for (const TestServer::Request& r : rig.web.requests())
        paths << r.path;
    QCOMPARE(paths,
             (QStringList{QLatin1String(TestServer::LoginPath), QLatin1String(TestServer::LogoPath),
                          QLatin1String(TestServer::LogoSmallPath)}));

    // The server id reached the process manager: the stored location of
    // this server's action is found.
    emit rig.window()->startAction(
        QVariantMap{{QStringLiteral("name"), QStringLiteral("viewer")},
                    {QStringLiteral("endpoint"), QStringLiteral("1")},
                    {QStringLiteral("remark"), QStringLiteral("Front desk")},
                    {QStringLiteral("path"), QStringLiteral("%PROGRAM_PATH%/no-such-viewer")},
                    {QStringLiteral("args"), QStringLiteral("30")}});
    QTRY_VERIFY_WITH_TIMEOUT(
        rig.manager->getProcessManager()->getKeys().contains(QStringLiteral("viewer_1")), 5000);
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), 0);
    QCOMPARE(rig.log.count(QStringLiteral("window.chooseOpenFile")), 0);
}

void TestCoordinationE2E::certificateProfileUsesHttpsThroughout()
{
    Rig rig;
    START_HTTPS(rig);
    const libvelcor::Auth cert(libvelcor::Auth::ProfileId, libvelcor::Auth::CertificateType,
                               QString(""), QStringLiteral("demo"), QStringLiteral("demo"),
                               QStringLiteral("/profiles/client.p12"));
    QVERIFY(rig.signInManaged(cert));
    QTRY_COMPARE_WITH_TIMEOUT(orvotest::readFile(ORVO::getCustomLogoSmallPath()),
                              rig.web.logo(true), 5000);
    QCOMPARE(rig.web.sessionCount(), 1);

    // The sign-out empties the credential first; the logout still goes
    // the way the login went.
    rig.portal()->hasWindow = false;
    const int mark = rig.simMark();
    emit rig.gui->tray->sigDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(mark).contains(QStringLiteral("stop")), 5000);
    QCOMPARE(rig.web.sessionCount(), 0);
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), 0);
}

void TestCoordinationE2E::signOutWithServerReachable()
{
    Rig rig;
    START(rig);
    QVERIFY(rig.signInManaged());
    QTRY_COMPARE_WITH_TIMEOUT(orvotest::readFile(ORVO::getCustomLogoSmallPath()),
                              rig.web.logo(true), 5000);
    QCOMPARE(rig.web.sessionCount(), 1);

    // "stop" must not reach the service before the logout has been answered.
    int logoutsAtStop = -1;
    QObject::connect(
        &rig.sim, &orvosim::ServiceSimulator::received, &rig.sim, [&](const QString& kind) {
            if (kind == QLatin1String("cloud.action") && logoutsAtStop < 0)
                logoutsAtStop = rig.web.requests(QLatin1String(TestServer::LogoutPath)).size();
        });
    const int mark = rig.simMark();
    emit rig.gui->tray->sigDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(mark).contains(QStringLiteral("stop")), 5000);
    QTest::qWait(100);
    QCOMPARE(count(rig.actionsSince(mark), QStringLiteral("stop")), 1);
    QVERIFY(logoutsAtStop >= 1);
    QCOMPARE(rig.web.sessionCount(), 0);
    QVERIFY(rig.web.requests(QLatin1String(TestServer::LogoutPath))
                .first()
                .headers.value("cookie")
                .contains(TestServer::SessionCookieName));
    QVERIFY(!rig.api()->getIsLoggedIn());
    QVERIFY(rig.manager->getNetworkManager()
                ->getCookieJar()
                ->cookiesForUrl(QUrl(rig.web.baseUrl() + "/"))
                .isEmpty());
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), 0);
    // The empty credential and the default map went first.
    const QStringList kinds = rig.sim.kinds().mid(mark);
    QVERIFY(kinds.indexOf(QStringLiteral("auth")) < kinds.indexOf(QStringLiteral("cloud.action")));
    QVERIFY(kinds.indexOf(QStringLiteral("config")) <
            kinds.indexOf(QStringLiteral("cloud.action")));
}

void TestCoordinationE2E::signOutWithServerUnreachable()
{
    Rig rig;
    START(rig);
    QVERIFY(rig.signInManaged());
    QTRY_COMPARE_WITH_TIMEOUT(orvotest::readFile(ORVO::getCustomLogoSmallPath()),
                              rig.web.logo(true), 5000);
    rig.web.close();
    rig.portal()->hasWindow = false;
    rig.log.clear();

    const int mark = rig.simMark();
    // Quitting from the tray: close, then disconnect.
    emit rig.gui->tray->close();
    emit rig.gui->tray->sigDisconnect();
    // The failed logout is reported, and the tunnel is stopped all the same.
    QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(mark).contains(QStringLiteral("stop")), 5000);
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), 1);
    const orvofake::Call error = rig.log.last(QStringLiteral("gui._gotError"));
    QCOMPARE(error.args.at(0).toInt(), int(ORVO::ModuleApiManager));
    QVERIFY(!rig.api()->getIsLoggedIn());
    QVERIFY(rig.manager->getNetworkManager()
                ->getCookieJar()
                ->cookiesForUrl(QUrl(rig.web.baseUrl() + "/"))
                .isEmpty());
    QCOMPARE(count(rig.actionsSince(mark), QStringLiteral("stop")), 1);

    // A later disconnect goes straight to "stop".
    const int again = rig.simMark();
    emit rig.gui->tray->sigDisconnect();
    QTRY_COMPARE_WITH_TIMEOUT(rig.actionsSince(again), QStringList{QStringLiteral("stop")}, 5000);
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), 1);
}

void TestCoordinationE2E::quitWithSilentServerStillStops()
{
    Rig rig;
    START(rig);
    QVERIFY(rig.signInManaged());
    // The server takes the logout but does not answer before the program
    // ends (500 ms after the quit): the tunnel must be stopped anyway.
    rig.web.setDelay(QLatin1String(TestServer::LogoutPath), 10000);
    const int mark = rig.simMark();
    QElapsedTimer t;
    t.start();
    emit rig.gui->tray->close();
    emit rig.gui->tray->sigDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(mark).contains(QStringLiteral("stop")), 5000);
    QVERIFY2(t.elapsed() < 480, qPrintable(QString::number(t.elapsed())));
    QVERIFY(!rig.api()->getIsLoggedIn());
    QTest::qWait(ORVO::ApiManager::QuitLogoutMs);
    QCOMPARE(count(rig.actionsSince(mark), QStringLiteral("stop")), 1);
}

void TestCoordinationE2E::untrustedServer_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("answerAfter"); // ms the box stays open
    // Before the question: a sign-out and a new sign-in, an error that the
    // sign-in goes on through, or a failed portal download.
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("failMeanwhile"); // error 200 and state 1 while it is open
    QTest::newRow("accepted") << true << 0 << "" << false;
    QTest::newRow("refused") << false << 0 << "" << false;
    // Longer than three heartbeat intervals.
    QTest::newRow("accepted after 4 s") << true << 4000 << "" << false;
    QTest::newRow("refused after 4 s") << false << 4000 << "" << false;
    QTest::newRow("accepted after a sign-out") << true << 0 << "sign-out" << false;
    QTest::newRow("accepted after the attempt failed") << true << 0 << "" << true;
    QTest::newRow("accepted after an error, twice") << true << 0 << "error" << false;
    QTest::newRow("accepted after a failed download") << true << 0 << "download" << false;
    QTest::newRow("accepted while reconnecting") << true << 0 << "reconnecting" << false;
}

void TestCoordinationE2E::untrustedServer()
{
    QFETCH(bool, accept);
    QFETCH(int, answerAfter);
    QFETCH(QString, before);
    QFETCH(bool, failMeanwhile);

    Rig rig;
    START(rig);
    rig.gui->queryAnswer = failMeanwhile ? orvofake::FakeGui::NoAnswer
                           : accept      ? orvofake::FakeGui::Accept
                                         : orvofake::FakeGui::Refuse;
    rig.gui->queryDelayMs = answerAfter;
    emit rig.login()->authSupply(Rig::proxy());
    if (before == "sign-out") {
        rig.login()->signIn(Rig::userPass(), Rig::security());
        emit rig.gui->sigDisconnect();
    }
    rig.login()->signIn(Rig::userPass(), Rig::security(true, QStringLiteral("ca.pem")));
    QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(0).contains(QStringLiteral("start")), 5000);
    if (before == "error") {
        rig.sim.emitError(200, QStringLiteral("Authentication failed"));
        rig.sim.emitState(libvelcor::StateError);
    } else if (before == "reconnecting") {
        for (const int st : {2, 4, 3})
            rig.sim.emitState(st);
        QTRY_COMPARE(rig.log.count(QStringLiteral("window.stateChanged")), 3);
    } else if (before == "download") {
        rig.web.setStatus(QStringLiteral("/broken/"), 500);
        emit rig.window()->startDownload(rig.web.baseUrl() + QStringLiteral("/broken"), "");
    }
    const int errors = before == "error" || before == "download" ? 1 : 0;
    QTRY_COMPARE(rig.log.count(QStringLiteral("gui._gotError")), errors);
    const int mark = rig.simMark();

    rig.sim.emitError(201, QStringLiteral("Untrusted server"), QStringLiteral("self-signed"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("gui._gotQuery")), 1, 5000);
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), errors);
    if (failMeanwhile) { // the OK comes after the attempt has ended
        rig.sim.emitError(200, QStringLiteral("Authentication failed"));
        rig.sim.emitState(libvelcor::StateError);
        QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("window.stateChanged")), 2, 5000);
        emit rig.gui->sigQueryResponse(0, true);
    }

    if (accept && !failMeanwhile) {
        QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(mark).contains(QStringLiteral("start")), 5000);
        QCOMPARE(rig.sim.kinds().mid(mark),
                 (QStringList{QStringLiteral("config"), QStringLiteral("auth"),
                              QStringLiteral("auth"), QStringLiteral("cloud.action")}));
        const auto auths = rig.valuesSince(QStringLiteral("auth"), mark);
        QCOMPARE(simAuth(auths.at(0)), orvofake::authToMap(Rig::proxy()));
        QCOMPARE(simAuth(auths.at(1)), orvofake::authToMap(Rig::userPass()));
        QCOMPARE(rig.sim.mergedConfig()
                     .value(QStringLiteral("ssl"))
                     .toMap()
                     .value(QStringLiteral("init"))
                     .toMap(),
                 (QVariantMap{{QStringLiteral("verify_ca"), false},
                              {QStringLiteral("ca"), QStringLiteral("ca.pem")}}));
        // The same sign-in goes on: asked again, the OK holds again.
        const int again = rig.simMark();
        rig.sim.emitError(201, QStringLiteral("Untrusted server"), QStringLiteral("self-signed"));
        QTRY_VERIFY(rig.actionsSince(again).contains(QStringLiteral("start")));
        // Back up, the tunnel is the sign-in's own: it logs in again.
        if (before == "reconnecting") {
            const int logins = rig.web.requests(TestServer::LoginPath).size();
            rig.sim.emitState(4);
            QTRY_VERIFY(rig.web.requests(TestServer::LoginPath).size() > logins);
        }
    } else {
        // Refused, the defaults and the sign-in's "stop"; an answer after the
        // error that the sign-in goes on through sends nothing, and the
        // service keeps its profile.
        const int configs = failMeanwhile ? 0 : 1;
        QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("config"), mark).size(), configs,
                                  5000);
        QTest::qWait(200);
        QCOMPARE(rig.actionsSince(mark), configs ? QStringList{"stop"} : QStringList());
        QCOMPARE(rig.sim.kinds().mid(mark).size(), 2 * configs);
        QCOMPARE(rig.sim.mergedConfig()
                     .value(QStringLiteral("ssl"))
                     .toMap()
                     .value(QStringLiteral("init"))
                     .toMap(),
                 (QVariantMap{{QStringLiteral("verify_ca"), true},
                              {QStringLiteral("ca"), failMeanwhile ? "ca.pem" : QString("")}}));
        // Until the service gives up: the reset comes with the sign-in's end.
        if (failMeanwhile) {
            rig.sim.emitState(libvelcor::StateIdle);
            QTRY_COMPARE_WITH_TIMEOUT(rig.sim.kinds().mid(mark), QStringList{"config"}, 5000);
        }
    }
}

// The box of an error 100 kept open inside the delivery, and the service
// connected meanwhile: the window, the tray and the sign-in form hear the
// error state first and end on connected.
void TestCoordinationE2E::errorBoxHoldsNoStateBack()
{
    Rig rig;
    QVERIFY(rig.start());
    rig.gui->errorDelayMs = 300;
    rig.log.clear();
    rig.sim.emitError(100, QStringLiteral("Connection failed"));
    rig.sim.emitState(libvelcor::StateConnected);
    for (const char* heard : {"window.stateChanged", "tray._stateChanged", "login.stateChanged"}) {
        QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QLatin1String(heard)), 2, 5000);
        const QList<orvofake::Call> states = rig.log.of(QLatin1String(heard));
        QCOMPARE(states.at(0).args.at(0).toInt(), int(libvelcor::StateError));
        QCOMPARE(states.at(1).args.at(0).toInt(), int(libvelcor::StateConnected));
    }
}

void TestCoordinationE2E::requestServerActionReachesTheController()
{
    Rig rig;
    START(rig);
    rig.gui->actionAnswer = orvofake::FakeGui::Accept;
    ORVO::ProcessManager* pm = rig.manager->getProcessManager();
    libvelcor::Params params{{QStringLiteral("name"), QStringLiteral("viewer")},
                             {QStringLiteral("endpoint"), QStringLiteral("17")},
                             {QStringLiteral("remark"), QStringLiteral("Front+desk")},
                             {QStringLiteral("ips"), QStringLiteral("10.0.0.5,10.0.0.6")},
                             {QStringLiteral("path"), QStringLiteral("%PROGRAM_PATH%/sleep")},
                             {QStringLiteral("args"), QStringLiteral("30")}};
    rig.sim.injectAction(QStringLiteral("open"), params);
    QTRY_VERIFY_WITH_TIMEOUT(pm->getKeys().contains(QStringLiteral("viewer_17")), 5000);
    QCOMPARE(rig.sim.values(QStringLiteral("action-result")), QList<QVariant>{0});

    // Closing asks the user as well.
    rig.sim.injectAction(QStringLiteral("close"), params);
    QTRY_VERIFY_WITH_TIMEOUT(!pm->getKeys().contains(QStringLiteral("viewer_17")), 5000);
    QCOMPARE(rig.log.count(QStringLiteral("gui._requestAction")), 2);
    QCOMPARE(rig.log.last(QStringLiteral("gui._requestAction"))
                 .args.at(0)
                 .toMap()
                 .value(QStringLiteral("_type")),
             QVariant(QStringLiteral("close")));
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), 0);
}

void TestCoordinationE2E::passwordChangeIsUsedByLaterLogins()
{
    Rig rig;
    START(rig);
    QVERIFY(rig.signInManaged());
    const int mark = rig.simMark();

    emit rig.portal()->changePassword(QStringLiteral("n3w pass"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("gui._gotAuthChanged")), 1, 5000);
    QCOMPARE(rig.web.password(QStringLiteral("demo")), QStringLiteral("n3w pass"));
    const QVariantMap changed =
        rig.log.last(QStringLiteral("gui._gotAuthChanged")).args.at(0).toMap();
    QCOMPARE(changed.value(QStringLiteral("pass")).toString(), QStringLiteral("n3w pass"));
    QCOMPARE(changed.value(QStringLiteral("user")).toString(), QStringLiteral("demo"));
    QCOMPARE(rig.portal()->auth.getPass(), QStringLiteral("n3w pass"));
    QCOMPARE(rig.manager->getProfileAuth().getPass(), QStringLiteral("n3w pass"));
    // The service is given the changed credential too.
    QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("auth"), mark).size(), 1, 5000);
    QCOMPARE(simAuth(rig.valuesSince(QStringLiteral("auth"), mark).first())
                 .value(QStringLiteral("pass"))
                 .toString(),
             QStringLiteral("n3w pass"));

    // A reconnect logs in again with the new password.
    rig.sim.emitState(libvelcor::StateReconnecting);
    rig.sim.emitState(libvelcor::StateConnected);
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("window.loggedIn")), 2, 5000);
    QCOMPARE(rig.web.requests(QLatin1String(TestServer::LoginPath)).last().body,
             QByteArray("zub_username=demo&zub_password=n3w%20pass"));

    // So does an accepted untrusted-server question (no proxy was given, so
    // none goes with it).
    rig.gui->queryAnswer = orvofake::FakeGui::Accept;
    const int q = rig.simMark();
    rig.sim.emitError(201, QStringLiteral("Untrusted server"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(q).contains(QStringLiteral("start")), 5000);
    QCOMPARE(rig.valuesSince(QStringLiteral("auth"), q).size(), 1);
    QCOMPARE(simAuth(rig.valuesSince(QStringLiteral("auth"), q).last())
                 .value(QStringLiteral("pass"))
                 .toString(),
             QStringLiteral("n3w pass"));
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), 0);
}

void TestCoordinationE2E::passwordChangeFailures_data()
{
    QTest::addColumn<int>("status"); // 0: the server's own refusal
    QTest::addColumn<QString>("text");
    QTest::newRow("refused by the server")
        << 0 << "Failed changing password: The new password must not be empty";
    QTest::newRow("HTTP 500") << 500 << "";
}

void TestCoordinationE2E::passwordChangeFailures()
{
    QFETCH(int, status);
    QFETCH(QString, text);

    Rig rig;
    START(rig);
    QVERIFY(rig.signInManaged());
    QTRY_COMPARE_WITH_TIMEOUT(orvotest::readFile(ORVO::getCustomLogoSmallPath()),
                              rig.web.logo(true), 5000);
    if (status)
        rig.web.setStatus(QLatin1String(TestServer::ChangePasswordPath), status);
    const int mark = rig.simMark();

    emit rig.portal()->changePassword(status ? QStringLiteral("n3w") : QString(""));
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("gui._gotError")), 1, 5000);
    const orvofake::Call error = rig.log.last(QStringLiteral("gui._gotError"));
    QCOMPARE(error.args.at(0).toInt(), int(ORVO::ModuleApiManager));
    if (!text.isEmpty())
        QCOMPARE(error.args.at(1).toString(), text);
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotAuthChanged")), 0);
    QCOMPARE(rig.api()->getLodestarApi()->getAuth().getPass(), QStringLiteral("demo"));

    // An error while the sign-in lasts: the service keeps its profile,
    // nobody is signed out, and the next change goes.
    QTest::qWait(200);
    QCOMPARE(rig.sim.kinds().mid(mark), QStringList());
    QVERIFY(rig.api()->getIsLoggedIn());
    QCOMPARE(rig.web.password(QStringLiteral("demo")), QStringLiteral("demo"));
    rig.web.clearPath(QLatin1String(TestServer::ChangePasswordPath));
    emit rig.portal()->changePassword(QStringLiteral("n3w"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.web.password(QStringLiteral("demo")), QStringLiteral("n3w"),
                              5000);
}

void TestCoordinationE2E::managerGoneWhileLoggingOut()
{
    Rig rig;
    START(rig);
    QVERIFY(rig.signInManaged());
    QTRY_COMPARE_WITH_TIMEOUT(orvotest::readFile(ORVO::getCustomLogoSmallPath()),
                              rig.web.logo(true), 5000);
    rig.web.setDelay(QLatin1String(TestServer::LogoutPath), 300);
    rig.portal()->hasWindow = false;
    emit rig.gui->tray->sigDisconnect();
    QTRY_COMPARE_WITH_TIMEOUT(rig.web.requests(QLatin1String(TestServer::LogoutPath)).size(), 1,
                              5000);

    // The event loop has ended: Manager goes with the logout in flight.
    rig.manager.reset();
    rig.log.clear();
    QTest::qWait(500);
    QCOMPARE(rig.log.names(), QStringList());
    // The portal still has a jar of its own to send its requests with.
    QVERIFY(rig.portal()->nam.cookieJar() != nullptr);
}

ORVO_TEST_MAIN(TestCoordinationE2E)
#include "tst_coordination_e2e.moc"
