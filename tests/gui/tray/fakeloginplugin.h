#pragma once

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include "common/plugininterfaces.h"
#include "gui/mainwindow/pluginwindow.h"
#include "libvelcor/auth.h"
#include "profiles/connprofile.h"

// A login plugin that records what the tray asks of it.
class FakeLoginGfx : public QObject, public ORVO::LoginGfxPluginInterface
{
    Q_OBJECT
    Q_INTERFACES(ORVO::LoginGfxPluginInterface)
public:
    ORVO::PluginWindow* newWindow(const QVariantMap&) override
    {
        ++windows;
        return giveWindow ? new ORVO::PluginWindow : nullptr;
    }
    void setProgress(int step, int totSteps, const QString& description) override
    {
        progressCalls << QStringLiteral("%1/%2: %3").arg(step).arg(totSteps).arg(description);
    }
    LogForm* getLogFormExt() override { return nullptr; }
    void signInClicked() override {}

    bool giveWindow = true;
    int windows = 0;
    QStringList progressCalls;

signals:
    void authRequest();
    void profileSupply(ORVO::ConnProfile* profile);
    void authSupply(const libvelcor::Auth& auth);
    void close();
    void configSupply(QVariant config);
};

// The main window's side of the tray's wiring.
class FakeMainWindow : public QWidget
{
    Q_OBJECT
signals:
    void close();
};
