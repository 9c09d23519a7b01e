#pragma once

#include <memory>

class QCoreApplication;

namespace ORVO {

class Config;

// The application object of the start-up: a QApplication in the two GUI
// modes (GuiApplication, whose event delivery the web engine's watch sees),
// a QCoreApplication in command-line mode, which creates no widget (Qt 5 has
// no window-less QApplication).
class Application
{
public:
    // argc must outlive the object, as QCoreApplication requires. The
    // configuration is accepted and not used.
    Application(int& argc, char** argv, ORVO::Config* config, bool withGui);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Nothing to prepare; 0.
    int start();
    // Runs the event loop; its result.
    int exec();
    QCoreApplication* instance() const { return app.get(); }

    const bool withGui;

private:
    std::unique_ptr<QCoreApplication> app;
};

} // namespace ORVO
