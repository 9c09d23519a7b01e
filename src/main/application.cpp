#include "main/application.h"

#include <QApplication>
#include <QCoreApplication>

#include "common/log.h"
#include "gui/guiapplication.h"

namespace ORVO {

Application::Application(int& argc, char** argv, ORVO::Config* config, bool withGui)
    : withGui(withGui)
{
    Q_UNUSED(config);
    if (withGui)
        app = std::make_unique<ORVO::GuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    LOG_TRACE;
}

Application::~Application()
{
    LOG_TRACE;
}

int Application::start()
{
    return 0;
}

int Application::exec()
{
    return QCoreApplication::exec();
}

} // namespace ORVO
