#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

#include "common/cookiejar.h"
#include "libvelcor/auth.h"
#include "logcapture.h"
#include "mgr/networkmanager.h"
#include "smalldisk.h"
#include "testenv.h"
#include "testmain.h"
#include "testserver.h"

using ORVO::NetworkManager;
using orvotest::TestServer;

namespace {

using Headers = QList<QPair<QByteArray, QByteArray>>;

void giveAuth(NetworkManager& nm, const libvelcor::Auth& auth)
{
    // A protected slot, reached the way Manager's wiring reaches it.
    QVERIFY(QMetaObject::invokeMethod(&nm, "gotAuth", Q_ARG(libvelcor::Auth, auth)));
}

} // namespace

class TestNetworkManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void signatures_data();
    void signatures();
    void errorString_data();
    void errorString();
    void cookieJar();
    void fileNameQuery_data();
    void fileNameQuery();
    void fileNameQueryNotFound();
    void fetch_data();
    void fetch();
    void failedFetch_data();
    void failedFetch();
    void unwritableTarget();
    void shortWriteIsAnError();
    void interruptedFetchKeepsExistingFile();
    void overlappingFetchesAnsweredInReverse();
    void overlappingQuietFlags_data();
    void overlappingQuietFlags();
    void overlappingQueries();
    void requestHeaders();
    void tls_data();
    void tls();

private:
    QString url(const QString& path) const { return server->baseUrl() + path; }
    QString file(const QString& name) const { return dir->filePath(name); }
    QStringList dirEntries() const
    {
        return QDir(dir->path()).entryList(QDir::Files | QDir::Hidden);
    }

    TestServer* server = nullptr;
    QTemporaryDir* dir = nullptr;
};

void TestNetworkManager::init()
{
    server = new TestServer();
    QVERIFY(server->listen());
    dir = new QTemporaryDir();
    QVERIFY(dir->isValid());
}

void TestNetworkManager::cleanup()
{
    delete server;
    server = nullptr;
    delete dir;
    dir = nullptr;
}

void TestNetworkManager::signatures_data()
{
    // As the wiring spells them when it connects by signature.
    QTest::addColumn<bool>("isSignal");
    QTest::addColumn<QByteArray>("signature");
    QTest::newRow("sigError") << true
                              << QByteArray("sigError(ORVO::NetworkManager::Error,QString)");
    QTest::newRow("sigError, short") << true << QByteArray("sigError(ORVO::NetworkManager::Error)");
    QTest::newRow("finished") << true << QByteArray("finished(QString)");
    QTest::newRow("queryDownloadTarget")
        << true << QByteArray("queryDownloadTarget(QString,QString)");
    QTest::newRow("gotAuth") << false << QByteArray("gotAuth(libvelcor::Auth)");
}

void TestNetworkManager::signatures()
{
    QFETCH(bool, isSignal);
    QFETCH(QByteArray, signature);
    const QMetaObject& mo = NetworkManager::staticMetaObject;
    QVERIFY(isSignal ? mo.indexOfSignal(signature) >= 0 : mo.indexOfSlot(signature) >= 0);
}

void TestNetworkManager::errorString_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "No error";
    QTest::newRow("1") << 1 << "Bad parameters";
    QTest::newRow("2") << 2 << "Error in request";
    QTest::newRow("3") << 3 << "Error in reply";
    QTest::newRow("4") << 4 << "System error";
    QTest::newRow("5") << 5 << "";
    QTest::newRow("-1") << -1 << "";
}

void TestNetworkManager::errorString()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(NetworkManager::errorString(NetworkManager::Error(code)), text);
}

void TestNetworkManager::cookieJar()
{
    NetworkManager nm(nullptr);
    QVERIFY(nm.isValid());
    QVERIFY(nm.getCookieJar() != nullptr);
    QCOMPARE(nm.reset(), 0);
}

