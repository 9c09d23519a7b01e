// The log table: parsing, search, rows and the bound on kept lines.
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include "common/log.h"
#include "gui/log/logtable.h"
#include "libvelcor/logger.h"
#include "logcapture.h"
#include "logrows.h"
#include "testmain.h"

using logtest::line;
using logtest::messages;

class TestLogTable : public QObject
{
    Q_OBJECT

    // Stores lines and shows the rows through the search box's slot.
    static void search(LogTable& table, const QString& text)
    {
        QVERIFY(QMetaObject::invokeMethod(&table, "searchTextChanged", Q_ARG(QString, text)));
    }

private slots:
    // A zone with daylight saving on any machine.
    void initTestCase() { qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3"); }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ORVO::Verbosity>("verbosity");
        QTest::addColumn<QStringList>("fields"); // timestamp, thread, level, location
        QTest::addColumn<QString>("message");    // empty: dropped

        const QString loc = QLatin1String(logtest::Location);
        const QStringList macro{QLatin1String(logtest::Stamp), "0x7f00", "debug", loc};
        const auto at = [&](const QString& level) {
            return QStringList{QLatin1String(logtest::Stamp), "0x7f00", level, loc};
        };
        const ORVO::Verbosity high = ORVO::VerbosityHigh;
        const ORVO::Verbosity normal = ORVO::VerbosityNormal;
        const ORVO::Verbosity low = ORVO::VerbosityLow;

        QTest::newRow("tag") << line("debug", "[Tag] text here") << low << macro
                             << "[Tag] text here";
        QTest::newRow("tag, blanks around the rest")
            << line("debug", "[Tag]    spaced out   ") << low << macro << "[Tag] spaced out";
        QTest::newRow("no tag") << line("debug", "plain text") << low << macro
                                << "[debug] plain text";
        QTest::newRow("nothing after the location")
            << line("debug", "") << low << macro << QString("[debug] " + loc);
        QTest::newRow("text before a bracket is kept")
            << line("notice", "TCP/UDP: Preserving recently used remote address: "
                              "[AF_INET]1.2.3.4:1194")
            << low << at("notice")
            << "[notice] TCP/UDP: Preserving recently used remote address: "
               "[AF_INET]1.2.3.4:1194";
        QTest::newRow("tag without its closing bracket")
            << line("notice", "[unclosed tag") << low << at("notice") << "[notice] [unclosed tag";
        QTest::newRow("tag, then more brackets")
            << line("notice", "[A] x [B] y") << low << at("notice") << "[A] x [B] y";
        QTest::newRow("a closing bracket in the message ends the location")
            << line("notice", "done] ok") << low
            << QStringList{QLatin1String(logtest::Stamp), "0x7f00", "notice", loc + "] done"}
            << "[notice] ok";
        QTest::newRow("newline inside, tag")
            << line("debug", "[Tag] first\nsecond") << low << macro << "[Tag] first\nsecond";
        QTest::newRow("newline inside, no tag")
            << line("debug", "first\nsecond") << low << macro << "[debug] first\nsecond";
        QTest::newRow("non-ASCII")
            << line("notice", QString::fromUtf8("Grüße – 東京 € \"ü\"")) << low << at("notice")
            << QString::fromUtf8("[notice] Grüße – 東京 € \"ü\"");
        QTest::newRow("trace at High")
            << line("trace", "") << high << at("trace") << QString("[trace] " + loc);
        QTest::newRow("trace at Normal") << line("trace", "x") << normal << QStringList() << "";
        QTest::newRow("trace at Low") << line("trace", "x") << low << QStringList() << "";
        QTest::newRow("Trace at Low") << line("Trace", "x") << low << at("Trace") << "[Trace] x";
        QTest::newRow("LOG at Low") << line("LOG", "[Log] on") << low << at("LOG") << "[Log] on";
        QTest::newRow("two fields")
            << "Mon Dec 7 09:59:44 2026 [0x1] [notice] text" << high << QStringList() << "";
        QTest::newRow("no bracket") << "QWidget: plain warning" << high << QStringList() << "";
        QTest::newRow("empty") << "" << high << QStringList() << "";
        QTest::newRow("fields untrimmed, stamp trimmed")
            << "  stamp  [ t ] [debug]   [ l ]   m" << low
            << QStringList{"stamp", " t ", "debug", " l "} << "[debug] m";
        // The first "[" from which three fields follow; the time stamp is
        // what lies since the "[" before it.
        QTest::newRow("leading bracket that is no field")
            << "x [y] Mon [0x1] [notice] [loc] m" << low
            << QStringList{"y] Mon", "0x1", "notice", "loc"} << "[notice] m";
        QTest::newRow("service time stamp")
            << "2026-12-07 09:59:44.123 [svc] [ERROR] [openvpn:1] [VPN] failed" << low
            << QStringList{"2026-12-07 09:59:44.123", "svc", "ERROR", "openvpn:1"}
            << "[VPN] failed";
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(ORVO::Verbosity, verbosity);
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        const LogElem e = LogTable::logParse(text, verbosity);
        QCOMPARE(e.message, message);
        if (message.isEmpty()) {
            QVERIFY(e.timestamp.isEmpty() && e.thread.isEmpty() && e.level.isEmpty() &&
                    e.location.isEmpty());
            return;
        }
        QCOMPARE((QStringList{e.timestamp, e.thread, e.level, e.location}), fields);
    }

