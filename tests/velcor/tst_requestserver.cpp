// The local request server: action requests from the service (played by
// the simulator and by raw sockets) over real loopback connections.
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <climits>
#include <memory>

#include "foreignpeer.h"
#include "libvelcor/server.h"
#include "logcapture.h"
#include "servicesimulator.h"
#include "testenv.h"
#include "testmain.h"

using libvelcor::Params;
using libvelcor::Server;

namespace {

// A raw connection to the server; reads its answer lines.
struct Peer
{
    QTcpSocket socket;
    QByteArray received;

    bool open(int port)
    {
        socket.connectToHost(QHostAddress::LocalHost, quint16(port));
        return socket.waitForConnected(3000);
    }
    QList<QJsonObject> answers()
    {
        received += socket.readAll();
        QList<QJsonObject> out;
        for (const QByteArray& line : received.split('\n'))
            if (!line.isEmpty())
                out.append(QJsonDocument::fromJson(line).object());
        return out;
    }
};

} // namespace

class TestRequestServer : public QObject
{
    Q_OBJECT

    std::unique_ptr<Server> server;

    int startServer()
    {
        server = std::make_unique<Server>(nullptr, libvelcor::ModeLocal);
        if (!server->isValid() || server->setInitialPort(0) != 0 || server->start() != 0)
            return -1;
        return server->getPort();
    }

private slots:
    void cleanup() { server.reset(); }

    void modes()
    {
        QVERIFY(Server(nullptr, libvelcor::ModeLocal).isValid());
        Server none(nullptr, libvelcor::ModeNone);
        QVERIFY(!none.isValid());
        QCOMPARE(none.start(), -1);
        QCOMPARE(Server(nullptr, libvelcor::Mode(7)).isValid(), false);
        QCOMPARE(Server(nullptr, libvelcor::Mode(-1)).isValid(), false);
        QCOMPARE(Server(nullptr, libvelcor::Mode(INT_MIN)).isValid(), false);
    }

    void initialPortRange()
    {
        Server s(nullptr, libvelcor::ModeLocal);
        QCOMPARE(s.setInitialPort(-1), -1);
        QCOMPARE(s.setInitialPort(65536), -1);
        QCOMPARE(s.setInitialPort(0), 0);
        QCOMPARE(s.start(), 0);
        QCOMPARE(s.setInitialPort(5000), -1);
        QCOMPARE(s.start(), -1);
    }

    // The first port is taken: the server moves up and says where it is,
    // from the event loop.
    void searchesUpwardWhenTaken_data()
    {
        QTest::addColumn<bool>("defaultPort");
        QTest::newRow("4814") << true;
        QTest::newRow("any taken port") << false;
    }

    void searchesUpwardWhenTaken()
    {
        QFETCH(bool, defaultPort);
        QTcpServer blocker;
        if (!blocker.listen(QHostAddress::LocalHost, defaultPort ? Server::DefaultPort : 0))
            QSKIP("port 4814 is taken by another program");
        const int first = blocker.serverPort();
        Server s(nullptr, libvelcor::ModeLocal);
        QCOMPARE(s.setInitialPort(first), 0);
        QSignalSpy bound(&s, SIGNAL(portBound(int)));
        QCOMPARE(s.start(), 0);
        QCOMPARE(bound.count(), 0);
        QVERIFY(bound.wait(2000));
        const int port = bound.at(0).at(0).toInt();
        QVERIFY(port > first);
        QCOMPARE(port, s.getPort());
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(probe.waitForConnected(2000));
    }

    // Not even a port the system picks (no descriptor left): start fails,
    // and says why.
    void noPortAtAll()
    {
        orvotest::NoFreeDescriptors none;
        QVERIFY(none.isValid());
        QTcpServer cause;
        cause.listen(QHostAddress::LocalHost, 0);
        Server s(nullptr, libvelcor::ModeLocal);
        const int started = s.start();
        none.release();
        QCOMPARE(started, -1);
        QVERIFY(!cause.errorString().isEmpty());
        QCOMPARE(s.errorString(), cause.errorString());
    }

