// The portal view: the switch from the fixed-size sign-in view to the
// resizable portal window, the portal's commands as they reach the main
// window (local actions, URLs, downloads), the two file dialogs and the
// window's key and mouse filter.
#include <QCloseEvent>
#include <QDesktopServices>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMovie>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include "common/common.h"
#include "common/log.h"
#include "common/loglimit.h"
#include "common/plugininterfaces.h"
#include "common/settingsfile.h"
#include "common/utils.h"
#include "gui/mainwindow/mainview.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/mainwindow/mainwindowcallback.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "gui/mainwindow/pluginwindowpage.h"
#include "gui/messagebox.h"
#include "gui/testseams.h"
#include "gui/widgets/widgetutils.h"

namespace {

const char GeometryKey[] = "guiConfigGeometry";
const char DebugKey[] = "debug";
const char DebugEndpointKey[] = "debugEndpoint";
const int MaxEndpointChars = 1024;
const int PortalMinWidth = 685;
const int PortalMinHeight = 450;

// A page may send the user to the web or to the mail program only: file:,
// javascript: and custom schemes would have the desktop start programs.
bool isOpenableUrl(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                             scheme == QLatin1String("mailto"));
}

QString askOpenFile(const QString& caption)
{
    if (const ORVO::seams::FileDialogAnswer& answer = ORVO::seams::fileDialogAnswer())
        return answer(caption, QString(), QString());
    return QFileDialog::getOpenFileName(nullptr, caption, QString(), QString(), nullptr);
}

// A warning whose text the user can select and copy; the text is data.
void showSelectable(const QString& title, const QString& text)
{
    ORVO::MessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, nullptr);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

} // namespace

void MainWindow::configReceive(QVariant config)
{
    LOG_TRACE;
    // A plain OpenVPN sign-in says "false", Manager's default map "true";
    // fragments without the key leave the flag alone.
    const QVariant enabled =
        config.toMap().value(QStringLiteral("setup")).toMap().value(QStringLiteral("enabled"));
    if (!enabled.isNull())
        setupEnabled = enabled.toBool();
    LOG_DEBUG << "[MainWindow] setupEnabled: " << (setupEnabled ? "true" : "false");
}

void MainWindow::plainConnection(bool up, QString noPortal)
{
    LOG_DEBUG << "[MainWindow] plain: " << (up ? "true" : "false") << " " << noPortal;
    plainShown = up;
    // A connection that waited for its portal turns out to have none: the
    // bar ends it.
    _showBar();
}

void MainWindow::showConfig(bool debug)
{
    LOG_DEBUG << "[MainWindow] debug: " << (debug ? "true" : "false");
    createConfig(false);
    if (!configContainer)
        return;

    setFixedSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setMinimumSize(PortalMinWidth, PortalMinHeight);
    if (settings->contains(QLatin1String(GeometryKey))) {
        LOG_DEBUG << "[MainWindow] Restoring saved geometry";
        restoreGeometry(settings->value(QLatin1String(GeometryKey)).toByteArray());
    } else {
        LOG_DEBUG << "[MainWindow] No saved GUI size - will start fullscreen";
        setWindowState((windowState() & Qt::WindowMinimized) | Qt::WindowMaximized);
    }

    bannerWidget->hide();
    if (loginContainer)
        loginContainer->setVisible(false);
    windowList->setVisible(true);
    windowList->showPluginWindow(configContainer);

    // Activating a tab is what has the portal plugin load its page; a new
    // window has none current yet and starts with its first.
    if (ORVO::PluginWindow* window = configContainer->window()) {
        const QStringList names = window->tabNames();
        window->activateTab(names.value(qMax(window->currentIndex(), 0)));
    }
    portalAway = false;
    portalDropped = false;
    configShown = true;
    _showBar();
}

void MainWindow::showConfig()
{
    showConfig(false);
}

