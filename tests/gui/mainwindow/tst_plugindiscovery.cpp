#include <QApplication>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QtPlugin>

#include <functional>

#include "common/plugininterfaces.h"
#include "gui/mainwindow/plugindiscovery.h"
#include "logcapture.h"
#include "testconfigplugin.h"
#include "testenv.h"
#include "testloginplugin.h"
#include "testmain.h"

Q_IMPORT_PLUGIN(TestLoginPlugin)
Q_IMPORT_PLUGIN(TestConfigPlugin)

// Which plugins are found among static instances and plugin files, and
// which one wins when two of a type are there.
class TestPluginDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void staticPluginsFirstNoWidgets();
    void discovery_data();
    void discovery();
    void bogusFileLogged();
    void interfaceIds();
};

namespace {

// The roles of the objects a row passes as static instances.
enum Role { Login, Config, SecondLogin, Plain, Null };

QString pluginDir()
{
    return QStringLiteral(ORVO_TEST_PLUGIN_DIR);
}

} // namespace

// The static instances come in import order, login first, and making them
// made no widget.
void TestPluginDiscovery::staticPluginsFirstNoWidgets()
{
    const QObjectList instances = QPluginLoader::staticInstances();
    QCOMPARE(instances.size(), 2);
    QVERIFY(qobject_cast<TestLoginPlugin*>(instances.at(0)));
    QVERIFY(qobject_cast<TestConfigPlugin*>(instances.at(1)));
    QVERIFY(QApplication::allWidgets().isEmpty());
    // Asked again, the same objects.
    QCOMPARE(QPluginLoader::staticInstances(), instances);

    const ORVO::DiscoveredPlugins found = ORVO::discoverPlugins(instances, QString());
    QCOMPARE(found.loginPlugin, instances.at(0));
    QCOMPARE(found.configPlugin, instances.at(1));
}

void TestPluginDiscovery::discovery_data()
{
    QTest::addColumn<QList<int>>("statics");
    QTest::addColumn<QStringList>("files");
    // "" for none; "login", "second login" or "config" for a static
    // instance; an object name for a plugin file's object.
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("config");

    QTest::newRow("none") << QList<int>{} << QStringList{} << QString() << QString();
    QTest::newRow("login only") << QList<int>{Login} << QStringList{} << "login" << QString();
    QTest::newRow("portal only") << QList<int>{Config} << QStringList{} << QString() << "config";
    QTest::newRow("both") << QList<int>{Login, Config} << QStringList{} << "login"
                          << "config";
    QTest::newRow("other objects are passed over")
        << QList<int>{Null, Plain, Login, Plain, Config} << QStringList{} << "login"
        << "config";
    QTest::newRow("a later one of a type wins")
        << QList<int>{Login, Config, SecondLogin} << QStringList{} << "second login"
        << "config";
    QTest::newRow("a file replaces the built-in login plugin")
        << QList<int>{Login, Config} << QStringList{"app_testlogin.dll"} << "FileLoginPlugin"
        << "config";
    QTest::newRow("a file is the only login plugin")
        << QList<int>{Config} << QStringList{"app_testlogin.dll"} << "FileLoginPlugin"
        << "config";
    QTest::newRow("an unknown type changes nothing")
        << QList<int>{Login, Config} << QStringList{"app_typefive.dll"} << "login"
        << "config";
    QTest::newRow("a bogus file is skipped")
        << QList<int>{Login, Config} << QStringList{"app_bogus.dll"} << "login"
        << "config";
    QTest::newRow("bogus and good files")
        << QList<int>{Login} << QStringList{"app_bogus.dll", "app_testlogin.dll"}
        << "FileLoginPlugin" << QString();
    // Only names of the pattern are tried.
    QTest::newRow("other names are not tried")
        << QList<int>{Login} << QStringList{"testlogin.dll", "app_testlogin.so"} << "login"
        << QString();
}

