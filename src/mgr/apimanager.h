#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "libvelcor/api.h"
#include "libvelcor/auth.h"
#include "libvelcor/error.h"
#include "libvelcor/params.h"
#include "libvelcor/progress.h"
#include "libvelcor/state.h"
#include "mgr/signinmanager.h"

namespace libvelcor {
class AuthApi;
class CloudApi;
class ConfigApi;
class Server;
class SetupApi;
class StatusApi;
} // namespace libvelcor

namespace ORVO {

class LodestarApi;
class NetworkManager;

// The client's link to the local service: owns the service API objects, the
// local request server and the management-server web API client; relays the
// service's state, progress, fallback flag and errors, and hands the
// service credentials, configuration fragments, ports and verbs. The user's
// sign-in (its record, its run and its web session) is the SignInManager's.
class ApiManager : public QObject
{
    Q_OBJECT

public:
    // Request server's first port.
    static constexpr int RequestServerPort = 4814;
    static constexpr int StartDelayMs = 100;
    static constexpr int LoginDelayMs = 500;
    // From the user's sign-out to the "stop" at the latest, whatever the
    // management server does with the logout: a server that never heard it
    // ends the session by itself, as when the client is killed.
    static constexpr int SignOutMs = 5000;
    static constexpr int QuitLogoutMs = SignInManager::QuitLogoutMs;
    // Test seam: the delays of the "start" and of the login, and the sign-out's
    // bound; StartDelayMs, LoginDelayMs and SignOutMs unless a test changes
    // them.
    static void setDelays(int startMs, int loginMs, int signOutMs = SignOutMs);

    explicit ApiManager(ORVO::NetworkManager* networkManager);
    ~ApiManager() override;

    bool isValid() const { return valid; }
    // Why it is not valid, for the user; empty when nothing more is known.
    QString errorText() const { return why; }

    ORVO::LodestarApi* getLodestarApi() const { return lodestarApi; }
    int getLastState() const { return signIns ? signIns->lastReport() : -1; }
    // The kind that the next sign-in takes: a management-server profile's.
    bool isSetupEnabled() const { return setupEnabled; }
    // The sign-in's web session is logged in.
    bool getIsLoggedIn() const { return signIns && signIns->isLoggedIn(); }
    // A sign-in of the user's lasts (signInLasts): the service's errors are
    // its stumbles, and the service keeps its profile meanwhile.
    bool isSignInLasting() const { return signIns && signIns->lasts(); }
    // It lasts and its sign-out has not begun: the user's OK goes on with it.
    bool isSignInGoingOn() const { return signIns && signIns->goesOn(); }
    // The request server's bound port; -1 before it is bound.
    int getRequestPort() const;

signals:
    void stateChanged(libvelcor::State state);
    void loggedIn();
    void progress(libvelcor::Progress progress);
    void authRequired(libvelcor::Auth::Id id);
    void serverConfigSupply(QVariant config);
    void logPortSupplyApi(int);
    void error(libvelcor::Error err);
    void authSupply(libvelcor::Auth auth);
    void actionRequest(QString action, libvelcor::Params params);
    void configSupply(QVariant config);
    void changePassword(QString newPass);
    void actionPerform(QString action, libvelcor::Params params);
    void fallback(bool isFallback);
    void serverAddrSupply(QString addr, QString fallbackAddr);
    void authChanged(libvelcor::Auth auth);
    void portSupplyApi(int);
    void verifyCA(bool);
    // How the connection up is shown, before the state it comes with is
    // relayed: plain when no portal comes for it, which the user ends with
    // LOGOUT. noPortal says why for a tunnel that might have had one (a
    // found tunnel, a management-server sign-in whose configuration named
    // no server it may log in to); empty for a plain profile's. (false, "")
    // once it is down.
    void plainConnection(bool up, QString noPortal);
    // A sign-in of the user's lasts: from its connect request until its
    // tunnel is over. Meanwhile the windows offer to end it.
    void signInLasts(bool lasts);
    // The user's sign-out of the sign-in that lasts is under way: the web
    // logout, then the "stop", until the tunnel is down.
    void signingOut(bool out);

private slots:
    // A connect request: a sign-in for the profile credential handed over
    // last.
    void _sigConnect();
    // The user's answer to the service's question: the sign-in that lasts
    // goes on, with the credential handed over again.
    void _sigContinue();
    // The user's Cancel to it: the sign-in that lasts ends as its sign-out
    // would (the logout when logged in, then the "stop").
    void _sigCancel();
    // The user's sign-out (or a failed login's): the web logout when the
    // sign-in is logged in, then the "stop", within SignOutMs of it.
    void _sigDisconnect();
    void _syncRoutes(QStringList endpoints);
    void _gotSettings();
    // Reads "setup"."enabled", then hands the fragment to the service; the
    // user's standing settings go to every later session of it too.
    void _gotConfig(QVariant config);
    void _portBound(int port);
    void _statusApiNeed(QString need);
    void _authApiSent(libvelcor::Api::ResultCode rc);
    void _setupApiSent(libvelcor::Api::ResultCode rc);
    // The program is quitting: the event loop ends shortly after the
    // disconnect request, so a logout may not hold back the "stop".
    void _closeReceive();

private:
    ORVO::NetworkManager* networkManager = nullptr;
    bool valid = false;
    QString why;
    ORVO::LodestarApi* lodestarApi = nullptr;
    libvelcor::AuthApi* authApi = nullptr;
    libvelcor::StatusApi* statusApi = nullptr;
    libvelcor::SetupApi* setupApi = nullptr;
    libvelcor::CloudApi* cloudApi = nullptr;
    libvelcor::ConfigApi* configApi = nullptr;
    libvelcor::Server* server = nullptr;
    ORVO::SignInManager* signIns = nullptr;
    int pendingPort = -1;
    bool settingsReceived = false;
    bool setupEnabled = true;
};

} // namespace ORVO
