#include "gui/guiwiring.h"

#include <QObject>

#include "common/log.h"
#include "gui/gui.h"

namespace ORVO {
namespace guiwiring {

namespace {

// One connection: sender role, signal, receiver role, slot or relayed
// signal. Roles: 'G' the controller, 'L' the login plugin, 'W' the main
// window, 'T' the tray.
struct Link
{
    char from;
    const char* signal;
    char to;
    const char* method;
};

struct Ends
{
    QObject* gui;
    QObject* login;
    QObject* window;
    QObject* tray;

    QObject* get(char role) const
    {
        switch (role) {
        case 'G':
            return gui;
        case 'L':
            return login;
        case 'W':
            return window;
        default:
            return tray;
        }
    }
};

// Made in table order: receivers of one signal run in that order.
int connectAll(const Ends& ends, const Link* links, int count)
{
    int rc = 0;
    for (int i = 0; i < count; ++i) {
        const Link& link = links[i];
        QObject* sender = ends.get(link.from);
        QObject* receiver = ends.get(link.to);
        if (!sender || !receiver) {
            LOG_ERROR << "missing end for " << link.signal + 1;
            rc = -1;
            continue;
        }
        if (!QObject::connect(sender, link.signal, receiver, link.method))
            rc = -1;
    }
    return rc;
}

} // namespace

int connectLogin(Gui* gui, QObject* loginPlugin, QObject* mainWindow)
{
    LOG_TRACE;
    const Link links[] = {
        {'L', SIGNAL(sigConnect()), 'G', SIGNAL(sigConnect())},
        {'L', SIGNAL(profileSupply(ORVO::ConnProfile*)), 'G',
         SIGNAL(profileSupply(ORVO::ConnProfile*))},
        {'L', SIGNAL(authSupply(libvelcor::Auth)), 'G', SIGNAL(authSupply(libvelcor::Auth))},
        {'L', SIGNAL(configSupply(QVariant)), 'G', SIGNAL(configSupply(QVariant))},
        {'L', SIGNAL(securitySupply(QVariant)), 'G', SIGNAL(securitySupply(QVariant))},
        {'L', SIGNAL(configSupply(QVariant)), 'W', SLOT(configReceive(QVariant))},
        {'G', SIGNAL(configSupplyInt(QVariant)), 'W', SLOT(configReceive(QVariant))},
        {'G', SIGNAL(plainConnection(bool, QString)), 'W', SLOT(plainConnection(bool, QString))},
        {'G', SIGNAL(plainConnection(bool, QString)), 'L', SLOT(plainConnection(bool, QString))},
        {'G', SIGNAL(signInLasts(bool)), 'L', SLOT(signInLasts(bool))},
        {'L', SIGNAL(logVerbosityChanged(ORVO::Verbosity)), 'G',
         SIGNAL(logVerbosityChanged(ORVO::Verbosity))},
        {'L', SIGNAL(logPortSupply(int)), 'G', SIGNAL(logPortSupply(int))},
        {'G', SIGNAL(close()), 'L', SIGNAL(close())},
        {'G', SIGNAL(sigDisconnect()), 'L', SIGNAL(sigDisconnect())},
    };
    return connectAll({gui, loginPlugin, mainWindow, nullptr}, links,
                      static_cast<int>(sizeof links / sizeof links[0]));
}

int connectMainWindow(Gui* gui, QObject* mainWindow)
{
    LOG_TRACE;
    const Link links[] = {
        {'W', SIGNAL(sigDisconnect()), 'G', SIGNAL(sigDisconnect())},
        {'W', SIGNAL(startAction(QVariantMap)), 'G', SIGNAL(startAction(QVariantMap))},
        {'W', SIGNAL(startDownload(QString, QString)), 'G',
         SIGNAL(startDownload(QString, QString))},
        {'G', SIGNAL(chooseOpenFile(QString)), 'W', SLOT(chooseOpenFile(QString))},
        {'W', SIGNAL(chosenOpenFile(QString)), 'G', SIGNAL(chosenOpenFile(QString))},
        {'G', SIGNAL(queryDownloadTarget(QString, QString)), 'W',
         SLOT(queryDownloadTarget(QString, QString))},
        {'G', SIGNAL(stateChanged(libvelcor::State)), 'W', SLOT(stateChanged(libvelcor::State))},
        {'G', SIGNAL(loggedIn()), 'W', SLOT(loggedIn())},
        {'G', SIGNAL(signInLasts(bool)), 'W', SLOT(signInLasts(bool))},
        {'G', SIGNAL(signingOut(bool)), 'W', SLOT(signingOut(bool))},
        {'G', SIGNAL(progress(libvelcor::Progress)), 'W', SLOT(progress(libvelcor::Progress))},
        {'G', SIGNAL(authSupply(libvelcor::Auth)), 'W', SLOT(authReceived(libvelcor::Auth))},
        {'G', SIGNAL(loadStarted()), 'W', SLOT(loadStarted())},
        {'G', SIGNAL(loadFinished()), 'W', SLOT(loadFinished())},
    };
    return connectAll({gui, nullptr, mainWindow, nullptr}, links,
                      static_cast<int>(sizeof links / sizeof links[0]));
}

int connectTray(Gui* gui, QObject* tray, QObject* loginPlugin, QObject* mainWindow)
{
    LOG_TRACE;
    const Link links[] = {
        {'T', SIGNAL(sigConnect()), 'G', SIGNAL(sigConnect())},
        {'T', SIGNAL(sigDisconnect()), 'G', SIGNAL(sigDisconnect())},
        {'G', SIGNAL(stateChanged(libvelcor::State)), 'T', SLOT(_stateChanged(libvelcor::State))},
        {'G', SIGNAL(progress(libvelcor::Progress)), 'T', SLOT(progress(libvelcor::Progress))},
        {'G', SIGNAL(signInLasts(bool)), 'T', SLOT(signInLasts(bool))},
        {'W', SIGNAL(close()), 'T', SLOT(windowClosed())},
        {'T', SIGNAL(close()), 'G', SIGNAL(close())},
        {'T', SIGNAL(unhide()), 'G', SLOT(_windowUnhide())},
        {'G', SIGNAL(error(QString)), 'T', SLOT(gotError(QString))},
        {'L', SIGNAL(profileSupply(ORVO::ConnProfile*)), 'T',
         SLOT(profileReceive(ORVO::ConnProfile*))},
        {'L', SIGNAL(authSupply(libvelcor::Auth)), 'T', SLOT(authReceive(libvelcor::Auth))},
        {'L', SIGNAL(configSupply(QVariant)), 'T', SLOT(configReceive(QVariant))},
        {'G', SIGNAL(configSupplyInt(QVariant)), 'T', SLOT(configReceive(QVariant))},
    };
    return connectAll({gui, loginPlugin, mainWindow, tray}, links,
                      static_cast<int>(sizeof links / sizeof links[0]));
}

} // namespace guiwiring
} // namespace ORVO
