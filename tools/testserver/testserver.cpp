#include "testserver.h"

#include "httpconnection.h"

#include <QBuffer>
#include <QFile>
#include <QHostAddress>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QUrl>

#ifndef ORVO_TESTSERVER_CERT_DIR
#define ORVO_TESTSERVER_CERT_DIR ""
#endif

namespace orvotest {

const char* const TestServer::LoginPath = "/manage/access/login/";
const char* const TestServer::LogoutPath = "/manage/access/logout/";
const char* const TestServer::ChangePasswordPath =
    "/manage/commands/commands.access.client.changePassword/";
const char* const TestServer::LogoPath =
    "/toscawidgets/resources/corvane.access.web/static/images/login/logo.png";
const char* const TestServer::LogoSmallPath =
    "/toscawidgets/resources/corvane.access.web/static/images/login/logo-small.png";
const char* const TestServer::SessionCookieName = "lodestar_session";
const char* const TestServer::DefaultUser = "demo";
const char* const TestServer::DefaultPassword = "demo";

namespace {

using Header = QPair<QByteArray, QByteArray>;

// Accepts TCP or TLS connections; a TLS socket starts its handshake at once.
class Listener : public QTcpServer
{
public:
    Listener(TestServer* owner, bool https, const QSslCertificate& cert, const QSslKey& key)
        : QTcpServer(owner), owner(owner), https(https), cert(cert), key(key)
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        QTcpSocket* socket = nullptr;
        if (https) {
            auto* ssl = new QSslSocket;
            if (!ssl->setSocketDescriptor(descriptor)) {
                delete ssl;
                return;
            }
            ssl->setLocalCertificate(cert);
            ssl->setPrivateKey(key);
            ssl->setPeerVerifyMode(QSslSocket::VerifyNone);
            ssl->startServerEncryption();
            socket = ssl;
        } else {
            socket = new QTcpSocket;
            if (!socket->setSocketDescriptor(descriptor)) {
                delete socket;
                return;
            }
        }
        new HttpConnection(socket, owner);
    }

private:
    TestServer* owner;
    bool https;
    QSslCertificate cert;
    QSslKey key;
};

QByteArray pngImage(int width, int height, QRgb a, QRgb b)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = ((x / 8 + y / 8) % 2) ? a : b;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// application/x-www-form-urlencoded: "+" is a blank, the rest percent-decoded.
QMap<QString, QString> parseForm(const QByteArray& body)
{
    QMap<QString, QString> fields;
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const int eq = pair.indexOf('=');
        QByteArray name = eq < 0 ? pair : pair.left(eq);
        QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        name.replace('+', ' ');
        value.replace('+', ' ');
        const QString key = QString::fromUtf8(QByteArray::fromPercentEncoding(name));
        if (!fields.contains(key))
            fields.insert(key, QString::fromUtf8(QByteArray::fromPercentEncoding(value)));
    }
    return fields;
}

QString normalisedPath(const QString& path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p;
}

QByteArray htmlEscape(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

} // namespace

TestServer::TestServer(QObject* parent) : QObject(parent)
{
    users.insert(QString::fromLatin1(DefaultUser), QString::fromLatin1(DefaultPassword));
    pageKeys.insert(QStringLiteral("connection"), QStringLiteral("/manage/portal/connection"));
    pageKeys.insert(QStringLiteral("action"), QStringLiteral("/manage/portal/action"));
    pageKeys.insert(QStringLiteral("settings"), QStringLiteral("/manage/portal/settings"));
    // The downloads that the default portal pages link to.
    setFile(QStringLiteral("/manage/client_download/report.pdf"), "%PDF-1.4\n% test report\n",
            QStringLiteral("report.pdf"));
    setFile(QStringLiteral("/manage/gateway/downloadGatewayConfig"),
            "client\ndev tun\nremote 127.0.0.1 1194\n", QStringLiteral("gateway.ovpn"));
    setFile(QStringLiteral("/manage/report/export"), "name;address\ngw1;10.0.0.5\n",
            QStringLiteral("devices.csv"));
    logoLarge = pngImage(240, 60, qRgb(0x1f, 0x4e, 0x8c), qRgb(0xff, 0xff, 0xff));
    logoSmall = pngImage(48, 48, qRgb(0xe0, 0x7a, 0x10), qRgb(0xff, 0xff, 0xff));
}

TestServer::~TestServer() = default;

