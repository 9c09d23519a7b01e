#include "gui/widgets/widgetutils.h"

#include <QFileDialog>
#include <QStyle>
#include <QWidget>

#include "gui/testseams.h"

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

QString askSaveFile(QWidget* parent, const QString& caption, const QString& path,
                    const QString& filter)
{
    if (const seams::FileDialogAnswer& answer = seams::fileDialogAnswer())
        return answer(caption, path, filter);
    return QFileDialog::getSaveFileName(parent, caption, path, filter, nullptr);
}

} // namespace utils
} // namespace ORVO
