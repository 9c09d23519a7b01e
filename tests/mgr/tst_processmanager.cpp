#include <QDir>
#include <QDirIterator>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <cerrno>
#include <memory>

#include <unistd.h>

#include "childscript.h"
#include "common/utils.h"
#include "libabout/about.h"
#include "mgr/processmanager.h"
#include "smalldisk.h"
#include "testenv.h"
#include "testmain.h"

using namespace actionstest;
using ORVO::Process;
using ORVO::ProcessManager;

namespace {

const char* const ServerId = "{da39a3ee-5e6b-5b0d-b255-bfef95601890}";
const char* const ServerGroup = "ls_da39a3ee-5e6b-5b0d-b255-bfef95601890/Actions/";

QVariantMap act(const QString& name, const QString& endpoint, const QString& remark,
                const QString& path, const QString& args = QString())
{
    QVariantMap map;
    map.insert("name", name);
    map.insert("endpoint", endpoint);
    map.insert("remark", remark);
    map.insert("path", path);
    if (!args.isNull())
        map.insert("args", args);
    return map;
}

QSettings* store()
{
    return new QSettings(QString::fromLatin1(LibVelcorOrganization),
                         QStringLiteral("BastivaConnectApp"));
}

// Children of this process that have not ended.
int liveChildren()
{
    const QString self = QString::number(::getpid());
    int count = 0;
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        bool isPid = false;
        const qint64 pid = it.fileName().toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile stat(it.filePath() + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1) == self.toLatin1() && isAlive(pid))
            ++count;
    }
    return count;
}

} // namespace

class TestProcessManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void signatures_data();
    void signatures();
    void errorString_data();
    void errorString();
    void requiredKeys_data();
    void requiredKeys();
    void defaultSearch_data();
    void defaultSearch();
    void customStep_data();
    void customStep();
    void serverGroups();
    void userChoice();
    void userChoiceWithinEmission();
    void chosenLocationFields_data();
    void chosenLocationFields();
    void restartReplacesRunning();
    void stopAction_data();
    void stopAction();
    void olderChildEndingKeepsNewerKey();
    void failedStartIsReleased();
    void deletingManagerEndsChildren();
    void detachedStart();

private:
    QString tool(const QString& relPath, const QByteArray& tail = "exit 0\n");
    QString subst(QString text) const;

    orvotest::TestEnv* env = nullptr;
    QTemporaryDir* dir = nullptr;
    QByteArray savedPath;
    QString savedCwd;
};

void TestProcessManager::init()
{
    env = new orvotest::TestEnv();
    dir = new QTemporaryDir();
    QVERIFY(env->isValid());
    QVERIFY(dir->isValid());
    savedPath = qgetenv("PATH");
    savedCwd = QDir::currentPath();
}

void TestProcessManager::cleanup()
{
    qputenv("PATH", savedPath);
    QDir::setCurrent(savedCwd);
    delete dir;
    dir = nullptr;
    delete env;
    env = nullptr;
}

