#pragma once

#include <QObjectList>
#include <QString>

namespace ORVO {

class ConfigGfxPluginInterface;
class LoginGfxPluginInterface;

// The plugins found: each object with its interface, both null when no
// plugin of that type was found.
struct DiscoveredPlugins
{
    QObject* loginPlugin = nullptr;
    ORVO::LoginGfxPluginInterface* loginIface = nullptr;
    QObject* configPlugin = nullptr;
    ORVO::ConfigGfxPluginInterface* configIface = nullptr;
};

// Looks for the login plugin (type 0) and the portal plugin (type 1) among
// the given static plugin instances and the plugin files "app_*.dll" of dir,
// in that order; a later plugin of a type replaces an earlier one. Files
// that do not load are skipped with an ERROR line; objects that are no
// plugin of the client are skipped silently. Loaded plugins stay loaded.
DiscoveredPlugins discoverPlugins(const QObjectList& staticInstances, const QString& dir);

} // namespace ORVO
