// Time from asking for a portal page to its loadFinished: the main window's
// portal view (a fresh portal window from the portal plugin, its first tab
// activated) against a bare QWebView loading the same URL, alternating in
// one run against the management-server test server. Then the resident
// memory of a process with every portal tab loaded, beside one with as many
// bare views loaded, each measured in a child process of its own:
//   bench_portalview            both
//   bench_portalview --rss portal|bare   (the children)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QPluginLoader>
#include <QProcess>
#include <QTimer>
#include <QWebView>
#include <QtPlugin>

#include <cstdio>
#include <cstring>
#include <memory>

#include "common/plugininterfaces.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "gui/mainwindow/pluginwindowpage.h"
#include "plugin/config/configplugin.h"
#include "testenv.h"
#include "testserver.h"

Q_IMPORT_PLUGIN(ConfigPlugin)

namespace {

orvotest::TestServer* g_web = nullptr;

void silentHandler(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(msg));
}

ORVO::ConfigPlugin* portalPlugin()
{
    for (QObject* o : QPluginLoader::staticInstances())
        if (auto* p = qobject_cast<ORVO::ConfigPlugin*>(o))
            return p;
    return nullptr;
}

// Feeds the plugin what a sign-in gives it: the server (with the test
// server's port) and its pages.
void signInPortal()
{
    ORVO::ConfigGfxPluginInterface* plugin = portalPlugin();
    plugin->gotServerAddr(QStringLiteral("127.0.0.1:") + QString::number(g_web->port()), QString());
    plugin->gotPages(g_web->portalPages());
}

bool waitForLoad(QWebView* view, int timeoutMs = 10000)
{
    if (!view)
        return false;
    QEventLoop loop;
    bool ok = false;
    QObject::connect(view, &QWebView::loadFinished, &loop, [&](bool done) {
        ok = done;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return ok;
}

QWebView* currentView(MainWindow& w)
{
    ORVO::PluginWindowPage* page = w.windowList->currentPage();
    return page ? qobject_cast<QWebView*>(page->widget()) : nullptr;
}

QString firstPageUrl()
{
    return g_web->baseUrl() + g_web->portalPages().value(QStringLiteral("connection")).toString() +
           QLatin1Char('/');
}

void BM_BareView(benchmark::State& state)
{
    QNetworkAccessManager nam;
    const QUrl url(firstPageUrl());
    QWebView view;
    view.page()->setNetworkAccessManager(&nam);
    view.resize(800, 600);
    view.show();
    for (auto _ : state) {
        // Left and shown again, as a portal tab is.
        view.setHtml(QString());
        QElapsedTimer t;
        t.start();
        view.setUrl(url);
        if (!waitForLoad(&view)) {
            state.SkipWithError("bare view did not load");
            return;
        }
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
    }
}

// Tab activations in the portal view, each timed to its page's
// loadFinished: the same tab again (step 0), or from one tab to the next
// (step 1), whose left tab is blanked as the portal does.
void portalTabLoads(benchmark::State& state, int step)
{
    signInPortal();
    MainWindow w(nullptr, false);
    w.run();
    w.show();
    QMetaObject::invokeMethod(&w, "showConfig");
    if (!waitForLoad(currentView(w))) {
        state.SkipWithError("portal view did not load");
        return;
    }
    ORVO::PluginWindow* window = w.configContainer->window();
    const QStringList names = window->tabNames();
    int next = step % names.size();
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        window->activateTab(names.at(next));
        if (!waitForLoad(currentView(w))) {
            state.SkipWithError("portal tab did not load");
            return;
        }
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        next = (next + step) % names.size();
    }
}

// The first tab shown again: a click on the current tab, or a refresh.
void BM_PortalTab(benchmark::State& state)
{
    portalTabLoads(state, 0);
}

// A change of tab: what the user waits for on each click on another tab.
void BM_PortalTabSwitch(benchmark::State& state)
{
    portalTabLoads(state, 1);
}

// The portal view opened after sign-in: a new portal window with its web
// views, the switch from the sign-in view, and the first tab's page.
void BM_PortalViewOpen(benchmark::State& state)
{
    signInPortal();
    MainWindow w(nullptr, false);
    w.run();
    w.show();
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        QMetaObject::invokeMethod(&w, "showConfig");
        if (!waitForLoad(currentView(w))) {
            state.SkipWithError("portal view did not load");
            return;
        }
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        state.PauseTiming();
        w.backToLogin();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Loads every page of the test server, as portal tabs or as bare views, and
// prints the resident size in kB.
int residentWith(const char* kind)
{
    std::vector<std::unique_ptr<QWebView>> bare;
    QNetworkAccessManager nam;
    std::unique_ptr<MainWindow> w;
    const QVariantMap pages = g_web->portalPages();
    if (std::strcmp(kind, "portal") == 0) {
        signInPortal();
        w.reset(new MainWindow(nullptr, false));
        w->run();
        w->show();
        QMetaObject::invokeMethod(w.get(), "showConfig");
        ORVO::PluginWindow* window = w->configContainer->window();
        const QStringList names = window->tabNames();
        for (int i = 0; i < names.size(); ++i) {
            if (i > 0)
                window->activateTab(names.at(i));
            if (!waitForLoad(currentView(*w)))
                return 1;
        }
    } else {
        for (auto it = pages.cbegin(); it != pages.cend(); ++it) {
            bare.emplace_back(new QWebView());
            bare.back()->page()->setNetworkAccessManager(&nam);
            bare.back()->show();
            bare.back()->setUrl(QUrl(g_web->baseUrl() + it.value().toString() + QLatin1Char('/')));
            if (!waitForLoad(bare.back().get()))
                return 1;
        }
    }
    std::printf("%lld\n", static_cast<long long>(residentKb()));
    return 0;
}

} // namespace

BENCHMARK(BM_BareView)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK(BM_PortalTab)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK(BM_PortalTabSwitch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK(BM_PortalViewOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    qInstallMessageHandler(silentHandler);
    orvotest::TestEnv env;
    orvotest::TestServer web;
    web.setPortalRequiresLogin(false);
    if (!web.listen(false, 0))
        return 2;
    g_web = &web;

    if (argc == 3 && std::strcmp(argv[1], "--rss") == 0)
        return residentWith(argv[2]);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();

    for (const char* kind : {"bare", "portal"}) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--rss"), QLatin1String(kind)});
        child.waitForFinished(60000);
        std::printf("resident memory with %zu pages loaded, %s: %s kB\n",
                    static_cast<size_t>(web.portalPages().size()), kind,
                    child.readAllStandardOutput().trimmed().constData());
    }
    return 0;
}
