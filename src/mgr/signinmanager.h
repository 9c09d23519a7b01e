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
#include "libvelcor/state.h"

namespace libvelcor {
class AuthApi;
class SetupApi;
} // namespace libvelcor

namespace ORVO {

class LodestarApi;
class NetworkManager;

// A management server as a configuration names it: its id and addresses.
struct ManagementServer
{
    QString id; // the id's standard text; empty when none is named
    QString addr;
    QString fallback;

    // The "server" section of a configuration answer; nothing when it
    // lacks a valid id or an address.
    static ManagementServer of(const QVariant& config);
    bool isNamed() const { return !id.isEmpty() && !addr.isEmpty(); }
    bool operator==(const ManagementServer& o) const
    {
        return id == o.id && addr == o.addr && fallback == o.fallback;
    }
    bool operator!=(const ManagementServer& o) const { return !(*this == o); }
    // For the user: the id and the addresses, cut to a readable length.
    QString text() const;
};

// The user's sign-in, from its connect request until its tunnel is over
// (the service's idle, a "start" that could not go, a later sign-in, or the
// "stop" of its sign-out or failed login once the tunnel is down), with its
// web session (login, logout, password change) and its timers. An error
// that the service retries by itself, or a connection to the service that
// drops and comes back, is a stumble: the tunnel that comes back is the
// sign-in's, asked for its configuration and logged in to again.
//
// The slots only note what happened, in the record or in what the service
// last reported; _run() alone decides, after every report and answer: it
// makes and ends the record, moves its phase, sends "start", "stop" and the
// logout, asks for the configuration, takes its answer (the sign-in's
// server), logs in, takes the login's answer, fetches the logos, sends the
// portal's password change and hands its new password to the service, and
// says what the windows show, once, at its end. Two slots act at once, as
// plumbing: _handOver passes each credential on to the service as Manager
// gives it, in Manager's order (a credential before its fragment), and
// _statusApiState relays each report after the run it caused. What _run
// emits meanwhile reaches slots that only note, for the run after. A tunnel
// that rose while no sign-in of this client had started one is found:
// shown plain, never asked about, never logged in to.
class SignInManager : public QObject
{
    Q_OBJECT

public:
    // While quitting, how long the logout may take before the tunnel is
    // stopped regardless; below the 500 ms after which the program ends.
    static constexpr int QuitLogoutMs = 300;
    // The delays of the "start" and of the login, and the sign-out's bound.
    static void setDelays(int startMs, int loginMs, int signOutMs);

    // Borrows what it is given; the objects outlive it.
    SignInManager(libvelcor::AuthApi* authApi, libvelcor::SetupApi* setupApi,
                  ORVO::LodestarApi* lodestarApi, ORVO::NetworkManager* networkManager,
                  QObject* parent);
    ~SignInManager() override;

    int lastReport() const { return lastState; }
    bool isLoggedIn() const { return signIn && signIn->loggedIn; }
    bool lasts() const { return signIn.has_value(); }
    // It lasts and its sign-out has not begun: the user's answer goes on
    // with it.
    bool goesOn() const { return signIn && signIn->phase < SignIn::LoggingOut; }

