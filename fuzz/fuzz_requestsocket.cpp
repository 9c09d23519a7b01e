// Fuzzes the request server's socket side: several local peers at once
// (more than the cap allows) connect to a running server and write their
// bytes in pieces; some read the answers, some never do, some stall with
// the connection open. Invariants: the cap holds, each line a peer gets
// through is answered once and in order, a peer's unsent answers and the
// log lines it causes stay bounded, and every connection ends.
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <memory>
#include <vector>

#include "fuzzkit.h"
#include "libvelcor/server.h"
#include "linedecoder.h"
#include "protocol.h"

using fuzzkit::check;
using libvelcor::Server;
using libvelcor::detail::LineDecoder;
namespace P = libvelcor::protocol;

namespace {

// Short, so a stalled peer costs little; long enough that a peer writing
// at once is never taken for a stalled one.
constexpr int IdleMs = 100;
constexpr int MaxPeers = Server::MaxConnections + 3;
constexpr int MaxPayload = 256 * 1024;
// Longer than any answer the server writes.
constexpr int MaxAnswerSize = 256;

Server* g_server = nullptr;

struct Peer
{
    QTcpSocket socket;
    QByteArray payload;
    bool reads = true;
    bool stalls = false;
    int piece = 1;
    int expected = 0; // non-empty lines the server would answer
    bool overlong = false;
    QByteArray received;
    int answers = 0;

    void collect()
    {
        received += socket.readAll();
        int nl;
        while ((nl = received.indexOf('\n')) >= 0) {
            QJsonParseError e;
            const QJsonObject m = QJsonDocument::fromJson(received.left(nl), &e).object();
            check(e.error == QJsonParseError::NoError, "answer is not JSON");
            check(m.value(QStringLiteral("type")).toString() == QLatin1String("result"),
                  "answer is not a result");
            const int rc = m.value(QStringLiteral("rc")).toInt(-99);
            check(rc == 0 || rc == 2 || rc == 3, "answer has an unknown result code");
            received.remove(0, nl + 1);
            ++answers;
        }
    }
};

// What the server answers: one answer per non-empty line, as it splits them.
void countLines(Peer& p)
{
    LineDecoder decoder(P::MaxLineSize, LineDecoder::FailStream);
    p.overlong =
        !decoder.feed(p.payload.constData(), p.payload.size(), [&p](const char*, int size, bool) {
            if (size > 0)
                ++p.expected;
        });
}

// Sockets the server holds, connected or on their way out.
QList<QTcpSocket*> serverSockets()
{
    return g_server->findChildren<QTcpSocket*>();
}

void checkServerBounds()
{
    int open = 0;
    for (QTcpSocket* s : serverSockets()) {
        if (s->state() == QAbstractSocket::ConnectedState)
            ++open;
        check(s->bytesToWrite() <= Server::MaxUnsentBytes + 4096, "unsent answers pile up");
    }
    check(open <= Server::MaxConnections, "more connections open than the cap");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzkit::init(argc, argv);
    g_server = new Server(nullptr, libvelcor::ModeLocal);
    g_server->setIdleTimeout(IdleMs);
    if (g_server->setInitialPort(0) != 0 || g_server->start() != 0)
        fuzzkit::fail("request server does not start");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte: how many peers. Each then takes an equal share of the
    // rest: a flags byte (reads, stalls, piece size, repeats) and its bytes.
    const int count = 1 + data[0] % MaxPeers;
    ++data;
    --size;
    const size_t share = size / size_t(count);
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < count; ++i) {
        auto p = std::make_unique<Peer>();
        const uint8_t* mine = data + size_t(i) * share;
        const uint8_t flags = share > 0 ? mine[0] : 0;
        p->reads = !(flags & 1);
        p->stalls = flags & 2;
        // Repeats make enough answers for the unsent bound to matter.
        const int repeats = 1 << ((flags >> 5) & 7);
        const QByteArray bytes(reinterpret_cast<const char*>(mine) + 1,
                               share > 0 ? int(share) - 1 : 0);
        p->payload = bytes.repeated(repeats).left(MaxPayload);
        // 1 to 16384 bytes a write, and not too many writes.
        p->piece = qMax(1 << (((flags >> 2) & 7) * 2), p->payload.size() / 256 + 1);
        countLines(*p);
        if (!p->reads) {
            p->socket.setReadBufferSize(1);
            p->socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        }
        peers.push_back(std::move(p));
    }

    fuzzkit::setCapture(true);
    const quint16 port = quint16(g_server->getPort());
    for (auto& p : peers)
        p->socket.connectToHost(QHostAddress::LocalHost, port);
    fuzzkit::spin(
        [&]() {
            for (auto& p : peers)
                if (p->socket.state() == QAbstractSocket::ConnectingState ||
                    p->socket.state() == QAbstractSocket::HostLookupState)
                    return false;
            return true;
        },
        5000);
    for (auto& p : peers) {
        if (p->socket.state() != QAbstractSocket::ConnectedState)
            continue;
        for (int at = 0; at < p->payload.size(); at += p->piece)
            p->socket.write(p->payload.mid(at, p->piece));
    }

    // A reading peer waits for its answers and then goes, unless it stalls;
    // the server ends stalled and non-reading peers itself (a peer that
    // does not read does not see that, so the server's side is watched).
    const auto settled = [&]() {
        checkServerBounds();
        bool done = true;
        for (auto& p : peers) {
            if (!p->reads || p->socket.state() != QAbstractSocket::ConnectedState)
                continue;
            p->collect();
            if (!p->stalls && p->answers >= p->expected && !p->overlong &&
                p->socket.bytesToWrite() == 0)
                p->socket.disconnectFromHost();
            done = done && p->socket.state() != QAbstractSocket::ConnectedState;
        }
        for (QTcpSocket* s : serverSockets())
            done = done && s->state() != QAbstractSocket::ConnectedState;
        return done;
    };
    check(fuzzkit::spin(settled, 10000 + IdleMs), "a connection was never ended");
    for (auto& p : peers) {
        if (p->reads)
            p->collect();
        check(p->answers <= p->expected, "more answers than lines");
        // A reading peer the server let in is answered line for line, when
        // its answers cannot outgrow the unsent bound before it reads.
        if (p->reads && !p->overlong && p->answers > 0 &&
            qint64(p->expected) * MaxAnswerSize <= Server::MaxUnsentBytes)
            check(p->answers == p->expected, "a line went unanswered");
    }
    for (auto& p : peers)
        p->socket.abort();
    check(fuzzkit::spin([]() { return serverSockets().isEmpty(); }, 5000),
          "the server kept a connection");

    // A few lines per connection, whatever was sent.
    int errors = 0;
    for (const QString& line : fuzzkit::takeLog())
        if (line.contains(QLatin1String("[ERROR]")))
            ++errors;
    fuzzkit::setCapture(false);
    check(errors <= (count + 1) * (Server::LoggedRefusalsPerConnection + 4),
          "refused input floods the log");
    return 0;
}
