#include "mgr/lodestarapi.h"

#include <QMap>
#include <QNetworkAccessManager>
#include <QSslConfiguration>
#include <QUrlQuery>
#include <QVariantMap>

#include "common/common.h"
#include "common/cookiejar.h"
#include "common/log.h"
#include "common/utils.h"
#include "libvelcor/json.h"
#include "mgr/networkmanager.h"

namespace ORVO {

const char* const LodestarApi::LoginPath = "/manage/access/login/";
const char* const LodestarApi::LogoutPath = "/manage/access/logout/";
const char* const LodestarApi::ChangePasswordPath =
    "/manage/commands/commands.access.client.changePassword/";

LodestarApi::LodestarApi(QObject* parent) : QObject(parent)
{
    LOG_TRACE;
    connect(&client, SIGNAL(error(libvelcor::Error)), this, SLOT(_clientError(libvelcor::Error)));
    connect(&client, SIGNAL(complete(QString)), this, SLOT(_clientComplete(QString)));
}

LodestarApi::~LodestarApi()
{
    LOG_TRACE;
    // The client goes with this object; it must not take the borrowed jar
    // with it.
    if (cookieJar) {
        disconnect(cookieJar, nullptr, this, nullptr);
        QNetworkAccessManager* manager = client.getNetworkAccessManager();
        if (cookieJar->parent() == manager)
            cookieJar->setParent(nullptr);
    }
}

QNetworkAccessManager* LodestarApi::getNetworkAccessManager() const
{
    return client.getNetworkAccessManager();
}

void LodestarApi::setCookieJar(QNetworkCookieJar* jar)
{
    if (!jar) {
        LOG_ERROR;
        return;
    }
    if (cookieJar != jar) {
        if (cookieJar)
            disconnect(cookieJar, nullptr, this, nullptr);
        cookieJar = jar;
        connect(jar, SIGNAL(destroyed()), this, SLOT(_jarDestroyed()));
    }
    // setCookieJar makes the access manager the jar's parent; the jar's
    // owner (none for the program's jar) is put back.
    ORVO::borrowCookieJar(client.getNetworkAccessManager(), jar);
}

void LodestarApi::_jarDestroyed()
{
    // The owner deleted the jar: the access manager must not keep a
    // pointer to it. A jar of its own (deleted with it) takes its place.
    LOG_DEBUG << "[LsApi] cookie jar gone";
    QNetworkAccessManager* manager = client.getNetworkAccessManager();
    manager->setCookieJar(new QNetworkCookieJar(manager));
}

void LodestarApi::reset()
{
    LOG_TRACE;
    client.reset();
    if (cookieJar)
        setCookieJar(cookieJar);
}

QString LodestarApi::_scheme(LodestarOp forOp) const
{
    if (forOp == OpLogout && !loginScheme.isEmpty())
        return loginScheme;
    return ORVO::utils::serverScheme(auth.getType());
}

int LodestarApi::_runClient(LodestarOp newOp, QUrl& url, QUrl params)
{
    if (op != OpNone)
        reset();
    if (addr.isEmpty()) {
        LOG_ERROR;
        return -1;
    }
    QMap<QByteArray, QByteArray> headers;
    headers.insert(QByteArrayLiteral("User-Agent"), QByteArray(ORVO::UserAgent));
    const QString scheme = _scheme(newOp);
    url.setScheme(scheme);
    url.setHost(isFallback ? fallbackAddr : addr);
    if (newOp == OpLogin)
        loginScheme = scheme;
    // The server took the logout once it answered, wherever its answer
    // points (a single sign-on's own logout): nothing goes there.
    client.run(url, params, headers, QSslConfiguration(),
               newOp == OpLogout ? libvelcor::Client::OffServerAnswers
                                 : libvelcor::Client::OffServerFails);
    op = newOp;
    return 0;
}

int LodestarApi::login(QString user, QString pass)
{
    LOG_DEBUG << "[LsApi] user: " << user;
    QUrl url;
    url.setPath(QLatin1String(LoginPath));
    QUrl params;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("zub_username"), QString(QUrl::toPercentEncoding(user)));
    query.addQueryItem(QStringLiteral("zub_password"), QString(QUrl::toPercentEncoding(pass)));
    params.setQuery(query);
    return _runClient(OpLogin, url, params);
}

