#include "gui/widgets/widgetutils.h"

#include <QStyle>
#include <QWidget>

namespace ORVO {
namespace utils {

void update(QWidget* widget)
{
    if (!widget)
        return;
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
    widget->update();
}

} // namespace utils
} // namespace ORVO
