#pragma once

#include <QString>
#include <QTreeWidgetItem>
#include <QWidget>

#include "common/common.h"
#include "libvelcor/loglistener.h"

class LogForm;
class LogFormLogger;
class LogTable;
class QLineEdit;
class QResizeEvent;
class QSettings;
class Ui_LogForm;

// Tells every log page the verbosity now in force (the program's log
// level), whichever page set it.
class LogLevelNotifier : public QObject
{
    Q_OBJECT
public:
    static LogLevelNotifier* instance();

signals:
    void verbosityInForce(const LogForm* from, ORVO::Verbosity verbosity);
};

// The log viewer page: an "Enable logging" switch, the verbosity chooser
// (which sets the log level of the whole program), the log table with its
// search box, and buttons to copy, save and clear the log.
//
// The first page of the process also runs the local log listener: it
// announces the listener's port (logPortSupply) and the restored verbosity
// (logVerbosityChanged) for the service, and logs every line the service
// sends, so that those lines reach every page like the program's own.
class LogForm : public QWidget
{
    Q_OBJECT
    friend class LogFormLogger;

public:
    static constexpr quint16 ListenPort = libvelcor::LogListener::DefaultPort;

    explicit LogForm(QWidget* parent = nullptr);
    ~LogForm() override;
    LogForm(const LogForm&) = delete;
    LogForm& operator=(const LogForm&) = delete;

    void setLogVerbosity(ORVO::Verbosity v);
    ORVO::Verbosity getLogVerbosity();
    bool logEnabled() const;
    void appendLine(QtMsgType type, const QString& line);

    // Writes the shown rows to path, replacing the file only once all of
    // it is written. 0, or -1 (logged, the user told) when it fails.
    int saveTo(const QString& path);
    // The text that copy and save produce for these rows: per row
    // "time";"message" and CR LF, a quote inside a cell written twice (CSV).
    static QString rowLines(const QList<QTreeWidgetItem*>& rows);

    // Tests: the port the first page asks for (0: any free port), and a
    // process without a first page yet (nor its line on the switch).
    static void setListenPort(quint16 port);
    static void resetFirstPage();

signals:
    void logVerbosityChanged(ORVO::Verbosity verbosity);
    void logPortSupply(int port);

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void enableLog(bool on);
    void copyContent();
    void saveContent();
    void clearContent();
    void copySelectedContent();
    void currentIndexChanged(int index);
    void logPortBound(int port);
    void logPortSupplyDelayed();
    void logReceived(QString log);
    void sendLogInfo();
    // Another page set the level: the chooser shows it, without a choice
    // of its own (nothing stored, set or announced again).
    void _followVerbosity(const LogForm* from, ORVO::Verbosity v);

private:
    LogTable* table() const;
    // Logs why a setting the user chose could not be stored, and tells
    // the user in a box that it holds until the program ends.
    void _settingNotSaved(const QString& reason);

    Ui_LogForm* ui = nullptr;
    QLineEdit* searchEdit = nullptr;
    LogFormLogger* logger = nullptr;
    QSettings* settings = nullptr;
    libvelcor::LogListener listener;
    ORVO::Verbosity verbosity = ORVO::VerbosityLow;
    int logPort = -1;
    // Set while the page applies the stored switch.
    bool restoring = false;

    static bool once;
    // The stored switch has been logged by a page of this process.
    static bool switchNoted;
};
