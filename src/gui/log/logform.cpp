#include "gui/log/logform.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QHostAddress>
#include <QLineEdit>
#include <QResizeEvent>
#include <QSettings>
#include <QSignalBlocker>
#include <QTimer>

#include "common/config.h"
#include "common/log.h"
#include "common/settingsfile.h"
#include "common/utils.h"
#include "gui/log/logformlogger.h"
#include "gui/log/logtable.h"
#include "gui/log/ui_logform.h"
#include "gui/messagebox.h"
#include "gui/widgets/widgetutils.h"
#include "libabout/about.h"
#include "libvelcor/logger.h"
#include "libvelcor/loglevel.h"
#include "libvelcor/utils.h"

bool LogForm::once = false;
bool LogForm::switchNoted = false;

namespace {

const int AnnounceDelayMs = 1000;
quint16 g_listenPort = LogForm::ListenPort;

const char* const VerbosityKey = "logVerbosity";
const char* const DisabledKey = "logDisabled";

} // namespace

LogLevelNotifier* LogLevelNotifier::instance()
{
    static LogLevelNotifier notifier;
    return &notifier;
}

LogForm::LogForm(QWidget* parent) : QWidget(parent), ui(new Ui_LogForm)
{
    LOG_TRACE;
    ui->setupUi(this);
    settings = new QSettings(QString::fromLatin1(LibVelcorOrganization),
                             QString::fromLatin1(ORVO::ApplicationId));

    // Ctrl+C in the table copies the selected rows.
    auto* copyAction = new QAction(QStringLiteral("Copy"), this);
    connect(copyAction, SIGNAL(triggered()), this, SLOT(copySelectedContent()));
    copyAction->setShortcut(QKeySequence(tr("Ctrl+C")));
    ui->logsTable->addAction(copyAction);

    ui->logEnable->setText(tr("Enable logging"));
    ui->logEnable->setObjectName(QStringLiteral("CheckBox"));
    ui->verbosityLevelLabel->setText(tr("Verbosity"));
    ui->verbosityLevelLabel->setObjectName(QStringLiteral("labelRoundedLeftSm"));
    ui->verbosityLevelLabel->setBuddy(ui->verbosityLevelComboBox);
    ui->verbosityLevelLabel->setStyleSheet(QStringLiteral("margin-top: 1px"));
    // The index of each entry is its verbosity.
    for (ORVO::Verbosity v : {ORVO::VerbosityHigh, ORVO::VerbosityNormal, ORVO::VerbosityLow})
        ui->verbosityLevelComboBox->addItem(ORVO::verbosityToString(v, true));

    const QString stored =
        settings
            ->value(QLatin1String(VerbosityKey), ORVO::verbosityToString(ORVO::VerbosityLow, false))
            .toString();
    verbosity = ORVO::stringToVerbosity(stored);
    setLogVerbosity(verbosity);
    connect(LogLevelNotifier::instance(), &LogLevelNotifier::verbosityInForce, this,
            &LogForm::_followVerbosity);

    // Connected after the restore, which therefore writes and announces
    // nothing.
    ui->verbosityLevelComboBox->setObjectName(QStringLiteral("comboBoxWithLabelSm"));
    connect(ui->verbosityLevelComboBox, SIGNAL(currentIndexChanged(int)), this,
            SLOT(currentIndexChanged(int)));

    LogTable* t = ui->logsTable;
    t->setHeaderLabels({tr("Timestamp"), tr("Message")});
    t->header()->setSectionsMovable(false);
    t->header()->resizeSection(0, 138);
    t->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    t->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    const QString sheet = ORVO::utils::loadStyleSheet(QStringLiteral(":/main.css"));
    t->setObjectName(QStringLiteral("table"));
    t->setStyleSheet(sheet);
    t->header()->setObjectName(QStringLiteral("table"));
    t->header()->setStyleSheet(sheet);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setAlternatingRowColors(true);

    ui->buttonsLayout->setSpacing(20);
    const struct
    {
        QPushButton* button;
        QString text;
        const char* slot;
    } buttons[] = {
        {ui->copyContentButton, tr("Copy log to clipboard"), SLOT(copyContent())},
        {ui->saveContentButton, tr("Save log to file"), SLOT(saveContent())},
        {ui->clearContentButton, tr("Clear log"), SLOT(clearContent())},
    };
    for (const auto& b : buttons) {
        b.button->setText(b.text);
        b.button->setObjectName(QStringLiteral("actionButton"));
        b.button->setCursor(QCursor(Qt::PointingHandCursor));
        connect(b.button, SIGNAL(clicked()), this, b.slot);
    }

    connect(ui->logEnable, SIGNAL(toggled(bool)), this, SLOT(enableLog(bool)));
    // A stored "disabled" turns the switch off. The stored switch is every
    // page's: the first page's start logs it, for all of them.
    const bool disabled =
        settings->value(QLatin1String(DisabledKey), !ui->logEnable->isChecked()).toBool();
    restoring = true;
    enableLog(!disabled);
    restoring = false;
    switchNoted = true;

    searchEdit = new QLineEdit(ui->logsTable);
    searchEdit->setObjectName(QStringLiteral("plainLineEdit"));
    searchEdit->setPlaceholderText(tr("Search"));
    searchEdit->setFixedWidth(200);
    connect(searchEdit, SIGNAL(textChanged(QString)), ui->logsTable,
            SLOT(searchTextChanged(QString)));

    if (!once) {
        connect(&listener, SIGNAL(portBound(int)), this, SLOT(logPortBound(int)));
        connect(&listener, SIGNAL(log(QString)), this, SLOT(logReceived(QString)));
        if (listener.start(QHostAddress(QStringLiteral("127.0.0.1")), g_listenPort) != 0) {
            // The next page tries again with its own listener.
            LOG_ERROR;
            return;
        }
        QTimer::singleShot(AnnounceDelayMs, this, SLOT(sendLogInfo()));
        once = true;
    }

    setStyleSheet(ORVO::utils::loadStyleSheet(QStringLiteral(":/main.css")));
    setObjectName(QStringLiteral("pluginWindow"));
}

