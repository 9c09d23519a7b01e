// The log listener over real loopback connections.
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

#include "foreignpeer.h"
#include "libvelcor/loglistener.h"
#include "logcapture.h"
#include "servicesimulator.h"
#include "testmain.h"

using libvelcor::LogListener;

namespace {

const char* const CutMarker = " [line cut]";

// The head of a service log line; the message follows.
const QByteArray Head =
    "Mon Dec 7 08:43:01 2026 [0x7f3a] [notice] [vtx-service:tunnel.c:run():42] ";

QByteArray logLine(const QByteArray& message)
{
    return Head + message;
}

} // namespace

class TestLogListener : public QObject
{
    Q_OBJECT

    std::unique_ptr<LogListener> listener;
    std::unique_ptr<QSignalSpy> logSpy;

    int startListener()
    {
        listener = std::make_unique<LogListener>();
        logSpy = std::make_unique<QSignalSpy>(listener.get(), SIGNAL(log(QString)));
        if (listener->start(QHostAddress(QHostAddress::LocalHost), 0) != 0)
            return -1;
        return listener->getPort();
    }

    QStringList received() const
    {
        QStringList out;
        for (const QList<QVariant>& args : *logSpy)
            out.append(args.at(0).toString());
        return out;
    }

private slots:
    void initTestCase()
    {
        // A zone with daylight saving on any machine: the "time in a gap"
        // row's local time does not exist in it.
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    }

    void cleanup()
    {
        logSpy.reset();
        listener.reset();
    }

