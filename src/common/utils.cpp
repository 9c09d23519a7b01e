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
        const int code = errno;
        problem = QStringLiteral("cannot open ") + path + QStringLiteral(": ") + errnoText(code);
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
    if (::access(QFile::encodeName(existing).constData(), W_OK | X_OK) != 0) {
        const int code = errno;
        return text + existing + QStringLiteral(": ") + errnoText(code);
    }
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
