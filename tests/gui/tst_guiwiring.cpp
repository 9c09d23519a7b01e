#include <functional>

#include "gui/gui.h"
#include "gui/guiwiring.h"
#include "guifakes.h"
#include "logcapture.h"
#include "testmain.h"

using namespace ORVO;

// The window-side connections of the GUI controller, against stand-ins
// with the windows' signatures.
class TestGuiWiring : public QObject
{
    Q_OBJECT

private slots:
    void receiverOrder_data();
    void receiverOrder();
    void minimalModeLeavesMainWindowOut();
    void missingEnd();
};

using Trigger = std::function<void(Gui&, FakeLogin&, FakeWindow&, FakeTray&)>;
Q_DECLARE_METATYPE(Trigger)

void TestGuiWiring::receiverOrder_data()
{
    QTest::addColumn<Trigger>("trigger");
    QTest::addColumn<QStringList>("journal");

    QTest::newRow("login credential: window, Manager, tray")
        << Trigger([](Gui&, FakeLogin& l, FakeWindow&, FakeTray&) {
               emit l.authSupply(libvelcor::Auth());
           })
        << QStringList{"W:authReceived", "M:_authReceive", "T:authReceive"};
    QTest::newRow("login configuration: Manager, window, tray")
        << Trigger(
               [](Gui&, FakeLogin& l, FakeWindow&, FakeTray&) { emit l.configSupply(QVariant()); })
        << QStringList{"M:configSupply", "W:configReceive", "T:configReceive"};
    QTest::newRow("disconnect: login plugin, then Manager")
        << Trigger([](Gui& g, FakeLogin&, FakeWindow&, FakeTray&) { emit g.sigDisconnect(); })
        << QStringList{"L:sigDisconnect", "M:_sigDisconnect"};
    QTest::newRow("tray quit: login plugin, then Manager")
        << Trigger([](Gui&, FakeLogin&, FakeWindow&, FakeTray& t) { emit t.close(); })
        << QStringList{"L:close", "M:close"};
    QTest::newRow("window disconnect")
        << Trigger([](Gui&, FakeLogin&, FakeWindow& w, FakeTray&) { emit w.sigDisconnect(); })
        << QStringList{"L:sigDisconnect", "M:_sigDisconnect"};
    QTest::newRow("state: window, then tray")
        << Trigger([](Gui& g, FakeLogin&, FakeWindow&, FakeTray&) {
               emit g.stateChanged(libvelcor::StateConnected);
           })
        << QStringList{"W:stateChanged", "T:_stateChanged"};
    QTest::newRow("progress: window, then tray")
        << Trigger([](Gui& g, FakeLogin&, FakeWindow&, FakeTray&) {
               emit g.progress(libvelcor::Progress());
           })
        << QStringList{"W:progress", "T:progress"};
    QTest::newRow("Manager's fragments: window, then tray")
        << Trigger([](Gui& g, FakeLogin&, FakeWindow&, FakeTray&) {
               emit g.configSupplyInt(QVariant());
           })
        << QStringList{"W:configReceive", "T:configReceive"};
}

// Full GUI mode: the Gui's own connections first, then Manager's.
void TestGuiWiring::receiverOrder()
{
    QFETCH(Trigger, trigger);
    QFETCH(QStringList, journal);
    Journal j;
    Gui gui(nullptr, false, false);
    FakeLogin login(j);
    FakeWindow window(j);
    FakeTray tray(j);
    QCOMPARE(guiwiring::connectLogin(&gui, &login, &window), 0);
    QCOMPARE(guiwiring::connectMainWindow(&gui, &window), 0);
    QCOMPARE(guiwiring::connectTray(&gui, &tray, &login, &window), 0);
    FakeManager manager(j, &gui);
    trigger(gui, login, window, tray);
    QCOMPARE(j, journal);
}

void TestGuiWiring::minimalModeLeavesMainWindowOut()
{
    Journal j;
    Gui gui(nullptr, false, true);
    FakeLogin login(j);
    FakeWindow window(j);
    FakeTray tray(j);
    QCOMPARE(guiwiring::connectLogin(&gui, &login, &window), 0);
    QCOMPARE(guiwiring::connectTray(&gui, &tray, &login, &window), 0);
    emit gui.stateChanged(libvelcor::StateIdle);
    emit login.authSupply(libvelcor::Auth());
    emit window.sigDisconnect();
    QCOMPARE(j, QStringList({"T:_stateChanged", "T:authReceive"}));
}

// No login plugin: its connections are skipped with an ERROR line, without
// Qt's connect warnings, and the others are still made.
void TestGuiWiring::missingEnd()
{
    Journal j;
    Gui gui(nullptr, false, false);
    FakeWindow window(j);
    orvotest::LogCapture log;
    QCOMPARE(guiwiring::connectLogin(&gui, nullptr, &window), -1);
    QCOMPARE(log.linesAt(QStringLiteral("ERROR")).size(), 10);
    emit gui.configSupplyInt(QVariant());
    QCOMPARE(j, QStringList({"W:configReceive"}));
}

ORVO_TEST_MAIN(TestGuiWiring)
#include "tst_guiwiring.moc"
