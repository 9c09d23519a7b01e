#include "common/utils.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSettings>
#include <QUrl>

#include "common/log.h"
#include "libvelcor/auth.h"
#include "libvelcor/logger.h"
#include "libvelcor/utils.h"

namespace ORVO {
namespace utils {

int makeFilePrivate(const QString& path, bool create, QString& problem)
{
    problem.clear();
    const QByteArray name = QFile::encodeName(path);
    // Created empty when asked for, never truncated; what replaces such a
    // file by a rename takes its mode along. Opened without waiting (a FIFO
    // would), and only a regular file is changed: the name may lead to a
    // device.
    const int fd =
        ::open(name.constData(),
               O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (create ? O_CREAT : 0), 0600);
    if (fd < 0) {
        problem = QStringLiteral("cannot open ") + path + QStringLiteral(": ") + errnoText(errno);
        return -1;
    }
    struct stat st;
    int rc = ::fstat(fd, &st);
    if (rc == 0 && !S_ISREG(st.st_mode)) {
        ::close(fd);
        problem = path + QStringLiteral(" is not a regular file");
        return -1;
    }
    if (rc == 0 && (st.st_mode & 077) != 0)
        rc = ::fchmod(fd, st.st_mode & 0700);
    const int code = errno;
    ::close(fd);
    if (rc != 0)
        problem =
            QStringLiteral("cannot make ") + path + QStringLiteral(" private: ") + errnoText(code);
    return rc == 0 ? 0 : -1;
}

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
    QString problem;
    if (makeFilePrivate(path, true, problem) != 0) {
        LOG_ERROR << "[Utils] " << problem;
        return -1;
    }
    return 0;
}

namespace {

// Qt syncs a store on its own once a value changed, and unchecked: on a
// full disk that write can leave a short file and report nothing. Stores
// written through settingsSync are synced there only.
class NoAutoSync : public QObject
{
public:
    explicit NoAutoSync(QObject* parent) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        Q_UNUSED(watched)
        return event->type() == QEvent::UpdateRequest;
    }
};

// Every key of the store's own file (no system-wide store behind it, no
// group) with its value, as the store holds them in memory: read without a
// sync, which could read the file again. The groups are put back as they
// were opened.
QMap<QString, QVariant> settingsInMemory(QSettings* settings)
{
    QStringList groups;
    for (QString group = settings->group(); !group.isEmpty(); group = settings->group()) {
        settings->endGroup();
        const QString outer = settings->group();
        groups.prepend(outer.isEmpty() ? group : group.mid(outer.size() + 1));
    }
    const bool fallbacks = settings->fallbacksEnabled();
    settings->setFallbacksEnabled(false);
    QMap<QString, QVariant> values;
    const QStringList keys = settings->allKeys();
    for (const QString& key : keys)
        values.insert(key, settings->value(key));
    settings->setFallbacksEnabled(fallbacks);
    for (const QString& group : qAsConst(groups))
        settings->beginGroup(group);
    return values;
}

// Whether the file, read afresh by another name (Qt keeps what it read of
// a file by its name), holds what the store holds: empty, or what differs.
QString settingsDiffer(QSettings* settings, const QString& copy)
{
    const QMap<QString, QVariant> memory = settingsInMemory(settings);
    const QSettings disk(copy, QSettings::IniFormat);
    if (disk.status() != QSettings::NoError)
        return QStringLiteral("it does not read back");
    const QStringList written = disk.allKeys();
    if (written.size() != memory.size())
        return QStringLiteral("it reads back with %1 of %2 keys")
            .arg(written.size())
            .arg(memory.size());
    for (auto it = memory.cbegin(); it != memory.cend(); ++it) {
        // Compared as the value in memory, so a written 8080 equals "8080";
        // an empty list is written as no value.
        const QVariant& value = it.value();
        const QVariant back = disk.value(it.key());
        const bool emptyList = (value.userType() == QMetaType::QStringList ||
                                value.userType() == QMetaType::QVariantList) &&
                               value.toList().isEmpty() && !back.isValid();
        if (!disk.contains(it.key()) || (value != back && !emptyList))
            return QStringLiteral("it reads back without the value of ") + it.key();
    }
    return QString();
}

} // namespace

