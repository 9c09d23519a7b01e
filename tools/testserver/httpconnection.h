#pragma once

#include "testserver.h"

#include <QObject>
#include <QTimer>

class QTcpSocket;

namespace orvotest {

// One client connection of the test server: reads HTTP/1.x requests one at a
// time (keep-alive), asks the server for the reply and writes it, streaming
// generated bodies as the socket drains.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    HttpConnection(QTcpSocket* socket, TestServer* server);

    static constexpr int MaxHeaderBytes = 64 * 1024;
    static constexpr qint64 MaxBodyBytes = 16 * 1024 * 1024;

private slots:
    void _read();
    void _written();
    void _send();

private:
    enum State { ReadingHead, ReadingBody, Answering, Streaming, Closing };

    void _process();
    bool _parseHead(int headEnd);
    void _fail(int status);
    void _writeHead(int status, const QList<QPair<QByteArray, QByteArray>>& headers, qint64 length);
    void _pump();
    qint64 _queued() const;
    void _done();

    QTcpSocket* socket;
    TestServer* server;
    QTimer delayTimer;
    State state = ReadingHead;
    QByteArray buffer;
    TestServer::Request request;
    qint64 bodyExpected = 0;
    bool keepAlive = true;
    qint64 streamOffset = 0;
    qint64 streamEnd = 0;
};

} // namespace orvotest
