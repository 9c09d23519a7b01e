#pragma once

#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QVariantMap>

#include "common/common.h"
#include "common/plugininterfaces.h"
#include "gui/mainwindow/pluginwindow.h"
#include "libvelcor/auth.h"
#include "libvelcor/state.h"
#include "profiles/connprofile.h"

// Small plugins with the signatures of the real ones, linked in as static
// plugins (the test imports them with Q_IMPORT_PLUGIN, login first). Their
// constructors make no widget.

// A login plugin whose window has three tabs, each page holding a small form.
class TestLoginPlugin : public QObject, public ORVO::LoginGfxPluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ORVO_LoginGfxPluginInterface_iid)
    Q_INTERFACES(ORVO::LoginGfxPluginInterface)
public:
    TestLoginPlugin() = default;

    // Replaces the window made before, as the real plugin does.
    ORVO::PluginWindow* newWindow(const QVariantMap& params) override;
    LogForm* getLogFormExt() override { return nullptr; }
    void signInClicked() override { ++signIns; }

    QPointer<ORVO::PluginWindow> window;
    int windowsMade = 0;
    int signIns = 0;
    int lastStep = -1;
    QString noPortal;

public slots:
    void setProgress(int step, int totSteps, const QString& description) override;
    void plainConnection(bool up, QString why) { noPortal = up ? why : QString(); }
    void signInLasts(bool) {}

signals:
    void authRequest();
    void authSupply(const libvelcor::Auth& auth);
    void close();
    void sigConnect();
    void profileSupply(ORVO::ConnProfile* profile);
    void configSupply(QVariant config);
    void securitySupply(QVariant settings);
    void logVerbosityChanged(ORVO::Verbosity v);
    void logPortSupply(int port);
    void sigDisconnect();
    void stateChanged(libvelcor::State st);
};
