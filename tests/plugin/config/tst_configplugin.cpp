// The portal plugin object with real web views offscreen against the
// management-server test server: tabs, loading with the login cookies,
// command relays, sign-out, the lifetimes of access managers, cookie jar
// and replies, and the TLS tolerance.

#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QPluginLoader>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QWebElement>
#include <QWebFrame>
#include <QWebSettings>

#include "../../gui/boxdriver.h"
#include "common/config.h"
#include "common/cookiejar.h"
#include "common/loglimit.h"
#include "gui/guiapplication.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "gui/testseams.h"
#include "gui/widgets/pushbutton.h"
#include "libvelcor/logger.h"
#include "logcapture.h"
#include "plugin/config/configplugin.h"
#include "plugin/config/qnetworkaccessmanagerecc.h"
#include "plugin/config/qwebpageecc.h"
#include "plugin/config/qwebviewecc.h"
#include "plugin/config/scriptwatch.h"
#include "plugin/config/settingsdialog.h"
#include "testenv.h"
#include "testmain.h"
#include "testserver.h"

Q_IMPORT_PLUGIN(ConfigPlugin)

using ORVO::ConfigPlugin;
using ORVO::PluginWindow;
using orvotest::TestServer;

namespace {

// Stands in for Manager's side of the sign-out wiring.
class SignOutPeer : public QObject
{
    Q_OBJECT
public:
    int runs = 0;
signals:
    void sigDisconnect();
public slots:
    void _sigDisconnect()
    {
        ++runs;
        emit sigDisconnect();
    }
};

// Records which TLS errors the plugin lets a reply ignore.
class RecordingReply : public QNetworkReply
{
public:
    QList<QSslError> ignored;
    void abort() override {}

protected:
    qint64 readData(char*, qint64) override { return -1; }
    void ignoreSslErrorsImplementation(const QList<QSslError>& errors) override
    {
        ignored = errors;
    }
};

ORVO::QWebViewEcc* viewOf(PluginWindow* window, const QString& tab)
{
    ORVO::PluginWindowPage* page = window ? window->tab(tab) : nullptr;
    return page ? qobject_cast<ORVO::QWebViewEcc*>(page->widget()) : nullptr;
}

QString bodyOf(ORVO::QWebViewEcc* view)
{
    return view->page()->mainFrame()->findFirstElement("body").toPlainText().trimmed();
}

// A page's script is stopped after a minute unless a test says otherwise;
// the engine's own step is the limit at the first plugin, the shortest.
const int PatientMs = 60000;
const int StopMs = 500;

} // namespace

class TestConfigPlugin : public QObject
{
    Q_OBJECT

    TestServer server;
    TestServer other; // another host's documents
    ORVO::CookieJar* jar = nullptr;
    ConfigPlugin* plugin = nullptr;
    ORVO::ConfigGfxPluginInterface* iface = nullptr;
    QList<QPointer<PluginWindow>> windows;

    void signIn()
    {
        iface->gotAuth(libvelcor::Auth());
        iface->gotServerAddr(server.baseUrl().mid(7), "fallback.invalid");
        QNetworkAccessManager nam;
        ORVO::borrowCookieJar(&nam, jar);
        QNetworkRequest request(QUrl(server.baseUrl() + TestServer::LoginPath));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        QScopedPointer<QNetworkReply> reply(
            nam.post(request, "zub_username=demo&zub_password=demo"));
        QSignalSpy done(reply.data(), SIGNAL(finished()));
        QVERIFY(done.wait(10000));
        iface->gotPages(server.portalPages());
    }

    PluginWindow* makeWindow(const QVariantMap& params = {})
    {
        PluginWindow* window = iface->newWindow(params);
        windows << window;
        return window;
    }

