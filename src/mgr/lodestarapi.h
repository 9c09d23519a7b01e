#pragma once

#include <QNetworkCookieJar>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "libvelcor/auth.h"
#include "libvelcor/client.h"
#include "libvelcor/error.h"

class QNetworkAccessManager;

namespace ORVO {

// Client of the management server's web API: login, logout and password
// change, one form POST each, to scheme://host/path where the scheme is
// "https" for a certificate credential and "http" otherwise, and the host is
// the server's address (or its fallback address while the service runs on
// its fallback connection). The requests carry the program's cookie jar,
// borrowed from the network manager, so the portal pages share the login.
//
// Every failure is reported with the code libvelcor::Client::ErrorCode,
// which no receiver treats as a service error.
class LodestarApi : public QObject
{
    Q_OBJECT

public:
    enum LodestarOp : int { OpNone = 0, OpLogin = 1, OpLogout = 2, OpChangePassword = 3 };
    Q_ENUM(LodestarOp)

    static const char* const LoginPath;
    static const char* const LogoutPath;
    static const char* const ChangePasswordPath;

    explicit LodestarApi(QObject* parent = nullptr);
    ~LodestarApi() override;

    QNetworkAccessManager* getNetworkAccessManager() const;
    // Borrows the jar (never deleted here); null is refused.
    void setCookieJar(QNetworkCookieJar* jar);
    QNetworkCookieJar* getCookieJar() const { return cookieJar.data(); }
    // Abandons the request in flight and readies the client for new ones.
    void reset();

    // The operation of the last request sent; it stays marked after a
    // failure, until the next request.
    LodestarOp currentOp() const { return op; }
    // A request is in flight.
    bool isBusy() const { return client.isRunning(); }
    // A password change that the server may have taken without answering
    // it: why, and that the new password, which the user knows, may be the
    // one in force.
    static libvelcor::Error changeInDoubt(const QString& why);
    libvelcor::Auth getAuth() const { return auth; }

signals:
    void loggedIn();
    void loggedOut();
    void authChanged(libvelcor::Auth auth);
    void error(libvelcor::Error error);

public slots:
    // Each returns 0 when the request was sent, -1 when it was refused (no
    // server address known).
    int login(QString user, QString pass);
    int logout();
    int changePassword(QString newpass);

protected slots:
    void _test();
    void _authReceived(libvelcor::Auth auth);
    void _gotServerAddr(QString addr, QString fallbackAddr);
    void _gotFallback(bool isFallback);
    void _clientComplete(QString response);

private slots:
    void _jarDestroyed();
    void _clientError(libvelcor::Error err);

private:
    int _runClient(LodestarOp op, QUrl& url, QUrl params);
    QString _opToErrStr(LodestarOp op);
    QString _scheme(LodestarOp op) const;

    LodestarOp op = OpNone;
    QString newPass = QString("");
    libvelcor::Auth auth;
    // The credential whose password a change in flight sets.
    libvelcor::Auth changing;
    libvelcor::Client client;
    QString addr = QString("");
    QString fallbackAddr = QString("");
    bool isFallback = false;
    // Borrowed: guarded, so a jar deleted by its owner is never used.
    QPointer<QNetworkCookieJar> cookieJar;
    // Scheme of the last login sent: the logout goes the same way, even
    // after the sign-out has emptied the credential.
    QString loginScheme;
};

} // namespace ORVO
