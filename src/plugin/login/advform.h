#pragma once

#include <QString>
#include <QWidget>

class ComboBox;
class LineEdit;
class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QIntValidator;
class QLabel;
class QSpinBox;
class QVBoxLayout;
class TabWidget;

// The widgets of the advanced form.
class Ui_AdvForm
{
public:
    QVBoxLayout* verticalLayout = nullptr;
    TabWidget* advancedTabWidget = nullptr;
    QWidget* generalTab = nullptr;
    QVBoxLayout* generalTabLayout = nullptr;
    LineEdit* vpnTimeoutEdit = nullptr;
    QWidget* langWidget = nullptr;
    QLabel* langLabel = nullptr;
    QComboBox* langComboBox = nullptr;
    QWidget* proxyTab = nullptr;
    QVBoxLayout* verticalLayout_2 = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    QCheckBox* proxyEnable = nullptr;
    LineEdit* proxyServerEdit = nullptr;
    QWidget* proxyPortWidget = nullptr;
    QHBoxLayout* horizontalLayout_5 = nullptr;
    QLabel* proxyPortLabel = nullptr;
    QSpinBox* proxyPortSpin = nullptr;
    QWidget* proxyTypeWidget = nullptr;
    QWidget* proxyTypeWidget1 = nullptr;
    QLabel* proxyTypeLabel = nullptr;
    QComboBox* proxyTypeComboBox = nullptr;
    QHBoxLayout* horizontalLayout_2 = nullptr;
    QCheckBox* proxyAuthEnable = nullptr;
    LineEdit* proxyUserEdit = nullptr;
    LineEdit* proxyPassEdit = nullptr;

    void setupUi(QWidget* form);
};

// The "ADVANCED" page of the login window: VPN timeout and language on one
// tab, the HTTP proxy on the other. The form keeps no settings: the login
// plugin fills it, listens to its signals and stores what changed.
class AdvForm : public QWidget
{
    Q_OBJECT
public:
    explicit AdvForm(QWidget* parent);
    ~AdvForm() override;
    AdvForm(const AdvForm&) = delete;
    AdvForm& operator=(const AdvForm&) = delete;

    // Seconds in the timeout field; 0 when it holds no number.
    int vpnTimeout();
    void setVpnTimeout(int seconds);
    static QString indexToLang(int index);
    static int langToIndex(const QString& lang);
    void setLang(const QString& lang);
    bool proxyEnabled() const;
    void setProxyEnabled(bool enabled);
    QString proxyServer() const;
    void setProxyServer(const QString& server);
    int proxyPort() const;
    void setProxyPort(int port);
    bool proxyAuthEnabled() const;
    void setProxyAuthEnabled(bool enabled);
    QString proxyUser() const;
    void setProxyUser(const QString& user);
    QString proxyPass() const;
    void setProxyPass(const QString& pass);

    // The plugin could not store the change the user just made: the user
    // is told why, and a chosen language promises nothing for the restart.
    void settingNotSaved(const QString& reason);

    Ui_AdvForm* form() const { return ui; }

signals:
    void vpnTimeoutEdited();
    void langChanged(QString lang);
    void proxyEnabled(bool enabled);
    void proxyServerEdited();
    void proxyPortEdited();
    void proxyAuthEnabled(bool enabled);
    void proxyUserEdited();
    void proxyPassEdited();

private slots:
    void _vpnTimeoutClicked();
    void _vpnTimeoutEdited();
    void langComboChanged(int index);

private:
    Ui_AdvForm* ui;
    QIntValidator* validator = nullptr;
    // Set while a change's signal is out, when the plugin could not store it.
    bool notSaved = false;
    // A box saying a setting was not saved is open.
    bool reportOpen = false;
};
