#include <QTextCodec>
#include <QtTest>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

#include "common/log.h"
#include "common/utils.h"
#include "libvelcor/logger.h"
#include "testenv.h"
#include "testmain.h"

namespace {
QStringList g_chained;
void recordingHandler(QtMsgType, const QMessageLogContext&, const QString& msg)
{
    g_chained << msg;
}
} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void writesLinesAndChains()
    {
        orvotest::TestEnv env;
        const QString path = env.root() + "/deep/dir/vtx-log.txt";
        QtMessageHandler before = qInstallMessageHandler(recordingHandler);
        // Written as UTF-8 under a locale of another encoding too.
        QTextCodec* const localCodec = QTextCodec::codecForLocale();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-15"));
        {
            libvelcor::Logger logger;
            logger.setPath(path);
            QCOMPARE(logger.open(), 0);
            libvelcor::Logger second;
            second.setPath(path + "2");
            QCOMPARE(second.open(), -1); // one handler per process
            LOG_DEBUG << "[Test] first M\u00e4rz \u706b";
            qWarning("plain warning");
            logger.close();
            LOG_DEBUG << "[Test] after close";
        }
        QTextCodec::setCodecForLocale(localCodec);
        qInstallMessageHandler(before);
        const QList<QByteArray> lines = orvotest::readFile(path).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines.at(0).endsWith(u8"[Test] first M\u00e4rz \u706b"));
        QCOMPARE(lines.at(1), QByteArray("plain warning"));
        QVERIFY(lines.at(2).isEmpty());
        QCOMPARE(g_chained.size(), 3);
        QVERIFY(g_chained.last().endsWith("[Test] after close"));
    }

    // Whatever is logged, the two files stay bounded and every line short;
    // where the older file cannot be made, the file begins again with why.
    void fileStaysBounded()
    {
        orvotest::TestEnv env;
        const QString path = env.root() + "/vtx-log.txt";
        const int limit = 32 * 1024;
        // A log left full by an earlier run is put aside at once, whatever
        // a crash left in the place of the new file (a FIFO would block).
        QVERIFY(orvotest::writeFile(path, QByteArray(limit, '#') + "\n"));
        QCOMPARE(::mkfifo(QFile::encodeName(path + ".new").constData(), 0600), 0);
        libvelcor::Logger logger;
        logger.setSizeLimit(limit);
        logger.setPath(path);
        QtMessageHandler before = qInstallMessageHandler(recordingHandler);
        QCOMPARE(logger.open(), 0);
        QCOMPARE(QFileInfo(logger.olderPath()).size(), limit + 1);
        for (int i = 0; i < 100; ++i)
            qWarning("%s", QByteArray(1000, char('a' + i % 26)).constData());
        qWarning("%s", QByteArray(20000, '\x01').constData()); // cut, never inside an escape
        logger.close();
        // The handler after it (standard error) gets the line as cut.
        QVERIFY(g_chained.last().endsWith(" bytes left out)") &&
                g_chained.last().size() <= libvelcor::Logger::MaxLineBytes);
        const QByteArray older = orvotest::readFile(logger.olderPath());
        const QByteArray newer = orvotest::readFile(path);
        QVERIFY(older.size() + newer.size() <= 2 * (limit + libvelcor::Logger::MaxLineBytes));
        QVERIFY(!older.contains('#'));
        const QList<QByteArray> lines = newer.trimmed().split('\n');
        QVERIFY(QRegularExpression(R"(^(\\x01)+ \((\d+) bytes left out\)$)")
                    .match(QString::fromLatin1(lines.last()))
                    .hasMatch());
        for (const QByteArray& line : lines)
            QVERIFY(line.size() <= libvelcor::Logger::MaxLineBytes);

        QVERIFY(QFile::remove(logger.olderPath()) &&
                QDir().mkpath(logger.olderPath() + "/in-the-way"));
        g_chained.clear();
        QCOMPARE(logger.open(), 0);
        for (int i = 0; i < 40; ++i)
            qWarning("%s", QByteArray(1000, 'z').constData());
        logger.close();
        qInstallMessageHandler(before);
        QCOMPARE(g_chained.size(), 40);
        const QByteArray again = orvotest::readFile(path);
        QVERIFY(again.size() < limit);
        QVERIFY(again.startsWith("The log file " + QFile::encodeName(path) + " was full and"));
        QVERIFY(again.endsWith(QByteArray(1000, 'z') + '\n'));
    }

    // The log names users and servers: for its user only, also when it
    // was made before this rule.
    void logIsPrivate()
    {
        orvotest::TestEnv env;
        const orvotest::UmaskGuard umask(022);
        for (const QString name : {"new.txt", "old.txt"}) {
            const QByteArray path = QFile::encodeName(env.root() + "/" + name);
            if (name == "old.txt")
                QVERIFY(orvotest::writeFile(path, "line\n") && ::chmod(path, 0644) == 0);
            libvelcor::Logger logger;
            logger.setPath(path);
            QCOMPARE(logger.open(), 0);
            struct stat st = {};
            QCOMPARE(::stat(path.constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0600u);
        }
    }

    void openFailsWhenPathIsBlocked()
    {
        orvotest::TestEnv env;
        QVERIFY(orvotest::writeFile(env.root() + "/file", "x"));
        libvelcor::Logger logger;
        logger.setPath(env.root() + "/file/vtx-log.txt");
        QCOMPARE(logger.open(), -1);
        logger.setPath(QString());
        QCOMPARE(logger.open(), -1);
    }

    // setPath refuses what cannot name the file, and keeps the path it had.
    void setPathRefuses_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QString() << "empty";
        QTest::newRow("NUL inside")
            << QStringLiteral("/tmp/a") + QChar(0) + QStringLiteral("b") << "NUL";
    }

    void setPathRefuses()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        libvelcor::Logger logger;
        QCOMPARE(logger.setPath(QStringLiteral("/tmp/kept.txt")), 0);
        QVERIFY(logger.errorString().isEmpty());
        QCOMPARE(logger.setPath(path), -1);
        QCOMPARE(logger.getPath(), QStringLiteral("/tmp/kept.txt"));
        QVERIFY2(logger.errorString().contains(reason), qPrintable(logger.errorString()));
    }

    // The open file's path cannot change under it.
    void setPathWhileOpen()
    {
        orvotest::TestEnv env;
        libvelcor::Logger logger;
        QCOMPARE(logger.setPath(env.root() + "/vtx-log.txt"), 0);
        QCOMPARE(logger.open(), 0);
        QCOMPARE(logger.setPath(env.root() + "/other.txt"), -1);
        QCOMPARE(logger.getPath(), env.root() + "/vtx-log.txt");
        QVERIFY(logger.errorString().contains(env.root() + "/vtx-log.txt"));
        logger.close();
        QCOMPARE(logger.setPath(env.root() + "/other.txt"), 0);
    }

    // open says what failed and where.
    void openFailureReasons_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::addColumn<QString>("logPath");
        QTest::addColumn<QString>("reason");
        QTest::newRow("log file is a directory")
            << "dir:vtx-log.txt"
            << "vtx-log.txt"
            << "cannot open the log file %1/vtx-log.txt: " + ORVO::utils::errnoText(EISDIR);
        QTest::newRow("data folder is a file")
            << "file:box"
            << "box/vtx-log.txt"
            << "cannot create the folder %1/box: %1/box is not a folder";
        QTest::newRow("a file higher up") << "file:box"
                                          << "box/a/b/vtx-log.txt"
                                          << "%1/box is not a folder";
        QTest::newRow("folder not writable")
            << "ro:box"
            << "box/vtx-log.txt"
            << "cannot open the log file %1/box/vtx-log.txt: " + ORVO::utils::errnoText(EACCES);
    }

    void openFailureReasons()
    {
        QFETCH(QString, blocker);
        QFETCH(QString, logPath);
        QFETCH(QString, reason);
        if (blocker.startsWith("ro:") && ::geteuid() == 0)
            QSKIP("root writes anywhere");
        orvotest::TestEnv env;
        const QString target = env.root() + '/' + blocker.section(':', 1);
        if (blocker.startsWith("dir:"))
            QVERIFY(QDir().mkpath(target));
        else if (blocker.startsWith("file:"))
            QVERIFY(orvotest::writeFile(target, "x"));
        else
            QVERIFY(QDir().mkpath(target) &&
                    QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner));
        libvelcor::Logger logger;
        QCOMPARE(logger.setPath(env.root() + '/' + logPath), 0);
        QCOMPARE(logger.open(), -1);
        QVERIFY(!logger.isOpen());
        QVERIFY2(logger.errorString().contains(reason.arg(env.root())),
                 qPrintable(logger.errorString()));
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

ORVO_TEST_MAIN(TestLogger)
#include "tst_logger.moc"
