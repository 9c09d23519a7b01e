#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QSslCertificate>
#include <QString>
#include <QVariantMap>

class QTcpServer;

namespace orvotest {

class HttpConnection;

// A local stand-in for the Lodestar management server: its web API (login,
// logout, change password with session cookies), the two logo images, portal
// pages with command links, and file downloads with Content-Disposition,
// over HTTP or HTTPS on 127.0.0.1. Every request is recorded for tests.
//
// Answers, first rule that applies wins:
//   1. setStatus(path)   a bare reply with that status
//   2. setResponse(path) the scripted reply
//   3. setFile / setGeneratedFile
//   4. the web API paths, the logos, the portal pages, the login page
//   5. 404
// setDelay(path) holds back whichever reply the path gets; setBodyDelay(path)
// sends its head at once and holds back its body.
class TestServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QString path;                         // percent-decoded
        QByteArray query;                     // as sent, still percent-encoded, without "?"
        QMap<QByteArray, QByteArray> headers; // lower-case names
        QByteArray body;
    };

    // Which certificate an HTTPS server presents.
    enum CertificateMode {
        CaSigned,   // issued by the test CA for 127.0.0.1 and localhost
        SelfSigned, // signs itself: untrusted whatever the client adds
        WrongHost   // issued by the test CA for another host name
    };

    static const char* const LoginPath;  // "/manage/access/login/"
    static const char* const LogoutPath; // "/manage/access/logout/"
    static const char* const ChangePasswordPath;
    static const char* const LogoPath;
    static const char* const LogoSmallPath;
    static const char* const SessionCookieName;
    static const char* const DefaultUser;     // "demo"
    static const char* const DefaultPassword; // "demo"

    explicit TestServer(QObject* parent = nullptr);
    ~TestServer() override;

    // Listens on 127.0.0.1; port 0 picks a free one.
    bool listen(bool https = false);
    bool listen(bool https, quint16 port);
    void close();
    quint16 port() const;
    bool isHttps() const;
    // "http://127.0.0.1:<port>" or "https://127.0.0.1:<port>"
    QString baseUrl() const;

    // Before listen(true).
    void setCertificateMode(CertificateMode mode);
    // Directory of the generated certificates (ORVO_TESTSERVER_CERT_DIR in
    // the environment overrides the one made at build time).
    static QString certificateDir();
    QString caCertificatePath() const;
    static QSslCertificate caCertificate();
    // Adds the test CA to the application's default TLS configuration, so
    // that requests which leave the configuration alone trust the server.
    static void trustCaByDefault();

    // HEAD and GET; a Content-Disposition attachment header when a name is
    // given.
    void setFile(const QString& path, const QByteArray& body,
                 const QString& dispositionName = QString());
    // A body of `size` bytes made while it is sent, never held in memory.
    // Byte n of it is generatedByte(n).
    void setGeneratedFile(const QString& path, qint64 size, const QString& dispositionName);
    static char generatedByte(qint64 offset) { return char(offset % 251); }
    static QByteArray generatedContent(qint64 offset, qint64 length);

    void setStatus(const QString& path, int status);
    void setDelay(const QString& path, int ms);
    void setBodyDelay(const QString& path, int ms);
    // A scripted reply for any method; overrides the built-in answers.
    void setResponse(const QString& path, int status, const QByteArray& body,
                     const QByteArray& contentType = "text/html; charset=utf-8",
                     const QList<QPair<QByteArray, QByteArray>>& headers = {});
    // Drops what setFile, setGeneratedFile, setStatus, the delays and
    // setResponse gave the path.
    void clearPath(const QString& path);

    QList<Request> requests() const;
    QList<Request> requests(const QString& path) const;
    void clearRequests();

    // Web API accounts; the default account is DefaultUser/DefaultPassword.
    void setUser(const QString& user, const QString& password);
    void removeUser(const QString& user);
    QString password(const QString& user) const;
    int sessionCount() const;
    // Session cookie values that are currently logged in.
    QStringList sessions() const;

    // Portal pages: key (as the server configuration names it) to path.
    void setPortalPage(const QString& key, const QString& path,
                       const QByteArray& html = QByteArray());
    void removePortalPage(const QString& key);
    QVariantMap portalPages() const;
    // Portal pages answer without a session cookie by redirecting to the
    // login page, as the real server does; off lets them answer anyway.
    void setPortalRequiresLogin(bool on);

    QByteArray logo(bool small) const;

signals:
    // After a request has been read in full, before it is answered.
    void requestReceived(QString method, QString path);

private:
    friend class HttpConnection;

    struct FileEntry
    {
        QByteArray body;
        qint64 generatedSize = -1; // >= 0: generated
        QString dispositionName;
    };
    struct Scripted
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType;
        QList<QPair<QByteArray, QByteArray>> headers;
    };
    struct Reply
    {
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        qint64 generatedSize = -1;
        qint64 contentLength = -1; // for HEAD of a generated file
    };

    void _record(const Request& request);
    int _delayFor(const QString& path) const;
    int _bodyDelayFor(const QString& path) const;
    Reply _answer(const Request& request);
    Reply _webApi(const Request& request, bool& handled);
    Reply _portal(const Request& request, bool& handled);
    QString _sessionOf(const Request& request) const;
    QByteArray _portalHtml(const QString& key, const QString& path) const;
    QByteArray _loginPageHtml() const;
    static Reply _plain(int status, const QByteArray& text);
    static Reply _json(int status, const QVariantMap& map);

    QTcpServer* server = nullptr;
    bool https = false;
    CertificateMode certificateMode = CaSigned;

    QHash<QString, FileEntry> files;
    QHash<QString, int> statuses;
    QHash<QString, int> delays;
    QHash<QString, int> bodyDelays;
    QHash<QString, Scripted> scripted;
    QMap<QString, QString> users;
    QHash<QString, QString> sessionUsers; // cookie value -> user
    QMap<QString, QString> pageKeys;      // key -> path
    QHash<QString, QByteArray> pageHtml;  // key -> html given by a test
    bool portalRequiresLogin = true;
    QByteArray logoLarge;
    QByteArray logoSmall;

    mutable QMutex requestsMutex;
    QList<Request> recorded;
};

} // namespace orvotest
