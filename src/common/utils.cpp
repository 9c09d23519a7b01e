#include "common/utils.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>

#include "common/log.h"

#include <unistd.h>

namespace ORVO {
namespace utils {

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

} // namespace utils
} // namespace ORVO
