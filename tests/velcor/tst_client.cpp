// libvelcor::Client against the management-server test server: form
// encoding, cookies, timeouts, TLS and the mapping of failures to errors.

#include "testmain.h"

#include "libvelcor/client.h"
#include "libvelcor/metatypes.h"
#include "testserver.h"

#include <QHostInfo>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

using libvelcor::Client;
using orvotest::TestServer;

namespace {

QUrl form(const QList<QPair<QString, QString>>& items)
{
    QUrlQuery q;
    for (const auto& i : items)
        q.addQueryItem(i.first, i.second);
    QUrl u;
    u.setQuery(q);
    return u;
}

const QMap<QByteArray, QByteArray> userAgent = {
    {"User-Agent", "Corvane Tavu Connect 3.8.1 (Macintosh)"}};

// Runs one request; true when it completed, false on error.
struct Outcome
{
    bool done = false;
    bool ok = false;
    QString body;
    libvelcor::Error error;
};

Outcome runAndWait(Client& client, const QString& url, const QUrl& params = QUrl(),
                   const QSslConfiguration& ssl = QSslConfiguration(), int waitMs = 5000)
{
    QSignalSpy done(&client, SIGNAL(complete(QString)));
    QSignalSpy failed(&client, SIGNAL(error(libvelcor::Error)));
    client.run(QUrl(url), params, userAgent, ssl);
    Outcome o;
    if (!QTest::qWaitFor([&]() { return done.count() + failed.count() > 0; }, waitMs))
        return o;
    o.done = true;
    o.ok = done.count() == 1;
    if (o.ok)
        o.body = done.at(0).at(0).toString();
    else
        o.error = failed.at(0).at(0).value<libvelcor::Error>();
    // exactly one signal per request
    QTest::qWait(20);
    if (done.count() + failed.count() != 1)
        o.done = false;
    return o;
}

} // namespace

class TestClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { libvelcor::registerMetaTypes(); }

    void formEncoding_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("plus and ampersand") << QStringLiteral("a+b&c");
        QTest::newRow("equals and percent") << QStringLiteral("x=1%41%zz%");
        QTest::newRow("blanks") << QStringLiteral(" two  blanks ");
        QTest::newRow("hash and question mark") << QStringLiteral("#?/;");
        QTest::newRow("non-ascii") << QStringLiteral("pässwörd€");
        QTest::newRow("empty") << QString();
    }
    void formEncoding()
    {
        QFETCH(QString, password);
        TestServer server;
        QVERIFY(server.listen());
        server.setUser(QStringLiteral("us er+1"), password);
        Client client;
        const Outcome o =
            runAndWait(client, server.baseUrl() + TestServer::LoginPath,
                       form({{"zub_username", "us er+1"}, {"zub_password", password}}));
        QVERIFY(o.done);
        QVERIFY2(o.ok, qPrintable(o.error.getDesc()));
        const auto reqs = server.requests(TestServer::LoginPath);
        QCOMPARE(reqs.size(), 1);
        QCOMPARE(reqs[0].method, QByteArray("POST"));
        QCOMPARE(reqs[0].headers.value("content-type"),
                 QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(reqs[0].headers.value("user-agent"),
                 QByteArray("Corvane Tavu Connect 3.8.1 (Macintosh)"));
        QVERIFY(reqs[0].query.isEmpty()); // the password never goes into the URL
        QCOMPARE(server.sessionCount(), 1);
    }

    void wrongPasswordIsAnError()
    {
        TestServer server;
        QVERIFY(server.listen());
        Client client;
        const Outcome o = runAndWait(client, server.baseUrl() + TestServer::LoginPath,
                                     form({{"zub_username", "demo"}, {"zub_password", "demo+"}}));
        QVERIFY(o.done);
        QVERIFY(!o.ok);
        QCOMPARE(o.error.getCode(), Client::ErrorCode);
        QVERIFY(o.error.getExtra().contains(QLatin1String("401")));
    }

    void cookiesCarryTheSession()
    {
        TestServer server;
        QVERIFY(server.listen());
        QNetworkCookieJar jar;
        Client client;
        client.getNetworkAccessManager()->setCookieJar(&jar);
        jar.setParent(nullptr);

        const QString changeUrl = server.baseUrl() + TestServer::ChangePasswordPath;
        Outcome o = runAndWait(client, changeUrl, form({{"password", "new"}}));
        QVERIFY(o.done && !o.ok); // not logged in yet: 403

        QVERIFY(runAndWait(client, server.baseUrl() + TestServer::LoginPath,
                           form({{"zub_username", "demo"}, {"zub_password", "demo"}}))
                    .ok);
        // After a reset the caller installs the jar again; the session holds.
        client.reset();
        client.getNetworkAccessManager()->setCookieJar(&jar);
        jar.setParent(nullptr);
        o = runAndWait(client, changeUrl, form({{"password", "n&w+1"}}));
        QVERIFY2(o.ok, qPrintable(o.error.getDesc()));
        QCOMPARE(o.body, QStringLiteral("{\"success\":true}"));
        QCOMPARE(server.password(QStringLiteral("demo")), QStringLiteral("n&w+1"));

        QVERIFY(runAndWait(client, server.baseUrl() + TestServer::LogoutPath).ok);
        QCOMPARE(server.sessionCount(), 0);
        // the expired cookie is gone from the jar
        QVERIFY(jar.cookiesForUrl(QUrl(server.baseUrl() + "/")).isEmpty());
    }

    void httpStatusBecomesError_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("400") << 400;
        QTest::newRow("403") << 403;
        QTest::newRow("404") << 404;
        QTest::newRow("500") << 500;
        QTest::newRow("503") << 503;
    }
    void httpStatusBecomesError()
    {
        QFETCH(int, status);
        TestServer server;
        QVERIFY(server.listen());
        server.setStatus(QStringLiteral("/x/"), status);
        Client client;
        const Outcome o = runAndWait(client, server.baseUrl() + "/x/");
        QVERIFY(o.done);
        QVERIFY(!o.ok);
        // a server's 500 must not pass for the service's code 500
        QCOMPARE(o.error.getCode(), Client::ErrorCode);
        QVERIFY(o.error.getDesc().contains(QString::number(status)));
        QVERIFY(o.error.getExtra().contains(QString::number(status)));
    }

    void statusBelow400Completes_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("body");
        QTest::newRow("200 empty") << 200 << QString();
        QTest::newRow("201") << 201 << QStringLiteral("created");
        QTest::newRow("200 not json") << 200 << QStringLiteral("<html>ü</html>");
    }
    void statusBelow400Completes()
    {
        QFETCH(int, status);
        QFETCH(QString, body);
        TestServer server;
        QVERIFY(server.listen());
        server.setResponse(QStringLiteral("/r/"), status, body.toUtf8());
        Client client;
        const Outcome o = runAndWait(client, server.baseUrl() + "/r/");
        QVERIFY(o.done);
        QVERIFY(o.ok);
        QCOMPARE(o.body, body);
    }

    // A request follows a redirect only on its server (or up to https on its
    // port, the certificate good), and a form only where it is still posted.
    void redirects_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("location"); // %1: the server's port, %2: another
        QTest::addColumn<bool>("credentials");
        QTest::addColumn<bool>("followed");
        QTest::newRow("302, a path") << 302 << "/new/" << false << true;
        QTest::newRow("credentials, 307 to itself")
            << 307 << "http://127.0.0.1:%1/new/" << true << true;
        QTest::newRow("credentials, 307 to another host")
            << 307 << "http://localhost:%1/new/" << true << false;
        QTest::newRow("credentials, 308 to another port")
            << 308 << "http://127.0.0.1:%2/new/" << true << false;
        QTest::newRow("credentials, 307 to https")
            << 307 << "https://127.0.0.1:%1/new/" << true << false;
        QTest::newRow("credentials, 307 up to https")
            << 307 << "https://127.0.0.1/new/" << true << true;
        QTest::newRow("credentials, 302 to a page") << 302 << "/new/" << true << false;
        QTest::newRow("a cookie, 302 to another host")
            << 302 << "http://localhost:%1/new/" << false << false;
        QTest::newRow("credentials, 302 without an address") << 302 << "" << true << false;
        QTest::newRow("credentials, 301 up to https, the same address")
            << 301 << "https://127.0.0.1/old/" << true << false;
    }
    void redirects()
    {
        QFETCH(int, status);
        QFETCH(QString, location);
        QFETCH(bool, credentials);
        QFETCH(bool, followed);
        if (location.contains("localhost") &&
            QHostInfo::fromName("localhost").addresses().isEmpty())
            QSKIP("the name localhost does not resolve on this system");
        TestServer server, tls;
        QVERIFY(server.listen());
        QVERIFY(!followed || !location.startsWith("https://127.0.0.1/") ||
                tls.listen(true, 443)); // root
        TestServer::trustCaByDefault();
        location.replace("%1", QString::number(server.port()))
            .replace("%2", QString::number(server.port() == 65535 ? 1 : server.port() + 1));
        server.setResponse(QStringLiteral("/old/"), status, "moved", "text/plain",
                           {{"Location", location.toLatin1()}});
        server.setResponse(QStringLiteral("/new/"), 200, "here");
        tls.setResponse(QStringLiteral("/new/"), 200, "here");
        Client client;
        client.getNetworkAccessManager()->cookieJar()->setCookiesFromUrl(
            {QNetworkCookie("session", "1")}, QUrl(server.baseUrl()));
        const Outcome o = runAndWait(client, server.baseUrl() + "/old/",
                                     credentials ? form({{"pass", "secret"}}) : QUrl());
        QVERIFY(o.done);
        QCOMPARE(o.ok, followed);
        QCOMPARE((server.requests("/new/") + tls.requests("/new/")).size(), followed ? 1 : 0);
        if (!followed)
            QVERIFY2(o.error.getDesc().contains(location), qPrintable(o.error.getDesc()));
        // What the server asks of the form's own address is said truly.
        QVERIFY(!location.endsWith("/old/") || o.error.getDesc().contains("asks for https"));
    }

    void unreachableServerFails()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        Client client;
        const Outcome o = runAndWait(client, QStringLiteral("http://127.0.0.1:%1/").arg(port));
        QVERIFY(o.done);
        QVERIFY(!o.ok);
        QCOMPARE(o.error.getCode(), Client::ErrorCode);
    }

    void silentServerTimesOut_data()
    {
        QTest::addColumn<bool>("drips");
        QTest::newRow("silent") << false;
        // Headers, then a byte now and then: the bound is on the whole
        // request, not on each silence.
        QTest::newRow("drips") << true;
    }

    void silentServerTimesOut()
    {
        QFETCH(bool, drips);
        TestServer server;
        QVERIFY(server.listen());
        server.setDelay(QStringLiteral("/slow/"), 10000);
        QTcpServer dripper;
        QVERIFY(dripper.listen(QHostAddress::LocalHost));
        QTimer drip;
        connect(&dripper, &QTcpServer::newConnection, this, [&]() {
            QTcpSocket* s = dripper.nextPendingConnection();
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
            connect(&drip, &QTimer::timeout, s, [s]() { s->write("x"); });
            drip.start(50);
        });
        Client client;
        client.setTimeout(300);
        QElapsedTimer t;
        t.start();
        const Outcome o = runAndWait(
            client, drips ? QStringLiteral("http://127.0.0.1:%1/").arg(dripper.serverPort())
                          : server.baseUrl() + "/slow/");
        QVERIFY(o.done);
        QVERIFY(!o.ok);
        QCOMPARE(o.error.getCode(), Client::ErrorCode);
        QVERIFY(t.elapsed() < 3000);
    }

    void delayWithinTimeoutCompletes()
    {
        TestServer server;
        QVERIFY(server.listen());
        server.setDelay(TestServer::LogoutPath, 150);
        Client client;
        client.setTimeout(2000);
        QVERIFY(runAndWait(client, server.baseUrl() + TestServer::LogoutPath).ok);
    }

    void resetAbandonsQuietly()
    {
        TestServer server;
        QVERIFY(server.listen());
        server.setDelay(QStringLiteral("/slow/"), 5000);
        Client client;
        QSignalSpy done(&client, SIGNAL(complete(QString)));
        QSignalSpy failed(&client, SIGNAL(error(libvelcor::Error)));
        QCOMPARE(
            client.run(QUrl(server.baseUrl() + "/slow/"), QUrl(), userAgent, QSslConfiguration()),
            0);
        QTRY_COMPARE(server.requests().size(), 1);
        QVERIFY(client.isRunning());
        client.reset();
        QVERIFY(!client.isRunning());
        QTest::qWait(300);
        QCOMPARE(done.count(), 0);
        QCOMPARE(failed.count(), 0);
        // usable again afterwards
        QVERIFY(runAndWait(client, server.baseUrl() + TestServer::LogoutPath).ok);
    }

    void newRunReplacesTheOneInFlight()
    {
        TestServer server;
        QVERIFY(server.listen());
        server.setResponse(QStringLiteral("/first/"), 200, "first");
        server.setDelay(QStringLiteral("/first/"), 300);
        server.setResponse(QStringLiteral("/second/"), 200, "second");
        Client client;
        QSignalSpy done(&client, SIGNAL(complete(QString)));
        client.run(QUrl(server.baseUrl() + "/first/"), QUrl(), userAgent, QSslConfiguration());
        client.run(QUrl(server.baseUrl() + "/second/"), QUrl(), userAgent, QSslConfiguration());
        QTRY_COMPARE(done.count(), 1);
        QTest::qWait(500);
        QCOMPARE(done.count(), 1);
        QCOMPARE(done.at(0).at(0).toString(), QStringLiteral("second"));
    }

    void unusableUrlFailsLater_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("no host") << QStringLiteral("http:///manage/access/login/");
        QTest::newRow("other scheme") << QStringLiteral("ftp://127.0.0.1/x/");
        QTest::newRow("empty") << QString();
    }
    void unusableUrlFailsLater()
    {
        QFETCH(QString, url);
        Client client;
        QSignalSpy failed(&client, SIGNAL(error(libvelcor::Error)));
        QCOMPARE(client.run(QUrl(url), QUrl(), userAgent, QSslConfiguration()), -1);
        QCOMPARE(failed.count(), 0); // never inside the call
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).value<libvelcor::Error>().getCode(), Client::ErrorCode);
    }

    void portOverrideFillsMissingPort()
    {
        TestServer server;
        QVERIFY(server.listen());
        Client::setPortOverride(server.port());
        Client client;
        const Outcome o =
            runAndWait(client, QStringLiteral("http://127.0.0.1") + TestServer::LogoutPath);
        Client::setPortOverride(0);
        QVERIFY2(o.ok, qPrintable(o.error.getDesc()));
        QCOMPARE(server.requests(TestServer::LogoutPath).size(), 1);
    }

    void oversizeReplyFails()
    {
        TestServer server;
        QVERIFY(server.listen());
        server.setResponse(QStringLiteral("/big/"), 200,
                           QByteArray(int(Client::MaxReplyBytes) + 1, 'x'));
        Client client;
        const Outcome o = runAndWait(client, server.baseUrl() + "/big/");
        QVERIFY(o.done);
        QVERIFY(!o.ok);
        QCOMPARE(o.error.getCode(), Client::ErrorCode);
    }

    void tls_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("trustCa");
        QTest::addColumn<bool>("ok");
        QTest::newRow("CA trusted") << int(TestServer::CaSigned) << true << true;
        QTest::newRow("CA not trusted") << int(TestServer::CaSigned) << false << false;
        QTest::newRow("self-signed") << int(TestServer::SelfSigned) << true << false;
        QTest::newRow("wrong host") << int(TestServer::WrongHost) << true << false;
    }
    void tls()
    {
        QFETCH(int, mode);
        QFETCH(bool, trustCa);
        QFETCH(bool, ok);
        TestServer server;
        server.setCertificateMode(TestServer::CertificateMode(mode));
        QVERIFY(server.listen(true));
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setCaCertificates(trustCa ? QList<QSslCertificate>{TestServer::caCertificate()}
                                      : QList<QSslCertificate>{});
        Client client;
        const Outcome o =
            runAndWait(client, server.baseUrl() + TestServer::LogoutPath, QUrl(), ssl);
        QVERIFY(o.done);
        QCOMPARE(o.ok, ok);
        if (!ok)
            QCOMPARE(o.error.getCode(), Client::ErrorCode);
    }
};

ORVO_TEST_MAIN(TestClient)
#include "tst_client.moc"
