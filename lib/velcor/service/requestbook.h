#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

namespace libvelcor {
namespace detail {

// The requests of the service connection: held while the service is not
// ready, then in flight until answered, each ended by its deadline at the
// latest. Bookkeeping only: the connection sends them and tells the
// receivers how each ended.
class RequestBook
{
public:
    typedef std::function<void(int rc, const QJsonObject& reply)> Reply;

    struct Pending
    {
        qint64 id = 0;
        QJsonObject message;
        QPointer<QObject> context;
        Reply reply;
        qint64 deadline = 0;
        // May wait for a later connection.
        bool hold = true;
        // The name the connection remembers it under, if any.
        QString remembered;
    };

    explicit RequestBook(int capacity) : capacity(capacity) {}

    bool isFull() const { return held.size() + inFlight.size() >= capacity; }
    qint64 newId() { return next++; }
    void hold(const Pending& pending) { held.append(pending); }
    void sent(const Pending& pending) { inFlight.insert(pending.id, pending); }
    // The request answered under id; false when none waits under it.
    bool takeAnswered(qint64 id, Pending& out);
    QList<Pending> takeHeld();
    // The held requests that may not wait for a later connection.
    QList<Pending> takeUnheld();
    QList<Pending> takeInFlight();
    // Those whose deadline has come by now, the held ones first.
    QList<Pending> takeExpired(qint64 now);
    // The earliest deadline, or -1 without requests.
    qint64 nextDeadline() const;
    void clear();

private:
    QList<Pending> held;
    QHash<qint64, Pending> inFlight;
    qint64 next = 1;
    const int capacity;
};

} // namespace detail
} // namespace libvelcor