    // A connect request of the user's, for the profile credential handed
    // over last; managed: a management-server profile's.
    void connectRequest(bool managed);
    // The user's answer lets the sign-in that lasts go on: a "start" again,
    // with the credential handed over last.
    void continueRequest();
    // The user's sign-out (or Disconnect); none lasting: the tunnel found up.
    void disconnectRequest();
    // The user's Cancel to the service's question: the sign-in that lasts
    // ends as its sign-out would; none lasting, nothing.
    void cancelRequest();
    void quitting();

signals:
    void stateChanged(libvelcor::State state);
    void loggedIn();
    void serverConfigSupply(QVariant config);
    void error(libvelcor::Error err);
    void actionRequest(QString action, libvelcor::Params params);
    void plainConnection(bool up, QString noPortal);
    void signInLasts(bool lasts);
    void signingOut(bool out);

public slots:
    // Hands a credential to the service and, for the profile's, takes its
    // number there.
    void _handOver(libvelcor::Auth auth);
    void _credentialSent(int number, libvelcor::Api::ResultCode rc);
    void _connectionError(libvelcor::Error err);
    void _actionNotSent(QString action, QString reason);
    // A new session of the service.
    void _newSession();
    void _statusApiState(libvelcor::State st);
    void _setupApiReceived(libvelcor::Api::ResultCode rc, QVariant config);
    void _gotFallback(bool isFallback);
    void _gotServerAddr(QString addr, QString fallbackAddr);
    void _authReceive(libvelcor::Auth auth);
    // The portal's password change: a request of the sign-in's web session.
    void _changePassword(QString newPass);
    // A password the portal changed: the sign-in's credential from now on.
    void _authChanged(libvelcor::Auth auth);
    void _loggedIn();
    void _loggedOut();
    void _webError(libvelcor::Error err);
    void _downloadFinished(QString target);

private slots:
    void _startDue(quint64 id);
    void _loginDue();
    void _signOutExpired();

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
    // A connect request and its credential; signIn: the sign-in it belongs
    // to, 0 until _run has told.
    struct StartRequest
    {
        quint64 id = 0;
        bool due = false;
        Credential credential;
        quint64 signIn = 0;
        bool managed = false;
    };
    // What the answer at the tunnel's last rise said.
    enum class Portal { Unknown, Named, None };
    // The web session's request in flight.
    enum class Web { None, Login, Logout, Change };
    // Its logos, once logged in: the large one due or in flight, then the
    // small one.
    enum class Logos { None, LargeDue, Large, SmallDue, Small };
    // A configuration answer, for the sign-in that asked and the rise it
    // was asked at.
    struct ConfigAnswer
    {
        quint64 asker = 0;
        quint64 rise = 0;
        libvelcor::Api::ResultCode rc = libvelcor::Api::ResultOk;
        QVariant config;
    };
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
        int credential; // its credential's number at the AuthApi
        libvelcor::Auth auth;
        const bool managed; // a management-server profile's
        Phase phase = Asked;
        // The reports heard when its "start" went (-1: none went): an idle
        // reported after it ends the sign-in.
        qint64 startedAt = -1;
        // The rise the tunnel was at when its "start" went, the rise that
        // its answer is about, the rise whose configuration was asked, and
        // the report of "connected" that armed the login.
        quint64 startRise = 0;
        quint64 portalRise = 0;
        quint64 askedAt = 0;
        quint64 armedAt = 0;
        // The server that the first answer naming one named (id and
        // addresses); no request of the web session goes anywhere else.
        ManagementServer server;
        // What the answer at the tunnel's last rise said, and for None why.
        Portal portal = Portal::Unknown;
        QString noPortal;
        // Its answer did not come in time: asked again at the same rise.
        bool askAgain = false;
        // The delay after a report of "connected" passed: it logs in once
        // the configuration has named its server.
        bool loginDue = false;
        // Its web session: the request in flight, logged in, its logos.
        Web web = Web::None;
        bool loggedIn = false;
        Logos logos = Logos::None;
        // Noted for _run: the user's sign-out (and how often since _run
        // looked), the logout's end, a login answered or failed, a service
        // session that may not have heard the "stop", a password that the
        // portal changed.
        int signOuts = 0;
        const char* logoutEnded = nullptr;
        bool loginAnswered = false;
        bool loginFailed = false;
        bool stopAgain = false;
        std::optional<libvelcor::Auth> changed;
    };

