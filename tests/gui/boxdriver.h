#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

// Answers the next message box that appears, from the event loop, the way a
// user would, and records what it showed. Works for modal boxes (started
// before the blocking call) and for non-modal ones.
class BoxDriver : public QObject
{
public:
    struct Seen
    {
        bool shown = false;
        QString title;
        QString text;
        QString informative;
        bool hasPixmap = false;
        bool hasParent = false;
        bool modal = false;
        Qt::TextFormat labelFormat = Qt::AutoText;
        bool selectable = false; // the text can be selected and copied
        int defaultButton = QMessageBox::NoButton;
    };

    // answer: a standard button, or 0 to close the window.
    explicit BoxDriver(int answer) : answer(answer)
    {
        timer.setInterval(5);
        connect(&timer, &QTimer::timeout, this, &BoxDriver::poll);
        timer.start();
    }

    static int visibleBoxes()
    {
        const QWidgetList all = QApplication::topLevelWidgets();
        return int(std::count_if(all.begin(), all.end(), [](QWidget* w) {
            return qobject_cast<QMessageBox*>(w) && w->isVisible();
        }));
    }

    static QMessageBox* visibleBox()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box && box->isVisible())
                return box;
        }
        return nullptr;
    }

    Seen seen;

private:
    void poll()
    {
        QMessageBox* box = visibleBox();
        if (!box)
            return;
        timer.stop();
        seen.shown = true;
        seen.title = box->windowTitle();
        // Without the break opportunities a box puts into long runs.
        seen.text = box->text().remove(QChar(0x200B));
        seen.informative = box->informativeText();
        // An image of its own: Qt's standard icon leaves icon() set.
        seen.hasPixmap = box->icon() == QMessageBox::NoIcon && !box->iconPixmap().isNull();
        seen.hasParent = box->parentWidget() != nullptr;
        seen.modal = box->isModal();
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            seen.labelFormat = label->textFormat();
        seen.selectable = box->textInteractionFlags() & Qt::TextSelectableByMouse;
        if (box->defaultButton())
            seen.defaultButton = box->standardButton(box->defaultButton());
        QAbstractButton* button =
            answer ? box->button(static_cast<QMessageBox::StandardButton>(answer)) : nullptr;
        if (button)
            button->click();
        else
            box->close();
    }

    int answer;
    QTimer timer;
};
