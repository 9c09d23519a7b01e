// The velcor-simulator program as a person runs it: a real child process
// that the library reaches over loopback.
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>

#include <memory>

#include "libvelcor/authapi.h"
#include "libvelcor/cloudapi.h"
#include "libvelcor/setupapi.h"
#include "libvelcor/statusapi.h"
#include "testmain.h"

class TestSimulatorProgram : public QObject
{
    Q_OBJECT

    static QString program() { return QStringLiteral(VELCOR_SIMULATOR_PATH); }

    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

private slots:
    void help()
    {
        QProcess p;
        p.start(program(), {"--help"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY(text.contains("--listen"));
        QVERIFY(text.contains("--ms-addr"));
        QVERIFY(text.contains("VELCOR_SERVICE_ADDR"));
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("network address") << QStringList{"--listen", "10.1.2.3:4804"};
        QTest::newRow("no port") << QStringList{"--listen", "127.0.0.1"};
        QTest::newRow("bad delay") << QStringList{"--step-delay", "soon"};
        QTest::newRow("pages not an object") << QStringList{"--pages", "[1]"};
    }

    void badArguments()
    {
        QFETCH(QStringList, args);
        QProcess p;
        p.start(program(), args);
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(!p.readAllStandardError().isEmpty());
    }

    // Sign in and out against the running program; it prints what it got,
    // with the password masked.
    void autopilotByHand()
    {
        const quint16 port = freePort();
        QProcess p;
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(program(),
                {"--listen", QStringLiteral("127.0.0.1:%1").arg(port), "--step-delay", "10",
                 "--ms-addr", "127.0.0.9", "--uuid", "0b5a6c6e-8e0a-4f0e-9d7f-4a1f1d0c2b3a"});
        QByteArray out;
        connect(&p, &QProcess::readyReadStandardOutput, this,
                [&]() { out += p.readAllStandardOutput(); });
        QVERIFY(p.waitForStarted(5000));
        QTRY_VERIFY(out.contains("listening"));

        qputenv(libvelcor::Api::ServiceAddrVariable,
                QByteArray("127.0.0.1:") + QByteArray::number(port));
        {
            libvelcor::StatusApi status;
            libvelcor::CloudApi cloud;
            libvelcor::SetupApi setup;
            libvelcor::AuthApi auth;
            QSignalSpy settings(&status, SIGNAL(gotSettings()));
            QSignalSpy state(&status, SIGNAL(apiState(libvelcor::State)));
            QSignalSpy config(&setup, SIGNAL(configReceived(libvelcor::Api::ResultCode, QVariant)));
            QCOMPARE(status.init(), 0);
            QVERIFY(settings.wait(5000));
            status.start(1000);
            auth.authSupply(libvelcor::Auth(libvelcor::Auth::ProfileId,
                                            libvelcor::Auth::UserPassType, "", "demo",
                                            "s3cret-pass", ""));
            cloud.actionRequest("start", {});
            QTRY_VERIFY(!state.isEmpty() &&
                        state.last().at(0).value<libvelcor::State>() == libvelcor::StateConnected);
            setup.configRetrieve();
            QTRY_COMPARE(config.count(), 1);
            const QVariantMap server =
                config.at(0).at(1).value<QVariant>().toMap().value("server").toMap();
            QCOMPARE(server.value("openvpn_internal_ip").toString(), QString("127.0.0.9"));
            QCOMPARE(server.value("uuid").toString(),
                     QString("0b5a6c6e-8e0a-4f0e-9d7f-4a1f1d0c2b3a"));
            QVERIFY(!server.value("available_pages").toMap().isEmpty());
            cloud.actionRequest("stop", {});
            QTRY_COMPARE(state.last().at(0).value<libvelcor::State>(), libvelcor::StateIdle);
        }
        QTRY_VERIFY(out.contains("\"demo\""));
        QVERIFY(!out.contains("s3cret"));
        qunsetenv(libvelcor::Api::ServiceAddrVariable);
        p.terminate();
        QVERIFY(p.waitForFinished(5000));
    }
};

ORVO_TEST_MAIN(TestSimulatorProgram)
#include "tst_simulatorprogram.moc"
