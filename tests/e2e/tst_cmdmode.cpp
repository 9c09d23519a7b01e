#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpSocket>

#include "childclient.h"
#include "servicesimulator.h"
#include "testmain.h"

// Command-line mode against the simulated service: it connects, refuses
// what the request server asks (nobody can confirm it), shrugs off garbage
// on that server, and quits cleanly on SIGINT, SIGTERM and SIGHUP.
class TestCmdMode : public QObject
{
    Q_OBJECT

private slots:
    void refusesRequestedActions();
    void quitsOnSignal_data();
    void quitsOnSignal();
    void serviceTextsCutOnStderr();
    void serviceTextsEscapedOnStderr();

private:
    void startAgainst(ChildClient& child, orvosim::ServiceSimulator& sim,
                      const QString& mode = QStringLiteral("cmd"));
};

namespace {

libvelcor::Params actionParams(const QString& name, const QString& marker,
                               const QString& endpoint = QStringLiteral("10.0.0.9"))
{
    return {{QStringLiteral("name"), name},
            {QStringLiteral("endpoint"), endpoint},
            {QStringLiteral("remark"), QString()},
            {QStringLiteral("ips"), QStringLiteral("10.0.0.9")},
            {QStringLiteral("path"), QStringLiteral("/bin/sh")},
            {QStringLiteral("args"), QStringLiteral("-c 'touch ") + marker + QLatin1Char('\'')}};
}

} // namespace

void TestCmdMode::startAgainst(ChildClient& child, orvosim::ServiceSimulator& sim,
                               const QString& mode)
{
    QVERIFY(sim.listen(0));
    child.env.insert("VELCOR_SERVICE_ADDR", sim.address());
    child.start({mode});
    // The client hands the service its request server's port once it runs.
    QTRY_VERIFY_WITH_TIMEOUT(sim.requestPort() > 0 || child.proc.state() == QProcess::NotRunning,
                             10000);
    QCOMPARE(child.proc.state(), QProcess::Running);
    QCOMPARE(sim.clientCount(), 1);
}

void TestCmdMode::refusesRequestedActions()
{
    ChildClient child;
    orvosim::ServiceSimulator sim;
    startAgainst(child, sim);
    const QString marker = child.root.path() + "/ran";

    sim.injectAction(QStringLiteral("open"), actionParams(QStringLiteral("ssh"), marker));
    QTRY_VERIFY_WITH_TIMEOUT(child.err.contains("Refused: no one can confirm an action"), 5000);
    QVERIFY(child.err.contains("[Gui] Action refused in command-line mode: \"ssh\""));
    QVERIFY(child.err.contains("name: ssh\nendpoint: 10.0.0.9"));

    // Garbage on the request server: bytes without a line end, broken
    // lines, a line far over any limit, a connection dropped mid-line.
    QByteArray noise(200000, '\0');
    for (char& c : noise)
        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    const QList<QByteArray> junk = {noise,
                                    "{not json\n\xff\xfe\n{\"type\":\"action\",\"id\":\"x\"}\n",
                                    QByteArray(5 * 1024 * 1024, 'a') + '\n', "{\"type\":"};
    for (const QByteArray& bytes : junk) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(sim.requestPort()));
        QVERIFY(socket.waitForConnected(3000));
        socket.write(bytes);
        QTRY_VERIFY_WITH_TIMEOUT(
            socket.bytesToWrite() == 0 || socket.state() != QAbstractSocket::ConnectedState, 5000);
        socket.abort();
    }

    // Still serving, still refusing.
    child.err.clear();
    sim.injectAction(QStringLiteral("close"), actionParams(QStringLiteral("rdp"), marker));
    QTRY_VERIFY_WITH_TIMEOUT(
        child.err.contains("[Gui] Action refused in command-line mode: \"rdp\""), 5000);
    QCOMPARE(child.proc.state(), QProcess::Running);
    QVERIFY(!child.err.contains("Action accepted"));
    QVERIFY(!child.err.contains("TimedMessageBox timeout"));
    QTest::qWait(200);
    QVERIFY(!QFile::exists(marker));
}

