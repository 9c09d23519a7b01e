#pragma once

// The interfaces of the two plugins, the login plugin (type 0) and the
// portal plugin (type 1). A plugin class derives from QObject first and
// from its interface second, and names the interface in Q_INTERFACES, so
// that qobject_cast to the interface works through the interface id.
//
// The widget classes appear here only by name: this header is seen by
// layers without QtWidgets (the service coordination wires the portal
// plugin through it).
//
// Signals of the interfaces are pure virtual here and declared as Qt
// signals by the plugin class, whose meta-object code implements them;
// callers connect to them by signature and never call them.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "libvelcor/auth.h"

class QNetworkCookieJar;
class LogForm;

namespace ORVO {

class PluginWindow;

class GfxPluginInterface
{
public:
    virtual ~GfxPluginInterface() = default;
    // Builds the plugin's window; every caller passes an empty map.
    virtual ORVO::PluginWindow* newWindow(const QVariantMap& params) = 0;
    // 0 login plugin, 1 portal plugin; given by the derived interface, so a
    // plugin never chooses its own type.
    virtual int type() const = 0;
};

class LoginGfxPluginInterface : public GfxPluginInterface
{
public:
    int type() const override { return 0; }

    // Shows connection progress in the login window (a slot).
    virtual void setProgress(int step, int totSteps, const QString& description) = 0;
    // The second log viewer, the one the portal's settings dialog shows.
    virtual LogForm* getLogFormExt() = 0;
    // The main window's sign-in button was pressed.
    virtual void signInClicked() = 0;

    // Signals.
    virtual void authRequest() = 0;
    virtual void authSupply(const libvelcor::Auth& auth) = 0;
    virtual void close() = 0;
};

class ConfigGfxPluginInterface : public GfxPluginInterface
{
public:
    int type() const override { return 1; }

    // The program-wide cookie jar, borrowed: the plugin never deletes it.
    virtual void setCookieJar(QNetworkCookieJar* jar) = 0;
    // The log viewer of the settings dialog, borrowed.
    virtual void setLogForm(LogForm* form) = 0;
    // True once the portal pages have arrived.
    virtual bool isReady() const = 0;

    // Signals.
    virtual void action(const QString& name, const QVariantMap& params) = 0;
    virtual void syncRoutes(const QStringList& connectedEndpoints) = 0;
    virtual void loadStarted() = 0;
    virtual void loadFinished() = 0;

    // Slots.
    virtual void onDisconnect() = 0;
    virtual void gotAuth(const libvelcor::Auth& auth) = 0;
    virtual void gotPages(const QVariantMap& pages) = 0;
    virtual void gotServerAddr(const QString& addr, const QString& fallbackAddr) = 0;
    virtual void gotFallback(bool isFallback) = 0;
};

} // namespace ORVO

Q_DECLARE_INTERFACE(ORVO::LoginGfxPluginInterface, "com.corvane.ORVO.LoginGfxPluginInterface/1.0")
Q_DECLARE_INTERFACE(ORVO::ConfigGfxPluginInterface, "com.corvane.ORVO.ConfigGfxPluginInterface/1.0")
