#include "common/settingsfile.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
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
// How long a write waits while another process writes the file.
constexpr int LockWaitMs = 3000;

using Values = QMap<QString, QVariant>;

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

// The scratch files of a write of target that a process which has ended
// left behind, a crash: the copy "<name>.<pid>-<n>.new" and what Qt makes
// beside it as it writes the copy (its lock, its temporary file). They may
// hold old values, a scrambled password among them. Looked for once per
// file and process.
void removeStaleCopies(const QString& target)
{
    static QSet<QString> looked;
    if (looked.contains(target))
        return;
    looked.insert(target);
    const QFileInfo info(target);
    const QString prefix = info.fileName() + QLatin1Char('.');
    const QDir dir(info.absolutePath());
    static const QRegularExpression scratch(
        QStringLiteral("^(\\d{1,9})-\\d+\\.new(\\.lock|\\.[A-Za-z0-9]{6})?$"));
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

// A key as Qt keeps it: no slash at either end, none doubled.
QString normalKey(const QString& key)
{
    return key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

// Every key of the store's own file (no system-wide store behind it) with
// its value. A key of a hand-edited file that Qt cannot look up ("/a",
// a group "[/g]") is left out: Qt writes it in another form.
Values settingsValues(QSettings& settings)
{
    settings.setFallbacksEnabled(false);
    Values values;
    const QStringList keys = settings.allKeys();
    for (const QString& key : keys) {
        if (key == normalKey(key))
            values.insert(key, settings.value(key));
    }
    return values;
}

// What bytes hold for a store like this one, read afresh as Qt reads them
// (a line it cannot read is left out). Qt keeps what it read of a file by
// the file's name, and reads it again only when its size or time changed:
// the bytes go into an anonymous file of their own, which is emptied
// before it goes, so that no reading of it is kept.
int parseSettings(const QByteArray& bytes, const QSettings* like, Values& values)
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
        QSettings parsed(QStringLiteral("/proc/self/fd/%1").arg(fd), like->format());
        if (like->iniCodec())
            parsed.setIniCodec(like->iniCodec());
        // A format error leaves out what Qt cannot read, as Qt's own stores do.
        if (parsed.status() != QSettings::AccessError) {
            values = settingsValues(parsed);
            rc = 0;
        }
        if (::ftruncate(fd, 0) == 0)
            parsed.sync();
    }
    ::close(fd);
    return rc;
}

// True when a value read back from a file is the one written: compared as
// the value in memory, so a written 8080 equals "8080"; an empty list is
// written as no value.
bool sameValue(const QVariant& written, const QVariant& back)
{
    const bool emptyList = (written.userType() == QMetaType::QStringList ||
                            written.userType() == QMetaType::QVariantList) &&
                           written.toList().isEmpty() && !back.isValid();
    return emptyList || written == back;
}

// True when values hold neither key nor a key below it.
bool holdsNone(const Values& values, const QString& key)
{
    if (values.contains(key))
        return false;
    const QString group = key + QLatin1Char('/');
    const auto below = values.lowerBound(group);
    return below == values.cend() || !below.key().startsWith(group);
}

// One change of a settings file: values to set and keys to remove (with
// what lies below them), by whole keys as Qt keeps them.
struct Change
{
    Values set;
    QStringList removed;

    bool isEmpty() const { return set.isEmpty() && removed.isEmpty(); }

    // The part of the change that a file holding these values lacks.
    Change missingIn(const Values& held) const
    {
        Change rest;
        for (auto it = set.cbegin(); it != set.cend(); ++it) {
            // Compared as the new value's type, so a stored "8080" equals 8080.
            if (it.value() != held.value(it.key()))
                rest.set.insert(it.key(), it.value());
        }
        for (const QString& key : removed) {
            if (held.contains(key))
                rest.removed << key;
        }
        return rest;
    }

