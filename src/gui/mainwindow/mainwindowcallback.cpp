#include "gui/mainwindow/mainwindowcallback.h"

#include "common/log.h"
#include "gui/mainwindow/mainwindow.h"

MainWindowCallback::MainWindowCallback(MainWindow* window) : QObject(window), window(window)
{
    setObjectName(QStringLiteral("MainWindowCallback"));
}

void MainWindowCallback::backToLogin()
{
    LOG_TRACE;
    if (window)
        window->backToLogin();
}

void MainWindowCallback::saveDebugEndpoint(QString endpoint)
{
    LOG_TRACE;
    if (window)
        window->saveDebugEndpoint(endpoint);
}