void TestNetworkManager::fileNameQuery_data()
{
    QTest::addColumn<QByteArray>("disposition"); // null: no header
    QTest::addColumn<QString>("name");

    QTest::newRow("quoted") << QByteArray("attachment; filename=\"report.pdf\"") << "report.pdf";
    QTest::newRow("not quoted") << QByteArray("attachment; filename=report.pdf") << "";
    QTest::newRow("extended only") << QByteArray("attachment; filename*=UTF-8''report.pdf") << "";
    QTest::newRow("capitals") << QByteArray("attachment; FILENAME=\"report.pdf\"") << "";
    QTest::newRow("no header") << QByteArray() << "";
    QTest::newRow("no closing quote")
        << QByteArray("attachment; filename=\"report.pdf") << "report.pdf";
    QTest::newRow("first of two") << QByteArray(
                                         "attachment; filename=\"a.txt\"; filename=\"b.txt\"")
                                  << "a.txt";
    QTest::newRow("blank in name")
        << QByteArray("attachment; filename=\"my report.pdf\"") << "my report.pdf";
    QTest::newRow("parent directories")
        << QByteArray("attachment; filename=\"../../.bashrc\"") << ".bashrc";
    QTest::newRow("absolute path")
        << QByteArray("attachment; filename=\"/etc/passwd\"") << "passwd";
    QTest::newRow("backslashes") << QByteArray("attachment; filename=\"..\\\\..\\\\run.exe\"")
                                 << "run.exe";
    QTest::newRow("dot dot") << QByteArray("attachment; filename=\"..\"") << "";
    QTest::newRow("dot") << QByteArray("attachment; filename=\".\"") << "";
    QTest::newRow("directory only") << QByteArray("attachment; filename=\"sub/\"") << "";
}

void TestNetworkManager::fileNameQuery()
{
    QFETCH(QByteArray, disposition);
    QFETCH(QString, name);

    Headers headers;
    if (!disposition.isNull())
        headers << qMakePair(QByteArray("Content-Disposition"), disposition);
    server->setResponse("/dl", 200, "body", "application/octet-stream", headers);

    NetworkManager nm(nullptr);
    QSignalSpy query(&nm, &NetworkManager::queryDownloadTarget);
    QSignalSpy errors(&nm, &NetworkManager::sigError);
    QCOMPARE(nm.startDownload(url("/dl?id=7"), "", false), 0);
    QTRY_COMPARE(query.count(), 1);
    QCOMPARE(query.at(0).at(0).toString(), url("/dl?id=7"));
    QCOMPARE(query.at(0).at(1).toString(), name);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(server->requests("/dl").at(0).method, QByteArray("HEAD"));
    QVERIFY(dirEntries().isEmpty());
}

void TestNetworkManager::fileNameQueryNotFound()
{
    NetworkManager nm(nullptr);
    QSignalSpy query(&nm, &NetworkManager::queryDownloadTarget);
    QSignalSpy errors(&nm, &NetworkManager::sigError);
    orvotest::LogCapture log;
    QCOMPARE(nm.startDownload(url("/nothing"), "", false), 0);
    QTRY_COMPARE(nm.pendingDownloads(), 0);
    QCOMPARE(query.count(), 0);
    QCOMPARE(errors.count(), 0);
    QVERIFY(log.contains("[NetworkManager] IGNORING Content not found"));
}

void TestNetworkManager::fetch_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("existing"); // null: no file yet

    QTest::newRow("new file") << QByteArray("hello\0world", 11) << QByteArray();
    QTest::newRow("replaces a longer file") << QByteArray("new") << QByteArray(10000, 'x');
    QTest::newRow("empty body") << QByteArray("") << QByteArray("old");
    QTest::newRow("several chunks")
        << TestServer::generatedContent(0, 3 * 1024 * 1024 + 17) << QByteArray();
}

void TestNetworkManager::fetch()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, existing);

    const QString target = file("out.bin");
    if (!existing.isNull())
        QVERIFY(orvotest::writeFile(target, existing));
    server->setFile("/f", body, "f.bin");

    NetworkManager nm(nullptr);
    QSignalSpy done(&nm, SIGNAL(finished(QString)));
    QSignalSpy errors(&nm, &NetworkManager::sigError);
    QCOMPARE(nm.startDownload(url("/f"), target, false), 0);
    QTRY_COMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(0).toString(), target);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(orvotest::readFile(target), body);
    QCOMPARE(server->requests("/f").at(0).method, QByteArray("GET"));
    QCOMPARE(dirEntries(), QStringList{"out.bin"});
}

