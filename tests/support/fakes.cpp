#include "fakes.h"

#include <QEventLoop>
#include <QTimer>

#include "common/cookiejar.h"
#include "profiles/connprofile.h"

namespace orvofake {

// ---- CallLog ---------------------------------------------------------------

void CallLog::add(const QString& object, const QString& member, const QVariantList& args)
{
    entries.append(Call{object, member, args});
}

QStringList CallLog::names() const
{
    QStringList out;
    for (const Call& c : entries)
        out.append(c.name());
    return out;
}

QStringList CallLog::namesOf(const QString& object) const
{
    QStringList out;
    for (const Call& c : entries)
        if (c.object == object)
            out.append(c.name());
    return out;
}

int CallLog::count(const QString& name) const
{
    int n = 0;
    for (const Call& c : entries)
        if (c.name() == name)
            ++n;
    return n;
}

int CallLog::indexOf(const QString& name, int from) const
{
    for (int i = qMax(0, from); i < entries.size(); ++i)
        if (entries.at(i).name() == name)
            return i;
    return -1;
}

QList<Call> CallLog::of(const QString& name) const
{
    QList<Call> out;
    for (const Call& c : entries)
        if (c.name() == name)
            out.append(c);
    return out;
}

Call CallLog::last(const QString& name) const
{
    for (int i = entries.size() - 1; i >= 0; --i)
        if (entries.at(i).name() == name)
            return entries.at(i);
    return Call();
}

QVariantMap authToMap(const libvelcor::Auth& auth)
{
    QVariantMap m;
    m.insert(QStringLiteral("id"), int(auth.getId()));
    m.insert(QStringLiteral("type"), int(auth.getType()));
    m.insert(QStringLiteral("url"), auth.getUrl());
    m.insert(QStringLiteral("user"), auth.getUser());
    m.insert(QStringLiteral("pass"), auth.getPass());
    m.insert(QStringLiteral("path"), auth.getPath());
    return m;
}

QVariant authArg(const libvelcor::Auth& auth)
{
    return authToMap(auth);
}

namespace {

// "setup"."enabled" as the main window and the tray read it.
void readSetupFlag(const QVariant& config, bool& flag)
{
    const QVariant v =
        config.toMap().value(QStringLiteral("setup")).toMap().value(QStringLiteral("enabled"));
    if (!v.isNull())
        flag = v.toBool();
}

} // namespace

// ---- FakeLoginPlugin --------------------------------------------------------

FakeLoginPlugin::FakeLoginPlugin(CallLog* log, QObject* parent) : QObject(parent), log(log)
{
    connect(this, SIGNAL(sigDisconnect()), this, SLOT(onDisconnect()));
    connect(this, SIGNAL(stateChanged(libvelcor::State)), this,
            SLOT(onStateChanged(libvelcor::State)));
    connect(this, SIGNAL(close()), this, SLOT(onClose()));
}

void FakeLoginPlugin::signIn(const libvelcor::Auth& auth, const QVariantMap& security,
                             const QVariantMap& openVpnFragment)
{
    if (!openVpnFragment.isEmpty())
        emit configSupply(openVpnFragment);
    emit authSupply(auth);
    emit securitySupply(security);
    emit sigConnect();
}

void FakeLoginPlugin::onDisconnect()
{
    log->add(QStringLiteral("login"), QStringLiteral("sigDisconnect"));
}

void FakeLoginPlugin::plainConnection(bool up, QString noPortal)
{
    log->add(QStringLiteral("login"), QStringLiteral("plainConnection"), {up, noPortal});
}

void FakeLoginPlugin::signInLasts(bool lasts)
{
    log->add(QStringLiteral("login"), QStringLiteral("signInLasts"), {lasts});
}

void FakeLoginPlugin::onStateChanged(libvelcor::State st)
{
    log->add(QStringLiteral("login"), QStringLiteral("stateChanged"), {int(st)});
}

void FakeLoginPlugin::onClose()
{
    log->add(QStringLiteral("login"), QStringLiteral("close"));
}

// ---- FakePortalPlugin -------------------------------------------------------

FakePortalPlugin::FakePortalPlugin(CallLog* log, QObject* parent) : QObject(parent), log(log) {}

void FakePortalPlugin::setCookieJar(QNetworkCookieJar* newJar)
{
    log->add(QStringLiteral("portal"), QStringLiteral("setCookieJar"),
             {QVariant::fromValue(static_cast<void*>(newJar))});
    if (!newJar)
        return;
    jar = newJar;
    ORVO::borrowCookieJar(&nam, newJar);
}

void FakePortalPlugin::onDisconnect()
{
    log->add(QStringLiteral("portal"), QStringLiteral("onDisconnect"), {ready});
    if (!ready || !hasWindow)
        return;
    ready = false;
    emit sigDisconnect();
}

void FakePortalPlugin::gotAuth(const libvelcor::Auth& newAuth)
{
    log->add(QStringLiteral("portal"), QStringLiteral("gotAuth"), {authArg(newAuth)});
    auth = newAuth;
}

void FakePortalPlugin::gotPages(const QVariantMap& newPages)
{
    log->add(QStringLiteral("portal"), QStringLiteral("gotPages"), {newPages});
    pages = newPages;
    ready = true;
}

void FakePortalPlugin::gotServerId(QUuid uuid)
{
    log->add(QStringLiteral("portal"), QStringLiteral("gotServerId"), {uuid});
    serverId = uuid;
}

void FakePortalPlugin::gotServerAddr(const QString& newAddr, const QString& newFallbackAddr)
{
    log->add(QStringLiteral("portal"), QStringLiteral("gotServerAddr"), {newAddr, newFallbackAddr});
    addr = newAddr;
    fallbackAddr = newFallbackAddr;
}

void FakePortalPlugin::gotFallback(bool newIsFallback)
{
    log->add(QStringLiteral("portal"), QStringLiteral("gotFallback"), {newIsFallback});
    isFallback = newIsFallback;
}

// ---- FakeMainWindow ---------------------------------------------------------

FakeMainWindow::FakeMainWindow(CallLog* log, bool withLogin, bool withPortal) : log(log)
{
    if (withLogin) {
        login = new FakeLoginPlugin(log, this);
        loginPlugin = login;
    }
    if (withPortal) {
        portal = new FakePortalPlugin(log, this);
        configPlugin = portal;
    }
}

void FakeMainWindow::chooseOpenFile(QString msg)
{
    log->add(QStringLiteral("window"), QStringLiteral("chooseOpenFile"), {msg});
    // The real window's dialog is modal: the answer comes within the call.
    if (!openFileAnswer.isNull())
        emit chosenOpenFile(openFileAnswer);
}

void FakeMainWindow::queryDownloadTarget(QString url, QString defaultFileName)
{
    log->add(QStringLiteral("window"), QStringLiteral("queryDownloadTarget"),
             {url, defaultFileName});
    if (!downloadDir.isNull())
        emit startDownload(url, downloadDir + QLatin1Char('/') + defaultFileName);
}

void FakeMainWindow::stateChanged(libvelcor::State state)
{
    log->add(QStringLiteral("window"), QStringLiteral("stateChanged"), {int(state)});
}

void FakeMainWindow::loggedIn()
{
    log->add(QStringLiteral("window"), QStringLiteral("loggedIn"));
}

void FakeMainWindow::progress(libvelcor::Progress p)
{
    log->add(QStringLiteral("window"), QStringLiteral("progress"),
             {p.getStep(), p.getTotal(), p.getDesc()});
}

void FakeMainWindow::authReceived(libvelcor::Auth auth)
{
    log->add(QStringLiteral("window"), QStringLiteral("authReceived"), {authArg(auth)});
}

void FakeMainWindow::loadStarted()
{
    log->add(QStringLiteral("window"), QStringLiteral("loadStarted"));
}

void FakeMainWindow::loadFinished()
{
    log->add(QStringLiteral("window"), QStringLiteral("loadFinished"));
}

void FakeMainWindow::configReceive(QVariant config)
{
    log->add(QStringLiteral("window"), QStringLiteral("configReceive"), {config});
    readSetupFlag(config, setupFlag);
}

// ---- FakeTray -----------------------------------------------------------------

FakeTray::FakeTray(CallLog* log, QObject* parent) : QObject(parent), log(log) {}

void FakeMainWindow::signInLasts(bool lasts)
{
    log->add(QStringLiteral("window"), QStringLiteral("signInLasts"), {lasts});
}

void FakeMainWindow::plainConnection(bool up, QString noPortal)
{
    log->add(QStringLiteral("window"), QStringLiteral("plainConnection"), {up, noPortal});
}

void FakeMainWindow::signingOut(bool out)
{
    log->add(QStringLiteral("window"), QStringLiteral("signingOut"), {out});
}

void FakeTray::configReceive(QVariant config)
{
    log->add(QStringLiteral("tray"), QStringLiteral("configReceive"), {config});
    readSetupFlag(config, setupFlag);
}

void FakeTray::signInLasts(bool lasts)
{
    log->add(QStringLiteral("tray"), QStringLiteral("signInLasts"), {lasts});
}

void FakeTray::_stateChanged(libvelcor::State state)
{
    log->add(QStringLiteral("tray"), QStringLiteral("_stateChanged"), {int(state)});
}

void FakeTray::progress(libvelcor::Progress p)
{
    log->add(QStringLiteral("tray"), QStringLiteral("progress"),
             {p.getStep(), p.getTotal(), p.getDesc()});
}

void FakeTray::profileReceive(ORVO::ConnProfile* profile)
{
    log->add(QStringLiteral("tray"), QStringLiteral("profileReceive"),
             {profile ? profile->getId() : QString()});
}

void FakeTray::authReceive(libvelcor::Auth auth)
{
    log->add(QStringLiteral("tray"), QStringLiteral("authReceive"), {authArg(auth)});
}

void FakeTray::gotError(QString msg)
{
    log->add(QStringLiteral("tray"), QStringLiteral("gotError"), {msg});
}

void FakeTray::windowClosed()
{
    log->add(QStringLiteral("tray"), QStringLiteral("windowClosed"));
}

// ---- FakeGui --------------------------------------------------------------------

FakeGui::FakeGui(CallLog* log, bool withGui, bool minimal, bool withLogin, bool withPortal)
    : withGui(withGui), minimal(minimal), log(log)
{
    if (!withGui)
        return;
    mainWindow = new FakeMainWindow(log, withLogin, withPortal);
    FakeMainWindow* w = mainWindow;
    QObject* l = mainWindow->loginPlugin;

    // The GUI controller's own wiring, made before Manager exists.
    if (l) {
        connect(l, SIGNAL(sigConnect()), this, SIGNAL(sigConnect()));
        connect(l, SIGNAL(profileSupply(ORVO::ConnProfile*)), this,
                SIGNAL(profileSupply(ORVO::ConnProfile*)));
        connect(l, SIGNAL(authSupply(libvelcor::Auth)), this, SIGNAL(authSupply(libvelcor::Auth)));
        connect(l, SIGNAL(configSupply(QVariant)), this, SIGNAL(configSupply(QVariant)));
        connect(l, SIGNAL(securitySupply(QVariant)), this, SIGNAL(securitySupply(QVariant)));
        connect(l, SIGNAL(configSupply(QVariant)), w, SLOT(configReceive(QVariant)));
    }
    connect(this, SIGNAL(configSupplyInt(QVariant)), w, SLOT(configReceive(QVariant)));
    connect(this, SIGNAL(plainConnection(bool, QString)), w, SLOT(plainConnection(bool, QString)));
    if (l) {
        connect(l, SIGNAL(logVerbosityChanged(ORVO::Verbosity)), this,
                SIGNAL(logVerbosityChanged(ORVO::Verbosity)));
        connect(l, SIGNAL(logPortSupply(int)), this, SIGNAL(logPortSupply(int)));
        connect(this, SIGNAL(close()), l, SIGNAL(close()));
        connect(this, SIGNAL(sigDisconnect()), l, SIGNAL(sigDisconnect()));
    }
    if (!minimal) {
        connect(w, SIGNAL(sigDisconnect()), this, SIGNAL(sigDisconnect()));
        connect(w, SIGNAL(startAction(QVariantMap)), this, SIGNAL(startAction(QVariantMap)));
        connect(w, SIGNAL(startDownload(QString, QString)), this,
                SIGNAL(startDownload(QString, QString)));
        connect(this, SIGNAL(chooseOpenFile(QString)), w, SLOT(chooseOpenFile(QString)));
        connect(w, SIGNAL(chosenOpenFile(QString)), this, SIGNAL(chosenOpenFile(QString)));
        connect(this, SIGNAL(queryDownloadTarget(QString, QString)), w,
                SLOT(queryDownloadTarget(QString, QString)));
        connect(this, SIGNAL(stateChanged(libvelcor::State)), w,
                SLOT(stateChanged(libvelcor::State)));
        connect(this, SIGNAL(loggedIn()), w, SLOT(loggedIn()));
        connect(this, SIGNAL(signInLasts(bool)), w, SLOT(signInLasts(bool)));
        connect(this, SIGNAL(signingOut(bool)), w, SLOT(signingOut(bool)));
        connect(this, SIGNAL(progress(libvelcor::Progress)), w,
                SLOT(progress(libvelcor::Progress)));
        connect(this, SIGNAL(authSupply(libvelcor::Auth)), w, SLOT(authReceived(libvelcor::Auth)));
        connect(this, SIGNAL(loadStarted()), w, SLOT(loadStarted()));
        connect(this, SIGNAL(loadFinished()), w, SLOT(loadFinished()));
    }
    tray = new FakeTray(log, this);
    connect(tray, SIGNAL(sigConnect()), this, SIGNAL(sigConnect()));
    connect(tray, SIGNAL(sigDisconnect()), this, SIGNAL(sigDisconnect()));
    connect(this, SIGNAL(stateChanged(libvelcor::State)), tray,
            SLOT(_stateChanged(libvelcor::State)));
    connect(this, SIGNAL(progress(libvelcor::Progress)), tray, SLOT(progress(libvelcor::Progress)));
    connect(tray, SIGNAL(close()), this, SIGNAL(close()));
    if (l) {
        connect(l, SIGNAL(authSupply(libvelcor::Auth)), tray, SLOT(authReceive(libvelcor::Auth)));
        connect(l, SIGNAL(configSupply(QVariant)), tray, SLOT(configReceive(QVariant)));
    }
    connect(this, SIGNAL(configSupplyInt(QVariant)), tray, SLOT(configReceive(QVariant)));
}

FakeGui::~FakeGui()
{
    delete tray;
    delete mainWindow;
}

namespace {

// What a modal box open for ms does to its caller.
void holdBox(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop box;
    QTimer::singleShot(ms, &box, &QEventLoop::quit);
    box.exec();
}

} // namespace

void FakeGui::_gotError(ORVO::Module m, QString errStr, QString msg)
{
    log->add(QStringLiteral("gui"), QStringLiteral("_gotError"), {int(m), errStr, msg});
    holdBox(errorDelayMs);
}

void FakeGui::_gotQuery(int id, QString query)
{
    log->add(QStringLiteral("gui"), QStringLiteral("_gotQuery"), {id, query});
    holdBox(queryDelayMs);
    if (queryAnswer != NoAnswer)
        emit sigQueryResponse(id, queryAnswer == Accept);
}

void FakeGui::_gotAuthChanged(libvelcor::Auth auth)
{
    log->add(QStringLiteral("gui"), QStringLiteral("_gotAuthChanged"), {authArg(auth)});
}

void FakeGui::_sessionEnded()
{
    log->add(QStringLiteral("gui"), QStringLiteral("_sessionEnded"));
}

void FakeGui::_requestAction(QVariantMap data)
{
    log->add(QStringLiteral("gui"), QStringLiteral("_requestAction"), {data});
    if (actionAnswer != Accept)
        return;
    QTimer::singleShot(0, this, [this, data]() { emit startAction(data); });
}

// ---- FakeManager ------------------------------------------------------------

FakeManager::FakeManager(CallLog* log, QObject* gui) : log(log)
{
    // Its own relays first, so that each is recorded as it passes.
    connect(this, SIGNAL(sigConnect()), this, SLOT(onSigConnect()));
    connect(this, SIGNAL(configSupply(QVariant)), this, SLOT(onConfigSupply(QVariant)));
    connect(this, SIGNAL(logPortSupplyApi(int)), this, SLOT(onLogPortSupplyApi(int)));
    connect(this, SIGNAL(close()), this, SLOT(onClose()));

    connect(gui, SIGNAL(sigConnect()), this, SIGNAL(sigConnect()));
    connect(gui, SIGNAL(sigDisconnect()), this, SLOT(_sigDisconnect()));
    connect(gui, SIGNAL(startAction(QVariantMap)), this, SLOT(_actionPerform(QVariantMap)));
    connect(gui, SIGNAL(startDownload(QString, QString)), this,
            SLOT(_startDownload(QString, QString)));
    connect(gui, SIGNAL(authSupply(libvelcor::Auth)), this, SLOT(_authReceive(libvelcor::Auth)));
    connect(gui, SIGNAL(logPortSupply(int)), this, SIGNAL(logPortSupplyApi(int)));
    connect(gui, SIGNAL(configSupply(QVariant)), this, SIGNAL(configSupply(QVariant)));
    connect(gui, SIGNAL(close()), this, SIGNAL(close()));
}

void FakeManager::_sigDisconnect()
{
    log->add(QStringLiteral("manager"), QStringLiteral("_sigDisconnect"));
}

void FakeManager::_actionPerform(QVariantMap data)
{
    log->add(QStringLiteral("manager"), QStringLiteral("_actionPerform"), {data});
}

void FakeManager::_startDownload(QString url, QString target)
{
    log->add(QStringLiteral("manager"), QStringLiteral("_startDownload"), {url, target});
}

void FakeManager::_authReceive(libvelcor::Auth auth)
{
    log->add(QStringLiteral("manager"), QStringLiteral("_authReceive"), {authArg(auth)});
}

void FakeManager::onSigConnect()
{
    log->add(QStringLiteral("manager"), QStringLiteral("sigConnect"));
}

void FakeManager::onConfigSupply(QVariant config)
{
    log->add(QStringLiteral("manager"), QStringLiteral("configSupply"), {config});
}

void FakeManager::onLogPortSupplyApi(int port)
{
    log->add(QStringLiteral("manager"), QStringLiteral("logPortSupplyApi"), {port});
}

void FakeManager::onClose()
{
    log->add(QStringLiteral("manager"), QStringLiteral("close"));
}

} // namespace orvofake
