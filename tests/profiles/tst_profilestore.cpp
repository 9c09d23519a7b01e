// The profile store: editing, loading, saving the set, deleting and rolling
// back, with the sequences that used to lose or mix up profiles' files.

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include "logcapture.h"
#include "profilefixture.h"
#include "profiles/connprofiles.h"
#include "smalldisk.h"
#include "testmain.h"

using ORVO::ConnProfile;
using ORVO::ConnProfiles;
using orvotest::readFile;
using orvotest::writeFile;

class TestProfileStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void editing();
    void foreignNames();
    void listing();
    void documents_data();
    void documents();
    void roundTrip_data();
    void roundTrip();
    void wordsReadBackDifferently();
    void unchangedIsNotWritten();
    void renameSaveRollbackSave();
    void failedSaveThenRollback();
    void failedDeletionThenRollback();
    void fullDiskKeepsProfile();
    void editScripts_data();
    void editScripts();
    void chosenFileSurvivesFailedSave();
    void renamedProfileFailsBeforeNewOwner();
    void symlinkedProfile();
    void recovery_data();
    void recovery();
    void cycleFails_data();
    void cycleFails();
    void cycleRecovery_data();
    void cycleRecovery();

private:
    QString root() const { return env->dataDir() + "/profiles"; }
    QString dirOf(const QString& id) const { return root() + "/" + id + ".profile"; }
    // An external CA file whose content names the tag.
    QString chosenCa(const QString& tag);
    ConnProfile* addLs(ConnProfiles& store, const QString& id, const QString& tag);
    // Saves A, B and C, each with its own CA, and loads them into store.
    void threeProfiles(ConnProfiles& store);
    // Empty when the working set equals what a fresh load finds on disk.
    QString differsFromDisk(ConnProfiles& store);
    // Every entry under the profiles root with the bytes of each file.
    QMap<QString, QByteArray> tree() const;
    // Empty when the profiles on disk are exactly the given id=tag pairs,
    // each with its own CA file and user.
    QString holds(const QStringList& expected);

    QScopedPointer<orvotest::TestEnv> env;
    QScopedPointer<orvotest::LogCapture> capture;
};

void TestProfileStore::init()
{
    env.reset(new orvotest::TestEnv);
    capture.reset(new orvotest::LogCapture);
}

void TestProfileStore::cleanup()
{
    capture.reset();
    env.reset();
}

QString TestProfileStore::chosenCa(const QString& tag)
{
    const QString path = env->root() + "/ext/" + tag + "/ca.pem";
    writeFile(path, proftest::pemText(tag));
    return path;
}

ConnProfile* TestProfileStore::addLs(ConnProfiles& store, const QString& id, const QString& tag)
{
    ConnProfile* p = store.add(id);
    if (!p)
        return nullptr;
    p->setType(ConnProfile::LsType);
    p->getAuth().setUrl("https://ls.example.org");
    p->getAuth().setUser("user " + tag);
    p->getAuth().setPass("pw");
    p->setCaVerify(true);
    p->setCaPath(chosenCa(tag));
    return p;
}

void TestProfileStore::threeProfiles(ConnProfiles& store)
{
    {
        ConnProfiles writer;
        writer.load();
        for (const QString id : {"A", "B", "C"})
            addLs(writer, id, id.toLower());
        QString failed;
        QCOMPARE(writer.save(failed), 0);
    }
    store.load();
    QCOMPARE(store.ids(), (QStringList{"A", "B", "C"}));
}

QString TestProfileStore::differsFromDisk(ConnProfiles& store)
{
    ConnProfiles disk;
    disk.load();
    if (disk.ids() != store.ids())
        return "ids: " + store.ids().join(',') + " on disk: " + disk.ids().join(',');
    for (const QString& id : store.ids()) {
        if (!(*store.get(id) == *disk.get(id)))
            return "profile " + id;
    }
    return QString();
}

QMap<QString, QByteArray> TestProfileStore::tree() const
{
    QMap<QString, QByteArray> found;
    QDirIterator it(root(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        found.insert(path.mid(root().size() + 1),
                     it.fileInfo().isDir() ? QByteArray("<dir>") : readFile(path));
    }
    return found;
}

QString TestProfileStore::holds(const QStringList& expected)
{
    ConnProfiles disk;
    disk.load();
    QStringList found;
    for (const QString& id : disk.ids()) {
        const QString tag = disk.get(id)->getAuth().getUser().section(' ', 1);
        if (readFile(dirOf(id) + "/ca.pem") != proftest::pemText(tag))
            return id + ": ca.pem is not " + tag + "'s";
        found << id + "=" + tag;
    }
    if (found != expected)
        return "found " + found.join(',');
    QStringList dirs;
    for (const QString& entry : expected)
        dirs << entry.section('=', 0, 0) + ".profile";
    if (QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden) != dirs)
        return "entries " +
               QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(',');
    return QString();
}

