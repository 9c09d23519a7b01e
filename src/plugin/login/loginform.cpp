#include "plugin/login/loginform.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpacerItem>
#include <QStyle>
#include <QStyleFactory>
#include <QTabBar>
#include <QVBoxLayout>
#include <QVariantMap>
#include <algorithm>

#include "common/common.h"
#include "common/log.h"
#include "common/settingsfile.h"
#include "common/utils.h"
#include "gui/editor/profileorder.h"
#include "gui/editor/profilesdialog.h"
#include "gui/messagebox.h"
#include "gui/widgets/clickablelabel.h"
#include "gui/widgets/combobox.h"
#include "gui/widgets/lineedit.h"
#include "gui/widgets/widgetutils.h"
#include "plugin/login/tabwidget.h"

namespace {

const int FormWidth = 500;
const int FormHeight = 345;
const int TabsWidth = 428;
const int LabelWidth = 140;
const int FieldWidth = 230;
const char ProfileKey[] = "profile";

bool asksPassword(const ORVO::ConnProfile* profile)
{
    return profile->getManualAuth() && !profile->getRememberAuth();
}

// The view that shows the form when it sits in an item of a graphics scene
// (the main window, the stand-alone sign-in window), or null.
QGraphicsView* hostView(QWidget* form)
{
    QGraphicsProxyWidget* proxy = form->window()->graphicsProxyWidget();
    if (!proxy || !proxy->scene() || proxy->scene()->views().isEmpty())
        return nullptr;
    return proxy->scene()->views().first();
}

// The window the form is seen in: a dialog parented inside the scene would
// be drawn in it, cut off by the view, so the view's own window is taken.
QWidget* hostWindow(QWidget* form)
{
    QGraphicsView* view = hostView(form);
    return view ? view->window() : form->window();
}

} // namespace

bool LoginForm::holdsCredential(const ORVO::ConnProfile* profile)
{
    // Only a files-mode OpenVPN profile may leave its credential to its
    // files, as the profile editor shows it.
    return profile->getManualAuth() || profile->getType() != ORVO::ConnProfile::VpnType ||
           profile->getConfigMode() != ORVO::ConnProfile::FilesConfigMode;
}

void Ui_LoginForm::setupUi(QWidget* form)
{
    if (form->objectName().isEmpty())
        form->setObjectName(QStringLiteral("LoginForm"));
    form->resize(FormWidth, FormHeight);
    form->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    form->setFixedSize(FormWidth, FormHeight);
    verticalLayout = new QVBoxLayout(form);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(20);
    verticalLayout->setContentsMargins(0, 15, 0, 10);
    tabWidget = new TabWidget(form);
    tabWidget->setObjectName(QStringLiteral("tabWidget"));
    tabWidget->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    tabWidget->setFixedSize(430, 200);
    tabWidget->setCursor(Qt::ArrowCursor);
    tabWidget->setTabPosition(QTabWidget::North);
    tabWidget->setTabShape(QTabWidget::Rounded);
    tabWidget->setIconSize(QSize(16, 16));
    tabWidget->setElideMode(Qt::ElideNone);
    tabWidget->setDocumentMode(false);
    connectionTab = new QWidget();
    connectionTab->setObjectName(QStringLiteral("connectionTab"));
    connectionTab->setCursor(Qt::ArrowCursor);
    profileLayout = new QVBoxLayout(connectionTab);
    profileLayout->setObjectName(QStringLiteral("profileLayout"));
    profileLayout->setSpacing(15);
    profileLayout->setContentsMargins(0, 30, 0, 0);
    profileHint = new QLabel(connectionTab);
    profileHint->setObjectName(QStringLiteral("profileHint"));
    profileLayout->addWidget(profileHint, 0, Qt::AlignHCenter);
    profileLayout->addItem(new QSpacerItem(0, 15, QSizePolicy::Minimum, QSizePolicy::Expanding));
    profileComboBox = new ComboBox(connectionTab);
    profileComboBox->setObjectName(QStringLiteral("profileComboBox"));
    profileLayout->addWidget(profileComboBox, 0, Qt::AlignHCenter);
    passwordEdit = new LineEdit(connectionTab);
    passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    passwordEdit->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    passwordEdit->setFixedSize(400, 32);
    profileLayout->addWidget(passwordEdit, 0, Qt::AlignHCenter);
    tabWidget->addTab(connectionTab, QString());
    verticalLayout->addWidget(tabWidget, 0, Qt::AlignHCenter);
    verticalLayout->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    retranslateUi(form);
    tabWidget->setCurrentIndex(0);
}

