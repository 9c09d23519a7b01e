#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class QEvent;
class QLabel;
class QResizeEvent;

// The form of a ComboBox: a label and a combo box, placed by hand (no layout).
class Ui_ComboBox
{
public:
    QLabel* label = nullptr;
    QComboBox* comboBox = nullptr;

    void setupUi(QWidget* widget);
};

// A label joined to a combo box. The form sets the two widths and the
// height in one call each; the halves carry object names the style sheets
// select on. The combo box's signals come out under the composite's name.
//
// The setters below hide QWidget members of the same names: they act on
// the halves only when called through a ComboBox pointer.
class ComboBox : public QWidget
{
    Q_OBJECT
public:
    explicit ComboBox(QWidget* parent);
    ~ComboBox() override;
    ComboBox(const ComboBox&) = delete;
    ComboBox& operator=(const ComboBox&) = delete;

    // The label, then the combo box; the composite itself is left alone.
    void setEnabled(bool enabled);
    void setDisabled(bool disabled);
    void setLabelText(const QString& text);
    void setLabelWidth(int width);
    void setComboWidth(int width);
    // Label, combo box and the composite.
    void setHeight(int height);

    QLabel* label() const;
    QComboBox* comboBox() const;

signals:
    void activated(int index);
    void activated(QString text);
    // A mouse button was released on the combo box.
    void clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Ui_ComboBox* ui;
};
