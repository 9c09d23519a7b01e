#include <QFile>
#include <QResource>
#include <QTemporaryDir>

#include <cerrno>

#include <unistd.h>

#include "common/utils.h"
#include "libvelcor/logger.h"
#include "logcapture.h"
#include "main/instancelock.h"
#include "main/startupsteps.h"
#include "testenv.h"
#include "testmain.h"

using ORVO::InstanceLock;

// The start-up steps that own something (the instance lock, the brand
// bundle, the file log) in one process; tst_startup runs them between
// processes.
class TestStartupSteps : public QObject
{
    Q_OBJECT

private slots:
    void lockHeldOnce();
    void lockWithoutOwnerTakenOver();
    void lockFolderProblems_data();
    void lockFolderProblems();
    void brandBundleMountedForItsLife();
    void brandBundleFailures_data();
    void brandBundleFailures();
    void fileLogFailures_data();
    void fileLogFailures();
};

// The lock is held once; a second holder learns who has it; the lock goes
// with its object and can then be taken again.
void TestStartupSteps::lockHeldOnce()
{
    QTemporaryDir dir;
    const QString data = dir.path() + "/deep/data";
    {
        InstanceLock first(data);
        QCOMPARE(first.acquire(), 0);
        QCOMPARE(first.acquire(), 0);
        QVERIFY(QFile::exists(data + "/vtx.lock"));
        QCOMPARE(first.fileName(), data + "/vtx.lock");

        InstanceLock second(data);
        QCOMPARE(second.acquire(), -1);
        QVERIFY(second.heldElsewhere());
        QCOMPARE(second.ownerPid(), QCoreApplication::applicationPid());
        QVERIFY2(
            second.errorString().contains(data + "/vtx.lock") &&
                second.errorString().contains(QString::number(QCoreApplication::applicationPid())),
            qPrintable(second.errorString()));
    }
    QVERIFY(!QFile::exists(data + "/vtx.lock"));
    InstanceLock again(data);
    QCOMPARE(again.acquire(), 0);
    QVERIFY(!again.heldElsewhere());
    QVERIFY(again.errorString().isEmpty());
}

// A lock file cut short (empty, or not in the lock's format) has no owner
// that could be running: it is taken over rather than blocking every start.
void TestStartupSteps::lockWithoutOwnerTakenOver()
{
    QTemporaryDir dir;
    for (const QByteArray& junk : {QByteArray(), QByteArray("x\n")}) {
        QVERIFY(orvotest::writeFile(dir.path() + "/vtx.lock", junk));
        InstanceLock lock(dir.path());
        QCOMPARE(lock.acquire(), 0);
        QVERIFY(orvotest::readFile(dir.path() + "/vtx.lock")
                    .startsWith(QByteArray::number(QCoreApplication::applicationPid()) + '\n'));
    }
}

void TestStartupSteps::lockFolderProblems_data()
{
    QTest::addColumn<QString>("blocker");
    QTest::addColumn<QString>("reason");
    QTest::newRow("data folder is a file") << "file"
                                           << "%1/data is not a folder";
    QTest::newRow("a file above it") << "file above"
                                     << "%1/data is not a folder";
    QTest::newRow("lock file is a folder")
        << "lock dir"
        << "cannot create the lock file %1/data/vtx.lock: %1/data/vtx.lock is a directory";
    QTest::newRow("folder not writable") << "read-only"
                                         << "permission denied";
}

// A lock that cannot be made is no other client: the reason says what and
// where.
void TestStartupSteps::lockFolderProblems()
{
    QFETCH(QString, blocker);
    QFETCH(QString, reason);
    if (blocker == "read-only" && ::geteuid() == 0)
        QSKIP("root writes anywhere");
    QTemporaryDir dir;
    QString data = dir.path() + "/data";
    if (blocker == "file") {
        QVERIFY(orvotest::writeFile(data, "x"));
    } else if (blocker == "file above") {
        QVERIFY(orvotest::writeFile(data, "x"));
        data += "/a/b";
    } else if (blocker == "lock dir") {
        QVERIFY(QDir().mkpath(data + "/vtx.lock"));
    } else {
        QVERIFY(QDir().mkpath(data));
        QVERIFY(QFile::setPermissions(data, QFile::ReadOwner | QFile::ExeOwner));
    }
    InstanceLock lock(data);
    QCOMPARE(lock.acquire(), -1);
    QVERIFY(!lock.heldElsewhere());
    QVERIFY2(lock.errorString().contains(reason.arg(dir.path())), qPrintable(lock.errorString()));
    QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Mounted while the object lives, and unmounted with it: the bundle's tree
// is not left behind at exit.
void TestStartupSteps::brandBundleMountedForItsLife()
{
    const QString rcc = QString::fromLocal8Bit(qgetenv("ORVO_BUNDLE_DIR")) + "/Resources/gui.rcc";
    QVERIFY(!QFile::exists(":/rc/banner.png"));
    for (int round = 0; round < 2; ++round) {
        orvotest::LogCapture log;
        {
            ORVO::BrandBundle bundle(rcc, "/rc");
            QVERIFY(bundle.isRegistered());
            QVERIFY(QFile::exists(":/rc/banner.png"));
        }
        QVERIFY(!QFile::exists(":/rc/banner.png"));
        QVERIFY(log.linesAt("ERROR").isEmpty());
    }
}

void TestStartupSteps::brandBundleFailures_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray() << "no such file";
    QTest::newRow("not a bundle") << QByteArray("not rcc") << "not a resource bundle";
}

// The usual text stays, and the path and the reason follow it.
void TestStartupSteps::brandBundleFailures()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString rcc = dir.path() + "/gui.rcc";
    if (!content.isNull())
        QVERIFY(orvotest::writeFile(rcc, content));
    orvotest::LogCapture log;
    {
        ORVO::BrandBundle bundle(rcc, "/rc");
        QVERIFY(!bundle.isRegistered());
    }
    const QStringList errors = log.linesAt("ERROR");
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains("Error registering brand resources from file gui.rcc (\"" +
                                     rcc + "\": " + reason + ")"),
             qPrintable(errors.first()));
}

void TestStartupSteps::fileLogFailures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("why");
    QTest::newRow("path refused") << QString() << "Cannot use \"\" as the log file: ";
    QTest::newRow("log file is a directory")
        << "%1/vtx-log.txt"
        << "Cannot open the log file %1/vtx-log.txt: " + ORVO::utils::errnoText(EISDIR);
    QTest::newRow("data folder is a file")
        << "%1/file/vtx-log.txt"
        << "Cannot create the folder %1/file: %1/file is not a folder";
}

// The start-up's file log: which step failed, the path and the reason.
void TestStartupSteps::fileLogFailures()
{
    QFETCH(QString, path);
    QFETCH(QString, why);
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.path() + "/vtx-log.txt"));
    QVERIFY(orvotest::writeFile(dir.path() + "/file", "x"));
    libvelcor::Logger logger;
    QString text;
    QCOMPARE(ORVO::openFileLog(logger, path.isEmpty() ? path : path.arg(dir.path()), text), -1);
    QVERIFY(!logger.isOpen());
    QVERIFY2(text.startsWith(why.arg(dir.path())), qPrintable(text));

    QCOMPARE(ORVO::openFileLog(logger, dir.path() + "/ok/vtx-log.txt", text), 0);
    QVERIFY(logger.isOpen());
    QVERIFY(text.isEmpty());
}

ORVO_TEST_MAIN(TestStartupSteps)
#include "tst_startupsteps.moc"
