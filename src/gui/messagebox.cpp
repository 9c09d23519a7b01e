#include "gui/messagebox.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QTextDocument>
#include <QTimer>

#include "common/log.h"
#include "common/utils.h"
#include "gui/testseams.h"

namespace ORVO {

namespace {

const char StyleSheet[] = ":/messagebox.css";

// A zero-width space: a place where a line may break, shown as nothing.
const QChar BreakHere(0x200B);
// Runs of more characters than this, without a blank, get break
// opportunities: after each slash or backslash, and at the latest after Piece.
const int LongRun = 40;
const int Piece = 10;

bool endsRun(QChar c)
{
    return c.isSpace() || c == BreakHere;
}

QString withBreaks(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / Piece);
    int start = 0;
    while (start < text.size()) {
        int end = start;
        while (end < text.size() && !endsRun(text.at(end)))
            ++end;
        if (end - start <= LongRun) {
            out += text.midRef(start, end - start);
        } else {
            int since = 0;
            for (int i = start; i < end; ++i) {
                const QChar c = text.at(i);
                out += c;
                ++since;
                // Never between the halves of a surrogate pair.
                const bool more = i + 1 < end && !text.at(i + 1).isLowSurrogate();
                if (more && (c == QLatin1Char('/') || c == QLatin1Char('\\') || since >= Piece)) {
                    out += BreakHere;
                    since = 0;
                }
            }
        }
        if (end < text.size())
            out += text.at(end);
        start = end + 1;
    }
    return out;
}

// The program's own image for each kind of box.
const char* imageFor(QMessageBox::Icon icon)
{
    switch (icon) {
    case QMessageBox::Information:
        return "rc:messagebox-info.png";
    case QMessageBox::Warning:
        return "rc:messagebox-warn.png";
    case QMessageBox::Critical:
        return "rc:messagebox-crit.png";
    case QMessageBox::Question:
        return "rc:messagebox-quest.png";
    default:
        return nullptr;
    }
}

int showModal(QMessageBox::Icon icon, const QString& title, const QString& text,
              QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
              Qt::TextFormat format)
{
    // No parent, whatever the caller passed: the box is always a top-level
    // window of its own.
    MessageBox box(icon, title, text, buttons, nullptr);
    box.setTextFormat(format);
    box.setDefaultButton(defaultButton);
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
    // Qt's standard icon stays when the image cannot be had (a box shown
    // before the images are found).
    const char* name = imageFor(icon);
    const QPixmap image = name ? QPixmap(QLatin1String(name)) : QPixmap();
    if (!image.isNull())
        setIconPixmap(image);
}

int MessageBox::warning(QWidget* parent, QString title, QString text,
                        QMessageBox::StandardButtons buttons,
                        QMessageBox::StandardButton defaultButton, Qt::TextFormat format)
{
    Q_UNUSED(parent);
    return showModal(QMessageBox::Warning, title, text, buttons, defaultButton, format);
}

int MessageBox::information(QWidget* parent, QString title, QString text,
                            QMessageBox::StandardButtons buttons,
                            QMessageBox::StandardButton defaultButton, Qt::TextFormat format)
{
    Q_UNUSED(parent);
    return showModal(QMessageBox::Information, title, text, buttons, defaultButton, format);
}

int MessageBox::critical(QWidget* parent, QString title, QString text,
                         QMessageBox::StandardButtons buttons,
                         QMessageBox::StandardButton defaultButton, Qt::TextFormat format)
{
    Q_UNUSED(parent);
    return showModal(QMessageBox::Critical, title, text, buttons, defaultButton, format);
}

int MessageBox::question(QWidget* parent, QString title, QString text,
                         QMessageBox::StandardButtons buttons,
                         QMessageBox::StandardButton defaultButton, Qt::TextFormat format)
{
    Q_UNUSED(parent);
    return showModal(QMessageBox::Question, title, text, buttons, defaultButton, format);
}

void MessageBox::showEvent(QShowEvent* event)
{
    // Plain text buttons on every desktop: some platform themes put icons
    // on the standard buttons, which the program's boxes do not use.
    for (QAbstractButton* button : buttons())
        button->setIcon(QIcon());
    // Markup is the caller's own and left alone; a plain text wraps even
    // inside a long path instead of running off the screen.
    const QString shown = text();
    const Qt::TextFormat format = textFormat();
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(shown))) {
        const QString broken = withBreaks(shown);
        if (broken != shown) {
            setText(broken);
            if (!watchingClipboard) {
                watchingClipboard = true;
                connect(QGuiApplication::clipboard(), &QClipboard::changed, this,
                        &MessageBox::_copied);
            }
        }
    }
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
                  << QString(self->text()).remove(BreakHere);
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

void MessageBox::_copied(QClipboard::Mode mode)
{
    // Only what this program put there: another program's text is not ours
    // to change.
    QClipboard* clipboard = QGuiApplication::clipboard();
    const bool ours =
        mode == QClipboard::Clipboard ? clipboard->ownsClipboard() : clipboard->ownsSelection();
    const QString copied = clipboard->text(mode);
    if (ours && copied.contains(BreakHere))
        clipboard->setText(QString(copied).remove(BreakHere), mode);
}

} // namespace ORVO
