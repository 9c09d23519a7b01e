#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPushButton>
#include <QSignalSpy>

#include "boxdriver.h"
#include "common/loglimit.h"
#include "gui/gui.h"
#include "gui/testseams.h"
#include "gui/timedmessagebox.h"
#include "logcapture.h"
#include "testenv.h"
#include "testmain.h"

using ORVO::Gui;

namespace {

QVariantMap actionMap(const QString& type, const QString& name)
{
    QVariantMap map{{QStringLiteral("name"), name},
                    {QStringLiteral("endpoint"), QStringLiteral("10.1.2.3")},
                    {QStringLiteral("path"), QStringLiteral("/usr/bin/ssh")}};
    if (!type.isNull())
        map.insert(QStringLiteral("_type"), type);
    return map;
}

QList<ORVO::TimedMessageBox*> timedBoxes()
{
    QList<ORVO::TimedMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<ORVO::TimedMessageBox*>(w))
            boxes << box;
    }
    return boxes;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestGui : public QObject
{
    Q_OBJECT

private slots:
    // Each case builds its own GUI; the last one's tray asked to quit.
    void init() { orvotest::clearQuitRequest(); }
    void initTestCase();
    void cleanup();

    void commandLineMode();
    void withoutLoginPlugin();
    void commandLineDialogs();
    void errorText_data();
    void errorText();
    void errorBox();
    void repeatedErrorOneBox_data();
    void repeatedErrorOneBox();
    void queryBox_data();
    void queryBox();
    void queryEndsWithSession();
    void authChangedBox();

    void confirmation_data();
    void confirmation();
    void confirmationCountdown();
    void confirmationTexts_data();
    void confirmationTexts();
    void confirmationBoxesApart();

    void quitPath();
};

void TestGui::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    qRegisterMetaType<QAbstractButton*>();
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
}

void TestGui::cleanup()
{
    for (ORVO::TimedMessageBox* box : timedBoxes())
        delete box;
}

void TestGui::commandLineMode()
{
    Gui gui(nullptr, false, true);
    QVERIFY(gui.isValid());
    QVERIFY(!gui.mainWindow);
    QVERIFY(!gui.systemTray);
    QCOMPARE(gui.run(), 0);
    // What Manager reads to wire itself.
    QCOMPARE(gui.property("withGui").toBool(), false);
    QCOMPARE(gui.property("minimal").toBool(), true);
    QCOMPARE(gui.property("mainWindow").value<QWidget*>(), static_cast<QWidget*>(nullptr));
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

// No plugin is linked here: nothing to sign in with, so no window mode.
void TestGui::withoutLoginPlugin()
{
    for (bool minimal : {false, true})
        QVERIFY(!Gui(nullptr, true, minimal).isValid());
}

// Without windows nobody can answer: queries are refused, actions too, and
// nothing is put on screen.
void TestGui::commandLineDialogs()
{
    Gui gui(nullptr, false, false);
    QSignalSpy answers(&gui, SIGNAL(sigQueryResponse(int, bool)));
    QSignalSpy actions(&gui, SIGNAL(startAction(QVariantMap)));
    QSignalSpy errors(&gui, SIGNAL(error(QString)));
    orvotest::LogCapture log;

    QMetaObject::invokeMethod(&gui, "_gotQuery", Q_ARG(int, 0), Q_ARG(QString, "Trust it?"));
    QMetaObject::invokeMethod(&gui, "_requestAction", Q_ARG(QVariantMap, actionMap("open", "ssh")));
    QMetaObject::invokeMethod(&gui, "_gotError", Q_ARG(ORVO::Module, ORVO::ModuleManager),
                              Q_ARG(QString, "failed"));
    QMetaObject::invokeMethod(&gui, "_gotAuthChanged", Q_ARG(libvelcor::Auth, libvelcor::Auth()));
    QTest::qWait(50);

    QCOMPARE(answers.count(), 1);
    QCOMPARE(answers.at(0).at(0).toInt(), 0);
    QCOMPARE(answers.at(0).at(1).toBool(), false);
    QVERIFY(actions.isEmpty());
    QCOMPARE(errors.count(), 1);
    QVERIFY(log.contains(QStringLiteral("[Gui] Action refused in command-line mode")));
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestGui::errorText_data()
{
    QTest::addColumn<int>("module");
    QTest::addColumn<QString>("errStr");
    QTest::addColumn<QString>("msg");
    QTest::addColumn<QString>("text");
    QTest::newRow("no message") << 1 << "Bad parameters" << QString() << "Manager: Bad parameters";
    QTest::newRow("message trimmed") << 4 << "Login failed"
                                     << "  wrong password \n"
                                     << "API Manager: Login failed\n\n(wrong password)";
    QTest::newRow("blank message") << 2 << "x"
                                   << " \n"
                                   << "Network Manager: x\n\n()";
    QTest::newRow("empty error") << 0 << QString() << QString() << "None: ";
    QTest::newRow("unknown module") << 9 << "e" << QString() << ": e";
}

void TestGui::errorText()
{
    QFETCH(int, module);
    QFETCH(QString, errStr);
    QFETCH(QString, msg);
    QFETCH(QString, text);
    Gui gui(nullptr, false, false);
    QSignalSpy errors(&gui, SIGNAL(error(QString)));
    orvotest::LogCapture log;
    QMetaObject::invokeMethod(&gui, "_gotError",
                              Q_ARG(ORVO::Module, static_cast<ORVO::Module>(module)),
                              Q_ARG(QString, errStr), Q_ARG(QString, msg));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), text);
    QCOMPARE(log.linesAt(QStringLiteral("ERROR")).size(), 1);
}

