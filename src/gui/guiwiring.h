#pragma once

class QObject;

namespace ORVO {

class Gui;

// The connections between the GUI controller and the windows of the two
// GUI modes, made by signature so that each end is reached by name only.
// Each returns 0 when every connection was made, -1 otherwise (a missing
// end is logged and its connections skipped).
namespace guiwiring {

// Login plugin and main window, both GUI modes.
int connectLogin(Gui* gui, QObject* loginPlugin, QObject* mainWindow);
// Main window, full GUI mode only.
int connectMainWindow(Gui* gui, QObject* mainWindow);
// Tray, both GUI modes, after the tray has its login plugin.
int connectTray(Gui* gui, QObject* tray, QObject* loginPlugin, QObject* mainWindow);

} // namespace guiwiring
} // namespace ORVO
