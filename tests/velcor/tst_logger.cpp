#include <QtTest>

#include "common/log.h"
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
        {
            libvelcor::Logger logger;
            logger.setPath(path);
            QCOMPARE(logger.open(), 0);
            libvelcor::Logger second;
            second.setPath(path + "2");
            QCOMPARE(second.open(), -1); // one handler per process
            LOG_DEBUG << "[Test] first";
            qWarning("plain warning");
            logger.close();
            LOG_DEBUG << "[Test] after close";
        }
        qInstallMessageHandler(before);
        const QList<QByteArray> lines = orvotest::readFile(path).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines.at(0).endsWith("[Test] first"));
        QCOMPARE(lines.at(1), QByteArray("plain warning"));
        QVERIFY(lines.at(2).isEmpty());
        QCOMPARE(g_chained.size(), 3);
        QVERIFY(g_chained.last().endsWith("[Test] after close"));
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
};

ORVO_TEST_MAIN(TestLogger)
#include "tst_logger.moc"
