#pragma once

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <QWebPage>

#include "common/loglimit.h"
#include "plugin/config/portalcommand.h"

class QNetworkRequest;
class QWebFrame;

namespace ORVO {

// The page of one portal tab. It reports the client's user agent, logs the
// page's console, shows the server's alerts and confirmations as the
// client's message boxes, and turns navigations to command URLs into
// signals instead of loading them.
class QWebPageEcc : public QWebPage, public log::LimitSource
{
    Q_OBJECT
    Q_INTERFACES(ORVO::log::LimitSource)

public:
    // What the server's own pages may write to the log at once, and then
    // each second: well above what a busy page writes at the most
    // detailed verbosity.
    static const int OwnLogBurst = 512 * 1024;
    static const int OwnLogPerSecond = 48 * 1024;

    // Commands that may wait for their delay at the same time; a page that
    // asks for more in 300 ms is flooding and its extra commands are dropped.
    static const int MaxPendingCommands = 32;

    explicit QWebPageEcc(QObject* parent = nullptr);
    ~QWebPageEcc() override;

    // Every "+" becomes a blank.
    static QString decode(QString value);
    // Commands whose delay has not yet run out.
    int pendingCommands() const { return pending.size(); }
    // The management server's origins (scheme, host and port). Commands
    // count only from the main frame while it shows a page of one of them,
    // asked for by that page, and through no redirect but the server's;
    // without any origin, no command counts. Only the server's own
    // login page, where the server itself sent a frame, is an error();
    // the rule is spelled out at acceptNavigationRequest.
    void setCommandOrigins(const QList<QUrl>& origins) { commandOrigins = origins; }
    // The URL is at one of the management server's origins.
    bool isServerUrl(const QUrl& url) const;
    // The client's own Back, Forward and Reload: the history steps they
    // take are the client's navigations.
    void triggerAction(QWebPage::WebAction action, bool checked = false) override;
    // What the tab's pages cause to be logged (their dialogs, console,
    // navigations, requests and failed loads) counts against one of two
    // limits: that of the server's own pages, or the tighter one of
    // foreign documents. The one that what origin (a frame of this page,
    // or the page itself: the tab's load) causes counts against.
    log::RateLimit* logLimitFor(const QObject* origin) override;
    // The tab's title, which the lines that tell what its limits left out
    // name.
    void setLogName(const QString& title);
    QString tabTitle() const { return logName; }
    // What the server's pages and the foreign documents in the tab write
    // while they flood draws on own and foreign too.
    void setLogAllowances(log::FloodAllowance* own, log::FloodAllowance* foreign);
    // Tells now what the tab's limits left out, and nothing later: the tab
    // goes.
    void endLogLimits();

signals:
    void action(const QString& name, const QVariantMap& params);
    void syncRoutes(const QStringList& connectedEndpoints);
    // The server sent the page to its login page: the login cookies failed.
    void error();

protected:
    bool acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                 QWebPage::NavigationType type) override;
    void javaScriptAlert(QWebFrame* frame, const QString& msg) override;
    bool javaScriptConfirm(QWebFrame* frame, const QString& msg) override;
    bool javaScriptPrompt(QWebFrame* frame, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(const QString& message, int lineNumber,
                                  const QString& sourceID) override;
    QString userAgentForUrl(const QUrl& url) const override;

protected slots:
    // Emits the oldest waiting command; run only by the delay timers.
    void delayedAction();

private:
    // How a navigation request came about.
    struct Verdict
    {
        bool server = false;      // the server, or the client, sent the frame there
        bool redirect = false;    // it follows an answer that redirects the frame
        bool own = false;         // the client's own load of the tab
        bool foreignLoad = false; // a load of the tab that neither the client nor
                                  // a page of the server asked for
    };
    Verdict _judge(QWebFrame* frame, const QNetworkRequest& request, QWebPage::NavigationType type);
    // The tab's navigation goes ahead: the document it may bring.
    void _expectDocument(const QUrl& url, QWebPage::NavigationType type, const Verdict& verdict);
    // The tab's load started: the navigation that went ahead last is under
    // way.
    void _loadStarted();
    // The tab's load ended, whether or not it brought a document.
    void _loadEnded();
    // The tab's URL changed: the load under way may have brought its
    // document.
    void _noteDocument(const QUrl& url);
    // The server sent a frame of this page to its login page.
    void _sessionEnded();
    // Whether the document in frame may open a box (an alert, a question).
    bool mayAskTheUser(QWebFrame* frame, const QString& msg);
    // Whether frame holds a foreign document, or, for the main frame, one
    // that a foreign load brought.
    bool _isForeign(QWebFrame* frame) const;
    // Whether frame or any frame inside it holds a foreign document.
    bool _holdsForeign(QWebFrame* frame) const;
    // The engine dropped a redirect of the server's navigation in frame.
    void _redirectDropped(QObject* page, const QUrl& from, const QUrl& to);

    QList<QUrl> commandOrigins;
    // A step of the client's own through the history is under way.
    bool ownHistoryStep = false;
    // The tab's navigation that went ahead last and whose load has not
    // started (its URL without fragment, empty when it makes no new entry),
    // and the tab's load under way (empty when none or once its document is
    // there); each with whether neither the client nor a page of the server
    // asked for it.
    QUrl candidateLoad;
    // Connected to the main frame's loads.
    bool followsLoads = false;
    bool candidateForeign = false;
    QUrl pendingLoad;
    bool pendingForeign = false;
    // The URLs of the tab's documents that such loads brought, oldest first;
    // bounded by what the tab's history holds.
    QStringList foreignDocs;
    // To the network access manager's dropped redirects.
    QMetaObject::Connection dropped;
    // Delayed commands in arrival order, one per running timer.
    QQueue<QList<ORVO::PortalAction>> pending;
    QString logName;
    log::RateLimit ownLines{QStringLiteral("a portal tab"), OwnLogBurst, OwnLogPerSecond, this};
    log::RateLimit foreignLines{QStringLiteral("foreign documents in a portal tab"),
                                log::RateLimit::DefaultBurst, log::RateLimit::DefaultPerSecond,
                                this};
};

} // namespace ORVO
