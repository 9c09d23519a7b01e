#include <QtTest>

#include "common/config.h"
#include "common/cookiejar.h"
#include "common/log.h"
#include "common/loglimit.h"
#include "libvelcor/logger.h"
#include "logcapture.h"
#include "testenv.h"
#include "testmain.h"
#include "vlog.h"

using orvotest::LogCapture;

namespace {

int g_evaluated = 0;
int sideEffect()
{
    return ++g_evaluated;
}

// Publishes a configuration with the given level for the scope.
class LevelScope
{
public:
    explicit LevelScope(ORVO::Config* cfg, int level)
    {
        cfg->logLevel = level;
        g_cfg = cfg;
    }
    ~LevelScope() { g_cfg = nullptr; }
};

} // namespace

class TestLog : public QObject
{
    Q_OBJECT

    orvotest::TestEnv env;
    ORVO::Config* cfg = nullptr;

private slots:
    void initTestCase()
    {
        // A configuration object that is never loaded: only its level is used.
        QVERIFY(orvotest::writeFile(env.root() + "/b/Resources/etc/vtx.json", "{}"));
        QDir().mkpath(env.root() + "/b/bin");
        cfg = new ORVO::Config(env.root() + "/b/bin");
    }

    void cleanupTestCase()
    {
        g_cfg = nullptr;
        delete cfg;
    }

    void lineShape()
    {
        LogCapture log;
        const int line = __LINE__ + 1;
        LOG_DEBUG << "[Tag] text " << QStringLiteral("say \"hi\"") << 42 << true << QByteArray("b");
        QCOMPARE(log.lines().size(), 1);
        const QString text = log.lines().first();
        const QRegularExpressionMatch m = LogCapture::lineShape().match(text);
        QVERIFY2(m.hasMatch(), qPrintable(text));
        QCOMPARE(m.captured("level"), QStringLiteral("debug"));
        QCOMPARE(m.captured("file"), QStringLiteral("tst_log.cpp"));
        QCOMPARE(m.captured("function"), QStringLiteral("lineShape"));
        QCOMPARE(m.captured("line").toInt(), line);
        // A QString is quoted but not escaped; literals stay bare.
        QCOMPARE(m.captured("message"), QStringLiteral("[Tag] text \"say \"hi\"\"42true\"b\""));
        // Day of month without a leading zero, time with two digits each.
        QVERIFY(
            QRegularExpression(R"( [1-9]\d? \d\d:\d\d:\d\d \d{4} \[0x)").match(text).hasMatch());
    }

    // The date as the system's language writes it (run in Japanese too,
    // where every day and month name lies beyond ASCII).
    void dateInTheSystemLanguage()
    {
        LogCapture log;
        QString before;
        QString after;
        do {
            log.clear();
            before = QDateTime::currentDateTime().toString(Qt::TextDate);
            LOG_ALWAYS;
            after = QDateTime::currentDateTime().toString(Qt::TextDate);
        } while (before != after);
        QCOMPARE(LogCapture::lineShape().match(log.lines().value(0)).captured("date"),
                 libvelcor::escapeLogText(before));
    }

