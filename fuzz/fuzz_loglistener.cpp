// Fuzzes the log listener's line reader over real loopback connections:
// senders (more than the listener takes) write their bytes in pieces and
// close. Invariants: a lone sender's lines come out exactly as the reader
// splits them (cut and marked when too long, no NUL, the unterminated
// last line too) up to its first line that is not a log line, after which
// nothing comes; every line handed on is a log line; no line is longer
// than the limit allows, the cap holds, and every connection ends.
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzzkit.h"
#include "libvelcor/loglistener.h"
#include "linedecoder.h"
#include "protocol.h"

using fuzzkit::check;
using libvelcor::LogListener;
using libvelcor::detail::LineDecoder;
namespace P = libvelcor::protocol;

namespace {

constexpr int MaxSenders = LogListener::MaxConnections + 2;

LogListener* g_listener = nullptr;
QStringList g_lines;

// The lines the listener hands on for one sender's bytes.
QStringList expectedLines(const QByteArray& bytes)
{
    QStringList out;
    LineDecoder decoder(P::MaxLogLineSize, LineDecoder::CutLine);
    P::LogLineCheck logLine;
    bool closed = false;
    const auto sink = [&](const char* data, int size, bool cut) {
        if (size == 0 || closed)
            return;
        if (!logLine.accepts(data, size)) {
            closed = true;
            return;
        }
        QString line = QString::fromUtf8(data, size);
        line.replace(QChar(0), QChar::ReplacementCharacter);
        if (cut)
            line.append(QLatin1String(P::CutMarker));
        out << line;
    };
    decoder.feed(bytes.constData(), bytes.size(), sink);
    if (decoder.pendingSize() > 0)
        decoder.feed("\n", 1, sink);
    return out;
}

void checkCap()
{
    int open = 0;
    for (QTcpSocket* s : g_listener->findChildren<QTcpSocket*>())
        if (s->state() == QAbstractSocket::ConnectedState)
            ++open;
    check(open <= LogListener::MaxConnections, "more senders connected than the cap");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzkit::init(argc, argv);
    g_listener = new LogListener;
    QObject::connect(g_listener, &LogListener::log, [](const QString& line) { g_lines << line; });
    if (g_listener->start(QHostAddress(QHostAddress::LocalHost), 0) != 0)
        fuzzkit::fail("log listener does not start");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte: how many senders and the size of their writes; each
    // sender takes an equal share of the rest.
    const int count = 1 + data[0] % MaxSenders;
    const int piece = 1 << ((data[0] >> 4) & 15);
    ++data;
    --size;
    const size_t share = size / size_t(count);
    g_lines.clear();
    std::vector<std::unique_ptr<QTcpSocket>> senders;
    QList<QByteArray> payloads;
    for (int i = 0; i < count; ++i) {
        payloads << QByteArray(reinterpret_cast<const char*>(data) + size_t(i) * share, int(share));
        senders.push_back(std::make_unique<QTcpSocket>());
        senders.back()->connectToHost(QHostAddress::LocalHost, quint16(g_listener->getPort()));
    }
    fuzzkit::spin(
        [&]() {
            for (auto& s : senders)
                if (s->state() == QAbstractSocket::ConnectingState ||
                    s->state() == QAbstractSocket::HostLookupState)
                    return false;
            return true;
        },
        5000);
    for (int i = 0; i < count; ++i) {
        QTcpSocket& s = *senders[size_t(i)];
        if (s.state() != QAbstractSocket::ConnectedState)
            continue;
        for (int at = 0; at < payloads[i].size(); at += piece)
            s.write(payloads[i].mid(at, piece));
        s.disconnectFromHost();
    }
    check(fuzzkit::spin(
              [&]() {
                  checkCap();
                  for (auto& s : senders)
                      if (s->state() != QAbstractSocket::UnconnectedState)
                          return false;
                  return g_listener->findChildren<QTcpSocket*>().isEmpty();
              },
              10000),
          "a connection was never ended");

    for (const QString& line : g_lines) {
        // Invalid UTF-8, replaced, is still text of a message or location.
        const QByteArray bytes = line.toUtf8();
        check(P::LogLineCheck().accepts(bytes.constData(), bytes.size()),
              "a line handed on is not a log line");
        check(!line.contains(QChar(0)), "NUL handed on");
        check(line.size() <= P::MaxLogLineSize + int(std::strlen(P::CutMarker)),
              "line longer than the limit");
    }
    if (count == 1)
        check(g_lines == expectedLines(payloads.first()), "lines differ from the sender's");
    return 0;
}
