#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class ComboBox;
class LineEdit;
class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QSpinBox;
class QUrl;
class Ui_profilesDialog;

namespace ORVO {
class ConnProfile;
class ConnProfiles;
} // namespace ORVO

// The profile editor: a non-modal dialog over the login form's profile
// store in which the user lists, adds, edits, renames and removes profiles.
// Every edit goes at once into the store's working set; OK writes the whole
// set to disk, and every other way out (Cancel, the close control, Escape)
// rolls it back, so that what the user sees afterwards is what is saved.
//
// The store and the shown profile are borrowed, never deleted here.
class ProfilesDialog : public QDialog
{
    Q_OBJECT
public:
    // Ask the user for one file, or for several; empty when cancelled.
    using OpenFileChooser = std::function<QString(const QString& caption, const QString& filter)>;
    using OpenFilesChooser =
        std::function<QStringList(const QString& caption, const QString& filter)>;

    ProfilesDialog(QWidget* parent, ORVO::ConnProfiles* profiles);
    ~ProfilesDialog() override;
    ProfilesDialog(const ProfilesDialog&) = delete;
    ProfilesDialog& operator=(const ProfilesDialog&) = delete;

    // Fills the list from the store (read again from disk with reload) and
    // shows the profile in row index (a negative index counts as 0); rows
    // are in the order of ORVO::sortedProfileIds. -1 when the reload fails.
    int load(int index, bool reload);
    // The same, opening on the profile with this id, or on the first row
    // when no profile has it.
    int load(const QString& id, bool reload);

    int addItem(QListWidget* list, const QString& text);
    // Marks an empty required field: the edit's background, a label's text.
    void updateLineEdit(LineEdit* edit, bool tinted);
    void updateLabel(QLabel* label, bool tinted);

    // Raised, with a line asking the user to end the edit with OK or Cancel
    // first: a sign-in goes only with saved profiles.
    void askToFinish();
    // While not empty, OK saves nothing and shows this reason instead.
    void setSaveRefusal(const QString& reason);

    // Replaces the standard file dialogs (a null function restores them).
    void setFileChoosers(OpenFileChooser single, OpenFilesChooser multiple);

    // The widget tree, for whoever drives the form.
    Ui_profilesDialog* form() const { return ui; }

public slots:
    // The close control and Escape: a Cancel.
    void reject() override;

signals:
    // The profile the form now shows; never null.
    void profileChanged(ORVO::ConnProfile* profile);
    // The set was written; the id selected then, or "".
    void saved(QString currentId);

private slots:
    void cancelClicked();
    void okClicked();
    void itemChanged(QListWidgetItem* item);
    void currentItemChanged(QListWidgetItem* current, QListWidgetItem* previous);
    void addButtonClicked();
    void removeButtonClicked();
    void nameEdited(QString text);
    void nameFinished();
    void configComboActivated(int index);
    void configFilesButtonClicked();
    void serverChanged(QString text);
    void serverEdited();
    void serverPortEdited();
    void verifyCaChanged(int state);
    void selectCaClicked();
    void selectCaChanged(QString text);
    void manualAuthChanged(int state);
    void authComboActivated(int index);
    void userChanged(QString text);
    void userEdited();
    void selectP12Clicked();
    void selectP12Changed(QString text);
    void rememberAuthChanged(int state);
    void passChanged(QString text);
    void passEdited();
    void deviceComboActivated(int index);
    void protoComboActivated(int index);
    void enableCompChanged(int state);
    void pullRoutesChanged(int state);
    void fallbackServerChanged(int state);
    void fallbackServerEdited();
    void fallbackPortEdited();
    void fallbackProtoActivated(int index);

private:
    void initDialog();
    void initList();
    void initTabs();
    void initConnectionTab();
    void initAdvancedTab();
    void initLineEdit(LineEdit* edit, bool readOnly);
    void initComboBox(ComboBox* combo);
    void initPortWidget(QLabel* label, QSpinBox* spin);
    void initCheckBox(QCheckBox* check);
    void setTabWidth(int totalWidth);

    // Steps of load shared by both forms: reload, list, then select.
    int fillList(bool reload);
    void selectItem(QListWidgetItem* item);
    void quit();

    // Writes the edit of the field being typed in, which the list's taking
    // no focus leaves unfinished, into the shown profile.
    void finishPendingEdit();
    // Drops the profiles added since the last save, which a rollback keeps.
    void dropAdded();

    void setCurrentProfile(ORVO::ConnProfile* profile);
    int serverSetUrl();
    // A field's value refused: the field tinted, the reason beside the
    // buttons. One that holds OK (an address the profile did not take) is
    // kept with its profile, whichever profile is shown, and stops OK from
    // saving until the field is mended: OK shows that profile, the field's
    // tab and the reason instead.
    void showRefusal(LineEdit* field, const QString& reason, bool holdsOk);
    // The shown profile's field mended; the hint goes to another refused
    // field of that profile, if any.
    void clearRefusal(LineEdit* field);
    void clearHint();
    // The hint shows the shown profile's first refusal, if any.
    void showNextRefusal();
    // A line of the dialog's own in the hint's place.
    void showNote(const QString& text);
    // After a fill: the shown profile's refused values back in their
    // fields; one whose field the profile no longer shows is dropped.
    void restoreRefusals(const ORVO::ConnProfile* profile);
    void dropRefusals(const ORVO::ConnProfile* profile);
    // 0, or -1 when a refusal holds OK.
    int checkRefusal();
    // The tab that holds the field, or -1.
    int tabOf(const QWidget* field) const;
    // An address typed into a server field: blanks around it dropped, then
    // refused or taken by the profile.
    QString serverText(LineEdit* field);
    void serverResult(LineEdit* field, int result);
    // Why a profile cannot take this name; empty when nothing is to be said.
    QString nameRefusal(const QString& name) const;
    // The port a management server's URL connects to.
    static int urlPort(const QUrl& url);
    QString chooseFile(const QString& caption, const QString& filter);
    QStringList chooseFiles(const QString& caption, const QString& filter);

    Ui_profilesDialog* ui;
    ORVO::ConnProfiles* profiles;
    ORVO::ConnProfile* currentProfile;
    OpenFileChooser openFile;
    OpenFilesChooser openFiles;
    // Ids given by add since the set was last saved or read.
    QStringList added;
    // The field whose refusal the hint shows.
    LineEdit* hintOwner = nullptr;
    // The values refused and not mended yet, each with its profile (only
    // compared, never followed: dropped when the profile goes).
    struct Refusal
    {
        const ORVO::ConnProfile* profile;
        LineEdit* field;
        QString text;
        QString reason;
    };
    QList<Refusal> refusals;
    QString saveRefusal;
};
