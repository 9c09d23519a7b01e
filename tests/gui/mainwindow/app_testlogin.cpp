// A login plugin in a plugin file: found beside the executable, it takes the
// place of a built-in one. It offers the signatures the controller wires and
// makes no window (it links no widgets).
#include <QObject>
#include <QVariant>

#include "common/common.h"
#include "common/plugininterfaces.h"
#include "libvelcor/auth.h"
#include "libvelcor/state.h"
#include "profiles/connprofile.h"

class FileLoginPlugin : public QObject, public ORVO::LoginGfxPluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ORVO_LoginGfxPluginInterface_iid)
    Q_INTERFACES(ORVO::LoginGfxPluginInterface)
public:
    FileLoginPlugin() { setObjectName(QStringLiteral("FileLoginPlugin")); }
    ORVO::PluginWindow* newWindow(const QVariantMap&) override { return nullptr; }
    LogForm* getLogFormExt() override { return nullptr; }
    void signInClicked() override {}

public slots:
    void plainConnection(bool, QString) {}
    void signInLasts(bool) {}
    void setProgress(int, int, const QString&) override {}

signals:
    void authRequest();
    void authSupply(const libvelcor::Auth& auth);
    void close();
    void sigConnect();
    void profileSupply(ORVO::ConnProfile* profile);
    void configSupply(QVariant config);
    void securitySupply(QVariant settings);
    void logVerbosityChanged(ORVO::Verbosity v);
    void logPortSupply(int port);
    void sigDisconnect();
    void stateChanged(libvelcor::State st);
};

#include "app_testlogin.moc"
