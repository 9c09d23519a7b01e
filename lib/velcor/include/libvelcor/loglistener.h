#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace libvelcor {

namespace detail {
class LogSender;
class RefusalLog;
} // namespace detail

// Receives the local service's log: the service connects over TCP on a
// loopback address and writes plain text lines ("\n"-terminated, UTF-8) in
// the log-line format. Each line is handed on as one log(QString). A line
// over MaxLineSize bytes is cut there and marked; memory stays bounded
// whatever a sender does. Only senders whose socket belongs to this user or
// root are heard, and only as long as they send log lines: the first line
// that is not one closes the sender.
class LogListener : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultPort = 4824;
    static constexpr int MaxConnections = 8;
    // Refusals (senders turned away, lines that are not log lines) logged in
    // full per interval; the rest are counted.
    static constexpr int LoggedRefusals = 3;
    static constexpr int RefusalLogIntervalMs = 10000;

    explicit LogListener(QObject* parent = nullptr);
    ~LogListener() override;

    // Listens on address (loopback only) from port upwards (0: any free
    // port), or on a port the system picks when those are taken. 0 on
    // success; portBound follows from the event loop.
    int start(const QHostAddress& address, quint16 port);
    void stop();
    bool isListening() const;
    // The bound port, -1 when not listening.
    int getPort() const;

signals:
    void portBound(int port);
    void log(QString line);

private:
    void _newConnection();
    // False when the listener or the socket went away meanwhile.
    bool _read(QTcpSocket* socket, detail::LogSender* sender);
    void _line(QTcpSocket* socket, detail::LogSender* sender, const char* data, int size, bool cut);

    QTcpServer* tcpServer = nullptr;
    detail::RefusalLog* refusals = nullptr;
};

} // namespace libvelcor
