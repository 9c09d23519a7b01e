#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QMovie>
#include <QRegularExpression>
#include <QResource>
#include <QTranslator>

#include "common/common.h"
#include "common/utils.h"
#include "main/startup.h"
#include "testmain.h"

// The embedded bundles, the brand bundle under the "rc" search path and
// the five embedded catalogues.
class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void catalogues_data();
    void catalogues();
    void pluralForms_data();
    void pluralForms();
    void loadTranslations_data();
    void loadTranslations();
    void foundationTexts_data();
    void foundationTexts();
    void brandFirst_data();
    void brandFirst();
    void images();
    void styleSheets();
};

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString sourceDir()
{
    return QString::fromLocal8Bit(qgetenv("ORVO_SOURCE_DIR"));
}

} // namespace

void TestResources::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(zelstyle);
    const QString rcc = QString::fromLocal8Bit(qgetenv("ORVO_BUNDLE_DIR")) + "/Resources/gui.rcc";
    QVERIFY2(QResource::registerResource(rcc, QStringLiteral("/rc")), qPrintable(rcc));
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
}

void TestResources::catalogues_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("translation");
    QTest::newRow("lang_en") << ":/lang_en.qm"
                             << "ORVO::Gui"
                             << "Warning"
                             << "Warning";
    QTest::newRow("lang_de") << ":/lang_de.qm"
                             << "ORVO::Gui"
                             << "Error"
                             << "Fehler";
    QTest::newRow("lang_it") << ":/lang_it.qm"
                             << "ORVO::Gui"
                             << "Error"
                             << "Errore";
    QTest::newRow("lang_de QObject") << ":/lang_de.qm"
                                     << "QObject"
                                     << "Missing configuration file: "
                                     << "Konfigurationsdatei fehlt: ";
    QTest::newRow("lang_it umlaut-free UTF-8") << ":/lang_it.qm"
                                               << "ORVO::Manager"
                                               << "Do you still want to continue?"
                                               << "Continuare comunque?";
    QTest::newRow("lang_de main window") << ":/lang_de.qm"
                                         << "MainWindow"
                                         << "SIGN IN"
                                         << "ANMELDEN";
    QTest::newRow("lang_it plugin window") << ":/lang_it.qm"
                                           << "ORVO::PluginWindow"
                                           << "Logout"
                                           << "Esci";
    // Qt's own texts, such as the standard buttons of every message box.
    QTest::newRow("qt_de") << ":/qt_de.qm"
                           << "QPlatformTheme"
                           << "Cancel"
                           << "Abbrechen";
    QTest::newRow("qt_it") << ":/qt_it.qm"
                           << "QPlatformTheme"
                           << "Cancel"
                           << "Annulla";
    // English shows the source texts of the module and verbosity names:
    // its catalogue carries none of them.
    QTest::newRow("lang_en without verbosity") << ":/lang_en.qm"
                                               << "QObject"
                                               << "Low"
                                               << "";
    QTest::newRow("lang_en without module") << ":/lang_en.qm"
                                            << "QObject"
                                            << "Network Manager"
                                            << "";
    QTest::newRow("lang_de tray") << ":/lang_de.qm"
                                  << "ORVO::SystemTray"
                                  << "Quit"
                                  << "Beenden";
    QTest::newRow("lang_it service state") << ":/lang_it.qm"
                                           << "libvelcor"
                                           << "Connected"
                                           << "Connesso";
}

// Texts that count take the form their number asks for, in every language.
void TestResources::pluralForms_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("translation");
    const QString seconds = "%1 seconds";
    const QString files = "%n file(s) loaded";
    const QString autoaccept = "Allow action execution? (Autoaccept in %1 seconds)";
    QTest::newRow("en one second") << ":/lang_en.qm"
                                   << "AdvForm" << seconds << 1 << "%1 second";
    QTest::newRow("en seconds") << ":/lang_en.qm"
                                << "AdvForm" << seconds << 60 << "%1 seconds";
    QTest::newRow("de one second") << ":/lang_de.qm"
                                   << "AdvForm" << seconds << 1 << "%1 Sekunde";
    QTest::newRow("it seconds") << ":/lang_it.qm"
                                << "AdvForm" << seconds << 2 << "%1 secondi";
    QTest::newRow("en one file") << ":/lang_en.qm"
                                 << "ProfilesDialog" << files << 1 << "%n file loaded";
    QTest::newRow("de files") << ":/lang_de.qm"
                              << "ProfilesDialog" << files << 3 << "%n Dateien geladen";
    QTest::newRow("it one file") << ":/lang_it.qm"
                                 << "ProfilesDialog" << files << 1 << "%n file caricato";
    QTest::newRow("en last second")
        << ":/lang_en.qm"
        << "ORVO::Gui" << autoaccept << 1 << "Allow action execution? (Autoaccept in %1 second)";
    QTest::newRow("de last second")
        << ":/lang_de.qm"
        << "ORVO::Gui" << autoaccept << 1 << "Aktion erlauben? (Automatisch erlaubt in %1 Sekunde)";
}

void TestResources::pluralForms()
{
    QFETCH(QString, file);
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(int, n);
    QFETCH(QString, translation);
    QTranslator translator;
    QVERIFY2(translator.load(file), qPrintable(file));
    QCOMPARE(translator.translate(context.toLatin1(), source.toUtf8(), nullptr, n), translation);
}

