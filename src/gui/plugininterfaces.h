#pragma once

#include <QString>
#include <QVariantMap>
#include <QtPlugin>

class LogForm;
class QWidget;

namespace ORVO {

// What the main window asks of every window plugin.
class GfxPluginInterface
{
public:
    virtual ~GfxPluginInterface() = default;
    // A new window of the plugin; the caller takes it over.
    virtual QWidget* newWindow(const QVariantMap& params) = 0;
    // 0 the login plugin, 1 the portal plugin.
    virtual int type() = 0;
};

// The login plugin. Its object is a QObject with the signals authRequest()
// (start a sign-in with what its form holds), authSupply(libvelcor::Auth)
// and close(); callers reach them through that QObject.
class LoginGfxPluginInterface : public GfxPluginInterface
{
public:
    virtual void setProgress(int step, int totSteps, const QString& description) = 0;
    // The log page that the login plugin makes for the portal's settings.
    virtual LogForm* getLogFormExt() = 0;
    virtual void signInClicked() = 0;
};

} // namespace ORVO

Q_DECLARE_INTERFACE(ORVO::GfxPluginInterface, "com.bastiva.connect.GfxPluginInterface/1.0")
Q_DECLARE_INTERFACE(ORVO::LoginGfxPluginInterface,
                    "com.bastiva.connect.LoginGfxPluginInterface/1.0")
