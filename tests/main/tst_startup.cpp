#include <QSettings>

#include <cerrno>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "childclient.h"
#include "common/common.h"
#include "common/utils.h"
#include "main/startup.h"
#include "servicesimulator.h"
#include "testenv.h"
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
    void repairedTemplateInstalled();
    void replacedCopyNoticeInLog();
    void settingsFileIsFifo_data();
    void settingsFileIsFifo();
    void oneClientPerUser_data();
    void oneClientPerUser();
    void killedClientsLockTakenOver_data();
    void killedClientsLockTakenOver();
    void startWaitsForDecidingStart();
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
    // The program's name as the caller gave it, and as the text shows it.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("help") << QStringList{"help"} << ""
                          << "";
    QTest::newRow("help beats cmd") << QStringList{"cmd", "help"} << ""
                                    << "";
    QTest::newRow("anywhere") << QStringList{"x", "gui", "help", "min"} << ""
                              << "";
    QTest::newRow("name with controls") << QStringList{"help"} << "a\x1b]0;T\x07\nPassword:"
                                        << "a\\x1b]0;T\\x07\\nPassword:";
}

// The usage text exactly, after the one "Starting" line; nothing is
// created: no log, no settings, no data directory.
void TestStartup::help()
{
    QFETCH(QStringList, args);
    QFETCH(QString, name);
    QFETCH(QString, shown);
    ChildClient child;
    shown = name.isEmpty() ? child.program : child.root.path() + "/" + shown;
    if (!name.isEmpty()) {
        QVERIFY(QFile::link(child.program, child.root.path() + "/" + name));
        child.program = child.root.path() + "/" + name;
    }
    QCOMPARE(child.run(args), 0);
    QByteArray expected = "Starting \"" + ORVO::versionInfo().toUtf8() + "\"  rev:  \"" +
                          ORVO::revision().toUtf8() + "\"\n";
    expected += QByteArray(ORVO::usageText()).replace("%s", shown.toLocal8Bit());
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
    // What failed and where, on standard error and, once it is open, in the
    // log; %D stands for the data folder, %B for the program's bundle.
    QTest::addColumn<QByteArray>("reason");

    // Command-line mode has no box: its text goes to standard error.
    QTest::newRow("no template, cmd")
        << "no template" << QStringList{"cmd"} << 1
        << QByteArray("Fatal error: Missing configuration file: ")
        << QByteArray("the template %B/Resources/etc/vtx.json does not exist");
    // GUI mode shows the box (answered by the test build of the client);
    // in English even when another language is set, as no catalogue is
    // loaded yet.
    QTest::newRow("no template, gui, German")
        << "no template de" << QStringList{"gui"} << 1
        << QByteArray("\"Fatal error\": \"Missing configuration file: ")
        << QByteArray("the template %B/Resources/etc/vtx.json does not exist");
    // A broken template is reported and never becomes the user copy.
    QTest::newRow("broken template, first install")
        << "broken template" << QStringList{"cmd"} << 1
        << QByteArray("Missing configuration file: ")
        << QByteArray("the template %B/Resources/etc/vtx.json is not valid JSON: ");
    QTest::newRow("log level out of range")
        << "bad level" << QStringList{"cmd"} << 255 << QByteArray("log level must be between")
        << QByteArray("Cannot load the configuration file: %D/vtx.json: \"log\"/\"lev\" is 9");
    QTest::newRow("proxy of the wrong type")
        << "proxy word" << QStringList{"cmd"} << 255 << QByteArray("Cannot load the configuration")
        << QByteArray("%D/vtx.json: \"proxy\" must be an object, not the text \"x\"");
    QTest::newRow("broken user copy")
        << "broken copy" << QStringList{"cmd"} << 1 << QByteArray("Missing configuration file: ")
        << QByteArray("%D/vtx.json is not valid JSON: ");
    QTest::newRow("empty user copy")
        << "empty copy" << QStringList{"cmd"} << 1 << QByteArray("Missing configuration file: ")
        << QByteArray("%D/vtx.json is empty");
    QTest::newRow("user copy is a directory")
        << "copy dir" << QStringList{"cmd"} << 1 << QByteArray("Missing configuration file: ")
        << QByteArray("%D/vtx.json is a directory, not a file");
    // These used to hang the start for ever.
    QTest::newRow("user copy is a FIFO")
        << "fifo vtx.json" << QStringList{"cmd"} << 1 << QByteArray("Missing configuration file: ")
        << QByteArray("%D/vtx.json is not a regular file but a FIFO");
    QTest::newRow("lock file is a FIFO")
        << "fifo vtx.lock" << QStringList{"cmd"} << 1 << QByteArray("Fatal error: Cannot start: ")
        << QByteArray("cannot create the lock file %D/vtx.lock: %D/vtx.lock is not a regular file");
    QTest::newRow("lock guard is a FIFO")
        << "fifo vtx.lock.guard" << QStringList{"cmd"} << 1
        << QByteArray("Fatal error: Cannot start: ")
        << QByteArray("lock file %D/vtx.lock: %D/vtx.lock.guard is not a regular file but a FIFO");
    QTest::newRow("lock's removal file is a FIFO")
        << "fifo vtx.lock.rmlock" << QStringList{"cmd"} << 1
        << QByteArray("Fatal error: Cannot start: ")
        << QByteArray("lock file %D/vtx.lock: %D/vtx.lock.rmlock is not a regular file but a FIFO");
    QTest::newRow("log file is a FIFO")
        << "fifo vtx-log.txt" << QStringList{"cmd"} << 1
        << QByteArray("[ERROR] [BastivaConnectApp:startup.cpp:runClient()")
        << "Cannot open the log file %D/vtx-log.txt: " +
               ORVO::utils::errnoText(ENXIO).toLocal8Bit();
    QTest::newRow("log file cannot be opened")
        << "log blocked" << QStringList{"cmd"} << 1
        << QByteArray("[ERROR] [BastivaConnectApp:startup.cpp:runClient()")
        << "Cannot open the log file %D/vtx-log.txt: " +
               ORVO::utils::errnoText(EISDIR).toLocal8Bit();
    QTest::newRow("data folder is a file")
        << "data file" << QStringList{"cmd"} << 1 << QByteArray("Fatal error: Cannot start: ")
        << QByteArray("cannot create the folder %D: %D is not a folder");
    QTest::newRow("data folder not writable")
        << "data read-only" << QStringList{"cmd"} << 1 << QByteArray("Fatal error: Cannot start: ")
        << QByteArray("cannot create the lock file %D/vtx.lock: permission denied");
    // Its owner could replace what the client reads there.
    QTest::newRow("data folder of another account")
        << "data foreign" << QStringList{"cmd"} << 1 << QByteArray("Fatal error: Cannot start: ")
        << QByteArray("the folder %D belongs to another account (user id 65534)");
}

