#include "common/loglimit.h"

#include <QThread>
#include <QtMath>

#include <limits>

namespace ORVO {
namespace log {

namespace {
thread_local LimitScope* t_scope = nullptr;
} // namespace

bool admitScoped(int threshold, const char* word)
{
    RateLimit* limit = LimitScope::current();
    return !limit || limit->admit(threshold, word);
}

RateLimit* scopedLimit()
{
    return LimitScope::current();
}

LimitScope::LimitScope(RateLimit* limit)
    : limit(limit), loopLevel(QThread::currentThread()->loopLevel()), outer(t_scope)
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
        if (scope->limit)
            return scope->limit.data();
    }
    return nullptr;
}

RateLimit::RateLimit(const char* who, int burst, double perSecond, QObject* parent)
    : QObject(parent), who(who), burst(burst), perSecond(qMax(0.001, perSecond)), balance(burst)
{
    clock.start();
    tell.setSingleShot(true);
    connect(&tell, &QTimer::timeout, this, [this]() {
        const int wait = _msUntilOpen();
        if (wait > 0)
            tell.start(wait);
        else
            _tellLeftOut();
    });
}

RateLimit::~RateLimit()
{
    if (leftOut > 0)
        _tellLeftOut();
}

RateLimit* RateLimit::of(const QObject* object)
{
    for (const QObject* o = object; o && !o->isWidgetType(); o = o->parent()) {
        if (auto* limit = o->findChild<RateLimit*>(QString(), Qt::FindDirectChildrenOnly))
            return limit;
    }
    return nullptr;
}

bool RateLimit::admit(int threshold, const char* word)
{
    if (_msUntilOpen() == 0) {
        if (leftOut > 0)
            _tellLeftOut();
        return true;
    }
    if (leftOut == 0 || threshold < leftOutThreshold) {
        leftOutThreshold = threshold;
        leftOutWord = word;
    }
    if (leftOut < std::numeric_limits<int>::max())
        ++leftOut;
    if (!tell.isActive())
        tell.start(_msUntilOpen());
    return false;
}

void RateLimit::charge(qint64 bytes)
{
    balance -= bytes;
    if (shared)
        shared->charge(bytes);
}

void RateLimit::_refill()
{
    const qint64 now = clock.elapsed();
    balance = qMin(burst, balance + (now - refilledAt) * perSecond / 1000);
    refilledAt = now;
}

int RateLimit::_msUntilOpen()
{
    _refill();
    // Asked again at least every hour.
    const int own = balance > 0 ? 0 : qCeil(qMin(3600000.0, (1 - balance) * 1000 / perSecond));
    return shared ? qMax(own, shared->_msUntilOpen()) : own;
}

void RateLimit::_tellLeftOut()
{
    tell.stop();
    const int count = leftOut;
    leftOut = 0;
    // Told once, whatever it costs: one line for many.
    if (enabled(leftOutThreshold))
        Line(leftOutWord, ORVO_LOG_FILE, __func__, __LINE__)
            << "[Log] " << count << " lines of " << who
            << " left out: it wrote more than the log takes at once";
}

} // namespace log
} // namespace ORVO
