// Cost of the logging statements: a statement filtered out by the level
// must cost a few nanoseconds; a printed line must sustain at least
// 200,000 lines per second. The program's file logger chains to the
// handler that was installed before it, which in the program is Qt's own:
// every line also goes to standard error. BM_ProgramLogLine measures that
// chain (standard error sent to a file, as with "2>file"); BM_FileLoggerLine
// measures the file alone.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "common/config.h"
#include "common/log.h"
#include "libvelcor/logger.h"

namespace {

ORVO::Config* g_benchCfg = nullptr;
QTemporaryDir* g_dir = nullptr;

void silentHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

void setUpConfig()
{
    if (g_benchCfg)
        return;
    g_dir = new QTemporaryDir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(g_dir->path() + "/data"));
    QDir().mkpath(g_dir->path() + "/b/bin");
    QDir().mkpath(g_dir->path() + "/b/Resources/etc");
    QFile t(g_dir->path() + "/b/Resources/etc/vtx.json");
    t.open(QIODevice::WriteOnly);
    t.write("{}");
    t.close();
    g_benchCfg = new ORVO::Config(g_dir->path() + "/b/bin");
}

int g_counter = 0;
int expensive()
{
    return ++g_counter;
}

void BM_FilteredTrace(benchmark::State& state)
{
    setUpConfig();
    g_benchCfg->logLevel = 6;
    g_cfg = g_benchCfg;
    for (auto _ : state) {
        LOG_TRACE << "[Bench] filtered " << expensive();
        benchmark::ClobberMemory();
    }
    g_cfg = nullptr;
    if (g_counter != 0)
        state.SkipWithError("filtered operand was evaluated");
}
BENCHMARK(BM_FilteredTrace);

void BM_FileLoggerLine(benchmark::State& state)
{
    setUpConfig();
    g_benchCfg->logLevel = 7;
    g_cfg = g_benchCfg;
    // The logger chains to the previous handler; make that one silent so
    // only the file is measured.
    QtMessageHandler before = qInstallMessageHandler(silentHandler);
    libvelcor::Logger logger;
    logger.setPath(g_dir->path() + "/vtx-log.txt");
    if (logger.open() != 0) {
        state.SkipWithError("cannot open log");
        return;
    }
    const QString value = QStringLiteral("/some/path/to/a/profile");
    int i = 0;
    for (auto _ : state)
        LOG_DEBUG << "[Bench] line " << ++i << " value=" << value;
    logger.close();
    qInstallMessageHandler(before);
    g_cfg = nullptr;
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FileLoggerLine);

void BM_ProgramLogLine(benchmark::State& state)
{
    setUpConfig();
    g_benchCfg->logLevel = 7;
    g_cfg = g_benchCfg;
    // As at the program's start: no handler of our own before the logger,
    // so it chains to Qt's default one, which writes to standard error.
    QtMessageHandler before = qInstallMessageHandler(nullptr);
    std::fflush(stderr);
    const int savedErr = dup(STDERR_FILENO);
    const int errFile = ::open(QFile::encodeName(g_dir->path() + "/stderr.txt").constData(),
                               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const bool redirected = savedErr >= 0 && errFile >= 0 && dup2(errFile, STDERR_FILENO) >= 0;
    libvelcor::Logger logger;
    logger.setPath(g_dir->path() + "/vtx-log-chained.txt");
    const bool opened = redirected && logger.open() == 0;
    const QString value = QStringLiteral("/some/path/to/a/profile");
    int i = 0;
    if (opened) {
        for (auto _ : state)
            LOG_DEBUG << "[Bench] line " << ++i << " value=" << value;
    }
    logger.close();
    std::fflush(stderr);
    if (redirected)
        dup2(savedErr, STDERR_FILENO);
    if (savedErr >= 0)
        ::close(savedErr);
    if (errFile >= 0)
        ::close(errFile);
    qInstallMessageHandler(before);
    g_cfg = nullptr;
    if (!opened) {
        state.SkipWithError(redirected ? "cannot open log" : "cannot redirect standard error");
        return;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ProgramLogLine);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    delete g_benchCfg;
    delete g_dir;
    return 0;
}
