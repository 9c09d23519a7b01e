#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtPlugin>

#include "../../gui/mainwindow/testconfigplugin.h"
#include "gui/log/logform.h"
#include "gui/mainwindow/mainview.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "gui/widgets/lineedit.h"
#include "logcapture.h"
#include "loginfixture.h"
#include "plugin/login/loginform.h"
#include "testenv.h"
#include "testmain.h"

Q_IMPORT_PLUGIN(LoginPlugin)
Q_IMPORT_PLUGIN(TestConfigPlugin)

namespace {

TestConfigPlugin* portal()
{
    for (QObject* o : QPluginLoader::staticInstances())
        if (auto* p = qobject_cast<TestConfigPlugin*>(o))
            return p;
    return nullptr;
}

void setState(MainWindow& w, int s)
{
    QVERIFY(QMetaObject::invokeMethod(&w, "stateChanged",
                                      Q_ARG(libvelcor::State, libvelcor::State(s))));
}

// What the bottom bar shows, in one word per part.
QString bar(MainWindow& w)
{
    QStringList parts;
    if (w.signInButton->isVisible())
        parts << w.signInButton->text() + (w.signInButton->isEnabled() ? "" : "(off)");
    if (w.iconButton->isVisible())
        parts << QString("arrow") + (w.iconButton->isEnabled() ? "" : "(off)");
    if (w.disconnectButton->isVisible())
        parts << w.disconnectButton->text();
    if (w.loadButton->isVisible())
        parts << "load";
    if (w.loadingMovie->state() == QMovie::Running)
        parts << "spin";
    if (w.ui->statusBar->isVisible())
        parts << "status";
    if (w.bgLabelLg->text() == "Signing out")
        parts << "(signing out)";
    return parts.join(' ');
}

} // namespace

// The main window's sign-in bar with the real login plugin: buttons,
// spinner, status bar and curtain through the connection states.
class TestSignInView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        QDir::setSearchPaths("rc", {":/rc", ":/"});
        LogForm::setListenPort(0);
        QVERIFY(logintest::plugin());
        QVERIFY(portal());
    }

    void states_data();
    void states();
    void signInAndOutFromTheButton();
    void portalViewKeepsArrowWorking();
    void oneWaitForThePortal();
    void progressText();
};

// Steps: a state (0 to 4), Plain (the connection up is shown plain), Portal
// (the web login, with the portal ready), a sign-in made (SignIn) or ended,
// the user's sign-out of it under way (Out).
enum { Plain = 10, Portal = 11, SignIn = 12, Ended = 13, Out = 14 };

