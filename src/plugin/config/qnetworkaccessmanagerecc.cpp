#include "plugin/config/qnetworkaccessmanagerecc.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QWebFrame>
#include <QWebPage>

#include "common/common.h"
#include "common/log.h"
#include "plugin/config/portalcommand.h"
#include "plugin/config/qwebpageecc.h"
#include "plugin/config/scriptwatch.h"

namespace ORVO {

namespace {
// How often a request that a script waits for is looked at.
const unsigned long WaitStepUs = 500;
} // namespace

QNetworkAccessManagerEcc::QNetworkAccessManagerEcc() : QNetworkAccessManager(nullptr)
{
    LOG_TRACE;
}

QNetworkAccessManagerEcc::~QNetworkAccessManagerEcc()
{
    LOG_TRACE;
    // The replies are not ours: the list goes, they stay.
}

QUrl QNetworkAccessManagerEcc::documentUrl(const QUrl& url)
{
    QUrl document = url.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments);
    document.setScheme(document.scheme().toLower());
    document.setHost(document.host().toLower());
    if (document.path().isEmpty() && !document.host().isEmpty())
        document.setPath(QStringLiteral("/"));
    const int defaultPort = document.scheme() == QLatin1String("http")    ? 80
                            : document.scheme() == QLatin1String("https") ? 443
                                                                          : -1;
    if (defaultPort > 0 && document.port() == defaultPort)
        document.setPort(-1);
    return document;
}

void QNetworkAccessManagerEcc::setAuth(const libvelcor::Auth& auth)
{
    this->auth = auth;
}

QNetworkReply* QNetworkAccessManagerEcc::createRequest(QNetworkAccessManager::Operation op,
                                                       const QNetworkRequest& request,
                                                       QIODevice* outgoingData)
{
    QNetworkRequest stamped(request);
    stamped.setRawHeader("User-Agent", ORVO::UserAgent);
    if (!stamped.header(QNetworkRequest::ContentTypeHeader).isValid())
        stamped.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
    stamped.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
    // Qt waits up to 30 s for its own synchronous request, whatever its
    // transfer timeout, inside a call of the script where the engine never
    // stops it: the reply is made as any other, and waited for here.
    const bool waited = stamped.attribute(QNetworkRequest::SynchronousRequestAttribute).toBool();
    stamped.setAttribute(QNetworkRequest::SynchronousRequestAttribute, false);

    QNetworkReply* reply = QNetworkAccessManager::createRequest(op, stamped, outgoingData);
    if (reply == nullptr) {
        LOG_ERROR;
        return nullptr;
    }
    requests.append(reply);
    // Whoever owns the reply may delete it before the owner of this list
    // removes it; a destroyed reply must not stay behind as a dangling entry.
    connect(reply, &QObject::destroyed, &tracker, [this, reply]() {
        requests.removeAll(reply);
        dropRedirect(reply);
        asked.remove(reply);
    });
    // Each request of a frame, for the redirect the web engine may ask to
    // follow. The first request for a followed URL after the navigation
    // went ahead asks for its document; the frame's other requests
    // (scripts', images) are no navigation.
    if (QObject* frame = stamped.originatingObject()) {
        Asked& who = asked[reply];
        who.frame = frame;
        if (const auto* f = qobject_cast<QWebFrame*>(frame))
            who.page = f->page();
        who.since.start();
        const auto it = navigations.find(frame);
        if (it != navigations.end() && !it->requested && it->url == documentUrl(stamped.url())) {
            it->requested = true;
            who.document = true;
            who.serverSent = it->serverSent;
            who.client = it->client;
        }
        // Noted as it comes: once the reply is destroyed, it cannot be read.
        if (who.document && who.serverSent) {
            connect(reply, &QNetworkReply::metaDataChanged, &tracker, [this, reply]() {
                const QVariant to = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
                const int status =
                    reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                const auto it = asked.find(reply);
                if (it != asked.end() && status >= 300 && status <= 399 && to.isValid()) {
                    it->from = reply->request().url();
                    it->redirect = documentUrl(it->from.resolved(to.toUrl()));
                }
            });
            connect(reply, &QNetworkReply::finished, &tracker, [this, reply]() {
                if (reply->error() == QNetworkReply::OperationCanceledError)
                    dropRedirect(reply);
            });
        }
    }
    log::RateLimit& limit = logLimitOf(reply);
    LOG_TRACE_LIMITED(limit) << "[ConfigPlugin] adding request: " << static_cast<QObject*>(reply);
    LOG_DEBUG_LIMITED(limit) << "request count: " << requests.size();
    if (waited)
        _answerNow(reply);
    return reply;
}

