#include "libvelcor/logger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace libvelcor {

namespace {
// The logger whose handler is installed; Qt has one message handler per
// process, so only one logger can be open at a time.
std::atomic<Logger*> g_active{nullptr};
std::atomic<QtMessageHandler> g_previous{nullptr};
// Keeps the lines of two threads apart, and a line from the file being put
// aside under it.
std::mutex g_writing;

// Set while a line that is escaped already is handed on.
thread_local bool t_escaped = false;
// Set while the filter decides.
thread_local bool t_filtering = false;
std::atomic<MessageFilter> g_filter{nullptr};

class EscapedScope
{
public:
    EscapedScope() : before(t_escaped) { t_escaped = true; }
    ~EscapedScope() { t_escaped = before; }
    EscapedScope(const EscapedScope&) = delete;
    EscapedScope& operator=(const EscapedScope&) = delete;

private:
    bool before;
};

// C0 and C1 controls, the backslash, the line and paragraph separators,
// the format characters (bidirectional controls, invisible characters: they
// make one line read as another) and lone surrogates. A surrogate pair is
// judged by its code point (keptAt).
bool needsEscape(char16_t c)
{
    if (c < 0x7f)
        return c < 0x20 || c == u'\\';
    if (c <= 0x9f)
        return true;
    // Below U+0600 the soft hyphen is the only format character.
    if (c < 0x600)
        return c == 0xad;
    return c == 0x2028 || c == 0x2029 || QChar::isSurrogate(c) ||
           QChar::category(uint(c)) == QChar::Other_Format;
}

bool isPair(const char16_t* s, int n, int i)
{
    return QChar::isHighSurrogate(s[i]) && i + 1 < n && QChar::isLowSurrogate(s[i + 1]);
}

// How many code units at i stay as they are: 0 for one to escape, 2 for a
// surrogate pair, 1 otherwise.
int keptAt(const char16_t* s, int n, int i)
{
    if (isPair(s, n, i))
        return QChar::category(QChar::surrogateToUcs4(s[i], s[i + 1])) == QChar::Other_Format ? 0
                                                                                              : 2;
    return needsEscape(s[i]) ? 0 : 1;
}

QString errnoText(int code)
{
    QString text = QString::fromLocal8Bit(std::strerror(code));
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return text;
}

// Why the folder could not be made: the deepest part of it that exists is
// a file, or cannot be written into.
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
    QString text = QStringLiteral("cannot create the folder ") + dir + QStringLiteral(": ");
    if (info.exists() && !info.isDir())
        return text + existing + QStringLiteral(" is not a folder");
    if (::access(QFile::encodeName(existing).constData(), W_OK | X_OK) != 0)
        return text + existing + QStringLiteral(": ") + errnoText(errno);
    return text + QStringLiteral("unknown reason");
}

// An escaped line in UTF-8, cut to the longest a line of the log may be,
// with what was left out said at its end. Never inside a character, nor
// inside an escape, whose rest would read as text.
QByteArray boundedLine(const QByteArray& line)
{
    if (line.size() <= Logger::MaxLineBytes)
        return line;
    // Room for the note.
    int cut = Logger::MaxLineBytes - 32;
    while (cut > 0 && (uchar(line.at(cut)) & 0xc0) == 0x80)
        --cut;
    for (int i = 0; i < cut; ++i) {
        if (line.at(i) != '\\')
            continue;
        const char kind = line.at(i + 1);
        const int length = kind == 'x' ? 4 : kind == 'u' ? 6 : kind == 'U' ? 10 : 2;
        if (i + length > cut) {
            cut = i;
            break;
        }
        i += length - 1;
    }
    return line.left(cut) + " (" + QByteArray::number(line.size() - cut) + " bytes left out)";
}
} // namespace

