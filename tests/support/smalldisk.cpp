#include "smalldisk.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace orvotest {

SmallDisk::SmallDisk(const QString& dir_, int pages) : dir(dir_)
{
    if (::geteuid() != 0) {
        why = QStringLiteral("mounting a small file system needs root");
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(pages * BlockSize) + ",mode=0755";
    if (!QDir().mkpath(dir) || ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs",
                                       MS_NOSUID | MS_NODEV, options.constData()) != 0) {
        why = QStringLiteral("cannot mount a tmpfs at ") + dir + QStringLiteral(": ") +
              QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    mounted = true;
}

SmallDisk::~SmallDisk()
{
    // Detached even while a file in it is still open.
    if (mounted)
        ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
}

bool SmallDisk::fill()
{
    if (!mounted)
        return false;
    const int fd = ::open(QFile::encodeName(dir + QStringLiteral("/filler")).constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    static const char block[BlockSize] = {};
    while (::write(fd, block, BlockSize) == BlockSize) {
    }
    const bool full = errno == ENOSPC;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    // One block given back: exactly that much is free now.
    const bool ok = full && size >= BlockSize && ::ftruncate(fd, size - BlockSize) == 0;
    ::close(fd);
    return ok;
}

} // namespace orvotest