    void controlCharactersEscaped_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tail");
        QTest::newRow("forged line")
            << "LOG" << QString::fromUtf8("a\nMon Dec 7 [0x1] [ERROR] [x] forged\r\x1b\u2028")
            << "] [WebPage] \"a\\nMon Dec 7 [0x1] [ERROR] [x] forged\\r\\x1b\\u2028\"";
        QTest::newRow("backslash") << "LOG"
                                   << "a\\nb\\"
                                   << "] [WebPage] \"a\\\\nb\\\\\"";
        QTest::newRow("library") << "VLOG" << QString::fromUtf8("type\u2028\\")
                                 << "request \"type\\u2028\\\\\"";
        QTest::newRow("Qt warning") << "Qt" << QString::fromUtf8("w\u2029x") << "w\\u2029x";
        // Format characters that make a line read as another; lone surrogates.
        QTest::newRow("bidi and invisible")
            << "LOG"
            << QString::fromUtf8("a\u202eb\u2066\u200b\ufeff\U0001F600\u061cd\u00ad\U000E0041") +
                   QChar(0xdc00) + QChar(0xd800)
            << QString::fromUtf8(
                   "] [WebPage] "
                   "\"a\\u202eb\\u2066\\u200b\\ufeff\U0001F600\\u061cd\\xad\\U000e0041\\udc00"
                   "\\ud800\"");
        QTest::newRow("long text") << "LOG" << QString(5000, 'a')
                                   << QString::fromUtf8("a \u2026 (cut: 904 more characters)\"");
    }

    // Text from outside cannot start a line of its own, or forge an escape:
    // whoever logs it, the file log and the handlers after it get the line
    // escaped once.
    void controlCharactersEscaped()
    {
        QFETCH(QString, source);
        QFETCH(QString, text);
        QFETCH(QString, tail);
        const QString path = env.root() + "/escaped-" + QTest::currentDataTag() + ".txt";
        LogCapture after;
        {
            libvelcor::Logger file;
            file.setPath(path);
            QCOMPARE(file.open(), 0);
            if (source == "LOG")
                LOG_DEBUG << "[WebPage] " << text;
            else if (source == "VLOG")
                VLOG_ERROR << "unknown request " << text;
            else
                qWarning("%s", text.toUtf8().constData());
        }
        const QString written = QString::fromUtf8(orvotest::readFile(path));
        QVERIFY2(written.endsWith(tail + "\n"), qPrintable(written));
        QCOMPARE(after.lines(), QStringList{written.chopped(1)});
    }

    // What reaches the handler of standard error (a capture here) is escaped.
    void standardErrorEscaped()
    {
        LogCapture standardError;
        ORVO::log::escapeStandardError();
        qWarning("%s", "title\x1b]0;x\x07\xc2\x9b\nPassword:");
        QCOMPARE(standardError.lines(), QStringList{"title\\x1b]0;x\\x07\\x9b\\nPassword:"});
    }

    // A source's burst goes through, counted in bytes; the rest is counted
    // and told once it may write again, or when its limit goes; a line the
    // level does not print is not counted. In a scope, plain statements
    // count too; sources that share a limit are held back together.
    void rateLimited()
    {
        LevelScope scope(cfg, 5);
        LogCapture log;
        ORVO::log::limitQtMessages();
        const QString text(600, QChar(0x706b)); // 1,800 bytes in UTF-8
        {
            ORVO::log::RateLimit limit("a test", {1000, 2000});
            limit.setQuietTime(2000);
            for (int i = 0; i < 20; ++i)
                LOG_NOTICE_LIMITED(limit) << text;
            LOG_DEBUG_LIMITED(limit) << "not printed at this level";
            LOG_ERROR_LIMITED(limit) << "error";
            QCOMPARE(log.lines().size(), 1);
            // At once that lines are left out, how many once the flood has
            // ended, at the level of the most important line left out.
            QTRY_COMPARE(log.linesAt("notice").size(), 2);
            QVERIFY(log.lines().last().endsWith(
                "] [Log] Lines of a test are left out from now on: it writes faster than the log "
                "takes"));
            QVERIFY(log.linesAt("ERROR").isEmpty());
            QTRY_COMPARE(log.linesAt("ERROR").size(), 1);
            QVERIFY(log.linesAt("ERROR").first().endsWith(
                "[Log] 20 lines of a test left out: it wrote faster than the log takes"));
            QTest::qWait(600);
            const ORVO::log::LimitScope counted(&limit);
            LOG_NOTICE << "after";
            QVERIFY(log.lines().last().endsWith("] after"));
            for (int i = 0; i < 5; ++i)
                LOG_NOTICE << text;
            {
                const ORVO::log::UnlimitedLines own;
                LOG_NOTICE << "shown to the user";
            }
            QVERIFY(log.lines().last().endsWith("] shown to the user"));
            // Commands of the user's: their lines cut to a few bytes in the
            // file, escapes included, all drawn from the user's share, whose
            // room for the next command's first lines the later lines leave;
            // then the source's again, also in another source that shares
            // it. A stall may let one more through.
            ORVO::log::UserShare share;
            ORVO::log::RateLimit other("another tab", {0, 1});
            limit.setUserShare(&share);
            other.setUserShare(&share);
            QList<int> cut;
            for (const QChar c : {QChar('u'), QChar(0x202e), QChar('w'), QChar('o')}) {
                const ORVO::log::UserCommandLines command(c == QChar('o') ? &other : &limit);
                for (int i = 0; i < 5; ++i)
                    LOG_NOTICE << QString(2000, c);
                cut << log.count(
                    QRegularExpression(QRegularExpression::escape(libvelcor::escapeLogText(c)) +
                                       " \u2026 \\(cut: \\d+ more characters\\)$"));
            }
            QVERIFY2(cut.at(0) >= 2 && cut.at(1) >= 2 && cut.at(2) < 2 && cut.at(3) < 2,
                     qPrintable(QString::number(cut.at(0)) + QString::number(cut.at(1)) +
                                QString::number(cut.at(2)) + QString::number(cut.at(3))));
            // So are Qt's messages, while a page's events are handled.
            QVERIFY(libvelcor::handledLine(QtWarningMsg, {}, "a warning").isNull());
            // What a nested event loop (a modal box) logs is not the scope's.
            QEventLoop loop;
            QTimer::singleShot(0, &loop, [&loop] {
                LOG_NOTICE << "in a nested loop";
                loop.quit();
            });
            loop.exec();
            QVERIFY(log.contains("] in a nested loop"));
        }
        QVERIFY(log.lines().last().contains(" lines of a test left out"));

        // Outside a scope, Qt's messages have a limit of their own; they read
        // as the program's lines, at their own level, and a fatal one is
        // always written.
        int passed = 0;
        for (int i = 0; i < 100; ++i)
            passed +=
                libvelcor::handledLine(QtWarningMsg, {}, QString(16000, 'w')).isNull() ? 0 : 1;
        QCOMPARE(passed, 5);
        const QString fatal = libvelcor::handledLine(
            QtFatalMsg, QMessageLogContext(nullptr, 0, nullptr, "qt.test"), "the end\n");
        QVERIFY2(QRegularExpression(
                     "^\\S.* \\[0x[0-9a-f]+\\] \\[FATAL\\] \\[Qt:qt.test\\] the end\\\\n$")
                     .match(fatal)
                     .hasMatch(),
                 qPrintable(fatal));
        {
            libvelcor::Logger file; // which asks the limit about Qt's messages
            QCOMPARE(file.setPath(env.root() + "/library.txt") | file.open(), 0);
            VLOG_ERROR << "the library's own";
        }
        QVERIFY(orvotest::readFile(env.root() + "/library.txt").endsWith("] the library's own\n"));
        ORVO::log::restoreQtMessageLimit();
        const QStringList warned = log.linesAt("warning");
        QVERIFY(!warned.isEmpty() &&
                warned.last().endsWith("[Log] 95 lines of Qt and the web engine "
                                       "left out: it wrote faster than the log takes"));

        // A flood writes at the rate only while the allowance lasts, then
        // nothing until it ends; a source that does not flood goes on.
        cfg->logLevel = 7;
        ORVO::log::FloodAllowance allowance(2000, 0);
        ORVO::log::RateLimit flooding("a flood", {1000, 20000}), calm("calm", {1000, 20000});
        for (ORVO::log::RateLimit* limit : {&flooding, &calm}) {
            limit->setAllowance(&allowance);
            limit->setQuietTime(300);
        }
        log.clear();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 500)
            LOG_DEBUG_LIMITED(flooding) << QString(100, 'f');
        // About 200 bytes a line: the burst, then the allowance.
        QVERIFY2(log.lines().size() > 10 && log.lines().size() < 20,
                 qPrintable(QString::number(log.lines().size())));
        LOG_DEBUG_LIMITED(calm) << "calm";
        QVERIFY(log.lines().last().endsWith("] calm"));
        QTest::qWait(400);
        LOG_DEBUG_LIMITED(flooding) << "again";
        QVERIFY(log.lines().last().endsWith("] again"));
        QVERIFY(log.contains(" lines of a flood left out: it wrote faster than the log takes ("));
        // At the default verbosity the sources that share an allowance's rate
        // write together no more than one, and are told so.
        cfg->logLevel = 5;
        ORVO::log::FloodAllowance rated(1 << 20, 0, {1000, 2000}, "the tabs");
        ORVO::log::RateLimit one("one", {1000, 20000}), two("two", {1000, 20000});
        one.setAllowance(&rated);
        two.setAllowance(&rated);
        log.clear();
        for (clock.restart(); clock.elapsed() < 500;)
            for (ORVO::log::RateLimit* limit : {&one, &two})
                LOG_NOTICE_LIMITED(*limit) << QString(100, 'f');
        QVERIFY2(log.lines().size() < 20, qPrintable(QString::number(log.lines().size())));
        QTRY_VERIFY(log.contains("] [Log] Lines of two are left out from now on: the tabs together "
                                 "write faster than the log takes"));
        cfg->logLevel = 7;
        // What the default verbosity prints draws on it below the rate too,
        // and so do Qt's messages, written at every verbosity.
        ORVO::log::RateLimit steady("a steady source", {1 << 20, 1 << 20});
        steady.setAllowance(&allowance);
        allowance.restore();
        log.clear();
        int qt = 0;
        for (int i = 0; i < 30; ++i) {
            LOG_NOTICE_LIMITED(steady) << QString(100, 's');
            const ORVO::log::LimitScope counted(&steady);
            qt += libvelcor::handledLine(QtDebugMsg, {}, QString(100, 'd')).isNull() ? 0 : 1;
        }
        QVERIFY2(log.lines().size() + qt < 15, qPrintable(QString::number(log.lines().size())));
        // Held back by the allowance alone, it does not flood.
        LOG_DEBUG_LIMITED(steady) << "below the rate";
        QVERIFY(log.lines().last().endsWith("] below the rate"));
        steady.finish();
        QVERIFY2(log.lines().last().endsWith("it wrote more than the log takes in a day"),
                 qPrintable(log.lines().last()));
    }

    void entryTraceOfConstructorEndsAfterLocation()
    {
        LogCapture log;
        ORVO::CookieJar jar;
        const QStringList traces = log.linesAt(QStringLiteral("trace"));
        QCOMPARE(traces.size(), 1);
        const QRegularExpressionMatch m = LogCapture::lineShape().match(traces.first());
        QCOMPARE(m.captured("file"), QStringLiteral("cookiejar.cpp"));
        QCOMPARE(m.captured("function"), QStringLiteral("CookieJar"));
        QVERIFY(traces.first().endsWith(QStringLiteral("] ")));
        QCOMPARE(m.captured("message"), QString());
    }

    void thresholds_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("printed");
        const QStringList all = {"LOG", "ERROR", "notice", "debug", "trace"};
        QTest::newRow("no configuration") << -100 << all;
        QTest::newRow("-1") << -1 << QStringList{"LOG"};
        QTest::newRow("2") << 2 << QStringList{"LOG"};
        QTest::newRow("3") << 3 << QStringList{"LOG", "ERROR"};
        QTest::newRow("4") << 4 << QStringList{"LOG", "ERROR"};
        QTest::newRow("5") << 5 << QStringList{"LOG", "ERROR", "notice"};
        QTest::newRow("6") << 6 << QStringList{"LOG", "ERROR", "notice", "debug"};
        QTest::newRow("7") << 7 << all;
    }

    void thresholds()
    {
        QFETCH(int, level);
        QFETCH(QStringList, printed);
        std::unique_ptr<LevelScope> scope;
        if (level != -100)
            scope.reset(new LevelScope(cfg, level));
        LogCapture log;
        g_evaluated = 0;
        LOG_ALWAYS << sideEffect();
        LOG_ERROR << sideEffect();
        LOG_NOTICE << sideEffect();
        LOG_DEBUG << sideEffect();
        LOG_TRACE << sideEffect();
        QStringList words;
        for (const QString& line : log.lines())
            words << LogCapture::lineShape().match(line).captured("level");
        QCOMPARE(words, printed);
        // Filtered statements do not evaluate their operands.
        QCOMPARE(g_evaluated, printed.size());
    }

    void composesWithIfElse()
    {
        LevelScope scope(cfg, 7);
        LogCapture log;
        bool elseTaken = false;
        if (g_evaluated < 0)
            LOG_DEBUG << "never";
        else
            elseTaken = true;
        QVERIFY(elseTaken);
        QVERIFY(log.lines().isEmpty());
    }

    void levelChangeTakesEffectAtOnce()
    {
        LevelScope scope(cfg, 7);
        LogCapture log;
        LOG_TRACE;
        cfg->logLevel = 6;
        LOG_TRACE;
        QCOMPARE(log.lines().size(), 1);
    }
};

ORVO_TEST_MAIN(TestLog)
#include "tst_log.moc"
