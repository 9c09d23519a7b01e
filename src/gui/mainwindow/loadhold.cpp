#include "gui/mainwindow/loadhold.h"

namespace ORVO {

namespace {

// Loading in a row that long no longer keeps the user from signing out.
const int BoundMs = 10000;
// A shorter gap between one load's end and the next one's start (a
// navigation ends the old load as it starts the new one) is no pause.
const int PauseMs = 1000;

} // namespace

LoadHold::LoadHold(QObject* parent) : QObject(parent), bound(BoundMs)
{
    timer.setSingleShot(true);
    // A coarse timer may fire early: a load started just then would grey
    // the buttons again.
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &LoadHold::released);
}

bool LoadHold::started()
{
    if (!run.isValid() || (pause.isValid() && pause.elapsed() >= PauseMs))
        run.start();
    pause.invalidate();
    const qint64 left = bound - run.elapsed();
    if (left <= 0)
        return false;
    timer.start(int(left));
    return true;
}

void LoadHold::finished()
{
    timer.stop();
    pause.start();
}

void LoadHold::reset()
{
    timer.stop();
    run.invalidate();
    pause.invalidate();
}

} // namespace ORVO
