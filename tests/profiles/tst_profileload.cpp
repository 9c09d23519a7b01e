// Loading next to files that are not regular files: a FIFO or a device in
// place of a file that load reads must neither hold it nor stop it; that
// profile is skipped like any broken one, and the log names the path.

#include <QDir>
#include <QThread>

#include <libvelcor/utils.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "logcapture.h"
#include "profilefixture.h"
#include "profiles/connprofiles.h"
#include "testmain.h"

using ORVO::ConnProfile;
using ORVO::ConnProfiles;
using orvotest::writeFile;

class TestProfileLoad : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void notRegularFiles_data();
    void notRegularFiles();

private:
    QString root() const { return env->dataDir() + "/profiles"; }
    // Saves L (management server), M (manual OpenVPN) and F (OpenVPN from
    // the file f.conf).
    void threeKinds();
    // Runs load on a thread and tells whether it ended in time. A load
    // still waiting is then let go by opening each FIFO for writing.
    bool loadsInTime(ConnProfiles& store, const QStringList& fifos);

    QScopedPointer<orvotest::TestEnv> env;
    QScopedPointer<orvotest::LogCapture> capture;
};

void TestProfileLoad::init()
{
    env.reset(new orvotest::TestEnv);
    capture.reset(new orvotest::LogCapture);
}

void TestProfileLoad::cleanup()
{
    capture.reset();
    env.reset();
}

void TestProfileLoad::threeKinds()
{
    const QString ext = env->root() + "/ext";
    writeFile(ext + "/ca.pem", proftest::pemText("ca"));
    writeFile(ext + "/f.conf", proftest::vpnText("f.example.org"));
    ConnProfiles writer;
    writer.load();
    ConnProfile* l = writer.add("L");
    l->setType(ConnProfile::LsType);
    l->getAuth().setUrl("https://ls.example.org");
    ConnProfile* m = writer.add("M");
    m->getVpnConfig().setRemote("m.example.org");
    m->setCaPath(ext + "/ca.pem");
    ConnProfile* f = writer.add("F");
    f->setConfigMode(ConnProfile::FilesConfigMode);
    QCOMPARE(f->setConfigFiles({ext + "/f.conf"}, QString(), true), 0);
    for (ConnProfile* p : {l, m, f}) {
        p->getAuth().setUser("u");
        p->getAuth().setPass("pw");
    }
    QString failed;
    QCOMPARE(writer.save(failed), 0);
}

bool TestProfileLoad::loadsInTime(ConnProfiles& store, const QStringList& fifos)
{
    QScopedPointer<QThread> worker(QThread::create([&store] { store.load(); }));
    worker->start();
    const bool inTime = worker->wait(10000);
    while (!worker->wait(10)) {
        for (const QString& fifo : fifos) {
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
    }
    return inTime;
}

void TestProfileLoad::notRegularFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QStringList>("loaded");
    QTest::newRow("FIFO as config.json") << "L.profile/config.json"
                                         << "fifo" << QStringList{"F", "M"};
    QTest::newRow("device as config.json") << "M.profile/config.json"
                                           << "/dev/zero" << QStringList{"F", "L"};
    QTest::newRow("directory as config.json") << "F.profile/config.json"
                                              << "dir" << QStringList{"L", "M"};
    QTest::newRow("FIFO as openvpn.conf") << "M.profile/openvpn.conf"
                                          << "fifo" << QStringList{"F", "L"};
    QTest::newRow("device as openvpn.conf") << "M.profile/openvpn.conf"
                                            << "/dev/zero" << QStringList{"F", "L"};
    QTest::newRow("FIFO as the OpenVPN file") << "F.profile/f.conf"
                                              << "fifo" << QStringList{"L", "M"};
    // A cycle of renames cannot be put back: its backups stay, the
    // profiles load.
    QTest::newRow("FIFO as the rename journal") << "rename-cycle.journal"
                                                << "fifo" << QStringList{"F", "L", "M"};
}

void TestProfileLoad::notRegularFiles()
{
    QFETCH(QString, path);
    QFETCH(QString, what);
    QFETCH(QStringList, loaded);
    threeKinds();
    const QString full = root() + "/" + path;
    QVERIFY(!QFileInfo::exists(full) || libvelcor::utils::rmRec(full) == 0);
    if (what == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(full).constData(), 0600), 0);
    else if (what == "dir")
        QVERIFY(QDir().mkpath(full));
    else
        QVERIFY(QFile::link(what, full));

    ConnProfiles store;
    capture->clear();
    QVERIFY2(loadsInTime(store, {full}), "load waited on a file that is not regular");
    QCOMPARE(store.ids(), loaded);
    bool named = false;
    for (const QString& line : capture->linesAt("ERROR"))
        named = named || line.contains("\"" + full + "\"");
    QVERIFY2(named, qPrintable("no ERROR line names " + full));
}

ORVO_TEST_MAIN(TestProfileLoad)
#include "tst_profileload.moc"
