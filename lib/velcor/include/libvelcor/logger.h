#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace libvelcor {

// Log text as the log keeps it: a backslash doubled ("\\"), control
// characters (line breaks and the Unicode line and paragraph separators
// included), every format character (Unicode category Cf: bidirectional
// controls, invisible characters, tag characters) and lone surrogates
// written as "\n", "\r", "\t", "\xHH", "\uHHHH" or, above U+FFFF,
// "\UHHHHHHHH". Every event stays one line that reads as it is, and the
// text reads back without doubt: a text cannot forge an escape of its own.
QString escapeLogText(const QString& text);

// Every log line is escaped exactly once. The program's own statements
// escape their text and hand it over with outputEscapedLine; a message
// handler takes any other message (the library's lines, Qt's warnings)
// through handledLine, and passes what it got on with passEscapedLine.

// Hands a line escaped with escapeLogText to Qt's message output.
void outputEscapedLine(QtMsgType type, const QString& line);
// Calls next, if any, with a line that handledLine gave.
void passEscapedLine(QtMessageHandler next, QtMsgType type, const QMessageLogContext& context,
                     const QString& line);

// Makes the line that the handlers write of a message that did not come
// escaped (Qt's own, the web engine's): escaped, with what the program puts
// around it; a null string drops the message. Asked by the first message
// handler that sees the message, on the thread that logs, never again for a
// message that it causes itself.
using MessageFilter = QString (*)(QtMsgType type, const QMessageLogContext& context,
                                  const QString& msg);
void setMessageFilter(MessageFilter filter);
// The line a handler writes of msg: as it came when it came escaped, else
// what the filter, if any, makes of it, else msg escaped. Null: nothing is
// written.
QString handledLine(QtMsgType type, const QMessageLogContext& context, const QString& msg);

// The program's file log: once open, every Qt message is appended to the
// file as one line, escaped once (handledLine), and then passed on to
// the handler that was installed before. Lines are flushed one by one, so
// a crash loses at most the line being written.
// The log stays bounded whatever is logged: a line longer than
// MaxLineBytes is cut, saying how much was left out (also for the handlers
// after it), and once the file holds the size limit it becomes the one
// older file (its path with ".1" appended, replacing the one before) and a
// new file begins, so the two hold at most about twice the limit. Where
// the older file cannot be made, the file begins again, empty, with a line
// that says why.
class Logger : public QObject
{
    Q_OBJECT
public:
    static const int MaxLineBytes = 16 * 1024;
    static const qint64 DefaultSizeLimit = 12 * 1024 * 1024;

    explicit Logger(QObject* parent = nullptr);
    ~Logger() override;

    // 0, or -1 (the path unchanged) for an empty path, a path holding a
    // NUL character, or while the file is open.
    int setPath(const QString& path);
    QString getPath() const { return path; }
    // Creates the file's directory, opens the file for appending and
    // installs the message handler. 0 on success.
    int open();
    bool isOpen() const { return installed; }
    // Why the last setPath or open failed: what and which path; empty
    // after a success.
    QString errorString() const { return error; }
    // The size at which the file is put aside; only a regular file is.
    void setSizeLimit(qint64 bytes);
    // The path of the file put aside.
    QString olderPath() const { return path + QStringLiteral(".1"); }

public slots:
    // Restores the previous message handler and closes the file.
    void close();

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& msg);
    // Under the handler's lock: appends the line, and begins a new file
    // once the limit is reached.
    void _write(const QByteArray& line);
    void _rotate();

    QString path;
    QString error;
    FILE* file = nullptr;
    // The handler is installed (the file may have ended: see _rotate).
    bool installed = false;
    QtMessageHandler previous = nullptr;
    QByteArray openPath;
    qint64 sizeLimit = DefaultSizeLimit;
    // The file's size, while it is a regular file that can be put aside.
    qint64 size = -1;
};

} // namespace libvelcor
