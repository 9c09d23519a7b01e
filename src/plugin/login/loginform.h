#pragma once

#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include "profiles/connprofile.h"
#include "profiles/connprofiles.h"

class ComboBox;
class ProfilesDialog;
class LineEdit;
class QEvent;
class QLabel;
class QPushButton;
class QSettings;
class QSpacerItem;
class QVBoxLayout;
class TabWidget;

// The widgets of the login form.
class Ui_LoginForm
{
public:
    QVBoxLayout* verticalLayout = nullptr;
    TabWidget* tabWidget = nullptr;
    QWidget* connectionTab = nullptr;
    QVBoxLayout* profileLayout = nullptr;
    QLabel* profileHint = nullptr;
    ComboBox* profileComboBox = nullptr;
    LineEdit* passwordEdit = nullptr;

    void setupUi(QWidget* form);
    void retranslateUi(QWidget* form);
};

// The "LOGIN" page: the user picks a connection profile, types its password
// when the profile asks for one, and signs in with Return. The form owns
// the program's profile store and hands the chosen profile out borrowed;
// the login plugin relays what it emits.
class LoginForm : public QWidget
{
    Q_OBJECT
public:
    explicit LoginForm(QWidget* parent);
    ~LoginForm() override;
    LoginForm(const LoginForm&) = delete;
    LoginForm& operator=(const LoginForm&) = delete;

    void setProgress(int step, int totSteps, QString const& desc);
    void resetCredentials();
    // Brings the window the form is seen in to the front, the password
    // field focused.
    void showPasswordField();
    // Whether the connection is down (idle, error, or none reported yet),
    // and whether a sign-in of the user's lasts (from SIGN IN until its
    // tunnel is over, errors and a lost service included): while either is
    // up, the form is locked and starts nothing.
    void setSignedOut(bool signedOut);
    void setSignInLasts(bool lasts);
    // Why no portal comes for the connection up (empty: none was to come):
    // while locked, a management-server profile's form says it.
    void setNoPortal(const QString& why);

    bool eventFilter(QObject* watched, QEvent* event) override;

    Ui_LoginForm* form() const { return ui; }
    QPushButton* profileInfoButton() const { return infoButton; }
    ORVO::ConnProfiles* store() { return &profiles; }

    // Whether the profile keeps the credential it signs in with, so that
    // an incomplete one can be told before anything is sent.
    static bool holdsCredential(const ORVO::ConnProfile* profile);

signals:
    void configSupply(QVariant config);
    void profileSupply(ORVO::ConnProfile* profile);
    // A sign-in from out of sight needs a password that was not typed.
    void passwordWanted();

public slots:
    void authRequest();
    void showServerAddress(bool visible = true);

private slots:
    void profileChanged(ORVO::ConnProfile* profile);
    void profilesSaved(QString currentId);
    void profileInfoClicked();
    void editorClosed();
    void profileComboChanged(QString text);
    void profileComboClicked();
    void signInButtonClicked();
    void tabChanged(int index);

private:
    // The sign-in request; formInSight: asked in the form itself (SIGN IN,
    // Return), not by the tray.
    void signIn(bool formInSight);
    void refreshProfiles(QString current);
    // Refills the combo box on the profile with this id and applies it;
    // without one, applies the first item without remembering it.
    void selectProfile(const QString& id);
    // Shows the password field as the combo box's profile asks.
    void applyShownFieldState();
    void initLineEdit(LineEdit* edit);
    // Locks the form, or opens it, as the connection and the sign-in call for.
    void applyLock();
    // Shows the password field and its label as the profile asks.
    void applyFieldState(ORVO::ConnProfile* profile);
    // Opens the profile editor (made once, over this form's store) on the
    // profile in row index of the combo box.
    void openProfileEditor(int index);

    Ui_LoginForm* ui;
    QSettings* settings = nullptr;
    QPushButton* infoButton = nullptr;
    ORVO::ConnProfiles profiles;
    QPointer<ProfilesDialog> editor;
    bool signedOut = true;
    bool signInLasting = false;
    QString noPortal;
};
