#include "httpstub.h"

#include <QTcpSocket>

#include <memory>

#include "fuzzkit.h"

HttpStub::HttpStub()
{
    connect(&server, &QTcpServer::newConnection, this, &HttpStub::_newConnection);
    if (!server.listen(QHostAddress(QHostAddress::LocalHost), 0))
        fuzzkit::fail("the web server stub cannot listen");
}

void HttpStub::_newConnection()
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto request = std::make_shared<QByteArray>();
        auto done = std::make_shared<bool>(false);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request, done]() {
            if (*done) {
                socket->readAll();
                return;
            }
            request->append(socket->readAll());
            const int end = request->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            // The body of a POST, as long as its Content-Length says.
            qint64 length = 0;
            const QList<QByteArray> lines = request->left(end).split('\n');
            for (const QByteArray& line : lines) {
                if (line.toLower().startsWith("content-length:"))
                    length = line.mid(15).trimmed().toLongLong();
            }
            if (request->size() < end + 4 + length)
                return;
            *done = true;
            ++count;
            socket->write(answer);
            socket->disconnectFromHost();
            sinceAnswer.start();
        });
    }
}

int HttpStub::statusCode(const QByteArray& statusLine)
{
    if (statusLine.size() < 3)
        return -1;
    for (int i = 0; i < 3; ++i)
        if (statusLine.at(i) < '0' || statusLine.at(i) > '9')
            return -1;
    if (statusLine.size() > 3 && statusLine.at(3) != ' ' && statusLine.at(3) != '\r')
        return -1;
    return statusLine.left(3).toInt();
}
