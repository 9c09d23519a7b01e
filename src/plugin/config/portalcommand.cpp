#include "plugin/config/portalcommand.h"

#include <QPair>
#include <QUrl>
#include <QUrlQuery>

namespace ORVO {

const char* const PortalLoginPath = "/manage/access/login/";

namespace {

using QueryItems = QList<QPair<QString, QString>>;

QueryItems queryItems(const QUrl& url)
{
    return QUrlQuery(url).queryItems(QUrl::FullyDecoded);
}

// The first item with this key; a missing item reads as empty.
QString itemValue(const QueryItems& items, const QString& key)
{
    for (const auto& item : items) {
        if (item.first == key)
            return item.second;
    }
    return QString();
}

bool hasItem(const QueryItems& items, const QString& key)
{
    for (const auto& item : items) {
        if (item.first == key)
            return true;
    }
    return false;
}

QStringList routesOf(const QVariantMap& map)
{
    return map.value(QStringLiteral("ips")).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// "OPEN_URL": either a URL for the desktop browser or, behind
// "BUILTIN_APP?", the client's own applications with their parameters.
QList<PortalAction> openUrlActions(const QueryItems& items, QVariantMap map)
{
    const QString target = itemValue(items, QStringLiteral("url"));
    if (!target.startsWith(QLatin1String("BUILTIN_APP?"))) {
        map.insert(QStringLiteral("url"), target);
        return {PortalAction{QStringLiteral("OPEN_URL"), map}};
    }
    const QueryItems builtin = queryItems(QUrl(QStringLiteral("builtin:///") + target));
    QStringList apps =
        itemValue(builtin, QStringLiteral("bundle")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QString app = itemValue(builtin, QStringLiteral("app"));
    if (!app.isEmpty())
        apps.append(app);
    for (const auto& item : builtin) {
        if (item.first != QLatin1String("app") && item.first != QLatin1String("bundle"))
            map.insert(item.first, item.second);
    }
    QList<PortalAction> actions;
    for (const QString& name : qAsConst(apps))
        actions.append(PortalAction{name, map});
    return actions;
}

} // namespace

QString portalDecode(QString value)
{
    return value.replace(QLatin1Char('+'), QLatin1Char(' '));
}

PortalCommand portalCommand(const QUrl& url)
{
    PortalCommand command;
    const QString text = url.toString();
    const QString path = url.path();
    const QueryItems items = queryItems(url);
    command.loginPage = path == QLatin1String(PortalLoginPath);

    QVariantMap map;
    QString ips;
    for (const auto& item : items) {
        if (item.first == QLatin1String("device_ips[]"))
            ips += item.second + QLatin1Char(' ');
    }
    if (!ips.isEmpty())
        map.insert(QStringLiteral("ips"), ips.trimmed());

    // Words are searched in the whole URL text, in this order; the first
    // one found decides.
    const auto now = [&command](const QString& name, const QVariantMap& params) {
        command.kind = PortalCommand::Immediate;
        command.actions.append(PortalAction{name, params});
    };
    const auto routesIfAny = [&command, &map]() {
        if (map.contains(QStringLiteral("ips"))) {
            command.hasRoutes = true;
            command.routes = routesOf(map);
        }
    };
    if (text.contains(QLatin1String("AJAX_ACTION_LOGIN"))) {
        now(QStringLiteral("AJAX_ACTION_LOGIN"), map);
    } else if (text.contains(QLatin1String("OPEN_URL"))) {
        routesIfAny();
        command.kind = PortalCommand::Delayed;
        command.actions = openUrlActions(items, map);
    } else if (text.contains(QLatin1String("EXECUTE_COMMAND"))) {
        static const char* const keys[][2] = {{"name", "name"},
                                              {"endpoint", "endpoint"},
                                              {"remark", "remark"},
                                              {"path", "command_path"},
                                              {"args", "command_args"}};
        for (const auto& key : keys)
            map.insert(QLatin1String(key[0]),
                       portalDecode(itemValue(items, QLatin1String(key[1]))));
        routesIfAny();
        command.kind = PortalCommand::Delayed;
        command.actions.append(PortalAction{QStringLiteral("EXECUTE_COMMAND"), map});
    } else if (text.contains(QLatin1String("AJAX_RELOAD_LOGIN"))) {
        now(QStringLiteral("AJAX_RELOAD_LOGIN"), map);
    } else if (text.contains(QLatin1String("AJAX_PING_LOGIN"))) {
        now(QStringLiteral("AJAX_PING_LOGIN"), map);
    } else if (text.contains(QLatin1String("OPEN_WITH_BROWSER"))) {
        now(QStringLiteral("OPEN_WITH_BROWSER"), map);
    } else if (text.contains(QLatin1String("SYNC_ROUTES"))) {
        command.kind = PortalCommand::Immediate;
        command.hasRoutes = true;
        command.routes = routesOf(map);
    } else if (path.contains(QLatin1String("client_download")) ||
               path.contains(QLatin1String("downloadGatewayConfig")) ||
               hasItem(items, QStringLiteral("csv"))) {
        map.insert(QStringLiteral("url"), text);
        now(QStringLiteral("ACTION_DOWNLOAD"), map);
    }
    return command;
}

} // namespace ORVO
