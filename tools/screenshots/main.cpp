// orvo-screenshots: shows every window of the client in one language and
// saves what it shows, for a look by eye (scripts/screenshots runs it under
// Xvfb for each language).
//
//   orvo-screenshots <output folder> <language code>
//
// The client runs in process as the program builds it: configuration,
// brand bundle, catalogues, GUI controller and Manager, against the service
// simulator, on a data folder of its own seeded with two OpenVPN profiles
// and one of a management server, whose portal the test server serves.
// The pictures are taken in the order a user meets the windows, each saved
// as <number>-<name>.png (the list is in scripts/screenshots).

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPluginLoader>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>
#include <QtPlugin>

#include <cstdio>

#include "common/common.h"
#include "common/config.h"
#include "common/settingsfile.h"
#include "gui/gui.h"
#include "gui/log/logform.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "gui/timedmessagebox.h"
#include "gui/tray/systemtray.h"
#include "gui/widgets/combobox.h"
#include "gui/widgets/lineedit.h"
#include "gui/widgets/pushbutton.h"
#include "libvelcor/api.h"
#include "main/startup.h"
#include "main/startupsteps.h"
#include "mgr/manager.h"
#include "plugin/config/configplugin.h"
#include "plugin/login/advform.h"
#include "plugin/login/loginform.h"
#include "plugin/login/loginplugin.h"
#include "servicesimulator.h"
#include "testserver.h"

Q_IMPORT_PLUGIN(LoginPlugin)
Q_IMPORT_PLUGIN(ConfigPlugin)

static void initEmbeddedResources()
{
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(zelstyle);
}

namespace {

QString outDir;
int failures = 0;

// Lets slides, fades and timers run their course.
void settle(int ms = 900)
{
    QTest::qWait(ms);
}

void save(QWidget* widget, const QString& name)
{
    const QString path = outDir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!widget || !widget->grab().save(path)) {
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
        ++failures;
        return;
    }
    QTextStream(stdout) << path << "\n";
}

// The whole screen, for a window whose place over the others is part of
// what there is to see.
void saveScreen(const QString& name)
{
    const QString path = outDir + QLatin1Char('/') + name + QStringLiteral(".png");
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(path)) {
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
        ++failures;
        return;
    }
    QTextStream(stdout) << path << "\n";
}

void skip(const QString& name, const char* why)
{
    QTextStream(stdout) << name << ": " << why << "\n";
}

// Profile folders as the profile store writes them: OpenVPN profiles with a
// user name and a CA, asking for the password.
int seedProfiles(const QString& dataDir)
{
    for (const char* id : {"demo-vpn", "office"}) {
        const QString dir =
            dataDir + QStringLiteral("/profiles/") + QLatin1String(id) + QStringLiteral(".profile");
        if (!QDir().mkpath(dir))
            return -1;
        QFile conf(dir + QStringLiteral("/openvpn.conf"));
        QFile json(dir + QStringLiteral("/config.json"));
        QFile ca(dir + QStringLiteral("/ca.pem"));
        if (!conf.open(QIODevice::WriteOnly) || !json.open(QIODevice::WriteOnly) ||
            !ca.open(QIODevice::WriteOnly))
            return -1;
        // Complete profiles: the editor shows no field as missing. Only the
        // file's name is shown, so its content need not be a real CA.
        conf.write("client\ndev tun\nproto udp\nremote vpn.example.org 1194\nca ca.pem\n");
        ca.write("-----BEGIN CERTIFICATE-----\n-----END CERTIFICATE-----\n");
        json.write(R"({"auth": {"manual": true, "remember": false, "type": "user-pass",
                    "user": "demo"}, "conn_mode": "manual", "mode": "manual",
                    "owner": "user", "type": "vpn",
                    "vpn": {"conf": "openvpn.conf", "pull_routes": true}})");
    }
    const QString dir = dataDir + QStringLiteral("/profiles/portal.profile");
    QFile json(dir + QStringLiteral("/config.json"));
    if (!QDir().mkpath(dir) || !json.open(QIODevice::WriteOnly))
        return -1;
    json.write(R"({"auth": {"manual": true, "remember": false, "type": "user-pass",
                "user": "demo"}, "type": "ls", "url": "https://ls.example.org"})");
    return 0;
}

// A portal page as a management server might show it: a heading and a
// short table.
QByteArray portalPage(const char* title, const char* rows)
{
    return QByteArray("<!DOCTYPE html><html><head><title>") + title +
           "</title><style>body{font-family:sans-serif;color:#2b2f33;margin:24px}"
           "table{border-collapse:collapse;width:100%}"
           "td,th{border-bottom:1px solid #c9d0d6;padding:6px;text-align:left}</style>"
           "</head><body><h2>" +
           title + "</h2><table><tr><th>Name</th><th>Address</th><th>Status</th></tr>" + rows +
           "</table></body></html>";
}

