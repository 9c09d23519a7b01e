#include "plugin/config/qwebpageecc.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNetworkRequest>
#include <QScopedValueRollback>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWebElement>
#include <QWebFrame>
#include <QWebHistory>
#include <QWebSecurityOrigin>
#include <QWebSettings>

#include <algorithm>

#include "common/common.h"
#include "common/log.h"
#include "common/utils.h"
#include "gui/messagebox.h"
#include "plugin/config/qnetworkaccessmanagerecc.h"

namespace ORVO {

namespace {
// The portal's scripts rely on the tab staying on its page for a moment
// before the client acts.
const int CommandDelayMs = 300;
// The user's commands have the page's bound, over the same time, of their
// own: a bundle that the page may send is one that the user may click.
static_assert(log::limits::UserActions == QWebPageEcc::MaxPendingCommands &&
                  log::limits::UserActionsMs == CommandDelayMs,
              "the user's command bound is the page's");
// Past this many documents kept as foreign, those the tab's history no
// longer leads to are dropped.
const int MaxForeignDocs = 100;

// The origin of the document a frame holds now: this engine leaves url()
// of a child frame empty, its security origin is the document's.
QUrl documentOrigin(QWebFrame* frame)
{
    const QWebSecurityOrigin origin = frame->securityOrigin();
    QUrl url;
    url.setScheme(origin.scheme());
    url.setHost(origin.host());
    if (origin.port() > 0)
        url.setPort(origin.port());
    return url;
}

QList<QWebPageEcc*>& pages()
{
    static QList<QWebPageEcc*> all;
    return all;
}

// Back and forward, and a form's resubmission, which replays a history
// entry.
bool isHistoryStep(QWebPage::NavigationType type)
{
    return type == QWebPage::NavigationTypeBackOrForward ||
           type == QWebPage::NavigationTypeFormResubmitted;
}
} // namespace

QWebPageEcc::QWebPageEcc(QObject* parent) : QWebPage(parent)
{
    pages().append(this);
    floodEnds.setSingleShot(true);
    connect(&floodEnds, &QTimer::timeout, this, &QWebPageEcc::_tellDropped);
}

QWebPageEcc::~QWebPageEcc()
{
    pages().removeOne(this);
    _tellDropped();
    // The engine stops its loads once this part of the page is gone, and
    // its main frame then tells of the load's end.
    disconnect(dropped);
    if (followsLoads)
        disconnect(mainFrame(), nullptr, this, nullptr);
}

const QList<QWebPageEcc*>& QWebPageEcc::all()
{
    return pages();
}

QStringList QWebPageEcc::frameOrigins() const
{
    QStringList origins;
    QList<QWebFrame*> frames{mainFrame()};
    while (!frames.isEmpty()) {
        QWebFrame* frame = frames.takeFirst();
        frames << frame->childFrames();
        // A blank tab's document, and a sandboxed one, have none.
        const QUrl origin = documentOrigin(frame);
        if (!origin.host().isEmpty() && !origins.contains(origin.toString()))
            origins << origin.toString();
    }
    return origins;
}

void QWebPageEcc::stopScripts()
{
    settings()->setAttribute(QWebSettings::JavascriptEnabled, false);
}

QString QWebPageEcc::decode(QString value)
{
    return portalDecode(std::move(value));
}

// Who sent a frame somewhere decides two things: only the server's own
// login page, where the server sent a frame, ends the session (error()),
// and commands count only from the server's own page. A frame inside a
// server page may hold anyone's document, which can navigate the tab too.
// A navigation is the server's when:
// - it follows a redirect that the server answered to a navigation of the
//   server's;
// - the client started it: its own load, or its own step through the
//   history onto an entry that no foreign load brought;
// - a document of the server in that frame asked for it, as the referrer
//   names it (a document that withholds its referrer is foreign).
// While a navigation that is the server's waits for its answer, or for
// the engine to follow the redirect it answers, a navigation that neither
// the client nor a page of the server asked for is refused in the same
// frame, at most 5 s from the waiting navigation's first request: going
// ahead, it would drop that answer, which may end the session, or make an
// entry to step back to. While such a load of the tab waits, this holds in
// every frame of the tab, and so also for a sandboxed server frame, for a
// link that withholds its referrer (rel=noreferrer) in a server frame and
// for clicks in foreign frames: that load is about to replace them all.
// Once the server's own answer sends a frame to its login page, the session
// has ended, whether the engine follows that answer or not. A page's step
// through the history stops the loads before the engine asks about it, and
// is not refused, since nothing tells a foreign frame's step from the server
// page's own Back button: taken before any answer has come, it still drops
// the navigation, and no answer means no verdict. What is known of who
// brought the tab's documents changes only by loads that start.
bool QWebPageEcc::acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                          QWebPage::NavigationType type)
{
    const QUrl url = request.url();
    // The engine drops such a navigation without stopping the load under
    // way.
    if (!url.isValid() || url.isEmpty()) {
        LOG_NOTICE_LIMITED(lines) << "[WebPage] Navigation to an invalid URL refused";
        return false;
    }

    const Verdict verdict = _judge(frame, request, type);
    const bool sent = verdict.server;
    LOG_DEBUG_LIMITED(lines) << "[WebPage] Navigating to url: " << url.toString();
    const PortalCommand command = portalCommand(url);
    // Another host's login page says nothing of the server's cookies, nor
    // does the server's where another host's document leads there.
    if (command.loginPage && isServerUrl(url) && sent)
        _sessionEnded();
    if (command.kind == PortalCommand::Navigate) {
        auto* manager = qobject_cast<QNetworkAccessManagerEcc*>(networkAccessManager());
        // The frame's own load, or the tab's: the document that the tab's
        // load replaces may hold foreign frames, and nothing of it is lost.
        const auto held = [this, frame](const QObject* f) {
            return f && (f == frame || f == mainFrame());
        };
        const auto hold = sent || _ownStep() || !manager ? QNetworkAccessManagerEcc::Hold::None
                                                         : manager->holdNavigation(held);
        if (hold != QNetworkAccessManagerEcc::Hold::None) {
            if (hold == QNetworkAccessManagerEcc::Hold::First)
                LOG_NOTICE_LIMITED(lines)
                    << "[WebPage] Navigation held back while the server answers: "
                    << url.toString();
            return false;
        }
        // Its redirects come back here as the frame's next navigation.
        if (manager && frame) {
            manager->followNavigation(frame, url, sent, verdict.client && frame == mainFrame());
            if (!dropped)
                dropped = connect(manager, &QNetworkAccessManagerEcc::redirectDropped, this,
                                  &QWebPageEcc::_redirectDropped);
        }
        if (frame && frame == mainFrame())
            _expectDocument(url, type, verdict);
        return true;
    }
    // Commands count for every kind of navigation, but only from the
    // server's own page in the main frame: a frame inside it may hold
    // anyone's document, and a new window has no frame.
    if (!sent || !frame || frame != mainFrame() || !isServerUrl(documentOrigin(frame))) {
        LOG_ERROR_LIMITED(lines) << "[WebPage] Command refused, not from the portal's own page: "
                                 << url.toString()
                                 << " (page: " << (frame ? frame->url().toString() : QString())
                                 << ")";
        return false;
    }

    // Whose it is comes first: the page's commands make way for the
    // user's, which are bounded by their inputs and by a bound of their own.
    // A bundle asks for each of its applications.
    const bool byUser = _takeInput(url);
    const int asked = qMax(1, int(command.actions.size()));
    int& recent = byUser ? recentUserActions : recentActions;
    if (byUser ? recent + asked > log::limits::UserActions
               : recentUserActions + recent + asked > MaxPendingCommands) {
        _dropCommand(url, byUser);
        return false;
    }
    recent += asked;
    QTimer::singleShot(byUser ? log::limits::UserActionsMs : CommandDelayMs, this,
                       [&recent, asked] { recent -= asked; });
    if (command.kind == PortalCommand::Delayed) {
        pending.enqueue(qMakePair(command.actions, byUser));
        // One timer per command: each run takes the oldest waiting command.
        QTimer::singleShot(CommandDelayMs, this, &QWebPageEcc::delayedAction);
    }
    // A delayed command's first lines are those of its actions, when they
    // are asked for.
    _give(
        byUser,
        [this, &command] {
            if (command.hasRoutes)
                emit syncRoutes(command.routes);
            if (command.kind == PortalCommand::Immediate) {
                for (const PortalAction& a : command.actions)
                    emit action(a.name, a.params);
            }
        },
        command.kind != PortalCommand::Delayed);
    return false;
}

