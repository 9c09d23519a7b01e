// The management-server test server itself: downloads, statuses, delays,
// streaming, sessions, portal pages, TLS modes and the executable.

#include "testmain.h"

#include "testserver.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QSslSocket>
#include <QTcpSocket>

using orvotest::TestServer;

namespace {

struct Fetched
{
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    QByteArray disposition;
    QByteArray location;
    QList<QSslError> sslErrors;
    qint64 elapsed = 0;
};

Fetched fetch(QNetworkAccessManager& nam, const QByteArray& method, const QString& url,
              const QByteArray& body = QByteArray())
{
    QElapsedTimer t;
    t.start();
    QNetworkRequest req{QUrl(url)};
    if (!body.isNull())
        req.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply* reply =
        method == "HEAD" ? nam.head(req) : nam.sendCustomRequest(req, method, body);
    Fetched f;
    QObject::connect(reply, &QNetworkReply::sslErrors,
                     [&f](const QList<QSslError>& e) { f.sslErrors = e; });
    QSignalSpy finished(reply, SIGNAL(finished()));
    if (!finished.wait(10000))
        qWarning("request did not finish");
    f.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    f.error = reply->error();
    f.body = reply->readAll();
    f.disposition = reply->rawHeader("Content-Disposition");
    f.location = reply->rawHeader("Location");
    f.elapsed = t.elapsed();
    delete reply;
    return f;
}

} // namespace

