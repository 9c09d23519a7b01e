#include "servicesimulator.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <memory>

#include "linedecoder.h"
#include "protocol.h"

namespace orvosim {

namespace P = libvelcor::protocol;

// Owned by its socket, so it goes (from the event loop) with it.
struct ServiceSimulator::Client : QObject
{
    explicit Client(QTcpSocket* s) : QObject(s), socket(s) {}
    QTcpSocket* socket = nullptr;
    libvelcor::detail::LineDecoder decoder{P::MaxLineSize,
                                           libvelcor::detail::LineDecoder::FailStream};
    QTimer* heartbeatTimer = nullptr;
    bool hello = false;
};

ServiceSimulator::ServiceSimulator(QObject* parent) : QObject(parent), protocolVersion(P::Version)
{
    settings.insert(QStringLiteral("service"), QStringLiteral("velcor-simulator"));
    settings.insert(QStringLiteral("version"), QStringLiteral("1.0"));
    setManagementServer(QStringLiteral("127.0.0.1"));
}

ServiceSimulator::~ServiceSimulator()
{
    close();
}

QTcpServer* ServiceSimulator::tcpServer()
{
    if (!server) {
        server = new QTcpServer(this);
        connect(server, &QTcpServer::newConnection, this, &ServiceSimulator::_newConnection);
    }
    return server;
}

bool ServiceSimulator::listen(quint16 p)
{
    return tcpServer()->listen(QHostAddress(QHostAddress::LocalHost), p);
}

bool ServiceSimulator::listenOn(qintptr descriptor)
{
    return tcpServer()->setSocketDescriptor(descriptor);
}

void ServiceSimulator::close()
{
    if (server)
        server->close();
    disconnectClients();
    if (logSocket) {
        logSocket->abort();
        logSocket->deleteLater();
    }
}

quint16 ServiceSimulator::port() const
{
    return server ? server->serverPort() : 0;
}

QString ServiceSimulator::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

int ServiceSimulator::clientCount() const
{
    int n = 0;
    for (const Client* c : clients)
        if (c->hello)
            ++n;
    return n;
}

void ServiceSimulator::disconnectClients()
{
    const QList<Client*> all = clients;
    clients.clear();
    for (Client* c : all) {
        c->socket->disconnect(this);
        c->socket->abort();
        // Goes from the event loop: this may run inside its own signal.
        c->socket->setParent(nullptr);
        c->socket->deleteLater();
    }
}

void ServiceSimulator::setSettings(const QVariantMap& s)
{
    settings = s;
}

void ServiceSimulator::setProtocolVersion(int version)
{
    protocolVersion = version;
}

void ServiceSimulator::setAnswering(bool on)
{
    answering = on;
}

void ServiceSimulator::setHeartbeat(bool on)
{
    heartbeat = on;
    for (Client* c : qAsConst(clients))
        if (c->heartbeatTimer && !on)
            c->heartbeatTimer->stop();
}

void ServiceSimulator::setResultCode(const QString& requestType, int rc)
{
    resultCodes.insert(requestType, rc);
}

void ServiceSimulator::setAnswerDelay(const QString& requestType, int delayMs)
{
    answerDelays.insert(requestType, qMax(0, delayMs));
}

void ServiceSimulator::setConfigReply(const QVariant& reply, int delayMs)
{
    haveConfigReply = true;
    configReply = reply;
    configDelay = qMax(0, delayMs);
}

void ServiceSimulator::clearConfigReply()
{
    haveConfigReply = false;
    configReply = QVariant();
    configDelay = 0;
}

void ServiceSimulator::setManagementServer(const QString& addr, const QString& fallbackAddr,
                                           const QString& uuid, const QVariantMap& pages)
{
    msAddr = addr;
    msFallbackAddr = fallbackAddr;
    msUuid = uuid.isEmpty() ? QStringLiteral("6f1c2b9e-2d4a-4c1e-9a53-0c8e5d7b1f20") : uuid;
    msPages = pages;
    if (msPages.isEmpty()) {
        msPages.insert(QStringLiteral("connection"), QStringLiteral("/manage/portal/connection"));
        msPages.insert(QStringLiteral("action"), QStringLiteral("/manage/portal/action"));
        msPages.insert(QStringLiteral("settings"), QStringLiteral("/manage/portal/settings"));
    }
}

QVariantMap ServiceSimulator::serverRecord() const
{
    QVariantMap server;
    server.insert(QStringLiteral("uuid"), msUuid);
    server.insert(QStringLiteral("openvpn_internal_ip"), msAddr);
    if (!msFallbackAddr.isEmpty())
        server.insert(QStringLiteral("fallback_openvpn_internal_ip"), msFallbackAddr);
    server.insert(QStringLiteral("available_pages"), msPages);
    QVariantMap record;
    record.insert(QStringLiteral("server"), server);
    return record;
}

void ServiceSimulator::_newConnection()
{
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        Client* c = new Client(socket);
        clients.append(c);
        connect(socket, &QTcpSocket::readyRead, this, [this, c]() { _read(c); });
        connect(socket, &QTcpSocket::disconnected, this, [this, c]() {
            if (!clients.contains(c))
                return;
            clients.removeAll(c);
            c->socket->deleteLater();
            emit clientDisconnected();
        });
    }
}

