#include "plugin/config/qnetworkaccessmanagerecc.h"

#include <QNetworkReply>
#include <QNetworkRequest>

#include "common/common.h"
#include "common/log.h"
#include "plugin/config/portalcommand.h"

namespace ORVO {

QNetworkAccessManagerEcc::QNetworkAccessManagerEcc() : QNetworkAccessManager(nullptr)
{
    LOG_TRACE;
}

QNetworkAccessManagerEcc::~QNetworkAccessManagerEcc()
{
    LOG_TRACE;
    // The replies are not ours: the list goes, they stay.
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

    QNetworkReply* reply = QNetworkAccessManager::createRequest(op, stamped, outgoingData);
    if (reply == nullptr) {
        LOG_ERROR;
        return nullptr;
    }
    LOG_TRACE << "[ConfigPlugin] adding request: " << static_cast<QObject*>(reply);
    requests.append(reply);
    // Whoever owns the reply may delete it before the owner of this list
    // removes it; a destroyed reply must not stay behind as a dangling entry.
    connect(reply, &QObject::destroyed, &tracker, [this, reply]() { requests.removeAll(reply); });
    // Heard before the web engine hears of the answer: it connects to the
    // reply only once this returns.
    if (QObject* origin = stamped.originatingObject()) {
        const QPointer<QObject> asking(origin);
        const QUrl url = stamped.url();
        connect(reply, &QNetworkReply::metaDataChanged, &tracker,
                [this, reply, asking, url]() { _noteRedirect(reply, asking, url); });
    }
    LOG_DEBUG << "request count: " << requests.size();
    return reply;
}

void QNetworkAccessManagerEcc::_noteRedirect(QNetworkReply* reply, const QPointer<QObject>& origin,
                                             const QUrl& url)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 300 || status > 399 ||
        !reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid() || !origin)
        return;
    // Resolved as the web engine resolves it before it asks to follow.
    const QUrl target =
        url.resolved(reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
    redirects.append(Redirect{origin, url.adjusted(QUrl::RemoveFragment),
                              target.adjusted(QUrl::RemoveFragment)});
    while (redirects.size() > MaxRedirects)
        redirects.removeFirst();
}

bool QNetworkAccessManagerEcc::takeRedirect(const QObject* origin, const QUrl& url)
{
    const QUrl bare = url.adjusted(QUrl::RemoveFragment);
    bool found = false;
    for (auto it = redirects.begin(); it != redirects.end();) {
        if (!it->origin) {
            it = redirects.erase(it);
        } else if (it->origin.data() == origin && it->url == bare) {
            found = true;
            it = redirects.erase(it);
        } else {
            ++it;
        }
    }
    return found;
}

QUrl QNetworkAccessManagerEcc::redirectedFrom(const QObject* origin, const QUrl& target) const
{
    const QUrl bare = target.adjusted(QUrl::RemoveFragment);
    for (auto it = redirects.crbegin(); it != redirects.crend(); ++it) {
        if (it->origin && it->origin.data() == origin && it->target == bare)
            return it->url;
    }
    return QUrl();
}

} // namespace ORVO
