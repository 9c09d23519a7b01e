#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "common/log.h"

namespace ORVO {
namespace log {

// Holds back the lines that one source outside the program causes (the
// pages of a portal tab): it may write a burst, then only as much as
// flows back in, counted in characters of the lines written. What it
// leaves out is counted and told in one line as soon as the source may
// write again, or when the limit goes; so a flood neither fills the disk
// nor pushes the user's earlier lines out of the log. Used on one thread.
class RateLimit : public QObject
{
    Q_OBJECT

public:
    static const int DefaultBurst = 64 * 1024;
    static const int DefaultPerSecond = 1024;

    // who names the source in the line that tells what was left out.
    explicit RateLimit(const char* who, int burst = DefaultBurst,
                       int perSecond = DefaultPerSecond, QObject* parent = nullptr);
    ~RateLimit() override;

    // Whether a line of that level may be written now; one that may not is
    // counted as left out. Asked only for lines that the log level prints.
    bool admit(int threshold, const char* word);
    // What an admitted line took.
    void charge(int characters);

private:
    void _refill();
    void _tellLeftOut();

    const char* who;
    const double burst;
    const double perSecond;
    double balance;
    QElapsedTimer clock;
    qint64 refilledAt = 0;
    // Lines left out since the last line that told of them, and the most
    // important level among them, at which that line is written.
    int leftOut = 0;
    int leftOutThreshold = 0;
    const char* leftOutWord = nullptr;
    QTimer tell;
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
