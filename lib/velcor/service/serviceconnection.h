#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QSharedPointer>
#include <QTimer>

#include <functional>

#include "deliveryqueue.h"
#include "libvelcor/error.h"
#include "linedecoder.h"
#include "requestbook.h"

class QTcpSocket;

namespace libvelcor {
namespace detail {

struct PeerOwner;

// The one connection of the process to the local service, shared by every
// API object. It connects, makes sure the service's listening socket
// belongs to this user or root, says hello, waits for the service's
// settings, makes sure the account that took in the connection (the owner
// of the service's end) is this user or root too, then sends requests and
// hands events and answers on. A lost or refused connection is retried
// with a growing, bounded delay.
//
// The owner of the service's end is the account that accepted the
// connection. A connection that root accepts and then hands to a program
// of another account still passes: which process holds a TCP connection
// later cannot be learnt without root's rights.
//
// The socket's handlers only read, decode and keep the books (the liveness
// timer hears every line); what the receivers are told (events, answers,
// losses, errors) goes through a DeliveryQueue: from the event loop, in
// order, one item at a time. A receiver that opens a modal box holds back
// what follows for every receiver; the socket is still read meanwhile, up
// to the queue's bound. Beyond it the socket is left unread, so the kernel
// holds the service back, and the timers that judge the service by its
// lines (the attempt, liveness, answers' deadlines) wait until reading
// goes on: a pause of ours is never taken for a silent service.
//
// A failure is reported once per outage: after the first report, further
// failures are only logged until a connection has proved good. A
// connection proves good when a line of the service is read at least one
// status interval after "status.start" went out (or after reading last went on
// following a pause of ours, since what waited may be old): the service
// has kept its word for a whole interval. An answer or a report right
// after the hello or the request proves nothing, so a service that
// answers the hello and "status.start" and then stays silent, or closes,
// again and again is one outage; a connection on which reports were never
// asked for never proves good. Another user's program found on the
// service's address is reported once more. The delay before the next
// attempt, too, goes back to the first only once a connection proved good:
// a service that fails each connection is tried less and less often.
class ServiceConnection : public QObject
{
    Q_OBJECT
public:
    typedef RequestBook::Reply Reply;

    // The shared connection, made when no API object holds it.
    static QSharedPointer<ServiceConnection> acquire();

    static void setRequestTimeout(int ms);
    static void setReconnectDelays(int firstMs, int maxMs);

    // Starts connecting unless already under way. -1 when the service
    // address is refused.
    int start();

    // Sends a request, or holds it until the service is ready. reply runs
    // later from the event loop with the result code and the answer, unless
    // context has gone by then. A request remembered under a name (ports,
    // the proxy credential, the user's standing configuration settings) is
    // sent once to every session of the service that it did not reach
    // itself, the last one of each name that was taken (not one refused at
    // once or too large to send). A request that may not be held, made
    // while waiting to try the service again, tries it at once (once per
    // wait; later ones wait for the retry); it ends with ResultNotConnected
    // when the attempt it waits for fails: it must not go out whenever a
    // service appears later.
    void request(const QString& type, const QJsonObject& body, QObject* context, Reply reply,
                 bool hold = true, const QString& rememberAs = QString());

    bool isReady() const { return phase == Ready; }
    // Why the service cannot be reached, after a failure; empty once ready.
    QString problem() const { return lastProblem; }

    // Tests and fuzzing: the connection over a wire instead of a socket.
    // The connection says hello into wire and waits for the service's
    // settings; receiveFromWire hands it bytes as if read from the service.
    // A failure drops the wire, like a lost socket.
    void attachWire(std::function<void(const QByteArray& line)> wire);
    void receiveFromWire(const char* data, qint64 size);

signals:
    // A service event: "settings", "state", "progress", "fallback",
    // "need", "error".
    void serviceEvent(const QString& type, const QJsonObject& message);
    // The connection failed, was lost or could not be made; reported once
    // until a connection has proved good again (see the class comment), and
    // once more when another user's program turns out to hold the service's
    // address.
    void connectionError(const libvelcor::Error& error);
    // An established connection ended.
    void connectionLost();

private slots:
    void _connected();
    void _readyRead();
    void _socketError();
    void _disconnected();
    void _reconnect();
    void _attemptTimeout();
    void _checkDeadlines();
    void _livenessTimeout();
    void _resumeReading();

private:
    enum Phase : int { Stopped, Refused, Connecting, Handshake, Ready, Waiting };
    // What the receivers were last told about a failure: the user hears of
    // an unreachable service once, and of a foreign program on its address
    // once more, until a connection has proved good.
    enum Reported : int { NothingReported, UnreachableReported, ForeignReported };

    typedef RequestBook::Pending Pending;

    ServiceConnection();
    ~ServiceConnection() override;
    void shutdown();

    void connectNow();
    // False, after failing the connection, when owner may not be dealt with.
    bool ownerAllowed(const PeerOwner& owner);
    void dropSocket();
    void writeLine(const QByteArray& line);
    // Reads what the socket holds into receive(); stops while the
    // receivers have enough to hear, unless evenIfFull.
    void readSocket(bool evenIfFull);
    // Before a failure of the socket: false when the link changed or this
    // object went away meanwhile.
    bool readRest();
    // False when the link changed or this object went away meanwhile, or
    // the stream failed.
    bool receive(const char* data, qint64 size);
    void fail(const QString& description, const QString& extra = QString(), bool foreign = false);
    void handleLine(const char* data, int size);
    void handleMessage(const QJsonObject& message);
    void handleResult(const QJsonObject& message);
    void becomeReady(const QJsonObject& settings);
    void send(const Pending& pending);
    void finish(const Pending& pending, int rc, const QJsonObject& reply);
    // Queues something to tell the receivers; see the class comment.
    void deliver(std::function<void()> item);
    void failInFlight(int rc);
    void armDeadlineTimer();

    Phase phase = Stopped;
    QString addressText;
    QString lastProblem;
    QHostAddress host;
    quint16 port = 0;
    QTcpSocket* socket = nullptr;
    std::function<void(const QByteArray&)> wire;
    // Bumped whenever the link to the service is made or dropped.
    quint64 link = 0;
    LineDecoder decoder;
    RequestBook requests;
    // Whole messages by the name they are remembered under.
    QMap<QString, QJsonObject> remembered;
    DeliveryQueue deliveries;
    QElapsedTimer clock;
    QTimer reconnectTimer;
    QTimer attemptTimer;
    QTimer deadlineTimer;
    QTimer livenessTimer;
    int delay = 0;
    // Once "status.start" went out, the service sends at least one line per
    // interval; silence for three intervals counts as a lost service.
    int statusInterval = 0;
    // Since when (clock) the service owes us lines; see the class comment.
    qint64 owedSince = 0;
    Reported reported = NothingReported;
    // When (clock) a request that cannot wait last had the service tried
    // before the retry was due; -1: never.
    qint64 lastEarlyAttempt = -1;
    int requestTimeout;
    int firstDelay;
    int maxDelay;

    friend struct ConnectionDeleter;
};

} // namespace detail
} // namespace libvelcor
