#include "gui/mainwindow/loadhold.h"

#include <algorithm>
#include <cmath>

namespace ORVO {

namespace {

// The budget holds 10 s and fills at a twelfth of the time the sign-out is
// usable. So a hold lasts 10 s at most, and in any minute the sign-out is
// greyed for at most 10 + 60 / 12 = 15 s: usable three quarters of it,
// whatever the page's loads do.
const int CapacityMs = 10000;
const int RefillDivisor = 12;
// Less left than this share of the budget greys nothing: so short a hold
// would only make the buttons flicker.
const int LeastShareDivisor = 20;

} // namespace

LoadHold::LoadHold(QObject* parent) : QObject(parent), capacity(CapacityMs), left(CapacityMs)
{
    clock.start();
    timer.setSingleShot(true);
    // A coarse timer may fire up to 5% early, leaving budget enough for
    // the next load to grey the buttons again at once.
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, [this] {
        _settle();
        held = false;
        emit released();
    });
}

bool LoadHold::started()
{
    if (held)
        return true;
    _settle();
    if (left < double(capacity) / LeastShareDivisor)
        return false;
    held = true;
    timer.start(int(std::ceil(left)));
    return true;
}

void LoadHold::finished()
{
    _settle();
    held = false;
    timer.stop();
}

void LoadHold::reset()
{
    timer.stop();
    held = false;
    left = capacity;
    lastNs = clock.nsecsElapsed();
}

void LoadHold::setCapacity(int ms)
{
    capacity = ms;
    reset();
}

void LoadHold::_settle()
{
    const qint64 now = clock.nsecsElapsed();
    const double ms = double(now - lastNs) / 1e6;
    lastNs = now;
    // Time greyed is paid in full, even past a late release.
    left = held ? left - ms : std::min(double(capacity), left + ms / RefillDivisor);
}

} // namespace ORVO
