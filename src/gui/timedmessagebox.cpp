#include "gui/timedmessagebox.h"

#include "common/log.h"

namespace ORVO {

TimedMessageBox::TimedMessageBox(int seconds, QVariant data) : MessageBox(nullptr)
{
    LOG_TRACE;
    if (seconds < 1) {
        LOG_ERROR;
        return;
    }
    connect(&timer, SIGNAL(timeout()), this, SLOT(_timeout()));
    timer.start(1000);
    connect(this, SIGNAL(buttonClicked(QAbstractButton*)), this,
            SLOT(_buttonClicked(QAbstractButton*)));
    connect(this, SIGNAL(finished(int)), this, SLOT(_finished(int)));
    this->data = data;
    secs = seconds;
}

void TimedMessageBox::_timeout()
{
    --secs;
    emit timeLeft(secs, data);
    // Zero is the end: a box its creator keeps does not tick on below it.
    if (secs <= 0) {
        timer.stop();
        timedOut = true;
        close();
    }
}

void TimedMessageBox::_buttonClicked(QAbstractButton* aButton)
{
    emit buttonClicked(aButton, data);
}

void TimedMessageBox::_finished(int result)
{
    // A box answered or dismissed counts no further.
    timer.stop();
    emit finished(result, data);
}

} // namespace ORVO
