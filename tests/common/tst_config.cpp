#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QSettings>
#include <QtTest>

#include "common/config.h"
#include "logcapture.h"
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

private slots:
    void init()
    {
        env.reset(new orvotest::TestEnv);
        QVERIFY(env->isValid());
        QDir().mkpath(binDir());
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    }

    void cleanup() { env.reset(); }

    void firstStartInstallsTemplateUnparsed()
    {
        // Even a broken template is installed as it is on a first start;
        // only loading rejects it.
        QVERIFY(writeFile(templatePath(), "{ broken"));
        orvotest::LogCapture log;
        ORVO::Config cfg(binDir());
        QVERIFY(cfg.valid);
        QCOMPARE(readFile(userPath()), QByteArray("{ broken"));
        QVERIFY(!log.contains(QStringLiteral("[Config] replacing: ")));
        QCOMPARE(cfg.loadFromFile(), -1);
        QVERIFY(log.contains(QStringLiteral("[Config] Failed parsing config file")));
        QVERIFY(cfg.settings != nullptr);
        QCOMPARE(cfg.settings->applicationName(), QStringLiteral("BastivaConnectApp"));
    }

    void upgradeMatrix_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("tmpl");
        QTest::addColumn<bool>("replaced");
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
        QVERIFY(!QFile::exists(userPath() + QStringLiteral(".tmp")));
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

    void missingTemplateOnFirstStartFails()
    {
        ORVO::Config cfg(binDir());
        QVERIFY(!cfg.valid);
        QVERIFY(!QFile::exists(userPath()));
    }

    void failedReplacementKeepsUserCopy()
    {
        // A directory in the way of the temporary copy makes the copy fail;
        // the user copy must survive whole.
        const QByteArray user = R"({"version":1,"mine":true})";
        QVERIFY(writeFile(userPath(), user));
        QVERIFY(writeFile(templatePath(), R"({"version":2})"));
        QVERIFY(QDir().mkpath(userPath() + QStringLiteral(".tmp/blocker")));
        ORVO::Config cfg(binDir());
        QVERIFY(!cfg.valid);
        QCOMPARE(readFile(userPath()), user);
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
        QTest::newRow("lev word") << QByteArray(R"({"log":{"lev":"loud"}})") << 0 << 0;
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
