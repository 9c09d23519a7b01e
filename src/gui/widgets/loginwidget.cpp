#include "gui/widgets/loginwidget.h"

#include <QVBoxLayout>
#include <QVariantMap>

#include "common/log.h"
#include "gui/plugininterfaces.h"

namespace ORVO {

LoginWidget::LoginWidget(QWidget* parent, ORVO::LoginGfxPluginInterface* plugin) : QWidget(parent)
{
    LOG_TRACE;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!plugin) {
        LOG_ERROR;
        return;
    }
    pluginWindow = plugin->newWindow(QVariantMap());
    if (!pluginWindow) {
        LOG_ERROR;
        return;
    }
    pluginWindow->setParent(this);
    layout->addWidget(pluginWindow);
}

void LoginWidget::show()
{
    LOG_TRACE;
    if (pluginWindow) {
        pluginWindow->show();
        pluginWindow->raise();
    }
    QWidget::show();
}

} // namespace ORVO
