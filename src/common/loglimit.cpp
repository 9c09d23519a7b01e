#include "common/loglimit.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>
#include <QtMath>

#include <atomic>
#include <limits>
#include <mutex>

#include "libvelcor/logger.h"

namespace ORVO {
namespace log {

namespace {

thread_local LimitScope* t_scope = nullptr;

// Guards the state of every limit and allowance: Qt's messages count from
// any thread. Never held while anything is logged or a timer is started.
std::mutex g_state;

// Qt's messages outside a page's events: the limit and allowance of their
// own, made with the application object and gone with it.
struct QtMessages
{
    FloodAllowance allowance{limits::QtAllowance, limits::QtAllowance};
    RateLimit limit{QStringLiteral("Qt and the web engine")};
};
std::atomic<QtMessages*> g_qt{nullptr};

struct QtLevel
{
    int threshold;
    const char* word;
};

QtLevel qtLevel(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return {6, "debug"};
    case QtInfoMsg:
        return {5, "notice"};
    case QtWarningMsg:
        return {4, "warning"};
    case QtCriticalMsg:
        return {3, "ERROR"};
    case QtFatalMsg:
        break;
    }
    return {2, "FATAL"};
}

// A message of Qt's or of the web engine's, as the program's lines read;
// null when its limit leaves it out.
QString qtMessageLine(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    const QtLevel level = qtLevel(type);
    QString line = lineStart(level.word) + QLatin1String("Qt");
    const QLatin1String category(context.category ? context.category : "default");
    if (category != QLatin1String("default"))
        line += QLatin1Char(':') + category;
    line = libvelcor::escapeLogText(line + QLatin1String("] ") + msg);
    // The program ends with it: its cause is always written.
    if (type == QtFatalMsg)
        return line;
    RateLimit* limit = LimitScope::current();
    QtMessages* qt = g_qt.load();
    if (!limit && qt)
        limit = &qt->limit;
    // Written whatever the verbosity: counted as what the default one prints.
    return !limit || limit->take(qMin(level.threshold, limits::AlwaysDrawn), level.word,
                                 utf8Size(line))
               ? line
               : QString();
}

// Kept, not deleted: another thread may be deciding about a message still.
void endQtMessageLimit()
{
    libvelcor::setMessageFilter(nullptr);
    if (QtMessages* qt = g_qt.load())
        qt->limit.finish();
}

} // namespace

FloodAllowance::FloodAllowance(qint64 budget, qint64 perDay, QObject* parent)
    : FloodAllowance(budget, perDay, LimitSize{0, 0}, QString(), parent)
{
}

FloodAllowance::FloodAllowance(qint64 budget, qint64 perDay, LimitSize atLow, const QString& who,
                               QObject* parent)
    : QObject(parent), budget(budget), perSecond(perDay / 86400.0), balance(budget), atLow(atLow),
      sharers(who), rateBalance(atLow.burst)
{
    clock.start();
}

FloodAllowance::Drawn FloodAllowance::draw(qint64 bytes)
{
    // Under g_state, held by the limit that draws.
    const qint64 now = clock.elapsed();
    const double seconds = (now - refilledAt) / 1000.0;
    balance = qMin(budget, balance + seconds * perSecond);
    rateBalance = qMin<double>(atLow.burst, rateBalance + seconds * atLow.perSecond);
    refilledAt = now;
    if (balance <= 0)
        return PastBudget;
    // The verbosity the user chose: it may change at any time.
    const bool rated = atLow.burst > 0 && !enabled(limits::DetailedFrom);
    if (rated && rateBalance <= 0)
        return PastRate;
    balance -= bytes;
    if (rated)
        rateBalance -= bytes;
    return Taken;
}

void FloodAllowance::restore()
{
    const std::lock_guard<std::mutex> lock(g_state);
    balance = budget;
    rateBalance = atLow.burst;
}

UserShare::UserShare(QObject* parent) : QObject(parent)
{
    clock.start();
}

bool UserShare::draw(qint64 bytes, bool first)
{
    // Under g_state, held by the limit that draws. Room for the first lines
    // of the next command stays.
    const qint64 kept = first ? 0 : limits::UserFirstLines * limits::UserLineBytes;
    const qint64 now = clock.elapsed();
    balance = qMin<double>(limits::UserShare.burst,
                           balance + (now - refilledAt) * limits::UserShare.perSecond / 1000);
    refilledAt = now;
    if (balance - bytes < kept)
        return false;
    balance -= bytes;
    return true;
}

void UserShare::restore()
{
    const std::lock_guard<std::mutex> lock(g_state);
    balance = limits::UserShare.burst;
}

LimitScope::LimitScope(RateLimit* limit)
    : limit(limit), loopLevel(QThread::currentThread()->loopLevel()), outer(t_scope)
{
    t_scope = this;
}

LimitScope::LimitScope(Unlimited)
    : unlimited(true), loopLevel(QThread::currentThread()->loopLevel()), outer(t_scope)
{
    t_scope = this;
}

LimitScope::LimitScope(UserCommand, RateLimit* limit, int firstLines)
    : limit(limit), userCommand(true), firstLines(firstLines),
      loopLevel(QThread::currentThread()->loopLevel()), outer(t_scope)
{
    t_scope = this;
}

LimitScope::~LimitScope()
{
    t_scope = outer;
}

RateLimit* LimitScope::current(LimitScope** found)
{
    if (found)
        *found = nullptr;
    if (!t_scope)
        return nullptr;
    // A nested event loop (a modal box, a file dialog) handles everything
    // else too: the scopes outside it do not count what it logs.
    const int level = QThread::currentThread()->loopLevel();
    for (LimitScope* scope = t_scope; scope && scope->loopLevel >= level; scope = scope->outer) {
        if (scope->unlimited)
            return nullptr;
        if (scope->limit) {
            if (found)
                *found = scope;
            return scope->limit.data();
        }
    }
    return nullptr;
}

bool LimitScope::take(int threshold, const char* word, qint64 bytes)
{
    if (!limit)
        return true;
    if (!userCommand)
        return limit->take(threshold, word, bytes);
    const bool first = firstLines > 0;
    if (first)
        --firstLines;
    return limit->takeUser(threshold, word, bytes, first);
}

RateLimit::RateLimit(const QString& who, LimitSize size, QObject* parent)
    : RateLimit(who, size, size, parent)
{
}

RateLimit::RateLimit(const QString& who, LimitSize plain, LimitSize detailed, QObject* parent)
    : QObject(parent), who(who), plain(plain), detailed(detailed),
      balance(qMax(plain.burst, detailed.burst))
{
    clock.start();
    tell.setSingleShot(true);
    connect(&tell, &QTimer::timeout, this, &RateLimit::_check);
}

RateLimit::~RateLimit()
{
    if (!finished)
        _tellLeftOut();
}

void RateLimit::setWho(const QString& name)
{
    // What was left out is told under the name it was left out under.
    _tellLeftOut();
    const std::lock_guard<std::mutex> lock(g_state);
    who = name;
}

void RateLimit::setAllowance(FloodAllowance* flood)
{
    allowance = flood;
}

void RateLimit::setUserShare(UserShare* share)
{
    userShare = share;
}

void RateLimit::setQuietTime(int ms)
{
    quietMs = qMax(1, ms);
}

RateLimit* RateLimit::of(const QObject* object)
{
    for (QObject* o = const_cast<QObject*>(object); o && !o->isWidgetType(); o = o->parent()) {
        if (auto* source = qobject_cast<LimitSource*>(o))
            return source->logLimit();
    }
    return nullptr;
}

void RateLimit::_refill(qint64 now, double burst, double perSecond)
{
    balance = qMin(burst, balance + (now - refilledAt) * qMax(0.001, perSecond) / 1000);
    refilledAt = now;
}

bool RateLimit::take(int threshold, const char* word, qint64 bytes)
{
    bool first = false;
    {
        const std::lock_guard<std::mutex> lock(g_state);
        const qint64 now = clock.elapsed();
        // The verbosity the user chose: it may change at any time.
        const LimitSize& size = enabled(limits::DetailedFrom) ? detailed : plain;
        _refill(now, size.burst, size.perSecond);
        const bool flooding = floodUntil > now;
        FloodAllowance::Drawn drawn = FloodAllowance::Taken;
        Why why = OwnRate;
        if (balance <= 0) {
            // Faster than the rate: a flood begins, or goes on.
            floodUntil = now + quietMs;
        } else if ((flooding || threshold <= limits::AlwaysDrawn) && allowance &&
                   (drawn = allowance->draw(bytes)) != FloodAllowance::Taken) {
            // More than the allowance, or faster than the sources that share
            // it may write together: left out, but no flood by itself, or a
            // source that keeps to its rate would stay held back while the
            // allowance is used up. Counted all the same: a source faster than
            // its rate runs into debt, and so its flood goes on.
            balance -= bytes;
            why = drawn == FloodAllowance::PastBudget ? Budget : SharedRate;
            if (why == SharedRate)
                sharers = allowance->who();
        } else {
            balance -= bytes;
            return true;
        }
        // Told once the source has been quiet a while.
        tellAfter = now + quietMs;
        if (finished)
            return false;
        if (leftOut == 0 || threshold < leftOutThreshold) {
            leftOutThreshold = threshold;
            leftOutWord = word;
        }
        if (leftOut < std::numeric_limits<int>::max()) {
            ++leftOut;
            ++leftOutBy[why];
        }
        first = leftOut == 1 && !begunTold;
        if (first) {
            begunWhy = why;
            begunThreshold = threshold;
            begunWord = word;
        }
    }
    // Told at once: the line that the limit has just left out may be on
    // its way through a message handler, which takes no other now.
    if (first)
        _arm(0);
    return false;
}

bool RateLimit::takeUser(int threshold, const char* word, qint64 bytes, bool first)
{
    {
        const std::lock_guard<std::mutex> lock(g_state);
        if (userShare && userShare->draw(bytes, first))
            return true;
    }
    return take(threshold, word, bytes);
}

void RateLimit::_arm(int ms)
{
    if (QThread::currentThread() == thread())
        tell.start(ms);
    else
        QMetaObject::invokeMethod(
            this, [this, ms] { tell.start(ms); }, Qt::QueuedConnection);
}

void RateLimit::_check()
{
    QString begun;
    int threshold = 0;
    const char* word = nullptr;
    qint64 wait = 0;
    {
        const std::lock_guard<std::mutex> lock(g_state);
        if (leftOut == 0 || finished)
            return;
        if (!begunTold) {
            begunTold = true;
            begun = QStringLiteral("[Log] Lines of %1 are left out from now on: %2")
                        .arg(who, _why(begunWhy, false));
            threshold = begunThreshold;
            word = begunWord;
        }
        wait = tellAfter - clock.elapsed();
    }
    if (!begun.isEmpty())
        _tell(begun, threshold, word);
    if (wait > 0)
        tell.start(int(qMin<qint64>(wait, std::numeric_limits<int>::max())));
    else
        _tellLeftOut();
}

void RateLimit::finish()
{
    _tellLeftOut();
    const std::lock_guard<std::mutex> lock(g_state);
    finished = true;
}

void RateLimit::restore()
{
    _tellLeftOut();
    const std::lock_guard<std::mutex> lock(g_state);
    balance = qMax(plain.burst, detailed.burst);
    floodUntil = 0;
}

void RateLimit::_tellLeftOut()
{
    QString text;
    int threshold = 0;
    const char* word = nullptr;
    {
        const std::lock_guard<std::mutex> lock(g_state);
        if (leftOut == 0)
            return;
        // Each reason with its count, when there are several.
        QStringList because;
        for (int why = 0; why < Whys; ++why) {
            if (leftOutBy[why] == 0)
                continue;
            because << _why(Why(why), true);
            if (leftOutBy[why] < leftOut)
                because.last() += QStringLiteral(" (%1 lines)").arg(leftOutBy[why]);
            leftOutBy[why] = 0;
        }
        text = QStringLiteral("[Log] %1 lines of %2 left out: %3")
                   .arg(leftOut)
                   .arg(who, because.join(QStringLiteral(", and ")));
        threshold = leftOutThreshold;
        word = leftOutWord;
        leftOut = 0;
        begunTold = false;
    }
    _tell(text, threshold, word);
}

QString RateLimit::_why(Why why, bool past) const
{
    // Under g_state.
    switch (why) {
    case OwnRate:
        break;
    case SharedRate:
        return QStringLiteral("%1 together %2 faster than the log takes")
            .arg(sharers, past ? QStringLiteral("wrote") : QStringLiteral("write"));
    case Budget:
        return past ? QStringLiteral("it wrote more than the log takes in a day")
                    : QStringLiteral("it writes more than the log takes in a day");
    case Whys:
        break;
    }
    return past ? QStringLiteral("it wrote faster than the log takes")
                : QStringLiteral("it writes faster than the log takes");
}

void RateLimit::_tell(const QString& text, int threshold, const char* word)
{
    // Told whatever the limit says: at most two lines a flood, and a flood
    // ends only after the quiet time.
    if (!enabled(threshold))
        return;
    const UnlimitedLines told;
    Line(word, ORVO_LOG_FILE, __func__, __LINE__, threshold) << text.toUtf8().constData();
}

void limitQtMessages()
{
    if (g_qt.load() || !QCoreApplication::instance())
        return;
    g_qt.store(new QtMessages);
    g_qt.load()->limit.setAllowance(&g_qt.load()->allowance);
    qAddPostRoutine(endQtMessageLimit);
    libvelcor::setMessageFilter(qtMessageLine);
}

void nameQtMessages(const QString& shown)
{
    if (QtMessages* qt = g_qt.load())
        qt->limit.setWho(shown.isEmpty()
                             ? QStringLiteral("Qt and the web engine")
                             : QStringLiteral("Qt and the web engine (%1 shown)").arg(shown));
}

void restoreQtMessageLimit()
{
    if (QtMessages* qt = g_qt.load()) {
        qt->allowance.restore();
        qt->limit.restore();
    }
}

} // namespace log
} // namespace ORVO
