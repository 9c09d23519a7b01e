// The record's save: config.json, the transaction, the import of chosen
// files and the carry of a renamed profile's files.

#include <QDir>
#include <QTemporaryDir>

#include <libvelcor/utils.h>

#include <cerrno>

#include "common/simplecrypt.h"
#include "common/utils.h"
#include "logcapture.h"
#include "profilefixture.h"
#include "profiles/connprofile.h"
#include "testmain.h"

using ORVO::ConnProfile;
using orvotest::readFile;
using orvotest::writeFile;

namespace {

enum Kind { LsUserPass, VpnManual, VpnFilesPkcs12, LsNoManual };

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

class TestProfileSave : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void document_data();
    void document();
    void refusals_data();
    void refusals();
    void failedSaveKeepsChosenFiles();
    void missingInternalFileIsReported();
    void sameFileTwice();
    void renameCarry();
    void saveUnderNewId();
    void leftovers();
    void failedFolderSyncPutsBack();

private:
    // A record under the temporary base path, with files outside it.
    void makeProfile(ConnProfile& p, Kind kind, const QString& id = QStringLiteral("p"));
    QString base() const { return tmp->path() + "/profiles"; }
    QString ext() const { return tmp->path() + "/ext"; }

    QScopedPointer<QTemporaryDir> tmp;
    // Keeps the suite quiet and lets tests read the log.
    QScopedPointer<orvotest::LogCapture> capture;
    orvotest::LogCapture& log() { return *capture; }
};

void TestProfileSave::init()
{
    tmp.reset(new QTemporaryDir);
    QDir().mkpath(base());
    writeFile(ext() + "/ca.pem", proftest::pemText("ext-ca"));
    writeFile(ext() + "/client.conf", proftest::vpnText());
    writeFile(ext() + "/p.p12", proftest::p12Bytes("ext"));
    capture.reset();
    capture.reset(new orvotest::LogCapture);
}

void TestProfileSave::makeProfile(ConnProfile& p, Kind kind, const QString& id)
{
    p.setBasePath(base());
    p.setId(id);
    libvelcor::Auth& auth = p.getAuth();
    switch (kind) {
    case LsUserPass:
    case LsNoManual:
        p.setType(ConnProfile::LsType);
        auth.setUrl("https://ls.example.org:8443");
        auth.setUser("j\u00f6rg \u03b1\u4e2d");
        auth.setPass("pw");
        p.setManualAuth(kind == LsUserPass);
        break;
    case VpnManual:
        p.setType(ConnProfile::VpnType);
        p.setCaPath(ext() + "/ca.pem");
        auth.setUser("u");
        p.setRememberAuth(false);
        p.setConfPath("openvpn.conf", false);
        break;
    case VpnFilesPkcs12:
        p.setType(ConnProfile::VpnType);
        p.setConfigMode(ConnProfile::FilesConfigMode);
        QCOMPARE(p.setConfigFiles({ext() + "/client.conf", ext() + "/ca.pem"}, QString(), true), 0);
        auth.setType(libvelcor::Auth::CertificateType);
        auth.setPath(ext() + "/p.p12");
        auth.setPass("p12 secret");
        break;
    }
}

void TestProfileSave::document_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("top");
    QTest::addColumn<QStringList>("auth");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("ls user-pass") << int(LsUserPass)
                                  << QStringList{"auth",  "ca",   "conn_mode", "mode",
                                                 "owner", "type", "url"}
                                  << QStringList{"manual", "pass", "remember", "type", "user"}
                                  << QStringList{"config.json"};
    QTest::newRow("vpn manual") << int(VpnManual)
                                << QStringList{"auth", "conn_mode", "mode", "owner", "type", "vpn"}
                                << QStringList{"manual", "remember", "type", "user"}
                                << QStringList{"ca.pem", "config.json", "openvpn.conf"};
    QTest::newRow("vpn files pkcs12")
        << int(VpnFilesPkcs12) << QStringList{"auth", "conn_mode", "files", "mode", "owner", "type"}
        << QStringList{"manual", "pass", "path", "remember", "type"}
        << QStringList{"ca.pem", "client.conf", "config.json", "p.p12"};
    QTest::newRow("credential not stored")
        << int(LsNoManual) << QStringList{"auth", "ca", "conn_mode", "mode", "owner", "type", "url"}
        << QStringList{"manual", "remember"} << QStringList{"config.json"};
}