LogForm::~LogForm()
{
    LOG_TRACE;
    // Only this page leaves the capture; the other pages go on receiving.
    if (logger)
        LogFormLogger::removeTarget(this);
    delete ui;
    ui = nullptr;
    delete settings;
    settings = nullptr;
}

void LogForm::setListenPort(quint16 port)
{
    g_listenPort = port;
}

void LogForm::resetFirstPage()
{
    once = false;
    switchNoted = false;
    LogTable::forgetNotes();
}

LogTable* LogForm::table() const
{
    return ui->logsTable;
}

void LogForm::setLogVerbosity(ORVO::Verbosity v)
{
    const int lev = ORVO::verbosityToLev(v);
    LOG_TRACE;
    ui->verbosityLevelComboBox->setCurrentIndex(int(v));
    if (g_cfg)
        g_cfg->logLevel = lev;
    else
        LOG_ERROR << "[Log] No configuration: the log level stays as it is";
    g_libvelcorLogLev = lev;
    emit LogLevelNotifier::instance()->verbosityInForce(this, v);
}

void LogForm::_followVerbosity(const LogForm* from, ORVO::Verbosity v)
{
    if (from == this || ORVO::verbosityToLev(v) < 0)
        return;
    const QSignalBlocker blocker(ui->verbosityLevelComboBox);
    ui->verbosityLevelComboBox->setCurrentIndex(int(v));
    verbosity = v;
}

ORVO::Verbosity LogForm::getLogVerbosity()
{
    return ORVO::Verbosity(ui->verbosityLevelComboBox->currentIndex());
}

bool LogForm::logEnabled() const
{
    return ui->logEnable->isChecked();
}

void LogForm::appendLine(QtMsgType type, const QString& line)
{
    ui->logsTable->appendLine(type, line, verbosity);
}

void LogForm::enableLog(bool on)
{
    LOG_TRACE;
    {
        // Once per change: the box's toggled() would run this again, and a
        // restore that unchecks it would write its line twice.
        const QSignalBlocker blocker(ui->logEnable);
        ui->logEnable->setChecked(on);
    }
    logger = LogFormLogger::instance();
    const bool noted = !(restoring && switchNoted);
    if (on) {
        // Registered first, so that this page shows its own line.
        LogFormLogger::addTarget(this);
        if (noted)
            LOG_ALWAYS << "[Log] enabled (verbosity = "
                       << ORVO::verbosityToString(getLogVerbosity(), false) << ")";
    } else {
        if (noted)
            LOG_ALWAYS << "[Log] disabled";
        LogFormLogger::removeTarget(this);
    }
    // The page's start applies what is stored; only the user's choice is
    // told when it cannot be kept.
    QString why;
    if (ORVO::utils::settingsSetSync(settings, QLatin1String(DisabledKey), !on, &why) != 0 &&
        sender() == ui->logEnable)
        _settingNotSaved(why);
}

void LogForm::currentIndexChanged(int index)
{
    LOG_TRACE << "index: " << QString::number(index);
    const QString name = ORVO::verbosityToString(ORVO::Verbosity(index), false);
    if (name.isEmpty()) {
        LOG_ERROR;
        return;
    }
    // In force for this run even when it cannot be stored: on a full disk
    // the user can still turn logging down. The user is told it is not kept.
    QString why;
    const bool stored =
        ORVO::utils::settingsSetSync(settings, QLatin1String(VerbosityKey), name, &why) == 0;
    LOG_ALWAYS << "[Log] verbosity: " << name;
    setLogVerbosity(ORVO::Verbosity(index));
    emit logVerbosityChanged(ORVO::Verbosity(index));
    verbosity = ORVO::Verbosity(index);
    if (!stored)
        _settingNotSaved(why);
}

