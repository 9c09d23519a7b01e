#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QSslError>
#include <QString>
#include <QStringList>

#include "libvelcor/auth.h"

class QAuthenticator;

namespace libvelcor {
namespace utils {
class AtomicFile;
}
} // namespace libvelcor

namespace ORVO {

class CookieJar;
class ProcessManager;

// Downloads files over HTTP(S) with the last credential it was given, sent
// only to the management server's own origins (a download the portal points
// elsewhere goes without it): a HEAD asks for the file name
// ("Content-Disposition"), a GET writes the body into the chosen file.
// Redirects are followed as a browser would, never from https to http; the
// credential goes along only while they stay on the server, and only while
// the credential and the server are those the download began with. A quiet
// download never leaves the server and ends within QuietTimeoutMs. Owns the
// program-wide cookie jar, which others borrow.
class NetworkManager : public QObject
{
    Q_OBJECT

public:
    enum Error : int {
        ErrorNone = 0,
        ErrorBadParams = 1,
        ErrorRequest = 2,
        ErrorReply = 3,
        ErrorSystem = 4
    };
    Q_ENUM(Error)

    // A quiet download's bound, its redirects included.
    static constexpr int QuietTimeoutMs = 30000;
    // Test seam: the quiet downloads' bound; QuietTimeoutMs unless a test
    // changes it.
    static void setQuietTimeout(int ms);

    explicit NetworkManager(ORVO::ProcessManager* processManager);
    ~NetworkManager() override;

    bool isValid() const { return valid; }
    // Lent: the caller never deletes it.
    ORVO::CookieJar* getCookieJar() const { return cookieJar; }

    static QString errorString(ORVO::NetworkManager::Error err);

    // An empty target asks for the file name (HEAD, answered by
    // queryDownloadTarget); a path fetches into that file (GET, answered by
    // finished). quiet: the program's own fetch of a file of the management
    // server (a logo), which keeps its failures from the user and follows
    // no redirect off the server. 0 when sent.
    int startDownload(const QString& url, QString target, bool quiet);
    // Empties the shared cookie jar.
    int reset();
    // Abandons the quiet downloads in flight, without a signal; their
    // targets stay as they were.
    void dropQuietDownloads();
    // Requests sent and not yet finished.
    int pendingDownloads() const { return downloads.size(); }

    // The default file name offered for a "Content-Disposition" value: the
    // quoted filename parameter, without any directory part.
    static QString fileNameFromDisposition(const QByteArray& header);

signals:
    void sigError(ORVO::NetworkManager::Error err, const QString& msg = QString(""));
    void finished(const QString& target);
    void queryDownloadTarget(const QString& url, const QString& defaultFileName);

protected slots:
    void gotAuth(const libvelcor::Auth& auth);
    // The management server's address and fallback address ("host" or
    // "host:port"): the only places the credential goes to.
    void gotServerAddr(const QString& addr, const QString& fallbackAddr);
    void sslErrors(QNetworkReply* reply, const QList<QSslError>& errors);
    void authenticationRequired(QNetworkReply* reply, QAuthenticator* authenticator);
    void proxyAuthenticationRequired(const QNetworkProxy& proxy, QAuthenticator* authenticator);
    // Qt's accessibility enum is deprecated; nothing connects this slot.
    void networkAccessibleChanged(int accessible);
    void finished(QNetworkReply* reply);
    void networkError(QNetworkReply::NetworkError err);

private slots:
    void _readyRead();

private:
    // What each reply needs when it finishes: downloads may overlap, so none
    // of this is shared between them.
    struct Download
    {
        QString url; // as asked for, whatever it was redirected to
        QString target;
        bool quiet = false;
        bool failed = false;                          // already reported (write error)
        int redirects = 0;                            // followed so far
        bool leftServer = false;                      // a request of it went elsewhere
        bool upgraded = false;                        // quiet, sent on from http to https
        quint64 credentialOf = 0;                     // `credentials` at its start
        QDeadlineTimer deadline;                      // a quiet one's, redirects included
        libvelcor::utils::AtomicFile* file = nullptr; // the target in the making; owned
    };

    bool _send(const QUrl& url, Download d);
    void _notTheFile(QNetworkReply* reply, const Download& d);
    bool _openTarget(Download& d);
    bool _writeBody(QNetworkReply* reply, Download& d);
    void _failWrite(QNetworkReply* reply, Download& d);
    // Ends the reply with nothing more said: finished() finds it failed.
    static void _abandon(QNetworkReply* reply, Download& d);
    void _quietExpired(QNetworkReply* reply);
    void _reportWriteError(const Download& d);
    static bool _isFileBody(QNetworkReply* reply);
    bool _isServerUrl(const QUrl& url) const;

    bool valid = false;
    ORVO::ProcessManager* processManager = nullptr;
    libvelcor::Auth auth;
    // Counts the changes of the credential and of the server's addresses.
    quint64 credentials = 0;
    // The scheme of the management server's pages and web API: https for a
    // certificate sign-in, else http, as every other client part has it.
    QString serverScheme = QStringLiteral("http");
    QStringList serverAddrs;
    QHash<QNetworkReply*, Download> downloads;
    QNetworkAccessManager accessManager;
    QNetworkRequest request; // template of every request: the User-Agent
    ORVO::CookieJar* cookieJar = nullptr;
};

} // namespace ORVO
