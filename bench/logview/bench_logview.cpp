// The log viewer's intake of service log lines: from a loopback sender
// through the first page's listener, re-logged through the message capture
// into two shown pages, against the listener alone; a search over a full
// table; the memory a stored line takes.
//
//   <build>/bench/bench_logview          (offscreen unless QT_QPA_PLATFORM is set)
//
// Counters:
//   BM_ListenerAlone      lines_per_s: the listener delivering to a counter.
//   BM_TwoPages/<rows>    lines_per_s through both pages, each holding <rows>
//                         rows before and after (the oldest lines dropped);
//                         us_per_line. Goals: at least 100000 lines per
//                         second; us_per_line at 100000 rows at most 1.2 times
//                         that at 1000 rows (per_line_ratio in BM_RowsRatio).
//   BM_Search/<kind>      ms per search over 100000 stored lines (goal: < 100).
//   BM_Memory             bytes_per_line: heap per stored and shown line.
//   BM_LongLines/<lines>  heap_MiB: heap of a table fed <lines> lines of
//                         64 KiB (goal: under the table's byte bound).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLineEdit>

#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

#include "gui/log/logform.h"
#include "gui/log/logformlogger.h"
#include "gui/log/logtable.h"
#include "libvelcor/loglistener.h"
#include "loopback.h"

namespace {

constexpr int LinesPerRun = 100000;
constexpr int BlockLines = 500;

std::atomic<qint64> g_messages{0};

// The handler before the capture: counts, prints nothing.
void countingHandler(QtMsgType, const QMessageLogContext&, const QString& msg)
{
    if (msg.contains(QLatin1String("rekeyed")))
        ++g_messages;
}

QByteArray serviceLine(int i)
{
    static const QByteArray stamp = QDateTime::currentDateTime().toString(Qt::TextDate).toUtf8();
    return stamp + " [0x7f92] [notice] [vtx-service:tunnel.c:run():42] [VPN] data channel " +
           "rekeyed, packet " + QByteArray::number(i) + "\n";
}

// Writes count lines to 127.0.0.1:port from a plain thread, then closes.
std::thread startSender(quint16 port, int count)
{
    return std::thread([port, count]() {
        const int fd = benchkit::connectLoopback(port);
        if (fd < 0)
            return;
        for (int sent = 0; sent < count; sent += BlockLines) {
            QByteArray block;
            for (int i = sent; i < qMin(count, sent + BlockLines); ++i)
                block += serviceLine(i);
            if (!benchkit::sendAll(fd, block.constData(), block.size())) {
                ::close(fd);
                return;
            }
        }
        ::close(fd);
    });
}

LogTable* tableOf(LogForm* page)
{
    return page->findChild<LogTable*>();
}

void fill(LogTable* table, int lines)
{
    for (int i = 0; i < lines; ++i)
        table->appendLine(QtDebugMsg, QString::fromUtf8(serviceLine(i)).trimmed(),
                          ORVO::VerbosityLow);
    table->flushRows();
}

// Two shown pages, the first one listening on a free port.
struct Pages
{
    std::unique_ptr<LogForm> first;
    std::unique_ptr<LogForm> second;
    int port = -1;

    explicit Pages(int rows)
    {
        LogForm::resetFirstPage();
        LogForm::setListenPort(0);
        first = std::make_unique<LogForm>();
        second = std::make_unique<LogForm>();
        QObject::connect(first.get(), &LogForm::logPortSupply, [this](int p) { port = p; });
        first->show();
        second->show();
        for (LogForm* page : {first.get(), second.get()}) {
            tableOf(page)->setCapacity(rows);
            tableOf(page)->clearRows();
            fill(tableOf(page), rows);
        }
        benchkit::runUntil([this]() { return port > 0; }, 5000, 20);
    }

