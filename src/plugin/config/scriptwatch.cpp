#include "plugin/config/scriptwatch.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEvent>
#include <QThread>
#include <QTimerEvent>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

#include <algorithm>

#include "common/log.h"
#include "gui/guiapplication.h"
#include "plugin/config/qwebpageecc.h"

namespace ORVO {

namespace {

// The engine's option, read from the environment when it starts: how long
// its own timers last. The watch holds them until the limit.
const char EngineOption[] = "JSC_watchdog";
const uint MinStepMs = 100;
// The class of the engine's Qt timers (WTF's work queue items).
const char EngineTimerClass[] = "WTF::WorkQueue::WorkItemQt";
// How often the main thread tells that it turns while timers are held.
const int BeatMs = 100;
// How late after the stop the program may answer for the stop to be its
// end.
const int AnsweredMs = 1000;
// How much of the time pages may hold the program: a hold of half the limit
// or more counts, and once they add up to more than three limits within ten
// limits, the tabs' scripts go off. A hold counts for no more than a stopped
// script's, which ends at the limit: one of the program stopped by its user
// is no page's.
const int HoldDivisor = 2;
const int HeldLimits = 3;
const int WindowLimits = 10;
// What a line names of the tabs and their frames.
const int MaxTabs = 8;
const int MaxOrigins = 8;
const int MaxNameChars = 100;

// The engine is built without the type information that a sanitizer checks
// calls on its objects against.
#if defined(__clang__)
#define ORVO_ENGINE_OBJECT_CALLS __attribute__((no_sanitize("vptr")))
#else
#define ORVO_ENGINE_OBJECT_CALLS
#endif

std::atomic<int> g_limitMs{ScriptWatch::LimitMs};
std::atomic<ScriptWatch*> g_watch{nullptr};
// Where the windows are; set with the watch.
QThread* g_mainThread = nullptr;

QString seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 1) + QStringLiteral(" s");
}

// The tabs that hold a document, each with the origins of its frames.
QString pagesText()
{
    QStringList tabs;
    int more = 0;
    for (QWebPageEcc* page : QWebPageEcc::all()) {
        const QStringList origins = page->frameOrigins();
        if (origins.isEmpty())
            continue;
        if (tabs.size() == MaxTabs) {
            ++more;
            continue;
        }
        QStringList named;
        for (const QString& origin : origins.mid(0, MaxOrigins))
            named << log::clipped(origin, MaxNameChars);
        if (origins.size() > MaxOrigins)
            named << QStringLiteral("%1 more").arg(origins.size() - MaxOrigins);
        tabs << QStringLiteral("the portal tab \"%1\" (frames of %2)")
                    .arg(log::clipped(page->tabTitle(), MaxNameChars),
                         named.join(QStringLiteral(", ")));
    }
    if (tabs.isEmpty())
        return QStringLiteral("no tab has a page now");
    if (more > 0)
        tabs << QStringLiteral("%1 more tabs").arg(more);
    return QStringLiteral("the tabs with a page: ") + tabs.join(QStringLiteral("; "));
}

} // namespace

int ScriptWatch::install()
{
    if (g_watch || !qobject_cast<GuiApplication*>(QCoreApplication::instance()))
        return -1;
    // What the user set is put back at once: the applications that the
    // client starts inherit the environment. A step of the user's is kept if
    // it is no longer than the limit: a later one would hold the windows
    // longer, 0 switches the engine's timers off, and one of less than
    // MinStepMs has the engine make timers faster than it is worth. Else it
    // is the limit, which the engine then keeps by itself where the watch
    // cannot take its timers over.
    const bool set = qEnvironmentVariableIsSet(EngineOption);
    const QByteArray users = qgetenv(EngineOption);
    bool ok = false;
    const uint step = users.toUInt(&ok);
    const bool keep = set && ok && step >= MinStepMs && step <= uint(g_limitMs.load());
    if (set && !keep)
        LOG_NOTICE << "[ScriptWatch] " << QString::fromLatin1(EngineOption)
                   << " from the environment not used: " << QString::fromLocal8Bit(users);
    const int engineMs = keep ? int(step) : g_limitMs.load();
    if (!keep)
        qputenv(EngineOption, QByteArray::number(engineMs));
    // The engine starts with its settings.
    QWebSettings::globalSettings();
    if (set)
        qputenv(EngineOption, users);
    else
        qunsetenv(EngineOption);
    g_mainThread = QThread::currentThread();
    ScriptWatch* watch = new ScriptWatch();
    g_watch = watch;
    GuiApplication::setHandOverHook(&ScriptWatch::_handOver);
    // Before the event loops' parts go with the application object.
    qAddPostRoutine([] { delete g_watch.load(); });
    // No script runs while the program quits: an unload handler or a timer
    // of a page's could hold it past its sign-out.
    connect(static_cast<GuiApplication*>(QCoreApplication::instance()), &GuiApplication::quitting,
            watch, [] {
                QWebSettings::globalSettings()->setAttribute(QWebSettings::JavascriptEnabled,
                                                             false);
            });
    // Another build of the engine may start its timers otherwise.
    {
        QWebPage probe;
        probe.mainFrame()->evaluateJavaScript(QStringLiteral("0"));
    }
    if (watch->takenOver == 0)
        LOG_ERROR << "[ScriptWatch] The web engine's timers are not taken over: its own clock "
                     "stops a script after "
                  << engineMs
                  << " ms at the earliest, the time in a box it opened counted, or not at all";
    return 0;
}

