#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QWidget>

#include "boxdriver.h"
#include "common/utils.h"
#include "gui/messagebox.h"
#include "gui/testseams.h"
#include "gui/timedmessagebox.h"
#include "testmain.h"

using ORVO::MessageBox;

class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void staticBoxes_data();
    void staticBoxes();
    void styleSheetAndTextFormat_data();
    void styleSheetAndTextFormat();
    void autoAnswer_data();
    void autoAnswer();
    void answerWords_data();
    void answerWords();
    void countdown();
    void traySwitch();
    void clickCarriesTag_data();
    void clickCarriesTag();
};

void TestMessageBox::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    qRegisterMetaType<QAbstractButton*>();
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
}

void TestMessageBox::cleanup()
{
    ORVO::seams::setMessageBoxAutoAnswer(0);
    QCOMPARE(BoxDriver::visibleBox(), static_cast<QMessageBox*>(nullptr));
}

typedef int (*StaticBox)(QWidget*, QString, QString, QMessageBox::StandardButtons,
                         QMessageBox::StandardButton, Qt::TextFormat);
Q_DECLARE_METATYPE(StaticBox)

void TestMessageBox::staticBoxes_data()
{
    QTest::addColumn<StaticBox>("function");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("expected");

    const int okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    QTest::newRow("warning ok") << StaticBox(&MessageBox::warning) << okCancel
                                << int(QMessageBox::Cancel) << int(QMessageBox::Ok)
                                << int(QMessageBox::Ok);
    QTest::newRow("warning cancel")
        << StaticBox(&MessageBox::warning) << okCancel << int(QMessageBox::Cancel)
        << int(QMessageBox::Cancel) << int(QMessageBox::Cancel);
    // The window's close control answers with the escape button.
    QTest::newRow("warning closed") << StaticBox(&MessageBox::warning) << okCancel
                                    << int(QMessageBox::Ok) << 0 << int(QMessageBox::Cancel);
    QTest::newRow("critical") << StaticBox(&MessageBox::critical) << int(QMessageBox::Ok)
                              << int(QMessageBox::NoButton) << int(QMessageBox::Ok)
                              << int(QMessageBox::Ok);
    QTest::newRow("information") << StaticBox(&MessageBox::information) << int(QMessageBox::Ok)
                                 << int(QMessageBox::NoButton) << 0 << int(QMessageBox::Ok);
    QTest::newRow("question no") << StaticBox(&MessageBox::question)
                                 << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::Yes)
                                 << int(QMessageBox::No) << int(QMessageBox::No);
}

// Each box is a top-level window whatever parent was given, shows its own
// image, and returns the button that closed it.
void TestMessageBox::staticBoxes()
{
    QFETCH(StaticBox, function);
    QFETCH(int, buttons);
    QFETCH(int, defaultButton);
    QFETCH(int, answer);
    QFETCH(int, expected);

    QWidget parent;
    BoxDriver driver(answer);
    const int result = function(&parent, QStringLiteral("Title"), QStringLiteral("Text"),
                                QMessageBox::StandardButtons(buttons),
                                QMessageBox::StandardButton(defaultButton), Qt::AutoText);
    QCOMPARE(result, expected);
    QVERIFY(driver.seen.shown);
    QVERIFY(!driver.seen.hasParent);
    QVERIFY(driver.seen.modal);
    QVERIFY(driver.seen.hasPixmap);
    QCOMPARE(driver.seen.title, QStringLiteral("Title"));
    QCOMPARE(driver.seen.defaultButton, defaultButton);
}

void TestMessageBox::styleSheetAndTextFormat_data()
{
    QTest::addColumn<bool>("outside");
    QTest::addColumn<int>("format");
    // The program's own texts keep Qt's automatic format.
    QTest::newRow("own text") << false << int(Qt::AutoText);
    // A text the service sent is shown as it is, tags included.
    QTest::newRow("service text") << true << int(Qt::PlainText);
}

void TestMessageBox::styleSheetAndTextFormat()
{
    QFETCH(bool, outside);
    QFETCH(int, format);
    const QString sheet = ORVO::utils::loadStyleSheet(QStringLiteral(":/messagebox.css"));
    QVERIFY(sheet.contains(QLatin1String("QMessageBox")));
    MessageBox box(QMessageBox::Warning, QStringLiteral("t"), QStringLiteral("<b>bold</b>"),
                   QMessageBox::Ok, nullptr);
    QCOMPARE(box.styleSheet(), sheet);
    QVERIFY(box.windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
    QCOMPARE(box.textFormat(), Qt::AutoText);
    QCOMPARE(MessageBox(nullptr).textFormat(), Qt::AutoText);

    BoxDriver driver(QMessageBox::Ok);
    const QString text = QStringLiteral("<img src=x>&amp;");
    if (outside)
        MessageBox::critical(nullptr, QStringLiteral("t"), text, QMessageBox::Ok,
                             QMessageBox::NoButton, Qt::PlainText);
    else
        MessageBox::critical(nullptr, QStringLiteral("t"), text, QMessageBox::Ok,
                             QMessageBox::NoButton);
    QVERIFY(driver.seen.shown);
    QCOMPARE(int(driver.seen.labelFormat), format);
    QCOMPARE(driver.seen.text, text);
}

void TestMessageBox::autoAnswer_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("expected");
    const int okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    QTest::newRow("ok") << int(QMessageBox::Ok) << okCancel << int(QMessageBox::Ok);
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << okCancel << int(QMessageBox::Cancel);
    QTest::newRow("close") << ORVO::seams::CloseAnswer << okCancel << int(QMessageBox::Cancel);
    // A button the box lacks closes the window instead of hanging the test.
    QTest::newRow("absent button")
        << int(QMessageBox::Yes) << int(QMessageBox::Ok) << int(QMessageBox::Ok);
}

