#include "main/startup.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QObject>
#include <QSettings>
#include <QStringList>
#include <QTranslator>

#include <cstring>
#include <memory>

#include "common/common.h"
#include "common/config.h"
#include "common/log.h"
#include "common/utils.h"
#include "gui/gui.h"
#include "gui/messagebox.h"
#include "libvelcor/logger.h"
#include "main/application.h"
#include "main/instancelock.h"
#include "main/signalwatcher.h"
#include "main/startupsteps.h"
#include "mgr/manager.h"
#include "profiles/connprofile.h"

namespace {

// 431 characters: every line padded to 71 with blanks, descriptions from
// the 40th column.
const char UsageText[] =
    "\n"
    "Usage: %s [MODE]                                                     \n"
    "                                                                       \n"
    "          help                         this help                       \n"
    "          gui                          gui mode                        \n"
    "          min                          minimal gui mode (systray only) \n"
    "          cmd                          command-line mode               \n";

// A box in the GUI modes; without windows, the lines on standard error.
void reportCritical(bool withGui, const QString& title, QStringList lines)
{
    if (withGui) {
        ORVO::MessageBox::critical(nullptr, title, lines.join(QLatin1Char('\n')), QMessageBox::Ok,
                                   QMessageBox::NoButton);
    } else {
        lines.first().prepend(title + QStringLiteral(": "));
        ORVO::utils::printErr(lines);
    }
}

void reportWarning(bool withGui, const QString& title, const QString& text)
{
    if (withGui)
        ORVO::MessageBox::warning(nullptr, title, text, QMessageBox::Ok, QMessageBox::NoButton);
    else
        ORVO::utils::printErr(title + QStringLiteral(": ") + text);
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

// The language the user chose, read before the configuration exists (the
// same user-scope store).
QString userLanguage()
{
    QSettings settings(ORVO::org(), QLatin1String(ORVO::ApplicationId));
    return settings.value(QStringLiteral("lang"), QStringLiteral("en")).toString();
}

// A second client of the same user ends here, before it touches the
// configuration or the log: a line on standard error, and a box in the GUI
// modes, both in the user's language when its catalogue loads.
int reportNoLock(int argc, char** argv, bool withGui, const ORVO::InstanceLock& lock)
{
    static const char RunningText[] =
        QT_TRANSLATE_NOOP("QObject", "%1 is already running for this user.");
    static const char ProcessText[] = QT_TRANSLATE_NOOP("QObject", "(process %1)");
    const QString lang = userLanguage();
    QTranslator appTranslator;
    QTranslator qtTranslator;
    const bool loaded =
        appTranslator.load(QStringLiteral(":/lang_") + lang + QStringLiteral(".qm"));
    auto translate = [&](const char* source) {
        const QString translated = loaded ? appTranslator.translate("QObject", source) : QString();
        return translated.isEmpty() ? QString::fromLatin1(source) : translated;
    };
    QString title;
    QString text;
    if (lock.heldElsewhere()) {
        title = ORVO::app();
        text = translate(RunningText).arg(ORVO::app());
        if (lock.ownerPid() > 0)
            text += QLatin1Char(' ') + translate(ProcessText).arg(lock.ownerPid());
    } else {
        title = translate(QT_TRANSLATE_NOOP("QObject", "Fatal error"));
        text = QStringLiteral("Cannot start: ") + lock.errorString();
    }
    ORVO::utils::printErr(title + QStringLiteral(": ") + text);
    if (withGui) {
        ORVO::Application app(argc, argv, nullptr, withGui);
        // Qt's own texts (the box's button) in the same language.
        if (lang != QLatin1String("en") &&
            qtTranslator.load(QStringLiteral(":/qt_") + lang + QStringLiteral(".qm")))
            QCoreApplication::installTranslator(&qtTranslator);
        if (lock.heldElsewhere())
            ORVO::MessageBox::information(nullptr, title, text, QMessageBox::Ok,
                                          QMessageBox::NoButton);
        else
            ORVO::MessageBox::critical(nullptr, title, text, QMessageBox::Ok,
                                       QMessageBox::NoButton);
    }
    return 1;
}

// g_cfg points at the road's configuration only while it exists.
struct ConfigPublication
{
    ~ConfigPublication() { g_cfg = nullptr; }
};

} // namespace

// Embedded images, style sheets and style images. Q_INIT_RESOURCE names a
// function of the global namespace, so it cannot be used inside ORVO.
static void initEmbeddedResources()
{
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(zelstyle);
}

namespace ORVO {

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
    return UsageText;
}

void usage(int argc, char** argv)
{
    // The name is the caller's choice: it reaches the terminal escaped, as
    // any text from outside does.
    const QString name = argc > 0 && argv[0] ? QString::fromLocal8Bit(argv[0]) : QString();
    QStringList lines = QString::fromLatin1(UsageText).split(QLatin1Char('\n'));
    // The text ends with a line break, which printErr writes after each line.
    lines.removeLast();
    lines.replaceInStrings(QLatin1String("%s"), name);
    ORVO::utils::printErr(lines);
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
    QSettings system(QSettings::SystemScope, ORVO::org(), QLatin1String(ORVO::ApplicationId));
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

int runClient(int argc, char** argv, bool withGui, bool minimal, const QString& settingsProblem)
{
    initEmbeddedResources();

    // Identity: the data location derives from both names.
    QCoreApplication::setOrganizationName(ORVO::org());
    QCoreApplication::setApplicationName(QLatin1String(ORVO::ApplicationId));

    // One client per user, held until everything below is gone again.
    ORVO::InstanceLock instanceLock(ORVO::getAppDataDir());
    if (instanceLock.acquire() != 0)
        return reportNoLock(argc, argv, withGui, instanceLock);

    // Configuration, found beside the executable's real directory: argv[0] is bare when the program
    // was started through PATH.
    ORVO::Config config(ORVO::getBinDir());
    ConfigPublication publication;
    // The file log, opened once the application object is there; it goes after it, so that every
    // line until the program ends is in the file: the sign-out on the way out, the application's
    // own end.
    libvelcor::Logger logger;

    // The application object, and the types the signals carry.
    ORVO::Application app(argc, argv, &config, withGui);
    ORVO::registerMetaTypes();
    ORVO::registerProfileMetaTypes();

    // The file log in the data location.
    QString why;
    if (ORVO::openFileLog(logger,
                          ORVO::getLogDir() + QStringLiteral("/") + QStringLiteral("vtx-log.txt"),
                          why) != 0) {
        LOG_ERROR << "[Main] " << why.toUtf8().constData();
        return 1;
    }
    if (!settingsProblem.isEmpty())
        LOG_ERROR << "[Main] " << settingsProblem.toUtf8().constData();
    // What the configuration had to say before there was a file log.
    for (const QString& notice : config.notices)
        LOG_NOTICE << "[Config] " << notice.toUtf8().constData();

    // The brand bundle: images named "rc:<name>" come from the brand bundle first. Unmounted on
    // the way out, after everything that shows its images.
    ORVO::BrandBundle brandBundle(ORVO::getResourcesDir() + QStringLiteral("/gui.rcc"),
                                  QStringLiteral("/rc"));
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});

