#pragma once

// The fake kit: recording stand-ins for the GUI controller, the main window,
// the login plugin, the portal plugin, the tray and Manager's side of the
// GUI wiring. They declare the signals and slots that are connected by
// signature, with the real classes' signatures (fully qualified types);
// FakeGui wires the others to each other the way the real GUI controller
// does before Manager exists. Every slot call, and every input signal of a
// plugin, goes into one CallLog shared by all of them, so that its order is
// the order in which receivers ran across objects.

#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVariant>
#include <QVariantMap>

#include "common/common.h"
#include "common/plugininterfaces.h"
#include "libvelcor/auth.h"
#include "libvelcor/progress.h"
#include "libvelcor/state.h"

namespace ORVO {
class ConnProfile;
}

namespace orvofake {

struct Call
{
    QString object; // "gui", "window", "login", "portal", "tray", "manager"
    QString member;
    QVariantList args;
    QString name() const { return object + QLatin1Char('.') + member; }
};

class CallLog
{
public:
    void add(const QString& object, const QString& member,
             const QVariantList& args = QVariantList());
    const QList<Call>& calls() const { return entries; }
    QStringList names() const;
    // Names of the calls of one object, in order.
    QStringList namesOf(const QString& object) const;
    int count(const QString& name) const;
    int indexOf(const QString& name, int from = 0) const;
    // The calls with that name, in order.
    QList<Call> of(const QString& name) const;
    Call last(const QString& name) const;
    void clear() { entries.clear(); }

private:
    QList<Call> entries;
};

class FakeLoginPlugin : public QObject
{
    Q_OBJECT
public:
    explicit FakeLoginPlugin(CallLog* log, QObject* parent = nullptr);

    // The sign-in as the login form sends it: an OpenVPN profile's fragment
    // (when not null), the profile credential, the security map, connect.
    void signIn(const libvelcor::Auth& auth, const QVariantMap& security,
                const QVariantMap& openVpnFragment = QVariantMap());

signals:
    void sigConnect();
    void profileSupply(ORVO::ConnProfile* profile);
    void authSupply(libvelcor::Auth auth);
    void configSupply(QVariant config);
    void securitySupply(QVariant config);
    void logVerbosityChanged(ORVO::Verbosity verbosity);
    void logPortSupply(int port);
    // Inputs of the plugin.
    void close();
    void sigDisconnect();
    void stateChanged(libvelcor::State st);

public slots:
    void plainConnection(bool up, QString noPortal);
    void signInLasts(bool lasts);

private slots:
    void onDisconnect();
    void onStateChanged(libvelcor::State st);
    void onClose();

private:
    CallLog* log;
};

class FakePortalPlugin : public QObject, public ORVO::ConfigGfxPluginInterface
{
    Q_OBJECT
    Q_INTERFACES(ORVO::ConfigGfxPluginInterface)
public:
    explicit FakePortalPlugin(CallLog* log, QObject* parent = nullptr);

    // Reached through the interface only. Borrows the jar the way a web
    // view does: installed on an access manager that keeps a plain pointer
    // to it.
    void setCookieJar(QNetworkCookieJar* jar) override;
    ORVO::PluginWindow* newWindow(const QVariantMap&) override { return nullptr; }
    void setLogForm(LogForm*) override {}
    bool isReady() const override { return ready; }

    QNetworkCookieJar* jar = nullptr;
    QNetworkAccessManager nam;
    bool ready = false;
    bool hasWindow = true;
    QVariantMap pages;
    QUuid serverId;
    QString addr;
    QString fallbackAddr;
    bool isFallback = false;
    libvelcor::Auth auth;

signals:
    void action(const QString& name, const QVariantMap& data) override;
    void syncRoutes(const QStringList& connectedEndpoints) override;
    void changePassword(QString newPass);
    void loadStarted() override;
    void loadFinished() override;
    void sigDisconnect();

public slots:
    void onDisconnect() override;
    void gotAuth(const libvelcor::Auth& auth) override;
    void gotPages(const QVariantMap& pages) override;
    void gotServerId(QUuid uuid);
    void gotServerAddr(const QString& addr, const QString& fallbackAddr) override;
    void gotFallback(bool isFallback) override;

private:
    CallLog* log;
};

class FakeMainWindow : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QObject* loginPlugin MEMBER loginPlugin)
    Q_PROPERTY(QObject* configPlugin MEMBER configPlugin)
public:
    FakeMainWindow(CallLog* log, bool withLogin, bool withPortal);

    QObject* loginPlugin = nullptr;
    QObject* configPlugin = nullptr;
    FakeLoginPlugin* login = nullptr;
    FakePortalPlugin* portal = nullptr;
    // Answers of the dialogs; a null answer leaves the question open.
    QString openFileAnswer;
    QString downloadDir;
    bool setupFlag = true;

signals:
    void sigDisconnect();
    void startAction(QVariantMap data);
    void startDownload(QString url, QString target);
    void chosenOpenFile(QString file);
    void close();