void TestProfileSave::document()
{
    QFETCH(int, kind);
    QFETCH(QStringList, top);
    QFETCH(QStringList, auth);
    QFETCH(QStringList, files);
    ConnProfile p;
    makeProfile(p, Kind(kind));
    QCOMPARE(p.save(false), 0);

    const QString dir = base() + "/p.profile";
    QCOMPARE(entries(dir), files);
    QCOMPARE(entries(base()), QStringList{"p.profile"});
    const QByteArray raw = readFile(dir + "/config.json");
    const QVariantMap doc = proftest::readJson(dir + "/config.json");
    QCOMPARE(doc.keys(), top);
    QCOMPARE(doc.value("auth").toMap().keys(), auth);
    // Members appear in ascending key order in the text too.
    int last = -1;
    for (const QString& key : top) {
        const int at = raw.indexOf("\"" + key.toUtf8() + "\":", last + 1);
        QVERIFY2(at > last, qPrintable(key));
        last = at;
    }
    // Files are referred to by bare name, and the copies are the chosen ones.
    for (const QString& name : files) {
        if (name != "config.json" && name != "openvpn.conf")
            QCOMPARE(readFile(dir + "/" + name), readFile(ext() + "/" + name));
    }
    if (kind == LsUserPass) {
        QCOMPARE(doc.value("url").toString(), QStringLiteral("https://ls.example.org:8443"));
        QCOMPARE(doc.value("auth").toMap().value("user").toString(), p.getAuth().getUser());
        SimpleCrypt crypt(ORVO::ScramblerKey);
        QCOMPARE(crypt.decryptToString(doc.value("auth").toMap().value("pass").toString()),
                 QStringLiteral("pw"));
    }
    if (kind == VpnManual) {
        QCOMPARE(p.getCaPath(), QStringLiteral("ca.pem"));
        QCOMPARE(doc.value("vpn").toMap().value("conf").toString(), QStringLiteral("openvpn.conf"));
        QCOMPARE(proftest::modeOf(dir + "/openvpn.conf"), QStringLiteral("600"));
    }
    if (kind == VpnFilesPkcs12) {
        QCOMPARE(doc.value("files").toStringList(), (QStringList{"client.conf", "ca.pem"}));
        QCOMPARE(doc.value("auth").toMap().value("type").toString(), QStringLiteral("pkcs12"));
        QCOMPARE(p.getConfPath(), dir + "/client.conf");
        QCOMPARE(proftest::modeOf(dir + "/p.p12"), QStringLiteral("600"));
    }
    QCOMPARE(proftest::modeOf(dir), QStringLiteral("700"));
    QCOMPARE(proftest::modeOf(dir + "/config.json"), QStringLiteral("600"));
}

void TestProfileSave::refusals_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("refuser"); // the function of the first ERROR line
    QTest::newRow("url without host") << int(LsUserPass) << "url:https://:443"
                                      << "save";
    QTest::newRow("url without scheme") << int(LsUserPass) << "url:ls.example.org:8443"
                                        << "save";
    QTest::newRow("ls verify without CA") << int(LsUserPass) << "verify"
                                          << "importExternalPath";
    QTest::newRow("vpn without CA") << int(VpnManual) << "ca:"
                                    << "importExternalPath";
    QTest::newRow("empty user") << int(VpnManual) << "user:"
                                << "save";
    QTest::newRow("remembered empty password") << int(LsUserPass) << "pass:"
                                               << "save";
    QTest::newRow("id leading out") << int(LsUserPass) << "id:../evil"
                                    << "save";
    QTest::newRow("chosen CA missing") << int(VpnManual) << "ca:/nonexistent/ca.pem"
                                       << "importExternalPath";
    QTest::newRow("chosen CA a directory") << int(VpnManual) << "ca:/tmp"
                                           << "importExternalPath";
    // A file that opens but cannot be read, even by root.
    QTest::newRow("chosen CA unreadable") << int(VpnManual) << "ca:/proc/self/mem"
                                          << "importExternalPath";
    QTest::newRow("parent as bare name") << int(VpnManual) << "ca:.."
                                         << "importExternalPath";
    QTest::newRow("two files one name") << int(VpnFilesPkcs12) << "files:twins"
                                        << "importExternalPath";
    QTest::newRow("empty file list") << int(VpnFilesPkcs12) << "files:"
                                     << "importExternalFiles";
}

