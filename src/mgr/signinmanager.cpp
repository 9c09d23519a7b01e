#include "mgr/signinmanager.h"

#include <QUuid>
#include <QVariantMap>

#include "common/log.h"
#include "libvelcor/authapi.h"
#include "libvelcor/setupapi.h"
#include "libvelcor/statusapi.h"
#include "mgr/apimanager.h"
#include "mgr/lodestarapi.h"
#include "mgr/networkmanager.h"

namespace ORVO {

namespace {

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

// What the service chose, at a length a window line can take.
QString cut(const QString& text)
{
    const int most = 64;
    return text.size() > most ? text.left(most) + QChar(0x2026) : text;
}

} // namespace

void SignInManager::setDelays(int startMs, int loginMs, int signOutMs)
{
    startDelay = startMs;
    loginDelay = loginMs;
    signOutDelay = signOutMs;
}

ManagementServer ManagementServer::of(const QVariant& config)
{
    const QVariantMap server = config.toMap().value(QStringLiteral("server")).toMap();
    ManagementServer m;
    const QUuid id(server.value(QStringLiteral("uuid")).toString());
    if (!id.isNull())
        m.id = id.toString();
    m.addr = server.value(QStringLiteral("openvpn_internal_ip")).toString();
    m.fallback = server.value(QStringLiteral("fallback_openvpn_internal_ip")).toString();
    return m;
}

QString ManagementServer::text() const
{
    QString t = id + QStringLiteral(", ") + cut(addr);
    if (!fallback.isEmpty())
        t += QStringLiteral(", ") + cut(fallback);
    return t;
}

SignInManager::SignInManager(libvelcor::AuthApi* authApi, libvelcor::SetupApi* setupApi,
                             ORVO::LodestarApi* lodestarApi, ORVO::NetworkManager* networkManager,
                             QObject* parent)
    : QObject(parent), authApi(authApi), setupApi(setupApi), lodestarApi(lodestarApi),
      networkManager(networkManager)
{
    clock.start();
    loginTimer.setSingleShot(true);
    connect(&loginTimer, SIGNAL(timeout()), this, SLOT(_loginDue()));
    signOutTimer.setSingleShot(true);
    connect(&signOutTimer, SIGNAL(timeout()), this, SLOT(_signOutExpired()));
}

SignInManager::~SignInManager() = default;

void SignInManager::connectRequest(bool managed)
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
    _queueStart(managed, 0);
}

void SignInManager::_queueStart(bool managed, quint64 owner)
{
    StartRequest request;
    request.id = ++lastStartId;
    request.credential = credential;
    request.managed = managed;
    request.signIn = owner;
    starts.append(request);
    const quint64 id = request.id;
    QTimer::singleShot(startDelay, this, [this, id]() { _startDue(id); });
    _run();
}

void SignInManager::continueRequest()
{
    LOG_TRACE;
    if (!goesOn()) {
        LOG_NOTICE << "[ApiManager] Nothing to go on with: no sign-in lasts, or it is signing out";
        return;
    }
    // The same sign-in, with the credential handed over again.
    signIn->credential = credential.number;
    signIn->auth = auth;
    _queueStart(signIn->managed, signIn->number);
}

void SignInManager::disconnectRequest()
{
    LOG_TRACE;
    // A "start" still waiting belongs to the connection that is going away.
    starts.clear();
    if (signIn)
        ++signIn->signOuts;
    else
        stopOwed = true; // a found tunnel: nothing to log out of
    _run();
}

void SignInManager::cancelRequest()
{
    LOG_TRACE;
    if (signIn)
        disconnectRequest();
}

void SignInManager::quitting()
{
    isQuitting = true;
}

void SignInManager::_startDue(quint64 id)
{
    for (StartRequest& r : starts)
        if (r.id == id)
            r.due = true;
    _run();
}

void SignInManager::_handOver(libvelcor::Auth newAuth)
{
    authApi->authSupply(newAuth);
    if (newAuth.getId() != libvelcor::Auth::ProfileId)
        return;
    credential = Credential();
    credential.number = authApi->lastCredential();
    credential.sentAt = clock.elapsed();
}

void SignInManager::_credentialSent(int number, libvelcor::Api::ResultCode rc)
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
    _run();
}

