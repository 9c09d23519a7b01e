#include "gui/mainwindow/mainwindowcallback.h"

#include "common/log.h"
#include "common/loglimit.h"
#include "gui/mainwindow/mainwindow.h"

MainWindowCallback::MainWindowCallback(MainWindow* window, QObject* frame)
    : QObject(frame), window(window)
{
    setObjectName(QStringLiteral("MainWindowCallback"));
}

void MainWindowCallback::backToLogin()
{
    const ORVO::log::LimitScope scope(ORVO::log::RateLimit::of(parent()));
    LOG_TRACE;
    if (window)
        window->backToLogin();
}

void MainWindowCallback::saveDebugEndpoint(QString endpoint)
{
    const ORVO::log::LimitScope scope(ORVO::log::RateLimit::of(parent()));
    LOG_TRACE;
    if (window)
        window->saveDebugEndpoint(endpoint);
}