void TestSignInView::states_data()
{
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<QStringList>("bars");
    const QString idle = "SIGN IN arrow";
    const QString connecting = "CANCEL load spin";
    const QString plain = "LOGOUT arrow spin";
    const QString portal = "spin status";
    const QString locked = "CANCEL load spin status";
    const QString out = "LOGOUT load spin (signing out)";
    const QString cancelled = "CANCEL load spin (signing out)";
    QTest::newRow("vpn 0-2-4-0") << QList<int>{0, 2, Plain, 4, 0}
                                 << QStringList{idle, connecting, connecting, plain, idle};
    QTest::newRow("vpn 0-2-4-3-4-0")
        << QList<int>{0, 2, Plain, 4, 3, 4, 0}
        << QStringList{idle, connecting, connecting, plain, plain, plain, idle};
    // Management server: up, the bar keeps CANCEL until the portal comes; a
    // reconnection lowers the curtain.
    QTest::newRow("managed 0-2-4-0")
        << QList<int>{0, 2, 4, 0} << QStringList{idle, connecting, connecting, idle};
    QTest::newRow("managed 0-2-4-3-4-0")
        << QList<int>{0, 2, 4, 3, 4, 0}
        << QStringList{idle, connecting, connecting, connecting, connecting, idle};
    QTest::newRow("managed portal, reconnected")
        << QList<int>{0, 2, 4, Portal, 3, 4, 0}
        << QStringList{
               idle,          connecting, connecting, "spin status", "CANCEL load spin status",
               "spin status", idle};
    QTest::newRow("managed portal, reconnecting, connecting")
        << QList<int>{0, 2, 4, Portal, 3, 2, 0}
        << QStringList{idle, connecting, connecting, portal, locked, locked, idle};
    QTest::newRow("managed, no server named")
        << QList<int>{0, 2, 4, Plain, 3, 4, 0}
        << QStringList{idle, connecting, connecting, plain, plain, plain, idle};
    QTest::newRow("managed, straight to connected")
        << QList<int>{0, 4, 0} << QStringList{idle, "CANCEL load spin", idle};
    QTest::newRow("reconnect before connected")
        << QList<int>{0, 2, 3, 0} << QStringList{idle, connecting, connecting, idle};
    // From SIGN IN on, also before the service's first report (and through
    // one from before the sign-in's "start"), CANCEL ends the sign-in.
    QTest::newRow("sign-in before the first report")
        << QList<int>{0, SignIn, 0, 2, 4, Ended, 0}
        << QStringList{idle, connecting, connecting, connecting, connecting, connecting, idle};
    QTest::newRow("sign-in ended before any report")
        << QList<int>{1, SignIn, Ended} << QStringList{idle, connecting, idle};
    // From LOGOUT until the tunnel is down, whatever the server does, also
    // while the service is away.
    QTest::newRow("managed portal, signing out")
        << QList<int>{0, SignIn, 2, 4, Portal, Out, 3, 1, Ended, 0}
        << QStringList{idle, connecting, connecting, connecting, portal, out, out, out, idle, idle};
    QTest::newRow("managed portal, reconnecting, cancelled")
        << QList<int>{0, SignIn, 2, 4, Portal, 3, Out, 1, Ended}
        << QStringList{idle,   connecting, connecting, connecting, portal,
                       locked, cancelled,  cancelled,  idle};
    QTest::newRow("found reconnecting at the start")
        << QList<int>{3, Plain, 4, 1} << QStringList{connecting, connecting, plain, idle};
}

void TestSignInView::states()
{
    QFETCH(QList<int>, steps);
    QFETCH(QStringList, bars);
    orvotest::TestEnv env;
    QVERIFY(logintest::writeProfile(env.dataDir(), "office", "vpn"));
    MainWindow w(nullptr, false);
    w.show();
    QCOMPARE(w.run(), 0);
    portal()->ready = true;
    // The sign-in form hears what the window hears, as the controller wires it.
    ORVO::LoginPlugin* p = logintest::plugin();
    p->signInLasts(false);
    QSignalSpy connects(p, SIGNAL(sigConnect()));
    const bool managed = !steps.contains(Plain);
    w.setupEnabled = managed;
    for (int i = 0; i < steps.size(); ++i) {
        const int step = steps.at(i);
        if (step == Plain)
            QVERIFY(QMetaObject::invokeMethod(&w, "plainConnection", Q_ARG(bool, true),
                                              Q_ARG(QString, QString())));
        else if (step == Portal)
            QVERIFY(QMetaObject::invokeMethod(&w, "loggedIn"));
        else if (step == SignIn || step == Ended)
            QVERIFY(QMetaObject::invokeMethod(&w, "signInLasts", Q_ARG(bool, step == SignIn)));
        else if (step == Out)
            QVERIFY(QMetaObject::invokeMethod(&w, "signingOut", Q_ARG(bool, true)));
        else
            setState(w, step);
        if (step == SignIn || step == Ended)
            p->signInLasts(step == SignIn);
        else if (step < Plain)
            emit p->stateChanged(libvelcor::State(step));
        QCOMPARE(bar(w), bars.at(i));
        // While a connection is made or up, the user can always end it:
        // CANCEL or LOGOUT in the bar, or the portal view's own Logout.
        const bool portalUsable = w.configShown && w.configContainer->isEnabled();
        // The sign-in form starts nothing meanwhile: no other sign-in over it.
        if ((w.state != libvelcor::StateIdle && w.state != libvelcor::StateError) || w.signInOpen) {
            QVERIFY(bar(w).startsWith("CANCEL") || bar(w).startsWith("LOGOUT") || portalUsable);
            p->signInClicked();
            QCOMPARE(connects.count(), 0);
            QVERIFY(!p->loginForm->form()->passwordEdit->lineEdit()->isEnabled() &&
                    !p->loginForm->profileInfoButton()->isEnabled());
        }
        const bool reconnecting = step == 3 && w.connected;
        if (reconnecting)
            QCOMPARE(w.ui->statusBar->currentMessage(), QString("Reconnecting"));
        if (reconnecting && managed) {
            QVERIFY(!w.windowList->windows().at(0)->isEnabled());
            QVERIFY(w.curtain->isVisible());
        }
        if (step == 4) {
            QVERIFY(w.connectedTimer.isActive());
            QVERIFY(w.windowList->windows().at(0)->isEnabled());
        }
    }
    portal()->ready = false;
    // The curtain is gone once its fade ended.
    QTRY_VERIFY(!w.curtain->isVisible());
}

