// The sign-in view: the bottom bar follows the connection states, the
// curtain covers the windows while a management-server connection
// reconnects, and the clock shows how long the connection has lasted.
#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QMovie>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>

#include "common/log.h"
#include "common/plugininterfaces.h"
#include "common/utils.h"
#include "gui/mainwindow/mainview.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "gui/mainwindow/pluginwindowpage.h"

namespace {

const int ReconnectSteps = 14;
// One counter for the process: the reconnection bar goes on where it was.
int reconnectStep = 0;

void sendEvent(QWidget* widget, QEvent::Type type)
{
    QEvent event(type);
    QCoreApplication::sendEvent(widget, &event);
}

void setIcon(QPushButton* button, const QString& name)
{
    const QPixmap pixmap(name);
    button->setIcon(pixmap);
    button->setIconSize(pixmap.size());
}

} // namespace

// The page of the current tab of the window that the list shows, if any.
static ORVO::PluginWindowPage* currentPage(PluginWindowList* list)
{
    return list ? list->currentPage() : nullptr;
}

void MainWindow::authReceived(libvelcor::Auth auth)
{
    LOG_TRACE;
    userName = auth.getUser();
}

void MainWindow::loggedIn()
{
    LOG_TRACE;
    configWaitAndShow();
}

void MainWindow::configWaitAndShow()
{
    LOG_TRACE;
    configWaitTimer.stop();
    if (!configIface) {
        LOG_ERROR;
        return;
    }
    if (state == libvelcor::StateIdle)
        return;
    if (configIface->isReady()) {
        showConfig(false);
        return;
    }
    // The portal plugin started over with the dropped window, and a web
    // login after a reconnection brings it no new pages. The bar signs out.
    if (portalDropped) {
        LOG_DEBUG << "[MainWindow] Portal dropped: not waiting for it";
        return;
    }
    LOG_DEBUG << "[MainWindow] Config Plugin is not ready yet... waiting";
    configWaitTimer.start();
}

void MainWindow::setLocked(bool locked)
{
    LOG_TRACE;
    if (!setupEnabled || !windowList)
        return;
    const QList<ORVO::PluginWindowContainer*> containers = windowList->windows();
    for (ORVO::PluginWindowContainer* container : containers)
        container->setEnabled(!locked);
    if (!curtain)
        return;
    if (locked)
        curtain->show();
    else if (curtain->isVisible())
        curtain->hide();
}

void MainWindow::stateChanged(libvelcor::State s)
{
    LOG_TRACE << s;
    const libvelcor::State was = state;
    state = s;
    if (!signInButton)
        return; // minimal mode builds no sign-in bar
    switch (s) {
    case libvelcor::StateIdle:
    case libvelcor::StateError:
        // The connection is over: so is any wait for the portal, and the
        // loads' hold, with a press that waits for it.
        configWaitTimer.stop();
        _endLoadHolds(true);
        bgLabelLg->setText(QString(""));
        if (loginIface)
            loginIface->setProgress(0, 12, tr("Idle"));
        showLogin();
        setLocked(false);
        connected = false;
        lastDownloadDir = QString("");
        if (ORVO::PluginWindowPage* page = currentPage(windowList))
            page->hideLoadProgressBar();
        break;
    case libvelcor::StateReconnecting:
        if (connected) {
            ui->statusBar->showMessage(tr("Reconnecting"));
            // Without the portal view the status bar is hidden: the bar tells it.
            bgLabelLg->setText(portalAway ? tr("Reconnecting") : QString(""));
            // The portal view is locked meanwhile: the bar's CANCEL ends the
            // connection until it is back.
            setLocked(true);
            break;
        }
        // Never seen connected (still being made, or found so at the start):
        // shown as a connection being made, which the user can cancel.
        [[fallthrough]];
    case libvelcor::StateConnecting:
        // A new attempt starts from nothing, not from where the last one
        // (refused, cancelled or failed) stopped.
        if (was != libvelcor::StateConnecting && was != libvelcor::StateReconnecting)
            loadButton->setText(QStringLiteral("0%"));
        // The connection the lines told of is being made again: the status
        // bar's (portal view) and, without the portal view, the bar's say so.
        statusLabel->setText(libvelcor::stateToString(libvelcor::StateConnecting));
        if (portalAway)
            bgLabelLg->setText(statusLabel->text());
        // A new connection retrieves the server's configuration: its web
        // login may wait for the portal again.
        portalDropped = false;
        break;
    case libvelcor::StateConnected:
        ui->statusBar->clearMessage();
        if (!portalAway && !configShown && !plainShown)
            LOG_DEBUG << "[MainWindow] Lodestar mode - waiting for config";
        connectedTimer.stop();
        connectedSince = QDateTime::currentDateTimeUtc();
        connectedTimer.start(1000);
        connected = true;
        setLocked(false);
        if (ORVO::PluginWindowPage* page = currentPage(windowList))
            page->hideLoadProgressBar();
        break;
    default:
        break;
    }
    _showBar();
    // The lines tell the connection at once, not a second later.
    if (s == libvelcor::StateConnected)
        connectedTimerTimeout();
}