    bool load(PluginWindow* window, const QString& tab)
    {
        ORVO::QWebViewEcc* view = viewOf(window, tab);
        if (!view)
            return false;
        QSignalSpy loaded(view, SIGNAL(loadFinished(bool)));
        // The view starts loading within the activation (a debug page loads
        // there in full); leaving a page blanks it first.
        window->activateTab(tab);
        return QTest::qWaitFor([view] { return !view->loading; }, 10000) && !loaded.isEmpty();
    }

private slots:
    void initTestCase()
    {
        ORVO::ScriptWatch::setLimitMs(StopMs);
        QVERIFY(server.listen(false));
        server.setPortalPage("connection", "/manage/portal/connection");
        server.setPortalPage("user", "/manage/portal/user");
        server.setPortalPage("frames", "/manage/portal/frames",
                             "<html><body>frames<a id=\"frame\" href=\"#\" onclick=\"var f = "
                             "document.createElement('iframe'); f.src = '/manage/portal/redirect'; "
                             "document.body.appendChild(f); return false;\">f</a></body></html>");
        server.setResponse("/manage/portal/redirect", 302, "", "text/plain",
                           {{"Location", TestServer::LoginPath}});
        server.setPortalPage("images", "/manage/portal/images",
                             "<iframe src='http://frame.invalid/'></iframe><script>for (var i = "
                             "0; i < 20; i++) document.write(\"<img "
                             "src='http://images.invalid/\" + i + \".png'>\")</script>");
        QVERIFY(other.listen(false));
        other.setResponse("/top", 200, "<script>top.location = 'http://lost.invalid/'</script>");
        server.setPortalPage("framed", "/manage/portal/framed",
                             "<iframe src='" + other.baseUrl().toUtf8() + "/top'></iframe>");
        // Documents that send the tab to a host that cannot be found.
        const QByteArray lost = "<script>top.location = 'http://nx.invalid/'</script>";
        server.setResponse(
            "/lost", 200, lost, "text/html",
            {{"Content-Security-Policy", "sandbox allow-scripts allow-top-navigation"}});
        const QMap<QString, QByteArray> lostPages{
            {"sandboxed", "<iframe src=/lost></iframe>"},
            {"sandbox", "<iframe sandbox='allow-scripts allow-top-navigation' src=/lost></iframe>"},
            {"srcdoc", "<iframe srcdoc=\"" + lost + "\"></iframe>"},
            {"script", lost},
            {"refresh", "<meta http-equiv=refresh content='0;url=http://nx.invalid/'>"},
            {"chain", "<script>location = '/r1'</script>"}};
        for (auto it = lostPages.cbegin(); it != lostPages.cend(); ++it)
            server.setPortalPage(it.key(), "/manage/portal/" + it.key(), it.value());
        server.setPortalPage("again", "/manage/portal/again");
        server.setResponse("/r1", 302, "", "text/plain", {{"Location", "/r2"}});
        server.setResponse("/r2", 302, "", "text/plain", {{"Location", "http://nx.invalid/"}});
        // A new image each load: one shared with a replaced page may end the load.
        server.setPortalPage(
            "stalled", "/manage/portal/stalled",
            "<script>document.write(\"<img src='/never.png?\" + Math.random() + "
            "\"'>\"); setTimeout(function() { location.reload(); }, 300)</script>");
        server.setDelay("/never.png", 3600 * 1000); // never answered while a test runs
    }

    void init()
    {
        jar = new ORVO::CookieJar();
        plugin = new ConfigPlugin();
        ORVO::ScriptWatch::setLimitMs(PatientMs);
        iface = plugin;
        iface->setCookieJar(jar);
    }

    void cleanup()
    {
        for (const QPointer<PluginWindow>& w : qAsConst(windows))
            delete w.data();
        windows.clear();
        delete plugin;
        delete jar;
        QTest::qWait(20); // the deferred deletions
        ORVO::seams::setMessageBoxAutoAnswer(0);
    }

    void tabsInFixedOrder_data()
    {
        QTest::addColumn<QVariantMap>("pages");
        QTest::addColumn<QVariantMap>("params");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<int>("buttonHeight");
        const QVariant p("/p");
        QTest::newRow("known first, then by key")
            << QVariantMap{{"settings", p}, {"zzz", p}, {"connection", p}, {"Abc", p}, {"user", p}}
            << QVariantMap() << QStringList{"Connections", "Users", "Settings", "Abc", "zzz"} << 35;
        QTest::newRow("one page has no tab bar")
            << QVariantMap{{"gateway", p}} << QVariantMap() << QStringList{"Devices"} << 0;
        QTest::newRow("none") << QVariantMap() << QVariantMap() << QStringList() << 0;
        QTest::newRow("debug") << QVariantMap{{"user", p}, {"gateway", p}}
                               << QVariantMap{{"debug", true}, {"debug-content", "<p>debug</p>"}}
                               << QStringList{"Connections"} << 35;
    }

    void tabsInFixedOrder()
    {
        QFETCH(QVariantMap, pages);
        QFETCH(QVariantMap, params);
        QFETCH(QStringList, titles);
        QFETCH(int, buttonHeight);
        iface->gotPages({{"old", "/old"}});
        PluginWindow* window = makeWindow(params);
        QCOMPARE(window->tabNames(), QStringList{params.isEmpty() ? "old" : "Connections"});
        iface->gotPages(pages); // rebuilds the window's tabs
        QVERIFY(plugin->isReady());
        QCOMPARE(window->tabNames(), titles);
        for (QPushButton* button : window->tabButtons())
            QCOMPARE(button->maximumHeight(), buttonHeight);
        if (!params.isEmpty()) {
            QCOMPARE(window->pages().value(0)->property("url").toUrl(), QUrl("debug://index.html"));
            QVERIFY(load(window, "Connections"));
            QCOMPARE(bodyOf(viewOf(window, "Connections")), QString("debug"));
        }
    }

    void pageUrls_data()
    {
        QTest::addColumn<int>("authType");
        QTest::addColumn<bool>("fallback");
        QTest::addColumn<QVariant>("path");
        QTest::addColumn<QString>("url");
        QTest::newRow("password") << 0 << false << QVariant("/manage/a")
                                  << "http://h:8080/manage/a/";
        QTest::newRow("no credential") << -1 << false << QVariant("/b") << "http://h:8080/b/";
        QTest::newRow("certificate, fallback") << 1 << true << QVariant("/c") << "https://f/c/";
        QTest::newRow("closing slash kept") << 0 << false << QVariant("/d/") << "http://h:8080/d//";
        QTest::newRow("path not a string") << 0 << true << QVariant(QVariantList{1}) << "http://f/";
    }

