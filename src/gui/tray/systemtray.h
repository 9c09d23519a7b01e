#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>

#include "libvelcor/auth.h"
#include "libvelcor/progress.h"
#include "libvelcor/state.h"
#include "profiles/connprofile.h"

class QAction;
class QLabel;
class QMenu;
class QMovie;
class QPushButton;
class QSystemTrayIcon;

namespace ORVO {

class LoginGfxPluginInterface;
class LoginWidget;

// The client's icon in the desktop's system tray: its image and tooltip
// follow the connection state, its menu brings back the main window (full
// GUI mode) or the sign-in window (minimal GUI mode), shows where, as whom
// and since when the client is connected, connects, disconnects and quits.
//
// The widget itself is never shown: it carries the signals, slots and
// state. The icon, the menus and their entries have the constructor's
// parent (the main window) as their Qt parent.
//
// On a desktop without a system tray the controller still works, without
// an icon: isTrayAvailable() tells the windows that they are the only way
// in (in minimal GUI mode the sign-in window then has to be shown at start,
// showSignInWindow()). That window then stays up while connected, shows the
// state with a Connect or Disconnect button, and closing it quits as Quit
// does. In full GUI mode closing the main window quits the same way.
class SystemTray : public QWidget
{
    Q_OBJECT
public:
    SystemTray(QWidget* parent, bool minimal);
    ~SystemTray() override;
    SystemTray(const SystemTray&) = delete;
    SystemTray& operator=(const SystemTray&) = delete;

    bool isValid() const { return valid; }
    // Whether the icon is in a system tray.
    bool isTrayAvailable() const { return trayIcon != nullptr; }
    int setLoginPlugin(ORVO::LoginGfxPluginInterface* p);
    void setSystemTrayIcon(QString name);
    void _delete();

signals:
    void authRequest();
    void sigConnect();
    void sigDisconnect();
    void unhide();
    void close();

public slots:
    void configReceive(QVariant const& config);
    void profileReceive(ORVO::ConnProfile* profile);
    void authReceive(libvelcor::Auth const& auth);
    // Minimal GUI mode: shows the sign-in window (when it exists).
    void showSignInWindow();
    // A sign-in of the user's lasts, from SIGN IN until its tunnel ends:
    // Disconnect ends it.
    void signInLasts(bool lasts);

protected slots:
    void gotError(QString const& msg);
    void progress(libvelcor::Progress const& progress);
    void windowClosed();
    void updateIcon();

private slots:
    void _stateChanged(libvelcor::State state);
    void _unhideTriggered();
    void _settingsTriggered();
    void _timeout();
    void _quit();
    void _quitDelayed();
    // The sign-in window's own button, without a tray: Connect or Disconnect
    // as the menu would offer.
    void _statusButtonClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // False, with an error line, when the object is missing.
    bool made(QObject* object);
    // Without a tray: the sign-in window's own state line and button.
    void _addStatusBar();
    // Connect or Disconnect, as the sign-in and the last state call for.
    void _showEntries();

    bool valid = false;
    bool minimal;
    bool setupEnabled = true;
    int lastState = -1; // a libvelcor::State; -1 before the first
    bool signInOpen = false;
    QSystemTrayIcon* trayIcon = nullptr;
    ORVO::LoginGfxPluginInterface* loginPlugin = nullptr;
    ORVO::LoginWidget* signInWindow = nullptr;
    QMenu* contextMenu = nullptr;
    QAction* showAction = nullptr;
    QAction* connectAction = nullptr;
    QAction* disconnectAction = nullptr;
    QAction* settingsAction = nullptr;
    QAction* quitAction = nullptr;
    QMenu* statusMenu = nullptr;
    QAction* connectedToAction = nullptr;
    QAction* usernameAction = nullptr;
    QAction* connectedSinceAction = nullptr;
    QLabel* signInStatus = nullptr;
    QPushButton* signInButton = nullptr;
    QString server;
    QString user;
    QString lastError;
    QMovie* movie = nullptr;

    static int timeoutStep;
};

} // namespace ORVO