void TestNetworkManager::failedFetch_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("error");     // 0: none reported
    QTest::addColumn<QString>("says");  // the whole error text, as a pattern
    QTest::addColumn<bool>("fullDisk"); // one block free where the file goes

    // A failed reply: its error code and its text, which ends with the
    // server's answer.
    const QString transfer = "^%1: Error transferring http://127\\.0\\.0\\.1:\\d+/f - "
                             "server replied: %2$";
    const QString noSpace = "^Cannot write .*/out\\.bin: No space left on device$";
    QTest::newRow("server error") << 500 << false << true << 3
                                  << transfer.arg("401", "Internal Server Error") << false;
    QTest::newRow("server error, quiet") << 500 << true << true << 0 << "" << false;
    QTest::newRow("forbidden, no file yet")
        << 403 << false << false << 3 << transfer.arg("201", "Forbidden") << false;
    QTest::newRow("not found") << 404 << false << true << 0 << "" << false;
    QTest::newRow("not found, no file yet") << 404 << false << false << 0 << "" << false;
    QTest::newRow("redirect without an address")
        << 302 << false << true << 3
        << "^The server answered with status 302 instead of the file\\.$" << false;
    QTest::newRow("full disk") << 200 << false << true << 4 << noSpace << true;
    QTest::newRow("full disk, no file yet") << 200 << false << false << 4 << noSpace << true;
    // A logo: the log has it, no box.
    QTest::newRow("full disk, quiet") << 200 << true << true << 0 << "" << true;
    // A logo's server that never answers holds nothing past the bound.
    QTest::newRow("no answer, quiet") << 0 << true << true << 0 << "" << false;
}

void TestNetworkManager::failedFetch()
{
    QFETCH(int, status);
    QFETCH(bool, quiet);
    QFETCH(bool, existing);
    QFETCH(int, error);
    QFETCH(QString, says);
    QFETCH(bool, fullDisk);

    const QString folder = fullDisk ? file("small") : dir->path();
    std::unique_ptr<orvotest::SmallDisk> disk;
    if (fullDisk) {
        disk = std::make_unique<orvotest::SmallDisk>(folder);
        if (!disk->isMounted())
            QSKIP(qPrintable(disk->whyNot()));
    }
    const QString target = folder + "/out.bin";
    if (existing)
        QVERIFY(orvotest::writeFile(target, "previous"));
    if (disk)
        QVERIFY(disk->fill());
    // An error page with a body: it must not become the file. A file that
    // fits Qt's write buffer meets the full disk only when committed.
    server->setResponse("/f", status, QByteArray(fullDisk ? 12000 : 200000, 'e'));
    const auto bound = qScopeGuard([] { NetworkManager::setQuietTimeout(30000); });
    if (!status) {
        server->setDelay("/f", 60000);
        NetworkManager::setQuietTimeout(300);
    }

    NetworkManager nm(nullptr);
    QSignalSpy done(&nm, SIGNAL(finished(QString)));
    QSignalSpy errors(&nm, &NetworkManager::sigError);
    QCOMPARE(nm.startDownload(url("/f"), target, quiet), 0);
    QTRY_COMPARE(nm.pendingDownloads(), 0);
    QTest::qWait(20);
    QCOMPARE(done.count(), 0);
    if (error) {
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).value<NetworkManager::Error>(), NetworkManager::Error(error));
        const QString text = errors.at(0).at(1).toString();
        QVERIFY2(QRegularExpression(says).match(text).hasMatch(), qPrintable(text));
    } else {
        QCOMPARE(errors.count(), 0);
    }
    QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    entries.removeOne("filler");
    if (existing) {
        QCOMPARE(orvotest::readFile(target), QByteArray("previous"));
        QCOMPARE(entries, QStringList{"out.bin"});
    } else {
        QVERIFY(entries.isEmpty());
    }
}

void TestNetworkManager::unwritableTarget()
{
    // A plain file where the target's directory should be (root writes anywhere else).
    QVERIFY(orvotest::writeFile(file("blocker"), "x"));
    server->setFile("/f", "content");

    NetworkManager nm(nullptr);
    QSignalSpy done(&nm, SIGNAL(finished(QString)));
    QSignalSpy errors(&nm, &NetworkManager::sigError);
    QCOMPARE(nm.startDownload(url("/f"), file("blocker/out.bin"), false), 0);
    QTRY_COMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).value<NetworkManager::Error>(), NetworkManager::ErrorSystem);
    QVERIFY(errors.at(0).at(1).toString().startsWith("Cannot write " + file("blocker/out.bin")));
    QTRY_COMPARE(nm.pendingDownloads(), 0);
    QCOMPARE(done.count(), 0);
    QCOMPARE(orvotest::readFile(file("blocker")), QByteArray("x"));
}

