#pragma once

// The interfaces of the client's two feature plugins. A plugin class derives
// from QObject first and from one interface second, and names the interface
// with Q_INTERFACES, so that qobject_cast to the interface works through its
// id. The interfaces declare their signals as pure virtual functions; the
// plugin class declares them again as Qt signals, whose emitters moc writes.
// Callers never call those: they connect to them by signature.
//
// Only forward declarations of widget classes here: the service side sees
// this header and links no widgets.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "libvelcor/auth.h"

class QNetworkCookieJar;
class QWidget;
class LogForm;

namespace ORVO {

class PluginWindow;

// The base of both plugin interfaces.
class GfxPluginInterface
{
public:
    virtual ~GfxPluginInterface() {}
    // Builds and returns the plugin's window; every caller passes an empty map.
    virtual ORVO::PluginWindow* newWindow(const QVariantMap& params) = 0;
    // 0 login plugin, 1 portal plugin; fixed by the derived interface.
    virtual int type() const = 0;
};

class LoginGfxPluginInterface : public GfxPluginInterface
{
public:
    int type() const override { return 0; }

    // Slot in the implementation.
    virtual void setProgress(int step, int totSteps, const QString& description) = 0;
    virtual LogForm* getLogFormExt() = 0;
    virtual void signInClicked() = 0;

    // Signals in the implementation.
    virtual void authRequest() = 0;
    virtual void authSupply(const libvelcor::Auth& auth) = 0;
    virtual void close() = 0;
};

class ConfigGfxPluginInterface : public GfxPluginInterface
{
public:
    int type() const override { return 1; }

    virtual void setCookieJar(QNetworkCookieJar* jar) = 0;
    virtual void setLogForm(LogForm* form) = 0;
    virtual bool isReady() const = 0;

    // The main window offers an object to the scripts of the portal pages
    // but links no web engine: the plugin reaches the engine for it.
    // The main frame of a portal page's web view as a plain object (its
    // javaScriptWindowObjectCleared() signal can be connected by name), or
    // null when the widget is not a web view with a page. A plugin without
    // web pages keeps the defaults.
    virtual QObject* pageMainFrame(QWidget* view) const
    {
        Q_UNUSED(view);
        return nullptr;
    }
    // Adds object to the script window of frame under name; the caller keeps
    // ownership. False (nothing added) when frame is not the frame of a
    // portal page, or holds a document from outside the management server.
    virtual bool addScriptObject(QObject* frame, const QString& name, QObject* object)
    {
        Q_UNUSED(frame);
        Q_UNUSED(name);
        Q_UNUSED(object);
        return false;
    }

    // Turns the web engine's developer extras (the page inspector) on for
    // every web view of the process.
    virtual void enableDeveloperExtras() {}

    // Signals in the implementation.
    virtual void action(const QString& name, const QVariantMap& params) = 0;
    virtual void syncRoutes(const QStringList& connectedEndpoints) = 0;
    virtual void loadStarted() = 0;
    virtual void loadFinished() = 0;

    // Slots in the implementation.
    virtual void onDisconnect() = 0;
    virtual void gotAuth(const libvelcor::Auth& auth) = 0;
    virtual void gotPages(const QVariantMap& pages) = 0;
    virtual void gotServerAddr(const QString& addr, const QString& fallbackAddr) = 0;
    virtual void gotFallback(bool isFallback) = 0;
};

} // namespace ORVO

#define ORVO_LoginGfxPluginInterface_iid "com.bastiva.ORVO.LoginGfxPluginInterface/1.0"
#define ORVO_ConfigGfxPluginInterface_iid "com.bastiva.ORVO.ConfigGfxPluginInterface/1.0"

Q_DECLARE_INTERFACE(ORVO::LoginGfxPluginInterface, ORVO_LoginGfxPluginInterface_iid)
Q_DECLARE_INTERFACE(ORVO::ConfigGfxPluginInterface, ORVO_ConfigGfxPluginInterface_iid)
