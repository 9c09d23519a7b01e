#include "plugin/config/settingsdialog.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSet>
#include <QSettings>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidgetItem>
#include <QTimer>

#include <algorithm>

#include "common/applocation.h"
#include "common/common.h"
#include "common/log.h"
#include "common/settingsfile.h"
#include "common/utils.h"
#include "gui/log/logform.h"
#include "gui/messagebox.h"
#include "gui/widgets/lineedit.h"
#include "gui/widgets/widgetutils.h"
#include "libabout/about.h"
#include "plugin/config/tablewidget.h"
#include "plugin/config/ui_settingsdialog.h"

namespace {

enum Column : int { NameColumn = 0, RemarkColumn = 1, PathColumn = 2, CustomColumn = 3 };

const char StyleSheet[] = ":/main.css";
const char TestServerId[] = "{da39a3ee-5e6b-5b0d-b255-bfef95601890}";

// Only the custom location is the user's to edit, whatever the trigger
// (double click or the platform's edit key); its editor refuses the
// separator of the stored fields, typed or pasted.
class LocationDelegate : public QStyledItemDelegate
{
public:
    explicit LocationDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        if (index.column() != CustomColumn)
            return nullptr;
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            const QRegularExpression noSeparator(QStringLiteral("[^|]*"));
            line->setValidator(new QRegularExpressionValidator(noSeparator, line));
        }
        return editor;
    }
};

void setItemText(QTableWidgetItem* item, const QString& text)
{
    item->setText(text);
    item->setToolTip(text);
}

} // namespace

SettingsDialog::SettingsDialog(QWidget* parent, LogForm* logForm)
    : QDialog(parent), ui(new Ui_settingsDialog)
{
    LOG_TRACE;
    if (!logForm) {
        // Nothing is built: without its log page the dialog has no form,
        // store or connections, and every later call leaves them alone.
        LOG_ERROR;
        return;
    }

    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setWindowTitle(tr("%1 Settings").arg(ORVO::app()));
    ui->setupUi(this);

    logForm->setMaximumWidth(550);
    logForm->setMaximumHeight(550);
    logForm->setContentsMargins(15, 15, 0, 0);

    settings = new QSettings(QString::fromLatin1(LibVelcorOrganization),
                             QString::fromLatin1(ORVO::ApplicationId));

    QTabWidget* tabs = ui->settingsTabWidget;
    tabs->setTabText(0, tr("Applications"));
    tabs->setTabText(1, tr("User information"));
    if (auto* bar = tabs->findChild<QTabBar*>(QStringLiteral("qt_tabwidget_tabbar"))) {
        bar->setProperty("bigtabs", true);
        bar->setObjectName(QStringLiteral("tabWidget"));
    }
    tabs->setObjectName(QStringLiteral("tabWidget"));
    tabs->setFocusPolicy(Qt::NoFocus);
    tabs->addTab(logForm, tr("Logs"));
    tabs->setStyleSheet(QStringLiteral("QTabBar::tab { width: %1px; }").arg(569 / tabs->count()));
    ORVO::utils::update(tabs);

    TableWidget* table = ui->tableWidget;
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    const int widths[] = {100, 100, 170, 170};
    for (int column = 0; column < 4; ++column)
        table->setColumnWidth(column, widths[column]);
    table->setObjectName(QStringLiteral("table"));
    table->setStyleSheet(ORVO::utils::loadStyleSheet(QLatin1String(StyleSheet)));
    QHeaderView* header = table->horizontalHeader();
    header->setObjectName(QStringLiteral("table"));
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsMovable(false);
    header->setStyleSheet(ORVO::utils::loadStyleSheet(QLatin1String(StyleSheet)));
    table->setHorizontalHeaderLabels(
        {tr("Name"), tr("Remark"), tr("Default Location"), tr("Custom Location")});
    table->setAlternatingRowColors(true);
    table->setSortingEnabled(false);
    table->setItemDelegate(new LocationDelegate(table));

    connect(table, SIGNAL(cellDoubleClicked(int, int)), this, SLOT(cellDoubleClicked(int, int)));
    connect(table, SIGNAL(itemChanged(QTableWidgetItem*)), this,
            SLOT(itemChanged(QTableWidgetItem*)));
    connect(ui->resetSelectedButton, SIGNAL(clicked()), this, SLOT(resetSelected()));
    connect(ui->resetAllButton, SIGNAL(clicked()), this, SLOT(resetAll()));

    setFixedSize(width(), height());

    const QPair<QPushButton*, QString> resets[] = {{ui->resetSelectedButton, tr("Reset Selected")},
                                                   {ui->resetAllButton, tr("Reset All")}};
    for (const auto& reset : resets) {
        reset.first->setEnabled(false);
        reset.first->setText(reset.second);
        reset.first->setObjectName(QStringLiteral("actionButton"));
        reset.first->setStyleSheet(ORVO::utils::loadStyleSheet(QLatin1String(StyleSheet)));
    }

    ui->groupBox->setTitle(tr("Password"));
    const QPair<LineEdit*, QString> edits[] = {{ui->oldPassEdit, tr("Old password")},
                                               {ui->newPassEdit, tr("New password")},
                                               {ui->confirmPassEdit, tr("Confirm password")}};
    for (const auto& edit : edits) {
        edit.first->setLabelText(edit.second);
        edit.first->setEchoMode(QLineEdit::Password);
        edit.first->setLabelWidth(140);
        edit.first->setLineWidth(260);
        edit.first->setHeight(24);
        connect(edit.first, SIGNAL(textChanged(QString)), this, SLOT(changePassChanged()));
    }

    ui->changePassButton->setText(tr("Change password"));
    ui->changePassButton->setObjectName(QStringLiteral("actionButton"));
    ui->changePassButton->setStyleSheet(ORVO::utils::loadStyleSheet(QLatin1String(StyleSheet)));
    ui->changePassButton->setEnabled(false);
    connect(ui->changePassButton, SIGNAL(clicked()), this, SLOT(changePassClicked()));

    setStyleSheet(ORVO::utils::loadStyleSheet(QLatin1String(StyleSheet)));
}

