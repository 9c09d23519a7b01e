// The tray icon controller: menus per mode, the state display, the sign-in
// window of the minimal mode, quit, and a desktop without a system tray.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>

#include <memory>

#include "common/common.h"
#include "fakeloginplugin.h"
#include "gui/gui.h"
#include "gui/guiwiring.h"
#include "gui/mainwindow/loginwidget.h"
#include "gui/testseams.h"
#include "gui/tray/systemtray.h"
#include "logcapture.h"
#include "testmain.h"

using ORVO::SystemTray;

namespace {

QImage imageOf(const QIcon& icon)
{
    return icon.pixmap(QSize(32, 32)).toImage();
}

QStringList texts(const QList<QAction*>& actions)
{
    QStringList out;
    for (QAction* a : actions)
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

// A quit asked for outside a running event loop would make every later
// nested loop (QSignalSpy::wait, modal boxes) return at once: let a loop
// take it.
void settleQuit()
{
    QTimer::singleShot(0, qApp, []() { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

} // namespace

class TestSystemTray : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeMainWindow> window;
    std::unique_ptr<FakeLoginGfx> plugin;
    std::unique_ptr<SystemTray> tray;

    SystemTray* make(bool minimal, bool withPlugin = true)
    {
        window = std::make_unique<FakeMainWindow>();
        plugin = std::make_unique<FakeLoginGfx>();
        tray = std::make_unique<SystemTray>(window.get(), minimal);
        if (withPlugin && tray->setLoginPlugin(plugin.get()) != 0)
            return nullptr;
        return tray.get();
    }
    QMenu* menu() const { return window->findChild<QMenu*>("trayIconMenu"); }
    QMenu* status() const { return window->findChild<QMenu*>("trayIconStatus"); }
    QSystemTrayIcon* icon() const { return window->findChild<QSystemTrayIcon*>(); }
    QAction* entry(const QString& text) const
    {
        for (QAction* a : menu()->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    ORVO::LoginWidget* signInWindow() const
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* login = qobject_cast<ORVO::LoginWidget*>(w))
                return login;
        return nullptr;
    }
    void setState(int state)
    {
        QVERIFY(QMetaObject::invokeMethod(tray.get(), "_stateChanged",
                                          Q_ARG(libvelcor::State, libvelcor::State(state))));
    }

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
        ORVO::seams::setAssumeSystemTray(true);
    }

    void cleanup()
    {
        tray.reset();
        plugin.reset();
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        settleQuit();
        ORVO::seams::setAssumeSystemTray(true);
    }

    void menuPerMode_data()
    {
        QTest::addColumn<bool>("minimal");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("full") << false
                              << QStringList{"Show Connect App", "Status", "Connect", "Disconnect",
                                             "Quit"};
        QTest::newRow("minimal") << true
                                 << QStringList{"Status", "Connect", "Disconnect", "Settings",
                                                "Quit"};
    }

    void menuPerMode()
    {
        QFETCH(bool, minimal);
        QFETCH(QStringList, entries);
        QVERIFY(make(minimal));
        QVERIFY(tray->isValid());
        QVERIFY(tray->isTrayAvailable());
        QCOMPARE(texts(menu()->actions()), entries);
        QCOMPARE(texts(status()->actions()),
                 (QStringList{"Connected to:", "Username:", "Connected since:"}));
        for (QAction* a : status()->actions())
            QVERIFY(!a->isEnabled());
        QCOMPARE(icon()->contextMenu(), menu());
        QCOMPARE(icon()->isVisible(), QSystemTrayIcon::isSystemTrayAvailable());
        // The idle state: only the entries the mode has.
        QVERIFY(entry("Connect")->isVisible() && entry("Connect")->isEnabled());
        QVERIFY(!entry("Disconnect")->isVisible() && !entry("Disconnect")->isEnabled());
        QVERIFY(!status()->menuAction()->isVisible());
        QCOMPARE(entry("Show Connect App") != nullptr, !minimal);
        QCOMPARE(entry("Settings") != nullptr, minimal);
        QCOMPARE(imageOf(icon()->icon()), imageOf(QIcon("rc:icon-idle.png")));
        QCOMPARE(icon()->toolTip(), libvelcor::stateToString(libvelcor::StateIdle));
    }

    // The states of a connection, then a second one without a profile.
    void stateSequence_data()
    {
        QTest::addColumn<bool>("minimal");
        QTest::newRow("full") << false;
        QTest::newRow("minimal") << true;
    }

    void stateSequence()
    {
        QFETCH(bool, minimal);
        QVERIFY(make(minimal));
        ORVO::ConnProfile profile;
        QCOMPARE(profile.setId("office"), 0);
        tray->profileReceive(&profile);
        tray->authReceive(libvelcor::Auth(libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType,
                                          QString(""), "alice", "secret", QString("")));
        QVERIFY(QMetaObject::invokeMethod(tray.get(), "gotError", Q_ARG(QString, "Boom")));

        struct Step
        {
            int state;
            const char* icon;
            bool connectShown;
            bool statusShown;
            const char* tooltip; // null: the state's own text
            const char* connectedTo;
            const char* username; // null: hidden
            bool signInShown;
        };
        const Step steps[] = {
            {2, "rc:icon-connecting.png", false, false, nullptr, nullptr, nullptr, false},
            {4, "rc:icon-connected.png", false, true, nullptr, "Connected to: office",
             "Username: alice", false},
            {3, "rc:icon-connecting.png", false, true, nullptr, "Connected to: office",
             "Username: alice", false},
            // The error ended the connection: Connect starts another.
            {1, "rc:icon-error.png", true, true, "Boom", "Connected to: office", "Username: alice",
             true},
            {0, "rc:icon-idle.png", true, false, nullptr, nullptr, nullptr, true},
            // The last error stays; profile and user were emptied at idle.
            {1, "rc:icon-error.png", true, false, "Boom", nullptr, nullptr, true},
            // A sign-in before the service's first report: Disconnect ends it.
            {-2, "rc:icon-error.png", false, false, "Boom", nullptr, nullptr, true},
            {-3, "rc:icon-error.png", true, false, "Boom", nullptr, nullptr, true},
            // Up, never seen connecting (found so at the start): Disconnect ends it.
            {4, "rc:icon-connected.png", false, true, nullptr, "Connected to: ", nullptr, false},
        };
        for (const Step& s : steps) {
            if (s.state < 0)
                QVERIFY(QMetaObject::invokeMethod(tray.get(), "signInLasts",
                                                  Q_ARG(bool, s.state == -2)));
            else
                setState(s.state);
            const QByteArray at = "step " + QByteArray::number(s.state);
            QVERIFY2(imageOf(icon()->icon()) == imageOf(QIcon(s.icon)), at);
            QVERIFY2(entry("Connect")->isVisible() == s.connectShown, at);
            QVERIFY2(entry("Connect")->isEnabled() == s.connectShown, at);
            QVERIFY2(entry("Disconnect")->isVisible() == !s.connectShown, at);
            QVERIFY2(entry("Disconnect")->isEnabled() == !s.connectShown, at);
            QVERIFY2(status()->menuAction()->isVisible() == s.statusShown, at);
            const QString tip = s.tooltip ? QString(s.tooltip)
                                          : libvelcor::stateToString(libvelcor::State(s.state));
            QCOMPARE(icon()->toolTip(), tip);
            if (minimal) {
                QVERIFY2(entry("Settings")->isEnabled() == s.connectShown, at);
                QVERIFY2(signInWindow()->isVisible() == s.signInShown, at);
            }
            if (s.connectedTo) {
                const QList<QAction*> st = status()->actions();
                QCOMPARE(st.at(0)->text(), QString(s.connectedTo));
                QCOMPARE(st.at(1)->isVisible(), s.username != nullptr);
                if (s.username)
                    QCOMPARE(st.at(1)->text(), QString(s.username));
                // The time in UTC when state 4 came.
                const QString since = st.at(2)->text();
                QVERIFY2(since.startsWith("Connected since: "), qPrintable(since));
                QDateTime when = QDateTime::fromString(since.right(19), "yyyy-MM-dd hh:mm:ss");
                when.setTimeSpec(Qt::UTC);
                QVERIFY(qAbs(when.secsTo(QDateTime::currentDateTimeUtc())) <= 5);
            }
        }
    }

    // Quit: close() before sigDisconnect(), the loop ends 500 ms later.
    void quitOrder()
    {
        QVERIFY(make(false));
        QStringList journal;
        connect(tray.get(), &SystemTray::close, this, [&journal]() { journal << "close"; });
        connect(tray.get(), &SystemTray::sigDisconnect, this,
                [&journal]() { journal << "sigDisconnect"; });
        QElapsedTimer t;
        t.start();
        entry("Quit")->trigger();
        QCOMPARE(journal, (QStringList{"close", "sigDisconnect"}));
        QTimer::singleShot(5000, qApp, []() { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY2(t.elapsed() >= 500, qPrintable(QString::number(t.elapsed())));
        QVERIFY(t.elapsed() < 3000);
    }

    // The entries drive the plugin and the controller.
    void entries()
    {
        QVERIFY(make(false));
        QSignalSpy authRequest(plugin.get(), SIGNAL(authRequest()));
        QSignalSpy unhide(tray.get(), SIGNAL(unhide()));
        QSignalSpy disconnect(tray.get(), SIGNAL(sigDisconnect()));
        QSignalSpy connectSignal(tray.get(), SIGNAL(sigConnect()));
        entry("Connect")->trigger();
        QCOMPARE(authRequest.count(), 1);
        QCOMPARE(connectSignal.count(), 0);
        entry("Show Connect App")->trigger();
        QCOMPARE(unhide.count(), 1);
        setState(2);
        entry("Disconnect")->trigger();
        QCOMPARE(disconnect.count(), 1);
    }

    // The minimal mode's sign-in window: made by setLoginPlugin, shown by
    // Settings and on errors, hidden when connected, replaced by a later
    // setLoginPlugin; released with the tray.
    void signInWindowLife()
    {
        QVERIFY(make(true));
        QPointer<ORVO::LoginWidget> first = signInWindow();
        QVERIFY(first);
        QVERIFY(!first->isVisible());
        QCOMPARE(first->size(), QSize(578, 430));
        QCOMPARE(first->windowTitle(), ORVO::versionInfo());
        entry("Settings")->trigger();
        QVERIFY(first->isVisible());
        setState(4);
        QVERIFY(!first->isVisible());

        FakeLoginGfx other;
        QCOMPARE(tray->setLoginPlugin(&other), 0);
        QVERIFY(!first);
        QPointer<ORVO::LoginWidget> second = signInWindow();
        QVERIFY(second);
        tray.reset();
        QVERIFY(!second);
    }

    // Settings, errors and progress before a login plugin, or in a mode
    // without a sign-in window, do nothing.
    void withoutSignInWindow_data()
    {
        QTest::addColumn<bool>("minimal");
        QTest::newRow("full") << false;
        QTest::newRow("minimal, no plugin yet") << true;
    }

    void withoutSignInWindow()
    {
        QFETCH(bool, minimal);
        QVERIFY(make(minimal, false));
        QVERIFY(QMetaObject::invokeMethod(tray.get(), "_settingsTriggered"));
        setState(1);
        tray->showSignInWindow();
        QVERIFY(QMetaObject::invokeMethod(
            tray.get(), "progress", Q_ARG(libvelcor::Progress, libvelcor::Progress(1, 3, "step"))));
        QCOMPARE(signInWindow(), static_cast<ORVO::LoginWidget*>(nullptr));
        QVERIFY(plugin->progressCalls.isEmpty());
    }

    void loginPluginFailures()
    {
        QVERIFY(make(true, false));
        orvotest::LogCapture log;
        QCOMPARE(tray->setLoginPlugin(nullptr), -1);
        plugin->giveWindow = false;
        QCOMPARE(tray->setLoginPlugin(plugin.get()), -1);
        QCOMPARE(log.linesAt("ERROR").size(), 3);
        QCOMPARE(signInWindow(), static_cast<ORVO::LoginWidget*>(nullptr));
    }

    // Progress reaches the plugin in the minimal mode only.
    void progress_data()
    {
        QTest::addColumn<bool>("minimal");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("full") << false << QStringList();
        QTest::newRow("minimal") << true << QStringList{"2/5: Authenticating"};
    }

    void progress()
    {
        QFETCH(bool, minimal);
        QFETCH(QStringList, calls);
        QVERIFY(make(minimal));
        QVERIFY(QMetaObject::invokeMethod(
            tray.get(), "progress",
            Q_ARG(libvelcor::Progress, libvelcor::Progress(2, 5, "Authenticating"))));
        QCOMPARE(plugin->progressCalls, calls);
    }

    // Animated icons run until the next image; other endings stop them.
    void icons()
    {
        QVERIFY(make(false));
        const QImage idle = imageOf(QIcon("rc:icon-idle.png"));
        tray->setSystemTrayIcon("rc:refresh-on.gif");
        QTRY_VERIFY(imageOf(icon()->icon()) != idle);
        tray->setSystemTrayIcon("");
        const QImage frame = imageOf(icon()->icon());
        QVERIFY(frame != idle);
        tray->setSystemTrayIcon("rc:icon-idle.PNG");
        const QImage stopped = imageOf(icon()->icon());
        QTest::qWait(300);
        QCOMPARE(imageOf(icon()->icon()), stopped);
        tray->setSystemTrayIcon("rc:refresh-on.gif");
        tray->setSystemTrayIcon("rc:icon-idle.png");
        QTest::qWait(300);
        QCOMPARE(imageOf(icon()->icon()), idle);
    }

    // No system tray: a valid controller without an icon, a notice, the
    // state kept all the same; in minimal mode the sign-in window can be
    // shown at start.
    void noSystemTray_data()
    {
        QTest::addColumn<bool>("minimal");
        QTest::newRow("full") << false;
        QTest::newRow("minimal") << true;
    }

    void noSystemTray()
    {
        QFETCH(bool, minimal);
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("this desktop has a system tray");
        ORVO::seams::setAssumeSystemTray(false);
        orvotest::LogCapture log;
        QVERIFY(make(minimal));
        QVERIFY(tray->isValid());
        QVERIFY(!tray->isTrayAvailable());
        QCOMPARE(icon(), static_cast<QSystemTrayIcon*>(nullptr));
        QCOMPARE(log.count(QRegularExpression("\\[notice\\].*\\[SystemTray\\] No system tray")), 1);
        QCOMPARE(log.linesAt("ERROR").size(), 0);
        for (int state : {2, 4, 1, 0})
            setState(state);
        QVERIFY(entry("Connect")->isVisible());
        tray->showSignInWindow();
        if (!minimal) {
            QCOMPARE(signInWindow(), static_cast<ORVO::LoginWidget*>(nullptr));
            // Nothing would bring the closed main window back: it quits.
            QSignalSpy closed(tray.get(), SIGNAL(close()));
            QSignalSpy disconnect(tray.get(), SIGNAL(sigDisconnect()));
            QVERIFY(QMetaObject::invokeMethod(tray.get(), "windowClosed"));
            QCOMPARE(closed.count(), 1);
            QCOMPARE(disconnect.count(), 1);
            QTimer::singleShot(5000, qApp, []() { QCoreApplication::exit(99); });
            QCOMPARE(QCoreApplication::exec(), 0);
            return;
        }
        // Connected, the only window stays, with the state and a way out.
        setState(2);
        setState(4);
        QVERIFY(signInWindow()->isVisible());
        QVERIFY(signInWindow()
                    ->findChild<QLabel*>("signInStatusLabel")
                    ->text()
                    .startsWith("Connected to:"));
        QSignalSpy disconnect(tray.get(), SIGNAL(sigDisconnect()));
        QSignalSpy closed(tray.get(), SIGNAL(close()));
        signInWindow()->findChild<QPushButton*>("signInStatusButton")->click();
        QCOMPARE(disconnect.count(), 1);
        signInWindow()->close();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(disconnect.count(), 2);
    }

    // The tray's signals and slots match the controller's wiring.
    void wiring()
    {
        QVERIFY(make(false));
        ORVO::Gui gui(nullptr, false, false);
        QCOMPARE(ORVO::guiwiring::connectTray(&gui, tray.get(), plugin.get(), window.get()), 0);
        QSignalSpy guiDisconnect(&gui, SIGNAL(sigDisconnect()));
        emit gui.stateChanged(libvelcor::StateConnecting);
        QVERIFY(entry("Disconnect")->isEnabled());
        entry("Disconnect")->trigger();
        QCOMPARE(guiDisconnect.count(), 1);
        // With a tray a closed main window comes back through Show.
        emit window->close();
        QCOMPARE(guiDisconnect.count(), 1);
    }
};

ORVO_TEST_GUI_MAIN(TestSystemTray)
#include "tst_systemtray.moc"
