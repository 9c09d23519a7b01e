#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <QWidget>

#include "common/common.h"
#include "libvelcor/auth.h"
#include "libvelcor/progress.h"
#include "libvelcor/state.h"
#include "profiles/connprofile.h"

class MainWindow;
class QAbstractButton;
class QMessageBox;

namespace ORVO {

class Config;
class SystemTray;

// The GUI controller: builds the windows of the chosen mode and is the one
// meeting point between the windows and the service side. Almost every
// signal is a relay that the windows or Manager fill; the dialog slots
// turn errors, questions and action requests of the service side into
// message boxes (or, in command-line mode, into lines on standard error).
// Error and question boxes open from the event loop after the slot has
// returned, so that what the service reports meanwhile reaches the windows.
//
// Manager reads withGui, minimal and mainWindow, through the properties
// of the same names, to wire itself.
class Gui : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool withGui MEMBER withGui CONSTANT)
    Q_PROPERTY(bool minimal MEMBER minimal CONSTANT)
    Q_PROPERTY(QWidget* mainWindow READ mainWindowWidget CONSTANT)
public:
    Gui(ORVO::Config* config, bool withGui, bool minimal);
    ~Gui() override;
    Gui(const Gui&) = delete;
    Gui& operator=(const Gui&) = delete;

    bool isValid() const { return valid; }
    int run();
    QWidget* mainWindowWidget() const;

    bool valid = false;
    ORVO::Config* config = nullptr;
    bool withGui = false;
    bool minimal = false;
    // Both owned; null in command-line mode.
    MainWindow* mainWindow = nullptr;
    SystemTray* systemTray = nullptr;

signals:
    void stateChanged(libvelcor::State state);
    void loggedIn();
    void progress(libvelcor::Progress progress);
    void authRequired(libvelcor::Auth::Id id);
    void chooseOpenFile(QString msg);
    void queryDownloadTarget(QString url, QString defaultFileName);
    void configSupplyInt(QVariant settings);
    // Relayed to the windows: the connection up is plain (no portal comes),
    // and why, when a portal might have come.
    void plainConnection(bool up, QString noPortal);
    // Relayed to the windows: a sign-in of the user's lasts.
    void signInLasts(bool lasts);
    // Relayed to the main window: the user's sign-out is under way.
    void signingOut(bool out);
    void loadStarted();
    void loadFinished();
    void sigConnect();
    void sigDisconnect();
    void startAction(QVariantMap data);
    void startDownload(QString url, QString target = QString());
    void profileSupply(ORVO::ConnProfile* profile);
    void authSupply(libvelcor::Auth auth);
    void configSupply(QVariant settings);
    void securitySupply(QVariant settings);
    void logVerbosityChanged(ORVO::Verbosity);
    void logPortSupply(int port);
    void chosenOpenFile(QString file);
    void close();
    void sigQueryResponse(int id, bool ok);
    void error(QString msg);

public slots:
    // Command-line mode's quit path (SIGINT, SIGTERM): what the tray's Quit
    // does in the GUI modes. Emits close() and sigDisconnect(), and ends
    // the event loop 500 ms later.
    void quit();

private slots:
    void _test();
    void _gotError(ORVO::Module m, QString errStr, QString msg = QString());
    void _gotQuery(int id, QString query);
    void _gotAuthChanged(libvelcor::Auth auth);
    void _requestAction(QVariantMap data);
    void _tBoxTimeLeft(int secs, QVariant data);
    void _tBoxButtonClicked(QAbstractButton* aButton, QVariant data);
    void _tBoxFinished(int result, QVariant data);
    void _windowUnhide();
    void _quitDelayed();
    void _serviceState(libvelcor::State state);
    void _sessionEnded();

private:
    int _setup();
    // Shows the waiting errors one box after another.
    void _showErrors();

    // Errors waiting beyond this many drop the oldest; the log has them.
    static constexpr int MaxWaitingErrors = 3;

    bool quitting = false;
    // One error box at a time: the text on screen (empty: none) and the
    // ones waiting for it, oldest first, each once.
    bool showingErrors = false;
    QString shownError;
    QStringList waitingErrors;
    // Those of them whose line a page's limit held back.
    QSet<QString> unloggedErrors;
    // Ids and texts of the question boxes open or about to open.
    QSet<QPair<int, QString>> openQueries;
    // Counts the sessions that ended; a question posted in an earlier one
    // is not asked any more.
    quint64 sessionsEnded = 0;
    // The boxes that wait for an answer: they end with the session.
    QList<QPointer<QMessageBox>> sessionBoxes;
};

} // namespace ORVO
