#include "main/instancelock.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/utils.h"

namespace ORVO {

namespace {

// Held while a start decides about the lock file, so that no start of this
// user removes a lock file that another one has just made. It is only ever
// made inside the private data folder, so no other account can hold it.
class Guard
{
public:
    explicit Guard(const QString& path)
        : fd(::open(QFile::encodeName(path).constData(),
                    O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600))
    {
        struct stat st;
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            return;
        // Another start holds it for a moment; one that was stopped while
        // holding it must not hold this start for ever.
        for (int tries = 0; tries < 100 && !held; ++tries) {
            held = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            if (!held && errno != EWOULDBLOCK)
                break;
            if (!held)
                ::usleep(50 * 1000);
        }
    }
    ~Guard()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

    bool held = false;

private:
    int fd;
};

// The processes that took a lock on the inode, as /proc/locks lists them.
// The device is not compared: some file systems list another number than
// stat gives, and a lock on another file system with the same inode number
// can only make this one look held. -1 when the list cannot be read.
int lockHolders(ino_t inode, QList<qint64>& pids)
{
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray end = ':' + QByteArray::number(quint64(inode));
    // "1: FLOCK  ADVISORY  WRITE 4242 fe:00:1234 0 EOF"; a waiter's line
    // has "->" before the type and holds nothing.
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 6 && (fields[1] == "FLOCK" || fields[1] == "POSIX") &&
            fields[5].endsWith(end))
            pids << fields[4].toLongLong();
    }
    return 0;
}

// Whether the process runs with this user's id. One that cannot be told
// apart (listed as 0 from another pid namespace) counts as this user's;
// one that is gone, or hidden from other accounts, does not.
bool ofThisUser(qint64 pid)
{
    if (pid <= 0)
        return true;
    QFile status(QStringLiteral("/proc/") + QString::number(pid) + QStringLiteral("/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("Uid:"))
            continue;
        // Real, effective, saved and file-system user ids.
        for (const QByteArray& id : line.mid(4).simplified().split(' ')) {
            bool ok = false;
            if (id.toUInt(&ok) == ::geteuid() && ok)
                return true;
        }
    }
    return false;
}

} // namespace

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

// The data folder is the user's alone; one that an earlier version made
// wider is narrowed. A folder of another account is neither changed nor
// used: that account could replace whatever the client keeps there.
int InstanceLock::makeFolderPrivate()
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    int code = 0;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        code = errno;
    else if (st.st_uid != ::geteuid())
        error = QStringLiteral("the folder ") + dir +
                QStringLiteral(" belongs to another account (user id ") +
                QString::number(st.st_uid) + QLatin1Char(')');
    else if ((st.st_mode & 077) != 0 && ::fchmod(fd, st.st_mode & 0700) != 0)
        code = errno;
    if (fd >= 0)
        ::close(fd);
    if (code != 0)
        error = QStringLiteral("cannot make the folder ") + dir + QStringLiteral(" private: ") +
                utils::errnoText(code);
    return error.isEmpty() ? 0 : -1;
}

// A lock file that no process of this user holds is stale, whoever else
// holds a lock on it: QLockFile cannot remove it while another account that
// opened it read-only holds one, so it is removed by name (that account
// keeps the removed file) and a new one made. ours gets the holders that
// are this user's.
bool InstanceLock::replaceUnheld(QList<qint64>& ours)
{
    const QByteArray name = QFile::encodeName(file);
    struct stat st;
    QList<qint64> holders;
    if (::lstat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
        lockHolders(st.st_ino, holders) != 0)
        return false;
    for (qint64 pid : qAsConst(holders)) {
        if (ofThisUser(pid))
            ours << pid;
    }
    return ours.isEmpty() && ::unlink(name.constData()) == 0 && lock.tryLock(0);
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
    if (makeFolderPrivate() != 0)
        return -1;
    // Every start of this user decides under the guard, so the lock file is
    // made (and its owner written) before another start looks at it.
    const Guard guard(file + QStringLiteral(".guard"));
    // Made private at once, though the folder keeps others out.
    const auto taken = [this] {
        QString ignored;
        utils::makeFilePrivate(file, false, ignored);
        return 0;
    };
    QList<qint64> holders;
    // A lock whose owner is no longer running is removed and taken here.
    if (lock.tryLock(0) ||
        (guard.held && lock.error() == QLockFile::LockFailedError && replaceUnheld(holders)))
        return taken();
    QString host;
    QString appName;
    const bool ownerKnown =
        lock.error() == QLockFile::LockFailedError && lock.getLockInfo(&owner, &host, &appName);
    // A lock file without an owner (cut short by a crash) says nothing
    // about a running client; a running one still holds the file lock that
    // removing the file needs.
    if (lock.error() == QLockFile::LockFailedError && !ownerKnown && QFileInfo(file).isFile() &&
        lock.removeStaleLockFile() && lock.tryLock(0))
        return taken();
    if (!ownerKnown)
        owner = 0;
    // The one of this user that holds it, when the recorded owner does not.
    if (!holders.isEmpty() && !holders.contains(owner) && holders.first() > 0)
        owner = holders.first();
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
