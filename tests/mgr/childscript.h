#pragma once

// Real child programs for the action tests: shell scripts that record how
// they were started ($0 and every argument, NUL-separated) and then exit,
// wait or sleep as a test needs.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTest>

namespace actionstest {

// The file in which the script at `script` records its argument vector.
inline QString argvFile(const QString& script)
{
    return script + QStringLiteral(".argv");
}

// Writes an executable script that records $0 and its arguments, then runs
// `tail` (shell lines). The record appears at once and complete.
inline bool writeScript(const QString& path, const QByteArray& tail = "exit 0\n")
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray out = QFile::encodeName(argvFile(path));
    QByteArray text = "#!/bin/sh\n"
                      "PATH=/usr/bin:/bin\n"
                      "export PATH\n"
                      "printf '%s\\0' \"$0\" \"$@\" > '" +
                      out +
                      ".part'\n"
                      "mv '" +
                      out + ".part' '" + out + "'\n" + tail;
    if (file.write(text) != text.size())
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                               QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                               QFile::ExeOther);
}

// The recorded vector ($0 first); empty while nothing was recorded.
inline QStringList readArgv(const QString& script)
{
    QFile file(argvFile(script));
    if (!file.open(QIODevice::ReadOnly))
        return QStringList();
    QByteArray data = file.readAll();
    QStringList list;
    while (!data.isEmpty()) {
        const int end = data.indexOf('\0');
        if (end < 0)
            break;
        list << QFile::decodeName(data.left(end));
        data.remove(0, end + 1);
    }
    return list;
}

inline bool waitForArgv(const QString& script, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (!QFileInfo::exists(argvFile(script))) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

// True while the process exists and has not ended (a zombie counts as ended).
inline bool isAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const int close = text.lastIndexOf(')');
    if (close < 0 || close + 2 >= text.size())
        return false;
    const char state = text.at(close + 2);
    return state != 'Z' && state != 'X';
}

} // namespace actionstest
