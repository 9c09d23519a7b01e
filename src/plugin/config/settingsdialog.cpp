#include "plugin/config/settingsdialog.h"

#include <QSettings>

#include "gui/log/logform.h"

SettingsDialog::SettingsDialog(QWidget* parent, LogForm* logForm) : QDialog(parent)
{
    Q_UNUSED(logForm);
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::setServerId(const QUuid& uuid)
{
    serverId = uuid;
}
void SettingsDialog::setAuth(const libvelcor::Auth& a)
{
    auth = a;
}
void SettingsDialog::load() {}
void SettingsDialog::cellDoubleClicked(int, int) {}
void SettingsDialog::itemChanged(QTableWidgetItem*) {}
void SettingsDialog::resetSelected() {}
void SettingsDialog::resetAll() {}
void SettingsDialog::changePassClicked() {}
void SettingsDialog::changePassChanged() {}
void SettingsDialog::test() {}
void SettingsDialog::_insertActions() {}
void SettingsDialog::_insertActionItem(int, int, const QString&) {}
int SettingsDialog::_applyChange(const QString&, const QString&)
{
    return 0;
}
void SettingsDialog::_applyChanges(const QStringList&) {}
void SettingsDialog::_updateButtons() {}
void SettingsDialog::_closeGroups() {}