void TestStartup::failures()
{
    QFETCH(QString, situation);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, reason);
    if (situation == "data read-only" && ::geteuid() == 0)
        QSKIP("root writes anywhere");
    if (situation == "data foreign" && ::geteuid() != 0)
        QSKIP("only root gives a folder to another account");

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
    } else if (situation == "proxy word") {
        orvotest::writeFile(child.dataDir() + "/vtx.json", "{\"version\": 1, \"proxy\": \"x\"}");
    } else if (situation == "broken copy") {
        orvotest::writeFile(child.dataDir() + "/vtx.json", "[1, 2");
    } else if (situation == "empty copy") {
        orvotest::writeFile(child.dataDir() + "/vtx.json", "");
    } else if (situation == "copy dir") {
        QVERIFY(QDir().mkpath(child.dataDir() + "/vtx.json"));
    } else if (situation.startsWith("fifo ")) {
        QVERIFY(QDir().mkpath(child.dataDir()));
        const QString fifo = child.dataDir() + "/" + situation.mid(5);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    } else if (situation == "data file") {
        QVERIFY(orvotest::writeFile(child.dataDir(), "x"));
    } else if (situation == "data read-only") {
        QVERIFY(QDir().mkpath(child.dataDir()));
        QVERIFY(QFile::setPermissions(child.dataDir(), QFile::ReadOwner | QFile::ExeOwner));
    } else if (situation == "data foreign") {
        QVERIFY(QDir().mkpath(child.dataDir()));
        QCOMPARE(::chown(QFile::encodeName(child.dataDir()).constData(), 65534, 65534), 0);
    } else if (situation == "log blocked") {
        // A directory where the log file goes: works as root too.
        QVERIFY(QDir().mkpath(child.logFile()));
    }
    QVERIFY(!child.program.isEmpty());

    QCOMPARE(child.run(args), code);
    QVERIFY2(child.err.contains(message), child.err.constData());
    QVERIFY(!child.err.contains("[Main] Starting main loop"));
    const QString bundle = QFileInfo(child.program).absolutePath() + "/..";
    reason.replace("%D", child.dataDir().toLocal8Bit())
        .replace("%B", QDir::cleanPath(bundle).toLocal8Bit());
    QVERIFY2(child.err.contains(reason), child.err.constData());
    // In the log as well, when there is one to write to; no ERROR line
    // without its text.
    if (QFileInfo(child.logFile()).isFile()) {
        const QByteArray log = orvotest::readFile(child.logFile());
        QVERIFY2(log.contains(reason), log.constData());
    }
    QVERIFY(!QRegularExpression(QStringLiteral("\\[ERROR\\] \\[[^]]*\\] \n"))
                 .match(QString::fromLocal8Bit(child.err))
                 .hasMatch());
    QFile::setPermissions(child.dataDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
            early + QList<QByteArray>{"dumping configuration:",
                                      "Language Resource: \":/lang_en.qm\"",
                                      "[Gui] Running in command-line mode",
                                      "[Main] Starting main loop",
                                      "[Gui] Emitting quit signals",
                                      "[Main] Exiting",
                                      ":~Application():"};
        // The file log stays open until the program ends.
        QVERIFY2(inOrder(log, all, &missing) == 0, missing.constData());
        QVERIFY(!log.contains(":/qt_en.qm"));
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

// A broken template fails the start without leaving a spoiled user copy
// behind: once it is mended, the next start installs it and runs.
void TestStartup::repairedTemplateInstalled()
{
    ChildClient child;
    child.program = bundleProgram("{ \"version\": 2, \"log\": ");
    QVERIFY(!child.program.isEmpty());
    QCOMPARE(child.run({"cmd"}), 1);
    QVERIFY(!QFile::exists(child.dataDir() + "/vtx.json"));

    const QString tmpl = QFileInfo(child.program).absolutePath() + "/../Resources/etc/vtx.json";
    QVERIFY(orvotest::writeFile(tmpl, "{ \"version\": 2, \"log\": { \"lev\": 7 } }"));
    child.err.clear();
    orvosim::ServiceSimulator sim;
    startRunning(child, sim);
    stopWithSignal(child);
    QCOMPARE(orvotest::readFile(child.dataDir() + "/vtx.json"),
             QByteArray("{ \"version\": 2, \"log\": { \"lev\": 7 } }"));
}

// The version rule replaces an old user copy; the replaced copy is kept
// and the notice naming both files reaches the file log, which opens only
// after the replacement.
void TestStartup::replacedCopyNoticeInLog()
{
    ChildClient child;
    const QByteArray mine = "{\"proxy\": {\"host\": \"proxy.test\", \"port\": 3128}}";
    orvotest::writeFile(child.dataDir() + "/vtx.json", mine);
    orvosim::ServiceSimulator sim;
    startRunning(child, sim);
    stopWithSignal(child);
    QCOMPARE(orvotest::readFile(child.dataDir() + "/vtx.json.old"), mine);
    const QByteArray notice =
        (child.dataDir() + "/vtx.json was replaced by the template ").toLocal8Bit();
    const QByteArray log = orvotest::readFile(child.logFile());
    QVERIFY2(log.contains("[notice]") && log.contains(notice) &&
                 log.contains(("kept as " + child.dataDir() + "/vtx.json.old").toLocal8Bit()),
             log.constData());
    QVERIFY(child.err.contains(notice));
}

void TestStartup::settingsFileIsFifo_data()
{
    QTest::addColumn<QString>("file"); // under the child's temporary root
    const QString org = ORVO::org();
    QTest::newRow("user's file") << "config/" + org + "/BastivaConnectApp.conf";
    QTest::newRow("organization's file") << "config/" + org + ".conf";
    QTest::newRow("system's file") << "xdg/" + org + "/BastivaConnectApp.conf";
}

// Qt's read of a FIFO in a settings file's place held the start for ever.
void TestStartup::settingsFileIsFifo()
{
    QFETCH(QString, file);
    ChildClient child;
    child.env.insert("XDG_CONFIG_DIRS", child.root.path() + "/xdg");
    const QString path = child.root.path() + "/" + file;
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    orvosim::ServiceSimulator sim;
    startRunning(child, sim);
    stopWithSignal(child);
    const QByteArray reason = (path + " is not a regular file but a FIFO").toUtf8();
    QVERIFY2(orvotest::readFile(child.logFile()).contains(reason), child.err.constData());
}

void TestStartup::oneClientPerUser_data()
{
    QTest::addColumn<QString>("secondMode"); // "pid namespace": cmd, in a namespace of its own
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QByteArray>("running");
    const QByteArray english = "Bastiva Connect App is already running for this user.";
    QTest::newRow("second in command-line mode") << "cmd"
                                                 << "en" << english;
    // It sees no process of the first and no lock of it in /proc.
    QTest::newRow("second in another pid namespace") << "pid namespace"
                                                     << "en" << english;
    QTest::newRow("second with windows") << "gui"
                                         << "en" << english;
    // Said in the user's language, though no catalogue is loaded yet.
    QTest::newRow("second in German") << "gui"
                                      << "de"
                                      << QByteArray("Bastiva Connect App läuft für diesen "
                                                    "Benutzer bereits.");
}

// A second client of the same user says that one runs and ends, leaving
// the running one, its log and its configuration alone; when the first
// has quit, a client starts again.
void TestStartup::oneClientPerUser()
{
    QFETCH(QString, secondMode);
    QFETCH(QString, lang);
    QFETCH(QByteArray, running);
    ChildClient first;
    QVERIFY(orvotest::writeFile(first.settingsFile(), "[General]\nlang=" + lang.toLatin1() + "\n"));
    orvosim::ServiceSimulator sim;
    startRunning(first, sim);
    const QByteArray configBefore = orvotest::readFile(first.dataDir() + "/vtx.json");
    QTest::qWait(200);
    const qint64 logBefore = QFileInfo(first.logFile()).size();

    ChildClient second;
    second.env = first.env;
    // A box needs the test build of the client, which answers it.
    if (secondMode == "gui")
        second.program = ChildClient::answeringProgram();
    QStringList args{secondMode};
    if (secondMode == "pid namespace") {
        // A chroot, as in a container, has no root mount to make private.
        // Killing unshare kills the client with its namespace, also when the
        // row fails with the client still running.
        args = QStringList{"-pf", "--mount-proc", "--kill-child", "true"};
        if (::geteuid() != 0 || QProcess::execute("unshare", args) != 0)
            QSKIP("this system gives no pid namespace with a /proc of its own");
        second.program = "unshare";
        args.replace(3, ChildClient().program);
        args << "cmd";
    }
    QCOMPARE(second.run(args), 1);
    const QByteArray line = "Bastiva Connect App: " + running +
                            (lang == "de" ? " (Prozess " : " (process ") +
                            QByteArray::number(first.proc.processId()) + ")\n";
    QVERIFY2(second.err.contains(line), second.err.constData());
    if (secondMode == "gui")
        QVERIFY2(second.err.contains("[MessageBox] Auto-answer 1024: \"Bastiva Connect App\": \"" +
                                     running),
                 second.err.constData());
    // Nothing of the second one reached the first one's files.
    QVERIFY(!second.err.contains("[Config] prefix="));
    QCOMPARE(orvotest::readFile(first.dataDir() + "/vtx.json"), configBefore);
    QCOMPARE(QFileInfo(first.logFile()).size(), logBefore);
    QCOMPARE(first.proc.state(), QProcess::Running);
    QCOMPARE(sim.clientCount(), 1);

    stopWithSignal(first);
    QVERIFY(!QFile::exists(first.dataDir() + "/vtx.lock"));
    ChildClient third;
    third.env = first.env;
    orvosim::ServiceSimulator sim3;
    startRunning(third, sim3);
    stopWithSignal(third);
    QVERIFY(!third.err.contains("already running"));
}

void TestStartup::killedClientsLockTakenOver_data()
{
    QTest::addColumn<bool>("foreignHolder");
    QTest::addColumn<int>("starts"); // at once
    // What runs under the recorded process number: nothing, "sleep", or a
    // client of an earlier version (no write lock) from another place.
    QTest::addColumn<QString>("recorded");
    QTest::newRow("nobody holds it") << false << 1 << "";
    QTest::newRow("nobody holds it, two starts") << false << 2 << "";
    // QLockFile cannot remove a file on which another account holds a lock.
    QTest::newRow("another account holds it") << true << 1 << "";
    QTest::newRow("another account holds it, two starts") << true << 2 << "";
    QTest::newRow("another account holds it, another program runs under its number")
        << true << 1 << "sleep";
    QTest::newRow("earlier client elsewhere runs under it") << false << 1 << "client";
}

// A client killed outright leaves its lock file, in a folder as wide as an
// earlier version made it; the next start takes it over, whoever else holds
// a lock on it, and makes both private. Of two starts, one runs and the
// other names it.
void TestStartup::killedClientsLockTakenOver()
{
    QFETCH(bool, foreignHolder);
    QFETCH(int, starts);
    QFETCH(QString, recorded);
    if (foreignHolder && ::geteuid() != 0)
        QSKIP("only root can act as another account");
    ChildClient first;
    orvosim::ServiceSimulator sim;
    startRunning(first, sim);
    const qint64 pid = first.proc.processId();
    QVERIFY(first.signal(SIGKILL));
    QVERIFY(first.proc.waitForFinished(5000));
    QCOMPARE(first.proc.exitStatus(), QProcess::CrashExit);
    const QString lockFile = first.dataDir() + "/vtx.lock";
    QVERIFY(orvotest::readFile(lockFile).startsWith(QByteArray::number(pid) + '\n'));
    ChildClient live; // in a folder of its own
    orvosim::ServiceSimulator simLive;
    if (!recorded.isEmpty()) {
        live.program = recorded == "sleep" ? "sleep" : bundleProgram("{ \"version\": 2 }");
        if (recorded == "sleep")
            live.start({"60"});
        else
            startRunning(live, simLive);
        QVERIFY(live.proc.waitForStarted());
        const QByteArray info = orvotest::readFile(lockFile);
        QVERIFY(orvotest::writeFile(lockFile, QByteArray::number(live.proc.processId()) +
                                                  info.mid(info.indexOf('\n'))));
    }
    // As wide as an earlier version made them, up to where nobody may enter.
    QCOMPARE(::chmod(QFile::encodeName(lockFile).constData(), 0644), 0);
    for (QString dir = first.dataDir(); dir.startsWith(first.root.path());
         dir = QFileInfo(dir).path())
        QCOMPARE(::chmod(QFile::encodeName(dir).constData(), 0755), 0);
    QProcess holder; // nobody, with a shared lock on the file it opened read-only
    if (foreignHolder) {
        holder.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "flock", "-s",
                                 "-o", lockFile, "-c", "echo held; exec cat"});
        QVERIFY(holder.waitForReadyRead(5000));
    }

    orvosim::ServiceSimulator sim2;
    QVERIFY(sim2.listen(0));
    ChildClient next[2];
    for (int i = 0; i < starts; ++i) {
        next[i].env = first.env;
        next[i].env.insert("VELCOR_SERVICE_ADDR", sim2.address());
        next[i].start({"cmd"});
    }
    const auto ended = [&](int i) { return next[i].proc.state() == QProcess::NotRunning; };
    QTRY_VERIFY_WITH_TIMEOUT((sim2.clientCount() == 1 && (starts == 1 || ended(0) != ended(1))) ||
                                 (ended(0) && ended(starts - 1)),
                             10000);
    if (recorded == "client") {
        const QByteArray livePid = QByteArray::number(live.proc.processId());
        next[0].err += next[0].proc.readAllStandardError();
        QCOMPARE(next[0].proc.state(), QProcess::NotRunning);
        QCOMPARE(next[0].proc.exitCode(), 1);
        QVERIFY2(next[0].err.contains("already running for this user. (process " + livePid + ")"),
                 next[0].err.constData());
        QVERIFY(orvotest::readFile(lockFile).startsWith(livePid + '\n'));
        return;
    }
    ChildClient& runs = ended(0) ? next[1] : next[0];
    ChildClient& other = ended(0) ? next[0] : next[1];
    QCOMPARE(runs.proc.state(), QProcess::Running);
    const QByteArray runsPid = QByteArray::number(runs.proc.processId());
    QVERIFY2(starts == 1 ||
                 other.err.contains("already running for this user. (process " + runsPid + ")"),
             other.err.constData());
    QVERIFY(orvotest::readFile(lockFile).startsWith(runsPid + '\n'));
    QCOMPARE(int(QFileInfo(first.dataDir()).permissions() & 0x77), 0);
    QCOMPARE(int(QFileInfo(lockFile).permissions() & 0x77), 0);
    stopWithSignal(runs);
    QVERIFY(!QFile::exists(lockFile));
    holder.close();
}

