// The baseline of bench_startup: a bare QCoreApplication that starts,
// writes the same main-loop line as the client right before its event
// loop, runs that loop once and quits.
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    std::fputs("[Main] Starting main loop\n", stderr);
    return app.exec();
}