void TestMessageBox::autoAnswer()
{
    QFETCH(int, answer);
    QFETCH(int, buttons);
    QFETCH(int, expected);
    ORVO::seams::setMessageBoxAutoAnswer(answer);
    QCOMPARE(MessageBox::warning(nullptr, QStringLiteral("t"), QStringLiteral("x"),
                                 QMessageBox::StandardButtons(buttons), QMessageBox::NoButton),
             expected);
}

void TestMessageBox::answerWords_data()
{
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<int>("answer");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("ok") << QByteArray("ok") << int(QMessageBox::Ok);
    QTest::newRow("upper") << QByteArray(" Cancel ") << int(QMessageBox::Cancel);
    QTest::newRow("no") << QByteArray("no") << int(QMessageBox::No);
    QTest::newRow("close") << QByteArray("close") << ORVO::seams::CloseAnswer;
    QTest::newRow("unknown") << QByteArray("maybe") << -1;
}

void TestMessageBox::answerWords()
{
    QFETCH(QByteArray, word);
    QFETCH(int, answer);
    QCOMPARE(ORVO::seams::messageBoxAnswerFromWord(word), answer);
}

// The one real-time test: two ticks a second apart, closing and stopping at
// zero; boxes built with no time left stay silent meanwhile.
void TestMessageBox::countdown()
{
    const QVariant tag(QStringLiteral("tag"));
    ORVO::TimedMessageBox box(2, tag);
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    ORVO::TimedMessageBox zero(0, tag);
    ORVO::TimedMessageBox negative(-3, tag);

    QSignalSpy left(&box, SIGNAL(timeLeft(int, QVariant)));
    QSignalSpy finished(&box, SIGNAL(finished(int, QVariant)));
    QList<QSignalSpy*> silent;
    for (ORVO::TimedMessageBox* b : {&zero, &negative}) {
        silent << new QSignalSpy(b, SIGNAL(timeLeft(int, QVariant)))
               << new QSignalSpy(b, SIGNAL(finished(int, QVariant)))
               << new QSignalSpy(b, SIGNAL(buttonClicked(QAbstractButton*, QVariant)));
    }
    QElapsedTimer clock;
    clock.start();
    box.show();

    QVERIFY(left.wait(1500));
    QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(left.at(0).at(0).toInt(), 1);
    QVERIFY(box.isVisible());
    QVERIFY(finished.isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 1500);
    QCOMPARE(left.count(), 2);
    QCOMPARE(left.at(1).at(0).toInt(), 0);
    QCOMPARE(left.at(1).at(1), tag);
    QCOMPARE(finished.at(0).at(0).toInt(), 0);
    QCOMPARE(finished.at(0).at(1), tag);
    QVERIFY(!box.isVisible());
    // The countdown ends at zero, also for a box nobody deleted.
    QTest::qWait(1300);
    QCOMPARE(left.count(), 2);
    QCOMPARE(finished.count(), 1);

    // A silent box behaves as a plain one: a click passes no tagged signal.
    zero.setStandardButtons(QMessageBox::Ok);
    zero.show();
    zero.button(QMessageBox::Ok)->click();
    for (QSignalSpy* spy : silent) {
        QVERIFY(spy->isEmpty());
        delete spy;
    }
}

// Offscreen has no system tray; the switch makes one count as there.
void TestMessageBox::traySwitch()
{
    ORVO::seams::setAssumeSystemTray(false);
    QVERIFY(!ORVO::seams::systemTrayAvailable());
    ORVO::seams::setAssumeSystemTray(true);
    QVERIFY(ORVO::seams::systemTrayAvailable());
    ORVO::seams::setAssumeSystemTray(false);
}

void TestMessageBox::clickCarriesTag_data()
{
    QTest::addColumn<int>("button");
    QTest::newRow("ok") << int(QMessageBox::Ok);
    QTest::newRow("cancel") << int(QMessageBox::Cancel);
}

void TestMessageBox::clickCarriesTag()
{
    QFETCH(int, button);
    const QVariant tag(QVariantMap{{QStringLiteral("name"), QStringLiteral("ssh")}});
    ORVO::TimedMessageBox box(10, tag);
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    QSignalSpy clicked(&box, SIGNAL(buttonClicked(QAbstractButton*, QVariant)));
    QSignalSpy finished(&box, SIGNAL(finished(int, QVariant)));
    box.show();
    QAbstractButton* b = box.button(QMessageBox::StandardButton(button));
    b->click();
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).value<QAbstractButton*>(), b);
    QCOMPARE(clicked.at(0).at(1), tag);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), button);
    QCOMPARE(finished.at(0).at(1), tag);
}

ORVO_TEST_GUI_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
