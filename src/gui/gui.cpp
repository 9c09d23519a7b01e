#include "gui/gui.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdio>

#include "common/log.h"
#include "common/loglimit.h"
#include "common/plugininterfaces.h"
#include "common/utils.h"
#include "gui/guiapplication.h"
#include "gui/guiwiring.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/messagebox.h"
#include "gui/timedmessagebox.h"
#include "gui/tray/systemtray.h"

namespace ORVO {

namespace {

const int ActionConfirmSeconds = 10;
const int QuitDelayMs = 500;

// Whether the confirmation box already settled its action. Qt 5 emits a
// click before the dialog finishes and Qt 4 did the reverse; whichever
// comes first decides, so an action runs at most once per box.
const char DecidedProperty[] = "orvoActionDecided";

bool claimDecision(QObject* box)
{
    if (!box || box->property(DecidedProperty).toBool())
        return false;
    box->setProperty(DecidedProperty, true);
    return true;
}

// The countdown line of the confirmation box, in the plural form that the
// seconds left ask for.
QString autoacceptText(int secs)
{
    return Gui::tr("Allow action execution? (Autoaccept in %1 seconds)", nullptr, secs)
        .arg(QString::number(secs));
}

} // namespace

Gui::Gui(ORVO::Config* config, bool withGui, bool minimal)
    : config(config), withGui(withGui), minimal(minimal)
{
    LOG_TRACE;
    // Made first, so that the boxes are gone before anyone else hears of
    // the end of the session.
    connect(this, SIGNAL(sigDisconnect()), this, SLOT(_sessionEnded()));
    connect(this, SIGNAL(stateChanged(libvelcor::State)), this,
            SLOT(_serviceState(libvelcor::State)));
    if (_setup() == 0) {
        valid = true;
    } else {
        LOG_ERROR;
    }
}

Gui::~Gui()
{
    LOG_TRACE;
    // Failures whose box never showed are in the log all the same.
    for (const QString& text : qAsConst(waitingErrors)) {
        if (unloggedErrors.contains(text)) {
            const log::UnlimitedLines unshown;
            LOG_ERROR << text;
        }
    }
    delete systemTray;
    systemTray = nullptr;
    delete mainWindow;
    mainWindow = nullptr;
}

int Gui::_setup()
{
    LOG_TRACE;
    if (!withGui) {
        LOG_DEBUG << "[Gui] Running in command-line mode";
        return 0;
    }

    // Stored at once, so that the destructor deletes it on any later failure.
    mainWindow = new MainWindow(nullptr, minimal);
    if (!mainWindow->isValid()) {
        LOG_ERROR;
        return -1;
    }
    // A missing login plugin leaves its links out, each with an ERROR line.
    guiwiring::connectLogin(this, mainWindow->loginPlugin, mainWindow);

    if (minimal) {
        LOG_DEBUG << "[Gui] Running in minimal GUI mode";
    } else {
        LOG_DEBUG << "[Gui] Running in full GUI mode";
        guiwiring::connectMainWindow(this, mainWindow);
        mainWindow->show();
    }

    // Stored at once, like the main window. Without a system tray the
    // controller stays valid and only lacks its icon.
    auto* tray = new SystemTray(mainWindow, minimal);
    systemTray = tray;
    if (!tray->isValid()) {
        LOG_ERROR;
        return -1;
    }
    // Without a login plugin there is nothing to sign in with: the tray
    // refuses a null one, and the start fails.
    auto* login = qobject_cast<ORVO::LoginGfxPluginInterface*>(mainWindow->loginPlugin);
    if (tray->setLoginPlugin(login) != 0) {
        LOG_ERROR;
        return -1;
    }
    guiwiring::connectTray(this, tray, mainWindow->loginPlugin, mainWindow);
    return 0;
}

int Gui::run()
{
    LOG_TRACE;
    if (!withGui) {
        // Nothing to put on screen: the event loop runs without windows.
        return 0;
    }
    if (mainWindow->run() != 0) {
        LOG_ERROR;
        return -1;
    }
    // The tray-only mode built its login window inside the constructor,
    // before Manager was wired: the stored timeout and proxy reached no
    // service-side receiver, so the plugin announces them again.
    if (minimal && mainWindow->loginPlugin) {
        const QMetaObject* meta = mainWindow->loginPlugin->metaObject();
        if (meta->indexOfMethod("announceSettings()") >= 0)
            QMetaObject::invokeMethod(mainWindow->loginPlugin, "announceSettings");
    }
    // The tray-only mode without a system tray: the sign-in window is the
    // only way in, so it shows at once.
    if (minimal && systemTray && !systemTray->isTrayAvailable())
        systemTray->showSignInWindow();
    return 0;
}

QWidget* Gui::mainWindowWidget() const
{
    return mainWindow;
}

void Gui::quit()
{
    LOG_TRACE;
    if (quitting)
        return;
    quitting = true;
    GuiApplication::quitBegins();
    LOG_DEBUG << "[Gui] Emitting quit signals";
    emit close();
    emit sigDisconnect();
    LOG_DEBUG << "[Gui] Scheduling delayed quit";
    QTimer::singleShot(QuitDelayMs, this, SLOT(_quitDelayed()));
}

void Gui::_quitDelayed()
{
    LOG_TRACE;
    QCoreApplication::quit();
}

void Gui::_test()
{
    LOG_TRACE;
}

void Gui::_gotError(ORVO::Module m, QString errStr, QString msg)
{
    LOG_TRACE;
    QString text = moduleString(m) + QStringLiteral(": ") + errStr;
    if (!msg.isEmpty())
        text += QStringLiteral("\n\n(") + msg.trimmed() + QLatin1Char(')');
    const quint64 leftOut = log::linesLeftOut();
    LOG_ERROR << text;
    // A page's limit may have held the line back (a failure of what the
    // page asked for): it is written when its box shows.
    const bool logged = leftOut == log::linesLeftOut();
    // The service's and the server's texts have no bound of their own: the
    // log keeps the first few KiB, a box or a terminal line a readable part.
    text = utils::cutForDisplay(text);
    emit error(text);
    const QString title = app() + QLatin1Char(' ') + tr("Error");
    if (!withGui) {
        // The message on a line of its own, as in the box; the texts' own
        // line breaks are escaped.
        QStringList lines{title + QStringLiteral(": ") +
                          utils::cutForDisplay(moduleString(m) + QStringLiteral(": ") + errStr)};
        if (!msg.isEmpty())
            lines << QString()
                  << utils::cutForDisplay(QLatin1Char('(') + msg.trimmed() + QLatin1Char(')'));
        ORVO::utils::printErr(lines);
        return;
    }
    // One box per failure: the same error again while its box is open or
    // waits (a service that keeps failing the same way) adds none. Boxes
    // come one at a time, and of a burst of others only the latest wait:
    // each box's event loop would open the next. The log has every one.
    if (text == shownError || waitingErrors.contains(text))
        return;
    waitingErrors.append(text);
    if (!logged)
        unloggedErrors.insert(text);
    if (waitingErrors.size() > MaxWaitingErrors && unloggedErrors.remove(waitingErrors.first())) {
        // No box will show it: written now.
        const log::UnlimitedLines dropped;
        LOG_ERROR << waitingErrors.first();
    }
    if (waitingErrors.size() > MaxWaitingErrors)
        waitingErrors.removeFirst();
    if (showingErrors)
        return;
    showingErrors = true;
    // From the event loop, as every box of the service's events: its own
    // event loop must not run inside their delivery.
    QTimer::singleShot(0, this, [this]() { _showErrors(); });
}

void Gui::_showErrors()
{
    const QPointer<Gui> self(this);
    while (!waitingErrors.isEmpty()) {
        const QString text = waitingErrors.takeFirst();
        shownError = text;
        if (unloggedErrors.remove(text)) {
            // A failure the user is shown, whatever a page wrote before.
            const log::UnlimitedLines shown;
            LOG_ERROR << text;
        }
        // The error text and message come from the service or a server.
        MessageBox::critical(nullptr, app() + QLatin1Char(' ') + tr("Error"), text, QMessageBox::Ok,
                             QMessageBox::NoButton, Qt::PlainText);
        if (!self)
            return;
    }
    shownError.clear();
    showingErrors = false;
}

void Gui::_gotQuery(int id, QString query)
{
    LOG_TRACE;
    const QString title = app() + QLatin1Char(' ') + tr("Warning");
    query = utils::cutForDisplay(query);
    if (!withGui) {
        // Nobody can answer: the safe answer is no. The question is the
        // program's own: its lines stay lines.
        ORVO::utils::printErr(
            QString(title + QStringLiteral(": ") + query).split(QLatin1Char('\n')));
        ORVO::utils::printErr(tr("No one can answer in command-line mode: answered no."));
        LOG_NOTICE << "[Gui] Query " << id << " answered no in command-line mode";
        emit sigQueryResponse(id, false);
        return;
    }
    // The same question asked again while its box is open adds no box: the
    // one box answers it, by the same id. Its asker takes one answer per
    // question; a second box's would be dropped.
    const QPair<int, QString> key(id, query);
    if (openQueries.contains(key)) {
        LOG_NOTICE << "[Gui] Query " << id << " asked again while its box is open";
        return;
    }
    openQueries.insert(key);
    // From the event loop; the answer goes back by the question's id.
    const QPointer<Gui> self(this);
    const quint64 session = sessionsEnded;
    QTimer::singleShot(0, this, [self, id, title, query, key, session]() {
        int answer = QMessageBox::Cancel;
        if (session == self->sessionsEnded) {
            MessageBox box(QMessageBox::Warning, title, query,
                           QMessageBox::Ok | QMessageBox::Cancel, nullptr);
            box.setDefaultButton(QMessageBox::Cancel);
            self->sessionBoxes.removeAll(nullptr);
            self->sessionBoxes.append(&box);
            answer = box.exec();
            if (!self)
                return;
        } else {
            LOG_NOTICE << "[Gui] Query " << id << " dropped: its session has ended";
        }
        // Before the answer goes out: a question asked in reply to it gets
        // a box of its own. The keys of an ended session are gone already,
        // and the same key may now be a new session's open question.
        if (session == self->sessionsEnded)
            self->openQueries.remove(key);
        emit self->sigQueryResponse(id, answer == QMessageBox::Ok);
    });
}

void Gui::_gotAuthChanged(libvelcor::Auth auth)
{
    LOG_TRACE;
    const QString text =
        utils::cutForDisplay(tr("Password successfully changed for user: ") + auth.getUser());
    if (!withGui) {
        ORVO::utils::printErr(tr("Info") + QStringLiteral(": ") + text);
        return;
    }
    // From the event loop, as the service's boxes: this arrives inside the
    // handler of the server's answer. The user name is data, shown as it is.
    QTimer::singleShot(0, this, [text]() {
        MessageBox::information(nullptr, tr("Info"), text, QMessageBox::Ok, QMessageBox::NoButton,
                                Qt::PlainText);
    });
}

void Gui::_requestAction(QVariantMap data)
{
    LOG_TRACE;
    const bool open = data.value(QStringLiteral("_type")).toString() == QLatin1String("open");
    const QString heading = open
                                ? tr("Connect Service is attemping to run the following action:")
                                : tr("Connect Service is attemping to close the following action:");
    const QString name = QStringLiteral("name: ") + data.value(QStringLiteral("name")).toString();
    const QString endpoint =
        QStringLiteral("endpoint: ") + data.value(QStringLiteral("endpoint")).toString();
    const QString text = utils::cutForDisplay(heading + QStringLiteral("\n\n") + name +
                                              QLatin1Char('\n') + endpoint);

    if (!withGui) {
        // Actions of the request server need the user's consent, and no
        // one can give it without windows.
        LOG_NOTICE << "[Gui] Action refused in command-line mode: "
                   << data.value(QStringLiteral("name")).toString();
        // Name and endpoint on a line each, their own line breaks escaped.
        ORVO::utils::printErr(QStringList{
            heading, QString(), utils::cutForDisplay(name), utils::cutForDisplay(endpoint),
            tr("Refused: no one can confirm an action in command-line mode.")});
        return;
    }

    auto* box = new TimedMessageBox(ActionConfirmSeconds, QVariant(data));
    box->setWindowModality(Qt::NonModal);
    box->setWindowTitle(versionInfo());
    // Name and endpoint come from the service's request.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setInformativeText(autoacceptText(ActionConfirmSeconds));
    box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Ok);
    connect(box, SIGNAL(timeLeft(int, QVariant)), this, SLOT(_tBoxTimeLeft(int, QVariant)));
    connect(box, SIGNAL(buttonClicked(QAbstractButton*, QVariant)), this,
            SLOT(_tBoxButtonClicked(QAbstractButton*, QVariant)));
    connect(box, SIGNAL(finished(int, QVariant)), this, SLOT(_tBoxFinished(int, QVariant)));
    sessionBoxes.removeAll(nullptr);
    sessionBoxes.append(box);
    box->show();
}

