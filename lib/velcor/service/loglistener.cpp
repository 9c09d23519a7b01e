#include "libvelcor/loglistener.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstring>

#include "linedecoder.h"
#include "listen.h"
#include "protocol.h"
#include "vlog.h"

namespace libvelcor {

namespace detail {

// What the listener keeps of one sender, owned by its socket.
class LogSender : public QObject
{
public:
    explicit LogSender(QObject* parent)
        : QObject(parent), decoder(protocol::MaxLogLineSize, LineDecoder::CutLine)
    {
    }
    LineDecoder decoder;
    protocol::LogLineCheck check;
    // Set when a line was not a log line: nothing more of it is heard.
    bool closed = false;
};

} // namespace detail

namespace {

// Unread bytes kept per sender; beyond it TCP holds the sender back.
constexpr qint64 ReadBufferSize = 256 * 1024;

QString decodeLogLine(const char* data, int size, bool cut)
{
    QString line = QString::fromUtf8(data, size);
    // A NUL would end the line early wherever it is handed on as a C
    // string.
    if (std::memchr(data, '\0', size_t(size)))
        line.replace(QChar(0), QChar::ReplacementCharacter);
    if (cut)
        line.append(QLatin1String(protocol::CutMarker));
    return line;
}

} // namespace

LogListener::LogListener(QObject* parent)
    : QObject(parent),
      refusals(new detail::RefusalLog("Log listener", LoggedRefusals, RefusalLogIntervalMs, this))
{
}

LogListener::~LogListener()
{
    stop();
}

int LogListener::start(const QHostAddress& address, quint16 port)
{
    if (!address.isLoopback()) {
        VLOG_ERROR << "Log listener refuses a non-loopback address: " << address.toString();
        return -1;
    }
    if (isListening())
        return -1;
    if (!tcpServer) {
        tcpServer = new QTcpServer(this);
        connect(tcpServer, &QTcpServer::newConnection, this, &LogListener::_newConnection);
    }
    const int bound = detail::listenUpwards(*tcpServer, address, port);
    if (bound < 0) {
        VLOG_ERROR << "Log listener cannot listen " << qPrintable(detail::portsTried(port)) << ": "
                   << tcpServer->errorString();
        return -1;
    }
    detail::announceBound(this, bound);
    return 0;
}

void LogListener::stop()
{
    if (!tcpServer)
        return;
    detail::stopListening(*tcpServer, this);
    refusals->flush();
}

bool LogListener::isListening() const
{
    return tcpServer && tcpServer->isListening();
}

int LogListener::getPort() const
{
    return isListening() ? int(tcpServer->serverPort()) : -1;
}

void LogListener::_newConnection()
{
    const auto refused = [this](const QString& why) {
        if (refusals->admit())
            VLOG_ERROR << "Log listener refuses a sender: " << qPrintable(why);
    };
    while (QTcpSocket* socket = detail::nextServable(*tcpServer, MaxConnections, refused)) {
        socket->setReadBufferSize(ReadBufferSize);
        detail::LogSender* state = new detail::LogSender(socket);
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket, state]() { _read(socket, state); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, state]() {
            // Closed here after a line that was not a log line: the sender's
            // remaining bytes are not looked at.
            if (state->closed) {
                socket->deleteLater();
                return;
            }
            QPointer<QTcpSocket> guard(socket);
            if (!_read(socket, state) || !guard)
                return;
            // What is left after the last "\n" still counts as a line.
            if (state->decoder.pendingSize() > 0) {
                QPointer<LogListener> self(this);
                state->decoder.feed("\n", 1, [&](const char* data, int size, bool cut) {
                    if (self && guard)
                        _line(socket, state, data, size, cut);
                });
                if (!self || !guard)
                    return;
            }
            socket->deleteLater();
        });
    }
}

bool LogListener::_read(QTcpSocket* socket, detail::LogSender* state)
{
    QPointer<LogListener> self(this);
    QPointer<QTcpSocket> guard(socket);
    char buffer[65536];
    for (;;) {
        const qint64 n = socket->read(buffer, sizeof buffer);
        if (n <= 0)
            return true;
        state->decoder.feed(buffer, n, [&](const char* data, int size, bool cut) {
            // Receivers may stop or delete the listener meanwhile.
            if (self && guard)
                _line(socket, state, data, size, cut);
        });
        if (!self || !guard)
            return false;
        if (state->closed)
            return true;
    }
}

void LogListener::_line(QTcpSocket* socket, detail::LogSender* state, const char* data, int size,
                        bool cut)
{
    // A receiver that stopped the listener dropped its senders: the rest
    // of what was read from them is not heard.
    if (size == 0 || state->closed || socket->parent() != tcpServer)
        return;
    // Anything but the service's log format (an HTTP request from a web
    // page, for one) ends the sender at its first such line.
    if (!state->check.accepts(data, size)) {
        state->closed = true;
        if (refusals->admit())
            VLOG_ERROR << "Log listener: a line that is not a log line (" << size
                       << " bytes), sender closed";
        socket->abort();
        return;
    }
    emit log(decodeLogLine(data, size, cut));
}

} // namespace libvelcor
