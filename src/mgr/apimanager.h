#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
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
// and ended when its tunnel is over: the service's idle, a "start" that
// could not go, a later sign-in, or the "stop" that the user's sign-out or a
// failed login sent once the tunnel is down. An error that the service
// retries by itself, or a connection to the service that drops and comes
// back, is a stumble: the tunnel that comes back is the sign-in's, asked for
// its configuration and logged in to again. What the record owns ends with
// it: its web session (login, logout, password change) and its timers.
// Whether to ask for a configuration, whom to log in to with which
// credential, when the "stop" goes and how the connection up is shown
// follow from the record and the service's last state alone, worked out
// again by _run() after every report and answer. A tunnel that rose while
// no sign-in of this client had started one is a found one: shown as a
// plain connection, never asked about, never logged in to, as no credential
// of the user's belongs to it.
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
    // Test seam: the delays of the "start" and of the login, and the sign-out's
    // bound; StartDelayMs, LoginDelayMs and SignOutMs unless a test changes
    // them.
    static void setDelays(int startMs, int loginMs, int signOutMs = SignOutMs);
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
    // The kind that the next sign-in takes: a management-server profile's.
    bool isSetupEnabled() const { return setupEnabled; }
    // The sign-in's web session is logged in.
    bool getIsLoggedIn() const { return signIn && signIn->loggedIn; }
    // A sign-in of the user's lasts (signInLasts): the service's errors are
    // its stumbles, and the service keeps its profile meanwhile.
    bool isSignInLasting() const { return signIn.has_value(); }
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
    // The user's sign-out (or a failed login's): the web logout when the
    // sign-in is logged in, then the "stop", within SignOutMs of it.
    void _sigDisconnect();
    // The sign-out's bound passed: the "stop" goes without the logout.
    void _signOutExpired();
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
    // The portal's password change: a request of the sign-in's web session,
    // only while it is logged in and nothing else of it is under way.
    void _changePassword(QString newPass);
    void _loggedIn();
    void _loggedOut();
    void _downloadLogo();
    void _downloadLogoSmall();
    void _downloadFinished(QString target);
    // A failed web request: a failed logout lets the "stop" go at once, a
    // failed login ends the sign-in as a sign-out does.
    void _lodestarError(libvelcor::Error err);
    // The program is quitting: the event loop ends shortly after the
    // disconnect request, so a logout may not hold back the "stop".
    void _closeReceive();

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
    // What the last configuration answer of the tunnel's rise said.
    enum class Portal { Unknown, Named, None };
    // A sign-in of the user's, from its connect request until its tunnel
    // is over.
    struct SignIn
    {
        enum Phase {
            Asked,      // its "start" has not gone yet
            Started,    // its "start" went: what the service reports is its
            Up,         // its tunnel rose
            LoggingOut, // the user signed out: the web logout, bounded
            Stopped     // the "stop" went: it ends once the tunnel is down
        };
        SignIn(quint64 number, int credential, const libvelcor::Auth& auth, bool managed)
            : number(number), credential(credential), auth(auth), managed(managed)
        {
        }
        const quint64 number;
        const int credential; // its credential's number at the AuthApi
        libvelcor::Auth auth;
        const bool managed; // a management-server profile's
        Phase phase = Asked;
        // The reports heard when its "start" went (-1: none went): an idle
        // reported after it ends the sign-in.
        qint64 startedAt = -1;
        // The rise of the tunnel whose configuration was asked, and the
        // report of "connected" that armed the login.
        quint64 askedAt = 0;
        quint64 armedAt = 0;
        // The server and fallback that its first configuration answer named
        // (none: empty); no login goes anywhere else.
        bool answered = false;
        QString server;
        QString fallback;
        // What the answer at the tunnel's last rise said, and for None why.
        Portal portal = Portal::Unknown;
        QString noPortal;
        // The delay after a report of "connected" passed: it logs in once
        // the configuration has named its server.
        bool loginDue = false;
        // Its web session is logged in.
        bool loggedIn = false;
    };

    // Ends the sign-in whose tunnel is over, sends its "stop", asks for the
    // configuration, logs in and shows the connection as the sign-in and
    // the service's last state call for; run after every report and answer.
    void _run();
    // Ends the sign-in, and its web session and timers with it.
    void _endSignIn(const char* why);
    // The web client goes to the server that the sign-in's configuration
    // named, the answer at the tunnel's last rise naming it too: only then
    // does a request of its web session go out.
    bool _atItsServer() const;
    // Sends the sign-in's "stop"; it ends once the tunnel is down.
    void _stop(const char* why);
    // What the windows are told: the connection shown plain, the sign-in
    // and its sign-out; only what changed.
    void _show();
    void _signInFailed(const QString& text, const QString& reason);
    // Tells why the credential c keeps its sign-in from starting.
    void _credentialFailed(const Credential& c, bool lost);
    // Ends the web session at the client: its requests are dropped, its
    // cookies too.
    void _closeWebSession();
    // Drops the web request in flight; a password change's with a word.
    void _dropWebRequest();
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
    // Counts the reports, the rises of the tunnel (a report up after one
    // that was not: the first report counts) and the reports of "connected".
    qint64 reports = 0;
    quint64 rises = 0;
    quint64 connectedReports = 0;
    int pendingPort = -1;
    bool settingsReceived = false;
    bool setupEnabled = true;
    QString addr;
    QString fallbackAddr;
    bool isFallback = false;
    // The last profile credential handed over; a sign-in keeps its own.
    libvelcor::Auth auth;
    // The user's sign-in, from its connect request until its tunnel is over.
    std::optional<SignIn> signIn;
    quint64 lastSignIn = 0;
    // The tunnel up rose while no sign-in had started one.
    bool found = false;
    // The sign-in whose configuration request awaits its answer (0: none),
    // and the rise it was asked at.
    quint64 retrievalFor = 0;
    quint64 retrievalAt = 0;
    // The sign-in's timers, stopped when it ends: from a report of
    // "connected" to the login, and from the sign-out to the "stop" at the
    // latest.
    QTimer loginTimer;
    QTimer signOutTimer;
    // What the windows were told last.
    bool shownPlain = false;
    QString shownNoPortal;
    bool shownLasts = false;
    bool shownSigningOut = false;
    // Connect requests whose "start" has not gone yet, in order; a
    // disconnect request drops them all.
    QList<StartRequest> starts;
    quint64 lastStartId = 0;
    // The last profile credential handed to the service, for a connect
    // request made after its result came.
    Credential credential;
    quint64 connectionFailures = 0;
    QElapsedTimer clock;
    bool quitting = false;
};

} // namespace ORVO