void TestProfileStore::editing()
{
    ConnProfiles store;
    QCOMPARE(store.load(), 0);
    QCOMPARE(store.size(), 0);
    QVERIFY(!store.get("x"));

    ConnProfile* first = store.add("");
    QVERIFY(first);
    QCOMPARE(first->getId(), QStringLiteral("_new profile 1"));
    QCOMPARE(store.add("")->getId(), QStringLiteral("_new profile 2"));
    QCOMPARE(store.remove("_new profile 2"), 0);
    QCOMPARE(store.add("")->getId(), QStringLiteral("_new profile 2"));
    for (const QString id : {"beta", "Alpha", "10", "   ", "alpha"})
        QVERIFY2(store.add(id), qPrintable(id));
    for (const QString id : {"a+b", "a.b", "", "beta"}) {
        if (!id.isEmpty())
            QVERIFY2(!store.add(id), qPrintable(id));
    }
    QCOMPARE(store.ids(), (QStringList{"   ", "10", "Alpha", "_new profile 1", "_new profile 2",
                                       "alpha", "beta"}));
    QVERIFY(!store.get("a+b"));
    QVERIFY(!store.get("ALPHA"));

    // Renames keep the record and the id it had on disk.
    ConnProfile* beta = store.get("beta");
    QCOMPARE(store.rename("beta", "beta"), -1);
    QCOMPARE(store.rename("beta", "Alpha"), -1);
    QCOMPARE(store.rename("missing", "free"), -1);
    QCOMPARE(store.rename("beta", "be/ta"), -1);
    QCOMPARE(store.rename("beta", "B"), 0);
    QCOMPARE(store.rename("B", "C"), 0);
    QCOMPARE(store.get("C"), beta);
    QVERIFY(!store.get("beta"));
    QCOMPARE(beta->getOrigId(), QStringLiteral("beta"));
    QCOMPARE(store.rename("C", "beta"), 0);
    QCOMPARE(beta->getOrigId(), QStringLiteral("beta"));

    QCOMPARE(store.remove("10"), 0);
    QCOMPARE(store.remove("10"), -1);
    QCOMPARE(store.rollback(), 0);
    QVERIFY(store.get("10"));
    QVERIFY(store.get("beta")->getOrigId().isEmpty());
}

void TestProfileStore::foreignNames()
{
    // Directories the store could not read are not its to reuse.
    QDir().mkpath(dirOf("_new profile 1"));
    QDir().mkpath(dirOf("taken"));
    writeFile(root() + "/file.profile", "not a directory");
    ConnProfiles store;
    store.load();
    QCOMPARE(store.size(), 0);
    QCOMPARE(store.add("")->getId(), QStringLiteral("_new profile 2"));
    QVERIFY(!store.add("taken"));
    QVERIFY(!store.add("file"));
    QVERIFY(addLs(store, "mine", "m"));
    QCOMPARE(store.rename("mine", "taken"), -1);
    QCOMPARE(store.rename("mine", "file"), -1);
}

void TestProfileStore::listing()
{
    for (const QString name : {"work.profile", "a.b.profile", "Work.PROFILE", ".h.profile",
                               "my+vpn.profile", "x.profile.tmp", "x.profile.old"})
        QVERIFY(proftest::writeLsDir(root() + "/" + name));
    writeFile(root() + "/f.profile", "a file");
    // A manual VPN profile reads openvpn.conf from <id>.profile only:
    // work.vpn cannot load once work.profile is gone; v.vpn can, as v.profile
    // (no config.json) stays.
    const QByteArray vpn = R"({"type":"vpn","vpn":{"conf":"openvpn.conf"},)"
                           R"("auth":{"manual":true,"remember":false,"user":"u"}})";
    for (const QString id : {"work", "v"}) {
        writeFile(root() + "/" + id + ".profile/openvpn.conf", proftest::vpnText());
        writeFile(root() + "/" + id + ".vpn.profile/config.json", vpn);
    }
    QVERIFY(proftest::writeLsDir(root() + "/v.a.profile"));
    // A copy that holds a copy: it loads all the same.
    QVERIFY(proftest::writeLsDir(root() + "/work.c.profile"));
    QDir().mkpath(root() + "/work.c.profile/work.profile");

    ConnProfiles store;
    store.load();
    // x.profile.old had no x.profile beside it: it is the profile, put back.
    QCOMPARE(store.ids(), (QStringList{"a", "v", "work", "x"}));
    QVERIFY(!QFileInfo::exists(root() + "/x.profile.tmp"));

    // a, read from a.b.profile, is saved to a.profile: that is what loads.
    store.get("a")->getAuth().setUser("edited");
    QString failed;
    QCOMPARE(store.save(failed), 0);
    QCOMPARE(store.load(), 0);
    QCOMPARE(store.get("a")->getAuth().getUser(), QStringLiteral("edited"));

    // Removing everything deletes only directories that would load as one.
    for (const QString& id : store.ids())
        store.remove(id);
    // With no place to judge the other directories in, the save says so.
    const QByteArray tmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/proc");
    QCOMPARE(store.save(failed), -1);
    tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
    QCOMPARE(store.save(failed), 0);
    const QStringList left =
        QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    QCOMPARE(left, (QStringList{".h.profile", "Work.PROFILE", "f.profile", "my+vpn.profile",
                                "v.profile", "work.vpn.profile"}));
}