public slots:
    void chooseOpenFile(QString msg);
    void queryDownloadTarget(QString url, QString defaultFileName);
    void stateChanged(libvelcor::State state);
    void loggedIn();
    void progress(libvelcor::Progress progress);
    void authReceived(libvelcor::Auth auth);
    void loadStarted();
    void loadFinished();
    void configReceive(QVariant config);
    void plainConnection(bool up, QString noPortal);
    void signInLasts(bool lasts);
    void signingOut(bool out);

private:
    CallLog* log;
};

class FakeTray : public QObject
{
    Q_OBJECT
public:
    explicit FakeTray(CallLog* log, QObject* parent = nullptr);

    bool setupFlag = true;

signals:
    void sigConnect();
    void sigDisconnect();
    void unhide();
    void close();

public slots:
    void configReceive(QVariant config);
    void profileReceive(ORVO::ConnProfile* profile);
    void authReceive(libvelcor::Auth auth);
    void gotError(QString msg);
    void _stateChanged(libvelcor::State state);
    void signInLasts(bool lasts);
    void windowClosed();
    void progress(libvelcor::Progress progress);

private:
    CallLog* log;
};

class FakeGui : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool withGui MEMBER withGui)
    Q_PROPERTY(bool minimal MEMBER minimal)
    // A pointer to a QObject subclass, as the real controller's QWidget*.
    Q_PROPERTY(orvofake::FakeMainWindow* mainWindow MEMBER mainWindow CONSTANT)
public:
    enum Answer { NoAnswer, Accept, Refuse };

    FakeGui(CallLog* log, bool withGui, bool minimal, bool withLogin = true,
            bool withPortal = true);
    ~FakeGui() override;

    QObject* getMainWindow() const { return mainWindow; }
    FakeLoginPlugin* login() const { return mainWindow ? mainWindow->login : nullptr; }
    FakePortalPlugin* portal() const { return mainWindow ? mainWindow->portal : nullptr; }

    bool withGui;
    bool minimal;
    FakeMainWindow* mainWindow = nullptr;
    FakeTray* tray = nullptr;
    // Answer of the untrusted-server question (given within the call, as a
    // modal box does, after queryDelayMs in a nested event loop) and of the
    // action confirmation (given later, as the timed box does). An error
    // keeps its box open in a nested event loop for errorDelayMs.
    Answer queryAnswer = NoAnswer;
    int queryDelayMs = 0;
    int errorDelayMs = 0;
    Answer actionAnswer = NoAnswer;

signals:
    void stateChanged(libvelcor::State state);
    void loggedIn();
    void progress(libvelcor::Progress progress);
    void authRequired(libvelcor::Auth::Id id);
    void chooseOpenFile(QString msg);
    void queryDownloadTarget(QString url, QString defaultFileName);
    void configSupplyInt(QVariant settings);
    void plainConnection(bool up, QString noPortal);
    void signInLasts(bool lasts);
    void signingOut(bool out);
    void loadStarted();
    void loadFinished();
    void sigConnect();
    void sigDisconnect();
    void startAction(QVariantMap data);
    void startDownload(QString url, QString target = QString(""));
    void profileSupply(ORVO::ConnProfile* profile);
    void authSupply(libvelcor::Auth auth);
    void configSupply(QVariant settings);
    void securitySupply(QVariant settings);
    void logVerbosityChanged(ORVO::Verbosity verbosity);
    void logPortSupply(int port);
    void chosenOpenFile(QString file);
    void close();
    void sigQueryResponse(int id, bool ok);
    void error(QString msg);

private slots:
    void _gotError(ORVO::Module m, QString errStr, QString msg = QString(""));
    void _gotQuery(int id, QString query);
    void _gotAuthChanged(libvelcor::Auth auth);
    void _requestAction(QVariantMap data);
    void _sessionEnded();

private:
    CallLog* log;
};

// Manager's side of the GUI wiring, for tests of the GUI controller without
// Manager: connects to the controller afterwards, by the signatures Manager
// uses, and records what reaches it. What Manager relays as a signal of its
// own is relayed here too, and recorded under that signal's name.
class FakeManager : public QObject
{
    Q_OBJECT
public:
    FakeManager(CallLog* log, QObject* gui);

signals:
    void sigConnect();
    void configSupply(QVariant config);
    void logPortSupplyApi(int port);
    void close();

private slots:
    void _sigDisconnect();
    void _actionPerform(QVariantMap data);
    void _startDownload(QString url, QString target);
    void _authReceive(libvelcor::Auth auth);
    void onSigConnect();
    void onConfigSupply(QVariant config);
    void onLogPortSupplyApi(int port);
    void onClose();

private:
    CallLog* log;
};

// Readable forms for the log and for comparisons.
QVariantMap authToMap(const libvelcor::Auth& auth);
QVariant authArg(const libvelcor::Auth& auth);

} // namespace orvofake
