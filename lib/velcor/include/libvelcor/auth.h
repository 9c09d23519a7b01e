#pragma once

#include <QMetaType>
#include <QNetworkProxy>
#include <QString>

namespace libvelcor {

// A credential handed to the local service: the profile's (or management
// server's) user and password or certificate, or the proxy's.
class Auth
{
public:
    enum Id : int { ProfileId = 0, ProxyId = 1 };
    enum Type : int { NoneType = -1, UserPassType = 0, CertificateType = 1 };

    Auth();
    Auth(Id id, Type type, const QString& url, const QString& user, const QString& pass,
         const QString& path);

    Id getId() const { return id; }
    Type getType() const { return type; }
    QString getUrl() const { return url; }
    QString getUser() const { return user; }
    QString getPass() const { return pass; }
    QString getPath() const { return path; }

    // Setters return 0 when the value was taken, -1 when refused (unknown
    // id or type; texts with control characters that would break the
    // service's line-based credential files).
    int setId(Id value);
    int setType(Type value);
    int setUrl(const QString& value);
    int setUser(const QString& value);
    int setPass(const QString& value);
    int setPath(const QString& value);

    // 0 when the credential can be used for a sign-in: a user name for
    // user and password, a certificate path for a certificate.
    int validate() const;
    QString getStrType() const;
    static Type typeFromQt(QNetworkProxy::ProxyType proxyType);

    bool operator==(const Auth& other) const;
    bool operator!=(const Auth& other) const { return !(*this == other); }

private:
    Id id = ProfileId;
    Type type = NoneType;
    QString url;
    QString user;
    QString pass;
    QString path;
};

} // namespace libvelcor

Q_DECLARE_METATYPE(libvelcor::Auth)