void LogForm::_settingNotSaved(const QString& reason)
{
    LOG_ERROR << "[Log] the setting was not saved: " << reason;
    // The reason names files and folders: plain text.
    ORVO::MessageBox::critical(nullptr, ORVO::app() + QLatin1Char(' ') + tr("Error"),
                               tr("The setting could not be saved, and holds only until the "
                                  "program ends: %1")
                                   .arg(reason),
                               QMessageBox::Ok, QMessageBox::NoButton, Qt::PlainText);
}

void LogForm::sendLogInfo()
{
    emit logVerbosityChanged(verbosity);
}

void LogForm::logPortBound(int port)
{
    LOG_DEBUG << "[Log] Listener bound to port: " << QString::number(port);
    logPort = port;
    QTimer::singleShot(AnnounceDelayMs, this, SLOT(logPortSupplyDelayed()));
}

void LogForm::logPortSupplyDelayed()
{
    LOG_DEBUG << "[Log] Supplying log port";
    emit logPortSupply(logPort);
}

void LogForm::logReceived(QString log)
{
    const LogElem rec = LogTable::logParse(log.trimmed(), verbosity);
    if (rec.message.isEmpty())
        return;
    // The service's own time stamp, thread, level and location, unquoted:
    // the line reads as if this process had logged it, and is the
    // service's own, written whole like the program's lines: no limit of
    // Qt's messages or of a page counts it.
    const QString line = rec.timestamp + QLatin1String(" [") + rec.thread + QLatin1String("] [") +
                         rec.level + QLatin1String("] [") + rec.location + QLatin1String("] ") +
                         rec.message;
    libvelcor::outputEscapedLine(QtDebugMsg, libvelcor::escapeLogText(line));
}

QString LogForm::rowLines(const QList<QTreeWidgetItem*>& rows)
{
    // A quote inside a cell is written twice, or a CSV reader would end the
    // cell there. The size is known first and taken once: growing the text by exactly
    // each row makes a long log quadratic.
    const QChar quote(QLatin1Char('"'));
    int size = 0;
    for (const QTreeWidgetItem* row : rows) {
        for (int column : {0, 1}) {
            const QString cell = row->text(column);
            size += cell.size() + cell.count(quote) + 2;
        }
        size += 3; // ';' and CR LF
    }
    QString text;
    text.reserve(size);
    const auto append = [&text, quote](const QString& cell) {
        text.append(quote);
        if (cell.contains(quote))
            text.append(QString(cell).replace(quote, QLatin1String("\"\"")));
        else
            text.append(cell);
        text.append(quote);
    };
    for (const QTreeWidgetItem* row : rows) {
        append(row->text(0));
        text.append(QLatin1Char(';'));
        append(row->text(1));
        text.append(QLatin1String("\r\n"));
    }
    return text;
}

void LogForm::copyContent()
{
    LOG_TRACE;
    LogTable* t = ui->logsTable;
    t->flushRows();
    // Every shown row, which is what selecting all would take.
    QList<QTreeWidgetItem*> rows;
    rows.reserve(t->topLevelItemCount());
    for (int i = 0; i < t->topLevelItemCount(); ++i)
        rows.append(t->topLevelItem(i));
    t->clearSelection();
    QApplication::clipboard()->setText(rowLines(rows), QClipboard::Clipboard);
}

void LogForm::copySelectedContent()
{
    ui->logsTable->flushRows();
    QApplication::clipboard()->setText(rowLines(ui->logsTable->selectedItems()),
                                       QClipboard::Clipboard);
}

void LogForm::saveContent()
{
    const QString path = ORVO::utils::askSaveFile(nullptr, QStringLiteral("Select output file"),
                                                  QString(), QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    saveTo(path);
}

int LogForm::saveTo(const QString& path)
{
    LogTable* t = ui->logsTable;
    t->flushRows();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(t->topLevelItemCount());
    for (int i = 0; i < t->topLevelItemCount(); ++i)
        rows.append(t->topLevelItem(i));

    QString error;
    if (libvelcor::utils::bytes2File(rowLines(rows).toUtf8(), path, &error) == 0)
        return 0;
    LOG_ERROR << "[Log] Cannot save the log to " << path << ": " << error;
    ORVO::MessageBox::critical(nullptr, ORVO::app() + QLatin1Char(' ') + tr("Error"),
                               tr("The log could not be saved to %1:\n%2").arg(path, error),
                               QMessageBox::Ok, QMessageBox::Ok);
    return -1;
}

void LogForm::clearContent()
{
    LOG_TRACE;
    ui->logsTable->clearRows();
}

void LogForm::resizeEvent(QResizeEvent* event)
{
    if (searchEdit)
        searchEdit->move(int(width() * 0.58), 5);
    QWidget::resizeEvent(event);
}