int settingsSync(QSettings* settings)
{
    if (!settings) {
        LOG_ERROR;
        return -1;
    }
    if (!settings->findChild<NoAutoSync*>(QString(), Qt::FindDirectChildrenOnly))
        settings->installEventFilter(new NoAutoSync(settings));
    const QString path = settings->fileName();
    const QByteArray name = QFile::encodeName(path);
    // The file that the sync replaces stays under a second name, which costs
    // no room on a full disk, until the new one has read back whole.
    static int serial = 0;
    const QString stem = path + QStringLiteral(".%1-%2").arg(::getpid()).arg(++serial);
    const QByteArray previous = QFile::encodeName(stem + QStringLiteral(".previous"));
    const QByteArray written = QFile::encodeName(stem + QStringLiteral(".written"));
    const bool kept = ::link(name.constData(), previous.constData()) == 0;
    if (!kept && errno != ENOENT)
        LOG_ERROR << "[Utils] cannot keep the settings file " << path << ": " << errnoText(errno);
    // Qt's status keeps its first error for good: only a new one counts.
    const bool wasOk = settings->status() == QSettings::NoError;
    settings->sync();
    QString problem;
    if (wasOk && settings->status() != QSettings::NoError)
        problem = QStringLiteral("it cannot be written");
    else if (::link(name.constData(), written.constData()) != 0)
        problem = QStringLiteral("it cannot be read back: ") + errnoText(errno);
    else
        // Also tells a write that Qt did not make: its values are not in it.
        problem = settingsDiffer(settings, stem + QStringLiteral(".written"));
    ::unlink(written.constData());
    struct stat now = {};
    struct stat before = {};
    const bool replaced = kept && ::stat(name.constData(), &now) == 0 &&
                          ::stat(previous.constData(), &before) == 0 && now.st_ino != before.st_ino;
    if (problem.isEmpty() || !replaced) {
        if (kept)
            ::unlink(previous.constData());
        if (problem.isEmpty())
            return 0;
        LOG_ERROR << "[Utils] the settings file " << path << " was not written: " << problem;
        return -1;
    }
    LOG_ERROR << "[Utils] the settings file " << path << " was not written: " << problem;
    if (::rename(previous.constData(), name.constData()) != 0) {
        LOG_ERROR << "[Utils] cannot put back the settings file " << path << ": "
                  << errnoText(errno);
        ::unlink(previous.constData());
    }
    // Qt took its write for done: read again, so that the store holds what
    // the file holds.
    settings->sync();
    return -1;
}

int settingsSetSync(QSettings* settings, const QString& key, const QVariant& value)
{
    if (!settings) {
        LOG_ERROR;
        return -1;
    }
    if (key.isEmpty()) {
        LOG_ERROR;
        return -1;
    }
    // It may hold a scrambled password: nobody else may read it.
    if (settingsMakePrivate(settings) != 0)
        return -1;
    // Compared as the new value's type, so a stored "8080" equals 8080.
    if (value == settings->value(key, QVariant()))
        return 0;
    // What this file holds, without the system-wide stores behind it.
    const bool fallbacks = settings->fallbacksEnabled();
    settings->setFallbacksEnabled(false);
    const bool had = settings->contains(key);
    const QVariant before = settings->value(key);
    settings->setFallbacksEnabled(fallbacks);
    settings->setValue(key, value);
    if (settingsSync(settings) != 0) {
        // A failure Qt saw before writing leaves the value pending: it goes,
        // so that the next write does not carry it.
        if (had)
            settings->setValue(key, before);
        else
            settings->remove(key);
        return -1;
    }
    return 0;
}