    // The fewest bytes a file of before with the change made takes: each
    // key and each text at least a byte a character, whatever the escapes,
    // and each entry a line of its own.
    qint64 leastSize(const Values& before) const
    {
        const auto least = [](const QString& key, const QVariant& value) {
            qint64 size = key.size() + 2;
            if (value.type() == QVariant::StringList) {
                for (const QString& item : value.toStringList())
                    size += item.size();
            } else if (value.type() == QVariant::String || value.type() == QVariant::ByteArray) {
                size += value.type() == QVariant::String ? value.toString().size()
                                                         : value.toByteArray().size();
            }
            return size;
        };
        qint64 size = 0;
        for (auto it = set.cbegin(); it != set.cend(); ++it)
            size += least(it.key(), it.value());
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (!set.contains(it.key()) && !removes(it.key()))
                size += least(it.key(), it.value());
        }
        return size;
    }

    bool removes(const QString& key) const
    {
        for (const QString& gone : removed) {
            if (key == gone || key.startsWith(gone + QLatin1Char('/')))
                return true;
        }
        return false;
    }

    // True when back, read from the written file, holds the change made to
    // before: the changed keys as set, every other key as read before.
    bool isMadeIn(const Values& before, const Values& back) const
    {
        for (auto it = set.cbegin(); it != set.cend(); ++it) {
            if (!sameValue(it.value(), back.value(it.key())))
                return false;
        }
        for (const QString& key : removed) {
            if (!holdsNone(back, key))
                return false;
        }
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (set.contains(it.key()) || removes(it.key()))
                continue;
            const auto kept = back.constFind(it.key());
            if (kept == back.cend() || *kept != it.value())
                return false;
        }
        return true;
    }
};

// Why Qt's write of a settings file failed, or left it short, where Qt
// gives no reason: a disk without room for the file (the old bytes, the new
// values with room for their escapes) and its lock, or no more than that
// the file did not reach the disk whole.
QString writeFailure(const QString& folder, const QByteArray& old, const Values& set)
{
    qint64 need = old.size();
    for (auto it = set.cbegin(); it != set.cend(); ++it) {
        QByteArray value;
        QDataStream stream(&value, QIODevice::WriteOnly);
        stream << it.value();
        need += 4 * (it.key().size() + value.size());
    }
    struct statvfs fs = {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) == 0) {
        const bool root = ::geteuid() == 0;
        const quint64 blocks = root ? fs.f_bfree : fs.f_bavail;
        const quint64 inodes = root ? fs.f_ffree : fs.f_favail;
        if ((blocks < 2 || (blocks - 2) * fs.f_frsize < quint64(need)) ||
            (fs.f_files > 0 && inodes < 2))
            return errnoText(ENOSPC);
    }
    return QStringLiteral("the written file was incomplete");
}

// Writes bytes, the settings file as it is, with the change made to copy
// as Qt writes a store, and checks what reached the disk against before,
// the file as Qt read it; empty when copy holds it whole, else why not.
QString writeSettingsCopy(const QSettings* settings, const QByteArray& bytes, const QString& copy,
                          const Change& change, const Values& before)
{
    // Private from the start: it may hold a scrambled password.
    libvelcor::utils::AtomicFile seed(copy);
    if (seed.open(QFileDevice::ReadOwner | QFileDevice::WriteOwner) != 0 ||
        seed.write(bytes) != 0 || seed.commit() != 0) {
        seed.cancel();
        QString reason = seed.errorString();
        if (!reason.isEmpty())
            reason[0] = reason.at(0).toLower();
        return reason;
    }
    {
        // Qt writes the copy as it writes a store, and drops a line that it
        // cannot read (a file cut inside a key). What its status says is
        // not needed: a write that it refused or left short reads back
        // without the change. A failure leaves the change pending in this
        // store of the copy only, which goes.
        QSettings changed(copy, settings->format());
        if (settings->iniCodec())
            changed.setIniCodec(settings->iniCodec());
        for (auto it = change.set.cbegin(); it != change.set.cend(); ++it)
            changed.setValue(it.key(), it.value());
        for (const QString& key : change.removed)
            changed.remove(key);
        changed.sync();
    }
    // A full disk can leave Qt's write short without a word, and Qt ignores
    // what the sync to the disk says.
    const int fd = ::open(QFile::encodeName(copy).constData(), O_RDONLY | O_CLOEXEC);
    const int synced = fd < 0 ? -1 : ::fsync(fd);
    const int code = errno;
    if (fd >= 0)
        ::close(fd);
    if (synced != 0)
        return errnoText(code);
    QByteArray written;
    QString why;
    Values back;
    if (readRegularFile(copy, MaxSettingsSize, written, why) != 0 ||
        parseSettings(written, settings, back) != 0 || !change.isMadeIn(before, back))
        return writeFailure(QFileInfo(copy).absolutePath(), bytes, change.set);
    return QString();
}

