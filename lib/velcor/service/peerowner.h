#pragma once

#include <QString>

class QAbstractSocket;

namespace libvelcor {
namespace detail {

// Who holds the other end of a loopback TCP connection. Every account on
// the machine can reach 127.0.0.1, so the client deals only with peers of
// its own user or of root; the kernel names the owner of each socket.
struct PeerOwner
{
    // The owner's uid, or -1 when the kernel could not say.
    qint64 uid = -1;
    // Set when the peer may be dealt with.
    bool allowed = false;
    // Why not, for the log: "owned by uid 1001", or why the owner is unknown.
    QString why;
};

// Looks up the owner of the socket at the other end of a connected socket.
// An owner that cannot be found is not allowed.
PeerOwner peerOwner(const QAbstractSocket& socket);

// The uid of the socket with these end points (the peer's own view: local
// is the peer's address and port), or -1. Exposed for the tests.
qint64 socketOwnerUid(const QString& localAddress, quint16 localPort, const QString& remoteAddress,
                      quint16 remotePort, QString* why = nullptr);

} // namespace detail
} // namespace libvelcor