void SignInManager::_connectionError(libvelcor::Error err)
{
    // A lost connection ends no sign-in: the service that comes back
    // reports the tunnel, idle when it is over.
    if (err.getCode() == libvelcor::Api::ConnectionErrorCode)
        ++connectionFailures;
}

void SignInManager::_actionNotSent(QString action, QString reason)
{
    LOG_DEBUG << "[ApiManager] not sent: " << action << " (" << reason << ")";
    // Only the sign-in waits for an answer the user can see; a lost "stop"
    // or route change needs no box (the service's own loss was reported).
    if (action != QLatin1String("start"))
        return;
    startsNotSent.append(reason);
    _run();
}

void SignInManager::_newSession()
{
    // The user's "stop" may not have reached the session before, which it
    // may still run the tunnel for.
    if (signIn)
        signIn->stopAgain = true;
    _run();
}

void SignInManager::_statusApiState(libvelcor::State st)
{
    // -1 (no report yet) is no value of the enumeration: not converted.
    const QString from = lastState >= 0 ? libvelcor::stateToString(libvelcor::State(lastState))
                                        : QStringLiteral("Unknown");
    LOG_DEBUG << "[ApiManager] State changed from: " << from
              << " to: " << libvelcor::stateToString(st);
    // The first report counts as a rise.
    if (isUp(st) && !isUp(lastState))
        ++rises;
    lastState = st;
    ++reports;
    if (st == libvelcor::StateConnected)
        ++connectedReports;
    _run();
    emit stateChanged(st);
}

void SignInManager::_loginDue()
{
    if (signIn)
        signIn->loginDue = true;
    _run();
}

void SignInManager::_signOutExpired()
{
    if (signIn && signIn->phase == SignIn::LoggingOut)
        signIn->logoutEnded = "the logout did not end in time";
    _run();
}

void SignInManager::_setupApiReceived(libvelcor::Api::ResultCode rc, QVariant config)
{
    // The way is free for the next request.
    answers.append(ConfigAnswer{retrievalFor, retrievalAt, rc, config});
    retrievalFor = 0;
    _run();
}

void SignInManager::_takeAnswer(const ConfigAnswer& a)
{
    if (!signIn || signIn->number != a.asker) {
        // It names no server of the sign-in that lasts, if any.
        LOG_DEBUG << "[ApiManager] Configuration of an earlier sign-in dropped";
        return;
    }
    if (signIn->phase != SignIn::Up) {
        LOG_DEBUG << "[ApiManager] Configuration dropped: its sign-in is signing out";
        return;
    }
    SignIn& s = *signIn;
    // Asked at an earlier rise, it may name whom the sign-in began with,
    // but not where the tunnel up now leads: that one is asked next.
    const bool current = a.rise == rises;
    if (current)
        s.askAgain = false;
    const ManagementServer named = ManagementServer::of(a.config);
    if (a.rc != libvelcor::Api::ResultOk) {
        const bool late = a.rc == libvelcor::Api::ResultTimeout;
        LOG_ERROR
            << "[ApiManager] The server configuration could not be retrieved: "
            << (late ? QStringLiteral("no answer in time")
                : a.rc > 0
                    ? QStringLiteral("the service answered code %1").arg(int(a.rc))
                    : QStringLiteral("the service could not be asked (result %1)").arg(int(a.rc)));
        // A failure names nobody. One that came too late is asked again at
        // once; the next rise asks after any other.
        if (current && late) {
            s.askAgain = true;
            _noPortal(tr("No portal yet: the local service did not give the connection's "
                         "configuration in time. It is asked again; signing out and in again "
                         "starts over."));
        } else if (current) {
            _noPortal(tr("No portal comes for this connection: the local service did not give "
                         "its configuration (code %1). Sign out and in again to try again.")
                          .arg(int(a.rc)));
        }
    } else if (!named.isNamed()) {
        LOG_NOTICE << "[ApiManager] The configuration names no management server";
        if (current)
            _noPortal(tr("No portal comes for this connection: its configuration names no "
                         "management server. Sign out and in again to try again."));
    } else if (!s.server.isNamed() || (named == s.server && current)) {
        // The first answer that names a server names the sign-in's; the
        // same again, after the tunnel came back, brings its pages anew.
        LOG_DEBUG << "[ApiManager] Received config: " << a.config;
        s.server = named;
        if (current) {
            s.portal = Portal::Named;
            s.noPortal.clear();
        }
        // Decided: whoever hears of it (the web client's addresses) notes
        // it for the next run.
        emit serverConfigSupply(a.config);
    } else if (current) {
        // Another id or other addresses: another server, which gets no
        // login with the user's credential, nor the session's cookies, nor
        // what its logos would carry.
        LOG_NOTICE << "[ApiManager] Configuration dropped: it does not name the server that the "
                      "sign-in began with; no login";
        s.loggedIn = false;
        _closeWebSession();
        _noPortal(tr("No portal comes for this connection: the service now names another "
                     "management server (%1) than the one this sign-in began with (%2). Sign "
                     "out and in again to sign in there.")
                      .arg(named.text(), s.server.text()));
    } else {
        LOG_DEBUG << "[ApiManager] Configuration of an earlier rise of the tunnel dropped";
    }
}