void TestSignInView::signInAndOutFromTheButton()
{
    orvotest::TestEnv env;
    QVERIFY(logintest::writeProfile(env.dataDir(), "office", "vpn"));
    MainWindow w(nullptr, false);
    w.show();
    QCOMPARE(w.run(), 0);
    w.setupEnabled = false;
    QSignalSpy connects(logintest::plugin(), SIGNAL(sigConnect()));
    QSignalSpy disconnects(&w, SIGNAL(sigDisconnect()));
    setState(w, 0);
    QTest::mouseClick(w.iconButton, Qt::LeftButton);
    QCOMPARE(connects.count(), 1);
    setState(w, 2);
    QVERIFY(
        QMetaObject::invokeMethod(&w, "plainConnection", Q_ARG(bool, true), Q_ARG(QString, {})));
    setState(w, 4);
    QTest::mouseClick(w.signInButton, Qt::LeftButton);
    QCOMPARE(disconnects.count(), 1);
    QCOMPARE(connects.count(), 1);
}

void TestSignInView::portalViewKeepsArrowWorking()
{
    orvotest::TestEnv env;
    MainWindow w(nullptr, false);
    w.show();
    QCOMPARE(w.run(), 0);
    portal()->ready = true;
    setState(w, 2);
    setState(w, 4);
    QVERIFY(QMetaObject::invokeMethod(&w, "loggedIn"));
    QVERIFY(!w.iconButton->isEnabled());
    QVERIFY(w.ui->statusBar->isVisible());
    setState(w, 0);
    QCOMPARE(bar(w), QString("SIGN IN arrow"));
    portal()->ready = false;
}

void TestSignInView::oneWaitForThePortal()
{
    orvotest::TestEnv env;
    MainWindow w(nullptr, false);
    w.show();
    QCOMPARE(w.run(), 0);
    portal()->ready = false;
    setState(w, 2);
    setState(w, 4);
    orvotest::LogCapture log;
    const QRegularExpression waiting("not ready yet");
    for (int i = 0; i < 3; ++i)
        QVERIFY(QMetaObject::invokeMethod(&w, "loggedIn"));
    QCOMPARE(log.count(waiting), 3);
    QTest::qWait(1300);
    // One chain, however many web logins came.
    QCOMPARE(log.count(waiting), 4);
    setState(w, 1);
    QVERIFY(!w.configWaitTimer.isActive());
    QTest::qWait(1200);
    QCOMPARE(log.count(waiting), 4);
}

void TestSignInView::progressText()
{
    orvotest::TestEnv env;
    MainWindow w(nullptr, false);
    QCOMPARE(w.run(), 0);
    const struct
    {
        int step, total;
        const char* text;
    } rows[] = {{5, 12, "40%"},        {3, 0, "40%"},  {100, 100, "100%"}, {3, 3, "99%"},
                {30000000, 1, "100%"}, {-5, 12, "0%"}, {5, -12, "0%"},     {13, 12, "100%"}};
    for (const auto& r : rows) {
        QVERIFY(QMetaObject::invokeMethod(
            &w, "progress", Q_ARG(libvelcor::Progress, libvelcor::Progress(r.step, r.total, "x"))));
        QCOMPARE(w.loadButton->text(), QString(r.text));
    }
    // The next attempt, after a refusal, starts from nothing.
    QCOMPARE(w.loadButton->text(), QString("100%"));
    setState(w, 1);
    setState(w, 2);
    QCOMPARE(w.loadButton->text(), QString("0%"));
}

ORVO_TEST_GUI_MAIN(TestSignInView)
#include "tst_signinview.moc"
