// Downloads a 1 GiB file from a loopback test server (a separate process)
// with NetworkManager and with curl, in the same run. Reports each one's
// throughput and the client's peak resident-memory growth per download.
// NetworkManager commits each download with a sync to disk (QSaveFile), so
// curl is measured twice: plain, and followed by the same sync and rename,
// which is the fair comparison.
//
// Targets: growth under 64 MiB; NetworkManager at least half of the rate of
// curl followed by the sync.
// ORVO_BENCH_SIZE (bytes) overrides the file size for a quick run.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "mgr/networkmanager.h"

namespace {

qint64 g_size = qint64(1) << 30;
QString g_url;
QTemporaryDir* g_dir = nullptr;
double g_clientRate = 0; // bytes per second
double g_curlRate = 0;
double g_curlSyncRate = 0;
qint64 g_peakGrowthKb = -1;

// A field of /proc/self/status in KiB.
qint64 statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Starts the peak (VmHWM) afresh from the current resident size.
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(msg));
}

void BM_NetworkManagerDownload(benchmark::State& state)
{
    ORVO::NetworkManager nm(nullptr);
    const QString target = g_dir->filePath(QStringLiteral("client.bin"));
    qint64 growthKb = 0;
    for (auto _ : state) {
        QFile::remove(target);
        QEventLoop loop;
        QString error;
        QObject::connect(&nm, QOverload<const QString&>::of(&ORVO::NetworkManager::finished), &loop,
                         &QEventLoop::quit);
        QObject::connect(&nm, &ORVO::NetworkManager::sigError, &loop,
                         [&](ORVO::NetworkManager::Error err, const QString& msg) {
                             error =
                                 ORVO::NetworkManager::errorString(err) + QStringLiteral(" ") + msg;
                             loop.quit();
                         });
        const qint64 baseKb = statusKb("VmRSS:");
        resetPeak();
        QElapsedTimer timer;
        timer.start();
        nm.startDownload(g_url, target, false);
        loop.exec();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        growthKb = std::max(growthKb, statusKb("VmHWM:") - baseKb);
        QObject::disconnect(&nm, nullptr, &loop, nullptr);
        if (!error.isEmpty() || QFileInfo(target).size() != g_size) {
            state.SkipWithError(error.isEmpty() ? "wrong file size" : qPrintable(error));
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * g_size);
    state.counters["peak_rss_growth_MiB"] = double(growthKb) / 1024.0;
    g_peakGrowthKb = growthKb;
}

void BM_CurlDownload(benchmark::State& state)
{
    const QString target = g_dir->filePath(QStringLiteral("curl.bin"));
    for (auto _ : state) {
        QFile::remove(target);
        QElapsedTimer timer;
        timer.start();
        const int rc = QProcess::execute(
            QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), target, g_url});
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (rc != 0 || QFileInfo(target).size() != g_size) {
            state.SkipWithError("curl failed (is the Debian package curl installed?)");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * g_size);
}

// curl into a temporary name, then what QSaveFile::commit does: flush the
// data to disk (fdatasync) and rename the file into place.
void BM_CurlDownloadThenSync(benchmark::State& state)
{
    const QString target = g_dir->filePath(QStringLiteral("curl-sync.bin"));
    const QString partial = target + QStringLiteral(".part");
    for (auto _ : state) {
        QFile::remove(target);
        QElapsedTimer timer;
        timer.start();
        const int rc = QProcess::execute(
            QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), partial, g_url});
        bool synced = false;
        if (rc == 0) {
            const int fd = ::open(QFile::encodeName(partial).constData(), O_WRONLY | O_CLOEXEC);
            synced = fd >= 0 && fdatasync(fd) == 0;
            if (fd >= 0)
                ::close(fd);
            synced = synced && std::rename(QFile::encodeName(partial).constData(),
                                           QFile::encodeName(target).constData()) == 0;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (!synced || QFileInfo(target).size() != g_size) {
            state.SkipWithError("curl or the sync failed (is the Debian package curl installed?)");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * g_size);
}

BENCHMARK(BM_NetworkManagerDownload)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurlDownload)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurlDownloadThenSync)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// Keeps the two rates for the closing summary.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0)
                continue;
            const double seconds = run.real_accumulated_time / double(run.iterations);
            const double rate = seconds > 0 ? double(g_size) / seconds : 0;
            const std::string name = run.benchmark_name();
            if (name.find("NetworkManager") != std::string::npos)
                g_clientRate = rate;
            else if (name.find("CurlDownloadThenSync") != std::string::npos)
                g_curlSyncRate = rate;
            else if (name.find("CurlDownload") != std::string::npos)
                g_curlRate = rate;
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quietMessages);
    const qint64 sizeOverride = qEnvironmentVariableIntValue("ORVO_BENCH_SIZE");
    if (sizeOverride > 0)
        g_size = sizeOverride;

    QProcess server;
    server.start(QStringLiteral(ORVO_BENCH_SERVER), {QString::number(g_size)});
    if (!server.waitForStarted() || !server.waitForReadyRead(10000)) {
        std::fprintf(stderr, "cannot start the download server\n");
        return 1;
    }
    g_url = QString::fromLatin1(server.readLine().trimmed()) + QStringLiteral("/big");

    QTemporaryDir dir;
    g_dir = &dir;

    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    if (g_clientRate > 0 && g_curlRate > 0 && g_curlSyncRate > 0) {
        const double mib = 1024.0 * 1024.0;
        std::printf(
            "\nNetworkManager %.0f MiB/s; curl %.0f MiB/s plain, %.0f MiB/s with the sync\n",
            g_clientRate / mib, g_curlRate / mib, g_curlSyncRate / mib);
        std::printf("NetworkManager: %.2f of curl with the sync (target >= 0.50), %.2f of plain "
                    "curl\n",
                    g_clientRate / g_curlSyncRate, g_clientRate / g_curlRate);
        std::printf("Peak resident growth per download: %.1f MiB (target < 64 MiB)\n",
                    double(g_peakGrowthKb) / 1024.0);
    }

    server.closeWriteChannel();
    if (!server.waitForFinished(5000))
        server.kill();
    return 0;
}
