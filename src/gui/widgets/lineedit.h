#pragma once

#include <QLineEdit>
#include <QString>
#include <QWidget>

class ClickableLabel;
class QCursor;
class QEvent;
class QHBoxLayout;
class QSpacerItem;
class QValidator;

// The form of a LineEdit: label and line edit packed at the left of a row.
class Ui_LineEdit
{
public:
    QHBoxLayout* horizontalLayout = nullptr;
    ClickableLabel* label = nullptr;
    QLineEdit* lineEdit = nullptr;
    QSpacerItem* spacer = nullptr;

    void setupUi(QWidget* widget);
};

// A label joined to a line edit. The line edit's signals come out under the
// composite's name, and a press on the label or a click into the line edit
// emits clicked().
//
// setEnabled, setDisabled, setToolTip, setCursor and installEventFilter
// hide the QWidget members of the same names: they act on the halves only
// when called through a LineEdit pointer.
class LineEdit : public QWidget
{
    Q_OBJECT
public:
    explicit LineEdit(QWidget* parent);
    ~LineEdit() override;
    LineEdit(const LineEdit&) = delete;
    LineEdit& operator=(const LineEdit&) = delete;

    // The label, then the line edit.
    void setEnabled(bool enabled);
    void setDisabled(bool disabled);
    // Neither validates nor finishes the editing; textChanged still comes.
    void setText(const QString& text);
    QString text() const;
    void setLabelText(const QString& text);
    // Of the line edit only.
    void setToolTip(const QString& tip);
    // The validator stays its creator's.
    void setValidator(const QValidator* validator);
    void setEchoMode(QLineEdit::EchoMode mode);
    void setLabelWidth(int width);
    void setLineWidth(int width);
    // Label and line edit; the composite keeps its own limits.
    void setHeight(int height);
    void setReadOnly(bool readOnly);
    // The line edit's, then the label's.
    void setCursor(const QCursor& cursor);
    // On the inner line edit, so that a form sees its key events.
    void installEventFilter(QObject* filter);

    ClickableLabel* label() const;
    QLineEdit* lineEdit() const;

signals:
    void textChanged(QString text);
    void editingFinished();
    void clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Ui_LineEdit* ui;
};
