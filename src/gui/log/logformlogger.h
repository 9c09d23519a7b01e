#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QtGlobal>

#include <atomic>

class LogForm;

// Puts the program's own log lines into the log pages: installs the
// process-wide Qt message handler, hands each line to the tables of the
// registered pages that want it, then to the handler installed before.
//
// A line logged on another thread goes to the previous handler at once and
// reaches the pages through the event loop of the GUI thread, where the
// widgets live.
class LogFormLogger : public QObject
{
    Q_OBJECT
public:
    // The singleton, made (and the handler installed) on the first call.
    static LogFormLogger* instance();
    static void addTarget(LogForm* form);
    // Removes every entry of form, and no other page.
    static void removeTarget(LogForm* form);
    static void myMsgHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg);

public slots:
    // Unregisters every page.
    void close();

private:
    LogFormLogger();
    ~LogFormLogger() override;

    // Hands one line to the pages; GUI thread only.
    static void deliver(QtMsgType type, const QString& text);

    static std::atomic<LogFormLogger*> m_instance;
    static QList<QPointer<LogForm>> m_logForms;
    static QtMessageHandler m_defaultMsgHandler;
};