bool TestServer::listen(bool useHttps)
{
    return listen(useHttps, 0);
}

bool TestServer::listen(bool useHttps, quint16 wantedPort)
{
    close();
    https = useHttps;
    QSslCertificate cert;
    QSslKey key;
    if (https) {
        const char* name = certificateMode == SelfSigned  ? "selfsigned"
                           : certificateMode == WrongHost ? "wronghost"
                                                          : "server";
        const QString dir = certificateDir();
        QFile certFile(dir + QLatin1Char('/') + QLatin1String(name) + QLatin1String(".pem"));
        QFile keyFile(dir + QLatin1Char('/') + QLatin1String(name) + QLatin1String(".key"));
        if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
            qWarning("[TestServer] certificate or key missing in %s", qPrintable(dir));
            return false;
        }
        cert = QSslCertificate(certFile.readAll(), QSsl::Pem);
        key = QSslKey(keyFile.readAll(), QSsl::Ec, QSsl::Pem);
        if (cert.isNull() || key.isNull()) {
            qWarning("[TestServer] unreadable certificate or key in %s", qPrintable(dir));
            return false;
        }
    }
    server = new Listener(this, https, cert, key);
    if (!server->listen(QHostAddress::LocalHost, wantedPort)) {
        qWarning("[TestServer] listen failed: %s", qPrintable(server->errorString()));
        delete server;
        server = nullptr;
        return false;
    }
    return true;
}

void TestServer::close()
{
    // Connections are children of this object: drop them with the listener.
    const QList<HttpConnection*> connections =
        findChildren<HttpConnection*>(QString(), Qt::FindDirectChildrenOnly);
    qDeleteAll(connections);
    delete server;
    server = nullptr;
}

quint16 TestServer::port() const
{
    return server ? server->serverPort() : 0;
}

bool TestServer::isHttps() const
{
    return https;
}

QString TestServer::baseUrl() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(https ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(port());
}

void TestServer::setCertificateMode(CertificateMode mode)
{
    certificateMode = mode;
}

QString TestServer::certificateDir()
{
    const QString env = qEnvironmentVariable("ORVO_TESTSERVER_CERT_DIR");
    return env.isEmpty() ? QString::fromUtf8(ORVO_TESTSERVER_CERT_DIR) : env;
}

QString TestServer::caCertificatePath() const
{
    return certificateDir() + QStringLiteral("/ca.pem");
}

QSslCertificate TestServer::caCertificate()
{
    QFile file(certificateDir() + QStringLiteral("/ca.pem"));
    if (!file.open(QIODevice::ReadOnly))
        return QSslCertificate();
    return QSslCertificate(file.readAll(), QSsl::Pem);
}

void TestServer::trustCaByDefault()
{
    const QSslCertificate ca = caCertificate();
    if (ca.isNull())
        return;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> cas = config.caCertificates();
    if (cas.contains(ca))
        return;
    cas.append(ca);
    config.setCaCertificates(cas);
    QSslConfiguration::setDefaultConfiguration(config);
}

void TestServer::setFile(const QString& path, const QByteArray& body,
                         const QString& dispositionName)
{
    FileEntry entry;
    entry.body = body;
    entry.dispositionName = dispositionName;
    files.insert(path, entry);
}

void TestServer::setGeneratedFile(const QString& path, qint64 size, const QString& dispositionName)
{
    FileEntry entry;
    entry.generatedSize = qMax<qint64>(0, size);
    entry.dispositionName = dispositionName;
    files.insert(path, entry);
}

QByteArray TestServer::generatedContent(qint64 offset, qint64 length)
{
    // One period of the pattern plus a chunk, so any chunk is a plain slice.
    static const QByteArray pattern = [] {
        QByteArray p(251 + 64 * 1024, Qt::Uninitialized);
        for (int i = 0; i < p.size(); ++i)
            p[i] = generatedByte(i);
        return p;
    }();
    QByteArray out;
    out.reserve(int(length));
    while (length > 0) {
        const int phase = int(offset % 251);
        const int n = int(qMin<qint64>(length, pattern.size() - phase));
        out.append(pattern.constData() + phase, n);
        offset += n;
        length -= n;
    }
    return out;
}

void TestServer::setStatus(const QString& path, int status)
{
    statuses.insert(path, status);
}

void TestServer::setDelay(const QString& path, int ms)
{
    delays.insert(path, ms);
}

