#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace ORVO {

class ProcessManager;

// One local application started for an action. ProcessManager creates one
// per start, starts it exactly once, follows its two signals and deletes it;
// deleting a Process stops its child.
class Process : public QObject
{
    Q_OBJECT

public:
    enum State : int {
        StateIdle = 0,     // not started yet, or ended
        StateStarting = 1, // start requested
        StateRunning = 2,  // running, pid known
        StateZombie = 3    // ended a while ago and not yet deleted
    };
    Q_ENUM(State)

    enum Error : int {
        ErrorNone = 0,
        ErrorBadState = 3, // a start was asked of a Process that already started
        ErrorFailed = 5    // the child failed to run, crashed or exited non-zero
    };
    Q_ENUM(Error)

    // How long a finished child is kept before it reports the zombie state.
    static constexpr int ZombieDelayMs = 5000;
    // Upper bound of the blocking wait for a terminated child.
    static constexpr int StopTimeoutMs = 30000;

    // params holds an action map; "name", "endpoint", "path" and "args" are read.
    explicit Process(const QVariant& params);
    ~Process() override;

    // Each returns the child's QProcess object when the start was accepted,
    // null when it was refused.
    QProcess* start();
    QProcess* startDetached(qint64* pid);
    QProcess* startEx(qint64* pid);

    int stop();

    QString getPath() const { return path; }
    QString getArgs() const { return args; }
    bool getDetached() const { return detached; }
    qint64 getPid() const { return pid; }
    QString getKey() const { return key; }
    ORVO::Process::State getState() const { return state; }
    ORVO::Process::Error getError() const { return lastError; }

    // The argument list of a child: args split at every single blank, empty
    // parts kept, no quoting.
    static QStringList splitArgs(const QString& args);

    // Program that opens application bundles (paths ending in ".app"): "open"
    // on macOS. Elsewhere there are no bundles and the default is none, so
    // such a path is started directly.
    static QString opener();
    static void setOpener(const QString& program);

signals:
    void error(ORVO::Process::Error err);
    void stateChanged(ORVO::Process::State state);

private slots:
    void processError(QProcess::ProcessError err);
    void processStarted();
    void processFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void processZombie();

private:
    friend class ProcessManager;

    void setState(ORVO::Process::State value);

    qint64 pid = 0;
    bool detached = false;
    QString name;
    QString endpoint;
    QString key;
    QString path;
    QString args;
    QProcess* process = nullptr;
    Error lastError = ErrorNone;
    State state = StateIdle;
};

} // namespace ORVO
