// The baseline of bench_startup: a bare QCoreApplication that, like the
// client's service connection, connects to VELCOR_SERVICE_ADDR and says
// hello from its event loop once connected, then runs until it is ended.
#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpSocket>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray addr = qgetenv("VELCOR_SERVICE_ADDR");
    const int colon = addr.lastIndexOf(':');
    QTcpSocket socket;
    QObject::connect(&socket, &QTcpSocket::connected, &socket, [&socket]() {
        socket.write("{\"type\":\"hello\",\"protocol\":1,\"client\":\"bare\"}\n");
    });
    socket.connectToHost(QHostAddress(QString::fromLatin1(addr.left(colon))),
                         addr.mid(colon + 1).toUShort());
    return app.exec();
}
