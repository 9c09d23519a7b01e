#include "gui/testseams.h"

#include <QMessageBox>
#include <QSystemTrayIcon>

#include <utility>

namespace ORVO {
namespace seams {

namespace {

struct Switches
{
    int answer = 0;
    bool tray = false;
    FileDialogAnswer fileAnswer;
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
}

int messageBoxAutoAnswer()
{
    return switches().answer;
}

void setFileDialogAnswer(FileDialogAnswer answer)
{
    switches().fileAnswer = std::move(answer);
}

const FileDialogAnswer& fileDialogAnswer()
{
    return switches().fileAnswer;
}

void setAssumeSystemTray(bool on)
{
    switches().tray = on;
}

bool systemTrayAvailable()
{
    return switches().tray || QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace seams
} // namespace ORVO
