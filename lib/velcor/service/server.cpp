#include "libvelcor/server.h"

#include <QJsonObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "actionrequest.h"
#include "libvelcor/api.h"
#include "linedecoder.h"
#include "listen.h"
#include "protocol.h"
#include "vlog.h"

namespace libvelcor {

namespace {

// Unread bytes kept per connection; beyond it TCP holds the sender back.
constexpr qint64 ReadBufferSize = 256 * 1024;

void reply(QTcpSocket* socket, qint64 id, int rc, const QString& error = QString())
{
    QJsonObject m;
    m.insert(QStringLiteral("type"), QStringLiteral("result"));
    if (id > 0)
        m.insert(QStringLiteral("id"), double(id));
    m.insert(QStringLiteral("rc"), rc);
    if (!error.isEmpty())
        m.insert(QStringLiteral("error"), error);
    socket->write(protocol::encode(m));
}

} // namespace

namespace detail {

// What the server keeps of one connection, owned by its socket.
class RequestConnection : public QObject
{
public:
    RequestConnection(QTcpSocket* socket, int idleMs)
        : QObject(socket), decoder(protocol::MaxLineSize, LineDecoder::FailStream)
    {
        idle.setSingleShot(true);
        idle.start(idleMs);
    }
    LineDecoder decoder;
    // Runs from the connection's start and again from each request taken;
    // refused lines do not keep a connection.
    QTimer idle;
    // Set when the server closes the connection itself, having said why.
    bool closedHere = false;
};

} // namespace detail

Server::Server(QObject* parent, libvelcor::Mode mode) : QObject(parent)
{
    handler = new RequestHandler(this);
    refusals = new detail::RefusalLog("Request server", LoggedRefusals, RefusalLogIntervalMs, this);
    valid = mode == ModeLocal;
    if (!valid)
        VLOG_ERROR << "Request server mode not offered: " << int(mode);
}

Server::~Server()
{
    stop();
}

int Server::setInitialPort(int port)
{
    if (port < 0 || port > 65535 || (tcpServer && tcpServer->isListening()))
        return -1;
    initialPort = port;
    return 0;
}

int Server::start()
{
    if (!valid || (tcpServer && tcpServer->isListening()))
        return -1;
    lastError.clear();
    if (!tcpServer) {
        tcpServer = new QTcpServer(this);
        connect(tcpServer, &QTcpServer::newConnection, this, &Server::_newConnection);
    }
    const int port = detail::listenUpwards(*tcpServer, QHostAddress(QHostAddress::LocalHost),
                                           quint16(initialPort));
    if (port < 0) {
        lastError = tcpServer->errorString();
        VLOG_ERROR << "Request server cannot listen "
                   << qPrintable(detail::portsTried(quint16(initialPort))) << ": " << lastError;
        return -1;
    }
    VLOG_DEBUG << "[Server] Listening on 127.0.0.1:" << port;
    detail::announceBound(this, port);
    return 0;
}

void Server::stop()
{
    if (!tcpServer)
        return;
    detail::stopListening(*tcpServer, this);
    refusals->flush();
}

int Server::getPort() const
{
    return tcpServer && tcpServer->isListening() ? int(tcpServer->serverPort()) : -1;
}

void Server::setIdleTimeout(int ms)
{
    idleTimeoutMs = ms > 0 ? ms : DefaultIdleTimeoutMs;
}

void Server::_newConnection()
{
    const auto refused = [this](const QString& why) {
        if (refusals->admit())
            VLOG_ERROR << "Request server refuses a connection: " << qPrintable(why);
    };
    while (QTcpSocket* socket = detail::nextServable(*tcpServer, MaxConnections, refused)) {
        socket->setReadBufferSize(ReadBufferSize);
        auto* conn = new detail::RequestConnection(socket, idleTimeoutMs);
        connect(&conn->idle, &QTimer::timeout, socket, [this, socket, conn]() {
            if (refusals->admit())
                VLOG_ERROR << "Request server: no request taken in time, connection closed";
            conn->closedHere = true;
            socket->abort();
        });
        connect(socket, &QTcpSocket::disconnected, socket, [this, socket, conn]() {
            conn->idle.stop();
            if (!conn->closedHere && conn->decoder.pendingSize() > 0 && refusals->admit())
                VLOG_ERROR << "Request server: connection closed inside a request, "
                           << conn->decoder.pendingSize() << " bytes dropped";
            socket->deleteLater();
        });
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket, conn]() { _read(socket, conn); });
    }
}

