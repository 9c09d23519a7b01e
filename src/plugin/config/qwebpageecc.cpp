#include "plugin/config/qwebpageecc.h"

#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QWebFrame>
#include <QWebSecurityOrigin>

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
} // namespace

QWebPageEcc::QWebPageEcc(QObject* parent) : QWebPage(parent) {}

QWebPageEcc::~QWebPageEcc() = default;

QString QWebPageEcc::decode(QString value)
{
    return portalDecode(std::move(value));
}

bool QWebPageEcc::acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                          QWebPage::NavigationType type)
{
    // Commands count for every kind of navigation, but only from the
    // server's own page (see _mayCommand).
    Q_UNUSED(type)
    const QUrl url = request.url();
    LOG_DEBUG << "[WebPage] Navigating to url: " << url.toString();

    const PortalCommand command = portalCommand(url);
    // Another host's login page says nothing of the server's cookies, nor
    // does the server's when another host's document asks for it.
    if (command.loginPage && isServerUrl(url) && _sentByServer(frame, request)) {
        LOG_ERROR << "[WebPage] Cookie authentication error";
        emit error();
    }
    const bool viaOtherHost = _redirectedFromElsewhere(frame);
    if (command.kind == PortalCommand::Navigate) {
        if (frame && frame == mainFrame()) {
            navigationUrl = url;
            navigationLeftServer = viaOtherHost || !isServerUrl(url);
            // A fresh request for the URL goes out: what an earlier one was
            // answered is stale.
            if (auto* manager = qobject_cast<QNetworkAccessManagerEcc*>(networkAccessManager()))
                manager->takeRedirect(frame, url);
        }
        return true;
    }
    if (viaOtherHost) {
        // The frame still shows the server's page and the engine names it
        // as the referrer, but another host chose this URL.
        LOG_ERROR << "[WebPage] Command refused, redirected here from another host: "
                  << url.toString();
        return false;
    }
    if (!_mayCommand(frame, request)) {
        LOG_ERROR << "[WebPage] Command refused, not from the portal's own page: " << url.toString()
                  << " (page: " << (frame ? frame->url().toString() : QString()) << ")";
        return false;
    }

    if (command.kind == PortalCommand::Delayed) {
        if (pending.size() >= MaxPendingCommands) {
            LOG_ERROR << "[WebPage] Too many commands at once, dropping: " << url.toString();
            return false;
        }
        pending.enqueue(command.actions);
        // One timer per command: each run takes the oldest waiting command.
        QTimer::singleShot(CommandDelayMs, this, &QWebPageEcc::delayedAction);
    }
    if (command.hasRoutes)
        emit syncRoutes(command.routes);
    if (command.kind == PortalCommand::Immediate) {
        for (const PortalAction& a : command.actions)
            emit action(a.name, a.params);
    }
    return false;
}

bool QWebPageEcc::isServerUrl(const QUrl& url) const
{
    for (const QUrl& origin : commandOrigins) {
        if (utils::isSameOrigin(url, origin))
            return true;
    }
    return false;
}

bool QWebPageEcc::_redirectedFromElsewhere(QWebFrame* frame)
{
    // A request of the main frame that follows a redirect of its last one
    // continues that navigation; one that went through another host on
    // its way is not the server's, wherever it ends.
    if (!frame || frame != mainFrame() || !navigationUrl.isValid())
        return false;
    auto* manager = qobject_cast<QNetworkAccessManagerEcc*>(networkAccessManager());
    return manager && manager->takeRedirect(frame, navigationUrl) && navigationLeftServer;
}

bool QWebPageEcc::_mayCommand(QWebFrame* frame, const QNetworkRequest& request) const
{
    // A frame inside the page may hold anyone's document, and a frame's
    // script may navigate itself at will; a new window has no frame.
    if (!frame || frame != mainFrame())
        return false;
    // A frame may also navigate the whole tab: the engine names the
    // document that asked in the referrer, and a request that hides it
    // is no command either.
    const QUrl asking(QString::fromUtf8(request.rawHeader("Referer")));
    return isServerUrl(frame->url()) && isServerUrl(asking);
}

bool QWebPageEcc::_sentByServer(QWebFrame* frame, const QNetworkRequest& request) const
{
    if (!frame)
        return false;
    // The server answered a request of this frame with a redirect here.
    const auto* manager = qobject_cast<QNetworkAccessManagerEcc*>(networkAccessManager());
    if (manager && isServerUrl(manager->redirectedFrom(frame, request.url())))
        return true;
    // Or a page of the server leads its own frame here. A foreign frame
    // inside that page may move it too (top.location): the engine names
    // the document that asked in the referrer. The login page asking for
    // itself (its form, a script that breaks out of a frame) says nothing
    // new of the cookies.
    const QUrl asking(QString::fromUtf8(request.rawHeader("Referer")));
    return isServerUrl(documentOrigin(frame)) && isServerUrl(asking) &&
           !portalCommand(asking).loginPage;
}

void QWebPageEcc::delayedAction()
{
    LOG_TRACE;
    if (pending.isEmpty()) {
        LOG_ERROR;
        return;
    }
    const QList<PortalAction> actions = pending.dequeue();
    for (const PortalAction& a : actions)
        emit action(a.name, a.params);
}

void QWebPageEcc::javaScriptAlert(QWebFrame* frame, const QString& msg)
{
    Q_UNUSED(frame)
    // The text comes from the page: never read it as markup.
    ORVO::MessageBox::information(nullptr, tr("Info"), msg, QMessageBox::Ok, QMessageBox::NoButton,
                                  Qt::PlainText);
}

bool QWebPageEcc::javaScriptConfirm(QWebFrame* frame, const QString& msg)
{
    Q_UNUSED(frame)
    return ORVO::MessageBox::question(nullptr, tr("Confirmation"), msg,
                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                                      Qt::PlainText) == QMessageBox::Yes;
}

void QWebPageEcc::javaScriptConsoleMessage(const QString& message, int lineNumber,
                                           const QString& sourceID)
{
    LOG_DEBUG << "[WebPage] [" << sourceID << ":" << QString::number(lineNumber)
              << "] : " << message;
}

QString QWebPageEcc::userAgentForUrl(const QUrl& url) const
{
    Q_UNUSED(url)
    return QString::fromLatin1(ORVO::UserAgent);
}

} // namespace ORVO