SettingsDialog::~SettingsDialog()
{
    LOG_TRACE;
    delete settings;
    settings = nullptr;
    delete ui;
    ui = nullptr;
}

void SettingsDialog::setServerId(const QUuid& uuid)
{
    LOG_DEBUG << "uuid: " << uuid.toString();
    serverId = uuid;
}

void SettingsDialog::setAuth(const libvelcor::Auth& value)
{
    // The password asked for, come back: the server accepted the change and
    // the credential holds exactly it. Another password is a sign-in's (or
    // a sign-out's); the same one again is this dialog opened once more.
    if (!requestedPass.isEmpty() && value.getPass() == requestedPass) {
        passFromChange = true;
        requestedPass.clear();
    } else if (value.getPass() != auth.getPass()) {
        passFromChange = false;
        requestedPass.clear();
    }
    auth = value;
}

void SettingsDialog::load()
{
    LOG_TRACE;
    if (!settings) {
        LOG_ERROR;
        return;
    }
    _closeGroups();
    ui->oldPassEdit->setText(QString(""));
    ui->newPassEdit->setText(QString(""));
    ui->confirmPassEdit->setText(QString(""));
    _insertActions();
}

void SettingsDialog::test()
{
    LOG_TRACE;
    if (!settings) {
        LOG_ERROR;
        return;
    }
    setServerId(QUuid(QString::fromLatin1(TestServerId)));
    _closeGroups();
    _insertActions();
}

void SettingsDialog::_closeGroups()
{
    // Only the levels the last listing entered.
    while (openGroups > 0 && !settings->group().isEmpty()) {
        settings->endGroup();
        --openGroups;
    }
    openGroups = 0;
}

// --- Application locations ---------------------------------------------------

void SettingsDialog::_insertActionItem(int row, int column, const QString& text)
{
    auto* item = new QTableWidgetItem();
    setItemText(item, text);
    ui->tableWidget->setItem(row, column, item);
}

