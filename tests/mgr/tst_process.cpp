#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "childscript.h"
#include "logcapture.h"
#include "mgr/process.h"
#include "testmain.h"

using namespace actionstest;
using ORVO::Process;

class TestProcess : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void arguments_data();
    void arguments();
    void bundle_data();
    void bundle();
    void signalOrder_data();
    void signalOrder();
    void secondStartRefused();
    void stopTerminatesChild();
    void detachedStopKillsChild();
    void detachedWithoutPidSignalsNothing();

private:
    QString script(const QString& name, const QByteArray& tail = "exit 0\n");
    static QVariantMap action(const QString& path, const QString& args = QString());

    QTemporaryDir* dir = nullptr;
    QString savedOpener;
};

void TestProcess::init()
{
    dir = new QTemporaryDir();
    QVERIFY(dir->isValid());
    savedOpener = Process::opener();
}

void TestProcess::cleanup()
{
    Process::setOpener(savedOpener);
    delete dir;
    dir = nullptr;
}

QString TestProcess::script(const QString& name, const QByteArray& tail)
{
    const QString path = dir->filePath(name);
    if (!writeScript(path, tail))
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

QVariantMap TestProcess::action(const QString& path, const QString& args)
{
    QVariantMap map;
    map.insert("name", "ssh");
    map.insert("endpoint", "host");
    map.insert("path", path);
    if (!args.isNull())
        map.insert("args", args);
    return map;
}

void TestProcess::arguments_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("none") << QString() << QStringList();
    QTest::newRow("empty") << QString("") << QStringList();
    QTest::newRow("two words") << "-p 22" << QStringList{"-p", "22"};
    QTest::newRow("double blank") << "a  b" << QStringList{"a", "", "b"};
    QTest::newRow("leading blank") << " a" << QStringList{"", "a"};
    QTest::newRow("trailing blank") << "a " << QStringList{"a", ""};
    QTest::newRow("plus separates") << "user@host+-v" << QStringList{"user@host", "-v"};
    QTest::newRow("quotes are ordinary") << "\"a b\" 'c'" << QStringList{"\"a", "b\"", "'c'"};
    QTest::newRow("backslash is ordinary") << "a\\ b" << QStringList{"a\\", "b"};
    QTest::newRow("percent kept") << "%41" << QStringList{"%41"};
}

void TestProcess::arguments()
{
    QFETCH(QString, args);
    QFETCH(QStringList, expected);

    const QString path = script("rec");
    Process process(action(path, args));
    QVERIFY(process.start() != nullptr);
    QVERIFY(waitForArgv(path));
    QCOMPARE(readArgv(path), QStringList{path} + expected);
    QTRY_COMPARE(process.getState(), Process::StateIdle);
    QCOMPARE(process.getError(), Process::ErrorNone);
}

void TestProcess::bundle_data()
{
    QTest::addColumn<bool>("withOpener");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("args");
    // "opener", "direct" or "none" (the start fails)
    QTest::addColumn<QString>("runs");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("bundle with args")
        << true << "Tool.app"
        << ""
        << "a b"
        << "opener" << QStringList{"-n", "{path}", "--args", "a", "b"};
    QTest::newRow("bundle without args") << true << "Tool.app"
                                         << ""
                                         << ""
                                         << "opener" << QStringList{"-n", "{path}", "--args"};
    QTest::newRow("upper-case suffix") << true << "Tool.APP"
                                       << ""
                                       << "a"
                                       << "direct" << QStringList{"a"};
    QTest::newRow("trailing slash") << true << "Tool.app"
                                    << "/"
                                    << "a"
                                    << "none" << QStringList();
    QTest::newRow("no opener on this system") << false << "Tool.app"
                                              << ""
                                              << "a"
                                              << "direct" << QStringList{"a"};
}

void TestProcess::bundle()
{
    QFETCH(bool, withOpener);
    QFETCH(QString, file);
    QFETCH(QString, suffix);
    QFETCH(QString, args);
    QFETCH(QString, runs);
    QFETCH(QStringList, expected);

    const QString opener = script("opener");
    const QString target = script(file);
    Process::setOpener(withOpener ? opener : QString());
    const QString path = target + suffix;
    for (QString& arg : expected)
        arg.replace("{path}", path);

    Process process(action(path, args));
    QSignalSpy errors(&process, &Process::error);
    QVERIFY(process.start() != nullptr);
    QTRY_COMPARE(process.getState(), Process::StateIdle);

    if (runs == "opener") {
        QVERIFY(waitForArgv(opener));
        QCOMPARE(readArgv(opener), QStringList{opener} + expected);
        QCOMPARE(process.getPath(), opener);
        QVERIFY(!QFileInfo::exists(argvFile(target)));
    } else if (runs == "direct") {
        QVERIFY(waitForArgv(target));
        QCOMPARE(readArgv(target), QStringList{path} + expected);
        QCOMPARE(process.getPath(), path);
        QVERIFY(!QFileInfo::exists(argvFile(opener)));
    } else {
        QTRY_COMPARE(errors.count(), 1);
        QVERIFY(!QFileInfo::exists(argvFile(opener)));
        QVERIFY(!QFileInfo::exists(argvFile(target)));
    }
}