void SignInManager::_noPortal(const QString& why)
{
    signIn->portal = Portal::None;
    signIn->noPortal = why;
}

void SignInManager::_gotFallback(bool newIsFallback)
{
    LOG_DEBUG << "isFallback: " << (newIsFallback ? "true" : "false");
    isFallback = newIsFallback;
    _run();
}

void SignInManager::_gotServerAddr(QString newAddr, QString newFallbackAddr)
{
    LOG_DEBUG << "addr: " << newAddr << " fallbackAddr: " << newFallbackAddr;
    addr = newAddr;
    fallbackAddr = newFallbackAddr;
    _run();
}

void SignInManager::_authReceive(libvelcor::Auth newAuth)
{
    // The proxy credential never signs in to the management server.
    if (newAuth.getId() == libvelcor::Auth::ProfileId)
        auth = newAuth;
}

void SignInManager::_run()
{
    if (running) {
        runAgain = true;
        return;
    }
    running = true;
    do {
        runAgain = false;
        _decide();
    } while (runAgain);
    running = false;
}

void SignInManager::_decide()
{
    // What is sent below may show a box, whose event loop takes reports
    // meanwhile: the state is read where it is used.
    const auto up = [this]() { return isUp(lastState); };
    const auto connected = [this]() { return lastState == libvelcor::StateConnected; };
    if (isDown(lastState))
        found = false;
    if (rises != seenRise) {
        seenRise = rises;
        // Before its "start" went, a report is of what the sign-in began
        // from: a found tunnel.
        found = up() && (!signIn || signIn->phase == SignIn::Asked);
    }
    if (signIn && signIn->phase == SignIn::Started && up() && rises > signIn->startRise)
        signIn->phase = SignIn::Up;
    // Each rise is asked about anew: the tunnel may lead elsewhere.
    if (signIn && signIn->phase == SignIn::Up && signIn->portalRise != rises) {
        signIn->portalRise = rises;
        signIn->portal = Portal::Unknown;
        signIn->noPortal.clear();
        signIn->askAgain = false;
    }
    _startRequests();
    if (stopOwed) {
        stopOwed = false;
        emit actionRequest(QStringLiteral("stop"), libvelcor::Params());
    }
    while (!startsNotSent.isEmpty()) {
        const QString reason = startsNotSent.takeFirst();
        // A sign-in still waiting for its own "start" did not send this one.
        if (signIn && signIn->phase != SignIn::Asked)
            _endSignIn("its \"start\" could not be sent");
        _signInFailed(tr("Cannot sign in: the local service cannot be reached"), reason);
    }
    if (signIn) {
        SignIn& s = *signIn;
        for (; s.signOuts > 0; --s.signOuts)
            _signOut(s);
        if (s.stopAgain) {
            s.stopAgain = false;
            if (s.phase == SignIn::Stopped)
                emit actionRequest(QStringLiteral("stop"), libvelcor::Params());
        }
        // Without the web login the portal never comes and the window has
        // nothing to sign out with: the tunnel goes down, back to sign-in.
        // A login again after a reconnection leaves the session it renews.
        if (s.loginFailed) {
            s.loginFailed = false;
            if (s.phase == SignIn::Up && !s.loggedIn)
                _stop("the login failed");
        }
        if (s.logoutEnded && s.phase == SignIn::LoggingOut)
            _stop(s.logoutEnded);
        s.logoutEnded = nullptr;
        // Its tunnel is over: an idle reported after its "start" went; once
        // stopped, idle as far as the service has said (a service that has
        // not acted on the "start" reports nothing more). An error, or a
        // lost service, is not an end.
        const bool idle = lastState == libvelcor::StateIdle;
        if (s.phase == SignIn::Stopped ? idle || lastState == -1 || s.startedAt < 0
                                       : idle && s.startedAt >= 0 && reports > s.startedAt)
            _endSignIn("its tunnel is over");
    }
    // What the service and the web session answered, in the record. The
    // configuration first: the login's answer counts at its server only.
    while (!answers.isEmpty())
        _takeAnswer(answers.takeFirst());
    _takeLogin();
    _takeChangedPassword();
    if (signIn && signIn->phase == SignIn::LoggingOut) {
        // The logout goes through the tunnel, to its server: not while it
        // is away or leads elsewhere; once a change under way has its
        // answer, the user's new password.
        if (!connected() || !_atItsServer()) {
            _stop("the tunnel is not connected to its server");
        } else if (signIn->web == Web::None) {
            signIn->web = Web::Logout;
            if (lodestarApi->logout() != 0) {
                signIn->web = Web::None;
                _stop("the logout could not be sent");
            }
        }
    }
    // What the web session sends with the user's name or password goes
    // through the tunnel to its server: not through the next tunnel.
    if (signIn && !connected() && (signIn->web == Web::Login || signIn->web == Web::Change)) {
        LOG_DEBUG << "[ApiManager] Web request dropped: the tunnel is not connected";
        _dropWebRequest();
    }
    if (signIn && !connected() && signIn->logos != Logos::None) {
        LOG_DEBUG << "[ApiManager] Logos dropped: the tunnel is not connected";
        networkManager->dropQuietDownloads();
        signIn->logos = Logos::None;
    }
    _takeChanges();
    const bool active = signIn && signIn->phase == SignIn::Up && signIn->managed;
    // One configuration request at a time: its answer is the asking
    // sign-in's, for the rise it was asked at; one that came too late is
    // asked again.
    if (active && up() && retrievalFor == 0 && (signIn->askedAt != rises || signIn->askAgain)) {
        signIn->askedAt = rises;
        retrievalFor = signIn->number;
        retrievalAt = rises;
        LOG_DEBUG << "[ApiManager] Retrieving LS config from Connect Service";
        setupApi->configRetrieve();
    }
    // Each report of "connected" logs in again, after a delay.
    if (active && connected() && signIn->armedAt != connectedReports) {
        signIn->armedAt = connectedReports;
        loginTimer.start(loginDelay);
    }
    // On its fallback connection the server is reached at the fallback
    // address that its configuration named: none named, nobody to log in to.
    if (signIn && signIn->portal == Portal::Named && isFallback &&
        signIn->server.fallback.isEmpty())
        _noPortal(tr("No portal comes for this connection: the local service runs it on its "
                     "fallback connection, for which its configuration names no management "
                     "server. Sign out and in again to try again."));
    _fetchLogos();
    _login();
    // Once, from what was decided: a later sign-in in place of one lasts on.
    _show();
}

