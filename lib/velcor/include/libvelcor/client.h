#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>
#include <QUrl>

#include "libvelcor/error.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace libvelcor {

// An HTTP(S) client for one request at a time. run() POSTs the form fields
// (the query items of `params`) as application/x-www-form-urlencoded and
// ends with complete(body) or error(libvelcor::Error).
//
// A request stays on its server: a redirect is followed only as far as
// staysOnServer() allows, since Qt would take the first request's cookies
// and headers wherever it pointed. A form is answered only by its own
// answer: a redirect that would make it a request for a page (301, 302,
// 303) fails it too. Neither is followed, and nothing is sent there. Any
// other answer of 300 to 399 (no address, 300, 304) is no answer either.
// A request run with OffServerAnswers (a logout, which the server took
// once it answered) ends answered at a redirect off its server, unfollowed.
//
// Every failure carries the code ErrorCode; the HTTP status or the network
// error is in the description and the extra text.
class Client : public QObject
{
    Q_OBJECT

public:
    // A code that no receiver acts on specially: a failed web request must
    // never pass for a service error (100, 200, 201, 300, 500, -1).
    static constexpr libvelcor::Error::Code ErrorCode = 900;
    // A request that has not completed within this long fails.
    static constexpr int DefaultTimeoutMs = 30000;
    // A larger reply body fails instead of being kept.
    static constexpr qint64 MaxReplyBytes = 8 * 1024 * 1024;
    // More redirects than this fail the request.
    static constexpr int MaxRedirects = 5;

    // What a redirect off the request's server does.
    enum OffServer { OffServerFails, OffServerAnswers };

    explicit Client(QObject* parent = nullptr);
    ~Client() override;

    // The access manager of every request; owned by the client. Install a
    // cookie jar on it; it stays the same object across reset().
    QNetworkAccessManager* getNetworkAccessManager() const;

    // Starts one request; a request still in flight is abandoned without a
    // signal. 0 when sent; -1 when the URL is unusable, and error() follows
    // from the event loop. A null sslConfiguration keeps the application's
    // default TLS configuration.
    int run(const QUrl& url, const QUrl& params, const QMap<QByteArray, QByteArray>& headers,
            const QSslConfiguration& sslConfiguration, OffServer offServer = OffServerFails);

    // Abandons the request in flight (no signal follows). The caller
    // installs its cookie jar again.
    void reset();

    bool isRunning() const;
    // The HTTP status of the last request's answer; 0 until one arrived.
    int httpStatus() const;

    void setTimeout(int ms);
    int timeout() const;

    // Tests: a URL without a port is sent to this port (0: off). The
    // environment variable LIBVELCOR_HTTP_PORT sets it too.
    static void setPortOverride(int port);
    static int portOverride();

    // The form body as it is sent, for the query items of `params`.
    static QByteArray encodeForm(const QUrl& params);

    // Whether a redirect from `from` to `to` (http or https) stays on the
    // server: the same scheme, host and port, or up from http to https on
    // the same host and https's own port, where the certificate, verified as
    // usual, vouches for the host.
    static bool staysOnServer(const QUrl& from, const QUrl& to);

signals:
    void complete(QString body);
    void error(libvelcor::Error error);

private slots:
    void _readyRead();
    void _finished();
    void _timedOut();
    void _sslErrors(const QList<QSslError>& errors);

private:
    void _send(bool post);
    // 307 and 308 keep the method and the form; the others ask for a GET.
    void _redirect(const QUrl& target, int status);
    void _complete(const QByteArray& data);
    void _drop();
    // The reply in hand goes, with what it brought, unheard; aborted first
    // when it may still be running.
    void _release(bool abort);
    void _fail(const QString& desc, const QString& extra);
    QString _where() const;

    QNetworkAccessManager* manager;
    QPointer<QNetworkReply> reply;
    QUrl url;
    QUrl current;            // where the request is, once a redirect was followed
    QNetworkRequest request; // the first, without its URL, for each redirect
    QByteArray fields;
    bool form = false;
    OffServer offServer = OffServerFails;
    int redirects = 0; // followed so far
    QByteArray body;
    QStringList sslErrorTexts;
    QTimer timer;
    int timeoutMs = DefaultTimeoutMs;
    int lastStatus = 0;
    quint64 generation = 0;
};

} // namespace libvelcor
