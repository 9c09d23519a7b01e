#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// A loopback peer run as another account (nobody, uid 65534), for the
// checks that the client deals only with sockets of its own user or root.
// Starting a program as another account needs root: where that cannot be
// done, skipReason() says why and the test skips.
class ForeignPeer
{
public:
    static constexpr int Uid = 65534;

    static QString skipReason()
    {
        if (::geteuid() != 0)
            return QStringLiteral("a peer of another account needs root to be started");
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            return QStringLiteral("setpriv (util-linux) is not installed");
        return QString();
    }

    ForeignPeer()
    {
        // The build tree may sit where the other account cannot reach: the
        // program runs from a copy in a directory anyone may enter.
        const QString program = QStringLiteral(ORVO_FOREIGN_PEER);
        copy = dir.path() + QStringLiteral("/orvo-foreign-peer");
        QFile::copy(program, copy);
        const auto rx = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                        QFile::ReadOther | QFile::ExeOther;
        QFile::setPermissions(dir.path(), rx | QFile::WriteOwner);
        QFile::setPermissions(copy, rx);
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
        start(QStringList{QStringLiteral("connect"), QString::number(port)} + lines);
    }

    // Listens on 127.0.0.1:port; true once it does.
    bool listenOn(quint16 port)
    {
        start({QStringLiteral("listen"), QString::number(port)});
        return QTest::qWaitFor([this] { return received().startsWith("listening\n"); }, 5000);
    }

    bool waitDone(int ms = 10000) { return proc.waitForFinished(ms); }
    int exitCode() const { return proc.exitCode(); }
    // What the peer got, and for a listener the "listening" line first.
    QByteArray received()
    {
        out += proc.readAllStandardOutput();
        return out;
    }

private:
    void start(const QStringList& args)
    {
        const QString uid = QString::number(Uid);
        proc.start(QStringLiteral("setpriv"),
                   QStringList{QStringLiteral("--reuid=") + uid, QStringLiteral("--regid=") + uid,
                               QStringLiteral("--clear-groups"), copy} +
                       args);
        proc.waitForStarted(5000);
    }

    QTemporaryDir dir;
    QString copy;
    QProcess proc;
    QByteArray out;
};
