#include "libvelcor/client.h"

#include <QAtomicInt>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>

#include "../service/vlog.h"

namespace libvelcor {

namespace {

// -1: not read from the environment yet.
QAtomicInt g_portOverride(-1);

int envPort()
{
    bool ok = false;
    const int port = qEnvironmentVariableIntValue("LIBVELCOR_HTTP_PORT", &ok);
    return ok && port > 0 && port < 65536 ? port : 0;
}

} // namespace

Client::Client(QObject* parent) : QObject(parent), manager(new QNetworkAccessManager(this))
{
    timer.setSingleShot(true);
    connect(&timer, SIGNAL(timeout()), this, SLOT(_timedOut()));
}

Client::~Client()
{
    _drop();
}

QNetworkAccessManager* Client::getNetworkAccessManager() const
{
    return manager;
}

void Client::setPortOverride(int port)
{
    g_portOverride.storeRelaxed(port > 0 && port < 65536 ? port : 0);
}

int Client::portOverride()
{
    int port = g_portOverride.loadRelaxed();
    if (port < 0) {
        g_portOverride.testAndSetRelaxed(-1, envPort());
        port = g_portOverride.loadRelaxed();
    }
    return port;
}

void Client::setTimeout(int ms)
{
    timeoutMs = ms > 0 ? ms : DefaultTimeoutMs;
}

int Client::timeout() const
{
    return timeoutMs;
}

bool Client::isRunning() const
{
    return !reply.isNull();
}

int Client::httpStatus() const
{
    return lastStatus;
}

QByteArray Client::encodeForm(const QUrl& params)
{
    // Decode the items fully and encode every byte outside the unreserved
    // set, so "+", "&", "=" and "%" in a value reach the server unchanged.
    QByteArray form;
    const auto items = QUrlQuery(params).queryItems(QUrl::FullyDecoded);
    for (const auto& item : items) {
        if (!form.isEmpty())
            form += '&';
        form += QUrl::toPercentEncoding(item.first) + '=' + QUrl::toPercentEncoding(item.second);
    }
    return form;
}

bool Client::staysOnServer(const QUrl& from, const QUrl& to)
{
    const auto port = [](const QUrl& u) {
        return u.port(u.scheme().toLower() == QLatin1String("https") ? 443 : 80);
    };
    const QString scheme = from.scheme().toLower();
    const QString toScheme = to.scheme().toLower();
    if (from.host().isEmpty() || from.host() != to.host())
        return false;
    if (scheme == QLatin1String("http") && toScheme == QLatin1String("https"))
        return port(to) == 443;
    return scheme == toScheme && port(from) == port(to);
}

int Client::run(const QUrl& target, const QUrl& params, const QMap<QByteArray, QByteArray>& headers,
                const QSslConfiguration& sslConfiguration, OffServer offServerRule)
{
    if (reply) {
        VLOG_NOTICE << "[Client] abandoning the request in flight to " << _where();
        _drop();
    }
    ++generation;
    lastStatus = 0;
    url = target;
    if (url.port() == -1 && portOverride() > 0)
        url.setPort(portOverride());
    current = url;
    redirects = 0;
    offServer = offServerRule;

    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        VLOG_ERROR << "[Client] unusable URL: "
                   << url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery);
        const quint64 gen = generation;
        const Error err(ErrorCode, tr("Invalid web request address"),
                        url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery));
        QMetaObject::invokeMethod(
            this,
            [this, gen, err]() {
                if (gen == generation)
                    emit error(err);
            },
            Qt::QueuedConnection);
        return -1;
    }

    // Redirects are followed here (_redirect), each as a request of its own:
    // Qt's following takes the first request's cookies along, and under a
    // verified policy Qt 5.15 leaks parts of the requests it followed.
    request = QNetworkRequest(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-www-form-urlencoded"));
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        request.setRawHeader(it.key(), it.value());
    // One request at a time, seldom: no connection is kept for the next,
    // which may go through another tunnel by then, and none is reused
    // after the server closed it (which has the form sent again).
    request.setRawHeader(QByteArrayLiteral("Connection"), QByteArrayLiteral("close"));
    if (!sslConfiguration.isNull())
        request.setSslConfiguration(sslConfiguration);

    body.clear();
    sslErrorTexts.clear();
    VLOG_DEBUG << "[Client] POST " << _where();
    fields = encodeForm(params);
    form = !fields.isEmpty();
    _send(true);
    // The whole request, not each silence: a server that drips its reply
    // must not hold the caller for ever.
    timer.start(timeoutMs);
    return 0;
}

void Client::_send(bool post)
{
    request.setUrl(current);
    reply = post ? manager->post(request, fields) : manager->get(request);
    connect(reply, SIGNAL(readyRead()), this, SLOT(_readyRead()));
    connect(reply, SIGNAL(sslErrors(QList<QSslError>)), this, SLOT(_sslErrors(QList<QSslError>)));
    connect(reply, SIGNAL(finished()), this, SLOT(_finished()));
}

void Client::reset()
{
    VLOG_TRACE;
    ++generation;
    // The caches are left alone: clearing them waits for the access
    // manager's thread, and a request that it sends again (on a kept
    // connection the server closed, or on a redirect) holds that thread in
    // a blocking call back into this one to rewind the form: the wait ends
    // only at its 5 s timeout, with the window frozen meanwhile.
    _drop();
}

