#pragma once

#include <QHash>
#include <QList>
#include <QNetworkProxy>
#include <QObject>
#include <QPointer>
#include <QSslError>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

#include "common/loglimit.h"
#include "common/plugininterfaces.h"
#include "libvelcor/auth.h"

class LogForm;
class QAuthenticator;
class QMessageBox;
class QNetworkCookieJar;
class QNetworkReply;
class QWebView;
class SettingsDialog;

namespace ORVO {

class PluginWindow;
class QNetworkAccessManagerEcc;
class QWebPageEcc;

// Page key to tab title, translated once, by the first plugin object.
extern QHash<QString, QString> stringMap;
// The page keys that become tabs first, in this order.
extern QVector<QString> orderMap;

// The portal plugin: keeps what a sign-in to a management server brings
// (credential, server id, addresses, page list), builds the portal window
// with one web tab per page, loads a tab each time it is shown and blanks it
// when it is left, and handles the events of the portal's network access
// manager. One object for the whole process, made by Qt's static plugin
// entry.
//
// Lifetimes. The window belongs to the main window and the settings dialog
// to its parent, so both are guarded pointers here. The cookie jar and the
// log page are borrowed. Every page loads through the access manager that
// was current when it was built; a sign-out puts a fresh manager in place,
// and the old one stays until the last page that uses it is gone.
class ConfigPlugin : public QObject, public ORVO::ConfigGfxPluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ORVO_ConfigGfxPluginInterface_iid)
    Q_INTERFACES(ORVO::ConfigGfxPluginInterface)

public:
    explicit ConfigPlugin(QObject* parent = nullptr);
    ~ConfigPlugin() override;
    ConfigPlugin(const ConfigPlugin&) = delete;
    ConfigPlugin& operator=(const ConfigPlugin&) = delete;

    bool isReady() const override;
    ORVO::PluginWindow* newWindow(const QVariantMap& params) override;
    void setLogForm(LogForm* form) override;
    void setCookieJar(QNetworkCookieJar* jar) override;
    QObject* pageMainFrame(QWidget* view) const override;
    bool addScriptObject(QObject* frame, const QString& name, QObject* object) override;
    void enableDeveloperExtras() override;

    // Removes every tab of the window.
    void clearPages();
    // Replaces every tab of the window by one tab per page of the map.
    void newPages(const QVariantMap& pages);
    // The tab of one server page: URL from the credential type, the address
    // in use and the path; title from stringMap, else the key.
    void newPage(ORVO::PluginWindow* window, const QString& key, const QVariant& path);
    void addPage(ORVO::PluginWindow* window, const QUrl& url, const QString& title);

    // The page URL rule: scheme by credential type (1, a certificate:
    // https), the fallback address while it is in use, the path as given
    // and one closing "/".
    static QUrl pageUrl(int authType, const QString& host, const QVariant& path);

    QPointer<ORVO::PluginWindow> window;
    QPointer<LogForm> logForm;
    QVariantMap params;
    bool ready = false;
    QUuid serverId;
    QString serverAddr;
    QString fallbackAddr;
    bool isFallback = false;
    QVariantMap pages;
    ORVO::QNetworkAccessManagerEcc* networkAccessManager = nullptr;
    QPointer<QNetworkCookieJar> cookieJar;
    QPointer<SettingsDialog> settingsDialog;
    libvelcor::Auth auth;

signals:
    void action(const QString& name, const QVariantMap& params);
    void syncRoutes(const QStringList& connectedEndpoints);
    void changePassword(const QString& newPass);
    void loadStarted();
    void loadFinished();
    void sigDisconnect();

protected slots:
    void onDisconnect() override;
    void onRefresh();
    void onBack();
    void gotAuth(const libvelcor::Auth& auth) override;
    void gotPages(const QVariantMap& pages) override;
    void gotServerAddr(const QString& addr, const QString& fallbackAddr) override;
    void gotFallback(bool isFallback) override;
    void tabClicked(const QString& name);
    void settingsTriggered();
    void gotServerId(const QUuid& uuid);
    void sslErrors(QNetworkReply* reply, const QList<QSslError>& errors);
    void proxyAuthenticationRequired(const QNetworkProxy& proxy, QAuthenticator* authenticator);
    void finished(QNetworkReply* reply);
    void delayedLoadPage();
    void webLoadStarted();
    void webLoadFinished(bool ok);
    void deactivatePage();
    void unsupportedContent(QNetworkReply* reply);

private slots:
    void _cookieJarDestroyed(QObject* jar);
    void _windowDestroyed();
    // A page reached the server's login page: the server no longer takes
    // the session's cookies. Signs out and tells the user why.
    void _sessionEnded();

private:
    ORVO::QNetworkAccessManagerEcc* _newAccessManager();
    void _retireAccessManager(ORVO::QNetworkAccessManagerEcc* manager);
    void _triggerCurrent(int webAction);
    // The sign-out of onDisconnect, asked for by page (null: not a page).
    // False when there was nothing to sign out.
    bool _signOut(ORVO::QWebPageEcc* page);
    // What every sign-out does after telling the pages: the window is
    // unwired and forgotten, the settings dialog closed, the access manager
    // replaced, and the plugin no longer ready.
    void _endSignIn();
    // Tells the user that the load of a tab's page failed, unless such a
    // box stands already; what it logs counts against limit.
    void _showPageError(const QString& text, log::RateLimit& limit);
    // Tells what the tabs' limits left out, and nothing later: the tabs go.
    void _endTabLogs();
    // Whether the view of any tab is loading.
    bool _tabsLoading() const;
    // The view that sent the signal started or finished a load: told on
    // as the plugin's own signal, so that what the windows log for it
    // counts against the tab's pages, and kept in the view's flag.
    void _relayLoad(bool started);
    // The access manager that made reply (an earlier session's, perhaps),
    // else the current one.
    ORVO::QNetworkAccessManagerEcc* _managerOf(const QNetworkReply* reply) const;

    // Every access manager still alive, the current one included: the
    // managers that may hold a borrowed cookie jar.
    QList<QPointer<ORVO::QNetworkAccessManagerEcc>> managers;
    // Entries of the page map that newPages works from: a lone page's tab
    // has no button.
    int buildingPageCount = 0;
    // The box of a failed page load, while it stands; it ends with the
    // sign-in whose page failed.
    QPointer<QMessageBox> errorBox;
    // What all the portal's pages and requests write while they flood, and
    // at the default verbosity: each tab has a limit of its own, and they
    // share this allowance and its rate, so that many tabs, or a flood that
    // goes on for days, still leave the user's lines in the log.
    log::FloodAllowance pageFloods{log::limits::PagesAllowance, log::limits::PagesAllowance,
                                   log::limits::Plain,
                                   QStringLiteral("the portal's tabs and requests")};
    // What the user's commands write, in whatever tab: the user clicks in
    // one at a time, so the tabs share it.
    log::UserShare userShare;
    // The pages of the window's tabs, whose limits end with them.
    QList<QPointer<ORVO::QWebPageEcc>> tabPages;
};

} // namespace ORVO
