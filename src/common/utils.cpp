#include "common/utils.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QUrl>

#include "common/log.h"
#include "libvelcor/auth.h"

namespace ORVO {
namespace utils {

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
    // Created empty if missing, never truncated; the settings store keeps
    // the mode of the file it replaces on each write.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int code = errno;
        LOG_ERROR << "[Utils] cannot open the settings file " << path << ": " << errnoText(code);
        return -1;
    }
    struct stat st;
    int rc = ::fstat(fd, &st);
    if (rc == 0 && (st.st_mode & 077) != 0)
        rc = ::fchmod(fd, st.st_mode & 0700);
    const int code = errno;
    ::close(fd);
    if (rc != 0)
        LOG_ERROR << "[Utils] cannot make the settings file " << path
                  << " private: " << errnoText(code);
    return rc == 0 ? 0 : -1;
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
    settings->setValue(key, value);
    settings->sync();
    if (settings->status() != QSettings::NoError) {
        LOG_ERROR;
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
        const QByteArray block(4096, '\n');
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
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
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
    const QString temp = target + QStringLiteral(".tmp");
    QFile::remove(temp);
    QFile file(temp);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        problem = QStringLiteral("cannot write ") + temp + QStringLiteral(": ") +
                  lowerFirst(file.errorString());
        return -1;
    }
    if ((perms && !file.setPermissions(perms)) || file.write(bytes) != bytes.size() ||
        !file.flush() || ::fsync(file.handle()) != 0) {
        problem = QStringLiteral("cannot write ") + temp + QStringLiteral(": ") +
                  lowerFirst(file.errorString());
        file.close();
        QFile::remove(temp);
        return -1;
    }
    file.close();
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) !=
        0) {
        problem =
            QStringLiteral("cannot replace ") + target + QStringLiteral(": ") + errnoText(errno);
        QFile::remove(temp);
        return -1;
    }
    return 0;
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
