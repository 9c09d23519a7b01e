// A management-server profile signed in from the full window against the
// service simulator and the management-server test server: the real
// controller, both plugins and Manager in process, the portal's pages in
// real web views. The pages start an action and a download, change routes,
// and the portal's sign-out leaves nothing dangling.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QWebElement>
#include <QWebFrame>
#include <QWebView>
#include <QtPlugin>

#include "common/common.h"
#include "common/loglimit.h"
#include "gui/gui.h"
#include "gui/log/logform.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "gui/mainwindow/pluginwindowpage.h"
#include "gui/testseams.h"
#include "gui/widgets/lineedit.h"
#include "libvelcor/api.h"
#include "libvelcor/client.h"
#include "libvelcor/logger.h"
#include "loginfixture.h"
#include "main/startupsteps.h"
#include "mgr/manager.h"
#include "mgr/processmanager.h"
#include "plugin/config/configplugin.h"
#include "plugin/config/qwebpageecc.h"
#include "plugin/config/qwebviewecc.h"
#include "plugin/login/loginform.h"
#include "servicesimulator.h"
#include "settingsfixture.h"
#include "testenv.h"
#include "testmain.h"
#include "testserver.h"

Q_IMPORT_PLUGIN(LoginPlugin)
Q_IMPORT_PLUGIN(ConfigPlugin)

using orvotest::TestServer;

namespace {

const char ServerId[] = "{da39a3ee-5e6b-5b0d-b255-bfef95601890}";

QWebView* currentView(MainWindow* w)
{
    ORVO::PluginWindowPage* page = w->windowList->currentPage();
    return page ? qobject_cast<QWebView*>(page->widget()) : nullptr;
}

QVariant runScript(QWebView* view, const QString& script)
{
    return view->page()->mainFrame()->evaluateJavaScript(script);
}

// A portal page whose command link runs a program long enough to be seen,
// and whose image never comes: its load never ends.
QByteArray actionPage()
{
    return "<!DOCTYPE html><html><head><title>Portal: connection</title></head><body>"
           "<img src=\"/never.png\">"
           "<a id=\"execute\" href=\"/manage/portal/run/EXECUTE_COMMAND?name=viewer&amp;"
           "endpoint=17&amp;remark=Front+desk&amp;command_path=%2Fusr%2Fbin%2Fviewer&amp;"
           "command_args=30\">Run viewer</a>"
           "<a id=\"sync-routes\" href=\"/manage/portal/SYNC_ROUTES?device_ips%5B%5D=10.0.0.5"
           "&amp;device_ips%5B%5D=10.0.0.9\">Sync routes</a>"
           "<a id=\"download\" href=\"/manage/client_download/report.pdf\">Report</a>"
           "<a id=\"open-url\" href=\"/manage/portal/OPEN_URL?url=foo%3A%2F%2Fbar\">Foo</a>"
           "</body></html>";
}

} // namespace

class TestPortalFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        LogForm::setListenPort(0);
        ORVO::seams::setAssumeSystemTray(true);
        // An error box closes itself instead of waiting for a click.
        ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
    }
    void cleanup()
    {
        ORVO::seams::setFileDialogAnswer({});
        orvotest::clearQuitRequest();
    }
    void signInShowsThePortal();
};

