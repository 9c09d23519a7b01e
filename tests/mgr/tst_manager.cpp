// Manager against the service simulator and the test server, with the
// recording fakes of the GUI side: wiring by mode, configuration fragments
// and credentials, the sign-out, the untrusted-server answer, the server
// configuration intake, action, download and error routing.

#include <QNetworkReply>
#include <QTemporaryDir>
#include <QtTest>

#include "common/cookiejar.h"
#include "common/plugininterfaces.h"
#include "libvelcor/logger.h"
#include "logcapture.h"
#include "rig.h"
#include "testmain.h"

using orvotest::Mode;
using orvotest::Rig;
using orvotest::TestServer;

Q_DECLARE_METATYPE(orvotest::Mode)

namespace {

QVariantMap map1(const QString& k, const QVariant& v)
{
    return QVariantMap{{k, v}};
}

QVariantMap sslFragment(const QString& section, const QVariantMap& values)
{
    return map1(QStringLiteral("ssl"), map1(section, values));
}

QVariantMap authMap(const QVariant& v)
{
    return v.toMap();
}

QVariantMap action(const QString& type, const QString& name, const QString& endpoint,
                   const QString& remark, const QString& path, const QString& args)
{
    QVariantMap m;
    if (!type.isNull())
        m.insert(QStringLiteral("_type"), type);
    m.insert(QStringLiteral("name"), name);
    m.insert(QStringLiteral("endpoint"), endpoint);
    if (!remark.isNull())
        m.insert(QStringLiteral("remark"), remark);
    m.insert(QStringLiteral("path"), path);
    m.insert(QStringLiteral("args"), args);
    return m;
}

// A portal whose setCookieJar is the interface's virtual function only:
// not a slot, not invokable, so only a cast to the interface reaches it.
class InterfaceOnlyPortal : public QObject, public ORVO::ConfigGfxPluginInterface
{
    Q_OBJECT
    Q_INTERFACES(ORVO::ConfigGfxPluginInterface)
public:
    QList<QNetworkCookieJar*> jars;
    QVariantMap pages;
    int disconnects = 0;

    void setCookieJar(QNetworkCookieJar* jar) override { jars << jar; }
    ORVO::PluginWindow* newWindow(const QVariantMap&) override { return nullptr; }
    void setLogForm(LogForm*) override {}
    bool isReady() const override { return !pages.isEmpty(); }

signals:
    void action(const QString& name, const QVariantMap& params) override;
    void syncRoutes(const QStringList& connectedEndpoints) override;
    void loadStarted() override;
    void loadFinished() override;
    void changePassword(QString newPass);
    void sigDisconnect();

public slots:
    void onDisconnect() override { ++disconnects; }
    void gotAuth(const libvelcor::Auth&) override {}
    void gotPages(const QVariantMap& newPages) override { pages = newPages; }
    void gotServerAddr(const QString&, const QString&) override {}
    void gotFallback(bool) override {}
    void gotServerId(QUuid) {}
};

// Everything a portal offers by name, but not the interface.
class NamedOnlyPortal : public QObject
{
    Q_OBJECT
public:
    QList<QNetworkCookieJar*> jars;
    QVariantMap pages;
    Q_INVOKABLE void setCookieJar(QNetworkCookieJar* jar) { jars << jar; }
public slots:
    void gotPages(QVariantMap newPages) { pages = newPages; }
};

} // namespace

class TestManager : public QObject
{
    Q_OBJECT

private slots:
    void wiringByMode_data();
    void wiringByMode();
    void runWithoutGuiConnectsNothing();
    void portalIsWiredThroughItsInterface();
    void credentialRouting_data();
    void credentialRouting();
    void securityFragment_data();
    void securityFragment();
    void verbosityFragment_data();
    void verbosityFragment();
    void signOutSequence();
    void nestedSignOutWhilePortalReady();
    void signOutFromThePortalRunsOnce();
    void queryResponse_data();
    void queryResponse();
    void serverConfigIntake_data();
    void serverConfigIntake();
    void apiErrorRouting_data();
    void apiErrorRouting();
    void repeatedServiceErrorIsReportedAgainAfterConnect();
    void fixUrl_data();
    void fixUrl();
    void portalDownload();
    void failedDownloadIsReportedAndResets();
    void portalActionsRunAtOnce();
    void requestServerActionsWaitForTheUser_data();
    void requestServerActionsWaitForTheUser();
    void processErrorIsReportedAndResets();
    void portalKeepsAWorkingJarAfterManagerIsGone();
};

// ---- wiring -------------------------------------------------------------------

void TestManager::wiringByMode_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<bool>("withLogin");
    QTest::addColumn<bool>("withPortal");
    QTest::addColumn<bool>("portalWired");
    QTest::addColumn<bool>("loginWired");

    QTest::newRow("command line") << Mode::CommandLine << true << true << false << false;
    QTest::newRow("minimal") << Mode::Minimal << true << true << false << true;
    QTest::newRow("full") << Mode::Full << true << true << true << true;
    QTest::newRow("full, no portal") << Mode::Full << true << false << false << true;
    QTest::newRow("full, no login") << Mode::Full << false << true << true << false;
}

