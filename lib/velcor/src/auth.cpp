#include "libvelcor/auth.h"

#include "textcheck.h"

namespace libvelcor {

using detail::hasControlChars;

Auth::Auth() = default;

Auth::Auth(Id id, Type type, const QString& url, const QString& user, const QString& pass,
           const QString& path)
    : id(id), type(type), url(url), user(user), pass(pass), path(path)
{
}

int Auth::setId(Id value)
{
    if (value != ProfileId && value != ProxyId)
        return -1;
    id = value;
    return 0;
}

int Auth::setType(Type value)
{
    if (value != NoneType && value != UserPassType && value != CertificateType)
        return -1;
    type = value;
    return 0;
}

int Auth::setUrl(const QString& value)
{
    if (hasControlChars(value))
        return -1;
    url = value;
    return 0;
}

int Auth::setUser(const QString& value)
{
    if (hasControlChars(value))
        return -1;
    user = value;
    return 0;
}

int Auth::setPass(const QString& value)
{
    if (hasControlChars(value))
        return -1;
    pass = value;
    return 0;
}

int Auth::setPath(const QString& value)
{
    if (hasControlChars(value))
        return -1;
    path = value;
    return 0;
}

int Auth::validate() const
{
    switch (type) {
    case UserPassType:
        return user.isEmpty() ? -1 : 0;
    case CertificateType:
        return path.isEmpty() ? -1 : 0;
    default:
        return -1;
    }
}

QString Auth::getStrType() const
{
    switch (type) {
    case UserPassType:
        return QStringLiteral("user-pass");
    case CertificateType:
        return QStringLiteral("certificate");
    case NoneType:
        return QStringLiteral("none");
    }
    return QString();
}

Auth::Type Auth::typeFromQt(QNetworkProxy::ProxyType proxyType)
{
    switch (proxyType) {
    case QNetworkProxy::HttpProxy:
    case QNetworkProxy::HttpCachingProxy:
    case QNetworkProxy::Socks5Proxy:
    case QNetworkProxy::FtpCachingProxy:
        return UserPassType;
    default:
        return NoneType;
    }
}

bool Auth::operator==(const Auth& o) const
{
    return id == o.id && type == o.type && url == o.url && user == o.user && pass == o.pass &&
           path == o.path;
}

} // namespace libvelcor
