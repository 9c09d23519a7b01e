#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkProxy>
#include <QSettings>
#include <QtTest>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

#include "common/config.h"
#include "common/utils.h"
#include "logcapture.h"
#include "smalldisk.h"
#include "testenv.h"
#include "testmain.h"

using orvotest::readFile;
using orvotest::writeFile;

// Config is built from an executable directory <root>/bin, with the
// template at <root>/Resources/etc/vtx.json, as in the bundle.
class TestConfig : public QObject
{
    Q_OBJECT

private:
    QString binDir() const { return env->root() + QStringLiteral("/bundle/bin"); }
    QString templatePath() const
    {
        return env->root() + QStringLiteral("/bundle/Resources/etc/vtx.json");
    }
    QString userPath() const { return env->dataDir() + QStringLiteral("/vtx.json"); }

    std::unique_ptr<orvotest::TestEnv> env;

    // Files beside the user copy other than it and its kept copy: what a
    // write left behind.
    QStringList strays() const
    {
        QStringList names =
            QDir(env->dataDir()).entryList({"vtx.json.*"}, QDir::Files | QDir::Hidden);
        names.removeOne(QStringLiteral("vtx.json.old"));
        return names;
    }

    // Puts a user copy of the given kind in place.
    bool makeUserCopy(const QString& kind, const QByteArray& bytes)
    {
        QDir().mkpath(env->dataDir());
        const QByteArray path = QFile::encodeName(userPath());
        if (kind == QLatin1String("dir"))
            return QDir().mkpath(userPath());
        if (kind == QLatin1String("fifo"))
            return ::mkfifo(path.constData(), 0600) == 0;
        if (kind == QLatin1String("device"))
            return QFile::link(QStringLiteral("/dev/null"), userPath());
        if (!writeFile(userPath(), bytes))
            return false;
        if (kind == QLatin1String("unreadable"))
            return QFile::setPermissions(userPath(), QFile::WriteOwner);
        return true;
    }

private slots:
    void init()
    {
        env.reset(new orvotest::TestEnv);
        QVERIFY(env->isValid());
        QDir().mkpath(binDir());
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    }

    void cleanup() { env.reset(); }

    // A first start checks the template before it becomes the user copy: a
    // broken one is reported with its path and never installed, so the
    // start after it is mended installs it.
    void firstStartChecksTemplate_data()
    {
        QTest::addColumn<QByteArray>("broken");
        QTest::addColumn<QString>("problem");
        QTest::newRow("junk") << QByteArray("junk") << "is not valid JSON";
        QTest::newRow("truncated") << QByteArray("{\"version\":3,\"log\":{") << "offset";
        QTest::newRow("empty") << QByteArray("") << "is empty";
        QTest::newRow("20 MB") << QByteArray(20 * 1024 * 1024, '{') << "is too large";
    }

    void firstStartChecksTemplate()
    {
        QFETCH(QByteArray, broken);
        QFETCH(QString, problem);
        QVERIFY(writeFile(templatePath(), broken));
        {
            orvotest::LogCapture log;
            ORVO::Config cfg(binDir());
            QVERIFY(!cfg.valid);
            QVERIFY(!QFile::exists(userPath()));
            QVERIFY2(cfg.errorText.contains(QDir::cleanPath(templatePath())),
                     qPrintable(cfg.errorText));
            QVERIFY2(cfg.errorText.contains(problem), qPrintable(cfg.errorText));
            QCOMPARE(log.linesAt(QStringLiteral("ERROR")).size(), 1);
            QVERIFY(log.linesAt(QStringLiteral("ERROR")).first().contains(cfg.errorText));
        }
        const QByteArray good = R"({"version":3})";
        QVERIFY(writeFile(templatePath(), good));
        orvotest::LogCapture log;
        ORVO::Config cfg(binDir());
        QVERIFY(cfg.valid);
        QCOMPARE(readFile(userPath()), good);
        QVERIFY(!log.contains(QStringLiteral("[Config] replacing: ")));
        QCOMPARE(cfg.loadFromFile(), 0);
        QVERIFY(cfg.settings != nullptr);
        QCOMPARE(cfg.settings->applicationName(), QStringLiteral("BastivaConnectApp"));
    }

