#include "gui/editor/profilesdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegExp>
#include <QRegExpValidator>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/common.h"
#include "common/log.h"
#include "common/utils.h"
#include "gui/editor/profileorder.h"
#include "gui/editor/ui_profilesdialog.h"
#include "gui/messagebox.h"
#include "gui/widgets/clickablelabel.h"
#include "gui/widgets/combobox.h"
#include "gui/widgets/lineedit.h"
#include "gui/widgets/pushbutton.h"
#include "gui/widgets/widgetutils.h"
#include "profiles/connprofile.h"
#include "profiles/connprofiles.h"

using ORVO::ConnProfile;

namespace {

const int RowHeight = 26;
const int LabelWidth = 160;
const int FieldWidth = 200;
// The tab bar's width at construction; setCurrentProfile lays the tabs
// over 420.
const int InitialTabsWidth = 424;

} // namespace

ProfilesDialog::ProfilesDialog(QWidget* parent, ORVO::ConnProfiles* profiles)
    : QDialog(parent), ui(new Ui_profilesDialog), profiles(profiles), currentProfile(nullptr)
{
    LOG_TRACE;
    ui->setupUi(this);
    initDialog();
    initList();
    initTabs();
    setStyleSheet(ORVO::utils::loadStyleSheet(QStringLiteral(":/main.css")));
    setAttribute(Qt::WA_AlwaysShowToolTips);
}

ProfilesDialog::~ProfilesDialog()
{
    LOG_TRACE;
    delete ui;
}

void ProfilesDialog::setFileChoosers(OpenFileChooser single, OpenFilesChooser multiple)
{
    openFile = std::move(single);
    openFiles = std::move(multiple);
}

// ------------------------------------------------------------- construction

void ProfilesDialog::initDialog()
{
    setWindowTitle(tr("%1 Connection Profiles").arg(ORVO::app()));
    ui->cancelButton->setObjectName(QStringLiteral("actionButton"));
    connect(ui->cancelButton, SIGNAL(clicked()), this, SLOT(cancelClicked()));
    ui->okButton->setObjectName(QStringLiteral("actionButton"));
    connect(ui->okButton, SIGNAL(clicked()), this, SLOT(okClicked()));
    ui->okButton->setFocusPolicy(Qt::ClickFocus);
    // Return finishes the edit of a field; it must not press a button too
    // (a dialog makes its first push button the default one).
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);
}

void ProfilesDialog::initList()
{
    LOG_TRACE;
    ui->addButton->setIcons(QIcon(QStringLiteral("rc:plus-on.png")),
                            QIcon(QStringLiteral("rc:plus-off.png")));
    ui->addButton->setObjectName(QStringLiteral("actionButton"));
    connect(ui->addButton, SIGNAL(clicked()), this, SLOT(addButtonClicked()));
    ui->removeButton->setIcons(QIcon(QStringLiteral("rc:minus-on.png")),
                               QIcon(QStringLiteral("rc:minus-off.png")));
    ui->removeButton->setObjectName(QStringLiteral("actionButton"));
    connect(ui->removeButton, SIGNAL(clicked()), this, SLOT(removeButtonClicked()));

    ui->listWidget->setSortingEnabled(true);
    ui->listWidget->setFocusPolicy(Qt::NoFocus);
    connect(ui->listWidget, SIGNAL(itemChanged(QListWidgetItem*)), this,
            SLOT(itemChanged(QListWidgetItem*)));
    connect(ui->listWidget, SIGNAL(currentItemChanged(QListWidgetItem*, QListWidgetItem*)), this,
            SLOT(currentItemChanged(QListWidgetItem*, QListWidgetItem*)));
}

void ProfilesDialog::initTabs()
{
    ui->tabWidget->setFixedSize(InitialTabsWidth, 450);
    // Hidden while no profile is left, it keeps its room: the window keeps
    // its size and its title stays readable.
    QSizePolicy policy = ui->tabWidget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    ui->tabWidget->setSizePolicy(policy);
    ui->tabWidget->setObjectName(QStringLiteral("tabWidget"));
    QTabBar* bar = ui->tabWidget->findChild<QTabBar*>(QStringLiteral("qt_tabwidget_tabbar"));
    if (bar) {
        bar->setProperty("smalltabs", true);
        bar->setObjectName(QStringLiteral("tabWidget"));
    }
    setTabWidth(InitialTabsWidth);
    initConnectionTab();
    initAdvancedTab();
}

