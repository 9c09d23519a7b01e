#pragma once

#include <QList>
#include <QPair>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <QWebPage>

#include <functional>

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
    // Actions (a bundle's applications each) that a page's commands may ask
    // for within 300 ms (the delay of those that wait); a page that asks for
    // more is flooding, and its extra commands are dropped. The user's
    // command is the navigation to the link under a press (with its
    // release), or under Enter: one at most per input, and never dropped
    // for what the page's took; the user's own commands have a bound of
    // their own (log::limits::UserActions). What the program writes for the
    // user's command is the user's (log::UserCommandLines); what it writes
    // for the page's counts against the tab's limit.
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
    // The client's own load of the tab's page (the tab shown, the
    // sign-in): the only navigation that is the client's without a step
    // through the history. It and its redirects, and the client's own steps
    // below, are the tab's page loads (QNetworkAccessManagerEcc::isPageLoad),
    // whose failure the user is shown.
    void clientLoad(const QUrl& url);
    // The client's own Back, Forward and Reload: the history steps they
    // take are the client's navigations.
    void triggerAction(QWebPage::WebAction action, bool checked = false) override;
    // What the tab's pages cause to be logged (their dialogs, console,
    // navigations, requests and failed loads, whatever frame or document
    // they come from) counts against the tab's one limit.
    log::RateLimit* logLimit() override { return &lines; }
    // The tab's title, which the lines that tell what its limit left out
    // name.
    void setLogName(const QString& title);
    QString tabTitle() const { return logName; }
    // What the tab's pages write while they flood draws on allowance too.
    void setLogAllowance(log::FloodAllowance* allowance) { lines.setAllowance(allowance); }
    // Tells now what the tab's limit left out, and nothing later: the tab
    // goes.
    void endLogLimit();
    // The portal's pages, oldest first.
    static const QList<QWebPageEcc*>& all();
    // The origins of the documents in the tab's frames, each once; none while
    // it holds no page.
    QStringList frameOrigins() const;
    // Pages held the program past their share, maybe this tab's (the engine
    // does not say whose): a page that restarts its endless script, say. Its
    // scripts stay off until the client loads the tab again (clientLoad, or
    // its own Back, Forward or Reload).
    void stopScripts();

signals:
    void action(const QString& name, const QVariantMap& params);
    void syncRoutes(const QStringList& connectedEndpoints);
    // The server sent the page to its login page: the login cookies failed.
    void error();

protected:
    // Handles the user's presses and key presses as the inputs whose
    // command is the user's.
    bool event(QEvent* event) override;
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
        bool foreignLoad = false; // a load of the tab that neither the client nor
                                  // a page of the server asked for
        bool client = false;      // the client's own load or step, or its redirect
    };
    // One input of the user's: a key press, or a press with the release
    // that ends it, and the link under it; used once its command of the
    // user's has been asked for.
    struct Input
    {
        bool used = false;
        int loopLevel = 0;
        QUrl link;
    };
    // Whether the engine asks for this navigation to url while the page
    // handles an input of the user's whose link it is, its command still
    // unused; uses it.
    bool _takeInput(const QUrl& url);
    // The link at pos in the tab, or the focused one; none when empty.
    QUrl _linkAt(const QPoint& pos) const;
    QUrl _focusedLink() const;
    // The bound dropped a command, the user's or the page's.
    void _dropCommand(const QUrl& url, bool byUser);
    // Tells how many of the page's commands the flood dropped.
    void _tellDropped();
    // Whether the client's own load or step is under way here, not in a
    // nested event loop that one of them runs (a box the page opened).
    bool _own(int level) const;
    bool _ownStep() const;
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
    // Hands a command on: what its receivers log is the user's when byUser,
    // its first lines the command's when firstLines, else it counts against
    // the tab's limit.
    void _give(bool byUser, const std::function<void()>& give, bool firstLines = true);
    // The engine dropped a redirect of the server's navigation in frame.
    void _redirectDropped(QObject* page, const QUrl& from, const QUrl& to);

    QList<QUrl> commandOrigins;
    // The client's own load of this URL, and its own step through the
    // history, are under way.
    QUrl ownLoad;
    bool ownHistoryStep = false;
    int ownLoadLevel = -1;
    int ownStepLevel = -1;
    // The session's end has been told since the client's own load.
    bool sessionEndTold = false;
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
    // Delayed commands in arrival order, one per running timer, each with
    // whether the user gave it; and the actions that the page's and the
    // user's commands of the last 300 ms asked for.
    QQueue<QPair<QList<ORVO::PortalAction>, bool>> pending;
    int recentActions = 0;
    int recentUserActions = 0;
    // The page's commands dropped since the flood began; it ends once none
    // has been dropped for the commands' delay.
    quint64 droppedCommands = 0;
    QTimer floodEnds;
    // The input the page is handling now (none while it handles any other
    // event), and the press whose release is still to come.
    Input* input = nullptr;
    Input press;
    Qt::MouseButton pressed = Qt::NoButton;
    QString logName;
    // No child of the page: its end would be an event of the page's, handled
    // while the page is half gone.
    log::RateLimit lines{QStringLiteral("a portal tab"), log::limits::Plain,
                         log::limits::DetailedTab};
};

} // namespace ORVO
