#include "gui/widgets/pushbutton.h"

PushButton::PushButton(QWidget* parent) : QPushButton(parent)
{
    connect(this, &QPushButton::pressed, this, &PushButton::changeIcon);
    connect(this, &QPushButton::released, this, &PushButton::changeIcon);
}

void PushButton::setIcons(const QIcon& normal, const QIcon& pressed)
{
    normalIcon = normal;
    pressedIcon = pressed;
    setIcon(normalIcon);
}

void PushButton::changeIcon()
{
    setIcon(held ? normalIcon : pressedIcon);
    held = !held;
}