void TestProfileSave::refusals()
{
    QFETCH(int, kind);
    QFETCH(QString, change);
    QFETCH(QString, refuser);
    // The profile exists on disk already; a refused save must not touch it.
    ConnProfile p;
    makeProfile(p, Kind(kind));
    QCOMPARE(p.save(false), 0);
    const QString dir = base() + "/p.profile";
    const QByteArray before = readFile(dir + "/config.json");
    const QStringList filesBefore = entries(dir);

    const QString key = change.section(':', 0, 0);
    const QString value = change.section(':', 1);
    if (key == "url")
        p.getAuth().setUrl(value);
    else if (key == "verify") {
        p.setCaVerify(true);
        p.setCaPath("");
    } else if (key == "ca")
        p.setCaPath(value);
    else if (key == "user")
        p.getAuth().setUser(value);
    else if (key == "pass")
        p.getAuth().setPass(value);
    else if (key == "id")
        p.setId(value);
    else if (key == "files" && value == "twins") {
        writeFile(ext() + "/other/client.conf", proftest::vpnText("other"));
        p.setConfigFiles({ext() + "/client.conf", ext() + "/other/client.conf"}, QString(), false);
    } else if (key == "files") {
        p.setType(ConnProfile::LsType); // an ls record stores any list
        p.getAuth().setUrl("https://h");
        p.setConfigMode(ConnProfile::FilesConfigMode);
        p.setConfigFiles({}, QString(), false);
    }
    log().clear();
    QCOMPARE(p.save(false), -1);
    const QStringList errors = log().linesAt("ERROR");
    QVERIFY(!errors.isEmpty());
    QVERIFY2(errors.first().contains(":" + refuser + "():"), qPrintable(errors.first()));
    // The user can mend the file they chose, not the copy being made of it.
    QVERIFY2(!errors.first().contains(".profile.tmp"), qPrintable(errors.first()));
    const QByteArray tag = QTest::currentDataTag();
    if (tag == "chosen CA unreadable" || tag == "chosen CA missing")
        QVERIFY2(errors.first().contains(value), qPrintable(errors.first()));
    QCOMPARE(readFile(dir + "/config.json"), before);
    QCOMPARE(entries(dir), filesBefore);
    QCOMPARE(entries(base()), QStringList{"p.profile"});
    QCOMPARE(entries(tmp->path()), (QStringList{"ext", "profiles"}));
}

void TestProfileSave::failedSaveKeepsChosenFiles()
{
    ConnProfile p;
    makeProfile(p, VpnManual);
    QCOMPARE(p.save(false), 0);
    writeFile(ext() + "/new/ca.pem", proftest::pemText("chosen"));
    p.setCaPath(ext() + "/new/ca.pem");
    p.getAuth().setUser("");
    QCOMPARE(p.save(false), -1);
    QCOMPARE(p.getCaPath(), ext() + "/new/ca.pem");
    p.getAuth().setUser("u");
    QCOMPARE(p.save(false), 0);
    QCOMPARE(readFile(base() + "/p.profile/ca.pem"), proftest::pemText("chosen"));
}

void TestProfileSave::missingInternalFileIsReported()
{
    ConnProfile p;
    makeProfile(p, VpnManual);
    QCOMPARE(p.save(false), 0);
    QFile::remove(base() + "/p.profile/ca.pem");
    log().clear();
    p.getAuth().setUser("v");
    QCOMPARE(p.save(false), 0);
    QCOMPARE(log().linesAt("ERROR").size(), 1);
    QVERIFY(log().linesAt("ERROR").first().contains("importExternalPath"));
    QCOMPARE(entries(base() + "/p.profile"), (QStringList{"config.json", "openvpn.conf"}));
}

void TestProfileSave::sameFileTwice()
{
    ConnProfile p;
    makeProfile(p, VpnFilesPkcs12);
    p.setConfigFiles({ext() + "/client.conf", ext() + "/p.p12"}, QString(), false);
    QCOMPARE(p.save(false), 0);
    QCOMPARE(entries(base() + "/p.profile"), (QStringList{"client.conf", "config.json", "p.p12"}));
}