void ProfilesDialog::setTabWidth(int totalWidth)
{
    const int count = ui->tabWidget->count();
    const int width = count > 0 ? totalWidth / count : totalWidth;
    ui->tabWidget->setStyleSheet(
        QStringLiteral("QTabBar::tab { width: %1px; }").arg(QString::number(width)));
    ORVO::utils::update(ui->tabWidget);
}

void ProfilesDialog::initLineEdit(LineEdit* edit, bool readOnly)
{
    edit->setReadOnly(readOnly);
    edit->setFixedHeight(RowHeight);
    edit->setHeight(RowHeight);
    edit->setLabelWidth(LabelWidth);
    edit->setLineWidth(FieldWidth);
    edit->label()->setObjectName(QStringLiteral("lineEditLabelSm"));
    edit->lineEdit()->setObjectName(QStringLiteral("lineEditSm"));
    edit->setCursor(QCursor(Qt::PointingHandCursor));
}

void ProfilesDialog::initComboBox(ComboBox* combo)
{
    combo->setLabelWidth(LabelWidth);
    combo->setComboWidth(FieldWidth);
    combo->setCursor(QCursor(Qt::PointingHandCursor));
    combo->setHeight(RowHeight);
}

void ProfilesDialog::initPortWidget(QLabel* label, QSpinBox* spin)
{
    label->setObjectName(QStringLiteral("labelRoundedLeftSm"));
    label->setFixedWidth(LabelWidth);
    label->setFixedHeight(RowHeight);
    spin->setObjectName(QStringLiteral("spinBoxWithLabelSm"));
    spin->setMaximum(65535);
    spin->setMinimum(1);
    spin->setValue(1194);
    spin->setFixedWidth(FieldWidth);
    spin->setFixedHeight(RowHeight);
}

void ProfilesDialog::initCheckBox(QCheckBox* check)
{
    check->setObjectName(QStringLiteral("CheckBox"));
    check->setCursor(QCursor(Qt::PointingHandCursor));
}