    // The parse is linear: a long line without "[" (the service can send
    // 64 KiB) or with many of them takes no noticeable time.
    void parseLongLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("no bracket") << QString(2000000, QLatin1Char('x'));
        QTest::newRow("brackets only") << QString(2000000, QLatin1Char('['));
        QTest::newRow("message without bracket")
            << line("notice", QString(2000000, QLatin1Char('y')));
        QTest::newRow("many fields that do not close") << QString("[a b ").repeated(400000);
    }

    void parseLongLines()
    {
        QFETCH(QString, text);
        QElapsedTimer t;
        t.start();
        LogTable::logParse(text, ORVO::VerbosityHigh);
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
    }

    void shownTime_data()
    {
        QTest::addColumn<QString>("stamp");
        QTest::addColumn<QString>("shown");
        QTest::newRow("text date") << "Mon Dec 7 09:59:44 2026"
                                   << "2026-12-07 09:59:44";
        // Not a local time: one in this zone's daylight-saving gap shows too.
        QTest::newRow("time in a gap") << "Sun Mar 29 02:30:00 2026"
                                       << "2026-03-29 02:30:00";
        QTest::newRow("service format") << "2026-12-07 09:59:44"
                                        << "";
        QTest::newRow("empty") << ""
                               << "";
        // Each month in the system's language (also run in Catalan, whose
        // names may be two words, in Sinhala, whose April holds a joiner,
        // and in Japanese), escaped as the service's lines reach the table,
        // and as earlier versions of the program wrote them (their local
        // bytes read as Latin-1).
        for (int m = 1; m <= 12; ++m) {
            const QDate date(2026, m, 1);
            const QString text = QDateTime(date, QTime(8, 43, 1)).toString(Qt::TextDate);
            const QString shown = date.toString(Qt::ISODate) + " 08:43:01";
            QTest::addRow("month %d, service", m) << libvelcor::escapeLogText(text) << shown;
            QTest::addRow("month %d, program", m)
                << libvelcor::escapeLogText(QString::fromLatin1(text.toLocal8Bit())) << shown;
        }
        // The stamp of a line the program logs now.
        orvotest::LogCapture log;
        QDateTime now;
        do {
            log.clear();
            now = QDateTime::currentDateTime();
            LOG_ALWAYS;
        } while (QDateTime::currentDateTime().toSecsSinceEpoch() != now.toSecsSinceEpoch());
        QTest::newRow("program's own line")
            << orvotest::LogCapture::lineShape().match(log.lines().value(0)).captured("date")
            << QLocale::c().toString(now, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }

    void shownTime()
    {
        QFETCH(QString, stamp);
        QFETCH(QString, shown);
        LogTable table;
        table.appendLine(QtDebugMsg, line("notice", "m", stamp), ORVO::VerbosityLow);
        QCOMPARE(messages(&table), QStringList{"[notice] m"});
        QCOMPARE(table.topLevelItem(0)->text(0), shown);
    }

    // Search words: all of them, each in either column, any letter case.
    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("empty") << ""
                               << QStringList{"[VPN] tunnel up über", "[Api] login ok",
                                              "[Api] logout", "[VPN] tunnel down"};
        QTest::newRow("one word") << "tunnel"
                                  << QStringList{"[VPN] tunnel up über", "[VPN] tunnel down"};
        QTest::newRow("two words, both needed") << "api LOGIN" << QStringList{"[Api] login ok"};
        QTest::newRow("word and date across columns")
            << "2026-12-08 tunnel" << QStringList{"[VPN] tunnel down"};
        QTest::newRow("blanks around") << "  tunnel   up " << QStringList{"[VPN] tunnel up über"};
        QTest::newRow("raw time stamp text is not searched") << "Dec" << QStringList();
        QTest::newRow("time of day")
            << "09:59:44" << QStringList{"[VPN] tunnel up über", "[Api] login ok", "[Api] logout"};
        QTest::newRow("no match") << "absent" << QStringList();
        QTest::newRow("non-ASCII, other case") << "ÜBER" << QStringList{"[VPN] tunnel up über"};
    }

    void search()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, shown);
        LogTable table;
        const QString day2 = "Tue Dec 8 10:00:00 2026";
        table.appendLine(QtDebugMsg, line("notice", "[VPN] tunnel up über"), ORVO::VerbosityLow);
        table.appendLine(QtDebugMsg, line("debug", "[Api] login ok"), ORVO::VerbosityLow);
        table.appendLine(QtDebugMsg, line("debug", "[Api] logout"), ORVO::VerbosityLow);
        table.appendLine(QtDebugMsg, line("notice", "[VPN] tunnel down", day2), ORVO::VerbosityLow);
        search(table, text);
        QCOMPARE(messages(&table), shown);
    }

    // Lines that arrive during a search are kept; the rows follow the
    // search; clearing the rows keeps the lines for the next search.
    void searchKeepsLines()
    {
        LogTable table;
        table.appendLine(QtDebugMsg, line("notice", "[A] one"), ORVO::VerbosityLow);
        search(table, "two");
        QCOMPARE(messages(&table), QStringList());
        table.appendLine(QtDebugMsg, line("notice", "[A] two"), ORVO::VerbosityLow);
        table.appendLine(QtDebugMsg, line("notice", "[A] three"), ORVO::VerbosityLow);
        QCOMPARE(messages(&table), QStringList{"[A] two"});
        table.clearRows();
        QCOMPARE(messages(&table), QStringList());
        QCOMPARE(table.lineCount(), 3);
        search(table, "");
        QCOMPARE(messages(&table), (QStringList{"[A] one", "[A] two", "[A] three"}));
    }

    void tooltipIsText()
    {
        LogTable table;
        table.appendLine(QtDebugMsg, line("notice", "<b>bold</b> & <a href=x>co</a>"),
                         ORVO::VerbosityLow);
        QCOMPARE(messages(&table).size(), 1);
        QCOMPARE(table.topLevelItem(0)->data(1, Qt::ToolTipRole).toString(),
                 QString("<span>[notice] &lt;b&gt;bold&lt;/b&gt; &amp; &lt;a "
                         "href=x&gt;co&lt;/a&gt;</span>"));
    }

    // Rows join the view in a batch on the next turn of the event loop; a
    // hidden table takes them when it is shown.
    void rowsComeInBatches()
    {
        LogTable table;
        table.resize(400, 200);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
        for (int i = 0; i < 500; ++i)
            table.appendLine(QtDebugMsg, line("notice", QString::number(i)), ORVO::VerbosityLow);
        QCOMPARE(table.topLevelItemCount(), 0);
        QCOMPARE(table.lineCount(), 500);
        QTRY_COMPARE(table.topLevelItemCount(), 500);

        table.hide();
        table.appendLine(QtDebugMsg, line("notice", "while hidden"), ORVO::VerbosityLow);
        QTest::qWait(50);
        QCOMPARE(table.topLevelItemCount(), 500);
        table.show();
        QCOMPARE(table.topLevelItemCount(), 501);
    }

    // Without focus the view follows the newest row; with focus it stays.
    void scrollFollowsUnlessFocused_data()
    {
        QTest::addColumn<bool>("focused");
        QTest::newRow("no focus") << false;
        QTest::newRow("focus") << true;
    }

    void scrollFollowsUnlessFocused()
    {
        QFETCH(bool, focused);
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* other = new QLineEdit(&window);
        auto* table = new LogTable(&window);
        table->setColumnCount(2);
        layout->addWidget(other);
        layout->addWidget(table);
        window.resize(400, 240);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        for (int i = 0; i < 200; ++i)
            table->appendLine(QtDebugMsg, line("notice", QString::number(i)), ORVO::VerbosityLow);
        table->flushRows();
        table->scrollToTop();
        QWidget* focus = focused ? static_cast<QWidget*>(table) : other;
        focus->setFocus();
        QTRY_VERIFY(focus->hasFocus());
        for (int i = 0; i < 200; ++i)
            table->appendLine(QtDebugMsg, line("notice", "more"), ORVO::VerbosityLow);
        QTRY_COMPARE(table->topLevelItemCount(), 400);
        QScrollBar* bar = table->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), focused ? 0 : bar->maximum());
    }

    // The newest lines are kept, in stored lines and in rows alike, and the
    // first drop is noted once.
    void bound()
    {
        orvotest::LogCapture log;
        LogTable table;
        table.setCapacity(3);
        for (int i = 1; i <= 2; ++i)
            table.appendLine(QtDebugMsg, line("notice", QString::number(i)), ORVO::VerbosityLow);
        QCOMPARE(messages(&table), (QStringList{"[notice] 1", "[notice] 2"}));
        for (int i = 3; i <= 9; ++i)
            table.appendLine(QtDebugMsg, line("notice", QString::number(i)), ORVO::VerbosityLow);
        QCOMPARE(table.lineCount(), 3);
        QCOMPARE(messages(&table), (QStringList{"[notice] 7", "[notice] 8", "[notice] 9"}));
        QCOMPARE(log.count(QRegularExpression("\\[LOG\\].*\\[Log\\] The log view keeps the "
                                              "newest 3 lines")),
                 1);

        // Search and clear stay within the bound.
        search(table, "8");
        QCOMPARE(messages(&table), QStringList{"[notice] 8"});
        table.clearRows();
        table.appendLine(QtDebugMsg, line("notice", "18"), ORVO::VerbosityLow);
        search(table, "");
        QCOMPARE(messages(&table), (QStringList{"[notice] 8", "[notice] 9", "[notice] 18"}));
    }

    // Long lines are kept cut, with a mark, and within the byte bound.
    void byteBound()
    {
        LogTable table;
        for (int i = 0; i < 10000; ++i)
            table.appendLine(QtDebugMsg, line("notice", QString(5000, 'y')), ORVO::VerbosityLow);
        QVERIFY(table.lineCount() < 10000);
        QVERIFY(table.byteCount() <= LogTable::ByteCapacity);
        QCOMPARE(messages(&table).last(),
                 QString("[notice] " + QString(4087, 'y') +
                         QString::fromUtf8(" … (cut: 913 more characters)")));
    }

    void defaultBound()
    {
        LogTable table;
        QCOMPARE(table.capacity(), 100000);
        for (int i = 0; i < 100005; ++i)
            table.appendLine(QtDebugMsg, line("debug", QString::number(i)), ORVO::VerbosityLow);
        QCOMPARE(table.lineCount(), 100000);
        const QStringList rows = messages(&table);
        QCOMPARE(rows.size(), 100000);
        QCOMPARE(rows.first(), QString("[debug] 5"));
        QCOMPARE(rows.last(), QString("[debug] 100004"));
    }
};

ORVO_TEST_GUI_MAIN(TestLogTable)
#include "tst_logtable.moc"
