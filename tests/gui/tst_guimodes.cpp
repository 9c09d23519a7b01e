#include <QTcpServer>

#include <memory>
#include <vector>

#include "childclient.h"
#include "servicesimulator.h"
#include "testmain.h"

// The two GUI modes of the program, from the outside: each starts against a
// simulated service, builds its windows, runs its loop and quits cleanly
// on SIGTERM; plugin files beside the executable are tried.
class TestGuiModes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startAndQuit_data();
    void startAndQuit();
    void pluginFiles_data();
    void pluginFiles();

private:
    // A copy of the program in a bundle of its own, with the given files
    // beside the executable.
    QString bundleProgram(const QStringList& pluginFiles);
    // With ports: waits until the service is told both listeners' ports,
    // and gives them.
    void runUntilSignal(ChildClient& child, const QStringList& args, QList<int>* ports = nullptr);

    QTemporaryDir bundles;
    int bundleCount = 0;
};

void TestGuiModes::initTestCase()
{
    QVERIFY(QFile::exists(ChildClient().program));
}

QString TestGuiModes::bundleProgram(const QStringList& pluginFiles)
{
    const QString dir = bundles.path() + "/b" + QString::number(++bundleCount);
    QDir().mkpath(dir + "/bin");
    const QString program = dir + "/bin/bastiva-connect";
    const QString bundle = QString::fromLocal8Bit(qgetenv("ORVO_BUNDLE_DIR"));
    if (!QFile::copy(ChildClient().program, program))
        return QString();
    QDir().mkpath(dir + "/Resources/etc");
    if (!QFile::copy(bundle + "/Resources/etc/vtx.json", dir + "/Resources/etc/vtx.json"))
        return QString();
    for (const QString& file : pluginFiles) {
        const QString target = dir + "/bin/" + file;
        if (file == QLatin1String("app_bogus.dll")) {
            if (!orvotest::writeFile(target, "not a plugin"))
                return QString();
        } else if (!QFile::copy(QStringLiteral(ORVO_TEST_PLUGIN_DIR "/") + file, target)) {
            return QString();
        }
    }
    return program;
}

// Runs the program until its loop runs, then sends SIGTERM and waits for
// a clean end.
void TestGuiModes::runUntilSignal(ChildClient& child, const QStringList& args, QList<int>* ports)
{
    orvosim::ServiceSimulator sim;
    QVERIFY(sim.listen(0));
    child.env.insert("VELCOR_SERVICE_ADDR", sim.address());
    // The login window's log page sets the program's log level from its
    // stored verbosity; High keeps the debug lines this test reads.
    QVERIFY(orvotest::writeFile(child.settingsFile(), "[General]\nlogVerbosity=High\n"));
    child.start(args);
    QTRY_VERIFY_WITH_TIMEOUT(child.err.contains("[Main] Starting main loop") ||
                                 child.proc.state() == QProcess::NotRunning,
                             15000);
    QVERIFY2(child.proc.state() == QProcess::Running, child.err.constData());
    QTRY_VERIFY_WITH_TIMEOUT(sim.kinds().contains(QStringLiteral("hello")), 10000);
    if (ports) {
        QTRY_VERIFY_WITH_TIMEOUT(sim.requestPort() > 0 && sim.logPort() > 0, 10000);
        *ports = {sim.requestPort(), sim.logPort()};
    }
    QVERIFY(child.signal(SIGTERM));
    QVERIFY(child.proc.waitForFinished(5000));
    child.err += child.proc.readAllStandardError();
    QCOMPARE(child.proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.proc.exitCode(), 0);
}