QString TestProcessManager::tool(const QString& relPath, const QByteArray& tail)
{
    const QString path = dir->filePath(relPath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!writeScript(path, tail))
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

QString TestProcessManager::subst(QString text) const
{
    text.replace("{A}", dir->filePath("A"));
    text.replace("{B}", dir->filePath("B"));
    text.replace("{Brel}", dir->filePath("B").mid(1));
    text.replace("{none}", dir->filePath("none"));
    text.replace("{cwd}", dir->filePath("cwd"));
    text.replace("{HOME}", env->root());
    return text;
}

void TestProcessManager::signatures_data()
{
    // As the wiring spells them when it connects by signature.
    QTest::addColumn<bool>("isSignal");
    QTest::addColumn<QByteArray>("signature");
    QTest::newRow("sigError") << true
                              << QByteArray("sigError(ORVO::ProcessManager::Error,QString)");
    QTest::newRow("sigError, short") << true << QByteArray("sigError(ORVO::ProcessManager::Error)");
    QTest::newRow("chooseOpenFile") << true << QByteArray("chooseOpenFile(QString)");
    QTest::newRow("stateChanged") << true
                                  << QByteArray("stateChanged(ORVO::ProcessManager::State)");
    QTest::newRow("gotServerId") << false << QByteArray("gotServerId(QUuid)");
    QTest::newRow("chosenOpenFile") << false << QByteArray("chosenOpenFile(QString)");
    QTest::newRow("processStateChanged")
        << false << QByteArray("processStateChanged(ORVO::Process::State)");
    QTest::newRow("processError") << false << QByteArray("processError(ORVO::Process::Error)");
}

void TestProcessManager::signatures()
{
    QFETCH(bool, isSignal);
    QFETCH(QByteArray, signature);
    const QMetaObject& mo = ProcessManager::staticMetaObject;
    QVERIFY(isSignal ? mo.indexOfSignal(signature) >= 0 : mo.indexOfSlot(signature) >= 0);
}

void TestProcessManager::errorString_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "No error";
    QTest::newRow("1") << 1 << "Bad parameters";
    QTest::newRow("2") << 2 << "Out of memory";
    QTest::newRow("3") << 3 << "Specified action already running for given endpoint";
    QTest::newRow("4") << 4 << "Not a valid executable";
    QTest::newRow("5") << 5 << "Error running process";
    QTest::newRow("6") << 6 << "The program location could not be saved";
    QTest::newRow("7") << 7 << "";
    QTest::newRow("-1") << -1 << "";
}

void TestProcessManager::errorString()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(ProcessManager::errorString(ProcessManager::Error(code)), text);
}

void TestProcessManager::requiredKeys_data()
{
    QTest::addColumn<QString>("drop");
    QTest::addColumn<bool>("nullInstead");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("no name") << "name" << false << false;
    QTest::newRow("no remark") << "remark" << false << false;
    QTest::newRow("no path") << "path" << false << false;
    QTest::newRow("null name") << "name" << true << false;
    QTest::newRow("null path") << "path" << true << false;
    QTest::newRow("no endpoint") << "endpoint" << false << true;
    QTest::newRow("no args") << "args" << false << true;
    QTest::newRow("no ips") << "ips" << false << true;
}

void TestProcessManager::requiredKeys()
{
    QFETCH(QString, drop);
    QFETCH(bool, nullInstead);
    QFETCH(bool, accepted);

    qputenv("PATH", "");
    ProcessManager pm;
    QVERIFY(pm.isValid());
    QSignalSpy errors(&pm, &ProcessManager::sigError);
    QSignalSpy choose(&pm, &ProcessManager::chooseOpenFile);

    QVariantMap map = act("tool", "host", "remark", "/nowhere/tool", "a");
    map.insert("ips", "10.0.0.1");
    if (nullInstead)
        map.insert(drop, QVariant());
    else
        map.remove(drop);

    QCOMPARE(pm.startAction(map), -1);
    if (accepted) {
        // Nothing found: the user is asked.
        QCOMPARE(errors.count(), 0);
        QCOMPARE(choose.count(), 1);
    } else {
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).value<ProcessManager::Error>(), ProcessManager::ErrorBadParams);
        QCOMPARE(errors.at(0).at(1).toString(), QString(""));
        QCOMPARE(choose.count(), 0);
    }
}

