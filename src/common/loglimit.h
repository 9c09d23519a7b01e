#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "common/log.h"

namespace ORVO {
namespace log {

// How much a limit lets through: a burst at once, then as much a second,
// counted in bytes of the lines as written.
struct LimitSize
{
    int burst;
    double perSecond;
};

// The sizes of the limits, and why. What one source outside the program
// causes (a portal tab's pages, whatever frame or document they come from;
// Qt's and the web engine's messages outside a page's events; the portal's
// requests outside a page) counts against one limit of that source.
namespace limits {
// A portal tab while the verbosity is above the default (Normal, High):
// far above what a busy server page writes at the most detailed verbosity,
// an advertisement frame included (60 images and 20 requests a page,
// reloaded every 2 s: about 13 KiB a second).
constexpr LimitSize DetailedTab{512 * 1024, 48 * 1024};
// Every other source, and a portal tab at the default verbosity (Low),
// where normal use writes next to nothing. At Low it is also the rate of
// the portal's tabs together (their allowance's): the server chooses how
// many tabs there are, and each tab's rate gathers while the tab is not
// shown, so the tabs' own rates alone would let N tabs write N times as
// fast. A tab's own rate still names the tab that floods, and bounds it
// above Low.
constexpr LimitSize Plain{64 * 1024, 1024};
// What the floods of all portal tabs, and those of Qt's messages, may write
// in all, then as much again a day; whole again at each sign-in. Together
// less than the log file holds before it is put aside (12 MiB), so a day of
// floods at the default verbosity, where every line printed draws on them,
// leaves the lines logged before it in the two files. At Low a quiet tab's
// lines go while another tab floods, as they would were the two pages
// frames of one tab; the user's lines, within their share, and the lines
// the limits never hold back, are written all the same.
constexpr qint64 PagesAllowance = 4 * 1024 * 1024;
constexpr qint64 QtAllowance = 2 * 1024 * 1024;
// A flood ends once no line has come too fast for this long.
constexpr int QuietMs = 30 * 1000;
// The lines of this level and more important ones (those that the default
// verbosity prints) always draw on the allowance, so a source below its
// rate is bounded too where only they are printed.
constexpr int AlwaysDrawn = 5;
// Above the default verbosity: from this level on lines are printed.
constexpr int DetailedFrom = 6;
// What the program writes for the command that a real input of the user's
// gave in one source (UserCommandLines) is written whatever the source
// wrote before, as far as the user's share goes: each line cut to take at
// most UserLineBytes in the file, and every line, the first ones included,
// drawn from the share (a burst, then as much a second); past that they
// count as the source's. The share is the portal's, one for all its tabs:
// the user clicks in one tab at a time, so more tabs give no more of it.
// So, with the tabs' rate together (Plain), no rate of clicking or typing,
// in any number of tabs, makes the pages write more than about 4 KiB a
// second at the default verbosity beyond their bursts. The share keeps room for the first lines of
// one command (one application's, or the line that says it was dropped): the later lines of a
// command never take it, so a click after a long command, or after a page's flood, in whatever tab,
// is written.
constexpr int UserLineBytes = 1024;
constexpr int UserFirstLines = 2;
constexpr LimitSize UserShare{4 * 1024, 3 * 1024};
static_assert(UserShare.burst >= 2 * UserFirstLines * UserLineBytes,
              "the share holds a command's first lines, and as much again for later ones");
// What the user's commands in a portal tab may ask for: this many actions
// (a bundle's applications each) within this time, the commands' delay.
// The page's commands never count against it, so the page's flood never
// pushes out the user's command; it holds a link that is itself a bundle
// of the page's choosing, which each click would otherwise run in full. As
// many as a page may ask for at once, so no bundle that the page may send
// is refused when the user clicks it.
constexpr int UserActions = 32;
constexpr int UserActionsMs = 300;
} // namespace limits

// Shared by sources (RateLimit::setAllowance): what their lines that draw
// on it (a flood's, and every line that the default verbosity prints) may
// write in all, a budget of bytes that refills slowly, and, if it has one,
// a rate that holds them together at the default verbosity only. Either
// used up leaves those lines out, and no others.
class FloodAllowance : public QObject
{
    Q_OBJECT

public:
    FloodAllowance(qint64 budget, qint64 perDay, QObject* parent = nullptr);
    // who names the sources that share it, in the lines that tell what its
    // rate left out.
    FloodAllowance(qint64 budget, qint64 perDay, LimitSize atLow, const QString& who,
                   QObject* parent = nullptr);

