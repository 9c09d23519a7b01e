#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace ORVO {

// Whether a portal load greys the sign-out now. It does while loads run, for
// a bounded time of loading in a row: a frame whose server holds the
// connection, or a page that starts its next load before the last one ends
// (a reload loop, a redirect chain, a frame that navigates the tab), would
// hold it for ever. Loads that follow each other without a pause are one
// run; once the run's bound has passed, its further loads hold nothing, and
// a load after a pause holds again.
class LoadHold : public QObject
{
    Q_OBJECT
public:
    explicit LoadHold(QObject* parent = nullptr);

    // A load started: true when the sign-out is to be greyed, until
    // finished() or released().
    bool started();
    void finished();
    // Forgets the run, as the session ends: nothing is released later.
    void reset();
    // Tests shorten it.
    void setBound(int ms) { bound = ms; }

signals:
    // The run's bound passed while a load held the sign-out.
    void released();

private:
    QTimer timer;
    // Since the first start of the run.
    QElapsedTimer run;
    // Since the last finish; invalid while a load runs.
    QElapsedTimer pause;
    int bound;
};

} // namespace ORVO