QString Client::_where() const
{
    // Where the request is now, redirects followed. Never the query or user
    // information: they may carry secrets.
    return current.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

void Client::_drop()
{
    timer.stop();
    if (reply)
        _release(true);
    body.clear();
}

void Client::_release(bool abort)
{
    QNetworkReply* r = reply;
    reply = nullptr;
    r->disconnect(this);
    if (abort)
        r->abort();
    r->deleteLater();
    body.clear();
}

void Client::_fail(const QString& desc, const QString& extra)
{
    VLOG_ERROR << "[Client] " << desc << " (" << extra << ")";
    _drop();
    emit error(Error(ErrorCode, desc, extra));
}

void Client::_readyRead()
{
    if (!reply)
        return;
    body += reply->readAll();
    if (body.size() > MaxReplyBytes)
        _fail(tr("The reply from %1 is too large").arg(_where()),
              tr("more than %1 bytes").arg(MaxReplyBytes));
}

void Client::_timedOut()
{
    if (!reply)
        return;
    _fail(tr("No answer from %1").arg(_where()),
          tr("the request timed out after %1 seconds").arg(timeoutMs / 1000.0));
}

void Client::_sslErrors(const QList<QSslError>& errors)
{
    // Nothing is ignored here: the handshake fails and _finished reports it
    // with these texts.
    for (const QSslError& e : errors)
        sslErrorTexts << QStringLiteral("%1 (%2)").arg(e.errorString()).arg(int(e.error()));
}

void Client::_redirect(const QUrl& target, int status)
{
    // The server's text: an address, kept short.
    const QString to =
        target.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment).left(256);
    if (!staysOnServer(current, target)) {
        if (offServer == OffServerAnswers) {
            VLOG_NOTICE << "[Client] " << _where() << " answered " << status
                        << " for another server, " << to << ": taken as its answer, not followed";
            _complete(QByteArray());
            return;
        }
        _fail(tr("%1 sent the request on to another server, %2: it was not followed")
                  .arg(_where(), to),
              tr("nothing was sent there: a request goes with its form, cookies and headers "
                 "only to its own server"));
        return;
    }
    // A 301, 302 or 303 asks for a page (a GET), which is no answer to a form.
    const bool keepsMethod = status == 307 || status == 308;
    if (form && !keepsMethod) {
        const bool upgrade = current.scheme().toLower() == QLatin1String("http") &&
                             target.scheme().toLower() == QLatin1String("https") &&
                             target.path() == current.path() && target.query() == current.query();
        if (upgrade) {
            _fail(tr("%1 asks for https, %2: the form was not sent there").arg(_where(), to),
                  tr("its %1 answer would send the form on as a request for a page; a server "
                     "that moves a form to https keeps it with 307 or 308")
                      .arg(status));
            return;
        }
        _fail(tr("%1 answered the form with another page, %2").arg(_where(), to),
              tr("a redirect that makes the form a request for a page is no answer to it"));
        return;
    }
    if (++redirects > MaxRedirects) {
        _fail(tr("%1 sent the request on more than %2 times, the last to %3: it was not followed")
                  .arg(_where(), QString::number(MaxRedirects), to),
              QString());
        return;
    }
    _release(false);
    sslErrorTexts.clear();
    current = target;
    VLOG_DEBUG << "[Client] sent on to " << _where();
    _send(keepsMethod);
}

void Client::_finished()
{
    if (!reply || sender() != reply)
        return;
    _readyRead();
    if (!reply)
        return; // too large, already reported
    QNetworkReply* r = reply;
    const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString reason = r->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    const QNetworkReply::NetworkError netError = r->error();
    const QString netText = r->errorString();
    lastStatus = status;

    const QUrl location = r->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    const bool redirect =
        status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    if (netError == QNetworkReply::NoError && redirect && !location.isEmpty()) {
        _redirect(current.resolved(location), status);
        return;
    }
    // Not followed, a redirect answers nothing: no address, or a 300 or 304.
    if (status >= 300 && status < 400) {
        _fail(tr("The server answered %1 %2 to %3").arg(status).arg(reason, _where()),
              tr("HTTP status %1: no answer to the request, nor a redirect that is followed")
                  .arg(status));
        return;
    }
    if (status >= 400) {
        _fail(tr("The server answered %1 %2 to %3").arg(status).arg(reason, _where()),
              tr("HTTP status %1").arg(status));
        return;
    }
    if (netError != QNetworkReply::NoError) {
        QString extra = tr("network error %1: %2").arg(int(netError)).arg(netText);
        if (!sslErrorTexts.isEmpty())
            extra += QStringLiteral("; ") + sslErrorTexts.join(QStringLiteral("; "));
        _fail(tr("The request to %1 failed").arg(_where()), extra);
        return;
    }
    VLOG_DEBUG << "[Client] complete: " << _where() << " status " << status << ", " << body.size()
               << " bytes";
    _complete(body);
}

void Client::_complete(const QByteArray& data)
{
    const QString answer = QString::fromUtf8(data);
    timer.stop();
    _release(false);
    emit complete(answer);
}

} // namespace libvelcor
