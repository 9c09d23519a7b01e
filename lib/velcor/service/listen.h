#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <poll.h>

#include "peerowner.h"
#include "vlog.h"

namespace libvelcor {
namespace detail {

// How many ports from the requested one are tried before the system picks
// one.
constexpr int PortSearchSpan = 64;

// Listens on the first free port from port upwards (port 0: any free
// port); when every port of the span is taken (another account can hold
// them all), or one fails otherwise, on a port the system picks. Returns the
// bound port, or -1 when nothing could be bound: server.errorString() says
// why.
inline int listenUpwards(QTcpServer& server, const QHostAddress& address, quint16 port)
{
    for (int p = port; p != 0 && p < int(port) + PortSearchSpan && p <= 65535; ++p) {
        if (server.listen(address, quint16(p)))
            return p;
        // Only a taken port is worth the next one.
        if (server.serverError() != QAbstractSocket::AddressInUseError)
            break;
    }
    return server.listen(address, 0) ? int(server.serverPort()) : -1;
}

// Where listenUpwards(port) looked, for the line on its failure.
inline QString portsTried(quint16 port)
{
    if (port == 0)
        return QStringLiteral("on a port the system picks");
    return QStringLiteral("from port %1, nor on a port the system picks").arg(port);
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

// Whether the peer has closed its end (or the connection broke) before Qt
// has read to the end: the socket goes at the next pass of the event loop.
inline bool peerHasClosed(const QTcpSocket& socket)
{
    pollfd p{int(socket.socketDescriptor()), POLLRDHUP, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

// Takes the next pending connection that may be served: one within the cap
// of maxOpen connections whose peers are still there, from a socket of this
// user or root. Any other is closed at once, unanswered, and reported
// through refused (why), and the next is tried. nullptr when none is left.
template <typename Refused>
QTcpSocket* nextServable(QTcpServer& server, int maxOpen, Refused refused)
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        int open = 0;
        for (QTcpSocket* s : server.findChildren<QTcpSocket*>())
            if (s != socket && s->state() == QAbstractSocket::ConnectedState && !peerHasClosed(*s))
                ++open;
        if (open >= maxOpen) {
            refused(QStringLiteral("%1 connections open").arg(open));
        } else {
            const PeerOwner owner = peerOwner(*socket);
            if (owner.allowed)
                return socket;
            refused(QStringLiteral("peer ") + owner.why);
        }
        socket->abort();
        socket->deleteLater();
    }
    return nullptr;
}

// Bounds what peers can make a listener log, across all its connections: the
// first few lines of an interval are written, the rest only counted, and the
// count is written when the interval ends or the listener stops.
class RefusalLog : public QObject
{
public:
    RefusalLog(const char* who, int lines, int intervalMs, QObject* parent)
        : QObject(parent), who(who), lines(lines), intervalMs(intervalMs)
    {
        interval.setSingleShot(true);
        // A coarse timer may end the interval early.
        interval.setTimerType(Qt::PreciseTimer);
        connect(&interval, &QTimer::timeout, this, &RefusalLog::flush);
    }
    ~RefusalLog() override { flush(); }

    // True when the next line may be written; otherwise it is counted.
    bool admit()
    {
        if (!interval.isActive()) {
            interval.start(intervalMs);
            written = 0;
        }
        if (written < lines) {
            ++written;
            return true;
        }
        ++counted;
        return false;
    }

    void flush()
    {
        interval.stop();
        if (counted > 0)
            VLOG_ERROR << who << ": " << counted << " more refusals not logged (" << lines
                       << " are logged every " << intervalMs / 1000 << " s)";
        counted = 0;
    }

private:
    const char* const who;
    const int lines;
    const int intervalMs;
    QTimer interval;
    int written = 0;
    qint64 counted = 0;
};

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
