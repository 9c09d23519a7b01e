#include "fuzzkit.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace fuzzkit {

namespace {

QTemporaryDir* g_root = nullptr;
bool g_capture = false;
QStringList g_log;

void messageHandler(QtMsgType, const QMessageLogContext&, const QString& text)
{
    if (g_capture)
        g_log << text;
}

} // namespace

void init(int* argc, char*** argv)
{
    static QCoreApplication* app = new QCoreApplication(*argc, *argv);
    Q_UNUSED(app);
    g_root = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/orvo-fuzz-XXXXXX"));
    if (!g_root->isValid())
        fail("no temporary directory");
    // Gone at exit, with whatever a run left in it.
    std::atexit([]() {
        delete g_root;
        g_root = nullptr;
    });
    const QString base = g_root->path();
    QDir().mkpath(base + QStringLiteral("/data"));
    QDir().mkpath(base + QStringLiteral("/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(base + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(base + QStringLiteral("/config")));
    qputenv("HOME", QFile::encodeName(base));
    // QSettings caches its paths on first use; set them explicitly.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       base + QStringLiteral("/config"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       base + QStringLiteral("/config"));
    qInstallMessageHandler(messageHandler);
}

QString root()
{
    return g_root ? g_root->path() : QString();
}

void setCapture(bool on)
{
    g_capture = on;
    g_log.clear();
}

QStringList takeLog()
{
    QStringList out;
    out.swap(g_log);
    return out;
}

void fail(const char* what)
{
    std::fprintf(stderr, "==FUZZ== invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

Framed unframe(const uint8_t* data, size_t size)
{
    Framed out;
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const int n = input.size();
    // Record lines begin at the start of the input or after a "\n"; the
    // "\n" before a record line belongs to no content.
    QVector<int> starts;
    for (int pos = 0; pos < n && starts.size() < 64;) {
        if (pos + 3 <= n && input.at(pos) == '@' && input.at(pos + 2) == ' ' &&
            (input.at(pos + 1) == '@' || input.at(pos + 1) == '>'))
            starts << pos;
        const int nl = input.indexOf('\n', pos);
        if (nl < 0)
            break;
        pos = nl + 1;
    }
    out.head = input.left(starts.isEmpty() ? n : qMax(0, starts.first() - 1));
    for (int i = 0; i < starts.size(); ++i) {
        int lineEnd = input.indexOf('\n', starts[i]);
        if (lineEnd < 0)
            lineEnd = n;
        const QByteArray line = input.mid(starts[i] + 3, lineEnd - starts[i] - 3);
        const int from = qMin(lineEnd + 1, n);
        const int to = i + 1 < starts.size() ? starts[i + 1] - 1 : n;
        Record r;
        if (input.at(starts[i] + 1) == '>') {
            r.kind = Record::Link;
            const int space = line.indexOf(' ');
            r.name = QString::fromUtf8(line.left(space < 0 ? line.size() : space));
            r.data = space < 0 ? QByteArray() : line.mid(space + 1);
        } else {
            r.name = QString::fromUtf8(line);
            r.data = input.mid(from, qMax(0, to - from));
        }
        out.records.append(r);
    }
    return out;
}

bool isContained(const QString& name, int depth)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QChar(0)))
        return false;
    const QStringList parts = name.split(QLatin1Char('/'));
    if (parts.size() > depth)
        return false;
    for (const QString& part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    }
    return true;
}

void materialize(const QString& dir, const QVector<Record>& records)
{
    for (const Record& r : records) {
        if (!isContained(r.name, 4))
            continue;
        const QString path = dir + QLatin1Char('/') + r.name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (r.kind == Record::Link) {
            // A relative target without "..": it resolves below the link's
            // own directory.
            const QString target = QString::fromUtf8(r.data);
            if (!isContained(target, 4))
                continue;
            QFile::link(target, path);
            continue;
        }
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append))
            file.write(r.data);
    }
}

void resetDir(const QString& dir)
{
    QDir d(dir);
    if (d.exists())
        d.removeRecursively();
    QDir().mkpath(dir);
}

QStringList listTree(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next().mid(dir.size() + 1);
    out.sort();
    return out;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool spin(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    // processEvents may handle what makes done() true and still block
    // afterwards, until the next event: a timer keeps that wait short.
    QTimer tick;
    tick.start(1);
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void drain()
{
    for (int i = 0; i < 8; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace fuzzkit
