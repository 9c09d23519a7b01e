// Screenshots of the profile editor for the eye, one per kind of profile
// and tab, with the program's style sheets:
//   xvfb-run -a env QT_QPA_PLATFORM=xcb editor_screenshots /tmp
// writes editor-<kind>-<tab>.png into the given directory. Not a test: what
// it shows is judged by looking at it.

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTextStream>

#include "editorfixture.h"
#include "gui/editor/profilesdialog.h"
#include "gui/editor/ui_profilesdialog.h"
#include "profiles/connprofiles.h"
#include "testenv.h"

namespace {

bool shoot(ProfilesDialog& dialog, const QString& id, const QString& path)
{
    dialog.load(id, false);
    dialog.show();
    QTabWidget* tabs = dialog.form()->tabWidget;
    bool ok = true;
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        const QString name =
            path + QStringLiteral("-") +
            (tab == 0 ? QStringLiteral("connection") : QStringLiteral("advanced")) +
            QStringLiteral(".png");
        ok = dialog.grab().save(name) && ok;
        QTextStream(stdout) << name << "\n";
    }
    tabs->setCurrentIndex(0);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initEditorResources();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();

    orvotest::TestEnv env;
    ORVO::ConnProfiles store;
    ORVO::ConnProfile* office = store.add(QStringLiteral("Office VPN"));
    if (!edtest::makeVpnManual(office, QStringLiteral("alice"), env.root()))
        return 1;
    office->getVpnConfig().setFallbackEnabled(true);
    office->getVpnConfig().setFallbackRemote(QStringLiteral("vpn2.example.org"));
    ORVO::ConnProfile* branch = store.add(QStringLiteral("branch files"));
    if (!edtest::makeVpnFiles(branch, env.root(), true))
        return 1;
    branch->getAuth().setType(libvelcor::Auth::CertificateType);
    branch->getAuth().setPath(QStringLiteral("/home/alice/certs/branch.p12"));
    ORVO::ConnProfile* cloud = store.add(QStringLiteral("Cloud"));
    edtest::makeLs(cloud, QStringLiteral("https://ls.example.org:8443"));
    cloud->setCaVerify(true);
    cloud->setRememberAuth(false);

    ProfilesDialog dialog(nullptr, &store);
    bool ok =
        shoot(dialog, QStringLiteral("Office VPN"), out + QStringLiteral("/editor-vpn-manual"));
    ok = shoot(dialog, QStringLiteral("branch files"), out + QStringLiteral("/editor-vpn-files")) &&
         ok;
    ok = shoot(dialog, QStringLiteral("Cloud"), out + QStringLiteral("/editor-ls")) && ok;
    return ok ? 0 : 1;
}