// The dialog slots of the GUI modes; the Gui is built in full GUI mode,
// whose windows are not needed by these slots.
void TestGui::errorBox()
{
    Gui gui(nullptr, true, false);
    QSignalSpy errors(&gui, SIGNAL(error(QString)));
    BoxDriver driver(QMessageBox::Ok);
    QMetaObject::invokeMethod(&gui, "_gotError", Q_ARG(ORVO::Module, ORVO::ModuleApiManager),
                              Q_ARG(QString, "<b>refused</b>"), Q_ARG(QString, ""));
    // The box opens once the call has returned; the tray has heard of it.
    QVERIFY(!BoxDriver::visibleBox());
    QCOMPARE(errors.count(), 1);
    QTRY_VERIFY(driver.seen.shown);
    QCOMPARE(driver.seen.title, QStringLiteral("Bastiva Connect App Error"));
    QCOMPARE(driver.seen.text, QStringLiteral("API Manager: <b>refused</b>"));
    QCOMPARE(driver.seen.labelFormat, Qt::PlainText);
}

// The same error again while its box is open adds no box; the log has
// each. Once closed, it is shown again.
void TestGui::repeatedErrorOneBox_data()
{
    QTest::addColumn<bool>("question");
    QTest::newRow("error") << false;
    QTest::newRow("question") << true;
}