void TestProfileSave::renameCarry()
{
    ConnProfile p;
    makeProfile(p, LsUserPass, "a");
    p.setCaVerify(true);
    p.setCaPath(ext() + "/ca.pem");
    p.getAuth().setType(libvelcor::Auth::CertificateType);
    p.getAuth().setPath(ext() + "/p.p12");
    QCOMPARE(p.save(false), 0);
    QCOMPARE(p.getCaPath(), QStringLiteral("ca.pem"));

    // Renamed: the files come from a.profile, which the save leaves alone.
    p.setId("b");
    p.setOrigId("a");
    QCOMPARE(p.save(false), 0);
    QCOMPARE(readFile(base() + "/b.profile/ca.pem"), proftest::pemText("ext-ca"));
    QCOMPARE(readFile(base() + "/b.profile/p.p12"), proftest::p12Bytes("ext"));
    QVERIFY(QFileInfo::exists(base() + "/a.profile/config.json"));

    // Renamed again with a newly chosen file of the old file's name: the
    // chosen one wins over the carried one.
    writeFile(ext() + "/new/ca.pem", proftest::pemText("chosen"));
    p.setId("c");
    p.setOrigId("b");
    p.setCaPath(ext() + "/new/ca.pem");
    QCOMPARE(p.save(false), 0);
    QCOMPARE(readFile(base() + "/c.profile/ca.pem"), proftest::pemText("chosen"));
    QCOMPARE(readFile(base() + "/c.profile/p.p12"), proftest::p12Bytes("ext"));

    // Names that climb out of a directory are refused by the carry.
    QString name;
    bool external = false;
    QCOMPARE(p.importExternalPath("../a.profile/ca.pem", base(), name, external), -1);
    p.setCaPath("../x");
    QCOMPARE(p.copyOrigFiles(base() + "/a.profile", base() + "/c.profile"), -1);
}

void TestProfileSave::saveUnderNewId()
{
    const QStringList ids{"a", "a--1"};
    for (const QString& id : ids) {
        ConnProfile p;
        makeProfile(p, LsNoManual, id);
        QCOMPARE(p.save(false), 0);
    }
    ConnProfile p;
    makeProfile(p, LsNoManual, "a");
    QCOMPARE(p.save(true), 0);
    QCOMPARE(p.getId(), QStringLiteral("a--2"));
    QVERIFY(QFileInfo::exists(base() + "/a--2.profile/config.json"));

    const QList<QPair<QString, QString>> next{
        {"b--7", "b--8"}, {"c--007", "c--8"}, {"d--99999999999", "d--1"}, {"e-", "e---1"}};
    for (const auto& step : next) {
        ConnProfile q;
        makeProfile(q, LsNoManual, step.first);
        QCOMPARE(q.save(false), 0);
        QCOMPARE(q.save(true), 0);
        QCOMPARE(q.getId(), step.second);
    }
}

void TestProfileSave::leftovers()
{
    ConnProfile p;
    makeProfile(p, VpnManual);
    QCOMPARE(p.save(false), 0);
    const QString dir = base() + "/p.profile";
    // A half-built temporary directory: its files must not mix in.
    writeFile(dir + ".tmp/stray.pem", "stray");
    // A backup left beside a whole directory.
    writeFile(dir + ".old/config.json", "old");
    p.getAuth().setUser("w");
    QCOMPARE(p.save(false), 0);
    QCOMPARE(entries(base()), QStringList{"p.profile"});
    QCOMPARE(entries(dir), (QStringList{"ca.pem", "config.json", "openvpn.conf"}));

    // A backup whose directory is missing is the profile: put back, then saved.
    QVERIFY(QDir().rename(dir, dir + ".old"));
    p.getAuth().setUser("x");
    QCOMPARE(p.save(false), 0);
    QCOMPARE(entries(base()), QStringList{"p.profile"});
    QCOMPARE(readFile(dir + "/ca.pem"), proftest::pemText("ext-ca"));
}

// The new directory took the old one's place, but the folder could not be
// synced: the old one is back, nothing is left over, and the reason told.
void TestProfileSave::failedFolderSyncPutsBack()
{
    ConnProfile p;
    makeProfile(p, VpnManual);
    QCOMPARE(p.save(false), 0);
    const QString dir = base() + "/p.profile";
    const QByteArray before = readFile(dir + "/config.json");
    static QString root;
    static int syncs;
    root = base();
    syncs = 0;
    // The root's first sync follows dir -> old, its second tmp -> dir.
    libvelcor::utils::setDirSyncHook(
        [](const QString& d) { return d == root && ++syncs == 2 ? EIO : 0; });
    p.getAuth().setUser("w");
    log().clear();
    const int rc = p.save(false);
    libvelcor::utils::setDirSyncHook(nullptr);
    QCOMPARE(rc, -1);
    QCOMPARE(readFile(dir + "/config.json"), before);
    QCOMPARE(entries(base()), QStringList{"p.profile"});
    const QString errors = log().linesAt("ERROR").join('\n');
    QVERIFY2(errors.contains(ORVO::utils::errnoText(EIO) + " (" + dir + ")"), qPrintable(errors));
}

ORVO_TEST_MAIN(TestProfileSave)
#include "tst_profilesave.moc"
