#include "main/instancelock.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/utils.h"

namespace ORVO {

namespace {

// Opens the lock file or its guard without waiting (a FIFO would hold the
// start for ever in open()); only a regular file serves as either. The
// descriptor and its status, or -1: with problem naming what is there when
// that is something else, empty when nothing could be opened.
int openRegular(const QString& path, int flags, struct stat& st, QString& problem)
{
    problem.clear();
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    // A folder fails to open for writing or creating, but is no file either.
    if ((fd < 0 ? ::stat(name.constData(), &st) : ::fstat(fd, &st)) == 0 && !S_ISREG(st.st_mode))
        problem = path + QLatin1Char(' ') + utils::notRegular(st);
    if (fd >= 0 && !problem.isEmpty()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Held while a start decides about the lock file, so that no start of this
// user removes a lock file that another one has just made. It is only ever
// made inside the private data folder, so no other account can hold it.
class Guard
{
public:
    explicit Guard(const QString& path)
        : fd(openRegular(path, O_RDONLY | O_CREAT | O_NOFOLLOW, st, problem))
    {
        if (fd < 0 || st.st_uid != ::geteuid())
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
    // What is in its place when that is not a regular file.
    QString problem;

private:
    struct stat st = {};
    int fd;
};

// Whether a client of this user holds the lock file: one holds a write
// lock on it as well (InstanceLock::_markHeld), which only an account that
// may write the file can take, and which the kernel reports across process
// namespaces and without /proc. 1 or 0; -1 when it cannot be told.
int clientHolds(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct flock probe = {};
    probe.l_type = F_RDLCK;
    probe.l_whence = SEEK_SET;
    const int asked = ::fcntl(fd, F_OFD_GETLK, &probe);
    ::close(fd);
    return asked != 0 ? -1 : probe.l_type == F_WRLCK ? 1 : 0;
}

// The program that a process runs, as its /proc entry names it; one that
// was replaced since (an update) keeps its path.
QByteArray programOf(const QByteArray& proc)
{
    char target[4096];
    const QByteArray link = proc + "/exe";
    const ssize_t size = ::readlink(link.constData(), target, sizeof target);
    if (size <= 0 || size == ssize_t(sizeof target))
        return QByteArray();
    QByteArray path(target, int(size));
    if (path.endsWith(" (deleted)"))
        path.chop(10);
    return path;
}

// Whether pid is a client of this user that holds no write lock, one of an
// earlier version: a live process of this user that runs this very program,
// or one of the name the lock file records (QLockFile's own test), since
// that client may run from another place (another prefix, build tree or
// AppImage mount).
bool clientOfEarlierVersion(qint64 pid, const QString& appName)
{
    const QByteArray proc = "/proc/" + QByteArray::number(pid);
    struct stat st;
    if (pid <= 0 || ::stat(proc.constData(), &st) != 0 || st.st_uid != ::geteuid())
        return false;
    const QByteArray program = programOf(proc);
    return !program.isEmpty() && (program == programOf("/proc/self") ||
                                  QFileInfo(QFile::decodeName(program)).fileName() == appName);
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
    if (held >= 0)
        ::close(held);
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

// A lock file that no client of this user holds is stale, whoever else
// holds a lock on it: QLockFile cannot remove it while another account that
// opened it read-only holds one, so it is removed by name (that account
// keeps the removed file) and a new one made. Not while an earlier version
// of the client, its recorded owner, still runs.
bool InstanceLock::_replaceStale(bool ownerKnown, const QString& appName)
{
    const QByteArray name = QFile::encodeName(file);
    struct stat st;
    return ::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) && clientHolds(name) == 0 &&
           !(ownerKnown && clientOfEarlierVersion(owner, appName)) &&
           ::unlink(name.constData()) == 0 && lock.tryLock(0);
}

void InstanceLock::_markHeld()
{
    // Private at once, though the folder keeps others out.
    QString ignored;
    utils::makeFilePrivate(file, false, ignored);
    struct stat st;
    held = openRegular(file, O_RDWR | O_NOFOLLOW, st, ignored);
    struct flock mine = {};
    mine.l_type = F_WRLCK;
    mine.l_whence = SEEK_SET;
    if (held >= 0 && ::fcntl(held, F_OFD_SETLK, &mine) != 0) {
        ::close(held);
        held = -1;
    }
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
    // made, its owner written and its write lock taken before another start
    // looks at it.
    const Guard guard(file + QStringLiteral(".guard"));
    // Neither, nor the file that QLockFile makes beside a stale lock to
    // remove it, is opened by anyone before it is known to be a regular file.
    QString notFile = guard.problem;
    for (const QString& path : {file, QString(file + QStringLiteral(".rmlock"))}) {
        struct stat st;
        const int fd = notFile.isEmpty() ? openRegular(path, O_RDONLY, st, notFile) : -1;
        if (fd >= 0)
            ::close(fd);
    }
    if (!notFile.isEmpty()) {
        error =
            QStringLiteral("cannot create the lock file ") + file + QStringLiteral(": ") + notFile;
        return -1;
    }
    // A lock whose owner is no longer running is removed and taken here.
    if (lock.tryLock(0)) {
        _markHeld();
        return 0;
    }
    QString host;
    QString appName;
    const bool ownerKnown =
        lock.error() == QLockFile::LockFailedError && lock.getLockInfo(&owner, &host, &appName);
    // A lock file without an owner (cut short by a crash) says nothing
    // about a running client; a running one still holds the file lock that
    // removing the file needs.
    if ((guard.held && lock.error() == QLockFile::LockFailedError &&
         _replaceStale(ownerKnown, appName)) ||
        (lock.error() == QLockFile::LockFailedError && !ownerKnown && QFileInfo(file).isFile() &&
         lock.removeStaleLockFile() && lock.tryLock(0))) {
        _markHeld();
        return 0;
    }
    if (!ownerKnown)
        owner = 0;
    switch (lock.error()) {
    case QLockFile::LockFailedError:
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