ORVO::LoginPlugin* loginPlugin()
{
    for (QObject* o : QPluginLoader::staticInstances())
        if (auto* p = qobject_cast<ORVO::LoginPlugin*>(o))
            return p;
    return nullptr;
}

void clickTab(ORVO::LoginPlugin* plugin, int index)
{
    const QList<QPushButton*> buttons = plugin->window->tabButtons();
    if (index < buttons.size())
        buttons.at(index)->click();
    settle();
}

QWidget* topLevel(const char* className)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->inherits(className))
            return w;
    return nullptr;
}

void portalView(orvosim::ServiceSimulator& sim, MainWindow* window, ORVO::LoginPlugin* plugin);

// The full window, through a sign-in and out again.
void fullWindow(orvosim::ServiceSimulator& sim)
{
    ORVO::Gui gui(g_cfg, true, false);
    ORVO::Manager manager(g_cfg);
    if (!gui.isValid() || !manager.isValid()) {
        ++failures;
        return;
    }
    manager.gui = &gui;
    manager.run();
    gui.run();
    ORVO::LoginPlugin* plugin = loginPlugin();
    if (!plugin || !plugin->window || !plugin->loginForm) {
        ++failures;
        return;
    }
    MainWindow* window = gui.mainWindow;
    settle(1500);
    save(window, QStringLiteral("01-main-window"));

    plugin->loginForm->form()->passwordEdit->setText(QStringLiteral("secret"));
    settle(300);
    save(window, QStringLiteral("02-sign-in-form"));

    clickTab(plugin, 1);
    save(window, QStringLiteral("03-advanced-form"));
    if (auto* tabs = plugin->advForm->findChild<QTabWidget*>()) {
        tabs->setCurrentIndex(1);
        settle(300);
        save(window, QStringLiteral("03-advanced-form-proxy"));
        tabs->setCurrentIndex(0);
    }
    // A message box of the program's own: the one a change of language
    // shows. It is modal, so it is taken and closed from the event loop.
    QTimer::singleShot(800, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        save(box, QStringLiteral("11-message-box"));
        if (box)
            box->button(QMessageBox::Ok)->click();
    });
    QMetaObject::invokeMethod(
        plugin->advForm, "langComboChanged",
        Q_ARG(int,
              AdvForm::langToIndex(g_cfg->settings->value(QStringLiteral("lang")).toString())));
    clickTab(plugin, 2);
    save(window, QStringLiteral("04-log-page"));
    clickTab(plugin, 0);

    QTest::mouseClick(plugin->loginForm->profileInfoButton(), Qt::LeftButton);
    settle();
    // As the user sees it: a window of its own over the main window.
    saveScreen(QStringLiteral("08-profile-editor"));
    if (QWidget* editor = topLevel("ProfilesDialog"))
        editor->hide();

    QTest::mouseClick(window->signInButton, Qt::LeftButton);
    for (int i = 0; i < 100 && sim.currentState() != 4; ++i)
        QTest::qWait(50);
    settle(2500);
    save(window, QStringLiteral("05-connected"));

    // A request of the local request server, as the service relays it.
    const QVariantMap request{{QStringLiteral("_type"), QStringLiteral("open")},
                              {QStringLiteral("name"), QStringLiteral("Remote desktop")},
                              {QStringLiteral("endpoint"), QStringLiteral("10.8.0.12:3389")}};
    QMetaObject::invokeMethod(&gui, "_requestAction", Q_ARG(QVariantMap, request));
    settle(300);
    QWidget* box = topLevel("ORVO::TimedMessageBox");
    save(box, QStringLiteral("10-confirmation-box"));
    if (auto* b = qobject_cast<ORVO::TimedMessageBox*>(box))
        b->button(QMessageBox::Cancel)->click();

    QTest::mouseClick(window->signInButton, Qt::LeftButton);
    for (int i = 0; i < 100 && sim.currentState() != 0; ++i)
        QTest::qWait(50);
    settle();

    portalView(sim, window, plugin);
}

