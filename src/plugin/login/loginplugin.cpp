#include "plugin/login/loginplugin.h"

#include <QIcon>
#include <QNetworkProxyFactory>
#include <QPalette>
#include <QSettings>
#include <QSignalBlocker>

#include "common/log.h"
#include "common/settingsfile.h"
#include "common/simplecrypt.h"
#include "gui/log/logform.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowpage.h"
#include "libvelcor/proxyfactory.h"
#include "plugin/login/advform.h"
#include "plugin/login/loginform.h"

namespace ORVO {

namespace {

const int DefaultVpnTimeout = 60;
const int DefaultProxyPort = 8080;

const char KeyVpnTimeout[] = "vpnTimeout";
const char KeyLang[] = "lang";
const char KeyProxyEnabled[] = "proxyEnabled";
const char KeyProxyServer[] = "proxyServer";
const char KeyProxyPort[] = "proxyPort";
const char KeyProxyAuthEnabled[] = "proxyAuthEnabled";
const char KeyProxyUser[] = "proxyUser";
const char KeyProxyPass[] = "proxyPass";

const char* boolWord(bool value)
{
    return value ? "true" : "false";
}

ORVO::PluginWindowPage* pageFor(QWidget* widget)
{
    auto* page = new ORVO::PluginWindowPage();
    page->setWidget(widget);
    page->setDecorationTheme(ORVO::PluginWindowPage::WindowDecoration, 0);
    return page;
}

} // namespace

LoginPlugin::LoginPlugin(QObject* parent) : QObject(parent)
{
    LOG_TRACE;
    proxy = QNetworkProxy::applicationProxy();
    settings = new QSettings(ORVO::org(), QLatin1String(ORVO::ApplicationId));
}

LoginPlugin::~LoginPlugin()
{
    LOG_TRACE;
    delete settings;
    settings = nullptr;
}

int LoginPlugin::vpnTimeoutSetting() const
{
    return settings->value(QLatin1String(KeyVpnTimeout), DefaultVpnTimeout).toInt();
}

ORVO::PluginWindow* LoginPlugin::newWindow(const QVariantMap& args)
{
    LOG_TRACE;
    Q_UNUSED(args);
    SimpleCrypt crypt(ScramblerKey);

    // The old window takes its forms and pages along; the extra log viewer
    // stays, a borrower may still show it.
    delete window.data();
    window = new ORVO::PluginWindow();
    loginForm = new LoginForm(nullptr);
    loginForm->setSignedOut(signedOut);
    loginForm->setSignInLasts(signInLasting);
    loginForm->setNoPortal(noPortal);
    advForm = new AdvForm(nullptr);
    logForm = new LogForm(nullptr);
    logFormExt = new LogForm(nullptr);

    // The form's setters run before the connections below: they reach no slot here.
    const int timeout = vpnTimeoutSetting();
    advForm->setVpnTimeout(timeout);
    connect(advForm.data(), SIGNAL(vpnTimeoutEdited()), this, SLOT(editedVpnTimeout()));
    setVpnTimeout(timeout);

    advForm->setLang(settings->value(QLatin1String(KeyLang), AdvForm::indexToLang(0)).toString());

    const bool enabled = settings->value(QLatin1String(KeyProxyEnabled), false).toBool();
    advForm->setProxyEnabled(enabled);
    setProxyEnabled(enabled);

    const QString server = settings->value(QLatin1String(KeyProxyServer)).toString().trimmed();
    advForm->setProxyServer(server);
    proxy.setHostName(server);

    // The form clamps a stored port outside 1 to 65535: the proxy takes the
    // port the user sees, not the stored number cut to 16 bits.
    advForm->setProxyPort(settings->value(QLatin1String(KeyProxyPort), DefaultProxyPort).toInt());
    proxy.setPort(static_cast<quint16>(advForm->proxyPort()));

    const bool authEnabled = settings->value(QLatin1String(KeyProxyAuthEnabled), false).toBool();
    advForm->setProxyAuthEnabled(authEnabled);
    setProxyAuthEnabled(authEnabled);

    const QString user = settings->value(QLatin1String(KeyProxyUser)).toString().trimmed();
    advForm->setProxyUser(user);
    proxy.setUser(user);

    const QString pass =
        crypt.decryptToString(settings->value(QLatin1String(KeyProxyPass)).toString());
    advForm->setProxyPass(pass);
    proxy.setPassword(pass);
    proxyApply(proxy);

    for (LogForm* form : {logForm.data(), logFormExt.data()}) {
        connect(form, SIGNAL(logVerbosityChanged(ORVO::Verbosity)), this,
                SIGNAL(logVerbosityChanged(ORVO::Verbosity)));
        connect(form, SIGNAL(logPortSupply(int)), this, SIGNAL(logPortSupply(int)));
    }
    connect(advForm.data(), SIGNAL(langChanged(QString)), this, SLOT(langChanged(QString)));
    connect(advForm.data(), SIGNAL(proxyEnabled(bool)), this, SLOT(setProxyEnabled(bool)));
    connect(advForm.data(), SIGNAL(proxyServerEdited()), this, SLOT(editedProxyServer()));
    connect(advForm.data(), SIGNAL(proxyPortEdited()), this, SLOT(editedProxyPort()));
    connect(advForm.data(), SIGNAL(proxyAuthEnabled(bool)), this, SLOT(setProxyAuthEnabled(bool)));
    connect(advForm.data(), SIGNAL(proxyUserEdited()), this, SLOT(editedProxyUser()));
    connect(advForm.data(), SIGNAL(proxyPassEdited()), this, SLOT(editedProxyPass()));
    connect(this, SIGNAL(signin()), loginForm.data(), SLOT(signInButtonClicked()));
    loginForm->setAutoFillBackground(false);
    loginForm->setPalette(QPalette(Qt::transparent));
    connect(loginForm.data(), SIGNAL(configSupply(QVariant)), this, SIGNAL(configSupply(QVariant)));
    connect(loginForm.data(), SIGNAL(profileSupply(ORVO::ConnProfile*)), this,
            SLOT(_signIn(ORVO::ConnProfile*)));
    // Made once per window, but the plugin's own signals outlive it: a
    // unique connection keeps one receiver each.
    connect(this, SIGNAL(sigConnect()), this, SLOT(onConnect()), Qt::UniqueConnection);
    connect(this, SIGNAL(authRequest()), loginForm.data(), SLOT(authRequest()));
    connect(loginForm.data(), SIGNAL(passwordWanted()), this, SLOT(_showPasswordField()));
    connect(this, SIGNAL(sigDisconnect()), this, SLOT(onDisconnect()), Qt::UniqueConnection);
    connect(this, SIGNAL(stateChanged(libvelcor::State)), this,
            SLOT(onStateChanged(libvelcor::State)), Qt::UniqueConnection);

    window->addTab(tr("LOGIN"), QIcon(), pageFor(loginForm), false);
    window->addTab(tr("ADVANCED"), QIcon(), pageFor(advForm), false);
    window->addTab(tr("LOGS"), QIcon(), pageFor(logForm), false);
    window->activateTab(tr("LOGIN"));
    return window;
}

LogForm* LoginPlugin::getLogFormExt()
{
    return logFormExt;
}

void LoginPlugin::signInClicked()
{
    LOG_TRACE;
    emit signin();
}

void LoginPlugin::setProgress(int step, int totSteps, const QString& description)
{
    if (totSteps == 0)
        return;
    LOG_NOTICE << "[LoginPlugin] progress: " << step << "/" << totSteps << ": " << description;
    if (loginForm)
        loginForm->setProgress(step, totSteps, description);
}

void LoginPlugin::showServerAddress(bool visible)
{
    if (loginForm)
        loginForm->showServerAddress(visible);
}

void LoginPlugin::showServerAddress()
{
    showServerAddress(true);
}

void LoginPlugin::announceSettings()
{
    LOG_TRACE;
    setVpnTimeout(vpnTimeoutSetting());
    proxyApply(proxy);
}

void LoginPlugin::_showPasswordField()
{
    if (!window || !loginForm)
        return;
    window->activateTab(tr("LOGIN"));
    loginForm->showPasswordField();
}

void LoginPlugin::onConnect()
{
    LOG_TRACE;
}

void LoginPlugin::onDisconnect()
{
    LOG_TRACE;
}

void LoginPlugin::_test()
{
    LOG_TRACE;
}

void LoginPlugin::onStateChanged(libvelcor::State st)
{
    LOG_TRACE;
    if (st == libvelcor::StateIdle || st == libvelcor::StateError)
        signedOut = true;
    else if (st == libvelcor::StateConnecting || st == libvelcor::StateReconnecting ||
             st == libvelcor::StateConnected)
        signedOut = false;
    if (!loginForm)
        return;
    // Locked however the session was first heard of (a session that the
    // service ran before the client started is first heard as connected).
    loginForm->setSignedOut(signedOut);
    if (st == libvelcor::StateConnected)
        loginForm->resetCredentials();
}

void LoginPlugin::plainConnection(bool up, QString why)
{
    Q_UNUSED(up);
    noPortal = why;
    if (!loginForm)
        return;
    loginForm->setNoPortal(why);
}

void LoginPlugin::signInLasts(bool lasts)
{
    signInLasting = lasts;
    if (loginForm)
        loginForm->setSignInLasts(lasts);
}

void LoginPlugin::setVpnTimeout(int seconds)
{
    // A fragment of its own: as such the service side knows it for a
    // standing setting, given again to a restarted service.
    emit configSupply(QVariant(QVariantMap{{QStringLiteral("timeout"), QString::number(seconds)}}));
}

void LoginPlugin::editedVpnTimeout()
{
    if (!advForm)
        return;
    const int timeout = advForm->vpnTimeout();
    LOG_DEBUG << "[General] timeout: " << QString::number(timeout);
    if (timeout < 0) {
        LOG_ERROR;
        return;
    }
    if (storeSetting(KeyVpnTimeout, QString::number(timeout)) != 0) {
        LOG_ERROR;
        return;
    }
    setVpnTimeout(timeout);
}

void LoginPlugin::langChanged(const QString& lang)
{
    if (storeSetting(KeyLang, lang) != 0)
        LOG_ERROR;
}

void LoginPlugin::setProxyEnabled(bool enabled)
{
    LOG_NOTICE << "[Proxy] enabled: " << boolWord(enabled);
    if (storeSetting(KeyProxyEnabled, enabled) != 0) {
        LOG_ERROR;
        return;
    }
    proxy.setType(enabled ? QNetworkProxy::HttpProxy : QNetworkProxy::NoProxy);
    proxyApply(proxy);
}

void LoginPlugin::setProxyAuthEnabled(bool enabled)
{
    LOG_NOTICE << "[Proxy] authentication enabled: " << boolWord(enabled);
    if (storeSetting(KeyProxyAuthEnabled, enabled) != 0)
        LOG_ERROR;
}

void LoginPlugin::editedProxyServer()
{
    if (!advForm)
        return;
    const QString server = advForm->proxyServer().trimmed();
    if (server == proxy.hostName())
        return;
    LOG_DEBUG << "[Proxy] server: " << server;
    if (storeSetting(KeyProxyServer, server) != 0) {
        LOG_ERROR;
        return;
    }
    proxy.setHostName(server);
    proxyApply(proxy);
}

void LoginPlugin::editedProxyPort()
{
    if (!advForm)
        return;
    const int port = advForm->proxyPort();
    if (port == proxy.port())
        return;
    LOG_DEBUG << "[Proxy] port: " << QString::number(port);
    if (storeSetting(KeyProxyPort, port) != 0) {
        LOG_ERROR;
        return;
    }
    proxy.setPort(static_cast<quint16>(port));
    proxyApply(proxy);
}

void LoginPlugin::editedProxyUser()
{
    if (!advForm)
        return;
    const QString user = advForm->proxyUser().trimmed();
    if (user == proxy.user())
        return;
    LOG_DEBUG << "[Proxy] user: " << user;
    if (storeSetting(KeyProxyUser, user) != 0) {
        LOG_ERROR;
        return;
    }
    proxy.setUser(user);
    proxyApply(proxy);
}

void LoginPlugin::editedProxyPass()
{
    if (!advForm)
        return;
    const QString pass = advForm->proxyPass();
    if (pass == proxy.password())
        return;
    // Never the value: it is a password.
    LOG_TRACE;
    proxy.setPassword(pass);
    proxyApply(proxy);
    SimpleCrypt crypt(ScramblerKey);
    if (storeSetting(KeyProxyPass, crypt.encryptToString(pass)) != 0)
        LOG_ERROR;
}

int LoginPlugin::storeSetting(const char* key, const QVariant& value)
{
    const QString name = QLatin1String(key);
    QString reason;
    if (utils::settingsSetSync(settings, name, value, &reason) == 0)
        return 0;
    LOG_ERROR << "[Settings] " << name << " not saved: " << reason;
    // Only a change the user made in the form is reported there, and the
    // form shows again what is stored; the window's start applies stored
    // values without asking anyone.
    if (advForm && sender() == advForm.data()) {
        advForm->settingNotSaved(reason);
        showSettingsInForm();
    }
    return -1;
}

void LoginPlugin::showSettingsInForm()
{
    // What is stored, and for the proxy what is in force; no field's
    // signal runs, so nothing is stored again.
    const QSignalBlocker blocker(advForm.data());
    advForm->setVpnTimeout(vpnTimeoutSetting());
    advForm->setLang(settings->value(QLatin1String(KeyLang), AdvForm::indexToLang(0)).toString());
    advForm->setProxyEnabled(proxy.type() == QNetworkProxy::HttpProxy);
    advForm->setProxyServer(proxy.hostName());
    advForm->setProxyPort(proxy.port());
    advForm->setProxyAuthEnabled(
        settings->value(QLatin1String(KeyProxyAuthEnabled), false).toBool());
    advForm->setProxyUser(proxy.user());
}

void LoginPlugin::proxyApply(const QNetworkProxy& applied)
{
    LOG_TRACE;
    auto* factory = new libvelcor::ProxyFactory();
    factory->setApplicationProxy(applied);
    // Qt owns the factory from here and deletes the one it replaces.
    QNetworkProxyFactory::setApplicationProxyFactory(factory);
    const QString url = QStringLiteral("http://") + applied.hostName() + QLatin1Char(':') +
                        QString::number(applied.port());
    emit authSupply(libvelcor::Auth(libvelcor::Auth::ProxyId,
                                    libvelcor::Auth::typeFromQt(applied.type()), url,
                                    applied.user(), applied.password(), QString("")));
}

int LoginPlugin::sendProfile(ORVO::ConnProfile* profile)
{
    if (!profile) {
        LOG_ERROR;
        return -1;
    }
    LOG_TRACE;
    // A profile that leaves its credential to its OpenVPN files sends the
    // empty one it holds, which also replaces an earlier sign-in's.
    const libvelcor::Auth auth = profile->getAuth();
    if (LoginForm::holdsCredential(profile) && auth.validate() != 0) {
        LOG_ERROR;
        return -1;
    }
    emit authSupply(auth);
    emit securitySupply(
        QVariant(QVariantMap{{QStringLiteral("serverCertEnabled"), profile->getCaVerify()},
                             {QStringLiteral("serverCertPath"), profile->getCaPath()}}));
    return 0;
}

void LoginPlugin::_signIn(ORVO::ConnProfile* profile)
{
    // The coordinator needs the credential and the settings before the
    // connect request; without them nothing is asked of it.
    if (sendProfile(profile) != 0)
        return;
    emit profileSupply(profile);
    emit sigConnect();
}

} // namespace ORVO
