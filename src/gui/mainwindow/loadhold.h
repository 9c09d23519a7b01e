#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace ORVO {

// Whether a portal load holds the sign-out now, and the user's press of it.
// A load holds the sign-out while it runs, as long as a budget of holding
// time lasts: the budget drains while the sign-out is held and fills slowly
// while it is not. So no page keeps the user from signing out for long,
// whether it holds a connection for ever, reloads itself or loads in bursts
// with pauses between; a load after a quiet while finds the budget full.
//
// A press is never lost: one made while a load holds the sign-out waits,
// and is carried out as the hold ends, by the load's end or by the budget.
// From a press carried out (or a sign-out begun elsewhere) until the
// session ends, the sign-out is under way.
class LoadHold : public QObject
{
    Q_OBJECT
public:
    explicit LoadHold(QObject* parent = nullptr);

    // A load started: true when it holds the sign-out, until finished() or
    // released(). A load that starts while another holds changes nothing.
    bool started();
    void finished();
    bool holds() const { return held; }
    // The user pressed the sign-out: carried out at once when no load holds
    // it, else as the hold ends. A press while one waits does nothing more.
    void press();
    bool pressWaits() const { return waiting; }
    // The sign-out began, however: a waiting press ends without being
    // carried out.
    void signOutBegun();
    bool signingOut() const { return out; }
    // The session ends: forgets everything, and a waiting press ends
    // without being carried out; nothing is released later.
    void reset();
    // Tests shorten every time of the rule with it; the budget starts full.
    void setCapacity(int ms);

signals:
    // The budget ran out while a load held the sign-out.
    void released();
    // A press waits from now (true), or no more (false).
    void pressWaitsChanged(bool waits);
    void signingOutChanged();
    // The user's press, to be carried out now.
    void signOut();

private:
    void _settle();
    // Where a waiting press ends: carried out, or gone with its session.
    void _endPress(bool carryOut);
    void _setOut(bool on);

    QTimer timer;
    // Runs from the construction; lastNs is the time settled up to.
    QElapsedTimer clock;
    qint64 lastNs = 0;
    int capacity;
    // Milliseconds of holding paid for; below zero when a release came
    // late, which later holding pays back.
    double left;
    bool held = false;
    bool waiting = false;
    bool out = false;
};

} // namespace ORVO
