#include "common/loglimit.h"

#include <QCoreApplication>
#include <QThread>
#include <QtMath>

#include <atomic>
#include <limits>
#include <mutex>

#include "libvelcor/logger.h"

namespace ORVO {
namespace log {

namespace {

thread_local LimitScope* t_scope = nullptr;

// Guards the state of every limit and allowance: Qt's messages count from
// any thread. Never held while anything is logged or a timer is started.
std::mutex g_state;

// What the line that tells of a flood takes before its text.
const int ToldLineHeader = 100;

// Qt's messages outside a page's events: the limit and allowance of their
// own, made with the application object and gone with it.
struct QtMessages
{
    FloodAllowance allowance{2 * 1024 * 1024, 2 * 1024 * 1024};
    RateLimit limit{QStringLiteral("Qt and the web engine")};
};
std::atomic<QtMessages*> g_qt{nullptr};

bool filterQtMessage(QtMsgType type, const QString& msg)
{
    RateLimit* limit = LimitScope::current();
    QtMessages* qt = g_qt.load();
    if (!limit && qt)
        limit = &qt->limit;
    if (!limit)
        return true;
    const bool warning = type != QtDebugMsg && type != QtInfoMsg;
    // The file takes the message escaped, as it is.
    return limit->take(warning ? 3 : 5, warning ? "ERROR" : "notice",
                       utf8Size(libvelcor::escapeLogText(msg)));
}

// Kept, not deleted: another thread may be deciding about a message still.
void endQtMessageLimit()
{
    libvelcor::setMessageFilter(nullptr);
    if (QtMessages* qt = g_qt.load())
        qt->limit.finish();
}

} // namespace

FloodAllowance::FloodAllowance(qint64 budget, qint64 perDay, QObject* parent)
    : QObject(parent), budget(budget), perSecond(perDay / 86400.0), balance(budget)
{
    clock.start();
}

bool FloodAllowance::draw(qint64 bytes)
{
    // Under g_state, held by the limit that draws.
    const qint64 now = clock.elapsed();
    balance = qMin(budget, balance + (now - refilledAt) * perSecond / 1000);
    refilledAt = now;
    if (balance <= 0)
        return false;
    balance -= bytes;
    return true;
}

void FloodAllowance::restore()
{
    const std::lock_guard<std::mutex> lock(g_state);
    balance = budget;
}

LimitScope::LimitScope(RateLimit* limit)
    : limit(limit), loopLevel(QThread::currentThread()->loopLevel()), outer(t_scope)
{
    t_scope = this;
}

LimitScope::LimitScope(Unlimited)
    : unlimited(true), loopLevel(QThread::currentThread()->loopLevel()), outer(t_scope)
{
    t_scope = this;
}

LimitScope::~LimitScope()
{
    t_scope = outer;
}

RateLimit* LimitScope::current()
{
    if (!t_scope)
        return nullptr;
    // A nested event loop (a modal box, a file dialog) handles everything
    // else too: the scopes outside it do not count what it logs.
    const int level = QThread::currentThread()->loopLevel();
    for (const LimitScope* scope = t_scope; scope && scope->loopLevel >= level;
         scope = scope->outer) {
        if (scope->unlimited)
            return nullptr;
        if (scope->limit)
            return scope->limit.data();
    }
    return nullptr;
}

RateLimit::RateLimit(const QString& who, int burst, double perSecond, QObject* parent)
    : QObject(parent), who(who), burst(burst), perSecond(qMax(0.001, perSecond)), balance(burst)
{
    clock.start();
    tell.setSingleShot(true);
    connect(&tell, &QTimer::timeout, this, &RateLimit::_check);
}

RateLimit::~RateLimit()
{
    if (!finished)
        _tellLeftOut();
}

void RateLimit::setWho(const QString& name)
{
    // What was left out is told under the name it was left out under.
    _tellLeftOut();
    const std::lock_guard<std::mutex> lock(g_state);
    who = name;
}

void RateLimit::setAllowance(FloodAllowance* flood)
{
    allowance = flood;
}

void RateLimit::setQuietTime(int ms)
{
    quietMs = qMax(1, ms);
}

RateLimit* RateLimit::of(const QObject* object)
{
    for (QObject* o = const_cast<QObject*>(object); o && !o->isWidgetType(); o = o->parent()) {
        if (auto* source = qobject_cast<LimitSource*>(o))
            return source->logLimitFor(object);
    }
    return nullptr;
}

void RateLimit::_refill(qint64 now)
{
    balance = qMin(burst, balance + (now - refilledAt) * perSecond / 1000);
    refilledAt = now;
}

bool RateLimit::take(int threshold, const char* word, qint64 bytes)
{
    int wait = -1;
    {
        const std::lock_guard<std::mutex> lock(g_state);
        const qint64 now = clock.elapsed();
        _refill(now);
        const bool flooding = floodUntil > now;
        bool byAllowance = false;
        if (balance <= 0) {
            // Faster than the rate: a flood begins, or goes on.
            floodUntil = now + quietMs;
        } else if ((flooding || threshold <= AlwaysDrawn) && allowance && !allowance->draw(bytes)) {
            // More than the allowance: left out, but no flood by itself, or a
            // source that keeps to the rate would stay held back while the
            // allowance is used up. Counted all the same: a source faster
            // than the rate runs into debt, and so its flood goes on.
            balance -= bytes;
            byAllowance = true;
        } else {
            balance -= bytes;
            return true;
        }
        // Told once the source has been quiet a while.
        tellAfter = now + quietMs;
        if (finished)
            return false;
        if (leftOut == 0)
            toldAt = now;
        if (leftOut == 0 || threshold < leftOutThreshold) {
            leftOutThreshold = threshold;
            leftOutWord = word;
        }
        if (leftOut < std::numeric_limits<int>::max()) {
            ++leftOut;
            leftOutLong += byAllowance ? 1 : 0;
        }
        if (leftOut == 1)
            wait = quietMs;
    }
    if (wait >= 0)
        _arm(wait);
    return false;
}

void RateLimit::_arm(int ms)
{
    if (QThread::currentThread() == thread())
        tell.start(ms);
    else
        QMetaObject::invokeMethod(
            this, [this, ms] { tell.start(ms); }, Qt::QueuedConnection);
}

void RateLimit::_check()
{
    qint64 wait = 0;
    {
        const std::lock_guard<std::mutex> lock(g_state);
        const qint64 now = clock.elapsed();
        if (leftOut == 0 || finished)
            return;
        if (tellAfter > now && now - toldAt < TellEveryMs)
            wait = qMin(tellAfter, toldAt + TellEveryMs) - now;
    }
    if (wait > 0)
        tell.start(int(wait));
    else
        _tellLeftOut();
}

void RateLimit::finish()
{
    _tellLeftOut();
    const std::lock_guard<std::mutex> lock(g_state);
    finished = true;
}

void RateLimit::restore()
{
    _tellLeftOut();
    const std::lock_guard<std::mutex> lock(g_state);
    balance = burst;
    floodUntil = 0;
}

void RateLimit::_tellLeftOut()
{
    QString text;
    int threshold = 0;
    const char* word = nullptr;
    {
        const std::lock_guard<std::mutex> lock(g_state);
        if (leftOut == 0)
            return;
        const int fast = leftOut - leftOutLong;
        const QString because =
            leftOutLong == 0 ? QStringLiteral("it wrote faster than the log takes")
            : fast == 0      ? QStringLiteral("it wrote more than the log takes in a day")
                             : QStringLiteral("it wrote faster than the log takes (%1 lines), and "
                                                   "more than it takes in a day (%2 lines)")
                              .arg(fast)
                              .arg(leftOutLong);
        text = QStringLiteral("[Log] %1 lines of %2 left out: %3").arg(leftOut).arg(who, because);
        threshold = leftOutThreshold;
        word = leftOutWord;
        leftOut = 0;
        leftOutLong = 0;
        toldAt = clock.elapsed();
        // Told once, whatever the limit says; but it counts here.
        balance -= ToldLineHeader + utf8Size(text);
    }
    if (!enabled(threshold))
        return;
    const UserLines told;
    Line(word, ORVO_LOG_FILE, __func__, __LINE__, threshold) << text.toUtf8().constData();
}

void limitQtMessages()
{
    if (g_qt.load() || !QCoreApplication::instance())
        return;
    g_qt.store(new QtMessages);
    g_qt.load()->limit.setAllowance(&g_qt.load()->allowance);
    qAddPostRoutine(endQtMessageLimit);
    libvelcor::setMessageFilter(filterQtMessage);
}

void nameQtMessages(const QString& shown)
{
    if (QtMessages* qt = g_qt.load())
        qt->limit.setWho(shown.isEmpty()
                             ? QStringLiteral("Qt and the web engine")
                             : QStringLiteral("Qt and the web engine (%1 shown)").arg(shown));
}

void restoreQtMessageLimit()
{
    if (QtMessages* qt = g_qt.load()) {
        qt->allowance.restore();
        qt->limit.restore();
    }
}

} // namespace log
} // namespace ORVO
