#include "serviceconnection.h"

#include <QSet>
#include <QTcpSocket>

#include <climits>

#include "address.h"
#include "libvelcor/api.h"
#include "peerowner.h"
#include "protocol.h"
#include "vlog.h"

namespace libvelcor {
namespace detail {

namespace {

int g_requestTimeout = 30000;
int g_firstDelay = 500;
int g_maxDelay = 10000;

// A connection attempt (connect, hello, settings) must end within this.
constexpr int AttemptTimeout = 5000;
// A request that cannot wait tries the service before the retry is due, at
// most once in this span: a page may ask again and again.
constexpr qint64 EarlyAttemptGap = 1000;
// Requests held or waiting for an answer at once.
constexpr int MaxPending = 1024;
// Unsent bytes beyond this mean the service no longer reads.
constexpr qint64 MaxUnsent = 8 * 1024 * 1024;
// Items waiting for the receivers beyond which the socket is left unread.
constexpr int MaxUndelivered = 64;
// What the socket takes from the kernel ahead of us: while we do not read,
// the kernel holds the rest and the service waits.
constexpr qint64 ReadAhead = 64 * 1024;
constexpr int MinInterval = 100;
constexpr int MaxInterval = 60000;

QWeakPointer<ServiceConnection>& sharedInstance()
{
    static QWeakPointer<ServiceConnection> instance;
    return instance;
}

} // namespace

// The last API object may go away while the connection is delivering one
// of its signals; the object is therefore shut down at once and deleted
// from the event loop.
struct ConnectionDeleter
{
    static void cleanup(ServiceConnection* c)
    {
        c->shutdown();
        c->deleteLater();
    }
};

QSharedPointer<ServiceConnection> ServiceConnection::acquire()
{
    QSharedPointer<ServiceConnection> c = sharedInstance().toStrongRef();
    if (!c) {
        c = QSharedPointer<ServiceConnection>(new ServiceConnection, &ConnectionDeleter::cleanup);
        sharedInstance() = c;
    }
    return c;
}

void ServiceConnection::setRequestTimeout(int ms)
{
    g_requestTimeout = qMax(1, ms);
}

void ServiceConnection::setReconnectDelays(int firstMs, int maxMs)
{
    g_firstDelay = qMax(1, firstMs);
    g_maxDelay = qMax(g_firstDelay, maxMs);
}

ServiceConnection::ServiceConnection()
    : decoder(protocol::MaxLineSize, LineDecoder::FailStream), requests(MaxPending),
      deliveries(MaxUndelivered), requestTimeout(g_requestTimeout), firstDelay(g_firstDelay),
      maxDelay(g_maxDelay)
{
    clock.start();
    reconnectTimer.setSingleShot(true);
    attemptTimer.setSingleShot(true);
    deadlineTimer.setSingleShot(true);
    livenessTimer.setSingleShot(true);
    connect(&reconnectTimer, &QTimer::timeout, this, &ServiceConnection::_reconnect);
    connect(&attemptTimer, &QTimer::timeout, this, &ServiceConnection::_attemptTimeout);
    connect(&deadlineTimer, &QTimer::timeout, this, &ServiceConnection::_checkDeadlines);
    connect(&livenessTimer, &QTimer::timeout, this, &ServiceConnection::_livenessTimeout);
    connect(&deliveries, &DeliveryQueue::drained, this, &ServiceConnection::_resumeReading);
    delay = firstDelay;
}

ServiceConnection::~ServiceConnection()
{
    shutdown();
}

void ServiceConnection::shutdown()
{
    if (sharedInstance().toStrongRef().data() == this)
        sharedInstance().clear();
    phase = Stopped;
    ++link;
    wire = nullptr;
    reconnectTimer.stop();
    attemptTimer.stop();
    deadlineTimer.stop();
    livenessTimer.stop();
    dropSocket();
    // Nobody is left to hear the answers.
    requests.clear();
    deliveries.clear();
}

int ServiceConnection::start()
{
    if (phase == Refused)
        return -1;
    if (phase != Stopped)
        return 0;
    addressText = serviceAddressText();
    QString why;
    if (!parseLoopbackAddress(addressText, host, port, why)) {
        phase = Refused;
        VLOG_ERROR << "Service address refused: " << addressText << " (" << why << ")";
        lastProblem =
            QStringLiteral("The local service address \"%1\" is refused: %2").arg(addressText, why);
        const Error e(libvelcor::Api::ConnectionErrorCode, lastProblem,
                      QString::fromLatin1(libvelcor::Api::ServiceAddrVariable));
        // Not inside the caller's call: it wires its objects first.
        reported = UnreachableReported;
        deliver([this, e]() { emit connectionError(e); });
        // Whatever was held can never be sent.
        for (const Pending& p : requests.takeHeld())
            finish(p, libvelcor::Api::ResultNotConnected, QJsonObject());
        return -1;
    }
    connectNow();
    return 0;
}

void ServiceConnection::connectNow()
{
    phase = Connecting;
    ++link;
    wire = nullptr;
    decoder.reset();
    dropSocket();
    socket = new QTcpSocket(this);
    // Requests and answers are small; do not wait to fill segments.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setReadBufferSize(ReadAhead);
    connect(socket, &QTcpSocket::connected, this, &ServiceConnection::_connected);
    connect(socket, &QTcpSocket::readyRead, this, &ServiceConnection::_readyRead);
    connect(socket, &QTcpSocket::disconnected, this, &ServiceConnection::_disconnected);
    connect(socket, &QAbstractSocket::errorOccurred, this, &ServiceConnection::_socketError);
    attemptTimer.start(AttemptTimeout);
    VLOG_TRACE << "Connecting to the local service at " << addressText;
    socket->connectToHost(host, port);
}

void ServiceConnection::_connected()
{
    // Any account may listen on a loopback port while the service is not
    // running there: not even a hello goes to another user's program.
    if (socket && !ownerAllowed(serviceOwner(*socket)))
        return;
    phase = Handshake;
    QJsonObject hello;
    hello.insert(QStringLiteral("type"), QStringLiteral("hello"));
    hello.insert(QStringLiteral("protocol"), protocol::Version);
    hello.insert(QStringLiteral("client"), QStringLiteral("libvelcor"));
    writeLine(protocol::encode(hello));
}

bool ServiceConnection::ownerAllowed(const PeerOwner& owner)
{
    if (!owner.allowed && owner.uid >= 0) {
        fail(tr("Nothing is sent to the local service at %1: the program listening there "
                "does not belong to this user or to the system")
                 .arg(addressText),
             owner.why, true);
        return false;
    }
    // Gone before it could be looked at (or the kernel cannot say): an
    // ordinary failed attempt, retried.
    if (!owner.allowed) {
        fail(QStringLiteral("Cannot reach the local service at %1").arg(addressText), owner.why);
        return false;
    }
    return true;
}

void ServiceConnection::dropSocket()
{
    if (!socket)
        return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    socket = nullptr;
}

void ServiceConnection::writeLine(const QByteArray& line)
{
    if (wire)
        wire(line);
    else if (socket)
        socket->write(line);
}

void ServiceConnection::attachWire(std::function<void(const QByteArray&)> newWire)
{
    dropSocket();
    attemptTimer.stop();
    reconnectTimer.stop();
    decoder.reset();
    ++link;
    wire = std::move(newWire);
    addressText = QStringLiteral("(wire)");
    _connected();
}

void ServiceConnection::receiveFromWire(const char* data, qint64 size)
{
    if (wire)
        receive(data, size);
}

void ServiceConnection::_readyRead()
{
    readSocket(false);
}

void ServiceConnection::readSocket(bool evenIfFull)
{
    // The last API object may go while a line is handled.
    QPointer<ServiceConnection> self(this);
    QTcpSocket* s = socket;
    char buffer[16384];
    while (self && socket == s && s && (evenIfFull || !deliveries.isFull()) &&
           s->bytesAvailable() > 0) {
        const qint64 n = s->read(buffer, sizeof buffer);
        if (n <= 0 || !receive(buffer, n))
            break;
    }
}

void ServiceConnection::_resumeReading()
{
    QPointer<ServiceConnection> self(this);
    // The time we did not read counts for nothing, and what waited may
    // have been sent long ago: it proves nothing, even when it fills the
    // queue again.
    if (phase == Ready && statusInterval > 0)
        owedSince = clock.elapsed();
    // What waited in the socket meanwhile, first.
    readSocket(false);
    if (!self || deliveries.isFull())
        return;
    if (phase == Ready && statusInterval > 0)
        livenessTimer.start(3 * statusInterval);
    if ((phase == Connecting || phase == Handshake) && !attemptTimer.isActive())
        attemptTimer.start(AttemptTimeout);
    armDeadlineTimer();
}

bool ServiceConnection::receive(const char* data, qint64 size)
{
    QPointer<ServiceConnection> self(this);
    const quint64 current = link;
    // Any line proves the service alive.
    if (statusInterval > 0 && phase == Ready)
        livenessTimer.start(3 * statusInterval);
    const bool ok = decoder.feed(data, size, [&](const char* line, int length, bool) {
        if (self && link == current)
            handleLine(line, length);
    });
    if (!self || link != current)
        return false;
    if (!ok) {
        fail(QStringLiteral("The local service sent a line longer than %1 bytes")
                 .arg(protocol::MaxLineSize));
        return false;
    }
    return true;
}

void ServiceConnection::handleLine(const char* data, int size)
{
    if (size == 0)
        return;
    QJsonObject message;
    QString why;
    if (!protocol::decodeLine(data, size, message, why)) {
        VLOG_ERROR << "Dropped a line from the local service: " << why;
        return;
    }
    handleMessage(message);
}

void ServiceConnection::handleMessage(const QJsonObject& message)
{
    const QString type = protocol::messageType(message);
    if (phase == Handshake) {
        if (type == QLatin1String("settings")) {
            // Before it answered, only the listening socket could be judged,
            // and a listener made by root may be handed to any account
            // before it takes the connection: the account that took it in
            // is judged now, before anything but the hello goes out (one
            // that root took in and handed on is not seen; see the class
            // comment).
            if (socket && !ownerAllowed(peerOwner(*socket)))
                return;
            int version = -1;
            protocol::intValue(message.value(QLatin1String("protocol")), version);
            if (version != protocol::Version) {
                fail(QStringLiteral("The local service speaks protocol version %1, not %2")
                         .arg(version)
                         .arg(protocol::Version));
                return;
            }
            becomeReady(message);
        } else {
            VLOG_ERROR << "Expected the service's settings, got: " << type;
        }
        return;
    }
    if (phase != Ready)
        return;
    // Still heard a whole interval after it was asked for its reports: the
    // service keeps its word, and the connection is good (see the class
    // comment).
    if (statusInterval > 0 && clock.elapsed() - owedSince >= statusInterval) {
        reported = NothingReported;
        delay = firstDelay;
    }
    const bool report = type == QLatin1String("state") || type == QLatin1String("progress") ||
                        type == QLatin1String("fallback") || type == QLatin1String("need") ||
                        type == QLatin1String("error");
    if (type == QLatin1String("result")) {
        handleResult(message);
    } else if (report || type == QLatin1String("settings")) {
        deliver([this, type, message]() { emit serviceEvent(type, message); });
    } else if (type != QLatin1String("heartbeat")) {
        VLOG_ERROR << "Unknown message type from the local service: " << type;
    }
}

void ServiceConnection::becomeReady(const QJsonObject& settings)
{
    attemptTimer.stop();
    phase = Ready;
    lastProblem.clear();
    VLOG_DEBUG << "[Service] Connected to the local service at " << addressText;
    const QList<Pending> held = requests.takeHeld();
    // A new session of a service that may have restarted (or the first,
    // after the held copies expired): give it the ports it needs to reach
    // us and the user's settings (proxy credential, standing configuration),
    // once; a held request of the same name carries the latest itself.
    QSet<QString> carried;
    for (const Pending& p : held)
        carried.insert(p.remembered);
    for (auto it = remembered.constBegin(); it != remembered.constEnd(); ++it) {
        if (carried.contains(it.key()))
            continue;
        Pending p;
        p.id = requests.newId();
        p.message = it.value();
        p.remembered = it.key();
        p.deadline = clock.elapsed() + requestTimeout;
        send(p);
    }
    for (const Pending& p : held)
        send(p);
    armDeadlineTimer();
    if (phase == Ready)
        deliver([this, settings]() { emit serviceEvent(QStringLiteral("settings"), settings); });
}

void ServiceConnection::handleResult(const QJsonObject& message)
{
    const qint64 id = protocol::messageId(message);
    Pending p;
    if (!requests.takeAnswered(id, p)) {
        VLOG_ERROR << "Answer to no request from the local service, id " << id;
        return;
    }
    // Negative codes are the library's own; any code that is not one of
    // the service's counts as a failure.
    int rc = libvelcor::Api::ResultFailed;
    qint64 code = 0;
    if (protocol::wholeNumber(message.value(QLatin1String("rc")), 0, INT_MAX, code))
        rc = int(code);
    finish(p, rc, message);
}

void ServiceConnection::request(const QString& type, const QJsonObject& body, QObject* context,
                                Reply reply, bool hold, const QString& rememberAs)
{
    Pending p;
    p.message = body;
    p.message.insert(QStringLiteral("type"), type);
    p.context = context;
    p.reply = std::move(reply);
    p.deadline = clock.elapsed() + requestTimeout;
    p.hold = hold;
    p.remembered = rememberAs;
    if (phase == Refused) {
        finish(p, libvelcor::Api::ResultNotConnected, QJsonObject());
        return;
    }
    if (requests.isFull()) {
        VLOG_ERROR << "Too many requests waiting for the local service";
        finish(p, libvelcor::Api::ResultBusy, QJsonObject());
        return;
    }
    p.id = requests.newId();
    // Only a request that was taken is given to later sessions.
    if (!rememberAs.isEmpty())
        remembered.insert(rememberAs, p.message);
    if (phase == Ready)
        send(p);
    else
        requests.hold(p);
    armDeadlineTimer();
    if (phase == Stopped) {
        start();
    } else if (phase == Waiting && !hold &&
               (lastEarlyAttempt < 0 || clock.elapsed() - lastEarlyAttempt >= EarlyAttemptGap)) {
        // The service may be back long before the grown delay has passed:
        // a request that cannot wait tries it now, though not more often
        // than once in EarlyAttemptGap. Until the attempt (or the retry) is
        // made, it stays held, and ends with it if it fails.
        lastEarlyAttempt = clock.elapsed();
        reconnectTimer.stop();
        connectNow();
    }
}

void ServiceConnection::send(const Pending& pending)
{
    if (phase != Ready || (!socket && !wire)) {
        requests.hold(pending);
        return;
    }
    QJsonObject m = pending.message;
    m.insert(QStringLiteral("id"), double(pending.id));
    const QByteArray line = protocol::encode(m);
    if (line.size() - 1 > protocol::MaxLineSize) {
        VLOG_ERROR << "Request too large for the protocol: " << protocol::messageType(m);
        // It would fail in every later session too.
        if (!pending.remembered.isEmpty() &&
            remembered.value(pending.remembered) == pending.message)
            remembered.remove(pending.remembered);
        finish(pending, libvelcor::Api::ResultInvalid, QJsonObject());
        return;
    }
    if (socket && socket->bytesToWrite() > MaxUnsent) {
        // Not sent: it waits for the next connection.
        requests.hold(pending);
        fail(QStringLiteral("The local service at %1 does not read its requests").arg(addressText));
        return;
    }
    requests.sent(pending);
    writeLine(line);
    if (m.value(QLatin1String("type")).toString() == QLatin1String("status.start")) {
        // From now on the service owes us a line per interval.
        statusInterval =
            qBound(MinInterval, m.value(QLatin1String("interval")).toInt(), MaxInterval);
        owedSince = clock.elapsed();
        if (!deliveries.isFull())
            livenessTimer.start(3 * statusInterval);
    }
}

void ServiceConnection::finish(const Pending& pending, int rc, const QJsonObject& reply)
{
    if (!pending.reply)
        return;
    if (rc != libvelcor::Api::ResultOk) {
        VLOG_ERROR << "Request " << protocol::messageType(pending.message) << " ended with result "
                   << rc;
    }
    const QPointer<QObject> context = pending.context;
    const Reply r = pending.reply;
    deliver([context, r, rc, reply]() {
        if (context)
            r(rc, reply);
    });
}

void ServiceConnection::deliver(std::function<void()> item)
{
    deliveries.push(std::move(item));
}

void ServiceConnection::failInFlight(int rc)
{
    for (const Pending& p : requests.takeInFlight())
        finish(p, rc, QJsonObject());
}

void ServiceConnection::fail(const QString& description, const QString& extra, bool foreign)
{
    const bool wasReady = phase == Ready;
    attemptTimer.stop();
    livenessTimer.stop();
    ++link;
    wire = nullptr;
    dropSocket();
    decoder.reset();
    // A new connection is silent until status reports are asked for again.
    statusInterval = 0;
    lastProblem = extra.isEmpty() ? description : description + QStringLiteral(": ") + extra;
    // The next attempt is on its way before anyone hears of the failure: a
    // receiver may keep the error on screen for as long as it likes. The
    // loss follows the error once every receiver has heard the error, so
    // whoever shows the error state has the error's text by then.
    phase = Waiting;
    VLOG_ERROR << lastProblem << "; next attempt in " << delay << " ms";
    reconnectTimer.start(delay);
    delay = qMin(maxDelay, delay * 2);
    const Reported now = foreign ? ForeignReported : UnreachableReported;
    if (reported == NothingReported || (now == ForeignReported && reported != now)) {
        reported = now;
        const Error e(libvelcor::Api::ConnectionErrorCode, description, extra);
        deliver([this, e]() { emit connectionError(e); });
    }
    if (wasReady)
        deliver([this]() { emit connectionLost(); });
    failInFlight(libvelcor::Api::ResultDisconnected);
    for (const Pending& p : requests.takeUnheld())
        finish(p, libvelcor::Api::ResultNotConnected, QJsonObject());
}

bool ServiceConnection::readRest()
{
    // The service's last lines before the socket ended are told before the
    // loss; the socket holds no more than it read ahead.
    QPointer<ServiceConnection> self(this);
    QTcpSocket* s = socket;
    readSocket(true);
    return self && s && socket == s;
}

void ServiceConnection::_socketError()
{
    if (!readRest())
        return;
    const QString why = socket->errorString();
    if (phase == Ready)
        fail(QStringLiteral("The connection to the local service at %1 was lost").arg(addressText),
             why);
    else
        fail(QStringLiteral("Cannot reach the local service at %1").arg(addressText), why);
}

void ServiceConnection::_disconnected()
{
    if (!readRest())
        return;
    if (phase == Ready)
        fail(QStringLiteral("The local service at %1 closed the connection").arg(addressText));
    else
        fail(QStringLiteral("The local service at %1 closed the connection before it was ready")
                 .arg(addressText));
}

void ServiceConnection::_reconnect()
{
    if (phase == Waiting)
        connectNow();
}

// The timers judge the service by what it sent; while its lines wait
// unread for the receivers, _resumeReading starts them again.
void ServiceConnection::_attemptTimeout()
{
    if (deliveries.isFull())
        return;
    if (phase == Connecting || phase == Handshake)
        fail(QStringLiteral("The local service at %1 did not answer").arg(addressText));
}

void ServiceConnection::_livenessTimeout()
{
    if (phase == Ready && !deliveries.isFull())
        fail(QStringLiteral("The local service at %1 stopped answering").arg(addressText));
}

void ServiceConnection::armDeadlineTimer()
{
    const qint64 next = requests.nextDeadline();
    if (next < 0) {
        deadlineTimer.stop();
        return;
    }
    deadlineTimer.start(int(qMax<qint64>(0, next - clock.elapsed())));
}

void ServiceConnection::_checkDeadlines()
{
    // Answers may wait unread; see _attemptTimeout.
    if (deliveries.isFull())
        return;
    for (const Pending& p : requests.takeExpired(clock.elapsed()))
        finish(p, libvelcor::Api::ResultTimeout, QJsonObject());
    armDeadlineTimer();
}

} // namespace detail
} // namespace libvelcor
