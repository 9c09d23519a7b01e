#include <QSettings>

#include "childclient.h"
#include "common/common.h"
#include "main/startup.h"
#include "servicesimulator.h"
#include "testmain.h"

// The program from the outside: mode words, exit codes of the start-up's
// failures, the order of its log lines, its languages.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void help_data();
    void help();
    void failures_data();
    void failures();
    void logLines_data();
    void logLines();
    void languages_data();
    void languages();
    void noTestSwitchInProgram_data();
    void noTestSwitchInProgram();
    void testVariablesIgnored_data();
    void testVariablesIgnored();

private:
    // Starts the program in command-line mode against a simulated service
    // and returns once its event loop runs (it has said hello).
    void startRunning(ChildClient& child, orvosim::ServiceSimulator& sim);
    void stopWithSignal(ChildClient& child);

    // A copy of the program (or of another build of it) in a bundle of its
    // own, whose resources the tests shape (the configuration comes from the
    // executable's place).
    QString bundleProgram(const QByteArray& templateJson,
                          const QString& from = ChildClient().program);

    QTemporaryDir bundles;
    int bundleCount = 0;
};

void TestStartup::initTestCase()
{
    QVERIFY(QFile::exists(ChildClient().program));
    QVERIFY(QFile::exists(ChildClient::answeringProgram()));
}

QString TestStartup::bundleProgram(const QByteArray& templateJson, const QString& from)
{
    const QString dir = bundles.path() + "/b" + QString::number(++bundleCount);
    QDir().mkpath(dir + "/bin");
    const QString program = dir + "/bin/bastiva-connect";
    if (!QFile::copy(from, program))
        return QString();
    if (!templateJson.isNull())
        orvotest::writeFile(dir + "/Resources/etc/vtx.json", templateJson);
    return program;
}

void TestStartup::startRunning(ChildClient& child, orvosim::ServiceSimulator& sim)
{
    QVERIFY(sim.listen(0));
    child.env.insert("VELCOR_SERVICE_ADDR", sim.address());
    child.start({"cmd"});
    QTRY_VERIFY_WITH_TIMEOUT(sim.kinds().contains(QStringLiteral("hello")) ||
                                 child.proc.state() == QProcess::NotRunning,
                             10000);
    QCOMPARE(child.proc.state(), QProcess::Running);
}

void TestStartup::stopWithSignal(ChildClient& child)
{
    QVERIFY(child.signal(SIGTERM));
    QVERIFY(child.proc.waitForFinished(5000));
    QCOMPARE(child.proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.proc.exitCode(), 0);
    child.err += child.proc.readAllStandardError();
}

void TestStartup::help_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("help") << QStringList{"help"};
    QTest::newRow("help beats cmd") << QStringList{"cmd", "help"};
    QTest::newRow("anywhere") << QStringList{"x", "gui", "help", "min"};
}

// The usage text exactly, after the one "Starting" line; nothing is
// created: no log, no settings, no data directory.
void TestStartup::help()
{
    QFETCH(QStringList, args);
    ChildClient child;
    QCOMPARE(child.run(args), 0);
    QByteArray expected = "Starting \"" + ORVO::versionInfo().toUtf8() + "\"  rev:  \"" +
                          ORVO::revision().toUtf8() + "\"\n";
    expected += QByteArray(ORVO::usageText()).replace("%s", child.program.toLocal8Bit());
    QCOMPARE(child.err, expected);
    QVERIFY(!QFile::exists(child.root.path() + "/data"));
    QVERIFY(!QFile::exists(child.settingsFile()));
}

