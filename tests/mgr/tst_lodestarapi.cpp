// The management-server web API client against the test server over real
// loopback HTTP and HTTPS.

#include <QHostInfo>
#include <QNetworkCookie>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <memory>

#include "common/common.h"
#include "common/cookiejar.h"
#include "libvelcor/client.h"
#include "mgr/lodestarapi.h"
#include "mgr/networkmanager.h"
#include "testenv.h"
#include "testmain.h"
#include "testserver.h"

using orvotest::TestServer;

namespace {

// Feeds the client's protected slots the way ApiManager does.
class Driver : public QObject
{
    Q_OBJECT
public:
    explicit Driver(ORVO::LodestarApi* api)
    {
        connect(this, SIGNAL(auth(libvelcor::Auth)), api, SLOT(_authReceived(libvelcor::Auth)));
        connect(this, SIGNAL(addr(QString, QString)), api, SLOT(_gotServerAddr(QString, QString)));
        connect(this, SIGNAL(fallback(bool)), api, SLOT(_gotFallback(bool)));
    }
signals:
    void auth(libvelcor::Auth auth);
    void addr(QString addr, QString fallbackAddr);
    void fallback(bool isFallback);
};

libvelcor::Auth credential(libvelcor::Auth::Type type, const QString& user = QStringLiteral("demo"),
                           const QString& pass = QStringLiteral("demo"))
{
    return libvelcor::Auth(
        libvelcor::Auth::ProfileId, type, QString(""), user, pass,
        type == libvelcor::Auth::CertificateType ? QStringLiteral("/tmp/client.p12") : QString(""));
}

struct Setup
{
    ORVO::CookieJar jar;
    ORVO::LodestarApi api;
    Driver driver{&api};
    QSignalSpy loggedIn{&api, SIGNAL(loggedIn())};
    QSignalSpy loggedOut{&api, SIGNAL(loggedOut())};
    QSignalSpy changed{&api, SIGNAL(authChanged(libvelcor::Auth))};
    QSignalSpy errors{&api, SIGNAL(error(libvelcor::Error))};

    Setup(const libvelcor::Auth& auth, const QString& addr = QStringLiteral("127.0.0.1"),
          const QString& fallbackAddr = QString(""))
    {
        api.setCookieJar(&jar);
        emit driver.auth(auth);
        emit driver.addr(addr, fallbackAddr);
    }
    libvelcor::Error lastError() const { return errors.last().at(0).value<libvelcor::Error>(); }
};

} // namespace

class TestLodestarApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loginSendsTheForm();
    void formFieldsArriveUnchanged_data();
    void formFieldsArriveUnchanged();
    void requestTarget_data();
    void requestTarget();
    void logoutKeepsTheSchemeOfTheLogin();
    void changePasswordReplies_data();
    void changePasswordReplies();
    void changePasswordAgainstServer();
    void proxyCredentialIsIgnored();
    void unreachableServerFailsWithTheWebCode();
    void newRequestAbandonsTheOneInFlight();
    void jarDeletedByItsOwnerIsNeverUsed();
    void jarIsBorrowedNotOwned();

private:
    std::unique_ptr<TestServer> web;
};

void TestLodestarApi::initTestCase()
{
    TestServer::trustCaByDefault();
}

void TestLodestarApi::init()
{
    web.reset(new TestServer());
    QVERIFY(web->listen(false));
    libvelcor::Client::setPortOverride(web->port());
}

void TestLodestarApi::cleanup()
{
    web.reset();
}