void QWebPageEcc::_dropCommand(const QUrl& url, bool byUser)
{
    // The user's each time, as the user's lines: one input gives one at
    // most. The page's once a flood, as it begins, and how many once it has
    // ended.
    if (byUser || droppedCommands++ == 0)
        _give(byUser, [&] {
            LOG_ERROR << "[WebPage] Too many commands at once, dropping "
                      << (byUser ? "the user's" : "the page's")
                      << " commands, from: " << url.toString();
        });
    if (!byUser)
        floodEnds.start(CommandDelayMs);
}

void QWebPageEcc::_tellDropped()
{
    floodEnds.stop();
    if (droppedCommands > 0)
        LOG_ERROR_LIMITED(lines) << "[WebPage] " << droppedCommands
                                 << " of the page's commands dropped";
    droppedCommands = 0;
}

void QWebPageEcc::endLogLimit()
{
    _tellDropped();
    lines.finish();
}

void QWebPageEcc::_give(bool byUser, const std::function<void()>& give, bool firstLines)
{
    if (byUser) {
        const log::UserCommandLines user(&lines, firstLines ? log::limits::UserFirstLines : 0);
        give();
    } else {
        const log::LimitScope page(&lines);
        give();
    }
}

bool QWebPageEcc::event(QEvent* event)
{
    // The engine asks for a link's navigation while it handles the input:
    // on the release that ends its press, or on Enter. The release that
    // ends a press, and a double-click, are the press's input, so one click
    // gives one command of the user's, and only its link's: a handler's
    // other command is the page's. A held key repeats no input.
    Input key;
    Input* handled = nullptr;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        press = Input();
        press.link = _linkAt(mouse->pos());
        pressed = mouse->button();
        handled = &press;
        break;
    }
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == pressed)
            handled = &press;
        break;
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == pressed) {
            pressed = Qt::NoButton;
            if (_linkAt(mouse->pos()) != press.link)
                press.link.clear();
            handled = &press;
        }
        break;
    }
    case QEvent::KeyPress: {
        const auto* k = static_cast<QKeyEvent*>(event);
        if (!k->isAutoRepeat() && (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter)) {
            key.link = _focusedLink();
            handled = &key;
        }
        break;
    }
    case QEvent::FocusOut:
        // A box took the press's release.
        pressed = Qt::NoButton;
        break;
    default:
        break;
    }
    if (handled)
        handled->loopLevel = QThread::currentThread()->loopLevel();
    const QScopedValueRollback<Input*> handling(input, handled);
    return QWebPage::event(event);
}