void ServiceSimulator::_read(Client* c)
{
    char buffer[16384];
    while (clients.contains(c)) {
        const qint64 n = c->socket->read(buffer, sizeof buffer);
        if (n <= 0)
            return;
        const bool ok = c->decoder.feed(buffer, n, [&](const char* data, int size, bool) {
            if (clients.contains(c))
                handleLine(c, data, size);
        });
        if (!ok && clients.contains(c)) {
            _drop(c, QStringLiteral("line longer than %1 bytes").arg(P::MaxLineSize));
            return;
        }
    }
}

void ServiceSimulator::_drop(Client* c, const QString& why)
{
    record(QStringLiteral("dropped"), why);
    clients.removeAll(c);
    c->socket->disconnect(this);
    c->socket->abort();
    c->socket->deleteLater();
    emit clientDisconnected();
}

void ServiceSimulator::handleLine(Client* c, const char* data, int size)
{
    if (size == 0)
        return;
    QJsonObject m;
    QString why;
    if (!P::decodeLine(data, size, m, why)) {
        record(QStringLiteral("bad-line"), why);
        return;
    }
    handleMessage(c, m);
}

void ServiceSimulator::handleMessage(Client* c, const QJsonObject& m)
{
    const QString type = P::messageType(m);
    const qint64 id = P::messageId(m);
    if (type == QLatin1String("hello")) {
        record(type, m.value(QLatin1String("protocol")).toInt());
        c->hello = true;
        QJsonObject s;
        s.insert(QStringLiteral("type"), QStringLiteral("settings"));
        s.insert(QStringLiteral("protocol"), protocolVersion);
        s.insert(QStringLiteral("settings"), QJsonObject::fromVariantMap(settings));
        c->socket->write(P::encode(s));
        emit clientConnected();
        return;
    }
    if (!c->hello) {
        record(QStringLiteral("bad-line"),
               QString(QStringLiteral("request before hello: ") + type));
        return;
    }
    if (type == QLatin1String("status.start")) {
        const int interval = m.value(QLatin1String("interval")).toInt();
        record(type, interval);
        if (!c->heartbeatTimer) {
            c->heartbeatTimer = new QTimer(c->socket);
            QTcpSocket* s = c->socket;
            connect(c->heartbeatTimer, &QTimer::timeout, s, [s]() {
                QJsonObject h;
                h.insert(QStringLiteral("type"), QStringLiteral("heartbeat"));
                s->write(P::encode(h));
            });
        }
        if (heartbeat)
            c->heartbeatTimer->start(qBound(100, interval, 60000));
        answer(c, id, type);
        if (autopilot) {
            QJsonObject st;
            st.insert(QStringLiteral("type"), QStringLiteral("state"));
            st.insert(QStringLiteral("state"), state);
            c->socket->write(P::encode(st));
        }
    } else if (type == QLatin1String("auth")) {
        libvelcor::Auth auth;
        if (!P::authFromJson(m.value(QLatin1String("auth")), auth)) {
            record(QStringLiteral("bad-line"), QStringLiteral("malformed auth"));
            answer(c, id, type, QJsonObject{{QStringLiteral("rc"), 2}});
            return;
        }
        auths.append(auth);
        if (auth.getId() == libvelcor::Auth::ProfileId)
            connUser = auth.getUser();
        QVariantMap a;
        a.insert(QStringLiteral("id"), int(auth.getId()));
        a.insert(QStringLiteral("type"), int(auth.getType()));
        a.insert(QStringLiteral("url"), auth.getUrl());
        a.insert(QStringLiteral("user"), auth.getUser());
        a.insert(QStringLiteral("pass"), auth.getPass());
        a.insert(QStringLiteral("path"), auth.getPath());
        record(type, a);
        answer(c, id, type);
    } else if (type == QLatin1String("config")) {
        const QJsonValue v = m.value(QLatin1String("config"));
        if (!v.isObject()) {
            record(QStringLiteral("bad-line"), QStringLiteral("configuration is not an object"));
            answer(c, id, type, QJsonObject{{QStringLiteral("rc"), 2}});
            return;
        }
        const QVariantMap fragment = P::jsonToVariant(v).toMap();
        config = P::mergeMaps(config, fragment);
        record(type, fragment);
        answer(c, id, type);
    } else if (type == QLatin1String("setup.port") || type == QLatin1String("setup.logPort")) {
        const int p = m.value(QLatin1String("port")).toInt(-1);
        record(type, p);
        if (type == QLatin1String("setup.port"))
            reqPort = p;
        else
            logPortValue = p;
        answer(c, id, type);
    } else if (type == QLatin1String("setup.configRetrieve")) {
        record(type, QVariant());
        if (!answering)
            return;
        const int rc = resultCodes.value(type, 0);
        const QVariant reply = haveConfigReply ? configReply : QVariant(serverRecord());
        QPointer<QTcpSocket> s = c->socket;
        auto send = [s, id, rc, reply]() {
            if (!s)
                return;
            QJsonObject r;
            r.insert(QStringLiteral("type"), QStringLiteral("result"));
            if (id > 0)
                r.insert(QStringLiteral("id"), double(id));
            r.insert(QStringLiteral("rc"), rc);
            if (rc == 0)
                r.insert(QStringLiteral("config"), P::variantToJson(reply));
            s->write(P::encode(r));
        };
        if (configDelay > 0)
            QTimer::singleShot(configDelay, this, send);
        else
            send();
    } else if (type == QLatin1String("cloud.action")) {
        libvelcor::Params params;
        const QString action = m.value(QLatin1String("action")).toString();
        if (action.isEmpty() || !P::paramsFromJson(m.value(QLatin1String("params")), params)) {
            record(QStringLiteral("bad-line"), QStringLiteral("malformed action"));
            answer(c, id, type, QJsonObject{{QStringLiteral("rc"), 2}});
            return;
        }
        QVariantList list;
        for (const auto& p : params)
            list.append(QVariant(QVariantList{p.first, p.second}));
        QVariantMap a;
        a.insert(QStringLiteral("action"), action);
        a.insert(QStringLiteral("params"), list);
        record(type, a);
        answer(c, id, type);
        if (autopilot)
            autopilotAction(action);
    } else {
        record(QStringLiteral("unknown"), type);
        answer(c, id, type, QJsonObject{{QStringLiteral("rc"), 3}});
    }
}

