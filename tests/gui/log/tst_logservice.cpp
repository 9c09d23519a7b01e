// The service's log reaching a log page end to end: the first page starts
// the listener, its port travels through the login plugin's relay,
// Manager and the service API to the simulator, and the lines the
// simulator sends there show in the page.
#include <QApplication>
#include <QSignalSpy>
#include <QTcpSocket>

#include "common/loglimit.h"
#include "gui/log/logform.h"
#include "gui/log/logtable.h"
#include "logrows.h"
#include "rig.h"
#include "testmain.h"

using logtest::containing;
using orvosim::ServiceSimulator;
using orvotest::Rig;

class TestLogService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        Q_INIT_RESOURCE(zelstyle);
    }

    void serviceLogReachesPage()
    {
        Rig rig;
        QVERIFY(rig.start(orvotest::Mode::Full));
        rig.sim.setAutopilot(true);
        rig.sim.setStepDelay(20);

        LogForm page;
        page.show();
        LogTable* table = page.findChild<LogTable*>();
        QSignalSpy announced(&page, SIGNAL(logPortSupply(int)));
        // What the login plugin does with each of its pages.
        QVERIFY(
            connect(&page, SIGNAL(logPortSupply(int)), rig.login(), SIGNAL(logPortSupply(int))));
        QTRY_COMPARE_WITH_TIMEOUT(announced.count(), 1, 5000);
        const int port = announced.at(0).at(0).toInt();
        QVERIFY(port >= LogForm::ListenPort);
        QTRY_COMPARE(rig.sim.logPort(), port);

        // Lines the service writes itself.
        rig.sim.sendLog(ServiceSimulator::formatLogLine("notice", "[VPN] Grüße aus 東京"));
        rig.sim.sendLog(ServiceSimulator::formatLogLine("trace", "[VPN] below Low"));
        QTRY_COMPARE(containing(table, "[VPN] Grüße aus 東京").size(), 1);
        // The service's lines are its own: a verbose connect is shown whole,
        // whatever the limit of Qt's messages takes.
        ORVO::log::limitQtMessages();
        for (int i = 0; i < 300; ++i)
            rig.sim.sendLog(
                ServiceSimulator::formatLogLine("notice", "[VPN] " + QString(500, 'v')));
        QTRY_COMPARE(containing(table, QString(500, 'v')).size(), 300);
        // A sender of anything else is closed at its first line.
        QTcpSocket other;
        other.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(other.waitForConnected(2000));
        other.write("garbage without fields\n");
        QTRY_COMPARE(other.state(), QAbstractSocket::UnconnectedState);

        // The state changes of a sign-in, which the service forwards.
        rig.login()->signIn(Rig::userPass(), Rig::security());
        QTRY_COMPARE_WITH_TIMEOUT(containing(table, "[notice] State changed to connected").size(),
                                  1, 5000);
        QCOMPARE(containing(table, "[notice] State changed to connecting").size(), 1);
        QCOMPARE(containing(table, "below Low").size(), 0);
        QCOMPARE(containing(table, "garbage").size(), 0);
        // The rows carry the service's time stamps, as shown dates.
        table->flushRows();
        const QRegularExpression shown("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$");
        for (int i = 0; i < table->topLevelItemCount(); ++i) {
            if (table->topLevelItem(i)->text(1).contains("State changed"))
                QVERIFY(shown.match(table->topLevelItem(i)->text(0)).hasMatch());
        }

        // For a look at the page: ORVO_SCREENSHOT=<file.png>.
        const QString shot = qEnvironmentVariable("ORVO_SCREENSHOT");
        if (!shot.isEmpty()) {
            rig.sim.sendLog(ServiceSimulator::formatLogLine(
                "notice", "TCP/UDP: Preserving recently used remote address: "
                          "[AF_INET]203.0.113.7:1194"));
            rig.sim.sendLog(ServiceSimulator::formatLogLine("ERROR", "<b>not bold</b> & co"));
            QTRY_COMPARE(containing(table, "not bold").size(), 1);
            table->flushRows();
            QTest::qWait(200);
            QVERIFY(page.grab().save(shot));
        }
    }
};

ORVO_TEST_GUI_MAIN(TestLogService)
#include "tst_logservice.moc"
