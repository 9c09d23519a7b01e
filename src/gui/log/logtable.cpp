#include "gui/log/logtable.h"

#include <QBitmap>
#include <QDate>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QSet>
#include <QTime>
#include <QVector>

#include <algorithm>

#include "common/log.h"
#include "libvelcor/logger.h"

namespace {

// While the log is long and busy, batches are spaced by one millisecond
// per this many rows, at most MaxFlushGapMs: laying out the rows again
// then stays a small share of the time, however long the log grows.
constexpr int RowsPerGapMs = 400;
constexpr int MaxFlushGapMs = 250;

int nextOpen(const QChar* s, int from, int n)
{
    for (int i = from; i < n; ++i) {
        if (s[i] == QLatin1Char('['))
            return i;
    }
    return -1;
}

// The thread or level field opened at s[open]: its text runs to the "]"
// that only white space separates from the next "[". *next gets that "["
// (-1 when there is none, and then no later field can parse either).
bool innerField(const QChar* s, int n, int open, int* close, int* next)
{
    *next = nextOpen(s, open + 1, n);
    if (*next < 0)
        return false;
    int end = *next;
    while (end > open + 1 && s[end - 1].isSpace())
        --end;
    if (end <= open + 1 || s[end - 1] != QLatin1Char(']'))
        return false;
    *close = end - 1;
    return true;
}

// The location field opened at s[open]: its text runs to the last "]"
// before the next "[" (or the end of the line), so the text of a message
// without brackets up to its own last "]" belongs to the location.
bool locationField(const QChar* s, int n, int open, int* close)
{
    const int next = nextOpen(s, open + 1, n);
    for (int i = (next < 0 ? n : next) - 1; i > open; --i) {
        if (s[i] == QLatin1Char(']')) {
            *close = i;
            return true;
        }
    }
    return false;
}

// Fields of a record longer than this are kept cut, with a mark; the file
// log keeps longer lines (up to libvelcor::Logger::MaxLineBytes).
constexpr int MaxMessageChars = 4096;
constexpr int MaxFieldChars = 256;
// What a stored and shown line takes besides its texts (record, row and
// string headers), as measured by the log view benchmark.
constexpr qint64 LineOverheadBytes = 320;

// What a text's characters take, its unused room included.
qint64 textBytes(const QString& text)
{
    return 2 * qint64(qMax(text.size(), text.capacity()));
}

// Letter case folded as QString::indexOf(..., Qt::CaseInsensitive) does,
// with a shortcut for ASCII, which most log text is.
inline char16_t folded(char16_t c)
{
    if (c < 128)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    return char16_t(QChar::toCaseFolded(ushort(c)));
}

// Whether text contains term (folded already), ignoring letter case.
bool containsFolded(const QString& text, const QString& term)
{
    const int m = term.size();
    const int last = text.size() - m;
    const char16_t* t = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* p = reinterpret_cast<const char16_t*>(term.constData());
    const char16_t first = p[0];
    for (int i = 0; i <= last; ++i) {
        if (folded(t[i]) != first)
            continue;
        int j = 1;
        while (j < m && folded(t[i + j]) == p[j])
            ++j;
        if (j == m)
            return true;
    }
    return false;
}

// Level words are few: rows share one copy of each.
QString internLevel(const QString& level)
{
    static const QString words[] = {QStringLiteral("ERROR"), QStringLiteral("notice"),
                                    QStringLiteral("debug"), QStringLiteral("trace"),
                                    QStringLiteral("LOG")};
    for (const QString& w : words) {
        if (w == level)
            return w;
    }
    return level;
}

// The month whose short name, as Qt's text date form writes it, makes up
// the last words of text: in the system's language (the program's own
// lines, and the service's in most setups) or in English; 0 for none.
// Names may hold blanks ("de gen.", "thg 1"); the longest that fits is
// taken, so "de gen." wins over a "gen." of another month.
int monthEnding(const QStringRef& text)
{
    thread_local const QVector<QPair<QString, int>> names = [] {
        QVector<QPair<QString, int>> out;
        const auto add = [&out](const QString& name, int month) {
            for (const auto& known : qAsConst(out)) {
                if (known.first == name)
                    return;
            }
            out.append(qMakePair(name, month));
        };
        for (const QLocale& locale : {QLocale::system(), QLocale::c()}) {
            for (int m = 1; m <= 12; ++m) {
                const QString name = locale.monthName(m, QLocale::ShortFormat);
                // A service whose log still hands its date over as local
                // 8-bit bytes, as this program's once did, sends the name as
                // one Latin-1 character per byte ("MÃ¤rz"); and the table
                // gets lines escaped as the log writes them, a joiner or a
                // character from U+0080 to U+009F as its escape.
                const QString bytes = QString::fromLatin1(name.toLocal8Bit());
                for (const QString& form : {name, bytes})
                    for (const QString& shown : {form, libvelcor::escapeLogText(form)})
                        add(shown, m);
            }
        }
        std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
            return a.first.size() > b.first.size();
        });
        return out;
    }();
    for (const auto& name : names) {
        const int before = text.size() - name.first.size();
        if (before >= 0 && text.endsWith(name.first) &&
            (before == 0 || text.at(before - 1) == QLatin1Char(' ')))
            return name.second;
    }
    return 0;
}

