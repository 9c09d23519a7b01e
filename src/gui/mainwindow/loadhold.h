#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace ORVO {

// Whether a portal load greys the sign-out now. A load greys it while it
// runs, as long as a budget of greying time lasts: the budget drains while
// the sign-out is greyed and fills slowly while it is usable. So no page
// keeps the user from signing out, whether it holds a connection for ever,
// reloads itself or loads in bursts with pauses between; a load after a
// quiet while finds the budget full.
class LoadHold : public QObject
{
    Q_OBJECT
public:
    explicit LoadHold(QObject* parent = nullptr);

    // A load started: true when the sign-out is to be greyed, until
    // finished() or released(). A load that starts while another holds
    // changes nothing.
    bool started();
    void finished();
    // Forgets everything, as the session ends: nothing is released later.
    void reset();
    // Tests shorten every time of the rule with it; the budget starts full.
    void setCapacity(int ms);

signals:
    // The budget ran out while a load held the sign-out.
    void released();

private:
    void _settle();

    QTimer timer;
    // Runs from the construction; lastNs is the time settled up to.
    QElapsedTimer clock;
    qint64 lastNs = 0;
    int capacity;
    // Milliseconds of greying paid for; below zero when a release came
    // late, which later greying pays back.
    double left;
    bool held = false;
};

} // namespace ORVO
