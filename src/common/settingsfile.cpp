#include "common/settingsfile.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>

#include "common/log.h"
#include "common/utils.h"
#include "libvelcor/utils.h"

namespace ORVO {
namespace utils {

namespace {

// Settings files are small: a larger one is not read into memory.
constexpr qint64 MaxSettingsSize = 16 * 1024 * 1024;

// The file that a write of the store replaces: a settings file that is a
// symbolic link stays one, and its target takes the new bytes (as Qt
// writes it).
QString settingsTarget(const QString& path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.absoluteFilePath();
}

// The scratch files of a write of target ("<name>.<pid>-<n>.…") that a
// process which has ended left behind, a crash: they may hold old values,
// a scrambled password among them. Looked for once per file and process.
void removeStaleCopies(const QString& target)
{
    static QSet<QString> looked;
    if (looked.contains(target))
        return;
    looked.insert(target);
    const QFileInfo info(target);
    const QString prefix = info.fileName() + QLatin1Char('.');
    const QDir dir(info.absolutePath());
    static const QRegularExpression scratch(QStringLiteral("^(\\d{1,9})-\\d+\\."));
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = name.startsWith(prefix)
                                              ? scratch.match(name.mid(prefix.size()))
                                              : QRegularExpressionMatch();
        const pid_t pid = m.hasMatch() ? m.captured(1).toInt() : 0;
        // Another user's process, or one that runs, keeps its files.
        if (pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        if (QFile::remove(dir.filePath(name)))
            LOG_DEBUG << "[Utils] removed the stale " << dir.filePath(name);
    }
}

// Every key of the store's own file (no system-wide store behind it) with
// its value.
QMap<QString, QVariant> settingsValues(QSettings& settings)
{
    settings.setFallbacksEnabled(false);
    QMap<QString, QVariant> values;
    const QStringList keys = settings.allKeys();
    for (const QString& key : keys)
        values.insert(key, settings.value(key));
    return values;
}

// What bytes hold for a store of this format, read afresh. Qt keeps what it
// read of a file by the file's name, and reads it again only when its size
// or time changed: the bytes go into an anonymous file of their own, which
// is emptied before it goes, so that no reading of it is kept.
int parseSettings(const QByteArray& bytes, QSettings::Format format,
                  QMap<QString, QVariant>& values)
{
    const int fd = ::memfd_create("settings", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    int rc = -1;
    if (done == bytes.size()) {
        QSettings parsed(QStringLiteral("/proc/self/fd/%1").arg(fd), format);
        if (parsed.status() == QSettings::NoError) {
            values = settingsValues(parsed);
            rc = 0;
        }
        if (::ftruncate(fd, 0) == 0)
            parsed.sync();
    }
    ::close(fd);
    return rc;
}

// Empty when written holds every key of expected with its value, else
// what differs.
QString settingsDiffer(const QMap<QString, QVariant>& expected,
                       const QMap<QString, QVariant>& written)
{
    if (written.size() != expected.size())
        return QStringLiteral("it reads back with %1 of %2 keys")
            .arg(written.size())
            .arg(expected.size());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const auto back = written.constFind(it.key());
        if (back == written.cend())
            return QStringLiteral("it reads back without the key ") + it.key();
        // Compared as the value in memory, so a written 8080 equals "8080";
        // an empty list is written as no value.
        const QVariant& value = it.value();
        const bool emptyList = (value.userType() == QMetaType::QStringList ||
                                value.userType() == QMetaType::QVariantList) &&
                               value.toList().isEmpty() && !back->isValid();
        if (value != *back && !emptyList)
            return QStringLiteral("it reads back without the value of ") + it.key();
    }
    return QString();
}

// Writes the store's file as it is on disk with the change made, to copy;
// empty when copy holds it whole, else why not.
QString writeSettingsCopy(const QSettings* settings, const QString& target, const QString& copy,
                          const QVariantMap& set, const QStringList& removed)
{
    const QByteArray name = QFile::encodeName(target);
    QByteArray bytes;
    QString why;
    struct stat st = {};
    if (::stat(name.constData(), &st) != 0) {
        const int code = errno;
        if (code != ENOENT)
            return QStringLiteral("it cannot be read: ") + errnoText(code);
    } else if (::access(name.constData(), W_OK) != 0) {
        // Qt would not replace it either.
        const int code = errno;
        return QStringLiteral("it cannot be written: ") + errnoText(code);
    } else if (readRegularFile(target, MaxSettingsSize, bytes, why) != 0) {
        return QStringLiteral("it ") + why;
    }
    // Private from the start: it may hold a scrambled password.
    libvelcor::utils::AtomicFile seed(copy);
    if (seed.open(QFileDevice::ReadOwner | QFileDevice::WriteOwner) != 0 ||
        seed.write(bytes) != 0 || seed.commit() != 0) {
        seed.cancel();
        QString reason = seed.errorString();
        if (!reason.isEmpty())
            reason[0] = reason.at(0).toLower();
        return QStringLiteral("its copy ") + copy + QStringLiteral(" cannot be written: ") + reason;
    }
    QMap<QString, QVariant> expected;
    {
        // Qt writes the copy as it writes a store; a failure it sees leaves
        // its changes pending in this store of the copy only, which goes.
        QSettings changed(copy, settings->format());
        if (settings->iniCodec())
            changed.setIniCodec(settings->iniCodec());
        // Its status keeps the first error for good: only a new one counts.
        const bool wasOk = changed.status() == QSettings::NoError;
        for (auto it = set.cbegin(); it != set.cend(); ++it)
            changed.setValue(it.key(), it.value());
        for (const QString& key : removed)
            changed.remove(key);
        changed.sync();
        if (wasOk && changed.status() != QSettings::NoError)
            return QStringLiteral("it cannot be written");
        expected = settingsValues(changed);
    }
    // A full disk can leave Qt's write short without a word, and Qt ignores
    // what the sync to the disk says.
    const int fd = ::open(QFile::encodeName(copy).constData(), O_RDONLY | O_CLOEXEC);
    const int synced = fd < 0 ? -1 : ::fsync(fd);
    const int code = errno;
    if (fd >= 0)
        ::close(fd);
    if (synced != 0)
        return QStringLiteral("it cannot be written: ") + errnoText(code);
    QByteArray written;
    QMap<QString, QVariant> back;
    if (readRegularFile(copy, MaxSettingsSize, written, why) != 0)
        return QStringLiteral("it cannot be read back: it ") + why;
    if (parseSettings(written, settings->format(), back) != 0)
        return QStringLiteral("it does not read back");
    return settingsDiffer(expected, back);
}

// Qt reads a store's file again only when its size or its time, in
// milliseconds, changed: the new file must not look like the one it
// replaces.
void markNewer(const QByteArray& copy, const QByteArray& target)
{
    struct stat now = {};
    struct stat old = {};
    if (::stat(target.constData(), &old) != 0 || ::stat(copy.constData(), &now) != 0 ||
        now.st_size != old.st_size || now.st_mtim.tv_sec != old.st_mtim.tv_sec ||
        now.st_mtim.tv_nsec / 1000000 != old.st_mtim.tv_nsec / 1000000)
        return;
    struct timespec times[2] = {{0, UTIME_OMIT}, old.st_mtim};
    times[1].tv_nsec = (times[1].tv_nsec / 1000000 + 1) * 1000000;
    if (times[1].tv_nsec >= 1000000000) {
        times[1].tv_nsec -= 1000000000;
        ++times[1].tv_sec;
    }
    ::utimensat(AT_FDCWD, copy.constData(), times, 0);
}

// Makes one change to the store's file: the values of set written, the
// keys of removed gone (keys as seen from the store's open group). The
// store is never changed in memory, where Qt would keep a change that it
// failed to write and write it later unchecked (when the store goes, or
// another store of the same file is made): the change is made on a copy
// of the file, which replaces the file only once it reads back whole; then
// the store reads the file again. On -1 (an ERROR line) the file is as it
// was, and nothing waits in the store.
int settingsChange(QSettings* settings, const QVariantMap& set, const QStringList& removed)
{
    const QString path = settings->fileName();
    const QString target = settingsTarget(path);
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(target).absolutePath())) {
        LOG_ERROR << "[Utils] no folder for the settings file " << path;
        return -1;
    }
    removeStaleCopies(target);
    const QString prefix = settings->group().isEmpty() ? QString() : settings->group() + '/';
    QVariantMap fullSet;
    for (auto it = set.cbegin(); it != set.cend(); ++it)
        fullSet.insert(prefix + it.key(), it.value());
    QStringList fullRemoved;
    for (const QString& key : removed)
        fullRemoved << prefix + key;
    static int serial = 0;
    const QString copy = target + QStringLiteral(".%1-%2.new").arg(::getpid()).arg(++serial);
    const QByteArray copyName = QFile::encodeName(copy);
    const QByteArray targetName = QFile::encodeName(target);
    QString problem = writeSettingsCopy(settings, target, copy, fullSet, fullRemoved);
    if (problem.isEmpty()) {
        markNewer(copyName, targetName);
        if (::rename(copyName.constData(), targetName.constData()) != 0) {
            const int code = errno;
            problem = QStringLiteral("it cannot be replaced: ") + errnoText(code);
        }
    }
    if (!problem.isEmpty()) {
        ::unlink(copyName.constData());
        LOG_ERROR << "[Utils] the settings file " << path << " was not written: " << problem;
        return -1;
    }
    settings->sync();
    return 0;
}

} // namespace

