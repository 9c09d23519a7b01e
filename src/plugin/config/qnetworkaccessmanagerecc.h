#pragma once

#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
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

    // A web frame's navigation, as the page judged it when it went ahead.
    struct Navigation
    {
        QUrl url;                // the document asked for, without the fragment
        bool serverSent = false; // the page's word on whose navigation it is
        QUrl redirect;           // where the answer sent the frame; empty if it did not
    };
    // Follows the navigation of frame that goes ahead: the frame's next
    // request for url asks for its document. Only that request's redirect
    // is kept; the frame's other requests (scripts', images) are no
    // navigation, and an earlier navigation of the frame is dropped.
    void followNavigation(QObject* frame, const QUrl& url, bool serverSent);
    // The navigation of frame that its answer redirected, once: the
    // frame's next navigation takes it, whatever it is. Without a redirect,
    // a navigation with an empty redirect.
    Navigation takeRedirect(const QObject* frame);

protected:
    QNetworkReply* createRequest(QNetworkAccessManager::Operation op,
                                 const QNetworkRequest& request, QIODevice* outgoingData) override;

private:
    struct Followed : Navigation
    {
        bool requested = false; // its document request went out
        // Tells this request's answer from a late one to an earlier request.
        quint64 serial = 0;
    };

    void _noteRedirect(QNetworkReply* reply, const QObject* frame, quint64 serial);

    libvelcor::Auth auth;
    QList<QNetworkReply*> requests;
    // The navigation under way of each web frame that has one; a frame
    // that goes takes its entry with it.
    QHash<const QObject*, Followed> navigations;
    quint64 lastSerial = 0;
    // Context of the connections that drop destroyed replies from the list
    // and destroyed frames from the navigations.
    // Declared last, so it goes first: the base destructor deletes the
    // replies left as children after the list is gone.
    QObject tracker;
};

} // namespace ORVO