void ProfilesDialog::initConnectionTab()
{
    Ui_profilesDialog* f = ui;
    initLineEdit(f->nameEdit, false);
    // Owned by the dialog; the same characters as the store's id rule.
    f->nameEdit->setValidator(
        new QRegExpValidator(QRegExp(QStringLiteral("^[A-Za-z0-9\\-_ ]+$")), this));
    f->nameEdit->setLabelText(tr("Profile name"));
    connect(f->nameEdit, SIGNAL(textChanged(QString)), this, SLOT(nameEdited(QString)));
    connect(f->nameEdit, SIGNAL(editingFinished()), this, SLOT(nameFinished()));

    initComboBox(f->configCombo);
    f->configCombo->comboBox()->addItem(tr("Manual"));
    f->configCombo->comboBox()->addItem(tr("From files"));
    f->configCombo->setLabelText(tr("Configuration mode"));
    connect(f->configCombo, SIGNAL(activated(int)), this, SLOT(configComboActivated(int)));

    f->configFilesButton->setObjectName(QStringLiteral("actionButton"));
    f->configFilesWidget->setFixedHeight(RowHeight);
    f->configFilesButton->setFixedHeight(RowHeight);
    f->configFilesLabel->setFixedHeight(RowHeight);
    connect(f->configFilesButton, SIGNAL(clicked()), this, SLOT(configFilesButtonClicked()));

    initLineEdit(f->serverEdit, false);
    f->serverEdit->setLabelText(tr("Server address"));
    connect(f->serverEdit, SIGNAL(textChanged(QString)), this, SLOT(serverChanged(QString)));
    connect(f->serverEdit, SIGNAL(editingFinished()), this, SLOT(serverEdited()));

    initLineEdit(f->selectVpnCaEdit, true);
    f->selectVpnCaEdit->setLabelText(tr("CA Certificate file..."));
    connect(f->selectVpnCaEdit, SIGNAL(clicked()), this, SLOT(selectCaClicked()));
    connect(f->selectVpnCaEdit, SIGNAL(textChanged(QString)), this, SLOT(selectCaChanged(QString)));

    f->manualAuthCheck->setObjectName(QStringLiteral("CheckBox"));
    f->manualAuthCheck->setFixedHeight(RowHeight);
    f->manualAuthCheck->setText(tr("Manual authentication"));
    connect(f->manualAuthCheck, SIGNAL(stateChanged(int)), this, SLOT(manualAuthChanged(int)));

    initComboBox(f->authCombo);
    f->authCombo->comboBox()->addItem(tr("Username / Password"));
    f->authCombo->comboBox()->addItem(tr("Certificate"));
    f->authCombo->setLabelText(tr("Authentication type"));
    connect(f->authCombo, SIGNAL(activated(int)), this, SLOT(authComboActivated(int)));

    initLineEdit(f->userEdit, false);
    f->userEdit->setLabelText(tr("Username"));
    connect(f->userEdit, SIGNAL(textChanged(QString)), this, SLOT(userChanged(QString)));
    connect(f->userEdit, SIGNAL(editingFinished()), this, SLOT(userEdited()));

    f->rememberAuthCheck->setObjectName(QStringLiteral("CheckBox"));
    f->rememberAuthCheck->setFixedHeight(RowHeight);
    f->rememberAuthCheck->setText(tr("Remember password"));
    connect(f->rememberAuthCheck, SIGNAL(stateChanged(int)), this, SLOT(rememberAuthChanged(int)));

    initLineEdit(f->passEdit, false);
    f->passEdit->setEchoMode(QLineEdit::Password);
    connect(f->passEdit, SIGNAL(textChanged(QString)), this, SLOT(passChanged(QString)));
    connect(f->passEdit, SIGNAL(editingFinished()), this, SLOT(passEdited()));

    initLineEdit(f->selectP12Edit, true);
    f->selectP12Edit->setLabelText(tr("Select a PKCS#12 file"));
    connect(f->selectP12Edit, SIGNAL(clicked()), this, SLOT(selectP12Clicked()));
    connect(f->selectP12Edit, SIGNAL(textChanged(QString)), this, SLOT(selectP12Changed(QString)));

    f->connectionTabLayout->addStretch(1);
}

