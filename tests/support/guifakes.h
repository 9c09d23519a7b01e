#pragma once

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include "common/common.h"
#include "libvelcor/auth.h"
#include "libvelcor/progress.h"
#include "libvelcor/state.h"
#include "profiles/connprofile.h"

// Stand-ins with the signatures of the login plugin, the main window, the
// tray and Manager; every slot (and every input signal of the plugin)
// writes its name into one shared journal, so tests see the order in
// which receivers ran.
using Journal = QStringList;

class FakeLogin : public QObject
{
    Q_OBJECT
public:
    explicit FakeLogin(Journal& j) : journal(j)
    {
        connect(this, &FakeLogin::sigDisconnect, this, [this] { journal << "L:sigDisconnect"; });
        connect(this, &FakeLogin::close, this, [this] { journal << "L:close"; });
    }
    Journal& journal;
signals:
    void sigConnect();
    void profileSupply(ORVO::ConnProfile* profile);
    void authSupply(libvelcor::Auth auth);
    void configSupply(QVariant config);
    void securitySupply(QVariant settings);
    void logVerbosityChanged(ORVO::Verbosity v);
    void logPortSupply(int port);
    void close();
    void sigDisconnect();
};

class FakeWindow : public QObject
{
    Q_OBJECT
public:
    explicit FakeWindow(Journal& j) : journal(j) {}
    Journal& journal;
signals:
    void sigDisconnect();
    void startAction(QVariantMap data);
    void startDownload(QString url, QString target);
    void chosenOpenFile(QString file);
    void close();
public slots:
    void configReceive(QVariant) { journal << "W:configReceive"; }
    void chooseOpenFile(QString) { journal << "W:chooseOpenFile"; }
    void queryDownloadTarget(QString, QString) { journal << "W:queryDownloadTarget"; }
    void stateChanged(libvelcor::State) { journal << "W:stateChanged"; }
    void loggedIn() { journal << "W:loggedIn"; }
    void progress(libvelcor::Progress) { journal << "W:progress"; }
    void authReceived(libvelcor::Auth) { journal << "W:authReceived"; }
    void loadStarted() { journal << "W:loadStarted"; }
    void loadFinished() { journal << "W:loadFinished"; }
};

class FakeTray : public QObject
{
    Q_OBJECT
public:
    explicit FakeTray(Journal& j) : journal(j) {}
    Journal& journal;
signals:
    void sigConnect();
    void sigDisconnect();
    void close();
    void unhide();
public slots:
    void _stateChanged(libvelcor::State) { journal << "T:_stateChanged"; }
    void progress(libvelcor::Progress) { journal << "T:progress"; }
    void windowClosed() { journal << "T:windowClosed"; }
    void gotError(QString) { journal << "T:gotError"; }
    void profileReceive(ORVO::ConnProfile*) { journal << "T:profileReceive"; }
    void authReceive(const libvelcor::Auth&) { journal << "T:authReceive"; }
    void configReceive(const QVariant&) { journal << "T:configReceive"; }
};

// Connects to the Gui afterwards, as Manager does.
class FakeManager : public QObject
{
    Q_OBJECT
public:
    FakeManager(Journal& j, QObject* gui) : journal(j)
    {
        connect(gui, SIGNAL(sigConnect()), this, SLOT(sigConnectIn()));
        connect(gui, SIGNAL(sigDisconnect()), this, SLOT(_sigDisconnect()));
        connect(gui, SIGNAL(startAction(QVariantMap)), this, SLOT(_actionPerform(QVariantMap)));
        connect(gui, SIGNAL(startDownload(QString, QString)), this,
                SLOT(_startDownload(QString, QString)));
        connect(gui, SIGNAL(authSupply(libvelcor::Auth)), this,
                SLOT(_authReceive(libvelcor::Auth)));
        connect(gui, SIGNAL(configSupply(QVariant)), this, SLOT(configSupplyIn(QVariant)));
        connect(gui, SIGNAL(logPortSupply(int)), this, SLOT(logPortIn(int)));
        connect(gui, SIGNAL(close()), this, SLOT(closeIn()));
    }
    Journal& journal;
public slots:
    void sigConnectIn() { journal << "M:sigConnect"; }
    void _sigDisconnect() { journal << "M:_sigDisconnect"; }
    void _actionPerform(QVariantMap) { journal << "M:_actionPerform"; }
    void _startDownload(QString, QString) { journal << "M:_startDownload"; }
    void _authReceive(libvelcor::Auth) { journal << "M:_authReceive"; }
    void configSupplyIn(QVariant) { journal << "M:configSupply"; }
    void logPortIn(int) { journal << "M:logPortSupply"; }
    void closeIn() { journal << "M:close"; }
};
