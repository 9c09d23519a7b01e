#include "peerowner.h"

#include <QAbstractSocket>
#include <QFile>
#include <QHostAddress>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace libvelcor {
namespace detail {

namespace {

bool g_diagnostics = true;

// The timer the kernel reports for a socket in time-wait.
constexpr int TimeWaitTimer = 3;
// What diagLookup returns for a connection that no process holds: the
// socket tables would say no more.
constexpr qint64 NoHolder = -2;

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

// An IPv4 end point as a dual-stack socket holds it: ::ffff:a.b.c.d.
EndPoint mapped(const EndPoint& v4)
{
    EndPoint e;
    e.family = AF_INET6;
    e.words[2] = htonl(0xffff);
    e.words[3] = v4.words[0];
    e.port = v4.port;
    return e;
}

bool sameAddress(const EndPoint& a, const EndPoint& b)
{
    const int words = a.family == AF_INET ? 1 : 4;
    return a.family == b.family && std::memcmp(a.words, b.words, sizeof(quint32) * words) == 0;
}

bool isWildcard(const EndPoint& e)
{
    return e.words[0] == 0 && (e.family == AF_INET || (e.words[1] | e.words[2] | e.words[3]) == 0);
}

// A listening socket, and whether it takes connections to target.
struct Listener
{
    EndPoint local;
    qint64 uid = -1;
    bool v6only = false;
    // The socket tables do not say whether an IPv6 socket is IPv6 only.
    bool v6onlyKnown = true;

    bool takes(const EndPoint& target) const
    {
        if (local.port != target.port)
            return false;
        // An IPv6 socket bound to ::ffff:0.0.0.0 takes what 0.0.0.0 takes.
        if (target.family == AF_INET && local.family == AF_INET6)
            return sameAddress(local, mapped(target)) || sameAddress(local, mapped(EndPoint())) ||
                   (isWildcard(local) && !v6only);
        return local.family == target.family && (sameAddress(local, target) || isWildcard(local));
    }

    // Counted as taking target only because it may not be IPv6 only.
    bool perhapsTakes(const EndPoint& target) const
    {
        return !v6onlyKnown && target.family == AF_INET && local.family == AF_INET6 &&
               isWildcard(local) && takes(target);
    }
};

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

// Sends one request to the kernel's socket diagnostics and hands each
// socket of the answer to each(message, attributes, their length) until it
// returns false. A dump's answer runs over several datagrams. False, with
// why, when the answer could not be had whole.
template <typename Each>
bool askDiagnostics(const inet_diag_req_v2& request, bool dump, Each each, QString& why)
{
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0) {
        why = errnoWhy("socket diagnostics");
        return false;
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
    message.header.nlmsg_flags = NLM_F_REQUEST | (dump ? NLM_F_DUMP : 0);
    message.request = request;
    sockaddr_nl kernel;
    std::memset(&kernel, 0, sizeof kernel);
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) < 0) {
        why = errnoWhy("socket diagnostics");
        ::close(fd);
        return false;
    }
    // The kernel sizes a dump's datagrams to the reader's buffer, up to 32 KiB.
    alignas(nlmsghdr) char buffer[32768];
    bool whole = false;
    bool more = true;
    while (more) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_TRUNC);
        if (n < 0) {
            why = errnoWhy("socket diagnostics");
            break;
        }
        if (n > ssize_t(sizeof buffer)) {
            why = QStringLiteral("socket diagnostics: answer too long");
            break;
        }
        more = dump;
        whole = !dump;
        int left = int(n);
        for (auto* h = reinterpret_cast<nlmsghdr*>(buffer); messageFits(h, left);
             h = NLMSG_NEXT(h, left)) {
            if (h->nlmsg_type == NLMSG_DONE) {
                whole = true;
                more = false;
                break;
            }
            if (h->nlmsg_type == NLMSG_ERROR) {
                const auto* e = static_cast<const nlmsgerr*>(NLMSG_DATA(h));
                why = QStringLiteral("socket diagnostics: %1")
                          .arg(QString::fromLocal8Bit(strerror(-e->error)));
                whole = false;
                more = false;
                break;
            }
            if (h->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
                h->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
                continue;
            const auto* m = static_cast<const inet_diag_msg*>(NLMSG_DATA(h));
            const int attributes = int(h->nlmsg_len - NLMSG_LENGTH(sizeof(inet_diag_msg)));
            if (!each(*m, reinterpret_cast<const rtattr*>(m + 1), attributes)) {
                whole = true;
                more = false;
                break;
            }
        }
    }
    ::close(fd);
    return whole;
}