void TestNetworkManager::shortWriteIsAnError()
{
    const QString target = file("out.bin");
    QVERIFY(orvotest::writeFile(target, "previous"));
    server->setFile("/f", TestServer::generatedContent(0, 2 * 1024 * 1024));

    NetworkManager nm(nullptr);
    QSignalSpy done(&nm, SIGNAL(finished(QString)));
    QSignalSpy errors(&nm, &NetworkManager::sigError);
    {
        // The disk takes no more than 256 KiB: writes beyond fail.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 256 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        auto restore = qScopeGuard([&]() {
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, oldHandler);
        });
        QCOMPARE(nm.startDownload(url("/f"), target, false), 0);
        QTRY_COMPARE(nm.pendingDownloads(), 0);
    }
    QTest::qWait(20);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).value<NetworkManager::Error>(), NetworkManager::ErrorSystem);
    QCOMPARE(done.count(), 0);
    QCOMPARE(orvotest::readFile(target), QByteArray("previous"));
    QCOMPARE(dirEntries(), QStringList{"out.bin"});
}

void TestNetworkManager::interruptedFetchKeepsExistingFile()
{
    const QString target = file("out.bin");
    QVERIFY(orvotest::writeFile(target, "previous"));
    server->setGeneratedFile("/big", qint64(1) << 30, "big.bin");

    NetworkManager nm(nullptr);
    QSignalSpy done(&nm, SIGNAL(finished(QString)));
    QSignalSpy errors(&nm, &NetworkManager::sigError);
    QSignalSpy received(server, &TestServer::requestReceived);
    QCOMPARE(nm.startDownload(url("/big"), target, false), 0);
    // Part of the body is written (beside the target); then the server goes.
    QTRY_COMPARE(received.count(), 1);
    QTest::qWait(50);
    server->close();
    QTRY_COMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).value<NetworkManager::Error>(), NetworkManager::ErrorReply);
    QTRY_COMPARE(nm.pendingDownloads(), 0);
    QCOMPARE(done.count(), 0);
    QCOMPARE(orvotest::readFile(target), QByteArray("previous"));
    QCOMPARE(dirEntries(), QStringList{"out.bin"});
}

void TestNetworkManager::overlappingFetchesAnsweredInReverse()
{
    server->setFile("/a", "content of a");
    server->setDelay("/a", 200);
    server->setFile("/b", "content of b");

    NetworkManager nm(nullptr);
    QSignalSpy done(&nm, SIGNAL(finished(QString)));
    QCOMPARE(nm.startDownload(url("/a"), file("a.txt"), false), 0);
    QCOMPARE(nm.startDownload(url("/b"), file("b.txt"), false), 0);
    QTRY_COMPARE(done.count(), 2);
    QCOMPARE(done.at(0).at(0).toString(), file("b.txt"));
    QCOMPARE(done.at(1).at(0).toString(), file("a.txt"));
    QCOMPARE(orvotest::readFile(file("a.txt")), QByteArray("content of a"));
    QCOMPARE(orvotest::readFile(file("b.txt")), QByteArray("content of b"));
}

void TestNetworkManager::overlappingQuietFlags_data()
{
    QTest::addColumn<bool>("firstQuiet");
    QTest::addColumn<int>("errorsExpected");
    QTest::newRow("quiet failure, loud success after it") << true << 0;
    QTest::newRow("loud failure, quiet success after it") << false << 1;
}

