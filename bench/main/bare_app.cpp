// The baseline of bench_startup: a bare QCoreApplication that starts, runs
// its event loop once and quits.
#include <QCoreApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
