// Serves one generated file of the size given (bytes, default 1 GiB) at
// "/big" on 127.0.0.1, prints the base URL, and ends when its standard
// input closes.

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "testserver.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 size = argc > 1 ? std::atoll(argv[1]) : (qint64(1) << 30);

    orvotest::TestServer server;
    server.setGeneratedFile(QStringLiteral("/big"), size, QStringLiteral("big.bin"));
    if (!server.listen())
        return 1;
    std::printf("%s\n", qPrintable(server.baseUrl()));
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&]() {
        char buf[256];
        if (::read(STDIN_FILENO, buf, sizeof buf) <= 0)
            app.quit();
    });
    return app.exec();
}