void TestProfileStore::documents_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("loads");
    const QByteArray user = R"("auth":{"manual":true,"remember":false,"user":"u"})";
    auto ls = [&](const QByteArray& more) -> QByteArray {
        return R"({"type":"ls","url":"https://h",)" + more + "}";
    };
    QTest::newRow("ls") << ls(user) << true;
    QTest::newRow("broken json") << QByteArray(R"({"type":"ls",)") << false;
    QTest::newRow("array") << QByteArray("[1]") << false;
    QTest::newRow("type in capitals") << QByteArray(R"({"type":"LS",)" + user + "}") << false;
    QTest::newRow("no auth") << ls(R"("x":1)") << false;
    QTest::newRow("credential not stored") << ls(R"("auth":{"manual":false})") << true;
    QTest::newRow("empty auth") << ls(R"("auth":{})") << false;
    QTest::newRow("X509 in capitals")
        << ls(R"("auth":{"remember":false,"type":"X509","path":"p.p12"})") << false;
    QTest::newRow("x509") << ls(R"("auth":{"remember":false,"type":"x509","path":"p.p12"})")
                          << true;
    QTest::newRow("pkcs12 path leads out")
        << ls(R"("auth":{"remember":false,"type":"pkcs12","path":"../p.p12"})") << false;
    QTest::newRow("ca path leads out")
        << ls(user + R"(,"ca":{"verify":true,"path":"sub/ca.pem"})") << false;
    QTest::newRow("ca verify without path") << ls(user + R"(,"ca":{"verify":true})") << false;
    QTest::newRow("ca verify off ignores path")
        << ls(user + R"(,"ca":{"verify":false,"path":"../x"})") << true;
    QTest::newRow("files on ls") << ls(user + R"(,"mode":"files","files":["a"])") << true;
    QTest::newRow("files leading out")
        << ls(user + R"(,"mode":"files","files":["../a.conf"])") << false;
    QTest::newRow("unknown mode") << ls(user + R"(,"mode":"auto")") << false;
    QTest::newRow("vpn files") << QByteArray(R"({"type":"vpn","mode":"files","files":["c.conf"],)" +
                                             user + "}")
                               << true;
    QTest::newRow("vpn files only a certificate")
        << QByteArray(R"({"type":"vpn","mode":"files","files":["ca.pem"],)" + user + "}") << false;
    QTest::newRow("vpn manual") << QByteArray(R"({"type":"vpn","vpn":{"conf":"openvpn.conf"},)" +
                                              user + "}")
                                << true;
    QTest::newRow("vpn manual without vpn")
        << QByteArray(R"({"type":"vpn",)" + user + "}") << false;
    QTest::newRow("vpn conf leads out")
        << QByteArray(R"({"type":"vpn","vpn":{"conf":"../c.conf"},)" + user + "}") << false;
    QTest::newRow("vpn conf is the directory")
        << QByteArray(R"({"type":"vpn","vpn":{"conf":"."},)" + user + "}") << false;
}

void TestProfileStore::documents()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, loads);
    writeFile(dirOf("p") + "/config.json", json);
    writeFile(dirOf("p") + "/c.conf", proftest::vpnText());
    writeFile(dirOf("p") + "/openvpn.conf", proftest::vpnText());
    writeFile(dirOf("p") + "/ca.pem", proftest::pemText("ca"));
    writeFile(root() + "/c.conf", proftest::vpnText());
    writeFile(root() + "/a.conf", proftest::vpnText());
    ConnProfiles store;
    store.load();
    QCOMPARE(store.get("p") != nullptr, loads);
    // Saving, even without edits, never deletes a directory load refused.
    QString failed;
    QCOMPARE(store.save(failed), 0);
    QCOMPARE(readFile(dirOf("p") + "/config.json"), json);
}

