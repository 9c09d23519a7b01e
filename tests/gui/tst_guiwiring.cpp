#include <functional>

#include "fakes.h"
#include "gui/gui.h"
#include "gui/guiwiring.h"
#include "logcapture.h"
#include "testmain.h"

using namespace ORVO;
using orvofake::CallLog;
using orvofake::FakeLoginPlugin;
using orvofake::FakeMainWindow;
using orvofake::FakeManager;
using orvofake::FakeTray;

// The window-side connections of the GUI controller, against the fake kit's
// windows; one call log across all of them gives the order of receivers.
class TestGuiWiring : public QObject
{
    Q_OBJECT

private slots:
    void receiverOrder_data();
    void receiverOrder();
    void minimalModeLeavesMainWindowOut();
    void missingEnd();
};

using Trigger = std::function<void(Gui&, FakeLoginPlugin&, FakeMainWindow&, FakeTray&)>;
Q_DECLARE_METATYPE(Trigger)

void TestGuiWiring::receiverOrder_data()
{
    QTest::addColumn<Trigger>("trigger");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("login credential: window, Manager, tray")
        << Trigger([](Gui&, FakeLoginPlugin& l, FakeMainWindow&, FakeTray&) {
               emit l.authSupply(libvelcor::Auth());
           })
        << QStringList{"window.authReceived", "manager._authReceive", "tray.authReceive"};
    QTest::newRow("login configuration: Manager, window, tray")
        << Trigger([](Gui&, FakeLoginPlugin& l, FakeMainWindow&, FakeTray&) {
               emit l.configSupply(QVariant());
           })
        << QStringList{"manager.configSupply", "window.configReceive", "tray.configReceive"};
    QTest::newRow("disconnect: login plugin, then Manager")
        << Trigger(
               [](Gui& g, FakeLoginPlugin&, FakeMainWindow&, FakeTray&) { emit g.sigDisconnect(); })
        << QStringList{"login.sigDisconnect", "manager._sigDisconnect"};
    QTest::newRow("tray quit: login plugin, then Manager")
        << Trigger([](Gui&, FakeLoginPlugin&, FakeMainWindow&, FakeTray& t) { emit t.close(); })
        << QStringList{"login.close", "manager.close"};
    QTest::newRow("window disconnect")
        << Trigger(
               [](Gui&, FakeLoginPlugin&, FakeMainWindow& w, FakeTray&) { emit w.sigDisconnect(); })
        << QStringList{"login.sigDisconnect", "manager._sigDisconnect"};
    QTest::newRow("state: window, then tray")
        << Trigger([](Gui& g, FakeLoginPlugin&, FakeMainWindow&, FakeTray&) {
               emit g.stateChanged(libvelcor::StateConnected);
           })
        << QStringList{"window.stateChanged", "tray._stateChanged"};
    QTest::newRow("sign-in lasts: the sign-in form too")
        << Trigger([](Gui& g, FakeLoginPlugin&, FakeMainWindow&, FakeTray&) {
               emit g.signInLasts(true);
           })
        << QStringList{"login.signInLasts", "window.signInLasts", "tray.signInLasts"};
    QTest::newRow("progress: window, then tray")
        << Trigger([](Gui& g, FakeLoginPlugin&, FakeMainWindow&, FakeTray&) {
               emit g.progress(libvelcor::Progress());
           })
        << QStringList{"window.progress", "tray.progress"};
    QTest::newRow("Manager's fragments: window, then tray")
        << Trigger([](Gui& g, FakeLoginPlugin&, FakeMainWindow&, FakeTray&) {
               emit g.configSupplyInt(QVariant());
           })
        << QStringList{"window.configReceive", "tray.configReceive"};
    QTest::newRow("window closed: tray")
        << Trigger([](Gui&, FakeLoginPlugin&, FakeMainWindow& w, FakeTray&) { emit w.close(); })
        << QStringList{"tray.windowClosed"};
    QTest::newRow("error: tray") << Trigger([](Gui& g, FakeLoginPlugin&, FakeMainWindow&,
                                               FakeTray&) { emit g.error("e"); })
                                 << QStringList{"tray.gotError"};
    QTest::newRow("login profile: tray")
        << Trigger([](Gui&, FakeLoginPlugin& l, FakeMainWindow&, FakeTray&) {
               emit l.profileSupply(nullptr);
           })
        << QStringList{"tray.profileReceive"};
}

// Full GUI mode: the Gui's own connections first, then Manager's.
void TestGuiWiring::receiverOrder()
{
    QFETCH(Trigger, trigger);
    QFETCH(QStringList, calls);
    CallLog log;
    Gui gui(nullptr, false, false);
    FakeLoginPlugin login(&log);
    FakeMainWindow window(&log, false, false);
    FakeTray tray(&log);
    QCOMPARE(guiwiring::connectLogin(&gui, &login, &window), 0);
    QCOMPARE(guiwiring::connectMainWindow(&gui, &window), 0);
    QCOMPARE(guiwiring::connectTray(&gui, &tray, &login, &window), 0);
    FakeManager manager(&log, &gui);
    trigger(gui, login, window, tray);
    QCOMPARE(log.names(), calls);
}

void TestGuiWiring::minimalModeLeavesMainWindowOut()
{
    CallLog log;
    Gui gui(nullptr, false, true);
    FakeLoginPlugin login(&log);
    FakeMainWindow window(&log, false, false);
    FakeTray tray(&log);
    QCOMPARE(guiwiring::connectLogin(&gui, &login, &window), 0);
    QCOMPARE(guiwiring::connectTray(&gui, &tray, &login, &window), 0);
    emit gui.stateChanged(libvelcor::StateIdle);
    emit login.authSupply(libvelcor::Auth());
    emit window.sigDisconnect();
    QCOMPARE(log.names(), QStringList({"tray._stateChanged", "tray.authReceive"}));
}

// No login plugin: its connections are skipped with an ERROR line, without
// Qt's connect warnings, and the others are still made.
void TestGuiWiring::missingEnd()
{
    CallLog calls;
    Gui gui(nullptr, false, false);
    FakeMainWindow window(&calls, false, false);
    orvotest::LogCapture log;
    QCOMPARE(guiwiring::connectLogin(&gui, nullptr, &window), -1);
    QCOMPARE(log.linesAt(QStringLiteral("ERROR")).size(), 12);
    emit gui.configSupplyInt(QVariant());
    QCOMPARE(calls.names(), QStringList({"window.configReceive"}));
}

ORVO_TEST_MAIN(TestGuiWiring)
#include "tst_guiwiring.moc"