QUrl QWebPageEcc::_linkAt(const QPoint& pos) const
{
    return mainFrame()->hitTestContent(pos).linkUrl();
}

QUrl QWebPageEcc::_focusedLink() const
{
    const QWebElement focused = mainFrame()->findFirstElement(QStringLiteral("a[href]:focus"));
    if (focused.isNull())
        return QUrl();
    return mainFrame()->baseUrl().resolved(
        QUrl(focused.attribute(QStringLiteral("href")).trimmed()));
}

bool QWebPageEcc::_takeInput(const QUrl& url)
{
    // Not from a nested event loop (a box a handler opened): it runs the
    // page's timers too.
    if (!input || input->used || QThread::currentThread()->loopLevel() != input->loopLevel ||
        input->link.isEmpty() ||
        QNetworkAccessManagerEcc::documentUrl(url) !=
            QNetworkAccessManagerEcc::documentUrl(input->link))
        return false;
    input->used = true;
    return true;
}

bool QWebPageEcc::isServerUrl(const QUrl& url) const
{
    for (const QUrl& origin : commandOrigins) {
        if (utils::isSameOrigin(url, origin))
            return true;
    }
    return false;
}

QWebPageEcc::Verdict QWebPageEcc::_judge(QWebFrame* frame, const QNetworkRequest& request,
                                         QWebPage::NavigationType type)
{
    Verdict verdict;
    auto* manager = qobject_cast<QNetworkAccessManagerEcc*>(networkAccessManager());
    if (!frame || !manager)
        return verdict;
    const QUrl url = request.url();
    // The engine asks to follow a redirect with the first request's
    // referrer and type, which say nothing of who chose this URL: it follows
    // an answer to one of the frame's requests that is still there and
    // leads here. The server's when the navigation was and the answer came
    // from the server, once; an answer to a script's or an image's request
    // is no one's.
    bool server = true;
    bool client = true;
    bool unfollowed = false;
    for (const QNetworkAccessManagerEcc::Redirect& r : manager->takeRedirects(frame, url)) {
        if (r.to == QNetworkAccessManagerEcc::documentUrl(url)) {
            verdict.redirect = true;
            server = server && r.document && r.serverSent && !r.taken && isServerUrl(r.from);
            client = client && r.document && r.client && !r.taken;
        } else {
            unfollowed = unfollowed || (r.document && !r.taken);
        }
    }
    if (verdict.redirect) {
        verdict.server = server;
        verdict.client = server && client;
        return verdict;
    }
    // A new navigation. The client's own load is asked about before
    // clientLoad returns; nothing a document does looks like it.
    const QUrl origin = documentOrigin(frame);
    QUrl asking(QString::fromUtf8(request.rawHeader("Referer")));
    if (frame == mainFrame()) {
        const bool own = type == QWebPage::NavigationTypeOther && _own(ownLoadLevel) &&
                         !ownLoad.isEmpty() &&
                         QNetworkAccessManagerEcc::documentUrl(url) ==
                             QNetworkAccessManagerEcc::documentUrl(ownLoad);
        // A page may withhold its referrer, and a step back to a document
        // it brought then looks like one to the client's own load.
        verdict.foreignLoad = !own && !isServerUrl(asking);
        if (own) {
            verdict.server = verdict.client = true;
            return verdict;
        }
    }
    // While the engine has not followed the redirect of the frame's
    // navigation, this may be that redirect all the same, its URL written
    // otherwise.
    if (unfollowed)
        return verdict;
    // Back and forward carry the referrer of the history item, whoever asks
    // now: it names the document that first went there, or no one, for the
    // client's own load and for a page that withheld it alike. Only the
    // client's own steps through the history count, never onto the login
    // page itself (whoever put that entry there, a foreign frame may have),
    // and without a referrer never to a document that a foreign load brought.
    if (isHistoryStep(type)) {
        verdict.server = _ownStep() && !portalCommand(url).loginPage &&
                         (isServerUrl(asking) ||
                          (asking.isEmpty() && frame == mainFrame() &&
                           !foreignDocs.contains(url.adjusted(QUrl::RemoveFragment).toString())));
        verdict.client = verdict.server;
        return verdict;
    }
    // Or a page of the server leads its own frame here; a reload is its
    // own. A foreign frame inside that page may move it too (top.location):
    // the engine names the document that asked in the referrer, and a
    // document that withholds it (a referrer policy) counts as foreign,
    // the server's own too, as nothing else tells who asked. The login
    // page, which anyone may load into a frame, leads only to itself.
    if (type == QWebPage::NavigationTypeReload)
        asking = url;
    verdict.server = isServerUrl(origin) && isServerUrl(asking) && !portalCommand(asking).loginPage;
    verdict.client = verdict.server && _ownStep() && type == QWebPage::NavigationTypeReload;
    return verdict;
}