void ServiceSimulator::answer(Client* c, qint64 id, const QString& type, const QJsonObject& extra)
{
    if (!answering || id <= 0)
        return;
    QJsonObject r = extra;
    r.insert(QStringLiteral("type"), QStringLiteral("result"));
    r.insert(QStringLiteral("id"), double(id));
    if (!r.contains(QLatin1String("rc")))
        r.insert(QStringLiteral("rc"), resultCodes.value(type, 0));
    const int delayMs = answerDelays.value(type, 0);
    if (delayMs == 0) {
        c->socket->write(P::encode(r));
        return;
    }
    const QPointer<QTcpSocket> s = c->socket;
    const QByteArray line = P::encode(r);
    QTimer::singleShot(delayMs, this, [s, line]() {
        if (s)
            s->write(line);
    });
}

void ServiceSimulator::broadcast(const QJsonObject& message)
{
    const QByteArray line = P::encode(message);
    for (Client* c : qAsConst(clients))
        if (c->hello)
            c->socket->write(line);
}

void ServiceSimulator::record(const QString& kind, const QVariant& value)
{
    entries.append(Entry{kind, value});
    emit received(kind);
}

QStringList ServiceSimulator::kinds() const
{
    QStringList out;
    for (const Entry& e : entries)
        out.append(e.kind);
    return out;
}

