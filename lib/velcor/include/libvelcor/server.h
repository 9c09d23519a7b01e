#pragma once

#include <QObject>
#include <QString>

#include "libvelcor/params.h"

class QTcpServer;
class QTcpSocket;

namespace libvelcor {

namespace detail {
class RefusalLog;
class RequestConnection;
} // namespace detail

// How the request server is reached: only over TCP on the loopback
// address.
enum Mode : int { ModeNone = 0, ModeLocal = 1 };

// Turns the action requests that arrive at the request server into
// signals.
class RequestHandler : public QObject
{
    Q_OBJECT
public:
    explicit RequestHandler(QObject* parent = nullptr) : QObject(parent) {}

signals:
    void actionRequest(QString action, libvelcor::Params params);
};

// The client's local request server: the service connects to it on
// 127.0.0.1 and sends action requests, one JSON object per line. Only peers
// whose socket belongs to this user or root are served, and only as long as
// they speak the protocol: a line that is not a protocol message closes its
// connection unanswered.
class Server : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultPort = 4814;
    // Service connections served at once; more are turned away.
    static constexpr int MaxConnections = 16;
    // A connection that has sent no request taken this long after it opened
    // or after its last one is closed, so silent peers and peers sending
    // refused lines cannot hold every slot; the service sends its request as
    // soon as it connects.
    static constexpr int DefaultIdleTimeoutMs = 5000;
    // Answer bytes a connection may leave unsent; a peer that lets more
    // pile up does not read its answers and is dropped.
    static constexpr qint64 MaxUnsentBytes = 64 * 1024;
    // Refusals (lines, peers, connections turned away or dropped) logged in
    // full per interval, whatever the connection; the rest are counted, and
    // the count is logged when the interval ends.
    static constexpr int LoggedRefusals = 3;
    static constexpr int RefusalLogIntervalMs = 10000;

    explicit Server(QObject* parent = nullptr, libvelcor::Mode mode = libvelcor::ModeLocal);
    ~Server() override;

    // False when the mode is not one this server offers.
    bool isValid() const { return valid; }
    RequestHandler* getRequestHandler() const { return handler; }

    // The first port tried by start(); 0 lets the system choose. 0 when
    // taken, -1 when out of range or already started.
    int setInitialPort(int port);
    // Listens on 127.0.0.1 from the initial port upwards, or on a port the
    // system picks when those are taken. 0 on success; portBound follows
    // from the event loop.
    int start();
    // Why the last start() failed; empty after one that succeeded.
    QString errorString() const { return lastError; }
    void stop();
    // The bound port, -1 when not listening.
    int getPort() const;
    // The idle limit of connections accepted from now on; ms <= 0 restores
    // the default.
    void setIdleTimeout(int ms);

signals:
    void portBound(int port);

private:
    void _newConnection();
    void _read(QTcpSocket* socket, detail::RequestConnection* conn);
    void _handleLine(QTcpSocket* socket, detail::RequestConnection* conn, const char* data,
                     int size);

    bool valid = false;
    int initialPort = DefaultPort;
    int idleTimeoutMs = DefaultIdleTimeoutMs;
    QString lastError;
    detail::RefusalLog* refusals = nullptr;
    QTcpServer* tcpServer = nullptr;
    RequestHandler* handler = nullptr;
};

} // namespace libvelcor
