// The sign-in view's reactions to the connection states. The slots exist,
// so that the controller's wiring reaches them; until the sign-in view is
// built they keep only what they are given.
#include "gui/mainwindow/mainwindow.h"

#include "common/log.h"

void MainWindow::authReceived(libvelcor::Auth auth)
{
    LOG_TRACE;
    userName = auth.getUser();
}

void MainWindow::loggedIn()
{
    LOG_TRACE;
}

void MainWindow::connectedTimerTimeout()
{
    LOG_TRACE;
}

void MainWindow::stateChanged(libvelcor::State s)
{
    LOG_TRACE;
    state = s;
}

void MainWindow::progress(libvelcor::Progress p)
{
    LOG_TRACE;
    Q_UNUSED(p);
}

void MainWindow::configWaitAndShow()
{
    LOG_TRACE;
}

void MainWindow::showLogin()
{
    LOG_TRACE;
}

void MainWindow::updateLoadingIcon()
{
    LOG_TRACE;
}

void MainWindow::signInOutClicked()
{
    LOG_TRACE;
}

void MainWindow::setLocked(bool locked)
{
    LOG_TRACE;
    Q_UNUSED(locked);
}
