#include "gui/mainwindow/loadhold.h"

#include <algorithm>
#include <cmath>

namespace ORVO {

namespace {

// The budget holds 10 s and fills at a twelfth of the time the sign-out is
// free. So a hold lasts 10 s at most, a press waits no longer, and in any
// minute the sign-out is held for at most 10 + 60 / 12 = 15 s: free three
// quarters of it, whatever the page's loads do.
const int CapacityMs = 10000;
const int RefillDivisor = 12;
// Less left than this share of the budget holds nothing: so short a hold
// would protect little and only make a press wait.
const int LeastShareDivisor = 20;

} // namespace

LoadHold::LoadHold(QObject* parent) : QObject(parent), capacity(CapacityMs), left(CapacityMs)
{
    clock.start();
    timer.setSingleShot(true);
    // A coarse timer may fire up to 5% early, leaving budget enough for
    // the next load to hold the sign-out again at once.
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, [this] {
        _settle();
        held = false;
        emit released();
        _endPress(true);
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
    _endPress(true);
}

void LoadHold::press()
{
    if (waiting)
        return;
    if (held) {
        waiting = true;
        emit pressWaitsChanged(true);
        return;
    }
    _setOut(true);
    emit signOut();
}

void LoadHold::signOutBegun()
{
    // Out first: the button never shows an enabled Logout in between.
    _setOut(true);
    _endPress(false);
}

void LoadHold::reset()
{
    timer.stop();
    held = false;
    left = capacity;
    lastNs = clock.nsecsElapsed();
    _endPress(false);
    _setOut(false);
}

void LoadHold::_endPress(bool carryOut)
{
    if (!waiting)
        return;
    waiting = false;
    // Told before it is carried out: the sign-out may take the window away.
    if (carryOut)
        out = true;
    emit pressWaitsChanged(false);
    if (carryOut) {
        emit signingOutChanged();
        emit signOut();
    }
}

void LoadHold::_setOut(bool on)
{
    if (out == on)
        return;
    out = on;
    emit signingOutChanged();
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
    // Time held is paid in full, even past a late release.
    left = held ? left - ms : std::min(double(capacity), left + ms / RefillDivisor);
}

} // namespace ORVO
