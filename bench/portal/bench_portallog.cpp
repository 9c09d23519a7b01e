// What the log file takes at Low, the default verbosity, while a portal
// page floods the client with commands and the user clicks a link of it:
// the page sends a bundle of 32 OPEN_URL applications with 4,000-letter
// schemes every 310 ms, and the user's link is such a bundle too. The
// portal runs in the main window, as after a sign-in. Each run waits until
// the tab's burst is used up, then clicks at its rate (0, 1, 2 or 8 inputs
// a second) for 30 s and reports the bytes the file grew by, the rate, and
// the rate of the user's lines (those cut to the user's line length). The
// four-tab rows have the same page in each tab, and the user shows the next
// tab before each click, so the clicks go round the tabs:
//   bench_portallog [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPluginLoader>
#include <QPushButton>
#include <QTimer>
#include <QWebElement>
#include <QWebFrame>
#include <QWebView>
#include <QtPlugin>

#include <memory>

#include "common/config.h"
#include "common/loglimit.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "gui/mainwindow/pluginwindowpage.h"
#include "libvelcor/logger.h"
#include "main/startupsteps.h"
#include "plugin/config/configplugin.h"
#include "testenv.h"
#include "testserver.h"

Q_IMPORT_PLUGIN(ConfigPlugin)

namespace {

const int WarmUpMs = 5000;
const int ClickingMs = 30000;
const QString ClicksPath = QStringLiteral("/manage/portal/clicks");

orvotest::TestServer* g_web = nullptr;
QString g_logPath;

ORVO::ConfigPlugin* portalPlugin()
{
    for (QObject* o : QPluginLoader::staticInstances())
        if (auto* p = qobject_cast<ORVO::ConfigPlugin*>(o))
            return p;
    return nullptr;
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitForLoad(QWebView* view)
{
    QEventLoop loop;
    bool ok = false;
    QObject::connect(view, &QWebView::loadFinished, &loop, [&](bool done) {
        ok = done;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return ok;
}

void click(QWebView* view, const QPoint& at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(view, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(view, &release);
}

QWebView* currentView(MainWindow& w)
{
    ORVO::PluginWindowPage* page = w.windowList->currentPage();
    return page ? qobject_cast<QWebView*>(page->widget()) : nullptr;
}

// The user shows the tab: its view once the page has loaded, else null.
QWebView* showTab(MainWindow& w, int index)
{
    ORVO::PluginWindowContainer* shown = w.windowList->currentWindow();
    if (!shown || !shown->window() || index >= shown->window()->tabButtons().size())
        return nullptr;
    shown->window()->tabButtons().at(index)->click();
    QWebView* view = currentView(w);
    return view && waitForLoad(view) ? view : nullptr;
}

QPoint linkIn(QWebView* view)
{
    return view->page()->mainFrame()->findFirstElement("#b").geometry().center();
}

// Bytes of the lines cut to the user's line length in the file since offset.
qint64 userBytes(qint64 offset)
{
    QFile file(g_logPath);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return -1;
    qint64 bytes = 0;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.contains("(cut: "))
            bytes += line.size() + 1;
    return bytes;
}

void userClicksAtLow(benchmark::State& state, int tabs)
{
    const int perSecond = int(state.range(0));
    for (auto _ : state) {
        ORVO::log::restoreQtMessageLimit();
        ORVO::ConfigGfxPluginInterface* plugin = portalPlugin();
        plugin->gotServerAddr(QStringLiteral("127.0.0.1:") + QString::number(g_web->port()),
                              QString());
        QVariantMap pages;
        for (int i = 0; i < tabs; ++i)
            pages.insert(QStringLiteral("clicks") + (i > 0 ? QString::number(i + 1) : QString()),
                         ClicksPath);
        plugin->gotPages(pages);
        MainWindow w(nullptr, false);
        w.run();
        w.show();
        QMetaObject::invokeMethod(&w, "showConfig");
        QWebView* view = currentView(w);
        if (!view || !waitForLoad(view)) {
            state.SkipWithError("portal view did not load");
            return;
        }
        // Every tab's burst is used up.
        wait(WarmUpMs / tabs);
        for (int i = 1; i < tabs; ++i) {
            if (!(view = showTab(w, i))) {
                state.SkipWithError("portal tab did not load");
                return;
            }
            wait(WarmUpMs / tabs);
        }
        const qint64 before = QFileInfo(g_logPath).size();
        QElapsedTimer clock;
        clock.start();
        for (int n = 0; clock.elapsed() < ClickingMs; ++n) {
            if (perSecond > 0) {
                if (tabs > 1 && !(view = showTab(w, n % tabs))) {
                    state.SkipWithError("portal tab did not load");
                    return;
                }
                click(view, linkIn(view));
            }
            wait(int(qMax<qint64>(0, (n + 1) * 1000 / qMax(1, perSecond) - clock.elapsed())));
        }
        const qint64 grown = QFileInfo(g_logPath).size() - before;
        const double seconds = clock.elapsed() / 1000.0;
        state.SetIterationTime(seconds);
        state.counters["bytes"] = double(grown);
        state.counters["KiB/s"] = grown / 1024.0 / seconds;
        state.counters["user KiB/s"] = userBytes(before) / 1024.0 / seconds;
        // The tab goes, and with it the lines its limit still holds.
        QMetaObject::invokeMethod(&w, "backToLogin");
        QCoreApplication::processEvents();
    }
}

void BM_UserClicksAtLow(benchmark::State& state)
{
    userClicksAtLow(state, 1);
}

void BM_UserClicksInFourTabsAtLow(benchmark::State& state)
{
    userClicksAtLow(state, 4);
}

} // namespace

BENCHMARK(BM_UserClicksAtLow)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(8)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_UserClicksInFourTabsAtLow)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(8)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    orvotest::TestEnv env;
    // The program's configuration at Low, and its file log.
    QDir().mkpath(env.root() + "/b/bin");
    if (!orvotest::writeFile(env.root() + "/b/Resources/etc/vtx.json", "{}"))
        return 2;
    ORVO::Config config(env.root() + "/b/bin");
    config.logLevel = 5;
    libvelcor::Logger logger;
    g_logPath = env.root() + "/vtx-log.txt";
    QString why;
    if (ORVO::openFileLog(logger, g_logPath, why) != 0)
        return 2;
    g_cfg = &config;

    orvotest::TestServer web;
    web.setPortalRequiresLogin(false);
    for (const char* key : {"connection", "action", "settings"})
        web.removePortalPage(QLatin1String(key));
    const QByteArray bundle = "OPEN_URL?url=BUILTIN_APP%3Fbundle%3D" +
                              QByteArray("OPEN_URL,").repeated(32) + "%26url%3D" +
                              QByteArray(4000, 's') + "%3Ax";
    web.setPortalPage(QStringLiteral("clicks"), ClicksPath,
                      "<a id=b style='display:block; width:300px; height:100px' href=" + bundle +
                          ">b</a><a id=p href=" + bundle +
                          "></a><script>setInterval(function() { p.click() }, 310)</script>");
    if (!web.listen(false, 0))
        return 2;
    g_web = &web;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    g_cfg = nullptr;
    return 0;
}