void Ui_LoginForm::retranslateUi(QWidget* form)
{
    Q_UNUSED(form);
    tabWidget->setTabText(tabWidget->indexOf(connectionTab),
                          QCoreApplication::translate("LoginForm", "Username / Password"));
}

LoginForm::LoginForm(QWidget* parent) : QWidget(parent), ui(new Ui_LoginForm)
{
    LOG_TRACE;
    ui->setupUi(this);
    setFocusPolicy(Qt::StrongFocus);
    settings = new QSettings(ORVO::org(), QLatin1String(ORVO::ApplicationId));
    installEventFilter(this);
    ui->profileComboBox->QWidget::installEventFilter(this);

    ui->tabWidget->setTabText(0, tr("Connection"));
    ui->tabWidget->setObjectName(QStringLiteral("tabWidget"));
    QTabBar* bar = ui->tabWidget->findChild<QTabBar*>(QStringLiteral("qt_tabwidget_tabbar"));
    if (bar) {
        bar->setProperty("smalltabs", true);
        bar->setObjectName(QStringLiteral("tabWidget"));
    }
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &LoginForm::tabChanged);

    ui->profileHint->setText(tr("Choose a connection profile or create a new one:"));
    ui->profileHint->setObjectName(QStringLiteral("textLg"));
    // One line, two where a longer note stands in for it.
    ui->profileHint->setWordWrap(true);
    // It may say what the service named: text, never markup.
    ui->profileHint->setTextFormat(Qt::PlainText);
    ui->profileHint->setAlignment(Qt::AlignCenter);
    ui->profileHint->setFixedWidth(410);

    ComboBox* combo = ui->profileComboBox;
    combo->label()->setObjectName(QStringLiteral("labelRoundedLeft"));
    combo->comboBox()->setObjectName(QStringLiteral("comboBoxWithLabel"));
    combo->comboBox()->setMaxVisibleItems(15);
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows"))) {
        style->setParent(combo->comboBox());
        combo->comboBox()->setStyle(style);
    }
    combo->comboBox()->setView(new QListView());
    combo->setLabelText(tr("Profile"));
    combo->setLabelWidth(LabelWidth);
    combo->setComboWidth(FieldWidth);
    combo->QWidget::setCursor(Qt::PointingHandCursor);
    combo->setHeight(34);
    combo->setStyleSheet(QStringLiteral("QScrollBar:vertical { width: 0px; }"));
    connect(combo, &ComboBox::clicked, this, &LoginForm::profileComboClicked);
    connect(combo, QOverload<QString>::of(&ComboBox::activated), this,
            &LoginForm::profileComboChanged);

    infoButton = new QPushButton(combo);
    infoButton->setObjectName(QStringLiteral("profileInfoButton"));
    infoButton->setFixedSize(32, 32);
    infoButton->setCursor(Qt::PointingHandCursor);
    infoButton->setIcon(QIcon(QStringLiteral("rc:settings-off.png")));
    infoButton->setIconSize(QSize(64, 64));
    infoButton->setFlat(true);
    infoButton->setStyleSheet(
        QStringLiteral("QPushButton:flat { border: none; border-radius: 12px; }"));
    infoButton->move(LabelWidth + FieldWidth + 5, 0);
    connect(infoButton, &QPushButton::clicked, this, &LoginForm::profileInfoClicked);

    initLineEdit(ui->passwordEdit);
    ui->passwordEdit->hide();
    ui->passwordEdit->setEchoMode(QLineEdit::Password);
    ui->passwordEdit->lineEdit()->installEventFilter(this);

    ui->profileLayout->addStretch(1);
    ui->tabWidget->setStyleSheet(
        QStringLiteral("QTabBar::tab { width: %1px; }").arg(TabsWidth / ui->tabWidget->count()));
    ORVO::utils::update(ui->tabWidget);

    if (profiles.load() != 0) {
        ORVO::MessageBox::critical(
            nullptr, ORVO::app() + QStringLiteral(" ") + tr("Error"),
            tr("The profiles could not be read: %1").arg(profiles.writeError()), QMessageBox::Ok,
            QMessageBox::NoButton);
    }
    selectProfile(settings->value(QLatin1String(ProfileKey), QString()).toString());
    setStyleSheet(ORVO::utils::loadStyleSheet(QStringLiteral(":/main.css")));
}