void Gui::_tBoxTimeLeft(int secs, QVariant data)
{
    LOG_TRACE;
    Q_UNUSED(data);
    auto* box = qobject_cast<TimedMessageBox*>(sender());
    if (!box)
        return;
    if (secs != 0) {
        box->setInformativeText(autoacceptText(secs));
        return;
    }
    // The box closes itself right after this signal, timed out: that runs
    // the action.
    box->deleteLater();
}

void Gui::_tBoxButtonClicked(QAbstractButton* aButton, QVariant data)
{
    LOG_TRACE;
    auto* box = qobject_cast<TimedMessageBox*>(sender());
    if (!box)
        return;
    if (claimDecision(box)) {
        switch (box->standardButton(aButton)) {
        case QMessageBox::Cancel:
            LOG_DEBUG << "[Gui] Action cancelled by user";
            break;
        case QMessageBox::Ok:
            LOG_DEBUG << "[Gui] Action accepted by user";
            emit startAction(data.toMap());
            break;
        default:
            break;
        }
    }
    box->close();
    box->deleteLater();
}

void Gui::_tBoxFinished(int result, QVariant data)
{
    LOG_TRACE;
    auto* box = qobject_cast<TimedMessageBox*>(sender());
    if (!box)
        return;
    // A button's code: its click decides (it may arrive after this signal,
    // as in Qt 4).
    if (result != 0 && !box->hasTimedOut())
        return;
    if (!claimDecision(box))
        return;
    // Only the countdown's end runs the action; a box closed through its
    // window (the close control, the window manager) is a Cancel.
    if (box->hasTimedOut()) {
        LOG_DEBUG << "[Gui] TimedMessageBox timeout - running action";
        emit startAction(data.toMap());
    } else {
        LOG_DEBUG << "[Gui] Action cancelled by user";
    }
    box->deleteLater();
}

