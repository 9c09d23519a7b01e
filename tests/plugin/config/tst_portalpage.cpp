// A portal tab for real: a web view offscreen with the portal's page and
// network access manager, against the management-server test server.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QNetworkReply>
#include <QPointer>
#include <QScopedValueRollback>
#include <QSignalSpy>
#include <QWebElement>
#include <QWebFrame>

#include "common/config.h"
#include "common/loglimit.h"
#include "gui/testseams.h"
#include "libvelcor/logger.h"
#include "logcapture.h"
#include "main/startupsteps.h"
#include "plugin/config/qnetworkaccessmanagerecc.h"
#include "plugin/config/qwebpageecc.h"
#include "plugin/config/qwebviewecc.h"
#include "testenv.h"
#include "testmain.h"
#include "testserver.h"

using orvotest::TestServer;

namespace {

const QByteArray Agent = "Corvane Tavu Connect 3.8.1 (Macintosh)";
const QString PortalPath = QStringLiteral("/manage/portal/connection/");

// Lets a test hand navigation requests to the page as the web engine does,
// and counts them.
class Page : public ORVO::QWebPageEcc
{
public:
    int navigations = 0;
    bool acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                 QWebPage::NavigationType type) override
    {
        ++navigations;
        return ORVO::QWebPageEcc::acceptNavigationRequest(frame, request, type);
    }
};

// The program's file log, opened as the program opens it, with a line
// written before anything else, at a level.
class FileLog
{
public:
    explicit FileLog(int level)
    {
        orvotest::writeFile(env.root() + "/b/Resources/etc/vtx.json", "{}");
        QDir().mkpath(env.root() + "/b/bin");
        cfg.reset(new ORVO::Config(env.root() + "/b/bin"));
        cfg->logLevel = level;
        QString why;
        opened = ORVO::openFileLog(logger, path(), why) == 0;
        ORVO::log::restoreQtMessageLimit();
        LOG_ALWAYS << "[Test] before the flood";
        g_cfg = cfg.get();
    }
    ~FileLog() { g_cfg = nullptr; }
    bool opened = false;
    QString path() const { return env.root() + "/vtx-log.txt"; }
    // What the file holds once the limits have told what they left out, as
    // a new sign-in has them.
    QByteArray close()
    {
        ORVO::log::restoreQtMessageLimit();
        logger.close();
        return orvotest::readFile(path());
    }

    orvotest::TestEnv env;
    std::unique_ptr<ORVO::Config> cfg;
    libvelcor::Logger logger;
};

QStringList names(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out << args.at(0).toString();
    return out;
}

} // namespace

class TestPortalPage : public QObject
{
    Q_OBJECT

    TestServer server;
    ORVO::QNetworkAccessManagerEcc* nam = nullptr;
    ORVO::QWebViewEcc* view = nullptr;
    Page* page = nullptr;
    ORVO::log::UserShare share;

    void loadPortal()
    {
        QSignalSpy loaded(view, SIGNAL(loadFinished(bool)));
        page->clientLoad(QUrl(server.baseUrl() + PortalPath));
        QVERIFY(loaded.wait(10000));
        QCOMPARE(loaded.first().first().toBool(), true);
        QCOMPARE(page->mainFrame()->findFirstElement("#title").toPlainText(), "connection");
    }

