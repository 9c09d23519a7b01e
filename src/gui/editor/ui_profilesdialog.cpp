#include "gui/editor/ui_profilesdialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMetaObject>
#include <QPushButton>
#include <QSizePolicy>
#include <QSpacerItem>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>

#include "gui/widgets/combobox.h"
#include "gui/widgets/lineedit.h"
#include "gui/widgets/pushbutton.h"

namespace {

// The rows of the two tabs hang on a plain child widget that no layout
// places: its size is given here, roomy enough for the longest set of rows.
const int TabContentWidth = 424;
const int TabContentHeight = 420;

QWidget* newRowHolder(QWidget* parent, const char* name, int minimumHeight)
{
    QWidget* holder = new QWidget(parent);
    holder->setObjectName(QLatin1String(name));
    holder->setGeometry(0, 0, TabContentWidth, TabContentHeight);
    holder->setMinimumHeight(minimumHeight);
    return holder;
}

QVBoxLayout* newTabLayout(QWidget* holder, const char* name)
{
    QVBoxLayout* layout = new QVBoxLayout(holder);
    layout->setObjectName(QLatin1String(name));
    layout->setSpacing(15);
    layout->setContentsMargins(30, 30, 0, 0);
    return layout;
}

// A fixed-size row holding a label, a spin box and a spacer, placed on a
// child widget of its own as the form has it.
QWidget* newPortRow(QWidget* parent, const char* name, const char* innerName,
                    const char* layoutName, QWidget*& inner, QHBoxLayout*& layout)
{
    QWidget* row = new QWidget(parent);
    row->setObjectName(QLatin1String(name));
    row->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    row->setMinimumSize(400, 24);
    inner = new QWidget(row);
    inner->setObjectName(QLatin1String(innerName));
    inner->setGeometry(0, 0, 400, 26);
    layout = new QHBoxLayout(inner);
    layout->setObjectName(QLatin1String(layoutName));
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    return row;
}

} // namespace