// A start waits while another decides under the guard: looking at the lock
// file meanwhile, it would take over the one the other is making.
void TestStartup::startWaitsForDecidingStart()
{
    ChildClient child;
    const QString lockFile = child.dataDir() + "/vtx.lock";
    QVERIFY(orvotest::writeFile(lockFile, "")); // made, its owner not yet written
    QFile guard(lockFile + ".guard");
    QVERIFY(guard.open(QIODevice::WriteOnly) && ::flock(guard.handle(), LOCK_EX) == 0);
    child.start({"cmd"});
    QVERIFY(child.proc.waitForStarted()); // until then it has the test's descriptors
    const QString fds = "/proc/" + QString::number(child.proc.processId()) + "/fd/";
    const auto waitsOrDecided = [&] {
        for (const QString& fd : QDir(fds).entryList(QDir::Files | QDir::System))
            if (QFileInfo(fds + fd).symLinkTarget() == QFileInfo(guard).canonicalFilePath())
                return true;
        return child.proc.state() == QProcess::NotRunning || QFileInfo(lockFile).size() > 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(waitsOrDecided(), 10000);
    QCOMPARE(QFileInfo(lockFile).size(), 0);
    guard.close(); // then a lock file without an owner is taken over
    const QByteArray pid = QByteArray::number(child.proc.processId());
    QTRY_VERIFY_WITH_TIMEOUT(orvotest::readFile(lockFile).startsWith(pid + '\n'), 10000);
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
