// lodestar-testserver: runs the management-server test server by hand.

#include "testserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <limits>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lodestar-testserver"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A local stand-in for the Lodestar management server: web API login, logout "
                       "and password change with\n"
                       "session cookies, the logo images, portal pages with command links, and "
                       "downloads, on 127.0.0.1.\n"
                       "Every request is printed on the standard output."));
    parser.addHelpOption();
    const QCommandLineOption httpsOpt(QStringLiteral("https"),
                                      QStringLiteral("Serve HTTPS instead of HTTP."));
    const QCommandLineOption portOpt(QStringLiteral("port"),
                                     QStringLiteral("Port to listen on (0: any free port)."),
                                     QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption certOpt(
        QStringLiteral("certificate"),
        QStringLiteral(
            "Certificate of an HTTPS server: ca (issued by the test CA, the default), self-signed "
            "(never trusted) or wrong-host (issued by the test CA for another host name)."),
        QStringLiteral("mode"), QStringLiteral("ca"));
    const QCommandLineOption userOpt(QStringLiteral("user"),
                                     QStringLiteral("Web API user name (default demo)."),
                                     QStringLiteral("name"), QStringLiteral("demo"));
    const QCommandLineOption passOpt(QStringLiteral("password"),
                                     QStringLiteral("Web API password (default demo)."),
                                     QStringLiteral("password"), QStringLiteral("demo"));
    const QCommandLineOption openOpt(QStringLiteral("open-portal"),
                                     QStringLiteral("Serve the portal pages without a login."));
    const QCommandLineOption stalledOpt(
        QStringLiteral("stalled-frame"),
        QStringLiteral(
            "Portal pages frame a page whose image never comes: their load never ends."));
    parser.addOption(httpsOpt);
    parser.addOption(portOpt);
    parser.addOption(certOpt);
    parser.addOption(userOpt);
    parser.addOption(passOpt);
    parser.addOption(openOpt);
    parser.addOption(stalledOpt);
    parser.process(app);

    QTextStream err(stderr);
    QTextStream out(stdout);

    bool ok = false;
    const uint port = parser.value(portOpt).toUInt(&ok);
    if (!ok || port > 65535) {
        err << "lodestar-testserver: bad port " << parser.value(portOpt) << "\n";
        return 2;
    }
    orvotest::TestServer server;
    const QString mode = parser.value(certOpt);
    if (mode == QLatin1String("self-signed"))
        server.setCertificateMode(orvotest::TestServer::SelfSigned);
    else if (mode == QLatin1String("wrong-host"))
        server.setCertificateMode(orvotest::TestServer::WrongHost);
    else if (mode != QLatin1String("ca")) {
        err << "lodestar-testserver: unknown certificate mode " << mode << "\n";
        return 2;
    }
    server.removeUser(QString::fromLatin1(orvotest::TestServer::DefaultUser));
    server.setUser(parser.value(userOpt), parser.value(passOpt));
    server.setPortalRequiresLogin(!parser.isSet(openOpt));
    if (parser.isSet(stalledOpt)) {
        server.setResponse(QStringLiteral("/stalled-frame"), 200, "<img src=\"/never.png\">");
        server.setDelay(QStringLiteral("/never.png"), std::numeric_limits<int>::max());
        const QVariantMap pages = server.portalPages();
        for (auto it = pages.cbegin(); it != pages.cend(); ++it)
            server.setPortalPage(it.key(), it.value().toString(),
                                 "<h1>" + it.key().toUtf8() +
                                     "</h1><iframe src=\"/stalled-frame\"></iframe>");
    }

    if (!server.listen(parser.isSet(httpsOpt), quint16(port))) {
        err << "lodestar-testserver: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    out << "Listening on " << server.baseUrl() << "\n";
    if (server.isHttps())
        out << "Test CA: " << server.caCertificatePath() << "\n";
    out << "Portal pages: "
        << QJsonDocument(QJsonObject::fromVariantMap(server.portalPages()))
               .toJson(QJsonDocument::Compact)
        << "\n";
    out.flush();

    QObject::connect(&server, &orvotest::TestServer::requestReceived,
                     [&out](const QString& method, const QString& path) {
                         out << method << " " << path << "\n";
                         out.flush();
                     });
    return app.exec();
}
