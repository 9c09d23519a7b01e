#include "gui/messagebox.h"

#include <QAbstractButton>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include "common/log.h"
#include "common/utils.h"
#include "gui/testseams.h"

namespace ORVO {

namespace {

const char StyleSheet[] = ":/messagebox.css";

int showModal(QMessageBox::Icon icon, const char* image, const QString& title, const QString& text,
              QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
              Qt::TextFormat format)
{
    // No parent, whatever the caller passed: the box is always a top-level
    // window of its own.
    MessageBox box(icon, title, text, buttons, nullptr);
    box.setTextFormat(format);
    box.setDefaultButton(defaultButton);
    box.setIconPixmap(QPixmap(QLatin1String(image)));
    return box.exec();
}

} // namespace

MessageBox::MessageBox(QWidget* parent) : QMessageBox(parent)
{
    setStyleSheet(utils::loadStyleSheet(QLatin1String(StyleSheet)));
}

MessageBox::MessageBox(QMessageBox::Icon icon, QString title, QString text,
                       QMessageBox::StandardButtons buttons, QWidget* parent)
    : QMessageBox(icon, title, text, buttons, parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setStyleSheet(utils::loadStyleSheet(QLatin1String(StyleSheet)));
}

int MessageBox::warning(QWidget* parent, QString title, QString text,
                        QMessageBox::StandardButtons buttons,
                        QMessageBox::StandardButton defaultButton, Qt::TextFormat format)
{
    Q_UNUSED(parent);
    return showModal(QMessageBox::Warning, "rc:messagebox-warn.png", title, text, buttons,
                     defaultButton, format);
}

int MessageBox::information(QWidget* parent, QString title, QString text,
                            QMessageBox::StandardButtons buttons,
                            QMessageBox::StandardButton defaultButton, Qt::TextFormat format)
{
    Q_UNUSED(parent);
    return showModal(QMessageBox::Information, "rc:messagebox-info.png", title, text, buttons,
                     defaultButton, format);
}

int MessageBox::critical(QWidget* parent, QString title, QString text,
                         QMessageBox::StandardButtons buttons,
                         QMessageBox::StandardButton defaultButton, Qt::TextFormat format)
{
    Q_UNUSED(parent);
    return showModal(QMessageBox::Critical, "rc:messagebox-crit.png", title, text, buttons,
                     defaultButton, format);
}

int MessageBox::question(QWidget* parent, QString title, QString text,
                         QMessageBox::StandardButtons buttons,
                         QMessageBox::StandardButton defaultButton, Qt::TextFormat format)
{
    Q_UNUSED(parent);
    return showModal(QMessageBox::Question, "rc:messagebox-quest.png", title, text, buttons,
                     defaultButton, format);
}

void MessageBox::showEvent(QShowEvent* event)
{
    // Plain text buttons on every desktop: some platform themes put icons
    // on the standard buttons, which the program's boxes do not use.
    for (QAbstractButton* button : buttons())
        button->setIcon(QIcon());
    QMessageBox::showEvent(event);
    const int answer = seams::messageBoxAutoAnswer();
    if (answer == 0)
        return;
    // Answered from the event loop, as a user would: a modal box is then
    // inside its own exec().
    QPointer<MessageBox> self(this);
    QTimer::singleShot(0, this, [self, answer]() {
        if (!self || !self->isVisible())
            return;
        LOG_DEBUG << "[MessageBox] Auto-answer " << answer << ": " << self->windowTitle() << ": "
                  << self->text();
        QAbstractButton* button =
            answer == seams::CloseAnswer
                ? nullptr
                : self->button(static_cast<QMessageBox::StandardButton>(answer));
        if (button)
            button->click();
        else
            self->close();
    });
}

} // namespace ORVO
