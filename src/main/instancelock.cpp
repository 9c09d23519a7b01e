#include "main/instancelock.h"

#include <QDir>
#include <QFileInfo>

#include "common/utils.h"

namespace ORVO {

const char InstanceLock::FileName[] = "vtx.lock";

InstanceLock::InstanceLock(const QString& dataDir)
    : dir(dataDir), file(dataDir + QLatin1Char('/') + QLatin1String(FileName)), lock(file)
{
    // Only a dead owner makes the lock stale: a client runs for weeks, so
    // the age of the file says nothing.
    lock.setStaleLockTime(0);
}

InstanceLock::~InstanceLock()
{
    if (lock.isLocked())
        lock.unlock();
}

int InstanceLock::acquire()
{
    elsewhere = false;
    owner = 0;
    error.clear();
    if (lock.isLocked())
        return 0;
    if (!QDir().mkpath(dir)) {
        error = utils::mkpathFailure(dir);
        return -1;
    }
    // A lock whose owner is no longer running is removed and taken here.
    if (lock.tryLock(0))
        return 0;
    QString host;
    QString appName;
    const bool ownerKnown =
        lock.error() == QLockFile::LockFailedError && lock.getLockInfo(&owner, &host, &appName);
    // A lock file without an owner (cut short by a crash) says nothing
    // about a running client; a running one still holds the file lock that
    // removing the file needs.
    if (lock.error() == QLockFile::LockFailedError && !ownerKnown && QFileInfo(file).isFile() &&
        lock.removeStaleLockFile() && lock.tryLock(0))
        return 0;
    if (!ownerKnown)
        owner = 0;
    switch (lock.error()) {
    case QLockFile::LockFailedError:
        if (!QFileInfo(file).isFile()) {
            error = QStringLiteral("cannot create the lock file ") + file +
                    QStringLiteral(": something that is not a file is in the way");
            break;
        }
        elsewhere = true;
        error = QStringLiteral("the lock file ") + file + QStringLiteral(" is held by ") +
                (owner > 0 ? QStringLiteral("process ") + QString::number(owner)
                           : QStringLiteral("another process"));
        break;
    case QLockFile::PermissionError:
        error = QStringLiteral("cannot create the lock file ") + file +
                QStringLiteral(": permission denied");
        break;
    default:
        error = QStringLiteral("cannot create the lock file ") + file;
        break;
    }
    return -1;
}

} // namespace ORVO