// Qt reads a store's file again only when its size or its time, in
// milliseconds, differs from what it read: the new file must not look like
// the one it replaces. A file system that keeps whole seconds (ext3, ext4
// with small inodes, NFS) or two (FAT) drops a millisecond more, so the
// time goes on by seconds until the file shows it.
void markNewer(const QByteArray& copy, const QByteArray& target)
{
    struct stat old = {};
    if (::stat(target.constData(), &old) != 0)
        return;
    for (int step = 0; step < 4; ++step) {
        struct stat now = {};
        if (::stat(copy.constData(), &now) != 0 || now.st_size != old.st_size ||
            now.st_mtim.tv_sec != old.st_mtim.tv_sec ||
            now.st_mtim.tv_nsec / 1000000 != old.st_mtim.tv_nsec / 1000000)
            return;
        struct timespec times[2] = {{0, UTIME_OMIT}, {old.st_mtim.tv_sec + step, 0}};
        if (step == 0)
            times[1].tv_nsec = (old.st_mtim.tv_nsec / 1000000 + 1) * 1000000;
        if (times[1].tv_nsec >= 1000000000) {
            times[1].tv_nsec -= 1000000000;
            ++times[1].tv_sec;
        }
        ::utimensat(AT_FDCWD, copy.constData(), times, 0);
    }
}

// True when the store reads the values of set and none of the keys of
// removed from its own file.
bool storeHolds(QSettings* settings, const QVariantMap& set, const QStringList& removed)
{
    const bool fallbacks = settings->fallbacksEnabled();
    settings->setFallbacksEnabled(false);
    bool holds = true;
    for (auto it = set.cbegin(); holds && it != set.cend(); ++it)
        holds = sameValue(it.value(), settings->value(it.key()));
    for (const QString& key : removed)
        holds = holds && !settings->contains(key);
    settings->setFallbacksEnabled(fallbacks);
    return holds;
}