void ProfilesDialog::initAdvancedTab()
{
    Ui_profilesDialog* f = ui;
    f->serverPortWidget->setFixedHeight(RowHeight);
    initPortWidget(f->serverPortLabel, f->serverPortSpin);
    f->serverPortLabel->setText(tr("Server port"));
    connect(f->serverPortSpin, SIGNAL(editingFinished()), this, SLOT(serverPortEdited()));

    f->verifyCaCheck->setObjectName(QStringLiteral("CheckBox"));
    f->verifyCaCheck->setFixedHeight(RowHeight);
    f->verifyCaCheck->setText(tr("Verify server certificate when connecting"));
    connect(f->verifyCaCheck, SIGNAL(stateChanged(int)), this, SLOT(verifyCaChanged(int)));

    initLineEdit(f->selectLsCaEdit, true);
    f->selectLsCaEdit->setLabelText(tr("CA Certificate file..."));
    connect(f->selectLsCaEdit, SIGNAL(clicked()), this, SLOT(selectCaClicked()));
    connect(f->selectLsCaEdit, SIGNAL(textChanged(QString)), this, SLOT(selectCaChanged(QString)));

    initComboBox(f->deviceCombo);
    f->deviceCombo->comboBox()->addItem(QStringLiteral("TAP"));
    f->deviceCombo->comboBox()->addItem(QStringLiteral("TUN"));
    f->deviceCombo->setLabelText(tr("Tunnel device"));
    connect(f->deviceCombo, SIGNAL(activated(int)), this, SLOT(deviceComboActivated(int)));

    initComboBox(f->protoCombo);
    f->protoCombo->comboBox()->addItem(QStringLiteral("UDP"));
    f->protoCombo->comboBox()->addItem(QStringLiteral("TCP"));
    f->protoCombo->setLabelText(tr("Protocol"));
    connect(f->protoCombo, SIGNAL(activated(int)), this, SLOT(protoComboActivated(int)));

    initCheckBox(f->enableCompCheck);
    f->enableCompCheck->setText(tr("Enable LZO compression"));
    connect(f->enableCompCheck, SIGNAL(stateChanged(int)), this, SLOT(enableCompChanged(int)));
    initCheckBox(f->pullRoutesCheck);
    f->pullRoutesCheck->setText(tr("Set routes automatically"));
    connect(f->pullRoutesCheck, SIGNAL(stateChanged(int)), this, SLOT(pullRoutesChanged(int)));
    initCheckBox(f->fallbackServerEnable);
    f->fallbackServerEnable->setText(tr("Enable fallback server"));
    connect(f->fallbackServerEnable, SIGNAL(stateChanged(int)), this,
            SLOT(fallbackServerChanged(int)));

    initLineEdit(f->fallbackServerEdit, false);
    f->fallbackServerEdit->setLabelText(tr("Fallback server"));
    connect(f->fallbackServerEdit, SIGNAL(editingFinished()), this, SLOT(fallbackServerEdited()));

    f->fallbackPortWidget->setFixedHeight(RowHeight);
    initPortWidget(f->fallbackPortLabel, f->fallbackPortSpin);
    f->fallbackPortLabel->setText(tr("Fallback port"));
    connect(f->fallbackPortSpin, SIGNAL(editingFinished()), this, SLOT(fallbackPortEdited()));

    initComboBox(f->fallbackProtoCombo);
    f->fallbackProtoCombo->comboBox()->addItem(QStringLiteral("UDP"));
    f->fallbackProtoCombo->comboBox()->addItem(QStringLiteral("TCP"));
    f->fallbackProtoCombo->setLabelText(tr("Fallback protocol"));
    connect(f->fallbackProtoCombo, SIGNAL(activated(int)), this, SLOT(fallbackProtoActivated(int)));

    f->advancedTabLayout->addStretch(1);
}

int ProfilesDialog::addItem(QListWidget* list, const QString& text)
{
    // Placed by the profile order, the same as the login form's list.
    QListWidgetItem* item = new ORVO::ProfileListItem(text);
    QFont font = item->font();
    font.setPixelSize(14);
    item->setFont(font);
    list->insertItem(list->count(), item);
    return 0;
}

void ProfilesDialog::updateLineEdit(LineEdit* edit, bool tinted)
{
    edit->setStyleSheet(tinted
                            ? QStringLiteral("QLineEdit#lineEditSm { background-color: #ffcccc }")
                            : QStringLiteral("QLineEdit#lineEditSm { }"));
}

void ProfilesDialog::updateLabel(QLabel* label, bool tinted)
{
    label->setStyleSheet(tinted ? QStringLiteral("QLabel { color: #ffcccc }")
                                : QStringLiteral("QLabel { }"));
}

void ProfilesDialog::showRefusal(LineEdit* field, const QString& reason, bool holdsOk)
{
    updateLineEdit(field, true);
    hintOwner = field;
    ui->fieldHint->setText(reason);
    ui->fieldHint->setVisible(!reason.isEmpty());
    if (!holdsOk || !currentProfile)
        return;
    for (Refusal& r : refusals) {
        if (r.profile == currentProfile && r.field == field) {
            r.text = field->text();
            r.reason = reason;
            return;
        }
    }
    refusals.append({currentProfile, field, field->text(), reason});
}

void ProfilesDialog::clearRefusal(LineEdit* field)
{
    for (int i = refusals.size() - 1; i >= 0; --i) {
        if (refusals.at(i).profile == currentProfile && refusals.at(i).field == field)
            refusals.removeAt(i);
    }
    // The server field is also tinted while it is empty.
    updateLineEdit(field, field == ui->serverEdit && field->text().isEmpty());
    if (hintOwner == field)
        showNextRefusal();
}