void TestProcessManager::defaultSearch_data()
{
    QTest::addColumn<QString>("pathEnv");
    QTest::addColumn<QString>("pattern");
    // The script that runs and the $0 it sees; empty: the user is asked.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("argv0");

    QTest::newRow("first entry wins") << "{A}:{B}"
                                      << "%PROGRAM_PATH%/tool"
                                      << "{A}/tool"
                                      << "{A}/tool";
    QTest::newRow("later entry when the first lacks it") << "{A}:{B}"
                                                         << "%PROGRAM_PATH%/only-b"
                                                         << "{B}/only-b"
                                                         << "{B}/only-b";
    QTest::newRow("missing directory skipped") << "{none}:{B}"
                                               << "%PROGRAM_PATH%/tool"
                                               << "{B}/tool"
                                               << "{B}/tool";
    QTest::newRow("empty entry is the current directory") << "{none}::{B}/"
                                                          << "%PROGRAM_PATH%sub/tool"
                                                          << "{cwd}/sub/tool"
                                                          << "sub/tool";
    QTest::newRow("pattern without placeholder") << "{A}:{B}"
                                                 << "{B}/tool"
                                                 << "{B}/tool"
                                                 << "{B}/tool";
    QTest::newRow("home placeholder") << "{A}"
                                      << "%HOME_PATH%/bin/tool"
                                      << "{HOME}/bin/tool"
                                      << "{HOME}/bin/tool";
    QTest::newRow("system drive") << "{A}"
                                  << "%SYSTEM_DRIVE%{Brel}/tool"
                                  << "{B}/tool"
                                  << "{B}/tool";
    QTest::newRow("system root doubles the separator") << "{A}"
                                                       << "%SYSTEM_ROOT%/{Brel}/tool"
                                                       << "{B}/tool"
                                                       << "//{Brel}/tool";
    QTest::newRow("plus decoded") << "{A}"
                                  << "%PROGRAM_PATH%/my+tool"
                                  << "{A}/my tool"
                                  << "{A}/my tool";
    QTest::newRow("placeholder is case-sensitive") << "{A}"
                                                   << "%program_path%/tool"
                                                   << ""
                                                   << "";
    QTest::newRow("empty PATH") << ""
                                << "{B}/tool"
                                << ""
                                << "";
    QTest::newRow("unset PATH") << "<unset>"
                                << "{B}/tool"
                                << ""
                                << "";
}

void TestProcessManager::defaultSearch()
{
    QFETCH(QString, pathEnv);
    QFETCH(QString, pattern);
    QFETCH(QString, script);
    QFETCH(QString, argv0);

    const QStringList scripts{tool("A/tool"), tool("A/my tool"), tool("B/tool"), tool("B/only-b"),
                              tool("cwd/sub/tool")};
    const QString homeTool = env->root() + "/bin/tool";
    QDir().mkpath(env->root() + "/bin");
    QVERIFY(writeScript(homeTool));
    QDir::setCurrent(dir->filePath("cwd"));

    if (pathEnv == "<unset>")
        qunsetenv("PATH");
    else
        qputenv("PATH", QFile::encodeName(subst(pathEnv)));

    ProcessManager pm;
    QSignalSpy choose(&pm, &ProcessManager::chooseOpenFile);
    const int result = pm.startAction(act("tool", "host", "remark", subst(pattern), "x"));

    if (script.isEmpty()) {
        QCOMPARE(result, -1);
        QCOMPARE(choose.count(), 1);
        QCOMPARE(choose.at(0).at(0).toString(), QString("Select executable file"));
        QTest::qWait(50);
        for (const QString& s : scripts + QStringList{homeTool})
            QVERIFY2(!QFileInfo::exists(argvFile(s)), qPrintable(s));
        return;
    }
    QCOMPARE(result, 0);
    QCOMPARE(choose.count(), 0);
    const QString ran = subst(script);
    QVERIFY(waitForArgv(ran));
    QCOMPARE(readArgv(ran), (QStringList{subst(argv0), "x"}));
    for (const QString& s : scripts + QStringList{homeTool}) {
        if (s != ran)
            QVERIFY2(!QFileInfo::exists(argvFile(s)), qPrintable(s));
    }
}