void Gui::_windowUnhide()
{
    LOG_TRACE;
    if (!mainWindow)
        return;
    mainWindow->setWindowState(mainWindow->windowState() & ~Qt::WindowMinimized);
    mainWindow->raise();
    mainWindow->show();
}

void Gui::_serviceState(libvelcor::State state)
{
    if (state == libvelcor::StateIdle || state == libvelcor::StateError)
        _sessionEnded();
}

void Gui::_sessionEnded()
{
    LOG_TRACE;
    ++sessionsEnded;
    // A question belongs to the session that asked it: whatever still waits
    // for an answer ends as a Cancel, and no action it asked about runs.
    // A request that comes later gets a box of its own, the same question
    // too.
    openQueries.clear();
    const QList<QPointer<QMessageBox>> boxes = sessionBoxes;
    sessionBoxes.clear();
    for (const QPointer<QMessageBox>& box : boxes) {
        if (!box)
            continue;
        if (qobject_cast<TimedMessageBox*>(box)) {
            if (claimDecision(box))
                LOG_DEBUG << "[Gui] Action cancelled: the session ended";
            box->close();
            box->deleteLater();
        } else if (QAbstractButton* cancel = box->button(QMessageBox::Cancel)) {
            cancel->click();
        }
    }
}

} // namespace ORVO