int ScriptWatch::limitMs()
{
    return g_limitMs;
}

qint64 ScriptWatch::heldMs()
{
    const ScriptWatch* watch = g_watch;
    return watch && watch->beat.isActive() ? watch->clock.elapsed() - watch->lastBeat : 0;
}

void ScriptWatch::heldInCall(qint64 heldMs)
{
    ScriptWatch* watch = g_watch;
    if (!watch)
        return;
    // The watch's own stop of the same hold is told no more.
    const qint64 now = watch->clock.elapsed();
    watch->_tell(watch->beat.isActive() ? watch->lastBeat.load() : now - heldMs, now, true);
}

void ScriptWatch::setLimitMs(int ms)
{
    g_limitMs = std::max(1, ms);
    // The holds of another limit count no more.
    if (ScriptWatch* watch = g_watch) {
        watch->holds.clear();
        watch->heldInWindow = 0;
    }
}

ScriptWatch::ScriptWatch() : QObject(QCoreApplication::instance())
{
    clock.start();
    beat.setInterval(BeatMs);
    connect(&beat, &QTimer::timeout, this, &ScriptWatch::_beat);
    thread = std::thread([this] { _run(); });
}

ScriptWatch::~ScriptWatch()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
    GuiApplication::setHandOverHook(nullptr);
    g_watch = nullptr;
}

ORVO_ENGINE_OBJECT_CALLS void ScriptWatch::_handOver(QObject* item)
{
    // Still on the thread it leaves, with its timer: the timer would go
    // with it once this event is done.
    ScriptWatch* watch = g_watch;
    if (!watch || qstrcmp(item->metaObject()->className(), EngineTimerClass) != 0)
        return;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    const QList<QAbstractEventDispatcher::TimerInfo> timers =
        dispatcher ? dispatcher->registeredTimers(item)
                   : QList<QAbstractEventDispatcher::TimerInfo>();
    if (timers.isEmpty())
        return;
    int interval = 0;
    for (const QAbstractEventDispatcher::TimerInfo& timer : timers) {
        item->killTimer(timer.timerId);
        interval = std::max(interval, timer.interval);
    }
    if (QThread::currentThread() == g_mainThread)
        watch->_takeOver(item, interval);
    else
        _goOff(item);
}

void ScriptWatch::_takeOver(QObject* item, int interval)
{
    ++takenOver;
    const qint64 now = clock.elapsed();
    // A script starts: the main thread is held from now on, unless it turns.
    if (!beat.isActive()) {
        lastBeat = now;
        beat.start();
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        // Its interval is whole milliseconds, the engine's deadline finer. A
        // script run outside any event loop (the probe, before the program's
        // loop) is over in the first loop: else its timer would never go off
        // there, and the beat would run for good.
        pending.push_back(
            {item, now + interval + 2, std::max(1, QThread::currentThread()->loopLevel())});
    }
    wake.notify_all();
}