QList<QVariant> ServiceSimulator::values(const QString& kind) const
{
    QList<QVariant> out;
    for (const Entry& e : entries)
        if (e.kind == kind)
            out.append(e.value);
    return out;
}

void ServiceSimulator::clearLog()
{
    entries.clear();
}

void ServiceSimulator::emitSettings()
{
    QJsonObject s;
    s.insert(QStringLiteral("type"), QStringLiteral("settings"));
    s.insert(QStringLiteral("protocol"), protocolVersion);
    s.insert(QStringLiteral("settings"), QJsonObject::fromVariantMap(settings));
    broadcast(s);
}

void ServiceSimulator::emitState(int st)
{
    state = st;
    QJsonObject m;
    m.insert(QStringLiteral("type"), QStringLiteral("state"));
    m.insert(QStringLiteral("state"), st);
    broadcast(m);
}

void ServiceSimulator::emitProgress(int step, int total, const QString& desc)
{
    QJsonObject m;
    m.insert(QStringLiteral("type"), QStringLiteral("progress"));
    m.insert(QStringLiteral("step"), step);
    m.insert(QStringLiteral("total"), total);
    m.insert(QStringLiteral("desc"), desc);
    broadcast(m);
}

void ServiceSimulator::emitFallback(bool isFallback)
{
    QJsonObject m;
    m.insert(QStringLiteral("type"), QStringLiteral("fallback"));
    m.insert(QStringLiteral("fallback"), isFallback);
    broadcast(m);
}

void ServiceSimulator::emitNeed(const QString& need)
{
    QJsonObject m;
    m.insert(QStringLiteral("type"), QStringLiteral("need"));
    m.insert(QStringLiteral("need"), need);
    broadcast(m);
}

void ServiceSimulator::emitError(int code, const QString& desc, const QString& extra)
{
    QJsonObject m = P::errorToJson(libvelcor::Error(code, desc, extra));
    m.insert(QStringLiteral("type"), QStringLiteral("error"));
    broadcast(m);
}

void ServiceSimulator::sendRaw(const QByteArray& bytes)
{
    for (Client* c : qAsConst(clients))
        c->socket->write(bytes);
}