void TestProfileStore::roundTrip_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("ls user-pass non-ASCII user") << "ls";
    QTest::newRow("ls pkcs12 with CA") << "ls-p12";
    QTest::newRow("vpn manual with CA") << "vpn";
    QTest::newRow("vpn manual pkcs12") << "vpn-p12";
    QTest::newRow("vpn files") << "files";
}

void TestProfileStore::roundTrip()
{
    QFETCH(QString, kind);
    const QString ext = env->root() + "/ext/";
    writeFile(ext + "c.conf", proftest::vpnText("files.example.org"));
    writeFile(ext + "p.p12", proftest::p12Bytes("p"));
    ConnProfiles store;
    store.load();
    ConnProfile* p = store.add("Round trip");
    libvelcor::Auth& auth = p->getAuth();
    if (!kind.endsWith("p12"))
        auth.setUser("J\u00f6rg \u03a9 \u4e2d\u6587");
    auth.setPass("s\u00e9cret");
    if (kind.startsWith("ls")) {
        p->setType(ConnProfile::LsType);
        auth.setUrl("https://ls.example.org:8443/x");
        p->setCaVerify(true);
        p->setCaPath(chosenCa("ls"));
    } else if (kind == "files") {
        p->setConfigMode(ConnProfile::FilesConfigMode);
        QCOMPARE(p->setConfigFiles({ext + "c.conf", chosenCa("f")}, QString(), true), 0);
        p->setPullRoutes(false);
    } else {
        p->getVpnConfig().setRemote("vpn.example.org");
        p->setCaPath(chosenCa("vpn"));
        p->setPullRoutes(false);
    }
    if (kind.endsWith("p12")) {
        auth.setType(libvelcor::Auth::CertificateType);
        auth.setPath(ext + "p.p12");
    }
    QString failed;
    QCOMPARE(store.save(failed), 0);

    ConnProfiles disk;
    disk.load();
    ConnProfile* q = disk.get("Round trip");
    QVERIFY(q);
    QCOMPARE(q->getType(), p->getType());
    QCOMPARE(q->getConfigMode(), p->getConfigMode());
    QVERIFY(q->getAuth() == p->getAuth());
    QCOMPARE(q->getCaPath(), p->getCaPath());
    QCOMPARE(q->getConfPath(), p->getConfPath());
    QCOMPARE(q->getConfigFiles(), p->getConfigFiles());
    // Only a manual OpenVPN profile stores the flag.
    QCOMPARE(q->getPullRoutes(), kind != "vpn" && kind != "vpn-p12");
    QVERIFY(q->getVpnConfig() == p->getVpnConfig());
    if (kind.startsWith("ls"))
        QVERIFY(*q == *p);
    if (kind == "vpn-p12") // a certificate credential brings no OpenVPN CA file
        QCOMPARE(q->getCaPath(), chosenCa("vpn"));
    // What the store loaded is unchanged, and saving it again writes nothing.
    capture->clear();
    QCOMPARE(disk.save(failed), 0);
    QCOMPARE(capture->count(QRegularExpression("Unchanged profile")), 1);
}

void TestProfileStore::wordsReadBackDifferently()
{
    // "x509" is read as a certificate and written back as "pkcs12"; owner
    // and connection mode are written but never read.
    writeFile(dirOf("p") + "/config.json",
              R"({"type":"ls","url":"https://h","auth":{"remember":false,"type":"x509",)"
              R"("path":"p.p12"}})");
    ConnProfiles store;
    store.load();
    ConnProfile* p = store.get("p");
    QVERIFY(p);
    QCOMPARE(p->getAuth().getType(), libvelcor::Auth::CertificateType);
    QCOMPARE(p->setOwner(ConnProfile::AllOwner), 0);
    QCOMPARE(p->setConnMode(ConnProfile::StartupConnMode), 0);
    QString failed;
    QCOMPARE(store.save(failed), 0);
    const QVariantMap doc = proftest::readJson(dirOf("p") + "/config.json");
    QCOMPARE(doc.value("auth").toMap().value("type").toString(), QStringLiteral("pkcs12"));
    QCOMPARE(doc.value("owner").toString(), QStringLiteral("all"));
    QCOMPARE(doc.value("conn_mode").toString(), QStringLiteral("startup"));
    store.load();
    QCOMPARE(store.get("p")->getOwner(), ConnProfile::UserOwner);
    QCOMPARE(store.get("p")->getConnMode(), ConnProfile::ManualConnMode);
}

