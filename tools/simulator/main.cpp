// velcor-simulator: plays the local VPN service for the client, so the
// client can be tried without a VPN service. See README.md.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "libvelcor/api.h"
#include "servicesimulator.h"

#include "address.h"

namespace {

// As the library reads a service address, except that port 0 asks for any
// free port, which the "listening on" line then names.
bool parseListenAddress(const QString& text, QHostAddress& host, quint16& port, QString& why)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon > 0 && text.mid(colon + 1).trimmed() == QLatin1String("0")) {
        if (!libvelcor::detail::parseLoopbackAddress(text.left(colon) + QStringLiteral(":1"), host,
                                                     port, why))
            return false;
        port = 0;
        return true;
    }
    return libvelcor::detail::parseLoopbackAddress(text, host, port, why);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velcor-simulator"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays the local VPN service on 127.0.0.1 for the client (libvelcor's line protocol,\n"
        "docs/service-protocol.md). \"start\" runs connecting, a few progress steps and\n"
        "connected; \"stop\" returns to idle; a configuration retrieval answers a server\n"
        "record pointing at the management server given below. The client finds the\n"
        "simulator through VELCOR_SERVICE_ADDR (default 127.0.0.1:4804)."));
    parser.addHelpOption();
    const QCommandLineOption listenOpt(
        QStringLiteral("listen"),
        QStringLiteral("Address to listen on (loopback only; port 0: any free port; default: "
                       "VELCOR_SERVICE_ADDR, else 127.0.0.1:%1).")
            .arg(libvelcor::Api::DefaultServicePort),
        QStringLiteral("address:port"));
    const QCommandLineOption msOpt(
        QStringLiteral("ms-addr"),
        QStringLiteral("Management server address in the server record (default 127.0.0.1)."),
        QStringLiteral("host"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption fallbackOpt(QStringLiteral("ms-fallback"),
                                         QStringLiteral("Fallback address in the server record."),
                                         QStringLiteral("host"));
    const QCommandLineOption uuidOpt(QStringLiteral("uuid"),
                                     QStringLiteral("Management server id in the server record."),
                                     QStringLiteral("uuid"));
    const QCommandLineOption pagesOpt(QStringLiteral("pages"),
                                      QStringLiteral("Portal pages as a JSON object of key to path "
                                                     "(default: those of lodestar-testserver)."),
                                      QStringLiteral("json"));
    const QCommandLineOption delayOpt(
        QStringLiteral("step-delay"),
        QStringLiteral("Milliseconds between the steps of a connection (default 700)."),
        QStringLiteral("ms"), QStringLiteral("700"));
    const QCommandLineOption quietOpt(QStringLiteral("quiet"),
                                      QStringLiteral("Do not print what the client sends."));
    parser.addOptions({listenOpt, msOpt, fallbackOpt, uuidOpt, pagesOpt, delayOpt, quietOpt});
    parser.process(app);

    QString addrText =
        parser.isSet(listenOpt) ? parser.value(listenOpt) : libvelcor::detail::serviceAddressText();
    QHostAddress host;
    quint16 port = 0;
    QString why;
    if (!parseListenAddress(addrText, host, port, why)) {
        err << "velcor-simulator: " << why << "\n";
        return 2;
    }
    bool ok = false;
    const int stepDelay = parser.value(delayOpt).toInt(&ok);
    if (!ok || stepDelay < 0) {
        err << "velcor-simulator: bad --step-delay " << parser.value(delayOpt) << "\n";
        return 2;
    }
    QVariantMap pages;
    if (parser.isSet(pagesOpt)) {
        const QJsonDocument doc = QJsonDocument::fromJson(parser.value(pagesOpt).toUtf8());
        if (!doc.isObject()) {
            err << "velcor-simulator: --pages needs a JSON object\n";
            return 2;
        }
        pages = doc.object().toVariantMap();
    }

    orvosim::ServiceSimulator sim;
    sim.setManagementServer(parser.value(msOpt), parser.value(fallbackOpt), parser.value(uuidOpt),
                            pages);
    sim.setAutopilot(true);
    sim.setStepDelay(stepDelay);
    if (host != QHostAddress(QHostAddress::LocalHost)) {
        err << "velcor-simulator: listens on 127.0.0.1 only\n";
        return 2;
    }
    if (!sim.listen(port)) {
        err << "velcor-simulator: cannot listen on " << addrText << "\n";
        return 1;
    }
    out << "velcor-simulator listening on " << sim.address() << "\n";
    out << "Server record: "
        << QJsonDocument(QJsonObject::fromVariantMap(sim.serverRecord()))
               .toJson(QJsonDocument::Compact)
        << "\n";
    out.flush();

    if (!parser.isSet(quietOpt)) {
        QObject::connect(
            &sim, &orvosim::ServiceSimulator::received, &sim, [&sim, &out](const QString& kind) {
                const orvosim::ServiceSimulator::Entry e = sim.log().constLast();
                QVariant shown = e.value;
                if (kind == QLatin1String("auth")) {
                    QVariantMap a = shown.toMap();
                    a.insert(QStringLiteral("pass"),
                             a.value(QStringLiteral("pass")).toString().isEmpty()
                                 ? QStringLiteral("")
                                 : QStringLiteral("***"));
                    shown = a;
                }
                const QJsonDocument doc = QJsonDocument::fromVariant(QVariantList{shown});
                QByteArray text = doc.toJson(QJsonDocument::Compact);
                out << kind << " " << text.mid(1, text.size() - 2) << "\n";
                out.flush();
            });
    }
    return app.exec();
}