void TestGuiModes::startAndQuit_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QList<QByteArray>>("absent");
    // The listeners' ports: "free"; "searched taken" (another account can
    // take them all); "none", the system refuses every port.
    QTest::addColumn<QString>("ports");
    QTest::newRow("gui") << QStringList{"gui"}
                         << QList<QByteArray>{"[Main] withGui: true",
                                              "[Main] minimal: false",
                                              "[MainWindow] Using embedded logo",
                                              "[Gui] Running in full GUI mode",
                                              "[SystemTray] No system tray on this desktop",
                                              "[Main] Starting main loop",
                                              "[Main] Quit requested by a signal",
                                              "[Gui] Emitting quit signals",
                                              "~MainWindow"}
                         << QList<QByteArray>{"Minimal GUI mode", "No login plugin found!",
                                              "No config plugin found!"}
                         << "free";
    QTest::newRow("min") << QStringList{"min"}
                         << QList<QByteArray>{"[Main] minimal: true",
                                              "[Gui] Running in minimal GUI mode",
                                              "[SystemTray] No system tray on this desktop",
                                              "[MainWindow] Minimal GUI mode - quitting",
                                              "[Main] Starting main loop",
                                              "[Gui] Emitting quit signals",
                                              "~MainWindow"}
                         << QList<QByteArray>{"[MainWindow] Using embedded logo",
                                              "Running in full GUI mode", "No login plugin found!"}
                         << "free";
    QTest::newRow("gui, every port searched taken")
        << QStringList{"gui"} << QList<QByteArray>{"[Main] Starting main loop"}
        << QList<QByteArray>{"cannot listen"} << "searched taken";
    // A fatal box says why, and the start fails.
    const QByteArray why = "The client cannot listen for the service's requests on 127.0.0.1: ";
    QTest::newRow("gui, no port at all")
        << QStringList{"gui"}
        << QList<QByteArray>{"[ApiManager] " + why,
                             "Auto-answer 1024: \"Fatal error\": \"The connection to the VPN "
                             "service could not be set up.\\n" +
                                 why}
        << QList<QByteArray>{"[Main] Starting main loop"} << "none";
}

void TestGuiModes::startAndQuit()
{
    QFETCH(QStringList, args);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QList<QByteArray>, absent);
    QFETCH(QString, ports);
    const bool spansTaken = ports == "searched taken";
    const int first = 4814;
    const int last = 4824 + 64 - 1;
    std::vector<std::unique_ptr<QTcpServer>> taken;
    for (int port = first; spansTaken && port <= last; ++port) {
        taken.push_back(std::make_unique<QTcpServer>());
        // Another program's port (outside this suite's locks) may be freed
        // for the child meanwhile: the row would prove nothing.
        if (!taken.back()->listen(QHostAddress::LocalHost, quint16(port)))
            QSKIP(qPrintable(QString::number(port) + ": " + taken.back()->errorString()));
    }
    ChildClient child;
    QList<int> bound;
    if (ports == "none") {
        // The test build, which answers the box.
        child.program = ChildClient::answeringProgram();
        child.env.insert("ORVO_TEST_NO_PORT", "1");
        QVERIFY(orvotest::writeFile(child.settingsFile(), "[General]\nlogVerbosity=High\n"));
        const int code = child.run(args);
        if (code == 77)
            QSKIP(child.err.constData());
        QCOMPARE(code, 1);
    } else {
        runUntilSignal(child, args, spansTaken ? &bound : nullptr);
    }
    for (int port : qAsConst(bound))
        QVERIFY2(port < first || port > last, qPrintable(QString::number(port)));
    QByteArray missing;
    QVERIFY2(inOrder(child.err, lines, &missing) == 0, missing.constData());
    for (const QByteArray& line : absent)
        QVERIFY2(!child.err.contains(line), line.constData());
    // Every connection by signature found its ends.
    QVERIFY2(!child.err.contains("QObject::connect"), child.err.constData());
}

void TestGuiModes::pluginFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QList<QByteArray>>("absent");
    QTest::newRow("bogus file skipped")
        << QStringList{"app_bogus.dll"}
        << QList<QByteArray>{"[ERROR] [BastivaConnectApp:plugindiscovery.cpp:",
                             "Error loading plugin \"",
                             "app_bogus.dll\": ", "[Main] Starting main loop"}
        << QList<QByteArray>{"No login plugin found!", "No config plugin found!"};
    // A login plugin from a file is wired like a built-in one.
    QTest::newRow("login plugin from a file")
        << QStringList{"app_testlogin.dll", "app_bogus.dll"}
        << QList<QByteArray>{"Error loading plugin \"", "[Gui] Running in full GUI mode",
                             "[Main] Starting main loop"}
        << QList<QByteArray>{"No login plugin found!", "No config plugin found!",
                             "missing end for"};
}

void TestGuiModes::pluginFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QList<QByteArray>, absent);
    ChildClient child;
    child.program = bundleProgram(files);
    QVERIFY(!child.program.isEmpty());
    runUntilSignal(child, {"gui"});
    QByteArray missing;
    QVERIFY2(inOrder(child.err, lines, &missing) == 0, missing.constData());
    for (const QByteArray& line : absent)
        QVERIFY2(!child.err.contains(line), line.constData());
    QVERIFY2(!child.err.contains("QObject::connect"), child.err.constData());
}

ORVO_TEST_MAIN(TestGuiModes)
#include "tst_guimodes.moc"