void TestProfileStore::unchangedIsNotWritten()
{
    ConnProfiles store;
    threeProfiles(store);
    writeFile(dirOf("B") + "/marker", "kept");
    store.get("A")->getAuth().setUser("changed");
    QString failed;
    QCOMPARE(store.save(failed), 0);
    QCOMPARE(readFile(dirOf("B") + "/marker"), QByteArray("kept"));
    QCOMPARE(differsFromDisk(store), QString());
}

void TestProfileStore::renameSaveRollbackSave()
{
    ConnProfiles store;
    threeProfiles(store);
    QCOMPARE(store.rename("A", "D"), 0);
    QString failed;
    QCOMPARE(store.save(failed), 0);
    QVERIFY(store.get("D")->getOrigId().isEmpty());
    QCOMPARE(store.rollback(), 0);
    QCOMPARE(store.ids(), (QStringList{"B", "C", "D"}));
    QCOMPARE(store.save(failed), 0);
    QCOMPARE(differsFromDisk(store), QString());
    QCOMPARE(readFile(dirOf("D") + "/ca.pem"), proftest::pemText("a"));
    QVERIFY(!QFileInfo::exists(dirOf("A")));
}

void TestProfileStore::failedSaveThenRollback()
{
    ConnProfiles store;
    threeProfiles(store);
    store.get("A")->getAuth().setUser("new A");
    store.get("B")->getAuth().setUser(""); // refused by its save
    store.get("C")->getAuth().setUser("new C");
    QCOMPARE(store.rename("C", "E"), 0);
    QString failed;
    QCOMPARE(store.save(failed), -1);
    QCOMPARE(failed, QStringLiteral("B"));
    QCOMPARE(store.rollback(), 0);
    QCOMPARE(store.get("A")->getAuth().getUser(), QStringLiteral("new A"));
    QCOMPARE(differsFromDisk(store), QString());
}

void TestProfileStore::fullDiskKeepsProfile()
{
    orvotest::SmallDisk disk(root());
    if (!disk.isMounted())
        QSKIP(qPrintable(disk.whyNot()));
    ConnProfiles store;
    threeProfiles(store);
    QVERIFY(disk.fill());
    const QMap<QString, QByteArray> before = tree();
    store.get("B")->getAuth().setUser("user b " + QString(2 * disk.BlockSize, 'x'));
    QString failed;
    QCOMPARE(store.save(failed), -1);
    QCOMPARE(failed, QStringLiteral("B"));
    QVERIFY2(store.writeError().startsWith("no space left on device ("),
             qPrintable(store.writeError()));
    QCOMPARE(tree(), before);
}

void TestProfileStore::failedDeletionThenRollback()
{
    // A name so long that its ".del" sibling cannot exist: the deletion's
    // rename fails on any file system, for root too.
    const QString longId = QString(244, QLatin1Char('L'));
    ConnProfiles store;
    threeProfiles(store);
    QVERIFY(proftest::writeLsDir(dirOf(longId)));
    store.load();
    QVERIFY(store.get(longId));
    QCOMPARE(store.remove("A"), 0);
    QCOMPARE(store.remove(longId), 0);
    QString failed;
    QCOMPARE(store.save(failed), -1);
    QVERIFY(failed.isEmpty());
    QCOMPARE(store.rollback(), 0);
    QCOMPARE(differsFromDisk(store), QString());
    QCOMPARE(store.ids(), (QStringList{"B", "C", longId}));

    // An older copy of B beside it that cannot go: B's own directory stays.
    QVERIFY(proftest::writeLsDir(root() + "/B." + QString(244, 'z') + ".profile", "old"));
    store.load();
    QCOMPARE(store.remove("B"), 0);
    QCOMPARE(store.save(failed), -1);
    ConnProfiles disk;
    disk.load();
    QCOMPARE(disk.get("B")->getAuth().getUser(), QStringLiteral("user b"));

    // Without a B.profile of its own, B loads from B.a.profile: that goes last.
    QVERIFY(QDir(dirOf("B")).removeRecursively());
    QVERIFY(proftest::writeLsDir(root() + "/B.a.profile", "new"));
    store.load();
    QCOMPARE(store.remove("B"), 0);
    QCOMPARE(store.save(failed), -1);
    disk.load();
    QCOMPARE(disk.get("B")->getAuth().getUser(), QStringLiteral("new"));
}

