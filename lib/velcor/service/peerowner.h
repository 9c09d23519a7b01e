#pragma once

#include <QList>
#include <QString>

class QAbstractSocket;

namespace libvelcor {
namespace detail {

// Who holds the other end of a loopback TCP connection. Every account on
// the machine can reach 127.0.0.1, so the client deals only with peers of
// its own user or of root; the kernel names the owner of each socket.
//
// Only a socket that a process holds (one with an inode) names its owner.
// The kernel's answer about any other (a connection not yet taken in by a
// listener, which with TCP_DEFER_ACCEPT waits for the client's first bytes;
// a connection closed by its owner, in time-wait or orphaned) says uid 0 or
// the uid of a socket that no longer holds it: its owner is unknown, never
// root.
struct PeerOwner
{
    // The owner's uid, or -1 when the kernel could not say.
    qint64 uid = -1;
    // Set when the peer may be dealt with: uid is 0 or this user's.
    bool allowed = false;
    // Why not, for the log: "owned by uid 1001", or why the owner is unknown.
    QString why;
};

// The owner of the socket at the other end of an accepted connection (the
// request server, the log listener). An owner that cannot be found is not
// allowed.
PeerOwner peerOwner(const QAbstractSocket& socket);

// The owner of the service a connected socket reached. The peer's own
// socket decides when it names its owner. Otherwise (the service has not
// taken the connection in yet, or has already closed it) the listening
// sockets that take connections to the peer's address and port decide:
// those bound to that address or to a wildcard that covers it ("0.0.0.0",
// "::" unless it is IPv6 only, "::ffff:0.0.0.0", the IPv4 address mapped
// into IPv6), in either socket table. All of them must be allowed (a
// listener of another account sharing the port is refused), and at least
// one must be found; the uid is then a listener's, and a listener of
// another account is a known owner that is not allowed. The socket tables
// do not say whether a "::" listener is IPv6 only: when only such a
// listener of another account stands in the way, the owner is unknown.
PeerOwner serviceOwner(const QAbstractSocket& socket);

// The uid of the socket with these end points (the peer's own view: local
// is the peer's address and port), or -1. Exposed for the tests.
qint64 socketOwnerUid(const QString& localAddress, quint16 localPort, const QString& remoteAddress,
                      quint16 remotePort, QString* why = nullptr);

// The uids of the listening sockets that take connections to address:port,
// as serviceOwner finds them; empty when there is none. Exposed for the
// tests.
QList<qint64> listenerOwnerUids(const QString& address, quint16 port, QString* why = nullptr);

// For the tests: off, the lookups read only the tables under /proc/net, as
// on a kernel without socket diagnostics.
void setSocketDiagnostics(bool on);

} // namespace detail
} // namespace libvelcor