void TestManager::wiringByMode()
{
    QFETCH(Mode, mode);
    QFETCH(bool, withLogin);
    QFETCH(bool, withPortal);
    QFETCH(bool, portalWired);
    QFETCH(bool, loginWired);

    Rig rig;
    QVERIFY(rig.start(mode, withLogin, withPortal));
    QSignalSpy guiStates(rig.gui.get(), SIGNAL(stateChanged(libvelcor::State)));

    QCOMPARE(rig.log.count(QStringLiteral("portal.setCookieJar")), portalWired ? 1 : 0);
    if (portalWired) {
        // Lent before any other connection to the portal is made.
        QCOMPARE(rig.log.calls().first().name(), QStringLiteral("portal.setCookieJar"));
        QCOMPARE(rig.log.calls().first().args.at(0).value<void*>(),
                 static_cast<void*>(rig.manager->getNetworkManager()->getCookieJar()));
    }

    QMetaObject::invokeMethod(rig.manager.get(), "_serverConfigReceive",
                              Q_ARG(QVariant, QVariant(rig.sim.serverRecord())));
    QCOMPARE(rig.log.count(QStringLiteral("portal.gotPages")), portalWired ? 1 : 0);
    QCOMPARE(rig.log.count(QStringLiteral("portal.gotServerId")), portalWired ? 1 : 0);

    rig.sim.emitState(libvelcor::StateConnecting);
    QTRY_COMPARE_WITH_TIMEOUT(guiStates.count(), 1, 5000);
    QCOMPARE(rig.log.count(QStringLiteral("login.stateChanged")), loginWired ? 1 : 0);
    QCOMPARE(rig.log.count(QStringLiteral("tray._stateChanged")),
             mode == Mode::CommandLine ? 0 : 1);
    if (loginWired) // the GUI hears a state before the login plugin
        QVERIFY(rig.log.indexOf(QStringLiteral("tray._stateChanged")) <
                rig.log.indexOf(QStringLiteral("login.stateChanged")));

    // The Gui's own relay first, then Manager's.
    if (rig.portal())
        rig.portal()->ready = false; // no nested sign-out here
    rig.log.clear();
    emit rig.gui->sigDisconnect();
    const int expected = (withLogin && mode != Mode::CommandLine ? 1 : 0) + (loginWired ? 1 : 0);
    QCOMPARE(rig.log.count(QStringLiteral("login.sigDisconnect")), expected);
    QCOMPARE(rig.log.count(QStringLiteral("portal.onDisconnect")), portalWired ? 1 : 0);
}

// Only a portal that is the interface is lent the jar and wired; one that
// merely offers the same names is left alone, with an error line.
void TestManager::portalIsWiredThroughItsInterface()
{
    Rig rig;
    QVERIFY(rig.start(Mode::Full, true, false));
    InterfaceOnlyPortal iface;
    NamedOnlyPortal named;
    const QVariantMap pages = Rig::pages();
    for (QObject* portal : {static_cast<QObject*>(&iface), static_cast<QObject*>(&named)}) {
        orvotest::LogCapture log;
        rig.window()->configPlugin = portal;
        ORVO::Manager manager(nullptr);
        manager.gui = rig.gui.get();
        QCOMPARE(manager.run(), 0);
        emit manager.pagesSupply(pages);
        emit manager.sigDisconnect();
        const bool isIface = portal == &iface;
        QCOMPARE(log.count(QRegularExpression(
                     QStringLiteral("\\[ERROR\\].*not a ConfigGfxPluginInterface"))),
                 isIface ? 0 : 1);
        if (isIface) {
            QCOMPARE(iface.jars,
                     QList<QNetworkCookieJar*>{manager.getNetworkManager()->getCookieJar()});
            QCOMPARE(iface.pages, pages);
            QCOMPARE(iface.disconnects, 1);
        } else {
            QVERIFY(named.jars.isEmpty());
            QVERIFY(named.pages.isEmpty());
        }
    }
    // Going, Manager hands the portal a jar of its own in place of the one
    // that goes with it.
    QCOMPARE(iface.jars.size(), 2);
    QVERIFY(iface.jars.at(1) != nullptr);
    QCOMPARE(iface.jars.at(1)->parent(), static_cast<QObject*>(&iface));
    QVERIFY(named.jars.isEmpty());
    rig.window()->configPlugin = nullptr;
}

void TestManager::runWithoutGuiConnectsNothing()
{
    Rig rig;
    QVERIFY(rig.start(Mode::CommandLine));
    ORVO::Manager second(nullptr);
    QVERIFY(second.isValid());
    QCOMPARE(second.run(), 0);
    QSignalSpy connects(&second, SIGNAL(sigConnect()));
    emit rig.gui->sigConnect();
    QCOMPARE(connects.count(), 0);
}

// ---- configuration fragments and credentials --------------------------------------

void TestManager::credentialRouting_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("fragment"); // invalid: none

    QTest::newRow("profile, user and password")
        << 0 << 0
        << QVariant(sslFragment(QStringLiteral("op"),
                                map1(QStringLiteral("auth"), QStringLiteral("user-pass"))));
    QTest::newRow("profile, certificate")
        << 0 << 1 << QVariant(sslFragment(QStringLiteral("op"), QVariantMap()));
    QTest::newRow("profile, no type") << 0 << -1 << QVariant();
    QTest::newRow("proxy") << 1 << 0 << QVariant();
}