LoginForm::~LoginForm()
{
    LOG_TRACE;
    // The editor is a child of another window, but works on this form's
    // store: it goes first.
    delete editor;
    delete settings;
    settings = nullptr;
    delete ui;
    ui = nullptr;
}

void LoginForm::initLineEdit(LineEdit* edit)
{
    edit->setFixedHeight(34);
    edit->setHeight(34);
    edit->setLabelWidth(LabelWidth);
    edit->setLineWidth(FieldWidth);
    edit->label()->setObjectName(QStringLiteral("lineEditLabel"));
    edit->lineEdit()->setObjectName(QStringLiteral("lineEdit"));
    edit->setCursor(Qt::PointingHandCursor);
}

void LoginForm::setProgress(int step, int totSteps, QString const& desc)
{
    Q_UNUSED(step);
    Q_UNUSED(totSteps);
    Q_UNUSED(desc);
}

void LoginForm::applyLock()
{
    // While a connection is up or a sign-in lasts no field of the form
    // takes input: nothing typed here would go anywhere.
    const bool blocked = !signedOut || signInLasting;
    ui->profileComboBox->setEnabled(!blocked);
    ui->passwordEdit->setEnabled(!blocked);
    infoButton->setEnabled(!blocked);
    const QString closeFirst = tr("Close the connection to modify profiles");
    const ORVO::ConnProfile* shown = profiles.get(ui->profileComboBox->comboBox()->currentText());
    const bool why =
        blocked && !noPortal.isEmpty() && shown && shown->getType() == ORVO::ConnProfile::LsType;
    ui->profileHint->setText(why       ? noPortal
                             : blocked ? closeFirst
                                       : tr("Choose a connection profile or create a new one:"));
    // An editor opened just before the session started stays open, but
    // changes no profile while the session runs.
    if (editor)
        editor->setSaveRefusal(blocked ? closeFirst : QString());
}

void LoginForm::setNoPortal(const QString& why)
{
    noPortal = why;
    applyLock();
}

void LoginForm::resetCredentials()
{
    ui->passwordEdit->setText(QString(""));
}

void LoginForm::setSignedOut(bool newSignedOut)
{
    signedOut = newSignedOut;
    applyLock();
}

void LoginForm::setSignInLasts(bool lasts)
{
    signInLasting = lasts;
    applyLock();
}

void LoginForm::showServerAddress(bool visible)
{
    Q_UNUSED(visible);
}

void LoginForm::refreshProfiles(QString current)
{
    LOG_DEBUG << "[LoginForm] current profile: " << current;
    QComboBox* combo = ui->profileComboBox->comboBox();
    combo->clear();
    QStringList ids = profiles.ids();
    // The editor's order, so that a row means the same profile in both.
    ids = ORVO::sortedProfileIds(ids);
    for (const QString& id : qAsConst(ids)) {
        combo->addItem(id);
        if (!current.isEmpty() && id == current)
            combo->setCurrentIndex(combo->count() - 1);
    }
}

void LoginForm::profileComboChanged(QString text)
{
    ORVO::ConnProfile* profile = profiles.get(text);
    if (!profile) {
        LOG_ERROR << "[LoginForm] No profile " << text;
        return;
    }
    profileChanged(profile);
}

void LoginForm::selectProfile(const QString& id)
{
    refreshProfiles(id);
    if (!id.isEmpty() && ui->profileComboBox->comboBox()->currentText() == id) {
        profileComboChanged(id);
        return;
    }
    if (!id.isEmpty())
        LOG_ERROR << "[LoginForm] No profile " << id;
    // The combo box fell back on its first item: that one's password field
    // must show, but the choice is the user's to store.
    applyShownFieldState();
}