void TestLodestarApi::loginSendsTheForm()
{
    Setup s(credential(libvelcor::Auth::UserPassType));
    QCOMPARE(s.api.login(QStringLiteral("demo"), QStringLiteral("demo")), 0);
    QTRY_COMPARE_WITH_TIMEOUT(s.loggedIn.count(), 1, 5000);
    QCOMPARE(s.api.currentOp(), ORVO::LodestarApi::OpNone);

    const auto requests = web->requests(QLatin1String(TestServer::LoginPath));
    QCOMPARE(requests.size(), 1);
    const TestServer::Request& r = requests.first();
    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(r.body, QByteArray("zub_username=demo&zub_password=demo"));
    QCOMPARE(r.headers.value("user-agent"), QByteArray("Corvane Tavu Connect 3.8.1 (Macintosh)"));
    QCOMPARE(r.headers.value("user-agent"), QByteArray(ORVO::UserAgent));
    QVERIFY(r.headers.value("content-type").startsWith("application/x-www-form-urlencoded"));

    // The session cookie lands in the shared jar, for the portal pages.
    const auto cookies =
        s.jar.cookiesForUrl(QUrl(web->baseUrl() + QStringLiteral("/manage/portal/")));
    QCOMPARE(cookies.size(), 1);
    QCOMPARE(cookies.first().name(), QByteArray(TestServer::SessionCookieName));
    QCOMPARE(web->sessionCount(), 1);
}

void TestLodestarApi::formFieldsArriveUnchanged_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pass");
    QTest::newRow("form delimiters") << QStringLiteral("a&b=c") << QStringLiteral("p=q&r");
    QTest::newRow("plus and blank") << QStringLiteral("first last") << QStringLiteral("a+b c");
    QTest::newRow("percent escapes") << QStringLiteral("%41") << QStringLiteral("100%25%");
    QTest::newRow("non-ASCII") << QStringLiteral("J\u00fcrgen")
                               << QStringLiteral("p\u00e4ss\u20ac");
    QTest::newRow("empty password") << QStringLiteral("demo2") << QString("");
}

void TestLodestarApi::formFieldsArriveUnchanged()
{
    QFETCH(QString, user);
    QFETCH(QString, pass);
    web->setUser(user, pass);
    Setup s(credential(libvelcor::Auth::UserPassType, user, pass));
    s.api.login(user, pass);
    // The server answers 401 unless both fields arrived as typed.
    QTRY_VERIFY_WITH_TIMEOUT(s.loggedIn.count() + s.errors.count() > 0, 5000);
    QCOMPARE(s.errors.count(), 0);
    QCOMPARE(s.loggedIn.count(), 1);
}

void TestLodestarApi::requestTarget_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("isFallback");
    QTest::addColumn<QString>("addr");
    QTest::addColumn<QString>("fallbackAddr");
    QTest::addColumn<QString>("expectHost"); // empty: refused, nothing sent
    QTest::addColumn<bool>("https");
    QTest::addColumn<bool>("expectError");

    QTest::newRow("user-pass, primary") << 0 << false << "127.0.0.1"
                                        << "localhost"
                                        << "127.0.0.1" << false << false;
    QTest::newRow("user-pass, fallback") << 0 << true << "127.0.0.1"
                                         << "localhost"
                                         << "localhost" << false << false;
    QTest::newRow("no credential type") << -1 << false << "localhost"
                                        << ""
                                        << "localhost" << false << false;
    QTest::newRow("certificate: https") << 1 << false << "127.0.0.1"
                                        << ""
                                        << "127.0.0.1" << true << false;
    QTest::newRow("certificate, fallback") << 1 << true << "127.0.0.1"
                                           << "localhost"
                                           << "localhost" << true << false;
    QTest::newRow("no address") << 0 << false << ""
                                << ""
                                << "" << false << false;
    QTest::newRow("no address, fallback known") << 0 << true << ""
                                                << "127.0.0.1"
                                                << "" << false << false;
    // The fallback is in use but unknown: the request has no host.
    QTest::newRow("fallback unknown") << 0 << true << "127.0.0.1"
                                      << ""
                                      << "" << false << true;
}

