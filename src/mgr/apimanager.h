#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

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
// A sign-in of the user's is a record (SignIn), made by the connect request
// and ended when its tunnel ends, however that happens. Whether to ask for
// a configuration, whom to log in to with which credential, and how the
// connection up is shown follow from that record and the service's last
// state alone, worked out again by _run() after every report and answer. A
// tunnel that rose while no sign-in of this client had started one is a
// found one: shown as a plain connection, never asked about, never logged
// in to, as no credential of the user's belongs to it.
class ApiManager : public QObject
{
    Q_OBJECT

public:
    // Request server's first port.
    static constexpr int RequestServerPort = 4814;
    static constexpr int StartDelayMs = 100;
    static constexpr int LoginDelayMs = 500;
    // Test seam: the delays of the "start" and of the login, StartDelayMs
    // and LoginDelayMs unless a test shortens them.
    static void setDelays(int startMs, int loginMs);
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
    // How the connection up is shown, before the state it comes with is
    // relayed: plain (no portal comes: a found tunnel, a plain profile's, or
    // one whose configuration named no server), which the user ends with
    // LOGOUT; found: it rose while no sign-in of this client had started
    // one. Both false once it is down.
    void plainConnection(bool up, bool found);
    // A sign-in of the user's lasts: from its connect request until its
    // tunnel ends. Meanwhile the windows offer to end it.
    void signInLasts(bool lasts);

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
    // A password the portal changed: the sign-in's credential from now on.
    void _authChangedReceive(libvelcor::Auth auth);
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
        quint64 signIn = 0;
    };
    // What a configuration answer told a sign-in: its first answer decides.
    enum class Portal { Unknown, Named, None };
    // A sign-in of the user's. It ends when its tunnel ends: the user's
    // disconnect request, a report of idle or error after its "start" went
    // (the service's idle, a stop from elsewhere, a failure), a "start"
    // that could not go, a failed login.
    struct SignIn
    {
        quint64 number = 0;
        int credential = 0; // its credential's number at the AuthApi
        libvelcor::Auth auth;
        bool setup = true; // a management-server profile's
        bool started = false;
        // Its tunnel rose after the "start": the tunnel up is this sign-in's.
        bool tunnel = false;
        // A rise of its tunnel wants the configuration.
        bool configWanted = false;
        Portal portal = Portal::Unknown;
        // Named by its first configuration: the server and its fallback.
        QString server;
        QString fallback;
        // The delay after a report of "connected" passed: it logs in once a
        // configuration has named its server.
        bool loginDue = false;
    };

    // Asks for the configuration, logs in and shows the connection as the
    // sign-in and the service's last state call for; run after every
    // report and answer.
    void _run();
    // Ends the sign-in; what it waited for is dropped.
    void _endSignIn(const char* why);
    void _signInFailed(const QString& text, const QString& reason);
    // Tells why the credential c keeps its sign-in from starting.
    void _credentialFailed(const Credential& c, bool lost);
    void _finishLogout();
    // Ends the web session at the client: its requests are dropped, its
    // cookies too.
    void _closeWebSession();
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
    bool isLoggedIn = false;
    QString addr;
    QString fallbackAddr;
    bool isFallback = false;
    // The last profile credential handed over; a sign-in keeps its own.
    libvelcor::Auth auth;
    // The user's sign-in, from its connect request until its tunnel ends.
    std::optional<SignIn> signIn;
    quint64 lastSignIn = 0;
    // The tunnel up rose while no sign-in had started one.
    bool found = false;
    // The sign-in whose configuration request awaits its answer (0: none).
    quint64 retrievalFor = 0;
    // What plainConnection said last.
    bool shownPlain = false;
    bool shownFound = false;
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
