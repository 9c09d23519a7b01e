#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "common/log.h"

namespace ORVO {
namespace log {

// Holds back the lines that one source outside the program causes (the
// pages of a portal tab): it may write a burst, then only as much as
// flows back in, counted in bytes of the lines written. A limit may share
// a second one with other sources, which then holds them all back
// together. What it leaves out is counted and told in one line as soon as
// the source may write again, or when the limit goes; so a flood neither
// fills the disk nor pushes the user's earlier lines out of the log. Used
// on one thread.
class RateLimit : public QObject
{
    Q_OBJECT

public:
    static const int DefaultBurst = 64 * 1024;
    static const int DefaultPerSecond = 1024;

    // who names the source in the line that tells what was left out.
    explicit RateLimit(const char* who, int burst = DefaultBurst,
                       double perSecond = DefaultPerSecond, QObject* parent = nullptr);
    ~RateLimit() override;

    // Lines counted here count against shared too, and wait for both.
    void setShared(RateLimit* limit) { shared = limit; }
    // The limit of object, or of the nearest of its parents below the
    // first widget, that one of their direct children is (a page's, from
    // any of its frames); null when none is.
    static RateLimit* of(const QObject* object);

    // Whether a line of that level may be written now; one that may not is
    // counted as left out. Asked only for lines that the log level prints.
    bool admit(int threshold, const char* word);
    // What an admitted line took, in bytes.
    void charge(qint64 bytes);

private:
    void _refill();
    // How long until a line may be written again.
    int _msUntilOpen();
    void _tellLeftOut();

    const char* who;
    const double burst;
    const double perSecond;
    double balance;
    QElapsedTimer clock;
    qint64 refilledAt = 0;
    QPointer<RateLimit> shared;
    // Lines left out since the last line that told of them, and the most
    // important level among them, at which that line is written.
    int leftOut = 0;
    int leftOutThreshold = 0;
    const char* leftOutWord = nullptr;
    QTimer tell;
};

// While it lives, the plain statements of this thread count against limit
// (none, or once it is gone: nothing changes): what handling an event of a
// page logs, through every receiver of the signals it emits; not what a
// nested event loop that a receiver runs logs.
class LimitScope
{
public:
    explicit LimitScope(RateLimit* limit);
    ~LimitScope();
    LimitScope(const LimitScope&) = delete;
    LimitScope& operator=(const LimitScope&) = delete;

    // The limit of the innermost scope of this thread that has one.
    static RateLimit* current();

private:
    QPointer<RateLimit> limit;
    int loopLevel;
    LimitScope* outer;
};

} // namespace log
} // namespace ORVO

// A statement whose line counts against a RateLimit: the same levels as
// the plain ones.
#define ORVO_LOG_LIMITED_AT(limit, threshold, word)                                                \
    for (bool orvoLogOnce_ = ::ORVO::log::enabled(threshold) && (limit).admit(threshold, word);    \
         orvoLogOnce_; orvoLogOnce_ = false)                                                       \
    ::ORVO::log::Line(word, ORVO_LOG_FILE, __func__, __LINE__, &(limit))

#define LOG_ERROR_LIMITED(limit) ORVO_LOG_LIMITED_AT(limit, 3, "ERROR")
#define LOG_NOTICE_LIMITED(limit) ORVO_LOG_LIMITED_AT(limit, 5, "notice")
#define LOG_DEBUG_LIMITED(limit) ORVO_LOG_LIMITED_AT(limit, 6, "debug")
#define LOG_TRACE_LIMITED(limit) ORVO_LOG_LIMITED_AT(limit, 7, "trace")
