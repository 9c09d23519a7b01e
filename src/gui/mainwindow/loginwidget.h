#pragma once

#include <QWidget>

class MainView;
class PluginWindowList;
class QVBoxLayout;

namespace ORVO {

class LoginGfxPluginInterface;
class PluginWindowContainer;

// The small sign-in window of the minimal mode: the login plugin's window
// on a scene of its own, in the same list and container the main window
// uses. Its creator sets size and title.
class LoginWidget : public QWidget
{
    Q_OBJECT
public:
    // The plugin is borrowed; without one the widget stays empty.
    LoginWidget(QWidget* parent, ORVO::LoginGfxPluginInterface* plugin);
    ~LoginWidget() override;
    LoginWidget(const LoginWidget&) = delete;
    LoginWidget& operator=(const LoginWidget&) = delete;

    // Brings the login window to view, then shows the widget. Hides
    // QWidget::show(): call it through a LoginWidget pointer.
    void show();

    // False when the plugin was missing or gave no window.
    bool isValid() const;

    MainView* view() const { return mainView; }
    PluginWindowList* windowList() const { return list; }
    ORVO::PluginWindowContainer* container() const { return loginContainer; }

private:
    ORVO::LoginGfxPluginInterface* plugin = nullptr;
    QVBoxLayout* vbox = nullptr;
    MainView* mainView = nullptr;
    PluginWindowList* list = nullptr;
    ORVO::PluginWindowContainer* loginContainer = nullptr;
};

} // namespace ORVO