void TestStartup::failures_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("message");

    // Command-line mode has no box: its text goes to standard error.
    QTest::newRow("no template, cmd") << "no template" << QStringList{"cmd"} << 1
                                      << QByteArray("Fatal error: Missing configuration file: ");
    // GUI mode shows the box (answered by the test build of the client);
    // in English even when another language is set, as no catalogue is
    // loaded yet.
    QTest::newRow("no template, gui, German")
        << "no template de" << QStringList{"gui"} << 1
        << QByteArray("\"Fatal error\": \"Missing configuration file: ");
    QTest::newRow("broken template, first install")
        << "broken template" << QStringList{"cmd"} << 255 << QByteArray("[Config] Failed parsing");
    QTest::newRow("log level out of range")
        << "bad level" << QStringList{"cmd"} << 255 << QByteArray("log level must be between");
    QTest::newRow("broken user copy")
        << "broken copy" << QStringList{"cmd"} << 1 << QByteArray("Missing configuration file: ");
    QTest::newRow("log file cannot be opened")
        << "log blocked" << QStringList{"cmd"} << 1
        << QByteArray("[ERROR] [BastivaConnectApp:startup.cpp:runClient()");
}

void TestStartup::failures()
{
    QFETCH(QString, situation);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QByteArray, message);

    ChildClient child;
    if (situation.startsWith("no template")) {
        // Only a box needs the test build; command-line mode runs the program.
        child.program =
            bundleProgram(QByteArray(), args.contains("gui") ? ChildClient::answeringProgram()
                                                             : ChildClient().program);
        if (situation.endsWith("de"))
            orvotest::writeFile(child.settingsFile(), "[General]\nlang=de\n");
    } else if (situation == "broken template") {
        child.program = bundleProgram("{ \"version\": 1, ");
    } else if (situation == "bad level") {
        orvotest::writeFile(child.dataDir() + "/vtx.json",
                            "{\"version\": 1, \"log\": {\"lev\": 9}}");
    } else if (situation == "broken copy") {
        orvotest::writeFile(child.dataDir() + "/vtx.json", "[1, 2");
    } else if (situation == "log blocked") {
        // A directory where the log file goes: works as root too.
        QVERIFY(QDir().mkpath(child.logFile()));
    }
    QVERIFY(!child.program.isEmpty());

    QCOMPARE(child.run(args), code);
    QVERIFY2(child.err.contains(message), child.err.constData());
    QVERIFY(!child.err.contains("[Main] Starting main loop"));
    if (situation.startsWith("no template")) {
        QVERIFY(child.err.contains((child.dataDir() + "/vtx.json").toLocal8Bit()));
        // The start-up writes no log line of its own for this failure.
        const QRegularExpression bare(QStringLiteral(
            "\\[ERROR\\] \\[BastivaConnectApp:startup\\.cpp:runClient\\(\\):\\d+\\] \n"));
        QVERIFY(!bare.match(QString::fromLocal8Bit(child.err)).hasMatch());
    }
}

void TestStartup::logLines_data()
{
    QTest::addColumn<int>("level");
    QTest::newRow("level 7") << 7;
    // The four "[Main]" lines come before the configuration's level applies.
    QTest::newRow("level 3") << 3;
}

void TestStartup::logLines()
{
    QFETCH(int, level);
    ChildClient child;
    orvotest::writeFile(child.dataDir() + "/vtx.json",
                        "{\"version\": 1, \"log\": {\"lev\": " + QByteArray::number(level) + "}}");
    orvosim::ServiceSimulator sim;
    startRunning(child, sim);
    stopWithSignal(child);

    const QByteArray log = orvotest::readFile(child.logFile());
    QByteArray missing;
    const QList<QByteArray> early = {
        "[Main] versionInfo: \"" + ORVO::versionInfo().toUtf8() + "\" rev: \"",
        "[Main] withGui: false", "[Main] minimal: false", "[Main] resources: \""};
    QVERIFY2(inOrder(log, early, &missing) == 0, missing.constData());
    // The "Starting" line precedes the file log and shows only on stderr.
    QVERIFY(child.err.startsWith("Starting \""));
    QVERIFY(!log.contains("Starting \""));
    if (level >= 6) {
        const QList<QByteArray> all =
            early +
            QList<QByteArray>{"dumping configuration:", "Language Resource: \":/lang_en.qm\"",
                              "[Gui] Running in command-line mode", "[Main] Starting main loop",
                              "[Gui] Emitting quit signals"};
        QVERIFY2(inOrder(log, all, &missing) == 0, missing.constData());
        QVERIFY(!log.contains(":/qt_en.qm"));
        // The log is closed by the quit; the last lines go to stderr only.
        QVERIFY(child.err.contains("[Main] Exiting"));
        QVERIFY(!log.contains("[Main] Exiting"));
    } else {
        QVERIFY(!log.contains("[Main] Starting main loop"));
        QVERIFY(!log.contains("gui.cpp:Gui()"));
    }
}

