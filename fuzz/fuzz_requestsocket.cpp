// Fuzzes the request server's socket side: several local peers at once
// (more than the cap allows) connect to a running server and write their
// bytes in pieces; some read the answers, some never do, some stall with
// the connection open, some send slowly and then refused requests until the
// server closes them. Before them, a burst of peers connects, writes and
// closes, and a probe asks with a valid request. Invariants: the cap holds,
// peers that have closed hold no slot (the probe is served), each line a
// peer gets through is answered once and in order, nothing after a line
// that is not a protocol message is answered, only a request taken keeps a
// connection open, a peer's unsent answers stay bounded, the log lines of
// all connections together stay within their bound, and every connection
// ends.
#include <QElapsedTimer>
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
#include "listen.h"
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
// A slow peer writes a piece this often, and after its bytes up to this
// many refused lines.
constexpr int SlowMs = IdleMs / 3;
constexpr int SlowRefusedLines = 40;
// A message the server answers as refused.
const QByteArray RefusedLine = "{\"type\":\"x\"}\n";
// How late the server may close a connection that no request keeps, on a
// busy machine; the refused lines of a slow peer last well beyond it.
constexpr int IdleSlackMs = 4 * IdleMs;

Server* g_server = nullptr;
QElapsedTimer g_clock;
qint64 g_errors = 0;
// Requests of the probe the server handed on.
int g_probes = 0;

struct Peer
{
    QTcpSocket socket;
    QByteArray payload;
    bool reads = true;
    bool stalls = false;
    bool slow = false;
    int piece = 1;
    int expected = 0; // non-empty lines the server would answer
    // The server closes the connection: a line over the limit, or one that
    // is not a protocol message.
    bool closes = false;
    QByteArray received;
    int answers = 0;
    // A slow peer: bytes written so far, and when it last wrote.
    int sent = 0;
    qint64 sentAt = 0;
    // When it connected, and when it last had a request taken.
    qint64 keptSince = 0;

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
            if (rc == 0)
                keptSince = g_clock.elapsed();
            received.remove(0, nl + 1);
            ++answers;
        }
    }

    // Writes the next piece when it is due.
    void sendSlowly()
    {
        const qint64 now = g_clock.elapsed();
        if (sent >= payload.size() || now - sentAt < SlowMs)
            return;
        const int refused = RefusedLine.size() * SlowRefusedLines;
        const int n = sent < payload.size() - refused ? qMin(piece, payload.size() - refused - sent)
                                                      : RefusedLine.size();
        socket.write(payload.mid(sent, n));
        sent += n;
        sentAt = now;
    }
};

// What the server answers: one answer per non-empty line, as it splits
// them, up to the first line that is not a message.
void countLines(Peer& p, const QByteArray& bytes)
{
    LineDecoder decoder(P::MaxLineSize, LineDecoder::FailStream);
    p.expected = 0;
    p.closes = false;
    const bool ok =
        decoder.feed(bytes.constData(), bytes.size(), [&p](const char* data, int size, bool) {
            QJsonObject m;
            QString why;
            if (size == 0 || p.closes)
                return;
            if (P::decodeLine(data, size, m, why))
                ++p.expected;
            else
                p.closes = true;
        });
    p.closes = p.closes || !ok;
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
        // One whose peer has closed is on its way out and holds no slot.
        if (s->state() == QAbstractSocket::ConnectedState && !libvelcor::detail::peerHasClosed(*s))
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
    QObject::connect(g_server->getRequestHandler(), &libvelcor::RequestHandler::actionRequest,
                     [](const QString& action, const libvelcor::Params&) {
                         if (action == QLatin1String("churn-probe"))
                             ++g_probes;
                     });
    if (g_server->setInitialPort(0) != 0 || g_server->start() != 0)
        fuzzkit::fail("request server does not start");
    g_clock.start();
    return 0;
}

