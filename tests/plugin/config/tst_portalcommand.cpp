#include <QUrl>
#include <QtTest>

#include "plugin/config/portalcommand.h"
#include "testmain.h"

using ORVO::PortalCommand;

// The portal's command protocol, from the URL a page navigates to.
class TestPortalCommand : public QObject
{
    Q_OBJECT

private slots:
    void command_data();
    void command();
};

namespace {
const QString Base = QStringLiteral("https://portal.example:8443/manage/portal/");
const QString Ips = QStringLiteral("device_ips%5B%5D=");
} // namespace

void TestPortalCommand::command_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("loginPage");
    QTest::addColumn<bool>("hasRoutes");
    QTest::addColumn<QStringList>("routes");
    // Every action of one command carries the same map.
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QVariantMap>("params");

    const int now = PortalCommand::Immediate;
    const int later = PortalCommand::Delayed;
    const int none = PortalCommand::Navigate;
    const QString s = QStringLiteral("EXECUTE_COMMAND");

    QTest::newRow("execute, worked example")
        << Base +
               "run/EXECUTE_COMMAND?name=viewer&endpoint=17&remark=Front+desk&"
               "command_path=%2FApplications%2FViewer.app&command_args=-fullscreen+-quality+9&" +
               Ips + "10.0.0.5&" + Ips + "10.0.0.6"
        << later << false << true << QStringList{"10.0.0.5", "10.0.0.6"} << QStringList{s}
        << QVariantMap{{"name", "viewer"},
                       {"endpoint", "17"},
                       {"remark", "Front desk"},
                       {"path", "/Applications/Viewer.app"},
                       {"args", "-fullscreen -quality 9"},
                       {"ips", "10.0.0.5 10.0.0.6"}};
    QTest::newRow("execute, encoded plus decoded, first item, missing items empty")
        << Base + "EXECUTE_COMMAND?name=a%2Bb&name=second&command_args=x%20y" << later << false
        << false << QStringList() << QStringList{s}
        << QVariantMap{
               {"name", "a b"}, {"endpoint", ""}, {"remark", ""}, {"path", ""}, {"args", "x y"}};
    QTest::newRow("open url keeps plus; one empty address routes nothing")
        << Base + "OPEN_URL?url=https%3A%2F%2Fdocs.example%2Fa+b%2Bc&" + Ips << later << false
        << true << QStringList() << QStringList{"OPEN_URL"}
        << QVariantMap{{"url", "https://docs.example/a+b+c"}, {"ips", ""}};
    QTest::newRow("open url without url item")
        << Base + "OPEN_URL" << later << false << false << QStringList() << QStringList{"OPEN_URL"}
        << QVariantMap{{"url", ""}};
    QTest::newRow("address with a blank is two routes; address keeps plus")
        << Base + "OPEN_URL?url=x&" + Ips + "10.0.0.1%2010.0.0.2&" + Ips + "h+1" << later << false
        << true << QStringList{"10.0.0.1", "10.0.0.2", "h+1"} << QStringList{"OPEN_URL"}
        << QVariantMap{{"url", "x"}, {"ips", "10.0.0.1 10.0.0.2 h+1"}};
    QTest::newRow("built-in: bundle then app, empty parts dropped, last repeated key wins")
        << Base +
               "OPEN_URL?url=BUILTIN_APP%3Fbundle%3Da%2C%2Cb%26app%3Dc%26host%3D10.0.0.5"
               "%26port%3D22%26port%3D2222&" +
               Ips + "10.0.0.5"
        << later << false << true << QStringList{"10.0.0.5"} << QStringList{"a", "b", "c"}
        << QVariantMap{{"host", "10.0.0.5"}, {"port", "2222"}, {"ips", "10.0.0.5"}};
    QTest::newRow("built-in: app also in bundle runs twice")
        << Base + "OPEN_URL?url=BUILTIN_APP%3Fbundle%3Dssh%26app%3Dssh" << later << false << false
        << QStringList() << QStringList{"ssh", "ssh"} << QVariantMap();
    QTest::newRow("built-in: nothing to run")
        << Base + "OPEN_URL?url=BUILTIN_APP%3Fbundle%3D%26app%3D%26x%3D1" << later << false << false
        << QStringList() << QStringList() << QVariantMap();
    QTest::newRow("action login wins over open url")
        << Base + "AJAX_ACTION_LOGIN?next=OPEN_URL&" + Ips + "10.0.0.3" << now << false << false
        << QStringList() << QStringList{"AJAX_ACTION_LOGIN"} << QVariantMap{{"ips", "10.0.0.3"}};
    QTest::newRow("ping login, word in the fragment")
        << Base + "page#AJAX_PING_LOGIN" << now << false << false << QStringList()
        << QStringList{"AJAX_PING_LOGIN"} << QVariantMap();
    QTest::newRow("open with browser routes nothing")
        << Base + "OPEN_WITH_BROWSER?" + Ips + "10.0.0.8" << now << false << false << QStringList()
        << QStringList{"OPEN_WITH_BROWSER"} << QVariantMap{{"ips", "10.0.0.8"}};
    QTest::newRow("sync routes") << Base + "SYNC_ROUTES?" + Ips + "10.0.0.5&" + Ips + "10.0.0.9"
                                 << now << false << true << QStringList{"10.0.0.5", "10.0.0.9"}
                                 << QStringList() << QVariantMap();
    QTest::newRow("sync routes without addresses")
        << Base + "SYNC_ROUTES" << now << false << true << QStringList() << QStringList()
        << QVariantMap();
    QTest::newRow("download path holding sync routes is sync routes")
        << Base + "client_download/SYNC_ROUTES.zip" << now << false << true << QStringList()
        << QStringList() << QVariantMap();
    QTest::newRow("client download")
        << Base + "client_download/r.pdf?" + Ips + "10.0.0.4" << now << false << false
        << QStringList() << QStringList{"ACTION_DOWNLOAD"}
        << QVariantMap{{"url", QString(Base + "client_download/r.pdf?device_ips%5B%5D=10.0.0.4")},
                       {"ips", "10.0.0.4"}};
    QTest::newRow("gateway configuration")
        << Base + "downloadGatewayConfig" << now << false << false << QStringList()
        << QStringList{"ACTION_DOWNLOAD"}
        << QVariantMap{{"url", QString(Base + "downloadGatewayConfig")}};
    QTest::newRow("csv item with empty value")
        << Base + "export?csv=" << now << false << false << QStringList()
        << QStringList{"ACTION_DOWNLOAD"} << QVariantMap{{"url", QString(Base + "export?csv=")}};
    QTest::newRow("csv as a value is no download")
        << Base + "export?format=csv" << none << false << false << QStringList() << QStringList()
        << QVariantMap();
    QTest::newRow("csv in the path, download word in the query")
        << Base + "csv/list?x=client_download" << none << false << false << QStringList()
        << QStringList() << QVariantMap();
    QTest::newRow("lower-case word") << Base + "open_url?url=x" << none << false << false
                                     << QStringList() << QStringList() << QVariantMap();
    QTest::newRow("word inside a value of an ordinary link")
        << "https://other.example/search?q=AJAX_RELOAD_LOGIN" << now << false << false
        << QStringList() << QStringList{"AJAX_RELOAD_LOGIN"} << QVariantMap();
    QTest::newRow("ordinary page") << Base + "users?page=2" << none << false << false
                                   << QStringList() << QStringList() << QVariantMap();
    QTest::newRow("login page") << "https://portal.example/manage/access/login/?next=%2F" << none
                                << true << false << QStringList() << QStringList() << QVariantMap();
    QTest::newRow("login path without slash")
        << "https://portal.example/manage/access/login" << none << false << false << QStringList()
        << QStringList() << QVariantMap();
    QTest::newRow("login page that holds a command")
        << "https://portal.example/manage/access/login/?next=AJAX_PING_LOGIN" << now << true
        << false << QStringList() << QStringList{"AJAX_PING_LOGIN"} << QVariantMap();
}

void TestPortalCommand::command()
{
    QFETCH(QString, url);
    QFETCH(int, kind);
    QFETCH(bool, loginPage);
    QFETCH(bool, hasRoutes);
    QFETCH(QStringList, routes);
    QFETCH(QStringList, names);
    QFETCH(QVariantMap, params);

    const PortalCommand c = ORVO::portalCommand(QUrl(url));
    QCOMPARE(int(c.kind), kind);
    QCOMPARE(c.loginPage, loginPage);
    QCOMPARE(c.hasRoutes, hasRoutes);
    QCOMPARE(c.routes, routes);
    QStringList gotNames;
    for (const ORVO::PortalAction& a : c.actions) {
        gotNames << a.name;
        QCOMPARE(a.params, params);
    }
    QCOMPARE(gotNames, names);
}

ORVO_TEST_MAIN(TestPortalCommand)
#include "tst_portalcommand.moc"