void TestGui::repeatedErrorOneBox()
{
    QFETCH(bool, question);
    Gui gui(nullptr, true, false);
    QSignalSpy answers(&gui, SIGNAL(sigQueryResponse(int, bool)));
    orvotest::LogCapture log;
    const auto ask = [&]() {
        if (question)
            QMetaObject::invokeMethod(&gui, "_gotQuery", Q_ARG(int, 0),
                                      Q_ARG(QString, "Untrusted Server!"));
        else
            QMetaObject::invokeMethod(&gui, "_gotError",
                                      Q_ARG(ORVO::Module, ORVO::ModuleApiManager),
                                      Q_ARG(QString, "stopped answering"), Q_ARG(QString, ""));
    };
    QList<int> open; // boxes on screen each time one is answered
    QStringList shown;
    bool repeated = false;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&]() {
        QMessageBox* box = BoxDriver::visibleBox();
        if (!box)
            return;
        if (!repeated) {
            // The same again while the first box is on screen.
            repeated = true;
            ask();
            return;
        }
        open << BoxDriver::visibleBoxes();
        shown << box->text();
        box->button(QMessageBox::Ok)->click();
    });
    answer.start(50);
    ask();
    QTRY_COMPARE(open.size(), 1);
    // Once answered, the next one has a box of its own.
    ask();
    QTRY_COMPARE(open, (QList<int>{1, 1}));
    // One answer per box; the log has every one asked.
    QTRY_COMPARE(answers.size(), question ? 2 : 0);
    QCOMPARE(log.linesAt(question ? QStringLiteral("notice") : QStringLiteral("ERROR")).size(),
             question ? 1 : 3);
    if (question)
        return;
    // A burst of different errors: one box at a time, the latest few. Each
    // is in the log, though a page's limit held back what it caused.
    const int before = shown.size();
    {
        ORVO::log::RateLimit page("a page", {1, 0.001});
        LOG_ERROR_LIMITED(page) << "its lines";
        const ORVO::log::LimitScope scope(&page);
        for (int i = 0; i < 50; ++i)
            QMetaObject::invokeMethod(&gui, "_gotError",
                                      Q_ARG(ORVO::Module, ORVO::ModuleApiManager),
                                      Q_ARG(QString, QString::number(i)), Q_ARG(QString, ""));
    }
    QTRY_COMPARE(shown.last(), QStringLiteral("API Manager: 49"));
    QCOMPARE(log.count(QRegularExpression("\\] \"API Manager: \\d+\"$")), 50);
    {
        Gui quitting(nullptr, true, false);
        ORVO::log::RateLimit page("a page", {1, 0.001});
        LOG_ERROR_LIMITED(page) << "its lines";
        const ORVO::log::LimitScope scope(&page);
        QMetaObject::invokeMethod(&quitting, "_gotError",
                                  Q_ARG(ORVO::Module, ORVO::ModuleApiManager),
                                  Q_ARG(QString, "gone"), Q_ARG(QString, ""));
    } // the program ends before the box shows
    QCOMPARE(log.count(QRegularExpression("\\] \"API Manager: gone\"$")), 1);
    QVERIFY2(shown.size() - before <= 5 && open.count(1) == open.size(),
             qPrintable(shown.join(',')));
}

void TestGui::queryBox_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("ok");
    QTest::newRow("ok") << int(QMessageBox::Ok) << true;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false;
    QTest::newRow("closed") << 0 << false;
}

void TestGui::queryBox()
{
    QFETCH(int, answer);
    QFETCH(bool, ok);
    Gui gui(nullptr, true, false);
    QSignalSpy answers(&gui, SIGNAL(sigQueryResponse(int, bool)));
    BoxDriver driver(answer);
    QMetaObject::invokeMethod(&gui, "_gotQuery", Q_ARG(int, 7),
                              Q_ARG(QString, "Untrusted Server! <a href=x>go</a>"));
    QVERIFY(!BoxDriver::visibleBox());
    QTRY_COMPARE(answers.count(), 1);
    QCOMPARE(answers.at(0).at(0).toInt(), 7);
    QCOMPARE(answers.at(0).at(1).toBool(), ok);
    QCOMPARE(driver.seen.title, QStringLiteral("Bastiva Connect App Warning"));
    QCOMPARE(driver.seen.text, QStringLiteral("Untrusted Server! <a href=x>go</a>"));
    // The question is the program's own text: Qt's automatic format.
    QCOMPARE(driver.seen.labelFormat, Qt::AutoText);
    QCOMPARE(driver.seen.defaultButton, int(QMessageBox::Cancel));
}

// A question open, or about to open, when the session ends is answered no;
// the next session's same question gets a box of its own.
void TestGui::queryEndsWithSession()
{
    Gui gui(nullptr, true, false);
    QSignalSpy answers(&gui, SIGNAL(sigQueryResponse(int, bool)));
    bool signedOut = false;
    QTimer poll; // runs inside the boxes' own event loops
    connect(&poll, &QTimer::timeout, this, [&gui, &signedOut] {
        QMessageBox* box = BoxDriver::visibleBox();
        if (box && signedOut) // a box left open says yes: no hang, a wrong answer
            box->button(QMessageBox::Ok)->click();
        if (!box || signedOut)
            return;
        signedOut = true;
        QMetaObject::invokeMethod(&gui, "_gotQuery", Q_ARG(int, 0), Q_ARG(QString, "later"));
        emit gui.sigDisconnect();
        QMetaObject::invokeMethod(&gui, "_gotQuery", Q_ARG(int, 0), Q_ARG(QString, "open"));
    });
    poll.start(5);
    QMetaObject::invokeMethod(&gui, "_gotQuery", Q_ARG(int, 0), Q_ARG(QString, "open"));
    QTRY_VERIFY(!answers.isEmpty());
    QCOMPARE(answers.first(), (QVariantList{0, false}));
    QTRY_COMPARE(answers.count(), 3);
    QCOMPARE(answers.count(QVariantList{0, true}), 1);
}

