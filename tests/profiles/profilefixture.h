#pragma once

// Files and profile directories for the profile tests.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QVariantMap>

#include <libvelcor/json.h>

#include <sys/stat.h>

#include "testenv.h"

namespace proftest {

inline QByteArray vpnText(const QString& remote = QStringLiteral("vpn.example.org"))
{
    return QStringLiteral("client\ndev tun\nremote %1 1194 udp\n").arg(remote).toUtf8();
}

inline QByteArray pemText(const QString& tag)
{
    return QStringLiteral("-----BEGIN CERTIFICATE-----\nMIIB%1\n-----END CERTIFICATE-----\n")
        .arg(tag)
        .toUtf8();
}

inline QByteArray p12Bytes(const QString& tag)
{
    QByteArray bytes("\x30\x82\x00\x01", 4);
    return bytes + tag.toUtf8() + QByteArray(1, '\0');
}

inline QVariantMap readJson(const QString& path)
{
    bool ok = false;
    return libvelcor::json::parseFromFile(path, ok).toMap();
}

inline bool writeJson(const QString& path, const QVariantMap& map)
{
    bool ok = false;
    const QString text = libvelcor::json::serialize(map, ok);
    return ok && orvotest::writeFile(path, text.toUtf8());
}

// A hand-written management-server profile directory that load accepts.
inline bool writeLsDir(const QString& dir, const QString& user = QStringLiteral("u"))
{
    QVariantMap auth{{"manual", true}, {"remember", false}, {"type", "user-pass"}, {"user", user}};
    return writeJson(
        dir + "/config.json",
        QVariantMap{{"type", "ls"}, {"url", "https://ls.example.org"}, {"auth", auth}});
}

// The permission bits as octal text, "700" or "600".
inline QString modeOf(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    return QString::number(st.st_mode & 0777, 8);
}

} // namespace proftest