void TestLodestarApi::requestTarget()
{
    QFETCH(int, type);
    QFETCH(bool, isFallback);
    QFETCH(QString, addr);
    QFETCH(QString, fallbackAddr);
    QFETCH(QString, expectHost);
    QFETCH(bool, https);
    QFETCH(bool, expectError);

    // The rows telling two addresses apart by name need "localhost" to
    // resolve; a bare system without /etc/hosts has no such name.
    const QString local = QStringLiteral("localhost");
    if ((addr == local || fallbackAddr == local || expectHost == local) &&
        QHostInfo::fromName(local).addresses().isEmpty())
        QSKIP("the name localhost does not resolve on this system");

    web->close();
    QVERIFY(web->listen(https));
    libvelcor::Client::setPortOverride(web->port());
    Setup s(credential(libvelcor::Auth::Type(type)), addr, fallbackAddr);
    emit s.driver.fallback(isFallback);

    const int rc = s.api.login(QStringLiteral("demo"), QStringLiteral("demo"));
    if (expectHost.isEmpty() && !expectError) {
        QCOMPARE(rc, -1);
        QTest::qWait(200);
        QCOMPARE(web->requests().size(), 0);
        QCOMPARE(s.loggedIn.count() + s.errors.count(), 0);
        return;
    }
    QCOMPARE(rc, 0);
    QTRY_VERIFY_WITH_TIMEOUT(s.loggedIn.count() + s.errors.count() > 0, 5000);
    if (expectError) {
        QCOMPARE(s.lastError().getCode(), libvelcor::Client::ErrorCode);
        QCOMPARE(web->requests().size(), 0);
        return;
    }
    QCOMPARE(s.errors.count(), 0);
    const auto requests = web->requests(QLatin1String(TestServer::LoginPath));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().headers.value("host"),
             (expectHost + QLatin1Char(':') + QString::number(web->port())).toLatin1());
}

