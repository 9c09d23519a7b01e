#pragma once

#include <QIcon>
#include <QPushButton>

// A push button that shows a second icon while it is held down.
class PushButton : public QPushButton
{
    Q_OBJECT
public:
    explicit PushButton(QWidget* parent);

    // Shows the normal icon; whether the button is held is left as it is.
    void setIcons(const QIcon& normal, const QIcon& pressed);

private slots:
    void changeIcon();

private:
    QIcon normalIcon;
    QIcon pressedIcon;
    // Which icon the next changeIcon() shows; pressed and released
    // alternate, so each button keeps its own.
    bool held = false;
};
