// The field slots: each edit goes at once into the shown profile of the
// store's working set. A refused setter is logged and the slot stops; the
// field keeps what the user entered, and a refused server address is shown
// as refused, with the reason.

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>
#include <QSslCertificate>
#include <QUrl>

#include "common/common.h"
#include "common/log.h"
#include "gui/editor/profilesdialog.h"
#include "gui/editor/ui_profilesdialog.h"
#include "gui/messagebox.h"
#include "gui/widgets/lineedit.h"
#include "profiles/connprofile.h"

using ORVO::ConnProfile;

namespace {

bool isOn(int state)
{
    return state == Qt::Checked;
}

QString errorTitle()
{
    return ORVO::app() + QStringLiteral(" ") + ProfilesDialog::tr("Error");
}

} // namespace

QString ProfilesDialog::chooseFile(const QString& caption, const QString& filter)
{
    if (openFile)
        return openFile(caption, filter);
    return QFileDialog::getOpenFileName(nullptr, caption, QString(), filter);
}

QStringList ProfilesDialog::chooseFiles(const QString& caption, const QString& filter)
{
    if (openFiles)
        return openFiles(caption, filter);
    return QFileDialog::getOpenFileNames(nullptr, caption, QString(), filter);
}

// -------------------------------------------- connection and authentication

void ProfilesDialog::configComboActivated(int index)
{
    LOG_TRACE << "index: " << index;
    if (!currentProfile)
        return;
    if (currentProfile->getType() != ConnProfile::VpnType) {
        LOG_ERROR;
        return;
    }
    if (currentProfile->setConfigMode(static_cast<ConnProfile::ConfigMode>(index)) != 0) {
        LOG_ERROR;
        return;
    }
    // Manual mode has no "Manual authentication" box to turn it back on.
    if (index == ConnProfile::ManualConfigMode && currentProfile->setManualAuth(true) != 0) {
        LOG_ERROR;
        return;
    }
    setCurrentProfile(currentProfile);
}