void LoginForm::applyShownFieldState()
{
    const QString shown = ui->profileComboBox->comboBox()->currentText();
    if (shown.isEmpty()) {
        ui->passwordEdit->hide();
        return;
    }
    if (ORVO::ConnProfile* profile = profiles.get(shown)) {
        applyFieldState(profile);
        return;
    }
    // Removed or renamed in the editor while it is open: show what the
    // store holds.
    selectProfile(QString());
}

void LoginForm::applyFieldState(ORVO::ConnProfile* profile)
{
    ui->passwordEdit->setVisible(asksPassword(profile));
    ui->passwordEdit->setLabelText(profile->getAuth().getType() != libvelcor::Auth::UserPassType
                                       ? tr("PKCS#12 password")
                                       : tr("Password"));
}

void LoginForm::profileChanged(ORVO::ConnProfile* profile)
{
    LOG_TRACE;
    if (!profile) {
        LOG_ERROR;
        return;
    }
    LOG_DEBUG << "[LoginForm] profile: " << profile->getId();
    applyFieldState(profile);
    // One never saved, such as one just added in the editor, may never be:
    // it is not found at the next start.
    if (!profiles.isSaved(profile->getId()))
        return;
    if (ORVO::utils::settingsSetSync(settings, QLatin1String(ProfileKey), profile->getId()) != 0)
        LOG_ERROR;
}

void LoginForm::profileComboClicked()
{
    LOG_DEBUG << "size: " << profiles.size();
    if (profiles.size() == 0)
        profileInfoClicked();
}

void LoginForm::profileInfoClicked()
{
    LOG_DEBUG << "[LoginForm] opening profile info - count: " << profiles.size();
    openProfileEditor(ui->profileComboBox->comboBox()->currentIndex());
    // Once the editor is closed, by OK, Cancel or its window, the form
    // shows its combo box's profile again.
    if (editor)
        connect(editor.data(), &QDialog::finished, this, &LoginForm::editorClosed,
                Qt::UniqueConnection);
}

void LoginForm::editorClosed()
{
    LOG_TRACE;
    // Only OK keeps the edits and the editor's choice of profile; every
    // other way out rolls them back: the list shows what is saved, on the
    // same profile.
    refreshProfiles(ui->profileComboBox->comboBox()->currentText());
    applyShownFieldState();
}

void LoginForm::openProfileEditor(int index)
{
    if (!editor) {
        // A window of its own over the one the form is seen in.
        editor = new ProfilesDialog(hostWindow(this), &profiles);
        // What the editor shows is not saved yet: the form takes its choice
        // of profile only with OK, so that Cancel leaves the choice as it was.
        connect(editor, SIGNAL(saved(QString)), this, SLOT(profilesSaved(QString)));
    }
    // Opened by id: the editor lists the profiles in the same order, but
    // the id cannot point at another profile whatever the order.
    const QString id = ui->profileComboBox->comboBox()->itemText(index);
    if (id.isEmpty() && editor->isVisible()) {
        // Asked again for no profile (SIGN IN, the tray's Connect): a reload
        // would drop what the user is typing into the new one.
        editor->raise();
        editor->activateWindow();
        return;
    }
    if (editor->load(id, false) != 0) {
        LOG_ERROR;
        return;
    }
    editor->show();
    editor->raise();
    editor->activateWindow();
}

void LoginForm::profilesSaved(QString currentId)
{
    LOG_TRACE;
    selectProfile(currentId);
}

void LoginForm::signInButtonClicked()
{
    LOG_TRACE;
    signIn(true);
}

void LoginForm::tabChanged(int index)
{
    LOG_DEBUG << "[LoginForm] index: " << index;
}

void LoginForm::authRequest()
{
    LOG_TRACE;
    // The tray's Connect: the form may be out of sight, its password field
    // emptied by the last sign-in.
    signIn(false);
}

void LoginForm::showPasswordField()
{
    QWidget* top = hostWindow(this);
    top->setWindowState(top->windowState() & ~Qt::WindowMinimized);
    top->show();
    top->raise();
    top->activateWindow();
    // Keys reach an item of the scene only through its view, which another
    // widget of the window (SIGN IN) may hold the focus from.
    if (QGraphicsView* view = hostView(this))
        view->setFocus(Qt::OtherFocusReason);
    ui->passwordEdit->lineEdit()->setFocus(Qt::OtherFocusReason);
}

