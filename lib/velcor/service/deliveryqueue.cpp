#include "deliveryqueue.h"

#include <QPointer>

namespace libvelcor {
namespace detail {

DeliveryQueue::DeliveryQueue(int bound) : bound(qMax(2, bound)) {}

void DeliveryQueue::push(std::function<void()> item)
{
    items.enqueue(std::move(item));
    if (items.size() >= bound)
        full = true;
    post();
}

void DeliveryQueue::clear()
{
    items.clear();
    full = false;
}

void DeliveryQueue::post()
{
    if (posted || running || items.isEmpty())
        return;
    posted = true;
    QMetaObject::invokeMethod(this, &DeliveryQueue::_run, Qt::QueuedConnection);
}

void DeliveryQueue::_run()
{
    posted = false;
    // A turn of a receiver's own event loop: the item under way goes on
    // when that receiver returns.
    if (running || items.isEmpty())
        return;
    const std::function<void()> item = items.dequeue();
    // A receiver may delete the last API object, and with it the
    // connection that owns this queue.
    QPointer<DeliveryQueue> self(this);
    running = true;
    item();
    if (!self)
        return;
    running = false;
    post();
    if (full && items.size() <= bound / 2) {
        full = false;
        emit drained();
    }
}

} // namespace detail
} // namespace libvelcor