void TestNetworkManager::overlappingQuietFlags()
{
    QFETCH(bool, firstQuiet);
    QFETCH(int, errorsExpected);

    server->setStatus("/fails", 500);
    server->setDelay("/fails", 200);
    server->setFile("/ok", "fine");

    NetworkManager nm(nullptr);
    QSignalSpy done(&nm, SIGNAL(finished(QString)));
    QSignalSpy errors(&nm, &NetworkManager::sigError);
    QCOMPARE(nm.startDownload(url("/fails"), file("fails.txt"), firstQuiet), 0);
    QCOMPARE(nm.startDownload(url("/ok"), file("ok.txt"), !firstQuiet), 0);
    QTRY_COMPARE(nm.pendingDownloads(), 0);
    QTest::qWait(20);
    QCOMPARE(done.count(), 1);
    QCOMPARE(errors.count(), errorsExpected);
    QVERIFY(!QFile::exists(file("fails.txt")));
}

void TestNetworkManager::overlappingQueries()
{
    server->setFile("/a", "a", "first.txt");
    server->setDelay("/a", 200);
    server->setFile("/b", "b", "second.txt");

    NetworkManager nm(nullptr);
    QSignalSpy query(&nm, &NetworkManager::queryDownloadTarget);
    QCOMPARE(nm.startDownload(url("/a"), "", false), 0);
    QCOMPARE(nm.startDownload(url("/b"), "", false), 0);
    QTRY_COMPARE(query.count(), 2);
    QCOMPARE(query.at(0), (QVariantList{url("/b"), "second.txt"}));
    QCOMPARE(query.at(1), (QVariantList{url("/a"), "first.txt"}));
}

void TestNetworkManager::requestHeaders()
{
    server->setFile("/f", "x");
    NetworkManager nm(nullptr);
    QSignalSpy done(&nm, SIGNAL(finished(QString)));
    orvotest::LogCapture log;

    // The headers that reach "/f" of `to`, asked for at `path` of `from`.
    auto fetchHeaders = [&](TestServer* from = nullptr, const char* path = "/f",
                            TestServer* to = nullptr) {
        from = from ? from : server;
        to = to ? to : from;
        const int before = done.count();
        to->clearRequests();
        if (nm.startDownload(from->baseUrl() + path, file("f"), false) != 0)
            return QMap<QByteArray, QByteArray>();
        if (!QTest::qWaitFor([&]() { return done.count() > before; }, 5000))
            return QMap<QByteArray, QByteArray>();
        return to->requests("/f").value(0).headers;
    };

    QMap<QByteArray, QByteArray> headers = fetchHeaders();
    QCOMPARE(headers.value("user-agent"), QByteArray("Corvane Tavu Connect 3.8.1 (Macintosh)"));
    QVERIFY(!headers.contains("authorization"));

    giveAuth(nm, libvelcor::Auth(libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType,
                                 url("/"), "alice", "s3cret", ""));
    headers = fetchHeaders();
    QVERIFY(!headers.contains("authorization")); // no management server known yet
    QVERIFY(QMetaObject::invokeMethod(&nm, "gotServerAddr", Q_ARG(QString, "ls.invalid"),
                                      Q_ARG(QString, QUrl(url("/")).authority())));
    headers = fetchHeaders();
    QCOMPARE(headers.value("authorization"), "Basic " + QByteArray("alice:s3cret").toBase64());
    QCOMPARE(headers.value("user-agent"), QByteArray("Corvane Tavu Connect 3.8.1 (Macintosh)"));
    // Another server, even on the same host, never gets the credential.
    TestServer other;
    QVERIFY(other.listen());
    other.setFile("/f", "x");
    QVERIFY(!fetchHeaders(&other).contains("authorization"));
    QVERIFY(other.requests("/f").size() == 1);
    // Redirects are followed; the credential goes along only on the server.
    server->setResponse("/away", 302, "", "text/plain",
                        {{"Location", other.baseUrl().toUtf8() + "/f"}});
    server->setResponse("/home", 301, "", "text/plain", {{"Location", "/f"}});
    QVERIFY(!fetchHeaders(server, "/away", &other).contains("authorization"));
    QVERIFY(fetchHeaders(server, "/home").contains("authorization"));
    QCOMPARE(orvotest::readFile(file("f")), QByteArray("x"));
    // Nor once the credential has changed since the download began.
    server->setDelay("/home", 300);
    QCOMPARE(nm.startDownload(url("/home"), file("f"), true), 0);
    giveAuth(nm, libvelcor::Auth(libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType, "",
                                 "bob", "pw", ""));
    QTRY_COMPARE(server->requests("/f").size(), 2);
    QVERIFY(!server->requests("/f").last().headers.contains("authorization"));

    // The proxy's credential never goes to the server.
    giveAuth(nm, libvelcor::Auth(libvelcor::Auth::ProxyId, libvelcor::Auth::UserPassType, "", "eve",
                                 "proxy", ""));
    headers = fetchHeaders();
    QCOMPARE(headers.value("authorization"), "Basic " + QByteArray("bob:pw").toBase64());
    // A server signed in to over https never gets it over plain http.
    giveAuth(nm, libvelcor::Auth(libvelcor::Auth::ProfileId, libvelcor::Auth::CertificateType,
                                 url("/"), "alice", "", "alice.p12"));
    giveAuth(nm, libvelcor::Auth(libvelcor::Auth::ProxyId, libvelcor::Auth::UserPassType, "", "bob",
                                 "pw", ""));
    QVERIFY(!fetchHeaders().contains("authorization"));

    // Signed out: the earlier credential does not linger on the request.
    giveAuth(nm, libvelcor::Auth());
    headers = fetchHeaders();
    QVERIFY(!headers.contains("authorization"));
    QCOMPARE(headers.value("user-agent"), QByteArray("Corvane Tavu Connect 3.8.1 (Macintosh)"));

    QVERIFY(log.contains("[NetworkManager] auth url: "));
    for (const QString& line : log.lines())
        QVERIFY2(!line.contains("s3cret"), qPrintable(line));
}