void LoginForm::signIn(bool formInSight)
{
    // Return in the (emptied) password field while connected, or while the
    // service retries the sign-in that lasts, would start another over it
    // with an empty password.
    if (!signedOut || signInLasting) {
        LOG_DEBUG << "[LoginForm] Connected, or a sign-in lasts: no sign-in started";
        return;
    }
    // A sign-in goes only with saved profiles, and none may change under
    // it: the open editor is ended first, by OK or Cancel.
    if (editor && editor->isVisible()) {
        LOG_NOTICE << "[LoginForm] The profile editor is open: no sign-in started";
        editor->askToFinish();
        return;
    }
    const QString shown = ui->profileComboBox->comboBox()->currentText();
    if (shown.isEmpty()) {
        // Nothing to sign in with: the editor opens on a new profile, as
        // at the first start when the user clicks the empty list.
        LOG_NOTICE << "[LoginForm] No profile to sign in with: opening the profile editor";
        profileInfoClicked();
        return;
    }
    ORVO::ConnProfile* profile = profiles.get(shown);
    if (!profile) {
        LOG_ERROR << "[LoginForm] No profile " << shown;
        // Removed or renamed in the editor while it is open: the user is
        // told, and the list shows what the store holds now.
        selectProfile(QString());
        ORVO::MessageBox::warning(
            this, ORVO::app() + QStringLiteral(" ") + tr("Error"),
            tr("The profile %1 no longer exists. Choose a profile and sign in again.")
                .arg(QStringLiteral("'") + shown + QStringLiteral("'")),
            QMessageBox::Ok, QMessageBox::NoButton, Qt::PlainText);
        return;
    }
    if (profile->getType() != ORVO::ConnProfile::LsType &&
        profile->getType() != ORVO::ConnProfile::VpnType) {
        LOG_ERROR;
        return;
    }
    if (asksPassword(profile)) {
        // Never typed: nothing is sent, the field is shown instead.
        if (!formInSight && ui->passwordEdit->text().isEmpty()) {
            LOG_NOTICE << "[LoginForm] No password typed: showing the sign-in form";
            emit passwordWanted();
            return;
        }
        profile->getAuth().setPass(ui->passwordEdit->text());
    }
    // A credential the service cannot use starts nothing: no fragment,
    // no profile and no connect request go out, and the user is told.
    if (holdsCredential(profile) && profile->getAuth().validate() != 0) {
        LOG_ERROR << "[LoginForm] The profile's credential is incomplete";
        // The profile editor's words, which it also uses for such fields.
        ORVO::MessageBox::warning(
            this,
            ORVO::app() + QStringLiteral(" ") +
                QCoreApplication::translate("ProfilesDialog", "Error"),
            QCoreApplication::translate("ProfilesDialog", "Undefined fields in profile") +
                QStringLiteral(" '") + profile->getId() + QStringLiteral("'"),
            QMessageBox::Ok, QMessageBox::NoButton, Qt::PlainText);
        return;
    }
    switch (profile->getType()) {
    case ORVO::ConnProfile::LsType:
        LOG_DEBUG << "[LoginForm] Handling Lodestar profile";
        // Said by every sign-in, as an OpenVPN profile says "false": one
        // ended by the service, not by a sign-out, leaves its own behind.
        emit configSupply(QVariant(
            QVariantMap{{QStringLiteral("setup"),
                         QVariantMap{{QStringLiteral("enabled"), QStringLiteral("true")}}}}));
        break;
    case ORVO::ConnProfile::VpnType: {
        LOG_DEBUG << "[LoginForm] Handling VPN profile";
        QVariantMap vpn;
        if (!profile->getPullRoutes())
            vpn.insert(QStringLiteral("args"), QStringLiteral("--route-nopull"));
        vpn.insert(QStringLiteral("conf"), profile->getConfPath());
        QVariantMap config;
        config.insert(QStringLiteral("is_profile"), true);
        config.insert(QStringLiteral("setup"),
                      QVariantMap{{QStringLiteral("enabled"), QStringLiteral("false")}});
        config.insert(QStringLiteral("vpn"), vpn);
        emit configSupply(QVariant(config));
        break;
    }
    default:
        break;
    }
    emit profileSupply(profile);
}

bool LoginForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            signInButtonClicked();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
