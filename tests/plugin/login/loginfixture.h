#pragma once

// Profile directories as the profile store writes them, and lookups of the
// login plugin's widgets, for the login plugin's tests.

#include <QComboBox>
#include <QDir>
#include <QPluginLoader>
#include <QVariantMap>

#include <libvelcor/json.h>

#include "plugin/login/loginplugin.h"
#include "testenv.h"

namespace logintest {

// <data>/profiles/<id>.profile/config.json (and the OpenVPN file of a
// "vpn" profile). Empty user: a credential that fails validation. Type
// "files": an OpenVPN profile whose files hold its credential.
inline bool writeProfile(const QString& dataDir, const QString& id, const QString& type,
                         const QString& user = QStringLiteral("demo"), bool remember = false,
                         bool pullRoutes = true)
{
    const QString dir = dataDir + "/profiles/" + id + ".profile";
    QVariantMap auth{
        {"manual", true}, {"remember", remember}, {"type", "user-pass"}, {"user", user}};
    QVariantMap map{{"type", type}, {"auth", auth}};
    if (type == QLatin1String("files"))
        map = QVariantMap{{"type", "vpn"},
                          {"mode", "files"},
                          {"files", QVariantList{"openvpn.conf"}},
                          {"auth", QVariantMap{{"manual", false}}}};
    if (type != QLatin1String("ls")) {
        if (type == QLatin1String("vpn"))
            map.insert("vpn", QVariantMap{{"conf", "openvpn.conf"}, {"pull_routes", pullRoutes}});
        if (!orvotest::writeFile(dir + "/openvpn.conf",
                                 "client\ndev tun\nremote vpn.example.org 1194 udp\n"))
            return false;
    } else {
        map.insert("url", "https://ls.example.org");
    }
    bool ok = false;
    const QString text = libvelcor::json::serialize(map, ok);
    return ok && orvotest::writeFile(dir + "/config.json", text.toUtf8());
}

inline ORVO::LoginPlugin* plugin()
{
    for (QObject* o : QPluginLoader::staticInstances())
        if (auto* p = qobject_cast<ORVO::LoginPlugin*>(o))
            return p;
    return nullptr;
}

} // namespace logintest
