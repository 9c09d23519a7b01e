#include "plugin/login/advform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLocale>
#include <QPalette>
#include <QPointer>
#include <QRegularExpression>
#include <QSpacerItem>
#include <QSpinBox>
#include <QTabBar>
#include <QVBoxLayout>

#include "common/common.h"
#include "common/log.h"
#include "common/utils.h"
#include "gui/messagebox.h"
#include "gui/widgets/clickablelabel.h"
#include "gui/widgets/lineedit.h"
#include "gui/widgets/widgetutils.h"
#include "plugin/login/tabwidget.h"

namespace {

const int FormWidth = 500;
const int FormHeight = 345;
const int TabsWidth = 427;
const int DefaultTimeout = 60;

struct Language
{
    const char* code;
    const char* name;
};
const Language Languages[] = {{"en", "English"}, {"de", "Deutsch"}, {"it", "Italiano"}};
const int LanguageCount = 3;

LineEdit* makeEdit(QWidget* parent, int labelWidth, int lineWidth)
{
    auto* edit = new LineEdit(parent);
    edit->setLabelWidth(labelWidth);
    edit->setLineWidth(lineWidth);
    edit->setHeight(34);
    edit->label()->setObjectName(QStringLiteral("lineEditLabel"));
    edit->lineEdit()->setObjectName(QStringLiteral("lineEdit"));
    return edit;
}

// The timeout field's text: the number and the unit in the plural form that
// the number asks for.
QString secondsText(int seconds)
{
    return AdvForm::tr("%1 seconds", nullptr, seconds).arg(seconds);
}

QPalette formPalette()
{
    QPalette pal;
    const QColor white(0xff, 0xff, 0xff);
    const QColor black(0, 0, 0);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (QPalette::ColorRole role :
             {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::Light,
              QPalette::Midlight, QPalette::BrightText, QPalette::AlternateBase})
            pal.setColor(group, role, white);
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                         QPalette::Shadow, QPalette::ToolTipText})
            pal.setColor(group, role, black);
        pal.setColor(group, QPalette::Dark, QColor(0x7f, 0x7f, 0x7f));
        pal.setColor(group, QPalette::Mid, QColor(0xaa, 0xaa, 0xaa));
        pal.setColor(group, QPalette::ToolTipBase, QColor(0xff, 0xff, 0xdc));
    }
    const QColor grey(0x7f, 0x7f, 0x7f);
    pal.setColor(QPalette::Disabled, QPalette::WindowText, grey);
    pal.setColor(QPalette::Disabled, QPalette::Text, grey);
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, grey);
    return pal;
}

} // namespace