void QWebPageEcc::_expectDocument(const QUrl& url, QWebPage::NavigationType type,
                                  const Verdict& verdict)
{
    const QUrl document = url.adjusted(QUrl::RemoveFragment);
    if (verdict.redirect) {
        if (!pendingLoad.isEmpty())
            pendingLoad = document;
        return;
    }
    // Only a candidate until the load starts: the engine may still drop it,
    // or only scroll to a fragment, and the load under way goes on. A step
    // through the history, or a reload, makes no new entry to note.
    const bool entry = !isHistoryStep(type) && type != QWebPage::NavigationTypeReload;
    candidateLoad = entry ? document : QUrl();
    candidateForeign = entry && verdict.foreignLoad;
    followsLoads = true;
    connect(mainFrame(), &QWebFrame::loadStarted, this, &QWebPageEcc::_loadStarted,
            Qt::UniqueConnection);
    connect(mainFrame(), &QWebFrame::urlChanged, this, &QWebPageEcc::_noteDocument,
            Qt::UniqueConnection);
    connect(mainFrame(), &QWebFrame::loadFinished, this, &QWebPageEcc::_loadEnded,
            Qt::UniqueConnection);
}

void QWebPageEcc::_loadStarted()
{
    pendingLoad = candidateLoad;
    pendingForeign = candidateForeign;
    candidateLoad.clear();
    candidateForeign = false;
}