void TestProcessManager::customStep_data()
{
    QTest::addColumn<QString>("stored");
    // "custom", "path" (the PATH tool) or "fail" (started, then reported)
    QTest::addColumn<QString>("runs");

    QTest::newRow("chosen location") << "R|P|{custom}"
                                     << "custom";
    QTest::newRow("fields after the third") << "R|P|{custom}|more"
                                            << "custom";
    QTest::newRow("chosen location gone") << "R|P|{missing}"
                                          << "path";
    QTest::newRow("two fields") << "R|P"
                                << "path";
    QTest::newRow("one field") << "{custom}"
                               << "path";
    QTest::newRow("empty value") << ""
                                 << "path";
    QTest::newRow("nothing stored") << "<none>"
                                    << "path";
    QTest::newRow("pipe in remark shifts the fields") << "R|x|P|{custom}"
                                                      << "path";
    QTest::newRow("stored file cannot run") << "R|P|{plain}"
                                            << "fail";
}

void TestProcessManager::customStep()
{
    QFETCH(QString, stored);
    QFETCH(QString, runs);

    const QString pathTool = tool("A/tool");
    const QString custom = tool("custom");
    const QString plain = dir->filePath("plain");
    QVERIFY(orvotest::writeFile(plain, "not a program"));
    qputenv("PATH", QFile::encodeName(dir->filePath("A")));

    if (stored != "<none>") {
        QString value = stored;
        value.replace("{custom}", custom)
            .replace("{missing}", dir->filePath("missing"))
            .replace("{plain}", plain);
        QScopedPointer<QSettings> s(store());
        s->setValue("tool", value);
        s->sync();
    }

    ProcessManager pm;
    QSignalSpy errors(&pm, &ProcessManager::sigError);
    QCOMPARE(pm.startAction(act("tool", "host", "remark", "%PROGRAM_PATH%/tool", "x")), 0);

    if (runs == "fail") {
        QTRY_COMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).value<ProcessManager::Error>(), ProcessManager::ErrorRunning);
        QVERIFY(!QFileInfo::exists(argvFile(pathTool)));
        return;
    }
    const QString ran = runs == "custom" ? custom : pathTool;
    const QString other = runs == "custom" ? pathTool : custom;
    QVERIFY(waitForArgv(ran));
    QCOMPARE(readArgv(ran), (QStringList{ran, "x"}));
    QVERIFY(!QFileInfo::exists(argvFile(other)));
    QCOMPARE(errors.count(), 0);
}

void TestProcessManager::serverGroups()
{
    const QString custom = tool("custom");
    qputenv("PATH", "");
    ProcessManager pm;
    QSignalSpy choose(&pm, &ProcessManager::chooseOpenFile);
    const QVariantMap action = act("tool", "host", "Remote+Shell", "%PROGRAM_PATH%/ssh+x", "a");

    pm.gotServerId(QUuid(ServerId));
    QCOMPARE(pm.startAction(action), -1);
    QCOMPARE(choose.count(), 1);
    pm.chosenOpenFile(custom);
    QVERIFY(waitForArgv(custom));

    QScopedPointer<QSettings> s(store());
    QCOMPARE(s->value(QString(ServerGroup) + "tool").toString(),
             "Remote Shell|%PROGRAM_PATH%/ssh x|" + custom);
    QVERIFY(!s->contains("tool"));

    // Another server does not see the first one's locations.
    pm.gotServerId(QUuid::createUuid());
    QFile::remove(argvFile(custom));
    QCOMPARE(pm.startAction(action), -1);
    QCOMPARE(choose.count(), 2);

    // Back on the first server the stored location is used.
    pm.gotServerId(QUuid(ServerId));
    QCOMPARE(pm.startAction(action), 0);
    QCOMPARE(choose.count(), 2);
    QVERIFY(waitForArgv(custom));
    QCOMPARE(readArgv(custom), (QStringList{custom, "a"}));
}