int settingsMakePrivate(QSettings* settings)
{
    if (!settings) {
        LOG_ERROR;
        return -1;
    }
    const QString path = settings->fileName();
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath())) {
        LOG_ERROR << "[Utils] no folder for the settings file " << path;
        return -1;
    }
    removeStaleCopies(settingsTarget(path));
    QString problem;
    if (makeFilePrivate(path, true, problem) != 0) {
        LOG_ERROR << "[Utils] " << problem;
        return -1;
    }
    return 0;
}

int settingsSetSync(QSettings* settings, const QString& key, const QVariant& value)
{
    if (!settings || key.isEmpty()) {
        LOG_ERROR;
        return -1;
    }
    // Compared as the new value's type, so a stored "8080" equals 8080.
    if (value == settings->value(key, QVariant()))
        return 0;
    return settingsChange(settings, QVariantMap{{key, value}}, QStringList());
}

int settingsRemoveSync(QSettings* settings, const QStringList& keys)
{
    if (!settings) {
        LOG_ERROR;
        return -1;
    }
    // Only what this file holds: a system-wide value cannot go.
    const bool fallbacks = settings->fallbacksEnabled();
    settings->setFallbacksEnabled(false);
    QStringList held;
    for (const QString& key : keys) {
        if (!key.isEmpty() && settings->contains(key))
            held << key;
    }
    settings->setFallbacksEnabled(fallbacks);
    return held.isEmpty() ? 0 : settingsChange(settings, QVariantMap(), held);
}