void TestServer::setBodyDelay(const QString& path, int ms)
{
    bodyDelays.insert(path, ms);
}

void TestServer::setResponse(const QString& path, int status, const QByteArray& body,
                             const QByteArray& contentType,
                             const QList<QPair<QByteArray, QByteArray>>& headers)
{
    Scripted s;
    s.status = status;
    s.body = body;
    s.contentType = contentType;
    s.headers = headers;
    scripted.insert(path, s);
}

void TestServer::clearPath(const QString& path)
{
    files.remove(path);
    statuses.remove(path);
    delays.remove(path);
    bodyDelays.remove(path);
    scripted.remove(path);
}

QList<TestServer::Request> TestServer::requests() const
{
    QMutexLocker lock(&requestsMutex);
    return recorded;
}

QList<TestServer::Request> TestServer::requests(const QString& path) const
{
    QMutexLocker lock(&requestsMutex);
    QList<Request> out;
    for (const Request& r : recorded) {
        if (r.path == path)
            out.append(r);
    }
    return out;
}

void TestServer::clearRequests()
{
    QMutexLocker lock(&requestsMutex);
    recorded.clear();
}

void TestServer::setUser(const QString& user, const QString& pass)
{
    users.insert(user, pass);
}

void TestServer::removeUser(const QString& user)
{
    users.remove(user);
}

QString TestServer::password(const QString& user) const
{
    return users.value(user);
}

int TestServer::sessionCount() const
{
    return sessionUsers.size();
}

QStringList TestServer::sessions() const
{
    return sessionUsers.keys();
}

void TestServer::setPortalPage(const QString& key, const QString& path, const QByteArray& html)
{
    pageKeys.insert(key, path);
    if (html.isNull())
        pageHtml.remove(key);
    else
        pageHtml.insert(key, html);
}

void TestServer::removePortalPage(const QString& key)
{
    pageKeys.remove(key);
    pageHtml.remove(key);
}

QVariantMap TestServer::portalPages() const
{
    QVariantMap map;
    for (auto it = pageKeys.cbegin(); it != pageKeys.cend(); ++it)
        map.insert(it.key(), it.value());
    return map;
}

void TestServer::setPortalRequiresLogin(bool on)
{
    portalRequiresLogin = on;
}

QByteArray TestServer::logo(bool small) const
{
    return small ? logoSmall : logoLarge;
}

void TestServer::_record(const Request& request)
{
    {
        QMutexLocker lock(&requestsMutex);
        recorded.append(request);
    }
    emit requestReceived(QString::fromLatin1(request.method), request.path);
}

int TestServer::_delayFor(const QString& path) const
{
    return delays.value(path, 0);
}

int TestServer::_bodyDelayFor(const QString& path) const
{
    return bodyDelays.value(path, 0);
}

TestServer::Reply TestServer::_plain(int status, const QByteArray& text)
{
    Reply r;
    r.status = status;
    r.headers.append(Header{"Content-Type", "text/html; charset=utf-8"});
    r.body = "<html><body><p>" + text + "</p></body></html>\n";
    return r;
}

TestServer::Reply TestServer::_json(int status, const QVariantMap& map)
{
    Reply r;
    r.status = status;
    r.headers.append(Header{"Content-Type", "application/json"});
    r.body = QJsonDocument(QJsonObject::fromVariantMap(map)).toJson(QJsonDocument::Compact);
    return r;
}

TestServer::Reply TestServer::_answer(const Request& request)
{
    const QString& path = request.path;
    if (statuses.contains(path)) {
        const int status = statuses.value(path);
        return _plain(status, "Status " + QByteArray::number(status));
    }
    if (scripted.contains(path)) {
        const Scripted& s = scripted[path];
        Reply r;
        r.status = s.status;
        if (!s.contentType.isEmpty())
            r.headers.append(Header{"Content-Type", s.contentType});
        r.headers += s.headers;
        r.body = s.body;
        return r;
    }
    // The client asks for its downloads with a trailing "/", as the real
    // server accepts them.
    const QString filePath = files.contains(path) ? path : normalisedPath(path);
    if (files.contains(filePath)) {
        if (request.method != "GET" && request.method != "HEAD")
            return _plain(405, "Method not allowed");
        const FileEntry& f = files[filePath];
        Reply r;
        r.headers.append(Header{"Content-Type", "application/octet-stream"});
        if (!f.dispositionName.isEmpty())
            r.headers.append(Header{"Content-Disposition",
                                    "attachment; filename=\"" + f.dispositionName.toUtf8() + '"'});
        r.body = f.body;
        r.generatedSize = f.generatedSize;
        return r;
    }
    bool handled = false;
    Reply r = _webApi(request, handled);
    if (handled)
        return r;
    r = _portal(request, handled);
    if (handled)
        return r;
    return _plain(404, "Not found");
}

