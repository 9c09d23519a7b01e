#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QKeyEvent>
#include <QPluginLoader>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtPlugin>

#include "../boxdriver.h"
#include "common/common.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "gui/mainwindow/pluginwindowpage.h"
#include "gui/testseams.h"
#include "gui/widgets/pushbutton.h"
#include "testconfigplugin.h"
#include "testenv.h"
#include "testloginplugin.h"
#include "testmain.h"

Q_IMPORT_PLUGIN(TestLoginPlugin)
Q_IMPORT_PLUGIN(TestConfigPlugin)

namespace {

TestConfigPlugin* configPlugin()
{
    for (QObject* o : QPluginLoader::staticInstances()) {
        if (auto* p = qobject_cast<TestConfigPlugin*>(o))
            return p;
    }
    return nullptr;
}

// Records what the desktop would be asked to open.
class UrlSink : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

struct DialogCall
{
    QString caption;
    QString path;
    QString filter;
};

} // namespace

// The portal half of the main window: the portal view and its geometry, the
// portal's commands, the download-target and open-file dialogs, the key
// filter. The web pages themselves are the portal plugin's; here the test
// plugin's pages are plain labels.
class TestMainWindowPortal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void configReceive_data();
    void configReceive();
    void commands_data();
    void commands();
    void openUrlWithoutBrowser();
    void downloadTargets();
    void downloadQueryWhileDialogOpen();
    void openFileDialog();
    void portalViewAndGeometry();
    void returnCancelsWhileConnecting_data();
    void returnCancelsWhileConnecting();
    void closeAnnounces();

private:
    orvotest::TestEnv env;
    UrlSink sink;
};

void TestMainWindowPortal::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
    QVERIFY(env.isValid());
    QVERIFY(configPlugin());
    for (const char* scheme : {"http", "https", "mailto", "file", "javascript", "ftp", "vnc"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &sink, "open");
}

void TestMainWindowPortal::cleanup()
{
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &sink, "open");
    ORVO::seams::setFileDialogAnswer({});
    QSettings(ORVO::org(), QLatin1String(ORVO::ApplicationId)).clear();
}

void TestMainWindowPortal::configReceive_data()
{
    QTest::addColumn<bool>("before");
    QTest::addColumn<QVariant>("fragment");
    QTest::addColumn<bool>("after");
    const auto setup = [](const QVariant& enabled) {
        QVariantMap inner;
        if (enabled.isValid())
            inner.insert(QStringLiteral("enabled"), enabled);
        return QVariant(QVariantMap{{QStringLiteral("setup"), inner}});
    };
    QTest::newRow("openvpn off") << true << setup(QStringLiteral("false")) << false;
    QTest::newRow("default on") << false << setup(QStringLiteral("true")) << true;
    QTest::newRow("zero") << true << setup(QStringLiteral("0")) << false;
    QTest::newRow("empty text") << true << setup(QString(QLatin1String(""))) << false;
    QTest::newRow("other text") << false << setup(QStringLiteral("yes")) << true;
    QTest::newRow("timeout only") << false << QVariant(QVariantMap{{QStringLiteral("timeout"), 60}})
                                  << false;
    QTest::newRow("setup without enabled") << true << setup(QVariant()) << true;
    QTest::newRow("not a map") << false << QVariant(QStringLiteral("setup")) << false;
}

void TestMainWindowPortal::configReceive()
{
    QFETCH(bool, before);
    QFETCH(QVariant, fragment);
    QFETCH(bool, after);
    MainWindow w(nullptr, true);
    w.setupEnabled = before;
    QVERIFY(QMetaObject::invokeMethod(&w, "configReceive", Q_ARG(QVariant, fragment)));
    QCOMPARE(w.setupEnabled, after);
}

