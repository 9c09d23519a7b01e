// A plugin of the client's base interface with a type the client does not
// know: found, and left alone.
#include <QObject>

#include "common/plugininterfaces.h"

class TypeFivePlugin : public QObject, public ORVO::GfxPluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.bastiva.ORVO.test.TypeFive/1.0")
public:
    TypeFivePlugin() { setObjectName(QStringLiteral("TypeFivePlugin")); }
    ORVO::PluginWindow* newWindow(const QVariantMap&) override { return nullptr; }
    int type() const override { return 5; }
};

#include "app_typefive.moc"