QString settingsWriteFailure(const QSettings* settings)
{
    const QString path = settings ? settings->fileName() : QString();
    if (path.isEmpty())
        return QStringLiteral("no settings file");
    const QString dir = QFileInfo(path).absolutePath();
    if (!QFileInfo(dir).isDir())
        return mkpathFailure(dir);
    const QByteArray name = QFile::encodeName(path);
    // Not blocking: a FIFO in its place must not hold the program.
    const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno != ENOENT)
        return QStringLiteral("cannot write the file ") + path + QStringLiteral(": ") +
               errnoText(errno);
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

QString loadStyleSheet(QString path)
{
    // Every path is read at most once per process; failures are cached too.
    static QHash<QString, QString> styleSheets;
    const auto cached = styleSheets.constFind(path);
    if (cached != styleSheets.constEnd())
        return cached.value();

    QFile file(path);
    if (!QFile::exists(path))
        LOG_ERROR << QString(path + QStringLiteral(" does not exist"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        LOG_ERROR << QString(QStringLiteral("Can't open ") + path);
    const QByteArray bytes = file.isOpen() ? file.readAll() : QByteArray();
    const QString text = QString::fromLatin1(bytes.constData());
    styleSheets.insert(path, text);
    file.close();
    return text;
}

QString seconds2Human(int seconds)
{
    QString text;
    if (seconds >= 86400) {
        const int days = seconds / 86400;
        text += QCoreApplication::translate("QObject", "%n day(s)", "", days);
        text += QStringLiteral(", ");
    }
    text += stringPad((seconds / 3600) % 24, 2) + QLatin1Char(':') +
            stringPad((seconds / 60) % 60, 2) + QLatin1Char(':') + stringPad(seconds % 60, 2);
    return text;
}

QString stringPad(int number, int width)
{
    return QStringLiteral("%1").arg(QString::number(number, 10), width, QLatin1Char('0'));
}

QString remapQueryItem(const QString& item)
{
    QString out = item;
    out.replace(QLatin1Char('+'), QLatin1Char(' '));
    return out;
}

QString resolvePath(QString path)
{
    return path;
}

int pid2Int(qint64 pid)
{
    return static_cast<int>(static_cast<quint32>(pid & 0xffffffff));
}

bool caseInsensitiveLessThan(const QString& a, const QString& b)
{
    return a.toLower() < b.toLower();
}

void printErr(const QString& text)
{
    printErr(QStringList{text});
}

void printErr(const QStringList& lines)
{
    QByteArray out;
    for (const QString& line : lines) {
        out += libvelcor::escapeLogText(line).toLocal8Bit();
        out += '\n';
    }
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stderr);
    std::fflush(stderr);
}

namespace {

// What makes a file's status unfit for reading, or empty for a regular file.
QString notRegular(const struct stat& st)
{
    if (S_ISREG(st.st_mode))
        return QString();
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("is a directory, not a file");
    const char* kind = S_ISFIFO(st.st_mode)                         ? "a FIFO"
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                       : S_ISSOCK(st.st_mode)                       ? "a socket"
                                                                    : "a special file";
    return QStringLiteral("is not a regular file but ") + QLatin1String(kind);
}

// Reads an open regular file whose size was given, up to maxSize bytes;
// problem is set when that fails or the file is over the limit.
void readAll(int fd, qint64 size, qint64 maxSize, QByteArray& bytes, QString& problem)
{
    // One byte more than allowed tells a file that grew meanwhile.
    const qint64 limit = maxSize + 1;
    bytes.resize(static_cast<int>(qMin<qint64>(size + 1, limit)));
    qint64 have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (have >= limit)
                break;
            bytes.resize(static_cast<int>(qMin<qint64>(have * 2 + 4096, limit)));
        }
        const ssize_t n = ::read(fd, bytes.data() + have, static_cast<size_t>(bytes.size() - have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            problem = QStringLiteral("cannot be read: ") + errnoText(errno);
            break;
        }
        if (n == 0)
            break;
        have += n;
    }
    bytes.resize(static_cast<int>(have));
    if (problem.isEmpty() && have > maxSize)
        problem = QStringLiteral("is too large: more than %1 bytes").arg(maxSize);
}

QString lowerFirst(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return text;
}

} // namespace