void TestNetworkManager::tls_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<QString>("via"); // a logo sent on from http (%1: the port; the CA trusted)
    // Nothing here trusts the test CA: its chain fails to verify locally.
    QTest::newRow("untrusted private CA") << int(TestServer::CaSigned) << true << "";
    QTest::newRow("issued for another host") << int(TestServer::WrongHost) << true << "";
    QTest::newRow("signs itself") << int(TestServer::SelfSigned) << false << "";
    QTest::newRow("a logo sent to another port")
        << int(TestServer::CaSigned) << false << "https://127.0.0.1:%1/f";
    QTest::newRow("a logo sent up, issued for another host")
        << int(TestServer::WrongHost) << false << "https://127.0.0.1/f";
}

void TestNetworkManager::tls()
{
    QFETCH(int, mode);
    QFETCH(bool, passes);
    QFETCH(QString, via);

    TestServer tlsServer;
    tlsServer.setCertificateMode(TestServer::CertificateMode(mode));
    if (!via.isEmpty())
        TestServer::trustCaByDefault();
    QVERIFY(tlsServer.listen(true, via.startsWith("https://127.0.0.1/") ? 443 : 0)); // 443: root
    tlsServer.setFile("/f", "secret content");
    via.replace("%1", QString::number(tlsServer.port()));
    server->setResponse("/up", 302, "", "text/plain", {{"Location", via.toUtf8()}});

    NetworkManager nm(nullptr);
    QSignalSpy done(&nm, SIGNAL(finished(QString)));
    QSignalSpy errors(&nm, &NetworkManager::sigError);
    const QString from = via.isEmpty() ? tlsServer.baseUrl() + "/f" : url("/up");
    QCOMPARE(nm.startDownload(from, file("f"), !via.isEmpty()), 0);
    QTRY_COMPARE(nm.pendingDownloads(), 0);
    QTest::qWait(20);
    if (passes) {
        QCOMPARE(done.count(), 1);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(orvotest::readFile(file("f")), QByteArray("secret content"));
        // Never from https down to plain http.
        tlsServer.setResponse("/down", 302, "", "text/plain", {{"Location", url("/f").toUtf8()}});
        QCOMPARE(nm.startDownload(tlsServer.baseUrl() + "/down", file("f"), false), 0);
        QTRY_COMPARE(errors.count(), 1);
        QVERIFY(server->requests("/f").isEmpty());
    } else {
        QCOMPARE(done.count(), 0);
        QCOMPARE(errors.count(), via.isEmpty() ? 1 : 0); // a logo's failure is quiet
        for (const auto& e : errors)
            QCOMPARE(e.at(0).value<NetworkManager::Error>(), NetworkManager::ErrorReply);
        QVERIFY(!QFile::exists(file("f")));
    }
}

ORVO_TEST_MAIN(TestNetworkManager)
#include "tst_networkmanager.moc"
