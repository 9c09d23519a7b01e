#pragma once

// Records every Qt message with the thread that logged it. Installed
// before the log capture, it is the handler the capture passes each line
// on to, so tests see what reaches the previous handler, and when.

#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QVector>

namespace logtest {

class LineRecorder
{
public:
    struct Entry
    {
        QString text;
        Qt::HANDLE thread;
    };

    static void install() { previous = qInstallMessageHandler(handler); }

    static QVector<Entry> entries()
    {
        QMutexLocker lock(&mutex);
        return recorded;
    }
    static QStringList lines()
    {
        QStringList out;
        for (const Entry& e : entries())
            out << e.text;
        return out;
    }
    static int count(const QString& text) { return lines().filter(text).size(); }
    static void clear()
    {
        QMutexLocker lock(&mutex);
        recorded.clear();
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
    {
        {
            QMutexLocker lock(&mutex);
            recorded.append(Entry{msg, QThread::currentThreadId()});
        }
        // QtTest shows warnings; CTest fails a test on a connect warning.
        if (type != QtDebugMsg && previous)
            previous(type, context, msg);
    }

    static inline QMutex mutex;
    static inline QVector<Entry> recorded;
    static inline QtMessageHandler previous = nullptr;
};

} // namespace logtest