QString TestServer::_sessionOf(const Request& request) const
{
    const QByteArray cookies = request.headers.value("cookie");
    for (const QByteArray& part : cookies.split(';')) {
        const QByteArray c = part.trimmed();
        const int eq = c.indexOf('=');
        if (eq > 0 && c.left(eq) == SessionCookieName) {
            const QString value = QString::fromLatin1(c.mid(eq + 1));
            if (sessionUsers.contains(value))
                return value;
        }
    }
    return QString();
}

TestServer::Reply TestServer::_webApi(const Request& request, bool& handled)
{
    handled = true;
    const QString& path = request.path;
    const QByteArray& method = request.method;

    if (path == QLatin1String(LoginPath)) {
        if (method == "GET" || method == "HEAD") {
            Reply r;
            r.headers.append(Header{"Content-Type", "text/html; charset=utf-8"});
            r.body = _loginPageHtml();
            return r;
        }
        if (method != "POST")
            return _plain(405, "Method not allowed");
        const QMap<QString, QString> form = parseForm(request.body);
        if (!form.contains(QStringLiteral("zub_username")) ||
            !form.contains(QStringLiteral("zub_password")))
            return _json(
                400, {{QStringLiteral("success"), false},
                      {QStringLiteral("error"), QStringLiteral("Missing user name or password")}});
        const QString user = form.value(QStringLiteral("zub_username"));
        if (!users.contains(user) ||
            users.value(user) != form.value(QStringLiteral("zub_password")))
            return _json(
                401, {{QStringLiteral("success"), false},
                      {QStringLiteral("error"), QStringLiteral("Invalid user name or password")}});
        const QString session = QString::number(QRandomGenerator::global()->generate64(), 16) +
                                QString::number(QRandomGenerator::global()->generate64(), 16);
        sessionUsers.insert(session, user);
        Reply r = _json(200, {{QStringLiteral("success"), true}, {QStringLiteral("user"), user}});
        r.headers.append({"Set-Cookie", QByteArray(SessionCookieName) + '=' + session.toLatin1() +
                                            "; Path=/; HttpOnly"});
        return r;
    }

    if (path == QLatin1String(LogoutPath)) {
        if (method != "GET" && method != "POST")
            return _plain(405, "Method not allowed");
        const QString session = _sessionOf(request);
        if (!session.isEmpty())
            sessionUsers.remove(session);
        Reply r = _json(200, {{QStringLiteral("success"), true}});
        r.headers.append(Header{"Set-Cookie",
                                QByteArray(SessionCookieName) +
                                    "=; Path=/; Max-Age=0; Expires=Thu, 01 Jan 1970 00:00:00 GMT"});
        return r;
    }

    if (path == QLatin1String(ChangePasswordPath)) {
        if (method != "POST")
            return _plain(405, "Method not allowed");
        const QString session = _sessionOf(request);
        if (session.isEmpty())
            return _plain(403, "Not logged in");
        const QMap<QString, QString> form = parseForm(request.body);
        if (!form.contains(QStringLiteral("password")))
            return _json(400, {{QStringLiteral("success"), false},
                               {QStringLiteral("error"), QStringLiteral("Missing new password")}});
        const QString pass = form.value(QStringLiteral("password"));
        // The server's own refusal: a JSON answer with an "error" member.
        if (pass.isEmpty())
            return _json(200, {{QStringLiteral("success"), false},
                               {QStringLiteral("error"),
                                QStringLiteral("The new password must not be empty")}});
        users.insert(sessionUsers.value(session), pass);
        return _json(200, {{QStringLiteral("success"), true}});
    }

    if (path == QLatin1String(LogoPath) || path == QLatin1String(LogoSmallPath)) {
        if (method != "GET" && method != "HEAD")
            return _plain(405, "Method not allowed");
        Reply r;
        r.headers.append(Header{"Content-Type", "image/png"});
        r.body = path == QLatin1String(LogoPath) ? logoLarge : logoSmall;
        return r;
    }

    handled = false;
    return Reply();
}