void TestProcessManager::userChoice()
{
    const QString custom = tool("custom", "exec sleep 30\n");
    const QString missing = dir->filePath("missing");
    qputenv("PATH", "");
    ProcessManager pm;
    QSignalSpy choose(&pm, &ProcessManager::chooseOpenFile);
    QSignalSpy errors(&pm, &ProcessManager::sigError);
    QScopedPointer<QSettings> s(store());

    QCOMPARE(pm.startAction(act("tool", "host", "R", "P", "x+y")), -1);
    QCOMPARE(choose.count(), 1);

    // Cancelled: nothing stored, started, reported or asked.
    pm.chosenOpenFile(QString());
    QCOMPARE(choose.count(), 1);
    QCOMPARE(errors.count(), 0);
    QVERIFY(!s->contains("tool"));

    // Not a file: reported and asked again.
    pm.chosenOpenFile(missing);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).value<ProcessManager::Error>(), ProcessManager::ErrorNotExecutable);
    QCOMPARE(errors.at(0).at(1).toString(), "path: " + missing);
    QCOMPARE(choose.count(), 2);
    QCOMPARE(choose.at(1).at(0).toString(), QString("Select executable file"));
    QVERIFY(!s->contains("tool"));

    pm.chosenOpenFile(custom);
    QCOMPARE(s->value("tool").toString(), "R|P|" + custom);
    QVERIFY(waitForArgv(custom));
    QCOMPARE(readArgv(custom), (QStringList{custom, "x", "y"}));
    // Filed by process id only: no action key reaches it.
    QTRY_COMPARE(pm.getPids().size(), 1);
    QVERIFY(pm.getKeys().isEmpty());
    QCOMPARE(pm.stopAction(act("tool", "host", "R", "P")), -1);
}

void TestProcessManager::userChoiceWithinEmission()
{
    const QString custom = tool("custom");
    qputenv("PATH", "");
    ProcessManager pm;
    // As the main window does: a modal dialog answers inside the emission.
    connect(&pm, &ProcessManager::chooseOpenFile, this,
            [&pm, custom]() { pm.chosenOpenFile(custom); });
    QCOMPARE(pm.startAction(act("tool", "host", "R", "P", "z")), -1);
    QVERIFY(waitForArgv(custom));
    QCOMPARE(readArgv(custom), (QStringList{custom, "z"}));
}

void TestProcessManager::chosenLocationFields_data()
{
    QTest::addColumn<QString>("remark");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("fullDisk"); // the settings on it

    QTest::newRow("plain") << "R"
                           << "P"
                           << "custom" << true << false;
    QTest::newRow("separator in the remark") << "R|x"
                                             << "P"
                                             << "custom" << false << false;
    QTest::newRow("separator in the default path") << "R"
                                                   << "/a|b"
                                                   << "custom" << false << false;
    QTest::newRow("separator in the chosen file") << "R"
                                                  << "P"
                                                  << "cus|tom" << false << false;
    QTest::newRow("settings on a full disk") << "R"
                                             << "P"
                                             << "custom" << false << true;
}

// A field holding the entry's separator would shift the stored fields: the
// chosen file is started and not stored. A second answer replaces the
// first instead of adding a field. A location that cannot be stored is
// used, and the user told why it is not kept.
void TestProcessManager::chosenLocationFields()
{
    QFETCH(QString, remark);
    QFETCH(QString, path);
    QFETCH(QString, file);
    QFETCH(bool, stored);
    QFETCH(bool, fullDisk);
    const QString custom = tool(file);
    const QString second = tool("second");
    qputenv("PATH", "");
    QScopedPointer<QSettings> s(store());
    std::unique_ptr<orvotest::SmallDisk> disk;
    if (fullDisk) {
        disk = std::make_unique<orvotest::SmallDisk>(QFileInfo(s->fileName()).absolutePath());
        if (!disk->isMounted())
            QSKIP(qPrintable(disk->whyNot()));
        QVERIFY(disk->fill());
    }
    ProcessManager pm;
    QSignalSpy errors(&pm, &ProcessManager::sigError);

    QCOMPARE(pm.startAction(act("tool", "host", remark, path, "x")), -1);
    pm.chosenOpenFile(custom);
    QVERIFY(waitForArgv(custom));
    QCOMPARE(s->contains("tool"), stored);
    QCOMPARE(errors.count(), fullDisk ? 1 : 0);
    if (fullDisk) {
        QCOMPARE(errors.at(0).at(0).value<ProcessManager::Error>(), ProcessManager::ErrorNotSaved);
        QVERIFY2(errors.at(0).at(1).toString().endsWith(ORVO::utils::errnoText(ENOSPC)),
                 qPrintable(errors.at(0).at(1).toString()));
    }
    if (!stored)
        return;
    QCOMPARE(s->value("tool").toString(), remark + "|" + path + "|" + custom);
    pm.chosenOpenFile(second);
    QVERIFY(waitForArgv(second));
    QCOMPARE(s->value("tool").toString(), remark + "|" + path + "|" + second);
}

