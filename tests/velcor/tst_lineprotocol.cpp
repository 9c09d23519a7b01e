// The line decoder, the message codec and the address rules shared by the
// service connection, the request server, the log listener and the
// simulator.
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <climits>

#include "address.h"
#include "linedecoder.h"
#include "protocol.h"
#include "testmain.h"

using libvelcor::detail::LineDecoder;
namespace P = libvelcor::protocol;

namespace {

struct Out
{
    QList<QByteArray> lines;
    QList<bool> cuts;
};

// Feeds the input in pieces of the given size.
Out feed(LineDecoder& d, const QByteArray& input, int piece, bool* ok = nullptr)
{
    Out out;
    bool good = true;
    for (int i = 0; i < input.size(); i += piece) {
        const QByteArray part = input.mid(i, piece);
        good = d.feed(part.constData(), part.size(), [&](const char* p, int n, bool cut) {
            out.lines.append(QByteArray(p, n));
            out.cuts.append(cut);
        }) && good;
    }
    if (ok)
        *ok = good;
    return out;
}

// One JSON value as the parser gives it, from its text.
QJsonValue jsonValue(const QByteArray& text)
{
    return QJsonDocument::fromJson("[" + text + "]").array().at(0);
}

} // namespace

class TestLineProtocol : public QObject
{
    Q_OBJECT

private slots:
    // Every way of splitting the input gives the same lines.
    void splitsLines_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::newRow("plain") << QByteArray("ab\ncd\n") << QList<QByteArray>{"ab", "cd"};
        QTest::newRow("CRLF") << QByteArray("ab\r\n\r\n") << QList<QByteArray>{"ab", ""};
        QTest::newRow("lone CR kept") << QByteArray("a\rb\n") << QList<QByteArray>{"a\rb"};
        QTest::newRow("no final newline") << QByteArray("ab\ncd") << QList<QByteArray>{"ab"};
        QTest::newRow("exactly the limit") << QByteArray(16, 'x') + "\n"
                                           << QList<QByteArray>{QByteArray(16, 'x')};
        QTest::newRow("limit with CRLF") << QByteArray(16, 'x') + "\r\n"
                                         << QList<QByteArray>{QByteArray(16, 'x')};
    }

    void splitsLines()
    {
        QFETCH(QByteArray, input);
        QFETCH(QList<QByteArray>, lines);
        for (int piece = 1; piece <= input.size(); ++piece) {
            LineDecoder d(16, LineDecoder::FailStream);
            bool ok = false;
            const Out out = feed(d, input, piece, &ok);
            QVERIFY2(ok, qPrintable(QString::number(piece)));
            QCOMPARE(out.lines, lines);
            QVERIFY(!out.cuts.contains(true));
        }
    }

    void cutsOverlongLines_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::addColumn<QList<bool>>("cuts");
        QTest::newRow("one over") << QByteArray(9, 'x') + "\nok\n"
                                  << QList<QByteArray>{QByteArray(8, 'x'), "ok"}
                                  << QList<bool>{true, false};
        QTest::newRow("far over, rest skipped")
            << QByteArray(100, 'y') + "\nok\n"
            << QList<QByteArray>{QByteArray(8, 'y'), "ok"} << QList<bool>{true, false};
        // "é" is two bytes: the cut moves before it.
        QTest::newRow("character kept whole") << QByteArray("1234567\xc3\xa9zz\n")
                                              << QList<QByteArray>{"1234567"} << QList<bool>{true};
        QTest::newRow("three-byte character") << QByteArray("123456\xe2\x82\xac\n")
                                              << QList<QByteArray>{"123456"} << QList<bool>{true};
        QTest::newRow("character ends at the limit")
            << QByteArray("123456\xc3\xa9x\n") << QList<QByteArray>{"123456\xc3\xa9"}
            << QList<bool>{true};
    }

    void cutsOverlongLines()
    {
        QFETCH(QByteArray, input);
        QFETCH(QList<QByteArray>, lines);
        QFETCH(QList<bool>, cuts);
        for (int piece = 1; piece <= input.size(); ++piece) {
            LineDecoder d(8, LineDecoder::CutLine);
            const Out out = feed(d, input, piece);
            QCOMPARE(out.lines, lines);
            QCOMPARE(out.cuts, cuts);
            QVERIFY(d.pendingSize() <= 9);
        }
    }

    void failsOnOverlongLines()
    {
        LineDecoder d(8, LineDecoder::FailStream);
        bool ok = true;
        Out out = feed(d, "ok\n" + QByteArray(20, 'z'), 4, &ok);
        QVERIFY(!ok);
        QVERIFY(d.hasFailed());
        QCOMPARE(out.lines, QList<QByteArray>{"ok"});
        QCOMPARE(d.pendingSize(), 0);
        // Nothing more until reset.
        out = feed(d, "again\n", 6, &ok);
        QVERIFY(!ok);
        QVERIFY(out.lines.isEmpty());
        d.reset();
        out = feed(d, "again\n", 6, &ok);
        QVERIFY(ok);
        QCOMPARE(out.lines, QList<QByteArray>{"again"});
    }

    void utf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ASCII") << QByteArray("plain text") << true;
        QTest::newRow("two, three, four bytes")
            << QByteArray("\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80") << true;
        QTest::newRow("highest code point") << QByteArray("\xf4\x8f\xbf\xbf") << true;
        QTest::newRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false;
        QTest::newRow("overlong three bytes") << QByteArray("\xe0\x80\xaf") << false;
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
        QTest::newRow("lone continuation") << QByteArray("a\x80") << false;
        QTest::newRow("truncated") << QByteArray("\xe2\x82") << false;
        QTest::newRow("bad continuation") << QByteArray("\xc3\x28") << false;
        QTest::newRow("0xFF") << QByteArray("\xff") << false;
    }

    void utf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(P::isValidUtf8(bytes.constData(), bytes.size()), valid);
    }

    void decodeLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("ok");
        QTest::newRow("message") << QByteArray("{\"type\":\"state\",\"state\":4}") << true;
        QTest::newRow("empty type") << QByteArray("{\"type\":\"\"}") << false;
        QTest::newRow("type not text") << QByteArray("{\"type\":4}") << false;
        QTest::newRow("array") << QByteArray("[{\"type\":\"state\"}]") << false;
        QTest::newRow("trailing garbage") << QByteArray("{\"type\":\"a\"} x") << false;
        QTest::newRow("NUL") << QByteArray("{\"type\":\"a\"}\0", 13) << false;
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("too deep") << QByteArray(5000, '[') << false;
    }

    void decodeLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, ok);
        QJsonObject m;
        QString why;
        QCOMPARE(P::decodeLine(line.constData(), line.size(), m, why), ok);
        QCOMPARE(why.isEmpty(), ok);
    }

    void messageIds_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<qint64>("id");
        QTest::newRow("one") << QByteArray("{\"type\":\"r\",\"id\":1}") << qint64(1);
        QTest::newRow("large") << QByteArray("{\"type\":\"r\",\"id\":4294967296}")
                               << qint64(4294967296LL);
        QTest::newRow("zero") << QByteArray("{\"type\":\"r\",\"id\":0}") << qint64(-1);
        QTest::newRow("fraction") << QByteArray("{\"type\":\"r\",\"id\":1.5}") << qint64(-1);
        QTest::newRow("text") << QByteArray("{\"type\":\"r\",\"id\":\"1\"}") << qint64(-1);
        QTest::newRow("huge") << QByteArray("{\"type\":\"r\",\"id\":1e300}") << qint64(-1);
        QTest::newRow("largest") << QByteArray("{\"type\":\"r\",\"id\":9007199254740991}")
                                 << qint64(9007199254740991LL);
        // Above 2^53 the parser rounds: 2^53+1 arrives as 2^53.
        QTest::newRow("2^53") << QByteArray("{\"type\":\"r\",\"id\":9007199254740992}")
                              << qint64(-1);
        QTest::newRow("2^53+1") << QByteArray("{\"type\":\"r\",\"id\":9007199254740993}")
                                << qint64(-1);
        QTest::newRow("negative") << QByteArray("{\"type\":\"r\",\"id\":-7}") << qint64(-1);
        QTest::newRow("beyond 64 bits") << QByteArray("{\"type\":\"r\",\"id\":1e19}") << qint64(-1);
        QTest::newRow("huge negative")
            << QByteArray("{\"type\":\"r\",\"id\":-1e300}") << qint64(-1);
    }

    void messageIds()
    {
        QFETCH(QByteArray, line);
        QFETCH(qint64, id);
        QJsonObject m;
        QString why;
        QVERIFY(P::decodeLine(line.constData(), line.size(), m, why));
        QCOMPARE(P::messageId(m), id);
    }

    // Every number is checked as a double before it becomes an int.
    void intValues_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("zero") << QByteArray("0") << true << 0;
        QTest::newRow("negative zero") << QByteArray("-0.0") << true << 0;
        QTest::newRow("whole double") << QByteArray("4.0") << true << 4;
        QTest::newRow("int max") << QByteArray("2147483647") << true << INT_MAX;
        QTest::newRow("int min") << QByteArray("-2147483648") << true << INT_MIN;
        QTest::newRow("above int") << QByteArray("2147483648") << false << 0;
        QTest::newRow("below int") << QByteArray("-2147483649") << false << 0;
        QTest::newRow("3e9") << QByteArray("3e9") << false << 0;
        QTest::newRow("1e10") << QByteArray("1e10") << false << 0;
        QTest::newRow("-1e10") << QByteArray("-1e10") << false << 0;
        QTest::newRow("1e300") << QByteArray("1e300") << false << 0;
        QTest::newRow("fraction") << QByteArray("2.5") << false << 0;
        QTest::newRow("tiny fraction") << QByteArray("1e-300") << false << 0;
        QTest::newRow("text") << QByteArray("\"4\"") << false << 0;
        QTest::newRow("bool") << QByteArray("true") << false << 0;
        QTest::newRow("null") << QByteArray("null") << false << 0;
    }

    void intValues()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, ok);
        QFETCH(int, value);
        int out = -12345;
        QCOMPARE(P::intValue(jsonValue(json), out), ok);
        QCOMPARE(out, ok ? value : -12345);
    }

    // Configuration values: whole numbers an int holds become ints, every
    // other number stays the double it was.
    void configNumbers_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("int") << QByteArray("7") << QVariant(7);
        QTest::newRow("negative int") << QByteArray("-2147483648") << QVariant(INT_MIN);
        QTest::newRow("3e9") << QByteArray("3e9") << QVariant(3e9);
        QTest::newRow("below int") << QByteArray("-2147483649") << QVariant(-2147483649.0);
        QTest::newRow("fraction") << QByteArray("0.5") << QVariant(0.5);
        QTest::newRow("1e300") << QByteArray("1e300") << QVariant(1e300);
        QTest::newRow("-1e300") << QByteArray("-1e300") << QVariant(-1e300);
        QTest::newRow("nested") << QByteArray("{\"a\":[1e10,-5]}")
                                << QVariant(QVariantMap{
                                       {"a", QVariantList{QVariant(1e10), QVariant(-5)}}});
    }

    void configNumbers()
    {
        QFETCH(QByteArray, json);
        QFETCH(QVariant, value);
        const QVariant got = P::jsonToVariant(jsonValue(json));
        QCOMPARE(got, value);
        QCOMPARE(got.type(), value.type());
    }

    // A credential from the service's side of the protocol: id and type
    // must be ones the credential knows, whatever number carries them.
    void authMembers_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("ok");
        QTest::newRow("proxy id") << QByteArray("id") << QByteArray("1") << true;
        QTest::newRow("id as double") << QByteArray("id") << QByteArray("1.0") << true;
        QTest::newRow("id 2") << QByteArray("id") << QByteArray("2") << false;
        QTest::newRow("id -1") << QByteArray("id") << QByteArray("-1") << false;
        QTest::newRow("id 1e10") << QByteArray("id") << QByteArray("1e10") << false;
        QTest::newRow("id -1e10") << QByteArray("id") << QByteArray("-1e10") << false;
        QTest::newRow("id fraction") << QByteArray("id") << QByteArray("0.5") << false;
        QTest::newRow("type none") << QByteArray("type") << QByteArray("-1") << true;
        QTest::newRow("type -2") << QByteArray("type") << QByteArray("-2") << false;
        QTest::newRow("type 2") << QByteArray("type") << QByteArray("2") << false;
        QTest::newRow("type 3e9") << QByteArray("type") << QByteArray("3e9") << false;
        QTest::newRow("type text") << QByteArray("type") << QByteArray("\"1\"") << false;
    }

    void authMembers()
    {
        QFETCH(QByteArray, member);
        QFETCH(QByteArray, json);
        QFETCH(bool, ok);
        const libvelcor::Auth before(libvelcor::Auth::ProfileId, libvelcor::Auth::CertificateType,
                                     "u", "alice", "pw", "/c.p12");
        QJsonObject o = P::authToJson(before);
        o.insert(QString::fromLatin1(member), jsonValue(json));
        libvelcor::Auth auth = before;
        QCOMPARE(P::authFromJson(o, auth), ok);
        if (!ok)
            QVERIFY(auth == before);
        else
            QCOMPARE(QJsonValue(P::authToJson(auth).value(QString::fromLatin1(member)).toDouble()),
                     QJsonValue(jsonValue(json).toDouble()));
    }

    void authRoundTrip()
    {
        const libvelcor::Auth a(libvelcor::Auth::ProxyId, libvelcor::Auth::UserPassType,
                                "http://proxy:3128", "bob", "p&ss+w%rd \"x\"", "");
        libvelcor::Auth b;
        QVERIFY(P::authFromJson(P::authToJson(a), b));
        QVERIFY(a == b);
        QVERIFY(!P::maskedAuth(a).contains("p&ss"));
        QJsonObject broken = P::authToJson(a);
        broken.insert("type", 7);
        QVERIFY(!P::authFromJson(broken, b));
        broken = P::authToJson(a);
        broken.remove("pass");
        QVERIFY(!P::authFromJson(broken, b));
    }

    void merge_data()
    {
        QTest::addColumn<QVariantMap>("held");
        QTest::addColumn<QVariantMap>("fragment");
        QTest::addColumn<QVariantMap>("merged");
        const QVariantMap ssl{
            {"ssl", QVariantMap{{"init", QVariantMap{{"verify_ca", true}, {"ca", "a.pem"}}},
                                {"op", QVariantMap{{"auth", "user-pass"}}}}}};
        QTest::newRow("nested key replaced")
            << ssl << QVariantMap{{"ssl", QVariantMap{{"init", QVariantMap{{"verify_ca", false}}}}}}
            << QVariantMap{
                   {"ssl", QVariantMap{{"init", QVariantMap{{"verify_ca", false}, {"ca", "a.pem"}}},
                                       {"op", QVariantMap{{"auth", "user-pass"}}}}}};
        QTest::newRow("empty section changes nothing")
            << ssl << QVariantMap{{"ssl", QVariantMap{{"op", QVariantMap()}}}} << ssl;
        QTest::newRow("map replaces a leaf")
            << QVariantMap{{"vpn", "x"}} << QVariantMap{{"vpn", QVariantMap{{"conf", "a"}}}}
            << QVariantMap{{"vpn", QVariantMap{{"conf", "a"}}}};
        QTest::newRow("leaf replaces a map")
            << QVariantMap{{"vpn", QVariantMap{{"conf", "a"}}}} << QVariantMap{{"vpn", "x"}}
            << QVariantMap{{"vpn", "x"}};
    }

    void merge()
    {
        QFETCH(QVariantMap, held);
        QFETCH(QVariantMap, fragment);
        QFETCH(QVariantMap, merged);
        QCOMPARE(P::mergeMaps(held, fragment), merged);
    }

    void addresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("IPv4 loopback") << "127.0.0.1:4804" << true << "127.0.0.1" << 4804;
        QTest::newRow("other loopback") << "127.1.2.3:1" << true << "127.1.2.3" << 1;
        QTest::newRow("localhost") << "localhost:65535" << true << "127.0.0.1" << 65535;
        QTest::newRow("IPv6 loopback") << "[::1]:4804" << true << "::1" << 4804;
        QTest::newRow("blanks around") << " 127.0.0.1:4804 " << true << "127.0.0.1" << 4804;
        QTest::newRow("network") << "10.0.0.1:4804" << false << "" << 0;
        QTest::newRow("IPv6 any") << "[::]:4804" << false << "" << 0;
        QTest::newRow("bare IPv6") << "::1:4804" << false << "" << 0;
        QTest::newRow("name") << "service.local:4804" << false << "" << 0;
        QTest::newRow("port text") << "127.0.0.1:http" << false << "" << 0;
        QTest::newRow("port sign") << "127.0.0.1:+80" << false << "" << 0;
        QTest::newRow("empty") << "" << false << "" << 0;
    }

    void addresses()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QString, host);
        QFETCH(int, port);
        QHostAddress h;
        quint16 p = 0;
        QString why;
        QCOMPARE(libvelcor::detail::parseLoopbackAddress(text, h, p, why), ok);
        QCOMPARE(why.isEmpty(), ok);
        if (ok) {
            QCOMPARE(h, QHostAddress(host));
            QCOMPARE(int(p), port);
        }
    }
};

ORVO_TEST_MAIN(TestLineProtocol)
#include "tst_lineprotocol.moc"