void TestGui::authChangedBox()
{
    Gui gui(nullptr, true, false);
    BoxDriver driver(QMessageBox::Ok);
    const libvelcor::Auth auth(libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType, QString(),
                               QStringLiteral("<i>mara"), QStringLiteral("pw"), QString());
    QMetaObject::invokeMethod(&gui, "_gotAuthChanged", Q_ARG(libvelcor::Auth, auth));
    // Not inside the handler of the server's answer that brought it.
    QVERIFY(!driver.seen.shown);
    QTRY_VERIFY(driver.seen.shown);
    QCOMPARE(driver.seen.title, QStringLiteral("Info"));
    QCOMPARE(driver.seen.text, QStringLiteral("Password successfully changed for user: <i>mara"));
    QCOMPARE(driver.seen.labelFormat, Qt::PlainText);
}

// How a confirmation box ends decides whether its action runs, whatever
// order Qt emits the click and the end of the dialog in.
void TestGui::confirmation_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("runs");
    QTest::newRow("ok") << "ok" << 1;
    QTest::newRow("cancel") << "cancel" << 0;
    QTest::newRow("escape key") << "escape" << 0;
    // Closed through the window, not by the countdown: a Cancel.
    QTest::newRow("window closed") << "close" << 0;
    // The session that asked ended: the box ends as a Cancel.
    QTest::newRow("signed out") << "signed out" << 0;
    QTest::newRow("service idle") << "idle" << 0;
    QTest::newRow("service error") << "error" << 0;
    // A request after the sign-out asks as usual.
    QTest::newRow("asked after sign-out") << "ok after sign-out" << 1;
}

void TestGui::confirmation()
{
    QFETCH(QString, how);
    QFETCH(int, runs);
    Gui gui(nullptr, true, false);
    QSignalSpy actions(&gui, SIGNAL(startAction(QVariantMap)));
    const QVariantMap map = actionMap("open", "ssh");
    if (how == QLatin1String("ok after sign-out"))
        emit gui.sigDisconnect();
    QMetaObject::invokeMethod(&gui, "_requestAction", Q_ARG(QVariantMap, map));

    QCOMPARE(timedBoxes().size(), 1);
    QPointer<ORVO::TimedMessageBox> box = timedBoxes().first();
    QVERIFY(box->isVisible());
    QVERIFY(!box->isModal());
    if (how.startsWith(QLatin1String("ok")))
        box->button(QMessageBox::Ok)->click();
    else if (how == QLatin1String("signed out"))
        emit gui.sigDisconnect();
    else if (how == QLatin1String("idle") || how == QLatin1String("error"))
        emit gui.stateChanged(how == QLatin1String("idle") ? libvelcor::StateIdle
                                                           : libvelcor::StateError);
    else if (how == QLatin1String("cancel"))
        box->button(QMessageBox::Cancel)->click();
    else if (how == QLatin1String("escape"))
        QTest::keyClick(box, Qt::Key_Escape);
    else
        box->close();
    QTest::qWait(20);
    flushDeletes();

    QCOMPARE(actions.count(), runs);
    if (runs)
        QCOMPARE(actions.at(0).at(0).toMap(), map);
    QVERIFY(box.isNull());
}