    enum Drawn {
        Taken,
        PastBudget,
        PastRate,
    };
    // Takes bytes from the budget, and at the default verbosity from the
    // rate; else says which is used up, taking nothing.
    Drawn draw(qint64 bytes);
    const QString& who() const { return sharers; }
    // Whole again (a new sign-in).
    void restore();

private:
    const double budget;
    const double perSecond;
    double balance;
    // The rate at the default verbosity: none while its burst is 0.
    const LimitSize atLow{0, 0};
    const QString sharers;
    double rateBalance = 0;
    QElapsedTimer clock;
    qint64 refilledAt = 0;
};

// What the user's commands write in all the sources that share it, as the
// user's lines: limits::UserShare.
class UserShare : public QObject
{
    Q_OBJECT

public:
    explicit UserShare(QObject* parent = nullptr);

    // Takes bytes for a line of the user's command: a command's first lines
    // while there is room, its later ones only above the room kept for the
    // next command's first lines; false, taking nothing, else.
    bool draw(qint64 bytes, bool first);
    // Whole again (a new sign-in).
    void restore();

private:
    double balance = limits::UserShare.burst;
    QElapsedTimer clock;
    qint64 refilledAt = 0;
};

// Holds back the lines that one source outside the program causes: it
// takes a burst, then as much as flows back in. A line that comes while
// the burst is used up starts a flood, which ends once no line has come too
// fast for the quiet time. What a flood writes, and every line that the
// default verbosity prints, also draws on the allowance, if any; a line the
// allowance has no room for is left out, which by itself starts no flood.
// So normal use loses nothing, a flood writes a bounded amount at the
// default verbosity, and lines flow again soon after it ends. The first
// line left out is told at once (who, and why), and how many once the
// source has been quiet a while, or at once when it goes. Qt's messages
// may count from any thread.
class RateLimit : public QObject
{
    Q_OBJECT

public:
    // who names the source in the lines that tell what was left out.
    explicit RateLimit(const QString& who, LimitSize size = limits::Plain,
                       QObject* parent = nullptr);
    // Above the default verbosity, the limit is detailed instead of plain.
    RateLimit(const QString& who, LimitSize plain, LimitSize detailed, QObject* parent = nullptr);
    ~RateLimit() override;

    void setWho(const QString& name);
    // What this source writes while it floods draws on allowance too.
    void setAllowance(FloodAllowance* allowance);
    // The user's commands in this source draw on share; without one, their
    // lines are the source's.
    void setUserShare(UserShare* share);
    // How long no line may come too fast before a flood counts as ended.
    void setQuietTime(int ms);

    // The limit that what object (a frame, a page) causes counts against:
    // that of the nearest LimitSource among object and its parents below
    // the first widget; null when there is none.
    static RateLimit* of(const QObject* object);

    // Whether a line of that level and size may be written now; one that
    // may not is counted as left out. Asked only for lines that are printed.
    bool take(int threshold, const char* word, qint64 bytes);
    // The same for a line of a command the user's input gave: written while
    // the user's share has room for it (UserShare::draw); else taken as the
    // source's own.
    bool takeUser(int threshold, const char* word, qint64 bytes, bool first);
    // Tells at once what was left out, and from now on nothing: the source
    // goes.
    void finish();
    // Whole again, with no flood going on.
    void restore();

private:
    void _refill(qint64 now, double burst, double perSecond);
    // On the limit's thread: tells that lines are left out, and how many
    // once the flood has ended; else waits for that.
    void _check();
    void _arm(int ms);
    // Writes a line that tells of the flood.
    void _tell(const QString& text, int threshold, const char* word);
    void _tellLeftOut();

