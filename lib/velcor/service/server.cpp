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
    // Runs from the connection's start and again from each finished line.
    QTimer idle;
    int refused = 0;
};

} // namespace detail

Server::Server(QObject* parent, libvelcor::Mode mode) : QObject(parent)
{
    handler = new RequestHandler(this);
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
    if (!tcpServer) {
        tcpServer = new QTcpServer(this);
        connect(tcpServer, &QTcpServer::newConnection, this, &Server::_newConnection);
    }
    const int port = detail::listenUpwards(*tcpServer, QHostAddress(QHostAddress::LocalHost),
                                           quint16(initialPort));
    if (port < 0) {
        VLOG_ERROR << "Request server cannot listen from port " << initialPort << ": "
                   << tcpServer->errorString();
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
    // While the server is full only the first few turned away are logged;
    // the next connection let in tells how many more there were.
    const auto refused = [this](int open) {
        if (++turnedAway <= LoggedRefusalsPerConnection)
            VLOG_ERROR << "Request server turns a connection away: " << open << " open";
    };
    while (QTcpSocket* socket = detail::nextWithinCap(*tcpServer, MaxConnections, refused)) {
        if (turnedAway > LoggedRefusalsPerConnection)
            VLOG_ERROR << "Request server: " << turnedAway - LoggedRefusalsPerConnection
                       << " more connections were turned away";
        turnedAway = 0;
        socket->setReadBufferSize(ReadBufferSize);
        auto* conn = new detail::RequestConnection(socket, idleTimeoutMs);
        connect(&conn->idle, &QTimer::timeout, socket, [socket]() {
            VLOG_ERROR << "Request server: no complete request in time, connection closed";
            socket->abort();
        });
        connect(socket, &QTcpSocket::disconnected, socket, [socket, conn]() {
            conn->idle.stop();
            if (conn->decoder.pendingSize() > 0)
                VLOG_ERROR << "Request server: connection closed inside a request, "
                           << conn->decoder.pendingSize() << " bytes dropped";
            if (conn->refused > LoggedRefusalsPerConnection)
                VLOG_ERROR << "Request server: " << conn->refused - LoggedRefusalsPerConnection
                           << " more refused lines on that connection not logged";
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
    conn->idle.start();
    const detail::ActionRequest r = detail::readActionRequest(data, size);
    // A peer sending nothing but refused lines gets a few of them logged and
    // the rest counted when it goes, so it cannot flood the log.
    if (r.outcome != detail::ActionRequest::Accepted &&
        ++conn->refused <= LoggedRefusalsPerConnection) {
        switch (r.outcome) {
        case detail::ActionRequest::Undecodable:
            VLOG_ERROR << "Request server dropped a line: " << r.why;
            break;
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
        VLOG_ERROR << "Request server: peer leaves its answers unread (" << socket->bytesToWrite()
                   << " bytes), connection dropped";
        socket->abort();
        return;
    }
    if (r.outcome != detail::ActionRequest::Accepted)
        return;
    VLOG_DEBUG << "[Server] Action request: " << r.action;
    emit handler->actionRequest(r.action, r.params);
}

} // namespace libvelcor