void TestStartup::languages_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QList<QByteArray>>("loaded");
    QTest::addColumn<int>("failures");
    QTest::newRow("de") << "de" << QList<QByteArray>{":/qt_de.qm", ":/lang_de.qm"} << 0;
    QTest::newRow("it") << "it" << QList<QByteArray>{":/qt_it.qm", ":/lang_it.qm"} << 0;
    QTest::newRow("fr") << "fr" << QList<QByteArray>{":/qt_fr.qm", ":/lang_fr.qm"} << 2;
    QTest::newRow("empty") << "" << QList<QByteArray>{":/qt_.qm", ":/lang_.qm"} << 2;
}

// A missing catalogue is reported and the program goes on.
void TestStartup::languages()
{
    QFETCH(QString, lang);
    QFETCH(QList<QByteArray>, loaded);
    QFETCH(int, failures);
    ChildClient child;
    orvotest::writeFile(child.settingsFile(), "[General]\nlang=" + lang.toUtf8() + "\n");
    orvosim::ServiceSimulator sim;
    startRunning(child, sim);
    stopWithSignal(child);
    QList<QByteArray> lines;
    for (const QByteArray& file : loaded)
        lines << "Language Resource: \"" + file + "\"";
    QByteArray missing;
    QVERIFY2(inOrder(child.err, lines, &missing) == 0, missing.constData());
    QCOMPARE(child.err.count("Fatal error: Failed loading translation resource: "), failures);
}

void TestStartup::noTestSwitchInProgram_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("box answer") << QByteArray("ORVO_TEST_MESSAGEBOX_ANSWER");
    QTest::newRow("tray") << QByteArray("ORVO_TEST_ASSUME_TRAY");
    QTest::newRow("any test variable") << QByteArray("ORVO_TEST_");
}

// The test switches cannot be reached from outside the shipped program: it
// holds no name of a variable that would set one.
void TestStartup::noTestSwitchInProgram()
{
    QFETCH(QByteArray, name);
    const QByteArray program = orvotest::readFile(ChildClient().program);
    QVERIFY(program.size() > 100000);
    QVERIFY2(!program.contains(name), name.constData());
}

void TestStartup::testVariablesIgnored_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("ok") << QByteArray("ok");
    QTest::newRow("close") << QByteArray("close");
}

// The shipped program with the variables the test switches once read: its
// fatal box waits for a user like any other, where the test build answers
// it at once (failures above).
void TestStartup::testVariablesIgnored()
{
    QFETCH(QByteArray, answer);
    ChildClient child;
    child.program = bundleProgram(QByteArray());
    QVERIFY(!child.program.isEmpty());
    child.env.insert("ORVO_TEST_MESSAGEBOX_ANSWER", QString::fromLatin1(answer));
    child.env.insert("ORVO_TEST_ASSUME_TRAY", "1");
    child.start({"gui"});
    QTRY_VERIFY_WITH_TIMEOUT(child.err.contains("[Main] resources: ") ||
                                 child.proc.state() == QProcess::NotRunning,
                             10000);
    QVERIFY(!child.proc.waitForFinished(2000));
    QCOMPARE(child.proc.state(), QProcess::Running);
    child.err += child.proc.readAllStandardError();
    QVERIFY2(!child.err.contains("Auto-answer"), child.err.constData());
}

ORVO_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