void QWebPageEcc::_loadEnded()
{
    // Whether or not it brought a document (an error, a 204), the main frame
    // is its committed document's again. The navigation that went ahead
    // last stays: the engine ends the load it replaces before that one
    // starts.
    pendingLoad.clear();
    pendingForeign = false;
}

void QWebPageEcc::clientLoad(const QUrl& url)
{
    // The engine asks about the navigation before the load returns. The
    // session's end is told again once the client loaded the tab anew.
    sessionEndTold = false;
    settings()->resetAttribute(QWebSettings::JavascriptEnabled);
    const QScopedValueRollback<QUrl> own(ownLoad, url);
    const QScopedValueRollback<int> level(ownLoadLevel, QThread::currentThread()->loopLevel());
    mainFrame()->setUrl(url);
}

bool QWebPageEcc::_own(int level) const
{
    return level == QThread::currentThread()->loopLevel();
}

bool QWebPageEcc::_ownStep() const
{
    return ownHistoryStep && _own(ownStepLevel);
}

void QWebPageEcc::triggerAction(QWebPage::WebAction action, bool checked)
{
    // The engine asks about the navigation before the step returns.
    const bool step =
        action == Back || action == Forward || action == Reload || action == ReloadAndBypassCache;
    const bool outer = _ownStep();
    if (step)
        settings()->resetAttribute(QWebSettings::JavascriptEnabled);
    const QScopedValueRollback<bool> own(ownHistoryStep, outer || step);
    const QScopedValueRollback<int> level(
        ownStepLevel, outer ? ownStepLevel : QThread::currentThread()->loopLevel());
    QWebPage::triggerAction(action, checked);
}

void QWebPageEcc::_noteDocument(const QUrl& url)
{
    // The engine starts the load of a navigation that went ahead before
    // anything else happens: a URL change before that start is one within
    // the document (a fragment, a pushed state), and no load of it comes.
    candidateLoad.clear();
    candidateForeign = false;
    // Only the load under way, once there: not a URL a page pushed meanwhile.
    const QUrl document = url.adjusted(QUrl::RemoveFragment);
    if (pendingLoad.isEmpty() || document != pendingLoad)
        return;
    pendingLoad.clear();
    // Kept while the history leads there: a later load of the same URL by
    // one of ours does not make the foreign entry ours.
    if (pendingForeign && !foreignDocs.contains(document.toString()))
        foreignDocs << document.toString();
    if (foreignDocs.size() > MaxForeignDocs) {
        QSet<QString> reachable;
        for (const QWebHistoryItem& item : history()->items())
            reachable << item.url().adjusted(QUrl::RemoveFragment).toString();
        foreignDocs.erase(
            std::remove_if(foreignDocs.begin(), foreignDocs.end(),
                           [&](const QString& doc) { return !reachable.contains(doc); }),
            foreignDocs.end());
    }
}