void TestCmdMode::quitsOnSignal_data()
{
    QTest::addColumn<int>("signo");
    QTest::addColumn<bool>("ignored");
    // With windows, a page whose script loops for ever, stopped after this
    // many ms (0: the program's limit), maybe restarted, or the program held
    // that long by no script; empty: none.
    QTest::addColumn<QString>("looping");
    QTest::newRow("SIGTERM") << int(SIGTERM) << false << "";
    QTest::newRow("SIGINT") << int(SIGINT) << false << "";
    QTest::newRow("SIGHUP") << int(SIGHUP) << false << "";
    QTest::newRow("SIGHUP under nohup, then SIGTERM") << int(SIGHUP) << true << "";
    QTest::newRow("SIGTERM while a page's script loops") << int(SIGTERM) << false << "0";
    QTest::newRow("SIGTERM while a page restarts its endless script every 10 ms")
        << int(SIGTERM) << false << "0 restarted";
    QTest::newRow("SIGTERM while a page holds the program for 8 s")
        << int(SIGTERM) << false << "8000";
    QTest::newRow("SIGTERM after the program was held for 3.5 s by no script")
        << int(SIGTERM) << false << "3500 no script";
}

// The tray's quit path: close, disconnect (the service hears an
// empty credential and "stop"), and the loop ends half a second later. A
// page's script is stopped first; one that holds the program longer ends
// it without the sign-out.
void TestCmdMode::quitsOnSignal()
{
    QFETCH(int, signo);
    QFETCH(bool, ignored);
    QFETCH(QString, looping);
    ChildClient child;
    orvosim::ServiceSimulator sim;
    if (!looping.isEmpty()) {
        child.program = ChildClient::answeringProgram();
        child.env.insert("ORVO_TEST_LOOPING_PAGE", looping);
    }
    // The child inherits an ignored SIGHUP as nohup leaves it, else the default.
    struct sigaction hup = {}, before;
    hup.sa_handler = ignored ? SIG_IGN : SIG_DFL;
    ::sigaction(SIGHUP, &hup, &before);
    startAgainst(child, sim, looping.isEmpty() ? "cmd" : "gui");
    ::sigaction(SIGHUP, &before, nullptr);
    if (!looping.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(child.err.contains(looping.endsWith("no script")
                                                        ? "[Test] the program was held"
                                                        : "[Test] a page loops"),
                                 15000);
    if (ignored) { // still serving after the hangup; SIGTERM ends it
        QVERIFY(child.signal(signo));
        sim.injectAction(QStringLiteral("open"),
                         actionParams(QStringLiteral("ssh"), child.root.path() + "/ran"));
        QTRY_VERIFY_WITH_TIMEOUT(child.err.contains("Refused: no one can confirm"), 5000);
        signo = SIGTERM;
    }
    sim.clearLog();

    QElapsedTimer clock;
    clock.start();
    QVERIFY(child.signal(signo));
    QTRY_VERIFY_WITH_TIMEOUT(child.proc.state() == QProcess::NotRunning, 5000);
    QVERIFY2(clock.elapsed() >= 400, qPrintable(QString::number(clock.elapsed())));
    if (looping.toInt() > 5000) { // the signal's own end
        QCOMPARE(child.proc.exitStatus(), QProcess::CrashExit);
        child.err += child.proc.readAllStandardError();
        QVERIFY2(child.err.contains("after the signal without signing out"), child.err.constData());
        return;
    }
    QCOMPARE(child.proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.proc.exitCode(), 0);

    const QStringList kinds = sim.kinds();
    const int auth = kinds.indexOf(QStringLiteral("auth"));
    const int stop = kinds.indexOf(QStringLiteral("cloud.action"));
    QVERIFY2(auth >= 0 && stop > auth, qPrintable(kinds.join(',')));
    QCOMPARE(sim.values(QStringLiteral("cloud.action")).first().toMap().value("action").toString(),
             QStringLiteral("stop"));
    QCOMPARE(sim.values(QStringLiteral("auth")).first().toMap().value("type").toInt(), -1);
    if (looping.endsWith("no script")) // told as no stop of a script
        QVERIFY(!orvotest::readFile(child.logFile()).contains("[WebPage]"));
    if (!looping.isEmpty()) // the windows' verbosity leaves out the lines below
        return;
    const QByteArray log = orvotest::readFile(child.logFile());
    QVERIFY(log.contains("[Gui] Emitting quit signals"));
    child.err += child.proc.readAllStandardError();
    QCOMPARE(child.err.count("Quit requested by a signal"), 1);
}

// An error event with a 900 KB description, and one with a 1,000-line
// extra text: what the terminal shows is a bounded, marked part of each.
void TestCmdMode::serviceTextsCutOnStderr()
{
    ChildClient child;
    orvosim::ServiceSimulator sim;
    startAgainst(child, sim);
    const QByteArray prefix = "Bastiva Connect App Error: API Manager: ";
    const QByteArray mark = " [\xe2\x80\xa6]";

    sim.emitError(300, QString(900 * 1024, QLatin1Char('d')));
    QTRY_VERIFY_WITH_TIMEOUT(child.err.contains(prefix + "ddd"), 10000);
    int at = child.err.indexOf(prefix + "ddd");
    int end = -1;
    QTRY_VERIFY_WITH_TIMEOUT((end = child.err.indexOf('\n', at)) > 0, 5000);
    const QByteArray line = child.err.mid(at, end - at);
    QVERIFY2(line.size() <= prefix.size() + 2000 + mark.size(), QByteArray::number(line.size()));
    QVERIFY(line.endsWith(mark));

    QString extra;
    for (int i = 0; i < 1000; ++i)
        extra += QStringLiteral("extra %1\n").arg(i);
    child.err.clear();
    sim.emitError(300, QStringLiteral("Login failed"), extra);
    QTRY_VERIFY_WITH_TIMEOUT(child.err.contains(prefix + "Login failed\n"), 10000);
    at = child.err.indexOf(prefix + "Login failed\n");
    QTRY_VERIFY_WITH_TIMEOUT(child.err.indexOf(mark + '\n', at) > 0, 5000);
    const QByteArray shown = child.err.mid(at, child.err.indexOf(mark + '\n', at) - at);
    QVERIFY2(shown.count('\n') == 2, shown.constData());
    QVERIFY(shown.contains("(extra 0\\nextra 1\\n"));
    QVERIFY(shown.endsWith("extra 29"));
    QCOMPARE(child.proc.state(), QProcess::Running);
}

// Texts of the service with a terminal's control sequences and a line that
// poses as a prompt: standard error shows them escaped.
void TestCmdMode::serviceTextsEscapedOnStderr()
{
    ChildClient child;
    orvosim::ServiceSimulator sim;
    startAgainst(child, sim);
    const QString text = QString::fromUtf8("x\x1b]0;owned\x07\x1b[2J\xc2\x9b\u202e\nPassword:");
    const QByteArray shown = "x\\x1b]0;owned\\x07\\x1b[2J\\x9b\\u202e\\nPassword:";
    sim.injectAction(QStringLiteral("open"), actionParams(text, child.root.path() + "/ran", text));
    sim.emitError(300, text, text);
    QTRY_VERIFY_WITH_TIMEOUT(child.err.contains("\n(" + shown + ")\n"), 10000);
    QTRY_VERIFY(child.err.contains("\nname: " + shown + "\nendpoint: " + shown + '\n'));
    QVERIFY(child.err.contains("Error: API Manager: " + shown + '\n'));
    QVERIFY(!QString::fromUtf8(child.err).contains(QRegularExpression(
        QStringLiteral("[\\x{0}-\\x{9}\\x{b}-\\x{1f}\\x{7f}-\\x{9f}\\x{202e}]"))));
}

ORVO_TEST_MAIN(TestCmdMode)
#include "tst_cmdmode.moc"