void TestPortalFlow::signInShowsThePortal()
{
    orvotest::TestEnv env;
    libvelcor::Logger logger;
    QString why;
    QCOMPARE(ORVO::openFileLog(logger, env.root() + "/vtx-log.txt", why), 0);
    QVERIFY(logintest::writeProfile(env.dataDir(), "lodestar", "ls",
                                    QLatin1String(TestServer::DefaultUser)));
    // The location the user chose earlier for this server's "viewer".
    QSettings(ORVO::org(), QLatin1String(ORVO::ApplicationId))
        .setValue(QStringLiteral("ls_da39a3ee-5e6b-5b0d-b255-bfef95601890/Actions/viewer"),
                  QStringLiteral("Front desk|/usr/bin/viewer|/bin/sleep"));

    // The portal's page URLs carry no port, as the real server's do: the
    // test server takes the standard one.
    TestServer web;
    if (!web.listen(false, 80))
        QSKIP("the management-server test server needs port 80 (run as root)");
    web.setPortalPage(QStringLiteral("connection"), QStringLiteral("/manage/portal/connection"),
                      actionPage());
    web.setDelay(QStringLiteral("/never.png"), 3600 * 1000);
    libvelcor::Client::setPortOverride(0);
    orvosim::ServiceSimulator sim;
    QVERIFY(sim.listen(0));
    sim.setAutopilot(true);
    sim.setStepDelay(10);
    sim.setManagementServer(QStringLiteral("127.0.0.1"), QString(), QLatin1String(ServerId),
                            web.portalPages());
    qputenv(libvelcor::Api::ServiceAddrVariable, sim.address().toLatin1());

    ORVO::Gui gui(nullptr, true, false);
    QVERIFY(gui.isValid());
    ORVO::Manager manager(nullptr);
    QVERIFY(manager.isValid());
    manager.gui = &gui;
    QCOMPARE(manager.run(), 0);
    QCOMPARE(gui.run(), 0);
    MainWindow* w = gui.mainWindow;

    logintest::plugin()->loginForm->form()->passwordEdit->setText(
        QLatin1String(TestServer::DefaultPassword));
    QTest::mouseClick(w->signInButton, Qt::LeftButton);

    // Signed in to the server, the portal view shows its tabs in the fixed
    // order, the first one loaded with the login cookie.
    QTRY_VERIFY_WITH_TIMEOUT(w->configShown, 15000);
    ORVO::PluginWindow* portal = w->configContainer->window();
    QCOMPARE(portal->tabNames(),
             (QStringList{QStringLiteral("Connections"), QStringLiteral("Applications"),
                          QStringLiteral("Settings")}));
    QWebView* view = currentView(w);
    QVERIFY(view);
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("Portal: connection"), 10000);

    // Scripts see the window's two operations and nothing else of it.
    const QString probe = QStringLiteral(
        "[typeof MainWindowCallback.backToLogin, typeof MainWindowCallback.saveDebugEndpoint,"
        " typeof MainWindowCallback.close, typeof MainWindowCallback.hide,"
        " typeof MainWindowCallback.setStyleSheet, typeof MainWindowCallback.showConfig]"
        ".join(',')");
    QCOMPARE(runScript(view, probe).toString(),
             QStringLiteral("function,function,undefined,undefined,undefined,undefined"));
    runScript(view, QStringLiteral("MainWindowCallback.saveDebugEndpoint('10.1.2.3')"));
    QCOMPARE(QSettings(ORVO::org(), QLatin1String(ORVO::ApplicationId))
                 .value(QStringLiteral("debugEndpoint"))
                 .toString(),
             QStringLiteral("10.1.2.3"));
    // What a script has the window log counts against its tab: nothing
    // while the tab's own lines have used up more than it takes (six lines
    // of 96 KiB: a second and a half to flow back).
    auto* page = qobject_cast<ORVO::QWebPageEcc*>(view->page());
    QWebElement link;
    QTRY_VERIFY(!(link = page->mainFrame()->findFirstElement("#open-url")).geometry().isEmpty());
    const QString wide(4096, QChar(0x706b));
    for (int i = 0; i < 6; ++i)
        LOG_DEBUG_LIMITED(*page->logLimit())
            << wide << wide << wide << wide << wide << wide << wide << wide;
    runScript(view, QStringLiteral("for (var i = 0; i < 20; ++i) "
                                   "MainWindowCallback.saveDebugEndpoint('10.1.2.3')"));
    // What the user's click has the window log is written all the same; a
    // script's click is the page's.
    runScript(view, QStringLiteral("document.getElementById('open-url').click()"));
    QTest::mouseClick(view, Qt::LeftButton, {}, link.geometry().center());
    runScript(view, QStringLiteral("document.getElementById('open-url').click()"));
    // Nor does it put more than an address into the settings.
    runScript(view, QStringLiteral("MainWindowCallback.saveDebugEndpoint(Array(2000).join('x'))"));
    QCOMPARE(QSettings(ORVO::org(), QLatin1String(ORVO::ApplicationId)).value("debugEndpoint"),
             QVariant("10.1.2.3"));

    // A command link starts the local program at the stored location.
    const int mark = sim.log().size();
    runScript(view, QStringLiteral("document.getElementById('execute').click()"));
    QTRY_VERIFY_WITH_TIMEOUT(
        manager.getProcessManager()->getKeys().contains(QStringLiteral("viewer_17")), 5000);

    // Routes go to the service.
    runScript(view, QStringLiteral("document.getElementById('sync-routes').click()"));
    QTRY_VERIFY_WITH_TIMEOUT(
        [&]() {
            const auto entries = sim.log();
            for (int i = mark; i < entries.size(); ++i) {
                const QVariantMap v = entries.at(i).value.toMap();
                if (entries.at(i).kind == QLatin1String("cloud.action") &&
                    v.value(QStringLiteral("action")) == QLatin1String("syncRoutes"))
                    return true;
            }
            return false;
        }(),
        5000);

    // A download asks where to, then lands there.
    const QString target = env.root() + QStringLiteral("/report.pdf");
    QString proposed;
    ORVO::seams::setFileDialogAnswer([&](const QString&, const QString& path, const QString&) {
        proposed = path;
        return target;
    });
    runScript(view, QStringLiteral("document.getElementById('download').click()"));
    QTRY_COMPARE_WITH_TIMEOUT(orvotest::readFile(target), QByteArray("%PDF-1.4\n% test report\n"),
                              10000);
    QVERIFY(proposed.endsWith(QStringLiteral("/report.pdf")));

    // The portal's Logout: the service stops, the pages go blank, the
    // sign-in view returns; a second sign-in shows a fresh portal.
    QPointer<QWebView> oldView = view;
    QMetaObject::invokeMethod(portal, "logout");
    QTRY_COMPARE_WITH_TIMEOUT(sim.currentState(), 0, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!w->configShown, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(w->signInButton->text(), QStringLiteral("SIGN IN"), 5000);
    logger.close();
    const QByteArray log = orvotest::readFile(logger.getPath());
    QCOMPARE(log.count("saveDebugEndpoint()"), 2);
    QCOMPARE(log.count("[MainWindow] Not opening a URL of scheme \"foo\""), 1);
    QVERIFY(log.contains("lines of the portal tab \"Connections\" left out"));

    logintest::plugin()->loginForm->form()->passwordEdit->setText(
        QLatin1String(TestServer::DefaultPassword));
    QTest::mouseClick(w->signInButton, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w->configShown, 15000);
    view = currentView(w);
    QVERIFY(view && view != oldView);
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("Portal: connection"), 10000);

    // Two password changes in a row in the same settings dialog: the
    // second one's old password is the first one's new, whole.
    QMetaObject::invokeMethod(w->configContainer->window(), "settings");
    SettingsDialog* dialog = qobject_cast<ORVO::ConfigPlugin*>(w->configPlugin)->settingsDialog;
    QVERIFY(dialog && dialog->isVisible());
    QString old = QLatin1String(TestServer::DefaultPassword);
    for (const QString& pass : {QStringLiteral("n3w er"), QStringLiteral("n3wer")}) {
        settingstest::fillPasswords(dialog, {old, pass, pass});
        QTest::mouseClick(settingstest::button(dialog, "Change password"), Qt::LeftButton);
        // Accepted by the server, and the client holds it.
        QTRY_COMPARE_WITH_TIMEOUT(manager.getProfileAuth().getPass(), pass, 5000);
        QCOMPARE(web.password(TestServer::DefaultUser), pass);
        old = pass;
    }

    // Quit (the tray's, or SIGTERM's) while the tab loads: signed out, and
    // the windows go without hearing of the load.
    QVERIFY(qobject_cast<ORVO::QWebViewEcc*>(currentView(w))->loading);
    gui.quit();
    QTRY_COMPARE_WITH_TIMEOUT(sim.currentState(), 0, 10000);
}

ORVO_TEST_GUI_MAIN(TestPortalFlow)
#include "tst_portalflow.moc"
