// The save of the set as the profile editor drives it: each record fetched
// through get, in the order that keeps renamed profiles' files, with the
// working set logged as it stands; and an unchanged OpenVPN profile whose
// files went away behind the store's back.

#include <QDir>
#include <QFileInfo>

#include <libvelcor/utils.h>

#include <sys/stat.h>

#include "logcapture.h"
#include "profilefixture.h"
#include "profiles/connprofiles.h"
#include "testmain.h"

using ORVO::ConnProfile;
using ORVO::ConnProfiles;
using orvotest::readFile;
using orvotest::writeFile;

class TestProfileSetSave : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void recordsFetchedInSaveOrder();
    void loggedSetFollowsEdits_data();
    void loggedSetFollowsEdits();
    void filesGoneBehindTheStore_data();
    void filesGoneBehindTheStore();

private:
    QString root() const { return env->dataDir() + "/profiles"; }
    QString dirOf(const QString& id) const { return root() + "/" + id + ".profile"; }
    QString ext() const { return env->root() + "/ext"; }
    // Adds the management-server profiles ids to those on disk, each with
    // a user named after it, saves them and loads the set into store.
    void lsProfiles(ConnProfiles& store, const QStringList& ids);
    // What the last "[Profiles] map: " line lists, as id@address.
    QStringList loggedSet() const;
    // The working set as id@address.
    QStringList actualSet(ConnProfiles& store) const;

    QScopedPointer<orvotest::TestEnv> env;
    QScopedPointer<orvotest::LogCapture> capture;
};

void TestProfileSetSave::init()
{
    env.reset(new orvotest::TestEnv);
    capture.reset(new orvotest::LogCapture);
}

void TestProfileSetSave::cleanup()
{
    capture.reset();
    env.reset();
}

void TestProfileSetSave::lsProfiles(ConnProfiles& store, const QStringList& ids)
{
    {
        ConnProfiles writer;
        writer.load();
        for (const QString& id : ids) {
            ConnProfile* p = writer.add(id);
            QVERIFY(p);
            p->setType(ConnProfile::LsType);
            p->getAuth().setUrl("https://ls.example.org");
            p->getAuth().setUser("user " + id);
            p->getAuth().setPass("pw");
        }
        QString failed;
        QCOMPARE(writer.save(failed), 0);
    }
    store.load();
    for (const QString& id : ids)
        QVERIFY(store.get(id));
}

QStringList TestProfileSetSave::loggedSet() const
{
    static const QRegularExpression entry(QStringLiteral("\\(\"([^\"]*)\", 0x([0-9a-f]+)\\)"));
    QString last;
    for (const QString& line : capture->lines()) {
        const int at = line.indexOf(QLatin1String("[Profiles] map: "));
        if (at >= 0)
            last = line.mid(at + 16);
    }
    if (!last.startsWith(QLatin1String("QMap(")) || !last.endsWith(QLatin1Char(')')))
        return {"malformed: " + last};
    QStringList found;
    auto it = entry.globalMatch(last);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        found << m.captured(1) + "@" + m.captured(2);
    }
    return found;
}

QStringList TestProfileSetSave::actualSet(ConnProfiles& store) const
{
    QStringList found;
    for (const QString& id : store.ids())
        found << id + "@" + QString::number(quintptr(store.get(id)), 16);
    return found;
}

void TestProfileSetSave::recordsFetchedInSaveOrder()
{
    ConnProfiles store;
    lsProfiles(store, {"A", "B", "C"});
    if (QTest::currentTestFailed())
        return;
    // Z reads its files from A.profile, which B, now A, replaces: Z first.
    QCOMPARE(store.rename("A", "Z"), 0);
    QCOMPARE(store.rename("B", "A"), 0);
    const QStringList expectedSet = actualSet(store);
    capture->clear();
    QString failed;
    QCOMPARE(store.save(failed), 0);

    static const QRegularExpression step(
        QStringLiteral("\\[Profiles\\] (map: |Retrieving id: \"([^\"]*)\"|Saving profile: "
                       "\"([^\"]*)\"|Unchanged profile: \"([^\"]*)\")"));
    QStringList steps;
    for (const QString& line : capture->lines()) {
        const QRegularExpressionMatch m = step.match(line);
        if (m.hasMatch())
            steps << (m.captured(1) == "map: " ? QStringLiteral("map") : m.captured(1));
    }
    QCOMPARE(steps, (QStringList{"map", "Retrieving id: \"Z\"", "Saving profile: \"Z\"", "map",
                                 "Retrieving id: \"A\"", "Saving profile: \"A\"", "map",
                                 "Retrieving id: \"C\"", "Unchanged profile: \"C\""}));
    QCOMPARE(loggedSet(), expectedSet);
    QCOMPARE(readFile(dirOf("Z") + "/config.json").contains("user A"), true);
    QCOMPARE(readFile(dirOf("A") + "/config.json").contains("user B"), true);
}