void TestPluginDiscovery::discovery()
{
    QFETCH(QList<int>, statics);
    QFETCH(QStringList, files);
    QFETCH(QString, login);
    QFETCH(QString, config);

    TestLoginPlugin first;
    first.setObjectName(QStringLiteral("login"));
    TestLoginPlugin second;
    second.setObjectName(QStringLiteral("second login"));
    TestConfigPlugin portal;
    portal.setObjectName(QStringLiteral("config"));
    QObject plain;
    plain.setObjectName(QStringLiteral("plain"));
    QObjectList instances;
    for (int role : statics) {
        switch (role) {
        case Login:
            instances << &first;
            break;
        case SecondLogin:
            instances << &second;
            break;
        case Config:
            instances << &portal;
            break;
        case Plain:
            instances << &plain;
            break;
        default:
            instances << nullptr;
            break;
        }
    }

    QTemporaryDir dir;
    for (const QString& file : files) {
        const QString target = dir.path() + "/" + file;
        if (file.contains("bogus")) {
            QVERIFY(orvotest::writeFile(target, "MZ this is no plugin"));
        } else {
            const QString source =
                pluginDir() + "/" +
                (file.contains("typefive") ? "app_typefive.dll" : "app_testlogin.dll");
            QVERIFY2(QFile::copy(source, target), qPrintable(source));
        }
    }

    orvotest::LogCapture log;
    const ORVO::DiscoveredPlugins found = ORVO::discoverPlugins(instances, dir.path());
    QCOMPARE(found.loginPlugin ? found.loginPlugin->objectName() : QString(), login);
    QCOMPARE(found.configPlugin ? found.configPlugin->objectName() : QString(), config);
    // Each object comes with its interface, or neither is set.
    QCOMPARE(found.loginIface != nullptr, found.loginPlugin != nullptr);
    QCOMPARE(found.configIface != nullptr, found.configPlugin != nullptr);
    if (found.loginIface)
        QCOMPARE(found.loginIface->type(), 0);
    if (found.configIface)
        QCOMPARE(found.configIface->type(), 1);
    QCOMPARE(log.linesAt(QStringLiteral("ERROR")).size(), files.contains("app_bogus.dll") ? 1 : 0);
}

// One ERROR line naming the file and the loader's reason.
void TestPluginDiscovery::bogusFileLogged()
{
    QTemporaryDir dir;
    const QString bogus = dir.path() + "/app_bogus.dll";
    QVERIFY(orvotest::writeFile(bogus, QByteArray(4096, 'x')));
    orvotest::LogCapture log;
    const ORVO::DiscoveredPlugins found =
        ORVO::discoverPlugins(QPluginLoader::staticInstances(), dir.path());
    QVERIFY(found.loginPlugin);
    QVERIFY(found.configPlugin);
    const QStringList errors = log.linesAt(QStringLiteral("ERROR"));
    QCOMPARE(errors.size(), 1);
    QPluginLoader loader(bogus);
    QVERIFY(!loader.load());
    QVERIFY2(errors.first().endsWith("Error loading plugin \"" + loader.fileName() + "\": \"" +
                                     loader.errorString() + "\""),
             qPrintable(errors.first()));
}

// The controller reaches the plugins through qobject_cast, by interface id.
void TestPluginDiscovery::interfaceIds()
{
    TestLoginPlugin login;
    TestConfigPlugin portal;
    QObject* l = &login;
    QObject* p = &portal;
    QVERIFY(qobject_cast<ORVO::LoginGfxPluginInterface*>(l));
    QVERIFY(!qobject_cast<ORVO::ConfigGfxPluginInterface*>(l));
    QVERIFY(qobject_cast<ORVO::ConfigGfxPluginInterface*>(p));
    QVERIFY(!qobject_cast<ORVO::LoginGfxPluginInterface*>(p));
    QVERIFY(
        QByteArray(ORVO_LoginGfxPluginInterface_iid).endsWith(".ORVO.LoginGfxPluginInterface/1.0"));
    QVERIFY(QByteArray(ORVO_ConfigGfxPluginInterface_iid)
                .endsWith(".ORVO.ConfigGfxPluginInterface/1.0"));
}

ORVO_TEST_GUI_MAIN(TestPluginDiscovery)
#include "tst_plugindiscovery.moc"
