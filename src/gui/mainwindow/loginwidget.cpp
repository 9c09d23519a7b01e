#include "gui/mainwindow/loginwidget.h"

#include <QGraphicsScene>
#include <QVBoxLayout>
#include <QVariantMap>

#include "common/log.h"
#include "common/plugininterfaces.h"
#include "common/utils.h"
#include "gui/mainwindow/mainview.h"
#include "gui/mainwindow/pluginwindowlist.h"

namespace ORVO {

LoginWidget::LoginWidget(QWidget* parent, ORVO::LoginGfxPluginInterface* plugin)
    : QWidget(parent), plugin(plugin)
{
    LOG_TRACE;
    if (!plugin) {
        LOG_ERROR;
        return;
    }
    // The main window's wallpaper behind the scene, stretched over the
    // window whatever size its creator gives it (a rule of the sheet).
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(utils::loadStyleSheet(QStringLiteral(":/main.css")));
    vbox = new QVBoxLayout();
    vbox->setContentsMargins(0, 0, 0, 0);
    vbox->setSpacing(0);
    setLayout(vbox);
    mainView = new MainView();
    vbox->addWidget(mainView);
    list = new PluginWindowList();
    loginContainer = new PluginWindowContainer();
    ORVO::PluginWindow* window = plugin->newWindow(QVariantMap());
    if (!window)
        LOG_ERROR << "The login plugin gave no window";
    loginContainer->setWindow(window);

    QGraphicsScene* scene = mainView->scene();
    scene->addItem(list);
    connect(scene, &QGraphicsScene::sceneRectChanged, list, &PluginWindowList::adjustGeometry);
    list->addPluginWindow(loginContainer);
    list->adjustGeometry(scene->sceneRect());
}

LoginWidget::~LoginWidget()
{
    LOG_TRACE;
    // The container takes the plugin's window with it; the plugin holds
    // that window through a guarded pointer.
    delete loginContainer;
    loginContainer = nullptr;
    delete list;
    list = nullptr;
    delete mainView;
    mainView = nullptr;
    delete vbox;
    vbox = nullptr;
}

bool LoginWidget::isValid() const
{
    return loginContainer && loginContainer->window();
}

void LoginWidget::show()
{
    LOG_TRACE;
    if (list && loginContainer) {
        list->setVisible(true);
        loginContainer->setVisible(true);
        list->showPluginWindow(loginContainer);
    }
    QWidget::setVisible(true);
}

} // namespace ORVO
