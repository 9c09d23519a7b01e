#include "testconfigplugin.h"

ORVO::PluginWindow* TestConfigPlugin::newWindow(const QVariantMap& params)
{
    Q_UNUSED(params);
    auto* window = new ORVO::PluginWindow();
    window->showBannerAndButtons(0x4e, QPixmap());
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
