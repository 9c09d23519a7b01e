#pragma once

#include <QDialog>
#include <QString>
#include <QUuid>

#include "libvelcor/auth.h"

class LogForm;
class QSettings;
class QTableWidgetItem;
class Ui_settingsDialog;

// The portal's settings window: the application locations stored for the
// signed-in management server, the user's password change and the second
// log page. Modeless; the portal plugin makes it once and, before each
// showing, gives it the server id and credential and calls load().
//
// Every change of the locations reaches the settings store at once; the
// password change only emits changePassword, the plugin does the rest.
class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    SettingsDialog(QWidget* parent, LogForm* logForm);
    ~SettingsDialog() override;
    SettingsDialog(const SettingsDialog&) = delete;
    SettingsDialog& operator=(const SettingsDialog&) = delete;

    void setServerId(const QUuid& uuid);
    void setAuth(const libvelcor::Auth& auth);
    // Empties the password fields and lists the applications again.
    void load();

    // False when the dialog was built without its log page: it then has no
    // form, store or connections, and load() does nothing.
    bool isValid() const { return settings != nullptr; }
    // Rows of the last listing, less those reset since.
    int getActionCount() const { return actionCount; }

signals:
    void changePassword(QString newPass);

private slots:
    void cellDoubleClicked(int row, int column);
    void itemChanged(QTableWidgetItem* item);
    void resetSelected();
    void resetAll();
    void changePassClicked();
    void changePassChanged();
    void test();

private:
    void _insertActions();
    void _insertActionItem(int row, int column, const QString& text);
    int _applyChange(const QString& key, const QString& value);
    // Removes the keys from the store, or, when that cannot be saved,
    // keeps them and lists the table again.
    void _removeEntries(const QStringList& keys);
    void _updateButtons();
    void _closeGroups();

    Ui_settingsDialog* ui = nullptr;
    libvelcor::Auth auth;
    // The new password of the change last asked for, until a credential
    // answers it.
    QString requestedPass;
    // auth's password came from a change the server accepted: it is the
    // old password whole, with nothing of a sign-in's to drop.
    bool passFromChange = false;
    QUuid serverId;
    QSettings* settings = nullptr;
    int actionCount = 0;
    // Depth of the groups the last listing left open on settings.
    int openGroups = 0;
};
