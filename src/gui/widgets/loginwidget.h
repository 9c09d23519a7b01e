#pragma once

#include <QWidget>

namespace ORVO {

class LoginGfxPluginInterface;

// A window holding one window of the login plugin: the sign-in window of
// the minimal GUI mode. Top-level when made without a parent.
class LoginWidget : public QWidget
{
    Q_OBJECT
public:
    LoginWidget(QWidget* parent, ORVO::LoginGfxPluginInterface* plugin);

    // False when the plugin gave no window.
    bool isValid() const { return pluginWindow != nullptr; }
    // Shows the plugin's window, brings it to the front, then this window.
    void show();

private:
    QWidget* pluginWindow = nullptr;
};

} // namespace ORVO
