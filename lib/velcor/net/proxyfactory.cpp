#include "libvelcor/proxyfactory.h"

#include <QHostAddress>

namespace libvelcor {

ProxyFactory::ProxyFactory() : proxy(QNetworkProxy::NoProxy) {}

ProxyFactory::~ProxyFactory() = default;

void ProxyFactory::setApplicationProxy(const QNetworkProxy& p)
{
    QWriteLocker locker(&lock);
    proxy = p;
}

QNetworkProxy ProxyFactory::applicationProxy() const
{
    QReadLocker locker(&lock);
    return proxy;
}

bool ProxyFactory::isLoopbackHost(const QString& rawHost)
{
    QString host = rawHost.trimmed().toLower();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    while (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    if (host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost")))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QList<QNetworkProxy> ProxyFactory::queryProxy(const QNetworkProxyQuery& query)
{
    // A listening socket cannot go through an HTTP proxy, and every server
    // socket of the program is local.
    if (query.queryType() == QNetworkProxyQuery::TcpServer)
        return {QNetworkProxy(QNetworkProxy::NoProxy)};
    if (isLoopbackHost(query.peerHostName()))
        return {QNetworkProxy(QNetworkProxy::NoProxy)};
    const QNetworkProxy p = applicationProxy();
    // DefaultProxy would send Qt back to the application proxy: this factory.
    if (p.type() == QNetworkProxy::DefaultProxy)
        return {QNetworkProxy(QNetworkProxy::NoProxy)};
    return {p};
}

} // namespace libvelcor
