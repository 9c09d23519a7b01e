#pragma once

#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace libvelcor {
namespace detail {

// How many ports above the requested one are tried when it is taken.
constexpr int PortSearchSpan = 64;

// Listens on the first free port from port upwards (port 0: any free
// port). Returns the bound port, or -1 when none of them could be bound.
inline int listenUpwards(QTcpServer& server, const QHostAddress& address, quint16 port)
{
    if (port == 0)
        return server.listen(address, 0) ? int(server.serverPort()) : -1;
    for (int p = port; p < int(port) + PortSearchSpan && p <= 65535; ++p) {
        if (server.listen(address, quint16(p)))
            return p;
        // Only a taken port is worth another try.
        if (server.serverError() != QAbstractSocket::AddressInUseError)
            return -1;
    }
    return -1;
}

// Reports the bound port from the event loop, never inside start(): the
// caller wires portBound after starting. A listener stopped or moved in
// the meantime reports nothing.
template <typename Listener> void announceBound(Listener* listener, int port)
{
    QTimer::singleShot(0, listener, [listener, port]() {
        if (listener->getPort() == port)
            emit listener->portBound(port);
    });
}

// Takes the next pending connection within the cap: a connection beyond
// maxOpen connected ones is aborted and reported through refused (with the
// number open), and the next is tried. nullptr when none is left.
template <typename Refused>
QTcpSocket* nextWithinCap(QTcpServer& server, int maxOpen, Refused refused)
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        int open = 0;
        for (QTcpSocket* s : server.findChildren<QTcpSocket*>())
            if (s != socket && s->state() == QAbstractSocket::ConnectedState)
                ++open;
        if (open < maxOpen)
            return socket;
        refused(open);
        socket->abort();
        socket->deleteLater();
    }
    return nullptr;
}

// Stops listening and drops every accepted connection. The stop may come
// from a receiver of one of these sockets' data: each socket must outlive
// that call, so it is deleted from the event loop.
inline void stopListening(QTcpServer& server, QObject* receiver)
{
    server.close();
    const QList<QTcpSocket*> sockets = server.findChildren<QTcpSocket*>();
    for (QTcpSocket* s : sockets) {
        s->disconnect(receiver);
        s->abort();
        s->setParent(nullptr);
        s->deleteLater();
    }
}

} // namespace detail
} // namespace libvelcor
