// The portal plugin object: construction, the page tables, the portal
// window and its tabs, and the lifetimes of the access managers and of the
// borrowed cookie jar.
#include "plugin/config/configplugin.h"

#include <QAction>
#include <QIcon>
#include <QMessageBox>
#include <QNetworkCookieJar>
#include <QPalette>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

#include "common/cookiejar.h"
#include "common/log.h"
#include "common/utils.h"
#include "gui/log/logform.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowpage.h"
#include "plugin/config/qnetworkaccessmanagerecc.h"
#include "plugin/config/qwebpageecc.h"
#include "plugin/config/qwebviewecc.h"
#include "plugin/config/scriptwatch.h"
#include "plugin/config/settingsdialog.h"

namespace ORVO {

QHash<QString, QString> stringMap;
QVector<QString> orderMap;

namespace {

// Bookkeeping on each access manager: how many pages load through it, and
// whether a sign-out has put another one in its place.
const char PageUsersProperty[] = "orvoPortalPageUsers";
const char RetiredProperty[] = "orvoPortalRetired";

// The page loads through the manager until it is destroyed: QtWebKit aborts
// the page's replies, which the manager owns, as the page goes. A retired
// manager goes after its last page.
void holdAccessManager(QWebPageEcc* page, QNetworkAccessManagerEcc* manager)
{
    manager->setProperty(PageUsersProperty, manager->property(PageUsersProperty).toInt() + 1);
    QObject::connect(page, &QObject::destroyed, manager, [manager] {
        const int users = manager->property(PageUsersProperty).toInt() - 1;
        manager->setProperty(PageUsersProperty, users);
        if (users <= 0 && manager->property(RetiredProperty).toBool())
            manager->deleteLater();
    });
}

} // namespace

ConfigPlugin::ConfigPlugin(QObject* parent) : QObject(parent)
{
    LOG_TRACE;
    // Before the first web object of the process.
    ScriptWatch::install();
    if (stringMap.isEmpty()) {
        stringMap.insert(QStringLiteral("action"), tr("Applications"));
        stringMap.insert(QStringLiteral("action_profile"), tr("Application Profiles"));
        stringMap.insert(QStringLiteral("connection"), tr("Connections"));
        stringMap.insert(QStringLiteral("gateway"), tr("Devices"));
        stringMap.insert(QStringLiteral("gatewaygroup"), tr("Device Groups"));
        stringMap.insert(QStringLiteral("settings"), tr("Settings"));
        stringMap.insert(QStringLiteral("user"), tr("Users"));
        stringMap.insert(QStringLiteral("usergroup"), tr("User Groups"));
        orderMap = {QStringLiteral("connection"),     QStringLiteral("user"),
                    QStringLiteral("usergroup"),      QStringLiteral("gateway"),
                    QStringLiteral("gatewaygroup"),   QStringLiteral("action"),
                    QStringLiteral("action_profile"), QStringLiteral("settings")};
    }
    networkAccessManager = _newAccessManager();
}

ConfigPlugin::~ConfigPlugin()
{
    LOG_TRACE;
    if (window)
        clearPages();
    // Managers go once the pages that load through them are gone; the
    // pages of the window were just scheduled for deletion.
    for (const QPointer<QNetworkAccessManagerEcc>& manager : managers) {
        if (manager)
            _retireAccessManager(manager.data());
    }
    delete errorBox.data();
    // A dialog made while no window was active has no other owner.
    if (settingsDialog && !settingsDialog->parent())
        delete settingsDialog.data();
}

bool ConfigPlugin::isReady() const
{
    return ready;
}

QNetworkAccessManagerEcc* ConfigPlugin::_newAccessManager()
{
    auto* manager = new QNetworkAccessManagerEcc();
    manager->logLimit().setAllowance(&pageFloods);
    connect(manager, SIGNAL(sslErrors(QNetworkReply*, QList<QSslError>)), this,
            SLOT(sslErrors(QNetworkReply*, QList<QSslError>)));
    connect(manager, SIGNAL(finished(QNetworkReply*)), this, SLOT(finished(QNetworkReply*)));
    connect(manager, SIGNAL(proxyAuthenticationRequired(const QNetworkProxy&, QAuthenticator*)),
            this, SLOT(proxyAuthenticationRequired(const QNetworkProxy&, QAuthenticator*)));
    managers.removeAll(nullptr);
    managers.append(manager);
    return manager;
}

void ConfigPlugin::_retireAccessManager(QNetworkAccessManagerEcc* manager)
{
    // Its replies reach the plugin no more. QtWebKit's own wiring stays:
    // the old window's pages still load through it.
    manager->disconnect(this);
    manager->setProperty(RetiredProperty, true);
    if (manager->property(PageUsersProperty).toInt() <= 0)
        manager->deleteLater();
}

void ConfigPlugin::setCookieJar(QNetworkCookieJar* jar)
{
    if (!jar) {
        LOG_ERROR;
        return;
    }
    cookieJar = jar;
    connect(jar, &QObject::destroyed, this, &ConfigPlugin::_cookieJarDestroyed,
            Qt::UniqueConnection);
}

void ConfigPlugin::_cookieJarDestroyed(QObject* jar)
{
    LOG_TRACE;
    // A manager keeps a plain pointer to its jar and reads it for every
    // reply and every script that asks for cookies: those that borrowed the
    // jar get an empty one of their own.
    for (const QPointer<QNetworkAccessManagerEcc>& manager : managers) {
        if (manager && static_cast<QObject*>(manager->cookieJar()) == jar)
            manager->setCookieJar(new QNetworkCookieJar(manager.data()));
    }
}

void ConfigPlugin::setLogForm(LogForm* form)
{
    logForm = form;
}

PluginWindow* ConfigPlugin::newWindow(const QVariantMap& windowParams)
{
    LOG_TRACE;
    if (cookieJar)
        borrowCookieJar(networkAccessManager, cookieJar.data());
    // A new sign-in starts with whole limits.
    pageFloods.restore();
    userShare.restore();
    log::restoreQtMessageLimit();
    params = windowParams;
    if (window)
        disconnect(window.data(), &QObject::destroyed, this, nullptr);
    window = new PluginWindow();
    window->showBannerAndButtons(PluginWindow::RefreshFlag | PluginWindow::BackFlag |
                                     PluginWindow::SettingsFlag | PluginWindow::LogoutFlag,
                                 QPixmap());
    connect(window.data(), SIGNAL(refresh()), this, SLOT(onRefresh()));
    connect(window.data(), SIGNAL(back()), this, SLOT(onBack()));
    connect(window.data(), SIGNAL(settings()), this, SLOT(settingsTriggered()));
    connect(window.data(), SIGNAL(logout()), this, SLOT(onDisconnect()));
    connect(window.data(), SIGNAL(tabClicked(QString)), this, SLOT(tabClicked(QString)));
    connect(window.data(), &QObject::destroyed, this, &ConfigPlugin::_windowDestroyed);
    newPages(pages);
    return window.data();
}

void ConfigPlugin::clearPages()
{
    LOG_TRACE;
    if (!window) {
        LOG_ERROR;
        return;
    }
    const bool loading = _tabsLoading();
    _endTabLogs();
    window->clearTabs();
    // The views go telling nobody of their loads; the windows stay and hear
    // the end here, once the tabs are down, unless a new tab's load has
    // begun by then, whose own end they hear.
    if (loading) {
        QTimer::singleShot(0, this, [this] {
            if (!_tabsLoading())
                emit loadFinished();
        });
    }
}

bool ConfigPlugin::_tabsLoading() const
{
    for (const QPointer<QWebPageEcc>& page : tabPages) {
        auto* view = page ? qobject_cast<QWebViewEcc*>(page->parent()) : nullptr;
        if (view && view->loading)
            return true;
    }
    return false;
}

void ConfigPlugin::_endTabLogs()
{
    // Told while the tabs go, not once they are deleted, after the sign-out.
    for (const QPointer<QWebPageEcc>& page : qAsConst(tabPages)) {
        if (page)
            page->endLogLimit();
    }
    tabPages.clear();
}

void ConfigPlugin::newPages(const QVariantMap& newMap)
{
    if (!window) {
        LOG_ERROR;
        return;
    }
    clearPages();
    buildingPageCount = newMap.size();
    if (params.value(QStringLiteral("debug")).toBool()) {
        setProperty("debug-content", params.value(QStringLiteral("debug-content")));
        addPage(window.data(), QUrl(QStringLiteral("debug://index.html")),
                stringMap.value(QStringLiteral("connection")));
        return;
    }
    for (const QString& key : qAsConst(orderMap)) {
        const auto it = newMap.constFind(key);
        if (it != newMap.constEnd())
            newPage(window.data(), key, it.value());
    }
    for (auto it = newMap.constBegin(); it != newMap.constEnd(); ++it) {
        if (!orderMap.contains(it.key()))
            newPage(window.data(), it.key(), it.value());
    }
}

QUrl ConfigPlugin::pageUrl(int authType, const QString& host, const QVariant& path)
{
    return QUrl(utils::serverScheme(authType) + QStringLiteral("://") + host + path.toString() +
                QLatin1Char('/'));
}

void ConfigPlugin::newPage(PluginWindow* target, const QString& key, const QVariant& path)
{
    QString title = stringMap.value(key);
    if (title.isEmpty())
        title = key;
    const QString host = isFallback ? fallbackAddr : serverAddr;
    addPage(target, pageUrl(auth.getType(), host, path), title);
}

void ConfigPlugin::addPage(PluginWindow* target, const QUrl& url, const QString& title)
{
    if (!target) {
        LOG_ERROR;
        return;
    }
    auto* view = new QWebViewEcc();
    // The view owns its page: the page goes with the tab.
    auto* page = new QWebPageEcc(view);
    page->setLogName(title);
    page->setLogAllowance(&pageFloods);
    page->logLimit()->setUserShare(&userShare);
    tabPages.removeAll(nullptr);
    tabPages.append(page);
    LOG_DEBUG << "[ConfigPlugin] Adding page: " << url.toString();

    // Commands come from the server's pages, at either of its addresses.
    QList<QUrl> origins;
    for (const QString& host : {serverAddr, fallbackAddr}) {
        if (!host.isEmpty())
            origins << pageUrl(auth.getType(), host, QVariant());
    }
    page->setCommandOrigins(origins);
    page->setNetworkAccessManager(networkAccessManager);
    holdAccessManager(page, networkAccessManager);
    connect(page, SIGNAL(error()), this, SLOT(_sessionEnded()));
    connect(page, SIGNAL(unsupportedContent(QNetworkReply*)), this,
            SLOT(unsupportedContent(QNetworkReply*)));
    view->setPage(page);
    view->setPalette(QPalette(Qt::white));

    auto* pageWidget = new PluginWindowPage();
    pageWidget->setProperty("url", url);
    pageWidget->setWidget(view);
    pageWidget->setDecorationTheme(PluginWindowPage::NoDecoration, 0);

    connect(pageWidget->reloadAction(), &QAction::triggered, view->pageAction(QWebPage::Reload),
            &QAction::trigger);
    connect(pageWidget->backAction(), &QAction::triggered, view->pageAction(QWebPage::Back),
            &QAction::trigger);
    connect(pageWidget->settingsAction(), SIGNAL(triggered()), this, SLOT(settingsTriggered()));

    connect(page, SIGNAL(action(QString, QVariantMap)), this, SIGNAL(action(QString, QVariantMap)));
    connect(page, SIGNAL(syncRoutes(QStringList)), this, SIGNAL(syncRoutes(QStringList)));

    target->addTab(title, QIcon(), pageWidget, buildingPageCount == 1);

    // The plugin's own signals go out from these slots, so that what the
    // windows log for a load counts against the tab's pages.
    connect(view, SIGNAL(loadStarted()), this, SLOT(webLoadStarted()));
    connect(view, SIGNAL(loadProgress(int)), pageWidget, SLOT(showLoadProgressBar(int)));
    connect(view, SIGNAL(loadFinished(bool)), this, SLOT(webLoadFinished(bool)));
    connect(view, SIGNAL(loadFinished(bool)), pageWidget, SLOT(hideLoadProgressBar()));
    connect(pageWidget, SIGNAL(activated()), this, SLOT(delayedLoadPage()));
    connect(this, SIGNAL(sigDisconnect()), pageWidget, SLOT(deactivate()));
    connect(pageWidget, SIGNAL(deactivated()), this, SLOT(deactivatePage()));
}

QObject* ConfigPlugin::pageMainFrame(QWidget* view) const
{
    auto* webView = qobject_cast<QWebView*>(view);
    if (!webView)
        return nullptr;
    QWebPage* page = webView->page();
    return page ? page->mainFrame() : nullptr;
}

bool ConfigPlugin::addScriptObject(QObject* frame, const QString& name, QObject* object)
{
    auto* webFrame = qobject_cast<QWebFrame*>(frame);
    auto* page = webFrame ? qobject_cast<QWebPageEcc*>(webFrame->page()) : nullptr;
    if (!page || !object || name.isEmpty())
        return false;
    // The frame holds the document it is about to run: only the server's
    // own pages get the object, not a page the user reached from a link.
    if (!page->isServerUrl(webFrame->url())) {
        LOG_DEBUG_LIMITED(*page->logLimit())
            << "[ConfigPlugin] No script object for a page outside the management server: "
            << webFrame->url().toString();
        return false;
    }
    // Qt ownership: the script never deletes the object.
    webFrame->addToJavaScriptWindowObject(name, object, QWebFrame::QtOwnership);
    return true;
}

void ConfigPlugin::enableDeveloperExtras()
{
    // The global settings are every page's fallback, so views made before
    // and after both get the inspector.
    QWebSettings::globalSettings()->setAttribute(QWebSettings::DeveloperExtrasEnabled, true);
}

} // namespace ORVO
