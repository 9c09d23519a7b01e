#pragma once

#include <QObject>
#include <QString>

#include <cstdio>

namespace libvelcor {

// The program's file log: once open, every Qt message is appended to the
// file as one line and then passed on to the handler that was installed
// before. Lines are flushed one by one, so a crash loses at most the line
// being written.
class Logger : public QObject
{
    Q_OBJECT
public:
    explicit Logger(QObject* parent = nullptr);
    ~Logger() override;

    // 0, or -1 (the path unchanged) for an empty path, a path holding a
    // NUL character, or while the file is open.
    int setPath(const QString& path);
    QString getPath() const { return path; }
    // Creates the file's directory, opens the file for appending and
    // installs the message handler. 0 on success.
    int open();
    bool isOpen() const { return file != nullptr; }
    // Why the last setPath or open failed: what and which path; empty
    // after a success.
    QString errorString() const { return error; }

public slots:
    // Restores the previous message handler and closes the file.
    void close();

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& msg);

    QString path;
    QString error;
    FILE* file = nullptr;
    QtMessageHandler previous = nullptr;
};

} // namespace libvelcor