void ServiceSimulator::injectAction(const QString& action, const libvelcor::Params& params,
                                    quint16 p)
{
    const quint16 target = p ? p : quint16(qMax(0, reqPort));
    QTcpSocket* s = new QTcpSocket(this);
    auto decoder = std::make_shared<libvelcor::detail::LineDecoder>(
        P::MaxLineSize, libvelcor::detail::LineDecoder::FailStream);
    connect(s, &QTcpSocket::connected, s, [s, action, params]() {
        QJsonObject m;
        m.insert(QStringLiteral("type"), QStringLiteral("action"));
        m.insert(QStringLiteral("id"), 1);
        m.insert(QStringLiteral("action"), action);
        m.insert(QStringLiteral("params"), P::paramsToJson(params));
        s->write(P::encode(m));
    });
    auto answered = std::make_shared<bool>(false);
    connect(s, &QTcpSocket::readyRead, this, [this, s, decoder, answered]() {
        const QByteArray bytes = s->readAll();
        decoder->feed(bytes.constData(), bytes.size(), [&](const char* data, int size, bool) {
            QJsonObject r;
            QString why;
            if (*answered || !P::decodeLine(data, size, r, why))
                return;
            *answered = true;
            const int rc = r.value(QLatin1String("rc")).toInt(-1);
            record(QStringLiteral("action-result"), rc);
            emit actionAnswered(rc);
        });
        if (*answered)
            s->disconnectFromHost();
    });
    connect(s, &QAbstractSocket::errorOccurred, this, [this, s, answered]() {
        s->deleteLater();
        if (*answered)
            return;
        *answered = true;
        record(QStringLiteral("action-result"), -1);
        emit actionAnswered(-1);
    });
    connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    s->connectToHost(QHostAddress(QHostAddress::LocalHost), target);
}

QString ServiceSimulator::formatLogLine(const QString& level, const QString& text)
{
    return QStringLiteral("%1 [%2] [%3] [vtx-service:tunnel.c:run():%4] %5")
        .arg(QDateTime::currentDateTime().toString(Qt::TextDate),
             QStringLiteral("0x%1").arg(quintptr(QThread::currentThreadId()), 0, 16), level)
        .arg(42)
        .arg(text);
}

void ServiceSimulator::sendLog(const QString& line, quint16 p)
{
    const int target = p ? int(p) : logPortValue;
    if (target <= 0)
        return;
    if (!logSocket || logSocketPort != target ||
        logSocket->state() == QAbstractSocket::UnconnectedState) {
        if (logSocket) {
            logSocket->abort();
            logSocket->deleteLater();
        }
        logSocket = new QTcpSocket(this);
        logSocketPort = target;
        connect(logSocket.data(), &QTcpSocket::disconnected, logSocket.data(),
                &QObject::deleteLater);
        logSocket->connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(target));
    }
    // Buffered until connected.
    logSocket->write(line.toUtf8() + '\n');
}

void ServiceSimulator::setAutopilot(bool on)
{
    autopilot = on;
}

void ServiceSimulator::setStepDelay(int ms)
{
    stepDelay = qMax(0, ms);
}

void ServiceSimulator::forwardLog(const QString& text)
{
    if (logPortValue > 0)
        sendLog(formatLogLine(QStringLiteral("notice"), text));
}

void ServiceSimulator::setState(int st)
{
    emitState(st);
    static const char* const names[] = {"idle", "error", "connecting", "reconnecting", "connected"};
    forwardLog(QStringLiteral("State changed to %1")
                   .arg(QLatin1String(st >= 0 && st <= 4 ? names[st] : "unknown")));
}

void ServiceSimulator::autopilotAction(const QString& action)
{
    forwardLog(QStringLiteral("Action requested: %1").arg(action));
    if (action == QLatin1String("start")) {
        const int generation = ++runGeneration;
        setState(2);
        const QStringList steps{QStringLiteral("Resolving the gateway"),
                                QStringLiteral("Authenticating"),
                                QStringLiteral("Configuring the tunnel")};
        for (int i = 0; i <= steps.size(); ++i) {
            QTimer::singleShot(stepDelay * (i + 1), this, [this, generation, i, steps]() {
                if (generation != runGeneration)
                    return;
                if (i < steps.size()) {
                    emitProgress(i + 1, steps.size(), steps.at(i));
                    forwardLog(steps.at(i));
                } else {
                    setState(4);
                    if (!connUser.isEmpty())
                        forwardLog(QStringLiteral("Connection established by %1").arg(connUser));
                }
            });
        }
    } else if (action == QLatin1String("stop")) {
        ++runGeneration;
        setState(0);
    }
}

} // namespace orvosim