// "H:MM:SS" or "HH:MM:SS"; an invalid time for anything else.
QTime readTime(const QStringRef& word)
{
    const QVector<QStringRef> parts = word.split(QLatin1Char(':'));
    if (parts.size() != 3 || parts.at(0).size() > 2 || parts.at(1).size() != 2 ||
        parts.at(2).size() != 2)
        return QTime();
    bool h = false;
    bool m = false;
    bool sec = false;
    const QTime time(parts.at(0).toInt(&h), parts.at(1).toInt(&m), parts.at(2).toInt(&sec));
    return h && m && sec ? time : QTime();
}

// A time stamp of Qt's text date form ("Mo. Dez. 7 08:43:01 2026"): the
// day's name, the month's, the day, the time and the year. The day and the
// year are read beside the time, and the month's name is what ends the
// text before the day, since the names may hold blanks and digits. The
// time is never taken as a local time, so a time that a daylight-saving
// change skips here still shows as written.
QString readStamp(const QString& stamp)
{
    const QVector<QStringRef> words = stamp.splitRef(QLatin1Char(' '), Qt::SkipEmptyParts);
    int at = words.size() - 2;
    QTime time;
    while (at >= 1 && !(time = readTime(words.at(at))).isValid())
        --at;
    if (!time.isValid())
        return QString();
    const QStringRef dayWord = words.at(at - 1);
    const QStringRef yearWord = words.at(at + 1);
    bool dayRead = false;
    bool yearRead = false;
    const int day = dayWord.size() <= 2 ? dayWord.toInt(&dayRead) : 0;
    const int year = yearWord.size() == 4 ? yearWord.toInt(&yearRead) : 0;
    // Blanks only: a name's own last character may be a no-break space.
    int end = dayWord.position();
    while (end > 0 && stamp.at(end - 1) == QLatin1Char(' '))
        --end;
    const int month = monthEnding(stamp.leftRef(end));
    if (!dayRead || !yearRead || !QDate(year, month, day).isValid())
        return QString();
    const QLatin1Char zero('0');
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(year)
        .arg(month, 2, 10, zero)
        .arg(day, 2, 10, zero)
        .arg(time.hour(), 2, 10, zero)
        .arg(time.minute(), 2, 10, zero)
        .arg(time.second(), 2, 10, zero);
}

} // namespace

// One row: the shown time and message, shared with the stored record, and
// the record's serial number, by which rows of dropped lines are found.
class LogTable::Row : public QTreeWidgetItem
{
public:
    Row(const QString& time, const QString& message, quint64 serial)
        : QTreeWidgetItem(0), time(time), message(message), serial(serial)
    {
        setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
    }

    QVariant data(int column, int role) const override
    {
        if (role == Qt::DisplayRole) {
            if (column == 0)
                return time;
            if (column == 1)
                return message;
            return QVariant();
        }
        // Log text is shown as it is, never read as markup.
        if (role == Qt::ToolTipRole && column == 1)
            return QString(QStringLiteral("<span>") + message.toHtmlEscaped() +
                           QStringLiteral("</span>"));
        return QTreeWidgetItem::data(column, role);
    }

    const QString time;
    const QString message;
    const quint64 serial;
};

QSet<int> LogTable::notedBounds;

LogTable::LogTable(QWidget* parent) : QTreeWidget(parent)
{
    // Every row is one line of text; the view then needs no per-row sizes.
    setUniformRowHeights(true);
    flushTimer.setSingleShot(true);
    connect(&flushTimer, &QTimer::timeout, this, &LogTable::_flushDue);
}

LogTable::~LogTable()
{
    delete maskPixmap;
    qDeleteAll(pending);
}

