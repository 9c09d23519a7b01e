#pragma once

class ComboBox;
class LineEdit;
class PushButton;
class QCheckBox;
class QDialog;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QVBoxLayout;
class QWidget;

// The widget tree of the profile editor, written out by hand the way the
// form compiler would produce it. Every widget is a Qt child of the dialog.
// The object names given here only build the form: the dialog renames most
// widgets to the shared style names afterwards.
class Ui_profilesDialog
{
public:
    QVBoxLayout* verticalLayout_2 = nullptr;
    QVBoxLayout* verticalLayout = nullptr;
    QHBoxLayout* horizontalLayout_2 = nullptr;
    QVBoxLayout* verticalLayout_3 = nullptr;
    QListWidget* listWidget = nullptr;
    QWidget* widget = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    PushButton* addButton = nullptr;
    PushButton* removeButton = nullptr;
    QTabWidget* tabWidget = nullptr;

    QWidget* connectionTab = nullptr;
    QWidget* verticalLayout_6 = nullptr;
    QVBoxLayout* connectionTabLayout = nullptr;
    LineEdit* nameEdit = nullptr;
    ComboBox* configCombo = nullptr;
    QWidget* configFilesWidget = nullptr;
    QHBoxLayout* configFilesLayout = nullptr;
    QPushButton* configFilesButton = nullptr;
    QLabel* configFilesLabel = nullptr;
    LineEdit* serverEdit = nullptr;
    LineEdit* selectVpnCaEdit = nullptr;
    QCheckBox* manualAuthCheck = nullptr;
    ComboBox* authCombo = nullptr;
    LineEdit* userEdit = nullptr;
    LineEdit* selectP12Edit = nullptr;
    QCheckBox* rememberAuthCheck = nullptr;
    LineEdit* passEdit = nullptr;

    QWidget* advancedTab = nullptr;
    QWidget* verticalLayoutWidget_4 = nullptr;
    QVBoxLayout* advancedTabLayout = nullptr;
    QWidget* serverPortWidget = nullptr;
    QWidget* horizontalLayoutWidget_3 = nullptr;
    QHBoxLayout* horizontalLayout_5 = nullptr;
    QLabel* serverPortLabel = nullptr;
    QSpinBox* serverPortSpin = nullptr;
    QCheckBox* verifyCaCheck = nullptr;
    LineEdit* selectLsCaEdit = nullptr;
    ComboBox* deviceCombo = nullptr;
    ComboBox* protoCombo = nullptr;
    QWidget* widget1 = nullptr;
    QVBoxLayout* verticalLayout_7 = nullptr;
    QCheckBox* enableCompCheck = nullptr;
    QCheckBox* pullRoutesCheck = nullptr;
    QCheckBox* fallbackServerEnable = nullptr;
    LineEdit* fallbackServerEdit = nullptr;
    QWidget* fallbackPortWidget = nullptr;
    QWidget* fallbackPortWidget1 = nullptr;
    QHBoxLayout* horizontalLayout_6 = nullptr;
    QLabel* fallbackPortLabel = nullptr;
    QSpinBox* fallbackPortSpin = nullptr;
    ComboBox* fallbackProtoCombo = nullptr;

    QHBoxLayout* horizontalLayout_3 = nullptr;
    QLabel* fieldHint = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* okButton = nullptr;

    void setupUi(QDialog* dialog);
    void retranslateUi(QDialog* dialog);
};