void TestProcessManager::restartReplacesRunning()
{
    tool("A/tool", "exec sleep 30\n");
    qputenv("PATH", QFile::encodeName(dir->filePath("A")));
    ProcessManager pm;
    const QVariantMap action = act("tool", "host", "R", "%PROGRAM_PATH%/tool");

    QCOMPARE(pm.startAction(action), 0);
    QTRY_VERIFY(pm.getKeys().contains("tool_host"));
    const qint64 first = pm.getKeys().value("tool_host");
    QVERIFY(isAlive(first));

    QCOMPARE(pm.startAction(action), 0);
    QTRY_VERIFY(pm.getKeys().contains("tool_host"));
    const qint64 second = pm.getKeys().value("tool_host");
    QVERIFY(second != first);
    QTRY_VERIFY(!isAlive(first));
    QVERIFY(isAlive(second));
}

void TestProcessManager::stopAction_data()
{
    QTest::addColumn<QVariantMap>("stop");
    QTest::addColumn<int>("result");

    QTest::newRow("decoded") << QVariantMap{{"name", "remote desktop"}, {"endpoint", "pc 1"}} << 0;
    QTest::newRow("plus is a blank")
        << QVariantMap{{"name", "remote+desktop"}, {"endpoint", "pc+1"}} << 0;
    QTest::newRow("no endpoint") << QVariantMap{{"name", "remote desktop"}} << -1;
    QTest::newRow("no name") << QVariantMap{{"endpoint", "pc 1"}} << -1;
    QTest::newRow("other name") << QVariantMap{{"name", "other"}, {"endpoint", "pc 1"}} << -1;
}

void TestProcessManager::stopAction()
{
    QFETCH(QVariantMap, stop);
    QFETCH(int, result);

    tool("A/tool", "exec sleep 30\n");
    qputenv("PATH", QFile::encodeName(dir->filePath("A")));
    ProcessManager pm;
    QSignalSpy errors(&pm, &ProcessManager::sigError);
    QCOMPARE(pm.startAction(act("remote+desktop", "pc+1", "R", "%PROGRAM_PATH%/tool")), 0);
    // Not filed until the child reports that it runs.
    QCOMPARE(pm.stopAction(stop), -1);
    QTRY_VERIFY(pm.getKeys().contains("remote desktop_pc 1"));
    const qint64 pid = pm.getKeys().value("remote desktop_pc 1");

    QCOMPARE(pm.stopAction(stop), result);
    if (result == 0) {
        QVERIFY(pm.getKeys().isEmpty());
        QTRY_VERIFY(!isAlive(pid));
        QTRY_VERIFY(pm.getProcesses().isEmpty());
    } else {
        QTest::qWait(50);
        QVERIFY(isAlive(pid));
        QCOMPARE(pm.getKeys().value("remote desktop_pc 1"), pid);
    }
    QCOMPARE(errors.count(), 0);
}

