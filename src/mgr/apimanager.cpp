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

} // namespace

const char* const ApiManager::LogoPath =
    "/toscawidgets/resources/corvane.access.web/static/images/login/logo.png";
const char* const ApiManager::LogoSmallPath =
    "/toscawidgets/resources/corvane.access.web/static/images/login/logo-small.png";

ApiManager::ApiManager(ORVO::NetworkManager* networkManager) : networkManager(networkManager)
{
    LOG_TRACE;
    clock.start();
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
    connect(this, SIGNAL(authChanged(libvelcor::Auth)), this, SLOT(_handOver(libvelcor::Auth)));
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
    connect(this, SIGNAL(changePassword(QString)), lodestarApi, SLOT(changePassword(QString)));
    // The changed password becomes this object's credential before anyone
    // hears of it, so a later login uses it.
    connect(lodestarApi, SIGNAL(authChanged(libvelcor::Auth)), this,
            SLOT(_authReceive(libvelcor::Auth)));
    connect(lodestarApi, SIGNAL(authChanged(libvelcor::Auth)), this,
            SIGNAL(authChanged(libvelcor::Auth)));
    connect(lodestarApi, SIGNAL(loggedIn()), this, SLOT(_loggedIn()));
    connect(lodestarApi, SIGNAL(loggedIn()), this, SIGNAL(loggedIn()));
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
    // What an earlier sign-in waits for (its login, its configuration) is
    // not this one's.
    ++disconnectGeneration;
    loginOwed = false;
    retrievalWanted = false;
    // The sign-in's credential went out just before its connect request. A
    // waiting "start" of an earlier sign-in would go with this one's
    // credential: this request takes its place. Requests of the same
    // credential each send their own.
    for (int i = starts.size() - 1; i >= 0; --i) {
        if (starts.at(i).credential.number != credential.number) {
            LOG_DEBUG << "[ApiManager] Start dropped: a later sign-in's connect request came";
            starts.removeAt(i);
        }
    }
    StartRequest request;
    request.id = ++lastStartId;
    request.credential = credential;
    starts.append(request);
    const quint64 id = request.id;
    QTimer::singleShot(StartDelayMs, this, [this, id]() {
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
        if (c.number == 0) {
            // No caller connects before it handed over a credential.
            starts.removeFirst();
            LOG_ERROR << "[ApiManager] Start dropped: no credential was handed over";
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
            signedIn = true;
            emit actionRequest(QStringLiteral("start"), libvelcor::Params());
            continue;
        }
        LOG_DEBUG << "[ApiManager] Start dropped: the credential is not at the service";
        // The other connect requests of this sign-in end with it, in one box.
        for (int i = starts.size() - 1; i >= 0; --i)
            if (starts.at(i).credential.number == c.number)
                starts.removeAt(i);
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
    const bool up = st == libvelcor::StateReconnecting || st == libvelcor::StateConnected;
    // The first report counts as a rise too: a client started while the
    // tunnel is already up needs the server configuration all the same.
    const bool wasDown = lastState == -1 || lastState == libvelcor::StateIdle ||
                         lastState == libvelcor::StateError ||
                         lastState == libvelcor::StateConnecting;
    // A tunnel that no sign-in of this client started (one the service kept
    // while the client restarted) is shown as a plain connection: no
    // credential of the user's is known for it, so it is never logged in to.
    if (up && wasDown && !signedIn && !plain) {
        plain = true;
        emit plainConnection(true);
    } else if (!up && plain) {
        plain = false;
        emit plainConnection(false);
    }
    if (up && setupEnabled && signedIn && wasDown)
        _retrieveConfig();
    if (st == libvelcor::StateConnected && setupEnabled && signedIn) {
        const quint64 generation = disconnectGeneration;
        QTimer::singleShot(LoginDelayMs, this, [this, generation]() {
            if (generation != disconnectGeneration) {
                LOG_DEBUG << "[ApiManager] Login dropped: disconnected meanwhile";
                return;
            }
            _loginDelayed();
        });
    }
    lastState = st;
    emit stateChanged(st);
}

void ApiManager::_loginDelayed()
{
    LOG_TRACE;
    // Only a connection that is still up logs in, and only to the server
    // that its configuration named.
    loginOwed = false;
    if (lastState != libvelcor::StateConnected || !setupEnabled) {
        LOG_DEBUG << "[ApiManager] Login dropped: no longer connected";
        return;
    }
    // A configuration slower than the delay: the login follows it.
    if (plain)
        return;
    loginOwed = addr.isEmpty();
    if (loginOwed) {
        LOG_DEBUG << "[ApiManager] Login waits: no configuration has named a management server";
        return;
    }
    lodestarApi->login(auth.getUser(), auth.getPass());
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

void ApiManager::_retrieveConfig()
{
    // One at a time: the answer is the asking sign-in's, whatever the
    // service answers first.
    if (retrievalOpen) {
        retrievalWanted = true;
        return;
    }
    LOG_DEBUG << "[ApiManager] Retrieving LS config from Connect Service";
    retrievalOpen = true;
    retrievalFor = disconnectGeneration;
    setupApi->configRetrieve();
}

void ApiManager::_setupApiReceived(libvelcor::Api::ResultCode rc, QVariant config)
{
    retrievalOpen = false;
    const bool earlier = retrievalFor != disconnectGeneration;
    if (retrievalWanted) {
        retrievalWanted = false;
        if (setupEnabled && signedIn &&
            (lastState == libvelcor::StateReconnecting || lastState == libvelcor::StateConnected))
            _retrieveConfig();
    }
    // It names no server of this sign-in's.
    if (earlier) {
        LOG_DEBUG << "[ApiManager] Configuration of an earlier sign-in dropped";
        return;
    }
    // Without a management server to log in to, the connection is shown as
    // a plain one, which the user can end.
    const QVariantMap server = config.toMap().value(QStringLiteral("server")).toMap();
    const bool named = rc == libvelcor::Api::ResultOk &&
                       !server.value(QStringLiteral("openvpn_internal_ip")).isNull();
    if (!named && !plain && lastState == libvelcor::StateConnected) {
        plain = true;
        loginOwed = false;
        emit plainConnection(true);
    }
    if (rc != libvelcor::Api::ResultOk) {
        LOG_ERROR;
        return;
    }
    if (config.isNull())
        return;
    LOG_DEBUG << "[ApiManager] Received config: " << config;
    emit serverConfigSupply(config);
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
    if (loginOwed && !addr.isEmpty())
        _loginDelayed();
}

void ApiManager::_authReceive(libvelcor::Auth newAuth)
{
    // The proxy credential never signs in to the management server.
    if (newAuth.getId() != libvelcor::Auth::ProfileId)
        return;
    auth = newAuth;
}

void ApiManager::_sigDisconnect()
{
    LOG_TRACE;
    // A login or a "start" still waiting belongs to the connection that is
    // going away.
    ++disconnectGeneration;
    starts.clear();
    loginOwed = false;
    retrievalWanted = false;
    signedIn = false;
    if (setupEnabled && isLoggedIn) {
        logoutPending = true;
        if (lodestarApi->logout() != 0) {
            _finishLogout(); // nothing could be sent: sign out locally
            return;
        }
        if (quitting)
            QTimer::singleShot(QuitLogoutMs, this, SLOT(_quitLogoutExpired()));
        return;
    }
    // A login still in flight would otherwise fail or succeed later, on
    // behalf of a connection that is gone.
    if (lodestarApi->currentOp() == LodestarApi::OpLogin)
        lodestarApi->reset();
    emit actionRequest(QStringLiteral("stop"), libvelcor::Params());
}

void ApiManager::_loggedIn()
{
    LOG_TRACE;
    isLoggedIn = true;
    if (setupEnabled)
        _downloadLogo();
}

void ApiManager::_loggedOut()
{
    LOG_TRACE;
    _finishLogout();
}

void ApiManager::_lodestarError(libvelcor::Error err)
{
    Q_UNUSED(err);
    if (lodestarApi->currentOp() == LodestarApi::OpLogin && !isLoggedIn && !logoutPending) {
        // Without the web login the portal never comes and the window has
        // nothing to sign out with: the tunnel goes down, back to sign-in.
        LOG_DEBUG << "[ApiManager] Login failed: stopping the connection";
        _sigDisconnect();
        return;
    }
    if (!logoutPending || lodestarApi->currentOp() != LodestarApi::OpLogout)
        return;
    LOG_DEBUG << "[ApiManager] Logout failed: signing out locally";
    _finishLogout();
}

void ApiManager::_closeReceive()
{
    LOG_TRACE;
    quitting = true;
}

void ApiManager::_quitLogoutExpired()
{
    if (!logoutPending)
        return;
    LOG_DEBUG << "[ApiManager] Logout still pending at quit: signing out locally";
    _finishLogout();
}

void ApiManager::_finishLogout()
{
    logoutPending = false;
    isLoggedIn = false;
    lodestarApi->reset();
    networkManager->reset();
    emit actionRequest(QStringLiteral("stop"), libvelcor::Params());
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