void TestResources::catalogues()
{
    QFETCH(QString, file);
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, translation);
    QTranslator translator;
    QVERIFY2(translator.load(file), qPrintable(file));
    QCOMPARE(translator.translate(context.toLatin1(), source.toUtf8()), translation);
}

void TestResources::loadTranslations_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<int>("failures");
    QTest::addColumn<QString>("gui");
    QTest::newRow("en") << "en" << 0 << "Error";
    QTest::newRow("de") << "de" << 0 << "Fehler";
    QTest::newRow("it") << "it" << 0 << "Errore";
    // Both files are tried for a language that is not there, and for none.
    QTest::newRow("fr") << "fr" << 2 << "Error";
    QTest::newRow("empty") << "" << 2 << "Error";
}

void TestResources::loadTranslations()
{
    QFETCH(QString, lang);
    QFETCH(int, failures);
    QFETCH(QString, gui);
    QTranslator qt;
    QTranslator app;
    QCOMPARE(ORVO::loadTranslations(lang, qt, app, false), failures);
    QCOMPARE(QCoreApplication::translate("ORVO::Gui", "Error"), gui);
    // "en" leaves Qt's own catalogue out.
    QCOMPARE(qt.isEmpty(), lang == QLatin1String("en") || failures > 0);
}

void TestResources::foundationTexts_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("oneDay");
    QTest::addColumn<QString>("twoDays");
    QTest::newRow("en") << ":/lang_en.qm"
                        << "Low"
                        << "Network Manager"
                        << "1 day, 00:00:00"
                        << "2 days, 01:00:00";
    QTest::newRow("de") << ":/lang_de.qm"
                        << "Niedrig"
                        << "Netzwerkmanager"
                        << "1 Tag, 00:00:00"
                        << "2 Tage, 01:00:00";
    QTest::newRow("it") << ":/lang_it.qm"
                        << "Bassa"
                        << "Manager di rete"
                        << "1 giorno, 00:00:00"
                        << "2 giorni, 01:00:00";
}

void TestResources::foundationTexts()
{
    QFETCH(QString, file);
    QFETCH(QString, low);
    QFETCH(QString, module);
    QFETCH(QString, oneDay);
    QFETCH(QString, twoDays);
    QTranslator translator;
    QVERIFY(translator.load(file));
    QCoreApplication::installTranslator(&translator);
    QCOMPARE(ORVO::verbosityToString(ORVO::VerbosityLow, true), low);
    // The stored form never changes with the language.
    QCOMPARE(ORVO::verbosityToString(ORVO::VerbosityLow, false), QStringLiteral("Low"));
    QCOMPARE(ORVO::moduleString(ORVO::ModuleNetworkManager), module);
    QCOMPARE(ORVO::utils::seconds2Human(86400), oneDay);
    QCOMPARE(ORVO::utils::seconds2Human(2 * 86400 + 3600), twoDays);
    QCoreApplication::removeTranslator(&translator);
}

void TestResources::brandFirst_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("source");
    QTest::newRow("brand banner") << "banner.png"
                                  << "resources/brand/banner.png";
    QTest::newRow("brand tray icon") << "icon-idle.png"
                                     << "resources/brand/icon-idle.png";
    QTest::newRow("embedded box image") << "messagebox-warn.png"
                                        << "resources/images/messagebox-warn.png";
    QTest::newRow("embedded arrow") << "login-arrow.png"
                                    << "resources/images/login-arrow.png";
}

void TestResources::brandFirst()
{
    QFETCH(QString, name);
    QFETCH(QString, source);
    const QByteArray expected = fileBytes(sourceDir() + "/" + source);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(fileBytes("rc:" + name), expected);
}

void TestResources::images()
{
    const QStringList pngs = {"banner.png",           "icon-connected.png",  "icon-connecting.png",
                              "icon-error.png",       "icon-idle.png",       "login-arrow.png",
                              "logo-small.png",       "messagebox-crit.png", "messagebox-info.png",
                              "messagebox-quest.png", "messagebox-warn.png", "org-logo.png",
                              "refresh-off.png",      "refresh-on.png",      "wallpaper.png"};
    for (const QString& name : pngs) {
        QVERIFY2(!QImage(":/" + name).isNull(), qPrintable(name));
        QVERIFY2(!QImage("rc:" + name).isNull(), qPrintable(name));
    }
    for (const QString& name :
         {QStringLiteral("refresh-on.gif"), QStringLiteral("refresh-off.gif")}) {
        QMovie movie("rc:" + name);
        QVERIFY2(movie.isValid(), qPrintable(name));
        QCOMPARE(movie.frameCount(), 8);
        QImageReader frames("rc:" + name);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(frames.read().size(), QSize(20, 20));
    }
}

// Every image a style sheet names is embedded.
void TestResources::styleSheets()
{
    int urls = 0;
    for (const QString& sheet :
         {QStringLiteral(":/main.css"), QStringLiteral(":/messagebox.css")}) {
        const QString text = ORVO::utils::loadStyleSheet(sheet);
        QVERIFY2(!text.isEmpty(), qPrintable(sheet));
        QRegularExpressionMatchIterator it =
            QRegularExpression(QStringLiteral("url\\(([^)]+)\\)")).globalMatch(text);
        while (it.hasNext()) {
            const QString path = it.next().captured(1);
            QVERIFY2(!QImage(path).isNull(), qPrintable(path));
            ++urls;
        }
    }
    QVERIFY(urls > 0);
}

ORVO_TEST_GUI_MAIN(TestResources)
#include "tst_resources.moc"
