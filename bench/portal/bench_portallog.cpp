// What the log file takes at Low, the default verbosity, while a portal
// page floods the client with commands and the user clicks a link of it:
// the page sends a bundle of 32 OPEN_URL applications with 4,000-letter
// schemes every 310 ms, and the user's link is such a bundle too. The
// portal runs in the main window, as after a sign-in. Each run waits until
// the tab's burst is used up, then clicks at its rate (0, 1, 2 or 8 inputs
// a second) for 30 s and reports the bytes the file grew by, and the rate:
//   bench_portallog [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPluginLoader>
#include <QTimer>
#include <QWebElement>
#include <QWebFrame>
#include <QWebView>
#include <QtPlugin>

#include <memory>

#include "common/config.h"
#include "common/loglimit.h"
#include "gui/mainwindow/mainwindow.h"
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

void BM_UserClicksAtLow(benchmark::State& state)
{
    const int perSecond = int(state.range(0));
    for (auto _ : state) {
        ORVO::log::restoreQtMessageLimit();
        ORVO::ConfigGfxPluginInterface* plugin = portalPlugin();
        plugin->gotServerAddr(QStringLiteral("127.0.0.1:") + QString::number(g_web->port()),
                              QString());
        plugin->gotPages(g_web->portalPages());
        MainWindow w(nullptr, false);
        w.run();
        w.show();
        QMetaObject::invokeMethod(&w, "showConfig");
        ORVO::PluginWindowPage* page = w.windowList->currentPage();
        auto* view = page ? qobject_cast<QWebView*>(page->widget()) : nullptr;
        if (!view || !waitForLoad(view)) {
            state.SkipWithError("portal view did not load");
            return;
        }
        const QPoint link = view->page()->mainFrame()->findFirstElement("#b").geometry().center();
        wait(WarmUpMs);
        const qint64 before = QFileInfo(g_logPath).size();
        QElapsedTimer clock;
        clock.start();
        for (int n = 0; clock.elapsed() < ClickingMs; ++n) {
            if (perSecond > 0)
                click(view, link);
            wait(int(qMax<qint64>(0, (n + 1) * 1000 / qMax(1, perSecond) - clock.elapsed())));
        }
        const qint64 grown = QFileInfo(g_logPath).size() - before;
        state.SetIterationTime(clock.elapsed() / 1000.0);
        state.counters["bytes"] = double(grown);
        state.counters["KiB/s"] = grown / 1024.0 / (clock.elapsed() / 1000.0);
        // The tab goes, and with it the lines its limit still holds.
        QMetaObject::invokeMethod(&w, "backToLogin");
        QCoreApplication::processEvents();
    }
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
    web.setPortalPage(QStringLiteral("clicks"), QStringLiteral("/manage/portal/clicks"),
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