    void pageUrls()
    {
        QFETCH(int, authType);
        QFETCH(bool, fallback);
        QFETCH(QVariant, path);
        QFETCH(QString, url);
        libvelcor::Auth auth;
        auth.setType(libvelcor::Auth::Type(authType));
        iface->gotAuth(auth);
        iface->gotServerAddr("h:8080", "f");
        iface->gotFallback(fallback);
        iface->gotPages({{"user", path}});
        PluginWindow* window = makeWindow();
        QCOMPARE(window->tab("Users")->property("url").toUrl().toString(), url);
        // Later values reach only tabs built afterwards.
        iface->gotServerAddr("later", "later");
        QCOMPARE(window->tab("Users")->property("url").toUrl().toString(), url);
    }

    void activatingLoadsWithLoginCookies()
    {
        ORVO::log::limitQtMessages();
        signIn();
        PluginWindow* window = makeWindow();
        server.clearRequests();
        QVERIFY(load(window, "Connections"));
        QCOMPARE(bodyOf(viewOf(window, "Connections")).left(10), QString("connection"));
        const QList<TestServer::Request> got = server.requests("/manage/portal/connection/");
        QCOMPARE(got.size(), 1);
        QVERIFY(got[0].headers.value("cookie").contains(TestServer::SessionCookieName));

        // Shown again: loaded again. Left: blanked.
        QVERIFY(load(window, "Connections"));
        QCOMPARE(server.requests("/manage/portal/connection/").size(), 2);
        QVERIFY(load(window, "Users"));
        QCOMPARE(bodyOf(viewOf(window, "Connections")), QString());

        // What Qt's limit leaves out meanwhile is told naming the tab shown;
        // a new sign-in makes it whole again.
        orvotest::LogCapture log;
        const auto qtWarning = [] {
            return !libvelcor::handledLine(QtWarningMsg, {}, QString(16000, 'w')).isNull();
        };
        for (int i = 0; i < 20; ++i)
            qtWarning();
        QVERIFY(!qtWarning());
        makeWindow();
        QVERIFY(log.contains("lines of Qt and the web engine (the portal tab \"Users\" shown)"));
        QVERIFY(qtWarning());
    }