QString escapeLogText(const QString& text)
{
    const char16_t* s = reinterpret_cast<const char16_t*>(text.constData());
    const int n = text.size();
    int i = 0;
    for (int kept = 0; i < n && (kept = keptAt(s, n, i)) > 0;)
        i += kept;
    if (i == n)
        return text;
    QString out;
    out.reserve(n + 16);
    out.append(text.constData(), i);
    while (i < n) {
        const int kept = keptAt(s, n, i);
        if (kept > 0) {
            out.append(text.constData() + i, kept);
            i += kept;
            continue;
        }
        if (isPair(s, n, i)) {
            // A code point above U+FFFF (a tag character): eight digits.
            const uint ucs4 = QChar::surrogateToUcs4(s[i], s[i + 1]);
            out += QLatin1String("\\U") +
                   QString::number(ucs4, 16).rightJustified(8, QLatin1Char('0'));
            i += 2;
            continue;
        }
        const char16_t c = s[i++];
        if (c == u'\\') {
            out += QLatin1String("\\\\");
        } else if (c == u'\n') {
            out += QLatin1String("\\n");
        } else if (c == u'\r') {
            out += QLatin1String("\\r");
        } else if (c == u'\t') {
            out += QLatin1String("\\t");
        } else if (c < 0x100) {
            out +=
                QLatin1String("\\x") + QString::number(c, 16).rightJustified(2, QLatin1Char('0'));
        } else {
            // Always four digits, so that U+061C before a "d" cannot read
            // as U+61CD.
            out +=
                QLatin1String("\\u") + QString::number(c, 16).rightJustified(4, QLatin1Char('0'));
        }
    }
    return out;
}

void outputEscapedLine(QtMsgType type, const QString& line)
{
    EscapedScope escaped;
    qt_message_output(type, QMessageLogContext(), line);
}

void passEscapedLine(QtMessageHandler next, QtMsgType type, const QMessageLogContext& context,
                     const QString& line)
{
    if (!next)
        return;
    EscapedScope escaped;
    next(type, context, line);
}

void setMessageFilter(MessageFilter filter)
{
    g_filter.store(filter);
}

QString handledLine(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    if (t_escaped)
        return msg;
    const MessageFilter filter = g_filter.load();
    if (t_filtering || !filter)
        return escapeLogText(msg);
    t_filtering = true;
    const QString line = filter(type, context, msg);
    t_filtering = false;
    return line;
}

Logger::Logger(QObject* parent) : QObject(parent) {}

Logger::~Logger()
{
    close();
}

int Logger::setPath(const QString& value)
{
    if (value.isEmpty()) {
        error = QStringLiteral("the log file's path is empty");
        return -1;
    }
    // The C library would stop at the NUL and open another file.
    if (value.contains(QChar(0))) {
        error = QStringLiteral("the log file's path holds a NUL character");
        return -1;
    }
    if (installed) {
        error = QStringLiteral("cannot change the path of the open log file ") + path;
        return -1;
    }
    path = value;
    error.clear();
    return 0;
}

int Logger::open()
{
    if (installed)
        return 0;
    if (path.isEmpty()) {
        error = QStringLiteral("the log file's path is not set");
        return -1;
    }
    if (g_active.load()) {
        error = QStringLiteral("another log file is open in this process");
        return -1;
    }
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        error = mkpathFailure(info.absolutePath());
        return -1;
    }
    const QString target = info.absoluteFilePath();
    // The log names users, hosts and servers: readable by its owner only,
    // also when it was made before this rule. A log of another owner, shared
    // on purpose, is written as it is, and so is anything but a regular file
    // (a link to /dev/null). Opened without waiting: a FIFO that no one
    // reads would hold the start for ever; once open, writes wait as ever.
    const int fd = ::open(QFile::encodeName(target).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
    if (fd >= 0)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    struct stat st = {};
    if (fd >= 0 && ::fstat(fd, &st) != 0)
        st = {};
    if (fd >= 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0 && st.st_uid == ::geteuid())
        ::fchmod(fd, st.st_mode & 0700);
    FILE* f = fd >= 0 ? ::fdopen(fd, "a") : nullptr;
    if (!f) {
        const int code = errno;
        if (fd >= 0)
            ::close(fd);
        error = QStringLiteral("cannot open the log file ") + target + QStringLiteral(": ") +
                errnoText(code);
        return -1;
    }
    error.clear();
    // Line buffering: a crash loses at most the line being written.
    std::setvbuf(f, nullptr, _IOLBF, 64 * 1024);
    file = f;
    openPath = QFile::encodeName(target);
    // Only a regular file of its user is put aside (not a device, nor a log
    // shared on purpose); one that is full already at once.
    size = S_ISREG(st.st_mode) && st.st_uid == ::geteuid() ? st.st_size : -1;
    if (size >= sizeLimit)
        _rotate();
    g_active.store(this);
    previous = qInstallMessageHandler(&Logger::handler);
    g_previous.store(previous);
    installed = true;
    return 0;
}

