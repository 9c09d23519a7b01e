#pragma once

#include <QFileInfo>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>
#include <QVariant>
#include <QVariantMap>

#include "mgr/process.h"

class QSettings;

namespace ORVO {

// Runs local applications for actions: finds the executable (stored
// per-server location, then PATH, then the user), starts it as a child and
// keeps the running children by process id and by action key
// (decoded name + "_" + decoded endpoint).
class ProcessManager : public QObject
{
    Q_OBJECT

public:
    enum Error : int {
        ErrorNone = 0,
        ErrorBadParams = 1,
        ErrorOutOfMemory = 2,
        ErrorAlreadyRunning = 3,
        ErrorNotExecutable = 4,
        ErrorRunning = 5,
        // The program's location the user chose is used, but not stored.
        ErrorNotSaved = 6
    };
    Q_ENUM(Error)

    // Argument type of stateChanged, which is never emitted.
    enum State : int { StateNone = 0 };
    Q_ENUM(State)

    ProcessManager();
    ~ProcessManager() override;

    // False when the settings store could not be opened; the creator tests it.
    bool isValid() const { return valid; }

    static QString errorString(ORVO::ProcessManager::Error err);

    // Starts the application of an action map ("name", "remark" and "path"
    // required); 0 when a child was started, -1 otherwise.
    int startAction(const QVariantMap& action);
    // Stops the child filed under the map's action key; 0 when there was one.
    int stopAction(const QVariantMap& action);

    QString remapPath(const QString& path, const QString& programPath);
    bool isRunnable(const QFileInfo& info);

    int start(const QString& path, const QString& args);
    int startDetached(const QString& path, const QString& args);
    int startEx(bool detached, const QString& path, const QVariant& params);

    void addPid(qint64 pid, ORVO::Process* process);
    void removePid(qint64 pid);

    const QHash<qint64, ORVO::Process*>& getPids() const { return pids; }
    const QHash<QString, qint64>& getKeys() const { return keys; }
    // Every Process not yet deleted, filed or not.
    const QSet<ORVO::Process*>& getProcesses() const { return owned; }

signals:
    void stateChanged(ORVO::ProcessManager::State state);
    void sigError(ORVO::ProcessManager::Error err, const QString& msg = QString(""));
    void chooseOpenFile(const QString& msg);

public slots:
    void processStateChanged(ORVO::Process::State state);
    void processError(ORVO::Process::Error error);
    void gotServerId(const QUuid& uuid);
    void chosenOpenFile(const QString& file);
    void test();

private:
    bool valid = false;
    QHash<qint64, ORVO::Process*> pids;
    QHash<QString, qint64> keys;
    QString homePath;
    QSettings* settings = nullptr;
    QString pendingArgs;
    QString pendingName;
    QString pendingValue;
    // Every Process made and not yet deleted, filed or not, so that none
    // outlives the manager (a child still starting is in neither table).
    QSet<ORVO::Process*> owned;
};

} // namespace ORVO
