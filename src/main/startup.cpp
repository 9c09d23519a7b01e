#include "ORVO/startup.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QResource>
#include <QSettings>
#include <QTranslator>

#include <cstdio>
#include <cstring>
#include <memory>

#include "ORVO/application.h"
#include "ORVO/common.h"
#include "ORVO/config.h"
#include "ORVO/gui.h"
#include "ORVO/log.h"
#include "ORVO/manager.h"
#include "ORVO/messagebox.h"
#include "libvelcor/logger.h"
#include "signalwatcher.h"

namespace {

const char kAppName[] = "BastivaConnectApp";

// 431 characters: every line padded to 71 with blanks, descriptions from
// the 40th column.
const char kUsage[] = "\n"
                      "Usage: %s [MODE]                                                     \n"
                      "                                                                       \n"
                      "          help                         this help                       \n"
                      "          gui                          gui mode                        \n"
                      "          min                          minimal gui mode (systray only) \n"
                      "          cmd                          command-line mode               \n";

void printErr(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// A box in the GUI modes; without windows, a line on standard error.
void reportCritical(bool withGui, const QString& title, const QString& text)
{
    if (withGui)
        ORVO::MessageBox::critical(nullptr, title, text, QMessageBox::Ok, QMessageBox::NoButton);
    else
        printErr(title + QStringLiteral(": ") + text);
}

void reportWarning(bool withGui, const QString& title, const QString& text)
{
    if (withGui)
        ORVO::MessageBox::warning(nullptr, title, text, QMessageBox::Ok, QMessageBox::NoButton);
    else
        printErr(title + QStringLiteral(": ") + text);
}

int loadOne(const QString& file, QTranslator& translator, bool withGui)
{
    LOG_DEBUG << "Language Resource: " << file;
    if (translator.load(file)) {
        QCoreApplication::installTranslator(&translator);
        return 0;
    }
    // The message is not translated: no catalogue may be there to do it.
    reportWarning(withGui, QObject::tr("Fatal error"),
                  QStringLiteral("Failed loading translation resource: %1!").arg(file));
    return 1;
}

// g_cfg points at the road's configuration only while it exists.
struct ConfigPublication
{
    ~ConfigPublication() { g_cfg = nullptr; }
};

} // namespace

bool hasArg(int argc, char** argv, const char* word)
{
    for (int i = 0; i < argc; ++i) {
        if (argv[i] && std::strcmp(argv[i], word) == 0)
            return true;
    }
    return false;
}

bool hasArgNext(int argc, char** argv, const char* word, char** next)
{
    for (int i = 0; i < argc; ++i) {
        if (argv[i] && std::strcmp(argv[i], word) == 0) {
            if (i + 1 >= argc)
                return false;
            *next = argv[i + 1];
            return true;
        }
    }
    return false;
}

const char* usageText()
{
    return kUsage;
}

void usage(int argc, char** argv)
{
    const char* name = argc > 0 && argv[0] ? argv[0] : "";
    std::fprintf(stderr, kUsage, name);
    std::fflush(stderr);
}

StartMode modeFromArgs(int argc, char** argv)
{
    if (hasArg(argc, argv, "help"))
        return StartMode::Help;
    if (hasArg(argc, argv, "gui"))
        return StartMode::FullGui;
    if (hasArg(argc, argv, "min"))
        return StartMode::MinimalGui;
    if (hasArg(argc, argv, "cmd"))
        return StartMode::CommandLine;
    return StartMode::None;
}

StartMode modeFromSetting(const QVariant& mode)
{
    if (mode.isValid() && mode.toString() == QLatin1String("minimal"))
        return StartMode::MinimalGui;
    return StartMode::FullGui;
}

QVariant readSystemMode()
{
    QSettings system(QSettings::SystemScope, ORVO::org(), QLatin1String(kAppName));
    return system.value(QStringLiteral("mode"));
}

int loadTranslations(const QString& lang, QTranslator& qtTranslator, QTranslator& appTranslator,
                     bool withGui)
{
    int failures = 0;
    if (lang != QLatin1String("en"))
        failures +=
            loadOne(QStringLiteral(":/qt_") + lang + QStringLiteral(".qm"), qtTranslator, withGui);
    failures +=
        loadOne(QStringLiteral(":/lang_") + lang + QStringLiteral(".qm"), appTranslator, withGui);
    return failures;
}

int runClient(int argc, char** argv, bool withGui, bool minimal)
{
    // 1. Embedded images, style sheets and style images.
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(zelstyle);

    // 2, 3. The data location derives from both names.
    QCoreApplication::setOrganizationName(ORVO::org());
    QCoreApplication::setApplicationName(QLatin1String(kAppName));

    // 4. The executable's real directory: argv[0] is bare when the program
    // was started through PATH.
    ORVO::Config config(ORVO::getBinDir());
    ConfigPublication publication;

    // 5.
    ORVO::Application app(argc, argv, &config, withGui);
    ORVO::registerMetaTypes();

    // 6, 7.
    libvelcor::Logger logger;
    logger.setPath(ORVO::getLogDir() + QStringLiteral("/") + QStringLiteral("vtx-log.txt"));
    if (logger.open() != 0) {
        LOG_ERROR;
        return 1;
    }

    // 8, 9. Images named "rc:<name>" come from the brand bundle first.
    if (!QResource::registerResource(ORVO::getResourcesDir() + QStringLiteral("/gui.rcc"),
                                     QStringLiteral("/rc")))
        LOG_ERROR << "Error registering brand resources from file gui.rcc";
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});

    // 10.
    LOG_DEBUG << "[Main] versionInfo: " << ORVO::versionInfo() << " rev: " << ORVO::revision();
    LOG_DEBUG << "[Main] withGui: " << withGui;
    LOG_DEBUG << "[Main] minimal: " << minimal;
    LOG_DEBUG << "[Main] resources: " << ORVO::getResourcesDir();

    // 11. Quitting is explicit (the tray's Quit, or a signal without windows).
    if (withGui)
        QApplication::setQuitOnLastWindowClosed(false);
    if (app.start() != 0) {
        LOG_ERROR;
        return -1;
    }

    // 12. No translator is installed yet: these texts show in English.
    const QString confPath = config.confFile.absoluteFilePath();
    if (!config.valid || !QFile::exists(confPath)) {
        reportCritical(withGui, QObject::tr("Fatal error"),
                       QObject::tr("Missing configuration file: ") + confPath);
        return 1;
    }

    // 13 - 15.
    if (config.loadFromFile() != 0) {
        LOG_ERROR;
        return -1;
    }
    g_cfg = &config;
    LOG_DEBUG << config.dump();

    // 16. Qt 5 reads every tr() source text as UTF-8; nothing to set.

    // 17 - 19.
    QTranslator qtTranslator;
    QTranslator appTranslator;
    const QString lang =
        config.settings->value(QStringLiteral("lang"), QStringLiteral("en")).toString();
    loadTranslations(lang, qtTranslator, appTranslator, withGui);

    // 20.
    ORVO::Gui gui(&config, app.withGui, minimal);
    if (!gui.isValid()) {
        LOG_ERROR;
        return 1;
    }

    // 21 - 23.
    ORVO::Manager manager(&config);
    if (!manager.valid) {
        LOG_ERROR;
        return 1;
    }
    manager.gui = &gui;
    manager.logger = &logger;
    if (manager.run() != 0) {
        LOG_ERROR;
        return 1;
    }

    // 24.
    if (gui.run() != 0) {
        LOG_ERROR;
        return 1;
    }

    // Without windows nobody can pick Quit: SIGINT and SIGTERM take its path.
    std::unique_ptr<SignalWatcher> watcher;
    if (!withGui) {
        watcher = std::make_unique<SignalWatcher>();
        if (watcher->isValid())
            QObject::connect(watcher.get(), SIGNAL(quitRequested()), &gui, SLOT(quit()));
        else
            LOG_ERROR << "SIGINT and SIGTERM will end the program at once";
    }

    // 25, 26. Everything goes in reverse order of creation on return.
    LOG_DEBUG << "[Main] Starting main loop";
    const int rc = app.exec();
    LOG_DEBUG << "[Main] Exiting";
    return rc;
}
