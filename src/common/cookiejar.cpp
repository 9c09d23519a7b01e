#include "common/cookiejar.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QStringList>

#include "common/log.h"

namespace ORVO {

CookieJar::CookieJar(QObject* parent) : QNetworkCookieJar(parent)
{
    LOG_TRACE;
}

namespace {

// The values are session secrets: only the names go to the log.
void logCookies(const char* when, const QList<QNetworkCookie>& cookies)
{
    QStringList names;
    for (const QNetworkCookie& cookie : cookies)
        names << QString::fromUtf8(cookie.name());
    LOG_DEBUG << "[CookieJar] " << when << ": " << cookies.size() << " cookie(s) "
              << names.join(QStringLiteral(", "));
}

} // namespace

void CookieJar::reset()
{
    logCookies("Before reset", allCookies());
    setAllCookies(QList<QNetworkCookie>());
    logCookies("After reset", allCookies());
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