    // Decides, from the record and the service's last report; run after
    // every report and answer. A run asked for while one is under way (a
    // receiver of what it sends) comes right after it.
    void _run();
    void _decide();
    // A connect request's "start", due after the delay; owner: the sign-in
    // it continues, 0 for the one that _run says.
    void _queueStart(bool managed, quint64 owner);
    // The connect requests: a later sign-in's ends the one that lasts, a
    // due one sends its "start" once its credential is at the service.
    void _startRequests();
    // The sign-in's sign-out: the logout while logged in, else the "stop".
    void _signOut(SignIn& s);
    void _endSignIn(const char* why);
    // Sends the sign-in's "stop"; it ends once the tunnel is down.
    void _stop(const char* why);
    // The web client goes to the server that the sign-in's configuration
    // named, the answer at the tunnel's last rise naming it too: only then
    // does a request of its web session go out, or its answer count.
    bool _atItsServer() const;
    // Logged in, up, and connected to the sign-in's own server now: what a
    // password change and the logos need.
    bool _loggedInThere() const;
    void _login();
    // What the windows are told: the connection shown plain, the sign-in
    // and its sign-out; only what changed.
    void _show();
    void _signInFailed(const QString& text, const QString& reason);
    // Tells why the credential c keeps its sign-in from starting.
    void _credentialFailed(const Credential& c, bool lost);
    // The configuration's answer: whom the sign-in logs in to.
    void _takeAnswer(const ConfigAnswer& a);
    // The rise's answer names no server the sign-in may log in to.
    void _noPortal(const QString& why);
    // The login's answer, the portal's new password, its password changes.
    void _takeLogin();
    void _takeChangedPassword();
    void _takeChanges();
    // Ends the web session at the client: its request in flight is
    // dropped, its cookies too.
    void _closeWebSession();
    // Drops the web request in flight; a password change's with a word.
    void _dropWebRequest();
    QString _logoUrl(const char* path) const;
    // The next logo of the sign-in logged in to its server, when due.
    void _fetchLogos();

    libvelcor::AuthApi* authApi;
    libvelcor::SetupApi* setupApi;
    ORVO::LodestarApi* lodestarApi;
    ORVO::NetworkManager* networkManager;

    int lastState = -1; // a libvelcor::State; -1 until the first report
    // Counts the reports, the rises of the tunnel (a report up after one
    // that was not: the first report counts) and the reports of "connected".
    qint64 reports = 0;
    quint64 rises = 0;
    quint64 connectedReports = 0;
    // The last rise that _run has looked at.
    quint64 seenRise = 0;
    // The tunnel up rose while no sign-in had started one.
    bool found = false;
    // The web client's server, as the coordinator said last.
    QString addr;
    QString fallbackAddr;
    bool isFallback = false;
    // The last profile credential handed over; a sign-in keeps its own.
    libvelcor::Auth auth;
    Credential credential;
    quint64 connectionFailures = 0;
    // Connect requests whose "start" has not gone yet, in order.
    QList<StartRequest> starts;
    quint64 lastStartId = 0;
    // The user's sign-in, from its connect request until its tunnel is over.
    std::optional<SignIn> signIn;
    quint64 lastSignIn = 0;
    // A "stop" asked for with no sign-in (a found tunnel).
    bool stopOwed = false;
    // Why each "start" that the service could not be reached for did not go.
    QStringList startsNotSent;
    // The sign-in whose configuration request awaits its answer (0: none),
    // and the rise it was asked at; the answers not yet taken.
    quint64 retrievalFor = 0;
    quint64 retrievalAt = 0;
    QList<ConfigAnswer> answers;
    // The portal's password changes not yet taken, in order.
    QStringList changesAsked;
    QTimer loginTimer;
    QTimer signOutTimer;
    // What the windows were told last.
    bool shownPlain = false;
    QString shownNoPortal;
    bool shownLasts = false;
    bool shownSigningOut = false;
    QElapsedTimer clock;
    bool isQuitting = false;
    bool running = false;
    bool runAgain = false;
};

} // namespace ORVO