void SignInManager::_startRequests()
{
    // Whose each connect request is: the sign-in's that lasts when of its
    // credential, before its sign-out; else a later sign-in's, which ends
    // it: what it waited for (its configuration, its login, its logout) is
    // not the later one's.
    for (int i = 0; i < starts.size(); ++i) {
        if (starts.at(i).signIn != 0)
            continue;
        const int number = starts.at(i).credential.number;
        if (!goesOn() || signIn->credential != number) {
            if (signIn)
                _endSignIn("a later sign-in came");
            signIn.emplace(++lastSignIn, number, auth, starts.at(i).managed);
        }
        if (i < starts.size())
            starts[i].signIn = signIn->number;
    }
    // A "start" without its own sign-in's credential at the service would
    // connect with whatever the service still holds, another sign-in's.
    while (!starts.isEmpty() && starts.first().due) {
        const StartRequest r = starts.first();
        const Credential& c = r.credential;
        // Its sign-in is over (an idle came before it was due): the tunnel
        // it would raise is nobody's.
        if (!signIn || signIn->number != r.signIn) {
            starts.removeFirst();
            LOG_NOTICE << "[ApiManager] Start dropped: its sign-in has ended";
            continue;
        }
        if (c.number == 0) {
            // No caller connects before it handed over a credential.
            starts.removeFirst();
            LOG_ERROR << "[ApiManager] Start dropped: no credential was handed over";
            _endSignIn("no credential was given");
            _signInFailed(tr("Cannot sign in: no credential was given"), QString());
            continue;
        }
        if (!c.answered)
            return; // _credentialSent runs again
        starts.removeFirst();
        // The connection that took the credential has failed since: the
        // service met next (a restarted one) need not hold it. A failure is
        // known here from its report, or at once from the library's reason.
        const bool lost = c.result == libvelcor::Api::ResultOk &&
                          (c.failures != connectionFailures || !authApi->problem().isEmpty());
        if (c.result == libvelcor::Api::ResultOk && !lost) {
            // From now on an end that the service reports is this sign-in's.
            if (signIn->phase == SignIn::Asked) {
                signIn->phase = SignIn::Started;
                signIn->startedAt = reports;
                signIn->startRise = rises;
            }
            emit actionRequest(QStringLiteral("start"), libvelcor::Params());
            continue;
        }
        LOG_DEBUG << "[ApiManager] Start dropped: the credential is not at the service";
        // The other connect requests of this sign-in end with it, in one box.
        for (int i = starts.size() - 1; i >= 0; --i)
            if (starts.at(i).credential.number == c.number)
                starts.removeAt(i);
        _endSignIn("its credential is not at the service");
        _credentialFailed(c, lost);
    }
}

