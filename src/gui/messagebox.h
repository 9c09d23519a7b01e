#pragma once

#include <QClipboard>
#include <QMessageBox>
#include <QString>

class QShowEvent;

namespace ORVO {

// The program's message box: a QMessageBox with the program's style sheet
// (":/messagebox.css") and its own icon images. The text format is Qt's
// automatic one, right for the program's own texts. A text that carries
// what the service or a server sent must never be read as markup: its
// caller asks for Qt::PlainText (the format argument, or setTextFormat).
// A plain text's long unbroken runs, such as paths, get zero-width break
// opportunities when the box is shown, so that they wrap inside the box;
// what is copied from the box has them taken out again.
class MessageBox : public QMessageBox
{
    Q_OBJECT
public:
    explicit MessageBox(QWidget* parent);
    MessageBox(QMessageBox::Icon icon, QString title, QString text,
               QMessageBox::StandardButtons buttons, QWidget* parent);

    // Modal boxes that return the standard button that closed them. The
    // parent is accepted and not used: the box is always a top-level window.
    static int warning(QWidget* parent, QString title, QString text,
                       QMessageBox::StandardButtons buttons,
                       QMessageBox::StandardButton defaultButton,
                       Qt::TextFormat format = Qt::AutoText);
    static int information(QWidget* parent, QString title, QString text,
                           QMessageBox::StandardButtons buttons,
                           QMessageBox::StandardButton defaultButton,
                           Qt::TextFormat format = Qt::AutoText);
    static int critical(QWidget* parent, QString title, QString text,
                        QMessageBox::StandardButtons buttons,
                        QMessageBox::StandardButton defaultButton,
                        Qt::TextFormat format = Qt::AutoText);
    static int question(QWidget* parent, QString title, QString text,
                        QMessageBox::StandardButtons buttons,
                        QMessageBox::StandardButton defaultButton,
                        Qt::TextFormat format = Qt::AutoText);

protected:
    // Test seam: with an auto-answer set (see ORVO/testseams.h), a box
    // answers itself once it is on screen.
    void showEvent(QShowEvent* event) override;

private slots:
    void _copied(QClipboard::Mode mode);

private:
    bool watchingClipboard = false;
};

} // namespace ORVO
