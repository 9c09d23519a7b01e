#include "gui/mainwindow/plugindiscovery.h"

#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>
#include <QStringList>

#include "common/log.h"
#include "common/plugininterfaces.h"

namespace ORVO {

DiscoveredPlugins discoverPlugins(const QObjectList& staticInstances, const QString& dir)
{
    LOG_TRACE;
    QObjectList candidates = staticInstances;

    // The same pattern on every platform: the extension point names its files so.
    const QDir pluginDir(dir);
    const QFileInfoList files = pluginDir.entryInfoList(QStringList{QStringLiteral("app_*.dll")});
    for (const QFileInfo& file : files) {
        QPluginLoader loader(file.absoluteFilePath());
        if (loader.load()) {
            candidates.append(loader.instance());
        } else {
            LOG_ERROR << "Error loading plugin " << loader.fileName() << ": "
                      << loader.errorString();
        }
        // The loader goes; the plugin stays loaded.
    }

    DiscoveredPlugins found;
    for (QObject* object : qAsConst(candidates)) {
        if (!object)
            continue;
        // A cross-cast through the run-time type: the interfaces have no QObject base.
        auto* plugin = dynamic_cast<GfxPluginInterface*>(object);
        if (!plugin)
            continue;
        switch (plugin->type()) {
        case 0:
            found.loginPlugin = object;
            found.loginIface = dynamic_cast<LoginGfxPluginInterface*>(object);
            break;
        case 1:
            found.configPlugin = object;
            found.configIface = dynamic_cast<ConfigGfxPluginInterface*>(object);
            break;
        default:
            break;
        }
    }
    return found;
}

} // namespace ORVO