void MainWindow::showLogin()
{
    LOG_TRACE;
    // The portal view's last size, before the sign-in view's.
    _flushGeometry();
    configShown = false;
    portalAway = false;
    portalDropped = false;
    bannerWidget->show();
    signInWidget->show();
    setWindowState(windowState() & Qt::WindowMinimized);
    setFixedSize(loginWidth, loginHeight);
    const QList<ORVO::PluginWindowContainer*> containers = windowList->windows();
    for (ORVO::PluginWindowContainer* container : containers)
        container->setEnabled(true);
    windowList->show();
    if (loginContainer) {
        loginContainer->show();
        windowList->showPluginWindow(loginContainer);
    }
    QPointer<ORVO::PluginWindow> portal = configContainer ? configContainer->window() : nullptr;
    if (configContainer) {
        windowList->removePluginWindow(configContainer);
        configContainer = nullptr;
    }
    // The portal's loads go with its window: a press that waited for them
    // is carried out (unless the session went first), from the sign-in view.
    _endLoadHolds(false);
    if (portal)
        portal->loadHold()->finished();
}

void MainWindow::progress(libvelcor::Progress p)
{
    LOG_TRACE;
    if (!loginIface)
        return;
    loginIface->setProgress(p.getStep(), p.getTotal(), p.getDesc());
    // The share of one step is taken whole first (12 steps end at 96%).
    // Step and total come from the service: a total below 1 tells nothing,
    // and the product is kept wide and within 0..100.
    const int total = p.getTotal();
    if (total > 0 && loadButton) {
        const qint64 percent = qBound<qint64>(0, qint64(100 / total) * p.getStep(), 100);
        loadButton->setText(QString::number(percent) + QLatin1Char('%'));
    }
}

void MainWindow::connectedTimerTimeout()
{
    if (state == libvelcor::StateReconnecting && connected) {
        if (ORVO::PluginWindowPage* page = currentPage(windowList)) {
            page->showLoadProgressBar(reconnectStep, ReconnectSteps,
                                      tr("Reconnection in progress"));
            reconnectStep = reconnectStep == ReconnectSteps ? 0 : reconnectStep + 1;
        }
    } else if (state == libvelcor::StateConnected && !(signInOpen && signOutUnderWay)) {
        const qint64 elapsed = connectedSince.secsTo(QDateTime::currentDateTimeUtc());
        const QString d = ORVO::utils::seconds2Human(static_cast<int>(elapsed));
        const QString text = userName.isEmpty()
                                 ? tr("Connection established %1 ago.").arg(d)
                                 : tr("Connection established by %1 %2 ago.").arg(userName, d);
        if (bgLabelLg)
            bgLabelLg->setText(text);
        if (statusLabel)
            statusLabel->setText(text);
    }
}

void MainWindow::updateLoadingIcon()
{
    // Each frame's icon is made once and reused on every later turn: a new
    // icon per frame leaves new pixmaps in Qt's pixmap cache each time it is
    // drawn, for as long as the spinner turns.
    const int frame = loadingMovie->currentFrameNumber();
    if (frame < 0)
        return;
    if (frame >= loadingIcons.size())
        loadingIcons.resize(frame + 1);
    QIcon& icon = loadingIcons[frame];
    if (icon.isNull())
        icon = QIcon(loadingMovie->currentPixmap());
    loadButton->setIcon(icon);
}

void MainWindow::signInLasts(bool lasts)
{
    LOG_DEBUG << "[MainWindow] sign-in lasts: " << (lasts ? "true" : "false");
    signInOpen = lasts;
    // A new sign-in starts from nothing.
    if (lasts && loadButton && (state == libvelcor::StateIdle || state == libvelcor::StateError))
        loadButton->setText(QStringLiteral("0%"));
    _showBar();
}

void MainWindow::signingOut(bool out)
{
    LOG_DEBUG << "[MainWindow] signing out: " << (out ? "true" : "false");
    signOutUnderWay = out;
    // However it began, a press that waits for a load has nothing left to
    // do, and the portal window's Logout says so until the sign-in ends.
    ORVO::PluginWindow* portal = configContainer ? configContainer->window() : nullptr;
    if (!out) {
        _endLoadHolds(true);
    } else {
        loadHold.reset();
        if (portal)
            portal->loadHold()->signOutBegun();
    }
    if (!bottomBar)
        return;
    if (out && signInOpen) {
        // The portal's pages are blanked and its session is ending: the
        // sign-in view says what goes on until the tunnel is down.
        configWaitTimer.stop();
        showLogin();
        setLocked(false);
    }
    _showBar();
}