LogElem LogTable::logParse(const QString& line, ORVO::Verbosity verbosity)
{
    const QChar* s = line.constData();
    const int n = line.size();
    // The time stamp is the text since the "[" before the first field
    // (since the start for the first "["); each "[" is tried in turn.
    int prev = -1;
    int open = nextOpen(s, 0, n);
    while (open >= 0) {
        int threadEnd = 0, levelOpen = 0, levelEnd = 0, locationOpen = 0, locationEnd = 0;
        if (!innerField(s, n, open, &threadEnd, &levelOpen)) {
            if (levelOpen < 0)
                return LogElem();
            prev = open;
            open = levelOpen;
            continue;
        }
        if (!innerField(s, n, levelOpen, &levelEnd, &locationOpen)) {
            if (locationOpen < 0)
                return LogElem();
            prev = open;
            open = levelOpen;
            continue;
        }
        if (!locationField(s, n, locationOpen, &locationEnd)) {
            prev = open;
            open = levelOpen;
            continue;
        }

        LogElem elem;
        elem.level = line.mid(levelOpen + 1, levelEnd - levelOpen - 1);
        if (verbosity != ORVO::VerbosityHigh && elem.level == QLatin1String("trace"))
            return LogElem();
        const int stampFrom = prev + 1;
        elem.timestamp = line.mid(stampFrom, open - stampFrom).trimmed();
        elem.thread = line.mid(open + 1, threadEnd - open - 1);
        elem.location = line.mid(locationOpen + 1, locationEnd - locationOpen - 1);

        int rest = locationEnd + 1;
        while (rest < n && s[rest].isSpace())
            ++rest;
        const QString levelTag = QLatin1Char('[') + elem.level + QLatin1String("] ");
        if (rest == n) {
            elem.message = levelTag + elem.location;
            return elem;
        }
        if (s[rest] == QLatin1Char('[')) {
            // A message that starts with a tag keeps it in front: the tag
            // runs to the last "]" before the next "[".
            const int next = nextOpen(s, rest + 1, n);
            for (int i = (next < 0 ? n : next) - 1; i > rest; --i) {
                if (s[i] == QLatin1Char(']')) {
                    elem.message = QLatin1Char('[') + line.mid(rest + 1, i - rest - 1) +
                                   QLatin1String("] ") + line.mid(i + 1).trimmed();
                    return elem;
                }
            }
        }
        elem.message = levelTag + line.mid(rest);
        return elem;
    }
    return LogElem();
}

QString LogTable::shownTime(const QString& timestamp)
{
    // Lines of one second share their time stamp: read it once.
    thread_local QString lastStamp;
    thread_local QString lastShown;
    thread_local bool known = false;
    if (known && timestamp == lastStamp)
        return lastShown;
    lastShown = readStamp(timestamp);
    lastStamp = timestamp;
    known = true;
    return lastShown;
}

void LogTable::appendLine(QtMsgType type, const QString& line, ORVO::Verbosity verbosity)
{
    Q_UNUSED(type);
    LogElem elem = logParse(line, verbosity);
    if (elem.message.isEmpty())
        return;
    store(std::move(elem));
}

void LogTable::appendElem(const LogElem& elem, ORVO::Verbosity verbosity)
{
    if (elem.message.isEmpty())
        return;
    if (verbosity != ORVO::VerbosityHigh && elem.level == QLatin1String("trace"))
        return;
    store(elem);
}

void LogTable::store(LogElem elem)
{
    // A line of any length costs a bounded share of the byte bound.
    elem.message = ORVO::log::clipped(elem.message, MaxMessageChars);
    elem.level = internLevel(ORVO::log::clipped(elem.level, MaxFieldChars));
    qint64 bytes = LineOverheadBytes + textBytes(elem.message) + textBytes(elem.level);
    // Neighbouring lines mostly repeat these fields: share the texts, which
    // then count once.
    const LogElem* last = elems.empty() ? nullptr : &elems.back().elem;
    for (auto field : {&LogElem::timestamp, &LogElem::thread, &LogElem::location}) {
        QString& text = elem.*field;
        if (last && text == last->*field) {
            text = last->*field;
        } else {
            text = ORVO::log::clipped(text, MaxFieldChars);
            bytes += textBytes(text);
        }
    }
    const QString time = shownTime(elem.timestamp);
    const quint64 serial = nextSerial++;
    const bool shown = matches(time, elem.message);
    if (shown)
        pending.append(new Row(time, elem.message, serial));
    elems.push_back(Entry{std::move(elem), time, serial, bytes});
    storedBytes += bytes;

    bool firstDrop = false;
    while (int(elems.size()) > maxLines || (storedBytes > ByteCapacity && elems.size() > 1)) {
        dropOldest();
        if (!boundNoted) {
            boundNoted = true;
            // Every page's table reaches the same bound with the same lines,
            // and the note reaches every page: one note per bound for the
            // pages of one start.
            firstDrop = !notedBounds.contains(maxLines);
            notedBounds.insert(maxLines);
        }
    }
    scheduleFlush();
    if (firstDrop) {
        LOG_ALWAYS << "[Log] The log view keeps the newest " << maxLines << " lines ("
                   << ByteCapacity / (1 << 20) << " MiB); older lines are dropped";
    }
}

bool LogTable::matches(const QString& time, const QString& message) const
{
    for (const QString& term : foldedTerms) {
        if (!containsFolded(time, term) && !containsFolded(message, term))
            return false;
    }
    return true;
}

