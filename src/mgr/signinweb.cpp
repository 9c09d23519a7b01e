// The sign-in's web session: its login, logout and password change, one
// request at a time and only to the sign-in's server, and the logos.

#include <QDir>
#include <QFileInfo>

#include "common/common.h"
#include "common/log.h"
#include "common/utils.h"
#include "libvelcor/client.h"
#include "mgr/lodestarapi.h"
#include "mgr/networkmanager.h"
#include "mgr/signinmanager.h"

namespace ORVO {

namespace {

const char* const LogoPath =
    "/toscawidgets/resources/corvane.access.web/static/images/login/logo.png";
const char* const LogoSmallPath =
    "/toscawidgets/resources/corvane.access.web/static/images/login/logo-small.png";

} // namespace

bool SignInManager::_atItsServer() const
{
    // Only ever the server (and fallback) that the sign-in's own
    // configuration named.
    return signIn && signIn->portal == Portal::Named && signIn->server.isNamed() &&
           addr == signIn->server.addr && fallbackAddr == signIn->server.fallback;
}

void SignInManager::_login()
{
    if (!signIn || !signIn->loginDue)
        return;
    SignIn& s = *signIn;
    const bool asking = s.portal == Portal::Unknown || s.askAgain;
    if (s.phase != SignIn::Up || !s.managed || lastState != libvelcor::StateConnected ||
        (!asking && s.portal == Portal::None)) {
        s.loginDue = false;
        LOG_DEBUG << "[ApiManager] Login dropped: no longer connected, or no server to log in to";
        return;
    }
    if (s.portal != Portal::Named) {
        LOG_DEBUG << "[ApiManager] Login waits: no configuration has named a management server";
        return;
    }
    // One web request at a time: a password change under way has its
    // answer first, which may be the password to log in with.
    if (s.web != Web::None) {
        LOG_DEBUG << "[ApiManager] Login waits for the web request under way";
        return;
    }
    s.loginDue = false;
    if (!_atItsServer()) {
        LOG_NOTICE << "[ApiManager] Login dropped: the server known now is not the sign-in's";
        return;
    }
    s.web = Web::Login;
    if (lodestarApi->login(s.auth.getUser(), s.auth.getPass()) != 0)
        s.web = Web::None;
}

void SignInManager::_loggedIn()
{
    LOG_TRACE;
    if (signIn && signIn->web == Web::Login) {
        signIn->web = Web::None;
        signIn->loginAnswered = true;
    }
    // A sign-out may wait for it.
    _run();
}

void SignInManager::_takeLogin()
{
    if (!signIn || !signIn->loginAnswered)
        return;
    signIn->loginAnswered = false;
    // The web session closes with its sign-in, and goes only to its server:
    // a login answers only for the sign-in that lasts there.
    if (signIn->phase != SignIn::Up || !_atItsServer()) {
        LOG_NOTICE << "[ApiManager] Login answer dropped: not the sign-in's server any more";
        return;
    }
    signIn->loggedIn = true;
    signIn->logos = Logos::LargeDue;
    emit loggedIn();
}

void SignInManager::_loggedOut()
{
    LOG_TRACE;
    if (signIn && signIn->web == Web::Logout) {
        signIn->web = Web::None;
        signIn->logoutEnded = "logged out";
    }
    _run();
}

void SignInManager::_webError(libvelcor::Error err)
{
    Q_UNUSED(err);
    if (!signIn)
        return;
    const Web failed = signIn->web;
    signIn->web = Web::None;
    if (failed == Web::Login)
        signIn->loginFailed = true;
    else if (failed == Web::Logout)
        signIn->logoutEnded = "the logout failed";
    _run();
}

void SignInManager::_changePassword(QString newPass)
{
    changesAsked.append(newPass);
    _run();
}

bool SignInManager::_loggedInThere() const
{
    return signIn && signIn->loggedIn && signIn->phase == SignIn::Up &&
           lastState == libvelcor::StateConnected && _atItsServer();
}

void SignInManager::_takeChanges()
{
    while (!changesAsked.isEmpty()) {
        const QString newPass = changesAsked.takeFirst();
        // One web request at a time, to the sign-in's own server: a change
        // sent now would drop the login or the logout under way, and the
        // "stop" must not wait on it.
        if (!_loggedInThere() || signIn->web != Web::None) {
            LOG_NOTICE << "[ApiManager] Password change refused: the sign-in is not logged in to "
                          "its server, or busy signing in or out";
            emit error(libvelcor::Error(
                libvelcor::Client::ErrorCode, tr("Failed changing password"),
                tr("The password can be changed only while signed in, once the sign-in or "
                   "sign-out under way is over.")));
            continue;
        }
        signIn->web = Web::Change;
        if (lodestarApi->changePassword(newPass) != 0)
            signIn->web = Web::None;
    }
}

void SignInManager::_authChanged(libvelcor::Auth newAuth)
{
    if (signIn && signIn->web == Web::Change)
        signIn->web = Web::None;
    if (signIn)
        signIn->changed = newAuth;
    // A sign-out or a login may wait for it.
    _run();
}

void SignInManager::_takeChangedPassword()
{
    if (!signIn || !signIn->changed)
        return;
    const libvelcor::Auth newAuth = *signIn->changed;
    signIn->changed.reset();
    // The portal changed the password of the sign-in that logged in: the
    // service and its next login use the new one. Answered once the
    // sign-out began, it goes to no service, which holds the sign-out's
    // empty credential by then; the user is told all the same.
    if (signIn->phase == SignIn::Up && newAuth.getId() == libvelcor::Auth::ProfileId) {
        _handOver(newAuth);
        _authReceive(newAuth);
        signIn->auth = newAuth;
    }
}

void SignInManager::_closeWebSession()
{
    _dropWebRequest();
    // The logos carry the user's credential: they end with the session.
    networkManager->dropQuietDownloads();
    networkManager->reset();
    if (signIn)
        signIn->logos = Logos::None;
}

void SignInManager::_dropWebRequest()
{
    const bool change = signIn && signIn->web == Web::Change;
    if (signIn)
        signIn->web = Web::None;
    lodestarApi->reset();
    // The server may have taken it: the user knows the new password, and is
    // told that it may be the one in force.
    if (change)
        emit error(LodestarApi::changeInDoubt(
            tr("The connection ended before the management server answered")));
}

QString SignInManager::_logoUrl(const char* path) const
{
    const QString scheme =
        ORVO::utils::serverScheme(signIn ? signIn->auth.getType() : auth.getType());
    const QString host = isFallback ? fallbackAddr : addr;
    return scheme + QStringLiteral("://") + host + QLatin1String(path);
}

void SignInManager::_fetchLogos()
{
    // Logged in to its server: its address is known. The small one after
    // the large one.
    if (!_loggedInThere() || !signIn->managed)
        return;
    const bool large = signIn->logos == Logos::LargeDue;
    if (!large && signIn->logos != Logos::SmallDue)
        return;
    signIn->logos = large ? Logos::Large : Logos::Small;
    const QString target = large ? ORVO::getCustomLogoPath() : ORVO::getCustomLogoSmallPath();
    // The data location exists once the file log is open; make sure of it.
    QDir().mkpath(QFileInfo(target).absolutePath());
    networkManager->startDownload(_logoUrl(large ? LogoPath : LogoSmallPath), target, true);
}

void SignInManager::_downloadFinished(QString target)
{
    if (!signIn)
        return;
    if (signIn->logos == Logos::Large && target == ORVO::getCustomLogoPath())
        signIn->logos = Logos::SmallDue;
    else if (signIn->logos == Logos::Small && target == ORVO::getCustomLogoSmallPath())
        signIn->logos = Logos::None;
    else
        return;
    _run();
}

} // namespace ORVO
