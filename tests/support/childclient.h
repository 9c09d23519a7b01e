#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include "common/common.h"
#include "testenv.h"

// The program as a child process, with per-user locations of its own in a
// temporary directory (HOME, XDG_DATA_HOME, XDG_CONFIG_HOME), as a user on
// a fresh account would run it. Standard error is collected as it comes.
class ChildClient : public QObject
{
public:
    ChildClient()
    {
        program = QString::fromLocal8Bit(qgetenv("ORVO_BUNDLE_DIR")) + "/bin/bastiva-connect";
        env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", root.path());
        env.insert("XDG_DATA_HOME", root.path() + "/data");
        env.insert("XDG_CONFIG_HOME", root.path() + "/config");
        env.insert("XDG_RUNTIME_DIR", root.path() + "/run");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        // Nothing may hide or reshape the debug lines the tests read.
        env.remove("QT_LOGGING_RULES");
        env.remove("QT_MESSAGE_PATTERN");
        // No service unless a test gives one: a closed loopback port.
        env.insert("VELCOR_SERVICE_ADDR", "127.0.0.1:1");
        QDir().mkpath(root.path() + "/run");
        QFile::setPermissions(root.path() + "/run",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        proc.setProcessChannelMode(QProcess::SeparateChannels);
        connect(&proc, &QProcess::readyReadStandardError, this,
                [this] { err += proc.readAllStandardError(); });
        connect(&proc, &QProcess::readyReadStandardOutput, this,
                [this] { out += proc.readAllStandardOutput(); });
    }

    ~ChildClient() override
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished(3000);
        }
    }

    // The client built with its message boxes answered in code, for tests
    // that reach a box (tests/support/answeringclient.cpp).
    static QString answeringProgram()
    {
        return QString::fromLocal8Bit(qgetenv("ORVO_BUNDLE_DIR")) + "/tests/orvo-answering-client";
    }

    QString dataDir() const { return root.path() + "/data/" + ORVO::org() + "/BastivaConnectApp"; }
    QString settingsFile() const
    {
        return root.path() + "/config/" + ORVO::org() + "/BastivaConnectApp.conf";
    }
    QString logFile() const { return dataDir() + "/vtx-log.txt"; }

    void start(const QStringList& args)
    {
        proc.setProcessEnvironment(env);
        proc.start(program, args);
    }

    // Runs to the end; the exit code, or -1000 when it did not end in time.
    int run(const QStringList& args, int timeoutMs = 15000)
    {
        start(args);
        if (!proc.waitForFinished(timeoutMs))
            return -1000;
        err += proc.readAllStandardError();
        out += proc.readAllStandardOutput();
        return proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -2000;
    }

    bool signal(int signo) { return ::kill(static_cast<pid_t>(proc.processId()), signo) == 0; }

    QTemporaryDir root;
    QString program;
    QProcessEnvironment env;
    QProcess proc;
    QByteArray err;
    QByteArray out;
};

// Positions of the markers in text, each after the previous; -1 for a
// marker missing or out of order.
inline int inOrder(const QByteArray& text, const QList<QByteArray>& markers, QByteArray* missing)
{
    int from = 0;
    for (const QByteArray& m : markers) {
        const int at = text.indexOf(m, from);
        if (at < 0) {
            *missing = m;
            return -1;
        }
        from = at + m.size();
    }
    return 0;
}
