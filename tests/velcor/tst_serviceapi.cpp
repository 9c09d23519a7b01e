// The service API objects against the service simulator, over real
// loopback sockets.
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <memory>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "foreignpeer.h"
#include "libvelcor/authapi.h"
#include "libvelcor/cloudapi.h"
#include "libvelcor/configapi.h"
#include "libvelcor/setupapi.h"
#include "libvelcor/statusapi.h"
#include "peerowner.h"
#include "servicesimulator.h"
#include "testmain.h"

using libvelcor::Api;
using orvosim::ServiceSimulator;

namespace {

// The five API objects as the client makes them, sharing one connection.
struct Apis
{
    Apis()
        : status(new libvelcor::StatusApi), auth(new libvelcor::AuthApi),
          setup(new libvelcor::SetupApi), cloud(new libvelcor::CloudApi),
          config(new libvelcor::ConfigApi)
    {
    }
    std::unique_ptr<libvelcor::StatusApi> status;
    std::unique_ptr<libvelcor::AuthApi> auth;
    std::unique_ptr<libvelcor::SetupApi> setup;
    std::unique_ptr<libvelcor::CloudApi> cloud;
    std::unique_ptr<libvelcor::ConfigApi> config;
};

// What becomes of the client's connection to a program on the service's port.
enum Outcome { Refused, Served, Failed, RefusedAfterHello };
// Where it listens; on "::" IPv6 only, beside a deferred service of this
// user, with only the socket tables, which do not say it is IPv6 only.
enum Where { OnLoopback, OnMappedAny, OnV6OnlyAny };

QVariantMap nested(const QString& section, const QString& key, const QVariant& value)
{
    return QVariantMap{{section, QVariantMap{{key, value}}}};
}

} // namespace

class TestServiceApi : public QObject
{
    Q_OBJECT

signals:
    void relayConfig(libvelcor::Api::ResultCode rc, QVariant config);
    void relayResult(libvelcor::Api::ResultCode rc);
    void relayAuth(libvelcor::Auth auth);
    void relayAction(QString action, libvelcor::Params params);

private:
    std::unique_ptr<ServiceSimulator> sim;

    // Points the library at the simulator and waits for the handshake.
    std::unique_ptr<Apis> connected()
    {
        qputenv(Api::ServiceAddrVariable, sim->address().toLatin1());
        auto apis = std::make_unique<Apis>();
        QSignalSpy settings(apis->status.get(), SIGNAL(gotSettings()));
        apis->status->init();
        if (!settings.wait(5000))
            return nullptr;
        return apis;
    }

private slots:
    void init()
    {
        Api::setReconnectDelays(20, 160);
        Api::setRequestTimeout(30000);
        sim = std::make_unique<ServiceSimulator>();
        QVERIFY(sim->listen());
    }

    void cleanup()
    {
        sim.reset();
        qunsetenv(Api::ServiceAddrVariable);
        libvelcor::detail::setSocketDiagnostics(true);
    }

    // Requests made before the service answered are held, and every API
    // object's requests reach the service in the order they were made.
    void requestsKeepOrderAcrossApis()
    {
        qputenv(Api::ServiceAddrVariable, sim->address().toLatin1());
        Apis apis;
        QSignalSpy authSent(apis.auth.get(), SIGNAL(authSent(libvelcor::Api::ResultCode)));
        apis.status->init();
        apis.config->configSupply(nested("setup", "enabled", "false"));
        apis.auth->authSupply(libvelcor::Auth(libvelcor::Auth::ProfileId,
                                              libvelcor::Auth::UserPassType, "", "alice",
                                              "p+ss&w\"rd", ""));
        apis.setup->portSupply(4815);
        apis.config->configSupply(nested("setup", "enabled", "true"));
        apis.setup->logPortSupply(4825);
        apis.cloud->actionRequest("syncRoutes", {{"ips", "10.0.0.1,10.0.0.2"}});
        apis.setup->configRetrieve();
        // Nothing is answered inside the calls.
        QCOMPARE(authSent.count(), 0);

        QTRY_COMPARE(sim->kinds().size(), 8);
        QCOMPARE(sim->kinds(),
                 (QStringList{"hello", "config", "auth", "setup.port", "config", "setup.logPort",
                              "cloud.action", "setup.configRetrieve"}));
        const QVariantMap auth = sim->values("auth").at(0).toMap();
        QCOMPARE(auth.value("user").toString(), QString("alice"));
        QCOMPARE(auth.value("pass").toString(), QString("p+ss&w\"rd"));
        QCOMPARE(sim->requestPort(), 4815);
        QCOMPARE(sim->logPort(), 4825);
        const QVariantMap action = sim->values("cloud.action").at(0).toMap();
        QCOMPARE(action.value("action").toString(), QString("syncRoutes"));
        QCOMPARE(action.value("params").toList().at(0).toList(),
                 (QVariantList{"ips", "10.0.0.1,10.0.0.2"}));
        // Later fragments win key by key.
        QCOMPARE(sim->mergedConfig(), nested("setup", "enabled", "true"));
        QTRY_COMPARE(authSent.count(), 1);
        QCOMPARE(authSent.at(0).at(0).value<Api::ResultCode>(), Api::ResultOk);
    }

    void deepMergeOfFragments()
    {
        auto apis = connected();
        QVERIFY(apis);
        QVariantMap first{
            {"ssl", QVariantMap{{"init", QVariantMap{{"verify_ca", true}, {"ca", ""}}},
                                {"op", QVariantMap{{"auth", "user-pass"}}}}},
            {"timeout", "30"}};
        apis->config->configSupply(first);
        apis->config->configSupply(
            QVariantMap{{"ssl", QVariantMap{{"init", QVariantMap{{"verify_ca", false}}}}}});
        apis->config->configSupply(QVariantMap{{"ssl", QVariantMap{{"op", QVariantMap()}}}});
        QTRY_COMPARE(sim->values("config").size(), 3);
        const QVariantMap merged = sim->mergedConfig();
        const QVariantMap ssl = merged.value("ssl").toMap();
        QCOMPARE(ssl.value("init").toMap().value("verify_ca"), QVariant(false));
        // "" survives the trip as a present, empty string.
        QVERIFY(!ssl.value("init").toMap().value("ca").isNull());
        QCOMPARE(ssl.value("op").toMap().value("auth").toString(), QString("user-pass"));
        QCOMPARE(merged.value("timeout").toString(), QString("30"));
    }