// Ten ticks: the informative text counts 9 ... 1, the box closes at 0 and
// the action runs once. The ticks are driven directly, not waited for.
void TestGui::confirmationCountdown()
{
    Gui gui(nullptr, true, false);
    QSignalSpy actions(&gui, SIGNAL(startAction(QVariantMap)));
    orvotest::LogCapture log;
    QMetaObject::invokeMethod(&gui, "_requestAction",
                              Q_ARG(QVariantMap, actionMap("close", "rdp")));
    QPointer<ORVO::TimedMessageBox> box = timedBoxes().value(0);
    QVERIFY(box);
    QCOMPARE(box->informativeText(),
             QStringLiteral("Allow action execution? (Autoaccept in 10 seconds)"));
    for (int left = 9; left >= 1; --left) {
        QVERIFY(QMetaObject::invokeMethod(box, "_timeout"));
        QCOMPARE(box->informativeText(),
                 QStringLiteral("Allow action execution? (Autoaccept in %1 seconds)").arg(left));
        QVERIFY(actions.isEmpty());
    }
    QVERIFY(QMetaObject::invokeMethod(box, "_timeout"));
    QVERIFY(!box->isVisible());
    QCOMPARE(actions.count(), 1);
    QCOMPARE(actions.at(0).at(0).toMap().value(QStringLiteral("name")).toString(),
             QStringLiteral("rdp"));
    QVERIFY(log.contains(QStringLiteral("[Gui] TimedMessageBox timeout - running action")));
    flushDeletes();
    QVERIFY(box.isNull());
}

void TestGui::confirmationTexts_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("lead");
    const QString run = QStringLiteral("Connect Service is attemping to run the following action:");
    const QString close =
        QStringLiteral("Connect Service is attemping to close the following action:");
    QTest::newRow("open") << "open" << run;
    QTest::newRow("close") << "close" << close;
    QTest::newRow("no type") << QString() << close;
    QTest::newRow("other case") << "Open" << close;
}

void TestGui::confirmationTexts()
{
    QFETCH(QString, type);
    QFETCH(QString, lead);
    Gui gui(nullptr, true, false);
    QMetaObject::invokeMethod(&gui, "_requestAction",
                              Q_ARG(QVariantMap, actionMap(type, "<b>vnc</b>")));
    ORVO::TimedMessageBox* box = timedBoxes().value(0);
    QVERIFY(box);
    QCOMPARE(box->text(), lead + "\n\nname: <b>vnc</b>\nendpoint: 10.1.2.3");
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QCOMPARE(box->windowTitle(), ORVO::versionInfo());
    QCOMPARE(box->standardButton(box->defaultButton()), QMessageBox::Ok);
    QCOMPARE(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
}

// Each request has a box and a map of its own.
void TestGui::confirmationBoxesApart()
{
    Gui gui(nullptr, true, false);
    QSignalSpy actions(&gui, SIGNAL(startAction(QVariantMap)));
    QMetaObject::invokeMethod(&gui, "_requestAction", Q_ARG(QVariantMap, actionMap("open", "a")));
    QMetaObject::invokeMethod(&gui, "_requestAction", Q_ARG(QVariantMap, actionMap("open", "b")));
    const QList<ORVO::TimedMessageBox*> boxes = timedBoxes();
    QCOMPARE(boxes.size(), 2);
    for (ORVO::TimedMessageBox* box : boxes) {
        const bool isB = box->text().contains(QLatin1String("name: b"));
        box->button(isB ? QMessageBox::Ok : QMessageBox::Cancel)->click();
    }
    flushDeletes();
    QCOMPARE(actions.count(), 1);
    QCOMPARE(actions.at(0).at(0).toMap().value(QStringLiteral("name")).toString(),
             QStringLiteral("b"));
    QVERIFY(timedBoxes().isEmpty());
}

// Command-line mode's quit: close, then disconnect, then the event loop
// ends 500 ms later; a second request changes nothing.
void TestGui::quitPath()
{
    Gui gui(nullptr, false, false);
    QStringList order;
    connect(&gui, &Gui::close, this, [&order] { order << QStringLiteral("close"); });
    connect(&gui, &Gui::sigDisconnect, this, [&order] { order << QStringLiteral("disconnect"); });
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    gui.quit();
    gui.quit();
    QTimer::singleShot(5000, &loop, [&loop] { loop.exit(99); });
    QCOMPARE(loop.exec(), 0);
    QVERIFY2(clock.elapsed() >= 450, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(order, QStringList({"close", "disconnect"}));
}

ORVO_TEST_GUI_MAIN(TestGui)
#include "tst_gui.moc"
