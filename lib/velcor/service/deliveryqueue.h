#pragma once

#include <QObject>
#include <QQueue>

#include <functional>

namespace libvelcor {
namespace detail {

// What the service connection has to tell its receivers (events, answers,
// losses, errors), handed on from the event loop, one item per turn, in the
// order it was pushed, and one at a time: an item starts only once the one
// before has returned from every receiver. A receiver that runs an event
// loop of its own (a modal box) therefore holds back the items after its
// own, for all receivers alike, instead of letting them overtake the one it
// is in; the turns its loop runs do nothing.
//
// Holding back must not mean holding everything: once `bound` items wait,
// the queue is full and the one who pushes stops reading; drained() tells
// it to read again when half of them have been handed on.
class DeliveryQueue : public QObject
{
    Q_OBJECT
public:
    explicit DeliveryQueue(int bound);

    void push(std::function<void()> item);
    // Drops what waits; an item under way runs to its end.
    void clear();
    // Full from reaching the bound until drained().
    bool isFull() const { return full; }

signals:
    void drained();

private slots:
    void _run();

private:
    void post();

    QQueue<std::function<void()>> items;
    const int bound;
    bool posted = false;
    bool running = false;
    bool full = false;
};

} // namespace detail
} // namespace libvelcor
