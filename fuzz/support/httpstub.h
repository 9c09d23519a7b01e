#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTcpServer>

// A web server on 127.0.0.1 for the fuzz targets of HTTP replies: it reads
// each request whole, answers with the bytes it was given and closes the
// connection, so the client always sees the end of the reply.
class HttpStub : public QObject
{
    Q_OBJECT
public:
    // The status code when a status line starts with three digits, else -1.
    static int statusCode(const QByteArray& statusLine);
    HttpStub();
    quint16 port() const { return server.serverPort(); }
    // The raw bytes of the next answers, status line included.
    void setAnswer(const QByteArray& bytes) { answer = bytes; }
    int answered() const { return count; }
    // Since the last answer went out and its connection was closed.
    qint64 msSinceAnswer() const { return sinceAnswer.isValid() ? sinceAnswer.elapsed() : -1; }

private:
    void _newConnection();

    QTcpServer server;
    QByteArray answer;
    int count = 0;
    QElapsedTimer sinceAnswer;
};