void ProfilesDialog::showNextRefusal()
{
    clearHint();
    for (const Refusal& r : qAsConst(refusals)) {
        if (r.profile == currentProfile) {
            showRefusal(r.field, r.reason, false);
            break;
        }
    }
}

void ProfilesDialog::clearHint()
{
    LineEdit* field = hintOwner;
    hintOwner = nullptr;
    ui->fieldHint->clear();
    ui->fieldHint->hide();
    if (field)
        updateLineEdit(field, field == ui->serverEdit && field->text().isEmpty());
}

void ProfilesDialog::showNote(const QString& text)
{
    // A refused field stays tinted: it still holds OK.
    hintOwner = nullptr;
    ui->fieldHint->setText(text);
    ui->fieldHint->show();
}

void ProfilesDialog::askToFinish()
{
    LOG_TRACE;
    showNote(tr("Press OK to keep your changes or Cancel to drop them, then sign in."));
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void ProfilesDialog::setSaveRefusal(const QString& reason)
{
    if (reason == saveRefusal)
        return;
    // Its note goes; the shown profile's own refusal, if any, comes back.
    if (!hintOwner && !saveRefusal.isEmpty() && ui->fieldHint->text() == saveRefusal)
        showNextRefusal();
    saveRefusal = reason;
}

void ProfilesDialog::restoreRefusals(const ConnProfile* profile)
{
    for (int i = refusals.size() - 1; i >= 0; --i) {
        const Refusal r = refusals.at(i);
        if (r.profile != profile)
            continue;
        // A field the profile does not show (fallback turned off, files
        // mode) no longer counts: what the profile holds there is not used.
        if (r.field->isHidden() || tabOf(r.field) < 0) {
            refusals.removeAt(i);
            continue;
        }
        r.field->setText(r.text);
        // A name typed again is tried again: one that no other profile
        // holds any more is taken, and nothing is left to show.
        if (i < refusals.size() && refusals.at(i).profile == profile &&
            refusals.at(i).field == r.field)
            showRefusal(r.field, refusals.at(i).reason, false);
    }
}

void ProfilesDialog::dropRefusals(const ConnProfile* profile)
{
    for (int i = refusals.size() - 1; i >= 0; --i) {
        if (refusals.at(i).profile == profile)
            refusals.removeAt(i);
    }
}

int ProfilesDialog::tabOf(const QWidget* field) const
{
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        if (ui->tabWidget->widget(i)->isAncestorOf(field))
            return i;
    }
    return -1;
}

int ProfilesDialog::checkRefusal()
{
    while (!refusals.isEmpty()) {
        // The shown profile's own first.
        Refusal refusal = refusals.first();
        for (const Refusal& r : qAsConst(refusals)) {
            if (r.profile == currentProfile) {
                refusal = r;
                break;
            }
        }
        if (refusal.profile != currentProfile) {
            // Another profile's: shown, which brings its refused values back.
            QListWidgetItem* item = nullptr;
            for (int row = 0; row < ui->listWidget->count() && !item; ++row) {
                if (profiles->get(ui->listWidget->item(row)->text()) == refusal.profile)
                    item = ui->listWidget->item(row);
            }
            if (item)
                selectItem(item);
            else
                dropRefusals(refusal.profile);
            continue;
        }
        LOG_ERROR << "[ProfilesDialog] Not saved: " << refusal.reason;
        showRefusal(refusal.field, refusal.reason, false);
        ui->tabWidget->setCurrentIndex(tabOf(refusal.field));
        refusal.field->lineEdit()->setFocus();
        return -1;
    }
    return 0;
}

// ------------------------------------------------- loading and the selection

int ProfilesDialog::load(int index, bool reload)
{
    if (index < 0)
        index = 0;
    LOG_DEBUG << "[ProfilesDialog] index: " << QString::number(index);
    if (fillList(reload) != 0)
        return -1;
    selectItem(ui->listWidget->item(index));
    return 0;
}

