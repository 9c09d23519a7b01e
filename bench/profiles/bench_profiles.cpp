// Cost of the profile store.
// - Loading 1,000 profiles must take no more than 3x reading the bytes of
//   the files that loading reads (BM_Load vs BM_ReadSameBytes).
// - Saving a set in which one profile changed must cost about the same for
//   1,000 profiles as for 10 (BM_SaveOneChanged/1000 vs /10): unchanged
//   profiles are skipped without touching their directories.
// The second argument of each run is the log level: 5 (debug lines off) or
// 7 (the default: every debug line is formatted, then dropped here).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "common/common.h"
#include "common/config.h"
#include "profiles/connprofiles.h"

namespace {

QTemporaryDir* g_dir = nullptr;
ORVO::Config* g_benchCfg = nullptr;

void silentHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

void setUp()
{
    if (g_dir)
        return;
    g_dir = new QTemporaryDir;
    QDir().mkpath(g_dir->path() + "/b/bin");
    QDir().mkpath(g_dir->path() + "/b/Resources/etc");
    QFile t(g_dir->path() + "/b/Resources/etc/vtx.json");
    t.open(QIODevice::WriteOnly);
    t.write("{}");
    t.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(g_dir->path() + "/cfg"));
    g_benchCfg = new ORVO::Config(g_dir->path() + "/b/bin");
    g_cfg = g_benchCfg;
    qInstallMessageHandler(silentHandler);
}

void useLogLevel(int level)
{
    g_benchCfg->logLevel = level;
}

// Points the data location at a set of n profiles, creating it once: half
// of them manual OpenVPN profiles with a CA file, half management-server
// profiles.
QString useSet(int n)
{
    setUp();
    const QString data = g_dir->path() + "/set" + QString::number(n);
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    if (QFileInfo::exists(data))
        return ORVO::getAppDataDir() + "/profiles";
    QFile ca(g_dir->path() + "/ca.pem");
    ca.open(QIODevice::WriteOnly);
    ca.write("-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
    ca.close();
    ORVO::ConnProfiles store;
    store.load();
    for (int i = 0; i < n; ++i) {
        ORVO::ConnProfile* p = store.add(QStringLiteral("profile %1").arg(i, 4, 10, QChar('0')));
        p->getAuth().setUser("user");
        p->getAuth().setPass("secret");
        if (i % 2) {
            p->setType(ORVO::ConnProfile::LsType);
            p->getAuth().setUrl("https://ls.example.org");
        } else {
            p->getVpnConfig().setRemote("vpn.example.org");
            p->setCaPath(g_dir->path() + "/ca.pem");
        }
    }
    QString failed;
    if (store.save(failed) != 0)
        qFatal("cannot build the profile set");
    return ORVO::getAppDataDir() + "/profiles";
}

void BM_Load(benchmark::State& state)
{
    useSet(int(state.range(0)));
    useLogLevel(int(state.range(1)));
    ORVO::ConnProfiles store;
    for (auto _ : state) {
        store.load();
        benchmark::DoNotOptimize(store.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// What load cannot avoid: list the directory and read config.json and,
// for a manual OpenVPN profile, openvpn.conf.
void BM_ReadSameBytes(benchmark::State& state)
{
    const QString root = useSet(int(state.range(0)));
    for (auto _ : state) {
        qint64 total = 0;
        const QStringList names = QDir(root).entryList(
            QStringList{"*.profile"}, QDir::Dirs | QDir::CaseSensitive, QDir::Name);
        for (const QString& name : names) {
            for (const char* file : {"/config.json", "/openvpn.conf"}) {
                QFile f(root + "/" + name + file);
                if (f.open(QIODevice::ReadOnly))
                    total += f.readAll().size();
            }
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SaveOneChanged(benchmark::State& state)
{
    useSet(int(state.range(0)));
    useLogLevel(int(state.range(1)));
    ORVO::ConnProfiles store;
    store.load();
    ORVO::ConnProfile* p = store.get("profile 0000");
    int flip = 0;
    for (auto _ : state) {
        p->getAuth().setUser((++flip % 2) ? "other" : "user");
        QString failed;
        if (store.save(failed) != 0)
            state.SkipWithError("save failed");
    }
}

} // namespace

BENCHMARK(BM_ReadSameBytes)->Args({1000, 5})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Args({1000, 5})->Args({1000, 7})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveOneChanged)
    ->Args({10, 5})
    ->Args({1000, 5})
    ->Args({10, 7})
    ->Args({1000, 7})
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(ORVO::org());
    QCoreApplication::setApplicationName(QLatin1String(ORVO::ApplicationId));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete g_dir;
    return 0;
}
