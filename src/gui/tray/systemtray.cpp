#include "gui/tray/systemtray.h"

#include <QAction>
#include <QBoxLayout>
#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMovie>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>

#include "common/common.h"
#include "common/log.h"
#include "common/plugininterfaces.h"
#include "common/utils.h"
#include "gui/guiapplication.h"
#include "gui/mainwindow/loginwidget.h"
#include "gui/testseams.h"

namespace ORVO {

int SystemTray::timeoutStep = -1;

namespace {

const int QuitDelayMs = 500;
const int SignInWidth = 578;
const int SignInHeight = 430;
// The state line and Disconnect button below the sign-in window's scene.
const int StatusBarHeight = 56;

const char* const IdleIcon = "rc:icon-idle.png";
const char* const ErrorIcon = "rc:icon-error.png";
const char* const ConnectingIcon = "rc:icon-connecting.png";
const char* const ConnectedIcon = "rc:icon-connected.png";

// Scheduled for deletion: the parent window may still be using it.
template <typename T> void release(T*& object)
{
    if (object) {
        object->deleteLater();
        object = nullptr;
    }
}

void setShown(QAction* action, bool on)
{
    if (action) {
        action->setEnabled(on);
        action->setVisible(on);
    }
}

} // namespace

SystemTray::SystemTray(QWidget* parent, bool minimal) : QWidget(nullptr), minimal(minimal)
{
    LOG_TRACE;
    const bool available = seams::systemTrayAvailable();
    if (available) {
        trayIcon = new QSystemTrayIcon(parent);
    } else {
        // The menu and the state still work; only the icon is missing.
        LOG_NOTICE << "[SystemTray] No system tray on this desktop: running without a tray icon";
    }

    const QString sheet = utils::loadStyleSheet(QStringLiteral(":/main.css"));
    contextMenu = new QMenu(parent);
    if (!made(contextMenu))
        return;
    contextMenu->setStyleSheet(sheet);
    contextMenu->setObjectName(QStringLiteral("trayIconMenu"));

    if (!minimal) {
        showAction = new QAction(tr("Show Connect App"), parent);
        if (!made(showAction))
            return;
        connect(showAction, SIGNAL(triggered()), this, SLOT(_unhideTriggered()));
        contextMenu->addAction(showAction);
    }

    statusMenu = new QMenu(parent);
    statusMenu->setTitle(tr("Status"));
    statusMenu->setStyleSheet(sheet);
    statusMenu->setObjectName(QStringLiteral("trayIconStatus"));
    contextMenu->addMenu(statusMenu);
    for (QAction** entry : {&connectedToAction, &usernameAction, &connectedSinceAction}) {
        *entry = new QAction(parent);
        if (!made(*entry))
            return;
        (*entry)->setEnabled(false);
        statusMenu->addAction(*entry);
    }
    connectedToAction->setText(tr("Connected to:"));
    usernameAction->setText(tr("Username:"));
    connectedSinceAction->setText(tr("Connected since:"));

    connectAction = new QAction(tr("Connect"), parent);
    if (!made(connectAction))
        return;
    contextMenu->addAction(connectAction);

    disconnectAction = new QAction(tr("Disconnect"), parent);
    if (!made(disconnectAction))
        return;
    disconnectAction->setEnabled(false);
    connect(disconnectAction, SIGNAL(triggered()), this, SIGNAL(sigDisconnect()));
    contextMenu->addAction(disconnectAction);

    if (minimal) {
        settingsAction = new QAction(tr("Settings"), parent);
        if (!made(settingsAction))
            return;
        connect(settingsAction, SIGNAL(triggered()), this, SLOT(_settingsTriggered()));
        contextMenu->addAction(settingsAction);
    }

    quitAction = new QAction(tr("Quit"), parent);
    if (!made(quitAction))
        return;
    connect(quitAction, SIGNAL(triggered()), this, SLOT(_quit()));
    contextMenu->addAction(quitAction);

    if (trayIcon) {
        trayIcon->setIcon(QIcon(QLatin1String(IdleIcon)));
        trayIcon->setContextMenu(contextMenu);
        // Put into a tray only where there is one: tests that assume a tray
        // on a desktop without one get the icon without placing it.
        trayIcon->setVisible(QSystemTrayIcon::isSystemTrayAvailable());
    }
    _stateChanged(libvelcor::StateIdle);
    valid = true;
}

SystemTray::~SystemTray()
{
    LOG_TRACE;
    _delete();
    delete signInWindow;
    signInWindow = nullptr;
    if (movie) {
        movie->stop();
        delete movie;
        movie = nullptr;
    }
}

bool SystemTray::made(QObject* object)
{
    if (object)
        return true;
    LOG_ERROR;
    _delete();
    return false;
}

void SystemTray::_delete()
{
    QCoreApplication::quit();
    release(quitAction);
    release(settingsAction);
    release(disconnectAction);
    release(connectAction);
    release(showAction);
    release(connectedToAction);
    release(usernameAction);
    release(connectedSinceAction);
    release(statusMenu);
    release(contextMenu);
    release(trayIcon);
}

int SystemTray::setLoginPlugin(ORVO::LoginGfxPluginInterface* p)
{
    LOG_DEBUG << "p: " << static_cast<const void*>(p);
    if (!p) {
        LOG_ERROR;
        return -1;
    }
    QObject* plugin = dynamic_cast<QObject*>(p);
    if (!plugin || !connectAction ||
        !connect(connectAction, SIGNAL(triggered()), plugin, SIGNAL(authRequest()))) {
        LOG_ERROR;
        return -1;
    }
    if (minimal) {
        delete signInWindow;
        signInWindow = new LoginWidget(nullptr, p);
        if (!signInWindow->isValid()) {
            LOG_ERROR;
            delete signInWindow;
            signInWindow = nullptr;
            return -1;
        }
        signInWindow->setFixedSize(SignInWidth, SignInHeight);
        signInWindow->setWindowTitle(versionInfo());
        if (!trayIcon)
            _addStatusBar();
    }
    loginPlugin = p;
    return 0;
}

void SystemTray::_addStatusBar()
{
    auto* box = qobject_cast<QBoxLayout*>(signInWindow->layout());
    if (!box) {
        LOG_ERROR;
        return;
    }
    auto* bar = new QWidget(signInWindow);
    bar->setObjectName(QStringLiteral("signInStatusBar"));
    bar->setFixedHeight(StatusBarHeight);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(12, 4, 12, 4);
    signInStatus = new QLabel(bar);
    signInStatus->setObjectName(QStringLiteral("signInStatusLabel"));
    signInStatus->setTextFormat(Qt::PlainText);
    signInStatus->setWordWrap(true);
    row->addWidget(signInStatus, 1);
    signInButton = new QPushButton(bar);
    signInButton->setObjectName(QStringLiteral("signInStatusButton"));
    connect(signInButton, SIGNAL(clicked()), this, SLOT(_statusButtonClicked()));
    row->addWidget(signInButton);
    box->addWidget(bar);
    signInWindow->setFixedSize(SignInWidth, SignInHeight + StatusBarHeight);
    signInWindow->installEventFilter(this);
    _stateChanged(libvelcor::StateIdle);
}

bool SystemTray::eventFilter(QObject* watched, QEvent* event)
{
    // Without a tray nothing else is left to quit with: closing the only
    // window signs out and ends the program, as Quit does.
    if (watched == signInWindow && event->type() == QEvent::Close && !trayIcon)
        _quit();
    return QWidget::eventFilter(watched, event);
}

void SystemTray::setSystemTrayIcon(QString name)
{
    if (name.isEmpty())
        return;
    if (movie) {
        movie->stop();
        disconnect(movie, SIGNAL(frameChanged(int)), this, SLOT(updateIcon()));
        delete movie;
        movie = nullptr;
    }
    if (name.endsWith(QLatin1String(".png"))) {
        if (trayIcon)
            trayIcon->setIcon(QIcon(name));
    } else if (name.endsWith(QLatin1String(".gif"))) {
        movie = new QMovie(name);
        connect(movie, SIGNAL(frameChanged(int)), this, SLOT(updateIcon()));
        movie->start();
    }
}

void SystemTray::updateIcon()
{
    if (movie && trayIcon)
        trayIcon->setIcon(QIcon(movie->currentPixmap()));
}

void SystemTray::signInLasts(bool lasts)
{
    signInOpen = lasts;
    _showEntries();
}

void SystemTray::_showEntries()
{
    // A sign-in, a connection being made, or up (also one the client found
    // up at its start, never seen connecting), is ended with Disconnect.
    const bool connection = signInOpen || lastState == libvelcor::StateConnecting ||
                            lastState == libvelcor::StateReconnecting ||
                            lastState == libvelcor::StateConnected;
    setShown(connectAction, !connection);
    setShown(disconnectAction, connection);
    if (settingsAction)
        settingsAction->setEnabled(!connection);
    if (signInButton) {
        signInButton->setText(connection ? tr("Disconnect") : tr("Connect"));
        signInButton->setEnabled(true);
    }
}

void SystemTray::_stateChanged(libvelcor::State state)
{
    lastState = state;
    _showEntries();
    switch (state) {
    case libvelcor::StateIdle:
        setShown(showAction, true);
        if (statusMenu)
            statusMenu->menuAction()->setVisible(false);
        setSystemTrayIcon(QLatin1String(IdleIcon));
        server.clear();
        user.clear();
        break;
    case libvelcor::StateError:
        setSystemTrayIcon(QLatin1String(ErrorIcon));
        if (minimal)
            showSignInWindow();
        break;
    case libvelcor::StateConnecting:
        setSystemTrayIcon(QLatin1String(ConnectingIcon));
        break;
    case libvelcor::StateReconnecting:
        setSystemTrayIcon(QLatin1String(ConnectingIcon));
        break;
    case libvelcor::StateConnected:
        // Without a tray the window is all there is to sign out with.
        if (signInWindow && trayIcon)
            signInWindow->hide();
        setSystemTrayIcon(QLatin1String(ConnectedIcon));
        if (statusMenu)
            statusMenu->menuAction()->setVisible(true);
        if (connectedToAction)
            connectedToAction->setText(tr("Connected to:") + QLatin1Char(' ') + server);
        if (usernameAction) {
            usernameAction->setVisible(!user.isEmpty());
            if (!user.isEmpty())
                usernameAction->setText(tr("Username:") + QLatin1Char(' ') + user);
        }
        if (connectedSinceAction) {
            connectedSinceAction->setText(
                tr("Connected since:") + QLatin1Char(' ') +
                QLocale().toString(QDateTime::currentDateTimeUtc(),
                                   QStringLiteral("ddd yyyy-MM-dd hh:mm:ss")));
        }
        break;
    }
    const QString stateText = state == libvelcor::StateError && !lastError.isEmpty()
                                  ? lastError
                                  : libvelcor::stateToString(state);
    if (trayIcon)
        trayIcon->setToolTip(stateText);
    if (signInStatus && connectedToAction && connectedSinceAction && usernameAction) {
        QString text = stateText.section(QLatin1Char('\n'), 0, 0);
        if (state == libvelcor::StateConnected) {
            text = connectedToAction->text();
            if (usernameAction->isVisible())
                text += QStringLiteral("   ") + usernameAction->text();
            text += QLatin1Char('\n') + connectedSinceAction->text();
        }
        signInStatus->setText(text);
    }
}

void SystemTray::_statusButtonClicked()
{
    if (disconnectAction && disconnectAction->isEnabled())
        disconnectAction->trigger();
    else if (connectAction && connectAction->isEnabled())
        connectAction->trigger();
}

void SystemTray::showSignInWindow()
{
    // Only the minimal GUI mode has one, and only once a login plugin was set.
    if (signInWindow)
        signInWindow->show();
}

void SystemTray::progress(libvelcor::Progress const& progress)
{
    if (!minimal || !loginPlugin)
        return;
    LOG_DEBUG << "[SystemTray] Progress: " << progress.getDesc();
    loginPlugin->setProgress(progress.getStep(), progress.getTotal(), progress.getDesc());
}

void SystemTray::gotError(QString const& msg)
{
    lastError = msg;
}

void SystemTray::profileReceive(ORVO::ConnProfile* profile)
{
    LOG_TRACE;
    if (!profile) {
        LOG_ERROR;
        return;
    }
    server = profile->getId();
}

void SystemTray::authReceive(libvelcor::Auth const& auth)
{
    LOG_TRACE;
    user = auth.getUser();
}

void SystemTray::configReceive(QVariant const& config)
{
    const QVariant enabled =
        config.toMap().value(QStringLiteral("setup")).toMap().value(QStringLiteral("enabled"));
    if (!enabled.isNull())
        setupEnabled = enabled.toBool();
}

void SystemTray::windowClosed()
{
    LOG_TRACE;
    // With a tray the closed window comes back through Show. Without one
    // nothing would be left to bring it back or to quit with: closing the
    // full window signs out and ends the program, as Quit does.
    if (!minimal && !trayIcon)
        _quit();
}

void SystemTray::_unhideTriggered()
{
    LOG_TRACE;
    emit unhide();
}

void SystemTray::_settingsTriggered()
{
    LOG_TRACE;
    showSignInWindow();
}

void SystemTray::_timeout()
{
    ++timeoutStep;
    _stateChanged(libvelcor::State(timeoutStep));
}

void SystemTray::_quit()
{
    LOG_TRACE;
    GuiApplication::quitBegins();
    LOG_DEBUG << "[SystemTray] Emitting quit signals";
    emit close();
    emit sigDisconnect();
    LOG_DEBUG << "[SystemTray] Scheduling delayed quit";
    // Precise: the service needs the whole delay to hear the disconnect.
    QTimer::singleShot(QuitDelayMs, Qt::PreciseTimer, this, SLOT(_quitDelayed()));
}

void SystemTray::_quitDelayed()
{
    LOG_TRACE;
    QCoreApplication::quit();
}

} // namespace ORVO