TestServer::Reply TestServer::_portal(const Request& request, bool& handled)
{
    const QString path = normalisedPath(request.path);
    for (auto it = pageKeys.cbegin(); it != pageKeys.cend(); ++it) {
        if (normalisedPath(it.value()) != path)
            continue;
        handled = true;
        if (portalRequiresLogin && _sessionOf(request).isEmpty()) {
            Reply r = _plain(302, "Please log in");
            r.headers.append(Header{"Location", LoginPath});
            return r;
        }
        Reply r;
        r.headers.append(Header{"Content-Type", "text/html; charset=utf-8"});
        r.body = pageHtml.contains(it.key()) ? pageHtml.value(it.key())
                                             : _portalHtml(it.key(), it.value());
        return r;
    }
    handled = false;
    return Reply();
}

QByteArray TestServer::_portalHtml(const QString& key, const QString& path) const
{
    // Links carry the portal's command words in the shapes the client reads.
    const QByteArray openUrl =
        QUrl::toPercentEncoding(baseUrl() + QStringLiteral("/manage/portal/info"));
    QByteArray html;
    html +=
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Portal: " + htmlEscape(key) +
        "</title></head>\n<body>\n<h1 id=\"title\">" + htmlEscape(key) + "</h1>\n<p id=\"path\">" +
        htmlEscape(path) + "</p>\n<ul>\n";
    html += "<li><a id=\"execute\" "
            "href=\"/manage/portal/run/EXECUTE_COMMAND?name=viewer&amp;endpoint=17&amp;"
            "remark=Front+desk&amp;command_path=%2Fusr%2Fbin%2Fviewer&amp;command_args=-fullscreen+"
            "-quality+9&amp;"
            "device_ips%5B%5D=10.0.0.5&amp;device_ips%5B%5D=10.0.0.6\">Run viewer</a></li>\n";
    html += "<li><a id=\"open-url\" href=\"/manage/portal/OPEN_URL?url=" + openUrl +
            "&amp;device_ips%5B%5D=10.0.0.7\">Open URL</a></li>\n";
    html += "<li><a id=\"builtin\" "
            "href=\"/manage/portal/OPEN_URL?url=BUILTIN_APP%3Fbundle%3Dterminal%26app%3Dssh"
            "%26host%3D10.0.0.5%26port%3D22\">Built-in application</a></li>\n";
    html += "<li><a id=\"action-login\" href=\"/manage/portal/AJAX_ACTION_LOGIN\">Action "
            "login</a></li>\n";
    html += "<li><a id=\"reload-login\" href=\"/manage/portal/AJAX_RELOAD_LOGIN\">Reload "
            "login</a></li>\n";
    html +=
        "<li><a id=\"ping-login\" href=\"/manage/portal/AJAX_PING_LOGIN\">Ping login</a></li>\n";
    html += "<li><a id=\"open-browser\" "
            "href=\"/manage/portal/OPEN_WITH_BROWSER?device_ips%5B%5D=10.0.0.8\">"
            "Open with browser</a></li>\n";
    html +=
        "<li><a id=\"sync-routes\" href=\"/manage/portal/SYNC_ROUTES?device_ips%5B%5D=10.0.0.5&amp;"
        "device_ips%5B%5D=10.0.0.9\">Sync routes</a></li>\n";
    html += "<li><a id=\"download\" href=\"/manage/client_download/report.pdf\">Download "
            "report</a></li>\n";
    html += "<li><a id=\"download-config\" href=\"/manage/gateway/downloadGatewayConfig\">"
            "Download gateway configuration</a></li>\n";
    html += "<li><a id=\"download-csv\" href=\"/manage/report/export?csv=1\">Export CSV</a></li>\n";
    html += "<li><a id=\"login-page\" href=\"" + QByteArray(LoginPath) + "\">Login page</a></li>\n";
    html += "</ul>\n</body></html>\n";
    return html;
}

QByteArray TestServer::_loginPageHtml() const
{
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Lodestar "
           "login</title></head>\n<body>\n"
           "<form id=\"login\" method=\"post\" action=\"" +
           QByteArray(LoginPath) +
           "\">\n<input name=\"zub_username\" type=\"text\">\n<input name=\"zub_password\" "
           "type=\"password\">\n"
           "<input type=\"submit\" value=\"Log in\">\n</form>\n</body></html>\n";
}

} // namespace orvotest