    void upgradeMatrix_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("tmpl");
        QTest::addColumn<bool>("replaced");
        // A version out of int range, or below the template's, is replaced:
        // the rule stays, the replaced copy is kept beside the new one.
        QTest::newRow("negative version") << QByteArray(R"({"version":-5,"proxy":{"host":"p"}})")
                                          << QByteArray(R"({"version":3})") << true;
        QTest::newRow("huge version") << QByteArray(R"({"version":1e300,"log":{"lev":2}})")
                                      << QByteArray(R"({"version":3})") << true;
        QTest::newRow("version beyond int")
            << QByteArray(R"({"version":4294967299})") << QByteArray(R"({"version":3})") << true;
        QTest::newRow("version as a word")
            << QByteArray(R"({"version":"new"})") << QByteArray(R"({"version":3})") << true;
        QTest::newRow("older user copy")
            << QByteArray(R"({"version":2,"mine":1})") << QByteArray(R"({"version":3})") << true;
        QTest::newRow("same version")
            << QByteArray(R"({"version":3,"mine":1})") << QByteArray(R"({"version":3})") << false;
        QTest::newRow("newer user copy")
            << QByteArray(R"({"version":5,"mine":1})") << QByteArray(R"({"version":3})") << false;
        QTest::newRow("template without version")
            << QByteArray(R"({"version":5,"mine":1})") << QByteArray(R"({"x":1})") << true;
        QTest::newRow("user copy without version")
            << QByteArray(R"({"mine":1})") << QByteArray(R"({"version":3})") << true;
        QTest::newRow("version as digit string")
            << QByteArray(R"({"version":"4","mine":1})") << QByteArray(R"({"version":3})") << false;
        QTest::newRow("user copy not an object")
            << QByteArray(R"([1,2])") << QByteArray(R"({"version":3})") << true;
    }

    void upgradeMatrix()
    {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, tmpl);
        QFETCH(bool, replaced);
        QVERIFY(writeFile(userPath(), user));
        QVERIFY(writeFile(templatePath(), tmpl));
        orvotest::LogCapture log;
        ORVO::Config cfg(binDir());
        QVERIFY(cfg.valid);
        QCOMPARE(readFile(userPath()), replaced ? tmpl : user);
        QCOMPARE(log.contains(QStringLiteral("[Config] replacing: \"") + userPath() + '"'),
                 replaced);
        QCOMPARE(strays(), QStringList());
        // What the user had is kept, and a notice names both files.
        const QString old = userPath() + QStringLiteral(".old");
        QCOMPARE(readFile(old), replaced ? user : QByteArray());
        const QStringList notices = log.linesAt(QStringLiteral("notice"));
        QCOMPARE(notices.size(), replaced ? 1 : 0);
        QCOMPARE(cfg.notices.size(), replaced ? 1 : 0);
        if (replaced) {
            QVERIFY2(notices.first().contains(userPath() + QStringLiteral(" was replaced")) &&
                         notices.first().contains(QStringLiteral("kept as ") + old),
                     qPrintable(notices.first()));
            QVERIFY(notices.first().contains(cfg.notices.first()));
        }
    }

    // Only the newest replaced copy is kept, and a copy that is the
    // template already (a template without "version" replaces it at every
    // start) does not push the user's last edits out of it.
    void replacedCopyKeptOnce()
    {
        QVERIFY(writeFile(templatePath(), R"({"x":1})"));
        QVERIFY(writeFile(userPath(), R"({"version":5,"first":1})"));
        QVERIFY(writeFile(userPath() + QStringLiteral(".old"), "older"));
        {
            ORVO::Config cfg(binDir());
            QVERIFY(cfg.valid);
            QCOMPARE(cfg.notices.size(), 1);
        }
        QCOMPARE(readFile(userPath() + QStringLiteral(".old")),
                 QByteArray(R"({"version":5,"first":1})"));
        orvotest::LogCapture log;
        ORVO::Config cfg(binDir());
        QVERIFY(cfg.valid);
        QVERIFY(log.contains(QStringLiteral("[Config] replacing: ")));
        QVERIFY(cfg.notices.isEmpty());
        QCOMPARE(readFile(userPath() + QStringLiteral(".old")),
                 QByteArray(R"({"version":5,"first":1})"));
        QCOMPARE(strays(), QStringList());
    }

    // The kept copy holds the user's settings (a proxy password perhaps): it
    // is as private as the copy it was, and so is the new user copy.
    void replacementKeepsPermissions()
    {
        QVERIFY(writeFile(userPath(), R"({"version":1,"proxy":{"pass":"s"}})"));
        QVERIFY(writeFile(templatePath(), R"({"version":2})"));
        const auto privateFile =
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        QVERIFY(QFile::setPermissions(userPath(), privateFile));
        ORVO::Config cfg(binDir());
        QVERIFY(cfg.valid);
        QCOMPARE(QFile::permissions(userPath() + QStringLiteral(".old")), privateFile);
        QCOMPARE(QFile::permissions(userPath()), privateFile);
    }

    // The user copy may hold passwords: it is made for its user only, and
    // one made before this rule is tightened.
    void userCopyIsPrivate()
    {
        const orvotest::UmaskGuard umask(022);
        const auto mode = [this]() {
            struct stat st = {};
            ::stat(QFile::encodeName(userPath()).constData(), &st);
            return st.st_mode & 0777;
        };
        QVERIFY(writeFile(templatePath(), R"({"version":2})"));
        QVERIFY(ORVO::Config(binDir()).valid);
        QCOMPARE(mode(), 0600u);
        QCOMPARE(::chmod(QFile::encodeName(userPath()).constData(), 0644), 0);
        QVERIFY(ORVO::Config(binDir()).valid);
        QCOMPARE(mode(), 0600u);
    }

    // Without a place for the kept copy nothing is replaced.
    void noReplacementWithoutKeptCopy()
    {
        const QByteArray user = R"({"version":1,"mine":true})";
        QVERIFY(writeFile(userPath(), user));
        QVERIFY(writeFile(templatePath(), R"({"version":2})"));
        QVERIFY(QDir().mkpath(userPath() + QStringLiteral(".old/blocker")));
        ORVO::Config cfg(binDir());
        QVERIFY(!cfg.valid);
        QCOMPARE(readFile(userPath()), user);
        QVERIFY2(cfg.errorText.contains(userPath() + QStringLiteral(".old")) &&
                     cfg.errorText.contains(QStringLiteral("unchanged")),
                 qPrintable(cfg.errorText));
    }

    void userCopyWithoutVersionIsReplacedOnce()
    {
        QVERIFY(writeFile(userPath(), R"({"mine":1})"));
        QVERIFY(writeFile(templatePath(), R"({"version":3})"));
        {
            ORVO::Config cfg(binDir());
            QVERIFY(cfg.valid);
        }
        QVERIFY(writeFile(userPath(), R"({"version":3,"edited":true})"));
        {
            ORVO::Config cfg(binDir());
            QVERIFY(cfg.valid);
        }
        QCOMPARE(readFile(userPath()), QByteArray(R"({"version":3,"edited":true})"));
    }

    void brokenFilesFailConstructionAndTouchNothing_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("tmpl");
        QTest::addColumn<bool>("hasTemplate");
        QTest::newRow("broken user copy")
            << QByteArray("{ no") << QByteArray(R"({"version":9})") << true;
        QTest::newRow("broken template")
            << QByteArray(R"({"version":1})") << QByteArray("[") << true;
        QTest::newRow("missing template")
            << QByteArray(R"({"version":1})") << QByteArray() << false;
    }

    void brokenFilesFailConstructionAndTouchNothing()
    {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, tmpl);
        QFETCH(bool, hasTemplate);
        QVERIFY(writeFile(userPath(), user));
        if (hasTemplate)
            QVERIFY(writeFile(templatePath(), tmpl));
        ORVO::Config cfg(binDir());
        QVERIFY(!cfg.valid);
        QVERIFY(cfg.settings == nullptr);
        QCOMPARE(readFile(userPath()), user);
    }

    // A user copy that cannot be used fails construction with the reason
    // and is left as it is; nothing that is not a regular file is opened
    // for reading (a FIFO would hang the start).
    void unusableUserCopy_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem");
        QTest::newRow("truncated")
            << "file" << QByteArray("{\"version\":3,\"proxy\":{\"host\":\"p\"")
            << "is not valid JSON: unterminated string at offset 32";
        QTest::newRow("not JSON") << "file" << QByteArray("{version=3}") << "is not valid JSON: ";
        QTest::newRow("garbage after the object")
            << "file" << QByteArray(R"({"version":3} x)")
            << "is not valid JSON: garbage at the end of the document at offset 14";
        QTest::newRow("empty") << "file" << QByteArray() << "is empty";
        QTest::newRow("blanks") << "file" << QByteArray(" \n\t\n") << "is empty";
        QTest::newRow("null") << "file" << QByteArray("null")
                              << "is not valid JSON: it must begin with '{' or '['";
        QTest::newRow("number") << "file" << QByteArray("3")
                                << "is not valid JSON: it must begin with '{' or '['";
        QTest::newRow("binary") << "file" << QByteArray("\xff\xfe\x00{", 4)
                                << "is not valid JSON: it must begin with '{' or '['";
        QTest::newRow("20 MB of junk")
            << "file" << QByteArray(20 * 1024 * 1024, 'x') << "is too large: 20971520 bytes";
        QTest::newRow("directory") << "dir" << QByteArray() << "is a directory";
        QTest::newRow("FIFO") << "fifo" << QByteArray() << "is not a regular file but a FIFO";
        QTest::newRow("device") << "device" << QByteArray() << "is not a regular file but a device";
        QTest::newRow("unreadable") << "unreadable" << QByteArray(R"({"version":3})")
                                    << "cannot be read: " + ORVO::utils::errnoText(EACCES);
    }

    void unusableUserCopy()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        if (kind == QLatin1String("unreadable") && ::geteuid() == 0)
            QSKIP("root reads any file");
        QVERIFY(writeFile(templatePath(), R"({"version":3})"));
        QVERIFY(makeUserCopy(kind, bytes));
        const QFileInfo before(userPath());

        QElapsedTimer clock;
        clock.start();
        orvotest::LogCapture log;
        ORVO::Config cfg(binDir());
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(!cfg.valid);
        QVERIFY2(cfg.errorText.startsWith(userPath() + QLatin1Char(' ') + problem),
                 qPrintable(cfg.errorText.left(300)));
        const QStringList errors = log.linesAt(QStringLiteral("ERROR"));
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().contains(cfg.errorText));
        // Untouched: same kind, same bytes, nothing beside it.
        const QFileInfo after(userPath());
        QCOMPARE(after.isDir(), before.isDir());
        QCOMPARE(after.isFile(), before.isFile());
        QCOMPARE(after.isSymLink(), before.isSymLink());
        if (kind == QLatin1String("file"))
            QCOMPARE(readFile(userPath()), bytes);
        QVERIFY(!QFile::exists(userPath() + QStringLiteral(".old")));
        QCOMPARE(strays(), QStringList());
        // Only the unreadable file; the device is a link to /dev/null.
        if (kind == QLatin1String("unreadable"))
            QFile::setPermissions(userPath(), QFile::ReadOwner | QFile::WriteOwner);
    }

    // The same files put in place after construction: loading refuses them
    // the same way, at once.
    void loadRefusesUnusableFile_data() { unusableUserCopy_data(); }

    void loadRefusesUnusableFile()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        if (kind == QLatin1String("unreadable") && ::geteuid() == 0)
            QSKIP("root reads any file");
        QVERIFY(writeFile(templatePath(), R"({"version":3,"log":{"lev":4}})"));
        ORVO::Config cfg(binDir());
        QVERIFY(cfg.valid);
        QVERIFY(QFile::remove(userPath()));
        QVERIFY(makeUserCopy(kind, bytes));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(cfg.loadFromFile(), -1);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(cfg.logLevel, 7);
        QVERIFY2(cfg.errorText.startsWith(userPath() + QLatin1Char(' ') + problem),
                 qPrintable(cfg.errorText.left(300)));
        // Only the unreadable file; the device is a link to /dev/null.
        if (kind == QLatin1String("unreadable"))
            QFile::setPermissions(userPath(), QFile::ReadOwner | QFile::WriteOwner);
    }

    // A template that cannot be used fails construction even when the user
    // copy is fine; the message names the template.
    void unusableTemplateNamed()
    {
        const QByteArray user = R"({"version":3})";
        QVERIFY(writeFile(userPath(), user));
        QVERIFY(QDir().mkpath(QFileInfo(templatePath()).absolutePath()));
        QCOMPARE(::mkfifo(QFile::encodeName(templatePath()).constData(), 0600), 0);
        ORVO::Config cfg(binDir());
        QVERIFY(!cfg.valid);
        QCOMPARE(cfg.errorText, QStringLiteral("the template ") + QDir::cleanPath(templatePath()) +
                                    QStringLiteral(" is not a regular file but a FIFO"));
        QCOMPARE(readFile(userPath()), user);
    }

    void missingTemplateOnFirstStartFails()
    {
        ORVO::Config cfg(binDir());
        QVERIFY(!cfg.valid);
        QVERIFY(!QFile::exists(userPath()));
    }

    void failedReplacementKeepsUserCopy()
    {
        // A full disk takes the kept copy but not the new one: the user copy
        // must survive whole.
        orvotest::SmallDisk disk(env->dataDir());
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.whyNot()));
        const QByteArray user = R"({"version":1,"mine":true})";
        QVERIFY(writeFile(userPath(), user));
        QVERIFY(writeFile(templatePath(), R"({"version":2})"));
        QVERIFY(disk.fill());
        ORVO::Config cfg(binDir());
        QVERIFY(!cfg.valid);
        QVERIFY2(cfg.errorText.contains("no space left on device"), qPrintable(cfg.errorText));
        QCOMPARE(readFile(userPath()), user);
        QCOMPARE(strays(), QStringList());
    }

    void applyMembers_data()
    {
        QTest::addColumn<QByteArray>("doc");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("logLevel");
        QTest::newRow("no log member") << QByteArray(R"({"version":1})") << 0 << 7;
        QTest::newRow("log without lev") << QByteArray(R"({"log":{}})") << 0 << 7;
        QTest::newRow("lev 3") << QByteArray(R"({"log":{"lev":3}})") << 0 << 3;
        QTest::newRow("lev 8") << QByteArray(R"({"log":{"lev":8}})") << -1 << 8;
        QTest::newRow("lev -1") << QByteArray(R"({"log":{"lev":-1}})") << -1 << -1;
        // A word is refused like a level out of range, the level unchanged.
        QTest::newRow("lev word") << QByteArray(R"({"log":{"lev":"loud"}})") << -1 << 7;
        QTest::newRow("lev digits") << QByteArray(R"({"log":{"lev":"5"}})") << 0 << 5;
        QTest::newRow("lev 2.0") << QByteArray(R"({"log":{"lev":2.0}})") << 0 << 2;
        QTest::newRow("lev null") << QByteArray(R"({"log":{"lev":null}})") << 0 << 7;
        QTest::newRow("not an object") << QByteArray(R"([{"log":{"lev":1}}])") << 0 << 7;
        QTest::newRow("bad proxy stops before log")
            << QByteArray(R"({"proxy":{"type":"HTTP"},"log":{"lev":2}})") << -1 << 7;
    }

    void applyMembers()
    {
        QFETCH(QByteArray, doc);
        QFETCH(int, result);
        QFETCH(int, logLevel);
        QVERIFY(writeFile(templatePath(), doc));
        ORVO::Config cfg(binDir());
        QVERIFY(cfg.valid);
        QCOMPARE(cfg.loadFromFile(), result);
        QCOMPARE(cfg.logLevel, logLevel);
    }

    // A member of the wrong type, or a number beyond int, is refused like an
    // out-of-range level: -1, nothing guessed, the member and the file named,
    // and the application proxy as it was.
    void refusedMembers_data()
    {
        QTest::addColumn<QByteArray>("doc");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<int>("logLevel");
        QTest::newRow("lev high") << QByteArray(R"({"log":{"lev":"high"}})")
                                  << R"("log"/"lev" must be a whole number, not the text "high")"
                                  << 7;
        QTest::newRow("lev 1e300") << QByteArray(R"({"log":{"lev":1e300}})")
                                   << R"("log"/"lev" is out of range: 1e+300)" << 7;
        QTest::newRow("lev -1e19") << QByteArray(R"({"log":{"lev":-1e19}})")
                                   << R"("log"/"lev" is out of range: -1e+19)" << 7;
        QTest::newRow("lev beyond int wraps to 3 no more")
            << QByteArray(R"({"log":{"lev":4294967299}})") << R"("log"/"lev" is out of range)" << 7;
        QTest::newRow("lev digits beyond int") << QByteArray(R"({"log":{"lev":"99999999999"}})")
                                               << R"("log"/"lev" is out of range)" << 7;
        QTest::newRow("lev true") << QByteArray(R"({"log":{"lev":true}})")
                                  << R"("log"/"lev" must be a whole number, not true)" << 7;
        QTest::newRow("lev object") << QByteArray(R"({"log":{"lev":{}}})")
                                    << R"("log"/"lev" must be a whole number, not an object)" << 7;
        QTest::newRow("lev 8") << QByteArray(R"({"log":{"lev":8}})") << R"("log"/"lev" is 8)" << 8;
        QTest::newRow("log not an object")
            << QByteArray(R"({"log":3})") << R"("log" must be an object, not 3)" << 7;
        QTest::newRow("proxy a word") << QByteArray(R"({"proxy":"x"})")
                                      << R"("proxy" must be an object, not the text "x")" << 7;
        QTest::newRow("proxy a list")
            << QByteArray(R"({"proxy":[1]})") << R"("proxy" must be an object, not a list)" << 7;
        QTest::newRow("port 1e30") << QByteArray(R"({"proxy":{"port":1e30}})")
                                   << R"("proxy"/"port" is out of range: 1e+30)" << 7;
        QTest::newRow("port a word")
            << QByteArray(R"({"proxy":{"host":"h","port":"http"}})")
            << R"("proxy"/"port" must be a whole number, not the text "http")" << 7;
        QTest::newRow("host an object") << QByteArray(R"({"proxy":{"host":{"a":1}}})")
                                        << R"("proxy"/"host" must be text, not an object)" << 7;
        QTest::newRow("type a bool") << QByteArray(R"({"proxy":{"type":true}})")
                                     << R"("proxy"/"type" must be text, not true)" << 7;
        QTest::newRow("unknown type") << QByteArray(R"({"proxy":{"type":"HTTP"}})")
                                      << R"("proxy"/"type" must be "http" or "socks5")" << 7;
        QTest::newRow("login a word") << QByteArray(R"({"login":"x","log":{"lev":2}})")
                                      << R"("login" must be an object, not the text "x")" << 7;
        QTest::newRow("login user a list") << QByteArray(R"({"login":{"url":"a.test","user":[1]}})")
                                           << R"("login"/"user" must be text, not a list)" << 7;
        QTest::newRow("ca a bool")
            << QByteArray(R"({"ca":false})") << R"("ca" must be a path, not false)" << 7;
    }

    void refusedMembers()
    {
        QFETCH(QByteArray, doc);
        QFETCH(QString, problem);
        QFETCH(int, logLevel);
        QVERIFY(writeFile(templatePath(), doc));
        ORVO::Config cfg(binDir());
        QVERIFY(cfg.valid);
        orvotest::LogCapture log;
        QCOMPARE(cfg.loadFromFile(), -1);
        QCOMPARE(cfg.logLevel, logLevel);
        QVERIFY2(cfg.errorText.startsWith(userPath() + QStringLiteral(": ") + problem),
                 qPrintable(cfg.errorText));
        QVERIFY(log.linesAt(QStringLiteral("ERROR")).last().contains(cfg.errorText));
        QCOMPARE(QNetworkProxy::applicationProxy().type(), QNetworkProxy::NoProxy);
        QVERIFY(!cfg.hasLogin);
        QCOMPARE(cfg.loginUser, QStringLiteral("lsUser"));
        QCOMPARE(cfg.loginUrl, QStringLiteral("https://lodestar.example.test"));
        QVERIFY(cfg.caFile.filePath().isEmpty());
    }

    // The conversions that stay: numbers as text, digit strings as
    // numbers, the low 16 bits of a port inside int.
    void acceptedConversions()
    {
        QVERIFY(writeFile(
            templatePath(),
            R"({"ca":42,"login":{"user":7},"proxy":{"host":"h","port":"-1","user":3.5}})"));
        ORVO::Config cfg(binDir());
        QCOMPARE(cfg.loadFromFile(), 0);
        QCOMPARE(cfg.caFile.filePath(), QStringLiteral("42"));
        QCOMPARE(cfg.loginUser, QStringLiteral("7"));
        QCOMPARE(QNetworkProxy::applicationProxy().port(), quint16(65535));
        QCOMPARE(QNetworkProxy::applicationProxy().user(), QStringLiteral("3.5"));
        QVERIFY(cfg.errorText.isEmpty());
    }

    void proxyAndLogin()
    {
        const QByteArray doc = "{\"ca\":\"/etc/ca.pem\","
                               "\"login\":{\"url\":\"https://ls.test\",\"user\":\"alice\"},"
                               "\"proxy\":{\"type\":\"socks5\",\"host\":\"proxy.test\","
                               "\"port\":65536,\"user\":\"u\",\"pass\":\"secret\"}}";
        QVERIFY(writeFile(templatePath(), doc));
        ORVO::Config cfg(binDir());
        QVERIFY(cfg.valid);
        QCOMPARE(cfg.loadFromFile(), 0);
        QCOMPARE(cfg.caFile.filePath(), QStringLiteral("/etc/ca.pem"));
        QVERIFY(cfg.hasLogin);
        QCOMPARE(cfg.loginUrl, QStringLiteral("https://ls.test"));
        QCOMPARE(cfg.loginUser, QStringLiteral("alice"));
        QCOMPARE(cfg.loginPass, QStringLiteral("kqPwtz"));
        const QNetworkProxy app = QNetworkProxy::applicationProxy();
        QCOMPARE(app.type(), QNetworkProxy::Socks5Proxy);
        QCOMPARE(app.hostName(), QStringLiteral("proxy.test"));
        QCOMPARE(app.port(), quint16(0)); // low 16 bits of 65536
        const QString dump = cfg.dump();
        QVERIFY(dump.startsWith(QStringLiteral("dumping configuration:\nprefix=")));
        QVERIFY(dump.contains(QStringLiteral("\nconf path=vtx.json\nproxy type=1\n")));
        QVERIFY2(!dump.contains(QStringLiteral("secret")), qPrintable(dump));
        QVERIFY(!dump.endsWith('\n'));
    }

    void emptyProxyObjectAndUnknownType()
    {
        QVERIFY(writeFile(templatePath(), R"({"proxy":{}, "login":{}})"));
        ORVO::Config cfg(binDir());
        QCOMPARE(cfg.loadFromFile(), 0);
        QVERIFY(cfg.hasLogin);
        QCOMPARE(cfg.loginUser, QStringLiteral("lsUser"));
        QCOMPARE(QNetworkProxy::applicationProxy().type(), QNetworkProxy::HttpProxy);
        QCOMPARE(QNetworkProxy::applicationProxy().port(), quint16(0));

        // An unknown type leaves the application proxy untouched.
        QVERIFY(writeFile(userPath(), R"({"version":1,"proxy":{"type":"Socks5","host":"x"}})"));
        orvotest::LogCapture log;
        QCOMPARE(cfg.loadFromFile(), -1);
        QCOMPARE(QNetworkProxy::applicationProxy().type(), QNetworkProxy::HttpProxy);
        QVERIFY(log.contains(QStringLiteral("\"unknown proxy type: Socks5\"")));
    }
};

ORVO_TEST_MAIN(TestConfig)
#include "tst_config.moc"
