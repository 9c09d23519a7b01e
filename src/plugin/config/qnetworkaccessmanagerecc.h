#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

#include "common/loglimit.h"
#include "libvelcor/auth.h"

class QIODevice;
class QNetworkReply;

namespace ORVO {

// The network access manager of every portal page. It stamps each request
// with the client's user agent, a default form content type and a cache
// preference, and keeps the replies in flight so their number can be
// logged. A request that a script waits for (a synchronous XMLHttpRequest)
// holds the program no longer than a script may. Made without a parent;
// its owner deletes it.
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

    // Follows the navigation of frame that goes ahead: the frame's next
    // request for url asks for its document, and serverSent is the page's
    // word on whose navigation it is. Another navigation of the frame whose
    // request has not gone out is dropped; the answers to requests that
    // went out stay as long as their replies. client: the client's own
    // load of the tab (or a redirect of it), whose failure the user is shown.
    void followNavigation(QObject* frame, const QUrl& url, bool serverSent, bool client = false);

    // A navigation's URL written as the web engine asks for it (path
    // segments resolved, "/" for no path, no default port, no fragment):
    // whoever wrote it, two URLs of the same document compare equal.
    static QUrl documentUrl(const QUrl& url);

    // An answer to a request of a web frame that redirects it.
    struct Redirect
    {
        QUrl from;               // the URL that answered
        QUrl to;                 // where the answer sends the frame, as a documentUrl()
        bool document = false;   // the answer to the document request of a followed navigation
        bool serverSent = false; // that navigation's word on whose it is
        bool taken = false;      // an ask to follow it came before
        bool client = false;     // that navigation is the client's own load of the tab
    };
    // The redirecting answers to frame's requests whose replies are still
    // there: the web engine asks to follow one of them while it still holds
    // the reply. Those that lead to url are taken: asked again, they no
    // longer count as the server's.
    QList<Redirect> takeRedirects(const QObject* frame, const QUrl& url);

    // Whether reply asks for the document of the client's own load of the
    // tab (QWebPageEcc::clientLoad, its Refresh and Back, and their
    // redirects): not a navigation that any document made, nor what a page,
    // its frames or a foreign document ask for.
    bool isPageLoad(const QNetworkReply* reply) const;

    // What the lines about reply count against: the limit of the portal
    // page whose frame asked for it, or else the manager's own.
    log::RateLimit& logLimitOf(const QNetworkReply* reply);
    log::RateLimit& logLimit() { return lines; }

    // Whether another navigation must wait: a navigation of the server's
    // (or the client's) in a frame for which held is true waits for the
    // answer to its document request, or for the engine to follow the
    // redirect it answers, and no longer than MaxHoldMs from that request.
    // First: the first time for that navigation.
    static const int MaxHoldMs = 5000;
    enum class Hold { None, First, Again };
    Hold holdNavigation(const std::function<bool(const QObject*)>& held);

signals:
    // The answer to the document request of a navigation of the server's (or
    // the client's) in a frame of page redirects it from from to to (as a
    // documentUrl()), and its reply ended (stopped, or gone) without the
    // engine asking to follow it. Once per answer.
    void redirectDropped(QObject* page, const QUrl& from, const QUrl& to);

protected:
    QNetworkReply* createRequest(QNetworkAccessManager::Operation op,
                                 const QNetworkRequest& request, QIODevice* outgoingData) override;

private:
    // The navigation of a frame that went ahead last, until the next one.
    struct Followed
    {
        QUrl url; // as a documentUrl()
        bool serverSent = false;
        bool client = false;
        bool requested = false; // its document request went out
    };
    // Who asked for a reply of a web frame.
    struct Asked
    {
        QPointer<QObject> frame;
        // The frame's page, which outlives it: a page may remove the frame
        // whose load it stops.
        QPointer<QObject> page;
        bool document = false;
        bool serverSent = false;
        bool client = false;
        bool taken = false;
        bool held = false;   // another navigation of the frame waited for it
        QUrl from, redirect; // its URL and where its answer sends the frame
                             // (a documentUrl()), once the answer is in
        QElapsedTimer since;
    };
    // The engine did not follow the redirecting answer of reply.
    void dropRedirect(const QNetworkReply* reply);
    // Returns once reply has finished, or has been ended when the script
    // that waits for it has held the program for the scripts' limit.
    void _answerNow(QNetworkReply* reply);

    libvelcor::Auth auth;
    QList<QNetworkReply*> requests;
    // The navigation of each web frame that goes ahead; a frame that goes
    // takes its entry with it.
    QHash<const QObject*, Followed> navigations;
    // Every reply of a web frame's request, until the reply goes.
    QHash<const QNetworkReply*, Asked> asked;
    log::RateLimit lines{QStringLiteral("the portal's requests outside a page")};
    // Context of the connections that drop destroyed replies from the list
    // and destroyed frames from the navigations.
    // Declared last, so it goes first: the base destructor deletes the
    // replies left as children after the list is gone.
    QObject tracker;
};

} // namespace ORVO