    void statusEvents()
    {
        auto apis = connected();
        QVERIFY(apis);
        libvelcor::StatusApi* st = apis->status.get();
        QSignalSpy state(st, SIGNAL(apiState(libvelcor::State)));
        QSignalSpy progress(st, SIGNAL(apiProgress(libvelcor::Progress)));
        QSignalSpy fallback(st, SIGNAL(apiFallback(bool)));
        QSignalSpy need(st, SIGNAL(apiNeed(QString)));
        QSignalSpy error(st, SIGNAL(error(libvelcor::Error)));
        QCOMPARE(st->start(1000), 0);
        QTRY_COMPARE(sim->values("status.start"), (QList<QVariant>{1000}));
        sim->emitState(2);
        sim->emitProgress(1, 3, QString::fromUtf8("Authentifizierung läuft"));
        sim->emitFallback(true);
        sim->emitNeed("otp");
        sim->emitError(201, "Untrusted server", "CN=gw");
        sim->emitState(4);
        QTRY_COMPARE(state.count(), 2);
        QTRY_COMPARE(error.count(), 1);
        QCOMPARE(state.at(0).at(0).value<libvelcor::State>(), libvelcor::StateConnecting);
        QCOMPARE(state.at(1).at(0).value<libvelcor::State>(), libvelcor::StateConnected);
        QCOMPARE(progress.count(), 1);
        const libvelcor::Progress p = progress.at(0).at(0).value<libvelcor::Progress>();
        QCOMPARE(p, libvelcor::Progress(1, 3, QString::fromUtf8("Authentifizierung läuft")));
        QCOMPARE(fallback.at(0).at(0).toBool(), true);
        QCOMPARE(need.at(0).at(0).toString(), QString("otp"));
        const libvelcor::Error e = error.at(0).at(0).value<libvelcor::Error>();
        QCOMPARE(e, libvelcor::Error(201, "Untrusted server", "CN=gw"));
    }