    void actionsFromTheService_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<Params>("params");
        QTest::newRow("open with all keys")
            << "open"
            << Params{{"name", "viewer"},  {"endpoint", "17"},          {"remark", "a+b c"},
                      {"ips", "10.0.0.7"}, {"path", "/usr/bin/viewer"}, {"args", "-x \"y\""}};
        QTest::newRow("close, duplicate names kept in order")
            << "close" << Params{{"name", "a"}, {"name", "b"}};
        QTest::newRow("no params") << "stop" << Params{};
        QTest::newRow("non-ASCII") << QString::fromUtf8("öffnen")
                                   << Params{{QString::fromUtf8("näme"), QString::fromUtf8("€ ✓")}};
    }

    void actionsFromTheService()
    {
        QFETCH(QString, action);
        QFETCH(Params, params);
        const int port = startServer();
        QVERIFY(port > 0);
        QSignalSpy requests(server->getRequestHandler(),
                            SIGNAL(actionRequest(QString, libvelcor::Params)));
        orvosim::ServiceSimulator sim;
        QSignalSpy answered(&sim, SIGNAL(actionAnswered(int)));
        sim.injectAction(action, params, quint16(port));
        QVERIFY(answered.wait(3000));
        QCOMPARE(answered.at(0).at(0).toInt(), 0);
        QCOMPARE(requests.count(), 1);
        QCOMPARE(requests.at(0).at(0).toString(), action);
        QCOMPARE(requests.at(0).at(1).value<Params>(), params);
    }

    // Untrusted lines. A line that is not a protocol message closes the
    // connection unanswered, and what follows it is not read; a message
    // that is not an acceptable request gets an error answer (rc), nothing
    // is emitted, and the connection goes on serving.
    void garbageLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("rc");
        const int closes = -1;
        QTest::newRow("malformed JSON") << QByteArray("{\"type\":\"action\"") << closes;
        QTest::newRow("not an object") << QByteArray("\"action\"") << closes;
        QTest::newRow("no type") << QByteArray("{\"id\":1,\"action\":\"open\"}") << closes;
        QTest::newRow("NUL byte") << QByteArray("{\"type\":\"act\0ion\"}", 18) << closes;
        QTest::newRow("invalid UTF-8")
            << QByteArray("{\"type\":\"action\",\"action\":\"\xff\"}") << closes;
        // What a web page can send to a loopback port.
        QTest::newRow("HTTP POST, an action as its body")
            << QByteArray(
                   "POST / HTTP/1.1\r\nHost: 127.0.0.1:4814\r\nContent-Type: text/plain\r\n"
                   "Content-Length: 41\r\n\r\n{\"type\":\"action\",\"id\":1,\"action\":\"open\"}")
            << closes;
        QTest::newRow("WebSocket handshake")
            << QByteArray("GET / HTTP/1.1\r\nHost: 127.0.0.1:4814\r\nUpgrade: websocket\r\n"
                          "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                          "Sec-WebSocket-Version: 13\r\n\r\n")
            << closes;
        QTest::newRow("unknown type") << QByteArray("{\"type\":\"shutdown\",\"id\":3}") << 3;
        QTest::newRow("no action") << QByteArray("{\"type\":\"action\",\"id\":4}") << 2;
        QTest::newRow("empty action")
            << QByteArray("{\"type\":\"action\",\"id\":5,\"action\":\"\"}") << 2;
        QTest::newRow("params not pairs")
            << QByteArray(
                   "{\"type\":\"action\",\"id\":5,\"action\":\"open\",\"params\":[[\"name\"]]}")
            << 2;
        QTest::newRow("param value not text")
            << QByteArray(
                   "{\"type\":\"action\",\"id\":5,\"action\":\"open\",\"params\":[[\"name\",1]]}")
            << 2;
    }

    void garbageLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, rc);
        const int port = startServer();
        QVERIFY(port > 0);
        QSignalSpy requests(server->getRequestHandler(),
                            SIGNAL(actionRequest(QString, libvelcor::Params)));
        Peer peer;
        QVERIFY(peer.open(port));
        peer.socket.write("{\"type\":\"action\",\"id\":8,\"action\":\"first\"}\n" + line + "\n" +
                          "{\"type\":\"action\",\"id\":9,\"action\":\"open\"}\n");
        if (rc < 0) {
            // The answer to the request before it still goes out.
            QTRY_COMPARE(peer.socket.state(), QAbstractSocket::UnconnectedState);
            QCOMPARE(peer.answers().size(), 1);
            QCOMPARE(peer.answers().at(0).value("id").toInt(), 8);
            QCOMPARE(requests.count(), 1);
            return;
        }
        QTRY_COMPARE(peer.answers().size(), 3);
        const QList<QJsonObject> answers = peer.answers();
        QCOMPARE(answers.at(1).value("rc").toInt(), rc);
        QCOMPARE(answers.at(2).value("rc").toInt(), 0);
        QCOMPARE(answers.at(2).value("id").toInt(), 9);
        QCOMPARE(requests.count(), 2);
        QCOMPARE(requests.at(1).at(0).toString(), QString("open"));
    }

    // The id is what the service matches the answer by: anything but a
    // whole number from 1 to 2^53-1 is refused (rc 2, no id) before the
    // action is looked at, and the action is not passed on.
    void requestIds_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("one") << QByteArray("1") << true;
        QTest::newRow("largest") << QByteArray("9007199254740991") << true;
        QTest::newRow("written as a double") << QByteArray("4.0e0") << true;
        QTest::newRow("negative") << QByteArray("-7") << false;
        QTest::newRow("zero") << QByteArray("0") << false;
        QTest::newRow("2^53") << QByteArray("9007199254740992") << false;
        QTest::newRow("2^53+1") << QByteArray("9007199254740993") << false;
        QTest::newRow("beyond 64 bits") << QByteArray("18446744073709551617") << false;
        QTest::newRow("fraction") << QByteArray("1.5") << false;
        QTest::newRow("huge") << QByteArray("1e300") << false;
        QTest::newRow("huge negative") << QByteArray("-1e300") << false;
        QTest::newRow("text") << QByteArray("\"5\"") << false;
        QTest::newRow("null") << QByteArray("null") << false;
        QTest::newRow("bool") << QByteArray("true") << false;
        QTest::newRow("object") << QByteArray("{\"n\":1}") << false;
        QTest::newRow("missing") << QByteArray() << false;
    }

    void requestIds()
    {
        QFETCH(QByteArray, id);
        QFETCH(bool, accepted);
        const int port = startServer();
        QVERIFY(port > 0);
        QSignalSpy requests(server->getRequestHandler(),
                            SIGNAL(actionRequest(QString, libvelcor::Params)));
        Peer peer;
        QVERIFY(peer.open(port));
        const QByteArray member = id.isNull() ? QByteArray() : ",\"id\":" + id;
        peer.socket.write("{\"type\":\"action\"" + member + ",\"action\":\"first\"}\n" +
                          "{\"type\":\"action\",\"id\":9,\"action\":\"second\"}\n");
        QTRY_COMPARE(peer.answers().size(), 2);
        const QList<QJsonObject> answers = peer.answers();
        QCOMPARE(answers.at(0).value("rc").toInt(), accepted ? 0 : 2);
        if (accepted)
            QCOMPARE(answers.at(0).value("id").toDouble(),
                     QJsonDocument::fromJson("[" + id + "]").array().at(0).toDouble());
        else
            QVERIFY(!answers.at(0).contains("id"));
        QCOMPARE(answers.at(1).value("rc").toInt(), 0);
        QCOMPARE(answers.at(1).value("id").toInt(), 9);
        QStringList emitted;
        for (const QList<QVariant>& r : requests)
            emitted << r.at(0).toString();
        QCOMPARE(emitted, accepted ? QStringList({"first", "second"}) : QStringList({"second"}));
    }

    void splitAndOversizeLines()
    {
        const int port = startServer();
        QVERIFY(port > 0);
        QSignalSpy requests(server->getRequestHandler(),
                            SIGNAL(actionRequest(QString, libvelcor::Params)));
        Peer peer;
        QVERIFY(peer.open(port));
        const QByteArray line =
            "{\"type\":\"action\",\"id\":1,\"action\":\"open\",\"params\":[[\"name\",\"x\"]]}\r\n";
        for (char c : line) {
            peer.socket.write(&c, 1);
            peer.socket.flush();
        }
        QTRY_COMPARE(requests.count(), 1);
        // A line that never ends: the connection is dropped, the server
        // keeps serving others.
        Peer flood;
        QVERIFY(flood.open(port));
        const QByteArray chunk(64 * 1024, 'x');
        for (int i = 0; i < 20 && flood.socket.state() == QAbstractSocket::ConnectedState; ++i) {
            flood.socket.write(chunk);
            flood.socket.waitForBytesWritten(200);
        }
        QTRY_COMPARE(flood.socket.state(), QAbstractSocket::UnconnectedState);
        peer.socket.write(line);
        QTRY_COMPARE(requests.count(), 2);
    }

    void abruptDisconnectMidLine()
    {
        const int port = startServer();
        QVERIFY(port > 0);
        QSignalSpy requests(server->getRequestHandler(),
                            SIGNAL(actionRequest(QString, libvelcor::Params)));
        {
            Peer peer;
            QVERIFY(peer.open(port));
            peer.socket.write("{\"type\":\"action\",\"action\":\"open\"");
            peer.socket.waitForBytesWritten(1000);
            peer.socket.abort();
        }
        QTest::qWait(100);
        QCOMPARE(requests.count(), 0);
        orvosim::ServiceSimulator sim;
        QSignalSpy answered(&sim, SIGNAL(actionAnswered(int)));
        sim.injectAction("open", {}, quint16(port));
        QVERIFY(answered.wait(3000));
        QCOMPARE(requests.count(), 1);
    }

    void connectionLimit()
    {
        const int port = startServer();
        QVERIFY(port > 0);
        std::vector<std::unique_ptr<Peer>> peers;
        for (int i = 0; i < Server::MaxConnections + 1; ++i) {
            peers.push_back(std::make_unique<Peer>());
            QVERIFY(peers.back()->open(port));
        }
        // The one over the limit is turned away.
        QTRY_COMPARE(peers.back()->socket.state(), QAbstractSocket::UnconnectedState);
        peers.front()->socket.write("{\"type\":\"action\",\"id\":2,\"action\":\"open\"}\n");
        QTRY_COMPARE(peers.front()->answers().size(), 1);
        // Peers that have closed hold no slot, even before the server has
        // seen them go.
        for (const auto& p : peers)
            p->socket.abort();
        Peer next;
        QVERIFY(next.open(port));
        next.socket.write("{\"type\":\"action\",\"id\":3,\"action\":\"open\"}\n");
        QTRY_COMPARE(next.answers().size(), 1);
    }

    // Peers that send half a line and then refused lines only are closed
    // after the idle limit, so the service gets in again.
    void silentPeersAreClosed()
    {
        const int port = startServer();
        QVERIFY(port > 0);
        server->setIdleTimeout(300);
        std::vector<std::unique_ptr<Peer>> peers;
        for (int i = 0; i < Server::MaxConnections; ++i) {
            peers.push_back(std::make_unique<Peer>());
            QVERIFY(peers.back()->open(port));
            peers.back()->socket.write("{\"type\":");
        }
        // Each write ends a refused request and begins the next.
        QTimer again;
        connect(&again, &QTimer::timeout, [&]() {
            for (const auto& p : peers)
                if (p->socket.state() == QAbstractSocket::ConnectedState)
                    p->socket.write("\"x\"}\n{\"type\":");
        });
        again.start(100);
        for (const auto& p : peers)
            QTRY_COMPARE(p->socket.state(), QAbstractSocket::UnconnectedState);
        orvosim::ServiceSimulator sim;
        QSignalSpy answered(&sim, SIGNAL(actionAnswered(int)));
        sim.injectAction("open", {}, quint16(port));
        QVERIFY(answered.wait(3000));
    }

    // A peer that never reads its answers is dropped once they pile up;
    // refused requests, of one connection or of many short ones, are each
    // logged or counted, and only a few per interval are logged in full.
    void unreadAnswersAndRefusalsBounded()
    {
        QElapsedTimer clock;
        clock.start();
        const int port = startServer();
        QVERIFY(port > 0);
        orvotest::LogCapture log;
        // Only the unread answers may end the first peer in time.
        server->setIdleTimeout(60000);
        const QByteArray refused = "{\"type\":\"x\"}\n";
        Peer peer;
        peer.socket.setReadBufferSize(1);
        QVERIFY(peer.open(port));
        // It goes on writing, so that it sees the server close.
        QTimer more;
        connect(&more, &QTimer::timeout, [&]() {
            if (peer.socket.state() == QAbstractSocket::ConnectedState &&
                peer.socket.bytesToWrite() < 1024 * 1024)
                peer.socket.write(refused.repeated(64 * 1024));
        });
        more.start(10);
        QTRY_COMPARE_WITH_TIMEOUT(peer.socket.state(), QAbstractSocket::UnconnectedState, 10000);
        more.stop();
        for (int i = 0; i < 50; ++i) {
            Peer brief;
            QVERIFY(brief.open(port));
            brief.socket.write(refused.repeated(4));
            QTRY_COMPARE(brief.answers().size(), 4);
        }
        server.reset();
        const qint64 intervals = clock.elapsed() / Server::RefusalLogIntervalMs + 1;
        const QRegularExpression counted("(\\d+) more refusals not logged");
        qint64 inFull = 0;
        qint64 refusals = 0;
        for (const QString& line : log.lines().filter("] [ERROR] [")) {
            const QRegularExpressionMatch m = counted.match(line);
            refusals += m.hasMatch() ? m.captured(1).toLongLong() : 1;
            inFull += m.hasMatch() ? 0 : 1;
        }
        QVERIFY(inFull <= intervals * Server::LoggedRefusals);
        QVERIFY(refusals >= 50 * 4 + 1);
    }

    // A peer of another account is closed at once: no answer, nothing
    // handed on, one line naming its owner. So is one that has sent and
    // closed before the server looks: its socket, in time-wait, has no owner.
    void foreignPeerRefused()
    {
        if (!ForeignPeer::skipReason().isEmpty())
            QSKIP(qPrintable(ForeignPeer::skipReason()));
        const int port = startServer();
        QSignalSpy requests(server->getRequestHandler(),
                            SIGNAL(actionRequest(QString, libvelcor::Params)));
        orvotest::LogCapture log;
        const QString request = "{\"type\":\"action\",\"id\":1,\"action\":\"open\"}";
        ForeignPeer foreign;
        foreign.connectTo(quint16(port), {request});
        QTRY_VERIFY(log.contains("owned by uid 65534"));
        QTRY_VERIFY(server->findChildren<QTcpSocket*>().isEmpty());
        foreign.waitDone(2000);
        QCOMPARE(foreign.received(), QByteArray());
        // Sends and closes; the server's loop runs once that is in time-wait.
        QProcess::execute("setpriv",
                          {"--reuid=65534", "--regid=65534", "--clear-groups", "bash", "-c",
                           QString("echo '%1' >/dev/tcp/127.0.0.1/%2").arg(request).arg(port)});
        QThread::msleep(500);
        QTRY_VERIFY(log.contains("closed by its owner"));
        QCOMPARE(requests.count(), 0);
        // One line for each peer turned away, and nothing else about them.
        QCOMPARE(log.count(QRegularExpression("refuses a connection")), 2);
        QCOMPARE(log.count(QRegularExpression("Request server")), 2);
    }

    void receiverDeletesServer()
    {
        const int port = startServer();
        QVERIFY(port > 0);
        Server* raw = server.release();
        connect(raw->getRequestHandler(), &libvelcor::RequestHandler::actionRequest, raw,
                [raw]() { delete raw; });
        Peer peer;
        QVERIFY(peer.open(port));
        peer.socket.write("{\"type\":\"action\",\"id\":1,\"action\":\"a\"}\n"
                          "{\"type\":\"action\",\"id\":2,\"action\":\"b\"}\n");
        QTRY_COMPARE(peer.socket.state(), QAbstractSocket::UnconnectedState);
    }
};

ORVO_TEST_MAIN(TestRequestServer)
#include "tst_requestserver.moc"
