#include <QUrl>
#include <QtTest>

#include "plugin/config/portalcommand.h"
#include "testmain.h"

using ORVO::PortalCommand;

namespace {
const QString Base = QStringLiteral("https://portal.example:8443/manage/portal/");
const QString Ips = QStringLiteral("device_ips%5B%5D=");
const int Now = PortalCommand::Immediate;
const int Later = PortalCommand::Delayed;
const int None = PortalCommand::Navigate;

// Every action of one command carries the same map; routes: a null variant
// when the command has none, else the list it carries (maybe empty).
void row(const char* name, const QString& url, int kind, const QStringList& names = {},
         const QVariantMap& params = {}, const QVariant& routes = {}, bool loginPage = false)
{
    QTest::newRow(name) << url << kind << routes << names << params << loginPage;
}
} // namespace

// The portal's command protocol, from the URL a page navigates to.
class TestPortalCommand : public QObject
{
    Q_OBJECT

private slots:
    void command_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QVariant>("routes");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QVariantMap>("params");
        QTest::addColumn<bool>("loginPage");
        const QString run = QStringLiteral("EXECUTE_COMMAND");
        const QString open = QStringLiteral("OPEN_URL");
        const QString download = QStringLiteral("ACTION_DOWNLOAD");

        row("execute, worked example",
            Base +
                "run/EXECUTE_COMMAND?name=viewer&endpoint=17&remark=Front+desk&"
                "command_path=%2FApplications%2FViewer.app&command_args=-fullscreen+-quality+9&" +
                Ips + "10.0.0.5&" + Ips + "10.0.0.6",
            Later, {run},
            {{"name", "viewer"},
             {"endpoint", "17"},
             {"remark", "Front desk"},
             {"path", "/Applications/Viewer.app"},
             {"args", "-fullscreen -quality 9"},
             {"ips", "10.0.0.5 10.0.0.6"}},
            QStringList{"10.0.0.5", "10.0.0.6"});
        row("execute, encoded plus decoded, first item, missing items empty",
            Base + "EXECUTE_COMMAND?name=a%2Bb&name=second&command_args=x%20y", Later, {run},
            {{"name", "a b"}, {"endpoint", ""}, {"remark", ""}, {"path", ""}, {"args", "x y"}});
        row("open url keeps plus; one empty address routes nothing",
            Base + "OPEN_URL?url=https%3A%2F%2Fdocs.example%2Fa+b%2Bc&" + Ips, Later, {open},
            {{"url", "https://docs.example/a+b+c"}, {"ips", ""}}, QStringList());
        row("address with a blank is two routes; address keeps plus",
            Base + "OPEN_URL?url=x&" + Ips + "10.0.0.1%2010.0.0.2&" + Ips + "h+1", Later, {open},
            {{"url", "x"}, {"ips", "10.0.0.1 10.0.0.2 h+1"}},
            QStringList{"10.0.0.1", "10.0.0.2", "h+1"});
        row("built-in: bundle then app, empty parts dropped, last repeated key wins",
            Base +
                "OPEN_URL?url=BUILTIN_APP%3Fbundle%3Da%2C%2Cb%26app%3Dc%26host%3D10.0.0.5"
                "%26port%3D22%26port%3D2222&" +
                Ips + "10.0.0.5",
            Later, {"a", "b", "c"}, {{"host", "10.0.0.5"}, {"port", "2222"}, {"ips", "10.0.0.5"}},
            QStringList{"10.0.0.5"});
        row("built-in: app also in bundle runs twice",
            Base + "OPEN_URL?url=BUILTIN_APP%3Fbundle%3Dssh%26app%3Dssh", Later, {"ssh", "ssh"});
        row("built-in: nothing to run",
            Base + "OPEN_URL?url=BUILTIN_APP%3Fbundle%3D%26app%3D%26x%3D1", Later);
        row("action login wins over open url",
            Base + "AJAX_ACTION_LOGIN?next=OPEN_URL&" + Ips + "10.0.0.3", Now,
            {"AJAX_ACTION_LOGIN"}, {{"ips", "10.0.0.3"}});
        row("open with browser routes nothing", Base + "OPEN_WITH_BROWSER?" + Ips + "10.0.0.8", Now,
            {"OPEN_WITH_BROWSER"}, {{"ips", "10.0.0.8"}});
        row("sync routes", Base + "SYNC_ROUTES?" + Ips + "10.0.0.5&" + Ips + "10.0.0.9", Now, {},
            {}, QStringList{"10.0.0.5", "10.0.0.9"});
        row("download path holding sync routes is sync routes",
            Base + "client_download/SYNC_ROUTES.zip", Now, {}, {}, QStringList());
        row("client download", Base + "client_download/r.pdf?" + Ips + "10.0.0.4", Now, {download},
            {{"url", QString(Base + "client_download/r.pdf?device_ips%5B%5D=10.0.0.4")},
             {"ips", "10.0.0.4"}});
        row("gateway configuration", Base + "downloadGatewayConfig", Now, {download},
            {{"url", QString(Base + "downloadGatewayConfig")}});
        row("csv item with empty value", Base + "export?csv=", Now, {download},
            {{"url", QString(Base + "export?csv=")}});
        row("csv as a value is no download", Base + "export?format=csv", None);
        row("csv in the path, download word in the query", Base + "csv/list?x=client_download",
            None);
        row("lower-case word", Base + "open_url?url=x", None);
        row("word inside a value of an ordinary link",
            "https://other.example/search?q=AJAX_RELOAD_LOGIN", Now, {"AJAX_RELOAD_LOGIN"});
        row("ordinary page", Base + "users?page=2", None);
        row("login page", "https://portal.example/manage/access/login/?next=%2F", None, {}, {}, {},
            true);
        row("login path without slash", "https://portal.example/manage/access/login", None);
        row("login page that holds a command",
            "https://portal.example/manage/access/login/?next=AJAX_PING_LOGIN", Now,
            {"AJAX_PING_LOGIN"}, {}, {}, true);
    }

    void command()
    {
        QFETCH(QString, url);
        QFETCH(int, kind);
        QFETCH(QVariant, routes);
        QFETCH(QStringList, names);
        QFETCH(QVariantMap, params);
        QFETCH(bool, loginPage);

        const PortalCommand c = ORVO::portalCommand(QUrl(url));
        QCOMPARE(int(c.kind), kind);
        QCOMPARE(c.loginPage, loginPage);
        QCOMPARE(c.hasRoutes, routes.isValid());
        QCOMPARE(c.routes, routes.toStringList());
        QStringList gotNames;
        for (const ORVO::PortalAction& a : c.actions) {
            gotNames << a.name;
            QCOMPARE(a.params, params);
        }
        QCOMPARE(gotNames, names);
    }
};

ORVO_TEST_MAIN(TestPortalCommand)
#include "tst_portalcommand.moc"
