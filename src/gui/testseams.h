#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Switches for tests, all off by default. They are set in code only, by
// test programs: the shipped program has no way to turn one on (no
// environment variable, no option), as each changes what it does.
namespace ORVO {
namespace seams {

// Message boxes answer themselves as soon as they are shown, as if the
// user had pressed the given standard button (a QMessageBox::StandardButton
// value); a box without that button is closed through its window's close
// control. 0 turns it off.
void setMessageBoxAutoAnswer(int button);
int messageBoxAutoAnswer();
// The answer that means "close the window": no standard button has it.
constexpr int CloseAnswer = -2;
// The answer a word stands for, for tests that name it in their data:
// 0 for an empty word, CloseAnswer for "close", -1 for an unknown word.
int messageBoxAnswerFromWord(const QByteArray& word);

// File dialogs answer themselves without showing: the function receives
// the caption, the initial path and the filter and returns the chosen file,
// empty for a cancelled dialog. An empty function turns it off.
using FileDialogAnswer =
    std::function<QString(const QString& caption, const QString& path, const QString& filter)>;
void setFileDialogAnswer(FileDialogAnswer answer);
const FileDialogAnswer& fileDialogAnswer();

// Treats a missing system tray as available: offscreen and Xvfb have none.
void setAssumeSystemTray(bool on);
// QSystemTrayIcon::isSystemTrayAvailable(), or true when assumed.
bool systemTrayAvailable();

} // namespace seams
} // namespace ORVO