void QWebPageEcc::_sessionEnded()
{
    // Written whatever the tab wrote before, also from inside its events,
    // once for each of the client's loads of the tab: a page that keeps
    // going to the login page writes the rest as the tab's.
    if (sessionEndTold) {
        LOG_ERROR_LIMITED(lines) << "[WebPage] Cookie authentication error";
        return;
    }
    sessionEndTold = true;
    const log::UnlimitedLines ended;
    LOG_ERROR << "[WebPage] Cookie authentication error";
    emit error();
}

void QWebPageEcc::_redirectDropped(QObject* page, const QUrl& from, const QUrl& to)
{
    // The server's answer ended the session, whatever stopped the engine
    // from following it (even a page that removed the frame). Told once the
    // engine is done stopping its loads.
    if (page == this && isServerUrl(from) && isServerUrl(to) && portalCommand(to).loginPage)
        QTimer::singleShot(0, this, [this]() { _sessionEnded(); });
}

void QWebPageEcc::delayedAction()
{
    LOG_TRACE;
    if (pending.isEmpty()) {
        LOG_ERROR;
        return;
    }
    const QPair<QList<PortalAction>, bool> command = pending.dequeue();
    _give(command.second, [this, &command] {
        for (const PortalAction& a : command.first)
            emit action(a.name, a.params);
    });
}

bool QWebPageEcc::mayAskTheUser(QWebFrame* frame, const QString& msg)
{
    // Only the server's own documents speak to the user; what a foreign one
    // (a framed advertisement, a page a link led to) says goes to the log.
    if (frame && isServerUrl(documentOrigin(frame)))
        return true;
    LOG_NOTICE_LIMITED(lines) << "[WebPage] Not shown, from a foreign document: " << msg;
    return false;
}

void QWebPageEcc::javaScriptAlert(QWebFrame* frame, const QString& msg)
{
    if (!mayAskTheUser(frame, msg))
        return;
    // The text comes from the page: never read it as markup.
    ORVO::MessageBox::information(nullptr, tr("Info"), msg, QMessageBox::Ok, QMessageBox::NoButton,
                                  Qt::PlainText);
}

bool QWebPageEcc::javaScriptPrompt(QWebFrame* frame, const QString& msg,
                                   const QString& defaultValue, QString* result)
{
    if (!mayAskTheUser(frame, msg))
        return false;
    return QWebPage::javaScriptPrompt(frame, msg, defaultValue, result);
}

bool QWebPageEcc::javaScriptConfirm(QWebFrame* frame, const QString& msg)
{
    if (!mayAskTheUser(frame, msg))
        return false;
    return ORVO::MessageBox::question(nullptr, tr("Confirmation"), msg,
                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                                      Qt::PlainText) == QMessageBox::Yes;
}

void QWebPageEcc::javaScriptConsoleMessage(const QString& message, int lineNumber,
                                           const QString& sourceID)
{
    LOG_DEBUG_LIMITED(lines) << "[WebPage] [" << sourceID << ":" << QString::number(lineNumber)
                             << "] : " << message;
}

void QWebPageEcc::setLogName(const QString& title)
{
    logName = title;
    // The title may be the server's page key: the lines that name it stay short.
    lines.setWho(QStringLiteral("the portal tab \"%1\"").arg(log::clipped(title, 100)));
}

QString QWebPageEcc::userAgentForUrl(const QUrl& url) const
{
    Q_UNUSED(url)
    return QString::fromLatin1(ORVO::UserAgent);
}

} // namespace ORVO
