#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "common/loglimit.h"

namespace ORVO {

// Gives the program back from a page's script that never ends. The web
// engine stops a script once its watchdog's timer has run out: JavaScriptCore
// reads the option (JSC_watchdog) from the environment once, when it starts,
// and has no other way to set it here. It is set to the limit: should the
// watch below not take the engine's timers over (install() checks that it
// does, and says so if not), the engine's own clock stops no script before
// the limit, though it may stop one late or never, as without the watch, and
// counts the time in a box. Each timer
// is a Qt timer that the engine starts on the thread of the script, as the
// script begins to run, and hands to a thread of its own. The watch takes a
// timer of the main thread over at that hand-over and lets it run out only
// once the main thread has been held for the limit: the time the main thread
// spends turning an event loop of its own (a box the script opened, while the
// windows answer) does not count, and no timer runs out early (Qt's coarse
// timers may, and the engine then takes it for a stale one and lets the
// script run on). A timer of another thread (a page's worker, which holds no
// window) goes off at once, which the engine takes for a stale one: such a
// script is never stopped.
// The engine says nothing when it stops a script, nor which frame ran it: the
// line that tells of the stop names the tabs that had a page, with the
// origins of their frames. The holds that pages' scripts start, of half the
// limit or more, take a third of the time at most: once they add up to more
// than three limits within ten (a page that restarts its endless script, or
// one just short of the limit), the tabs' scripts go off until the tab is
// loaded again. Shorter holds slow the windows without taking them. When the
// program quits, all scripts go off first.
class ScriptWatch : public QObject
{
    Q_OBJECT

public:
    // How long a page's script may hold the program. The windows answer again
    // well within 10 s, and a quit asked for meanwhile (SIGTERM) still signs
    // out within its 5 s. A normal portal page does far less in one go: this
    // engine builds a table of 5000 devices, sorted and laid out, in a
    // quarter of a second, so a machine ten times slower stays within it; and
    // a box the page opens does not count.
    static const int LimitMs = 3000;

    // Once per process, before the first web object: the engine reads its
    // options only once. It needs the application object to be a
    // GuiApplication, which shows it the engine's timers: -1 without one, or
    // when already installed, and the engine stops no script.
    static int install();
    // Tests, on the main thread: the limit from now on. The engine's own
    // step is the limit at install(): a later, shorter limit waits for it.
    static void setLimitMs(int ms);
    // The limit now.
    static int limitMs();
    // On the main thread: how long a script has held it so far; 0 while no
    // script runs.
    static qint64 heldMs();
    // On the main thread: a script held the program for the limit, heldMs
    // of it in a call that the engine cannot stop (a request it waits for),
    // which was ended: told as a stop.
    static void heldInCall(qint64 heldMs);

    ~ScriptWatch() override;

private:
    // One of the engine's timers, taken over: the object it goes off on and
    // when it runs out by the engine's own clock.
    struct Timer
    {
        QObject* item;
        qint64 due;
        // The event loop that the script runs in.
        int level;
    };

    ScriptWatch();
    // An object goes to another thread, maybe one of the engine's timers.
    static void _handOver(QObject* item);
    // The engine hands a timer of the main thread to its thread.
    void _takeOver(QObject* item, int interval);
    // On the main thread, while timers are held: it turns. In the loop that
    // a script ran in, or a loop below it, that script is over, so its timer
    // may run out harmlessly.
    void _beat();
    // The watch's thread: lets a timer run out once the main thread has been
    // held for the limit.
    void _run();
    // On the main thread: the line of a stop, of the hold since then, once
    // for each hold.
    void _tell(qint64 heldSince, qint64 stoppedAt, bool inCall = false);
    // On the main thread, while timers are held: it turns, after a hold
    // since the last turn. Once the holds add up to more than the pages'
    // share, the tabs' scripts go off.
    void _turned(qint64 now);
    static void _goOff(QObject* item);

    QElapsedTimer clock;
    QTimer beat;
    std::atomic<qint64> lastBeat{0};
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<Timer> pending;
    bool stopping = false;
    std::thread thread;
    // On the main thread: the timers taken over, and the hold told last.
    int takenOver = 0;
    qint64 toldHold = -1;
    // The holds of the last WindowLimits limits: when each ended, how long.
    std::deque<std::pair<qint64, qint64>> holds;
    qint64 heldInWindow = 0;
    log::RateLimit lines{QStringLiteral("the stopped scripts")};
};

} // namespace ORVO