// Makes one change to the store's file: the values of set written, the
// keys of removed gone (keys as seen from the store's open group). The
// store is never changed in memory, where Qt would keep a change that it
// failed to write and write it later unchecked (when the store goes, or
// another store of the same file is made): under the lock that Qt's stores
// take to write the file, the change is made on a copy of the file, which
// replaces the file only once it reads back whole; then the store reads
// the file again. 0 when the file holds the change (nothing is written
// when it did already); -1 with problem, for the user, the file as it was
// and nothing waiting in the store.
int changeSettingsFile(QSettings* settings, const QVariantMap& set, const QStringList& removed,
                       QString& problem)
{
    const QString path = settings->fileName();
    if (path.isEmpty()) {
        problem = QStringLiteral("the settings have no file");
        return -1;
    }
    const QString target = settingsTarget(path);
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder)) {
        problem = mkpathFailure(folder);
        return -1;
    }
    removeStaleCopies(target);
    const QByteArray targetName = QFile::encodeName(target);
    struct stat st = {};
    // Another process's change is not lost. Where no lock file can be made
    // at all (a full disk, a folder that cannot be written), the write goes
    // on and finds the reason itself.
    QLockFile lock(QFileInfo(path).absoluteFilePath() + QStringLiteral(".lock"));
    const QString inUse = QStringLiteral("the settings file ") + path +
                          QStringLiteral(" is in use by another program");
    // What other processes wrote is seen by the store too. Not under the
    // lock: a change that the store holds unsaved (setValue) goes out now,
    // as Qt would write it anyway, and Qt's write would wait for ever for
    // a lock that this process holds; Qt waits for ever for a live holder
    // too, so the lock is tried first within a bound. Not from a FIFO,
    // which Qt's read waits on.
    if (!lock.tryLock(LockWaitMs) && lock.error() == QLockFile::LockFailedError) {
        problem = inUse;
        return -1;
    }
    lock.unlock();
    if (::stat(targetName.constData(), &st) != 0 || S_ISREG(st.st_mode))
        settings->sync();
    if (!lock.tryLock(LockWaitMs) && lock.error() == QLockFile::LockFailedError) {
        problem = inUse;
        return -1;
    }
    QByteArray bytes;
    QString why;
    const bool exists = ::stat(targetName.constData(), &st) == 0 || errno != ENOENT;
    if (exists && readRegularFile(target, MaxSettingsSize, bytes, why) != 0) {
        problem = QStringLiteral("the settings file ") + target + QLatin1Char(' ') + why;
        return -1;
    }
    // Decided by what the file holds, not by what the store read of it.
    Values before;
    if (parseSettings(bytes, settings, before) != 0) {
        problem = QStringLiteral("the settings file ") + target + QStringLiteral(" cannot be read");
        return -1;
    }
    const QString prefix = settings->group().isEmpty() ? QString() : settings->group() + '/';
    Change wanted;
    for (auto it = set.cbegin(); it != set.cend(); ++it)
        wanted.set.insert(normalKey(prefix + it.key()), it.value());
    for (const QString& key : removed)
        wanted.removed << normalKey(prefix + key);
    const Change change = wanted.missingIn(before);
    if (change.isEmpty())
        return 0;
    // A file that could not be read back is not written at all.
    if (change.leastSize(before) > MaxSettingsSize) {
        problem = QStringLiteral("the settings file ") + target +
                  QStringLiteral(" would grow past %1 MiB").arg(MaxSettingsSize >> 20);
        return -1;
    }

    const QString cannotWrite = QStringLiteral("cannot write the settings file ") + target + ": ";
    // Qt would not replace it either.
    if (exists && ::access(targetName.constData(), W_OK) != 0) {
        const int code = errno;
        problem = cannotWrite + errnoText(code);
        return -1;
    }
    static int serial = 0;
    const QString copy = target + QStringLiteral(".%1-%2.new").arg(::getpid()).arg(++serial);
    const QByteArray copyName = QFile::encodeName(copy);
    problem = writeSettingsCopy(settings, bytes, copy, change, before);
    if (!problem.isEmpty()) {
        problem.prepend(cannotWrite);
    } else {
        markNewer(copyName, targetName);
        if (::rename(copyName.constData(), targetName.constData()) != 0) {
            const int code = errno;
            problem = QStringLiteral("cannot replace the settings file ") + target + ": " +
                      errnoText(code);
        } else if (libvelcor::utils::syncDir(folder) != 0) {
            // The file holds the change, which a power loss may yet undo:
            // the store reads it, and the write counts as failed.
            problem = cannotWrite + errnoText(errno);
            lock.unlock();
            settings->sync();
            return -1;
        }
    }
    if (!problem.isEmpty()) {
        ::unlink(copyName.constData());
        return -1;
    }
    // Qt's store writes its own pending change under this lock: never
    // synced while it is held.
    lock.unlock();
    settings->sync();
    if (!storeHolds(settings, set, removed))
        LOG_ERROR << "[Utils] the settings file " << target
                  << " was written, but is not read again";
    return 0;
}

int settingsChange(QSettings* settings, const QVariantMap& set, const QStringList& removed,
                   QString* why)
{
    QString problem;
    if (changeSettingsFile(settings, set, removed, problem) == 0)
        return 0;
    LOG_ERROR << "[Utils] settings not saved: " << problem;
    if (why)
        *why = problem;
    return -1;
}

bool readNothing(QIODevice&, QSettings::SettingsMap&)
{
    return true;
}