void TestManager::credentialRouting()
{
    QFETCH(int, id);
    QFETCH(int, type);
    QFETCH(QVariant, fragment);

    Rig rig;
    QVERIFY(rig.start());
    const int mark = rig.simMark();
    const libvelcor::Auth auth(libvelcor::Auth::Id(id), libvelcor::Auth::Type(type),
                               QStringLiteral("u"), QStringLiteral("user"), QStringLiteral("pass"),
                               QStringLiteral("p"));
    emit rig.login()->authSupply(auth);

    // The service gets the credential, then its fragment.
    QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("auth"), mark).size(), 1, 5000);
    QCOMPARE(authMap(rig.valuesSince(QStringLiteral("auth"), mark).first()),
             orvofake::authToMap(auth));
    QTest::qWait(100);
    const QList<QVariant> configs = rig.valuesSince(QStringLiteral("config"), mark);
    if (fragment.isValid()) {
        QCOMPARE(configs.size(), 1);
        QCOMPARE(configs.first(), fragment);
        QCOMPARE(rig.sim.kinds().mid(mark),
                 (QStringList{QStringLiteral("auth"), QStringLiteral("config")}));
        // Mirrored to the GUI once, after the service side.
        QCOMPARE(rig.log.count(QStringLiteral("window.configReceive")), 1);
        QCOMPARE(rig.log.last(QStringLiteral("tray.configReceive")).args.at(0), fragment);
    } else {
        QCOMPARE(configs.size(), 0);
        QCOMPARE(rig.log.count(QStringLiteral("window.configReceive")), 0);
    }
    QCOMPARE(
        orvofake::authToMap(id == 0 ? rig.manager->getProfileAuth() : rig.manager->getProxyAuth()),
        orvofake::authToMap(auth));

    // Order of receivers: the main window, the service side, the portal,
    // then the tray.
    const int window = rig.log.indexOf(QStringLiteral("window.authReceived"));
    const int portal = rig.log.indexOf(QStringLiteral("portal.gotAuth"));
    const int tray = rig.log.indexOf(QStringLiteral("tray.authReceive"));
    QVERIFY(window >= 0 && window < portal && portal < tray);
}

void TestManager::securityFragment_data()
{
    QTest::addColumn<QVariant>("input");
    QTest::addColumn<QVariant>("init");

    QTest::newRow("both keys") << QVariant(Rig::security(true, QStringLiteral("/etc/ca.pem")))
                               << QVariant(QVariantMap{
                                      {QStringLiteral("verify_ca"), true},
                                      {QStringLiteral("ca"), QStringLiteral("/etc/ca.pem")}});
    QTest::newRow("\"false\" as text")
        << QVariant(map1(QStringLiteral("serverCertEnabled"), QStringLiteral("false")))
        << QVariant(map1(QStringLiteral("verify_ca"), false));
    QTest::newRow("\"true\" as text")
        << QVariant(map1(QStringLiteral("serverCertEnabled"), QStringLiteral("true")))
        << QVariant(map1(QStringLiteral("verify_ca"), true));
    QTest::newRow("bare file name passed as is")
        << QVariant(map1(QStringLiteral("serverCertPath"), QStringLiteral("ca.pem")))
        << QVariant(map1(QStringLiteral("ca"), QStringLiteral("ca.pem")));
    QTest::newRow("no keys") << QVariant(QVariantMap()) << QVariant(QVariantMap());
    QTest::newRow("not a map") << QVariant(QStringLiteral("nonsense")) << QVariant(QVariantMap());
}

void TestManager::securityFragment()
{
    QFETCH(QVariant, input);
    QFETCH(QVariant, init);

    Rig rig;
    QVERIFY(rig.start());
    const int mark = rig.simMark();
    emit rig.login()->securitySupply(input);
    const QVariant expected = sslFragment(QStringLiteral("init"), init.toMap());
    QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("config"), mark).size(), 1, 5000);
    QCOMPARE(rig.valuesSince(QStringLiteral("config"), mark).first(), expected);
    QCOMPARE(rig.log.last(QStringLiteral("window.configReceive")).args.at(0), expected);
}

void TestManager::verbosityFragment_data()
{
    QTest::addColumn<int>("verbosity");
    QTest::addColumn<int>("lev");
    QTest::addColumn<int>("verb");
    QTest::newRow("high") << int(ORVO::VerbosityHigh) << 7 << 4;
    QTest::newRow("normal") << int(ORVO::VerbosityNormal) << 6 << 2;
    QTest::newRow("low") << int(ORVO::VerbosityLow) << 5 << 1;
}

void TestManager::verbosityFragment()
{
    QFETCH(int, verbosity);
    QFETCH(int, lev);
    QFETCH(int, verb);

    Rig rig;
    QVERIFY(rig.start(Mode::Minimal));
    const int mark = rig.simMark();
    emit rig.login()->logVerbosityChanged(ORVO::Verbosity(verbosity));
    QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("config"), mark).size(), 1, 5000);
    const QVariantMap expected{{QStringLiteral("log"), map1(QStringLiteral("lev"), lev)},
                               {QStringLiteral("vpn"), map1(QStringLiteral("verb"), verb)}};
    QCOMPARE(rig.valuesSince(QStringLiteral("config"), mark).first().toMap(), expected);
}

// ---- sign-out and the untrusted-server answer --------------------------------------