    void refusesNonLoopback_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("any") << "0.0.0.0";
        QTest::newRow("any IPv6") << "::";
        QTest::newRow("network") << "192.168.0.1";
    }

    void refusesNonLoopback()
    {
        QFETCH(QString, address);
        LogListener l;
        QSignalSpy bound(&l, SIGNAL(portBound(int)));
        QCOMPARE(l.start(QHostAddress(address), 0), -1);
        QVERIFY(!l.isListening());
        QTest::qWait(20);
        QCOMPARE(bound.count(), 0);
    }

    void searchesUpwardWhenTaken_data()
    {
        QTest::addColumn<bool>("defaultPort");
        QTest::newRow("4824") << true;
        QTest::newRow("any taken port") << false;
    }

    void searchesUpwardWhenTaken()
    {
        QFETCH(bool, defaultPort);
        QTcpServer blocker;
        if (!blocker.listen(QHostAddress::LocalHost, defaultPort ? LogListener::DefaultPort : 0))
            QSKIP("port 4824 is taken by another program");
        const quint16 first = blocker.serverPort();
        LogListener l;
        QSignalSpy bound(&l, SIGNAL(portBound(int)));
        QCOMPARE(l.start(QHostAddress(QHostAddress::LocalHost), first), 0);
        QCOMPARE(bound.count(), 0);
        QVERIFY(bound.wait(2000));
        QVERIFY(bound.at(0).at(0).toInt() > first);
        QCOMPARE(bound.at(0).at(0).toInt(), l.getPort());
        QCOMPARE(l.start(QHostAddress(QHostAddress::LocalHost), 0), -1);
    }

    // Bytes as a sender writes them ("%": the head of a log line), and the
    // lines that come out. The first line that is not a log line closes the
    // sender: nothing after it is handed on.
    void lines_data()
    {
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("closed");
        QTest::newRow("one line") << QList<QByteArray>{"%a line\n"} << QStringList{"%a line"}
                                  << false;
        QTest::newRow("CRLF") << QList<QByteArray>{"%one\r\n%two\r\n"}
                              << QStringList{"%one", "%two"} << false;
        QTest::newRow("split across writes") << QList<QByteArray>{"%fir", "st\n%sec", "ond\n"}
                                             << QStringList{"%first", "%second"} << false;
        QTest::newRow("split inside a character")
            << QList<QByteArray>{"%gr\xc3", "\xbc\xc3\x9f", "e\n"}
            << QStringList{QString::fromUtf8("%grüße")} << false;
        QTest::newRow("empty lines skipped")
            << QList<QByteArray>{"\n\n%a\n\r\n"} << QStringList{"%a"} << false;
        QTest::newRow("NUL replaced") << QList<QByteArray>{QByteArray("%a\0b\n", 5)}
                                      << QStringList{QString("%a") + QChar(0xFFFD) + "b"} << false;
        QTest::newRow("invalid UTF-8 replaced")
            << QList<QByteArray>{"%x\xff y\n"} << QStringList{QString("%x") + QChar(0xFFFD) + " y"}
            << false;
        QTest::newRow("last line without newline")
            << QList<QByteArray>{"%a\n%b"} << QStringList{"%a", "%b"} << false;
        QTest::newRow("no message, C date form")
            << QList<QByteArray>{"Mon Dec  7 08:43:01 2026 [1] [ERROR] [a.c:f()]\n"}
            << QStringList{"Mon Dec  7 08:43:01 2026 [1] [ERROR] [a.c:f()]"} << false;
        QTest::newRow("HTTP POST, a log line as its body")
            << QList<QByteArray>{"POST / HTTP/1.1\r\nHost: 127.0.0.1:4824\r\n\r\n%forged\n"}
            << QStringList{} << true;
        QTest::newRow("a line after log lines")
            << QList<QByteArray>{"%a\nthe rest\n%b\n"} << QStringList{"%a"} << true;
        // The date as Qt writes it in the service's language, checked by its
        // shape only: a time in a daylight-saving gap here is one too.
        QTest::newRow("German date")
            << QList<QByteArray>{"Mo. M\xc3\xa4rz 2 08:43:01 2026 [1] [n] [l]\n"}
            << QStringList{QString::fromUtf8("Mo. M\xc3\xa4rz 2 08:43:01 2026 [1] [n] [l]")}
            << false;
        QTest::newRow("French date")
            << QList<QByteArray>{"lun. f\xc3\xa9vr. 2 08:43:01 2026 [1] [n] [l]\n"}
            << QStringList{QString::fromUtf8("lun. f\xc3\xa9vr. 2 08:43:01 2026 [1] [n] [l]")}
            << false;
        // U+2019 in a word; a hyphen and a blank in the month's name.
        QTest::newRow("Catalan date")
            << QList<QByteArray>{"dc. d’abr. 1 08:43:01 2026 [1] [n] [l]\n"}
            << QStringList{QString::fromUtf8("dc. d’abr. 1 08:43:01 2026 [1] [n] [l]")} << false;
        QTest::newRow("Mongolian date")
            << QList<QByteArray>{"Пү 1-р сар 1 08:43:01 2026 [1] [n] [l]\n"}
            << QStringList{QString::fromUtf8("Пү 1-р сар 1 08:43:01 2026 [1] [n] [l]")} << false;
        QTest::newRow("time in a gap")
            << QList<QByteArray>{"Sun Mar 29 02:30:00 2026 [1] [n] [l]\n"}
            << QStringList{"Sun Mar 29 02:30:00 2026 [1] [n] [l]"} << false;
        QTest::newRow("no time") << QList<QByteArray>{"Mon Dec 7 2026 [1] [notice] [l] m\n"}
                                 << QStringList{} << true;
        QTest::newRow("HTTP request, fields in its target")
            << QList<QByteArray>{"GET /08:43:01 2026 [1] [n] [l] HTTP/1.1\r\n"} << QStringList{}
            << true;
        QTest::newRow("a field missing")
            << QList<QByteArray>{"Mon Dec 7 08:43:01 2026 [1] [l] m\n"} << QStringList{} << true;
        QTest::newRow("too long, not a log line")
            << QList<QByteArray>{QByteArray(100000, 'x') + "\n%a\n"} << QStringList{} << true;
    }

    void lines()
    {
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QStringList, expected);
        QFETCH(bool, closed);
        const int port = startListener();
        QVERIFY(port > 0);
        QTcpSocket sender;
        sender.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(sender.waitForConnected(2000));
        for (QByteArray& w : writes) {
            sender.write(w.replace('%', Head));
            sender.waitForBytesWritten(1000);
            QTest::qWait(5);
        }
        if (closed)
            QTRY_COMPARE(sender.state(), QAbstractSocket::UnconnectedState);
        sender.disconnectFromHost();
        QTRY_COMPARE(received(), expected.replaceInStrings("%", Head));
    }

    void overlongLineIsCut_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("chunk");
        QTest::newRow("just fits") << 64 * 1024 << 70000;
        QTest::newRow("one over, one write") << 64 * 1024 + 1 << 70000;
        QTest::newRow("far over, small writes") << 1000 * 1000 << 4096;
    }

    void overlongLineIsCut()
    {
        QFETCH(int, length);
        QFETCH(int, chunk);
        const int port = startListener();
        QVERIFY(port > 0);
        QTcpSocket sender;
        sender.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(sender.waitForConnected(2000));
        const QByteArray line =
            logLine(QByteArray(length - Head.size(), 'x')) + "\n" + logLine("next") + "\n";
        for (int i = 0; i < line.size(); i += chunk) {
            sender.write(line.mid(i, chunk));
            sender.waitForBytesWritten(1000);
        }
        QTRY_COMPARE(logSpy->count(), 2);
        const QString first = received().at(0);
        if (length <= 64 * 1024) {
            QCOMPARE(first.size(), length);
        } else {
            QCOMPARE(first, logLine(QByteArray(64 * 1024 - Head.size(), 'x')) + CutMarker);
        }
        QCOMPARE(received().at(1), QString(logLine("next")));
    }

    // A cut never splits a multi-byte character.
    void cutKeepsCharactersWhole()
    {
        const int port = startListener();
        QVERIFY(port > 0);
        QTcpSocket sender;
        sender.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(sender.waitForConnected(2000));
        const QByteArray head = logLine(QByteArray(64 * 1024 - 1 - Head.size(), 'a'));
        sender.write(head + "\xe2\x82\xac\xe2\x82\xac\n");
        QTRY_COMPARE(logSpy->count(), 1);
        QCOMPARE(received().at(0), head + CutMarker);
    }

    void severalSenders()
    {
        const int port = startListener();
        QVERIFY(port > 0);
        QTcpSocket a;
        QTcpSocket b;
        a.connectToHost(QHostAddress::LocalHost, quint16(port));
        b.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(a.waitForConnected(2000) && b.waitForConnected(2000));
        // Each sender's partial line is its own.
        a.write(logLine("from a, "));
        a.waitForBytesWritten(1000);
        b.write(logLine("from b\n"));
        b.waitForBytesWritten(1000);
        QTRY_COMPARE(received(), QStringList{logLine("from b")});
        a.write("end\n");
        QTRY_COMPARE(received(), (QStringList{logLine("from b"), logLine("from a, end")}));
    }

    // A sender of another account is closed at once and not heard.
    void foreignSenderRefused()
    {
        if (!ForeignPeer::skipReason().isEmpty())
            QSKIP(qPrintable(ForeignPeer::skipReason()));
        orvotest::LogCapture log;
        ForeignPeer foreign;
        foreign.connectTo(quint16(startListener()), {"a forged line"});
        QTRY_VERIFY(log.contains("owned by uid 65534"));
        QTRY_VERIFY(listener->findChildren<QTcpSocket*>().isEmpty());
        QCOMPARE(logSpy->count(), 0);
    }

    // Stopping the listener, here from a receiver, ends every connection:
    // the rest of what was read is not heard.
    void stopEndsConnections()
    {
        const int port = startListener();
        QVERIFY(port > 0);
        connect(listener.get(), &LogListener::log, listener.get(), &LogListener::stop);
        QTcpSocket sender;
        sender.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(sender.waitForConnected(2000));
        sender.write(logLine("one\n") + logLine("two\n") + logLine("three\n"));
        QTRY_COMPARE(logSpy->count(), 1);
        QVERIFY(!listener->isListening());
        QCOMPARE(listener->getPort(), -1);
        QTRY_COMPARE(sender.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(logSpy->count(), 1);
    }

    void receiverDeletesListener()
    {
        const int port = startListener();
        QVERIFY(port > 0);
        logSpy.reset();
        LogListener* raw = listener.release();
        int seen = 0;
        connect(raw, &LogListener::log, raw, [raw, &seen]() {
            ++seen;
            delete raw;
        });
        QTcpSocket sender;
        sender.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(sender.waitForConnected(2000));
        sender.write(logLine("one\n") + logLine("two\n") + logLine("three\n"));
        QTRY_COMPARE(sender.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(seen, 1);
    }

    // The simulator forwards service log lines in the client's format.
    void simulatorForwardsLog()
    {
        const int port = startListener();
        QVERIFY(port > 0);
        orvosim::ServiceSimulator sim;
        sim.sendLog(
            orvosim::ServiceSimulator::formatLogLine("notice", "State changed to connected"),
            quint16(port));
        QTRY_COMPARE(logSpy->count(), 1);
        const QRegularExpression shape(
            R"(^\S+ \S+ +\d+ \d\d:\d\d:\d\d \d{4} \[0x[0-9a-f]+\] \[notice\] \[[^\]\[]+:[^\]\[]+:[^\]\[]+\(\):\d+\] State changed to connected$)");
        QVERIFY2(shape.match(received().at(0)).hasMatch(), qPrintable(received().at(0)));
    }
};

ORVO_TEST_MAIN(TestLogListener)
#include "tst_loglistener.moc"
