#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include "libvelcor/auth.h"
#include "libvelcor/params.h"

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace orvosim {

// Plays the local VPN service: speaks the service side of libvelcor's line
// protocol on 127.0.0.1, for tests (scripted) and for people trying the
// client without a VPN service (autopilot).
//
// Everything a client sends is recorded, in arrival order, in one log, so
// tests can check the order across API objects. Events (settings, state,
// progress, fallback, need, error) go to every client that has said hello.
class ServiceSimulator : public QObject
{
    Q_OBJECT
public:
    // One received message. kind is the request type ("hello",
    // "status.start", "auth", "config", "setup.port", "setup.logPort",
    // "setup.configRetrieve", "cloud.action"), or "unknown" (a well-formed
    // message of an unknown type, value: its type), "bad-line" (a line that
    // did not decode, value: the reason), "dropped" (a client whose stream
    // broke the protocol) and "action-result" (the request server's answer
    // to an injected action, value: its result code).
    // value: "auth" the credential as a map (id, type, url, user, pass,
    // path); "config" the fragment; the ports an int; "cloud.action" a map
    // with "action" and "params" (a list of [name, value] lists);
    // "status.start" the interval.
    struct Entry
    {
        QString kind;
        QVariant value;
    };

    explicit ServiceSimulator(QObject* parent = nullptr);
    ~ServiceSimulator() override;

    // Listens on 127.0.0.1 (port 0: any free port).
    bool listen(quint16 port = 0);
    // Takes over a socket that listens already, bound to 127.0.0.1 by the
    // caller (which held the port meanwhile).
    bool listenOn(qintptr descriptor);
    void close();
    quint16 port() const;
    // "127.0.0.1:<port>", the form VELCOR_SERVICE_ADDR takes.
    QString address() const;
    // Clients that have said hello and are still connected.
    int clientCount() const;
    // Cuts every client off at once, as a crashing service would.
    void disconnectClients();

    // What the simulator says about itself in its settings message.
    void setSettings(const QVariantMap& settings);
    void setProtocolVersion(int version);
    // While off, requests are recorded and never answered.
    void setAnswering(bool on);
    // While off, no keep-alive lines are sent after "status.start".
    void setHeartbeat(bool on);
    // The result code answered to requests of one type (default 0).
    void setResultCode(const QString& requestType, int rc);
    // Answers to requests of one type go delayMs after the request came.
    void setAnswerDelay(const QString& requestType, int delayMs);

    // The answer to a configuration retrieval, sent after delayMs. Without
    // one, the server record of the management server below is answered.
    void setConfigReply(const QVariant& config, int delayMs = 0);
    void clearConfigReply();
    // The management server that the default server record points at.
    void setManagementServer(const QString& addr, const QString& fallbackAddr = QString(),
                             const QString& uuid = QString(),
                             const QVariantMap& pages = QVariantMap());
    QVariantMap serverRecord() const;

    // Events to every client.
    void emitSettings();
    void emitState(int state);
    void emitProgress(int step, int total, const QString& desc);
    void emitFallback(bool isFallback);
    void emitNeed(const QString& need);
    void emitError(int code, const QString& desc, const QString& extra = QString());
    // Raw bytes to every client (garbage, split lines, ...).
    void sendRaw(const QByteArray& bytes);

    // Sends an action request to the client's request server (the port the
    // client supplied, unless one is given). The answer is recorded as
    // "action-result" and signalled by actionAnswered.
    void injectAction(const QString& action, const libvelcor::Params& params, quint16 port = 0);
    // Sends one line to the client's log listener (the port the client
    // supplied, unless one is given).
    void sendLog(const QString& line, quint16 port = 0);
    // A log line in the client's format, as the service would write it.
    static QString formatLogLine(const QString& level, const QString& text);

    // Autopilot: "start" runs connecting, a few progress steps and
    // connected, stepDelayMs apart; "stop" returns to idle; "status.start"
    // is answered with the current state; state changes, actions and the
    // connection's user are forwarded to the client's log listener.
    void setAutopilot(bool on);
    void setStepDelay(int ms);
    int currentState() const { return state; }

    QList<Entry> log() const { return entries; }
    QStringList kinds() const;
    // Entries of one kind, in order.
    QList<QVariant> values(const QString& kind) const;
    void clearLog();
    // The configuration after merging every fragment received.
    QVariantMap mergedConfig() const { return config; }
    QList<libvelcor::Auth> credentials() const { return auths; }
    // Whom the connection signs in as: the user of the last profile
    // credential. A proxy credential only reaches the proxy.
    QString connectionUser() const { return connUser; }
    int requestPort() const { return reqPort; }
    int logPort() const { return logPortValue; }

signals:
    // After an entry was added to the log.
    void received(const QString& kind);
    void actionAnswered(int rc);
    void clientConnected();
    void clientDisconnected();

private:
    struct Client;

    QTcpServer* tcpServer();
    void _newConnection();
    void _read(Client* client);
    void _drop(Client* client, const QString& why);
    void handleLine(Client* client, const char* data, int size);
    void handleMessage(Client* client, const QJsonObject& message);
    void answer(Client* client, qint64 id, const QString& type,
                const QJsonObject& extra = QJsonObject());
    void broadcast(const QJsonObject& message);
    void record(const QString& kind, const QVariant& value);
    void autopilotAction(const QString& action);
    void setState(int st);
    void forwardLog(const QString& text);

    QTcpServer* server = nullptr;
    QList<Client*> clients;
    QList<Entry> entries;
    QVariantMap settings;
    int protocolVersion;
    bool answering = true;
    bool heartbeat = true;
    QHash<QString, int> resultCodes;
    QHash<QString, int> answerDelays;
    bool haveConfigReply = false;
    QVariant configReply;
    int configDelay = 0;
    QString msAddr;
    QString msFallbackAddr;
    QString msUuid;
    QVariantMap msPages;
    bool autopilot = false;
    int stepDelay = 500;
    int state = 0;
    // Invalidates the steps of a "start" that a "stop" overtook.
    int runGeneration = 0;
    QVariantMap config;
    QList<libvelcor::Auth> auths;
    QString connUser;
    int reqPort = -1;
    int logPortValue = -1;
    QPointer<QTcpSocket> logSocket;
    int logSocketPort = -1;
};

} // namespace orvosim