void TestProfileStore::editScripts_data()
{
    // Steps on the saved set A, B, C (CAs a, b, c): "rm X", "mv X Y",
    // "add X tag", "ca X tag" (choose a new ca.pem), "user X tag". Then the set is saved
    // and each surviving profile must hold exactly its own CA file.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected"); // id=tag
    QTest::newRow("remove A, rename B to A")
        << QStringList{"rm A", "mv B A"} << QStringList{"A=b", "C=c"};
    QTest::newRow("swap A and B") << QStringList{"mv A X", "mv B A", "mv X B"}
                                  << QStringList{"A=b", "B=a", "C=c"};
    QTest::newRow("rename A, new A")
        << QStringList{"mv A D", "add A n"} << QStringList{"A=n", "B=b", "C=c", "D=a"};
    QTest::newRow("rename A to a later id, new A")
        << QStringList{"mv A Z", "add A n"} << QStringList{"A=n", "B=b", "C=c", "Z=a"};
    QTest::newRow("rename with a new file of the old name")
        << QStringList{"mv A D", "ca D fresh"} << QStringList{"B=b", "C=c", "D=fresh"};
    QTest::newRow("rotate three") << QStringList{"mv A X", "mv C A", "mv B C", "mv X B"}
                                  << QStringList{"A=c", "B=a", "C=b"};
    QTest::newRow("remove A, rename its twin B to A")
        << QStringList{"rm A", "user B a", "mv B A"} << QStringList{"A=b", "C=c"};
    QTest::newRow("remove B, rename A to B, new A")
        << QStringList{"rm B", "mv A B", "add A n"} << QStringList{"A=n", "B=a", "C=c"};
}

void TestProfileStore::editScripts()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    ConnProfiles store;
    threeProfiles(store);
    for (const QString& step : steps) {
        const QStringList w = step.split(' ');
        if (w[0] == "rm")
            QCOMPARE(store.remove(w[1]), 0);
        else if (w[0] == "mv")
            QCOMPARE(store.rename(w[1], w[2]), 0);
        else if (w[0] == "add")
            QVERIFY(addLs(store, w[1], w[2]));
        else if (w[0] == "ca")
            store.get(w[1])->setCaPath(chosenCa(w[2]));
        else if (w[0] == "user") // same user as profile w[2]: the records compare equal
            store.get(w[1])->getAuth().setUser("user " + w[2]);
    }
    QString failed;
    QCOMPARE(store.save(failed), 0);

    auto check = [&]() {
        ConnProfiles disk;
        disk.load();
        QStringList found;
        for (const QString& id : disk.ids()) {
            const QByteArray ca = readFile(dirOf(id) + "/ca.pem");
            for (const QString tag : {"a", "b", "c", "n", "fresh"}) {
                if (ca == proftest::pemText(tag))
                    found << id + "=" + tag;
            }
        }
        QCOMPARE(found, expected);
        QCOMPARE(disk.ids().size(), expected.size());
        QCOMPARE(QDir(root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), expected.size());
    };
    check();
    QCOMPARE(differsFromDisk(store), QString());
    // Cancelling a later pass and saving once more changes nothing.
    QCOMPARE(store.rollback(), 0);
    QCOMPARE(store.save(failed), 0);
    check();
}

void TestProfileStore::chosenFileSurvivesFailedSave()
{
    ConnProfiles store;
    threeProfiles(store);
    ConnProfile* b = store.get("B");
    b->setCaPath(chosenCa("chosen"));
    b->getAuth().setUser("");
    QString failed;
    QCOMPARE(store.save(failed), -1);
    QCOMPARE(failed, QStringLiteral("B"));
    b->getAuth().setUser("fixed");
    QCOMPARE(store.save(failed), 0);
    QCOMPARE(readFile(dirOf("B") + "/ca.pem"), proftest::pemText("chosen"));
}

void TestProfileStore::renamedProfileFailsBeforeNewOwner()
{
    // D still takes its files from A.profile, which the new A replaces: a
    // failure of D must leave those files where a corrected save finds them.
    ConnProfiles store;
    threeProfiles(store);
    QCOMPARE(store.rename("A", "D"), 0);
    store.get("D")->getAuth().setUser("");
    QVERIFY(addLs(store, "A", "n"));
    QString failed;
    QCOMPARE(store.save(failed), -1);
    QCOMPARE(failed, QStringLiteral("D"));
    store.get("D")->getAuth().setUser("fixed");
    QCOMPARE(store.save(failed), 0);
    QCOMPARE(readFile(dirOf("D") + "/ca.pem"), proftest::pemText("a"));
    QCOMPARE(readFile(dirOf("A") + "/ca.pem"), proftest::pemText("n"));
}

