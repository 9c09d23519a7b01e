#pragma once

#include <QTimer>
#include <QVariant>

#include "gui/messagebox.h"

class QAbstractButton;

namespace ORVO {

// A message box that counts seconds down, once a second, and closes itself
// at zero. Its three signals carry the tag given at construction, so one
// receiver can serve many boxes. Created with new; its user deletes it.
//
// Closing itself at zero ends the dialog just as the window's close control
// does (result 0): hasTimedOut() tells the two apart.
//
// Since Qt 5.12 a click emits buttonClicked before the dialog finishes
// (Qt 4 did the reverse); receivers must not depend on that order.
class TimedMessageBox : public MessageBox
{
    Q_OBJECT
public:
    // seconds < 1 is refused: the box then neither counts nor emits its
    // tagged signals.
    TimedMessageBox(int seconds, QVariant data);

    // True once the countdown reached zero while the box was still open.
    bool hasTimedOut() const { return timedOut; }

signals:
    void timeLeft(int secs, QVariant data);
    void buttonClicked(QAbstractButton* aButton, QVariant data);
    void finished(int result, QVariant data);

protected slots:
    void _timeout();
    void _buttonClicked(QAbstractButton* aButton);
    void _finished(int result);

private:
    QVariant data;
    QTimer timer;
    int secs = 0;
    bool timedOut = false;
};

} // namespace ORVO
