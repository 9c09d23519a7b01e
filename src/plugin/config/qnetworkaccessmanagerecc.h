#pragma once

#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include "libvelcor/auth.h"

class QIODevice;
class QNetworkReply;
class QNetworkRequest;

namespace ORVO {

// The network access manager of every portal page. It stamps each request
// with the client's user agent, a default form content type and a cache
// preference, and keeps the replies in flight so their number can be
// logged. Made without a parent; its owner deletes it.
class QNetworkAccessManagerEcc : public QNetworkAccessManager
{
    Q_OBJECT

public:
    QNetworkAccessManagerEcc();
    ~QNetworkAccessManagerEcc() override;

    // A copy of the signed-in credential; never added to a request.
    void setAuth(const libvelcor::Auth& auth);
    const libvelcor::Auth& getAuth() const { return auth; }

    // The replies handed out and not yet removed by the owner, oldest first.
    // The live list: the owner removes finished replies from it. The list
    // only tracks: the replies belong to whoever issued the request (the web
    // engine for the pages) and are neither aborted nor deleted here. A
    // reply that is destroyed leaves the list by itself.
    QList<QNetworkReply*>& getRequests() { return requests; }

    // Whether the request for url that origin (the web frame that asked)
    // made through this manager was answered with a redirect. Each answer is
    // given once: the record goes with it. Compared without the fragment,
    // which never reaches the server.
    bool takeRedirect(const QObject* origin, const QUrl& url);
    // The URL of the latest request of origin whose answer redirected it to
    // target; empty when none did. The record stays for takeRedirect.
    QUrl redirectedFrom(const QObject* origin, const QUrl& target) const;

protected:
    QNetworkReply* createRequest(QNetworkAccessManager::Operation op,
                                 const QNetworkRequest& request, QIODevice* outgoingData) override;

private:
    struct Redirect
    {
        QPointer<QObject> origin;
        QUrl url;
        QUrl target;
    };
    // Records kept at most: the web engine asks about a redirect as it
    // follows it, so older ones are stale.
    static const int MaxRedirects = 32;

    void _noteRedirect(QNetworkReply* reply, const QPointer<QObject>& origin, const QUrl& url);

    libvelcor::Auth auth;
    QList<QNetworkReply*> requests;
    // Requests of web frames that were answered with a redirect, oldest
    // first.
    QList<Redirect> redirects;
    // Context of the connections that drop destroyed replies from the list.
    // Declared last, so it goes first: the base destructor deletes the
    // replies left as children after the list is gone.
    QObject tracker;
};

} // namespace ORVO