void MainWindow::createConfig(bool debug)
{
    LOG_TRACE;
    Q_UNUSED(debug);
    if (configContainer)
        return;
    if (!configIface) {
        LOG_ERROR << "No config plugin found!";
        return;
    }
    // The endpoint of a debug portal; no portal view uses it yet.
    QString endpoint = settings->value(QLatin1String(DebugEndpointKey)).toString();
    if (endpoint.isEmpty())
        endpoint = QStringLiteral("127.0.0.1");

    configContainer = new ORVO::PluginWindowContainer();
    ORVO::PluginWindow* window = configIface->newWindow(QVariantMap());
    if (loginIface)
        configIface->setLogForm(loginIface->getLogFormExt());
    if (window) {
        connect(this, &MainWindow::loadBegin, window, &ORVO::PluginWindow::loadStarted);
        connect(this, &MainWindow::loadEnd, window, &ORVO::PluginWindow::loadFinished);

        const QList<ORVO::PluginWindowPage*> pages = window->pages();
        LOG_DEBUG << "[MainWindow] Number of pages: " << pages.size();
        const bool debugMenus = settings->value(QLatin1String(DebugKey), false).toBool();
        for (ORVO::PluginWindowPage* page : pages) {
            QWidget* view = page ? page->widget() : nullptr;
            QObject* frame = view ? configIface->pageMainFrame(view) : nullptr;
            if (!frame)
                continue;
            if (!debugMenus)
                view->setContextMenuPolicy(Qt::NoContextMenu);
            connect(frame, SIGNAL(javaScriptWindowObjectCleared()), this,
                    SLOT(javaScriptWindowObjectCleared()));
        }
    }
    configContainer->setWindow(window);
    windowList->addPluginWindow(configContainer);
}

void MainWindow::createConfig()
{
    createConfig(false);
}

void MainWindow::hideConfig()
{
    LOG_TRACE;
    // A command that comes late, from a portal already taken down, leaves
    // the sign-in view alone. The tray-only mode never shows the portal.
    if (!configShown || !bottomBar)
        return;
    if (curtain)
        curtain->hide();
    windowList->hide(PluginWindowList::HideUp);
    portalAway = true;
    _endLoadHolds(false);
    _showBar();
}

// Without the portal view the window keeps a way on in the sign-in bar:
// LOGOUT, and PORTAL while the portal window is kept. A page that sent the
// user to the sign-in view dropped it, and the portal plugin ends its
// sign-in with it.
void MainWindow::_showPortalBar()
{
    loadingMovie->stop();
    const auto pair = [](QPushButton* text, const QString& label, QPushButton* icon,
                         const QString& image, bool shown) {
        text->setText(label);
        const QPixmap pixmap(image);
        icon->setText(QString());
        icon->setIcon(pixmap);
        icon->setIconSize(pixmap.size());
        for (QPushButton* button : {text, icon}) {
            button->setEnabled(true);
            button->setVisible(shown);
        }
    };
    pair(signInButton, tr("PORTAL"), iconButton, QStringLiteral("rc:login-arrow.png"), configShown);
    pair(disconnectButton, tr("LOGOUT"), loadButton, QStringLiteral("rc:logout-on.png"), true);
    // The bar has the connection's line.
    if (state == libvelcor::StateReconnecting)
        bgLabelLg->setText(tr("Reconnecting"));
}

void MainWindow::hideDebugConfig()
{
    LOG_TRACE;
    if (configPlugin)
        disconnect(configPlugin, SIGNAL(sigDisconnect()), this, SLOT(hideDebugConfig()));
    stateChanged(libvelcor::StateIdle);
}

void MainWindow::javaScriptWindowObjectCleared()
{
    QObject* frame = sender();
    // A document that a page loads over and over must not fill the log.
    const ORVO::log::LimitScope scope(ORVO::log::RateLimit::of(frame));
    LOG_TRACE;
    if (!frame || !configIface) {
        LOG_ERROR;
        return;
    }
    auto* callback = frame->findChild<MainWindowCallback*>(QString(), Qt::FindDirectChildrenOnly);
    if (!callback)
        callback = new MainWindowCallback(this, frame);
    // The plugin hands it only to the management server's own documents:
    // a page the user reached from a portal link never calls back.
    if (!configIface->addScriptObject(frame, QStringLiteral("MainWindowCallback"), callback))
        LOG_DEBUG << "[MainWindow] No MainWindowCallback for this document";
}

void MainWindow::backToLogin()
{
    LOG_TRACE;
    showLogin();
    // The sign-in form cannot sign out while connected: the bar can.
    if (connected && bottomBar) {
        portalAway = true;
        portalDropped = state != libvelcor::StateConnecting;
    }
    _showBar();
}

void MainWindow::saveDebugEndpoint(QString endpoint)
{
    LOG_TRACE;
    // An address: a page's script puts no more into the settings file.
    if (endpoint.size() > MaxEndpointChars) {
        LOG_ERROR << "[MainWindow] A debug endpoint of " << endpoint.size()
                  << " characters is not saved";
        return;
    }
    if (ORVO::utils::settingsSetSync(settings, QLatin1String(DebugEndpointKey), endpoint) != 0)
        LOG_ERROR;
}

void MainWindow::loadStarted()
{
    LOG_TRACE;
    emit loadBegin();
    // Without the portal view the bar's buttons are the way on.
    if (!portalAway)
        loadHold.started();
}