void TestMainWindowPortal::commands_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariantMap>("data");
    QTest::addColumn<int>("actions");
    QTest::addColumn<QStringList>("download");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<bool>("hidden");
    const QVariantMap command{{QStringLiteral("app"), QStringLiteral("ssh")},
                              {QStringLiteral("host"), QStringLiteral("10.0.0.5")}};
    const auto url = [](const char* u) {
        return QVariantMap{{QStringLiteral("url"), QLatin1String(u)}};
    };
    QTest::newRow("execute") << "EXECUTE_COMMAND" << command << 1 << QStringList() << QString()
                             << false;
    QTest::newRow("execute, wrong case")
        << "execute_command" << command << 0 << QStringList() << QString() << true;
    QTest::newRow("download") << "ACTION_DOWNLOAD" << url("https://h/f.zip") << 0
                              << QStringList{QStringLiteral("https://h/f.zip"), QString()}
                              << QString() << false;
    QTest::newRow("download without url")
        << "ACTION_DOWNLOAD" << QVariantMap() << 0 << QStringList{QString(), QString()} << QString()
        << false;
    QTest::newRow("open https") << "OPEN_URL" << url("https://example.org/a?b=c") << 0
                                << QStringList() << "https://example.org/a?b=c" << false;
    QTest::newRow("open mailto") << "OPEN_URL" << url("mailto:help@example.org") << 0
                                 << QStringList() << "mailto:help@example.org" << false;
    QTest::newRow("open file refused")
        << "OPEN_URL" << url("file:///etc/passwd") << 0 << QStringList() << QString() << false;
    QTest::newRow("open javascript refused")
        << "OPEN_URL" << url("javascript:alert(1)") << 0 << QStringList() << QString() << false;
    QTest::newRow("open custom scheme refused")
        << "OPEN_URL" << url("vnc://10.0.0.5") << 0 << QStringList() << QString() << false;
    QTest::newRow("other name hides")
        << "AJAX_RELOAD_LOGIN" << QVariantMap() << 0 << QStringList() << QString() << true;
}

void TestMainWindowPortal::commands()
{
    QFETCH(QString, name);
    QFETCH(QVariantMap, data);
    QFETCH(int, actions);
    QFETCH(QStringList, download);
    QFETCH(QString, opened);
    QFETCH(bool, hidden);

    MainWindow w(nullptr, false);
    w.run();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const auto setState = [&w](libvelcor::State s) {
        QVERIFY(QMetaObject::invokeMethod(&w, "stateChanged", Q_ARG(libvelcor::State, s)));
    };
    setState(libvelcor::StateConnected);
    QVERIFY(QMetaObject::invokeMethod(&w, "showConfig"));
    QSignalSpy actionSpy(&w, &MainWindow::startAction);
    QSignalSpy downloadSpy(&w, &MainWindow::startDownload);
    sink.opened.clear();

    // The portal plugin's signal is what reaches the window.
    emit configPlugin()->action(name, data);

    QCOMPARE(actionSpy.count(), actions);
    if (actions)
        QCOMPARE(actionSpy.at(0).at(0).toMap(), data);
    QCOMPARE(downloadSpy.count(), download.isEmpty() ? 0 : 1);
    if (!download.isEmpty()) {
        QCOMPARE(downloadSpy.at(0).at(0).toString(), download.at(0));
        QCOMPARE(downloadSpy.at(0).at(1).toString(), download.at(1));
    }
    QCOMPARE(sink.opened.size(), opened.isEmpty() ? 0 : 1);
    if (!opened.isEmpty())
        QCOMPARE(sink.opened.at(0), QUrl(opened));
    // Hiding slides the window list up and out of sight; the sign-in bar
    // then signs out or brings the portal back, through a reconnection too.
    QTRY_COMPARE(!w.windowList->isVisible(), hidden);
    QCOMPARE(w.signInButton->isVisible(), hidden);
    if (hidden) {
        const auto wayOn = [&w](bool portal) {
            return w.signInButton->isVisible() == portal && w.signInButton->isEnabled() &&
                   w.disconnectButton->isVisible() && w.disconnectButton->isEnabled();
        };
        setState(libvelcor::StateReconnecting);
        QVERIFY(wayOn(true) && w.bgLabelLg->text() == "Reconnecting");
        setState(libvelcor::StateConnected);
        QVERIFY(wayOn(true) && w.bgLabelLg->text().startsWith("Connection established"));
        setState(libvelcor::StateConnecting);
        QCOMPARE(w.bgLabelLg->text(), QString("Connecting"));
        setState(libvelcor::StateConnected);
        QSignalSpy out(&w, &MainWindow::sigDisconnect);
        QTest::mouseClick(w.signInButton, Qt::LeftButton);
        QVERIFY(w.windowList->isVisible() && !w.bottomBar->isVisible());
        setState(libvelcor::StateConnecting);
        QCOMPARE(w.statusLabel->text(), QString("Connecting"));
        setState(libvelcor::StateConnected);
        QVERIFY(w.statusLabel->text().startsWith("Connection established"));
        // Sent to the sign-in view, from the portal or after a command: the
        // portal window is gone, LOGOUT stays.
        w.backToLogin();
        QVERIFY(wayOn(false));
        QVERIFY(QMetaObject::invokeMethod(&w, "showConfig"));
        emit configPlugin()->action(name, data);
        w.backToLogin();
        QVERIFY(QMetaObject::invokeMethod(&w, "loadStarted"));
        QVERIFY(wayOn(false));
        // The plugin started over with its window: a web login waits for no
        // portal after a reconnection, for new pages after a new connection.
        configPlugin()->ready = false;
        for (const auto via : {libvelcor::StateReconnecting, libvelcor::StateConnecting}) {
            setState(via);
            setState(libvelcor::StateConnected);
            QVERIFY(QMetaObject::invokeMethod(&w, "loggedIn") && wayOn(false));
            QCOMPARE(w.configWaitTimer.isActive(), via == libvelcor::StateConnecting);
        }
        QTest::mouseClick(w.disconnectButton, Qt::LeftButton);
        QCOMPARE(out.count(), 1);
    }
}

