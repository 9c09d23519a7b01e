// Linked with the program's own main(): the client with every message box
// answered "OK" (or closed, where a box has no OK), for tests that start it
// as a child process and reach a box. The switch is set in code before
// main() runs; the shipped program has no way to turn it on.
#include <QMessageBox>

#include "gui/testseams.h"

namespace {

[[maybe_unused]] const bool answering = [] {
    ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
    return true;
}();

} // namespace