void TestLodestarApi::logoutKeepsTheSchemeOfTheLogin()
{
    web->close();
    QVERIFY(web->listen(true));
    libvelcor::Client::setPortOverride(web->port());
    Setup s(credential(libvelcor::Auth::CertificateType));
    s.api.login(QStringLiteral("demo"), QStringLiteral("demo"));
    QTRY_COMPARE_WITH_TIMEOUT(s.loggedIn.count(), 1, 5000);
    QCOMPARE(web->sessionCount(), 1);

    // The sign-out empties the credential before the logout is sent.
    emit s.driver.auth(libvelcor::Auth(libvelcor::Auth::ProfileId, libvelcor::Auth::NoneType,
                                       QString(""), QString(""), QString(""), QString("")));
    QCOMPARE(s.api.logout(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(s.loggedOut.count() + s.errors.count() > 0, 5000);
    QCOMPARE(s.errors.count(), 0);
    QCOMPARE(s.loggedOut.count(), 1);
    QCOMPARE(web->sessionCount(), 0);
    QCOMPARE(web->requests(QLatin1String(TestServer::LogoutPath)).size(), 1);
}

void TestLodestarApi::changePasswordReplies_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("text"); // null: the web client's own text

    QTest::newRow("success") << 200 << QByteArray("{\"success\": true}") << true << QString();
    QTest::newRow("null error member")
        << 200 << QByteArray("{\"success\": true, \"error\": null}") << true << QString();
    QTest::newRow("empty JSON") << 200 << QByteArray("{}") << true << QString();
    QTest::newRow("error member") << 200
                                  << QByteArray("{\"success\": false, \"error\": \"too short\"}")
                                  << false << QStringLiteral("Failed changing password: too short");
    QTest::newRow("empty error member") << 200 << QByteArray("{\"error\": \"\"}") << false
                                        << QStringLiteral("Failed changing password: ");
    QTest::newRow("not JSON") << 200 << QByteArray("<html>Oops</html>") << false
                              << QStringLiteral("Failed changing password");
    QTest::newRow("empty body") << 200 << QByteArray() << false
                                << QStringLiteral("Failed changing password");
    // Never passed on as the service's code 500 (which signs the user out).
    QTest::newRow("HTTP 500") << 500 << QByteArray("{}") << false << QString();
    QTest::newRow("HTTP 403") << 403 << QByteArray("Not logged in") << false << QString();
    QTest::newRow("302 to a page") << 302 << QByteArray() << false << "Failed changing password";
}

void TestLodestarApi::changePasswordReplies()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, ok);
    QFETCH(QString, text);

    web->setResponse(QLatin1String(TestServer::ChangePasswordPath), status, body,
                     "application/json", {{"Location", "/manage/portal/devices"}});
    Setup s(credential(libvelcor::Auth::UserPassType));
    QCOMPARE(s.api.changePassword(QStringLiteral("n3w")), 0);
    QTRY_VERIFY_WITH_TIMEOUT(s.changed.count() + s.errors.count() > 0, 5000);
    web->clearPath(QLatin1String(TestServer::ChangePasswordPath));

    if (ok) {
        QCOMPARE(s.errors.count(), 0);
        QCOMPARE(s.changed.count(), 1);
        const auto changed = s.changed.first().at(0).value<libvelcor::Auth>();
        QCOMPARE(changed.getPass(), QStringLiteral("n3w"));
        QCOMPARE(changed.getUser(), QStringLiteral("demo"));
        QCOMPARE(changed.getId(), libvelcor::Auth::ProfileId);
        QCOMPARE(s.api.getAuth().getPass(), QStringLiteral("n3w"));
    } else {
        QCOMPARE(s.changed.count(), 0);
        QCOMPARE(s.errors.count(), 1);
        QCOMPARE(s.lastError().getCode(), libvelcor::Client::ErrorCode);
        if (!text.isNull())
            QCOMPARE(s.lastError().getDesc(), text);
        // Taken, and answered with no result: the new password may hold.
        QVERIFY(text != "Failed changing password" ||
                s.lastError().getExtra().contains("may be in force"));
        QCOMPARE(s.api.getAuth().getPass(), QStringLiteral("demo"));
    }
    QCOMPARE(web->requests(QLatin1String(TestServer::ChangePasswordPath)).first().body,
             QByteArray("password=n3w"));
}

void TestLodestarApi::changePasswordAgainstServer()
{
    Setup s(credential(libvelcor::Auth::UserPassType));
    s.api.login(QStringLiteral("demo"), QStringLiteral("demo"));
    QTRY_COMPARE_WITH_TIMEOUT(s.loggedIn.count(), 1, 5000);

    // The server's own refusal carries its reason.
    s.api.changePassword(QString(""));
    QTRY_COMPARE_WITH_TIMEOUT(s.errors.count(), 1, 5000);
    QCOMPARE(s.lastError().getDesc(),
             QStringLiteral("Failed changing password: The new password must not be empty"));
    QCOMPARE(s.changed.count(), 0);

    // A receiver that signs out at once (as a box's event loop lets it):
    // that logout is followed to its end.
    connect(&s.api, &ORVO::LodestarApi::authChanged, &s.api, [&s]() { s.api.logout(); });
    s.api.changePassword(QStringLiteral("s3cret"));
    QTRY_COMPARE_WITH_TIMEOUT(s.changed.count(), 1, 5000);
    QCOMPARE(web->password(QStringLiteral("demo")), QStringLiteral("s3cret"));
    QCOMPARE(s.api.getAuth().getPass(), QStringLiteral("s3cret"));
    QTRY_COMPARE_WITH_TIMEOUT(s.loggedOut.count(), 1, 5000);
    QCOMPARE(web->sessionCount(), 0);
}