void TestProfileSetSave::loggedSetFollowsEdits_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("add") << QStringList{"add D", "add "};
    QTest::newRow("remove") << QStringList{"remove B", "remove A"};
    QTest::newRow("rename") << QStringList{"rename B E", "rename A B"};
    QTest::newRow("rollback") << QStringList{"rename B E", "remove A", "rollback"};
    QTest::newRow("save then rollback") << QStringList{"rename B E", "save", "rollback"};
    QTest::newRow("load") << QStringList{"remove B", "add F", "load"};
}

void TestProfileSetSave::loggedSetFollowsEdits()
{
    QFETCH(QStringList, steps);
    ConnProfiles store;
    lsProfiles(store, {"A", "B", "C"});
    if (QTest::currentTestFailed())
        return;
    store.get("A");
    for (const QString& step : steps) {
        const QStringList w = step.split(' ');
        if (w[0] == "add") {
            ConnProfile* p = store.add(w[1]);
            QVERIFY(p);
            p->setType(ConnProfile::LsType);
            p->getAuth().setUrl("https://ls.example.org");
            p->getAuth().setUser("u");
        } else if (w[0] == "remove") {
            QCOMPARE(store.remove(w[1]), 0);
        } else if (w[0] == "rename") {
            QCOMPARE(store.rename(w[1], w[2]), 0);
        } else if (w[0] == "rollback") {
            QCOMPARE(store.rollback(), 0);
        } else if (w[0] == "save") {
            QString failed;
            QCOMPARE(store.save(failed), 0);
        } else {
            QCOMPARE(store.load(), 0);
        }
        const QStringList expected = actualSet(store);
        capture->clear();
        store.get("C");
        QVERIFY2(loggedSet() == expected,
                 qPrintable("after " + step + ": " + loggedSet().join(',') + " instead of " +
                            expected.join(',')));
    }
}

void TestProfileSetSave::filesGoneBehindTheStore_data()
{
    QTest::addColumn<QStringList>("gone");
    QTest::addColumn<bool>("fifos");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("resolved");
    QTest::newRow("all there") << QStringList{} << false << QString() << "c.conf";
    QTest::newRow("first file gone") << QStringList{"c.conf"} << false << QString() << "d.conf";
    QTest::newRow("every file gone")
        << QStringList{"c.conf", "d.conf"} << false << "F" << QString();
    QTest::newRow("directory gone") << QStringList{""} << false << "F" << QString();
    QTest::newRow("FIFOs in their place")
        << QStringList{"c.conf", "d.conf"} << true << "F" << QString();
}

void TestProfileSetSave::filesGoneBehindTheStore()
{
    QFETCH(QStringList, gone);
    QFETCH(bool, fifos);
    QFETCH(QString, failing);
    QFETCH(QString, resolved);
    writeFile(ext() + "/c.conf", proftest::vpnText("c.example.org"));
    writeFile(ext() + "/d.conf", proftest::vpnText("d.example.org"));
    {
        ConnProfiles writer;
        writer.load();
        ConnProfile* f = writer.add("F");
        f->setConfigMode(ConnProfile::FilesConfigMode);
        QCOMPARE(f->setConfigFiles({ext() + "/c.conf", ext() + "/d.conf"}, QString(), true), 0);
        f->getAuth().setUser("f");
        f->getAuth().setPass("pw");
        QString failed;
        QCOMPARE(writer.save(failed), 0);
    }
    ConnProfiles store;
    lsProfiles(store, {"A", "R", "Z"});
    QCOMPARE(store.ids(), (QStringList{"A", "F", "R", "Z"}));
    writeFile(dirOf("F") + "/marker", "kept");
    for (const QString& name : gone) {
        const QString path = dirOf("F") + (name.isEmpty() ? QString() : "/" + name);
        QCOMPARE(libvelcor::utils::rmRec(path), 0);
        if (fifos)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    const QByteArray zBefore = readFile(dirOf("Z") + "/config.json");
    store.get("Z")->getAuth().setUser("changed");
    QCOMPARE(store.remove("R"), 0);

    QString failed;
    QCOMPARE(store.save(failed), failing.isEmpty() ? 0 : -1);
    QCOMPARE(failed, failing);
    if (failing.isEmpty()) {
        // Unchanged: not written, only its file looked up again.
        QCOMPARE(readFile(dirOf("F") + "/marker"), QByteArray("kept"));
        QCOMPARE(store.get("F")->getConfPath(), dirOf("F") + "/" + resolved);
        QVERIFY(!QFileInfo::exists(dirOf("R")));
    } else {
        // Stopped there: what comes after is neither written nor deleted.
        QCOMPARE(readFile(dirOf("Z") + "/config.json"), zBefore);
        QVERIFY(QFileInfo::exists(dirOf("R") + "/config.json"));
    }
}

ORVO_TEST_MAIN(TestProfileSetSave)
#include "tst_profilesetsave.moc"
