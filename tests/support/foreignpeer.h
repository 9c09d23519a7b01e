#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <unistd.h>

// A loopback peer run as another account (nobody, uid 65534), or as this
// user for comparison, for the checks that the client deals only with
// sockets of its own user or root.
// It is a few lines of Perl (perl-base is part of every Debian system), so
// nothing of the build tree has to be reachable by that account. Starting a
// program as another account needs root: where that cannot be done,
// skipReason() says why and the test skips.
class ForeignPeer
{
public:
    static constexpr int Uid = 65534;

    // Runs as uid: another account (which needs root) or this process's own.
    explicit ForeignPeer(int uid = Uid) : uid(uid) {}

    static QString skipReason(int uid = Uid)
    {
        const bool other = uid != int(::geteuid());
        if (other && ::geteuid() != 0)
            return QStringLiteral("a peer of another account needs root to be started");
        if (other && QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            return QStringLiteral("setpriv is not installed");
        if (QStandardPaths::findExecutable(QStringLiteral("perl")).isEmpty())
            return QStringLiteral("perl is not installed");
        return QString();
    }

    ~ForeignPeer()
    {
        proc.kill();
        proc.waitForFinished(3000);
    }

    // Connects to 127.0.0.1:port, sends each line and collects the answer
    // until the client closes or stays silent for 3 s.
    void connectTo(quint16 port, const QStringList& lines)
    {
        start("$s = IO::Socket::INET->new(PeerAddr => '127.0.0.1', PeerPort => shift) or exit 2;"
              "print $s \"$_\\n\" for @ARGV; $s->flush; $sel = IO::Select->new($s);"
              "while ($sel->can_read(3)) { last unless sysread($s, $b, 4096); print $b }",
              QStringList{QString::number(port)} + lines);
    }

    // How a listener takes connections: Serve prints what each sends;
    // Deferred too, but the kernel holds each connection until the client
    // sends (TCP_DEFER_ACCEPT); CloseAtOnce closes the first one and the
    // listener as soon as it has taken it, and exits. So that its end is
    // left in time-wait, it ends its sending at once and exits once the
    // client's kernel has acknowledged that (within 200 ms). CloseEach
    // closes every connection as soon as it has taken it, and listens on.
    // HandedOver: root makes the listener, which then passes to uid (as
    // socket activation hands it to a service) before it takes anything;
    // deferred, so the client sees only root's listener before it says
    // hello; it answers the hello with the service's settings.
    enum Listen { Serve, Deferred, CloseAtOnce, CloseEach, HandedOver };

    // Listens on address:port, IPv6 only if v6only; true once it does.
    bool listenOn(quint16 port, Listen how = Serve,
                  const QString& address = QStringLiteral("127.0.0.1"), bool v6only = false)
    {
        start("$l = IO::Socket::IP->new(LocalHost => shift, LocalPort => shift,"
              "V6Only => shift, Listen => 8, ReuseAddr => 1) or exit 2; $how = shift;"
              "$how != 1 && $how != 4 or setsockopt($l, 6, 9, 30) or exit 3;" // TCP_DEFER_ACCEPT
              "$id = shift; if ($how == 4) { require POSIX; POSIX::setgid($id) and "
              "POSIX::setuid($id) or exit 4 }"
              "print \"listening\\n\"; while ($c = $l->accept) {"
              "if ($how == 2) { shutdown($c, 1); select(undef, undef, undef, 0.5); exit }"
              "if ($how == 3) { close($c); next }"
              "if ($how == 4) { $h = ''; $h .= $b while $h !~ /\\n/ && sysread($c, $b, 4096);"
              "print $h; syswrite($c,"
              "'{\"type\":\"settings\",\"protocol\":1,\"settings\":{}}'.\"\\n\") }"
              "while (sysread($c, $b, 4096)) { print $b } }",
              {address, QString::number(port), QString::number(int(v6only)), QString::number(how),
               QString::number(uid)},
              how == HandedOver);
        return QTest::qWaitFor([this] { return received().startsWith("listening\n"); }, 5000);
    }

    bool waitDone(int ms = 10000) { return proc.waitForFinished(ms); }
    // What the peer got, and for a listener the "listening" line first.
    QByteArray received()
    {
        out += proc.readAllStandardOutput();
        return out;
    }

private:
    void start(const char* script, const QStringList& args, bool asSelf = false)
    {
        const QStringList perl{QStringLiteral("perl"), QStringLiteral("-MIO::Socket::INET"),
                               QStringLiteral("-MIO::Socket::IP"), QStringLiteral("-MIO::Select"),
                               QStringLiteral("-")};
        const QString id = QString::number(uid);
        // The script comes on standard input: perl -e would open /dev/null,
        // which some systems keep from other accounts.
        if (uid == int(::geteuid()) || asSelf)
            proc.start(perl.first(), perl.mid(1) + args);
        else
            proc.start(QStringLiteral("setpriv"),
                       QStringList{QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id,
                                   QStringLiteral("--clear-groups")} +
                           perl + args);
        proc.write(QByteArray("$| = 1;") + script);
        proc.closeWriteChannel();
        proc.waitForStarted(5000);
    }

    const int uid;
    QProcess proc;
    QByteArray out;
};