void Server::_read(QTcpSocket* socket, detail::RequestConnection* conn)
{
    QPointer<Server> self(this);
    QPointer<QTcpSocket> guard(socket);
    char buffer[16384];
    // A connection dropped meanwhile (answers unread, a receiver's stop)
    // reads nothing more.
    while (self && guard && socket->state() == QAbstractSocket::ConnectedState &&
           socket->bytesAvailable() > 0) {
        const qint64 n = socket->read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        const bool ok = conn->decoder.feed(buffer, n, [&](const char* data, int size, bool) {
            if (self && guard && socket->state() == QAbstractSocket::ConnectedState)
                _handleLine(socket, conn, data, size);
        });
        if (!self || !guard)
            return;
        if (!ok) {
            if (refusals->admit())
                VLOG_ERROR << "Request server: line longer than " << protocol::MaxLineSize
                           << " bytes, connection dropped";
            socket->abort();
            socket->deleteLater();
            return;
        }
    }
}

namespace detail {

ActionRequest readActionRequest(const char* data, int size)
{
    ActionRequest r;
    QJsonObject m;
    if (!protocol::decodeLine(data, size, m, r.why)) {
        r.outcome = ActionRequest::Undecodable;
        r.rc = Api::ResultRefused;
        r.error = r.why;
        return r;
    }
    // A request the service cannot match to its answer is refused before
    // anything else is looked at; the answer then carries no id.
    r.id = protocol::messageId(m);
    if (r.id < 0) {
        r.outcome = ActionRequest::InvalidId;
        r.rc = Api::ResultRefused;
        r.error = QStringLiteral("invalid request id");
        return r;
    }
    const QString type = protocol::messageType(m);
    if (type != QLatin1String("action")) {
        r.outcome = ActionRequest::UnknownType;
        r.rc = Api::ResultUnknown;
        r.error = QStringLiteral("unknown request type");
        r.why = type;
        return r;
    }
    const QJsonValue action = m.value(QLatin1String("action"));
    Params params;
    const QJsonValue paramsValue = m.value(QLatin1String("params"));
    if (!action.isString() || action.toString().isEmpty() ||
        (!paramsValue.isUndefined() && !protocol::paramsFromJson(paramsValue, params))) {
        r.outcome = ActionRequest::Malformed;
        r.rc = Api::ResultRefused;
        r.error = QStringLiteral("malformed action request");
        return r;
    }
    r.outcome = ActionRequest::Accepted;
    r.rc = Api::ResultOk;
    r.action = action.toString();
    r.params = params;
    return r;
}

} // namespace detail

void Server::_handleLine(QTcpSocket* socket, detail::RequestConnection* conn, const char* data,
                         int size)
{
    if (size == 0)
        return;
    const detail::ActionRequest r = detail::readActionRequest(data, size);
    // A line that is not a message of this protocol (an HTTP request or a
    // WebSocket handshake from a web page, for one) gets no answer, and
    // nothing after it is read: what follows could be a request in its body.
    if (r.outcome == detail::ActionRequest::Undecodable) {
        if (refusals->admit())
            VLOG_ERROR << "Request server: a line that is not a message (" << r.why
                       << "), connection closed";
        conn->closedHere = true;
        // The answers to the requests before it still go out.
        socket->flush();
        socket->abort();
        return;
    }
    if (r.outcome == detail::ActionRequest::Accepted)
        conn->idle.start();
    // Peers sending nothing but refused lines get a few of them logged and
    // the rest counted, so they cannot flood the log.
    if (r.outcome != detail::ActionRequest::Accepted && refusals->admit()) {
        switch (r.outcome) {
        case detail::ActionRequest::InvalidId:
            VLOG_ERROR << "Request server: request without a valid id (a whole number from 1 "
                          "to 2^53-1) refused";
            break;
        case detail::ActionRequest::UnknownType:
            VLOG_ERROR << "Request server: unknown request " << r.why;
            break;
        case detail::ActionRequest::Malformed:
            VLOG_ERROR << "Request server: malformed action request";
            break;
        case detail::ActionRequest::Undecodable:
        case detail::ActionRequest::Accepted:
            break;
        }
    }
    reply(socket, r.id, r.rc, r.error);
    // Answers go out from the event loop; a burst of lines hands what the
    // system takes over first, and only what it does not take counts.
    if (socket->bytesToWrite() > MaxUnsentBytes)
        socket->flush();
    if (socket->bytesToWrite() > MaxUnsentBytes) {
        if (refusals->admit())
            VLOG_ERROR << "Request server: peer leaves its answers unread ("
                       << socket->bytesToWrite() << " bytes), connection dropped";
        conn->closedHere = true;
        socket->abort();
        return;
    }
    if (r.outcome != detail::ActionRequest::Accepted)
        return;
    VLOG_DEBUG << "[Server] Action request: " << r.action;
    emit handler->actionRequest(r.action, r.params);
}

} // namespace libvelcor