int ProfilesDialog::load(const QString& id, bool reload)
{
    LOG_DEBUG << "[ProfilesDialog] open on id: " << id;
    if (fillList(reload) != 0)
        return -1;
    QListWidgetItem* item = nullptr;
    for (int row = 0; row < ui->listWidget->count() && !item; ++row) {
        if (ui->listWidget->item(row)->text() == id)
            item = ui->listWidget->item(row);
    }
    selectItem(item ? item : ui->listWidget->item(0));
    return 0;
}

int ProfilesDialog::fillList(bool reload)
{
    if (reload) {
        // The reload deletes every profile of the store, the shown one too.
        currentProfile = nullptr;
        added.clear();
        refusals.clear();
        if (profiles->load() != 0) {
            LOG_ERROR;
            return -1;
        }
    }
    // An empty store opens on a new profile, which only OK keeps.
    if (profiles->size() == 0) {
        if (ConnProfile* blank = profiles->add(QString()))
            added << blank->getId();
    }
    ui->listWidget->clear();
    const QStringList ids = profiles->ids();
    for (const QString& id : ids)
        addItem(ui->listWidget, id);
    return 0;
}

void ProfilesDialog::selectItem(QListWidgetItem* item)
{
    ui->listWidget->setCurrentItem(item, QItemSelectionModel::SelectCurrent);
    currentItemChanged(item, nullptr);
}

void ProfilesDialog::currentItemChanged(QListWidgetItem* current, QListWidgetItem* previous)
{
    Q_UNUSED(previous);
    LOG_TRACE;
    // Into the profile it was typed for, before another one is shown.
    finishPendingEdit();
    if (!current)
        return;
    const QString id = current->text();
    LOG_DEBUG << "[ProfilesDialog] id: " << id;
    currentProfile = profiles->get(id);
    if (!currentProfile) {
        LOG_ERROR;
        return;
    }
    setCurrentProfile(currentProfile);
    emit profileChanged(currentProfile);
}

// ---------------------------------------------------------- OK and Cancel

