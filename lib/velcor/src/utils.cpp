#include "libvelcor/utils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace libvelcor {
namespace utils {

namespace {

DirSyncHook dirSyncHook = nullptr;

} // namespace

void setDirSyncHook(DirSyncHook hook)
{
    dirSyncHook = hook;
}

int syncDir(const QString& dir, QString* error)
{
    int code = dirSyncHook ? dirSyncHook(dir) : 0;
    if (code == 0) {
        const int fd =
            ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        // As PostgreSQL does: a folder that cannot be opened to read (-wx)
        // or a file system without a sync of folders is as synced as it gets.
        if (fd < 0)
            code = errno == EACCES ? 0 : errno;
        else if (::fsync(fd) != 0)
            code = errno == EINVAL || errno == EBADF ? 0 : errno;
        if (fd >= 0)
            ::close(fd);
    }
    if (code == 0)
        return 0;
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(code));
    errno = code;
    return -1;
}

int writeAll(QFileDevice& file, const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.write(data + done, size - done);
        if (n <= 0)
            return -1;
        done += n;
    }
    return 0;
}

AtomicFile::AtomicFile(const QString& path) : file(path) {}

int AtomicFile::fail(const QString& reason)
{
    if (error.isEmpty())
        error = reason.isEmpty() ? QStringLiteral("Unknown error") : reason;
    return -1;
}

int AtomicFile::open(QFileDevice::Permissions perms)
{
    error.clear();
    // The new file would replace what the name leads to: a device or a FIFO
    // (a log saved to /dev/null by root) would be gone. A folder is refused
    // by the save itself.
    struct stat st = {};
    if (::stat(QFile::encodeName(file.fileName()).constData(), &st) == 0 && !S_ISREG(st.st_mode) &&
        !S_ISDIR(st.st_mode))
        return fail(QStringLiteral("Not a regular file"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    if (perms && !file.setPermissions(perms)) {
        fail(file.errorString());
        cancel();
        return -1;
    }
    return 0;
}

int AtomicFile::write(const char* data, qint64 size)
{
    if (!error.isEmpty())
        return -1;
    if (!file.isOpen())
        return fail(QStringLiteral("The file is not open"));
    // A short write alone would leave the file open for a commit.
    return writeAll(file, data, size) == 0 ? 0 : fail(file.errorString());
}

int AtomicFile::commit()
{
    if (!file.isOpen())
        return fail(QStringLiteral("The file is not open"));
    if (!error.isEmpty()) {
        cancel();
        return -1;
    }
    // Qt syncs too, but ignores the result: a file system that reports a
    // full disk only now must still fail the commit.
    if (::fsync(file.handle()) != 0) {
        fail(QString::fromLocal8Bit(std::strerror(errno)));
        cancel();
        return -1;
    }
    if (!file.commit())
        return fail(file.errorString());
    // QSaveFile renamed the file over the end of any chain of links.
    const QFileInfo placed(file.fileName());
    const QString real = placed.canonicalFilePath();
    QString reason;
    if (syncDir(real.isEmpty() ? placed.absolutePath() : QFileInfo(real).absolutePath(), &reason) !=
        0)
        return fail(reason);
    return 0;
}

void AtomicFile::cancel()
{
    if (!file.isOpen())
        return;
    file.cancelWriting();
    // Removes the temporary file now, not when this object goes.
    file.commit();
}

int bytes2File(const QByteArray& bytes, const QString& path, QString* error)
{
    AtomicFile file(path);
    const int rc = file.open() == 0 && file.write(bytes) == 0 && file.commit() == 0 ? 0 : -1;
    if (rc != 0) {
        file.cancel();
        if (error)
            *error = file.errorString();
    }
    return rc;
}

int rmRec(const QString& path)
{
    if (path.isEmpty())
        return -1;
    const QFileInfo info(path);
    // A link is removed itself; its target is left alone.
    if (info.isSymLink())
        return QFile::remove(path) ? 0 : -1;
    if (!info.exists())
        return 0;
    if (!info.isDir())
        return QFile::remove(path) ? 0 : -1;
    // QDir::removeRecursively removes links inside the tree without
    // following them.
    return QDir(path).removeRecursively() ? 0 : -1;
}

} // namespace utils
} // namespace libvelcor