bool writeNothing(QIODevice&, const QSettings::SettingsMap&)
{
    return false;
}

} // namespace

int settingsGuardFiles(const QString& organization, const QString& application, QString& problem)
{
    problem.clear();
    // Qt names a store's file only once the store has read it: a store of a
    // format of its own reads files that are not there, in the same folders.
    static const QString probeSuffix = QStringLiteral("settings-probe");
    static const QSettings::Format probe =
        QSettings::registerFormat(probeSuffix, readNothing, writeNothing);
    const QString tail =
        organization + QLatin1Char('/') + application + QLatin1Char('.') + probeSuffix;
    const auto rootOf = [&](QSettings::Scope scope) {
        QString path = QSettings(probe, scope, organization, application).fileName();
        return path.endsWith(tail) ? path.left(path.size() - tail.size()) : QString();
    };
    // The system's files are read by the stores of both scopes, in every
    // folder of XDG_CONFIG_DIRS (the first of them is Qt's system path).
    QStringList systemRoots{rootOf(QSettings::SystemScope)};
    for (const QString& dir : QFile::decodeName(qgetenv("XDG_CONFIG_DIRS"))
                                  .split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString root = QDir::cleanPath(dir) + QLatin1Char('/');
        if (!systemRoots.contains(root))
            systemRoots << root;
    }
    const QList<QPair<QSettings::Scope, QStringList>> scopes{
        {QSettings::UserScope, {rootOf(QSettings::UserScope)}},
        {QSettings::SystemScope, systemRoots}};
    for (const auto& scope : scopes) {
        bool redirected = false;
        for (const QString& root : scope.second) {
            for (const QString& name :
                 {QString(organization + QLatin1Char('/') + application), organization}) {
                const QString path = root + name + QStringLiteral(".conf");
                struct stat st = {};
                if (root.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 ||
                    S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))
                    continue;
                // Says what it is without opening it.
                QByteArray none;
                QString what;
                readRegularFile(path, 0, none, what);
                if (!problem.isEmpty())
                    problem += QStringLiteral("; ");
                problem +=
                    QStringLiteral("the settings file ") + path + QLatin1Char(' ') + what +
                    (scope.first == QSettings::UserScope
                         ? QStringLiteral(": the settings are the defaults, and are not saved")
                         : QStringLiteral(": the system's settings are not read"));
                // The scope's stores look below it, where nothing can be read.
                QSettings::setPath(QSettings::NativeFormat, scope.first, path);
                QSettings::setPath(QSettings::IniFormat, scope.first, path);
                redirected = true;
                break;
            }
            if (redirected)
                break;
        }
    }
    return problem.isEmpty() ? 0 : -1;
}

int settingsMakePrivate(QSettings* settings)
{
    if (!settings) {
        LOG_ERROR;
        return -1;
    }
    const QString path = settings->fileName();
    if (path.isEmpty()) {
        LOG_ERROR << "[Utils] the settings have no file";
        return -1;
    }
    // A link's target is made in its own folder.
    const QString folder = QFileInfo(settingsTarget(path)).absolutePath();
    if (!QDir().mkpath(folder)) {
        LOG_ERROR << "[Utils] " << mkpathFailure(folder);
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

int settingsSetSync(QSettings* settings, const QString& key, const QVariant& value, QString* why)
{
    if (!settings || key.isEmpty()) {
        LOG_ERROR;
        if (why)
            *why = QStringLiteral("nothing to save");
        return -1;
    }
    return settingsChange(settings, QVariantMap{{key, value}}, QStringList(), why);
}

int settingsRemoveSync(QSettings* settings, const QStringList& keys, QString* why)
{
    if (!settings) {
        LOG_ERROR;
        if (why)
            *why = QStringLiteral("nothing to save");
        return -1;
    }
    QStringList named;
    for (const QString& key : keys) {
        if (!key.isEmpty())
            named << key;
    }
    return named.isEmpty() ? 0 : settingsChange(settings, QVariantMap(), named, why);
}

} // namespace utils
} // namespace ORVO
