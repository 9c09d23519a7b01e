// The portal view, the portal's commands, downloads and the file dialogs.
// The slots exist, so that the controller's wiring reaches them; until the
// portal view is built they do nothing but trace.
#include "gui/mainwindow/mainwindow.h"

#include <QCloseEvent>
#include <QEvent>
#include <QResizeEvent>

#include "common/log.h"

void MainWindow::actionTriggered(QString appName, QVariantMap data)
{
    LOG_TRACE;
    Q_UNUSED(appName);
    Q_UNUSED(data);
}

void MainWindow::javaScriptWindowObjectCleared()
{
    LOG_TRACE;
}

void MainWindow::configReceive(QVariant config)
{
    LOG_TRACE;
    // A plain OpenVPN sign-in says "false", Manager's default map "true";
    // fragments without the key leave the flag alone.
    const QVariant enabled =
        config.toMap().value(QStringLiteral("setup")).toMap().value(QStringLiteral("enabled"));
    if (!enabled.isNull())
        setupEnabled = enabled.toBool();
    LOG_DEBUG << "[MainWindow] setupEnabled: " << (setupEnabled ? "true" : "false");
}

void MainWindow::chooseOpenFile(QString msg)
{
    LOG_TRACE;
    Q_UNUSED(msg);
}

void MainWindow::queryDownloadTarget(QString url, QString defaultFileName)
{
    LOG_TRACE;
    Q_UNUSED(url);
    Q_UNUSED(defaultFileName);
}

void MainWindow::loadStarted()
{
    LOG_TRACE;
}

void MainWindow::loadFinished()
{
    LOG_TRACE;
}

void MainWindow::createConfig(bool debug)
{
    LOG_TRACE;
    Q_UNUSED(debug);
}

void MainWindow::createConfig()
{
    createConfig(false);
}

void MainWindow::showConfig(bool debug)
{
    LOG_TRACE;
    Q_UNUSED(debug);
}

void MainWindow::showConfig()
{
    showConfig(false);
}

void MainWindow::hideConfig()
{
    LOG_TRACE;
}

void MainWindow::hideDebugConfig()
{
    LOG_TRACE;
}

void MainWindow::backToLogin()
{
    LOG_TRACE;
}

void MainWindow::saveDebugEndpoint(QString endpoint)
{
    LOG_TRACE;
    Q_UNUSED(endpoint);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
}
