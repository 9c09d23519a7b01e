#include "mgr/manager.h"

#include <QNetworkCookieJar>
#include <QUrl>

#include "common/cookiejar.h"
#include "common/log.h"
#include "common/plugininterfaces.h"
#include "mgr/apimanager.h"

namespace ORVO {

namespace {

libvelcor::Auth emptyAuth(libvelcor::Auth::Id id)
{
    return libvelcor::Auth(id, libvelcor::Auth::NoneType, QString(""), QString(""), QString(""),
                           QString(""));
}

QObject* objectProperty(const QObject* object, const char* name)
{
    return object ? qvariant_cast<QObject*>(object->property(name)) : nullptr;
}

} // namespace

Manager::Manager(ORVO::Config* cfg) : config(cfg)
{
    LOG_TRACE;
    processManager = new ProcessManager();
    if (processManager->isValid()) {
        networkManager = new NetworkManager(processManager);
        if (networkManager->isValid()) {
            apiManager = new ApiManager(networkManager);
            if (apiManager->isValid()) {
                valid = true;
                return;
            }
            errorText = apiManager->errorText();
        }
    }
    LOG_ERROR;
    delete apiManager;
    apiManager = nullptr;
    delete networkManager;
    networkManager = nullptr;
    delete processManager;
    processManager = nullptr;
}

Manager::~Manager()
{
    LOG_TRACE;
    // The portal plugin lives on after Manager, and with Manager goes the
    // network manager that owns the program's cookie jar: the portal is
    // handed a jar of its own (an empty one, owned by the plugin object) so
    // it never reaches the deleted one.
    if (ConfigGfxPluginInterface* iface = qobject_cast<ConfigGfxPluginInterface*>(portal.data()))
        iface->setCookieJar(new ORVO::CookieJar(portal.data()));
    delete apiManager;
    apiManager = nullptr;
    delete networkManager;
    networkManager = nullptr;
    delete processManager;
    processManager = nullptr;
}

int Manager::run()
{
    _setup();
    return 0;
}

int Manager::_setup()
{
    LOG_TRACE;
    if (!gui || !apiManager) {
        LOG_ERROR;
        return 0;
    }
    if (wired) {
        LOG_ERROR;
        return 0;
    }
    wired = true;

    // Group A: every mode.
    connect(gui, SIGNAL(sigConnect()), this, SIGNAL(sigConnect()));
    connect(this, SIGNAL(sigConnect()), apiManager, SLOT(_sigConnect()));
    connect(gui, SIGNAL(sigDisconnect()), this, SLOT(_sigDisconnect()));
    // Every sign-out (the portal's, the service's error too) closes the
    // session's boxes at once, before the service hears of it; the GUI's own
    // sign-out has closed them already, and a second call finds none.
    connect(this, SIGNAL(sigDisconnect()), gui, SLOT(_sessionEnded()));
    connect(this, SIGNAL(sigDisconnect()), apiManager, SLOT(_sigDisconnect()));
    connect(this, SIGNAL(serverIdSupply(QUuid)), processManager, SLOT(gotServerId(QUuid)));
    connect(gui, SIGNAL(startAction(QVariantMap)), this, SLOT(_actionPerform(QVariantMap)));
    connect(apiManager, SIGNAL(actionPerform(QString, libvelcor::Params)), this,
            SLOT(_actionPerformRemap(QString, libvelcor::Params)));
    connect(this, SIGNAL(requestAction(QVariantMap)), gui, SLOT(_requestAction(QVariantMap)));
    connect(processManager, SIGNAL(chooseOpenFile(QString)), gui, SIGNAL(chooseOpenFile(QString)));
    connect(gui, SIGNAL(chosenOpenFile(QString)), processManager, SLOT(chosenOpenFile(QString)));
    connect(gui, SIGNAL(startDownload(QString, QString)), this,
            SLOT(_startDownload(QString, QString)));
    connect(networkManager, SIGNAL(queryDownloadTarget(QString, QString)), gui,
            SIGNAL(queryDownloadTarget(QString, QString)));
    connect(this, SIGNAL(authSupply(libvelcor::Auth)), networkManager,
            SLOT(gotAuth(libvelcor::Auth)));
    connect(this, SIGNAL(authChanged(libvelcor::Auth)), networkManager,
            SLOT(gotAuth(libvelcor::Auth)));
    connect(this, SIGNAL(serverAddrSupply(QString, QString)), networkManager,
            SLOT(gotServerAddr(QString, QString)));
    connect(apiManager, SIGNAL(plainConnection(bool, QString)), this,
            SIGNAL(plainConnection(bool, QString)));
    connect(this, SIGNAL(plainConnection(bool, QString)), gui,
            SIGNAL(plainConnection(bool, QString)));
    connect(apiManager, SIGNAL(signInLasts(bool)), this, SLOT(_signInLasts(bool)));
    connect(apiManager, SIGNAL(signInLasts(bool)), this, SIGNAL(signInLasts(bool)));
    connect(this, SIGNAL(signInLasts(bool)), gui, SIGNAL(signInLasts(bool)));
    connect(apiManager, SIGNAL(signingOut(bool)), this, SIGNAL(signingOut(bool)));
    connect(this, SIGNAL(signingOut(bool)), gui, SIGNAL(signingOut(bool)));
    connect(apiManager, SIGNAL(stateChanged(libvelcor::State)), this,
            SIGNAL(stateChanged(libvelcor::State)));
    connect(apiManager, SIGNAL(stateChanged(libvelcor::State)), this,
            SLOT(_stateReceive(libvelcor::State)));
    connect(this, SIGNAL(stateChanged(libvelcor::State)), gui,
            SIGNAL(stateChanged(libvelcor::State)));
    connect(apiManager, SIGNAL(loggedIn()), gui, SIGNAL(loggedIn()));
    connect(apiManager, SIGNAL(progress(libvelcor::Progress)), gui,
            SIGNAL(progress(libvelcor::Progress)));
    connect(this, SIGNAL(authChanged(libvelcor::Auth)), gui,
            SLOT(_gotAuthChanged(libvelcor::Auth)));
    connect(this, SIGNAL(serverAddrSupply(QString, QString)), apiManager,
            SIGNAL(serverAddrSupply(QString, QString)));
    connect(gui, SIGNAL(authSupply(libvelcor::Auth)), this, SLOT(_authReceive(libvelcor::Auth)));
    connect(this, SIGNAL(authSupply(libvelcor::Auth)), apiManager,
            SIGNAL(authSupply(libvelcor::Auth)));
    // The changed credential is stored before the relay reaches anyone.
    connect(apiManager, SIGNAL(authChanged(libvelcor::Auth)), this,
            SLOT(_authChangedReceive(libvelcor::Auth)));
    connect(apiManager, SIGNAL(authChanged(libvelcor::Auth)), this,
            SIGNAL(authChanged(libvelcor::Auth)));
    connect(gui, SIGNAL(logPortSupply(int)), apiManager, SIGNAL(logPortSupplyApi(int)));
    connect(gui, SIGNAL(configSupply(QVariant)), this, SIGNAL(configSupply(QVariant)));
    connect(gui, SIGNAL(securitySupply(QVariant)), this, SLOT(_securityReceive(QVariant)));
    connect(gui, SIGNAL(logVerbosityChanged(ORVO::Verbosity)), this,
            SLOT(_logVerbosityChanged(ORVO::Verbosity)));
    connect(this, SIGNAL(configSupply(QVariant)), apiManager, SIGNAL(configSupply(QVariant)));
    connect(this, SIGNAL(configSupplyInt(QVariant)), gui, SIGNAL(configSupplyInt(QVariant)));
    connect(apiManager, SIGNAL(authRequired(libvelcor::Auth::Id)), gui,
            SIGNAL(authRequired(libvelcor::Auth::Id)));
    connect(apiManager, SIGNAL(serverConfigSupply(QVariant)), this,
            SLOT(_serverConfigReceive(QVariant)));
    connect(this, SIGNAL(sigConnect()), this, SLOT(_connectRequested()));
    connect(this, SIGNAL(sigContinue()), apiManager, SLOT(_sigContinue()));
    connect(this, SIGNAL(sigCancel()), apiManager, SLOT(_sigCancel()));

    const bool withGui = gui->property("withGui").toBool();
    const bool minimal = gui->property("minimal").toBool();
    if (withGui && !minimal) {
        QObject* mainWindow = objectProperty(gui, "mainWindow");

        // Group B: the portal plugin.
        QObject* configPlugin = objectProperty(mainWindow, "configPlugin");
        ConfigGfxPluginInterface* configIface =
            qobject_cast<ConfigGfxPluginInterface*>(configPlugin);
        if (configIface) {
            configIface->setCookieJar(networkManager->getCookieJar());
            portal = configPlugin;
            connect(this, SIGNAL(authSupply(libvelcor::Auth)), configPlugin,
                    SLOT(gotAuth(libvelcor::Auth)));
            connect(this, SIGNAL(authChanged(libvelcor::Auth)), configPlugin,
                    SLOT(gotAuth(libvelcor::Auth)));
            connect(this, SIGNAL(pagesSupply(QVariantMap)), configPlugin,
                    SLOT(gotPages(QVariantMap)));
            connect(this, SIGNAL(serverIdSupply(QUuid)), configPlugin, SLOT(gotServerId(QUuid)));
            connect(this, SIGNAL(serverAddrSupply(QString, QString)), configPlugin,
                    SLOT(gotServerAddr(QString, QString)));
            connect(apiManager, SIGNAL(fallback(bool)), configPlugin, SLOT(gotFallback(bool)));
            connect(configPlugin, SIGNAL(syncRoutes(QStringList)), apiManager,
                    SLOT(_syncRoutes(QStringList)));
            connect(configPlugin, SIGNAL(changePassword(QString)), apiManager,
                    SIGNAL(changePassword(QString)));
            connect(configPlugin, SIGNAL(loadStarted()), gui, SIGNAL(loadStarted()));
            connect(configPlugin, SIGNAL(loadFinished()), gui, SIGNAL(loadFinished()));
            connect(configPlugin, SIGNAL(sigDisconnect()), this, SLOT(_sigDisconnect()));
            connect(this, SIGNAL(sigDisconnect()), configPlugin, SLOT(onDisconnect()));
        } else if (configPlugin) {
            LOG_ERROR << "[Manager] The portal plugin is not a ConfigGfxPluginInterface: not wired";
        }
    }
    if (withGui) {
        // Group C: the login plugin. Tray-only mode too: without a system
        // tray its sign-in window stays up while connected, and its form must
        // show the connection's state as the full window's does.
        QObject* loginPlugin = objectProperty(objectProperty(gui, "mainWindow"), "loginPlugin");
        if (loginPlugin) {
            connect(this, SIGNAL(sigDisconnect()), loginPlugin, SIGNAL(sigDisconnect()));
            connect(this, SIGNAL(stateChanged(libvelcor::State)), loginPlugin,
                    SIGNAL(stateChanged(libvelcor::State)));
        }
    }

    // Group D: every mode.
    connect(networkManager, SIGNAL(sigError(ORVO::NetworkManager::Error, QString)), this,
            SLOT(_netError(ORVO::NetworkManager::Error, QString)));
    connect(processManager, SIGNAL(sigError(ORVO::ProcessManager::Error, QString)), this,
            SLOT(_processError(ORVO::ProcessManager::Error, QString)));
    connect(apiManager, SIGNAL(error(libvelcor::Error)), this, SLOT(_apiError(libvelcor::Error)));
    connect(this, SIGNAL(sigError(ORVO::Module, QString, QString)), gui,
            SLOT(_gotError(ORVO::Module, QString, QString)));
    connect(this, SIGNAL(sigQuery(int, QString)), gui, SLOT(_gotQuery(int, QString)));
    connect(gui, SIGNAL(sigQueryResponse(int, bool)), this, SLOT(_gotQueryResponse(int, bool)));
    connect(gui, SIGNAL(close()), this, SIGNAL(close()));
    connect(this, SIGNAL(close()), apiManager, SLOT(_closeReceive()));
    return 0;
}

void Manager::_test()
{
    LOG_TRACE;
    LOG_DEBUG << "[Manager] test: debug";
    LOG_NOTICE << "[Manager] test: notice";
    LOG_ERROR << "[Manager] test: error";
}

void Manager::_emitFragment(const QVariantMap& fragment)
{
    const QVariant value(fragment);
    emit configSupply(value);
    emit configSupplyInt(value);
}

// ---- configuration map and credentials ------------------------------------

int Manager::_clearConfig()
{
    QVariantMap setup;
    setup.insert(QStringLiteral("enabled"), QStringLiteral("true"));
    QVariantMap vpn;
    vpn.insert(QStringLiteral("conf"), QStringLiteral("openvpn.conf"));
    vpn.insert(QStringLiteral("fallback_conf"), QStringLiteral("openvpn-fallback.conf"));
    vpn.insert(QStringLiteral("args"), QString(""));
    QVariantMap init;
    init.insert(QStringLiteral("verify_ca"), true);
    init.insert(QStringLiteral("ca"), QString(""));
    QVariantMap op;
    op.insert(QStringLiteral("auth"), QStringLiteral("user-pass"));
    QVariantMap ssl;
    ssl.insert(QStringLiteral("init"), init);
    ssl.insert(QStringLiteral("op"), op);
    QVariantMap map;
    map.insert(QStringLiteral("setup"), setup);
    map.insert(QStringLiteral("vpn"), vpn);
    map.insert(QStringLiteral("ssl"), ssl);
    LOG_DEBUG << "[Manager] config: " << map;
    _emitFragment(map);
    return 0;
}

void Manager::_resetOrOwe()
{
    // A failure while the user's sign-in lasts is its stumble: the service
    // goes on, or retries the tunnel, with the sign-in's profile, which it
    // keeps until the sign-in ends, and is reset then. Resetting it now
    // would have the retry connect somewhere else, and the sign-in log in
    // there.
    if (apiManager->isSignInLasting())
        resetOwed = true;
    else
        _clear();
}

int Manager::_clear()
{
    LOG_TRACE;
    _clearConfig();
    // The sign-in is over, and with it any question about its attempt. The
    // proxy credential is a setting of the user's, not the sign-in's: it is
    // kept, and never replaced at the service by an empty one.
    profileAuth = emptyAuth(libvelcor::Auth::ProfileId);
    profileGiven = false;
    questionOpen = false;
    resetOwed = false;
    return 0;
}

void Manager::_signInLasts(bool lasts)
{
    if (!lasts && resetOwed)
        _clear();
}

void Manager::_authReceive(libvelcor::Auth auth)
{
    if (auth.getId() == libvelcor::Auth::ProxyId) {
        proxyAuth = auth;
        proxyGiven = true;
        emit authSupply(auth);
        return;
    }
    if (auth.getId() != libvelcor::Auth::ProfileId)
        return;
    profileAuth = auth;
    profileGiven = true;
    resetOwed = false;
    // The credential goes out before its fragment.
    emit authSupply(auth);
    QVariantMap sslOp;
    if (auth.getType() == libvelcor::Auth::UserPassType)
        sslOp.insert(QStringLiteral("auth"), QStringLiteral("user-pass"));
    else if (auth.getType() != libvelcor::Auth::CertificateType)
        return; // no fragment for other types
    QVariantMap ssl;
    ssl.insert(QStringLiteral("op"), sslOp);
    QVariantMap fragment;
    fragment.insert(QStringLiteral("ssl"), ssl);
    _emitFragment(fragment);
}

void Manager::_authChangedReceive(libvelcor::Auth auth)
{
    // Only while the sign-in's credential is held: a change answered after
    // the sign-out is no credential of a sign-in.
    if (auth.getId() == libvelcor::Auth::ProfileId && profileGiven)
        profileAuth = auth;
}

void Manager::_securityReceive(QVariant config)
{
    const QVariantMap in = config.toMap();
    QVariantMap init;
    if (in.contains(QStringLiteral("serverCertEnabled")))
        init.insert(QStringLiteral("verify_ca"),
                    in.value(QStringLiteral("serverCertEnabled")).toBool());
    if (in.contains(QStringLiteral("serverCertPath")))
        init.insert(QStringLiteral("ca"), in.value(QStringLiteral("serverCertPath")).toString());
    QVariantMap ssl;
    ssl.insert(QStringLiteral("init"), init);
    QVariantMap fragment;
    fragment.insert(QStringLiteral("ssl"), ssl);
    LOG_DEBUG << "[Manager] Received security: " << fragment;
    _emitFragment(fragment);
}

void Manager::_logVerbosityChanged(ORVO::Verbosity verbosity)
{
    QVariantMap log;
    log.insert(QStringLiteral("lev"), ORVO::verbosityToLev(verbosity));
    QVariantMap vpn;
    vpn.insert(QStringLiteral("verb"), ORVO::verbosityToVpnVerb(verbosity));
    QVariantMap fragment;
    fragment.insert(QStringLiteral("log"), log);
    fragment.insert(QStringLiteral("vpn"), vpn);
    // Nothing else in it: that shape marks it for a restarted service.
    _emitFragment(fragment);
}

void Manager::_sigDisconnect()
{
    LOG_TRACE;
    emit authSupply(emptyAuth(libvelcor::Auth::ProfileId));
    _clear();
    emit sigDisconnect();
}

void Manager::_stateReceive(libvelcor::State state)
{
    if (state == libvelcor::StateIdle || state == libvelcor::StateError)
        questionOpen = false;
}

void Manager::_gotQueryResponse(int id, bool ok)
{
    if (id != 0) {
        LOG_ERROR;
        return;
    }
    // An answer given after its attempt ended (reset, sign-out, idle or
    // error) is about nothing that still goes on: it sends nothing.
    if (!questionOpen) {
        LOG_NOTICE << "[Manager] Answer dropped: the attempt it was asked about has ended";
        return;
    }
    // One answer per attempt: other boxes of the same question are late.
    questionOpen = false;
    if (!ok) {
        LOG_DEBUG << "[Manager] Operation cancelled by user";
        _clear();
        // The attempt it was asked about ends as a sign-out would, in the
        // sign-in's record; no credential goes out here.
        emit sigCancel();
        return;
    }
    // Whether the sign-in goes on is its record's to say.
    if (!apiManager->isSignInGoingOn()) {
        LOG_NOTICE << "[Manager] Answer dropped: no sign-in to continue";
        return;
    }
    LOG_DEBUG << "[Manager] User confirmed operation";
    QVariantMap init;
    init.insert(QStringLiteral("verify_ca"), false);
    QVariantMap ssl;
    ssl.insert(QStringLiteral("init"), init);
    QVariantMap fragment;
    fragment.insert(QStringLiteral("ssl"), ssl);
    LOG_DEBUG << "[Manager] config: " << fragment;
    _emitFragment(fragment);
    // Copies: a receiver may change the stored credentials while these go
    // out. The profile credential goes last, so receivers that keep only
    // the latest one end up holding it.
    const libvelcor::Auth proxy = proxyAuth;
    const libvelcor::Auth profile = profileAuth;
    if (proxyGiven)
        emit authSupply(proxy);
    emit authSupply(profile);
    // The same sign-in goes on: its error's reset is owed to its end.
    emit sigContinue();
}

void Manager::_connectRequested()
{
    prevApiCode = -1;
    // No management server until this sign-in's configuration names one:
    // never an earlier sign-in's, for logins, pages or downloads.
    emit serverAddrSupply(QString(), QString());
}

// ---- server configuration -------------------------------------------------

void Manager::_serverConfigReceive(QVariant config)
{
    LOG_DEBUG << "[Manager] Received config: " << config;
    if (config.isNull()) {
        LOG_ERROR;
        return;
    }
    const QVariantMap record = config.toMap();
    const QVariant serverValue = record.value(QStringLiteral("server"));
    if (serverValue.isNull()) {
        LOG_ERROR;
        return;
    }
    const QVariantMap server = serverValue.toMap();
    const QVariant uuid = server.value(QStringLiteral("uuid"));
    if (uuid.isNull()) {
        LOG_ERROR;
        return;
    }
    emit serverIdSupply(QUuid(uuid.toString()));
    const QVariant serverAddr = server.value(QStringLiteral("openvpn_internal_ip"));
    if (serverAddr.isNull()) {
        LOG_ERROR;
        return;
    }
    const QVariant fallback = server.value(QStringLiteral("fallback_openvpn_internal_ip"));
    emit serverAddrSupply(serverAddr.toString(),
                          fallback.isNull() ? QString("") : fallback.toString());
    const QVariant pages = server.value(QStringLiteral("available_pages"));
    if (pages.isNull()) {
        LOG_ERROR;
        return;
    }
    emit pagesSupply(pages.toMap());
}

// ---- actions, downloads and errors ----------------------------------------

void Manager::_actionPerform(QVariantMap data)
{
    const QVariant typeValue = data.value(QStringLiteral("_type"));
    const QString type = typeValue.isNull() ? QStringLiteral("open") : typeValue.toString();
    if (apiManager && sender() == apiManager) {
        // Requests of the local request server wait for the user.
        emit requestAction(data);
        return;
    }
    if (type == QLatin1String("open")) {
        // ProcessManager tells its own failures; -1 is also a program it
        // asked the user to locate, which has run by now.
        processManager->startAction(data);
    } else if (type == QLatin1String("close")) {
        if (processManager->stopAction(data) != 0)
            LOG_ERROR;
    }
}

void Manager::_actionPerformRemap(QString action, libvelcor::Params params)
{
    LOG_DEBUG << "[Manager] Remapping action: " << action;
    _actionPerform(_actionMap(action, params));
}

QVariantMap Manager::_actionMap(const QString& action, const libvelcor::Params& params)
{
    QVariantMap map;
    map.insert(QStringLiteral("_type"), action);
    static const char* const keys[] = {"name", "endpoint", "remark", "ips", "path", "args"};
    for (const char* key : keys)
        map.insert(QLatin1String(key), libvelcor::paramsFind(params, QLatin1String(key)));
    return map;
}

QString Manager::_fixUrl(const QString& url)
{
    QUrl fixed(url, QUrl::TolerantMode);
    // Work on the encoded path: a decoded one would turn "%2F" into a
    // separator and "%25" into an escape when set back.
    const QString path = fixed.path(QUrl::FullyEncoded);
    if (!path.endsWith(QLatin1Char('/')))
        fixed.setPath(path + QLatin1Char('/'), QUrl::TolerantMode);
    return fixed.toString(QUrl::FullyEncoded);
}

void Manager::_startDownload(QString url, QString target)
{
    if (networkManager->startDownload(_fixUrl(url), target, false) != 0)
        LOG_ERROR;
}

void Manager::_netError(ORVO::NetworkManager::Error err, QString msg)
{
    const QString errStr = NetworkManager::errorString(err);
    LOG_DEBUG << "[Manager] network error: " << int(err) << " (" << errStr << ")";
    _resetOrOwe();
    emit sigError(ORVO::ModuleNetworkManager, errStr, msg);
}

void Manager::_processError(ORVO::ProcessManager::Error err, QString msg)
{
    const QString errStr = ProcessManager::errorString(err);
    LOG_DEBUG << "[Manager] process error: " << int(err) << " " << errStr;
    // A location that could not be stored ends nothing: the program runs.
    if (err != ProcessManager::ErrorNotSaved)
        _resetOrOwe();
    emit sigError(ORVO::ModuleProcessManager, errStr, msg);
}

void Manager::_apiError(libvelcor::Error err)
{
    const int code = err.getCode();
    switch (code) {
    case 100:
    case 200:
        if (code == prevApiCode)
            return;
        prevApiCode = code;
        emit sigError(ORVO::ModuleApiManager, err.getDesc(), err.getExtra());
        // The windows take it for a report of the service's: its question
        // ends with it, as at the service's own report.
        _stateReceive(libvelcor::StateError);
        emit stateChanged(libvelcor::StateError);
        _resetOrOwe();
        return;
    case 201:
        questionOpen = true;
        emit sigQuery(
            0,
            tr("Untrusted Server!") + QStringLiteral(" ") +
                tr("To avoid this warning, add a trusted CA Certificate to the Connection Profile "
                   "or disable server certificate verification (NOT recommended)") +
                QStringLiteral(".\n\n") + tr("Do you still want to continue?"));
        return;
    case 500:
        emit sigError(ORVO::ModuleApiManager, err.getDesc(), err.getExtra());
        _sigDisconnect();
        return;
    case -1:
        return;
    default:
        emit sigError(ORVO::ModuleApiManager, err.getDesc(), err.getExtra());
        _resetOrOwe();
        return;
    }
}

} // namespace ORVO
