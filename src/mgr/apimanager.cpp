#include "mgr/apimanager.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QVariantMap>

#include "common/common.h"
#include "common/cookiejar.h"
#include "common/log.h"
#include "common/utils.h"
#include "libvelcor/authapi.h"
#include "libvelcor/client.h"
#include "libvelcor/cloudapi.h"
#include "libvelcor/configapi.h"
#include "libvelcor/server.h"
#include "libvelcor/setupapi.h"
#include "libvelcor/statusapi.h"
#include "mgr/lodestarapi.h"
#include "mgr/networkmanager.h"

namespace ORVO {

namespace {

// The fragments of the user's standing settings, which a restarted service
// must be given again: the VPN timeout, and the log levels of the service
// and of OpenVPN. Any other fragment belongs to a sign-in (its profile, the
// defaults it ends with), which the user repeats. Empty: not one of them.
QString standingSetting(const QVariantMap& fragment)
{
    const auto only = [&fragment](const char* section, const char* key) {
        const QVariantMap m = fragment.value(QLatin1String(section)).toMap();
        return m.size() == 1 && m.contains(QLatin1String(key));
    };
    if (fragment.size() == 1 && fragment.contains(QStringLiteral("timeout")))
        return QStringLiteral("timeout");
    if (fragment.size() == 2 && only("log", "lev") && only("vpn", "verb"))
        return QStringLiteral("verbosity");
    return QString();
}

int startDelay = ApiManager::StartDelayMs;
int loginDelay = ApiManager::LoginDelayMs;
int signOutDelay = ApiManager::SignOutMs;

bool isUp(int state)
{
    return state == libvelcor::StateReconnecting || state == libvelcor::StateConnected;
}

bool isDown(int state)
{
    return state == libvelcor::StateIdle || state == libvelcor::StateError;
}

} // namespace

void ApiManager::setDelays(int startMs, int loginMs, int signOutMs)
{
    startDelay = startMs;
    loginDelay = loginMs;
    signOutDelay = signOutMs;
}

const char* const ApiManager::LogoPath =
    "/toscawidgets/resources/corvane.access.web/static/images/login/logo.png";
const char* const ApiManager::LogoSmallPath =
    "/toscawidgets/resources/corvane.access.web/static/images/login/logo-small.png";

ApiManager::ApiManager(ORVO::NetworkManager* networkManager) : networkManager(networkManager)
{
    LOG_TRACE;
    clock.start();
    loginTimer.setSingleShot(true);
    connect(&loginTimer, SIGNAL(timeout()), this, SLOT(_loginDelayed()));
    signOutTimer.setSingleShot(true);
    connect(&signOutTimer, SIGNAL(timeout()), this, SLOT(_signOutExpired()));
    if (!networkManager) {
        LOG_ERROR;
        return;
    }

    statusApi = new libvelcor::StatusApi();
    connect(statusApi, SIGNAL(gotSettings()), this, SLOT(_gotSettings()));
    connect(statusApi, SIGNAL(apiState(libvelcor::State)), this,
            SLOT(_statusApiState(libvelcor::State)));
    connect(statusApi, SIGNAL(error(libvelcor::Error)), this, SIGNAL(error(libvelcor::Error)));
    connect(statusApi, SIGNAL(error(libvelcor::Error)), this,
            SLOT(_statusApiError(libvelcor::Error)));
    connect(statusApi, SIGNAL(apiProgress(libvelcor::Progress)), this,
            SIGNAL(progress(libvelcor::Progress)));
    connect(statusApi, SIGNAL(apiFallback(bool)), this, SIGNAL(fallback(bool)));
    connect(statusApi, SIGNAL(apiNeed(QString)), this, SLOT(_statusApiNeed(QString)));

    authApi = new libvelcor::AuthApi();
    connect(this, SIGNAL(authSupply(libvelcor::Auth)), this, SLOT(_handOver(libvelcor::Auth)));
    connect(authApi, SIGNAL(authSent(libvelcor::Api::ResultCode)), this,
            SLOT(_authApiSent(libvelcor::Api::ResultCode)));
    connect(authApi, SIGNAL(credentialSent(int, libvelcor::Api::ResultCode)), this,
            SLOT(_credentialSent(int, libvelcor::Api::ResultCode)));

    setupApi = new libvelcor::SetupApi();
    connect(this, SIGNAL(portSupplyApi(int)), setupApi, SLOT(portSupply(int)));
    connect(this, SIGNAL(logPortSupplyApi(int)), setupApi, SLOT(logPortSupply(int)));
    connect(setupApi, SIGNAL(portSent(libvelcor::Api::ResultCode)), this,
            SLOT(_setupApiSent(libvelcor::Api::ResultCode)));
    connect(setupApi, SIGNAL(logPortSent(libvelcor::Api::ResultCode)), this,
            SLOT(_setupApiSent(libvelcor::Api::ResultCode)));
    connect(setupApi, SIGNAL(configReceived(libvelcor::Api::ResultCode, QVariant)), this,
            SLOT(_setupApiReceived(libvelcor::Api::ResultCode, QVariant)));

    cloudApi = new libvelcor::CloudApi();
    connect(this, SIGNAL(actionRequest(QString, libvelcor::Params)), cloudApi,
            SLOT(actionRequest(QString, libvelcor::Params)));
    connect(cloudApi, SIGNAL(actionNotSent(QString, QString)), this,
            SLOT(_actionNotSent(QString, QString)));

    configApi = new libvelcor::ConfigApi();
    // _gotConfig hands each fragment on to the ConfigApi.
    connect(this, SIGNAL(configSupply(QVariant)), this, SLOT(_gotConfig(QVariant)));

    statusApi->init();

    server = new libvelcor::Server(this, libvelcor::ModeLocal);
    if (!server->isValid()) {
        LOG_ERROR;
        return;
    }
    connect(server, SIGNAL(portBound(int)), this, SLOT(_portBound(int)));
    connect(server->getRequestHandler(), SIGNAL(actionRequest(QString, libvelcor::Params)), this,
            SIGNAL(actionPerform(QString, libvelcor::Params)));
    if (server->setInitialPort(RequestServerPort) != 0) {
        LOG_ERROR;
        return;
    }
    if (server->start() != 0) {
        why = tr("The client cannot listen for the service's requests on 127.0.0.1: %1")
                  .arg(server->errorString());
        LOG_ERROR << "[ApiManager] " << why.toUtf8().constData();
        return;
    }

    lodestarApi = new LodestarApi();
    lodestarApi->setCookieJar(networkManager->getCookieJar());
    connect(this, SIGNAL(fallback(bool)), lodestarApi, SLOT(_gotFallback(bool)));
    connect(this, SIGNAL(serverAddrSupply(QString, QString)), lodestarApi,
            SLOT(_gotServerAddr(QString, QString)));
    connect(this, SIGNAL(authSupply(libvelcor::Auth)), lodestarApi,
            SLOT(_authReceived(libvelcor::Auth)));
    connect(this, SIGNAL(changePassword(QString)), this, SLOT(_changePassword(QString)));
    // The changed password becomes this object's credential before anyone
    // hears of it, so a later login uses it.
    connect(lodestarApi, SIGNAL(authChanged(libvelcor::Auth)), this,
            SLOT(_authChangedReceive(libvelcor::Auth)));
    connect(lodestarApi, SIGNAL(authChanged(libvelcor::Auth)), this,
            SIGNAL(authChanged(libvelcor::Auth)));
    // The windows hear of a login that _loggedIn took for the sign-in.
    connect(lodestarApi, SIGNAL(loggedIn()), this, SLOT(_loggedIn()));
    connect(lodestarApi, SIGNAL(loggedOut()), this, SLOT(_loggedOut()));
    connect(lodestarApi, SIGNAL(error(libvelcor::Error)), this, SIGNAL(error(libvelcor::Error)));
    // After the error has been reported.
    connect(lodestarApi, SIGNAL(error(libvelcor::Error)), this,
            SLOT(_lodestarError(libvelcor::Error)));
    connect(this, SIGNAL(fallback(bool)), this, SLOT(_gotFallback(bool)));
    connect(this, SIGNAL(serverAddrSupply(QString, QString)), this,
            SLOT(_gotServerAddr(QString, QString)));
    connect(networkManager, SIGNAL(finished(QString)), this, SLOT(_downloadFinished(QString)));

    valid = true;
}

ApiManager::~ApiManager()
{
    LOG_TRACE;
    delete server;
    server = nullptr;
    delete configApi;
    configApi = nullptr;
    delete cloudApi;
    cloudApi = nullptr;
    delete setupApi;
    setupApi = nullptr;
    delete authApi;
    authApi = nullptr;
    delete statusApi;
    statusApi = nullptr;
    // Abandons a web request in flight: nothing is sent once this is gone.
    delete lodestarApi;
    lodestarApi = nullptr;
}

int ApiManager::getRequestPort() const
{
    return server ? server->getPort() : -1;
}

void ApiManager::_sigConnect()
{
    LOG_TRACE;
    // The sign-in's credential went out just before its connect request. A
    // waiting "start" of an earlier sign-in would go with this one's
    // credential: this request takes its place. Requests of the same
    // credential each send their own, for one sign-in.
    for (int i = starts.size() - 1; i >= 0; --i) {
        if (starts.at(i).credential.number != credential.number) {
            LOG_DEBUG << "[ApiManager] Start dropped: a later sign-in's connect request came";
            starts.removeAt(i);
        }
    }
    if (!signIn || signIn->credential != credential.number || signIn->phase >= SignIn::LoggingOut) {
        // What an earlier sign-in waited for (its configuration, its
        // login, its logout) is not this one's.
        if (signIn)
            _endSignIn("a later sign-in came");
        signIn.emplace(++lastSignIn, credential.number, auth, setupEnabled);
        _show();
    }
    StartRequest request;
    request.id = ++lastStartId;
    request.credential = credential;
    request.signIn = signIn->number;
    starts.append(request);
    const quint64 id = request.id;
    QTimer::singleShot(startDelay, this, [this, id]() {
        for (StartRequest& r : starts)
            if (r.id == id)
                r.due = true;
        _doConnect();
    });
}

void ApiManager::_doConnect()
{
    LOG_TRACE;
    // A "start" without its own sign-in's credential at the service would
    // connect with whatever the service still holds, another sign-in's.
    while (!starts.isEmpty() && starts.first().due) {
        const Credential c = starts.first().credential;
        const quint64 owner = starts.first().signIn;
        const bool current = signIn && signIn->number == owner;
        if (c.number == 0) {
            // No caller connects before it handed over a credential.
            starts.removeFirst();
            LOG_ERROR << "[ApiManager] Start dropped: no credential was handed over";
            if (current)
                _endSignIn("no credential was given");
            _signInFailed(tr("Cannot sign in: no credential was given"), QString());
            continue;
        }
        if (!c.answered)
            return; // _credentialSent comes back here
        starts.removeFirst();
        // The connection that took the credential has failed since: the
        // service met next (a restarted one) need not hold it. A failure is
        // known here from its report, or at once from the library's reason.
        const bool lost = c.result == libvelcor::Api::ResultOk &&
                          (c.failures != connectionFailures || !authApi->problem().isEmpty());
        if (c.result == libvelcor::Api::ResultOk && !lost) {
            // From now on an end that the service reports is this sign-in's.
            if (current && signIn->phase == SignIn::Asked) {
                signIn->phase = SignIn::Started;
                signIn->startedAt = reports;
            }
            emit actionRequest(QStringLiteral("start"), libvelcor::Params());
            continue;
        }
        LOG_DEBUG << "[ApiManager] Start dropped: the credential is not at the service";
        // The other connect requests of this sign-in end with it, in one box.
        for (int i = starts.size() - 1; i >= 0; --i)
            if (starts.at(i).credential.number == c.number)
                starts.removeAt(i);
        if (current)
            _endSignIn("its credential is not at the service");
        _credentialFailed(c, lost);
    }
}

void ApiManager::_credentialFailed(const Credential& c, bool lost)
{
    const QString unreachable = tr("Cannot sign in: the local service cannot be reached");
    if (lost) {
        const QString now = authApi->problem();
        _signInFailed(unreachable, !now.isEmpty()
                                       ? now
                                       : QStringLiteral("the connection that took the credential "
                                                        "was lost"));
        return;
    }
    // A code of the service's own: it was reached, and refused.
    if (c.result > 0) {
        _signInFailed(tr("Cannot sign in: the local service refused the credential"),
                      QStringLiteral("the service answered code %1").arg(int(c.result)));
        return;
    }
    switch (c.result) {
    case libvelcor::Api::ResultTimeout:
        _signInFailed(tr("Cannot sign in: the local service did not answer in time"), c.problem);
        return;
    case libvelcor::Api::ResultBusy:
        _signInFailed(tr("Cannot sign in: too many requests are waiting for the local service"),
                      QString());
        return;
    case libvelcor::Api::ResultInvalid:
        _signInFailed(tr("Cannot sign in: the credential could not be sent"),
                      QStringLiteral("it is too large for a message to the service"));
        return;
    default:
        break;
    }
    _signInFailed(unreachable, !c.problem.isEmpty()
                                   ? c.problem
                                   : QStringLiteral("the service did not take the credential "
                                                    "(result %1)")
                                         .arg(int(c.result)));
}

void ApiManager::_handOver(libvelcor::Auth newAuth)
{
    authApi->authSupply(newAuth);
    if (newAuth.getId() != libvelcor::Auth::ProfileId)
        return;
    credential = Credential();
    credential.number = authApi->lastCredential();
    credential.sentAt = clock.elapsed();
}

void ApiManager::_credentialSent(int number, libvelcor::Api::ResultCode rc)
{
    // Why it failed, now: the connection may be back by the time a "start"
    // is due, and the reason gone with it.
    const QString problem = rc < 0 ? authApi->problem() : QString();
    const auto take = [this, number, rc, &problem](Credential& c) {
        if (c.number != number)
            return;
        c.answered = true;
        c.result = rc;
        c.problem = problem;
        c.failures = connectionFailures;
        if (rc == libvelcor::Api::ResultTimeout) {
            const double waited = qRound((clock.elapsed() - c.sentAt) / 100.0) / 10.0;
            c.problem = QStringLiteral("no answer to the credential within %1 s").arg(waited);
        }
    };
    // The proxy's number matches nothing here.
    take(credential);
    for (StartRequest& r : starts)
        take(r.credential);
    _doConnect();
}

void ApiManager::_statusApiError(libvelcor::Error err)
{
    // A lost connection ends no sign-in: the service that comes back
    // reports the tunnel, idle when it is over.
    if (err.getCode() == libvelcor::Api::ConnectionErrorCode)
        ++connectionFailures;
}

void ApiManager::_syncRoutes(QStringList endpoints)
{
    LOG_TRACE;
    libvelcor::Params params;
    params.append(qMakePair(QStringLiteral("ips"), endpoints.join(QLatin1Char(','))));
    emit actionRequest(QStringLiteral("syncRoutes"), params);
}

void ApiManager::_actionNotSent(QString action, QString reason)
{
    LOG_DEBUG << "[ApiManager] not sent: " << action << " (" << reason << ")";
    // Only the sign-in waits for an answer the user can see; a lost "stop"
    // or route change needs no box (the service's own loss was reported).
    if (action != QLatin1String("start"))
        return;
    if (signIn)
        _endSignIn("its \"start\" could not be sent");
    _signInFailed(tr("Cannot sign in: the local service cannot be reached"), reason);
}

void ApiManager::_signInFailed(const QString& text, const QString& reason)
{
    emit error(libvelcor::Error(libvelcor::Api::ConnectionErrorCode, text, reason));
}

void ApiManager::_gotSettings()
{
    LOG_TRACE;
    // Handed over once: the library gives it to every later session of the
    // service itself.
    if (pendingPort != -1)
        emit portSupplyApi(pendingPort);
    pendingPort = -1;
    statusApi->start(1000);
    settingsReceived = true;
    // A new session of the service: the user's "stop" may not have reached
    // the one before, which it may still run the tunnel for.
    if (signIn && signIn->phase == SignIn::Stopped)
        emit actionRequest(QStringLiteral("stop"), libvelcor::Params());
}

void ApiManager::_gotConfig(QVariant config)
{
    LOG_TRACE;
    const QVariant enabled =
        config.toMap().value(QStringLiteral("setup")).toMap().value(QStringLiteral("enabled"));
    if (!enabled.isNull())
        setupEnabled = enabled.toBool();
    const QString setting = standingSetting(config.toMap());
    if (setting.isEmpty())
        configApi->configSupply(config);
    else
        configApi->settingSupply(setting, config);
}

void ApiManager::_portBound(int port)
{
    LOG_DEBUG << "[ApiManager] Bound to port: " << port;
    if (settingsReceived)
        emit portSupplyApi(port);
    else
        pendingPort = port;
}

void ApiManager::_statusApiState(libvelcor::State st)
{
    // -1 (no report yet) is no value of the enumeration: not converted.
    const QString from = lastState >= 0 ? libvelcor::stateToString(libvelcor::State(lastState))
                                        : QStringLiteral("Unknown");
    LOG_DEBUG << "[ApiManager] State changed from: " << from
              << " to: " << libvelcor::stateToString(st);
    const bool rose = isUp(st) && !isUp(lastState);
    lastState = st;
    ++reports;
    if (st == libvelcor::StateConnected)
        ++connectedReports;
    if (isDown(st)) {
        found = false;
    } else if (rose) {
        // The first report counts as a rise. Before its "start" went, a
        // report is of what the sign-in began from: a found tunnel.
        ++rises;
        found = !signIn || signIn->phase == SignIn::Asked;
        if (signIn && signIn->phase == SignIn::Started)
            signIn->phase = SignIn::Up;
        // Its configuration is asked again: the tunnel may lead elsewhere.
        if (signIn && signIn->phase == SignIn::Up)
            signIn->portal = Portal::Unknown;
    }
    _run();
    emit stateChanged(st);
}

void ApiManager::_loginDelayed()
{
    LOG_TRACE;
    if (!signIn)
        return;
    signIn->loginDue = true;
    _run();
}

void ApiManager::_run()
{
    const bool up = isUp(lastState);
    if (signIn) {
        const SignIn& s = *signIn;
        // Its tunnel is over: an idle reported after its "start" went; once
        // stopped, idle as far as the service has said (a service that has
        // not acted on the "start" reports nothing more). An error, or a
        // lost service, is not an end.
        const bool idle = lastState == libvelcor::StateIdle;
        if (s.phase == SignIn::Stopped ? idle || lastState == -1 || s.startedAt < 0
                                       : idle && s.startedAt >= 0 && reports > s.startedAt) {
            _endSignIn("its tunnel is over");
        } else if (s.phase == SignIn::LoggingOut &&
                   (lastState != libvelcor::StateConnected || !_atItsServer())) {
            // The logout goes through the tunnel, to its server: not while
            // it is away or leads elsewhere.
            _stop("the tunnel is not connected to its server");
            _run();
            return;
        } else if (s.phase == SignIn::LoggingOut && !lodestarApi->isBusy() &&
                   lodestarApi->currentOp() != LodestarApi::OpLogout) {
            if (lodestarApi->logout() != 0) {
                _stop("the logout could not be sent");
                _run();
                return;
            }
        }
    }
    // What the web session sends with the user's name or password goes
    // through the tunnel to its server: not through the next tunnel.
    const LodestarApi::LodestarOp op = lodestarApi->currentOp();
    if (lastState != libvelcor::StateConnected && lodestarApi->isBusy() &&
        (op == LodestarApi::OpLogin || op == LodestarApi::OpChangePassword)) {
        LOG_DEBUG << "[ApiManager] Web request dropped: the tunnel is not connected";
        _dropWebRequest();
    }
    const bool active = signIn && signIn->phase == SignIn::Up && signIn->managed;
    // One configuration request at a time: its answer is the asking
    // sign-in's, for the rise it was asked at.
    if (active && up && signIn->askedAt != rises && retrievalFor == 0) {
        signIn->askedAt = rises;
        retrievalFor = signIn->number;
        retrievalAt = rises;
        LOG_DEBUG << "[ApiManager] Retrieving LS config from Connect Service";
        setupApi->configRetrieve();
    }
    // Each report of "connected" logs in again, after a delay.
    if (active && lastState == libvelcor::StateConnected && signIn->armedAt != connectedReports) {
        signIn->armedAt = connectedReports;
        loginTimer.start(loginDelay);
    }
    _show();
    // The login, last: a failure may end the sign-in at once.
    if (!signIn || !signIn->loginDue)
        return;
    if (!active || lastState != libvelcor::StateConnected || signIn->portal == Portal::None) {
        signIn->loginDue = false;
        LOG_DEBUG << "[ApiManager] Login dropped: no longer connected, or no server to log in to";
        return;
    }
    if (signIn->portal == Portal::Unknown) {
        LOG_DEBUG << "[ApiManager] Login waits: no configuration has named a management server";
        return;
    }
    // One web request at a time: a password change under way has its
    // answer first, which may be the password to log in with.
    if (lodestarApi->isBusy()) {
        LOG_DEBUG << "[ApiManager] Login waits for the web request under way";
        return;
    }
    signIn->loginDue = false;
    if (!_atItsServer()) {
        LOG_NOTICE << "[ApiManager] Login dropped: the server known now is not the sign-in's";
        return;
    }
    const libvelcor::Auth a = signIn->auth;
    lodestarApi->login(a.getUser(), a.getPass());
}

bool ApiManager::_atItsServer() const
{
    // Only ever the server (and fallback) that the sign-in's own
    // configuration named.
    return signIn && signIn->portal == Portal::Named && !signIn->server.isEmpty() &&
           addr == signIn->server && fallbackAddr == signIn->fallback;
}

void ApiManager::_show()
{
    const bool up = isUp(lastState);
    // A tunnel whose sign-in ended while it goes down keeps what it showed.
    const bool ours = signIn && signIn->phase >= SignIn::Up;
    const bool none = ours && signIn->managed && signIn->portal == Portal::None;
    const bool plain = up && (found || (ours && (!signIn->managed || none)));
    QString noPortal;
    if (up && found)
        noPortal = tr("This connection was not started by a sign-in here. Sign out and in again "
                      "to open the portal.");
    else if (up && none)
        noPortal = signIn->noPortal;
    if (plain != shownPlain || noPortal != shownNoPortal) {
        shownPlain = plain;
        shownNoPortal = noPortal;
        LOG_DEBUG << "[ApiManager] Shown as a plain connection: " << (plain ? "yes" : "no")
                  << (found && up ? " (found up)" : "");
        emit plainConnection(plain, noPortal);
    }
    const bool out = signIn && signIn->phase >= SignIn::LoggingOut;
    if (out != shownSigningOut) {
        shownSigningOut = out;
        emit signingOut(out);
    }
    const bool lasts = signIn.has_value();
    if (lasts != shownLasts) {
        shownLasts = lasts;
        emit signInLasts(lasts);
    }
}

void ApiManager::_endSignIn(const char* why)
{
    if (!signIn)
        return;
    LOG_DEBUG << "[ApiManager] Sign-in " << signIn->number << " ended: " << why;
    signIn.reset();
    loginTimer.stop();
    signOutTimer.stop();
    // The web session is the sign-in's: it ends here, at the client. Its
    // requests (a login, a logout, a password change) would answer for
    // nothing that lasts: a failed login would stop whatever tunnel is up
    // by then, a changed password become a later sign-in's.
    _closeWebSession();
    _show();
}

void ApiManager::_stop(const char* why)
{
    LOG_DEBUG << "[ApiManager] Stopping sign-in " << signIn->number << ": " << why;
    signIn->phase = SignIn::Stopped;
    signIn->loginDue = false;
    signIn->loggedIn = false;
    loginTimer.stop();
    signOutTimer.stop();
    _closeWebSession();
    emit actionRequest(QStringLiteral("stop"), libvelcor::Params());
}

void ApiManager::_statusApiNeed(QString need)
{
    LOG_DEBUG << "[ApiManager] need: " << need;
    emit error(libvelcor::Error(300, QString("")));
}

void ApiManager::_authApiSent(libvelcor::Api::ResultCode rc)
{
    if (rc != libvelcor::Api::ResultOk)
        LOG_ERROR;
}

void ApiManager::_setupApiSent(libvelcor::Api::ResultCode rc)
{
    if (rc != libvelcor::Api::ResultOk)
        LOG_ERROR;
}

void ApiManager::_setupApiReceived(libvelcor::Api::ResultCode rc, QVariant config)
{
    const quint64 asker = retrievalFor;
    retrievalFor = 0;
    if (!signIn || signIn->number != asker || signIn->phase != SignIn::Up) {
        // It names no server of the sign-in that lasts, if any.
        LOG_DEBUG << "[ApiManager] Configuration of an earlier sign-in dropped";
        _run();
        return;
    }
    // Asked at an earlier rise, it tells whom the sign-in began with, not
    // where the tunnel up now leads: that one is asked next.
    const bool current = retrievalAt == rises;
    const QVariantMap server = config.toMap().value(QStringLiteral("server")).toMap();
    const QString named = server.value(QStringLiteral("openvpn_internal_ip")).toString();
    const QString fallback =
        server.value(QStringLiteral("fallback_openvpn_internal_ip")).toString();
    const auto none = [this, current](const QString& why) {
        if (!current)
            return;
        signIn->portal = Portal::None;
        signIn->noPortal = tr("No portal comes for this connection: %1.").arg(why);
    };
    if (rc != libvelcor::Api::ResultOk) {
        const bool late = rc == libvelcor::Api::ResultTimeout;
        LOG_ERROR
            << "[ApiManager] The server configuration could not be retrieved: "
            << (late ? QStringLiteral("no answer in time")
                : rc > 0
                    ? QStringLiteral("the service answered code %1").arg(int(rc))
                    : QStringLiteral("the service could not be asked (result %1)").arg(int(rc)));
        // The service's own failure is its first answer: nobody to log in
        // to, as a later answer may be of another tunnel's. A request that
        // never reached it is asked again at the tunnel's next rise.
        if (current && (rc > 0 || late))
            signIn->answered = true;
        none(late ? tr("the local service did not give the connection's configuration in time")
                  : tr("the local service did not give the connection's configuration (code %1)")
                        .arg(int(rc)));
    } else if (!signIn->answered) {
        LOG_DEBUG << "[ApiManager] Received config: " << config;
        // The first answer decides whom the sign-in may log in to. It names
        // a server when the coordinator takes the address from it.
        signIn->answered = true;
        if (!named.isEmpty()) {
            const quint64 number = signIn->number;
            emit serverConfigSupply(config);
            if (!signIn || signIn->number != number)
                return;
        }
        if (!named.isEmpty() && addr == named) {
            signIn->server = addr;
            signIn->fallback = fallbackAddr;
            if (current)
                signIn->portal = Portal::Named;
        } else {
            LOG_NOTICE << "[ApiManager] The configuration names no usable management server";
            none(tr("its configuration names no management server"));
        }
    } else if (!current) {
        LOG_DEBUG << "[ApiManager] Configuration of an earlier rise of the tunnel dropped";
    } else if (!signIn->server.isEmpty() && named == signIn->server &&
               fallback == signIn->fallback) {
        // The same server again, after the tunnel came back: its pages anew.
        LOG_DEBUG << "[ApiManager] Received config: " << config;
        signIn->portal = Portal::Named;
        emit serverConfigSupply(config);
    } else {
        // The tunnel now leads somewhere else: no login with the user's
        // credential goes there.
        LOG_NOTICE << "[ApiManager] Configuration dropped: it does not name the server that the "
                      "sign-in began with; no login";
        // Nor does its session, nor its cookies.
        if (signIn->loggedIn) {
            signIn->loggedIn = false;
            _closeWebSession();
        }
        none(signIn->server.isEmpty()
                 ? tr("its configuration names no management server")
                 : tr("the service now names another management server than at the sign-in"));
    }
    _run();
}

void ApiManager::_gotFallback(bool newIsFallback)
{
    LOG_DEBUG << "isFallback: " << (newIsFallback ? "true" : "false");
    isFallback = newIsFallback;
}

void ApiManager::_gotServerAddr(QString newAddr, QString newFallbackAddr)
{
    LOG_DEBUG << "addr: " << newAddr << " fallbackAddr: " << newFallbackAddr;
    addr = newAddr;
    fallbackAddr = newFallbackAddr;
    _run();
}

void ApiManager::_authReceive(libvelcor::Auth newAuth)
{
    // The proxy credential never signs in to the management server.
    if (newAuth.getId() != libvelcor::Auth::ProfileId)
        return;
    auth = newAuth;
}

void ApiManager::_authChangedReceive(libvelcor::Auth newAuth)
{
    // The portal changed the password of the sign-in that logged in: the
    // service and its next login use the new one. Answered once the
    // sign-out began, it goes to no service, which holds the sign-out's
    // empty credential by then; the user is told all the same.
    if (signIn && signIn->phase == SignIn::Up && newAuth.getId() == libvelcor::Auth::ProfileId) {
        _handOver(newAuth);
        _authReceive(newAuth);
        signIn->auth = newAuth;
    }
    // A sign-out or a login may wait for it.
    _run();
}

void ApiManager::_changePassword(QString newPass)
{
    // One web request at a time, to the sign-in's own server: a change sent
    // now would drop the login or the logout under way, and the "stop" must
    // not wait on it.
    if (!signIn || signIn->phase != SignIn::Up || !signIn->loggedIn || !_atItsServer() ||
        lastState != libvelcor::StateConnected || lodestarApi->isBusy()) {
        LOG_NOTICE << "[ApiManager] Password change refused: the sign-in is not logged in to its "
                      "server, or busy signing in or out";
        emit error(libvelcor::Error(
            libvelcor::Client::ErrorCode, tr("Failed changing password"),
            tr("The password can be changed only while signed in, once the sign-in or sign-out "
               "under way is over.")));
        return;
    }
    lodestarApi->changePassword(newPass);
}

void ApiManager::_sigDisconnect()
{
    LOG_TRACE;
    // A "start" still waiting belongs to the connection that is going away.
    starts.clear();
    if (!signIn) {
        // A found tunnel: nothing to log out of.
        emit actionRequest(QStringLiteral("stop"), libvelcor::Params());
        return;
    }
    const int bound = quitting ? QuitLogoutMs : signOutDelay;
    switch (signIn->phase) {
    case SignIn::Asked:
    case SignIn::Started:
    case SignIn::Up:
        // Logged in, it logs out first: _run sends the logout while the
        // tunnel is connected to its server, once a password change under
        // way has its answer (the user's new password), and stops it else.
        if (signIn->loggedIn) {
            signIn->phase = SignIn::LoggingOut;
            signIn->loginDue = false;
            loginTimer.stop();
            signOutTimer.start(bound);
            // A login again under way renews nothing now.
            if (lodestarApi->currentOp() == LodestarApi::OpLogin)
                _dropWebRequest();
        } else {
            _stop("the user signed out");
        }
        break;
    case SignIn::LoggingOut:
        // The portal's own sign-out comes back here meanwhile: the logout
        // goes on, within its bound; quitting shortens it.
        if (quitting && signOutTimer.remainingTime() > bound)
            signOutTimer.start(bound);
        break;
    case SignIn::Stopped:
        // Said again: the service may not have taken the first.
        emit actionRequest(QStringLiteral("stop"), libvelcor::Params());
        break;
    }
    _run();
}

void ApiManager::_signOutExpired()
{
    if (signIn && signIn->phase == SignIn::LoggingOut)
        _stop("the logout did not end in time");
    _run();
}

void ApiManager::_loggedIn()
{
    LOG_TRACE;
    // The web session closes with its sign-in, and goes only to its server:
    // a login answers only for the sign-in that lasts there.
    if (signIn && signIn->phase == SignIn::Up && _atItsServer()) {
        signIn->loggedIn = true;
        if (signIn->managed)
            _downloadLogo();
        emit loggedIn();
    }
    // A sign-out may wait for it.
    _run();
}

void ApiManager::_loggedOut()
{
    LOG_TRACE;
    if (signIn && signIn->phase == SignIn::LoggingOut)
        _stop("logged out");
    _run();
}

void ApiManager::_lodestarError(libvelcor::Error err)
{
    Q_UNUSED(err);
    if (!signIn)
        return;
    const LodestarApi::LodestarOp op = lodestarApi->currentOp();
    if (op == LodestarApi::OpLogin && signIn->phase == SignIn::Up && !signIn->loggedIn) {
        // Without the web login the portal never comes and the window has
        // nothing to sign out with: the tunnel goes down, back to sign-in.
        // A login again after a reconnection leaves the session it renews.
        _stop("the login failed");
    } else if (op == LodestarApi::OpLogout && signIn->phase == SignIn::LoggingOut) {
        _stop("the logout failed");
    }
    _run();
}

void ApiManager::_closeReceive()
{
    LOG_TRACE;
    quitting = true;
}

void ApiManager::_closeWebSession()
{
    _dropWebRequest();
    networkManager->reset();
}

void ApiManager::_dropWebRequest()
{
    const bool change =
        lodestarApi->isBusy() && lodestarApi->currentOp() == LodestarApi::OpChangePassword;
    lodestarApi->reset();
    // The server may have taken it: the user knows the new password, and is
    // told that it may be the one in force.
    if (change)
        emit error(libvelcor::Error(
            libvelcor::Client::ErrorCode, tr("Failed changing password"),
            tr("The connection ended before the management server answered: the new password "
               "may be in force.")));
}

QString ApiManager::_logoUrl(const char* path) const
{
    const QString scheme = ORVO::utils::serverScheme(auth.getType());
    const QString host = isFallback ? fallbackAddr : addr;
    return scheme + QStringLiteral("://") + host + QLatin1String(path);
}

void ApiManager::_downloadLogo()
{
    if (lastState != libvelcor::StateConnected)
        return;
    if (addr.isEmpty()) {
        LOG_TRACE << "Waiting for server config before downloading logo";
        QTimer::singleShot(LogoRetryMs, this, SLOT(_downloadLogo()));
        return;
    }
    const QString target = ORVO::getCustomLogoPath();
    // The data location exists once the file log is open; make sure of it.
    QDir().mkpath(QFileInfo(target).absolutePath());
    networkManager->startDownload(_logoUrl(LogoPath), target, true);
}

void ApiManager::_downloadFinished(QString target)
{
    if (target == ORVO::getCustomLogoPath())
        _downloadLogoSmall();
}

void ApiManager::_downloadLogoSmall()
{
    networkManager->startDownload(_logoUrl(LogoSmallPath), ORVO::getCustomLogoSmallPath(), true);
}

} // namespace ORVO
