#pragma once

#include <QNetworkProxy>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QVariantMap>

#include "common/common.h"
#include "common/plugininterfaces.h"
#include "libvelcor/auth.h"
#include "libvelcor/state.h"
#include "profiles/connprofile.h"

class AdvForm;
class LogForm;
class LoginForm;
class QSettings;

namespace ORVO {

class PluginWindow;

// The login plugin: builds the login window (LOGIN, ADVANCED and LOGS
// tabs), keeps the login settings (VPN timeout, language, HTTP proxy) and
// puts the proxy in force. It is the one junction between its forms and the
// rest of the program: the controller connects its signals by signature.
class LoginPlugin : public QObject, public ORVO::LoginGfxPluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ORVO_LoginGfxPluginInterface_iid)
    Q_INTERFACES(ORVO::LoginGfxPluginInterface)
public:
    explicit LoginPlugin(QObject* parent = nullptr);
    ~LoginPlugin() override;
    LoginPlugin(const LoginPlugin&) = delete;
    LoginPlugin& operator=(const LoginPlugin&) = delete;

    ORVO::PluginWindow* newWindow(const QVariantMap& args) override;
    LogForm* getLogFormExt() override;
    void signInClicked() override;

    // The window and forms of the last newWindow; null once deleted.
    QPointer<ORVO::PluginWindow> window;
    QPointer<LoginForm> loginForm;
    QPointer<AdvForm> advForm;
    QNetworkProxy proxy;
    QPointer<LogForm> logForm;
    QPointer<LogForm> logFormExt;
    QSettings* settings = nullptr;

signals:
    void sigConnect();
    void authSupply(const libvelcor::Auth& auth);
    void profileSupply(ORVO::ConnProfile* profile);
    void configSupply(const QVariant& config);
    void securitySupply(const QVariant& settings);
    void logVerbosityChanged(ORVO::Verbosity v);
    void logPortSupply(int port);
    void sigDisconnect();
    void stateChanged(libvelcor::State st);
    void authRequest();
    void close();
    void signin();

public slots:
    void setProgress(int step, int totSteps, const QString& description) override;
    void showServerAddress(bool visible);
    void showServerAddress();
    // Sends the stored VPN timeout and the proxy credential again, for
    // receivers wired after the window was built (the tray-only mode builds
    // it before the service side exists).
    void announceSettings();
    // The connection up is shown as a plain one; noPortal: why no portal
    // comes, which the form of a management-server profile then says.
    void plainConnection(bool up, QString noPortal);
    // A sign-in of the user's lasts: the form starts nothing meanwhile.
    void signInLasts(bool lasts);

private slots:
    void onConnect();
    void onDisconnect();
    void _test();
    void onStateChanged(libvelcor::State st);
    void setVpnTimeout(int seconds);
    void editedVpnTimeout();
    void langChanged(const QString& lang);
    void setProxyEnabled(bool enabled);
    void setProxyAuthEnabled(bool enabled);
    void editedProxyServer();
    void editedProxyPort();
    void editedProxyUser();
    void editedProxyPass();
    // The form's sign-in: credential and settings, then the profile and
    // the connect request, the last two only after a usable credential.
    void _signIn(ORVO::ConnProfile* profile);
    // The LOGIN tab in front, its window shown, the password field focused.
    void _showPasswordField();

private:
    // Writes a setting: 0, or -1 after the form has told the user why the
    // change could not be saved.
    int storeSetting(const char* key, const QVariant& value);
    // The advanced form shows the settings again after a change that could
    // not be stored.
    void showSettingsInForm();
    void proxyApply(const QNetworkProxy& proxy);
    int sendProfile(ORVO::ConnProfile* profile);
    int vpnTimeoutSetting() const;

    // The connection is down, as the last state said; given to each form.
    bool signedOut = true;
    bool signInLasting = false;
    // Why no portal comes for the connection up, when one might have.
    QString noPortal;
};

} // namespace ORVO