void TestProcess::signalOrder_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QStringList>("expected");

    // S<n>: stateChanged(n), E<n>: error(n)
    QTest::newRow("exit 0") << QByteArray("exit 0\n") << QStringList{"S1", "S2", "S0"};
    QTest::newRow("exit 3") << QByteArray("exit 3\n") << QStringList{"S1", "S2", "E5", "S0"};
    // A crash is reported by QProcess as an error and as a finish.
    QTest::newRow("crash") << QByteArray("kill -SEGV $$\n")
                           << QStringList{"S1", "S2", "S0", "E5", "E5", "S0"};
    QTest::newRow("cannot run") << QByteArray() << QStringList{"S1", "S0", "E5"};
}

void TestProcess::signalOrder()
{
    QFETCH(QByteArray, tail);
    QFETCH(QStringList, expected);

    const QString path = tail.isNull() ? dir->filePath("missing") : script("child", tail);
    Process process(action(path));
    QStringList seen;
    connect(&process, &Process::stateChanged, this,
            [&seen](Process::State s) { seen << QString("S%1").arg(s); });
    connect(&process, &Process::error, this,
            [&seen](Process::Error e) { seen << QString("E%1").arg(e); });

    orvotest::LogCapture log;
    QVERIFY(process.start() != nullptr);
    QTRY_COMPARE(seen, expected);
    QTest::qWait(50);
    QCOMPARE(seen, expected);
    if (tail == "exit 3\n")
        QVERIFY(log.contains("Process exitCode: 3, exitStatus: 0"));
    if (!tail.isNull() && expected.count("S2") == 1)
        QVERIFY(process.getPid() > 0);
}

void TestProcess::secondStartRefused()
{
    const QString path = script("sleeper", "exec sleep 30\n");
    Process process(action(path));
    QVERIFY(process.start() != nullptr);
    QTRY_COMPARE(process.getState(), Process::StateRunning);

    QSignalSpy errors(&process, &Process::error);
    orvotest::LogCapture log;
    QCOMPARE(process.start(), nullptr);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).value<Process::Error>(), Process::ErrorBadState);
    QCOMPARE(process.getState(), Process::StateRunning);
    QVERIFY(log.contains("Bad state: 2"));
}

void TestProcess::stopTerminatesChild()
{
    const QString path = script("sleeper", "exec sleep 30\n");
    Process process(action(path));
    QVERIFY(process.start() != nullptr);
    QTRY_COMPARE(process.getState(), Process::StateRunning);
    const qint64 pid = process.getPid();
    QVERIFY(isAlive(pid));

    QSignalSpy states(&process, &Process::stateChanged);
    QSignalSpy errors(&process, &Process::error);
    QCOMPARE(process.stop(), 0);
    QVERIFY(!isAlive(pid));
    QTest::qWait(50);
    // A stop is no report of the child's end.
    QCOMPARE(states.count(), 0);
    QCOMPARE(errors.count(), 0);
}

void TestProcess::detachedStopKillsChild()
{
    const QString path = script("sleeper", "exec sleep 30\n");
    auto* process = new Process(action(path));
    qint64 pid = 0;
    QVERIFY(process->startDetached(&pid) != nullptr);
    QVERIFY(pid > 0);
    QCOMPARE(process->getPid(), pid);
    QVERIFY(process->getDetached());
    QCOMPARE(process->getState(), Process::StateStarting);
    QTRY_VERIFY(isAlive(pid));
    QVERIFY(waitForArgv(path));

    delete process;
    QTRY_VERIFY(!isAlive(pid));
}

void TestProcess::detachedWithoutPidSignalsNothing()
{
    // A failed detached start leaves no process id: stopping it must not
    // signal our own process group (kill 0). Surviving is the test.
    auto* process = new Process(action(dir->filePath("missing")));
    qint64 pid = -7;
    process->startDetached(&pid);
    QCOMPARE(pid, qint64(0));
    orvotest::LogCapture log;
    delete process;
    QTest::qWait(50);
    QVERIFY(log.contains("No process id to kill"));
}

ORVO_TEST_MAIN(TestProcess)
#include "tst_process.moc"