void SettingsDialog::_insertActions()
{
    LOG_TRACE;
    settings->beginGroup(ORVO::applocation::serverGroup(serverId));
    settings->beginGroup(QLatin1String(ORVO::applocation::ActionsGroup));
    openGroups = 2;
    const QStringList keys = settings->allKeys();

    TableWidget* table = ui->tableWidget;
    // The cells placed here hold what is stored: nothing to write back.
    const QSignalBlocker blocker(table);
    table->clearContents();
    actionCount = keys.size();
    table->setRowCount(actionCount);

    int row = 0;
    for (const QString& key : keys) {
        ORVO::applocation::Entry entry;
        if (ORVO::applocation::parse(settings->value(key).toString(), entry) != 0) {
            // Not an entry whose fields can be told apart: listed as one
            // without locations, read-only, so that it can still be reset.
            LOG_ERROR << "unreadable location entry: " << key;
            _insertActionItem(row, NameColumn, key);
            for (int column = RemarkColumn; column <= CustomColumn; ++column)
                _insertActionItem(row, column, QString());
            for (int column = NameColumn; column <= CustomColumn; ++column) {
                QTableWidgetItem* item = table->item(row, column);
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            }
        } else {
            _insertActionItem(row, NameColumn, key);
            _insertActionItem(row, RemarkColumn, entry.remark);
            _insertActionItem(row, PathColumn, entry.path);
            _insertActionItem(row, CustomColumn, entry.custom);
        }
        ++row;
    }
    _updateButtons();
}

void SettingsDialog::cellDoubleClicked(int row, int column)
{
    if (row < 0 || column < 0 || column == CustomColumn)
        return;
    QTableWidgetItem* item = ui->tableWidget->item(row, column);
    if (!item)
        return;
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
}

void SettingsDialog::itemChanged(QTableWidgetItem* item)
{
    if (!item || item->column() != CustomColumn)
        return;
    const QTableWidgetItem* name = ui->tableWidget->item(item->row(), NameColumn);
    if (!name)
        return;
    const QString key = name->text();
    const QSignalBlocker blocker(ui->tableWidget);
    if (_applyChange(key, item->text()) == 0) {
        item->setToolTip(item->text());
        return;
    }
    // The cell shows what the store holds, never a text it refused.
    ORVO::applocation::Entry entry;
    if (ORVO::applocation::parse(settings->value(key).toString(), entry) != 0)
        entry.custom.clear();
    setItemText(item, entry.custom);
}

int SettingsDialog::_applyChange(const QString& key, const QString& value)
{
    const QVariant stored = settings->value(key, QVariant());
    ORVO::applocation::Entry entry;
    if (ORVO::applocation::parse(stored.toString(), entry) != 0) {
        // Gone or changed outside since the listing: its fields are unknown.
        LOG_ERROR << "unreadable location entry: " << key;
        return -1;
    }
    if (value == entry.custom)
        return 0;
    LOG_DEBUG << "[ApplicationDialog] changing key: " << key << " val: " << entry.custom << " -> "
              << value;
    entry.custom = value;
    QString text;
    if (ORVO::applocation::compose(entry, text) != 0) {
        LOG_ERROR << "a location may not hold \"|\"";
        return -1;
    }
    QString reason;
    if (ORVO::utils::settingsSetSync(settings, key, text, &reason) != 0) {
        LOG_ERROR << reason;
        // Not from inside the editor's commit, which the box would disturb.
        QTimer::singleShot(0, this, [reason]() {
            ORVO::MessageBox::critical(nullptr, ORVO::app() + QLatin1Char(' ') + tr("Error"),
                                       tr("The location could not be saved: %1").arg(reason),
                                       QMessageBox::Ok, QMessageBox::NoButton, Qt::PlainText);
        });
        return -1;
    }
    return 0;
}

