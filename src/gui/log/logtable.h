#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>

#include <deque>

#include "common/common.h"

class QPixmap;
class QResizeEvent;
class QShowEvent;

// One parsed log line. A record whose texts are all empty stands for no
// line: a line that does not parse, or one that is filtered out.
struct LogElem
{
    QString timestamp; // the text before the first bracket, trimmed
    QString thread;    // first bracketed field
    QString level;     // second bracketed field: "ERROR", "notice", ...
    QString location;  // third bracketed field
    QString message;   // the Message column; never empty in a kept record
};

// The log viewer's list: parses log lines, keeps the newest of them and
// shows those that match the search words, as rows of two columns
// (Timestamp, Message).
//
// Rows reach the view in batches: a line is stored at once, and its row is
// added with the others of the same moment on the next turn of the event
// loop (or a little later while the log runs fast and long), followed by
// one scroll to the end. The tree view lays out every row again after each
// insertion, so a row per line would make a long log quadratic.
class LogTable : public QTreeWidget
{
    Q_OBJECT
public:
    // Lines kept per table; older ones are dropped.
    static constexpr int DefaultCapacity = 100000;
    // Bytes the kept lines may take, as counted by storedBytes(); long
    // lines are kept cut, so any input stays under this.
    static constexpr qint64 ByteCapacity = qint64(64) << 20;

    explicit LogTable(QWidget* parent = nullptr);
    ~LogTable() override;
    LogTable(const LogTable&) = delete;
    LogTable& operator=(const LogTable&) = delete;

    // Parses, stores and (when it matches the search) shows one line.
    void appendLine(QtMsgType type, const QString& line, ORVO::Verbosity verbosity);
    // The same for a line parsed already (at High verbosity): the message
    // capture parses each line once for all pages.
    void appendElem(const LogElem& elem, ORVO::Verbosity verbosity);

    // The record of one line, or the empty record for a line that does not
    // parse and for a "trace" line below High verbosity. Linear in the
    // length of the line.
    static LogElem logParse(const QString& line, ORVO::Verbosity verbosity);
    // A Qt::TextDate time stamp, in the system's language or in English, as
    // shown ("yyyy-MM-dd hh:mm:ss"); empty when it cannot be read.
    static QString shownTime(const QString& timestamp);
    // Pages started over note their bound again (the first-page reset).
    static void forgetNotes();

    // Whether the record matches the current search words.
    bool elemMatches(const LogElem& elem) const;
    // Adds a row for the record (shown with the next batch).
    void elemInsert(const LogElem& elem);

    // Puts the rows still waiting into the view now.
    void flushRows();
    // Removes every row; the stored lines stay for later searches.
    void clearRows();
    // Stored lines.
    int lineCount() const { return int(elems.size()); }
    int capacity() const { return maxLines; }
    // What the kept lines take: their texts and a fixed share per line.
    qint64 byteCount() const { return storedBytes; }
    // Lines to keep (at least 1); for tests of the bound.
    void setCapacity(int lines);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void searchTextChanged(const QString& text);
    void _flushDue();

private:
    struct Entry
    {
        LogElem elem;
        QString time; // the time stamp as shown, worked out once
        quint64 serial;
        qint64 bytes; // counted in storedBytes
    };
    class Row;

    void store(LogElem elem);
    bool matches(const QString& time, const QString& message) const;
    void dropOldest();
    void dropStaleRows();
    void scheduleFlush();

    QPixmap* maskPixmap = nullptr;
    std::deque<Entry> elems;
    QStringList terms;
    // The non-empty words, letter case folded.
    QStringList foldedTerms;
    // Rows made for lines that match but not yet in the view, oldest first.
    QList<Row*> pending;
    quint64 nextSerial = 0;
    qint64 storedBytes = 0;
    int maxLines = DefaultCapacity;
    bool boundNoted = false;
    // The bounds noted for the pages of this start.
    static QSet<int> notedBounds;
    QTimer flushTimer;
    QElapsedTimer sinceFlush;
};