void TestProcessManager::olderChildEndingKeepsNewerKey()
{
    const QString marker = dir->filePath("marker");
    const QString older =
        tool("older", "while [ ! -e '" + QFile::encodeName(marker) + "' ]; do sleep 0.02; done\n");
    const QString newer = tool("newer", "exec sleep 30\n");
    ProcessManager pm;
    const QVariantMap action = act("ssh", "host", "R", "P");

    QCOMPARE(pm.startEx(false, older, action), 0);
    QTRY_VERIFY(pm.getKeys().contains("ssh_host"));
    const qint64 olderPid = pm.getKeys().value("ssh_host");
    QCOMPARE(pm.startEx(false, newer, action), 0);
    QTRY_VERIFY(pm.getKeys().value("ssh_host") != olderPid);
    const qint64 newerPid = pm.getKeys().value("ssh_host");

    QVERIFY(orvotest::writeFile(marker, ""));
    QTRY_VERIFY(!pm.getPids().contains(olderPid));
    // The newer child is still reachable by its action.
    QCOMPARE(pm.getKeys().value("ssh_host"), newerPid);
    QCOMPARE(pm.stopAction(action), 0);
    QTRY_VERIFY(!isAlive(newerPid));
}

void TestProcessManager::failedStartIsReleased()
{
    ProcessManager pm;
    QSignalSpy errors(&pm, &ProcessManager::sigError);
    QCOMPARE(pm.startEx(false, dir->filePath("missing"), act("ssh", "host", "R", "P")), 0);
    QCOMPARE(pm.getProcesses().size(), 1);
    QTRY_COMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).value<ProcessManager::Error>(), ProcessManager::ErrorRunning);
    QTRY_VERIFY(pm.getProcesses().isEmpty());
    QVERIFY(pm.getPids().isEmpty());
    QVERIFY(pm.getKeys().isEmpty());
}

void TestProcessManager::deletingManagerEndsChildren()
{
    tool("A/one", "exec sleep 30\n");
    tool("A/two", "exec sleep 30\n");
    const QString third = tool("third", "exec sleep 30\n");
    qputenv("PATH", QFile::encodeName(dir->filePath("A")));
    QCOMPARE(liveChildren(), 0);

    auto* pm = new ProcessManager();
    QCOMPARE(pm->startAction(act("one", "h", "R", "%PROGRAM_PATH%/one")), 0);
    QCOMPARE(pm->startAction(act("two", "h", "R", "%PROGRAM_PATH%/two")), 0);
    QTRY_COMPARE(pm->getKeys().size(), 2);
    // One more that has not reported its start: in neither table.
    QCOMPARE(pm->startEx(false, third, act("three", "h", "R", "P")), 0);
    QCOMPARE(pm->getProcesses().size(), 3);
    QCOMPARE(liveChildren(), 3);

    delete pm;
    QCOMPARE(liveChildren(), 0);
}

void TestProcessManager::detachedStart()
{
    const QString sleeper = tool("sleeper", "exec sleep 30\n");
    auto* pm = new ProcessManager();
    QSignalSpy errors(pm, &ProcessManager::sigError);

    // No process id: nothing started, and said so.
    QCOMPARE(pm->startDetached(dir->filePath("missing"), ""), -1);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).value<ProcessManager::Error>(), ProcessManager::ErrorRunning);
    QVERIFY(pm->getProcesses().isEmpty());

    QCOMPARE(pm->startDetached(sleeper, "a b"), 0);
    QCOMPARE(pm->getPids().size(), 1);
    QVERIFY(pm->getKeys().isEmpty());
    const qint64 pid = pm->getPids().keys().first();
    QVERIFY(waitForArgv(sleeper));
    QCOMPARE(readArgv(sleeper), (QStringList{sleeper, "a", "b"}));
    QVERIFY(isAlive(pid));

    delete pm;
    QTRY_VERIFY(!isAlive(pid));
}

ORVO_TEST_MAIN(TestProcessManager)
#include "tst_processmanager.moc"