MainWindow::Bar MainWindow::_bar() const
{
    if ((signInOpen && signOutUnderWay) || loadHold.pressWaits())
        return Bar::SigningOut;
    // The portal view has its own Logout while connected; while the
    // connection is being made again, its view is locked: CANCEL ends it.
    if (configShown && !portalAway)
        return connected && state != libvelcor::StateConnected ? Bar::Connecting : Bar::None;
    if (state == libvelcor::StateIdle || state == libvelcor::StateError)
        return signInOpen ? Bar::Connecting : Bar::SignIn;
    // Being made, or found reconnecting and never seen connected.
    if (!connected || state == libvelcor::StateConnecting)
        return Bar::Connecting;
    if (portalAway)
        return Bar::Portal;
    // Up: until its portal comes, the bar keeps the way out that the
    // connection had while it was being made.
    return plainShown ? Bar::Plain : Bar::Connecting;
}

void MainWindow::_showBar()
{
    if (!bottomBar)
        return;
    const Bar bar = _bar();
    if (bar != shownBar) {
        static const char* const names[] = {"sign-in",     "connecting", "plain",
                                            "portal away", "portal",     "signing out"};
        LOG_DEBUG << "[MainWindow] Bar: " << names[int(bar)];
        // The line of the sign-out goes with it; the connection's comes back.
        if (shownBar == Bar::SigningOut) {
            bgLabelLg->setText(QString(""));
            if (state == libvelcor::StateConnected)
                connectedTimerTimeout();
        }
        if (bar == Bar::SigningOut)
            signOutCancels = shownBar == Bar::Connecting;
        shownBar = bar;
    }
    switch (bar) {
    case Bar::SignIn:
        _showSignIn();
        break;
    case Bar::Connecting:
        _showConnecting();
        break;
    case Bar::Plain:
        _showPlainConnection();
        break;
    case Bar::Portal:
        _showPortalBar();
        break;
    case Bar::SigningOut:
        _showSigningOut();
        break;
    case Bar::None:
        // The bar of a connection that is being made, left as the mouse
        // left it, for when the portal view gives way to it again.
        _showConnecting();
        sendEvent(disconnectButton, QEvent::HoverLeave);
        sendEvent(disconnectButton, QEvent::Leave);
        iconButton->setEnabled(false);
        break;
    }
    // The portal view has no sign-in bar, also where it stood in for it.
    signInWidget->setVisible(bar != Bar::None);
    bottomBar->setVisible(bar != Bar::None);
    ui->statusBar->setVisible(configShown && !portalAway);
}

void MainWindow::_showSignIn()
{
    disconnectButton->setEnabled(false);
    disconnectButton->hide();
    loadButton->setEnabled(false);
    loadButton->hide();
    loadingMovie->stop();
    signInButton->setText(tr("SIGN IN"));
    signInButton->show();
    signInButton->setEnabled(true);
    setIcon(iconButton, QStringLiteral("rc:login-arrow.png"));
    iconButton->show();
    // The portal view disabled the arrow; it works with the button again.
    iconButton->setEnabled(true);
}

void MainWindow::_showConnecting()
{
    disconnectButton->setText(tr("CANCEL"));
    disconnectButton->setEnabled(true);
    disconnectButton->show();
    loadButton->setEnabled(true);
    loadButton->show();
    loadingMovie->start();
    signInButton->hide();
    signInButton->setEnabled(false);
    iconButton->hide();
    sendEvent(disconnectButton, QEvent::Enter);
}

void MainWindow::_showSigningOut()
{
    // The bar of a connection being made, with the word of the button that
    // began it, CANCEL or LOGOUT: pressed again, it says "stop" again.
    _showConnecting();
    if (!signOutCancels)
        disconnectButton->setText(tr("LOGOUT"));
    loadButton->setText(QString());
    bgLabelLg->setText(tr("Signing out"));
    // A press that waits for a load takes no second one.
    disconnectButton->setEnabled(!loadHold.pressWaits());
    loadButton->setEnabled(!loadHold.pressWaits());
}

void MainWindow::_showPlainConnection()
{
    disconnectButton->hide();
    disconnectButton->setEnabled(false);
    loadButton->hide();
    loadButton->setEnabled(false);
    signInButton->setText(tr("LOGOUT"));
    signInButton->show();
    signInButton->setEnabled(true);
    setIcon(iconButton, QStringLiteral("rc:logout-on.png"));
    iconButton->show();
    iconButton->setEnabled(true);
}

void MainWindow::signInOutClicked()
{
    LOG_TRACE;
    // Beside the portal view the button shows only once a portal command
    // took the portal away: it brings the portal back.
    if (configShown) {
        showConfig(false);
        return;
    }
    switch (state) {
    case libvelcor::StateConnecting:
    case libvelcor::StateReconnecting:
    case libvelcor::StateConnected:
        emit sigDisconnect();
        break;
    case libvelcor::StateIdle:
    case libvelcor::StateError:
        if (loginIface)
            loginIface->signInClicked();
        break;
    default:
        break;
    }
}