// A sign-in with the management-server profile: the portal view, then the
// dialog of its Settings button.
void portalView(orvosim::ServiceSimulator& sim, MainWindow* window, ORVO::LoginPlugin* plugin)
{
    // The portal's page URLs carry no port, as the real server's do.
    orvotest::TestServer web;
    if (!web.listen(false, 80)) {
        skip(QStringLiteral("06-portal-view"), "port 80 is taken or not ours to take");
        skip(QStringLiteral("07-settings-dialog"), "port 80 is taken or not ours to take");
        return;
    }
    web.setPortalPage(QStringLiteral("connection"), QStringLiteral("/manage/portal/connection"),
                      portalPage("Connections",
                                 "<tr><td>Front desk</td><td>10.8.0.12</td><td>online</td></tr>"
                                 "<tr><td>Workshop</td><td>10.8.0.31</td><td>offline</td></tr>"));
    web.setPortalPage(QStringLiteral("gateway"), QStringLiteral("/manage/portal/gateway"),
                      portalPage("Devices", ""));
    web.setPortalPage(QStringLiteral("action"), QStringLiteral("/manage/portal/action"),
                      portalPage("Applications", ""));
    web.setPortalPage(QStringLiteral("settings"), QStringLiteral("/manage/portal/settings"),
                      portalPage("Settings", ""));
    sim.setManagementServer(QStringLiteral("127.0.0.1"), QString(),
                            QStringLiteral("{da39a3ee-5e6b-5b0d-b255-bfef95601890}"),
                            web.portalPages());

    QComboBox* profiles = plugin->loginForm->form()->profileComboBox->comboBox();
    profiles->setCurrentIndex(profiles->findText(QStringLiteral("portal")));
    plugin->loginForm->form()->passwordEdit->setText(
        QLatin1String(orvotest::TestServer::DefaultPassword));
    QTest::mouseClick(window->signInButton, Qt::LeftButton);
    for (int i = 0; i < 300 && !window->configShown; ++i)
        QTest::qWait(50);
    ORVO::PluginWindow* portal =
        window->configContainer ? window->configContainer->window() : nullptr;
    if (!window->configShown || !portal) {
        std::fprintf(stderr, "the portal view did not show\n");
        ++failures;
        return;
    }
    // Xvfb has no window manager to maximise the window, as a desktop
    // would: the size of a common laptop screen stands in.
    window->setWindowState(Qt::WindowNoState);
    window->resize(1280, 800);
    // Until the first page has loaded and the Refresh button stops turning.
    for (int i = 0; i < 200 && web.requests(QStringLiteral("/manage/portal/connection")).isEmpty();
         ++i)
        QTest::qWait(50);
    settle(2000);
    save(window, QStringLiteral("06-portal-view"));

    portal->settingsButton()->click();
    settle();
    save(topLevel("SettingsDialog"), QStringLiteral("07-settings-dialog"));
    if (QWidget* dialog = topLevel("SettingsDialog"))
        dialog->hide();

    QMetaObject::invokeMethod(portal, "logout");
    for (int i = 0; i < 200 && (sim.currentState() != 0 || window->configShown); ++i)
        QTest::qWait(50);
    settle();
}

// The tray-only mode's sign-in window. Under Xvfb there is no system tray,
// so the window shows at start.
void trayOnlyWindow()
{
    ORVO::Gui gui(g_cfg, true, true);
    ORVO::Manager manager(g_cfg);
    if (!gui.isValid() || !manager.isValid()) {
        ++failures;
        return;
    }
    manager.gui = &gui;
    manager.run();
    gui.run();
    gui.systemTray->showSignInWindow();
    settle(1500);
    save(topLevel("ORVO::LoginWidget"), QStringLiteral("09-tray-only-window"));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <output folder> <language code>\n", argv[0]);
        return 2;
    }
    // A data folder of its own, set before Qt reads the locations.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));

    initEmbeddedResources();
    QCoreApplication::setOrganizationName(ORVO::org());
    QCoreApplication::setApplicationName(QLatin1String(ORVO::ApplicationId));
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ORVO::registerMetaTypes();
    ORVO::registerProfileMetaTypes();
    outDir = QString::fromLocal8Bit(argv[1]);
    const QString lang = QString::fromLocal8Bit(argv[2]);
    if (!QDir().mkpath(outDir))
        return 1;

    ORVO::Config config(ORVO::getBinDir());
    if (!config.valid || config.loadFromFile() != 0) {
        std::fprintf(stderr, "no configuration: %s\n", qPrintable(config.errorText));
        return 1;
    }
    g_cfg = &config;
    if (ORVO::utils::settingsSetSync(config.settings, QStringLiteral("lang"), lang) != 0)
        return 1;
    if (seedProfiles(ORVO::getAppDataDir()) != 0)
        return 1;

    ORVO::BrandBundle brand(ORVO::getResourcesDir() + QStringLiteral("/gui.rcc"),
                            QStringLiteral("/rc"));
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
    QTranslator qtTranslator;
    QTranslator appTranslator;
    if (ORVO::loadTranslations(lang, qtTranslator, appTranslator, false) != 0)
        return 1;

    orvosim::ServiceSimulator sim;
    if (!sim.listen(0))
        return 1;
    sim.setAutopilot(true);
    sim.setStepDelay(150);
    qputenv(libvelcor::Api::ServiceAddrVariable, sim.address().toLatin1());
    // Any free port for the log listener: a running client may hold its own.
    LogForm::setListenPort(0);

    fullWindow(sim);
    trayOnlyWindow();
    g_cfg = nullptr;
    return failures == 0 ? 0 : 1;
}
