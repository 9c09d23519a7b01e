#include <QApplication>
#include <QComboBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QSignalSpy>

#include <memory>

#include "gui/widgets/clickablelabel.h"
#include "gui/widgets/combobox.h"
#include "gui/widgets/lineedit.h"
#include "gui/widgets/pushbutton.h"
#include "testmain.h"

namespace {

QIcon solid(Qt::GlobalColor colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

bool sameIcon(const QIcon& a, const QIcon& b)
{
    return a.cacheKey() == b.cacheKey();
}

// Counts the key presses of the object it watches.
class KeyCounter : public QObject
{
public:
    int keys = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            ++keys;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

// The label-and-field composites and the two-icon button the forms share.
class TestCompositeWidgets : public QObject
{
    Q_OBJECT

private slots:
    void objectNames_data();
    void objectNames();
    void comboBoxClicks();
    void comboBoxRelays();
    void comboBoxGeometry();
    void lineEditClicks();
    void lineEditText();
    void lineEditHeight();
    void hiddenMembers();
    void destroyedWhileFocused();
    void pushButtonIcons();
    void pushButtonsApart();
};

void TestCompositeWidgets::objectNames_data()
{
    QTest::addColumn<bool>("combo");
    QTest::addColumn<QString>("self");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("field");
    QTest::newRow("combo box") << true << "widget"
                               << "labelRoundedLeftSm"
                               << "comboBoxWithLabelSm";
    QTest::newRow("line edit") << false << "LineEdit"
                               << "lineEditLabelSm"
                               << "lineEditSm";
}

void TestCompositeWidgets::objectNames()
{
    QFETCH(bool, combo);
    QFETCH(QString, self);
    QFETCH(QString, label);
    QFETCH(QString, field);

    std::unique_ptr<QWidget> composite;
    QLabel* labelWidget = nullptr;
    QWidget* fieldWidget = nullptr;
    if (combo) {
        auto* c = new ComboBox(nullptr);
        composite.reset(c);
        labelWidget = c->label();
        fieldWidget = c->comboBox();
    } else {
        auto* l = new LineEdit(nullptr);
        composite.reset(l);
        labelWidget = l->label();
        fieldWidget = l->lineEdit();
    }
    QCOMPARE(composite->objectName(), self);
    QCOMPARE(labelWidget->objectName(), label);
    QCOMPARE(fieldWidget->objectName(), field);
    QCOMPARE(labelWidget->focusPolicy(), Qt::NoFocus);
    QCOMPARE(labelWidget->buddy(), fieldWidget);

    // The forms name the widget only when it has no name yet.
    QWidget named;
    named.setObjectName(QStringLiteral("proxyPort"));
    if (combo) {
        Ui_ComboBox form;
        form.setupUi(&named);
        QCOMPARE(form.label->objectName(), QStringLiteral("label"));
        QCOMPARE(form.comboBox->objectName(), QStringLiteral("comboBox"));
    } else {
        Ui_LineEdit form;
        form.setupUi(&named);
        QCOMPARE(form.label->objectName(), QStringLiteral("label"));
        QCOMPARE(form.lineEdit->objectName(), QStringLiteral("lineEdit"));
    }
    QCOMPARE(named.objectName(), QStringLiteral("proxyPort"));
}

// A click on an empty combo box is reported on release and still reaches
// the combo box; a press on its label says nothing.
void TestCompositeWidgets::comboBoxClicks()
{
    ComboBox box(nullptr);
    box.setLabelWidth(100);
    box.setComboWidth(200);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QSignalSpy clicked(&box, SIGNAL(clicked()));

    QTest::mousePress(box.comboBox(), Qt::LeftButton);
    QCOMPARE(clicked.count(), 0);
    QTest::mouseRelease(box.comboBox(), Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);

    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QObject* filter = &box;
    QVERIFY(!filter->eventFilter(box.comboBox(), &release));
    QCOMPARE(clicked.count(), 2);

    QTest::mouseClick(box.label(), Qt::LeftButton);
    QCOMPARE(clicked.count(), 2);
}

void TestCompositeWidgets::comboBoxRelays()
{
    ComboBox box(nullptr);
    box.comboBox()->addItems({"  one", "  two"});
    QSignalSpy byIndex(&box, SIGNAL(activated(int)));
    QSignalSpy byText(&box, SIGNAL(activated(QString)));
    emit box.comboBox()->activated(1);
    emit box.comboBox()->textActivated(QStringLiteral("  two"));
    QCOMPARE(byIndex.count(), 1);
    QCOMPARE(byIndex.at(0).at(0).toInt(), 1);
    QCOMPARE(byText.count(), 1);
    QCOMPARE(byText.at(0).at(0).toString(), QStringLiteral("  two"));
}

// Height for all three; the combo box sits right of the label from the
// first resize on.
void TestCompositeWidgets::comboBoxGeometry()
{
    ComboBox box(nullptr);
    QCOMPARE(box.minimumSize(), QSize(400, 24));
    QCOMPARE(box.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    box.setLabelWidth(110);
    box.setComboWidth(290);
    box.setHeight(34);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.height(), 34);
    QCOMPARE(box.label()->height(), 34);
    QCOMPARE(box.comboBox()->height(), 34);
    QCOMPARE(box.label()->width(), 110);
    QCOMPARE(box.comboBox()->geometry(), QRect(110, 0, 290, 34));
    // A new label width moves the combo box only with the next resize.
    box.setLabelWidth(150);
    QCOMPARE(box.comboBox()->x(), 110);
    box.resize(500, 34);
    QTRY_COMPARE(box.comboBox()->x(), 150);
}

void TestCompositeWidgets::lineEditClicks()
{
    LineEdit edit(nullptr);
    edit.setLabelWidth(100);
    edit.setLineWidth(200);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QSignalSpy clicked(&edit, SIGNAL(clicked()));
    QSignalSpy labelClicked(edit.label(), SIGNAL(clicked()));

    QTest::mousePress(edit.label(), Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(labelClicked.count(), 1);
    QTest::mouseRelease(edit.label(), Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);

    QTest::mouseClick(edit.lineEdit(), Qt::LeftButton);
    QCOMPARE(clicked.count(), 2);
    QVERIFY(edit.lineEdit()->hasFocus());
}

// Setting the text is no editing: no validation, no editingFinished.
void TestCompositeWidgets::lineEditText()
{
    LineEdit edit(nullptr);
    QIntValidator digits(0, 65535);
    edit.setValidator(&digits);
    QSignalSpy changed(&edit, SIGNAL(textChanged(QString)));
    QSignalSpy finished(&edit, SIGNAL(editingFinished()));
    edit.setText(QStringLiteral("proxy"));
    QCOMPARE(edit.text(), QStringLiteral("proxy"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("proxy"));
    QCOMPARE(finished.count(), 0);

    // Typing goes through the validator; Return finishes the editing.
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.setText(QString());
    edit.lineEdit()->setFocus();
    QTest::keyClicks(edit.lineEdit(), QStringLiteral("80x8"));
    QCOMPARE(edit.text(), QStringLiteral("808"));
    QTest::keyClick(edit.lineEdit(), Qt::Key_Return);
    QCOMPARE(finished.count(), 1);
    // The validator stays its creator's.
    QCOMPARE(edit.lineEdit()->validator(), &digits);
}

void TestCompositeWidgets::lineEditHeight()
{
    LineEdit edit(nullptr);
    QCOMPARE(edit.maximumSize(), QSize(400, 35));
    edit.setLabelWidth(110);
    edit.setLineWidth(290);
    edit.setHeight(34);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QCOMPARE(edit.label()->height(), 34);
    QCOMPARE(edit.lineEdit()->height(), 34);
    QVERIFY(edit.height() <= 35);
    // Packed at the left.
    QCOMPARE(edit.label()->x(), 0);
    QCOMPARE(edit.lineEdit()->x(), 110);
}

// The composites' setters act on the halves when called through the
// composite, and Qt's act on the composite itself through a QWidget.
void TestCompositeWidgets::hiddenMembers()
{
    ComboBox box(nullptr);
    box.setEnabled(false);
    QVERIFY(box.isEnabled());
    QVERIFY(!box.label()->isEnabled());
    QVERIFY(!box.comboBox()->isEnabled());
    box.setDisabled(false);
    QVERIFY(box.label()->isEnabled());
    QVERIFY(box.comboBox()->isEnabled());
    static_cast<QWidget&>(box).setEnabled(false);
    QVERIFY(!box.isEnabled());

    LineEdit edit(nullptr);
    edit.setDisabled(true);
    QVERIFY(edit.isEnabled());
    QVERIFY(!edit.label()->isEnabled());
    QVERIFY(!edit.lineEdit()->isEnabled());
    edit.setEnabled(true);
    QVERIFY(edit.lineEdit()->isEnabled());

    edit.setToolTip(QStringLiteral("port"));
    QCOMPARE(edit.lineEdit()->toolTip(), QStringLiteral("port"));
    QCOMPARE(edit.toolTip(), QString());
    edit.setCursor(QCursor(Qt::IBeamCursor));
    QCOMPARE(edit.lineEdit()->cursor().shape(), Qt::IBeamCursor);
    QCOMPARE(edit.label()->cursor().shape(), Qt::IBeamCursor);
    edit.setReadOnly(true);
    QVERIFY(edit.lineEdit()->isReadOnly());
    edit.setEchoMode(QLineEdit::Password);
    QCOMPARE(edit.lineEdit()->echoMode(), QLineEdit::Password);

    // A form's filter sees the line edit's keys.
    KeyCounter counter;
    edit.setReadOnly(false);
    edit.installEventFilter(&counter);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QTest::keyClick(edit.lineEdit(), Qt::Key_A);
    QCOMPARE(counter.keys, 1);
}

// A line edit that loses its focus because the composite goes says nothing
// on the composite's behalf.
void TestCompositeWidgets::destroyedWhileFocused()
{
    QObject listener;
    int heard = 0;
    {
        LineEdit edit(nullptr);
        connect(&edit, &LineEdit::editingFinished, &listener, [&heard] { ++heard; });
        connect(&edit, &LineEdit::textChanged, &listener, [&heard] { ++heard; });
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.lineEdit()->setFocus();
        QTest::keyClicks(edit.lineEdit(), QStringLiteral("80"));
        QTRY_VERIFY(edit.lineEdit()->hasFocus());
        heard = 0;
    }
    QCOMPARE(heard, 0);
}

// The pressed icon while held, the normal one after.
void TestCompositeWidgets::pushButtonIcons()
{
    const QIcon normal = solid(Qt::gray);
    const QIcon pressed = solid(Qt::white);
    PushButton button(nullptr);
    button.setIcons(normal, pressed);
    QVERIFY(sameIcon(button.icon(), normal));
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QTest::mousePress(&button, Qt::LeftButton);
    QVERIFY(sameIcon(button.icon(), pressed));
    QTest::mouseRelease(&button, Qt::LeftButton);
    QVERIFY(sameIcon(button.icon(), normal));
    QTest::mouseClick(&button, Qt::LeftButton);
    QVERIFY(sameIcon(button.icon(), normal));
}

// Each button keeps its own state: one that went away while held leaves
// the next one pressed showing its pressed icon.
void TestCompositeWidgets::pushButtonsApart()
{
    QWidget window;
    auto* first = new PushButton(&window);
    auto* second = new PushButton(&window);
    first->setIcons(solid(Qt::gray), solid(Qt::white));
    const QIcon secondPressed = solid(Qt::blue);
    const QIcon secondNormal = solid(Qt::black);
    second->setIcons(secondNormal, secondPressed);
    second->move(0, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::mousePress(first, Qt::LeftButton);
    delete first;
    QTest::mousePress(second, Qt::LeftButton);
    QVERIFY(sameIcon(second->icon(), secondPressed));
    QTest::mouseRelease(second, Qt::LeftButton);
    QVERIFY(sameIcon(second->icon(), secondNormal));
}

ORVO_TEST_GUI_MAIN(TestCompositeWidgets)
#include "tst_compositewidgets.moc"