void ScriptWatch::_turned(qint64 now)
{
    const qint64 held = now - lastBeat;
    lastBeat = now;
    const qint64 limit = g_limitMs;
    if (held < limit / HoldDivisor)
        return;
    const qint64 counted = std::min<qint64>(held, limit + AnsweredMs);
    holds.push_back({now, counted});
    heldInWindow += counted;
    while (holds.front().first <= now - WindowLimits * limit) {
        heldInWindow -= holds.front().second;
        holds.pop_front();
    }
    if (heldInWindow <= HeldLimits * limit)
        return;
    const qint64 total = heldInWindow;
    holds.clear();
    heldInWindow = 0;
    // A page that restarts its endless script, or one just short of the
    // limit, would hold the program again at once.
    const QString pages = pagesText();
    for (QWebPageEcc* page : QWebPageEcc::all()) {
        if (!page->frameOrigins().isEmpty())
            page->stopScripts();
    }
    LOG_ERROR_LIMITED(lines) << "[WebPage] Pages held the program for "
                             << seconds(total).toUtf8().constData() << " of the last "
                             << seconds(WindowLimits * limit).toUtf8().constData()
                             << "; the engine does not say which frame ran their scripts, "
                             << pages.toUtf8().constData()
                             << "; their scripts are off until they are loaded again";
}

void ScriptWatch::_beat()
{
    const qint64 now = clock.elapsed();
    _turned(now);
    const std::lock_guard<std::mutex> lock(mutex);
    // A script that opened an event loop of its own (a box) runs on below
    // it.
    const int level = QThread::currentThread()->loopLevel();
    const auto ranOut = [now, level](const Timer& timer) {
        if (timer.due > now || level > timer.level)
            return false;
        _goOff(timer.item);
        return true;
    };
    pending.erase(std::remove_if(pending.begin(), pending.end(), ranOut), pending.end());
    if (pending.empty())
        beat.stop();
}

void ScriptWatch::_goOff(QObject* item)
{
    // The item runs its task on its thread and goes; nothing else ends it.
    QCoreApplication::postEvent(item, new QTimerEvent(0));
}

void ScriptWatch::_run()
{
    std::unique_lock<std::mutex> lock(mutex);
    // The hold whose stop was told: the engine may take more than one timer
    // to stop a script (one that began after the timer did gets the rest of
    // its own time).
    qint64 toldBeat = -1;
    while (!stopping) {
        const qint64 now = clock.elapsed();
        const qint64 beatAt = lastBeat;
        const qint64 held = now - beatAt;
        const int limit = g_limitMs;
        qint64 next = -1;
        bool stopped = false;
        for (auto it = pending.begin(); it != pending.end();) {
            if (it->due <= now && held >= limit) {
                _goOff(it->item);
                it = pending.erase(it);
                stopped = true;
                continue;
            }
            const qint64 at = it->due > now ? it->due : beatAt + limit;
            next = next < 0 ? at : std::min(next, at);
            ++it;
        }
        if (stopped && beatAt != toldBeat) {
            toldBeat = beatAt;
            // Posted events go before timers: the main thread turns here
            // before a page's timer can start another script, whose hold is
            // then one of its own.
            QMetaObject::invokeMethod(
                this,
                [this, beatAt, now] {
                    const qint64 turned = clock.elapsed();
                    _tell(beatAt, now);
                    _turned(turned);
                },
                Qt::QueuedConnection);
        }
        if (next < 0)
            wake.wait(lock);
        else
            wake.wait_for(lock, std::chrono::milliseconds(std::max<qint64>(1, next - now)));
    }
}

void ScriptWatch::_tell(qint64 heldSince, qint64 stoppedAt, bool inCall)
{
    if (heldSince == toldHold)
        return;
    toldHold = heldSince;
    const qint64 now = clock.elapsed();
    const qint64 late = now - stoppedAt;
    const qint64 heldMs = now - heldSince;
    // A hold that the stop did not end was no script's.
    const QString what =
        inCall ? QStringLiteral("A script held the program for %1 waiting for a request, which "
                                "was ended; ")
                     .arg(seconds(heldMs))
        : late < AnsweredMs
            ? QStringLiteral("The program was held for %1, and the web engine was told to stop "
                             "the script running then; ")
                  .arg(seconds(heldMs))
            : QStringLiteral("The program was held for %1; the web engine was told to stop the "
                             "script that ran %2 before it answered again; ")
                  .arg(seconds(heldMs), seconds(late));
    // One hold may be no endless script's (a long script's work and the
    // page's layout after it, the program stopped by its user): the engine
    // stops only a script that has had its time, and nothing says whether it
    // did. What the pages hold in all is bounded by _turned.
    LOG_ERROR_LIMITED(lines) << "[WebPage] " << what.toUtf8().constData()
                             << "the engine does not say which frame ran it, "
                             << pagesText().toUtf8().constData();
}

} // namespace ORVO
