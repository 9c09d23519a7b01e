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
    // The document request of a frame's navigation: heard before the web
    // engine hears of the answer, as it connects to the reply only once
    // this returns.
    QObject* frame = stamped.originatingObject();
    const auto it = navigations.find(frame);
    if (frame && it != navigations.end() && !it->requested &&
        it->url == stamped.url().adjusted(QUrl::RemoveFragment)) {
        it->requested = true;
        const quint64 serial = it->serial;
        connect(reply, &QNetworkReply::metaDataChanged, &tracker,
                [this, reply, frame, serial]() { _noteRedirect(reply, frame, serial); });
    }
    LOG_DEBUG << "request count: " << requests.size();
    return reply;
}

void QNetworkAccessManagerEcc::followNavigation(QObject* frame, const QUrl& url, bool serverSent)
{
    if (!frame)
        return;
    if (!navigations.contains(frame))
        connect(frame, &QObject::destroyed, &tracker,
                [this, frame]() { navigations.remove(frame); });
    Followed& followed = navigations[frame];
    followed = Followed();
    followed.url = url.adjusted(QUrl::RemoveFragment);
    followed.serverSent = serverSent;
    followed.serial = ++lastSerial;
}

QNetworkAccessManagerEcc::Navigation QNetworkAccessManagerEcc::takeRedirect(const QObject* frame)
{
    const auto it = navigations.find(frame);
    if (it == navigations.end() || it->redirect.isEmpty())
        return Navigation();
    const Navigation redirected = *it;
    it->redirect.clear();
    return redirected;
}

void QNetworkAccessManagerEcc::_noteRedirect(QNetworkReply* reply, const QObject* frame,
                                             quint64 serial)
{
    const auto it = navigations.find(frame);
    const QVariant target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (it == navigations.end() || it->serial != serial || status < 300 || status > 399 ||
        !target.isValid())
        return;
    // Resolved as the web engine resolves it before it asks to follow.
    it->redirect = it->url.resolved(target.toUrl()).adjusted(QUrl::RemoveFragment);
}

} // namespace ORVO