void ProfilesDialog::okClicked()
{
    LOG_TRACE;
    QString failedId;
    QString currentId;
    finishPendingEdit();
    if (!saveRefusal.isEmpty()) {
        LOG_ERROR << "[ProfilesDialog] Not saved: " << saveRefusal;
        showNote(saveRefusal);
        return;
    }
    if (checkRefusal() != 0)
        return;
    if (profiles->save(failedId) != 0) {
        const QString reason = profiles->writeError();
        LOG_ERROR << reason;
        QString text;
        if (reason.isEmpty())
            text = tr("Undefined fields in profile") + QStringLiteral(" '") + failedId +
                   QStringLiteral("'");
        else if (failedId.isEmpty())
            text = tr("The profiles could not be written: %1").arg(reason);
        else
            text = tr("The profile %1 could not be written: %2")
                       .arg(QStringLiteral("'") + failedId + QStringLiteral("'"), reason);
        ORVO::MessageBox::critical(nullptr, ORVO::app() + QStringLiteral(" ") + tr("Error"), text,
                                   QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    added.clear();
    currentProfile = nullptr;
    if (QListWidgetItem* item = ui->listWidget->currentItem())
        currentId = item->text();
    emit saved(currentId);
    quit();
}

void ProfilesDialog::cancelClicked()
{
    LOG_TRACE;
    currentProfile = nullptr;
    if (profiles->rollback() != 0) {
        LOG_ERROR;
        return;
    }
    dropAdded();
    quit();
}

void ProfilesDialog::reject()
{
    LOG_TRACE;
    // Left without OK: nothing unsaved may stay in the set that the login
    // form signs in with. A rollback that fails keeps the window open.
    cancelClicked();
}

void ProfilesDialog::dropAdded()
{
    // The store keeps an added profile through a rollback, as a blank one
    // under the id it was given; Cancel takes back its adding too.
    for (const QString& id : qAsConst(added)) {
        if (profiles->get(id) && profiles->remove(id) != 0)
            LOG_ERROR;
    }
    added.clear();
}

void ProfilesDialog::quit()
{
    LOG_TRACE;
    // Saved or rolled back: no edit is left, refused or not.
    refusals.clear();
    ui->listWidget->clear();
    // Hidden, not closed: a close would be one more way out, a Cancel.
    QDialog::done(QDialog::Rejected);
}

// ------------------------------------------- adding, removing and renaming

void ProfilesDialog::itemChanged(QListWidgetItem* item)
{
    LOG_TRACE;
    // Without a shown profile there is nothing to rename; the item keeps
    // its text.
    if (!currentProfile)
        return;
    const QString oldId = currentProfile->getId();
    const QString newId = item->text();
    LOG_DEBUG << "[ProfilesDialog] " << oldId << " -> " << newId;
    if (oldId == newId)
        return;
    if (profiles->rename(oldId, newId) != 0) {
        LOG_ERROR;
        item->setText(oldId);
        return;
    }
    currentProfile = profiles->get(newId);
    if (!currentProfile) {
        LOG_ERROR;
        item->setText(oldId);
    }
}

void ProfilesDialog::addButtonClicked()
{
    LOG_TRACE;
    ConnProfile* profile = profiles->add(QString());
    if (!profile) {
        LOG_ERROR;
        return;
    }
    const QString id = profile->getId();
    added << id;
    addItem(ui->listWidget, id);
    const QList<QListWidgetItem*> found = ui->listWidget->findItems(id, Qt::MatchExactly);
    if (found.size() != 1) {
        LOG_ERROR;
        return;
    }
    ui->listWidget->setCurrentItem(found.first());
    currentItemChanged(found.first(), nullptr);
}

void ProfilesDialog::removeButtonClicked()
{
    LOG_TRACE;
    QListWidget* list = ui->listWidget;
    const int row = list->currentRow();
    if (row < 0) {
        LOG_ERROR;
        return;
    }
    QListWidgetItem* successor = list->item(row - 1);
    if (!successor)
        successor = list->item(row + 1);
    // The list moves its current row to that neighbour and shows it.
    QListWidgetItem* taken = list->takeItem(row);
    if (!taken) {
        LOG_ERROR;
        return;
    }
    const ConnProfile* removed = profiles->get(taken->text());
    if (profiles->remove(taken->text()) != 0) {
        LOG_ERROR;
        delete taken;
        return;
    }
    dropRefusals(removed);
    if (successor) {
        list->setCurrentItem(successor);
        currentItemChanged(successor, nullptr);
    } else {
        currentProfile = nullptr;
        clearHint();
        ui->tabWidget->hide();
    }
    delete taken;
}

void ProfilesDialog::nameEdited(QString text)
{
    // Each keystroke renames the profile, through the list's item.
    if (QListWidgetItem* item = ui->listWidget->currentItem())
        item->setData(Qt::DisplayRole, text);
    if (!currentProfile)
        return;
    if (currentProfile->getId() == text)
        clearRefusal(ui->nameEdit);
    else
        showRefusal(ui->nameEdit, nameRefusal(text), true);
}

QString ProfilesDialog::nameRefusal(const QString& name) const
{
    if (name.isEmpty())
        return tr("A profile needs a name.");
    if (profiles->get(name))
        return tr("The name %1 cannot be used: another profile has it.").arg(name);
    if (profiles->isForeign(name))
        return tr("The name %1 cannot be used: a profile of that name is on disk and cannot be "
                  "read.")
            .arg(name);
    return QString();
}

void ProfilesDialog::nameFinished()
{
    LOG_TRACE;
    if (!currentProfile)
        return;
    const QString text = ui->nameEdit->text();
    // A refused rename left the profile under the last name it took, which
    // is not one the user chose: the typed name stays in view, refused, and
    // holds OK until the user gives one that is taken.
    if (profiles->get(text) != currentProfile) {
        showRefusal(ui->nameEdit, nameRefusal(text), true);
        return;
    }
    if (currentProfile->setId(text) != 0)
        LOG_ERROR;
}