bool LogTable::elemMatches(const LogElem& elem) const
{
    return matches(shownTime(elem.timestamp), elem.message);
}

void LogTable::elemInsert(const LogElem& elem)
{
    pending.append(new Row(shownTime(elem.timestamp), elem.message, nextSerial++));
    scheduleFlush();
}

void LogTable::forgetNotes()
{
    notedBounds.clear();
}

void LogTable::setCapacity(int lines)
{
    maxLines = qMax(1, lines);
    while (int(elems.size()) > maxLines)
        dropOldest();
    scheduleFlush();
}

void LogTable::dropOldest()
{
    const quint64 gone = elems.front().serial;
    storedBytes -= elems.front().bytes;
    elems.pop_front();
    while (!pending.isEmpty() && pending.first()->serial <= gone)
        delete pending.takeFirst();
}

void LogTable::dropStaleRows()
{
    const quint64 first = elems.empty() ? nextSerial : elems.front().serial;
    const int rows = topLevelItemCount();
    int stale = 0;
    while (stale < rows && static_cast<Row*>(topLevelItem(stale))->serial < first)
        ++stale;
    for (int i = 0; i < stale; ++i)
        delete takeTopLevelItem(0);
}

void LogTable::scheduleFlush()
{
    if (flushTimer.isActive())
        return;
    const qint64 gap = qMin<qint64>(MaxFlushGapMs, topLevelItemCount() / RowsPerGapMs);
    const qint64 since = sinceFlush.isValid() ? sinceFlush.elapsed() : gap;
    flushTimer.start(int(qMax<qint64>(0, gap - since)));
}

void LogTable::_flushDue()
{
    // A hidden table catches up when it is shown.
    if (isVisible())
        flushRows();
}

void LogTable::flushRows()
{
    flushTimer.stop();
    sinceFlush.start();
    dropStaleRows();
    if (pending.isEmpty())
        return;
    QList<QTreeWidgetItem*> batch;
    batch.reserve(pending.size());
    for (Row* row : qAsConst(pending))
        batch.append(row);
    pending.clear();
    addTopLevelItems(batch);
    // While the user works in the table the view stays where it is.
    if (!hasFocus())
        scrollToItem(batch.last(), QAbstractItemView::EnsureVisible);
}

void LogTable::clearRows()
{
    qDeleteAll(pending);
    pending.clear();
    clear();
}

void LogTable::searchTextChanged(const QString& text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"),
                                           QRegularExpression::UseUnicodePropertiesOption);
    // Leading or trailing blanks give empty words, which match every line.
    terms = text.isEmpty() ? QStringList() : text.split(blanks);
    foldedTerms.clear();
    for (const QString& term : qAsConst(terms)) {
        if (term.isEmpty())
            continue;
        QString f(term.size(), Qt::Uninitialized);
        for (int i = 0; i < term.size(); ++i)
            f[i] = QChar(folded(term.at(i).unicode()));
        foldedTerms.append(f);
    }

    qDeleteAll(pending);
    pending.clear();
    clear();
    QList<QTreeWidgetItem*> rows;
    for (const Entry& e : elems) {
        if (matches(e.time, e.elem.message))
            rows.append(new Row(e.time, e.elem.message, e.serial));
    }
    addTopLevelItems(rows);
    flushTimer.stop();
    sinceFlush.start();
    if (!rows.isEmpty() && !hasFocus())
        scrollToItem(rows.last(), QAbstractItemView::EnsureVisible);
    LOG_TRACE << "Found " << QString::number(rows.size()) << " matches for search";
}

void LogTable::resizeEvent(QResizeEvent* event)
{
    const int w = width();
    const int h = height();
    delete maskPixmap;
    maskPixmap = nullptr;
    if (w > 0 && h > 0) {
        // Rounded top corners: what is painted grey falls outside the mask.
        const QColor grey(100, 100, 100, 255);
        maskPixmap = new QPixmap(w, h);
        maskPixmap->fill(grey);
        {
            QPainter painter(maskPixmap);
            painter.setBrush(Qt::SolidPattern);
            painter.setPen(grey);
            for (int i = 10; i >= 1; --i) {
                painter.drawRect(QRect(QPoint(-1, h - 10), QPoint(i - 3, h - 1)));
                painter.drawRect(QRect(QPoint(w - 10, h - 10), QPoint(w + i - 12, h - 1)));
            }
            painter.drawRoundedRect(QRectF(-1.0, -1.0, w + 1, h + 1), 15.0, 16.0, Qt::AbsoluteSize);
        }
        setMask(maskPixmap->createMaskFromColor(grey, Qt::MaskInColor));
    }
    // The item view lays out its viewport and header on resize.
    QTreeWidget::resizeEvent(event);
}

void LogTable::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    flushRows();
}
