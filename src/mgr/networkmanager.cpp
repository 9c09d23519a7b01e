#include "mgr/networkmanager.h"

#include <QAuthenticator>
#include <QMap>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include "common/common.h"
#include "common/cookiejar.h"
#include "common/log.h"
#include "common/utils.h"
#include "libvelcor/client.h"
#include "libvelcor/crypto.h"
#include "libvelcor/utils.h"

namespace ORVO {

namespace {

// Bounds what Qt buffers for a reply ahead of our writes to disk.
const qint64 ReadBufferSize = 4 * 1024 * 1024;
// As many redirects as a browser follows.
const int MaxRedirects = 20;

int quietTimeout = NetworkManager::QuietTimeoutMs;

} // namespace

void NetworkManager::setQuietTimeout(int ms)
{
    quietTimeout = ms;
}

NetworkManager::NetworkManager(ProcessManager* processManager_)
    : QObject(nullptr), processManager(processManager_), request(QUrl())
{
    LOG_TRACE;
    qRegisterMetaType<ORVO::NetworkManager::Error>();
    cookieJar = new CookieJar(nullptr);

    connect(&accessManager, &QNetworkAccessManager::sslErrors, this, &NetworkManager::sslErrors);
    connect(&accessManager, &QNetworkAccessManager::authenticationRequired, this,
            &NetworkManager::authenticationRequired);
    connect(&accessManager, &QNetworkAccessManager::proxyAuthenticationRequired, this,
            &NetworkManager::proxyAuthenticationRequired);
    connect(&accessManager, &QNetworkAccessManager::finished, this,
            QOverload<QNetworkReply*>::of(&NetworkManager::finished));

    request.setRawHeader("User-Agent", ORVO::UserAgent);
    valid = true;
}

NetworkManager::~NetworkManager()
{
    LOG_TRACE;
    // Replies still open go with the access manager; none of their last
    // signals may reach a half-destroyed object, and their unfinished
    // targets are discarded.
    accessManager.disconnect(this);
    for (auto it = downloads.begin(); it != downloads.end(); ++it) {
        it.key()->disconnect(this);
        delete it.value().file;
    }
    downloads.clear();
    delete cookieJar;
    cookieJar = nullptr;
}

QString NetworkManager::errorString(NetworkManager::Error err)
{
    switch (err) {
    case ErrorNone:
        return tr("No error");
    case ErrorBadParams:
        return tr("Bad parameters");
    case ErrorRequest:
        return tr("Error in request");
    case ErrorReply:
        return tr("Error in reply");
    case ErrorSystem:
        return tr("System error");
    }
    return QString();
}

int NetworkManager::startDownload(const QString& url, QString target, bool quiet)
{
    LOG_TRACE;
    LOG_DEBUG << "[NetworkManager] Downloading url: " << url << " target: " << target;

    Download d;
    d.url = QUrl(url).toString();
    d.target = target.isEmpty() ? QString("") : target;
    d.quiet = quiet;
    d.credentialOf = credentials;
    if (quiet)
        d.deadline.setRemainingTime(quietTimeout);
    if (!_send(QUrl(url), d)) {
        LOG_ERROR;
        if (!quiet)
            emit sigError(ErrorRequest, QString(""));
        return -1;
    }
    return 0;
}

bool NetworkManager::_send(const QUrl& url, Download d)
{
    // A fresh copy each time, so that no header of an earlier credential
    // lingers on the request.
    QNetworkRequest req = request;
    req.setUrl(url);
    // The portal decides where a download comes from, and each server where
    // it goes on to; the credential is for the management server only.
    // Elsewhere the file is fetched without it, as a browser would.
    d.leftServer = d.leftServer || !_isServerUrl(url);
    if (d.leftServer) {
        LOG_DEBUG << "[NetworkManager] Not the management server, no credential sent to: "
                  << url.host();
    } else if (d.credentialOf != credentials) {
        // A later sign-in's, or none: the server of this one may be gone.
        LOG_DEBUG << "[NetworkManager] The credential changed since the download began, none "
                     "sent to: "
                  << url.host();
    } else {
        QMap<QByteArray, QByteArray> map;
        if (libvelcor::crypto::requestFromAuth(auth, map, req) != 0)
            LOG_DEBUG;
    }

    QNetworkReply* reply = d.target.isEmpty() ? accessManager.head(req) : accessManager.get(req);
    if (!reply)
        return false;
    d.file = nullptr;
    downloads.insert(reply, d);
    if (!d.target.isEmpty()) {
        reply->setReadBufferSize(ReadBufferSize);
        connect(reply, &QNetworkReply::readyRead, this, &NetworkManager::_readyRead);
    }
    // What the server sends is bounded in time as a whole, not each silence.
    if (d.quiet)
        QTimer::singleShot(int(d.deadline.remainingTime()), reply,
                           [this, reply]() { _quietExpired(reply); });
    return true;
}

void NetworkManager::_quietExpired(QNetworkReply* reply)
{
    const auto it = downloads.find(reply);
    if (it == downloads.end() || it.value().failed)
        return;
    LOG_ERROR << "[NetworkManager] No whole answer within " << quietTimeout / 1000.0
              << " s: " << it.value().url;
    _abandon(reply, it.value());
}

void NetworkManager::dropQuietDownloads()
{
    const QList<QNetworkReply*> replies = downloads.keys();
    for (QNetworkReply* reply : replies) {
        const auto it = downloads.find(reply);
        if (it == downloads.end() || !it.value().quiet || it.value().failed)
            continue;
        LOG_DEBUG << "[NetworkManager] Dropped: " << it.value().url;
        _abandon(reply, it.value());
    }
}

void NetworkManager::_abandon(QNetworkReply* reply, Download& d)
{
    d.failed = true;
    if (d.file)
        d.file->cancel();
    // abort() delivers finished() at once; the reply slot sees `failed`.
    // Nothing of d may be touched afterwards.
    reply->abort();
}

void NetworkManager::_notTheFile(QNetworkReply* reply, const Download& d)
{
    // Qt does not follow redirects for us, and takes any answer below 400
    // for success: only a 2xx answer is the file.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant location = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    const QUrl from = reply->url();
    const QUrl to = from.resolved(location.toUrl());
    const QString scheme = to.scheme();
    QString why;
    // A Location header without an address names no target: it would lead
    // back to the same address until the redirects ran out.
    if (status < 300 || status > 399 || location.toUrl().isEmpty() || !to.isValid())
        why = tr("The server answered with status %1 instead of the file.").arg(status);
    else if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        why = tr("The download was redirected to an address that cannot be fetched: %1")
                  .arg(to.toString(QUrl::RemoveUserInfo));
    else if (from.scheme() == QLatin1String("https") && scheme != QLatin1String("https"))
        why = tr("The download was redirected from a secure address to an insecure one: %1")
                  .arg(to.toString(QUrl::RemoveUserInfo));
    else if (d.quiet && !libvelcor::Client::staysOnServer(from, to))
        why = tr("The server's own file was sent on to another server, %1: it was not followed")
                  .arg(to.toString(QUrl::RemoveUserInfo));
    else if (d.redirects >= MaxRedirects)
        why = tr("The download was redirected too many times: %1")
                  .arg(to.toString(QUrl::RemoveUserInfo));

    if (why.isEmpty()) {
        LOG_DEBUG << "[NetworkManager] Redirected to " << to.toString(QUrl::RemoveUserInfo);
        Download next = d;
        ++next.redirects;
        next.upgraded = d.upgraded || (d.quiet && scheme != from.scheme());
        if (_send(to, next))
            return;
        LOG_ERROR;
        if (!d.quiet)
            emit sigError(ErrorRequest, QString(""));
        return;
    }
    LOG_ERROR << "[NetworkManager] " << why;
    if (!d.quiet)
        emit sigError(ErrorReply, why);
}

int NetworkManager::reset()
{
    LOG_TRACE;
    if (cookieJar)
        cookieJar->reset();
    return 0;
}

QString NetworkManager::fileNameFromDisposition(const QByteArray& header)
{
    // The header as text, up to a zero byte.
    const int nul = header.indexOf('\0');
    const QString text = QString::fromUtf8(nul < 0 ? header : header.left(nul));

    static const QRegularExpression pattern(QStringLiteral("filename=\"([^\"]*)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return QString();

    // The server names the file, not where it goes.
    return ORVO::utils::bareFileName(match.captured(1));
}

bool NetworkManager::_isFileBody(QNetworkReply* reply)
{
    if (reply->error() != QNetworkReply::NoError)
        return false;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return !status.isValid() || (status.toInt() >= 200 && status.toInt() <= 299);
}

bool NetworkManager::_isServerUrl(const QUrl& url) const
{
    // Scheme, host and port: the same host over plain http is not the
    // server that the user signed in to over https.
    for (const QString& addr : serverAddrs) {
        if (!addr.isEmpty() &&
            ORVO::utils::isSameOrigin(QUrl(serverScheme + QStringLiteral("://") + addr), url))
            return true;
    }
    return false;
}

bool NetworkManager::_openTarget(Download& d)
{
    if (d.file)
        return true;
    // Written beside the target and renamed over it only once complete, so
    // a failed download leaves an existing file as it was.
    d.file = new libvelcor::utils::AtomicFile(d.target);
    return d.file->open() == 0;
}

bool NetworkManager::_writeBody(QNetworkReply* reply, Download& d)
{
    if (!_openTarget(d))
        return false;
    while (reply->bytesAvailable() > 0) {
        const QByteArray chunk = reply->read(reply->bytesAvailable());
        if (chunk.isEmpty())
            break;
        if (d.file->write(chunk) != 0)
            return false;
    }
    return true;
}

void NetworkManager::_failWrite(QNetworkReply* reply, Download& d)
{
    d.failed = true;
    if (d.file)
        d.file->cancel();
    _reportWriteError(d);
    // abort() delivers finished() at once; the reply slot sees `failed`.
    // Nothing of d may be touched afterwards.
    reply->abort();
}

void NetworkManager::_reportWriteError(const Download& d)
{
    // The user chose the file and can make room for it: the box says which
    // file and why. A quiet download (a logo) is the program's own
    // business: the log has it.
    const QString reason = d.file ? d.file->errorString() : QString();
    LOG_ERROR << "Cannot write " << d.target << ": " << reason;
    if (!d.quiet)
        emit sigError(ErrorSystem, tr("Cannot write %1: %2").arg(d.target, reason));
}

void NetworkManager::_readyRead()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    const auto it = downloads.find(reply);
    if (!reply || it == downloads.end())
        return;
    Download& d = it.value();
    if (d.failed || !_isFileBody(reply)) {
        // An error page or a redirect's body is not the file: drop it.
        reply->readAll();
        return;
    }
    if (!_writeBody(reply, d))
        _failWrite(reply, d);
}

void NetworkManager::finished(QNetworkReply* reply)
{
    LOG_TRACE;
    if (!reply) {
        LOG_ERROR;
        emit sigError(ErrorBadParams, QString(""));
        return;
    }
    Download d = downloads.take(reply);
    reply->disconnect(this);

    if (d.failed) {
        // A failed write (reported), a bound or a drop: this is its abort.
    } else if (reply->error() == QNetworkReply::NoError && !_isFileBody(reply)) {
        _notTheFile(reply, d);
    } else if (reply->error() == QNetworkReply::NoError) {
        if (!d.target.isEmpty()) {
            if (_writeBody(reply, d) && d.file->commit() == 0) {
                emit finished(d.target);
            } else {
                if (d.file)
                    d.file->cancel();
                _reportWriteError(d);
            }
        } else {
            const QString name = fileNameFromDisposition(reply->rawHeader("Content-Disposition"));
            emit queryDownloadTarget(d.url, name);
        }
    } else if (reply->error() == QNetworkReply::ContentNotFoundError) {
        LOG_DEBUG << "[NetworkManager] IGNORING Content not found";
    } else {
        const QString msg =
            QString::number(int(reply->error())) + QStringLiteral(": ") + reply->errorString();
        LOG_ERROR << msg;
        if (!d.quiet)
            emit sigError(ErrorReply, msg);
    }

    delete d.file; // discards what was not committed
    reply->deleteLater();
}

void NetworkManager::gotAuth(const libvelcor::Auth& newAuth)
{
    LOG_TRACE;
    LOG_DEBUG << "[NetworkManager] auth url: " << newAuth.getUrl() << " user: " << newAuth.getUser()
              << " pass: <not shown>";
    // The proxy's credential is the proxy's: it never goes to the management
    // server, nor says how that is reached.
    if (newAuth.getId() != libvelcor::Auth::ProfileId)
        return;
    if (newAuth != auth)
        ++credentials;
    auth = newAuth;
    serverScheme = ORVO::utils::serverScheme(newAuth.getType());
}

void NetworkManager::gotServerAddr(const QString& addr, const QString& fallbackAddr)
{
    LOG_TRACE;
    const QStringList addrs{addr, fallbackAddr};
    if (addrs != serverAddrs)
        ++credentials;
    serverAddrs = addrs;
}

void NetworkManager::sslErrors(QNetworkReply* reply, const QList<QSslError>& errors)
{
    LOG_TRACE;
    // Tolerated: servers with a private CA or addressed by IP. A certificate
    // that signs itself is not, nor anything on a quiet download's way up
    // from http, where only a certificate that checks out vouches for the
    // host.
    const bool upgraded = downloads.value(reply).upgraded;
    QList<QSslError> ignored;
    for (const QSslError& err : errors) {
        const QSslError::SslError code = err.error();
        if (!upgraded && (code == QSslError::SelfSignedCertificateInChain ||
                          code == QSslError::UnableToGetLocalIssuerCertificate ||
                          code == QSslError::UnableToVerifyFirstCertificate ||
                          code == QSslError::HostNameMismatch))
            ignored.append(err);
        else
            LOG_ERROR << "QSslError (" << int(code) << "): " << err.errorString();
    }
    if (reply)
        reply->ignoreSslErrors(ignored);
}

void NetworkManager::authenticationRequired(QNetworkReply* reply, QAuthenticator* authenticator)
{
    Q_UNUSED(reply)
    Q_UNUSED(authenticator)
    LOG_TRACE;
}

void NetworkManager::proxyAuthenticationRequired(const QNetworkProxy& proxy,
                                                 QAuthenticator* authenticator)
{
    Q_UNUSED(proxy)
    Q_UNUSED(authenticator)
    LOG_TRACE;
}

void NetworkManager::networkAccessibleChanged(int accessible)
{
    Q_UNUSED(accessible)
    LOG_TRACE;
}

void NetworkManager::networkError(QNetworkReply::NetworkError err)
{
    LOG_TRACE;
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    LOG_DEBUG << "[NetworkManager] error: " << int(err) << " ("
              << (reply ? reply->errorString() : QString()) << ")";
}

} // namespace ORVO