void TestMainWindowPortal::openUrlWithoutBrowser()
{
    // No program takes the address: the user is told, and can copy it.
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    MainWindow w(nullptr, false);
    w.run();
    const QString url = QStringLiteral("https://example.org/help?topic=a+b");
    BoxDriver driver(QMessageBox::Ok);
    emit configPlugin()->action(QStringLiteral("OPEN_URL"), {{QStringLiteral("url"), url}});
    QTRY_VERIFY(driver.seen.shown);
    QCOMPARE(driver.seen.title, QStringLiteral("Bastiva Connect App Warning"));
    QVERIFY(driver.seen.text.endsWith(QStringLiteral("\n\n") + url));
    QCOMPARE(driver.seen.labelFormat, Qt::PlainText);
    QVERIFY(driver.seen.selectable);
}

void TestMainWindowPortal::downloadTargets()
{
    const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    QList<DialogCall> calls;
    QStringList answers{env.root() + QStringLiteral("/dl/report.pdf"), QString(),
                        env.root() + QStringLiteral("/other/x")};
    ORVO::seams::setFileDialogAnswer(
        [&](const QString& caption, const QString& path, const QString& filter) {
            calls << DialogCall{caption, path, filter};
            return answers.takeFirst();
        });
    MainWindow w(nullptr, false);
    QSignalSpy spy(&w, &MainWindow::startDownload);
    const auto query = [&](const QString& url, const QString& name) {
        QVERIFY(QMetaObject::invokeMethod(&w, "queryDownloadTarget", Q_ARG(QString, url),
                                          Q_ARG(QString, name)));
    };

    // The first dialog opens at home with the proposed name.
    query(QStringLiteral("https://h/r"), QStringLiteral("report.pdf"));
    QCOMPARE(calls.at(0).caption, QStringLiteral("Select output file"));
    QCOMPARE(calls.at(0).path, home + QStringLiteral("/report.pdf"));
    QCOMPARE(calls.at(0).filter, QStringLiteral("PDF files (*.pdf);;All files (*.*)"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(1).toString(), env.root() + QStringLiteral("/dl/report.pdf"));
    QCOMPARE(w.lastDownloadDir, env.root() + QStringLiteral("/dl"));

    // A server's name with folders in it: only its last part, in the folder
    // of the previous choice. Cancelled: nothing starts, the folder stays.
    query(QStringLiteral("https://h/p"), QStringLiteral("../../.ssh/authorized_keys"));
    QCOMPARE(calls.at(1).path, env.root() + QStringLiteral("/dl/authorized_keys"));
    QCOMPARE(calls.at(1).filter, QStringLiteral(" files (*.);;All files (*.*)"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(w.lastDownloadDir, env.root() + QStringLiteral("/dl"));

    query(QStringLiteral("https://h/q"), QStringLiteral("C:\\Windows\\evil.exe"));
    QCOMPARE(calls.at(2).path, env.root() + QStringLiteral("/dl/evil.exe"));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(w.lastDownloadDir, env.root() + QStringLiteral("/other"));
}

void TestMainWindowPortal::downloadQueryWhileDialogOpen()
{
    MainWindow w(nullptr, false);
    QSignalSpy spy(&w, &MainWindow::startDownload);
    int dialogs = 0;
    ORVO::seams::setFileDialogAnswer([&](const QString&, const QString&, const QString&) {
        ++dialogs;
        // A second query arrives while this dialog is open: dropped.
        QMetaObject::invokeMethod(&w, "queryDownloadTarget", Q_ARG(QString, QStringLiteral("b")),
                                  Q_ARG(QString, QStringLiteral("b.zip")));
        return env.root() + QStringLiteral("/a.zip");
    });
    QVERIFY(QMetaObject::invokeMethod(&w, "queryDownloadTarget",
                                      Q_ARG(QString, QStringLiteral("a")),
                                      Q_ARG(QString, QStringLiteral("a.zip"))));
    QCOMPARE(dialogs, 1);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("a"));
    QVERIFY(!w.downloadQueryActive);
}

void TestMainWindowPortal::openFileDialog()
{
    MainWindow w(nullptr, true);
    QSignalSpy spy(&w, &MainWindow::chosenOpenFile);
    QString caption;
    ORVO::seams::setFileDialogAnswer([&](const QString& c, const QString&, const QString&) {
        caption = c;
        return QString();
    });
    QVERIFY(QMetaObject::invokeMethod(&w, "chooseOpenFile",
                                      Q_ARG(QString, QStringLiteral("Select putty"))));
    QCOMPARE(caption, QStringLiteral("Select putty"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QString());
}

void TestMainWindowPortal::portalViewAndGeometry()
{
    TestConfigPlugin* plugin = configPlugin();
    const int windowsBefore = plugin->windows;
    QSettings settings(ORVO::org(), QLatin1String(ORVO::ApplicationId));
    {
        MainWindow w(nullptr, false);
        w.run();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // A resize of the sign-in view is never kept.
        w.resize(600, 700);
        QVERIFY(!settings.contains(QStringLiteral("guiConfigGeometry")));

        QVERIFY(QMetaObject::invokeMethod(&w, "showConfig"));
        QCOMPARE(plugin->windows, windowsBefore + 1);
        QVERIFY(w.configShown);
        QVERIFY(w.windowState() & Qt::WindowMaximized);
        QCOMPARE(w.minimumSize(), QSize(685, 450));
        QVERIFY(!w.bannerWidget->isVisible());
        QVERIFY(!w.signInWidget->isVisible());
        QVERIFY(!w.loginContainer->isVisible());
        // The first tab is activated, so its page loads.
        ORVO::PluginWindow* window = w.configContainer->window();
        QCOMPARE(window->currentIndex(), 0);
        QCOMPARE(window->pages().first()->widget()->contextMenuPolicy(), Qt::DefaultContextMenu);

        // Shown again: the same window, no second one.
        QVERIFY(QMetaObject::invokeMethod(&w, "showConfig"));
        QCOMPARE(plugin->windows, windowsBefore + 1);

        w.setWindowState(Qt::WindowNoState);
        // Saved once the resizing pauses; a size still waiting is saved as
        // the portal view goes.
        const QString key = QStringLiteral("guiConfigGeometry");
        w.resize(800, 600);
        QVERIFY(settings.value(key).toByteArray() != w.saveGeometry());
        QTRY_COMPARE(settings.value(key).toByteArray(), w.saveGeometry());
        w.resize(900, 640);
        // The wallpaper follows the window.
        QCOMPARE(w.palette().brush(QPalette::Window).texture().size(), QSize(900, 640));

        // A page script's way back: the sign-in view, fixed size again.
        w.backToLogin();
        QVERIFY(!w.configShown);
        QVERIFY(!w.configContainer);
        QCOMPARE(w.maximumSize(), QSize(578, 660));
        // A portal command that comes late leaves the sign-in view alone.
        emit plugin->action(QStringLiteral("AJAX_PING_LOGIN"), QVariantMap());
        QCOMPARE(w.windowList->findChild<QPropertyAnimation*>("hideAnimation")->state(),
                 QAbstractAnimation::Stopped);
    }
    settings.sync();
    const QByteArray saved = settings.value(QStringLiteral("guiConfigGeometry")).toByteArray();
    QVERIFY(!saved.isEmpty());

    // A later run restores the portal view's size instead of maximising.
    MainWindow w(nullptr, false);
    w.run();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(QMetaObject::invokeMethod(&w, "showConfig"));
    QCOMPARE(plugin->windows, windowsBefore + 2);
    QVERIFY(!(w.windowState() & Qt::WindowMaximized));
    QCOMPARE(w.size(), QSize(900, 640));
    // A Logout pressed during a load waits for it; the sign-out made
    // meanwhile by other means (the tray's) ends the press unmade.
    ORVO::PluginWindow* portal = w.configContainer->window();
    QSignalSpy out(portal, SIGNAL(logout()));
    QVERIFY(QMetaObject::invokeMethod(&w, "loadStarted"));
    portal->logoutButton()->click();
    QVERIFY(QMetaObject::invokeMethod(&w, "signingOut", Q_ARG(bool, true)));
    QVERIFY(QMetaObject::invokeMethod(&w, "loadFinished"));
    QCOMPARE(out.count(), 0);
    // A sign-out during a load ends its hold: the hidden buttons stay off.
    w.loadHold.setCapacity(100);
    QVERIFY(QMetaObject::invokeMethod(&w, "loadStarted"));
    QVERIFY(QMetaObject::invokeMethod(&w, "stateChanged",
                                      Q_ARG(libvelcor::State, libvelcor::StateIdle)));
    QTest::qWait(200);
    QVERIFY(!w.disconnectButton->isEnabled() && !w.loadButton->isEnabled());
    // A press that waits for a load ends unmade with the session (the
    // service idle), though the portal's load ends after it.
    QVERIFY(QMetaObject::invokeMethod(&w, "showConfig"));
    ORVO::PluginWindow* next = w.configContainer->window();
    QSignalSpy nextOut(next, SIGNAL(logout()));
    QVERIFY(QMetaObject::invokeMethod(&w, "loadStarted"));
    next->logoutButton()->click();
    QVERIFY(!next->logoutButton()->isEnabled());
    QVERIFY(QMetaObject::invokeMethod(&w, "stateChanged",
                                      Q_ARG(libvelcor::State, libvelcor::StateIdle)));
    QCOMPARE(nextOut.count(), 0);
}

void TestMainWindowPortal::returnCancelsWhileConnecting_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("disconnects");
    QTest::newRow("connecting, Return")
        << int(libvelcor::StateConnecting) << int(Qt::Key_Return) << 1;
    QTest::newRow("reconnecting, Enter")
        << int(libvelcor::StateReconnecting) << int(Qt::Key_Enter) << 1;
    QTest::newRow("connecting, Escape")
        << int(libvelcor::StateConnecting) << int(Qt::Key_Escape) << 0;
    QTest::newRow("connected, Return")
        << int(libvelcor::StateConnected) << int(Qt::Key_Return) << 0;
    QTest::newRow("idle, Return") << int(libvelcor::StateIdle) << int(Qt::Key_Return) << 0;
}

void TestMainWindowPortal::returnCancelsWhileConnecting()
{
    QFETCH(int, state);
    QFETCH(int, key);
    QFETCH(int, disconnects);
    MainWindow w(nullptr, false);
    w.state = libvelcor::State(state);
    QSignalSpy spy(&w, &MainWindow::sigDisconnect);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(&w, &press);
    QApplication::sendEvent(&w, &repeat);
    QCOMPARE(spy.count(), 2 * disconnects);
}

void TestMainWindowPortal::closeAnnounces()
{
    MainWindow w(nullptr, false);
    w.show();
    QSignalSpy spy(&w, &MainWindow::close);
    QVERIFY(static_cast<QWidget&>(w).close());
    QCOMPARE(spy.count(), 1);
    QVERIFY(!w.isVisible());
}

ORVO_TEST_GUI_MAIN(TestMainWindowPortal)
#include "tst_mainwindowportal.moc"
