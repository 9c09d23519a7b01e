#include "common/cookiejar.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>

#include "common/log.h"

namespace ORVO {

CookieJar::CookieJar(QObject* parent) : QNetworkCookieJar(parent)
{
    LOG_TRACE;
}

void CookieJar::reset()
{
    LOG_DEBUG << allCookies();
    setAllCookies(QList<QNetworkCookie>());
    LOG_DEBUG << allCookies();
}

void borrowCookieJar(QNetworkAccessManager* manager, QNetworkCookieJar* jar)
{
    if (!manager || !jar)
        return;
    QObject* owner = jar->parent();
    manager->setCookieJar(jar);
    jar->setParent(owner);
}

} // namespace ORVO