void SignInManager::_signOut(SignIn& s)
{
    const int bound = isQuitting ? QuitLogoutMs : signOutDelay;
    switch (s.phase) {
    case SignIn::Asked:
    case SignIn::Started:
    case SignIn::Up:
        // Logged in, it logs out first, within its bound; a login again
        // under way renews nothing now.
        if (s.loggedIn) {
            s.phase = SignIn::LoggingOut;
            s.loginDue = false;
            loginTimer.stop();
            signOutTimer.start(bound);
            if (s.web == Web::Login)
                _dropWebRequest();
        } else {
            _stop("the user signed out");
        }
        break;
    case SignIn::LoggingOut:
        // The portal's own sign-out comes back here meanwhile: the logout
        // goes on, within its bound; quitting shortens it.
        if (isQuitting && signOutTimer.remainingTime() > bound)
            signOutTimer.start(bound);
        break;
    case SignIn::Stopped:
        // Said again: the service may not have taken the first.
        emit actionRequest(QStringLiteral("stop"), libvelcor::Params());
        break;
    }
}

void SignInManager::_endSignIn(const char* why)
{
    LOG_DEBUG << "[ApiManager] Sign-in " << signIn->number << " ended: " << why;
    // The web session is the sign-in's: it ends here, at the client. Its
    // requests (a login, a logout, a password change, the logos) would
    // answer for nothing that lasts: a failed login would stop whatever
    // tunnel is up by then, a changed password become a later sign-in's.
    _closeWebSession();
    signIn.reset();
    loginTimer.stop();
    signOutTimer.stop();
}

void SignInManager::_stop(const char* why)
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

void SignInManager::_show()
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
    const bool out = lasts() && !goesOn();
    if (out != shownSigningOut) {
        shownSigningOut = out;
        emit signingOut(out);
    }
    const bool lasting = signIn.has_value();
    if (lasting != shownLasts) {
        shownLasts = lasting;
        emit signInLasts(lasting);
    }
}

void SignInManager::_signInFailed(const QString& text, const QString& reason)
{
    emit error(libvelcor::Error(libvelcor::Api::ConnectionErrorCode, text, reason));
}

void SignInManager::_credentialFailed(const Credential& c, bool lost)
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

} // namespace ORVO