void TestManager::signOutSequence()
{
    Rig rig;
    QVERIFY(rig.start());
    emit rig.login()->authSupply(Rig::proxy());
    emit rig.login()->authSupply(Rig::userPass());
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.values(QStringLiteral("auth")).size(), 2, 5000);
    const int mark = rig.simMark();

    emit rig.gui->tray->sigDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(rig.actionsSince(mark).contains(QStringLiteral("stop")), 5000);
    QCOMPARE(rig.sim.kinds().mid(mark),
             (QStringList{QStringLiteral("auth"), QStringLiteral("config"),
                          QStringLiteral("cloud.action")}));
    const QVariantMap empty = authMap(rig.valuesSince(QStringLiteral("auth"), mark).first());
    QCOMPARE(empty.value(QStringLiteral("id")).toInt(), 0);
    QCOMPARE(empty.value(QStringLiteral("type")).toInt(), -1);
    QCOMPARE(empty.value(QStringLiteral("user")).toString(), QString(""));
    QCOMPARE(rig.valuesSince(QStringLiteral("config"), mark).first().toMap(),
             orvotest::defaultMap());
    QCOMPARE(rig.manager->getProfileAuth().getType(), libvelcor::Auth::NoneType);
    // The user's proxy stays in force.
    QCOMPARE(orvofake::authToMap(rig.manager->getProxyAuth()), orvofake::authToMap(Rig::proxy()));
    // The GUI hears the default map after the service side.
    QCOMPARE(rig.log.last(QStringLiteral("window.configReceive")).args.at(0).toMap(),
             orvotest::defaultMap());
    QVERIFY(rig.window()->setupFlag);
}

void TestManager::nestedSignOutWhilePortalReady()
{
    Rig rig;
    QVERIFY(rig.start());
    rig.portal()->ready = true;
    const int mark = rig.simMark();
    rig.log.clear();

    emit rig.gui->tray->sigDisconnect();
    QTRY_COMPARE_WITH_TIMEOUT(rig.actionsSince(mark).count(QStringLiteral("stop")), 2, 5000);
    QCOMPARE(rig.valuesSince(QStringLiteral("auth"), mark).size(), 2);
    QCOMPARE(rig.valuesSince(QStringLiteral("config"), mark).size(), 2);
    // The nested run happens inside the portal's onDisconnect; the login
    // plugin hears Manager's disconnect after the portal, once per run.
    QStringList order;
    for (const QString& name : rig.log.names())
        if (name == QLatin1String("login.sigDisconnect") ||
            name == QLatin1String("portal.onDisconnect"))
            order << name;
    QCOMPARE(
        order,
        (QStringList{QStringLiteral("login.sigDisconnect"), QStringLiteral("portal.onDisconnect"),
                     QStringLiteral("portal.onDisconnect"), QStringLiteral("login.sigDisconnect"),
                     QStringLiteral("login.sigDisconnect")}));
    const auto calls = rig.log.of(QStringLiteral("portal.onDisconnect"));
    QCOMPARE(calls.at(0).args.at(0).toBool(), true);
    QCOMPARE(calls.at(1).args.at(0).toBool(), false);
}

void TestManager::signOutFromThePortalRunsOnce()
{
    Rig rig;
    QVERIFY(rig.start());
    const int mark = rig.simMark();
    // Its Logout button: the portal is no longer ready when it asks.
    emit rig.portal()->sigDisconnect();
    // The session's boxes close at once, not when the service has stopped.
    QCOMPARE(rig.log.count(QStringLiteral("gui._sessionEnded")), 1);
    QTRY_COMPARE_WITH_TIMEOUT(rig.actionsSince(mark).count(QStringLiteral("stop")), 1, 5000);
    QTest::qWait(100);
    QCOMPARE(rig.actionsSince(mark).count(QStringLiteral("stop")), 1);
    QCOMPARE(rig.valuesSince(QStringLiteral("config"), mark).size(), 1);
}

void TestManager::queryResponse_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("kinds");
    // Around the answer: a state ("0", "1") or the question again ("201")
    // before it, or a second answer ("twice").
    QTest::addColumn<QString>("meanwhile");

    const QStringList accepted{QStringLiteral("config"), QStringLiteral("auth"),
                               QStringLiteral("auth"), QStringLiteral("cloud.action")};
    QTest::newRow("accepted") << 0 << true << accepted << "";
    // Refused, the attempt ends: the defaults, then its "stop".
    QTest::newRow("refused") << 0 << false << QStringList{"config", "cloud.action"} << "";
    QTest::newRow("unknown question") << 1 << true << QStringList() << "";
    // The attempt ended before the answer: nothing of it goes out.
    QTest::newRow("accepted after an error state") << 0 << true << QStringList() << "1";
    QTest::newRow("accepted after an idle state") << 0 << true << QStringList() << "0";
    // The window's Cancel as the service's error closes the box: a stumble.
    QTest::newRow("refused by the window at error 100") << 0 << false << QStringList() << "e100";
    // A second answer to the same question comes too late.
    QTest::newRow("accepted twice") << 0 << true << accepted << "twice";
    // The window's one box of a repeated question answers it.
    QTest::newRow("asked again, accepted") << 0 << true << accepted << "201";
    // The tunnel over before the OK's "start" was due: nobody's to raise.
    QTest::newRow("accepted, then idle")
        << 0 << true << QStringList(accepted.mid(0, 3)) << "idle after";
}