void Ui_AdvForm::setupUi(QWidget* form)
{
    verticalLayout = new QVBoxLayout(form);
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(0, 5, 0, 0);
    advancedTabWidget = new TabWidget(form);
    advancedTabWidget->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    advancedTabWidget->setFixedSize(430, 320);
    advancedTabWidget->setBaseSize(430, 320);

    generalTab = new QWidget();
    generalTabLayout = new QVBoxLayout(generalTab);
    generalTabLayout->setSpacing(30);
    generalTabLayout->setContentsMargins(0, 30, 0, 0);
    vpnTimeoutEdit = makeEdit(generalTab, 200, 200);
    generalTabLayout->addWidget(vpnTimeoutEdit, 0, Qt::AlignHCenter | Qt::AlignTop);
    langWidget = new QWidget(generalTab);
    langWidget->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    langWidget->setMinimumSize(400, 32);
    langWidget->setFixedHeight(34);
    // Named before the form takes its sheet, whose padding reaches a widget
    // only when it is first polished.
    langLabel = new QLabel(langWidget);
    langLabel->setObjectName(QStringLiteral("labelRoundedLeft"));
    langLabel->setMinimumSize(130, 32);
    langLabel->setFixedWidth(200);
    langComboBox = new QComboBox(langWidget);
    langComboBox->setObjectName(QStringLiteral("comboBoxWithLabel"));
    langComboBox->setMinimumSize(200, 32);
    generalTabLayout->addWidget(langWidget, 0, Qt::AlignHCenter | Qt::AlignTop);
    advancedTabWidget->addTab(generalTab, QString());

    proxyTab = new QWidget();
    verticalLayout_2 = new QVBoxLayout(proxyTab);
    verticalLayout_2->setSpacing(5);
    verticalLayout_2->setContentsMargins(0, 15, 0, 10);
    horizontalLayout = new QHBoxLayout();
    horizontalLayout->addItem(new QSpacerItem(104, 0, QSizePolicy::Fixed, QSizePolicy::Minimum));
    proxyEnable = new QCheckBox(proxyTab);
    horizontalLayout->addWidget(proxyEnable);
    horizontalLayout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    verticalLayout_2->addLayout(horizontalLayout);
    proxyServerEdit = makeEdit(proxyTab, 130, 270);
    verticalLayout_2->addWidget(proxyServerEdit, 0, Qt::AlignHCenter);
    proxyPortWidget = new QWidget(proxyTab);
    horizontalLayout_5 = new QHBoxLayout(proxyPortWidget);
    horizontalLayout_5->setSpacing(0);
    horizontalLayout_5->setContentsMargins(0, 0, 0, 0);
    proxyPortLabel = new QLabel(proxyPortWidget);
    proxyPortLabel->setFixedSize(130, 34);
    proxyPortSpin = new QSpinBox(proxyPortWidget);
    proxyPortSpin->setFixedSize(270, 34);
    proxyPortLabel->setBuddy(proxyPortSpin);
    horizontalLayout_5->addWidget(proxyPortLabel, 0, Qt::AlignVCenter);
    horizontalLayout_5->addWidget(proxyPortSpin, 0, Qt::AlignVCenter);
    verticalLayout_2->addWidget(proxyPortWidget, 0, Qt::AlignHCenter);
    proxyTypeWidget = new QWidget(proxyTab);
    proxyTypeWidget->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    proxyTypeWidget->setMinimumSize(400, 33);
    proxyTypeWidget->setFixedHeight(34);
    proxyTypeWidget1 = new QWidget(proxyTypeWidget);
    proxyTypeWidget1->setGeometry(0, 0, 402, 35);
    proxyTypeLabel = new QLabel(proxyTypeWidget1);
    proxyTypeLabel->setMinimumSize(130, 32);
    proxyTypeComboBox = new QComboBox(proxyTypeWidget1);
    proxyTypeComboBox->setMinimumSize(270, 32);
    proxyTypeLabel->setBuddy(proxyTypeComboBox);
    verticalLayout_2->addWidget(proxyTypeWidget, 0, Qt::AlignHCenter);
    horizontalLayout_2 = new QHBoxLayout();
    horizontalLayout_2->addItem(new QSpacerItem(104, 0, QSizePolicy::Fixed, QSizePolicy::Minimum));
    proxyAuthEnable = new QCheckBox(proxyTab);
    horizontalLayout_2->addWidget(proxyAuthEnable);
    horizontalLayout_2->addItem(
        new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    verticalLayout_2->addLayout(horizontalLayout_2);
    proxyUserEdit = makeEdit(proxyTab, 130, 270);
    verticalLayout_2->addWidget(proxyUserEdit, 0, Qt::AlignHCenter);
    proxyPassEdit = makeEdit(proxyTab, 130, 270);
    verticalLayout_2->addWidget(proxyPassEdit, 0, Qt::AlignHCenter);
    // The room left goes below the rows, not into the port row's widget.
    verticalLayout_2->addStretch(1);
    advancedTabWidget->addTab(proxyTab, QString());

    verticalLayout->addWidget(advancedTabWidget, 0, Qt::AlignHCenter | Qt::AlignTop);
}

AdvForm::AdvForm(QWidget* parent) : QWidget(parent), ui(new Ui_AdvForm)
{
    LOG_TRACE;
    resize(FormWidth, FormHeight);
    setFixedSize(FormWidth, FormHeight);
    setBaseSize(FormWidth, 370);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setPalette(formPalette());
    ui->setupUi(this);
    const QString sheet = ORVO::utils::loadStyleSheet(QStringLiteral(":/main.css"));
    setStyleSheet(sheet);

    TabWidget* tabs = ui->advancedTabWidget;
    tabs->setTabText(0, tr("General"));
    tabs->setTabText(1, tr("Proxy"));
    tabs->setFocusPolicy(Qt::NoFocus);
    tabs->setObjectName(QStringLiteral("tabWidget"));
    QTabBar* bar = tabs->findChild<QTabBar*>(QStringLiteral("qt_tabwidget_tabbar"));
    if (bar) {
        bar->setProperty("tree", true);
        bar->setObjectName(QStringLiteral("tabWidget"));
    }

    LineEdit* timeout = ui->vpnTimeoutEdit;
    timeout->setLabelText(tr("VPN Connection Timeout"));
    timeout->setText(secondsText(DefaultTimeout));
    validator = new QIntValidator(2, 99999, this);
    timeout->setValidator(validator);
    connect(timeout, &LineEdit::clicked, this, &AdvForm::_vpnTimeoutClicked);
    // Reformatting first, so that a reader of vpnTimeout() sees the final text.
    connect(timeout, &LineEdit::editingFinished, this, &AdvForm::_vpnTimeoutEdited);
    connect(timeout, &LineEdit::editingFinished, this, &AdvForm::vpnTimeoutEdited);

    ui->langLabel->setText(tr("Language"));
    for (const Language& lang : Languages)
        ui->langComboBox->addItem(QStringLiteral("  ") + QLatin1String(lang.name));
    ui->langComboBox->move(ui->langLabel->width(), 0);
    connect(ui->langComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &AdvForm::langComboChanged);
    ui->generalTabLayout->setAlignment(Qt::AlignTop);

    ui->proxyEnable->setText(tr("Enable proxy"));
    ui->proxyEnable->setCursor(Qt::PointingHandCursor);
    ui->proxyEnable->setObjectName(QStringLiteral("CheckBox"));
    ui->proxyServerEdit->setLabelText(tr("Server address"));
    ui->proxyPortLabel->setText(tr("Server port"));
    ui->proxyPortLabel->setObjectName(QStringLiteral("labelRoundedLeft"));
    ui->proxyPortSpin->setObjectName(QStringLiteral("spinBoxWithLabel"));
    ui->proxyPortSpin->setMaximum(65535);
    ui->proxyPortSpin->setMinimum(1);
    ui->proxyPortSpin->setValue(8080);
    ui->proxyTypeLabel->setText(tr("Server type"));
    ui->proxyTypeLabel->setObjectName(QStringLiteral("labelRoundedLeft"));
    ui->proxyTypeComboBox->setObjectName(QStringLiteral("comboBoxWithLabel"));
    ui->proxyTypeComboBox->addItem(QStringLiteral("  HTTP"));
    ui->proxyTypeComboBox->setEnabled(false);
    ui->proxyTypeComboBox->move(ui->proxyTypeLabel->width(), 0);
    ui->proxyAuthEnable->setText(tr("Authentication"));
    ui->proxyAuthEnable->setCursor(Qt::PointingHandCursor);
    ui->proxyAuthEnable->setObjectName(QStringLiteral("CheckBox"));
    ui->proxyUserEdit->setLabelText(tr("Username"));
    ui->proxyPassEdit->setLabelText(tr("Password"));
    ui->proxyPassEdit->setEchoMode(QLineEdit::Password);
    for (QWidget* w :
         {static_cast<QWidget*>(ui->proxyEnable), static_cast<QWidget*>(ui->proxyServerEdit),
          static_cast<QWidget*>(ui->proxyPortLabel), static_cast<QWidget*>(ui->proxyPortSpin),
          static_cast<QWidget*>(ui->proxyTypeLabel), static_cast<QWidget*>(ui->proxyTypeComboBox),
          static_cast<QWidget*>(ui->proxyAuthEnable), static_cast<QWidget*>(ui->proxyUserEdit),
          static_cast<QWidget*>(ui->proxyPassEdit)})
        w->setStyleSheet(sheet);

    connect(ui->proxyEnable, SIGNAL(toggled(bool)), this, SIGNAL(proxyEnabled(bool)));
    connect(ui->proxyServerEdit, &LineEdit::editingFinished, this, &AdvForm::proxyServerEdited);
    connect(ui->proxyPortSpin, &QSpinBox::editingFinished, this, &AdvForm::proxyPortEdited);
    connect(ui->proxyAuthEnable, SIGNAL(toggled(bool)), this, SIGNAL(proxyAuthEnabled(bool)));
    connect(ui->proxyUserEdit, &LineEdit::editingFinished, this, &AdvForm::proxyUserEdited);
    connect(ui->proxyPassEdit, &LineEdit::editingFinished, this, &AdvForm::proxyPassEdited);

    tabs->setStyleSheet(
        QStringLiteral("QTabBar::tab { width: %1px; }").arg(TabsWidth / tabs->count()));
    if (bar)
        ORVO::utils::update(bar);
}

AdvForm::~AdvForm()
{
    LOG_TRACE;
    delete ui;
    ui = nullptr;
}

int AdvForm::vpnTimeout()
{
    // The first run of digits: the unit word around it is translated and
    // may hold anything, so it is never stripped by name.
    static const QRegularExpression digits(QStringLiteral("\\d+"));
    const QRegularExpressionMatch m = digits.match(ui->vpnTimeoutEdit->text());
    if (!m.hasMatch())
        return 0;
    bool ok = false;
    const int seconds = m.captured(0).toInt(&ok);
    return ok ? seconds : 0;
}

void AdvForm::setVpnTimeout(int seconds)
{
    ui->vpnTimeoutEdit->setText(secondsText(seconds));
}

QString AdvForm::indexToLang(int index)
{
    if (index < 0 || index >= LanguageCount) {
        LOG_ERROR << "Bad index: " << index;
        return QString();
    }
    return QLatin1String(Languages[index].code);
}

int AdvForm::langToIndex(const QString& lang)
{
    for (int i = 0; i < LanguageCount; ++i)
        if (lang == QLatin1String(Languages[i].code))
            return i;
    LOG_ERROR << "Bad lang: " << lang;
    return -1;
}

void AdvForm::setLang(const QString& lang)
{
    const int index = langToIndex(lang);
    if (index < 0) {
        LOG_ERROR;
        return;
    }
    ui->langComboBox->setCurrentIndex(index);
}

bool AdvForm::proxyEnabled() const
{
    return ui->proxyEnable->isChecked();
}

void AdvForm::setProxyEnabled(bool enabled)
{
    ui->proxyEnable->setChecked(enabled);
}

QString AdvForm::proxyServer() const
{
    return ui->proxyServerEdit->text();
}

void AdvForm::setProxyServer(const QString& server)
{
    ui->proxyServerEdit->setText(server);
}

int AdvForm::proxyPort() const
{
    // The box shows its number in the digits of its language (Persian or
    // Arabic ones too); what is typed may be in ASCII digits still.
    const QString text = ui->proxyPortSpin->text();
    bool ok = false;
    int port = ui->proxyPortSpin->locale().toInt(text, &ok);
    if (!ok)
        port = QLocale::c().toInt(text, &ok);
    return ok ? port : 0;
}

void AdvForm::setProxyPort(int port)
{
    ui->proxyPortSpin->setValue(port);
}

bool AdvForm::proxyAuthEnabled() const
{
    return ui->proxyAuthEnable->isChecked();
}

void AdvForm::setProxyAuthEnabled(bool enabled)
{
    ui->proxyAuthEnable->setChecked(enabled);
}

QString AdvForm::proxyUser() const
{
    return ui->proxyUserEdit->text();
}

void AdvForm::setProxyUser(const QString& user)
{
    ui->proxyUserEdit->setText(user);
}

QString AdvForm::proxyPass() const
{
    return ui->proxyPassEdit->text();
}

void AdvForm::setProxyPass(const QString& pass)
{
    ui->proxyPassEdit->setText(pass);
}

void AdvForm::_vpnTimeoutClicked()
{
    // The user types a bare number; the validator admits nothing else.
    ui->vpnTimeoutEdit->setText(QString());
}

void AdvForm::_vpnTimeoutEdited()
{
    // The validator lets only a number from 2 up finish an edit.
    ui->vpnTimeoutEdit->setText(secondsText(ui->vpnTimeoutEdit->text().toInt()));
}

void AdvForm::langComboChanged(int index)
{
    const QString code = indexToLang(index);
    if (code.isEmpty())
        return;
    notSaved = false;
    emit langChanged(code);
    // Only a stored language is the one of the next start.
    if (notSaved)
        return;
    ORVO::MessageBox::information(this, tr("Language changed"),
                                  tr("The changes take effect after the next Restart"),
                                  QMessageBox::Ok, QMessageBox::NoButton);
}

void AdvForm::settingNotSaved(const QString& reason)
{
    notSaved = true;
    // The box takes the focus: the edit that lost it finishes again, fails
    // again and lands here while the box is open. One box tells it.
    if (reportOpen)
        return;
    reportOpen = true;
    const QPointer<AdvForm> self(this);
    // The reason names files and folders: plain text.
    ORVO::MessageBox::critical(this, ORVO::app() + QLatin1Char(' ') + tr("Error"),
                               tr("The setting could not be saved: %1").arg(reason),
                               QMessageBox::Ok, QMessageBox::NoButton, Qt::PlainText);
    if (self)
        reportOpen = false;
}