    // Who is starting, and how.
    LOG_DEBUG << "[Main] versionInfo: " << ORVO::versionInfo() << " rev: " << ORVO::revision();
    LOG_DEBUG << "[Main] withGui: " << withGui;
    LOG_DEBUG << "[Main] minimal: " << minimal;
    LOG_DEBUG << "[Main] resources: " << ORVO::getResourcesDir();

    // Quitting is explicit (the tray's Quit, or a signal without windows).
    if (withGui)
        QApplication::setQuitOnLastWindowClosed(false);
    if (app.start() != 0) {
        LOG_ERROR << "[Main] The application object did not start";
        return -1;
    }

    // The configuration file must be there. No translator is installed yet: these texts show in
    // English. What went wrong, and with which file, follows the text.
    const QString confPath = config.confFile.absoluteFilePath();
    if (!config.valid || !QFile::exists(confPath)) {
        QStringList lines{QObject::tr("Missing configuration file: ") + confPath};
        if (!config.errorText.isEmpty())
            lines << config.errorText;
        LOG_ERROR << "[Main] " << lines.join(QLatin1Char('\n')).toUtf8().constData();
        reportCritical(withGui, QObject::tr("Fatal error"), lines);
        return 1;
    }

    // Load the configuration and publish it through g_cfg.
    if (config.loadFromFile() != 0) {
        LOG_ERROR << "[Main] Cannot load the configuration file: "
                  << config.errorText.toUtf8().constData();
        return -1;
    }
    g_cfg = &config;
    LOG_DEBUG << config.dump();

    // Translations for the "lang" setting.
    QTranslator qtTranslator;
    QTranslator appTranslator;
    const QString lang =
        config.settings->value(QStringLiteral("lang"), QStringLiteral("en")).toString();
    loadTranslations(lang, qtTranslator, appTranslator, withGui);
    // Dates and numbers in the chosen language too, not the system's.
    QLocale::setDefault(QLocale(lang));

    // It goes after the windows and Manager: their end is bounded too.
    std::unique_ptr<SignalWatcher> watcher;

    // The windows of the mode.
    ORVO::Gui gui(&config, app.withGui, minimal);
    if (!gui.isValid()) {
        LOG_ERROR << "[Main] The windows of the chosen mode could not be set up";
        return 1;
    }

    // Manager and its workers, wired to the windows and the log.
    ORVO::Manager manager(&config);
    if (!manager.valid) {
        LOG_ERROR << "[Main] The service coordinator could not be set up";
        // The user started a program that ends at once: the box, or the
        // lines on standard error, say why.
        QStringList lines{QObject::tr("The connection to the VPN service could not be set up.")};
        if (!manager.errorText.isEmpty())
            lines << manager.errorText;
        reportCritical(withGui, QObject::tr("Fatal error"), lines);
        return 1;
    }
    manager.gui = &gui;
    if (manager.run() != 0) {
        LOG_ERROR << "[Main] The service coordinator did not start";
        return 1;
    }

    // The sign-in window goes on screen.
    if (gui.run() != 0) {
        LOG_ERROR << "[Main] The windows of the chosen mode did not start";
        return 1;
    }

    // SIGINT, SIGTERM and SIGHUP take the path of the tray's Quit, in every
    // mode: without windows nobody can pick Quit, and a session or terminal
    // ending sends them too.
    watcher = std::make_unique<SignalWatcher>();
    if (watcher->isValid())
        QObject::connect(watcher.get(), SIGNAL(quitRequested()), &gui, SLOT(quit()));
    else
        LOG_ERROR << "SIGINT, SIGTERM and SIGHUP will end the program at once";

    // The event loop. Everything goes in reverse order of creation on return.
    LOG_DEBUG << "[Main] Starting main loop";
    const int rc = app.exec();
    LOG_DEBUG << "[Main] Exiting";
    return rc;
}

} // namespace ORVO