class TestTestServer : public QObject
{
    Q_OBJECT

private slots:
    void downloads_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("disposition");
        QTest::newRow("GET named") << QByteArray("GET") << "/f/a.bin" << 200 << QByteArray("abc")
                                   << QByteArray("attachment; filename=\"a b.pdf\"");
        QTest::newRow("HEAD named") << QByteArray("HEAD") << "/f/a.bin" << 200 << QByteArray()
                                    << QByteArray("attachment; filename=\"a b.pdf\"");
        QTest::newRow("unnamed") << QByteArray("GET") << "/f/plain" << 200 << QByteArray("xyz")
                                 << QByteArray();
        QTest::newRow("missing") << QByteArray("GET") << "/f/none" << 404 << QByteArray()
                                 << QByteArray();
        QTest::newRow("HEAD missing")
            << QByteArray("HEAD") << "/f/none" << 404 << QByteArray() << QByteArray();
        QTest::newRow("status 500")
            << QByteArray("GET") << "/f/broken" << 500 << QByteArray() << QByteArray();
        QTest::newRow("POST to a file")
            << QByteArray("POST") << "/f/plain" << 405 << QByteArray() << QByteArray();
    }
    void downloads()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, disposition);
        TestServer server;
        QVERIFY(server.listen());
        server.setFile("/f/a.bin", "abc", "a b.pdf");
        server.setFile("/f/plain", "xyz");
        server.setFile("/f/broken", "never sent");
        server.setStatus("/f/broken", 500);
        QNetworkAccessManager nam;
        const Fetched f =
            fetch(nam, method, server.baseUrl() + path, method == "POST" ? "" : QByteArray());
        QCOMPARE(f.status, status);
        if (status == 200)
            QCOMPARE(f.body, body);
        QCOMPARE(f.disposition, disposition);
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests().at(0).method, method);
        QCOMPARE(server.requests().at(0).path, path);
    }

    void delayHoldsTheReply()
    {
        TestServer server;
        QVERIFY(server.listen());
        server.setFile("/slow", "late");
        server.setDelay("/slow", 250);
        QNetworkAccessManager nam;
        QSignalSpy received(&server, SIGNAL(requestReceived(QString, QString)));
        const Fetched f = fetch(nam, "GET", server.baseUrl() + "/slow");
        QCOMPARE(f.body, QByteArray("late"));
        QVERIFY2(f.elapsed >= 240, qPrintable(QString::number(f.elapsed)));
        QCOMPARE(received.count(), 1);
    }

    void generatedFileStreams()
    {
        TestServer server;
        QVERIFY(server.listen());
        const qint64 size = 3 * 1024 * 1024 + 17;
        server.setGeneratedFile("/gen", size, "big.bin");
        QNetworkAccessManager nam;
        const Fetched f = fetch(nam, "GET", server.baseUrl() + "/gen");
        QCOMPARE(f.body.size(), int(size));
        QCOMPARE(f.body, TestServer::generatedContent(0, size));
        QCOMPARE(f.body.at(251), TestServer::generatedByte(0));
        QCOMPARE(TestServer::generatedContent(1000, 300),
                 TestServer::generatedContent(0, 1300).mid(1000));
        const Fetched h = fetch(nam, "HEAD", server.baseUrl() + "/gen");
        QCOMPARE(h.status, 200);
        QCOMPARE(h.disposition, QByteArray("attachment; filename=\"big.bin\""));
    }

    void rawRequests_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("statusLine");
        QTest::newRow("keep-alive, two requests")
            << QByteArray("GET /f HTTP/1.1\r\nHost: x\r\n\r\nGET /f HTTP/1.1\r\nHost: "
                          "x\r\nConnection: close\r\n\r\n")
            << QByteArray("HTTP/1.1 200 OK");
        QTest::newRow("garbage") << QByteArray("\x01\x02 nonsense\r\n\r\n")
                                 << QByteArray("HTTP/1.1 400 Bad Request");
        QTest::newRow("bad header") << QByteArray("GET /f HTTP/1.1\r\nno colon here\r\n\r\n")
                                    << QByteArray("HTTP/1.1 400 Bad Request");
        QTest::newRow("chunked body")
            << QByteArray("POST /f HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n")
            << QByteArray("HTTP/1.1 501 Not Implemented");
        QTest::newRow("huge body")
            << QByteArray("POST /f HTTP/1.1\r\nContent-Length: 999999999\r\n\r\n")
            << QByteArray("HTTP/1.1 413 Payload Too Large");
        QTest::newRow("endless header")
            << QByteArray(70 * 1024, 'a')
            << QByteArray("HTTP/1.1 431 Request Header Fields Too Large");
    }
    void rawRequests()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, statusLine);
        TestServer server;
        QVERIFY(server.listen());
        server.setFile("/f", "12345");
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(socket.waitForConnected(3000));
        socket.write(raw);
        QByteArray answer;
        QTRY_VERIFY(socket.state() != QAbstractSocket::ConnectedState ||
                    (answer += socket.readAll(), false));
        answer += socket.readAll();
        QVERIFY2(answer.startsWith(statusLine), answer.left(80).constData());
        if (QTest::currentDataTag() == QByteArray("keep-alive, two requests"))
            QCOMPARE(answer.count("12345"), 2);
    }

    void sessionLifecycle()
    {
        TestServer server;
        QVERIFY(server.listen());
        QNetworkAccessManager nam;
        const QString page =
            server.baseUrl() + server.portalPages().value("connection").toString() + "/";

        Fetched f = fetch(nam, "GET", page);
        QCOMPARE(f.status, 302); // QNetworkAccessManager does not follow by default
        QCOMPARE(f.location, QByteArray(TestServer::LoginPath));

        f = fetch(nam, "POST", server.baseUrl() + TestServer::LoginPath,
                  "zub_username=demo&zub_password=demo");
        QCOMPARE(f.status, 200);
        QCOMPARE(server.sessionCount(), 1);

        f = fetch(nam, "GET", page);
        QCOMPARE(f.status, 200);
        for (const char* word :
             {"EXECUTE_COMMAND", "OPEN_URL", "AJAX_ACTION_LOGIN", "AJAX_RELOAD_LOGIN",
              "AJAX_PING_LOGIN", "OPEN_WITH_BROWSER", "SYNC_ROUTES", "client_download",
              "downloadGatewayConfig", "csv=", "BUILTIN_APP"})
            QVERIFY2(f.body.contains(word), word);

        f = fetch(nam, "POST", server.baseUrl() + TestServer::ChangePasswordPath, "password=");
        QCOMPARE(f.status, 200);
        QVERIFY(f.body.contains("\"error\""));
        QCOMPARE(server.password("demo"), QStringLiteral("demo"));

        f = fetch(nam, "POST", server.baseUrl() + TestServer::LogoutPath, "");
        QCOMPARE(f.status, 200);
        QCOMPARE(server.sessionCount(), 0);
        QCOMPARE(fetch(nam, "GET", page).status, 302);
        QCOMPARE(fetch(nam, "POST", server.baseUrl() + TestServer::ChangePasswordPath, "password=x")
                     .status,
                 403);
    }

    void logos()
    {
        TestServer server;
        QVERIFY(server.listen());
        QNetworkAccessManager nam;
        const Fetched large = fetch(nam, "GET", server.baseUrl() + TestServer::LogoPath);
        const Fetched small = fetch(nam, "GET", server.baseUrl() + TestServer::LogoSmallPath);
        QVERIFY(large.body.startsWith("\x89PNG"));
        QVERIFY(small.body.startsWith("\x89PNG"));
        QVERIFY(large.body != small.body);
        QCOMPARE(large.body, server.logo(false));
    }

    void tlsModes_data()
    {
        // The codes the download manager tolerates (11, 12, 22) and the one
        // it refuses (9) must each be reachable.
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("trustCa");
        QTest::addColumn<int>("expected"); // QSslError code, or 0 for none
        QTest::newRow("ca signed") << int(TestServer::CaSigned) << true << 0;
        QTest::newRow("ca signed, ca unknown") << int(TestServer::CaSigned) << false
                                               << int(QSslError::UnableToGetLocalIssuerCertificate);
        QTest::newRow("self-signed")
            << int(TestServer::SelfSigned) << true << int(QSslError::SelfSignedCertificate);
        QTest::newRow("wrong host")
            << int(TestServer::WrongHost) << true << int(QSslError::HostNameMismatch);
    }
    void tlsModes()
    {
        QFETCH(int, mode);
        QFETCH(bool, trustCa);
        QFETCH(int, expected);
        TestServer server;
        server.setCertificateMode(TestServer::CertificateMode(mode));
        QVERIFY(server.listen(true));
        QVERIFY(server.baseUrl().startsWith("https://127.0.0.1:"));
        QVERIFY(QFile::exists(server.caCertificatePath()));
        QSslSocket socket;
        QSslConfiguration conf = socket.sslConfiguration();
        conf.setCaCertificates(trustCa ? QList<QSslCertificate>{TestServer::caCertificate()}
                                       : QList<QSslCertificate>{});
        socket.setSslConfiguration(conf);
        QList<QSslError> errors;
        connect(&socket, QOverload<const QList<QSslError>&>::of(&QSslSocket::sslErrors),
                [&errors](const QList<QSslError>& e) { errors = e; });
        // the server runs on this thread: wait in the event loop, never block
        QSignalSpy encrypted(&socket, SIGNAL(encrypted()));
        socket.connectToHostEncrypted("127.0.0.1", server.port());
        QTRY_VERIFY(encrypted.count() > 0 || !errors.isEmpty() ||
                    socket.state() == QAbstractSocket::UnconnectedState);
        if (expected == 0) {
            QVERIFY(errors.isEmpty());
            QVERIFY(socket.isEncrypted());
        } else {
            QVERIFY(!errors.isEmpty());
            QCOMPARE(int(errors.at(0).error()), expected);
        }
    }

    void executableRunsByHand()
    {
        const QString exe =
            QString::fromLocal8Bit(qgetenv("ORVO_BUNDLE_DIR")) + "/bin/lodestar-testserver";
        QVERIFY2(QFile::exists(exe), qPrintable(exe));
        QProcess help;
        help.start(exe, {"--help"});
        QVERIFY(help.waitForFinished(5000));
        QCOMPARE(help.exitCode(), 0);
        QVERIFY(help.readAllStandardOutput().contains("--https"));

        QProcess run;
        run.start(exe, {"--user", "ann", "--password", "p+q"});
        QVERIFY(run.waitForReadyRead(5000));
        const QByteArray banner = run.readLine();
        QVERIFY2(banner.startsWith("Listening on http://127.0.0.1:"), banner.constData());
        const QString base = QString::fromLatin1(banner.mid(13).trimmed());
        QNetworkAccessManager nam;
        const Fetched f =
            fetch(nam, "POST", base + TestServer::LoginPath, "zub_username=ann&zub_password=p%2Bq");
        QCOMPARE(f.status, 200);
        run.terminate();
        QVERIFY(run.waitForFinished(5000));
    }
};

ORVO_TEST_MAIN(TestTestServer)
#include "tst_testserver.moc"
