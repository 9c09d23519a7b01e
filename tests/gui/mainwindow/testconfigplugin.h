#pragma once

#include <QObject>
#include <QPointer>
#include <QUuid>
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

// A portal plugin: ready once pages arrived, a window with the banner buttons.
class TestConfigPlugin : public QObject, public ORVO::ConfigGfxPluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ORVO_ConfigGfxPluginInterface_iid)
    Q_INTERFACES(ORVO::ConfigGfxPluginInterface)
public:
    TestConfigPlugin() = default;

    ORVO::PluginWindow* newWindow(const QVariantMap& params) override;
    Q_INVOKABLE void setCookieJar(QNetworkCookieJar* jar) override { Q_UNUSED(jar); }
    void setLogForm(LogForm* form) override { Q_UNUSED(form); }
    bool isReady() const override { return ready; }

    bool ready = false;
    // Windows made so far; each has two tabs whose pages are plain labels.
    int windows = 0;

public slots:
    void onDisconnect() override { ready = false; }
    void gotAuth(const libvelcor::Auth& auth) override { Q_UNUSED(auth); }
    void gotPages(const QVariantMap& pages) override;
    void gotServerAddr(const QString& addr, const QString& fallbackAddr) override;
    void gotFallback(bool isFallback) override { Q_UNUSED(isFallback); }
    void gotServerId(QUuid uuid) { Q_UNUSED(uuid); }

signals:
    void action(const QString& name, const QVariantMap& params);
    void syncRoutes(const QStringList& connectedEndpoints);
    void loadStarted();
    void loadFinished();
    void changePassword(QString newPass);
    void sigDisconnect();
};