    // Only the active pair takes lines, as if the other did not exist.
    void setActive(bool on)
    {
        for (LogForm* page : {first.get(), second.get()}) {
            LogFormLogger::removeTarget(page);
            if (on)
                LogFormLogger::addTarget(page);
        }
    }
};

// Seconds for LinesPerRun service lines to be shown in both pages.
double pagesRun(Pages& pages)
{
    const qint64 before = g_messages.load();
    QElapsedTimer t;
    t.start();
    std::thread sender = startSender(quint16(pages.port), LinesPerRun);
    benchkit::runUntil([&]() { return g_messages.load() - before >= LinesPerRun; }, 120000, 20);
    tableOf(pages.first.get())->flushRows();
    tableOf(pages.second.get())->flushRows();
    const double s = t.nsecsElapsed() / 1e9;
    sender.join();
    return g_messages.load() - before >= LinesPerRun ? s : -1;
}

double listenerRun()
{
    libvelcor::LogListener listener;
    if (listener.start(QHostAddress(QHostAddress::LocalHost), 0) != 0)
        return -1;
    qint64 lines = 0;
    qint64 chars = 0;
    QObject::connect(&listener, &libvelcor::LogListener::log, [&](const QString& line) {
        ++lines;
        chars += line.size();
    });
    QElapsedTimer t;
    t.start();
    std::thread sender = startSender(quint16(listener.getPort()), LinesPerRun);
    benchkit::runUntil([&]() { return lines >= LinesPerRun; }, 120000, 20);
    const double s = t.nsecsElapsed() / 1e9;
    sender.join();
    benchmark::DoNotOptimize(chars);
    return lines == LinesPerRun ? s : -1;
}

void BM_ListenerAlone(benchmark::State& state)
{
    double total = 0;
    for (auto _ : state) {
        const double s = listenerRun();
        if (s < 0) {
            state.SkipWithError("listener run failed");
            return;
        }
        state.SetIterationTime(s);
        total += s;
    }
    state.counters["lines_per_s"] = state.iterations() * LinesPerRun / total;
}
BENCHMARK(BM_ListenerAlone)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TwoPages(benchmark::State& state)
{
    Pages pages(int(state.range(0)));
    if (pages.port <= 0) {
        state.SkipWithError("no listener");
        return;
    }
    double total = 0;
    for (auto _ : state) {
        const double s = pagesRun(pages);
        if (s < 0) {
            state.SkipWithError("run failed");
            return;
        }
        state.SetIterationTime(s);
        total += s;
    }
    state.counters["lines_per_s"] = state.iterations() * LinesPerRun / total;
    state.counters["us_per_line"] = total * 1e6 / (state.iterations() * LinesPerRun);
    state.counters["rows"] = tableOf(pages.first.get())->topLevelItemCount();
}
BENCHMARK(BM_TwoPages)
    ->Arg(1000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Both sizes alternately in one run, so machine noise hits both alike.
void BM_RowsRatio(benchmark::State& state)
{
    Pages small(1000);
    Pages large(100000);
    double smallTotal = 0;
    double largeTotal = 0;
    for (auto _ : state) {
        small.setActive(true);
        large.setActive(false);
        const double s = pagesRun(small);
        small.setActive(false);
        large.setActive(true);
        const double l = pagesRun(large);
        if (s < 0 || l < 0) {
            state.SkipWithError("run failed");
            return;
        }
        state.SetIterationTime(l);
        smallTotal += s;
        largeTotal += l;
    }
    state.counters["per_line_ratio"] = largeTotal / smallTotal;
    state.counters["us_per_line_1000"] = smallTotal * 1e6 / (state.iterations() * LinesPerRun);
    state.counters["us_per_line_100000"] = largeTotal * 1e6 / (state.iterations() * LinesPerRun);
}
BENCHMARK(BM_RowsRatio)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// One search through the page's search box over 100000 stored lines:
// 0 matching none, 1 matching one line in a hundred, 2 matching all.
void BM_Search(benchmark::State& state)
{
    LogForm::resetFirstPage();
    LogForm::setListenPort(0);
    LogForm page;
    page.show();
    LogTable* table = tableOf(&page);
    table->clearRows();
    fill(table, LogTable::DefaultCapacity);
    QLineEdit* box = page.findChild<QLineEdit*>(QStringLiteral("plainLineEdit"));
    const char* const words[] = {"absent", "packet 77", "rekeyed"};
    const QString word = QString::fromLatin1(words[state.range(0)]);
    bool toggle = false;
    for (auto _ : state) {
        // Alternate with a one-letter change so that every round searches.
        toggle = !toggle;
        QElapsedTimer t;
        t.start();
        box->setText(toggle ? word : word + QLatin1Char(' '));
        table->flushRows();
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
    }
    state.counters["rows"] = table->topLevelItemCount();
}
BENCHMARK(BM_Search)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Heap per line of a full table (record and row), and per record alone
// (a hidden table that has not made its rows yet keeps only pending rows,
// so the record alone is measured with a search that shows nothing).
void BM_Memory(benchmark::State& state)
{
    for (auto _ : state) {
        auto table = std::make_unique<LogTable>();
        table->setColumnCount(2);
        QMetaObject::invokeMethod(table.get(), "searchTextChanged",
                                  Q_ARG(QString, QStringLiteral("absent")));
        const size_t empty = heapInUse();
        fill(table.get(), LogTable::DefaultCapacity);
        const size_t records = heapInUse();
        QMetaObject::invokeMethod(table.get(), "searchTextChanged", Q_ARG(QString, QString()));
        const size_t shown = heapInUse();
        state.counters["bytes_per_record"] = double(records - empty) / LogTable::DefaultCapacity;
        state.counters["bytes_per_row"] = double(shown - records) / LogTable::DefaultCapacity;
        state.counters["bytes_per_line"] = double(shown - empty) / LogTable::DefaultCapacity;
    }
}
BENCHMARK(BM_Memory)->Unit(benchmark::kMillisecond)->Iterations(1);

// Heap that lines of 64 KiB (the longest the listener passes on) take in
// a table with its rows: the table's byte bound caps both counts alike.
void BM_LongLines(benchmark::State& state)
{
    static const QString head = QString::fromUtf8(serviceLine(0)).section(QLatin1Char(']'), 0, 2);
    const QString line = head + QLatin1String("] [VPN] ") + QString(64 * 1024, QLatin1Char('x'));
    for (auto _ : state) {
        auto table = std::make_unique<LogTable>();
        table->setColumnCount(2);
        const size_t empty = heapInUse();
        for (int i = 0; i < state.range(0); ++i)
            table->appendLine(QtDebugMsg, line, ORVO::VerbosityLow);
        table->flushRows();
        state.counters["heap_MiB"] = double(heapInUse() - empty) / (1 << 20);
        state.counters["lines"] = table->lineCount();
    }
}
BENCHMARK(BM_LongLines)->Arg(6400)->Arg(25600)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler(countingHandler);
    LogFormLogger::instance();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