    void resultCodes_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("rc");
        QTest::newRow("auth ok") << "auth" << 0;
        QTest::newRow("auth refused") << "auth" << 2;
        QTest::newRow("port failed") << "setup.port" << 1;
        QTest::newRow("log port 17") << "setup.logPort" << 17;
        QTest::newRow("config retrieval failed") << "setup.configRetrieve" << 1;
    }

    void resultCodes()
    {
        QFETCH(QString, type);
        QFETCH(int, rc);
        sim->setResultCode(type, rc);
        auto apis = connected();
        QVERIFY(apis);
        QSignalSpy authSent(apis->auth.get(), SIGNAL(authSent(libvelcor::Api::ResultCode)));
        QSignalSpy portSent(apis->setup.get(), SIGNAL(portSent(libvelcor::Api::ResultCode)));
        QSignalSpy logPortSent(apis->setup.get(), SIGNAL(logPortSent(libvelcor::Api::ResultCode)));
        QSignalSpy received(apis->setup.get(),
                            SIGNAL(configReceived(libvelcor::Api::ResultCode, QVariant)));
        apis->auth->authSupply(libvelcor::Auth());
        apis->setup->portSupply(4814);
        apis->setup->logPortSupply(4824);
        apis->setup->configRetrieve();
        QTRY_COMPARE(received.count(), 1);
        QTRY_COMPARE(authSent.count() + portSent.count() + logPortSent.count(), 3);
        auto code = [](const QSignalSpy& s) { return int(s.at(0).at(0).value<Api::ResultCode>()); };
        QCOMPARE(code(authSent), type == "auth" ? rc : 0);
        QCOMPARE(code(portSent), type == "setup.port" ? rc : 0);
        QCOMPARE(code(logPortSent), type == "setup.logPort" ? rc : 0);
        QCOMPARE(code(received), type == "setup.configRetrieve" ? rc : 0);
        // A failed retrieval carries no configuration.
        QCOMPARE(received.at(0).at(1).value<QVariant>().isNull(),
                 rc != 0 && type == "setup.configRetrieve");
    }

    void configReplies_data()
    {
        QTest::addColumn<QVariant>("reply");
        QTest::addColumn<int>("delay");
        QTest::newRow("null") << QVariant() << 0;
        QTest::newRow("delayed record")
            << QVariant(QVariantMap{
                   {"server", QVariantMap{{"uuid", "5b1f5c0e-0000-4000-8000-000000000001"},
                                          {"openvpn_internal_ip", "127.0.0.1"},
                                          {"available_pages", QVariantMap()}}}})
            << 150;
        QTest::newRow("empty server section")
            << QVariant(QVariantMap{{"server", QVariantMap()}}) << 0;
        // Numbers beyond int stay doubles, at any depth.
        QTest::newRow("a number, 3e9") << QVariant(3e9) << 0;
        QTest::newRow("numbers beyond int")
            << QVariant(QVariantMap{{"server", QVariantMap{{"big", 1e10},
                                                           {"low", -2147483649.0},
                                                           {"list", QVariantList{1e300, 7}}}}})
            << 0;
    }

    void configReplies()
    {
        QFETCH(QVariant, reply);
        QFETCH(int, delay);
        sim->setConfigReply(reply, delay);
        auto apis = connected();
        QVERIFY(apis);
        QSignalSpy received(apis->setup.get(),
                            SIGNAL(configReceived(libvelcor::Api::ResultCode, QVariant)));
        QElapsedTimer timer;
        timer.start();
        apis->setup->configRetrieve();
        QTRY_COMPARE(received.count(), 1);
        QVERIFY(timer.elapsed() >= delay);
        QCOMPARE(received.at(0).at(0).value<Api::ResultCode>(), Api::ResultOk);
        QCOMPARE(received.at(0).at(1).value<QVariant>(), reply);
    }

    void defaultServerRecord()
    {
        sim->setManagementServer("127.0.0.1", "127.0.0.2", "",
                                 QVariantMap{{"home", "/portal/home"}});
        auto apis = connected();
        QVERIFY(apis);
        QSignalSpy received(apis->setup.get(),
                            SIGNAL(configReceived(libvelcor::Api::ResultCode, QVariant)));
        apis->setup->configRetrieve();
        QTRY_COMPARE(received.count(), 1);
        const QVariantMap server =
            received.at(0).at(1).value<QVariant>().toMap().value("server").toMap();
        QVERIFY(!QUuid(server.value("uuid").toString()).isNull());
        QCOMPARE(server.value("openvpn_internal_ip").toString(), QString("127.0.0.1"));
        QCOMPARE(server.value("fallback_openvpn_internal_ip").toString(), QString("127.0.0.2"));
        QCOMPARE(server.value("available_pages").toMap(), (QVariantMap{{"home", "/portal/home"}}));
    }

    void refusedAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("network address") << "192.168.1.10:4804";
        QTest::newRow("any address") << "0.0.0.0:4804";
        QTest::newRow("host name") << "example.org:4804";
        QTest::newRow("no port") << "127.0.0.1";
        QTest::newRow("port zero") << "127.0.0.1:0";
        QTest::newRow("port too large") << "127.0.0.1:70000";
    }

    void refusedAddresses()
    {
        QFETCH(QString, address);
        qputenv(Api::ServiceAddrVariable, address.toLatin1());
        Apis apis;
        QSignalSpy error(apis.status.get(), SIGNAL(error(libvelcor::Error)));
        QSignalSpy authSent(apis.auth.get(), SIGNAL(authSent(libvelcor::Api::ResultCode)));
        apis.auth->authSupply(libvelcor::Auth());
        QCOMPARE(apis.status->init(), -1);
        QCOMPARE(error.count(), 0);
        QTRY_COMPARE(error.count(), 1);
        QCOMPARE(error.at(0).at(0).value<libvelcor::Error>().getCode(), Api::ConnectionErrorCode);
        QVERIFY(error.at(0).at(0).value<libvelcor::Error>().getDesc().contains(
            address.section(':', 0, 0)));
        QTRY_COMPARE(authSent.count(), 1);
        QCOMPARE(authSent.at(0).at(0).value<Api::ResultCode>(), Api::ResultNotConnected);
        QTest::qWait(100);
        QCOMPARE(error.count(), 1);
        QCOMPARE(sim->kinds(), QStringList());
    }

    // A service that is not there yet: one error, quiet retries with a
    // bounded delay, then the connection comes up on its own, also after
    // the held port and proxy credential have expired.
    void serviceAppearsLater_data()
    {
        QTest::addColumn<int>("timeout");
        QTest::newRow("held until it appears") << 30000;
        QTest::newRow("held requests expired") << 300;
    }

    void serviceAppearsLater()
    {
        QFETCH(int, timeout);
        Api::setRequestTimeout(timeout);
        // The service's port, bound but not listening until the service
        // appears: connections are refused, and no other program can take
        // the port meanwhile.
        sim = std::make_unique<ServiceSimulator>();
        const int held = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(held >= 0);
        const auto closeHeld = qScopeGuard([held]() { ::close(held); });
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        QCOMPARE(::bind(held, reinterpret_cast<sockaddr*>(&address), size), 0);
        QCOMPARE(::getsockname(held, reinterpret_cast<sockaddr*>(&address), &size), 0);
        const quint16 port = ntohs(address.sin_port);
        qputenv(Api::ServiceAddrVariable, QByteArray("127.0.0.1:") + QByteArray::number(port));
        Apis apis;
        QSignalSpy error(apis.status.get(), SIGNAL(error(libvelcor::Error)));
        QSignalSpy settings(apis.status.get(), SIGNAL(gotSettings()));
        QSignalSpy authSent(apis.auth.get(), SIGNAL(authSent(libvelcor::Api::ResultCode)));
        QSignalSpy numbered(apis.auth.get(),
                            SIGNAL(credentialSent(int, libvelcor::Api::ResultCode)));
        apis.setup->logPortSupply(4830);
        apis.auth->authSupply({libvelcor::Auth::ProxyId, libvelcor::Auth::UserPassType,
                               "http://127.0.0.1:3128", "bob", "pw", ""});
        QCOMPARE(apis.status->init(), 0);
        QTRY_COMPARE(error.count(), 1);
        QVERIFY(
            error.at(0).at(0).value<libvelcor::Error>().getDesc().contains(QString::number(port)));
        // A sign-in meanwhile is dropped with the reason, its credential with
        // it: neither is sent later.
        QSignalSpy notSent(apis.cloud.get(), SIGNAL(actionNotSent(QString, QString)));
        apis.auth->authSupply(
            {libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType, "", "alice", "typed", ""});
        apis.cloud->actionRequest("start", {});
        QTRY_COMPARE(notSent.count(), 1);
        QTRY_COMPARE(authSent.count(), 1);
        QCOMPARE(authSent.at(0).at(0).value<Api::ResultCode>(), Api::ResultNotConnected);
        QVERIFY(notSent.at(0).at(1).toString().contains(QString::number(port)));
        // Several retries go by (20, 40, 80, 160 ms ...) without more errors.
        QTest::qWait(500);
        QCOMPARE(error.count(), 1);
        QCOMPARE(settings.count(), 0);
        QCOMPARE(::listen(held, SOMAXCONN), 0);
        // A copy no child process inherits, closed if the simulator does not
        // take it.
        const int copy = ::fcntl(held, F_DUPFD_CLOEXEC, 0);
        QVERIFY(copy >= 0);
        if (!sim->listenOn(copy)) {
            ::close(copy);
            QFAIL("the simulator does not listen on the held port");
        }
        QTRY_COMPARE(settings.count(), 1);
        QTRY_COMPARE(sim->logPort(), 4830);
        QCOMPARE(error.count(), 1);
        QVERIFY(!sim->kinds().contains("cloud.action"));
        // The proxy's credential, handed over at start-up, is the only one.
        QTRY_COMPARE(sim->values("auth").size(), 1);
        QCOMPARE(sim->credentials().at(0).getUser(), QString("bob"));
        // Each result names its credential by the number it was given.
        apis.auth->authSupply(
            {libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType, "", "carol", "pw", ""});
        QCOMPARE(apis.auth->lastCredential(), 3);
        QTRY_COMPARE(numbered.count(), 3);
        QVariantList results;
        for (const QVariantList& r : qAsConst(numbered))
            results << r.at(0).toInt() << int(r.at(1).value<Api::ResultCode>());
        const int proxyRc = timeout < 500 ? Api::ResultTimeout : Api::ResultOk;
        QCOMPARE(results, (QVariantList{2, Api::ResultNotConnected, 1, proxyRc, 3, 0}));
        QCOMPARE(sim->values("auth").size(), 2);
    }

    // Another account's program on the service's port gets nothing, not
    // even the hello, also when the kernel holds the connection for it
    // until the client sends; the user is told why, once. The same program
    // of this user is served, and one that closes at once, or closes each
    // connection (a busy moment), is an ordinary failed attempt. A listener
    // that root made and handed to another account gets the hello only.
    void programOnServicePort_data()
    {
        QTest::addColumn<int>("uid");
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("where");
        QTest::addColumn<int>("outcome");
        const int self = int(::geteuid());
        const int other = ForeignPeer::Uid;
        QTest::newRow("other account")
            << other << int(ForeignPeer::Serve) << int(OnLoopback) << int(Refused);
        QTest::newRow("other account, deferred accept")
            << other << int(ForeignPeer::Deferred) << int(OnLoopback) << int(Refused);
        QTest::newRow("this user, deferred accept")
            << self << int(ForeignPeer::Deferred) << int(OnLoopback) << int(Served);
        QTest::newRow("this user, closes at once")
            << self << int(ForeignPeer::CloseAtOnce) << int(OnLoopback) << int(Failed);
        QTest::newRow("this user, closes each connection")
            << self << int(ForeignPeer::CloseEach) << int(OnLoopback) << int(Failed);
        QTest::newRow("other account, deferred accept on ::ffff:0.0.0.0")
            << other << int(ForeignPeer::Deferred) << int(OnMappedAny) << int(Refused);
        QTest::newRow("this user, deferred accept on ::ffff:0.0.0.0")
            << self << int(ForeignPeer::Deferred) << int(OnMappedAny) << int(Served);
        QTest::newRow("other account on :: IPv6 only, socket tables")
            << other << int(ForeignPeer::Serve) << int(OnV6OnlyAny) << int(Failed);
        QTest::newRow("root's listener taken by other account")
            << other << int(ForeignPeer::HandedOver) << int(OnLoopback) << int(RefusedAfterHello);
    }

    void programOnServicePort()
    {
        QFETCH(int, uid);
        QFETCH(int, how);
        QFETCH(int, where);
        QFETCH(int, outcome);
        if (!ForeignPeer::skipReason(uid).isEmpty())
            QSKIP(qPrintable(ForeignPeer::skipReason(uid)));
        const quint16 port = sim->port();
        sim->close();
        ForeignPeer peer(uid);
        const char* address[] = {"127.0.0.1", "::ffff:0.0.0.0", "::"};
        QVERIFY(
            peer.listenOn(port, ForeignPeer::Listen(how), address[where], where == OnV6OnlyAny));
        ForeignPeer beside{int(::geteuid())};
        if (where == OnV6OnlyAny) {
            QVERIFY(beside.listenOn(port, ForeignPeer::Deferred));
            libvelcor::detail::setSocketDiagnostics(false);
        }
        qputenv(Api::ServiceAddrVariable, QByteArray("127.0.0.1:") + QByteArray::number(port));
        Apis apis;
        QSignalSpy error(apis.status.get(), SIGNAL(error(libvelcor::Error)));
        apis.setup->logPortSupply(4830);
        apis.status->init();
        // The first request has made the connection; the client looks at it
        // only from the event loop, which this wait does not run.
        if (how == ForeignPeer::CloseAtOnce)
            QVERIFY(peer.waitDone());
        if (outcome == Served) {
            QTRY_VERIFY(peer.received().contains("\"type\":\"hello\""));
            QCOMPARE(error.count(), 0);
            return;
        }
        QTRY_COMPARE(error.count(), 1);
        const libvelcor::Error e = error.at(0).at(0).value<libvelcor::Error>();
        if (outcome != Failed) {
            QVERIFY(e.getDesc().startsWith("Nothing is sent"));
            QCOMPARE(e.getExtra(), QString("owned by uid %1").arg(ForeignPeer::Uid));
        } else {
            QVERIFY2(!e.getDesc().contains("does not belong"), qPrintable(e.getDesc()));
        }
        QTest::qWait(500); // several retries
        QCOMPARE(error.count(), 1);
        if (outcome == Refused)
            QCOMPARE(peer.received(), QByteArray("listening\n"));
        if (outcome == RefusedAfterHello) {
            const QList<QByteArray> lines = peer.received().trimmed().split('\n');
            QVERIFY(lines.size() > 1);
            for (const QByteArray& line : lines.mid(1))
                QVERIFY2(line.contains("\"type\":\"hello\""), line.constData());
        }
    }

    // A connection not yet taken in by a dual-stack listener ("::") has no
    // owner of its own; the listener names the service's. Once taken in,
    // the peer's socket (listed in tcp6 under ::ffff:127.0.0.1) does. Both
    // through the socket diagnostics and the tables under /proc/net.
    void ownerOfDualStackPeer_data()
    {
        QTest::addColumn<bool>("diagnostics");
        QTest::newRow("socket diagnostics") << true;
        QTest::newRow("socket tables") << false;
    }

    void ownerOfDualStackPeer()
    {
        QFETCH(bool, diagnostics);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::Any, 0));
        libvelcor::detail::setSocketDiagnostics(diagnostics);
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(client.waitForConnected(5000));
        QCOMPARE(libvelcor::detail::peerOwner(client).uid, qint64(-1));
        const libvelcor::detail::PeerOwner waiting = libvelcor::detail::serviceOwner(client);
        QVERIFY(server.waitForNewConnection(5000));
        const libvelcor::detail::PeerOwner taken = libvelcor::detail::peerOwner(client);
        QVERIFY2(waiting.allowed, qPrintable(waiting.why));
        QVERIFY2(taken.allowed, qPrintable(taken.why));
        QCOMPARE(taken.uid, qint64(::geteuid()));
    }

    // A lost service: an error and the error state, the held ports, the
    // proxy's credential and the standing settings given to the new service
    // once (the sign-in's credential never), and gotSettings again.
    void lostConnectionRecovers()
    {
        Api::setReconnectDelays(200, 400);
        auto apis = connected();
        QVERIFY(apis);
        libvelcor::StatusApi* st = apis->status.get();
        QSignalSpy error(st, SIGNAL(error(libvelcor::Error)));
        QSignalSpy state(st, SIGNAL(apiState(libvelcor::State)));
        QSignalSpy settings(st, SIGNAL(gotSettings()));
        apis->setup->portSupply(4816);
        apis->setup->logPortSupply(4826);
        apis->auth->authSupply({libvelcor::Auth::ProxyId, libvelcor::Auth::UserPassType,
                                "http://127.0.0.1:3128", "bob", "pw", ""});
        apis->config->settingSupply("verbosity", nested("log", "lev", 7));
        apis->config->settingSupply("timeout", QVariantMap{{"timeout", "30"}});
        st->start(1000);
        sim->emitState(4);
        QTRY_COMPARE(state.count(), 1);
        QTRY_COMPARE(sim->logPort(), 4826);
        // An answer that never comes: the loss ends it.
        sim->setAnswering(false);
        QSignalSpy authSent(apis->auth.get(), SIGNAL(authSent(libvelcor::Api::ResultCode)));
        apis->auth->authSupply(libvelcor::Auth());
        QTRY_COMPARE(sim->values("auth").size(), 2);
        sim->clearLog();
        sim->setAnswering(true);
        // Two receivers; the first keeps the error on screen until the
        // connection has been made again. Each hears every event in order,
        // and neither hears one before the other has heard the one before.
        QStringList heard;
        for (const QString& who : {QStringLiteral("first"), QStringLiteral("second")}) {
            connect(st, &libvelcor::StatusApi::error, st, [&, who]() {
                heard << who + " error";
                if (who != QLatin1String("first"))
                    return;
                // Held for the new session: these go instead of the copies.
                apis->setup->portSupply(4817);
                apis->auth->authSupply({libvelcor::Auth::ProxyId, libvelcor::Auth::UserPassType,
                                        "http://127.0.0.1:3128", "carol", "pw", ""});
                apis->config->settingSupply("timeout", QVariantMap{{"timeout", "45"}});
                QVERIFY(QTest::qWaitFor([&]() { return !sim->values("setup.port").isEmpty(); }));
            });
            connect(st, &libvelcor::StatusApi::apiState, st,
                    [&, who]() { heard << who + " state"; });
            connect(st, &libvelcor::StatusApi::gotSettings, st,
                    [&, who]() { heard << who + " settings"; });
        }
        sim->disconnectClients();

        QTRY_COMPARE(error.count(), 1);
        QCOMPARE(error.at(0).at(0).value<libvelcor::Error>().getCode(), Api::ConnectionErrorCode);
        QTRY_COMPARE(state.count(), 2);
        QCOMPARE(state.at(1).at(0).value<libvelcor::State>(), libvelcor::StateError);
        // The lost sign-in's, then the new proxy credential's.
        QTRY_COMPARE(authSent.count(), 2);
        QCOMPARE(authSent.at(0).at(0).value<Api::ResultCode>(), Api::ResultDisconnected);
        QCOMPARE(authSent.at(1).at(0).value<Api::ResultCode>(), Api::ResultOk);
        QTRY_COMPARE(settings.count(), 1);
        QCOMPARE(heard, (QStringList{"first error", "second error", "first state", "second state",
                                     "first settings", "second settings"}));
        QTRY_COMPARE(sim->values("setup.logPort"), (QList<QVariant>{4826}));
        QCOMPARE(sim->values("setup.port"), (QList<QVariant>{4817}));
        QCOMPARE(sim->values("auth").size(), 1);
        QCOMPARE(sim->values("auth").at(0).toMap().value("user").toString(), QString("carol"));
        QTRY_COMPARE(sim->values("config"),
                     (QList<QVariant>{nested("log", "lev", 7), QVariantMap{{"timeout", "45"}}}));
        QCOMPARE(error.count(), 1);
    }

    // The service is back while the client waits long to try it again: a
    // sign-in tries it at once and goes out.
    void signInWhileWaitingTriesAtOnce()
    {
        Api::setReconnectDelays(20000, 20000);
        auto apis = connected();
        QVERIFY(apis);
        QSignalSpy error(apis->status.get(), SIGNAL(error(libvelcor::Error)));
        sim->disconnectClients();
        QTRY_COMPARE(error.count(), 1);
        apis->auth->authSupply(
            {libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType, "", "alice", "pw", ""});
        apis->cloud->actionRequest("start", {});
        QTRY_COMPARE_WITH_TIMEOUT(sim->values("cloud.action").size(), 1, 3000);
        QCOMPARE(sim->credentials().last().getUser(), QString("alice"));
    }

    // A page asking again and again while the client waits: one early
    // attempt per wait, not one per request.
    void earlyAttemptsAreSpaced()
    {
        Api::setReconnectDelays(20000, 20000);
        QTcpServer closer;
        QVERIFY(closer.listen(QHostAddress::LocalHost));
        int attempts = 0;
        connect(&closer, &QTcpServer::newConnection, &closer, [&] {
            while (QTcpSocket* s = closer.nextPendingConnection()) {
                ++attempts;
                s->close();
                s->deleteLater();
            }
        });
        qputenv(Api::ServiceAddrVariable,
                QByteArray("127.0.0.1:") + QByteArray::number(closer.serverPort()));
        Apis apis;
        QSignalSpy error(apis.status.get(), SIGNAL(error(libvelcor::Error)));
        QSignalSpy notSent(apis.cloud.get(), SIGNAL(actionNotSent(QString, QString)));
        apis.status->init();
        QTRY_COMPARE(error.count(), 1);
        for (int i = 0; i < 30; ++i) {
            apis.cloud->actionRequest("syncRoutes", {});
            QTest::qWait(10);
        }
        QTRY_VERIFY(notSent.count() >= 1);
        QCOMPARE(attempts, 2);
        // Within the same wait, a later request (a sign-in, say) still
        // tries at once.
        QTest::qWait(1100);
        apis.cloud->actionRequest("syncRoutes", {});
        QTRY_COMPARE(attempts, 3);
    }

    void requestTimesOut()
    {
        Api::setRequestTimeout(200);
        sim->setAnswering(false);
        auto apis = connected();
        QVERIFY(apis);
        QSignalSpy received(apis->setup.get(),
                            SIGNAL(configReceived(libvelcor::Api::ResultCode, QVariant)));
        QElapsedTimer timer;
        timer.start();
        apis->setup->configRetrieve();
        QTRY_COMPARE(received.count(), 1);
        QVERIFY(timer.elapsed() >= 200);
        QCOMPARE(received.at(0).at(0).value<Api::ResultCode>(), Api::ResultTimeout);
        QVERIFY(received.at(0).at(1).value<QVariant>().isNull());
        // The connection itself is fine.
        QCOMPARE(sim->clientCount(), 1);
    }

    // Silent after the hello, or after the state it answers status.start with.
    void silentServiceCountsAsLost_data()
    {
        QTest::addColumn<bool>("autopilot");
        QTest::addColumn<int>("burst");
        QTest::newRow("silent") << false << 0;
        QTest::newRow("one state, then silent") << true << 0;
        // Heard later than an interval after it was asked for, as the
        // receiver takes its time: lines that waited prove nothing.
        QTest::newRow("a burst, then silent") << false << 400;
    }

    void silentServiceCountsAsLost()
    {
        QFETCH(bool, autopilot);
        QFETCH(int, burst);
        sim->setAutopilot(autopilot);
        auto apis = connected();
        QVERIFY(apis);
        QByteArray lines;
        for (int i = 0; i < burst; ++i)
            lines += "{\"type\":\"progress\",\"step\":1,\"total\":1,\"desc\":\"" +
                     QByteArray(100, 'x') + "\"}\n";
        connect(sim.get(), &ServiceSimulator::received, apis->status.get(), [&](const QString& k) {
            if (k == "status.start")
                sim->sendRaw(lines);
        });
        connect(apis->status.get(), &libvelcor::StatusApi::apiProgress, [] { QThread::msleep(1); });
        QSignalSpy error(apis->status.get(), SIGNAL(error(libvelcor::Error)));
        QSignalSpy settings(apis->status.get(), SIGNAL(gotSettings()));
        // Status reports asked for on each connection, as the client does.
        connect(apis->status.get(), &libvelcor::StatusApi::gotSettings, apis->status.get(),
                [&]() { apis->status->start(100); });
        sim->setHeartbeat(false);
        apis->status->start(100);
        QTRY_COMPARE(error.count(), 1);
        QVERIFY(
            error.at(0).at(0).value<libvelcor::Error>().getDesc().contains("stopped answering"));
        // It reconnects to the (still running) service, which stays silent
        // through several connections: the user hears of it once.
        QTRY_VERIFY_WITH_TIMEOUT(settings.count() >= 4, 10000);
        QCOMPARE(error.count(), 1);
        // A connection that proved good ends the outage: the next is told.
        lines.clear();
        sim->setHeartbeat(true);
        const int asked = sim->values("status.start").size();
        QTRY_VERIFY(sim->values("status.start").size() > asked);
        QTest::qWait(500); // a few heartbeats
        sim->setHeartbeat(false);
        QTRY_COMPARE(error.count(), 2);
    }

    // A flood while a receiver holds the first line, then the service
    // closes: the client stops reading (the service keeps what it could
    // not send), does not take that pause for silence, and hears every
    // line in order before the loss.
    void floodWaitsForReceivers()
    {
        QTcpServer service;
        QVERIFY(service.listen(QHostAddress::LocalHost));
        qputenv(Api::ServiceAddrVariable, "127.0.0.1:" + QByteArray::number(service.serverPort()));
        libvelcor::StatusApi st;
        QSignalSpy error(&st, SIGNAL(error(libvelcor::Error)));
        st.init();
        QTRY_VERIFY(service.hasPendingConnections());
        std::unique_ptr<QTcpSocket> peer(service.nextPendingConnection());
        peer->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 65536);
        QTRY_VERIFY(peer->canReadLine()); // the hello
        peer->write("{\"type\":\"settings\",\"protocol\":1,\"settings\":{}}\n");
        QList<int> steps;
        int stepsAtError = -1;
        connect(&st, &libvelcor::StatusApi::error, &st, [&]() { stepsAtError = steps.size(); });
        qint64 unsent = 0;
        connect(&st, &libvelcor::StatusApi::apiProgress, &st, [&](const libvelcor::Progress& p) {
            steps << p.getStep();
            if (steps.size() > 1)
                return;
            // Well past three status intervals, until the service's
            // buffer stops shrinking.
            qint64 last = -1;
            QElapsedTimer still;
            QVERIFY(QTest::qWaitFor([&]() {
                if (peer->bytesToWrite() != last) {
                    last = peer->bytesToWrite();
                    still.start();
                }
                return still.elapsed() > 600;
            }));
            unsent = peer->bytesToWrite();
            peer->disconnectFromHost();
        });
        st.start(100);
        const int lines = 32768;
        QList<int> sent;
        for (int i = 1; i <= lines; ++i) {
            sent << i;
            peer->write(QByteArray("{\"type\":\"progress\",\"step\":") + QByteArray::number(i) +
                        ",\"total\":1,\"desc\":\"" + QByteArray(100, 'x') + "\"}\n");
        }
        QTRY_COMPARE_WITH_TIMEOUT(error.count(), 1, 60000);
        QVERIFY(unsent > 0);
        QCOMPARE(steps, sent);
        QCOMPARE(stepsAtError, lines);
        QVERIFY(!error.at(0).at(0).value<libvelcor::Error>().getDesc().contains("answering"));
    }

    void heartbeatKeepsConnection()
    {
        auto apis = connected();
        QVERIFY(apis);
        QSignalSpy error(apis->status.get(), SIGNAL(error(libvelcor::Error)));
        apis->status->start(250);
        QTest::qWait(1000);
        QCOMPARE(error.count(), 0);
        QCOMPARE(sim->clientCount(), 1);
    }

    // Untrusted lines from the service: each is dropped, the connection
    // stays, and the next good line still arrives.
    void garbageFromService_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("malformed JSON") << QByteArray("{\"type\":\"state\",\"state\":\n");
        QTest::newRow("not an object") << QByteArray("[1,2,3]\n");
        QTest::newRow("no type") << QByteArray("{\"state\":4}\n");
        QTest::newRow("unknown type") << QByteArray("{\"type\":\"reboot\"}\n");
        QTest::newRow("NUL byte") << QByteArray("{\"type\":\"need\",\"need\":\"a") + '\0' +
                                         QByteArray("b\"}\n");
        QTest::newRow("invalid UTF-8") << QByteArray("{\"type\":\"need\",\"need\":\"\xc3\x28\"}\n");
        QTest::newRow("overlong UTF-8")
            << QByteArray("{\"type\":\"need\",\"need\":\"\xc0\xaf\"}\n");
        QTest::newRow("state out of range") << QByteArray("{\"type\":\"state\",\"state\":9}\n");
        QTest::newRow("state as text") << QByteArray("{\"type\":\"state\",\"state\":\"4\"}\n");
        // Numbers no int holds: refused as numbers, never converted first.
        QTest::newRow("state 1e10") << QByteArray("{\"type\":\"state\",\"state\":1e10}\n");
        QTest::newRow("state -1e10") << QByteArray("{\"type\":\"state\",\"state\":-1e10}\n");
        QTest::newRow("state 2^32+2") << QByteArray("{\"type\":\"state\",\"state\":4294967298}\n");
        QTest::newRow("state fraction") << QByteArray("{\"type\":\"state\",\"state\":2.5}\n");
        QTest::newRow("state negative") << QByteArray("{\"type\":\"state\",\"state\":-1}\n");
        QTest::newRow("progress 1e10")
            << QByteArray("{\"type\":\"progress\",\"step\":1e10,\"total\":3}\n");
        QTest::newRow("progress total -3e9")
            << QByteArray("{\"type\":\"progress\",\"step\":1,\"total\":-3e9}\n");
        QTest::newRow("error code 3e9")
            << QByteArray("{\"type\":\"error\",\"code\":3e9,\"desc\":\"x\"}\n");
        QTest::newRow("answer with id 1e10")
            << QByteArray("{\"type\":\"result\",\"id\":1e10,\"rc\":0}\n");
        QTest::newRow("progress without numbers")
            << QByteArray("{\"type\":\"progress\",\"desc\":\"x\"}\n");
        QTest::newRow("answer to nothing")
            << QByteArray("{\"type\":\"result\",\"id\":999,\"rc\":0}\n");
        QTest::newRow("deep nesting") << QByteArray(2000, '[') + "\n";
        QTest::newRow("blank lines") << QByteArray("\n\r\n\n");
    }

    void garbageFromService()
    {
        QFETCH(QByteArray, bytes);
        auto apis = connected();
        QVERIFY(apis);
        QSignalSpy state(apis->status.get(), SIGNAL(apiState(libvelcor::State)));
        QSignalSpy progress(apis->status.get(), SIGNAL(apiProgress(libvelcor::Progress)));
        QSignalSpy need(apis->status.get(), SIGNAL(apiNeed(QString)));
        QSignalSpy error(apis->status.get(), SIGNAL(error(libvelcor::Error)));
        sim->sendRaw(bytes);
        sim->emitState(3);
        QTRY_COMPARE(state.count(), 1);
        QCOMPARE(state.at(0).at(0).value<libvelcor::State>(), libvelcor::StateReconnecting);
        QCOMPARE(progress.count(), 0);
        QCOMPARE(need.count(), 0);
        QCOMPARE(error.count(), 0);
        QCOMPARE(sim->clientCount(), 1);
    }

    void linesSplitAcrossWrites()
    {
        auto apis = connected();
        QVERIFY(apis);
        QSignalSpy progress(apis->status.get(), SIGNAL(apiProgress(libvelcor::Progress)));
        const QByteArray line = QString::fromUtf8("{\"type\":\"progress\",\"step\":2,\"total\":5,"
                                                  "\"desc\":\"Schlüssel €\"}\r\n")
                                    .toUtf8();
        // Split inside the multi-byte characters too.
        for (int i = 0; i < line.size(); i += 3) {
            sim->sendRaw(line.mid(i, 3));
            QTest::qWait(2);
        }
        QTRY_COMPARE(progress.count(), 1);
        QCOMPARE(progress.at(0).at(0).value<libvelcor::Progress>().getDesc(),
                 QString::fromUtf8("Schlüssel €"));
    }

    void oversizeLineDropsConnection()
    {
        auto apis = connected();
        QVERIFY(apis);
        QSignalSpy error(apis->status.get(), SIGNAL(error(libvelcor::Error)));
        QSignalSpy settings(apis->status.get(), SIGNAL(gotSettings()));
        QSignalSpy need(apis->status.get(), SIGNAL(apiNeed(QString)));
        QByteArray big = "{\"type\":\"need\",\"need\":\"" + QByteArray(1024 * 1024, 'a') + "\"}\n";
        sim->sendRaw(big);
        QTRY_COMPARE(error.count(), 1);
        QVERIFY(error.at(0).at(0).value<libvelcor::Error>().getDesc().contains("longer than"));
        QTRY_COMPARE(settings.count(), 1);
        QCOMPARE(need.count(), 0);
    }

    void otherProtocolVersionRefused()
    {
        sim->setProtocolVersion(2);
        qputenv(Api::ServiceAddrVariable, sim->address().toLatin1());
        Apis apis;
        QSignalSpy error(apis.status.get(), SIGNAL(error(libvelcor::Error)));
        QSignalSpy settings(apis.status.get(), SIGNAL(gotSettings()));
        apis.status->init();
        QTRY_COMPARE(error.count(), 1);
        QVERIFY(error.at(0).at(0).value<libvelcor::Error>().getDesc().contains("version 2"));
        QTest::qWait(200);
        QCOMPARE(settings.count(), 0);
        QCOMPARE(error.count(), 1);
    }

    void invalidRequestValues()
    {
        auto apis = connected();
        QVERIFY(apis);
        QSignalSpy portSent(apis->setup.get(), SIGNAL(portSent(libvelcor::Api::ResultCode)));
        QSignalSpy logPortSent(apis->setup.get(), SIGNAL(logPortSent(libvelcor::Api::ResultCode)));
        apis->setup->portSupply(0);
        apis->setup->logPortSupply(70000);
        apis->config->configSupply(QVariant("not a map"));
        QCOMPARE(portSent.count(), 0);
        QTRY_COMPARE(portSent.count(), 1);
        QTRY_COMPARE(logPortSent.count(), 1);
        QCOMPARE(portSent.at(0).at(0).value<Api::ResultCode>(), Api::ResultInvalid);
        QCOMPARE(logPortSent.at(0).at(0).value<Api::ResultCode>(), Api::ResultInvalid);
        QCOMPARE(apis->status->start(10), -1);
        QTest::qWait(50);
        QCOMPARE(sim->kinds(), QStringList{"hello"});
        // A port refused because too many requests wait is not given to a
        // later session either.
        QSignalSpy settings(apis->status.get(), SIGNAL(gotSettings()));
        sim->setAnswering(false);
        for (int i = 0; i < 1024; ++i)
            apis->setup->configRetrieve();
        apis->setup->portSupply(4817);
        QTRY_COMPARE(portSent.count(), 2);
        QCOMPARE(portSent.at(1).at(0).value<Api::ResultCode>(), Api::ResultBusy);
        sim->setAnswering(true);
        sim->disconnectClients();
        QTRY_COMPARE(settings.count(), 1);
        QTest::qWait(50);
        QVERIFY(!sim->kinds().contains("setup.port"));
    }

    // The client's wiring style: connections by signature strings with the
    // fully qualified types the callers write.
    void signaturesMatchCallers()
    {
        Apis apis;
        QObject receiver;
        auto has = [](QObject* o, const char* signature, bool signal) {
            const QMetaObject* mo = o->metaObject();
            const QByteArray norm = QMetaObject::normalizedSignature(signature);
            return signal ? mo->indexOfSignal(norm) >= 0 : mo->indexOfSlot(norm) >= 0;
        };
        QVERIFY(has(apis.status.get(), "gotSettings()", true));
        QVERIFY(has(apis.status.get(), "apiState(libvelcor::State)", true));
        QVERIFY(has(apis.status.get(), "error(libvelcor::Error)", true));
        QVERIFY(has(apis.status.get(), "apiProgress(libvelcor::Progress)", true));
        QVERIFY(has(apis.status.get(), "apiFallback(bool)", true));
        QVERIFY(has(apis.status.get(), "apiNeed(QString)", true));
        QVERIFY(has(apis.auth.get(), "authSupply(libvelcor::Auth)", false));
        QVERIFY(has(apis.auth.get(), "authSent(libvelcor::Api::ResultCode)", true));
        QVERIFY(has(apis.setup.get(), "portSupply(int)", false));
        QVERIFY(has(apis.setup.get(), "logPortSupply(int)", false));
        QVERIFY(has(apis.setup.get(), "portSent(libvelcor::Api::ResultCode)", true));
        QVERIFY(has(apis.setup.get(), "logPortSent(libvelcor::Api::ResultCode)", true));
        QVERIFY(has(apis.setup.get(), "configReceived(libvelcor::Api::ResultCode,QVariant)", true));
        QVERIFY(has(apis.cloud.get(), "actionRequest(QString,libvelcor::Params)", false));
        QVERIFY(has(apis.config.get(), "configSupply(QVariant)", false));
        QVERIFY(QMetaType::type("libvelcor::Api::ResultCode") != QMetaType::UnknownType);
        // Relays and slots as the client connects them, by signature.
        QVERIFY(connect(apis.setup.get(),
                        SIGNAL(configReceived(libvelcor::Api::ResultCode, QVariant)), this,
                        SIGNAL(relayConfig(libvelcor::Api::ResultCode, QVariant))));
        QVERIFY(connect(apis.auth.get(), SIGNAL(authSent(libvelcor::Api::ResultCode)), this,
                        SIGNAL(relayResult(libvelcor::Api::ResultCode))));
        QVERIFY(connect(this, SIGNAL(relayAuth(libvelcor::Auth)), apis.auth.get(),
                        SLOT(authSupply(libvelcor::Auth))));
        QVERIFY(connect(this, SIGNAL(relayAction(QString, libvelcor::Params)), apis.cloud.get(),
                        SLOT(actionRequest(QString, libvelcor::Params))));
    }

    // Autopilot, as a person would see it: start, progress, connected, stop.
    void autopilotRun()
    {
        sim->setAutopilot(true);
        sim->setStepDelay(10);
        auto apis = connected();
        QVERIFY(apis);
        QSignalSpy state(apis->status.get(), SIGNAL(apiState(libvelcor::State)));
        QSignalSpy progress(apis->status.get(), SIGNAL(apiProgress(libvelcor::Progress)));
        apis->status->start(1000);
        QTRY_COMPARE(state.count(), 1);
        QCOMPARE(state.at(0).at(0).value<libvelcor::State>(), libvelcor::StateIdle);
        // The proxy's user is not the connection's.
        apis->auth->authSupply(
            {libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType, "", "demo", "pw", ""});
        apis->auth->authSupply({libvelcor::Auth::ProxyId, libvelcor::Auth::UserPassType,
                                "http://127.0.0.1:3128", "bob", "pw", ""});
        apis->cloud->actionRequest("start", {});
        QTRY_COMPARE(state.count(), 3);
        QCOMPARE(sim->connectionUser(), QString("demo"));
        QCOMPARE(state.at(1).at(0).value<libvelcor::State>(), libvelcor::StateConnecting);
        QCOMPARE(state.at(2).at(0).value<libvelcor::State>(), libvelcor::StateConnected);
        QCOMPARE(progress.count(), 3);
        QCOMPARE(progress.at(2).at(0).value<libvelcor::Progress>().getStep(), 3);
        QCOMPARE(progress.at(2).at(0).value<libvelcor::Progress>().getTotal(), 3);
        apis->cloud->actionRequest("stop", {});
        QTRY_COMPARE(state.count(), 4);
        QCOMPARE(state.at(3).at(0).value<libvelcor::State>(), libvelcor::StateIdle);
    }

    void stopOvertakesStart()
    {
        sim->setAutopilot(true);
        sim->setStepDelay(50);
        auto apis = connected();
        QVERIFY(apis);
        QSignalSpy state(apis->status.get(), SIGNAL(apiState(libvelcor::State)));
        apis->cloud->actionRequest("start", {});
        apis->cloud->actionRequest("stop", {});
        QTRY_COMPARE(state.count(), 2);
        QTest::qWait(300);
        QCOMPARE(state.count(), 2);
        QCOMPARE(state.at(1).at(0).value<libvelcor::State>(), libvelcor::StateIdle);
    }

    // Destroying the API objects inside one of their own signals ends the
    // connection without harm, also where another signal would follow.
    void deleteInsideSignal_data()
    {
        QTest::addColumn<bool>("inAuthSent");
        QTest::newRow("state") << false;
        QTest::newRow("credential answered") << true;
    }

    void deleteInsideSignal()
    {
        QFETCH(bool, inAuthSent);
        auto apis = connected();
        QVERIFY(apis);
        Apis* raw = apis.release();
        bool deleted = false;
        const auto destroy = [&]() {
            delete raw;
            deleted = true;
        };
        if (inAuthSent) {
            connect(raw->auth.get(), &libvelcor::AuthApi::authSent, raw->auth.get(), destroy);
            raw->auth->authSupply(libvelcor::Auth());
        } else {
            connect(raw->status.get(), &libvelcor::StatusApi::apiState, raw->status.get(), destroy);
            sim->emitState(2);
            sim->emitState(4);
        }
        QTRY_VERIFY(deleted);
        QTRY_COMPARE(sim->clientCount(), 0);
    }
};

ORVO_TEST_MAIN(TestServiceApi)
#include "tst_serviceapi.moc"
