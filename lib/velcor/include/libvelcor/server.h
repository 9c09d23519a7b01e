#pragma once

#include <QObject>
#include <QString>

#include "libvelcor/params.h"

class QTcpServer;
class QTcpSocket;

namespace libvelcor {

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
// 127.0.0.1 and sends action requests, one JSON object per line.
class Server : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultPort = 4814;
    // Service connections served at once; more are turned away.
    static constexpr int MaxConnections = 16;

    explicit Server(QObject* parent = nullptr, libvelcor::Mode mode = libvelcor::ModeLocal);
    ~Server() override;

    // False when the mode is not one this server offers.
    bool isValid() const { return valid; }
    RequestHandler* getRequestHandler() const { return handler; }

    // The first port tried by start(); 0 lets the system choose. 0 when
    // taken, -1 when out of range or already started.
    int setInitialPort(int port);
    // Listens on 127.0.0.1 from the initial port upwards. 0 on success;
    // portBound follows from the event loop.
    int start();
    void stop();
    // The bound port, -1 when not listening.
    int getPort() const;

signals:
    void portBound(int port);

private:
    void _newConnection();
    void _handleLine(QTcpSocket* socket, const char* data, int size);

    bool valid = false;
    int initialPort = DefaultPort;
    QTcpServer* tcpServer = nullptr;
    RequestHandler* handler = nullptr;
};

} // namespace libvelcor