void TestManager::queryResponse()
{
    QFETCH(int, id);
    QFETCH(bool, ok);
    QFETCH(QStringList, kinds);
    QFETCH(QString, meanwhile);

    Rig rig;
    QVERIFY(rig.start());
    emit rig.login()->authSupply(Rig::proxy());
    QVERIFY(rig.signIn());
    rig.sim.emitError(201, QStringLiteral("Untrusted server"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("gui._gotQuery")), 1, 5000);
    QTest::qWait(50);
    if (meanwhile == QLatin1String("201")) {
        rig.sim.emitError(201, QStringLiteral("Untrusted server"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("gui._gotQuery")), 2, 5000);
    } else if (meanwhile == QLatin1String("e100")) {
        rig.sim.emitError(100, QStringLiteral("Connection failed"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("window.stateChanged")), 1, 5000);
    } else if (meanwhile.size() == 1) {
        rig.sim.emitState(meanwhile.toInt());
        QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("window.stateChanged")), 1, 5000);
    }
    const int mark = rig.simMark();

    emit rig.gui->sigQueryResponse(id, ok);
    if (meanwhile == QLatin1String("twice"))
        emit rig.gui->sigQueryResponse(id, ok);
    if (meanwhile == QLatin1String("idle after"))
        rig.sim.emitState(libvelcor::StateIdle);
    QTest::qWait(300); // past the 100 ms start delay
    QTRY_COMPARE_WITH_TIMEOUT(rig.sim.kinds().mid(mark), kinds, 5000);
    if (id == 0 && ok && !kinds.isEmpty()) {
        QCOMPARE(rig.valuesSince(QStringLiteral("config"), mark).first().toMap(),
                 sslFragment(QStringLiteral("init"), map1(QStringLiteral("verify_ca"), false)));
        const auto auths = rig.valuesSince(QStringLiteral("auth"), mark);
        QCOMPARE(authMap(auths.at(0)), orvofake::authToMap(Rig::proxy()));
        QCOMPARE(authMap(auths.at(1)), orvofake::authToMap(Rig::userPass()));
        QCOMPARE(rig.actionsSince(mark), kinds.size() > 3 ? QStringList{"start"} : QStringList());
    } else if (id == 0 && !ok && !kinds.isEmpty()) {
        QCOMPARE(rig.actionsSince(mark), QStringList{QStringLiteral("stop")});
        QCOMPARE(rig.valuesSince(QStringLiteral("config"), mark).first().toMap(),
                 orvotest::defaultMap());
        QCOMPARE(rig.manager->getProfileAuth().getType(), libvelcor::Auth::NoneType);
    } else {
        QCOMPARE(rig.manager->getProfileAuth().getUser(), QStringLiteral("demo"));
    }
}

// ---- server configuration ----------------------------------------------------------

void TestManager::serverConfigIntake_data()
{
    QTest::addColumn<QVariant>("config");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QVariantList>("values"); // id, addr, fallback, pages (as far as emitted)

    const QString uuid = Rig::uuid();
    const QVariantMap pages = Rig::pages();
    auto record = [](const QVariantMap& server) {
        return QVariant(QVariantMap{{QStringLiteral("server"), server}});
    };
    const QVariantMap full{
        {QStringLiteral("uuid"), uuid},
        {QStringLiteral("openvpn_internal_ip"), QStringLiteral("10.8.0.1")},
        {QStringLiteral("fallback_openvpn_internal_ip"), QStringLiteral("10.9.0.1")},
        {QStringLiteral("available_pages"), pages}};
    const QStringList all{QStringLiteral("portal.gotServerId"),
                          QStringLiteral("portal.gotServerAddr"),
                          QStringLiteral("portal.gotPages")};

    QTest::newRow("complete") << record(full) << all
                              << QVariantList{QUuid(uuid), QStringLiteral("10.8.0.1"),
                                              QStringLiteral("10.9.0.1"), pages};
    QVariantMap m = full;
    m.remove(QStringLiteral("fallback_openvpn_internal_ip"));
    QTest::newRow("no fallback") << record(m) << all
                                 << QVariantList{QUuid(uuid), QStringLiteral("10.8.0.1"),
                                                 QString(""), pages};
    m = full;
    m.insert(QStringLiteral("fallback_openvpn_internal_ip"), QVariant());
    QTest::newRow("null fallback")
        << record(m) << all
        << QVariantList{QUuid(uuid), QStringLiteral("10.8.0.1"), QString(""), pages};
    m = full;
    m.remove(QStringLiteral("available_pages"));
    QTest::newRow("no pages") << record(m) << QStringList(all.mid(0, 2))
                              << QVariantList{QUuid(uuid), QStringLiteral("10.8.0.1"),
                                              QStringLiteral("10.9.0.1")};
    m = full;
    m.insert(QStringLiteral("available_pages"), QStringLiteral("not a map"));
    QTest::newRow("pages not a map") << record(m) << all
                                     << QVariantList{QUuid(uuid), QStringLiteral("10.8.0.1"),
                                                     QStringLiteral("10.9.0.1"), QVariantMap()};
    m = full;
    m.remove(QStringLiteral("openvpn_internal_ip"));
    QTest::newRow("no address") << record(m) << QStringList(all.mid(0, 1))
                                << QVariantList{QUuid(uuid)};
    m = full;
    m.insert(QStringLiteral("openvpn_internal_ip"), QString(""));
    QTest::newRow("empty address is present")
        << record(m) << all
        << QVariantList{QUuid(uuid), QString(""), QStringLiteral("10.9.0.1"), pages};
    m = full;
    m.insert(QStringLiteral("uuid"), QStringLiteral("not-a-uuid"));
    QTest::newRow("bad uuid: null id")
        << record(m) << all
        << QVariantList{QUuid(), QStringLiteral("10.8.0.1"), QStringLiteral("10.9.0.1"), pages};
    m = full;
    m.remove(QStringLiteral("uuid"));
    QTest::newRow("no uuid") << record(m) << QStringList() << QVariantList();
    QTest::newRow("server not a map")
        << QVariant(QVariantMap{{QStringLiteral("server"), QStringLiteral("x")}}) << QStringList()
        << QVariantList();
    QTest::newRow("no server") << QVariant(QVariantMap{{QStringLiteral("other"), 1}})
                               << QStringList() << QVariantList();
    QTest::newRow("null") << QVariant() << QStringList() << QVariantList();
}

