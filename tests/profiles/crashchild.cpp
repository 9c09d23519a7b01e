// Saves the crash-safety profile set in a loop, one new version after the
// other, until it is killed. Reports "start <k>" before and "done <k>" after
// each save on its standard output.

#include <QCoreApplication>

#include <cstdio>

#include "common/common.h"
#include "crashfixture.h"

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 1;
    qInstallMessageHandler(quiet);
    QCoreApplication::setOrganizationName(ORVO::org());
    QCoreApplication::setApplicationName(QLatin1String(ORVO::ApplicationId));
    const QString extDir = QString::fromLocal8Bit(argv[1]);

    ORVO::ConnProfiles store;
    store.load();
    int version = 0;
    for (const QString& id : crashfixture::ids()) {
        if (ORVO::ConnProfile* p = store.get(id))
            version = qMax(version, crashfixture::versionOf(p));
    }
    for (;;) {
        ++version;
        if (!crashfixture::applyVersion(store, extDir, version))
            return 2;
        std::printf("start %d\n", version);
        std::fflush(stdout);
        QString failed;
        if (store.save(failed) != 0)
            return 3;
        std::printf("done %d\n", version);
        std::fflush(stdout);
    }
}