QString settingsWriteFailure(const QSettings* settings)
{
    const QString path = settings ? settingsTarget(settings->fileName()) : QString();
    if (path.isEmpty())
        return QStringLiteral("no settings file");
    const QString dir = QFileInfo(path).absolutePath();
    if (!QFileInfo(dir).isDir())
        return mkpathFailure(dir);
    const QByteArray name = QFile::encodeName(path);
    // Not blocking: a FIFO in its place must not hold the program.
    const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    const int openCode = errno;
    if (fd < 0 && openCode != ENOENT)
        return QStringLiteral("cannot write the file ") + path + QStringLiteral(": ") +
               errnoText(openCode);
    if (fd >= 0)
        ::close(fd);
    // The store writes a new file beside the old one and renames it over:
    // the folder must take a file, and the disk its bytes.
    QByteArray probe = QFile::encodeName(dir + QStringLiteral("/.settings-XXXXXX"));
    const int pfd = ::mkstemp(probe.data());
    int code = pfd < 0 ? errno : 0;
    if (pfd >= 0) {
        // More than a settings file takes: a disk with a block or two free
        // refused the write as well.
        const QByteArray block(64 * 1024, '\n');
        errno = 0;
        if (::write(pfd, block.constData(), block.size()) != block.size())
            code = errno != 0 ? errno : ENOSPC; // a short write: the disk is full
        else if (::fsync(pfd) != 0)
            code = errno;
        ::close(pfd);
        ::unlink(probe.constData());
    }
    if (code != 0)
        return QStringLiteral("cannot write into the folder ") + dir + QStringLiteral(": ") +
               errnoText(code);
    return QStringLiteral("cannot write the file ") + path + QStringLiteral(": reason unknown");
}

} // namespace utils
} // namespace ORVO