void TestProfileStore::symlinkedProfile()
{
    const QString target = env->root() + "/elsewhere";
    QVERIFY(proftest::writeLsDir(target));
    writeFile(target + "/precious", "keep me");
    QDir().mkpath(root());
    QVERIFY(QFile::link(target, dirOf("x")));
    ConnProfiles store;
    store.load();
    QVERIFY(store.get("x"));
    QCOMPARE(store.remove("x"), 0);
    QString failed;
    QCOMPARE(store.save(failed), 0);
    QVERIFY(!QFileInfo(dirOf("x")).isSymLink());
    QVERIFY(!QFileInfo::exists(dirOf("x")));
    QCOMPARE(readFile(target + "/precious"), QByteArray("keep me"));
}

void TestProfileStore::recovery_data()
{
    // What an interrupted save or deletion leaves of profile A (CA "a"),
    // given as the names of the entries beside it, "A" standing for a
    // complete copy of its directory and "junk" for a half-built one.
    QTest::addColumn<QStringList>("entries"); // name=content
    QTest::addColumn<QByteArray>("caTag");    // what A must hold; empty: A is gone
    QTest::newRow("backup only") << QStringList{"A.profile.old=A"} << QByteArray("a");
    QTest::newRow("backup and temporary")
        << QStringList{"A.profile.old=A", "A.profile.tmp=junk"} << QByteArray("a");
    QTest::newRow("new directory and backup")
        << QStringList{"A.profile=new", "A.profile.old=A"} << QByteArray("new");
    QTest::newRow("temporary beside the directory")
        << QStringList{"A.profile=A", "A.profile.tmp=junk"} << QByteArray("a");
    QTest::newRow("deletion under way") << QStringList{"A.profile.del=A"} << QByteArray();
}

void TestProfileStore::recovery()
{
    QFETCH(QStringList, entries);
    QFETCH(QByteArray, caTag);
    {
        ConnProfiles writer;
        writer.load();
        addLs(writer, "A", "a");
        addLs(writer, "new", "new");
        QString failed;
        QCOMPARE(writer.save(failed), 0);
    }
    const QString complete = env->root() + "/A-copy";
    QVERIFY(QDir().rename(dirOf("A"), complete));
    const QString fresh = env->root() + "/new-copy";
    QVERIFY(QDir().rename(dirOf("new"), fresh));
    for (const QString& entry : entries) {
        const QString name = entry.section('=', 0, 0);
        const QString content = entry.section('=', 1);
        const QString path = root() + "/" + name;
        if (content == "A")
            QVERIFY(QDir().rename(complete, path));
        else if (content == "new")
            QVERIFY(QDir().rename(fresh, path));
        else
            writeFile(path + "/ca.pem", "junk");
    }
    ConnProfiles store;
    store.load();
    QCOMPARE(QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             caTag.isEmpty() ? QStringList() : QStringList{"A.profile"});
    if (caTag.isEmpty())
        return;
    QVERIFY(store.get("A"));
    QCOMPARE(readFile(dirOf("A") + "/ca.pem"), proftest::pemText(caTag));
    store.get("A")->getAuth().setUser("saved again");
    QString failed;
    QCOMPARE(store.save(failed), 0);
}

void TestProfileStore::cycleFails_data()
{
    // A cycle of renames on the saved set A, B, C (CAs a, b, c) in which one
    // record's save fails: after the first profile of the cycle is written,
    // the last one's files lie only in that profile's backup.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("how");          // "user": refused; "blocked": a file in the way
    QTest::addColumn<bool>("retry");           // corrected and saved again, instead of rolled back
    QTest::addColumn<QStringList>("expected"); // after a save without the failure
    const QStringList swap{"mv A X", "mv B A", "mv X B"};
    const QStringList swapped{"A=b", "B=a", "C=c"};
    const QStringList rotate{"mv A X", "mv C A", "mv B C", "mv X B"};
    const QStringList rotated{"A=c", "B=a", "C=b"};
    // The cycle is written from the profile whose directory its reader,
    // the last one, takes: B then A for the swap, C, B, A for the rotation.
    QTest::newRow("swap, first fails") << swap << "B"
                                       << "blocked" << false << swapped;
    QTest::newRow("swap, second fails") << swap << "A"
                                        << "user" << false << swapped;
    QTest::newRow("swap, second blocked") << swap << "A"
                                          << "blocked" << false << swapped;
    QTest::newRow("swap, second fails, retried") << swap << "A"
                                                 << "user" << true << swapped;
    QTest::newRow("rotation, second fails") << rotate << "B"
                                            << "blocked" << false << rotated;
    QTest::newRow("rotation, third fails") << rotate << "A"
                                           << "user" << false << rotated;
    QTest::newRow("rotation, third blocked, retried") << rotate << "A"
                                                      << "blocked" << true << rotated;
    // A profile outside the cycle, written before it, stays written.
    QTest::newRow("swap after a new profile")
        << (QStringList(swap) << "add 0N n") << "A"
        << "user" << false << QStringList{"0N=n", "A=b", "B=a", "C=c"};
}