void TestManager::serverConfigIntake()
{
    QFETCH(QVariant, config);
    QFETCH(QStringList, calls);
    QFETCH(QVariantList, values);

    Rig rig;
    QVERIFY(rig.start());
    rig.log.clear();
    QMetaObject::invokeMethod(rig.manager.get(), "_serverConfigReceive", Q_ARG(QVariant, config));
    QCOMPARE(rig.log.namesOf(QStringLiteral("portal")), calls);
    QVariantList got;
    for (const orvofake::Call& c : rig.log.calls())
        got += c.args;
    QCOMPARE(got, values);
}

// ---- errors --------------------------------------------------------------------------

void TestManager::apiErrorRouting_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<bool>("stateError");
    QTest::addColumn<bool>("reset");
    QTest::addColumn<bool>("question");
    QTest::addColumn<bool>("signOut");

    QTest::newRow("100") << 100 << true << true << true << false << false;
    QTest::newRow("200") << 200 << true << true << true << false << false;
    QTest::newRow("201 untrusted server") << 201 << false << false << false << true << false;
    QTest::newRow("500") << 500 << true << false << true << false << true;
    QTest::newRow("-1") << -1 << false << false << false << false << false;
    QTest::newRow("300 need") << 300 << true << false << true << false << false;
    QTest::newRow("400 connection") << 400 << true << false << true << false << false;
    QTest::newRow("900 web request") << 900 << true << false << true << false << false;
    QTest::newRow("1") << 1 << true << false << true << false << false;
}

void TestManager::apiErrorRouting()
{
    QFETCH(int, code);
    QFETCH(bool, reported);
    QFETCH(bool, stateError);
    QFETCH(bool, reset);
    QFETCH(bool, question);
    QFETCH(bool, signOut);

    Rig rig;
    QVERIFY(rig.start());
    rig.log.clear();
    const int mark = rig.simMark();
    rig.sim.emitError(code, QStringLiteral("desc"), QStringLiteral("extra"));
    // The connection keeps the order: once the sentinel is through, so is the error.
    rig.sim.emitProgress(9, 9, QStringLiteral("sentinel"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("window.progress")), 1, 5000);
    QTest::qWait(150);

    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), reported ? 1 : 0);
    if (reported)
        QCOMPARE(rig.log.last(QStringLiteral("gui._gotError")).args,
                 (QVariantList{4, QStringLiteral("desc"), QStringLiteral("extra")}));
    QCOMPARE(rig.log.count(QStringLiteral("window.stateChanged")), stateError ? 1 : 0);
    if (stateError) {
        QCOMPARE(rig.log.last(QStringLiteral("window.stateChanged")).args.at(0).toInt(), 1);
        QVERIFY(rig.log.indexOf(QStringLiteral("gui._gotError")) <
                rig.log.indexOf(QStringLiteral("window.stateChanged")));
    }
    const QList<QVariant> configs = rig.valuesSince(QStringLiteral("config"), mark);
    QCOMPARE(configs.size(), reset ? 1 : 0);
    if (reset)
        QCOMPARE(configs.first().toMap(), orvotest::defaultMap());
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotQuery")), question ? 1 : 0);
    if (question)
        QCOMPARE(rig.log.last(QStringLiteral("gui._gotQuery")).args,
                 (QVariantList{0, QStringLiteral(
                                      "Untrusted Server! To avoid this warning, add a trusted CA "
                                      "Certificate to the Connection Profile or disable server "
                                      "certificate verification (NOT recommended).\n\nDo you still "
                                      "want to continue?")}));
    QCOMPARE(rig.actionsSince(mark).contains(QStringLiteral("stop")), signOut);
    QCOMPARE(rig.log.count(QStringLiteral("gui._sessionEnded")), signOut ? 1 : 0);
    QCOMPARE(rig.valuesSince(QStringLiteral("auth"), mark).size(), signOut ? 1 : 0);
    if (signOut) // the error is shown before the sign-out runs
        QVERIFY(rig.log.indexOf(QStringLiteral("gui._gotError")) <
                rig.log.indexOf(QStringLiteral("login.sigDisconnect")));
}

void TestManager::repeatedServiceErrorIsReportedAgainAfterConnect()
{
    Rig rig;
    QVERIFY(rig.start());
    auto sendAndSettle = [&rig](int code) {
        const int before = rig.log.count(QStringLiteral("window.progress"));
        rig.sim.emitError(code, QStringLiteral("failed"));
        rig.sim.emitProgress(1, 1, QStringLiteral("sentinel"));
        return Rig::waitFor(
            [&]() { return rig.log.count(QStringLiteral("window.progress")) > before; });
    };
    QVERIFY(sendAndSettle(100));
    QVERIFY(sendAndSettle(100));
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), 1);
    QVERIFY(sendAndSettle(200));
    QVERIFY(sendAndSettle(200));
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), 2);
    // A new sign-in hears the same failure again.
    emit rig.login()->authSupply(Rig::userPass());
    emit rig.gui->tray->sigConnect();
    QVERIFY(sendAndSettle(200));
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), 3);
}

