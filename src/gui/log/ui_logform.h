#pragma once

// The log page's widgets and layouts, in the shape a form editor would
// generate: layout, object names and sizes only. LogForm sets the texts and
// replaces most object names with the style sheet's.

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>
#include <QWidget>

#include "gui/log/logtable.h"

class Ui_LogForm
{
public:
    QVBoxLayout* verticalLayout = nullptr;
    QWidget* verbosityWidget = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    QCheckBox* logEnable = nullptr;
    QSpacerItem* horizontalSpacer = nullptr;
    QWidget* verbosityLevelWidget = nullptr;
    QHBoxLayout* horizontalLayout_3 = nullptr;
    QLabel* verbosityLevelLabel = nullptr;
    QComboBox* verbosityLevelComboBox = nullptr;
    QSpacerItem* upperGap = nullptr;
    LogTable* logsTable = nullptr;
    QSpacerItem* lowerGap = nullptr;
    QHBoxLayout* buttonsLayout = nullptr;
    QPushButton* copyContentButton = nullptr;
    QPushButton* saveContentButton = nullptr;
    QPushButton* clearContentButton = nullptr;

    void setupUi(QWidget* form)
    {
        if (form->objectName().isEmpty())
            form->setObjectName(QStringLiteral("LogForm"));
        form->resize(500, 345);
        form->setSizePolicy(fixed());
        form->setMinimumSize(QSize(500, 345));
        form->setMaximumSize(QSize(500, 345));

        verticalLayout = new QVBoxLayout(form);
        verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
        verticalLayout->setSpacing(0);
        verticalLayout->setContentsMargins(0, 6, 0, 9);

        verbosityWidget = new QWidget(form);
        verbosityWidget->setObjectName(QStringLiteral("verbosityWidget"));
        verbosityWidget->setSizePolicy(fixed());
        verbosityWidget->setMinimumSize(QSize(440, 32));
        horizontalLayout = new QHBoxLayout(verbosityWidget);
        horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
        horizontalLayout->setContentsMargins(0, 0, 0, 0);

        logEnable = new QCheckBox(verbosityWidget);
        logEnable->setObjectName(QStringLiteral("logEnable"));
        logEnable->setChecked(true);
        logEnable->setCursor(QCursor(Qt::PointingHandCursor));
        logEnable->setStyleSheet(QStringLiteral("margin: 0px;"));
        horizontalLayout->addWidget(logEnable);

        horizontalSpacer = new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum);
        horizontalLayout->addItem(horizontalSpacer);

        verbosityLevelWidget = new QWidget(verbosityWidget);
        verbosityLevelWidget->setObjectName(QStringLiteral("verbosityLevelWidget"));
        verbosityLevelWidget->setSizePolicy(fixed());
        verbosityLevelWidget->setMinimumSize(QSize(232, 32));
        verbosityLevelWidget->setMaximumSize(QSize(225, 33));
        horizontalLayout_3 = new QHBoxLayout(verbosityLevelWidget);
        horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
        horizontalLayout_3->setSpacing(0);
        horizontalLayout_3->setContentsMargins(0, 0, 0, 0);
        verbosityLevelLabel = new QLabel(verbosityLevelWidget);
        verbosityLevelLabel->setObjectName(QStringLiteral("verbosityLevelLabel"));
        verbosityLevelLabel->setSizePolicy(fixed());
        verbosityLevelLabel->setMinimumSize(QSize(115, 32));
        horizontalLayout_3->addWidget(verbosityLevelLabel);
        verbosityLevelComboBox = new QComboBox(verbosityLevelWidget);
        verbosityLevelComboBox->setObjectName(QStringLiteral("verbosityLevelComboBox"));
        verbosityLevelComboBox->setSizePolicy(fixed());
        verbosityLevelComboBox->setMinimumSize(QSize(115, 32));
        verbosityLevelComboBox->setCursor(QCursor(Qt::PointingHandCursor));
        horizontalLayout_3->addWidget(verbosityLevelComboBox);
        horizontalLayout->addWidget(verbosityLevelWidget, 0, Qt::AlignHCenter);

        verticalLayout->addWidget(verbosityWidget, 0, Qt::AlignHCenter);

        upperGap = new QSpacerItem(0, 15, QSizePolicy::Minimum, QSizePolicy::Fixed);
        verticalLayout->addItem(upperGap);

        logsTable = new LogTable(form);
        logsTable->setObjectName(QStringLiteral("logsTable"));
        logsTable->headerItem()->setText(0, QStringLiteral("1"));
        logsTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        logsTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        logsTable->setProperty("showDropIndicator", QVariant(false));
        logsTable->setSelectionMode(QAbstractItemView::ContiguousSelection);
        logsTable->setRootIsDecorated(false);
        logsTable->setItemsExpandable(false);
        logsTable->setExpandsOnDoubleClick(false);
        verticalLayout->addWidget(logsTable);

        lowerGap = new QSpacerItem(0, 16, QSizePolicy::Minimum, QSizePolicy::Fixed);
        verticalLayout->addItem(lowerGap);

        buttonsLayout = new QHBoxLayout();
        buttonsLayout->setObjectName(QStringLiteral("buttonsLayout"));
        copyContentButton = new QPushButton(form);
        copyContentButton->setObjectName(QStringLiteral("copyContentButton"));
        copyContentButton->setSizePolicy(QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed));
        copyContentButton->setMinimumSize(QSize(220, 32));
        buttonsLayout->addWidget(copyContentButton, 0, Qt::AlignLeft);
        saveContentButton = new QPushButton(form);
        saveContentButton->setObjectName(QStringLiteral("saveContentButton"));
        saveContentButton->setSizePolicy(fixed());
        saveContentButton->setMinimumSize(QSize(150, 32));
        buttonsLayout->addWidget(saveContentButton, 0, Qt::AlignLeft);
        clearContentButton = new QPushButton(form);
        clearContentButton->setObjectName(QStringLiteral("clearContentButton"));
        clearContentButton->setSizePolicy(fixed());
        clearContentButton->setMinimumSize(QSize(100, 32));
        buttonsLayout->addWidget(clearContentButton, 0, Qt::AlignRight);
        verticalLayout->addLayout(buttonsLayout);

        QMetaObject::connectSlotsByName(form);
    }

private:
    static QSizePolicy fixed() { return QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed); }
};