void MainWindow::loadFinished()
{
    LOG_TRACE;
    emit loadEnd();
    loadHold.finished();
}

void MainWindow::_endLoadHolds(bool sessionGone)
{
    ORVO::PluginWindow* portal = configContainer ? configContainer->window() : nullptr;
    if (sessionGone) {
        loadHold.reset();
        if (portal)
            portal->loadHold()->reset();
    } else {
        loadHold.finished();
    }
}

void MainWindow::actionTriggered(QString appName, QVariantMap data)
{
    QString text;
    for (auto it = data.cbegin(); it != data.cend(); ++it)
        text += QStringLiteral("('") + it.key() + QStringLiteral("'='") + it.value().toString() +
                QStringLiteral("')");
    LOG_DEBUG << "[MainWindow] Action triggered for appName: " << appName << " data: " << text;

    if (appName == QLatin1String("EXECUTE_COMMAND")) {
        emit startAction(data);
    } else if (appName == QLatin1String("OPEN_URL")) {
        const QUrl url(data.value(QStringLiteral("url")).toString());
        if (!isOpenableUrl(url)) {
            LOG_ERROR << "[MainWindow] Not opening a URL of scheme " << url.scheme();
        } else if (!QDesktopServices::openUrl(url)) {
            LOG_ERROR << "[MainWindow] No program opened " << url.toString();
            // From the event loop: the portal's command is still on the stack.
            const QString title = ORVO::app() + QLatin1Char(' ') + tr("Warning");
            const QString text =
                tr("The page could not be opened in a web browser. Its address:\n\n%1")
                    .arg(url.toString());
            QTimer::singleShot(0, this, [title, text] { showSelectable(title, text); });
        }
    } else if (appName == QLatin1String("ACTION_DOWNLOAD")) {
        emit startDownload(data.value(QStringLiteral("url")).toString(), QString());
    } else {
        hideConfig();
    }
}

void MainWindow::chooseOpenFile(QString msg)
{
    LOG_TRACE;
    emit chosenOpenFile(askOpenFile(msg));
}

void MainWindow::queryDownloadTarget(QString url, QString defaultFileName)
{
    LOG_TRACE;
    if (downloadQueryActive)
        return;
    downloadQueryActive = true;
    LOG_DEBUG << "[MainWindow] Download query for url: " << url
              << " defaultFileName: " << defaultFileName;

    const QString startDir = !lastDownloadDir.isEmpty()
                                 ? lastDownloadDir
                                 : QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    // The name comes from the server: only its last part goes into the
    // path, so "../x" or "/etc/x" cannot point the dialog elsewhere.
    const QString name = ORVO::utils::bareFileName(defaultFileName);
    const QString suffix = QFileInfo(name).suffix();
    const QString filter = suffix.toUpper() + QStringLiteral(" files (*.") + suffix +
                           QStringLiteral(");;") + tr("All files") + QStringLiteral(" (*.*)");
    const QString file = ORVO::utils::askSaveFile(this, tr("Select output file"),
                                                  startDir + QLatin1Char('/') + name, filter);
    if (!file.isEmpty()) {
        lastDownloadDir = QFileInfo(file).absolutePath();
        emit startDownload(url, file);
    }
    downloadQueryActive = false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((state == libvelcor::StateConnecting || state == libvelcor::StateReconnecting) &&
            (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            emit sigDisconnect();
        }
    } else if (event->type() == QEvent::MouseButtonPress && windowList) {
        if (ORVO::PluginWindowPage* page = windowList->currentPage())
            page->setFocus(Qt::OtherFocusReason);
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    LOG_DEBUG << "[MainWindow] Resized to " << event->size().width() << "x"
              << event->size().height();
    if (configShown)
        geometryTimer.start();
    // The wallpaper is one picture scaled to the window: a portal view
    // larger than the sign-in view would show a band beside it.
    if (!minimal)
        _setWallpaper();
    QMainWindow::resizeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    LOG_TRACE;
    emit close();
    QMainWindow::closeEvent(event);
}

void MainWindow::hideEvent(QHideEvent* event)
{
    _flushGeometry();
    QMainWindow::hideEvent(event);
}

void MainWindow::_saveGeometry()
{
    geometryTimer.stop();
    if (!configShown)
        return;
    LOG_TRACE << "[MainWindow] Persisting resize";
    if (ORVO::utils::settingsSetSync(settings, QLatin1String(GeometryKey), saveGeometry()) != 0)
        LOG_ERROR;
}

void MainWindow::_flushGeometry()
{
    if (geometryTimer.isActive())
        _saveGeometry();
}