void Logger::setSizeLimit(qint64 bytes)
{
    const std::lock_guard<std::mutex> lock(g_writing);
    if (bytes > 0)
        sizeLimit = bytes;
}

void Logger::close()
{
    if (!installed)
        return;
    qInstallMessageHandler(previous);
    g_previous.store(nullptr);
    const std::lock_guard<std::mutex> lock(g_writing);
    g_active.store(nullptr);
    if (file)
        std::fclose(file);
    file = nullptr;
    previous = nullptr;
    installed = false;
}

void Logger::handler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    const QString text = handledLine(type, context, msg);
    if (text.isNull())
        return;
    // UTF-8 whatever the locale's encoding: the log's readers read it so,
    // and a Latin-9 or ASCII locale would lose every other name.
    const QByteArray whole = text.toUtf8();
    const QByteArray line = boundedLine(whole);
    {
        const std::lock_guard<std::mutex> lock(g_writing);
        if (Logger* logger = g_active.load())
            logger->_write(line);
    }
    // Qt hands back its default handler when none was installed before.
    passEscapedLine(g_previous.load(), type, context,
                    line.size() == whole.size() ? text : QString::fromUtf8(line));
}

void Logger::_write(const QByteArray& line)
{
    if (!file)
        return;
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), file);
    std::fputc('\n', file);
    if (size < 0)
        return;
    size += line.size() + 1;
    if (size >= sizeLimit)
        _rotate();
}

void Logger::_rotate()
{
    std::fflush(file);
    // The new file is made first, so that a failure to make it costs no
    // older line; then the full one is put aside and the new one takes its
    // place. A file removed meanwhile has nothing to put aside.
    const QByteArray fresh = openPath + ".new";
    const QByteArray older = openPath + ".1";
    // Why a step failed, errno taken at once.
    QString failure;
    const auto fail = [&failure](const char* what, const QByteArray& which) {
        const int code = errno;
        failure =
            QLatin1String(what) + QFile::decodeName(which) + QStringLiteral(": ") + errnoText(code);
    };
    // Whatever a crash left there goes: the new file is always a new one.
    ::unlink(fresh.constData());
    const int fd =
        ::open(fresh.constData(),
               O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0600);
    bool putAside = false;
    FILE* next = fd >= 0 ? ::fdopen(fd, "a") : nullptr;
    if (!next) {
        fail("cannot make ", fresh);
        if (fd >= 0)
            ::close(fd);
    } else if (!(putAside = ::rename(openPath.constData(), older.constData()) == 0) &&
               errno != ENOENT) {
        fail("cannot rename it to ", older);
    } else if (::rename(fresh.constData(), openPath.constData()) != 0) {
        fail("cannot rename to it ", fresh);
        // Back where its readers look for it.
        if (putAside)
            ::rename(older.constData(), openPath.constData());
    } else {
        std::setvbuf(next, nullptr, _IOLBF, 64 * 1024);
        std::fclose(file);
        file = next;
        size = 0;
        return;
    }
    if (next) {
        std::fclose(next);
        ::unlink(fresh.constData());
    }
    // Written on without a bound, it could fill the disk: it begins again,
    // empty, saying why; the newest lines matter most. A file that cannot
    // be emptied ends here, saying so; the lines go on to the other
    // handlers only.
    const QByteArray why = "The log file " + openPath + " was full and " + failure.toUtf8();
    if (::ftruncate(::fileno(file), 0) == 0) {
        const QByteArray note = why + "; the lines before are gone.\n";
        std::fwrite(note.constData(), 1, static_cast<size_t>(note.size()), file);
        size = note.size();
        return;
    }
    const QByteArray note = why + "; no more lines are written to it.\n";
    std::fwrite(note.constData(), 1, static_cast<size_t>(note.size()), file);
    std::fclose(file);
    file = nullptr;
    size = -1;
}

} // namespace libvelcor