int readRegularFile(const QString& path, qint64 maxSize, QByteArray& bytes, QString& problem)
{
    bytes.clear();
    problem.clear();
    const QByteArray native = QFile::encodeName(path);
    // Only a regular file is opened: opening a device can have effects of
    // its own, and opening a FIFO waits for a writer.
    struct stat st = {};
    if (::stat(native.constData(), &st) == 0) {
        problem = notRegular(st);
        if (!problem.isEmpty())
            return -1;
    }
    // O_NONBLOCK and the second look: the name may have changed meanwhile.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        problem = errno == ENOENT ? QStringLiteral("does not exist")
                                  : QStringLiteral("cannot be read: ") + errnoText(errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0)
        problem = QStringLiteral("cannot be read: ") + errnoText(errno);
    else
        problem = notRegular(st);
    if (problem.isEmpty() && st.st_size > maxSize)
        problem = QStringLiteral("is too large: %1 bytes, at most %2")
                      .arg(qint64(st.st_size))
                      .arg(maxSize);
    if (problem.isEmpty())
        readAll(fd, st.st_size, maxSize, bytes, problem);
    ::close(fd);
    return problem.isEmpty() ? 0 : -1;
}

int writeReplacing(const QByteArray& bytes, const QString& target, QFileDevice::Permissions perms,
                   QString& problem)
{
    libvelcor::utils::AtomicFile file(target);
    if (file.open(perms) == 0 && file.write(bytes) == 0 && file.commit() == 0)
        return 0;
    file.cancel();
    problem = QStringLiteral("cannot write ") + target + QStringLiteral(": ") +
              lowerFirst(file.errorString());
    return -1;
}

const char DisplayCutMark[] = u8" [\u2026]";

QString cutForDisplay(const QString& text, int maxChars, int maxLines)
{
    int end = text.size();
    if (maxLines > 0) {
        int lines = 1;
        for (int i = 0; i < text.size(); ++i) {
            // A final line break starts no line of its own.
            if (text.at(i) == QLatin1Char('\n') && i + 1 < text.size() && ++lines > maxLines) {
                end = i;
                break;
            }
        }
    }
    if (maxChars >= 0 && end > maxChars)
        end = maxChars;
    if (end == text.size())
        return text;
    // Never half a character.
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    QString out = text.left(end);
    while (!out.isEmpty() && out.at(out.size() - 1).isSpace())
        out.chop(1);
    return out + QString::fromUtf8(DisplayCutMark);
}

QString errnoText(int code)
{
    QString text = QString::fromLocal8Bit(std::strerror(code));
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return text;
}

QString mkpathFailure(const QString& dir)
{
    QString existing = QDir::cleanPath(dir);
    while (!QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).absolutePath();
        if (parent == existing)
            break;
        existing = parent;
    }
    const QFileInfo info(existing);
    const QString text = QStringLiteral("cannot create the folder ") + dir + QStringLiteral(": ");
    if (info.exists() && !info.isDir())
        return text + existing + QStringLiteral(" is not a folder");
    if (::access(QFile::encodeName(existing).constData(), W_OK | X_OK) != 0)
        return text + existing + QStringLiteral(": ") + errnoText(errno);
    return text + QStringLiteral("reason unknown");
}

QString serverScheme(int authType)
{
    return authType == libvelcor::Auth::CertificateType ? QStringLiteral("https")
                                                        : QStringLiteral("http");
}

bool isSameOrigin(const QUrl& a, const QUrl& b)
{
    if (!a.isValid() || !b.isValid() || a.host().isEmpty())
        return false;
    const auto defaultPort = [](const QUrl& url) {
        return url.scheme() == QLatin1String("https") ? 443 : 80;
    };
    return a.scheme() == b.scheme() && a.host() == b.host() &&
           a.port(defaultPort(a)) == b.port(defaultPort(b));
}

QString bareFileName(const QString& name)
{
    const int cut = qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    const QString bare = cut >= 0 ? name.mid(cut + 1) : name;
    if (bare == QLatin1String(".") || bare == QLatin1String(".."))
        return QString();
    return bare;
}

} // namespace utils
} // namespace ORVO
