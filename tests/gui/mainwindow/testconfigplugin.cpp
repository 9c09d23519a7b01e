#include "testconfigplugin.h"

#include <QLabel>

#include "gui/mainwindow/pluginwindowpage.h"

ORVO::PluginWindow* TestConfigPlugin::newWindow(const QVariantMap& params)
{
    Q_UNUSED(params);
    ++windows;
    auto* window = new ORVO::PluginWindow();
    window->showBannerAndButtons(0x4e, QPixmap());
    for (const QString& name : {QStringLiteral("Connection"), QStringLiteral("Users")}) {
        auto* page = new ORVO::PluginWindowPage();
        page->setWidget(new QLabel(name));
        window->addTab(name, QIcon(), page, false);
    }
    return window;
}

void TestConfigPlugin::gotPages(const QVariantMap& pages)
{
    Q_UNUSED(pages);
    ready = true;
}

void TestConfigPlugin::gotServerAddr(const QString& addr, const QString& fallbackAddr)
{
    Q_UNUSED(addr);
    Q_UNUSED(fallbackAddr);
}

#include "moc_testconfigplugin.cpp"
