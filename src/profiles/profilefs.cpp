#include "profiles/profilefs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libvelcor/utils.h>

#include "common/utils.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ORVO {
namespace profilefs {

namespace {

constexpr qint64 ChunkSize = 64 * 1024;

const QFileDevice::Permissions PrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
const QFileDevice::Permissions PrivateDir =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

} // namespace

bool entryExists(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool isSymLink(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0 &&
           S_ISLNK(st.st_mode);
}

bool isReadableFile(const QString& path)
{
    struct stat st;
    const QByteArray name = QFile::encodeName(path);
    return !path.isEmpty() && ::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(name.constData(), R_OK) == 0;
}

bool isNonRegular(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 &&
           !S_ISREG(st.st_mode);
}

int readRegularFile(const QString& path, qint64 maxSize, QByteArray& bytes)
{
    bytes.clear();
    if (path.isEmpty())
        return -1;
    // Opened without blocking, so that a FIFO without a writer cannot hold
    // the caller; the type is then checked on what was opened.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    int result = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= maxSize) {
        QFile file;
        if (file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
            // One byte more than it had, to see it grow past the limit.
            bytes = file.read(qMin<qint64>(st.st_size, maxSize) + 1);
            result = file.error() == QFileDevice::NoError && bytes.size() <= maxSize ? 0 : -1;
        }
    }
    ::close(fd);
    if (result != 0)
        bytes.clear();
    return result;
}

int removeTree(const QString& path)
{
    if (path.isEmpty()) {
        errno = EINVAL;
        return -1;
    }
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? 0 : -1;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(name.constData()) == 0 || errno == ENOENT ? 0 : -1;
    // The names first, the folder closed, so that a failure below keeps
    // its errno to the caller.
    DIR* handle = ::opendir(name.constData());
    if (!handle)
        return -1;
    QStringList children;
    errno = 0;
    while (const dirent* entry = ::readdir(handle)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            children << QFile::decodeName(entry->d_name);
    }
    const int listError = errno;
    ::closedir(handle);
    if (listError != 0) {
        errno = listError;
        return -1;
    }
    for (const QString& child : qAsConst(children)) {
        if (removeTree(path + QLatin1Char('/') + child) != 0)
            return -1;
    }
    return ::rmdir(name.constData()) == 0 ? 0 : -1;
}

int moveEntry(const QString& from, const QString& to, bool* renamed)
{
    if (renamed)
        *renamed = false;
    if (from.isEmpty() || to.isEmpty())
        return -1;
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
    bool moved = false;
#if defined(RENAME_NOREPLACE)
    moved =
        ::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0;
    if (!moved && errno != EINVAL && errno != ENOSYS)
        return -1;
#endif
    // A file system without no-replace renames: test first. A plain rename
    // would silently replace an empty directory.
    if (!moved && (entryExists(to) || ::rename(src.constData(), dst.constData()) != 0))
        return -1;
    if (renamed)
        *renamed = true;
    // Until both folders are on the disk, a power loss can undo the move.
    const QString toDir = QFileInfo(to).absolutePath();
    const QString fromDir = QFileInfo(from).absolutePath();
    if (libvelcor::utils::syncDir(toDir) != 0)
        return -1;
    return fromDir == toDir ? 0 : libvelcor::utils::syncDir(fromDir);
}

int makePrivateDir(const QString& dir)
{
    if (dir.isEmpty() || !QDir().mkpath(dir))
        return -1;
    return QFile::setPermissions(dir, PrivateDir) ? 0 : -1;
}

int makePrivateFile(const QString& path)
{
    return QFile::setPermissions(path, PrivateFile) ? 0 : -1;
}

int copyToNew(const QString& from, const QString& to, QString& problem)
{
    problem.clear();
    if (!QFileInfo(from).isFile()) {
        problem = failureText(from, QStringLiteral("not a file"));
        return -1;
    }
    // A source that cannot be read is named as it is, not as its copy.
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        problem = failureText(from, source.errorString());
        return -1;
    }
    // A new file only: never over an entry of that name.
    if (entryExists(to)) {
        problem = failureText(to, QString::fromLocal8Bit(std::strerror(EEXIST)));
        return -1;
    }
    libvelcor::utils::AtomicFile target(to);
    if (target.open(PrivateFile) != 0)
        problem = failureText(to, target.errorString());
    while (problem.isEmpty()) {
        const QByteArray chunk = source.read(ChunkSize);
        if (chunk.isEmpty()) {
            if (source.error() != QFileDevice::NoError || !source.atEnd())
                problem = failureText(from, source.errorString());
            break;
        }
        if (target.write(chunk) != 0)
            problem = failureText(to, target.errorString());
    }
    if (problem.isEmpty() && target.commit() != 0)
        problem = failureText(to, target.errorString());
    if (!problem.isEmpty()) {
        target.cancel();
        return -1;
    }
    return 0;
}

bool sameContent(const QString& a, const QString& b)
{
    const QFileInfo ia(a);
    const QFileInfo ib(b);
    if (!ia.isFile() || !ib.isFile() || ia.size() != ib.size())
        return false;
    QFile fa(a);
    QFile fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    for (;;) {
        const QByteArray ca = fa.read(ChunkSize);
        const QByteArray cb = fb.read(ChunkSize);
        if (ca != cb)
            return false;
        if (ca.isEmpty())
            return fa.error() == QFileDevice::NoError && fb.error() == QFileDevice::NoError;
    }
}

QString lastComponent(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString failureText(const QString& path)
{
    const int error = errno;
    return failureText(path, error != 0 ? utils::errnoText(error) : QString());
}

QString failureText(const QString& path, const QString& reason)
{
    QString text = reason.isEmpty() ? QStringLiteral("unknown error") : reason;
    text[0] = text.at(0).toLower();
    return QStringLiteral("%1 (%2)").arg(text, path);
}

int checkListable(const QString& dir, QString& reason)
{
    // A listing through QDir says nothing when it fails: it is only empty.
    DIR* handle = ::opendir(QFile::encodeName(dir).constData());
    if (!handle) {
        reason = failureText(dir);
        return -1;
    }
    ::closedir(handle);
    return 0;
}

} // namespace profilefs
} // namespace ORVO