    void signOutStates_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("byPeer");
        QTest::addColumn<int>("peerRuns");
        QTest::addColumn<bool>("readyAfter");
        QTest::addColumn<int>("errorLines");
        QTest::newRow("idle") << "idle" << false << 0 << false << 0;
        QTest::newRow("pages, no window") << "pages" << false << 0 << true << 1;
        QTest::newRow("shown, logout button") << "shown" << false << 1 << false << 0;
        QTest::newRow("shown, sign-out elsewhere") << "shown" << true << 1 << false << 0;
        QTest::newRow("shown, window deleted") << "lost" << false << 0 << false << 0;
    }

    void signOutStates()
    {
        QFETCH(QString, state);
        QFETCH(bool, byPeer);
        QFETCH(int, peerRuns);
        QFETCH(bool, readyAfter);
        QFETCH(int, errorLines);
        SignOutPeer peer;
        QVERIFY(connect(plugin, SIGNAL(sigDisconnect()), &peer, SLOT(_sigDisconnect())));
        QVERIFY(connect(&peer, SIGNAL(sigDisconnect()), plugin, SLOT(onDisconnect())));
        if (state != "idle")
            iface->gotPages({{"user", "/u"}});
        PluginWindow* window = state == "shown" || state == "lost" ? makeWindow() : nullptr;
        ORVO::QNetworkAccessManagerEcc* before = plugin->networkAccessManager;
        orvotest::LogCapture log;
        if (state == "lost")
            delete window;
        else if (byPeer)
            emit peer.sigDisconnect();
        else if (window)
            window->logoutButton()->click();
        else
            iface->onDisconnect();
        QCOMPARE(peer.runs, peerRuns);
        QCOMPARE(plugin->isReady(), readyAfter);
        QCOMPARE(log.linesAt("ERROR").size(), errorLines);
        QCOMPARE(plugin->networkAccessManager != before, window != nullptr);
        QVERIFY(!plugin->window);
        if (window) {
            // Unwired: its buttons reach the plugin no more.
            if (state != "lost")
                window->logoutButton()->click();
            iface->onDisconnect();
            QCOMPARE(peer.runs, peerRuns);
            QCOMPARE(log.linesAt("ERROR").size(), 0);
        }
    }

    void signOutKeepsOldManagerForOldWindow()
    {
        signIn();
        PluginWindow* old = makeWindow();
        QVERIFY(load(old, "Connections"));
        QPointer<ORVO::QNetworkAccessManagerEcc> oldManager = plugin->networkAccessManager;
        QVERIFY(oldManager->cookieJar() == jar);
        iface->onDisconnect();
        QTRY_COMPARE(bodyOf(viewOf(old, "Connections")), QString());
        QVERIFY(plugin->networkAccessManager != oldManager);

        // The old window lives on (its owner animates it away): its pages still
        // load through their manager.
        QTest::qWait(20);
        QVERIFY(oldManager);
        QVERIFY(load(old, "Connections"));
        QCOMPARE(bodyOf(viewOf(old, "Connections")).left(10), QString("connection"));

        iface->gotPages(server.portalPages());
        PluginWindow* fresh = makeWindow();
        QVERIFY(plugin->networkAccessManager->cookieJar() == jar);
        QVERIFY(load(fresh, "Users"));
        QCOMPARE(bodyOf(viewOf(fresh, "Users")).left(4), QString("user"));
        // A page of the old window that reaches the login page leaves the new
        // session alone.
        emit static_cast<ORVO::QWebPageEcc*>(viewOf(old, "Connections")->page())->error();
        QVERIFY(plugin->isReady());
        QCOMPARE(plugin->window.data(), fresh);

        delete old;
        QTRY_VERIFY(!oldManager);
    }

    void sharedCookieJarMayGoFirst()
    {
        ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
        signIn();
        PluginWindow* first = makeWindow();
        QVERIFY(load(first, "Connections"));
        iface->onDisconnect();
        iface->gotPages(server.portalPages());
        PluginWindow* second = makeWindow();
        QList<QNetworkAccessManager*> managers{plugin->networkAccessManager};
        managers << viewOf(first, "Connections")->page()->networkAccessManager();
        QVERIFY(managers[0] != managers[1]);

        delete jar; // as the network manager goes, before the plugin
        jar = nullptr;
        QVERIFY(!plugin->cookieJar);
        for (QNetworkAccessManager* m : managers) {
            QVERIFY(m->cookieJar());
            QVERIFY(m->cookieJar()->parent() == m);
        }
        // Both windows load with jars of their own now, which hold no login
        // cookie: the server sends its login page.
        QVERIFY(load(second, "Users"));
        QVERIFY(load(first, "Users"));
        PluginWindow* third = makeWindow();
        QVERIFY(third);
    }

    void repliesBelongToTheirIssuer()
    {
        QPointer<QNetworkReply> reply =
            plugin->networkAccessManager->get(QNetworkRequest(QUrl(server.baseUrl() + "/none")));
        QTRY_VERIFY(reply->isFinished());
        QTest::qWait(50);
        QVERIFY(reply); // deleted by whoever issued it, never by the plugin
        QVERIFY(plugin->networkAccessManager->getRequests().isEmpty());
        delete reply;
    }

    // A host that cannot be found reaches the user only for the load of a
    // tab's page, one box at a time, and not past the sign-out.
    void hostNotFoundBoxes_data()
    {
        QTest::addColumn<QString>("tab");
        QTest::addColumn<int>("loads");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<bool>("flood"); // a foreign document's alerts in the tab first
        QTest::newRow("a page's images and frame") << "images" << 1 << 0 << false;
        QTest::newRow("a foreign frame sends the tab there") << "framed" << 1 << 0 << false;
        for (const char* tab : {"sandboxed", "sandbox", "srcdoc", "script", "refresh", "chain"})
            QTest::addRow("a document sends the tab there: %s", tab) << tab << 1 << 0 << false;
        // Its page found, then sent to a missing host on the client's own step.
        QTest::newRow("the client's Refresh") << "again:Reload" << 1 << 1 << false;
        QTest::newRow("the client's Back") << "again:Back" << 1 << 1 << false;
        QTest::newRow("the tab's own page, twice: one box") << "Users" << 2 << 1 << false;
        QTest::newRow("the same after a flood: logged") << "Users" << 1 << 1 << true;
    }

    void hostNotFoundBoxes()
    {
        QFETCH(QString, tab);
        QFETCH(int, loads);
        QFETCH(int, boxes);
        QFETCH(bool, flood);
        const QString step = tab.section(':', 1);
        tab = tab.section(':', 0, 0);
        orvotest::LogCapture log;
        signIn();
        iface->gotFallback(tab == "Users"); // a host that cannot be found
        PluginWindow* window = makeWindow();
        if (flood) {
            other.setResponse("/alerts", 200,
                              "<script>for (var i = 0; i < 2000; ++i) alert(Array(4096).join('a'));"
                              " document.title = 'done'</script>");
            viewOf(window, tab)->setUrl(QUrl(other.baseUrl() + "/alerts"));
            QTRY_COMPARE_WITH_TIMEOUT(viewOf(window, tab)->title(), QString("done"), 30000);
        }
        const QString again = "/manage/portal/again/";
        server.setResponse(again, 200, "again", "text/html", {{"Cache-Control", "no-store"}});
        // A step's redirect must not outlast a failing row.
        const auto cleared = qScopeGuard([&] { server.clearPath(again); });
        for (int i = 1; i <= loads; ++i) {
            QVERIFY(load(window, tab));
            if (!step.isEmpty()) {
                QWebPage* page = viewOf(window, tab)->page();
                QSignalSpy loaded(page, SIGNAL(loadFinished(bool)));
                if (step == "Back")
                    page->mainFrame()->evaluateJavaScript("location = '/manage/portal/user'");
                QVERIFY(step == "Reload" || loaded.wait(10000));
                server.setResponse(again, 302, "", "text/plain",
                                   {{"Location", "http://nx.invalid/"}});
                page->triggerAction(step == "Back" ? QWebPage::Back : QWebPage::Reload);
            }
            QTRY_VERIFY_WITH_TIMEOUT(log.count(QRegularExpression("Error in reply: 3 ")) >=
                                         (tab == "images" ? 21 : i),
                                     30000);
        }
        QTest::qWait(50);
        QCOMPARE(BoxDriver::visibleBoxes(), boxes);
        // A failure in a box is in the log, whatever a page wrote before.
        QCOMPARE(log.count(QRegularExpression("could not be loaded: \"Error in reply: 3 ")), boxes);
        if (QMessageBox* box = BoxDriver::visibleBox()) {
            QCOMPARE(box->windowTitle(), QString("Error"));
            QVERIFY2(box->text().startsWith("Error in reply: 3 ("), qPrintable(box->text()));
            QCOMPARE(box->textFormat(), Qt::PlainText);
        }
        iface->onDisconnect();
        QTRY_COMPARE(BoxDriver::visibleBoxes(), 0);
    }

    // A foreign document that reloads itself in the tab, or in a frame of
    // the server's page, at the default verbosity: what each load has the
    // plugin, and the windows through its signals, log counts against the
    // tab. A script of it that never ends is stopped, and one line names the
    // tab and the origins of its frames; its workers, which hold no window,
    // compute as long as they like.
    void reloadLoopIsBounded_data()
    {
        QTest::addColumn<bool>("inFrame");
        QTest::addColumn<QByteArray>("then"); // its script once the reloads are over
        QTest::addColumn<int>("stops");       // at least, where scripts go off
        QTest::addColumn<bool>("scriptsOff"); // pages held the program past their share
        // Then the client loads it again (its own name), or loads the same in
        // another tab, where the user gives a command after two in the first;
        // or, held, the program is stopped right after a script.
        QTest::addColumn<QString>("next");
        const QByteArray done = "document.title = 'done'";
        const QByteArray worker = // 8 runs of 0.7 s, each one its engine may stop
            "var w = new Worker(URL.createObjectURL(new Blob(['onmessage = function(e) { for "
            "(var t = Date.now(); Date.now() - t < 700;); postMessage(e.data) }']))); "
            "w.onmessage = function(e) { if (e.data < 7) w.postMessage(e.data + 1); else " +
            done + " }; w.postMessage(0)";
        QTest::newRow("the tab") << false << done << 0 << false << QString();
        QTest::newRow("a frame of the server's page") << true << done << 0 << false << QString();
        QTest::newRow("the tab, then a script that never ends")
            << false << done + "; for (;;);" << 1 << false << QString();
        QTest::newRow("a frame of the server's page, then a script that never ends")
            << true << done + "; for (;;);" << 1 << false << QString();
        QTest::newRow("a frame of the server's page, then its worker's long runs")
            << true << worker << 0 << false << QString();
        QTest::newRow("the tab, then a script that starts an endless one every 10 ms")
            << false << done + "; setInterval(function() { for (;;); }, 10)" << 1 << true
            << QString();
        QTest::newRow("the tab, then an endless script every 1.3 s")
            << false << done + "; setInterval(function() { for (;;); }, 1300)" << 1 << true
            << QString();
        QTest::newRow("the tab, then the program stopped by its user for 4 limits")
            << false << done << 1 << false << "held";
        QTest::newRow("the tab, then a script of eight tenths of the limit, again at once")
            << false
            << done + "; (function f() { for (var t = Date.now(); Date.now() - t < 400;); "
                      "setTimeout(f, 0) })()"
            << 0 << true << QString();
        QTest::newRow("the tab, then a chain of sync XHRs to a host that never answers")
            << false
            << done + "; (function ask() { var r = new XMLHttpRequest(); r.open('GET', "
                      "'/silent', false); try { r.send() } catch (e) {} setTimeout(ask, 0) })()"
            << 1 << true << QString();
        QTest::newRow("the tab, then a script that starts an endless one every 10 ms, then the "
                      "tab again")
            << false << done + "; setInterval(function() { for (;;); }, 10)" << 1 << true
            << "Users";
        QTest::newRow("the tab, then the same in another tab")
            << false << done << 0 << false << "Connections";
    }

    void reloadLoopIsBounded()
    {
        QFETCH(bool, inFrame);
        QFETCH(QByteArray, then);
        QFETCH(int, stops);
        QFETCH(bool, scriptsOff);
        QFETCH(QString, next);
        ORVO::ScriptWatch::setLimitMs(StopMs);
        const auto patient = qScopeGuard([] { ORVO::ScriptWatch::setLimitMs(PatientMs); });
        orvotest::TestEnv env;
        ORVO::Config cfg(env.root()); // only its level is used
        cfg.logLevel = 5;
        g_cfg = &cfg;
        const auto published = qScopeGuard([] { g_cfg = nullptr; });
        orvotest::LogCapture log;
        signIn();
        PluginWindow* window = makeWindow();
        QVERIFY(load(window, "Users"));
        other.setDelay("/silent", 3600 * 1000);
        other.setResponse("/loop", 200,
                          "<script>var n = +location.search.split('&')[0].slice(3); if (n < 200) "
                          "location.replace('/loop?n=' + (n + 1) + '&' + Array(4096).join('p')); "
                          "else { " +
                              then + " }</script>");
        connect(plugin, &ConfigPlugin::loadStarted, this,
                [] { LOG_NOTICE << "[Test] a load: " << QString(2000, 'l'); });
        QWebFrame* frame = viewOf(window, "Users")->page()->mainFrame();
        connect(frame, &QWebFrame::javaScriptWindowObjectCleared, this,
                [&] { iface->addScriptObject(frame, "MainWindowCallback", this); });
        log.clear();
        if (inFrame)
            frame->evaluateJavaScript("document.body.innerHTML += \"<iframe src='" +
                                      other.baseUrl() + "/loop?n=0'></iframe>\"");
        else
            frame->setUrl(QUrl(other.baseUrl() + "/loop?n=0"));
        const auto looping = [&] { return inFrame ? frame->childFrames().value(0) : frame; };
        QTRY_VERIFY_WITH_TIMEOUT(looping() && looping()->title() == "done", 60000);
        const QString origins = (inFrame ? server.baseUrl() + ", " : QString()) + other.baseUrl();
        if (next == "held") {
            frame->evaluateJavaScript("0");
            QThread::msleep(4 * StopMs);
        }
        const QString tab =
            "the portal tab \"Users\" \\(frames of " + QRegularExpression::escape(origins) + "\\)";
        const QRegularExpression stop("(A script held the program|The program was held) for "
                                      "[0-9.]+ s[^;]*; .* " +
                                      tab);
        const QRegularExpression off("Pages held the program for [0-9.]+ s of the last .* " + tab +
                                     "; their scripts are off");
        if (scriptsOff)
            QTRY_COMPARE_WITH_TIMEOUT(log.count(off), 1, 30000);
        QTRY_VERIFY(scriptsOff ? log.count(stop) >= stops : log.count(stop) == stops);
        const int told = log.count(stop);
        QTest::qWait(3 * StopMs); // nothing holds the program again
        QCOMPARE(log.count(stop), told);
        QCOMPARE(log.count(off), scriptsOff ? 1 : 0);
        QCOMPARE(!frame->page()->settings()->testAttribute(QWebSettings::JavascriptEnabled),
                 scriptsOff);
        if (next == "Users") { // loaded again, its scripts run again
            QVERIFY(load(window, next));
            QCOMPARE(frame->evaluateJavaScript("6 * 7").toInt(), 42);
        } else if (next == "Connections") { // the tabs write together as one
            QVERIFY(load(window, next));
            QWebFrame* second = viewOf(window, next)->page()->mainFrame();
            second->setUrl(QUrl(other.baseUrl() + "/loop?n=0"));
            QTRY_VERIFY_WITH_TIMEOUT(second->title() == "done", 60000);
            QVERIFY(log.contains("the portal's tabs and requests together write faster"));
            QList<int> cut; // the user's share is the portal's
            for (const QString& tab : {QString("Users"), QString("Users"), next}) {
                const QChar c('u' + cut.size());
                const ORVO::log::UserCommandLines command(
                    static_cast<ORVO::QWebPageEcc*>(viewOf(window, tab)->page())->logLimit());
                for (int i = 0; i < 5; ++i)
                    LOG_NOTICE << QString(2000, c);
                cut << log.count(
                    QRegularExpression(QString(c) + " \\x{2026} \\(cut: \\d+ more characters\\)$"));
            }
            QVERIFY2(cut.at(0) >= 2 && cut.at(1) >= 2 && cut.at(2) < 2,
                     qPrintable(QString::number(cut.at(0)) + QString::number(cut.at(1)) +
                                QString::number(cut.at(2))));
        }
        qint64 logged = 0;
        for (const QString& line : log.lines())
            logged += line.size();
        QVERIFY2(logged < 200 * 1024, QByteArray::number(logged));
        iface->onDisconnect(); // told as the tab goes, and never again
        QCOMPARE(log.count(QRegularExpression("lines of the portal tab \"Users\" left out")), 1);
        delete window;
        QCOMPARE(log.count(QRegularExpression(" left out: ")), next == "Connections" ? 2 : 1);
        disconnect(plugin, &ConfigPlugin::loadStarted, this, nullptr);
    }

    void pageErrorSignsOutInsideNavigation_data()
    {
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QString>("link");
        QTest::newRow("link to the login page") << "Connections"
                                                << "login-page";
        QTest::newRow("frame sent to the login page") << "frames"
                                                      << "frame";
    }

    void pageErrorSignsOutInsideNavigation()
    {
        QFETCH(QString, tab);
        QFETCH(QString, link);
        ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
        orvotest::LogCapture log;
        signIn();
        PluginWindow* window = makeWindow();
        QVERIFY(load(window, "Users"));
        QVERIFY(load(window, tab));
        ORVO::QWebViewEcc* view = viewOf(window, tab);
        QSignalSpy signedOut(plugin, SIGNAL(sigDisconnect()));
        // Runs after the pages have heard of the sign-out, still inside the
        // page's navigation request.
        QString shownAtSignOut;
        connect(plugin, &ConfigPlugin::sigDisconnect, this, [&] { shownAtSignOut = bodyOf(view); });
        view->page()->mainFrame()->findFirstElement("#" + link).evaluateJavaScript("this.click()");
        QTRY_COMPARE(signedOut.count(), 1);
        QVERIFY(!plugin->isReady());
        QVERIFY(!plugin->window);
        QVERIFY(!shownAtSignOut.isEmpty());
        // Blanked once the navigation request has returned, unless it was
        // loading (the frame) at the sign-out.
        QTRY_VERIFY(!view->loading);
        QTest::qWait(50);
        QCOMPARE(bodyOf(view).isEmpty(), link == "login-page");
        QCOMPARE(signedOut.count(), 1);
        // The user is told why, once.
        QCOMPARE(log.count(QRegularExpression("Auto-answer 1024: \"Bastiva Connect App Info\": "
                                              "\"The management server has ended the session")),
                 1);
    }

    void tlsTolerance_data()
    {
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QList<int>>("ignored");
        QTest::addColumn<QStringList>("errors");
        using E = QSslError;
        QTest::newRow("private CA, other name")
            << QList<int>{E::HostNameMismatch, E::UnableToGetLocalIssuerCertificate}
            << QList<int>{E::HostNameMismatch, E::UnableToGetLocalIssuerCertificate}
            << QStringList();
        QTest::newRow("chain") << QList<int>{E::SelfSignedCertificateInChain,
                                             E::UnableToVerifyFirstCertificate}
                               << QList<int>{E::SelfSignedCertificateInChain,
                                             E::UnableToVerifyFirstCertificate}
                               << QStringList();
        QTest::newRow("other name, expired")
            << QList<int>{E::HostNameMismatch, E::CertificateExpired}
            << QList<int>{E::HostNameMismatch} << QStringList{"QSslError (6): "};
        QTest::newRow("self-signed leaf") << QList<int>{E::SelfSignedCertificate} << QList<int>()
                                          << QStringList{"QSslError (9): "};
        QTest::newRow("unspecified")
            << QList<int>{E::UnspecifiedError} << QList<int>() << QStringList{"QSslError (-1): "};
    }

    void tlsTolerance()
    {
        QFETCH(QList<int>, codes);
        QFETCH(QList<int>, ignored);
        QFETCH(QStringList, errors);
        QList<QSslError> in;
        for (int code : codes)
            in << QSslError(QSslError::SslError(code));
        RecordingReply reply;
        orvotest::LogCapture log;
        QVERIFY(QMetaObject::invokeMethod(plugin, "sslErrors", Q_ARG(QNetworkReply*, &reply),
                                          Q_ARG(QList<QSslError>, in)));
        QList<int> got;
        for (const QSslError& e : qAsConst(reply.ignored))
            got << int(e.error());
        QCOMPARE(got, ignored);
        const QStringList lines = log.linesAt("ERROR");
        QCOMPARE(lines.size(), errors.size());
        for (int i = 0; i < errors.size(); ++i)
            QVERIFY2(lines[i].contains(errors[i]), qPrintable(lines[i]));
    }

    void tlsAgainstServer_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("loads");
        QTest::newRow("private CA, other name") << int(TestServer::WrongHost) << true;
        QTest::newRow("self-signed") << int(TestServer::SelfSigned) << false;
    }

    void tlsAgainstServer()
    {
        QFETCH(int, mode);
        QFETCH(bool, loads);
        TestServer tls;
        tls.setCertificateMode(TestServer::CertificateMode(mode));
        tls.setPortalRequiresLogin(false);
        QVERIFY(tls.listen(true));
        tls.setPortalPage("user", "/manage/portal/user");
        libvelcor::Auth certificate;
        certificate.setType(libvelcor::Auth::CertificateType);
        iface->gotAuth(certificate);
        // The proxy's credential, applied later, changes nothing of it.
        iface->gotAuth(libvelcor::Auth(libvelcor::Auth::ProxyId, libvelcor::Auth::UserPassType, "",
                                       "proxy", "pw", ""));
        iface->gotServerAddr(tls.baseUrl().mid(8), QString());
        iface->gotPages(tls.portalPages());
        PluginWindow* window = makeWindow();
        QVERIFY(window->tab("Users")->property("url").toString().startsWith("https://"));
        QVERIFY(load(window, "Users") || !loads);
        QCOMPARE(bodyOf(viewOf(window, "Users")).startsWith("user"), loads);
    }

    void scriptObjectsAndSettings()
    {
        orvotest::TestEnv env;
        QSettings().setValue("debug", true);
        iface->gotServerAddr(server.baseUrl().mid(7), QString());
        iface->gotPages({{"user", "/u"}});
        PluginWindow* window = makeWindow();
        // "debug" has the main window turn the inspector on in every view.
        MainWindow w(nullptr, false);
        QVERIFY(viewOf(window, "Users")
                    ->settings()
                    ->testAttribute(QWebSettings::DeveloperExtrasEnabled));
        QWidget plain;
        QVERIFY(!iface->pageMainFrame(&plain));
        QObject* frame = iface->pageMainFrame(viewOf(window, "Users"));
        QVERIFY(qobject_cast<QWebFrame*>(frame));
        QObject callback;
        QVERIFY(!iface->addScriptObject(&plain, "MainWindowCallback", &callback));
        // Only a document of the management server gets the object.
        QVERIFY(load(window, "Users"));
        QVERIFY(iface->addScriptObject(frame, "MainWindowCallback", &callback));
        auto* webFrame = qobject_cast<QWebFrame*>(frame);
        QCOMPARE(webFrame->evaluateJavaScript("typeof MainWindowCallback").toString(),
                 QString("object"));
        webFrame->setHtml("<p>elsewhere</p>", QUrl("http://elsewhere.invalid/"));
        QVERIFY(!iface->addScriptObject(frame, "MainWindowCallback", &callback));

        // One settings dialog, shown on each request and closed at sign-out.
        window->settingsButton()->click();
        QPointer<SettingsDialog> dialog = plugin->settingsDialog;
        QVERIFY(dialog && dialog->isVisible());
        QSignalSpy password(plugin, SIGNAL(changePassword(QString)));
        emit dialog->changePassword("new");
        QCOMPARE(password.count(), 1);
        iface->onDisconnect();
        QVERIFY(dialog && !dialog->isVisible());
        iface->gotPages({{"user", "/u"}});
        makeWindow()->settingsButton()->click();
        QCOMPARE(plugin->settingsDialog.data(), dialog.data());
        QVERIFY(dialog->isVisible());
    }

    // A page that never finishes and starts over every 0.3 s holds the
    // sign-out until the hold's budget is spent; then a load of it holds
    // nothing. Tabs replaced while one loads end that load for the windows
    // unless a new tab's load has begun; a window that goes hears nothing.
    void stalledLoad()
    {
        signIn();
        iface->gotPages({{"stalled", "/manage/portal/stalled"}});
        MainWindow w(nullptr, false);
        w.configPlugin = plugin;
        w.configIface = iface;
        QVERIFY(connect(plugin, SIGNAL(loadStarted()), &w, SLOT(loadStarted())));
        QVERIFY(connect(plugin, SIGNAL(loadFinished()), &w, SLOT(loadFinished())));
        // A budget that no slow run under load uses up before the checks.
        w.loadHold.setCapacity(60000);
        QVERIFY(QMetaObject::invokeMethod(&w, "createConfig"));
        QPointer<PluginWindow> window = w.configContainer->window();
        window->loadHold()->setCapacity(60000);
        QVERIFY(QMetaObject::invokeMethod(&w, "showConfig"));
        const auto signOutFree = [&](bool on) {
            return window->loadHold()->holds() != on && w.loadHold.holds() != on;
        };
        QTRY_VERIFY(signOutFree(false));
        QSignalSpy starts(plugin, SIGNAL(loadStarted()));
        QSignalSpy ends(plugin, SIGNAL(loadFinished()));
        iface->gotPages({{"stalled", "/manage/portal/stalled"}});
        window->activateTab("stalled"); // loads again at once
        // Up to the new page's reload, the windows hear only its own end.
        QTRY_VERIFY(starts.count() >= 2);
        QCOMPARE(ends.count(), 1);
        QVERIFY(signOutFree(false));
        iface->gotPages({{"stalled", "/manage/portal/stalled"}});
        QTRY_VERIFY(signOutFree(true));
        w.loadHold.setCapacity(2000);
        window->loadHold()->setCapacity(2000);
        QObject probe;
        bool usable = false;
        connect(plugin, &ConfigPlugin::loadStarted, &probe, [&] { usable = signOutFree(true); });
        window->activateTab("stalled");
        QVERIFY(signOutFree(false));
        QTRY_VERIFY_WITH_TIMEOUT(usable, 10000);
        probe.disconnect(plugin);
        window->logoutButton()->click();
        w.backToLogin(); // as the idle state after the sign-out: the window goes
        QTRY_VERIFY(!window);
    }

    void staticPluginIsFound()
    {
        QList<ORVO::GfxPluginInterface*> found;
        for (QObject* instance : QPluginLoader::staticInstances()) {
            if (auto* gfx = qobject_cast<ORVO::ConfigGfxPluginInterface*>(instance))
                found << gfx;
        }
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0]->type(), 1);
        QCOMPARE(QPluginLoader::staticInstances().count(dynamic_cast<QObject*>(found[0])), 1);
    }
};

ORVO_TEST_MAIN_WITH(ORVO::GuiApplication, TestConfigPlugin)
#include "tst_configplugin.moc"