void QNetworkAccessManagerEcc::_answerNow(QNetworkReply* reply)
{
    // As Qt's own wait does, only the reply's own events are delivered:
    // nothing else of the page's (its timers, the user's input) runs inside
    // the script's call.
    const qint64 held = ScriptWatch::heldMs();
    QElapsedTimer waiting;
    waiting.start();
    while (!reply->isFinished() && held + waiting.elapsed() < ScriptWatch::limitMs()) {
        QCoreApplication::sendPostedEvents(reply);
        if (!reply->isFinished())
            QThread::usleep(WaitStepUs);
    }
    if (reply->isFinished())
        return;
    LOG_NOTICE_LIMITED(logLimitOf(reply))
        << "[ConfigPlugin] A request that a script waits for ended unanswered after "
        << waiting.elapsed() << " ms: " << reply->request().url().toString();
    reply->abort();
    ScriptWatch::heldInCall(held + waiting.elapsed());
}

log::RateLimit& QNetworkAccessManagerEcc::logLimitOf(const QNetworkReply* reply)
{
    const auto it = asked.constFind(reply);
    if (it == asked.constEnd())
        return lines;
    auto* page = qobject_cast<QWebPageEcc*>(it->page.data());
    return page ? *page->logLimit() : lines;
}

void QNetworkAccessManagerEcc::dropRedirect(const QNetworkReply* reply)
{
    const auto it = asked.find(reply);
    if (it == asked.end() || it->redirect.isEmpty() || it->taken)
        return;
    // Taken now: the engine's late ask to follow it is no longer the server's.
    it->taken = true;
    emit redirectDropped(it->page, it->from, it->redirect);
}

void QNetworkAccessManagerEcc::followNavigation(QObject* frame, const QUrl& url, bool serverSent,
                                                bool client)
{
    if (!frame)
        return;
    if (!navigations.contains(frame))
        connect(frame, &QObject::destroyed, &tracker,
                [this, frame]() { navigations.remove(frame); });
    Followed& followed = navigations[frame];
    followed = Followed();
    followed.url = documentUrl(url);
    followed.serverSent = serverSent;
    followed.client = client;
}

QNetworkAccessManagerEcc::Hold
QNetworkAccessManagerEcc::holdNavigation(const std::function<bool(const QObject*)>& held)
{
    for (auto it = asked.begin(); it != asked.end(); ++it) {
        const QNetworkReply* reply = it.key();
        if (!it->frame || !held(it->frame) || !it->document || !it->serverSent ||
            it->since.hasExpired(MaxHoldMs))
            continue;
        // The engine follows a redirect only on its first data or at its
        // end, and asks to follow it even later: until then, a navigation
        // of the frame would drop it.
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const int code = status.toInt();
        const bool waits =
            status.isValid()
                ? code >= 300 && code <= 399 && !it->taken &&
                      reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid() &&
                      !(reply->isFinished() && reply->error() != QNetworkReply::NoError)
                : !reply->isFinished();
        if (!waits)
            continue;
        const bool first = !it->held;
        it->held = true;
        return first ? Hold::First : Hold::Again;
    }
    return Hold::None;
}

bool QNetworkAccessManagerEcc::isPageLoad(const QNetworkReply* reply) const
{
    const auto it = asked.constFind(reply);
    if (it == asked.constEnd() || !it->document || !it->client)
        return false;
    const auto* frame = qobject_cast<QWebFrame*>(it->frame.data());
    return frame && frame->page() && frame->page()->mainFrame() == frame;
}

QList<QNetworkAccessManagerEcc::Redirect>
QNetworkAccessManagerEcc::takeRedirects(const QObject* frame, const QUrl& url)
{
    QList<Redirect> found;
    if (!frame)
        return found;
    const QUrl target = documentUrl(url);
    for (auto it = asked.begin(); it != asked.end(); ++it) {
        const QNetworkReply* reply = it.key();
        const QVariant to = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (it->frame != frame || status < 300 || status > 399 || !to.isValid())
            continue;
        Redirect redirect;
        redirect.from = reply->request().url();
        // Resolved and written as the web engine asks to follow it.
        redirect.to = documentUrl(redirect.from.resolved(to.toUrl()));
        redirect.document = it->document;
        redirect.serverSent = it->serverSent;
        redirect.client = it->client;
        redirect.taken = it->taken;
        if (redirect.to == target)
            it->taken = true;
        found << redirect;
    }
    return found;
}

} // namespace ORVO
