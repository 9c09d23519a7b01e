// Crash safety of the profile save: a child process saves the profile set
// in a loop and is killed with SIGKILL at random moments; after each kill a
// load must find every profile whole, as before or as after its save. Two
// of the profiles swap their ids in every save (a cycle of renames): each
// must be found whole, once, in the place that its version gives it.

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include "crashfixture.h"
#include "logcapture.h"
#include "profiles/connprofiles.h"
#include "testenv.h"
#include "testmain.h"

using ORVO::ConnProfiles;

class TestProfileCrash : public QObject
{
    Q_OBJECT

private slots:
    void killWhileSaving();
};

void TestProfileCrash::killWhileSaving()
{
    orvotest::TestEnv env;
    QScopedPointer<orvotest::LogCapture> quiet(new orvotest::LogCapture);
    const QString ext = env.root() + "/ext";
    const QString root = env.dataDir() + "/profiles";
    QMap<QString, int> expected;
    {
        ConnProfiles store;
        store.load();
        QVERIFY(crashfixture::applyVersion(store, ext, 0));
        QString failed;
        QCOMPARE(store.save(failed), 0);
        for (const QString& id : crashfixture::ids())
            expected.insert(crashfixture::tagOf(store.get(id)), 0);
    }

    const int kills = qMax(50, qEnvironmentVariableIntValue("ORVO_CRASH_KILLS"));
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    int midSave = 0;
    int midCycle = 0;
    for (int round = 0; round < kills; ++round) {
        QProcess child;
        child.start(QStringLiteral(ORVO_CRASH_CHILD), {ext});
        QVERIFY2(child.waitForStarted(5000), qPrintable(child.errorString()));
        // Once saving has begun, any moment of the loop (a save of the set
        // takes some milliseconds).
        QByteArray out;
        while (!out.contains("start") && child.state() == QProcess::Running) {
            child.waitForReadyRead(5000);
            out += child.readAllStandardOutput();
        }
        QThread::usleep(random.bounded(16000));
        child.kill();
        QVERIFY(child.waitForFinished(5000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        out += child.readAllStandardOutput();

        int lastStart = -1;
        int lastDone = -1;
        for (const QByteArray& line : out.split('\n')) {
            const QList<QByteArray> w = line.split(' ');
            if (w.size() == 2 && w[0] == "start")
                lastStart = w[1].toInt();
            if (w.size() == 2 && w[0] == "done")
                lastDone = w[1].toInt();
        }
        QVERIFY2(lastStart > 0, out.constData());
        if (lastDone != lastStart)
            ++midSave;

        if (QFileInfo::exists(root + "/rename-cycle.journal"))
            ++midCycle;
        ConnProfiles store;
        store.load();
        const QString where = QStringLiteral("seed %1, round %2").arg(seed).arg(round);
        QCOMPARE(store.ids(), crashfixture::ids());
        QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(),
                 crashfixture::ids().size());
        QStringList swapped;
        for (const QString& id : crashfixture::ids()) {
            ORVO::ConnProfile* p = store.get(id);
            const QString tag = crashfixture::tagOf(p);
            const int v = crashfixture::versionOf(p);
            // A swapping profile is followed by its tag, wherever it lies.
            const int before = lastDone > 0 ? lastDone : expected.value(tag);
            QVERIFY2(
                v == lastStart || v == before,
                qPrintable(where + ": " + id + " (" + tag + ") has version " + QString::number(v)));
            const QString problem = crashfixture::checkFiles(root + "/" + id + ".profile", tag, v);
            QVERIFY2(problem.isEmpty(), qPrintable(where + ": " + problem));
            if (crashfixture::swapIds().contains(id)) {
                QVERIFY2(crashfixture::swapPlace(tag, v) == id,
                         qPrintable(where + ": " + tag + " of version " + QString::number(v) +
                                    " found under " + id));
                swapped << tag;
            }
            expected[tag] = v;
        }
        swapped.sort();
        QVERIFY2(swapped == crashfixture::swapTags(),
                 qPrintable(where + ": swapped profiles found: " + swapped.join(", ")));
    }
    quiet.reset();
    qInfo("%d kills, %d of them during a save, %d inside a rename cycle (seed %u)", kills, midSave,
          midCycle, seed);
    QVERIFY(midSave > 0);
}

ORVO_TEST_MAIN(TestProfileCrash)
#include "tst_profilecrash.moc"
