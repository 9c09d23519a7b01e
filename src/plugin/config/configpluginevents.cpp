// The portal plugin's slots: the sign-in state and the sign-out, the
// window's buttons and the tabs' loading, the settings dialog, and the
// events of the portal's network access manager.
#include <QAction>
#include <QApplication>
#include <QAuthenticator>
#include <QMessageBox>
#include <QNetworkReply>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>

#include "common/common.h"
#include "common/log.h"
#include "common/loglimit.h"
#include "gui/log/logform.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowpage.h"
#include "gui/messagebox.h"
#include "plugin/config/configplugin.h"
#include "plugin/config/qnetworkaccessmanagerecc.h"
#include "plugin/config/qwebpageecc.h"
#include "plugin/config/qwebviewecc.h"
#include "plugin/config/settingsdialog.h"

namespace ORVO {

namespace {

// Counts the loads that the plugin starts in a view, so that a blank
// scheduled before a load does not cut it short.
const char LoadsProperty[] = "orvoPortalLoads";

} // namespace

// ---- sign-in state ---------------------------------------------------------

void ConfigPlugin::gotAuth(const libvelcor::Auth& newAuth)
{
    LOG_TRACE;
    // The proxy's credential says nothing of the server's pages.
    if (newAuth.getId() != libvelcor::Auth::ProfileId)
        return;
    networkAccessManager->setAuth(newAuth);
    auth = newAuth;
    // A changed password must be the old one of the next change made in
    // the dialog that is open now.
    if (settingsDialog)
        settingsDialog->setAuth(newAuth);
}

void ConfigPlugin::gotServerId(const QUuid& uuid)
{
    LOG_TRACE;
    serverId = uuid;
}

void ConfigPlugin::gotServerAddr(const QString& addr, const QString& fallback)
{
    LOG_DEBUG << "[ConfigPlugin] Got server addr: " << addr << ", fallback: " << fallback;
    serverAddr = addr;
    fallbackAddr = fallback;
}

void ConfigPlugin::gotFallback(bool fallback)
{
    LOG_DEBUG << "[ConfigPlugin] Got fallback: " << fallback;
    isFallback = fallback;
}

void ConfigPlugin::gotPages(const QVariantMap& pageMap)
{
    LOG_TRACE;
    pages = pageMap;
    if (window) {
        LOG_DEBUG << "[ConfigPlugin] Got pages - recreating";
        newPages(pages);
    }
    ready = true;
}

void ConfigPlugin::onDisconnect()
{
    _signOut(qobject_cast<QWebPageEcc*>(sender()));
}

bool ConfigPlugin::_signOut(QWebPageEcc* page)
{
    LOG_TRACE;
    if (!ready)
        return false;
    if (!window) {
        LOG_ERROR;
        return false;
    }
    // A page's error() comes from inside QtWebKit's navigation request for
    // that page; deactivatePage blanks it only after that request returned.
    if (page && page->networkAccessManager() != networkAccessManager) {
        // A page of a window signed out before: not this session's.
        LOG_DEBUG << "[ConfigPlugin] Error of an earlier session's page";
        return false;
    }
    // Cleared first: the Manager's sign-out calls back into this slot.
    ready = false;
    emit sigDisconnect();
    _endSignIn();
    return true;
}

void ConfigPlugin::_sessionEnded()
{
    // Only the sign-out this page caused is explained: once signed out,
    // by the user or by another page, later errors change nothing.
    if (!_signOut(qobject_cast<QWebPageEcc*>(sender())))
        return;
    // From the next turn of the event loop: the page's navigation request
    // is still on the stack, and a box runs an event loop of its own.
    const QString title = app() + QLatin1Char(' ') + tr("Info");
    const QString text = tr("The management server has ended the session. Please sign in again.");
    QTimer::singleShot(0, this, [title, text] {
        MessageBox::information(nullptr, title, text, QMessageBox::Ok, QMessageBox::NoButton);
    });
}

void ConfigPlugin::_windowDestroyed()
{
    // Its owner dropped the window without a sign-out here (an error, an
    // idle service, a page that went back to the sign-in view): the sign-in
    // it showed is over all the same, and the next one must wait for its
    // own pages instead of showing these.
    LOG_DEBUG << "[ConfigPlugin] Portal window gone, sign-in state reset";
    _endSignIn();
}

void ConfigPlugin::_endSignIn()
{
    ready = false;
    // The window may have gone meanwhile, with its owner's sign-out.
    if (window) {
        disconnect(window.data(), SIGNAL(refresh()), this, nullptr);
        disconnect(window.data(), SIGNAL(back()), this, nullptr);
        disconnect(window.data(), SIGNAL(settings()), this, nullptr);
        disconnect(window.data(), SIGNAL(logout()), this, nullptr);
        disconnect(window.data(), SIGNAL(tabClicked(QString)), this, nullptr);
        disconnect(window.data(), &QObject::destroyed, this, nullptr);
    }
    if (settingsDialog)
        settingsDialog->close();
    _endTabLogs();
    log::nameQtMessages(QString());
    // A box belongs to the session that asked it.
    if (errorBox) {
        errorBox->hide();
        errorBox->deleteLater();
        errorBox = nullptr;
    }

    LOG_DEBUG << "[ConfigPlugin] request count: " << networkAccessManager->getRequests().size();
    // The old window's pages keep loading through the old manager until
    // they are gone; the manager goes after them.
    _retireAccessManager(networkAccessManager);
    networkAccessManager = _newAccessManager();
    window = nullptr;
}

// ---- window buttons and tabs -----------------------------------------------

void ConfigPlugin::_triggerCurrent(int webAction)
{
    const int index = window->currentIndex();
    if (index < 0)
        return;
    const QStringList names = window->tabNames();
    if (index >= names.size() || names.at(index).isEmpty())
        return;
    PluginWindowPage* page = window->currentPage();
    auto* view = page ? qobject_cast<QWebView*>(page->widget()) : nullptr;
    if (!view)
        return;
    view->pageAction(QWebPage::WebAction(webAction))->trigger();
}

void ConfigPlugin::onRefresh()
{
    if (!window) {
        LOG_ERROR;
        return;
    }
    LOG_DEBUG << "[ConfigPlugin] Refresh requested";
    _triggerCurrent(QWebPage::Reload);
}

void ConfigPlugin::onBack()
{
    if (!window) {
        LOG_ERROR;
        return;
    }
    LOG_DEBUG << "[ConfigPlugin] Back requested";
    _triggerCurrent(QWebPage::Back);
}

void ConfigPlugin::tabClicked(const QString& name)
{
    LOG_DEBUG << "[ConfigPlugin] Clicked tab: " << name;
}

void ConfigPlugin::delayedLoadPage()
{
    auto* pageWidget = qobject_cast<PluginWindowPage*>(sender());
    if (!pageWidget) {
        LOG_ERROR;
        return;
    }
    const QUrl url = pageWidget->property("url").toUrl();
    auto* view = qobject_cast<QWebViewEcc*>(pageWidget->widget());
    if (!view) {
        LOG_ERROR;
        return;
    }
    // Every tab's view has the portal's page (addPage).
    auto* page = qobject_cast<QWebPageEcc*>(view->page());
    if (!page) {
        LOG_ERROR;
        return;
    }
    LOG_DEBUG << "[ConfigPlugin] Loading url: " << url.toString()
              << ", frame: " << page->mainFrame();
    // What Qt and the web engine say outside the page's events is told
    // naming the tab shown.
    log::nameQtMessages(QStringLiteral("the portal tab \"%1\"").arg(page->tabTitle()));
    view->setProperty(LoadsProperty, view->property(LoadsProperty).toUInt() + 1);
    if (url.scheme() == QLatin1String("debug"))
        view->setContent(property("debug-content").toString().toUtf8(), QString(), QUrl());
    else
        page->clientLoad(url);
}

void ConfigPlugin::deactivatePage()
{
    auto* pageWidget = qobject_cast<PluginWindowPage*>(sender());
    if (!pageWidget) {
        LOG_ERROR;
        return;
    }
    auto* view = qobject_cast<QWebViewEcc*>(pageWidget->widget());
    if (!view) {
        LOG_ERROR;
        return;
    }
    if (view->loading)
        return;
    // Blanked on the next turn of the event loop, unless the tab has been
    // shown and loaded again by then. A tab activated again, or a refresh,
    // then costs no blanking and no paint of an empty page; and a sign-out
    // that a page's error() starts from inside QtWebKit's navigation request
    // for that very page never pulls the document away under the engine's
    // loaders, which crashes it.
    const QVariant loads = view->property(LoadsProperty);
    QTimer::singleShot(0, view, [view, loads] {
        if (view->property(LoadsProperty) == loads)
            view->setHtml(QString(), QUrl());
    });
}

void ConfigPlugin::webLoadStarted()
{
    _relayLoad(true);
}

void ConfigPlugin::webLoadFinished(bool ok)
{
    Q_UNUSED(ok);
    _relayLoad(false);
}

void ConfigPlugin::_relayLoad(bool started)
{
    auto* sent = qobject_cast<QWebViewEcc*>(sender());
    const QPointer<QWebViewEcc> view(sent);
    {
        const log::LimitScope scope(sent ? log::RateLimit::of(sent->page()) : nullptr);
        if (started)
            emit loadStarted();
        else
            emit loadFinished();
    }
    if (!sent) {
        LOG_ERROR;
        return;
    }
    // A receiver may have closed the tab.
    if (view)
        view->loading = started;
}

// ---- settings dialog --------------------------------------------------------

void ConfigPlugin::settingsTriggered()
{
    LOG_TRACE;
    if (!settingsDialog) {
        settingsDialog = new SettingsDialog(QApplication::activeWindow(), logForm.data());
        connect(settingsDialog.data(), SIGNAL(changePassword(QString)), this,
                SIGNAL(changePassword(QString)));
    }
    settingsDialog->setServerId(serverId);
    settingsDialog->setAuth(auth);
    settingsDialog->load();
    settingsDialog->setVisible(true);
}

// ---- network events ---------------------------------------------------------

void ConfigPlugin::sslErrors(QNetworkReply* reply, const QList<QSslError>& errors)
{
    // Management servers with a certificate of a private CA, or reached by
    // an address their certificate does not name, are accepted; a leaf that
    // signs itself, or an expired or untrusted one, is not.
    QList<QSslError> ignored;
    log::RateLimit& limit = _managerOf(reply)->logLimitOf(reply);
    for (const QSslError& e : errors) {
        const unsigned code = unsigned(e.error());
        if (code == QSslError::SelfSignedCertificateInChain ||
            code == QSslError::UnableToGetLocalIssuerCertificate ||
            code == QSslError::UnableToVerifyFirstCertificate ||
            code == QSslError::HostNameMismatch)
            ignored.append(e);
        else
            LOG_ERROR_LIMITED(limit) << "QSslError (" << int(e.error()) << "): " << e.errorString();
    }
    if (reply)
        reply->ignoreSslErrors(ignored);
}

void ConfigPlugin::proxyAuthenticationRequired(const QNetworkProxy& proxy,
                                               QAuthenticator* authenticator)
{
    LOG_TRACE;
    // Answered and refused in turn: a proxy that refuses the credential
    // gets it once, not forever.
    static bool done = false;
    if (done) {
        LOG_ERROR;
        done = false;
        return;
    }
    if (authenticator) {
        authenticator->setUser(proxy.user());
        authenticator->setPassword(proxy.password());
    }
    done = true;
}

void ConfigPlugin::finished(QNetworkReply* reply)
{
    if (!reply) {
        LOG_ERROR;
        return;
    }
    // The reply belongs to the page that asked for it (QtWebKit deletes it
    // when it is done with it): it is only forgotten here.
    QNetworkAccessManagerEcc* manager = _managerOf(reply);
    log::RateLimit& limit = manager->logLimitOf(reply);
    LOG_TRACE_LIMITED(limit) << "[ConfigPlugin] finished - removing request: " << reply;
    manager->getRequests().removeAll(reply);
    if (reply->error() == QNetworkReply::NoError)
        return;

    const QString text = QStringLiteral("Error in reply: ") + QString::number(reply->error()) +
                         QStringLiteral(" (") + reply->errorString() + QLatin1Char(')');
    LOG_DEBUG_LIMITED(limit) << "[ConfigPlugin] error: " << text;
    // Only the load of a tab's page itself reaches the user: a page's
    // images, scripts and frames, and whatever a foreign document asks
    // for, would open a box each, with texts of that document's choosing.
    if (reply->error() == QNetworkReply::HostNotFoundError && manager->isPageLoad(reply))
        _showPageError(text, limit);
}

void ConfigPlugin::_showPageError(const QString& text, log::RateLimit& limit)
{
    if (errorBox) {
        LOG_DEBUG_LIMITED(limit) << "[ConfigPlugin] An error box stands already: no other";
        return;
    }
    // The reply's own line may have been left out: what the user is shown
    // is in the log.
    {
        const log::UnlimitedLines shown;
        LOG_ERROR << "[ConfigPlugin] The page could not be loaded: " << text;
    }
    // Plain text: the error text carries the host name of the page's URL.
    auto* box = new MessageBox(QMessageBox::Critical, tr("Error"), text, QMessageBox::Ok, nullptr);
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::NoButton);
    box->setWindowModality(Qt::ApplicationModal);
    connect(box, &QDialog::finished, box, &QObject::deleteLater);
    errorBox = box;
    // Shown from the next turn of the event loop, not inside the reply's
    // finished signal; and without a loop of its own, so that later
    // replies, and a sign-out, are handled while it stands.
    const QPointer<ConfigPlugin> self(this);
    QTimer::singleShot(0, box, [self, box] {
        if (self && self->errorBox == box)
            box->show();
    });
}

void ConfigPlugin::unsupportedContent(QNetworkReply* reply)
{
    if (!reply)
        return;
    log::RateLimit& limit = _managerOf(reply)->logLimitOf(reply);
    LOG_DEBUG_LIMITED(limit) << "reply: " << reply->readAll();
}

QNetworkAccessManagerEcc* ConfigPlugin::_managerOf(const QNetworkReply* reply) const
{
    auto* made = reply ? qobject_cast<QNetworkAccessManagerEcc*>(reply->manager()) : nullptr;
    return made ? made : networkAccessManager;
}

} // namespace ORVO
