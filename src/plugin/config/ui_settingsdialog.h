#pragma once

class LineEdit;
class QDialog;
class QGroupBox;
class QHBoxLayout;
class QPushButton;
class QSpacerItem;
class QTabWidget;
class QVBoxLayout;
class QWidget;
class TableWidget;

// The widget tree of the portal's settings dialog, written out by hand the
// way the form compiler would produce it. Every widget is a Qt child of the
// dialog; the dialog replaces the form's texts with its own.
class Ui_settingsDialog
{
public:
    QVBoxLayout* verticalLayout_2 = nullptr;
    QTabWidget* settingsTabWidget = nullptr;
    QWidget* tab = nullptr;
    QVBoxLayout* verticalLayout_5 = nullptr;
    TableWidget* tableWidget = nullptr;
    QHBoxLayout* horizontalLayout_2 = nullptr;
    QPushButton* resetSelectedButton = nullptr;
    QPushButton* resetAllButton = nullptr;
    QWidget* tab_2 = nullptr;
    QVBoxLayout* verticalLayout = nullptr;
    QGroupBox* groupBox = nullptr;
    QVBoxLayout* verticalLayout_3 = nullptr;
    LineEdit* oldPassEdit = nullptr;
    LineEdit* newPassEdit = nullptr;
    LineEdit* confirmPassEdit = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    QSpacerItem* horizontalSpacer = nullptr;
    QPushButton* changePassButton = nullptr;
    QSpacerItem* horizontalSpacer_2 = nullptr;

    void setupUi(QDialog* dialog);
    void retranslateUi(QDialog* dialog);
};