void ProfilesDialog::configFilesButtonClicked()
{
    LOG_TRACE;
    const QStringList files = chooseFiles(tr("Select one or more configuration files"),
                                          tr("All files") + QStringLiteral(" (*.*)"));
    LOG_DEBUG << "[ProfilesDialog] Chosen config files: " << files;
    // The chooser ran an event loop: the shown profile is read afterwards.
    if (files.isEmpty() || !currentProfile)
        return;
    if (currentProfile->setConfigFiles(files, QString(), true) != 0) {
        ORVO::MessageBox::critical(nullptr, errorTitle(),
                                   tr("No valid OpenVPN configuration file detected!"),
                                   QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    setCurrentProfile(currentProfile);
}

void ProfilesDialog::serverChanged(QString text)
{
    updateLineEdit(ui->serverEdit, text.isEmpty());
}

QString ProfilesDialog::serverText(LineEdit* field)
{
    // Blanks around an address come with a paste; none belongs to it.
    const QString text = field->text().trimmed();
    if (text != field->text())
        field->setText(text);
    return text;
}

void ProfilesDialog::serverResult(LineEdit* field, int result)
{
    if (result == 0) {
        clearRefusal(field);
        return;
    }
    LOG_ERROR << "[ProfilesDialog] Server address refused: " << field->text();
    showRefusal(field,
                tr("The server address cannot be used: give a host name or an IP address, "
                   "without blanks or control characters."),
                true);
}

void ProfilesDialog::serverEdited()
{
    LOG_TRACE;
    if (!currentProfile)
        return;
    const QString text = serverText(ui->serverEdit);
    if (currentProfile->getType() == ConnProfile::LsType)
        serverResult(ui->serverEdit, serverSetUrl());
    else
        serverResult(ui->serverEdit, currentProfile->getVpnConfig().setRemote(text));
}

void ProfilesDialog::serverPortEdited()
{
    LOG_TRACE;
    if (!currentProfile)
        return;
    if (currentProfile->getType() == ConnProfile::LsType) {
        // The URL holds both: a refusal is the address's.
        serverText(ui->serverEdit);
        serverResult(ui->serverEdit, serverSetUrl());
    } else if (currentProfile->getVpnConfig().setRemotePort(ui->serverPortSpin->value()) != 0) {
        LOG_ERROR;
    }
}

int ProfilesDialog::serverSetUrl()
{
    if (!currentProfile)
        return -1;
    libvelcor::Auth& auth = currentProfile->getAuth();
    const QString text = ui->serverEdit->text();
    const int port = ui->serverPortSpin->value();
    QUrl url(auth.getUrl());
    // Fields left as shown write nothing: the stored URL may say more than
    // they show (its scheme, its path, a default port left out).
    if (text == url.host() && port == urlPort(url))
        return 0;
    if (text.contains(QLatin1String("://"))) {
        // A whole address typed into the server field.
        url = QUrl(text, QUrl::StrictMode);
    } else {
        if (url.scheme().isEmpty())
            url.setScheme(QStringLiteral("https"));
        url.setHost(text, QUrl::StrictMode);
        if (port != urlPort(url))
            url.setPort(port);
    }
    if (!url.isValid() || url.scheme().isEmpty())
        return -1;
    if (auth.setUrl(url.toString(QUrl::FullyEncoded)) != 0)
        return -1;
    ui->serverEdit->setText(url.host());
    ui->serverPortSpin->setValue(urlPort(url));
    return 0;
}

void ProfilesDialog::verifyCaChanged(int state)
{
    LOG_TRACE << "state: " << QString::number(state);
    if (!currentProfile)
        return;
    if (currentProfile->setCaVerify(isOn(state)) != 0) {
        LOG_ERROR;
        return;
    }
    setCurrentProfile(currentProfile);
}

void ProfilesDialog::selectCaClicked()
{
    LOG_TRACE;
    QString path;
    // Asks again until the file holds a certificate or the user gives up.
    for (;;) {
        path = chooseFile(tr("Select a CA certificate file"), tr("PEM File (*.pem)"));
        LOG_DEBUG << "[ProfilesDialog] Chosen certificate: " << path;
        if (path.isEmpty())
            return;
        if (!QSslCertificate::fromPath(path, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString)
                 .isEmpty())
            break;
        ORVO::MessageBox::critical(
            nullptr, errorTitle(),
            tr("Chosen file is not readable or does not contain valid certificates!"),
            QMessageBox::Ok, QMessageBox::NoButton);
    }
    if (!currentProfile)
        return;
    LineEdit* field =
        currentProfile->getType() == ConnProfile::LsType ? ui->selectLsCaEdit : ui->selectVpnCaEdit;
    field->setText(path);
    field->setToolTip(path);
    if (currentProfile->setCaPath(path) != 0)
        LOG_ERROR;
}

void ProfilesDialog::selectCaChanged(QString text)
{
    if (!currentProfile)
        return;
    updateLineEdit(currentProfile->getType() == ConnProfile::LsType ? ui->selectLsCaEdit
                                                                    : ui->selectVpnCaEdit,
                   text.isEmpty());
}

void ProfilesDialog::manualAuthChanged(int state)
{
    LOG_TRACE << "state: " << QString::number(state);
    if (!currentProfile)
        return;
    if (currentProfile->setManualAuth(isOn(state)) != 0) {
        LOG_ERROR;
        return;
    }
    setCurrentProfile(currentProfile);
}

void ProfilesDialog::authComboActivated(int index)
{
    LOG_TRACE << "index: " << index;
    if (!currentProfile)
        return;
    libvelcor::Auth& auth = currentProfile->getAuth();
    libvelcor::VpnConfig& vpnConfig = currentProfile->getVpnConfig();
    if (auth.setType(static_cast<libvelcor::Auth::Type>(index)) != 0) {
        LOG_ERROR;
        return;
    }
    // A certificate brings its own CA; a password needs no certificate file.
    if (index == libvelcor::Auth::CertificateType && vpnConfig.setCaPath(QString()) != 0) {
        LOG_ERROR;
        return;
    }
    if (index == libvelcor::Auth::UserPassType && vpnConfig.setP12Path(QString()) != 0) {
        LOG_ERROR;
        return;
    }
    if (auth.setPass(QString()) != 0) {
        LOG_ERROR;
        return;
    }
    setCurrentProfile(currentProfile);
}

void ProfilesDialog::finishPendingEdit()
{
    // Only the field with the focus can hold an edit not yet finished.
    QWidget* focused = focusWidget();
    if (!focused || !currentProfile)
        return;
    Ui_profilesDialog* f = ui;
    if (focused == f->userEdit->lineEdit()) {
        userEdited();
    } else if (focused == f->passEdit->lineEdit()) {
        passEdited();
    } else if (focused == f->serverEdit->lineEdit()) {
        serverEdited();
    } else if (focused == f->fallbackServerEdit->lineEdit()) {
        fallbackServerEdited();
    } else if (focused == f->serverPortSpin || f->serverPortSpin->isAncestorOf(focused)) {
        f->serverPortSpin->interpretText();
        serverPortEdited();
    } else if (focused == f->fallbackPortSpin || f->fallbackPortSpin->isAncestorOf(focused)) {
        f->fallbackPortSpin->interpretText();
        fallbackPortEdited();
    }
}

// ------------------------------------------------------ credential fields

void ProfilesDialog::userChanged(QString text)
{
    updateLineEdit(ui->userEdit, text.isEmpty());
}

void ProfilesDialog::userEdited()
{
    LOG_TRACE;
    const QString text = ui->userEdit->text();
    if (text.isEmpty() || !currentProfile)
        return;
    if (currentProfile->getAuth().setUser(text) != 0)
        LOG_ERROR;
}

void ProfilesDialog::passChanged(QString text)
{
    updateLineEdit(ui->passEdit, text.isEmpty());
}

void ProfilesDialog::passEdited()
{
    LOG_TRACE;
    const QString text = ui->passEdit->text();
    if (text.isEmpty() || !currentProfile)
        return;
    if (currentProfile->getAuth().setPass(text) != 0)
        LOG_ERROR;
}

void ProfilesDialog::selectP12Clicked()
{
    LOG_TRACE;
    const QString path = chooseFile(tr("Select a PKCS#12 file"), tr("PKCS#12 File (*.p12)"));
    LOG_DEBUG << "[ProfilesDialog] Chosen PKCS12: " << path;
    if (path.isEmpty())
        return;
    ui->selectP12Edit->setText(path);
    ui->selectP12Edit->setToolTip(path);
    if (!currentProfile)
        return;
    if (currentProfile->getAuth().setPath(path) != 0) {
        LOG_ERROR;
        return;
    }
    // The profile keeps its own copy of the file under this name.
    if (currentProfile->getVpnConfig().setP12Path(QFileInfo(path).fileName()) != 0)
        LOG_ERROR;
}

void ProfilesDialog::selectP12Changed(QString text)
{
    updateLineEdit(ui->selectP12Edit, text.isEmpty());
}

void ProfilesDialog::rememberAuthChanged(int state)
{
    LOG_TRACE << "state: " << QString::number(state);
    if (!currentProfile)
        return;
    if (currentProfile->setRememberAuth(isOn(state)) != 0) {
        LOG_ERROR;
        return;
    }
    setCurrentProfile(currentProfile);
}

// ----------------------------------------------------------- tunnel options

void ProfilesDialog::deviceComboActivated(int index)
{
    LOG_TRACE << "index: " << index;
    if (!currentProfile)
        return;
    if (currentProfile->getVpnConfig().setDev(static_cast<libvelcor::VpnConfig::Dev>(index)) != 0)
        LOG_ERROR;
}

void ProfilesDialog::protoComboActivated(int index)
{
    LOG_TRACE << "index: " << index;
    if (!currentProfile)
        return;
    if (currentProfile->getVpnConfig().setRemoteProto(
            static_cast<libvelcor::VpnConfig::Proto>(index)) != 0)
        LOG_ERROR;
}

void ProfilesDialog::enableCompChanged(int state)
{
    LOG_TRACE << "state: " << QString::number(state);
    if (!currentProfile)
        return;
    if (currentProfile->getVpnConfig().setCompEnabled(isOn(state)) != 0)
        LOG_ERROR;
}

void ProfilesDialog::pullRoutesChanged(int state)
{
    LOG_TRACE << "state: " << QString::number(state);
    if (!currentProfile)
        return;
    if (currentProfile->setPullRoutes(isOn(state)) != 0)
        LOG_ERROR;
}

void ProfilesDialog::fallbackServerChanged(int state)
{
    LOG_TRACE << "state: " << QString::number(state);
    if (!currentProfile)
        return;
    if (currentProfile->getVpnConfig().setFallbackEnabled(isOn(state)) != 0) {
        LOG_ERROR;
        return;
    }
    setCurrentProfile(currentProfile);
}

void ProfilesDialog::fallbackServerEdited()
{
    LOG_TRACE;
    if (!currentProfile)
        return;
    const QString text = serverText(ui->fallbackServerEdit);
    serverResult(ui->fallbackServerEdit, currentProfile->getVpnConfig().setFallbackRemote(text));
}

void ProfilesDialog::fallbackPortEdited()
{
    LOG_TRACE;
    if (!currentProfile)
        return;
    if (currentProfile->getVpnConfig().setFallbackRemotePort(ui->fallbackPortSpin->value()) != 0)
        LOG_ERROR;
}

void ProfilesDialog::fallbackProtoActivated(int index)
{
    LOG_TRACE << "index: " << index;
    if (!currentProfile)
        return;
    if (currentProfile->getVpnConfig().setFallbackRemoteProto(
            static_cast<libvelcor::VpnConfig::Proto>(index)) != 0)
        LOG_ERROR;
}
