#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QVariant>
#include <QVariantMap>

#include "common/common.h"
#include "libvelcor/auth.h"
#include "libvelcor/error.h"
#include "libvelcor/params.h"
#include "libvelcor/progress.h"
#include "libvelcor/state.h"
#include "mgr/networkmanager.h"
#include "mgr/processmanager.h"

namespace ORVO {

class ApiManager;
class Config;

// The centre of the client: owns the workers (ProcessManager, then
// NetworkManager, then ApiManager), keeps the proxy and profile credentials,
// and wires the GUI controller, the workers, the plugins and the file log
// to each other once, in run().
//
// What run() reads of its neighbours, through Qt properties, so that this
// layer needs no widget header:
//   gui:               "withGui" (bool), "minimal" (bool),
//                      "mainWindow" (a QObject-derived pointer, null in
//                      command-line mode)
//   the main window:   "loginPlugin" and "configPlugin" (QObject*, null when
//                      the plugin was not found)
//   the portal plugin: an ORVO::ConfigGfxPluginInterface
//                      ("common/plugininterfaces.h"), found by qobject_cast;
//                      it is lent the cookie jar through the interface. An
//                      object that is not one is not wired.
// All connections are made by signature strings; the peers must declare the
// signals and slots below with exactly these (fully qualified) types.
class Manager : public QObject
{
    Q_OBJECT

public:
    explicit Manager(ORVO::Config* cfg);
    ~Manager() override;

    // Makes every connection (once); always 0.
    int run();
    bool isValid() const { return valid; }

    // The download routing's URL fix: a path that does not end in "/" gets
    // one; percent-encoded characters of the path stay encoded.
    static QString _fixUrl(const QString& url);
    // The action map a request of the local request server becomes: its
    // action as "_type" and the parameters the actions read (null strings
    // when absent).
    static QVariantMap _actionMap(const QString& action, const libvelcor::Params& params);

    ORVO::ProcessManager* getProcessManager() const { return processManager; }
    ORVO::NetworkManager* getNetworkManager() const { return networkManager; }
    ORVO::ApiManager* getApiManager() const { return apiManager; }
    libvelcor::Auth getProxyAuth() const { return proxyAuth; }
    libvelcor::Auth getProfileAuth() const { return profileAuth; }

    // Tested by the start-up right after construction; errorText tells the
    // user why it is false, when that is known.
    bool valid = false;
    QString errorText;
    // Borrowed; assigned by the start-up after construction, before run().
    QObject* gui = nullptr;

signals:
    void stateChanged(libvelcor::State state);
    void authSupply(libvelcor::Auth auth);
    void configSupply(QVariant config);
    void configSupplyInt(QVariant config);
    void authChanged(libvelcor::Auth auth);
    void pagesSupply(QVariantMap pages);
    void serverIdSupply(QUuid uuid);
    void serverAddrSupply(QString addr, QString fallbackAddr);
    void requestAction(QVariantMap data);
    void sigConnect();
    // The user's OK to the service's question: the sign-in goes on.
    void sigContinue();
    // The user's Cancel to it: the sign-in ends.
    void sigCancel();
    void sigDisconnect();
    // The service coordinator's word on how the connection up is shown.
    void plainConnection(bool up, QString noPortal);
    void signInLasts(bool lasts);
    void signingOut(bool out);
    void sigError(ORVO::Module m, QString errStr, QString msg = QString(""));
    void sigQuery(int id, QString query);
    void close();

private slots:
    void _test();
    void _authReceive(libvelcor::Auth auth);
    void _serverConfigReceive(QVariant config);
    void _securityReceive(QVariant config);
    void _logVerbosityChanged(ORVO::Verbosity verbosity);
    void _actionPerform(QVariantMap data);
    void _actionPerformRemap(QString action, libvelcor::Params params);
    void _startDownload(QString url, QString target);
    void _sigDisconnect();
    void _netError(ORVO::NetworkManager::Error err, QString msg);
    void _processError(ORVO::ProcessManager::Error err, QString msg);
    void _apiError(libvelcor::Error err);
    void _gotQueryResponse(int id, bool ok);
    // Every connect request starts a new sign-in: forget the last reported
    // service error so that the same error is reported again.
    void _connectRequested();
    // A password changed on the management server replaces the stored
    // profile credential, so later sign-ins use the new one.
    void _authChangedReceive(libvelcor::Auth auth);
    // An idle or error state ends the attempt an open question was about.
    void _stateReceive(libvelcor::State state);
    // The reset that an error owed the sign-in comes at its end.
    void _signInLasts(bool lasts);

private:
    int _setup();
    int _clear();
    // A failure's reset of the service's profile and credentials: now, or
    // at the end of the sign-in that lasts.
    void _resetOrOwe();
    int _clearConfig();
    void _emitFragment(const QVariantMap& fragment);

    ORVO::Config* config = nullptr; // borrowed, not read
    libvelcor::Auth proxyAuth;
    libvelcor::Auth profileAuth;
    // The user gave a proxy credential; it stays in force until the next.
    bool proxyGiven = false;
    // A sign-in's profile credential is held (none since the last reset).
    bool profileGiven = false;
    // The untrusted-server question is open and its attempt goes on.
    bool questionOpen = false;
    // An error came while the sign-in lasted: the reset it calls for is
    // owed until the sign-in ends (a later sign-in's profile replaces it).
    bool resetOwed = false;
    ORVO::ProcessManager* processManager = nullptr;
    ORVO::NetworkManager* networkManager = nullptr;
    ORVO::ApiManager* apiManager = nullptr;
    // Code of the last reported service error 100 or 200; -1 for none.
    int prevApiCode = -1;
    // The portal plugin that borrowed the cookie jar; it outlives Manager.
    QPointer<QObject> portal;
    bool wired = false;
};

} // namespace ORVO