    QString who;
    const LimitSize plain;
    const LimitSize detailed;
    double balance;
    int quietMs = limits::QuietMs;
    QElapsedTimer clock;
    qint64 refilledAt = 0;
    // The flood goes on until then; 0 while none does.
    qint64 floodUntil = 0;
    // How many were left out is told then at the earliest: once the source
    // has been quiet a while.
    qint64 tellAfter = 0;
    QPointer<FloodAllowance> allowance;
    QPointer<UserShare> userShare;
    // Why lines are left out: this source's rate, the allowance's rate
    // (that of the sources that share it), or its budget.
    enum Why { OwnRate, SharedRate, Budget, Whys };
    QString _why(Why why, bool past) const;
    // Lines left out since the last line that told how many, in all and for
    // each reason, and the most important level among them, at which that
    // line is written.
    int leftOut = 0;
    int leftOutBy[Whys] = {};
    int leftOutThreshold = 0;
    const char* leftOutWord = nullptr;
    // Who share the allowance whose rate left lines out.
    QString sharers;
    // That lines are left out has been told since then; why, the first time.
    bool begunTold = false;
    Why begunWhy = OwnRate;
    int begunThreshold = 0;
    const char* begunWord = nullptr;
    bool finished = false;
    QTimer tell;
};

// An object whose lines, and those of its children (a portal page and its
// frames), count against a limit of its own.
class LimitSource
{
public:
    virtual ~LimitSource() = default;
    virtual RateLimit* logLimit() = 0;
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
    // inside UnlimitedLines. found: that scope.
    static RateLimit* current(LimitScope** found = nullptr);
    // A UserCommandLines: its lines are cut to limits::UserLineBytes.
    bool isUserCommand() const { return userCommand; }
    // Whether a line of this scope may be written now (RateLimit::take, or
    // RateLimit::takeUser for a UserCommandLines).
    bool take(int threshold, const char* word, qint64 bytes);

protected:
    struct Unlimited
    {
    };
    explicit LimitScope(Unlimited);
    struct UserCommand
    {
    };
    LimitScope(UserCommand, RateLimit* limit, int firstLines);

private:
    QPointer<RateLimit> limit;
    bool unlimited = false;
    bool userCommand = false;
    int firstLines = 0;
    int loopLevel;
    LimitScope* outer;
};

// While it lives, no scope around counts the plain statements of this
// thread, and no limit holds them back: lines that are bounded by
// themselves and written whatever a page wrote before (a failure shown in a
// box, one a box; the end of a portal session, once for each of the
// client's loads; the lines of a limit that tell what it left out).
class UnlimitedLines : public LimitScope
{
public:
    UnlimitedLines() : LimitScope(Unlimited()) {}
};

// While it lives, the plain statements of this thread are the lines of the
// command that a real input of the user's gave in the source of limit (one
// command per input): each is cut to limits::UserLineBytes and drawn from
// the user's share (RateLimit::takeUser), the first firstLines as the
// command's first lines, else counted against limit. Qt's messages count
// against limit.
class UserCommandLines : public LimitScope
{
public:
    explicit UserCommandLines(RateLimit* limit, int firstLines = limits::UserFirstLines)
        : LimitScope(UserCommand(), limit, firstLines)
    {
    }
};

// From now on, Qt's and the web engine's messages (every message that is
// not one of the program's own lines) are written as the program's lines
// are, with the date, thread and their own level ("debug", "notice",
// "warning", "ERROR", "FATAL") and the location "Qt" (and the category of
// the message, if any), and count against the limit of the scope around
// them, or else against a limit of their own, with an allowance of its own;
// a fatal message is always written. Once per process, with the
// application object, which ends it.
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
