#include <QApplication>
#include <QLabel>
#include <QLockFile>
#include <QSettings>
#include <QtTest>

#include <cerrno>
#include <climits>
#include <memory>

#include <unistd.h>

#include "common/common.h"
#include "common/settingsfile.h"
#include "common/utils.h"
#include "gui/widgets/widgetutils.h"
#include "libvelcor/utils.h"
#include "logcapture.h"
#include "smalldisk.h"
#include "testenv.h"
#include "testmain.h"

using namespace ORVO;

class TestUtils : public QObject
{
    Q_OBJECT

private slots:
    void identity()
    {
        QCOMPARE(app(), QStringLiteral("Bastiva Connect App"));
        QCOMPARE(versionInfo(), QStringLiteral("Bastiva Connect App v3.8.1"));
        QCOMPARE(prod(), org() + QStringLiteral(" Bastiva Connect App"));
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{7}$")).match(revision()).hasMatch());
        QVERIFY(!org().contains(QLatin1Char('/')));
    }

    void verbosityAndModules_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("lev");
        QTest::addColumn<int>("verb");
        QTest::addColumn<QString>("module");
        QTest::newRow("0") << 0 << "High" << 7 << 4 << "None";
        QTest::newRow("1") << 1 << "Normal" << 6 << 2 << "Manager";
        QTest::newRow("2") << 2 << "Low" << 5 << 1 << "Network Manager";
        QTest::newRow("3") << 3 << "" << -1 << -1 << "Process Manager";
        QTest::newRow("4") << 4 << "" << -1 << -1 << "API Manager";
        QTest::newRow("5") << 5 << "" << -1 << -1 << "";
        QTest::newRow("-1") << -1 << "" << -1 << -1 << "";
        QTest::newRow("8") << 8 << "" << -1 << -1 << "";
        QTest::newRow("int max") << INT_MAX << "" << -1 << -1 << "";
        QTest::newRow("int min") << INT_MIN << "" << -1 << -1 << "";
    }

    void verbosityAndModules()
    {
        QFETCH(int, value);
        QFETCH(QString, word);
        QFETCH(int, lev);
        QFETCH(int, verb);
        QFETCH(QString, module);
        const auto v = static_cast<Verbosity>(value);
        QCOMPARE(verbosityToString(v, false), word);
        QCOMPARE(verbosityToString(v, true), word);
        QCOMPARE(verbosityToLev(v), lev);
        QCOMPARE(verbosityToVpnVerb(v), verb);
        QCOMPARE(moduleString(static_cast<Module>(value)), module);
    }

    void stringToVerbosity_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("High") << "High" << 0;
        QTest::newRow("Normal") << "Normal" << 1;
        QTest::newRow("Low") << "Low" << 2;
        QTest::newRow("lower case") << "high" << 2;
        QTest::newRow("translated") << "Hoch" << 2;
        QTest::newRow("empty") << "" << 2;
    }

    void stringToVerbosity()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(int(ORVO::stringToVerbosity(text)), value);
    }

    void directories()
    {
        orvotest::TestEnv env;
        QCOMPARE(getAppDataDir(), env.dataDir());
        QVERIFY(getAppDataDir().endsWith(org() + QStringLiteral("/BastivaConnectApp")));
        QCOMPARE(getCustomLogoPath(), env.dataDir() + QStringLiteral("/ls-logo.png"));
        QCOMPARE(getCustomLogoSmallPath(), env.dataDir() + QStringLiteral("/ls-logo-small.png"));
        QCOMPARE(getResourcesDir(), QCoreApplication::applicationDirPath() + "/../Resources");
        QCOMPARE(getGenericAppDataDir(), env.root() + "/Library/Application Support/");
        const QByteArray home = qgetenv("HOME");
        qunsetenv("HOME");
        QCOMPARE(getGenericAppDataDir(), QStringLiteral("/Library/Application Support/"));
        qputenv("HOME", home);
    }

    void settingsSetSync()
    {
        orvotest::TestEnv env;
        QSettings settings(org(), QStringLiteral("BastivaConnectApp"));
        orvotest::LogCapture log;
        QCOMPARE(utils::settingsSetSync(nullptr, "k", 1), -1);
        QCOMPARE(utils::settingsSetSync(&settings, QString(), 1), -1);
        QCOMPARE(log.linesAt("ERROR").size(), 2);
        // Private from the start (it may hold the proxy password); a file
        // that predates the rule is tightened.
        const auto mode = [&settings]() {
            return QFile::permissions(settings.fileName()) & 0x7077;
        };
        const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        // A crashed writer's scratch files go; a running one's stay, and so
        // does a file of the user's that looks alike.
        const QString dead = settings.fileName() + ".999999999-1.new.AbC123";
        const QString running = settings.fileName() + QString(".%1-1.new").arg(::getppid());
        const QString own = settings.fileName() + ".20240501-1.orig";
        QVERIFY(orvotest::writeFile(dead, "proxyPass=old") && orvotest::writeFile(running, "") &&
                orvotest::writeFile(own, ""));
        QCOMPARE(utils::settingsSetSync(&settings, "user", QStringLiteral("bob")), 0);
        QVERIFY(!QFileInfo::exists(dead) && QFileInfo::exists(running) && QFileInfo::exists(own));
        QCOMPARE(mode(), owner);
        QFile::setPermissions(settings.fileName(), owner | QFileDevice::ReadOther);
        QCOMPARE(utils::settingsSetSync(&settings, "port", QStringLiteral("8080")), 0);
        QCOMPARE(mode(), owner);
        // Equal after conversion to the new value's type: nothing written.
        const QDateTime unchanged = QFileInfo(settings.fileName()).lastModified();
        QCOMPARE(utils::settingsSetSync(&settings, "port", 8080), 0);
        QCOMPARE(QFileInfo(settings.fileName()).lastModified(), unchanged);
        QSettings reader(org(), QStringLiteral("BastivaConnectApp"));
        QCOMPARE(reader.value("port").toString(), QStringLiteral("8080"));
        QString why;
        // A value that the file could not be read back with: nothing written.
        QCOMPARE(utils::settingsSetSync(&settings, "big", QString((16 << 20) - 20, 'x'), &why), -1);
        QCOMPARE(why, "the settings file " + settings.fileName() + " would grow past 16 MiB");
        QCOMPARE(QFileInfo(settings.fileName()).lastModified(), unchanged);
        // A change of the store's own, not yet saved, used to wait for ever.
        settings.setValue("own", 1);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(utils::settingsSetSync(&settings, "lang", "de"), 0);
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(orvotest::readFile(settings.fileName()).count("own=1\n"), 1);
        // The folder's sync after the rename fails the write too.
        static int syncs = 0;
        libvelcor::utils::setDirSyncHook([](const QString&) { return ++syncs == 2 ? EIO : 0; });
        QCOMPARE(utils::settingsSetSync(&settings, "port", 443, &why), -1);
        libvelcor::utils::setDirSyncHook(nullptr);
        QCOMPARE(why, "cannot write the settings file " + settings.fileName() + ": " +
                          utils::errnoText(EIO));
        const QDateTime before = QFileInfo(settings.fileName()).lastModified();
        // Another writer holds Qt's lock of the file: the write waits for
        // it, then fails and says why, a change of the store's own held
        // (Qt's write of which waited half a minute) included.
        QLockFile held(settings.fileName() + ".lock");
        QVERIFY(held.lock());
        settings.setValue("pending", 1);
        clock.restart();
        QCOMPARE(utils::settingsSetSync(&settings, "port", 443, &why), -1);
        QCOMPARE(why, "the settings file " + settings.fileName() + " is in use by another program");
        QVERIFY(clock.elapsed() < 20000);
        QCOMPARE(QFileInfo(settings.fileName()).lastModified(), before);
    }

    // Whatever a user or an earlier fault left as the settings file, a
    // write works or says why.
    void settingsFileAsFound_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("says"); // why it fails (%1 the file), or empty
        QTest::newRow("cut inside a key")
            << "file" << QByteArray("[General]\nlang=de\nproxyPa") << "";
        QTest::newRow("keys Qt writes otherwise")
            << "file" << QByteArray("/a=1\n[/g]\nb=2\n") << "";
        QTest::newRow("written as UTF-8") << "utf8" << QByteArray("lang=de\n") << "";
        QTest::newRow("link into a missing folder") << "link" << QByteArray() << "";
        QTest::newRow("a folder") << "folder" << QByteArray()
                                  << "the settings file %1 is a directory, not a file";
    }

    void settingsFileAsFound()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        orvotest::TestEnv env;
        const QString path = QSettings(org(), QStringLiteral("BastivaConnectApp")).fileName();
        QVERIFY(QDir().mkpath(kind == "folder" ? path : QFileInfo(path).absolutePath()));
        if (kind == "link")
            QVERIFY(QFile::link(env.root() + "/gone/real.conf", path));
        else if (kind != "folder")
            QVERIFY(orvotest::writeFile(path, bytes));
        QSettings settings(org(), QStringLiteral("BastivaConnectApp"));
        if (kind == "utf8")
            settings.setIniCodec("UTF-8");
        orvotest::LogCapture log;
        QCOMPARE(utils::settingsMakePrivate(&settings), says.isEmpty() ? 0 : -1);
        QString why;
        const QString city = QStringLiteral("Z\u00fcrich");
        QCOMPARE(utils::settingsSetSync(&settings, "lang", city, &why), says.isEmpty() ? 0 : -1);
        QCOMPARE(why, says.isEmpty() ? QString() : says.arg(path));
        QCOMPARE(log.linesAt("ERROR").isEmpty(), says.isEmpty());
        QCOMPARE(settings.value("lang").toString(), says.isEmpty() ? city : QString());
    }

    // On a full disk Qt's write of the store can leave a short file and
    // report nothing, or refuse it and keep the change for later: the write
    // fails, and neither then nor later does the file change.
    void settingsOnFullDisk_data()
    {
        QTest::addColumn<QString>("kind"); // the settings file: file, link, missing
        QTest::addColumn<int>("free");     // blocks left free
        QTest::newRow("Qt's write short") << "file" << 3;
        QTest::newRow("Qt refuses") << "file" << 1;
        QTest::newRow("no room for a copy") << "file" << 0;
        QTest::newRow("symbolic link") << "link" << 3;
        QTest::newRow("first write") << "missing" << 3;
    }

    void settingsOnFullDisk()
    {
        QFETCH(QString, kind);
        QFETCH(int, free);
        orvotest::TestEnv env;
        auto settings = std::make_unique<QSettings>(org(), QStringLiteral("BastivaConnectApp"));
        const QString path = settings->fileName();
        const QString folder =
            kind == "link" ? env.root() + "/small" : QFileInfo(path).absolutePath();
        orvotest::SmallDisk disk(folder);
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.whyNot()));
        const QString file = kind == "link" ? folder + "/real.conf" : path;
        if (kind == "link")
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()) && QFile::link(file, path));
        if (kind != "missing")
            QCOMPARE(utils::settingsSetSync(settings.get(), "proxyPass", QStringLiteral("s")), 0);
        const QByteArray before = orvotest::readFile(file);
        QVERIFY(orvotest::writeFile(folder + "/spare", QByteArray(2 * disk.BlockSize, 's')));
        QVERIFY(disk.fill());
        if (free > 1)
            QVERIFY(QFile::remove(folder + "/spare"));
        QFile last(folder + "/last");
        if (free == 0)
            QVERIFY(last.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                    last.write(QByteArray(disk.BlockSize, 'l')) == disk.BlockSize);
        orvotest::LogCapture log;
        const QString big(3 * disk.BlockSize, 'x');
        QString why;
        QCOMPARE(utils::settingsSetSync(settings.get(), "proxyPass", big, &why), -1);
        QCOMPARE(log.linesAt("ERROR").size(), 1);
        // The system's reason: Qt's text where Qt's write failed, the C library's elsewhere.
        QString qtReason = qt_error_string(ENOSPC);
        qtReason[0] = qtReason.at(0).toLower();
        const QString prefix = "cannot write the settings file " + file + ": ";
        QVERIFY2(why == prefix + ORVO::utils::errnoText(ENOSPC) || why == prefix + qtReason,
                 qPrintable(why));
        // Nothing waits to be written unchecked: not when another store of
        // the file is made, not when the store goes.
        QSettings second(org(), QStringLiteral("BastivaConnectApp"));
        settings.reset();
        QCOMPARE(QFileInfo::exists(file), kind != "missing");
        QCOMPARE(orvotest::readFile(file), before);
        QCOMPARE(QFileInfo(path).isSymLink(), kind == "link");
        QCOMPARE(second.value("proxyPass"), kind == "missing" ? QVariant() : QVariant("s"));
        QCOMPARE(
            QDir(folder).entryList({QFileInfo(file).fileName() + ".*"}, QDir::Files | QDir::Hidden),
            QStringList());
    }

    void loadStyleSheet()
    {
        orvotest::TestEnv env;
        const QString path = env.root() + "/a.css";
        QVERIFY(orvotest::writeFile(path, QByteArray("QLabel { color: red; }\0hidden", 29)));
        QCOMPARE(utils::loadStyleSheet(path), QStringLiteral("QLabel { color: red; }"));
        // Cached: a change on disk is not read again.
        QVERIFY(orvotest::writeFile(path, "changed"));
        QCOMPARE(utils::loadStyleSheet(path), QStringLiteral("QLabel { color: red; }"));

        orvotest::LogCapture log;
        const QString missing = env.root() + "/missing.css";
        QCOMPARE(utils::loadStyleSheet(missing), QString());
        QCOMPARE(log.linesAt("ERROR").size(), 2);
        QVERIFY(log.contains('"' + missing + " does not exist\""));
        QVERIFY(log.contains("\"Can't open " + missing + '"'));
        log.clear();
        QCOMPARE(utils::loadStyleSheet(missing), QString());
        QVERIFY(log.lines().isEmpty());
    }

    void formatting_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("human");
        QTest::newRow("59 s") << 59 << "00:00:59";
        QTest::newRow("a day less one") << 86399 << "23:59:59";
        QTest::newRow("one day") << 86400 << "1 day(s), 00:00:00";
        QTest::newRow("days and hours") << 3 * 86400 + 3661 << "3 day(s), 01:01:01";
    }

    void formatting()
    {
        QFETCH(int, seconds);
        QFETCH(QString, human);
        QString expected = human;
        // Without a catalogue Qt substitutes %n in the source text.
        QCOMPARE(utils::seconds2Human(seconds), expected);
    }

    void smallHelpers()
    {
        QCOMPARE(utils::stringPad(5, 2), QStringLiteral("05"));
        QCOMPARE(utils::stringPad(123, 2), QStringLiteral("123"));
        QCOMPARE(utils::stringPad(-5, 3), QStringLiteral("0-5"));
        QCOMPARE(utils::stringPad(7, -3), QStringLiteral("700"));
        QCOMPARE(utils::remapQueryItem(QStringLiteral("a+b%2Bc++")), QStringLiteral("a b%2Bc  "));
        QCOMPARE(utils::pid2Int(Q_INT64_C(0x100000007)), 7);
        QVERIFY(!utils::caseInsensitiveLessThan("Abc", "aBC"));
        QVERIFY(!utils::caseInsensitiveLessThan("aBC", "Abc"));
        QVERIFY(utils::caseInsensitiveLessThan("alpha", "Beta"));
        QCOMPARE(utils::resolvePath("~/x/../y"), QStringLiteral("~/x/../y"));
    }

    void updateRepolishes()
    {
        QLabel label;
        label.setStyleSheet(QStringLiteral("QLabel[state=\"on\"] { color: rgb(1, 2, 3); }"));
        label.ensurePolished();
        const QColor unstyled = label.palette().color(QPalette::WindowText);
        QVERIFY(unstyled != QColor(1, 2, 3));
        label.setProperty("state", "on");
        // A dynamic property alone does not restyle; update() does.
        utils::update(&label);
        QCOMPARE(label.palette().color(QPalette::WindowText), QColor(1, 2, 3));
        utils::update(nullptr);
    }
};

ORVO_TEST_GUI_MAIN(TestUtils)
#include "tst_utils.moc"