// Asks the kernel's socket diagnostics for the one TCP socket with these
// end points; the answer carries its owner.
qint64 diagLookup(const EndPoint& local, const EndPoint& remote, QString& why)
{
    inet_diag_req_v2 request;
    std::memset(&request, 0, sizeof request);
    request.sdiag_family = quint8(local.family);
    request.sdiag_protocol = IPPROTO_TCP;
    request.idiag_states = ~0u;
    request.id.idiag_sport = htons(local.port);
    request.id.idiag_dport = htons(remote.port);
    std::memcpy(request.id.idiag_src, local.words, sizeof local.words);
    std::memcpy(request.id.idiag_dst, remote.words, sizeof remote.words);
    request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    qint64 uid = -1;
    const auto each = [&](const inet_diag_msg& m, const rtattr*, int) {
        // The exact lookup falls back to a listening socket on the port;
        // only the connection itself counts.
        if (m.id.idiag_dport != htons(remote.port) || m.id.idiag_sport != htons(local.port))
            return true;
        // A connection that no process holds keeps no owner: the kernel
        // says uid 0 for one in time-wait or still waiting in a listener's
        // queue (a deferred accept keeps it there until the client sends).
        if (m.idiag_timer == TimeWaitTimer) {
            why = QStringLiteral("socket diagnostics: closed by its owner");
            uid = NoHolder;
        } else if (m.idiag_inode == 0) {
            why = QStringLiteral("socket diagnostics: held by no process");
            uid = NoHolder;
        } else {
            uid = m.idiag_uid;
        }
        return false;
    };
    askDiagnostics(request, false, each, why);
    if (uid == -1 && why.isEmpty())
        why = QStringLiteral("socket diagnostics: no such connection");
    return uid;
}

// The listening TCP sockets of a family, from the socket diagnostics.
bool diagListeners(int family, QList<Listener>& out, QString& why)
{
    inet_diag_req_v2 request;
    std::memset(&request, 0, sizeof request);
    request.sdiag_family = quint8(family);
    request.sdiag_protocol = IPPROTO_TCP;
    request.idiag_states = 1u << TCP_LISTEN;
    const auto each = [&out](const inet_diag_msg& m, const rtattr* a, int left) {
        Listener l;
        l.local.family = m.idiag_family;
        std::memcpy(l.local.words, m.id.idiag_src, sizeof l.local.words);
        l.local.port = ntohs(m.id.idiag_sport);
        l.uid = m.idiag_uid;
        for (; RTA_OK(a, left); a = RTA_NEXT(a, left)) {
            if (a->rta_type == INET_DIAG_SKV6ONLY && RTA_PAYLOAD(a) >= 1)
                l.v6only = *static_cast<const quint8*>(RTA_DATA(a)) != 0;
        }
        out.append(l);
        return true;
    };
    QString reason;
    if (askDiagnostics(request, true, each, reason))
        return true;
    why += QStringLiteral("; ") + reason;
    return false;
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

// Hands each entry of a socket table under /proc/net ("sl local remote st
// queues timer retransmits uid timeout inode ...") to each until it returns
// false. False, with why, when the table cannot be read.
template <typename Each> bool walkTable(int family, Each each, QString& why)
{
    QFile table(family == AF_INET ? QStringLiteral("/proc/net/tcp")
                                  : QStringLiteral("/proc/net/tcp6"));
    if (!table.open(QIODevice::ReadOnly)) {
        why += QStringLiteral("; %1: %2").arg(table.fileName(), table.errorString());
        return false;
    }
    // The size of a file under /proc is unknown: read to its end.
    const QList<QByteArray> lines = table.readAll().split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).simplified().split(' ');
        if (fields.size() > 9 && !each(fields))
            break;
    }
    return true;
}

// The socket tables, for kernels without socket diagnostics. A dual-stack
// socket's IPv4 connection is listed in tcp6, under its mapped addresses.
qint64 procLookup(const EndPoint& local, const EndPoint& remote, QString& why)
{
    qint64 uid = -1;
    QString closed;
    for (const int family : {AF_INET, AF_INET6}) {
        if (family == AF_INET && local.family != AF_INET)
            continue;
        const bool asMapped = family != local.family;
        const QByteArray wantLocal = procHex(asMapped ? mapped(local) : local);
        const QByteArray wantRemote = procHex(asMapped ? mapped(remote) : remote);
        const auto each = [&](const QList<QByteArray>& fields) {
            if (fields.at(1) != wantLocal || fields.at(2) != wantRemote)
                return true;
            // No process holds it: as above.
            if (fields.at(9) == "0") {
                closed = fields.at(5).startsWith("03:") ? QStringLiteral("closed by its owner")
                                                        : QStringLiteral("held by no process");
                return false;
            }
            bool ok = false;
            uid = fields.at(7).toLongLong(&ok);
            if (!ok)
                uid = -1;
            return !ok;
        };
        if (walkTable(family, each, why) && (uid >= 0 || !closed.isEmpty()))
            break;
    }
    if (uid < 0)
        why += QStringLiteral("; /proc/net: %1")
                   .arg(closed.isEmpty() ? QStringLiteral("no such connection") : closed);
    return uid;
}

