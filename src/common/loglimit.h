#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "common/log.h"

namespace ORVO {
namespace log {

// What the sources that share it may write in all while they flood: a
// budget of bytes that refills slowly. Used up, it holds back only the
// sources that flood; one whose flood has ended writes again at once.
class FloodAllowance : public QObject
{
    Q_OBJECT

public:
    FloodAllowance(qint64 budget, qint64 perDay, QObject* parent = nullptr);

    // Takes bytes from the budget; false, taking nothing, once it is used up.
    bool draw(qint64 bytes);
    // Whole again (a new sign-in).
    void restore();

private:
    const double budget;
    const double perSecond;
    double balance;
    QElapsedTimer clock;
    qint64 refilledAt = 0;
};

// Holds back the lines that one source outside the program causes (the
// server's pages of a portal tab, the foreign documents in it, Qt's own
// messages), counted in bytes of the lines as written: it takes a burst,
// then as much as flows back in. A line that comes while the burst is used
// up starts a flood, which ends once no line has come too fast for the
// quiet time. What a flood writes, and every line that the default
// verbosity prints (notices and errors, which normal use writes few of),
// also draws on the allowance, if any; a line the allowance has no room
// for is left out, and once it is used up nothing of the flood is written
// until it ends. So normal use loses nothing, a flood
// writes a bounded amount at the default verbosity, and lines flow again
// soon after it ends. What is left out is counted and told in one line,
// whose bytes count here too, once the flood has ended (and every ten
// minutes while it goes on), or at once when the source goes; so a flood
// neither fills the disk nor pushes the user's earlier lines out of the
// log. Qt's messages may count from any thread.
class RateLimit : public QObject
{
    Q_OBJECT

public:
    static const int DefaultBurst = 64 * 1024;
    static const int DefaultPerSecond = 1024;
    static const int DefaultQuietMs = 30 * 1000;
    static const int TellEveryMs = 10 * 60 * 1000;
    // The lines of this level and more important ones always draw on the
    // allowance: those that the default verbosity prints.
    static const int AlwaysDrawn = 5;

    // who names the source in the line that tells what was left out.
    explicit RateLimit(const QString& who, int burst = DefaultBurst,
                       double perSecond = DefaultPerSecond, QObject* parent = nullptr);
    ~RateLimit() override;

    void setWho(const QString& name);
    // What this source writes while it floods draws on allowance too.
    void setAllowance(FloodAllowance* allowance);
    // How long no line may come too fast before a flood counts as ended.
    void setQuietTime(int ms);

    // The limit that what object (a frame, a page) causes counts against:
    // the choice of the nearest LimitSource among object and its parents
    // below the first widget; null when there is none.
    static RateLimit* of(const QObject* object);

    // Whether a line of that level and size may be written now; one that
    // may not is counted as left out. Asked only for lines that the log
    // level prints.
    bool take(int threshold, const char* word, qint64 bytes);
    // Tells at once what was left out, and from now on nothing: the source
    // goes.
    void finish();
    // Whole again, with no flood going on.
    void restore();

private:
    void _refill(qint64 now);
    // On the limit's thread: tells what was left out once the flood has
    // ended, or as it goes on; else waits for that.
    void _check();
    void _arm(int ms);
    void _tellLeftOut();

    QString who;
    const double burst;
    const double perSecond;
    double balance;
    int quietMs = DefaultQuietMs;
    QElapsedTimer clock;
    qint64 refilledAt = 0;
    // The flood goes on until then; 0 while none does.
    qint64 floodUntil = 0;
    // What was left out is told then at the earliest: once the source has
    // been quiet a while, or every ten minutes from toldAt.
    qint64 tellAfter = 0;
    qint64 toldAt = 0;
    QPointer<FloodAllowance> allowance;
    // Lines left out since the last line that told of them, by the rate and
    // by the allowance, and the most important level among them, at which
    // that line is written.
    int leftOut = 0;
    int leftOutLong = 0;
    int leftOutThreshold = 0;
    const char* leftOutWord = nullptr;
    bool finished = false;
    QTimer tell;
};

// An object whose lines count against limits of its own (a portal page):
// names the one that what origin (one of its frames, or itself) causes
// counts against.
class LimitSource
{
public:
    virtual ~LimitSource() = default;
    virtual RateLimit* logLimitFor(const QObject* origin) = 0;
};

// While it lives, the plain statements of this thread, and Qt's messages,
// count against limit (none, or once it is gone: nothing changes): what
// handling an event of a page logs, through every receiver of the signals
// it emits; not what a nested event loop that a receiver runs logs.
class LimitScope
{
public:
    explicit LimitScope(RateLimit* limit);
    ~LimitScope();
    LimitScope(const LimitScope&) = delete;
    LimitScope& operator=(const LimitScope&) = delete;

    // The limit of the innermost scope of this thread that has one; none
    // inside UserLines.
    static RateLimit* current();

protected:
    struct Unlimited
    {
    };
    explicit LimitScope(Unlimited);

private:
    QPointer<RateLimit> limit;
    bool unlimited = false;
    int loopLevel;
    LimitScope* outer;
};

// While it lives, no scope around counts the plain statements of this
// thread: the program's own account of what the user did or was shown (a
// failure in a box, the end of a session) is written whatever a page wrote
// before.
class UserLines : public LimitScope
{
public:
    UserLines() : LimitScope(Unlimited()) {}
};

// From now on, Qt's and the web engine's messages (every message that is
// not one of the program's own lines) count against the limit of the scope
// around them, or else against a limit of their own, with an allowance of
// its own. Once per process, with the application object, which ends it.
void limitQtMessages();
// The limit of Qt's messages whole again (a new sign-in).
void restoreQtMessageLimit();
// What is shown while Qt's messages come (a portal tab), which the line
// that tells what their limit left out names; none when empty.
void nameQtMessages(const QString& shown);

} // namespace log
} // namespace ORVO

Q_DECLARE_INTERFACE(ORVO::log::LimitSource, "org.corvane.orvo.LimitSource")

// A statement whose line counts against a RateLimit: the same levels as
// the plain ones.
#define ORVO_LOG_LIMITED_AT(limit, threshold, word)                                                \
    for (bool orvoLogOnce_ = ::ORVO::log::enabled(threshold); orvoLogOnce_; orvoLogOnce_ = false)  \
    ::ORVO::log::Line(word, ORVO_LOG_FILE, __func__, __LINE__, threshold, &(limit))

#define LOG_ERROR_LIMITED(limit) ORVO_LOG_LIMITED_AT(limit, 3, "ERROR")
#define LOG_NOTICE_LIMITED(limit) ORVO_LOG_LIMITED_AT(limit, 5, "notice")
#define LOG_DEBUG_LIMITED(limit) ORVO_LOG_LIMITED_AT(limit, 6, "debug")
#define LOG_TRACE_LIMITED(limit) ORVO_LOG_LIMITED_AT(limit, 7, "trace")
