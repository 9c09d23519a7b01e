#pragma once

#include <QApplication>

class QEvent;
class QObject;

namespace ORVO {

// The Qt application object of the modes with windows. A part that must see
// the objects that go to another thread hooks in here, and is told of each
// on the thread it leaves, before it goes: the web engine hands its timers to
// threads of its own so (plugin/config/scriptwatch.h). It also tells when the
// windows' quit begins, before anything else of it runs.
class GuiApplication : public QApplication
{
    Q_OBJECT

public:
    using HandOverHook = void (*)(QObject* leaving);

    GuiApplication(int& argc, char** argv);
    // One hook for the process; none clears it.
    static void setHandOverHook(HandOverHook hook);

    bool notify(QObject* receiver, QEvent* event) override;
    // The program quits: quitting() is emitted, where the application object
    // is one of these.
    static void quitBegins();

signals:
    void quitting();
};

} // namespace ORVO