    void click(const QString& id)
    {
        const QWebElement link = page->mainFrame()->findFirstElement("#" + id);
        QVERIFY2(!link.isNull(), qPrintable(id));
        QTest::mouseClick(view, Qt::LeftButton, {}, link.geometry().center());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server.listen(false));
        server.setPortalPage(QStringLiteral("connection"), PortalPath);
    }

    void init()
    {
        server.setPortalRequiresLogin(false);
        server.clearRequests();
        nam = new ORVO::QNetworkAccessManagerEcc;
        page = new Page;
        page->setNetworkAccessManager(nam);
        page->setCommandOrigins({QUrl(server.baseUrl())});
        share.restore();
        page->logLimit()->setUserShare(&share);
        view = new ORVO::QWebViewEcc;
        view->setPage(page);
        view->resize(800, 600);
        view->show();
    }

    void cleanup()
    {
        delete view;
        delete page;
        delete nam;
        ORVO::seams::setMessageBoxAutoAnswer(0);
    }

    void requestsAreStamped_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("sentType");
        QTest::newRow("GET without type")
            << QByteArray("GET") << QByteArray() << QByteArray("application/x-www-form-urlencoded");
        QTest::newRow("POST with JSON") << QByteArray("POST") << QByteArray("application/json")
                                        << QByteArray("application/json");
    }

    void requestsAreStamped()
    {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, sentType);
        QNetworkRequest request(QUrl(server.baseUrl() + "/stamped"));
        request.setRawHeader("User-Agent", "Other/1.0");
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        if (!contentType.isEmpty())
            request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
        libvelcor::Auth cert;
        cert.setType(libvelcor::Auth::CertificateType);
        cert.setUser(QStringLiteral("someone"));
        nam->setAuth(cert);
        QNetworkReply* reply = nam->sendCustomRequest(request, method, QByteArray("a=1"));
        QCOMPARE(reply->request().attribute(QNetworkRequest::CacheLoadControlAttribute).toInt(),
                 int(QNetworkRequest::PreferCache));
        QSignalSpy done(reply, SIGNAL(finished()));
        QVERIFY(done.wait(10000));
        const QList<TestServer::Request> got = server.requests(QStringLiteral("/stamped"));
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].headers.value("user-agent"), Agent);
        QCOMPARE(got[0].headers.value("content-type"), sentType);
        QVERIFY(!got[0].headers.contains("authorization"));
        delete reply;
    }

    void pendingRepliesAreTrackedOnly()
    {
        orvotest::LogCapture log;
        server.setDelay(QStringLiteral("/slow"), 5000);
        QList<QNetworkReply*> issued;
        for (int i = 0; i < 3; ++i)
            issued << nam->get(QNetworkRequest(QUrl(server.baseUrl() + "/slow")));
        QCOMPARE(nam->getRequests(), issued);
        QVERIFY(log.contains("request count: 3"));
        nam->getRequests().removeAll(issued[1]);
        QCOMPARE(nam->getRequests(), (QList<QNetworkReply*>{issued[0], issued[2]}));
        // Its issuer deletes a reply: the list forgets it instead of dangling.
        delete issued[0];
        QCOMPARE(nam->getRequests(), QList<QNetworkReply*>{issued[2]});
        QVERIFY(issued[2]->isRunning());
        server.clearPath(QStringLiteral("/slow"));

        // The web engine deletes the replies of a page itself; none is left.
        delete issued[2];
        loadPortal();
        QTRY_VERIFY(nam->getRequests().isEmpty());
        QCOMPARE(page->mainFrame()->evaluateJavaScript("navigator.userAgent").toByteArray(), Agent);
    }

    void linksBecomeCommands_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QVariantList>("routes"); // one QStringList per syncRoutes
        QTest::addColumn<bool>("delayed");
        QTest::addColumn<QString>("key"); // one entry of the action map
        QTest::addColumn<QString>("value");
        const auto r = [](const QStringList& l) { return QVariantList{l}; };
        QTest::newRow("execute") << "execute" << QStringList{"EXECUTE_COMMAND"}
                                 << r({"10.0.0.5", "10.0.0.6"}) << true << "args"
                                 << "-fullscreen -quality 9";
        QTest::newRow("sync routes")
            << "sync-routes" << QStringList() << r({"10.0.0.5", "10.0.0.9"}) << false << QString()
            << QString();
        QTest::newRow("csv") << "download-csv" << QStringList{"ACTION_DOWNLOAD"} << QVariantList()
                             << false << "url" << server.baseUrl() + "/manage/report/export?csv=1";
    }

    void linksBecomeCommands()
    {
        QFETCH(QString, id);
        QFETCH(QStringList, actions);
        QFETCH(QVariantList, routes);
        QFETCH(bool, delayed);
        QFETCH(QString, key);
        QFETCH(QString, value);
        loadPortal();
        server.clearRequests();
        QSignalSpy act(page, SIGNAL(action(QString, QVariantMap)));
        QSignalSpy sync(page, SIGNAL(syncRoutes(QStringList)));
        QSignalSpy err(page, SIGNAL(error()));
        QElapsedTimer clock;
        clock.start();
        click(id);
        QCOMPARE(act.count(), delayed ? 0 : actions.size());
        QTRY_COMPARE(names(act), actions);
        if (delayed)
            QVERIFY(clock.elapsed() >= 250);
        QTest::qWait(400); // nothing more arrives
        QCOMPARE(names(act), actions);
        QVariantList gotRoutes;
        for (const QList<QVariant>& args : sync)
            gotRoutes << args.at(0);
        QCOMPARE(gotRoutes, routes);
        if (!key.isEmpty())
            QCOMPARE(act.first().at(1).toMap().value(key).toString(), value);
        QCOMPARE(err.count(), 0);
        // The tab stays on its page and the command never reaches the server.
        QCOMPARE(page->mainFrame()->url().path(), PortalPath);
        QVERIFY(server.requests().isEmpty());
    }

    void quickCommandsEachArriveOnceInOrder()
    {
        loadPortal();
        QSignalSpy act(page, SIGNAL(action(QString, QVariantMap)));
        click(QStringLiteral("execute"));
        click(QStringLiteral("open-url"));
        click(QStringLiteral("builtin"));
        QTRY_COMPARE(act.count(), 4);
        QTest::qWait(500);
        QCOMPARE(names(act), (QStringList{"EXECUTE_COMMAND", "OPEN_URL", "terminal", "ssh"}));
        QCOMPARE(act.at(0).at(1).toMap().value("name").toString(), "viewer");
        QVERIFY(!act.at(1).at(1).toMap().contains("name"));
        QCOMPARE(page->pendingCommands(), 0);
    }

    void floodOfCommandsIsBounded_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("delayed") << "OPEN_URL";
        QTest::newRow("immediate") << "client_download";
    }

    void floodOfCommandsIsBounded()
    {
        QFETCH(QString, command);
        orvotest::LogCapture log;
        loadPortal();
        QSignalSpy act(page, SIGNAL(action(QString, QVariantMap)));
        const int sent = ORVO::QWebPageEcc::MaxPendingCommands + 5;
        for (int i = 0; i < sent; ++i) {
            QNetworkRequest request(QUrl(QString("http://x/%1?url=%2").arg(command).arg(i)));
            request.setRawHeader("Referer", server.baseUrl().toUtf8() + PortalPath.toUtf8());
            QVERIFY(!page->acceptNavigationRequest(page->mainFrame(), request,
                                                   QWebPage::NavigationTypeOther));
        }
        QCOMPARE(page->pendingCommands() + act.count(), ORVO::QWebPageEcc::MaxPendingCommands);
        // Told once a flood, and how many once it has ended, or the tab.
        QCOMPARE(log.count(QRegularExpression("Too many commands")), 1);
        page->endLogLimit();
        QVERIFY(log.contains("] [WebPage] 5 of the page's commands dropped"));
        QTRY_COMPARE(act.count(), ORVO::QWebPageEcc::MaxPendingCommands);
        for (int i = 0; i < act.count(); ++i)
            QCOMPARE(act.at(i).at(1).toMap().value("url").toString().section('=', -1),
                     QString::number(i));
        // A bundle counts each of its applications.
        QTest::qWait(400);
        QNetworkRequest bundle(QUrl("http://x/OPEN_URL?url=BUILTIN_APP%3Fbundle%3D" +
                                    QString("a,").repeated(act.count() + 1)));
        bundle.setRawHeader("Referer", server.baseUrl().toUtf8() + PortalPath.toUtf8());
        page->acceptNavigationRequest(page->mainFrame(), bundle, QWebPage::NavigationTypeOther);
        QCOMPARE(log.count(QRegularExpression("Too many commands")), 2);
    }

    // The user's command is the navigation to the link under the user's
    // input, one a press (with its release) or Enter; its lines are short
    // and drawn from the user's share, which keeps room for a command's
    // first lines, and the page's own commands never take its place.
    void userCommandIsTheInputs_data()
    {
        QTest::addColumn<QByteArray>("script");      // the server page's, with links u, p, b
        QTest::addColumn<QString>("input");          // on u, b: what the user does, the tab in debt
        QTest::addColumn<QByteArrayList>("written"); // the user's lines: "user", "page", "dropped"
        const QByteArrayList user{"user"};
        QTest::newRow("typing into a page that sends bundles, then a click")
            << QByteArray("onkeydown = function() { b.click() }") << "type, click u" << user;
        QTest::newRow("press and release with a command on each")
            << QByteArray("u.onmousedown = function() { p.click() }") << "click u" << user;
        QTest::newRow("a page's command racing the user's click")
            << QByteArray("setInterval(function() { p.click() }, 20)") << "slow click u" << user;
        QTest::newRow("a command flood around the user's click")
            << QByteArray("setInterval(function() { b.click() }, 50)") << "slow click u" << user;
        QTest::newRow("the same, the page's bundles full")
            << QByteArray("b.setAttribute('href', b.getAttribute('href').replace('%3D', "
                          "'%3DOPEN_URL,')); setInterval(function() { b.click() }, 50)")
            << "slow click u" << user;
        QTest::newRow("a double-click") << QByteArray("u.onmousedown = function() { u.click() }")
                                        << "double-click u" << QByteArrayList{"user", "user"};
        QTest::newRow("a held key") << QByteArray("u.focus()") << "hold Enter" << user;
        QTest::newRow("the user's bundle, then a click")
            << QByteArray() << "click b, click u" << user;
        QTest::newRow("the user's bundles over the bound, in the page's flood")
            << QByteArray("b.setAttribute('href', b.getAttribute('href').replace('%3D', "
                          "'%3DOPEN_URL,OPEN_URL,')); setInterval(function() { b.click() }, 50)")
            << "click b, click b" << QByteArrayList{"dropped", "dropped"};
    }

    void userCommandIsTheInputs()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, input);
        QFETCH(QByteArrayList, written);
        FileLog file(5);
        // A bundle of 31 applications, each with a scheme of 4,000 letters;
        // the user's link a long one.
        server.setResponse("/manage/portal/typed/", 200,
                           "<a id=u href=OPEN_URL?url=user%23" + QByteArray(1000, 'x') +
                               ">u</a> <a id=p href=OPEN_URL?url=page>p</a> <a id=b "
                               "href=OPEN_URL?url=BUILTIN_APP%3Fbundle%3D" +
                               QByteArray("OPEN_URL,").repeated(31) + "%26url%3D" +
                               QByteArray(4000, 's') + "%3Ax>b</a><script>" + script + "</script>");
        connect(page, &ORVO::QWebPageEcc::action, this, [](const QString&, const QVariantMap& m) {
            LOG_ERROR << "[Test] Not opening " << m.value("url").toString();
        });
        QSignalSpy loaded(view, SIGNAL(loadFinished(bool)));
        page->clientLoad(QUrl(server.baseUrl() + "/manage/portal/typed/"));
        QVERIFY(loaded.wait(10000) && file.opened);
        const auto at = [this](const char* id) {
            return page->mainFrame()->findFirstElement(id).geometry().center();
        };
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; input.startsWith("type") && i < 40; ++i) { // 8 keys a second
            QTest::keyClick(view, Qt::Key_A);
            QTest::qWait(125);
        }
        const qint64 ms = clock.elapsed();
        // From now on the tab writes nothing of its own.
        ORVO::log::FloodAllowance none(0, 0);
        page->setLogAllowance(&none);
        LOG_ALWAYS << "[Test] the user's input";
        for (const QString& step : input.split(", ")) {
            const QPoint to = at(step.endsWith('b') ? "#b" : "#u");
            if (step.endsWith(" click u") || step.startsWith("click")) {
                QTest::mousePress(view, Qt::LeftButton, {}, to);
                QTest::qWait(step.startsWith("slow") ? 300 : 0);
                QTest::mouseRelease(view, Qt::LeftButton, {}, to);
            }
            if (step == "double-click u") {
                QTest::mouseClick(view, Qt::LeftButton, {}, to);
                QTest::mousePress(view, Qt::LeftButton, {}, to);
                QMouseEvent twice(QEvent::MouseButtonDblClick, to, Qt::LeftButton, Qt::LeftButton,
                                  {});
                QApplication::sendEvent(view, &twice);
                QTest::mouseRelease(view, Qt::LeftButton, {}, to);
            }
            for (int i = 0; step == "hold Enter" && i < 20; ++i) {
                QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, {}, "\r", i > 0);
                QApplication::sendEvent(view, &key);
            }
        }
        QTest::qWait(400); // a delayed command's lines
        const QByteArray log = file.close();
        QByteArrayList got;
        for (const QByteArray& line : log.mid(log.indexOf("[Test] the user's input")).split('\n')) {
            for (const char* word : {"user", "page"})
                if (line.contains(QByteArray("[Test] Not opening \"") + word))
                    got << word;
            if (line.contains("dropping the user's"))
                got << "dropped";
        }
        QCOMPARE(got, written);
        if (input.startsWith("type")) {
            // The tab's burst, then about 4 KiB a second.
            const int typed = log.indexOf("[Test] the user's input");
            qInfo("%d bytes in %lld ms of typing", typed, ms);
            QVERIFY2(typed < 72 * 1024 + 4 * ms, QByteArray::number(typed));
        }
    }

    void commandsOnlyFromThePortalItself_data()
    {
        // The tab's first page: "S..." a path of the server, "O..." of another host.
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("refused");
        QTest::newRow("frame of another origin") << "S/framed-self" << true;
        QTest::newRow("frame navigating the tab") << "S/framed-top" << true;
        QTest::newRow("page of another origin") << "O/ad-self" << true;
        QTest::newRow("link redirected by another host") << "S/link-other" << true;
        QTest::newRow("refresh redirected by another host") << "S/refresh-other" << true;
        QTest::newRow("another host, then the server's redirect") << "S/link-chain" << true;
        QTest::newRow("the server's own redirect") << "S/link-own" << false;
        QTest::newRow("the same, its Location with the default port") << "S/link-own80" << false;
        QTest::newRow("another host's slow redirect, a frame knocking") << "S/knock-other" << true;
        QTest::newRow("the server's slow redirect, a frame knocking") << "S/knock-own" << false;
    }

    void commandsOnlyFromThePortalItself()
    {
        QFETCH(QString, start);
        QFETCH(bool, refused);
        TestServer other;
        QVERIFY(other.listen(false));
        const QByteArray s = server.baseUrl().toUtf8(), o = other.baseUrl().toUtf8();
        const QByteArray command = s + "/run/EXECUTE_COMMAND?command_path=%2Fbin%2Ftouch"
                                       "&command_args=%2Ftmp%2Fpwned&device_ips%5B%5D=10.9.9.9";
        for (const QByteArray target : {"self", "top"}) {
            other.setResponse(QString("/ad-" + target), 200,
                              "<script>" + target + ".location = '" + command + "'</script>");
            server.setResponse(QString("/framed-" + target), 200,
                               "<iframe src='" + o + "/ad-" + target + "'>");
        }
        const auto link = [](const QByteArray& to) -> QByteArray {
            return "<a id=go href='" + to +
                   "'>go</a><script>document.getElementById('go').click()"
                   "</script>";
        };
        const auto redirect = [](TestServer& at, const char* path, const QByteArray& to) {
            at.setResponse(path, 302, "moved", "text/plain", {{"Location", to}});
        };
        server.setResponse("/link-other", 200, link(o + "/r"));
        server.setResponse("/refresh-other", 200,
                           "<meta http-equiv=refresh content='0;url=" + o + "/r'>");
        server.setResponse("/link-chain", 200, link(o + "/r2"));
        server.setResponse("/link-own", 200, link(s + "/own"));
        server.setResponse("/link-own80", 200, link(s + "/own80"));
        redirect(server, "/own80", QByteArray(command).replace(s, "http://127.0.0.1:80"));
        redirect(other, "/r", command);
        redirect(other, "/r2", s + "/own");
        redirect(server, "/own", command);
        // A foreign frame knocks with refused commands while the redirect's
        // body is on its way.
        other.setResponse("/knock", 200,
                          "<script>setInterval(function() { top.location = "
                          "'http://x/OPEN_URL?url=0' }, 100)</script>");
        for (TestServer* at : {&server, &other}) {
            at->setBodyDelay("/slow", 1500);
            redirect(*at, "/slow", command);
            server.setResponse(at == &server ? "/knock-own" : "/knock-other", 200,
                               "<iframe src=" + o +
                                   "/knock></iframe><a id=go href=" + at->baseUrl().toUtf8() +
                                   "/slow></a><script>onload = function() { go.click() }</script>");
        }
        const QRegularExpression refusal("Command refused.*EXECUTE_COMMAND");
        orvotest::LogCapture log;
        QSignalSpy act(page, SIGNAL(action(QString, QVariantMap)));
        QSignalSpy sync(page, SIGNAL(syncRoutes(QStringList)));
        page->clientLoad(QUrl((start[0] == 'S' ? server : other).baseUrl() + start.mid(1)));
        if (refused)
            QTRY_VERIFY(log.count(refusal) > 0);
        else
            QTRY_COMPARE(act.count(), 1);
        QTest::qWait(400);
        QCOMPARE(act.count() + sync.count(), refused ? 0 : 2);
        QCOMPARE(log.count(refusal) > 0, refused);
        QVERIFY(server.requests("/run/EXECUTE_COMMAND").isEmpty());
    }

    void redirectToLoginIsAnError_data()
    {
        QTest::addColumn<QString>("start"); // the tab's first page, on the server
        QTest::addColumn<int>("signOuts");
        QTest::newRow("the server's expired page") << PortalPath << 1;
        QTest::newRow("the server's page leads there") << "/own-login" << 1;
        QTest::newRow("the same, again and again") << "/own-login-loop" << 1;
        QTest::newRow("another host's login page") << "/framed-other-login" << 0;
        QTest::newRow("frame of another origin loads it") << "/framed-self" << 0;
        QTest::newRow("frame of another origin moves the tab") << "/framed-top" << 0;
        QTest::newRow("page reached by a link, hidden frame") << "/link-hidden" << 0;
        QTest::newRow("link, another host's redirect") << "/link-other" << 0;
        QTest::newRow("refresh, another host's redirect") << "/refresh-other" << 0;
        QTest::newRow("page's request sent there, then a frame moves the tab") << "/fetched" << 0;
        QTest::newRow("frame of another origin, the server's 301") << "/framed-self-moved" << 0;
        QTest::newRow("the server's 303 after its link") << "/link-own" << 1;
        QTest::newRow("the server's redirect to its root, no path written") << "/link-np" << 1;
        QTest::newRow("the same, the client's own load") << "/np" << 1;
        QTest::newRow("the server's page refreshes to it") << "/refresh-own" << 1;
        QTest::newRow("the server's form, answered by its redirect") << "/form-own" << 1;
        QTest::newRow("another host's slow redirect, a frame knocking") << "/knock" << 0;
        QTest::newRow("frames of another origin step the history") << "/steps" << 0;
        QTest::newRow("the client's Back to the server's page, expired since") << "/b1" << 1;
        QTest::newRow("the client's Back to where a foreign frame sent the tab")
            << "/framed-top+back" << 0;
        QTest::newRow("the client's Back in the server's frame, expired since") << "/fb" << 1;
        QTest::newRow("the client's Back in a frame a foreign frame made") << "/fa" << 0;
        QTest::newRow("the client's Back to the server's pushed state, expired since")
            << "/pb" << 1;
        QTest::newRow("the client's Back to a foreign frame's bare link, its frame gone on")
            << "/fc" << 0;
        QTest::newRow("the same, a hundred foreign documents later") << "/xc" << 0;
        QTest::newRow("the same, the frame's refused command right after") << "/fc?0" << 0;
        QTest::newRow("the same, the refused command 100 ms later, a slow body") << "/fc?100" << 0;
        QTest::newRow("the server's slow redirect, a foreign frame moving the tab") << "/kf#x" << 1;
        QTest::newRow("the same, the frame moving the tab to a 204") << "/kf?nc" << 1;
        QTest::newRow("the same, a fragment, the redirect's body slow") << "/kf#b" << 1;
        QTest::newRow("the same, the frame steps back its own entry, the body slow")
            << "/kf?back" << 1;
        QTest::newRow("a foreign frame moves the tab once the server's slow 204 is in")
            << "/s204" << 0;
        QTest::newRow("the client's Back behind a foreign frame's fragment move") << "/g1" << 1;
        QTest::newRow("the same, by a GET form") << "/g2?a=1" << 1;
        QTest::newRow("the client's Back to a foreign frame's bare link, then an invalid URL")
            << "/fc?bad" << 0;
    }

    void redirectToLoginIsAnError()
    {
        QFETCH(QString, start);
        QFETCH(int, signOuts);
        server.setPortalRequiresLogin(true);
        TestServer other;
        QVERIFY(other.listen(false));
        const QByteArray s = server.baseUrl().toUtf8(), o = other.baseUrl().toUtf8();
        const QByteArray login = s + TestServer::LoginPath;
        // Login pages that leave frames: each row ends with the tab on one.
        for (TestServer* at : {&server, &other})
            at->setResponse(TestServer::LoginPath, 200,
                            "<form id=login></form>"
                            "<script>if (top != self) top.location = self.location</script>");
        server.setResponse("/own-login", 200, "<script>location = '" + login + "'</script>");
        server.setResponse("/own-login-loop", 200,
                           "<a id=go href='" + login +
                               "'></a><script>for (var i = 0; i < 50; ++i) go.click()</script>");
        server.setResponse("/framed-other-login", 200,
                           "<iframe src='" + o + TestServer::LoginPath + "'>");
        for (const QByteArray target : {"self", "top", "self-moved"}) {
            const QByteArray to = target.endsWith("moved") ? login.chopped(1) : login;
            other.setResponse(QString("/ad-" + target), 200,
                              "<script>" + target.left(4) + ".location = '" + to + "'</script>");
            server.setResponse(QString("/framed-" + target), 200,
                               "<iframe src='" + o + "/ad-" + target + "'>");
        }
        const auto go = [](const QByteArray& to) -> QByteArray {
            return "<a id=go href='" + to + "'></a><script>go.click()</script>";
        };
        const auto refresh = [](const QByteArray& to) -> QByteArray {
            return "<meta http-equiv=refresh content='0;url=" + to + "'>";
        };
        server.setResponse("/link-hidden", 200, go(o + "/hidden"));
        other.setResponse("/hidden", 200, "<iframe style='display:none' src='" + login + "'>");
        server.setResponse("/link-other", 200, go(o + "/r"));
        server.setResponse("/refresh-other", 200, refresh(o + "/r"));
        server.setResponse("/link-own", 200, go(s + "/r"));
        server.setResponse("/link-np", 200, go(s + "/np"));
        server.setResponse("/np", 302, "", "text/plain", {{"Location", s}});
        server.setResponse("/", 302, "", "text/plain", {{"Location", login}});
        server.setResponse("/refresh-own", 200, refresh(login));
        other.setResponse("/r", 302, "", "text/plain", {{"Location", login}});
        const bool kf = start.startsWith("/kf"), slow = start == "/kf#b" || start == "/kf?back";
        server.setResponse("/r", 303, slow ? "moved" : "", "text/plain", {{"Location", login}});
        server.setResponse(login.chopped(1).mid(s.size()), 301, "", "text/plain",
                           {{"Location", login}});
        // The page's own request and image end there; then a foreign frame
        // moves the tab.
        server.setResponse("/fetched", 200,
                           QByteArray("<script>var n = 0, x = new XMLHttpRequest(); x.open('GET', "
                                      "'/r'); function done() { if (++n == 2) document.body."
                                      "innerHTML = '<iframe src=O/ad-top>' } x.onload = done; "
                                      "x.send()</script><img src='/r' onerror=done()>")
                               .replace("O/", o + "/"));
        server.setResponse("/form-own", 200,
                           "<form id=f method=post action=/r></form>"
                           "<script>f.submit()</script>");
        other.setResponse("/knock", 200,
                          "<script>setInterval(function() { top.location = "
                          "'http://x/OPEN_URL?url=0' }, 100)</script>");
        server.setResponse("/knock", 200,
                           "<iframe src=" + o + "/knock></iframe><a id=go href=" + o +
                               "/slow></a><script>onload = function() { go.click() }</script>");
        other.setResponse("/slow", 302, "moved", "text/plain", {{"Location", login}});
        other.setBodyDelay("/slow", 1500);
        // A frame of the server's, kept from moving the tab, goes by another
        // host's redirect to the login page once the page has loaded; at each
        // later load of it a foreign frame takes the next step: back,
        // forward, then the tab to the login page.
        server.setResponse(
            "/steps", 200,
            QByteArray("<iframe src=/s1 sandbox='allow-scripts allow-same-origin' "
                       "onload=step()></iframe><iframe src=O/steps></iframe><script>"
                       "var n = 0; function step() { if (n || frames[0].location."
                       "pathname != '/s1') frames[1].postMessage(n++, '*') }</script>")
                .replace("O/", o + "/"));
        server.setResponse("/s1", 200,
                           "<a id=go href=" + o +
                               "/r></a><script>if (!parent.n) parent.onload = "
                               "function() { go.click() }</script>");
        other.setResponse("/steps", 200,
                          "<script>onmessage = function(e) { if (e.data < 2) history[['back', "
                          "'forward'][e.data]](); else top.location = '" +
                              login + "' }</script>");
        server.setResponse("/b1", 200, go("/b2"), "text/html", {{"Cache-Control", "no-store"}});
        server.setResponse("/b2", 200, "<p id=b2>");
        for (const QByteArray g : {"/g1", "/g2"})
            server.setResponse(g, 200,
                               "<iframe src=" + o + g +
                                   "></iframe><a id=go href=/b2></a>"
                                   "<script>onhashchange = function() { go.click() }</script>",
                               "text/html", {{"Cache-Control", "no-store"}});
        other.setResponse("/g2", 200,
                          "<form id=f target=_top action='" + s +
                              "/g2#x'><input name=a value=1></form><script>f.submit()</script>");
        other.setResponse("/g1", 200, "<script>top.location = '" + s + "/g1#x'</script>");
        // While the server's answer to its link is on its way, a foreign frame
        // moves the tab every 30 ms: to a fragment, or to where a 204 answers;
        // or, once the redirect's headers are in, steps back its own entry.
        server.setResponse("/kf", 200,
                           "<iframe src=" + o +
                               "/kf></iframe><a id=go href=/r></a><script>onload = function() { " +
                               (start == "/kf?back" ? "setTimeout(function() { go.click() }, 500)"
                                                    : "go.click()") +
                               " }</script>");
        server.setDelay("/r", kf && !slow ? 300 : 0);
        server.setBodyDelay("/r", slow ? 1500 : 0);
        other.setStatus("/nc", 204);
        other.setResponse(
            "/kf", 200,
            start == "/kf?back"
                ? QByteArray(
                      "<script>if (location.search) setTimeout(function() { history.back() }, "
                      "800); "
                      "else if (!sessionStorage.x) setTimeout(function() { sessionStorage.x = 1; "
                      "location = '/kf?2' }, 100)</script>")
                : QByteArray(
                      "<script>setInterval(function() { top.location = '" +
                      (start.startsWith("/kf#") ? s + start.toUtf8() : QByteArray(o + "/nc")) +
                      "' }, 30)</script>"));
        server.setResponse("/s204", 200,
                           "<iframe src=" + o +
                               "/late></iframe><a id=go href=/n204></a>"
                               "<script>onload = function() { go.click() }</script>");
        server.setStatus("/n204", 204);
        server.setDelay("/n204", 300);
        other.setResponse("/late", 200,
                          "<script>setTimeout(function() { top.location = '" + login +
                              "' }, 2200)</script>");
        server.setResponse("/fb", 200, "<iframe src=/b1></iframe>");
        server.setResponse("/fa", 200, "<iframe src=" + o + "/fa></iframe>");
        other.setResponse("/fa", 200, "<iframe src=" + s + "/b1></iframe>");
        server.setResponse("/pb", 200,
                           "<script>history.pushState(null, '', '/pb2')</script>" + go("/b2"),
                           "text/html", {{"Cache-Control", "no-store"}});
        // A foreign frame's link that moves the tab and withholds the referrer.
        const auto bareLink = [](const QByteArray& to, const QByteArray& then = "") -> QByteArray {
            return "<a id=go rel=noreferrer target=_top href=" + to + "></a><script>go.click(); " +
                   then + "</script>";
        };
        server.setResponse("/xc", 200, "<iframe src=" + o + "/xc></iframe>");
        other.setResponse("/xc", 200, bareLink(s + "/xd"));
        server.setResponse("/xd", 200, "<iframe src=" + o + "/xe></iframe>", "text/html",
                           {{"Cache-Control", "no-store"}});
        other.setResponse("/xe", 200,
                          "<script>setTimeout(function() { top.location = '" + o +
                              "/xa?0' }, 300)</script>");
        other.setResponse("/xa", 200,
                          "<script>var n = +location.search.slice(1); if (n < 101) "
                          "location.replace('/xa?' + (n + 1)); else document.write('<p id=b2>')"
                          "</script>");
        server.setResponse("/fc", 200, "<iframe src=" + o + "/fc></iframe>");
        // Then a command the page refuses, "/fc?<ms>" after the click.
        const QByteArray ms = start.section('?', 1).toUtf8(),
                         knock = ms == "bad" ? "top.location = 'http://[zz/'"
                                             : "top.location = 'http://x/OPEN_URL?url=0'";
        const QByteArray later = "setTimeout(function() {" + knock + "}, " + ms + ")";
        other.setResponse("/fc", 200,
                          bareLink(s + "/fd", ms.isEmpty()               ? ""
                                              : ms == "0" || ms == "bad" ? knock
                                                                         : later));
        server.setBodyDelay("/fd", ms.isEmpty() ? 0 : 1500);
        server.setResponse("/fd", 200, "<a id=go href=/b2></a><iframe src=/fe></iframe>",
                           "text/html", {{"Cache-Control", "no-store"}});
        server.setResponse("/fe", 200,
                           "<script>setTimeout(function() { location = '/ff' }, 300)</script>");
        server.setResponse("/ff", 200, "<script>parent.go.click()</script>");
        orvotest::LogCapture log;
        // Only what is always written: the tab writes nothing of its own.
        ORVO::log::FloodAllowance none(0, 0);
        page->setLogAllowance(&none);
        QSignalSpy err(page, SIGNAL(error()));
        const bool back = start.endsWith("+back"); // from a server page, Back onto it
        page->clientLoad(QUrl(server.baseUrl() + (back ? start.chopped(5) : start)));
        if (back) {
            QTRY_VERIFY(!page->mainFrame()->findFirstElement("form#login").isNull());
            page->clientLoad(QUrl(server.baseUrl() + "/b2"));
        }
        // The client's Back, /b1 expired since (in the frame of /fb, /fa).
        if (back || start == "/b1" || start == "/fb" || start == "/fa" || start == "/pb" ||
            start.startsWith("/fc") || start == "/xc" || start.startsWith("/g")) {
            const auto shown = [&]() {
                QWebFrame* f = page->mainFrame();
                for (int depth = start == "/fb" ? 1 : start == "/fa" ? 2 : 0; f && depth--;)
                    f = f->childFrames().value(0);
                return f && !f->findFirstElement("#b2").isNull();
            };
            QTRY_VERIFY(shown());
            if (!back)
                server.setResponse(start == "/pb"            ? "/pb2"
                                   : start.startsWith("/fc") ? "/fd"
                                   : start == "/xc"          ? "/xd"
                                   : start.startsWith("/g")  ? start.left(3)
                                                             : "/b1",
                                   302, "", "text/plain", {{"Location", login}});
            view->pageAction(QWebPage::Back)->trigger();
        }
        // The check does not stop the navigation: the login page is shown
        // (unless a foreign frame keeps moving the tab).
        QTRY_VERIFY(kf ? err.count() > 0
                       : !page->mainFrame()->findFirstElement("form#login").isNull());
        QTest::qWait(100); // a dropped redirect is told a turn later: never twice
        QCOMPARE(err.count(), signOuts);
        QCOMPARE(log.count(QRegularExpression("\\[WebPage\\] Cookie authentication error")),
                 signOuts);
        QVERIFY(log.count(QRegularExpression("Navigation held back")) < 3); // once per load
    }

    void scriptDialogs()
    {
        orvotest::LogCapture log;
        loadPortal();
        QString text;
        QString title;
        Qt::TextFormat format = Qt::AutoText;
        QTimer::singleShot(100, this, [&]() {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            text = box->text();
            title = box->windowTitle();
            format = box->textFormat();
            box->button(QMessageBox::Ok)->click();
        });
        page->mainFrame()->evaluateJavaScript("alert('<b>x</b>'); console.log('done')");
        QCOMPARE(text, "<b>x</b>");
        QCOMPARE(title, "Info");
        QCOMPARE(format, Qt::PlainText);
        QVERIFY(log.contains("] : \"done\""));

        const char* const ask = "confirm('Sure?')";
        ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Yes);
        QCOMPARE(page->mainFrame()->evaluateJavaScript(ask).toBool(), true);
        QVERIFY(log.contains(": \"Confirmation\": \"Sure?\""));
        // A foreign document asks nobody: its words go to the log.
        TestServer other;
        QVERIFY(other.listen(false));
        other.setResponse("/ad", 200, "foreign");
        page->mainFrame()->evaluateJavaScript("document.body.innerHTML += \"<iframe src='" +
                                              other.baseUrl() + "/ad'></iframe>\"");
        QTRY_VERIFY(page->mainFrame()->childFrames().value(0) &&
                    page->mainFrame()->childFrames()[0]->toPlainText() == "foreign");
        QWebFrame* foreign = page->mainFrame()->childFrames()[0];
        QCOMPARE(foreign->evaluateJavaScript(ask).toBool(), false);
        QTimer guard; // a box shown after all would hold the test
        connect(&guard, &QTimer::timeout, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        guard.start(3000);
        QVERIFY(foreign->evaluateJavaScript("prompt('Sure?')").isNull());
        QCOMPARE(log.count(QRegularExpression("Sure\\?")), 3);
        ORVO::seams::setMessageBoxAutoAnswer(ORVO::seams::CloseAnswer);
        QCOMPARE(page->mainFrame()->evaluateJavaScript(ask).toBool(), false);
    }

    void foreignFloodIsBounded_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("script");  // the foreign frame's, given a 1 MiB text s
        QTest::addColumn<int>("navigations"); // that it makes the tab ask for
        const QString alerts =
            "for (var i = 0; i < %1; ++i) alert(s.substr(0, %2)); document.title = 'done'";
        for (const int level : {5, 7}) {
            const QString verbosity = level == 5 ? "Low: " : "High: ";
            QTest::addRow("%s200 alerts of 1 MiB", qPrintable(verbosity))
                << level << alerts.arg(200).arg(1 << 20) << 0;
            QTest::addRow("%s10000 alerts of 4 KiB", qPrintable(verbosity))
                << level << alerts.arg(10000).arg(4096) << 0;
            QTest::addRow("%srefused commands", qPrintable(verbosity))
                << level
                << "s = s.substr(0, 1 << 16); document.title = 'done';"
                   " setInterval(function() { top.location = 'http://x/OPEN_URL?' + s }, 5)"
                << 40;
            // Each image a warning of the web engine's.
            QTest::addRow("%simages the engine refuses", qPrintable(verbosity))
                << level
                << "var n = 0; for (var i = 0; i < 6000; ++i) { var m = new Image();"
                   " m.onerror = m.onload = function() { if (++n == 6000) document.title ="
                   " 'done' }; m.src = 'data:image/x-xpixmap;base64,' + btoa('/* XPM */ static"
                   " char*x[]={\"1 1 1 1\",\"a c #000000\",\"a\"};/*' + i + '*/');"
                   " document.documentElement.appendChild(m) }"
                << 0;
        }
    }

    // A foreign frame that floods the log, as the program opens it: the
    // file stays small, its lines short, and the lines before are there.
    void foreignFloodIsBounded()
    {
        QFETCH(int, level);
        QFETCH(QString, script);
        QFETCH(int, navigations);
        FileLog file(level);
        QVERIFY(file.opened);
        ORVO::log::FloodAllowance allowance(256 * 1024, 0);
        page->setLogAllowance(&allowance);
        loadPortal();
        TestServer other;
        QVERIFY(other.listen(false));
        other.setResponse(
            "/flood", 200,
            ("<script>var s = Array(1 << 20).join('x');" + script + "</script>").toUtf8());
        page->mainFrame()->evaluateJavaScript("document.body.innerHTML += \"<iframe src='" +
                                              other.baseUrl() + "/flood'></iframe>\"");
        QTRY_VERIFY_WITH_TIMEOUT(page->mainFrame()->childFrames().value(0) &&
                                     page->mainFrame()->childFrames()[0]->title() == "done",
                                 30000);
        QTRY_VERIFY_WITH_TIMEOUT(page->navigations >= navigations, 60000);
        delete view; // the tab goes: what it left out is told
        delete page;
        view = nullptr;
        page = nullptr;
        const QByteArray log = file.close();
        const int bound = level == 5 ? 512 * 1024 : 1024 * 1024;
        QVERIFY2(log.size() < bound, QByteArray::number(log.size()));
        QVERIFY(!QFile::exists(file.logger.olderPath()));
        QVERIFY(log.contains("[Test] before the flood"));
        QVERIFY(level > 5 || log.contains(" left out: it wrote "));
        for (const QByteArray& line : log.split('\n'))
            QVERIFY(line.size() <= 16 * 1024);
    }

    // Only the client's own load is the tab's page load: a sandboxed
    // document (no host of its own) that withholds its referrer and loads
    // itself again is not, whoever loaded it first.
    void sandboxedSelfLoadIsNoPageLoad()
    {
        TestServer other;
        QVERIFY(other.listen(false));
        other.setResponse("/sb", 200,
                          "<meta name=referrer content=no-referrer><script>if (window.name "
                          "!= 'again') { window.name = 'again';"
                          " location.href = location.href }</script>",
                          "text/html", {{"Content-Security-Policy", "sandbox allow-scripts"}});
        QList<bool> pageLoads;
        connect(nam, &QNetworkAccessManager::finished, this, [&](QNetworkReply* reply) {
            if (reply->url().path() == "/sb")
                pageLoads << nam->isPageLoad(reply);
        });
        page->clientLoad(QUrl(other.baseUrl() + "/sb"));
        QTRY_COMPARE(pageLoads.size(), 2);
        QCOMPARE(pageLoads, (QList<bool>{true, false}));
    }

    // The server's own page, loaded at a brisk pace at the most detailed
    // verbosity, loses no line, an advertisement in its frame; a flood of its
    // own is held back, told with the tab's name, and once it has ended its
    // lines flow again.
    void serverPageLosesNothing()
    {
        FileLog file(7);
        QVERIFY(file.opened);
        page->setLogName("Connections");
        TestServer ads;
        QVERIFY(ads.listen(false));
        ads.setResponse("/ad", 200,
                        "<script>for (var i = 0; i < 3; ++i) console.log(Array(2000).join('a'))"
                        "</script>");
        server.setResponse("/manage/portal/busy/", 200,
                           "<body><iframe src='" + ads.baseUrl().toUtf8() +
                               "/ad'></iframe><script>for (var i = 0; i < 20; i++) "
                               "document.write(\"<img src='/i\" + i + \".png'>\"); if "
                               "(location.search == '?flood') for (i = 0; i < 3000; ++i) "
                               "console.log(Array(4096).join('f')); else onload = function() "
                               "{ console.log('load ' + location.search) }</script></body>");
        const auto load = [this](const QString& query) {
            QSignalSpy loaded(view, SIGNAL(loadFinished(bool)));
            page->clientLoad(QUrl(server.baseUrl() + "/manage/portal/busy/?" + query));
            return loaded.wait(10000);
        };
        for (int n = 0; n < 20; ++n) {
            QVERIFY(load(QString::number(n)));
            QTest::qWait(250);
        }
        page->logLimit()->setQuietTime(500);
        QVERIFY(load("flood"));
        QTest::qWait(1000);
        QVERIFY(load("20"));
        const QByteArray log = file.close();
        for (int n = 0; n <= 20; ++n)
            QVERIFY2(log.contains("] : \"load ?" + QByteArray::number(n) + '"'),
                     QByteArray::number(n));
        QCOMPARE(log.count("left out"), 2); // at once, and once the flood has ended
        QVERIFY(log.contains("lines of the portal tab \"Connections\" left out: it wrote faster"));
        QVERIFY2(log.size() < 2048 * 1024, QByteArray::number(log.size()));
    }
};

ORVO_TEST_GUI_MAIN(TestPortalPage)
#include "tst_portalpage.moc"
