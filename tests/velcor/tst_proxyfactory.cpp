// libvelcor::ProxyFactory: the configured proxy for every query, none for
// loopback hosts and listening sockets.

#include "testmain.h"

#include "libvelcor/proxyfactory.h"
#include "testserver.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpServer>

using libvelcor::ProxyFactory;

class TestProxyFactory : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QNetworkProxyFactory::setApplicationProxyFactory(nullptr); }

    void loopbackHosts_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("loopback");
        QTest::newRow("127.0.0.1") << "127.0.0.1" << true;
        QTest::newRow("127.1.2.3") << "127.1.2.3" << true;
        QTest::newRow("::1") << "::1" << true;
        QTest::newRow("[::1]") << "[::1]" << true;
        QTest::newRow("localhost") << "localhost" << true;
        QTest::newRow("LocalHost.") << "LocalHost." << true;
        QTest::newRow("a.localhost") << "a.localhost" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("10.0.0.1") << "10.0.0.1" << false;
        QTest::newRow("128.0.0.1") << "128.0.0.1" << false;
        QTest::newRow("localhost.example.com") << "localhost.example.com" << false;
        QTest::newRow("mylocalhost") << "mylocalhost" << false;
        QTest::newRow("server.example.com") << "server.example.com" << false;
    }
    void loopbackHosts()
    {
        QFETCH(QString, host);
        QFETCH(bool, loopback);
        QCOMPARE(ProxyFactory::isLoopbackHost(host), loopback);
    }

    void queries_data()
    {
        QTest::addColumn<QNetworkProxyQuery>("query");
        QTest::addColumn<bool>("proxied");
        QTest::newRow("remote url")
            << QNetworkProxyQuery(QUrl("http://server.example.com/x")) << true;
        QTest::newRow("remote tcp") << QNetworkProxyQuery("10.1.1.1", 443) << true;
        QTest::newRow("loopback url")
            << QNetworkProxyQuery(QUrl("http://127.0.0.1:4814/")) << false;
        QTest::newRow("localhost tcp") << QNetworkProxyQuery("localhost", 4824) << false;
        QTest::newRow("listening socket")
            << QNetworkProxyQuery(quint16(4824), QString(), QNetworkProxyQuery::TcpServer) << false;
    }
    void queries()
    {
        QFETCH(QNetworkProxyQuery, query);
        QFETCH(bool, proxied);
        const QNetworkProxy configured(QNetworkProxy::HttpProxy, "proxy.example.com", 3128, "u",
                                       "p");
        ProxyFactory factory;
        QCOMPARE(factory.queryProxy(query).value(0).type(),
                 QNetworkProxy::NoProxy); // nothing configured yet
        factory.setApplicationProxy(configured);
        const QList<QNetworkProxy> answer = factory.queryProxy(query);
        QCOMPARE(answer.size(), 1);
        if (proxied)
            QCOMPARE(answer.at(0), configured);
        else
            QCOMPARE(answer.at(0).type(), QNetworkProxy::NoProxy);
    }

    void defaultProxyMeansNone()
    {
        ProxyFactory factory;
        factory.setApplicationProxy(QNetworkProxy(QNetworkProxy::DefaultProxy));
        QCOMPARE(factory.queryProxy(QNetworkProxyQuery(QUrl("http://server.example.com/")))
                     .value(0)
                     .type(),
                 QNetworkProxy::NoProxy);
    }

    // Installed as the application's factory with a proxy that cannot be
    // reached, local servers still listen and loopback requests still work.
    void localTrafficBypassesTheProxy()
    {
        QTcpServer dead;
        QVERIFY(dead.listen(QHostAddress::LocalHost));
        const quint16 deadPort = dead.serverPort();
        dead.close();
        auto* factory = new ProxyFactory;
        factory->setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", deadPort));
        QNetworkProxyFactory::setApplicationProxyFactory(factory);

        QTcpServer listener;
        QVERIFY2(listener.listen(QHostAddress::LocalHost), qPrintable(listener.errorString()));

        orvotest::TestServer server;
        QVERIFY(server.listen());
        QNetworkAccessManager nam;
        QNetworkReply* reply =
            nam.get(QNetworkRequest(QUrl(server.baseUrl() + orvotest::TestServer::LogoPath)));
        QSignalSpy finished(reply, SIGNAL(finished()));
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(reply->error(), QNetworkReply::NoError);
        delete reply;
    }
};

ORVO_TEST_MAIN(TestProxyFactory)
#include "tst_proxyfactory.moc"
