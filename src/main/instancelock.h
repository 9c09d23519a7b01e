#pragma once

#include <QLockFile>
#include <QString>

namespace ORVO {

// One client per user: a lock file in the data folder, held from start-up
// until the client ends. Two clients of one user would write into one log
// and one configuration, and the one that quits would stop the other's
// tunnel. A lock left behind by a client that was killed is taken over,
// also when another account holds a lock on that file: a running client
// holds a write lock on it too, which no other account can. The data
// folder is made the user's alone first.
class InstanceLock
{
public:
    explicit InstanceLock(const QString& dataDir);
    // Releases the lock when this process holds it.
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // 0 when this process holds the lock afterwards; -1 when another client
    // holds it (heldElsewhere), the lock file cannot be made, or the data
    // folder is another account's or cannot be made private.
    int acquire();
    bool heldElsewhere() const { return elsewhere; }
    // The process that holds the lock, when heldElsewhere; 0 when unknown.
    qint64 ownerPid() const { return owner; }
    // Why acquire failed: what and which path.
    QString errorString() const { return error; }
    QString fileName() const { return file; }

    static const char FileName[];

private:
    int makeFolderPrivate();
    bool _replaceStale(bool ownerKnown, const QString& appName);
    // Takes the write lock that tells other starts a client holds the file.
    void _markHeld();

    QString dir;
    QString file;
    QLockFile lock;
    bool elsewhere = false;
    qint64 owner = 0;
    QString error;
    // The descriptor with the write lock, while this process holds the file.
    int held = -1;
};

} // namespace ORVO