// ---- downloads -------------------------------------------------------------------------

void TestManager::fixUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("fixed");

    QTest::newRow("no path") << "http://h"
                             << "http://h/";
    QTest::newRow("root") << "http://h/"
                          << "http://h/";
    QTest::newRow("path") << "http://h/a/b"
                          << "http://h/a/b/";
    QTest::newRow("ends in slash") << "https://h/dir/"
                                   << "https://h/dir/";
    QTest::newRow("query after the new slash") << "http://h/a?x=1&y=2"
                                               << "http://h/a/?x=1&y=2";
    QTest::newRow("port and fragment") << "http://h:8080/a#f"
                                       << "http://h:8080/a/#f";
    QTest::newRow("encoded slash") << "http://h/a%2Fb"
                                   << "http://h/a%2Fb/";
    QTest::newRow("encoded blank") << "http://h/a%20b"
                                   << "http://h/a%20b/";
    QTest::newRow("encoded percent") << "http://h/100%25"
                                     << "http://h/100%25/";
    QTest::newRow("encoded percent before hex") << "http://h/x%2541"
                                                << "http://h/x%2541/";
    QTest::newRow("encoded query kept") << "http://h/f%2Fg/?q=%26r"
                                        << "http://h/f%2Fg/?q=%26r";
}

void TestManager::fixUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, fixed);
    QCOMPARE(ORVO::Manager::_fixUrl(url), fixed);
    QCOMPARE(ORVO::Manager::_fixUrl(fixed), fixed);
}

void TestManager::portalDownload()
{
    Rig rig;
    QVERIFY(rig.start());
    QTemporaryDir target;
    rig.window()->downloadDir = target.path();
    const QByteArray body("%PDF-1.4 report");
    // The portal's path, which the download routing ends with "/".
    rig.web.setFile(QStringLiteral("/manage/client_download/my report/"), body,
                    QStringLiteral("report.pdf"));

    emit rig.window()->startDownload(
        rig.web.baseUrl() + QStringLiteral("/manage/client_download/my%20report"), QString(""));
    const QString file = target.path() + QStringLiteral("/report.pdf");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(orvotest::readFile(file), body, 5000);
    QCOMPARE(rig.log.last(QStringLiteral("window.queryDownloadTarget")).args.at(1).toString(),
             QStringLiteral("report.pdf"));
    const auto requests = rig.web.requests(QStringLiteral("/manage/client_download/my report/"));
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests.at(0).method, QByteArray("HEAD"));
    QCOMPARE(requests.at(1).method, QByteArray("GET"));
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), 0);
}

void TestManager::failedDownloadIsReportedAndResets()
{
    Rig rig;
    QVERIFY(rig.start());
    rig.web.setStatus(QStringLiteral("/broken/"), 500);
    const int mark = rig.simMark();
    orvotest::LogCapture lines;
    emit rig.window()->startDownload(rig.web.baseUrl() + QStringLiteral("/broken"), QString(""));
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("gui._gotError")), 1, 5000);
    // The error text is quoted once.
    QCOMPARE(lines.count(QRegularExpression(
                 QStringLiteral("\\[Manager\\] network error: \\d+ \\(\"Error in reply\"\\)$"))),
             1);
    const orvofake::Call error = rig.log.last(QStringLiteral("gui._gotError"));
    QCOMPARE(error.args.at(0).toInt(), int(ORVO::ModuleNetworkManager));
    QCOMPARE(error.args.at(1).toString(), QStringLiteral("Error in reply"));
    QVERIFY(!error.args.at(2).toString().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("config"), mark).size(), 1, 5000);
    QCOMPARE(rig.valuesSince(QStringLiteral("config"), mark).first().toMap(),
             orvotest::defaultMap());
}

// ---- actions ----------------------------------------------------------------------------

void TestManager::portalActionsRunAtOnce()
{
    Rig rig;
    QVERIFY(rig.start());
    ORVO::ProcessManager* pm = rig.manager->getProcessManager();
    const QString key = QStringLiteral("sleeper_desk 1");

    // No "_type": an opening action.
    emit rig.window()->startAction(
        action(QString(), QStringLiteral("sleeper"), QStringLiteral("desk+1"), QStringLiteral("r"),
               QStringLiteral("%PROGRAM_PATH%/sleep"), QStringLiteral("30")));
    QTRY_VERIFY_WITH_TIMEOUT(pm->getKeys().contains(key), 5000);
    QCOMPARE(rig.log.count(QStringLiteral("gui._requestAction")), 0);

    // Other spellings do nothing.
    emit rig.window()->startAction(action(QStringLiteral("Close"), QStringLiteral("sleeper"),
                                          QStringLiteral("desk+1"), QStringLiteral("r"), QString(),
                                          QString()));
    emit rig.window()->startAction(action(QStringLiteral("stop"), QStringLiteral("sleeper"),
                                          QStringLiteral("desk+1"), QStringLiteral("r"), QString(),
                                          QString()));
    QVERIFY(pm->getKeys().contains(key));

    emit rig.window()->startAction(action(QStringLiteral("close"), QStringLiteral("sleeper"),
                                          QStringLiteral("desk+1"), QString(), QString(),
                                          QString()));
    QVERIFY(!pm->getKeys().contains(key));
    QCOMPARE(rig.log.count(QStringLiteral("gui._gotError")), 0);
}

