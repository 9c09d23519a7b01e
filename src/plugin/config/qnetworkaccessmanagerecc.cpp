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
    LOG_DEBUG << "request count: " << requests.size();
    return reply;
}

} // namespace ORVO
