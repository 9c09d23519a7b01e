#pragma once

#include <QByteArray>

// Switches for tests, all off by default. Each can be set in-process or,
// for a test that starts the program as a child process, through an
// environment variable read on first use.
namespace ORVO {
namespace seams {

// Message boxes answer themselves as soon as they are shown, as if the
// user had pressed the given standard button (a QMessageBox::StandardButton
// value); a box without that button is closed through its window's close
// control. 0 turns it off.
// Environment: ORVO_TEST_MESSAGEBOX_ANSWER=ok|cancel|yes|no|close.
void setMessageBoxAutoAnswer(int button);
int messageBoxAutoAnswer();
// The answer that means "close the window": no standard button has it.
constexpr int CloseAnswer = -2;
// The answer a word of the environment variable above stands for: 0 for
// an empty word, CloseAnswer for "close", -1 for an unknown word (which
// the environment variable turns into CloseAnswer, so that no test hangs
// on a modal box).
int messageBoxAnswerFromWord(const QByteArray& word);

// Treats a missing system tray as available: offscreen and Xvfb have none.
// Environment: ORVO_TEST_ASSUME_TRAY=1.
void setAssumeSystemTray(bool on);
// QSystemTrayIcon::isSystemTrayAvailable(), or true when assumed.
bool systemTrayAvailable();

} // namespace seams
} // namespace ORVO