void TestManager::requestServerActionsWaitForTheUser_data()
{
    QTest::addColumn<QString>("verb");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("runs");
    QTest::addColumn<bool>("located"); // not found, the user locates the program

    QTest::newRow("open, accepted") << "open" << int(orvofake::FakeGui::Accept) << true << false;
    QTest::newRow("open, not answered")
        << "open" << int(orvofake::FakeGui::NoAnswer) << false << false;
    QTest::newRow("unknown verb, accepted")
        << "restart" << int(orvofake::FakeGui::Accept) << false << false;
    QTest::newRow("open, accepted, located by the user")
        << "open" << int(orvofake::FakeGui::Accept) << true << true;
}

void TestManager::requestServerActionsWaitForTheUser()
{
    QFETCH(QString, verb);
    QFETCH(int, answer);
    QFETCH(bool, runs);
    QFETCH(bool, located);

    Rig rig;
    QVERIFY(rig.start(Mode::CommandLine));
    rig.gui->actionAnswer = orvofake::FakeGui::Answer(answer);
    ORVO::ProcessManager* pm = rig.manager->getProcessManager();
    const QString path = located ? "%PROGRAM_PATH%/no-such-sleep" : "%PROGRAM_PATH%/sleep";
    connect(rig.gui.get(), &orvofake::FakeGui::chooseOpenFile, this,
            [&rig] { emit rig.gui->chosenOpenFile(QStandardPaths::findExecutable("sleep")); });
    const libvelcor::Params params{{QStringLiteral("name"), QStringLiteral("sleeper")},
                                   {QStringLiteral("endpoint"), QStringLiteral("7")},
                                   {QStringLiteral("remark"), QStringLiteral("Front desk")},
                                   {QStringLiteral("ips"), QStringLiteral("10.0.0.5")},
                                   {QStringLiteral("path"), path},
                                   {QStringLiteral("args"), QStringLiteral("30")},
                                   {QStringLiteral("extra"), QStringLiteral("dropped")}};
    orvotest::LogCapture lines;
    rig.sim.injectAction(verb, params);
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(QStringLiteral("gui._requestAction")), 1, 5000);
    QCOMPARE(lines.count(QRegularExpression(QStringLiteral("\\[Manager\\] Remapping action: \"") +
                                            verb + QStringLiteral("\"$"))),
             1);
    const QVariantMap expected{{QStringLiteral("_type"), verb},
                               {QStringLiteral("name"), QStringLiteral("sleeper")},
                               {QStringLiteral("endpoint"), QStringLiteral("7")},
                               {QStringLiteral("remark"), QStringLiteral("Front desk")},
                               {QStringLiteral("ips"), QStringLiteral("10.0.0.5")},
                               {QStringLiteral("path"), path},
                               {QStringLiteral("args"), QStringLiteral("30")}};
    QCOMPARE(rig.log.last(QStringLiteral("gui._requestAction")).args.at(0).toMap(), expected);
    if (runs) {
        QTRY_VERIFY_WITH_TIMEOUT(located ? !pm->getPids().isEmpty()
                                         : pm->getKeys().contains(QStringLiteral("sleeper_7")),
                                 5000);
        // Every ERROR line says what failed.
        QCOMPARE(lines.count(QRegularExpression(QStringLiteral("\\[ERROR\\] \\[[^]]*\\] $"))), 0);
    } else {
        QTest::qWait(200);
        QVERIFY(pm->getKeys().isEmpty());
    }
}

void TestManager::processErrorIsReportedAndResets()
{
    Rig rig;
    QVERIFY(rig.start());
    const int mark = rig.simMark();
    // Without a remark the action is refused.
    orvotest::LogCapture lines;
    emit rig.window()->startAction(action(QStringLiteral("open"), QStringLiteral("x"),
                                          QStringLiteral("1"), QString(),
                                          QStringLiteral("/bin/true"), QString("")));
    QCOMPARE(lines.count(QRegularExpression(
                 QStringLiteral("\\[Manager\\] process error: \\d+ \"Bad parameters\"$"))),
             1);
    QCOMPARE(rig.log.last(QStringLiteral("gui._gotError")).args,
             (QVariantList{int(ORVO::ModuleProcessManager), QStringLiteral("Bad parameters"),
                           QString("")}));
    QTRY_COMPARE_WITH_TIMEOUT(rig.valuesSince(QStringLiteral("config"), mark).size(), 1, 5000);
}

// ---- quitting and destruction -----------------------------------------------------------

void TestManager::portalKeepsAWorkingJarAfterManagerIsGone()
{
    Rig rig;
    QVERIFY(rig.start());
    orvofake::FakePortalPlugin* portal = rig.portal();
    QPointer<QNetworkCookieJar> shared(rig.manager->getNetworkManager()->getCookieJar());
    QCOMPARE(portal->nam.cookieJar(), shared.data());

    rig.manager.reset();
    QVERIFY(shared.isNull());
    QVERIFY(portal->jar != nullptr);
    QCOMPARE(portal->nam.cookieJar(), portal->jar);
    QCOMPARE(portal->jar->parent(), static_cast<QObject*>(portal));

    // The portal's pages can still be requested, with cookies.
    QNetworkReply* reply = portal->nam.get(
        QNetworkRequest(QUrl(rig.web.baseUrl() + QStringLiteral("/manage/access/login/"))));
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 5000);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    delete reply;
}

ORVO_TEST_MAIN(TestManager)
#include "tst_manager.moc"
