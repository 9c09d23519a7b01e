#pragma once

#include <QLabel>

class QMouseEvent;

// A label that reports mouse presses.
class ClickableLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ClickableLabel(QWidget* parent);

signals:
    // After the label's own press handling.
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