void SettingsDialog::_removeEntries(const QStringList& keys)
{
    LOG_TRACE;
    QString reason;
    if (ORVO::utils::settingsRemoveSync(settings, keys, &reason) != 0) {
        LOG_ERROR << reason;
        // The store still holds them: show them again.
        _closeGroups();
        _insertActions();
        ORVO::MessageBox::critical(nullptr, ORVO::app() + QLatin1Char(' ') + tr("Error"),
                                   tr("The applications could not be reset: %1").arg(reason),
                                   QMessageBox::Ok, QMessageBox::NoButton, Qt::PlainText);
    }
    _updateButtons();
}

void SettingsDialog::resetSelected()
{
    LOG_TRACE;
    TableWidget* table = ui->tableWidget;
    if (table->selectedItems().isEmpty())
        return;
    const int answer =
        ORVO::MessageBox::question(nullptr, ORVO::app() + QLatin1Char(' ') + tr("Confirmation"),
                                   tr("Do you really want to reset the selected applications?"),
                                   QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Ok)
        return;

    // The rows selected now, last first so that the numbers hold; only
    // their entries leave the store, whatever else the group holds.
    QSet<int> rowSet;
    const QList<QTableWidgetItem*> selected = table->selectedItems();
    for (const QTableWidgetItem* item : selected)
        rowSet.insert(item->row());
    QList<int> rows = rowSet.values();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    QStringList keys;
    for (int row : qAsConst(rows)) {
        if (const QTableWidgetItem* name = table->item(row, NameColumn))
            keys.append(name->text());
        table->removeRow(row);
        --actionCount;
    }
    _removeEntries(keys);
}

void SettingsDialog::resetAll()
{
    LOG_TRACE;
    const int answer =
        ORVO::MessageBox::warning(nullptr, ORVO::app() + QLatin1Char(' ') + tr("Confirmation"),
                                  tr("Do you really want to reset ALL applications?"),
                                  QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Ok)
        return;
    ui->tableWidget->setRowCount(0);
    actionCount = 0;
    // Read after the box: an entry stored while it was open goes as well.
    _removeEntries(settings->allKeys());
}

void SettingsDialog::_updateButtons()
{
    const int rows = ui->tableWidget->rowCount();
    LOG_DEBUG << "[Applications] row count: " << QString::number(rows);
    ui->resetSelectedButton->setEnabled(rows > 0);
    ui->resetAllButton->setEnabled(rows > 0);
}

// --- Password ----------------------------------------------------------------

void SettingsDialog::changePassChanged()
{
    LOG_TRACE;
    const bool filled = !ui->oldPassEdit->text().isEmpty() && !ui->newPassEdit->text().isEmpty() &&
                        !ui->confirmPassEdit->text().isEmpty();
    ui->changePassButton->setEnabled(filled);
}

void SettingsDialog::changePassClicked()
{
    LOG_TRACE;
    // The old password as the server knows it: after a change, the one it
    // accepted; else the sign-in's text up to its last blank, when it has
    // one.
    QString expected = auth.getPass();
    if (!passFromChange) {
        QStringList parts = expected.split(QLatin1Char(' '), Qt::KeepEmptyParts);
        if (parts.size() >= 2)
            parts.removeLast();
        expected = parts.join(QLatin1Char(' '));
    }

    const int answer =
        ORVO::MessageBox::question(nullptr, ORVO::app() + QLatin1Char(' ') + tr("Confirmation"),
                                   tr("Do you really want to change your password?"),
                                   QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Ok)
        return;

    const QString errorTitle = ORVO::app() + QLatin1Char(' ') + tr("Error");
    if (ui->oldPassEdit->text() != expected) {
        ORVO::MessageBox::critical(nullptr, errorTitle, tr("Incorrect Old password!"),
                                   QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    if (ui->confirmPassEdit->text() != ui->newPassEdit->text()) {
        ORVO::MessageBox::critical(nullptr, errorTitle, tr("Password reentered incorrectly!"),
                                   QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    requestedPass = ui->newPassEdit->text();
    emit changePassword(requestedPass);
}
