#pragma once

// A whole client side for one test: per-user locations in a temporary
// directory, the service simulator and the management-server test server on
// loopback ports, the recording fakes of the GUI, and a Manager wired to
// them as the start-up wires it.

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

#include "fakes.h"
#include "libvelcor/api.h"
#include "libvelcor/client.h"
#include "mgr/apimanager.h"
#include "mgr/lodestarapi.h"
#include "mgr/manager.h"
#include "servicesimulator.h"
#include "testenv.h"
#include "testserver.h"

namespace orvotest {

enum class Mode { CommandLine, Minimal, Full };

class Rig
{
public:
    TestEnv env;
    orvosim::ServiceSimulator sim;
    TestServer web;
    orvofake::CallLog log;
    std::unique_ptr<orvofake::FakeGui> gui;
    std::unique_ptr<ORVO::Manager> manager;

    // Starts the simulator and the test server, builds the fakes and the
    // Manager, runs the wiring and waits until the service knows the
    // request server's port and has been asked for its status reports.
    //
    // The logo URLs carry no port, as the real server's do: a test that
    // needs them asks for the standard ports (80, 443; root only).
    bool start(Mode mode = Mode::Full, bool withLogin = true, bool withPortal = true,
               bool https = false, bool standardPorts = false)
    {
        if (!env.isValid() || !sim.listen())
            return false;
        if (!web.listen(https, standardPorts ? (https ? 443 : 80) : 0))
            return false;
        QDir().mkpath(env.dataDir());
        qputenv(libvelcor::Api::ServiceAddrVariable, sim.address().toLatin1());
        libvelcor::Api::setReconnectDelays(50, 200);
        // The web API's URLs carry no port: send them to the test server.
        libvelcor::Client::setPortOverride(standardPorts ? 0 : web.port());
        sim.setManagementServer(QStringLiteral("127.0.0.1"), QString(), uuid(), pages());
        gui.reset(new orvofake::FakeGui(&log, mode != Mode::CommandLine, mode == Mode::Minimal,
                                        withLogin, withPortal));
        manager.reset(new ORVO::Manager(nullptr));
        if (!manager->isValid())
            return false;
        manager->gui = gui.get();
        if (manager->run() != 0)
            return false;
        return waitFor([this]() {
            return sim.requestPort() > 0 && !sim.values(QStringLiteral("status.start")).isEmpty();
        });
    }

    static QString uuid() { return QStringLiteral("{da39a3ee-5e6b-5b0d-b255-bfef95601890}"); }
    static QVariantMap pages()
    {
        QVariantMap p;
        p.insert(QStringLiteral("devices"), QStringLiteral("/manage/portal/devices"));
        p.insert(QStringLiteral("files"), QStringLiteral("/manage/portal/files"));
        return p;
    }

    ORVO::ApiManager* api() const { return manager->getApiManager(); }
    orvofake::FakeLoginPlugin* login() const { return gui->login(); }
    orvofake::FakePortalPlugin* portal() const { return gui->portal(); }
    orvofake::FakeMainWindow* window() const { return gui->mainWindow; }

    static libvelcor::Auth userPass(const QString& user = QStringLiteral("demo"),
                                    const QString& pass = QStringLiteral("demo"))
    {
        return libvelcor::Auth(libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType,
                               QString(""), user, pass, QString(""));
    }
    static libvelcor::Auth proxy()
    {
        return libvelcor::Auth(libvelcor::Auth::ProxyId, libvelcor::Auth::UserPassType,
                               QStringLiteral("http://127.0.0.1:3128"), QStringLiteral("puser"),
                               QStringLiteral("ppass"), QString(""));
    }
    static QVariantMap security(bool verify = true, const QString& ca = QStringLiteral("ca.pem"))
    {
        QVariantMap s;
        s.insert(QStringLiteral("serverCertEnabled"), verify);
        s.insert(QStringLiteral("serverCertPath"), ca);
        return s;
    }

    // Simulator entries of one kind received after entry `from`.
    QList<QVariant> valuesSince(const QString& kind, int from) const
    {
        QList<QVariant> out;
        const auto entries = sim.log();
        for (int i = from; i < entries.size(); ++i)
            if (entries.at(i).kind == kind)
                out.append(entries.at(i).value);
        return out;
    }
    QStringList actionsSince(int from) const
    {
        QStringList out;
        for (const QVariant& v : valuesSince(QStringLiteral("cloud.action"), from))
            out << v.toMap().value(QStringLiteral("action")).toString();
        return out;
    }
    int simMark() const { return sim.log().size(); }

    // A sign-in (a plain profile's with its fragment), until its "start" went.
    bool signIn(const libvelcor::Auth& auth = userPass(), const QVariantMap& fragment = {})
    {
        const int mark = simMark();
        login()->signIn(auth, security(), fragment);
        return waitFor(
            [this, mark]() { return actionsSince(mark).contains(QStringLiteral("start")); });
    }

    // A management-server sign-in that ends logged in: credentials, the
    // connect request, the service's states 2 and 4, the configuration
    // retrieval and the web login.
    bool signInManaged(const libvelcor::Auth& auth = userPass())
    {
        if (!signIn(auth))
            return false;
        sim.emitState(libvelcor::StateConnecting);
        sim.emitState(libvelcor::StateConnected);
        return waitFor([this]() {
            return api()->getIsLoggedIn() && log.count(QStringLiteral("window.loggedIn")) > 0;
        });
    }

    template <typename Pred> static bool waitFor(Pred pred, int timeoutMs = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (!pred()) {
            if (t.elapsed() > timeoutMs)
                return false;
            QTest::qWait(5);
        }
        return true;
    }
};

// The configuration map that a sign-out and an error send.
inline QVariantMap defaultMap()
{
    return QVariantMap{
        {QStringLiteral("setup"), QVariantMap{{QStringLiteral("enabled"), QStringLiteral("true")}}},
        {QStringLiteral("vpn"),
         QVariantMap{{QStringLiteral("conf"), QStringLiteral("openvpn.conf")},
                     {QStringLiteral("fallback_conf"), QStringLiteral("openvpn-fallback.conf")},
                     {QStringLiteral("args"), QStringLiteral("")}}},
        {QStringLiteral("ssl"),
         QVariantMap{
             {QStringLiteral("init"), QVariantMap{{QStringLiteral("verify_ca"), true},
                                                  {QStringLiteral("ca"), QStringLiteral("")}}},
             {QStringLiteral("op"),
              QVariantMap{{QStringLiteral("auth"), QStringLiteral("user-pass")}}}}}};
}

} // namespace orvotest