void TestLodestarApi::proxyCredentialIsIgnored()
{
    Setup s(credential(libvelcor::Auth::CertificateType, QStringLiteral("owner")));
    emit s.driver.auth(libvelcor::Auth(libvelcor::Auth::ProxyId, libvelcor::Auth::UserPassType,
                                       QStringLiteral("http://proxy:3128"), QStringLiteral("puser"),
                                       QStringLiteral("ppass"), QString("")));
    QCOMPARE(s.api.getAuth().getUser(), QStringLiteral("owner"));
    QCOMPARE(s.api.getAuth().getType(), libvelcor::Auth::CertificateType);
}

void TestLodestarApi::unreachableServerFailsWithTheWebCode()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 closed = probe.serverPort();
    probe.close();
    libvelcor::Client::setPortOverride(closed);
    Setup s(credential(libvelcor::Auth::UserPassType));
    s.api.login(QStringLiteral("demo"), QStringLiteral("demo"));
    QTRY_COMPARE_WITH_TIMEOUT(s.errors.count(), 1, 5000);
    QCOMPARE(s.lastError().getCode(), libvelcor::Client::ErrorCode);
    QCOMPARE(s.loggedIn.count(), 0);
    // A failed request stays marked until the next one resets the client.
    QCOMPARE(s.api.currentOp(), ORVO::LodestarApi::OpLogin);
}

void TestLodestarApi::newRequestAbandonsTheOneInFlight()
{
    web->setDelay(QLatin1String(TestServer::LoginPath), 300);
    Setup s(credential(libvelcor::Auth::UserPassType));
    s.api.login(QStringLiteral("demo"), QStringLiteral("demo"));
    QTRY_VERIFY_WITH_TIMEOUT(!web->requests(QLatin1String(TestServer::LoginPath)).isEmpty(), 5000);
    s.api.login(QStringLiteral("demo"), QStringLiteral("demo"));
    QTRY_COMPARE_WITH_TIMEOUT(s.loggedIn.count(), 1, 5000);
    QTest::qWait(400);
    QCOMPARE(s.loggedIn.count(), 1);
    QCOMPARE(s.errors.count(), 0);
    web->clearPath(QLatin1String(TestServer::LoginPath));
}

void TestLodestarApi::jarDeletedByItsOwnerIsNeverUsed()
{
    ORVO::LodestarApi api;
    Driver driver(&api);
    emit driver.auth(credential(libvelcor::Auth::UserPassType));
    emit driver.addr(QStringLiteral("127.0.0.1"), QString(""));
    QSignalSpy loggedIn(&api, SIGNAL(loggedIn()));

    auto* jar = new ORVO::CookieJar();
    api.setCookieJar(jar);
    QCOMPARE(api.getNetworkAccessManager()->cookieJar(), static_cast<QNetworkCookieJar*>(jar));
    delete jar;
    QVERIFY(api.getCookieJar() == nullptr);
    QVERIFY(api.getNetworkAccessManager()->cookieJar() != nullptr);

    // Requests (which read and write cookies) and resets go on safely.
    api.login(QStringLiteral("demo"), QStringLiteral("demo"));
    QTRY_COMPARE_WITH_TIMEOUT(loggedIn.count(), 1, 5000);
    api.reset();
    api.setCookieJar(nullptr); // refused, nothing changes
    QVERIFY(api.getCookieJar() == nullptr);
}

void TestLodestarApi::jarIsBorrowedNotOwned()
{
    ORVO::CookieJar jar;
    QPointer<ORVO::CookieJar> guard(&jar);
    {
        ORVO::LodestarApi api;
        api.setCookieJar(&jar);
        QCOMPARE(jar.parent(), static_cast<QObject*>(nullptr));
        api.reset();
        QCOMPARE(api.getNetworkAccessManager()->cookieJar(), static_cast<QNetworkCookieJar*>(&jar));
        QCOMPARE(jar.parent(), static_cast<QObject*>(nullptr));
    }
    QVERIFY(guard);
}

ORVO_TEST_MAIN(TestLodestarApi)
#include "tst_lodestarapi.moc"
