#pragma once

#include <QList>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QReadWriteLock>

namespace libvelcor {

// Answers every proxy query of the application with the configured proxy,
// except for loopback hosts and listening sockets, which go direct: the
// local service, the log listener and the request server stay reachable
// behind any proxy. Installed with
// QNetworkProxyFactory::setApplicationProxyFactory, which takes it over.
class ProxyFactory : public QNetworkProxyFactory
{
public:
    ProxyFactory();
    ~ProxyFactory() override;

    void setApplicationProxy(const QNetworkProxy& proxy);
    QNetworkProxy applicationProxy() const;

    QList<QNetworkProxy>
    queryProxy(const QNetworkProxyQuery& query = QNetworkProxyQuery()) override;

    // 127.0.0.0/8, ::1, "localhost" and names under ".localhost".
    static bool isLoopbackHost(const QString& host);

private:
    // Qt may ask from any thread.
    mutable QReadWriteLock lock;
    QNetworkProxy proxy;
};

} // namespace libvelcor
