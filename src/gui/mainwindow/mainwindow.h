#pragma once

#include <QDateTime>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

#include "gui/mainwindow/loadhold.h"
#include "libvelcor/auth.h"
#include "libvelcor/progress.h"
#include "libvelcor/state.h"

class BlackCurtain;
class MainView;
class PluginWindowList;
class QCloseEvent;
class QEvent;
class QHideEvent;
class QLabel;
class QMenuBar;
class QMovie;
class QPushButton;
class QResizeEvent;
class QSettings;
class QStatusBar;
class QToolBar;

namespace ORVO {
class ConfigGfxPluginInterface;
class LoginGfxPluginInterface;
class PluginWindowContainer;
} // namespace ORVO

// The form of the main window.
class Ui_MainWindow
{
public:
    QWidget* centralWidget = nullptr;
    QMenuBar* menuBar = nullptr;
    QToolBar* mainToolBar = nullptr;
    QStatusBar* statusBar = nullptr;

    void setupUi(QMainWindow* window);
};

// The window of the full GUI mode: a banner strip, a graphics view that
// shows the plugin windows as animated items, and a bottom bar with the
// organisation logo and the sign-in buttons, at a fixed size. In minimal
// mode the object builds no widgets: it finds the plugins and wires the
// portal plugin's commands, for the tray and the stand-alone login window.
//
// The controller and Manager read the plugin members (also as the
// properties loginPlugin and configPlugin) to wire the plugins.
//
// close() is a signal here and hides QWidget::close(): a call through a
// MainWindow pointer announces, it does not close.
class MainWindow : public QMainWindow
{
    Q_OBJECT
    Q_PROPERTY(QObject* loginPlugin MEMBER loginPlugin CONSTANT)
    Q_PROPERTY(QObject* configPlugin MEMBER configPlugin CONSTANT)
public:
    MainWindow(QWidget* parent, bool minimal);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    bool isValid() const { return valid; }
    // Puts the login window into the scene (full mode) and wires the
    // portal plugin's commands; 0.
    int run();
    // Locks or unlocks the plugin windows (curtain over them when locked).
    void setLocked(bool locked);

    Q_INVOKABLE void backToLogin();
    Q_INVOKABLE void saveDebugEndpoint(QString endpoint);

    bool eventFilter(QObject* watched, QEvent* event) override;

    Ui_MainWindow* ui;
    bool valid = false;
    QSettings* settings = nullptr;
    bool minimal = false;
    bool setupEnabled = true;
    // The connection up is shown as a plain one (no portal comes for it),
    // as the service coordinator said last.
    bool plainShown = false;
    // A sign-in of the user's lasts (from SIGN IN until its tunnel ends).
    bool signInOpen = false;
    // The user's sign-out of it is under way, until its tunnel ends.
    bool signOutUnderWay = false;
    libvelcor::State state = libvelcor::StateIdle;
    QString userName;
    bool connected = false;
    QDateTime connectedSince;
    QTimer connectedTimer;
    // The one wait for a ready portal after the web login; stopped when the
    // connection ends, so a new login never starts a second chain.
    QTimer configWaitTimer;
    // Runs from a resize of the portal view until its size is saved.
    QTimer geometryTimer;
    // Whether a portal load holds the bar's sign-out, and the user's press
    // of it that waits for the load.
    ORVO::LoadHold loadHold;
    QLabel* statusLabel = nullptr;
    QObject* loginPlugin = nullptr;
    QPointer<ORVO::PluginWindowContainer> loginContainer;
    ORVO::LoginGfxPluginInterface* loginIface = nullptr;
    QObject* configPlugin = nullptr;
    QPointer<ORVO::PluginWindowContainer> configContainer;
    ORVO::ConfigGfxPluginInterface* configIface = nullptr;
    PluginWindowList* windowList = nullptr;
    BlackCurtain* curtain = nullptr;
    MainView* mainView = nullptr;
    QWidget* bannerWidget = nullptr;
    QWidget* bottomBar = nullptr;
    QWidget* signInWidget = nullptr;
    QLabel* bgLabelLg = nullptr;
    QPushButton* signInButton = nullptr;
    QPushButton* iconButton = nullptr;
    QPushButton* disconnectButton = nullptr;
    QPushButton* loadButton = nullptr;
    QMovie* loadingMovie = nullptr;
    // The spinner's frames as icons, by frame number, each made once.
    QVector<QIcon> loadingIcons;
    int loginWidth = 578;
    int loginHeight = 660;
    QString lastDownloadDir;
    bool configShown = false;
    // A portal command or a page script took the portal view away while
    // connected: the sign-in bar stands in with LOGOUT, and PORTAL while the
    // portal window is kept, until the portal view is back or the
    // connection ends.
    bool portalAway = false;
    // The portal window went with the sign-in view and no new connection
    // is being made, whose configuration would bring the portal's pages.
    bool portalDropped = false;
    bool downloadQueryActive = false;

signals:
    void sigDisconnect();
    void startAction(QVariantMap data);
    void startDownload(QString url, QString target);
    void chosenOpenFile(QString file);
    void close();
    void loadBegin();
    void loadEnd();

private slots:
    // The sign-in view and the connection states.
    void authReceived(libvelcor::Auth auth);
    void loggedIn();
    void connectedTimerTimeout();
    void stateChanged(libvelcor::State state);
    void progress(libvelcor::Progress progress);
    void configWaitAndShow();
    void showLogin();
    void updateLoadingIcon();
    void signInOutClicked();
    void _saveGeometry();

    // The portal view, actions and downloads.
    void actionTriggered(QString appName, QVariantMap data);
    void javaScriptWindowObjectCleared();
    void configReceive(QVariant config);
    void plainConnection(bool up, QString noPortal);
    void signInLasts(bool lasts);
    void signingOut(bool out);
    void chooseOpenFile(QString msg);
    void queryDownloadTarget(QString url, QString defaultFileName);
    void loadStarted();
    void loadFinished();
    void createConfig(bool debug);
    void createConfig();
    void showConfig(bool debug);
    void showConfig();
    void hideConfig();
    void hideDebugConfig();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // What the sign-in bar shows.
    enum class Bar {
        SignIn,     // no connection: SIGN IN
        Connecting, // being made, or up and waiting for its portal: CANCEL
        Plain,      // up without a portal: LOGOUT
        Portal,     // up, the portal view taken away: PORTAL and LOGOUT
        None,       // the portal view, which has its own Logout
        SigningOut  // the user's sign-out under way: LOGOUT (or CANCEL) and the spinner
    };
    // The bar as the sign-in, its sign-out, the service's state and the
    // views call for; _showBar() shows it. Run after each of them changes.
    Bar _bar() const;
    void _showBar();
    Bar shownBar = Bar::SignIn;
    // The sign-out shown began from CANCEL, the bar's word then: it keeps it.
    bool signOutCancels = false;
    void _buildWidgets();
    void _setWallpaper();
    void _showPortalBar();
    // The bar of a connection being made, or up and waiting for its portal:
    // CANCEL, the percentage and the spinner.
    void _showConnecting();
    // The bar of no connection: SIGN IN and its arrow.
    void _showSignIn();
    // The sign-in bar of a plain connection: LOGOUT.
    void _showPlainConnection();
    void _showSigningOut();
    // The portal view's loads hold the sign-out no more. With the session
    // gone, a press that waits for them ends unmade; with only the view
    // gone, the bar's is carried out.
    void _endLoadHolds(bool sessionGone);
    // Saves the portal view's size now when a save waits.
    void _flushGeometry();
};
