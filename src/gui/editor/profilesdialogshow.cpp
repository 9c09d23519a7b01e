// Showing a profile: every field filled from the profile, and which fields
// and tabs apply to its kind, configuration mode and credential.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QUrl>

#include "common/log.h"
#include "gui/editor/profilesdialog.h"
#include "gui/editor/ui_profilesdialog.h"
#include "gui/widgets/combobox.h"
#include "gui/widgets/lineedit.h"
#include "profiles/connprofile.h"

using ORVO::ConnProfile;

namespace {

// The tab bar's width once a profile is shown.
const int ShownTabsWidth = 420;

void fill(LineEdit* edit, const QString& text)
{
    edit->setText(text);
}

} // namespace

// One that names no port uses its scheme's default port.
int ProfilesDialog::urlPort(const QUrl& url)
{
    if (url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0)
        return url.port(80);
    return url.port(443);
}

void ProfilesDialog::setCurrentProfile(ORVO::ConnProfile* profile)
{
    if (!profile) {
        LOG_ERROR;
        return;
    }
    Ui_profilesDialog* f = ui;
    const libvelcor::Auth auth = profile->getAuth();
    const int t = profile->getType();
    LOG_DEBUG << "[ProfilesDialog] type: " << QString::number(t);
    const int m = profile->getConfigMode();
    const int a = auth.getType();
    const bool cv = profile->getCaVerify();
    const bool ma = profile->getManualAuth();
    const bool ra = profile->getRememberAuth();
    libvelcor::VpnConfig& vpnConfig = profile->getVpnConfig();
    const bool fb = vpnConfig.isFallbackEnabled();

    const bool ls = t == ConnProfile::LsType;
    const bool vpn = t == ConnProfile::VpnType;
    const bool manual = m == ConnProfile::ManualConfigMode;
    // Credentials kept in the profile, and whether the Advanced tab applies.
    const bool keep = ma || manual || !vpn;
    const bool advanced = ls || (vpn && manual);

    QString server;
    int port = 0;
    if (ls) {
        const QUrl url(auth.getUrl());
        server = url.host();
        port = urlPort(url);
    } else {
        server = vpnConfig.getRemote();
        port = vpnConfig.getRemotePort();
    }

    f->tabWidget->show();
    // Every field is filled from the profile; the values it refused come
    // back at the end.
    clearHint();
    updateLineEdit(f->fallbackServerEdit, false);

    // The form's signals stay connected while it is filled: a check box
    // that changes stores what it shows, which is the profile's own value.
    {
        // The list's item already holds the id; a refused name the user
        // typed for this profile must outlive the fill (it comes back
        // below).
        const QSignalBlocker quiet(f->nameEdit);
        fill(f->nameEdit, profile->getId());
        updateLineEdit(f->nameEdit, false);
    }
    const QStringList files = profile->getConfigFiles();
    f->configFilesWidget->setToolTip(files.join(QLatin1Char('\n')));
    f->configFilesWidget->setVisible(vpn && !manual);
    f->configCombo->comboBox()->setCurrentIndex(m);
    f->configCombo->setVisible(vpn);
    f->configFilesLabel->setText(tr("%n file(s) loaded", nullptr, files.size()));
    updateLabel(f->configFilesLabel, files.isEmpty());

    fill(f->serverEdit, server);
    updateLineEdit(f->serverEdit, f->serverEdit->text().isEmpty());
    f->serverEdit->setVisible(ls || manual);
    fill(f->selectVpnCaEdit, profile->getCaPath());
    updateLineEdit(f->selectVpnCaEdit, f->selectVpnCaEdit->text().isEmpty());
    f->selectVpnCaEdit->setVisible(vpn && a == libvelcor::Auth::UserPassType && manual);
    f->manualAuthCheck->setChecked(ma);
    f->manualAuthCheck->setVisible(vpn && !manual);
    f->authCombo->comboBox()->setCurrentIndex(a);
    f->authCombo->setVisible(vpn && ma);
    fill(f->userEdit, auth.getUser());
    updateLineEdit(f->userEdit, f->userEdit->text().isEmpty());
    f->userEdit->setVisible(a == libvelcor::Auth::UserPassType && keep);
    fill(f->selectP12Edit, auth.getPath());
    updateLineEdit(f->selectP12Edit, f->selectP12Edit->text().isEmpty());
    f->selectP12Edit->setVisible(a != libvelcor::Auth::UserPassType && keep);
    // The profile's own flag also while the box is hidden: showing a
    // profile must never change it.
    f->rememberAuthCheck->setChecked(ra);
    f->rememberAuthCheck->setVisible(keep);
    f->passEdit->setLabelText(a != libvelcor::Auth::UserPassType ? tr("PKCS#12 password")
                                                                 : tr("Password"));
    fill(f->passEdit, auth.getPass());
    f->passEdit->setHeight(26);
    updateLineEdit(f->passEdit, f->passEdit->text().isEmpty());
    f->passEdit->setVisible(keep && ra);

    QTabWidget* tabs = f->tabWidget;
    if (advanced && tabs->count() == 1)
        tabs->insertTab(1, f->advancedTab, tr("Advanced"));
    else if (!advanced && tabs->count() == 2)
        tabs->removeTab(1);
    setTabWidth(ShownTabsWidth);

    f->serverPortSpin->setValue(port);
    f->serverPortWidget->setVisible(ls || manual);
    f->verifyCaCheck->setChecked(cv);
    f->verifyCaCheck->setVisible(ls);
    fill(f->selectLsCaEdit, profile->getCaPath());
    updateLineEdit(f->selectLsCaEdit, f->selectLsCaEdit->text().isEmpty());
    f->selectLsCaEdit->setVisible(ls && cv);
    f->deviceCombo->comboBox()->setCurrentIndex(vpnConfig.getDev());
    f->deviceCombo->setVisible(vpn);
    f->protoCombo->comboBox()->setCurrentIndex(vpnConfig.getRemoteProto());
    f->protoCombo->setVisible(vpn);
    f->enableCompCheck->setChecked(vpnConfig.isCompEnabled());
    f->enableCompCheck->setVisible(vpn);
    f->pullRoutesCheck->setChecked(profile->getPullRoutes());
    f->pullRoutesCheck->setVisible(vpn);
    f->fallbackServerEnable->setChecked(fb);
    f->fallbackServerEnable->setVisible(vpn);
    fill(f->fallbackServerEdit, vpnConfig.getFallbackRemote());
    f->fallbackServerEdit->setVisible(vpn && fb);
    f->fallbackPortSpin->setValue(vpnConfig.getFallbackRemotePort());
    f->fallbackPortWidget->setVisible(vpn && fb);
    f->fallbackProtoCombo->comboBox()->setCurrentIndex(vpnConfig.getFallbackRemoteProto());
    f->fallbackProtoCombo->setVisible(vpn && fb);
    restoreRefusals(profile);
}
