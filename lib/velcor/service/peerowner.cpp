#include "peerowner.h"

#include <QAbstractSocket>
#include <QFile>
#include <QHostAddress>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace libvelcor {
namespace detail {

namespace {

// The timer the kernel reports for a socket in time-wait.
constexpr int TimeWaitTimer = 3;
// What diagLookup returns for a socket found closed by its owner: no use
// searching the socket tables for it.
constexpr qint64 ClosedByOwner = -2;

// One end point as the kernel stores it: the family and the address in
// network byte order (an IPv4 address in the first word).
struct EndPoint
{
    int family = AF_UNSPEC;
    quint32 words[4] = {0, 0, 0, 0};
    quint16 port = 0;
};

bool toEndPoint(const QString& text, quint16 port, EndPoint& out)
{
    QHostAddress address(text);
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4); // also the v4 inside ::ffff:a.b.c.d
    out.port = port;
    if (isV4) {
        out.family = AF_INET;
        out.words[0] = htonl(v4);
        return true;
    }
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return false;
    out.family = AF_INET6;
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    std::memcpy(out.words, v6.c, sizeof out.words);
    return true;
}

QString errnoWhy(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

// NLMSG_OK, without its comparison of a signed with an unsigned length.
bool messageFits(const nlmsghdr* h, int left)
{
    return left >= int(sizeof(nlmsghdr)) && h->nlmsg_len >= sizeof(nlmsghdr) &&
           qint64(h->nlmsg_len) <= left;
}

// Asks the kernel's socket diagnostics for the one TCP socket with these
// end points; the answer carries its owner.
qint64 diagLookup(const EndPoint& local, const EndPoint& remote, QString& why)
{
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0) {
        why = errnoWhy("socket diagnostics");
        return -1;
    }
    const timeval timeout{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    struct
    {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message;
    std::memset(&message, 0, sizeof message);
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    message.request.sdiag_family = quint8(local.family);
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = ~0u;
    message.request.id.idiag_sport = htons(local.port);
    message.request.id.idiag_dport = htons(remote.port);
    std::memcpy(message.request.id.idiag_src, local.words, sizeof local.words);
    std::memcpy(message.request.id.idiag_dst, remote.words, sizeof remote.words);
    message.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    message.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;

    sockaddr_nl kernel;
    std::memset(&kernel, 0, sizeof kernel);
    kernel.nl_family = AF_NETLINK;
    qint64 uid = -1;
    if (::sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) < 0) {
        why = errnoWhy("socket diagnostics");
        ::close(fd);
        return -1;
    }
    alignas(nlmsghdr) char buffer[8192];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0)
        why = errnoWhy("socket diagnostics");
    int left = int(n);
    for (auto* h = reinterpret_cast<nlmsghdr*>(buffer); n > 0 && messageFits(h, left);
         h = NLMSG_NEXT(h, left)) {
        if (h->nlmsg_type == NLMSG_ERROR) {
            const auto* e = static_cast<const nlmsgerr*>(NLMSG_DATA(h));
            why = QStringLiteral("socket diagnostics: %1")
                      .arg(QString::fromLocal8Bit(strerror(-e->error)));
            break;
        }
        if (h->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
            h->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
            continue;
        const auto* m = static_cast<const inet_diag_msg*>(NLMSG_DATA(h));
        // The exact lookup falls back to a listening socket on the port; only
        // the connection itself counts.
        if (m->id.idiag_dport == htons(remote.port) && m->id.idiag_sport == htons(local.port)) {
            // A socket its owner has closed turns into a time-wait entry,
            // which keeps no owner: the kernel says uid 0, so a peer that
            // sent and closed before it was looked at would pass for root.
            if (m->idiag_timer == TimeWaitTimer) {
                why = QStringLiteral("socket diagnostics: closed by its owner");
                uid = ClosedByOwner;
            } else {
                uid = m->idiag_uid;
            }
            break;
        }
    }
    if (uid < 0 && why.isEmpty())
        why = QStringLiteral("socket diagnostics: no such connection");
    ::close(fd);
    return uid;
}

QByteArray procHex(const EndPoint& e)
{
    // The kernel prints each address word as it lies in memory.
    QByteArray hex;
    const int words = e.family == AF_INET ? 1 : 4;
    for (int i = 0; i < words; ++i)
        hex += QByteArray::number(e.words[i], 16).toUpper().rightJustified(8, '0');
    return hex + ':' + QByteArray::number(e.port, 16).toUpper().rightJustified(4, '0');
}

// The socket tables under /proc/net, for kernels without socket
// diagnostics: "sl local remote st queues timer retransmits uid ...".
qint64 procLookup(const EndPoint& local, const EndPoint& remote, QString& why)
{
    QFile table(local.family == AF_INET ? QStringLiteral("/proc/net/tcp")
                                        : QStringLiteral("/proc/net/tcp6"));
    if (!table.open(QIODevice::ReadOnly)) {
        why += QStringLiteral("; %1: %2").arg(table.fileName(), table.errorString());
        return -1;
    }
    const QByteArray wantLocal = procHex(local);
    const QByteArray wantRemote = procHex(remote);
    table.readLine(); // the heading
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        if (fields.size() > 7 && fields.at(1) == wantLocal && fields.at(2) == wantRemote) {
            if (fields.at(5).startsWith("03:")) { // time-wait, as above
                why += QStringLiteral("; %1: closed by its owner").arg(table.fileName());
                return -1;
            }
            bool ok = false;
            const qint64 uid = fields.at(7).toLongLong(&ok);
            if (ok)
                return uid;
        }
    }
    why += QStringLiteral("; %1: no such connection").arg(table.fileName());
    return -1;
}

} // namespace

qint64 socketOwnerUid(const QString& localAddress, quint16 localPort, const QString& remoteAddress,
                      quint16 remotePort, QString* why)
{
    EndPoint local;
    EndPoint remote;
    QString reason;
    qint64 uid = -1;
    if (!toEndPoint(localAddress, localPort, local) ||
        !toEndPoint(remoteAddress, remotePort, remote) || local.family != remote.family) {
        reason = QStringLiteral("not a TCP/IP connection");
    } else {
        uid = diagLookup(local, remote, reason);
        if (uid == ClosedByOwner)
            uid = -1;
        else if (uid < 0)
            uid = procLookup(local, remote, reason);
    }
    if (why)
        *why = uid < 0 ? reason : QString();
    return uid;
}

PeerOwner peerOwner(const QAbstractSocket& socket)
{
    PeerOwner owner;
    if (socket.state() != QAbstractSocket::ConnectedState) {
        owner.why = QStringLiteral("not connected");
        return owner;
    }
    // The peer's socket sees our ends the other way round.
    owner.uid = socketOwnerUid(socket.peerAddress().toString(), socket.peerPort(),
                               socket.localAddress().toString(), socket.localPort(), &owner.why);
    if (owner.uid < 0) {
        owner.why = QStringLiteral("owner unknown (%1)").arg(owner.why);
        return owner;
    }
    owner.allowed = owner.uid == 0 || owner.uid == qint64(::geteuid());
    if (!owner.allowed)
        owner.why = QStringLiteral("owned by uid %1").arg(owner.uid);
    return owner;
}

} // namespace detail
} // namespace libvelcor
