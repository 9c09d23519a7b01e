#include "plugin/config/ui_settingsdialog.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMetaObject>
#include <QPushButton>
#include <QSizePolicy>
#include <QSpacerItem>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidgetItem>
#include <QVBoxLayout>
#include <QWidget>

#include "gui/widgets/lineedit.h"
#include "plugin/config/tablewidget.h"

namespace {

QSizePolicy fixedPolicy(QWidget* widget)
{
    QSizePolicy policy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    policy.setHeightForWidth(widget->sizePolicy().hasHeightForWidth());
    return policy;
}

QPushButton* newResetButton(QWidget* parent, const char* name)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setSizePolicy(fixedPolicy(button));
    button->setMinimumSize(265, 33);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

void Ui_settingsDialog::setupUi(QDialog* dialog)
{
    if (dialog->objectName().isEmpty())
        dialog->setObjectName(QStringLiteral("settingsDialog"));
    dialog->resize(600, 600);

    verticalLayout_2 = new QVBoxLayout(dialog);
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    verticalLayout_2->setSpacing(10);
    verticalLayout_2->setContentsMargins(15, 20, 15, 15);

    // The login plugin's pointing-hand tab widget is not reachable from
    // here: the same cursor is set on the tab bar instead.
    settingsTabWidget = new QTabWidget(dialog);
    settingsTabWidget->setObjectName(QStringLiteral("settingsTabWidget"));
    QSizePolicy tabsPolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    tabsPolicy.setHeightForWidth(settingsTabWidget->sizePolicy().hasHeightForWidth());
    settingsTabWidget->setSizePolicy(tabsPolicy);
    settingsTabWidget->setMinimumSize(573, 0);
    settingsTabWidget->tabBar()->setCursor(Qt::PointingHandCursor);

    // The applications.
    tab = new QWidget();
    tab->setObjectName(QStringLiteral("tab"));
    verticalLayout_5 = new QVBoxLayout(tab);
    verticalLayout_5->setObjectName(QStringLiteral("verticalLayout_5"));
    verticalLayout_5->setSpacing(10);
    verticalLayout_5->setContentsMargins(10, 15, 10, 5);

    tableWidget = new TableWidget(tab);
    tableWidget->setColumnCount(4);
    for (int column = 0; column < 4; ++column)
        tableWidget->setHorizontalHeaderItem(column, new QTableWidgetItem());
    tableWidget->setObjectName(QStringLiteral("tableWidget"));
    QSizePolicy tablePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    tablePolicy.setHeightForWidth(tableWidget->sizePolicy().hasHeightForWidth());
    tableWidget->setSizePolicy(tablePolicy);
    tableWidget->setMinimumSize(540, 0);
    tableWidget->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tableWidget->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tableWidget->setProperty("showDropIndicator", QVariant(false));
    tableWidget->setAlternatingRowColors(true);
    tableWidget->setSelectionMode(QAbstractItemView::ContiguousSelection);
    tableWidget->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget->setShowGrid(false);
    tableWidget->setSortingEnabled(true);
    tableWidget->setWordWrap(false);
    tableWidget->setCornerButtonEnabled(false);
    tableWidget->horizontalHeader()->setHighlightSections(false);
    tableWidget->verticalHeader()->setHighlightSections(false);
    verticalLayout_5->addWidget(tableWidget, 0, Qt::AlignHCenter);

    horizontalLayout_2 = new QHBoxLayout();
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    horizontalLayout_2->setSpacing(10);
    horizontalLayout_2->setContentsMargins(0, -1, -1, -1);
    resetSelectedButton = newResetButton(tab, "resetSelectedButton");
    horizontalLayout_2->addWidget(resetSelectedButton);
    resetAllButton = newResetButton(tab, "resetAllButton");
    horizontalLayout_2->addWidget(resetAllButton);
    verticalLayout_5->addLayout(horizontalLayout_2);

    settingsTabWidget->addTab(tab, QString());

    // The password change.
    tab_2 = new QWidget();
    tab_2->setObjectName(QStringLiteral("tab_2"));
    verticalLayout = new QVBoxLayout(tab_2);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(10);
    verticalLayout->setContentsMargins(10, 30, 10, 10);

    groupBox = new QGroupBox(tab_2);
    groupBox->setObjectName(QStringLiteral("groupBox"));
    QSizePolicy groupPolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    groupPolicy.setHeightForWidth(groupBox->sizePolicy().hasHeightForWidth());
    groupBox->setSizePolicy(groupPolicy);
    groupBox->setMinimumSize(0, 200);
    verticalLayout_3 = new QVBoxLayout(groupBox);
    verticalLayout_3->setObjectName(QStringLiteral("verticalLayout_3"));
    verticalLayout_3->setSpacing(20);
    verticalLayout_3->setContentsMargins(70, 20, 41, 20);

    oldPassEdit = new LineEdit(groupBox);
    oldPassEdit->setObjectName(QStringLiteral("oldPassEdit"));
    verticalLayout_3->addWidget(oldPassEdit);
    newPassEdit = new LineEdit(groupBox);
    newPassEdit->setObjectName(QStringLiteral("newPassEdit"));
    verticalLayout_3->addWidget(newPassEdit);
    confirmPassEdit = new LineEdit(groupBox);
    confirmPassEdit->setObjectName(QStringLiteral("confirmPassEdit"));
    verticalLayout_3->addWidget(confirmPassEdit);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalSpacer = new QSpacerItem(310, 0, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout->addItem(horizontalSpacer);
    changePassButton = new QPushButton(groupBox);
    changePassButton->setObjectName(QStringLiteral("changePassButton"));
    changePassButton->setSizePolicy(fixedPolicy(changePassButton));
    changePassButton->setMinimumSize(150, 32);
    changePassButton->setCursor(Qt::PointingHandCursor);
    horizontalLayout->addWidget(changePassButton);
    horizontalSpacer_2 = new QSpacerItem(6, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
    horizontalLayout->addItem(horizontalSpacer_2);
    verticalLayout_3->addLayout(horizontalLayout);

    verticalLayout->addWidget(groupBox, 0, Qt::AlignTop);
    settingsTabWidget->addTab(tab_2, QString());

    verticalLayout_2->addWidget(settingsTabWidget);

    retranslateUi(dialog);
    settingsTabWidget->setCurrentIndex(0);
    QMetaObject::connectSlotsByName(dialog);
}

void Ui_settingsDialog::retranslateUi(QDialog* dialog)
{
    Q_UNUSED(dialog);
    const char* const headers[] = {QT_TRANSLATE_NOOP("settingsDialog", "Name"),
                                   QT_TRANSLATE_NOOP("settingsDialog", "Remark"),
                                   QT_TRANSLATE_NOOP("settingsDialog", "Default Location"),
                                   QT_TRANSLATE_NOOP("settingsDialog", "Custom Location")};
    for (int column = 0; column < 4; ++column)
        tableWidget->horizontalHeaderItem(column)->setText(
            QCoreApplication::translate("settingsDialog", headers[column]));
    resetSelectedButton->setText(QCoreApplication::translate("settingsDialog", "Reset Selected"));
    resetAllButton->setText(QCoreApplication::translate("settingsDialog", "Reset All"));
    settingsTabWidget->setTabText(settingsTabWidget->indexOf(tab),
                                  QCoreApplication::translate("settingsDialog", "Page"));
    groupBox->setTitle(QString());
    settingsTabWidget->setTabText(settingsTabWidget->indexOf(tab_2),
                                  QCoreApplication::translate("settingsDialog", "Page"));
}
