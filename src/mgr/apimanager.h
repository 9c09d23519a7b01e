#pragma once

#include <QElapsedTimer>
#include <QList>
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
// service's state, progress, fallback flag and errors; asks for the server
// configuration when a management-server connection comes up; logs in to
// the management server 500 ms after "connected" and out again before the
// service is told to "stop".
//
// The tunnel is this client's from the "start" of a sign-in to the next
// disconnect request: it is what that sign-in said ("setup"."enabled") and
// logs in with its credential. A tunnel the service holds without one (kept
// up while the client restarted) is shown as a plain connection and never
// logged in to: no credential of the user's is known for it.
class ApiManager : public QObject
{
    Q_OBJECT

public:
    // Request server's first port.
    static constexpr int RequestServerPort = 4814;
    static constexpr int StartDelayMs = 100;
    static constexpr int LoginDelayMs = 500;
    static constexpr int LogoRetryMs = 500;
    // While quitting, how long the logout may take before the tunnel is
    // stopped regardless; below the 500 ms after which the program ends.
    static constexpr int QuitLogoutMs = 300;
    static const char* const LogoPath;
    static const char* const LogoSmallPath;

    explicit ApiManager(ORVO::NetworkManager* networkManager);
    ~ApiManager() override;

    bool isValid() const { return valid; }
    // Why it is not valid, for the user; empty when nothing more is known.
    QString errorText() const { return why; }

    ORVO::LodestarApi* getLodestarApi() const { return lodestarApi; }
    int getLastState() const { return lastState; }
    bool isSetupEnabled() const { return setupEnabled; }
    bool getIsLoggedIn() const { return isLoggedIn; }
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
    // The connection up has no management server to log in to: a tunnel
    // that no sign-in of this client started (one kept while the client
    // restarted), or one whose configuration named no server; false once it
    // is down. Meanwhile it is shown as a plain connection, which the user
    // can end. Before the state it comes with is relayed.
    void plainConnection(bool up);

private slots:
    // A connect request belongs to the profile credential handed over last
    // (its sign-in's); it drops the waiting ones of an earlier sign-in.
    void _sigConnect();
    // Sends the "start" of each connect request whose delay has passed, in
    // order, once its sign-in's credential has reached the service over
    // the connection still in use.
    void _doConnect();
    // A verb the service could not be reached for; the sign-in is dropped
    // and the user told why.
    void _actionNotSent(QString action, QString reason);
    // Hands a credential to the AuthApi and, for the profile's, takes its
    // number there.
    void _handOver(libvelcor::Auth auth);
    void _credentialSent(int number, libvelcor::Api::ResultCode rc);
    // Counts the failures of the connection to the service.
    void _statusApiError(libvelcor::Error err);
    void _sigDisconnect();
    void _syncRoutes(QStringList endpoints);
    void _gotSettings();
    // Reads "setup"."enabled", then hands the fragment to the service; the
    // user's standing settings go to every later session of it too.
    void _gotConfig(QVariant config);
    void _portBound(int port);
    void _loginDelayed();
    void _statusApiState(libvelcor::State st);
    void _statusApiNeed(QString need);
    void _authApiSent(libvelcor::Api::ResultCode rc);
    void _setupApiSent(libvelcor::Api::ResultCode rc);
    void _setupApiReceived(libvelcor::Api::ResultCode rc, QVariant config);
    void _gotFallback(bool isFallback);
    void _gotServerAddr(QString addr, QString fallbackAddr);
    void _authReceive(libvelcor::Auth auth);
    void _loggedIn();
    void _loggedOut();
    void _downloadLogo();
    void _downloadLogoSmall();
    void _downloadFinished(QString target);
    // A failed web request; when it was the logout, the sign-out goes on
    // locally all the same (the tunnel must be stoppable while the
    // management server is unreachable); when it was the login, the
    // connection is stopped.
    void _lodestarError(libvelcor::Error err);
    // The program is quitting: the event loop ends shortly after the
    // disconnect request, so a logout may not hold back the "stop".
    void _closeReceive();
    void _quitLogoutExpired();

private:
    // Asks the service for the configuration, one request at a time.
    void _retrieveConfig();
    // A profile credential (its number at the AuthApi, 0 for none) and,
    // once known, its result with the reason of a failure, taken when the
    // result came: the connection may be back by the time a "start" is due.
    // failures: the connection failures heard when the result came; one
    // heard since means the service that took it may be gone.
    struct Credential
    {
        int number = 0;
        qint64 sentAt = 0; // clock
        bool answered = false;
        libvelcor::Api::ResultCode result = libvelcor::Api::ResultOk;
        QString problem;
        quint64 failures = 0;
    };
    // A connect request and its sign-in's credential.
    struct StartRequest
    {
        quint64 id = 0;
        bool due = false;
        Credential credential;
    };

    void _signInFailed(const QString& text, const QString& reason);
    // Tells why the credential c keeps its sign-in from starting.
    void _credentialFailed(const Credential& c, bool lost);
    void _finishLogout();
    QString _logoUrl(const char* path) const;

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
    int lastState = -1; // a libvelcor::State; -1 until the first report
    int pendingPort = -1;
    bool settingsReceived = false;
    bool setupEnabled = true;
    // A sign-in's "start" went and no disconnect request since.
    bool signedIn = false;
    // The connection up is shown as a plain one (plainConnection).
    bool plain = false;
    // The login's delay passed before a configuration named the server.
    bool loginOwed = false;
    bool isLoggedIn = false;
    QString addr;
    QString fallbackAddr;
    bool isFallback = false;
    libvelcor::Auth auth;
    // Bumped by every connect and disconnect request: a login scheduled
    // before it is dropped.
    quint64 disconnectGeneration = 0;
    // A configuration asked for and not yet answered, for the sign-in of
    // that disconnectGeneration; and one to ask for once it is answered.
    bool retrievalOpen = false;
    quint64 retrievalFor = 0;
    bool retrievalWanted = false;
    // Connect requests whose "start" has not gone yet, in order; a
    // disconnect request drops them all.
    QList<StartRequest> starts;
    quint64 lastStartId = 0;
    // The last profile credential handed to the service, for a connect
    // request made after its result came.
    Credential credential;
    quint64 connectionFailures = 0;
    QElapsedTimer clock;
    // A logout was asked for and has not ended yet.
    bool logoutPending = false;
    bool quitting = false;
};

} // namespace ORVO