// The listening sockets of a family, from the socket tables. Whether an
// IPv6 one is IPv6 only, they do not say: it counts as taking IPv4 too,
// but not as a known owner of the service (see serviceOwner).
bool procListeners(int family, QList<Listener>& out, QString& why)
{
    const auto each = [&out, family](const QList<QByteArray>& fields) {
        const QList<QByteArray> local = fields.at(1).split(':');
        const int words = family == AF_INET ? 1 : 4;
        if (fields.at(3) != "0A" || local.size() != 2 || local.at(0).size() != 8 * words)
            return true;
        Listener l;
        l.local.family = family;
        l.v6onlyKnown = family == AF_INET;
        bool ok = true;
        for (int i = 0; i < words && ok; ++i)
            l.local.words[i] = local.at(0).mid(8 * i, 8).toUInt(&ok, 16);
        bool portOk = false;
        l.local.port = quint16(local.at(1).toUInt(&portOk, 16));
        bool uidOk = false;
        l.uid = fields.at(7).toLongLong(&uidOk);
        if (ok && portOk && uidOk)
            out.append(l);
        return true;
    };
    return walkTable(family, each, why);
}

PeerOwner judged(qint64 uid, const QString& unknownWhy)
{
    PeerOwner owner;
    owner.uid = uid;
    if (uid < 0) {
        owner.why = QStringLiteral("owner unknown (%1)").arg(unknownWhy);
        return owner;
    }
    owner.allowed = uid == 0 || uid == qint64(::geteuid());
    if (!owner.allowed)
        owner.why = QStringLiteral("owned by uid %1").arg(uid);
    return owner;
}

// The listening sockets that take connections to address:port, from the
// socket diagnostics or else the socket tables; why says why none.
QList<Listener> listenersTaking(const QString& address, quint16 port, EndPoint& target,
                                QString& why)
{
    QList<Listener> taking;
    if (!toEndPoint(address, port, target)) {
        why = QStringLiteral("not a TCP/IP address");
        return taking;
    }
    QString reason;
    for (const int family : {AF_INET, AF_INET6}) {
        if (family == AF_INET && target.family != AF_INET)
            continue;
        QList<Listener> found;
        if (!g_diagnostics || !diagListeners(family, found, reason)) {
            found.clear();
            procListeners(family, found, reason);
        }
        for (const Listener& l : qAsConst(found))
            if (l.takes(target))
                taking.append(l);
    }
    why = QStringLiteral("no listening socket") + reason;
    return taking;
}

// The uid of the socket at the other end of a connected socket, or -1.
qint64 connectionOwnerUid(const QAbstractSocket& socket, QString& why)
{
    if (socket.state() != QAbstractSocket::ConnectedState) {
        why = QStringLiteral("not connected");
        return -1;
    }
    // The peer's socket sees our ends the other way round.
    return socketOwnerUid(socket.peerAddress().toString(), socket.peerPort(),
                          socket.localAddress().toString(), socket.localPort(), &why);
}

} // namespace

void setSocketDiagnostics(bool on)
{
    g_diagnostics = on;
}

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
        if (g_diagnostics)
            uid = diagLookup(local, remote, reason);
        else
            reason = QStringLiteral("socket diagnostics: not used");
        if (uid == NoHolder)
            uid = -1;
        else if (uid < 0)
            uid = procLookup(local, remote, reason);
    }
    if (why)
        *why = uid < 0 ? reason : QString();
    return uid;
}

QList<qint64> listenerOwnerUids(const QString& address, quint16 port, QString* why)
{
    QList<qint64> uids;
    EndPoint target;
    QString reason;
    for (const Listener& l : listenersTaking(address, port, target, reason))
        uids.append(l.uid);
    if (why)
        *why = uids.isEmpty() ? reason : QString();
    return uids;
}

PeerOwner peerOwner(const QAbstractSocket& socket)
{
    QString why;
    const qint64 uid = connectionOwnerUid(socket, why);
    return judged(uid, why);
}

PeerOwner serviceOwner(const QAbstractSocket& socket)
{
    QString why;
    const qint64 uid = connectionOwnerUid(socket, why);
    if (uid >= 0 || socket.state() != QAbstractSocket::ConnectedState)
        return judged(uid, why);
    // Not taken in yet, or closed already: whoever listens there took it.
    QString listening;
    EndPoint target;
    const QList<Listener> listeners =
        listenersTaking(socket.peerAddress().toString(), socket.peerPort(), target, listening);
    if (listeners.isEmpty())
        return judged(-1, why + QStringLiteral("; ") + listening);
    // Another account's listener that perhaps takes it is no known owner:
    // told as a foreign program, it could be untrue.
    QString perhaps;
    for (const Listener& l : listeners) {
        if (judged(l.uid, QString()).allowed)
            continue;
        if (!l.perhapsTakes(target))
            return judged(l.uid, QString());
        perhaps = QStringLiteral("uid %1 listens on [::]:%2, perhaps IPv6 only")
                      .arg(l.uid)
                      .arg(l.local.port);
    }
    if (!perhaps.isEmpty())
        return judged(-1, why + QStringLiteral("; ") + perhaps);
    return judged(listeners.first().uid, QString());
}

} // namespace detail
} // namespace libvelcor