void TestProfileStore::cycleFails()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, failing);
    QFETCH(QString, how);
    QFETCH(bool, retry);
    QFETCH(QStringList, expected);
    ConnProfiles store;
    threeProfiles(store);
    const QMap<QString, QByteArray> before = tree();
    auto edit = [&]() {
        for (const QString& step : steps) {
            const QStringList w = step.split(' ');
            if (w[0] == "add")
                QVERIFY(addLs(store, w[1], w[2]));
            else
                QCOMPARE(store.rename(w[1], w[2]), 0);
        }
    };
    edit();
    ConnProfile* p = store.get(failing);
    const QString user = p->getAuth().getUser();
    const QString ca = p->getCaPath();
    if (how == "user") {
        p->getAuth().setUser("");
    } else {
        writeFile(env->root() + "/ext/blocked", "in the way");
        p->setCaPath(env->root() + "/ext/blocked/ca.pem");
    }
    QString failed;
    QCOMPARE(store.save(failed), -1);
    QCOMPARE(failed, failing);
    // The cycle is undone whole: every directory as before, byte for byte,
    // and nothing beside them but the new profile written before the cycle.
    const bool added = steps.contains("add 0N n");
    QMap<QString, QByteArray> after = tree();
    if (added) {
        QCOMPARE(after.take("0N.profile/ca.pem"), proftest::pemText("n"));
        QVERIFY(after.take("0N.profile/config.json").contains("user n"));
        QCOMPARE(after.take("0N.profile"), QByteArray("<dir>"));
    }
    QCOMPARE(after, before);

    if (retry) {
        p->getAuth().setUser(user);
        p->setCaPath(ca);
    } else {
        QCOMPARE(store.rollback(), 0);
        QCOMPARE(differsFromDisk(store), QString());
        QCOMPARE(holds(added ? QStringList{"0N=n", "A=a", "B=b", "C=c"}
                             : QStringList{"A=a", "B=b", "C=c"}),
                 QString());
        for (const QString& id : store.ids())
            QCOMPARE(store.get(id)->getAuth().getUser(),
                     QStringLiteral("user ") + (id == "0N" ? "n" : id.toLower()));
        // The same edits once more, and nothing in the way.
        steps.removeAll("add 0N n");
        edit();
    }
    QCOMPARE(store.save(failed), 0);
    QCOMPARE(holds(expected), QString());
    QCOMPARE(differsFromDisk(store), QString());
    QCOMPARE(store.rollback(), 0);
    QCOMPARE(differsFromDisk(store), QString());
}

void TestProfileStore::cycleRecovery_data()
{
    // What a save of the swap of A and B leaves when killed after B took A's
    // files: B.profile new, its backup beside it, A.profile not yet written.
    QTest::addColumn<QString>("journal"); // empty: none; "partial": one never put in place
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("cycle under way") << "A\nB\n#end 2\n" << QStringList{"A=a", "B=b", "C=c"};
    // Its name on the disk, not all its bytes: still uncommitted, so every
    // backup beside it goes back.
    QTest::newRow("journal cut short") << "A\nB\n" << QStringList{"A=a", "B=b", "C=c"};
    // A whole journal puts back only the profiles it names.
    QTest::newRow("journal without B") << "A\n#end 1\n" << QStringList{"A=a", "B=a", "C=c"};
    // Without the journal the save was past the cycle: the backup is a leftover.
    QTest::newRow("cycle committed") << "" << QStringList{"A=a", "B=a", "C=c"};
    QTest::newRow("journal not in place") << "partial" << QStringList{"A=a", "B=a", "C=c"};
}

void TestProfileStore::cycleRecovery()
{
    QFETCH(QString, journal);
    QFETCH(QStringList, expected);
    {
        ConnProfiles store;
        threeProfiles(store);
    }
    QVERIFY(QDir().rename(dirOf("B"), dirOf("B") + ".old"));
    QVERIFY(QDir().mkpath(dirOf("B")));
    for (const QString name : {"ca.pem", "config.json"})
        QVERIFY(QFile::copy(dirOf("A") + "/" + name, dirOf("B") + "/" + name));
    if (journal == "partial")
        writeFile(root() + "/rename-cycle.journal.tmp", "A\n");
    else if (!journal.isEmpty())
        writeFile(root() + "/rename-cycle.journal", journal.toUtf8());
    QCOMPARE(holds(expected), QString());
}

ORVO_TEST_MAIN(TestProfileStore)
#include "tst_profilestore.moc"
