#include "mgr/apimanager.h"

#include <QVariantMap>

#include "common/cookiejar.h"
#include "common/log.h"
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

void ApiManager::setDelays(int startMs, int loginMs, int signOutMs)
{
    SignInManager::setDelays(startMs, loginMs, signOutMs);
}

ApiManager::ApiManager(ORVO::NetworkManager* networkManager) : networkManager(networkManager)
{
    LOG_TRACE;
    if (!networkManager) {
        LOG_ERROR;
        return;
    }

    statusApi = new libvelcor::StatusApi();
    connect(statusApi, SIGNAL(gotSettings()), this, SLOT(_gotSettings()));
    connect(statusApi, SIGNAL(error(libvelcor::Error)), this, SIGNAL(error(libvelcor::Error)));
    connect(statusApi, SIGNAL(apiProgress(libvelcor::Progress)), this,
            SIGNAL(progress(libvelcor::Progress)));
    connect(statusApi, SIGNAL(apiFallback(bool)), this, SIGNAL(fallback(bool)));
    connect(statusApi, SIGNAL(apiNeed(QString)), this, SLOT(_statusApiNeed(QString)));

    authApi = new libvelcor::AuthApi();
    connect(authApi, SIGNAL(authSent(libvelcor::Api::ResultCode)), this,
            SLOT(_authApiSent(libvelcor::Api::ResultCode)));

    setupApi = new libvelcor::SetupApi();
    connect(this, SIGNAL(portSupplyApi(int)), setupApi, SLOT(portSupply(int)));
    connect(this, SIGNAL(logPortSupplyApi(int)), setupApi, SLOT(logPortSupply(int)));
    connect(setupApi, SIGNAL(portSent(libvelcor::Api::ResultCode)), this,
            SLOT(_setupApiSent(libvelcor::Api::ResultCode)));
    connect(setupApi, SIGNAL(logPortSent(libvelcor::Api::ResultCode)), this,
            SLOT(_setupApiSent(libvelcor::Api::ResultCode)));

    cloudApi = new libvelcor::CloudApi();
    connect(this, SIGNAL(actionRequest(QString, libvelcor::Params)), cloudApi,
            SLOT(actionRequest(QString, libvelcor::Params)));

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

    // The sign-in: what the service reports and answers, the credentials,
    // the web session's answers; its decisions come back as signals.
    signIns = new SignInManager(authApi, setupApi, lodestarApi, networkManager, this);
    SignInManager* s = signIns;
    connect(statusApi, SIGNAL(apiState(libvelcor::State)), s,
            SLOT(_statusApiState(libvelcor::State)));
    connect(statusApi, SIGNAL(error(libvelcor::Error)), s,
            SLOT(_connectionError(libvelcor::Error)));
    connect(this, SIGNAL(authSupply(libvelcor::Auth)), s, SLOT(_handOver(libvelcor::Auth)));
    connect(authApi, SIGNAL(credentialSent(int, libvelcor::Api::ResultCode)), s,
            SLOT(_credentialSent(int, libvelcor::Api::ResultCode)));
    connect(setupApi, SIGNAL(configReceived(libvelcor::Api::ResultCode, QVariant)), s,
            SLOT(_setupApiReceived(libvelcor::Api::ResultCode, QVariant)));
    connect(cloudApi, SIGNAL(actionNotSent(QString, QString)), s,
            SLOT(_actionNotSent(QString, QString)));
    // A credential reaches the service and the web client before the
    // sign-in takes it.
    connect(this, SIGNAL(authSupply(libvelcor::Auth)), lodestarApi,
            SLOT(_authReceived(libvelcor::Auth)));
    connect(this, SIGNAL(authSupply(libvelcor::Auth)), s, SLOT(_authReceive(libvelcor::Auth)));
    connect(this, SIGNAL(changePassword(QString)), s, SLOT(_changePassword(QString)));
    // The changed password becomes the sign-in's credential before anyone
    // hears of it, so a later login uses it.
    connect(lodestarApi, SIGNAL(authChanged(libvelcor::Auth)), s,
            SLOT(_authChanged(libvelcor::Auth)));
    connect(lodestarApi, SIGNAL(authChanged(libvelcor::Auth)), this,
            SIGNAL(authChanged(libvelcor::Auth)));
    connect(lodestarApi, SIGNAL(loggedIn()), s, SLOT(_loggedIn()));
    connect(lodestarApi, SIGNAL(loggedOut()), s, SLOT(_loggedOut()));
    // The error is reported before the sign-in hears of it.
    connect(lodestarApi, SIGNAL(error(libvelcor::Error)), this, SIGNAL(error(libvelcor::Error)));
    connect(lodestarApi, SIGNAL(error(libvelcor::Error)), s, SLOT(_webError(libvelcor::Error)));
    connect(this, SIGNAL(fallback(bool)), s, SLOT(_gotFallback(bool)));
    connect(this, SIGNAL(serverAddrSupply(QString, QString)), s,
            SLOT(_gotServerAddr(QString, QString)));
    connect(networkManager, SIGNAL(finished(QString)), s, SLOT(_downloadFinished(QString)));
    connect(s, SIGNAL(stateChanged(libvelcor::State)), this,
            SIGNAL(stateChanged(libvelcor::State)));
    connect(s, SIGNAL(loggedIn()), this, SIGNAL(loggedIn()));
    connect(s, SIGNAL(serverConfigSupply(QVariant)), this, SIGNAL(serverConfigSupply(QVariant)));
    connect(s, SIGNAL(error(libvelcor::Error)), this, SIGNAL(error(libvelcor::Error)));
    connect(s, SIGNAL(actionRequest(QString, libvelcor::Params)), this,
            SIGNAL(actionRequest(QString, libvelcor::Params)));
    connect(s, SIGNAL(plainConnection(bool, QString)), this,
            SIGNAL(plainConnection(bool, QString)));
    connect(s, SIGNAL(signInLasts(bool)), this, SIGNAL(signInLasts(bool)));
    connect(s, SIGNAL(signingOut(bool)), this, SIGNAL(signingOut(bool)));

    valid = true;
}

ApiManager::~ApiManager()
{
    LOG_TRACE;
    // First: its web session and timers refer to the objects below.
    delete signIns;
    signIns = nullptr;
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
    signIns->connectRequest(setupEnabled);
}

void ApiManager::_sigContinue()
{
    signIns->continueRequest();
}

void ApiManager::_sigCancel()
{
    signIns->cancelRequest();
}

void ApiManager::_sigDisconnect()
{
    signIns->disconnectRequest();
}

void ApiManager::_closeReceive()
{
    LOG_TRACE;
    signIns->quitting();
}

void ApiManager::_syncRoutes(QStringList endpoints)
{
    LOG_TRACE;
    libvelcor::Params params;
    params.append(qMakePair(QStringLiteral("ips"), endpoints.join(QLatin1Char(','))));
    emit actionRequest(QStringLiteral("syncRoutes"), params);
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
    if (signIns)
        signIns->_newSession();
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

} // namespace ORVO