void Ui_profilesDialog::setupUi(QDialog* dialog)
{
    if (dialog->objectName().isEmpty())
        dialog->setObjectName(QStringLiteral("profilesDialog"));

    verticalLayout_2 = new QVBoxLayout(dialog);
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    verticalLayout_2->setSizeConstraint(QLayout::SetFixedSize);
    verticalLayout_2->setContentsMargins(15, 20, 15, 15);
    verticalLayout = new QVBoxLayout();
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout_2->addLayout(verticalLayout);

    horizontalLayout_2 = new QHBoxLayout();
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    verticalLayout->addLayout(horizontalLayout_2);

    // The list with the add and remove buttons under it.
    verticalLayout_3 = new QVBoxLayout();
    verticalLayout_3->setObjectName(QStringLiteral("verticalLayout_3"));
    horizontalLayout_2->addLayout(verticalLayout_3);
    verticalLayout_3->addItem(new QSpacerItem(0, -5, QSizePolicy::Minimum, QSizePolicy::Fixed));
    listWidget = new QListWidget(dialog);
    listWidget->setObjectName(QStringLiteral("listWidget"));
    listWidget->setMaximumWidth(150);
    verticalLayout_3->addWidget(listWidget);
    widget = new QWidget(dialog);
    widget->setObjectName(QStringLiteral("widget"));
    widget->setMinimumSize(150, 25);
    widget->setMaximumWidth(150);
    horizontalLayout = new QHBoxLayout(widget);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setContentsMargins(0, 0, 0, 0);
    horizontalLayout->addItem(new QSpacerItem(0, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    addButton = new PushButton(widget);
    addButton->setObjectName(QStringLiteral("addButton"));
    addButton->setFixedSize(50, 25);
    horizontalLayout->addWidget(addButton);
    horizontalLayout->addItem(new QSpacerItem(5, 20, QSizePolicy::Fixed, QSizePolicy::Minimum));
    removeButton = new PushButton(widget);
    removeButton->setObjectName(QStringLiteral("removeButton"));
    removeButton->setFixedSize(50, 25);
    horizontalLayout->addWidget(removeButton);
    horizontalLayout->addItem(new QSpacerItem(0, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    verticalLayout_3->addWidget(widget);

    tabWidget = new QTabWidget(dialog);
    tabWidget->setObjectName(QStringLiteral("tabWidget"));
    horizontalLayout_2->addWidget(tabWidget);

    // Connection tab.
    connectionTab = new QWidget();
    connectionTab->setObjectName(QStringLiteral("connectionTab"));
    verticalLayout_6 = newRowHolder(connectionTab, "verticalLayout_6", 360);
    connectionTabLayout = newTabLayout(verticalLayout_6, "connectionTabLayout");
    nameEdit = new LineEdit(verticalLayout_6);
    nameEdit->setObjectName(QStringLiteral("nameEdit"));
    connectionTabLayout->addWidget(nameEdit);
    configCombo = new ComboBox(verticalLayout_6);
    configCombo->setObjectName(QStringLiteral("configCombo"));
    connectionTabLayout->addWidget(configCombo);
    configFilesWidget = new QWidget(verticalLayout_6);
    configFilesWidget->setObjectName(QStringLiteral("configFilesWidget"));
    configFilesLayout = new QHBoxLayout(configFilesWidget);
    configFilesLayout->setObjectName(QStringLiteral("configFilesLayout"));
    configFilesLayout->setContentsMargins(0, 0, 0, 0);
    configFilesButton = new QPushButton(configFilesWidget);
    configFilesButton->setObjectName(QStringLiteral("configFilesButton"));
    configFilesButton->setFixedSize(100, 25);
    configFilesLayout->addWidget(configFilesButton);
    configFilesLabel = new QLabel(configFilesWidget);
    configFilesLabel->setObjectName(QStringLiteral("configFilesLabel"));
    configFilesLayout->addWidget(configFilesLabel);
    connectionTabLayout->addWidget(configFilesWidget);
    serverEdit = new LineEdit(verticalLayout_6);
    serverEdit->setObjectName(QStringLiteral("serverEdit"));
    connectionTabLayout->addWidget(serverEdit);
    selectVpnCaEdit = new LineEdit(verticalLayout_6);
    selectVpnCaEdit->setObjectName(QStringLiteral("selectVpnCaEdit"));
    connectionTabLayout->addWidget(selectVpnCaEdit);
    manualAuthCheck = new QCheckBox(verticalLayout_6);
    manualAuthCheck->setObjectName(QStringLiteral("manualAuthCheck"));
    connectionTabLayout->addWidget(manualAuthCheck);
    authCombo = new ComboBox(verticalLayout_6);
    authCombo->setObjectName(QStringLiteral("authCombo"));
    connectionTabLayout->addWidget(authCombo);
    userEdit = new LineEdit(verticalLayout_6);
    userEdit->setObjectName(QStringLiteral("userEdit"));
    connectionTabLayout->addWidget(userEdit);
    selectP12Edit = new LineEdit(verticalLayout_6);
    selectP12Edit->setObjectName(QStringLiteral("selectP12Edit"));
    connectionTabLayout->addWidget(selectP12Edit);
    rememberAuthCheck = new QCheckBox(verticalLayout_6);
    rememberAuthCheck->setObjectName(QStringLiteral("rememberAuthCheck"));
    connectionTabLayout->addWidget(rememberAuthCheck);
    passEdit = new LineEdit(verticalLayout_6);
    passEdit->setObjectName(QStringLiteral("passEdit"));
    connectionTabLayout->addWidget(passEdit);
    tabWidget->addTab(connectionTab, QString());

    // Advanced tab.
    advancedTab = new QWidget();
    advancedTab->setObjectName(QStringLiteral("advancedTab"));
    verticalLayoutWidget_4 = newRowHolder(advancedTab, "verticalLayoutWidget_4", 400);
    advancedTabLayout = newTabLayout(verticalLayoutWidget_4, "advancedTabLayout");
    serverPortWidget =
        newPortRow(verticalLayoutWidget_4, "serverPortWidget", "horizontalLayoutWidget_3",
                   "horizontalLayout_5", horizontalLayoutWidget_3, horizontalLayout_5);
    serverPortLabel = new QLabel(horizontalLayoutWidget_3);
    serverPortLabel->setObjectName(QStringLiteral("serverPortLabel"));
    horizontalLayout_5->addWidget(serverPortLabel);
    serverPortSpin = new QSpinBox(horizontalLayoutWidget_3);
    serverPortSpin->setObjectName(QStringLiteral("serverPortSpin"));
    horizontalLayout_5->addWidget(serverPortSpin);
    horizontalLayout_5->addItem(
        new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    advancedTabLayout->addWidget(serverPortWidget);
    verifyCaCheck = new QCheckBox(verticalLayoutWidget_4);
    verifyCaCheck->setObjectName(QStringLiteral("verifyCaCheck"));
    advancedTabLayout->addWidget(verifyCaCheck);
    selectLsCaEdit = new LineEdit(verticalLayoutWidget_4);
    selectLsCaEdit->setObjectName(QStringLiteral("selectLsCaEdit"));
    advancedTabLayout->addWidget(selectLsCaEdit);
    deviceCombo = new ComboBox(verticalLayoutWidget_4);
    deviceCombo->setObjectName(QStringLiteral("deviceCombo"));
    advancedTabLayout->addWidget(deviceCombo);
    protoCombo = new ComboBox(verticalLayoutWidget_4);
    protoCombo->setObjectName(QStringLiteral("protoCombo"));
    advancedTabLayout->addWidget(protoCombo);
    widget1 = new QWidget(verticalLayoutWidget_4);
    widget1->setObjectName(QStringLiteral("widget1"));
    verticalLayout_7 = new QVBoxLayout(widget1);
    verticalLayout_7->setObjectName(QStringLiteral("verticalLayout_7"));
    verticalLayout_7->setSpacing(15);
    verticalLayout_7->setContentsMargins(0, 0, 0, 0);
    enableCompCheck = new QCheckBox(widget1);
    enableCompCheck->setObjectName(QStringLiteral("enableCompCheck"));
    verticalLayout_7->addWidget(enableCompCheck);
    pullRoutesCheck = new QCheckBox(widget1);
    pullRoutesCheck->setObjectName(QStringLiteral("pullRoutesCheck"));
    verticalLayout_7->addWidget(pullRoutesCheck);
    fallbackServerEnable = new QCheckBox(widget1);
    fallbackServerEnable->setObjectName(QStringLiteral("fallbackServerEnable"));
    verticalLayout_7->addWidget(fallbackServerEnable);
    advancedTabLayout->addWidget(widget1);
    fallbackServerEdit = new LineEdit(verticalLayoutWidget_4);
    fallbackServerEdit->setObjectName(QStringLiteral("fallbackServerEdit"));
    advancedTabLayout->addWidget(fallbackServerEdit);
    fallbackPortWidget =
        newPortRow(verticalLayoutWidget_4, "fallbackPortWidget", "fallbackPortWidget1",
                   "horizontalLayout_6", fallbackPortWidget1, horizontalLayout_6);
    fallbackPortLabel = new QLabel(fallbackPortWidget1);
    fallbackPortLabel->setObjectName(QStringLiteral("fallbackPortLabel"));
    horizontalLayout_6->addWidget(fallbackPortLabel);
    fallbackPortSpin = new QSpinBox(fallbackPortWidget1);
    fallbackPortSpin->setObjectName(QStringLiteral("fallbackPortSpin"));
    horizontalLayout_6->addWidget(fallbackPortSpin);
    horizontalLayout_6->addItem(
        new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    advancedTabLayout->addWidget(fallbackPortWidget);
    fallbackProtoCombo = new ComboBox(verticalLayoutWidget_4);
    fallbackProtoCombo->setObjectName(QStringLiteral("fallbackProtoCombo"));
    advancedTabLayout->addWidget(fallbackProtoCombo);
    tabWidget->addTab(advancedTab, QString());

    // Cancel and OK at the bottom right; to their left, why a field's
    // value was refused.
    horizontalLayout_3 = new QHBoxLayout();
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    fieldHint = new QLabel(dialog);
    fieldHint->setObjectName(QStringLiteral("fieldHint"));
    fieldHint->setWordWrap(true);
    fieldHint->setTextFormat(Qt::PlainText);
    fieldHint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    fieldHint->hide();
    horizontalLayout_3->addWidget(fieldHint, 1);
    horizontalLayout_3->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    cancelButton = new QPushButton(dialog);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setMinimumSize(100, 33);
    horizontalLayout_3->addWidget(cancelButton);
    horizontalLayout_3->addItem(new QSpacerItem(5, 20, QSizePolicy::Fixed, QSizePolicy::Minimum));
    okButton = new QPushButton(dialog);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setMinimumSize(50, 33);
    horizontalLayout_3->addWidget(okButton);
    verticalLayout->addLayout(horizontalLayout_3);

    retranslateUi(dialog);
    tabWidget->setCurrentIndex(0);
    QMetaObject::connectSlotsByName(dialog);
}

void Ui_profilesDialog::retranslateUi(QDialog* dialog)
{
    Q_UNUSED(dialog);
    configFilesButton->setText(QCoreApplication::translate("profilesDialog", "Browse"));
    tabWidget->setTabText(tabWidget->indexOf(connectionTab),
                          QCoreApplication::translate("profilesDialog", "Connection"));
    tabWidget->setTabText(tabWidget->indexOf(advancedTab),
                          QCoreApplication::translate("profilesDialog", "Advanced"));
    cancelButton->setText(QCoreApplication::translate("profilesDialog", "Cancel"));
    okButton->setText(QCoreApplication::translate("profilesDialog", "Ok"));
}
