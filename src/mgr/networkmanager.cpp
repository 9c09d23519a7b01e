#include "mgr/networkmanager.h"

#include <QAuthenticator>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

#include "common/common.h"
#include "common/cookiejar.h"
#include "common/log.h"
#include "common/utils.h"
#include "libvelcor/crypto.h"

namespace ORVO {

namespace {

// Bounds what Qt buffers for a reply ahead of our writes to disk.
const qint64 ReadBufferSize = 4 * 1024 * 1024;

} // namespace

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

    // A fresh copy each time, so that no header of an earlier credential
    // lingers on the request.
    QNetworkRequest req = request;
    req.setUrl(QUrl(url));
    // The portal decides where a download comes from; the credential is
    // for the management server only. Elsewhere the file is fetched
    // without it, as a browser would.
    if (_isServerUrl(req.url())) {
        QMap<QByteArray, QByteArray> map;
        if (libvelcor::crypto::requestFromAuth(auth, map, req) != 0)
            LOG_DEBUG;
    } else {
        LOG_DEBUG << "[NetworkManager] Not the management server, no credential sent to: "
                  << req.url().host();
    }

    QNetworkReply* reply = target.isEmpty() ? accessManager.head(req) : accessManager.get(req);
    if (!reply) {
        LOG_ERROR;
        emit sigError(ErrorRequest, QString(""));
        return -1;
    }

    Download d;
    d.url = req.url().toString();
    d.target = target.isEmpty() ? QString("") : target;
    d.quiet = quiet;
    downloads.insert(reply, d);
    if (!target.isEmpty()) {
        reply->setReadBufferSize(ReadBufferSize);
        connect(reply, &QNetworkReply::readyRead, this, &NetworkManager::_readyRead);
    }
    return 0;
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

bool NetworkManager::_isErrorStatus(QNetworkReply* reply)
{
    if (reply->error() != QNetworkReply::NoError)
        return true;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && status.toInt() >= 400;
}

bool NetworkManager::_isServerUrl(const QUrl& url) const
{
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return false;
    for (const QString& addr : serverAddrs) {
        if (!addr.isEmpty() &&
            ORVO::utils::isSameOrigin(QUrl(scheme + QStringLiteral("://") + addr), url))
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
    d.file = new QSaveFile(d.target);
    if (!d.file->open(QIODevice::WriteOnly)) {
        LOG_ERROR << "Cannot write " << d.target << ": " << d.file->errorString();
        return false;
    }
    return true;
}

bool NetworkManager::_writeBody(QNetworkReply* reply, Download& d)
{
    if (!_openTarget(d))
        return false;
    while (reply->bytesAvailable() > 0) {
        const QByteArray chunk = reply->read(reply->bytesAvailable());
        if (chunk.isEmpty())
            break;
        if (d.file->write(chunk) != chunk.size()) {
            LOG_ERROR << "Short write to " << d.target << ": " << d.file->errorString();
            return false;
        }
    }
    return true;
}

void NetworkManager::_failWrite(QNetworkReply* reply, Download& d)
{
    d.failed = true;
    if (d.file)
        d.file->cancelWriting();
    emit sigError(ErrorSystem, QString(""));
    // abort() delivers finished() at once; the reply slot sees `failed`.
    // Nothing of d may be touched afterwards.
    reply->abort();
}

void NetworkManager::_readyRead()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    const auto it = downloads.find(reply);
    if (!reply || it == downloads.end())
        return;
    Download& d = it.value();
    if (d.failed || _isErrorStatus(reply)) {
        // An error page is not the file: drop it.
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
        // A write failed and was reported; this is the abort it caused.
    } else if (reply->error() == QNetworkReply::NoError) {
        if (!d.target.isEmpty()) {
            if (_writeBody(reply, d) && d.file->commit()) {
                emit finished(d.target);
            } else {
                if (d.file)
                    LOG_ERROR << "Cannot write " << d.target << ": " << d.file->errorString();
                else
                    LOG_ERROR;
                if (d.file)
                    d.file->cancelWriting();
                emit sigError(ErrorSystem, QString(""));
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
    auth = newAuth;
}

void NetworkManager::gotServerAddr(const QString& addr, const QString& fallbackAddr)
{
    LOG_TRACE;
    serverAddrs = QStringList{addr, fallbackAddr};
}

void NetworkManager::sslErrors(QNetworkReply* reply, const QList<QSslError>& errors)
{
    LOG_TRACE;
    // Tolerated: servers with a private CA or addressed by IP. A certificate
    // that signs itself is not.
    QList<QSslError> ignored;
    for (const QSslError& err : errors) {
        switch (err.error()) {
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::HostNameMismatch:
            ignored.append(err);
            break;
        default:
            LOG_ERROR << "QSslError (" << int(err.error()) << "): " << err.errorString();
            break;
        }
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