int LodestarApi::logout()
{
    LOG_TRACE;
    QUrl url;
    url.setPath(QLatin1String(LogoutPath));
    return _runClient(OpLogout, url, QUrl());
}

int LodestarApi::changePassword(QString newpass)
{
    LOG_TRACE;
    QUrl url;
    url.setPath(QLatin1String(ChangePasswordPath));
    QUrl params;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("password"), QString(QUrl::toPercentEncoding(newpass)));
    params.setQuery(query);
    newPass = newpass;
    // The answer is this credential's, whatever comes meanwhile (a
    // sign-out empties the one held here).
    changing = auth;
    return _runClient(OpChangePassword, url, params);
}

void LodestarApi::_clientComplete(QString response)
{
    // Nothing is in flight once a signal goes: a receiver may start the
    // next request (a box's event loop lets a sign-out in), and that one
    // must not be taken for this.
    const LodestarOp done = op;
    op = OpNone;
    switch (done) {
    case OpLogin:
        emit loggedIn();
        break;
    case OpLogout:
        emit loggedOut();
        break;
    case OpChangePassword: {
        bool ok = false;
        const QVariantMap reply = libvelcor::json::parse(response, ok).toMap();
        // A reply that parses but names an error is the server's refusal.
        const QVariant reason = reply.value(QStringLiteral("error"));
        if (ok && reason.isNull()) {
            changing.setPass(newPass);
            if (auth.getUser() == changing.getUser() && auth.getType() == changing.getType())
                auth.setPass(newPass);
            emit authChanged(changing);
        } else if (!ok) {
            LOG_ERROR << "[LsApi] The password change's answer is not its result";
            emit error(changeInDoubt(tr("The management server's answer is not the change's "
                                        "result")));
        } else {
            LOG_ERROR;
            emit error(libvelcor::Error(libvelcor::Client::ErrorCode,
                                        _opToErrStr(OpChangePassword) + QStringLiteral(": ") +
                                            reason.toString()));
        }
        break;
    }
    case OpNone:
        LOG_ERROR;
        break;
    }
}

libvelcor::Error LodestarApi::changeInDoubt(const QString& why)
{
    return libvelcor::Error(libvelcor::Client::ErrorCode, tr("Failed changing password"),
                            tr("%1: the new password may be in force.").arg(why));
}

void LodestarApi::_clientError(libvelcor::Error err)
{
    // The server took the form and answered it with a redirect that is no
    // answer to it (post, then redirect, is common).
    const int status = client.httpStatus();
    if (op == OpChangePassword && status >= 300 && status < 400) {
        emit error(changeInDoubt(err.getDesc()));
        return;
    }
    // A refused login says so: the bare status would leave the user
    // guessing whether the server or the password is at fault.
    if (op == OpLogin && client.httpStatus() == 401) {
        emit error(libvelcor::Error(err.getCode(),
                                    tr("The management server refused the user name or password"),
                                    err.getDesc()));
        return;
    }
    emit error(err);
}

QString LodestarApi::_opToErrStr(LodestarOp forOp)
{
    switch (forOp) {
    case OpLogin:
        return tr("Failed logging in");
    case OpLogout:
        return tr("Failed logging out");
    case OpChangePassword:
        return tr("Failed changing password");
    case OpNone:
        break;
    }
    return QString("");
}

void LodestarApi::_test()
{
    LOG_TRACE;
    changePassword(QStringLiteral("test1234"));
}

void LodestarApi::_authReceived(libvelcor::Auth newAuth)
{
    // The proxy credential is not the management server's.
    if (newAuth.getId() != libvelcor::Auth::ProfileId)
        return;
    auth = newAuth;
}

void LodestarApi::_gotServerAddr(QString newAddr, QString newFallbackAddr)
{
    addr = newAddr;
    fallbackAddr = newFallbackAddr;
}

void LodestarApi::_gotFallback(bool newIsFallback)
{
    isFallback = newIsFallback;
}

} // namespace ORVO
