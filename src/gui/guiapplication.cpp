#include "gui/guiapplication.h"

#include <QEvent>

#include <atomic>

namespace ORVO {

namespace {
// Read on every thread that delivers events.
std::atomic<GuiApplication::HandOverHook> g_handOver{nullptr};
} // namespace

GuiApplication::GuiApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void GuiApplication::setHandOverHook(HandOverHook hook)
{
    g_handOver = hook;
}

void GuiApplication::quitBegins()
{
    if (auto* app = qobject_cast<GuiApplication*>(QCoreApplication::instance()))
        emit app->quitting();
}

bool GuiApplication::notify(QObject* receiver, QEvent* event)
{
    if (event->type() == QEvent::ThreadChange) {
        if (const HandOverHook hook = g_handOver)
            hook(receiver);
    }
    return QApplication::notify(receiver, event);
}

} // namespace ORVO
