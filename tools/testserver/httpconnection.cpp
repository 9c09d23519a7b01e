#include "httpconnection.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <QUrl>

namespace orvotest {

namespace {

// Keep at most this much queued in the socket while streaming, so a large
// generated body never sits in memory.
constexpr qint64 StreamHighWater = 512 * 1024;
constexpr qint64 StreamChunk = 64 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    default:
        return "Status";
    }
}

} // namespace

HttpConnection::HttpConnection(QTcpSocket* socket, TestServer* server)
    : QObject(server), socket(socket), server(server)
{
    socket->setParent(this);
    delayTimer.setSingleShot(true);
    delayTimer.setTimerType(Qt::PreciseTimer); // a delay is a lower bound
    connect(&delayTimer, SIGNAL(timeout()), this, SLOT(_send()));
    connect(socket, SIGNAL(readyRead()), this, SLOT(_read()));
    connect(socket, SIGNAL(bytesWritten(qint64)), this, SLOT(_written()));
    if (qobject_cast<QSslSocket*>(socket))
        connect(socket, SIGNAL(encryptedBytesWritten(qint64)), this, SLOT(_written()));
    connect(socket, SIGNAL(disconnected()), this, SLOT(deleteLater()));
}

void HttpConnection::_read()
{
    if (state == Closing) {
        socket->readAll();
        return;
    }
    buffer += socket->readAll();
    _process();
}

void HttpConnection::_process()
{
    if (state == ReadingHead) {
        const int headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0) {
            if (buffer.size() > MaxHeaderBytes)
                _fail(431);
            return;
        }
        if (headEnd > MaxHeaderBytes) {
            _fail(431);
            return;
        }
        if (!_parseHead(headEnd))
            return;
        buffer.remove(0, headEnd + 4);
        state = ReadingBody;
    }
    if (state == ReadingBody) {
        if (buffer.size() < bodyExpected)
            return;
        request.body = buffer.left(int(bodyExpected));
        buffer.remove(0, int(bodyExpected));
        state = Answering;
        server->_record(request);
        const int delay = server->_delayFor(request.path);
        if (delay > 0)
            delayTimer.start(delay);
        else
            _send();
    }
}

bool HttpConnection::_parseHead(int headEnd)
{
    request = TestServer::Request();
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
    if (start.size() != 3 || !start.at(2).startsWith("HTTP/1.")) {
        _fail(400);
        return false;
    }
    request.method = start.at(0);
    QByteArray target = start.at(1);
    if (!target.startsWith('/')) {
        // absolute form, as sent to a proxy
        const QUrl url = QUrl::fromEncoded(target);
        target = url.path(QUrl::FullyEncoded).toLatin1();
        if (url.hasQuery())
            target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
        if (target.isEmpty())
            target = "/";
    }
    const int q = target.indexOf('?');
    request.path = QUrl::fromPercentEncoding(q < 0 ? target : target.left(q));
    request.query = q < 0 ? QByteArray() : target.mid(q + 1);

    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        if (line.isEmpty())
            continue;
        const int colon = line.indexOf(':');
        if (colon <= 0) {
            _fail(400);
            return false;
        }
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (request.headers.contains(name))
            request.headers[name] += ", " + value;
        else
            request.headers.insert(name, value);
    }

    const QByteArray connection = request.headers.value("connection").toLower();
    if (start.at(2) == "HTTP/1.0")
        keepAlive = connection.contains("keep-alive");
    else
        keepAlive = !connection.contains("close");

    if (request.headers.contains("transfer-encoding")) {
        _fail(501);
        return false;
    }
    bodyExpected = 0;
    if (request.headers.contains("content-length")) {
        bool ok = false;
        bodyExpected = request.headers.value("content-length").toLongLong(&ok);
        if (!ok || bodyExpected < 0) {
            _fail(400);
            return false;
        }
        if (bodyExpected > MaxBodyBytes) {
            _fail(413);
            return false;
        }
    }
    return true;
}

void HttpConnection::_fail(int status)
{
    keepAlive = false;
    buffer.clear();
    const QByteArray body = QByteArray::number(status) + ' ' + reasonPhrase(status) + '\n';
    _writeHead(status, {{"Content-Type", "text/plain"}}, body.size());
    socket->write(body);
    _done();
}

void HttpConnection::_writeHead(int status, const QList<QPair<QByteArray, QByteArray>>& headers,
                                qint64 length)
{
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    head += "Server: lodestar-testserver\r\n";
    for (const auto& h : headers)
        head += h.first + ": " + h.second + "\r\n";
    head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";
    socket->write(head);
}

void HttpConnection::_send()
{
    const TestServer::Reply reply = server->_answer(request);
    const bool head = request.method == "HEAD";
    if (reply.generatedSize >= 0) {
        _writeHead(reply.status, reply.headers, reply.generatedSize);
        if (head || reply.generatedSize == 0) {
            _done();
            return;
        }
        state = Streaming;
        streamOffset = 0;
        streamEnd = reply.generatedSize;
        _pump();
        return;
    }
    _writeHead(reply.status, reply.headers,
               reply.contentLength >= 0 ? reply.contentLength : reply.body.size());
    const int bodyDelay = server->_bodyDelayFor(request.path);
    if (!head && bodyDelay > 0) {
        QTimer::singleShot(bodyDelay, this, [this, body = reply.body]() {
            socket->write(body);
            _done();
        });
        return;
    }
    if (!head)
        socket->write(reply.body);
    _done();
}

void HttpConnection::_written()
{
    if (state == Streaming)
        _pump();
}

qint64 HttpConnection::_queued() const
{
    // A TLS socket hands encrypted bytes on to its own buffer at once.
    const auto* ssl = qobject_cast<QSslSocket*>(socket);
    return socket->bytesToWrite() + (ssl ? ssl->encryptedBytesToWrite() : 0);
}

void HttpConnection::_pump()
{
    while (streamOffset < streamEnd && _queued() < StreamHighWater) {
        const qint64 n = qMin(StreamChunk, streamEnd - streamOffset);
        socket->write(TestServer::generatedContent(streamOffset, n));
        streamOffset += n;
    }
    if (streamOffset >= streamEnd)
        _done();
}

void HttpConnection::_done()
{
    if (!keepAlive) {
        state = Closing;
        socket->disconnectFromHost();
        return;
    }
    state = ReadingHead;
    request = TestServer::Request();
    if (!buffer.isEmpty())
        _process();
}

} // namespace orvotest
