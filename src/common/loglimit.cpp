#include "common/loglimit.h"

#include <QtMath>

namespace ORVO {
namespace log {

RateLimit::RateLimit(const char* who, int burst, int perSecond, QObject* parent)
    : QObject(parent), who(who), burst(burst), perSecond(qMax(1, perSecond)), balance(burst)
{
    clock.start();
    tell.setSingleShot(true);
    connect(&tell, &QTimer::timeout, this, [this]() {
        _refill();
        if (balance > 0)
            _tellLeftOut();
        else
            tell.start(qCeil((1 - balance) * 1000 / this->perSecond));
    });
}

RateLimit::~RateLimit()
{
    if (leftOut > 0)
        _tellLeftOut();
}

bool RateLimit::admit(int threshold, const char* word)
{
    _refill();
    if (balance > 0) {
        if (leftOut > 0)
            _tellLeftOut();
        return true;
    }
    if (leftOut == 0 || threshold < leftOutThreshold) {
        leftOutThreshold = threshold;
        leftOutWord = word;
    }
    ++leftOut;
    if (!tell.isActive())
        tell.start(qCeil((1 - balance) * 1000 / perSecond));
    return false;
}

void RateLimit::charge(int characters)
{
    balance -= characters;
}

void RateLimit::_refill()
{
    const qint64 now = clock.elapsed();
    balance = qMin(burst, balance + (now - refilledAt) * perSecond / 1000);
    refilledAt = now;
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