// Peers that connect, write and close at once, in a burst the server sees
// only afterwards, then a probe that stays for its answer; nullptr when the
// probe cannot connect.
std::unique_ptr<Peer> churn(quint16 port, int count, const QByteArray& bytes)
{
    for (int i = 0; i < count; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (!s.waitForConnected(1000))
            continue;
        s.write(bytes);
        s.flush();
        s.abort();
    }
    auto probe = std::make_unique<Peer>();
    probe->payload = "{\"type\":\"action\",\"id\":1,\"action\":\"churn-probe\"}\n";
    probe->expected = 1;
    probe->socket.connectToHost(QHostAddress::LocalHost, port);
    if (!probe->socket.waitForConnected(1000))
        return nullptr;
    probe->socket.write(probe->payload);
    return probe;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte: how many peers, and how many connect and close
    // before them. Each then takes an equal share of the rest: a flags byte
    // (reads, stalls, piece size, repeats, slow) and its bytes.
    const int count = 1 + data[0] % MaxPeers;
    const int churned = data[0] / MaxPeers * 3;
    ++data;
    --size;
    const size_t share = size / size_t(count);
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < count; ++i) {
        auto p = std::make_unique<Peer>();
        const uint8_t* mine = data + size_t(i) * share;
        const uint8_t flags = share > 0 ? mine[0] : 0;
        // A slow peer reads, so that it sees when it is closed.
        p->slow = flags & 0x80;
        p->reads = !(flags & 1) || p->slow;
        p->stalls = flags & 2;
        // Repeats make enough answers for the unsent bound to matter.
        const int repeats = 1 << (((flags >> 5) & 3) * 3);
        const QByteArray bytes(reinterpret_cast<const char*>(mine) + 1,
                               share > 0 ? int(share) - 1 : 0);
        p->payload = bytes.repeated(repeats).left(MaxPayload);
        // 1 to 16384 bytes a write, and not too many writes.
        p->piece = qMax(1 << (((flags >> 2) & 7) * 2), p->payload.size() / 256 + 1);
        if (p->slow) {
            p->piece = qMax(p->piece, p->payload.size() / 16 + 1);
            p->payload += "\n" + RefusedLine.repeated(SlowRefusedLines);
        }
        countLines(*p, p->payload);
        if (!p->reads) {
            p->socket.setReadBufferSize(1);
            p->socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        }
        peers.push_back(std::move(p));
    }

    fuzzkit::setCapture(true);
    const quint16 port = quint16(g_server->getPort());
    std::unique_ptr<Peer> probe;
    g_probes = 0;
    if (churned > 0)
        probe = churn(port, churned, peers.front()->payload.left(4096));
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
        p->keptSince = g_clock.elapsed();
        if (p->socket.state() != QAbstractSocket::ConnectedState || p->slow)
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
        if (probe && probe->socket.state() == QAbstractSocket::ConnectedState) {
            probe->collect();
            if (probe->answers > 0)
                probe->socket.disconnectFromHost();
            done = false;
        }
        for (auto& p : peers) {
            if (!p->reads || p->socket.state() != QAbstractSocket::ConnectedState)
                continue;
            p->collect();
            if (p->slow) {
                p->sendSlowly();
                check(g_clock.elapsed() - p->keptSince <= IdleMs + IdleSlackMs,
                      "refused lines keep a connection open");
            } else if (!p->stalls && p->answers >= p->expected && !p->closes &&
                       p->socket.bytesToWrite() == 0) {
                p->socket.disconnectFromHost();
            }
            done = done && p->socket.state() != QAbstractSocket::ConnectedState;
        }
        for (QTcpSocket* s : serverSockets())
            done = done && s->state() != QAbstractSocket::ConnectedState;
        return done;
    };
    check(fuzzkit::spin(settled, 10000 + IdleMs), "a connection was never ended");
    // Nothing but closed peers came before the probe. (Its answer may be
    // lost when the server closes it, idle, before this loop has read it.)
    if (probe)
        check(g_probes > 0, "a closed peer held a slot");
    for (auto& p : peers) {
        if (p->reads)
            p->collect();
        if (p->slow)
            countLines(*p, p->payload.left(p->sent));
        check(p->answers <= p->expected, "more answers than lines, or answers after a non-message");
        // A reading peer the server let in is answered line for line, when
        // its answers cannot outgrow the unsent bound before it reads. A
        // slow one may be closed while its lines are on their way, and one
        // the server closes may lose the answers it had not yet sent.
        if (p->reads && !p->slow && !p->closes && p->answers > 0 &&
            qint64(p->expected) * MaxAnswerSize <= Server::MaxUnsentBytes)
            check(p->answers == p->expected, "a line went unanswered");
    }
    for (auto& p : peers)
        p->socket.abort();
    check(fuzzkit::spin([]() { return serverSockets().isEmpty(); }, 5000),
          "the server kept a connection");

    // A few lines and a count per interval, whatever all peers together
    // sent.
    for (const QString& line : fuzzkit::takeLog())
        if (line.contains(QLatin1String("[ERROR]")))
            ++g_errors;
    fuzzkit::setCapture(false);
    check(g_errors <=
              (g_clock.elapsed() / Server::RefusalLogIntervalMs + 1) * (Server::LoggedRefusals + 1),
          "refused input floods the log");
    return 0;
}
