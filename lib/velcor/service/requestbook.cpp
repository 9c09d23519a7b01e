#include "requestbook.h"

namespace libvelcor {
namespace detail {

bool RequestBook::takeAnswered(qint64 id, Pending& out)
{
    auto it = inFlight.find(id);
    if (id < 0 || it == inFlight.end())
        return false;
    out = it.value();
    inFlight.erase(it);
    return true;
}

QList<RequestBook::Pending> RequestBook::takeHeld()
{
    QList<Pending> out;
    out.swap(held);
    return out;
}

QList<RequestBook::Pending> RequestBook::takeUnheld()
{
    QList<Pending> out;
    for (int i = held.size() - 1; i >= 0; --i) {
        if (!held.at(i).hold)
            out.prepend(held.takeAt(i));
    }
    return out;
}

QList<RequestBook::Pending> RequestBook::takeInFlight()
{
    const QList<Pending> out = inFlight.values();
    inFlight.clear();
    return out;
}

QList<RequestBook::Pending> RequestBook::takeExpired(qint64 now)
{
    QList<Pending> out;
    for (int i = held.size() - 1; i >= 0; --i) {
        if (held.at(i).deadline <= now)
            out.prepend(held.takeAt(i));
    }
    for (auto it = inFlight.begin(); it != inFlight.end();) {
        if (it->deadline <= now) {
            out.append(it.value());
            it = inFlight.erase(it);
        } else {
            ++it;
        }
    }
    return out;
}

qint64 RequestBook::nextDeadline() const
{
    qint64 earliest = -1;
    for (const Pending& p : held)
        if (earliest < 0 || p.deadline < earliest)
            earliest = p.deadline;
    for (const Pending& p : inFlight)
        if (earliest < 0 || p.deadline < earliest)
            earliest = p.deadline;
    return earliest;
}

void RequestBook::clear()
{
    held.clear();
    inFlight.clear();
}

} // namespace detail
} // namespace libvelcor
