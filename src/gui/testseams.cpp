#include "gui/testseams.h"

#include <QMessageBox>
#include <QSystemTrayIcon>

namespace ORVO {
namespace seams {

namespace {

// Read from the environment on first use; an in-process setter wins.
struct Switches
{
    bool answerKnown = false;
    int answer = 0;
    bool trayKnown = false;
    bool tray = false;
};

Switches& switches()
{
    static Switches s;
    return s;
}

} // namespace

int messageBoxAnswerFromWord(const QByteArray& word)
{
    const QByteArray w = word.trimmed().toLower();
    if (w.isEmpty())
        return 0;
    if (w == "ok")
        return QMessageBox::Ok;
    if (w == "cancel")
        return QMessageBox::Cancel;
    if (w == "yes")
        return QMessageBox::Yes;
    if (w == "no")
        return QMessageBox::No;
    if (w == "close")
        return CloseAnswer;
    return -1;
}

void setMessageBoxAutoAnswer(int button)
{
    switches().answer = button;
    switches().answerKnown = true;
}

int messageBoxAutoAnswer()
{
    Switches& s = switches();
    if (!s.answerKnown) {
        const int answer = messageBoxAnswerFromWord(qgetenv("ORVO_TEST_MESSAGEBOX_ANSWER"));
        // An unknown word must not leave a test hanging on a modal box.
        s.answer = answer == -1 ? CloseAnswer : answer;
        s.answerKnown = true;
    }
    return s.answer;
}

void setAssumeSystemTray(bool on)
{
    switches().tray = on;
    switches().trayKnown = true;
}

bool systemTrayAvailable()
{
    Switches& s = switches();
    if (!s.trayKnown) {
        s.tray = qgetenv("ORVO_TEST_ASSUME_TRAY") == "1";
        s.trayKnown = true;
    }
    return s.tray || QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace seams
} // namespace ORVO
