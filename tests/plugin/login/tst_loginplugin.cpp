#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QtPlugin>

#include "common/common.h"
#include "common/simplecrypt.h"
#include "gui/editor/profilesdialog.h"
#include "gui/editor/ui_profilesdialog.h"
#include "gui/log/logform.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/testseams.h"
#include "gui/widgets/combobox.h"
#include "gui/widgets/lineedit.h"
#include "gui/widgets/pushbutton.h"
#include "logcapture.h"
#include "loginfixture.h"
#include "plugin/login/advform.h"
#include "plugin/login/loginform.h"
#include "testenv.h"
#include "testmain.h"

Q_IMPORT_PLUGIN(LoginPlugin)

namespace {

// The plugin's outgoing signals, in emission order, by signature.
class Recorder : public QObject
{
    Q_OBJECT
public:
    explicit Recorder(QObject* plugin)
    {
        connect(plugin, SIGNAL(configSupply(QVariant)), this, SLOT(config(QVariant)));
        connect(plugin, SIGNAL(authSupply(libvelcor::Auth)), this, SLOT(auth(libvelcor::Auth)));
        connect(plugin, SIGNAL(securitySupply(QVariant)), this, SLOT(security(QVariant)));
        connect(plugin, SIGNAL(profileSupply(ORVO::ConnProfile*)), this,
                SLOT(profile(ORVO::ConnProfile*)));
        connect(plugin, SIGNAL(sigConnect()), this, SLOT(connectRequest()));
    }
    QStringList order;
    QList<QVariantMap> configs;
    QList<libvelcor::Auth> auths;

public slots:
    void config(QVariant c)
    {
        const QVariantMap m = c.toMap();
        order << (m.contains("timeout") ? "timeout" : "fragment");
        configs << m;
    }
    void auth(libvelcor::Auth a)
    {
        order << (a.getId() == libvelcor::Auth::ProxyId ? "proxy" : "credential");
        auths << a;
    }
    void security(QVariant) { order << "security"; }
    void profile(ORVO::ConnProfile* p) { order << "profile:" + (p ? p->getId() : QString()); }
    void connectRequest() { order << "connect"; }
};

void pressReturn(QWidget* target)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

} // namespace

// The login plugin with its forms: what a sign-in sends and in which order,
// the settings it keeps, and the form's reactions to the connection states.
class TestLoginPlugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Windows are built in many tests: none of them needs the log port.
        LogForm::setListenPort(0);
        ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
        // The plugin opens its settings store once, as the program does.
        env.reset(new orvotest::TestEnv);
        QVERIFY(env->isValid());
        QVERIFY(logintest::plugin());
    }
    void cleanup()
    {
        ORVO::LoginPlugin* p = logintest::plugin();
        emit p->stateChanged(libvelcor::StateIdle);
        delete p->window.data();
        p->settings->clear();
        p->settings->sync();
        p->proxy = QNetworkProxy(QNetworkProxy::NoProxy);
        QVERIFY(QDir(env->dataDir() + "/profiles").removeRecursively());
    }
    void cleanupTestCase() { env.reset(); }

    void signInOrder_data();
    void signInOrder();
    void failedValidationSendsNothing_data();
    void failedValidationSendsNothing();
    void firstStartShowsPasswordField_data();
    void firstStartShowsPasswordField();
    void storedTimeoutAndProxyAnnounced();
    void proxyEditsStoredScrambled();
    void unsavedSettingIsSaid_data();
    void unsavedSettingIsSaid();
    void statesDriveTheForm();
    void windowIsGuarded();
    void editorOpensOnTheChosenProfile();
    void signInWithoutProfileOpensEditor();
    void editorOpenStartsNothing_data();
    void editorOpenStartsNothing();
    void editorIsAWindowOfItsOwn();

private:
    QScopedPointer<orvotest::TestEnv> env;
};

void TestLoginPlugin::signInOrder_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("pullRoutes");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("vpn, pulls routes")
        << "vpn" << true
        << QStringList{"fragment", "credential", "security", "profile:office", "connect"};
    QTest::newRow("vpn, no routes")
        << "vpn" << false
        << QStringList{"fragment", "credential", "security", "profile:office", "connect"};
    QTest::newRow("management server")
        << "ls" << true
        << QStringList{"fragment", "credential", "security", "profile:office", "connect"};
    QTest::newRow("vpn files, credential not stored")
        << "files" << true
        << QStringList{"fragment", "credential", "security", "profile:office", "connect"};
}

void TestLoginPlugin::signInOrder()
{
    QFETCH(QString, type);
    QFETCH(bool, pullRoutes);
    QFETCH(QStringList, order);
    QVERIFY(logintest::writeProfile(env->dataDir(), "office", type, "demo", false, pullRoutes));
    ORVO::LoginPlugin* p = logintest::plugin();
    QVERIFY(p->newWindow(QVariantMap()));
    p->loginForm->form()->passwordEdit->setText("s3cret");
    Recorder rec(p);
    p->signInClicked();
    QCOMPARE(rec.order, order);
    QCOMPARE(rec.auths.at(0).getPass(), type == "files" ? QString() : QString("s3cret"));
    if (type == "vpn") {
        const QVariantMap vpn = rec.configs.at(0).value("vpn").toMap();
        QVERIFY(vpn.value("conf").toString().endsWith("/office.profile/openvpn.conf"));
        QCOMPARE(vpn.contains("args"), !pullRoutes);
        QCOMPARE(rec.configs.at(0).value("setup").toMap().value("enabled"), QVariant("false"));
    }
    if (type == "ls")
        QCOMPARE(rec.configs.at(0).value("setup").toMap().value("enabled"), QVariant("true"));
}

void TestLoginPlugin::failedValidationSendsNothing_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("vpn") << "vpn";
    QTest::newRow("management server") << "ls";
}

void TestLoginPlugin::failedValidationSendsNothing()
{
    QFETCH(QString, type);
    QVERIFY(logintest::writeProfile(env->dataDir(), "nouser", type, ""));
    ORVO::LoginPlugin* p = logintest::plugin();
    QVERIFY(p->newWindow(QVariantMap()));
    Recorder rec(p);
    orvotest::LogCapture log;
    p->signInClicked();
    pressReturn(p->loginForm->form()->passwordEdit->lineEdit());
    QCOMPARE(rec.order, QStringList());
    QVERIFY(log.contains("Undefined fields in profile 'nouser'"));
}

// The password field is that of the profile shown, also when the combo box
// falls back on its first one and after the profile editor was cancelled or
// closed; the list then shows the profiles the store holds.
void TestLoginPlugin::firstStartShowsPasswordField_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("files"); // the profile shown is "c-files", else "A-first"
    QTest::addColumn<QString>("step");
    QTest::newRow("first start") << "" << false << "";
    QTest::newRow("remembered profile gone") << "gone" << false << "";
    QTest::newRow("editor OK without selection") << "c-files" << false << "saved";
    QTest::newRow("editor added, then Cancel") << "A-first" << false << "add";
    QTest::newRow("editor removed, then Cancel") << "c-files" << true << "remove";
    QTest::newRow("editor removed another, then closed") << "c-files" << true << "close";
}

void TestLoginPlugin::firstStartShowsPasswordField()
{
    QFETCH(QString, stored);
    QFETCH(bool, files);
    QFETCH(QString, step);
    QVERIFY(logintest::writeProfile(env->dataDir(), "b-second", "vpn"));
    QVERIFY(logintest::writeProfile(env->dataDir(), "A-first", "vpn"));
    QVERIFY(logintest::writeProfile(env->dataDir(), "c-files", "files"));
    if (!stored.isEmpty())
        QSettings(ORVO::org(), ORVO::ApplicationId).setValue("profile", stored);
    ORVO::LoginPlugin* p = logintest::plugin();
    QVERIFY(p->newWindow(QVariantMap()));
    LineEdit* pass = p->loginForm->form()->passwordEdit;
    // A fallback applies, but the choice stays the user's to store.
    QSettings settings(ORVO::org(), ORVO::ApplicationId);
    QCOMPARE(settings.value("profile").toString(), stored);
    if (step == "saved")
        QVERIFY(QMetaObject::invokeMethod(p->loginForm, "profilesSaved", Q_ARG(QString, "")));
    if (step == "add" || step == "remove" || step == "close") {
        QTest::mouseClick(p->loginForm->profileInfoButton(), Qt::LeftButton);
        ProfilesDialog* editor = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && qobject_cast<ProfilesDialog*>(w))
                editor = qobject_cast<ProfilesDialog*>(w);
        QVERIFY(editor);
        if (step == "close")
            editor->form()->listWidget->setCurrentRow(0);
        QTest::mouseClick(step == "add" ? editor->form()->addButton : editor->form()->removeButton,
                          Qt::LeftButton);
        if (step == "close")
            editor->close();
        else
            QTest::mouseClick(editor->form()->cancelButton, Qt::LeftButton);
    }
    QCOMPARE(p->loginForm->form()->profileComboBox->comboBox()->currentText(),
             QString(files ? "c-files" : "A-first"));
    QCOMPARE(pass->isHidden(), files);
    // A cancelled new profile is neither kept nor remembered; closing the
    // editor cancels as well.
    QCOMPARE(p->loginForm->store()->ids().size(), 3);
    QCOMPARE(p->loginForm->form()->profileComboBox->comboBox()->count(),
             p->loginForm->store()->ids().size());
    QVERIFY(!settings.value("profile").toString().startsWith("_new"));

    // Return in the field signs in with what was typed.
    Recorder rec(p);
    pass->setText("typed");
    pressReturn(pass->lineEdit());
    QCOMPARE(rec.order.last(), QString("connect"));
    QCOMPARE(rec.auths.at(0).getPass(), QString(files ? "" : "typed"));
    QCOMPARE(pass->text(), QString("typed"));
}

void TestLoginPlugin::storedTimeoutAndProxyAnnounced()
{
    {
        QSettings s(ORVO::org(), ORVO::ApplicationId);
        s.setValue("vpnTimeout", "90");
        s.setValue("proxyEnabled", true);
        s.setValue("proxyServer", "  proxy.example.org ");
        // Out of range: the form shows 65535, and so the proxy takes it.
        s.setValue("proxyPort", 70000);
    }
    ORVO::LoginPlugin* p = logintest::plugin();
    Recorder rec(p);
    QVERIFY(p->newWindow(QVariantMap()));
    // Alone in its fragment: that shape is what a new service session is
    // given again.
    QCOMPARE(rec.configs.at(0), (QVariantMap{{"timeout", "90"}}));
    QCOMPARE(rec.auths.last().getUrl(), QString("http://proxy.example.org:65535"));
    QCOMPARE(p->proxy.type(), QNetworkProxy::HttpProxy);

    // Announced again on request, for receivers wired after the window.
    rec.order.clear();
    QVERIFY(QMetaObject::invokeMethod(p, "announceSettings"));
    QCOMPARE(rec.order, (QStringList{"timeout", "proxy"}));
    QCOMPARE(rec.configs.last().value("timeout"), QVariant("90"));
}

void TestLoginPlugin::proxyEditsStoredScrambled()
{
    ORVO::LoginPlugin* p = logintest::plugin();
    QVERIFY(p->newWindow(QVariantMap()));
    Recorder rec(p);
    orvotest::LogCapture log;
    Ui_AdvForm* f = p->advForm->form();
    f->proxyServerEdit->setText(" gate.example.org ");
    emit f->proxyServerEdit->editingFinished();
    f->proxyUserEdit->setText("puser");
    emit f->proxyUserEdit->editingFinished();
    f->proxyPassEdit->setText("Pa55-word");
    emit f->proxyPassEdit->editingFinished();
    // Unchanged values change nothing.
    emit f->proxyPassEdit->editingFinished();
    emit f->proxyServerEdit->editingFinished();
    QCOMPARE(rec.order, (QStringList{"proxy", "proxy", "proxy"}));
    QCOMPARE(rec.auths.last().getPass(), QString("Pa55-word"));
    QCOMPARE(rec.auths.last().getUrl(), QString("http://gate.example.org:8080"));

    QSettings s(ORVO::org(), ORVO::ApplicationId);
    const QString stored = s.value("proxyPass").toString();
    QVERIFY(!stored.isEmpty());
    QVERIFY(!stored.contains("Pa55-word"));
    QCOMPARE(SimpleCrypt(ORVO::ScramblerKey).decryptToString(stored), QString("Pa55-word"));
    QCOMPARE(s.value("proxyServer").toString(), QString("gate.example.org"));
    for (const QString& line : log.lines())
        QVERIFY2(!line.contains("Pa55-word"), qPrintable(line));
    QVERIFY(log.contains("[Proxy] server: "));
}

void TestLoginPlugin::unsavedSettingIsSaid_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("language") << "lang";
    QTest::newRow("timeout") << "vpnTimeout";
    QTest::newRow("proxy server, edited again while the box is open") << "proxyServer";
}

// A file where the settings folder goes (root writes into any folder): the
// change is not stored, and the user is told why instead of promised a restart.
void TestLoginPlugin::unsavedSettingIsSaid()
{
    QFETCH(QString, key);
    ORVO::LoginPlugin* p = logintest::plugin();
    QVERIFY(p->newWindow(QVariantMap()));
    const QString folder = QFileInfo(p->settings->fileName()).absolutePath();
    QVERIFY(QDir(folder).removeRecursively());
    QVERIFY(orvotest::writeFile(folder, "x"));
    orvotest::LogCapture log;
    Ui_AdvForm* f = p->advForm->form();
    if (key == "lang") {
        f->langComboBox->setCurrentIndex(1);
        emit f->langComboBox->activated(1);
    } else if (key == "vpnTimeout") {
        f->vpnTimeoutEdit->setText("75");
        emit f->vpnTimeoutEdit->editingFinished();
    } else {
        // The box takes the focus, and the edit finishes once more.
        f->proxyServerEdit->setText("proxy.example");
        QTimer::singleShot(0, f->proxyServerEdit, &LineEdit::editingFinished);
        emit f->proxyServerEdit->editingFinished();
    }
    QVERIFY(QFile::remove(folder));
    const QStringList boxes = log.lines().filter("[MessageBox] Auto-answer");
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes.at(0).endsWith("The setting could not be saved: cannot create the folder " +
                                  folder + ": " + folder + " is not a folder\""),
             qPrintable(boxes.at(0)));
    QVERIFY(!p->settings->contains(key));
    // The form shows what is stored, not the refused choice.
    if (key == "proxyServer")
        QCOMPARE(p->advForm->proxyServer(), QString());
    else
        QCOMPARE(key == "lang" ? f->langComboBox->currentIndex() : p->advForm->vpnTimeout(),
                 key == "lang" ? 0 : 60);
}

void TestLoginPlugin::statesDriveTheForm()
{
    QVERIFY(logintest::writeProfile(env->dataDir(), "office", "vpn"));
    QVERIFY(logintest::writeProfile(env->dataDir(), "portal", "ls"));
    ORVO::LoginPlugin* p = logintest::plugin();
    QVERIFY(p->newWindow(QVariantMap()));
    LoginForm* form = p->loginForm;
    ComboBox* combo = form->form()->profileComboBox;
    LineEdit* pass = form->form()->passwordEdit;
    const auto show = [combo](const QString& id) {
        combo->comboBox()->setCurrentIndex(combo->comboBox()->findText(id));
    };
    // A session first heard of as connected blocks the form too. Found up
    // at the start, a management-server profile's form says how its portal
    // comes; an OpenVPN profile's has no portal to tell of.
    show("portal");
    emit p->plainConnection(true, "Sign out and in again");
    emit p->stateChanged(libvelcor::StateConnected);
    QVERIFY(!form->profileInfoButton()->isEnabled());
    QVERIFY(form->form()->profileHint->text().contains("Sign out and in again"));
    show("office");
    emit p->stateChanged(libvelcor::StateConnected);
    QCOMPARE(form->form()->profileHint->text(), QString("Close the connection to modify profiles"));
    emit p->plainConnection(false, QString());
    emit p->stateChanged(libvelcor::StateIdle);
    pass->setText("typed");
    Recorder rec(p);
    // The form in a scene, in a window where SIGN IN has the focus.
    QGraphicsScene scene;
    QWidget top;
    new QPushButton(&top);
    auto* view = new QGraphicsView(&scene, &top);
    scene.addItem(p->window.data());

    emit p->stateChanged(libvelcor::StateConnecting);
    QVERIFY(!combo->comboBox()->isEnabled());
    QVERIFY(!form->profileInfoButton()->isEnabled());
    // Nothing typed while connected would go anywhere.
    QVERIFY(!pass->lineEdit()->isEnabled());
    // A sign-in starts only from the signed-out state.
    pressReturn(pass->lineEdit());
    emit p->stateChanged(libvelcor::StateReconnecting);
    QVERIFY(!combo->comboBox()->isEnabled());
    emit p->stateChanged(libvelcor::StateConnected);
    QCOMPARE(pass->text(), QString(""));
    pressReturn(pass->lineEdit());
    QCOMPARE(rec.order, QStringList());
    emit p->stateChanged(libvelcor::StateIdle);
    QVERIFY(combo->comboBox()->isEnabled());
    QVERIFY(form->profileInfoButton()->isEnabled());
    // The tray's Connect never sends the emptied field: it shows it.
    emit p->authRequest();
    QCOMPARE(rec.order, QStringList());
    QVERIFY(top.isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), view);
    QVERIFY(pass->lineEdit()->hasFocus());
    pressReturn(pass->lineEdit());
    QCOMPARE(rec.order.count("connect"), 1);
    pass->setText("typed");
    emit p->authRequest();
    QCOMPARE(rec.order.count("connect"), 2);

    // An editor opened just before the session started saves nothing
    // while it runs.
    QTest::mouseClick(form->profileInfoButton(), Qt::LeftButton);
    auto* editor = top.findChild<ProfilesDialog*>();
    QVERIFY(editor);
    emit p->stateChanged(libvelcor::StateConnecting);
    editor->form()->nameEdit->setText("");
    QVERIFY(QMetaObject::invokeMethod(editor, "okClicked"));
    QCOMPARE(editor->form()->fieldHint->text(), form->form()->profileHint->text());
    emit p->stateChanged(libvelcor::StateConnected);
    QCOMPARE(editor->form()->fieldHint->text(), form->form()->profileHint->text());
    // Over, the session's note gives way to the field's own refusal.
    emit p->stateChanged(libvelcor::StateIdle);
    QCOMPARE(editor->form()->fieldHint->text(), QString("A profile needs a name."));
    QVERIFY(QFileInfo::exists(env->dataDir() + "/profiles/office.profile"));
}

void TestLoginPlugin::windowIsGuarded()
{
    ORVO::LoginPlugin* p = logintest::plugin();
    QVERIFY(p->newWindow(QVariantMap()));
    QPointer<LogForm> firstExt = p->getLogFormExt();
    delete p->window.data();
    QVERIFY(p->window.isNull());
    QVERIFY(p->loginForm.isNull());
    // The forms went with the window: state changes reach nothing.
    emit p->stateChanged(libvelcor::StateConnected);
    p->setProgress(1, 12, "step");
    // A new window after a deleted one.
    ORVO::PluginWindow* w = p->newWindow(QVariantMap());
    QVERIFY(w);
    QCOMPARE(p->window.data(), w);
    QVERIFY(!firstExt.isNull());
    QVERIFY(p->getLogFormExt() != firstExt.data());
    delete firstExt.data();
}

// The profile button opens the editor on the profile the combo box shows
// (by id: the two lists sort alike, but ids equal but for case would
// otherwise be a matter of order), and an edit saved there reaches the form.
void TestLoginPlugin::editorOpensOnTheChosenProfile()
{
    ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
    for (const char* id : {"beta", "Alpha", "alpha"})
        QVERIFY(logintest::writeProfile(env->dataDir(), id, "ls"));
    ORVO::LoginPlugin* p = logintest::plugin();
    QVERIFY(p->newWindow(QVariantMap()));
    LoginForm* form = p->loginForm;
    QComboBox* combo = form->form()->profileComboBox->comboBox();
    QCOMPARE(combo->count(), 3);
    for (int row = 0; row < combo->count(); ++row) {
        combo->setCurrentIndex(row);
        const QString id = combo->currentText();
        QTest::mouseClick(form->profileInfoButton(), Qt::LeftButton);
        auto* editor = form->window()->findChild<ProfilesDialog*>();
        QVERIFY(editor);
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->form()->nameEdit->text(), id);
        editor->hide();
    }
    // "beta" is last in both lists; a new user name saved with OK.
    auto* editor = form->window()->findChild<ProfilesDialog*>();
    QCOMPARE(editor->form()->nameEdit->text(), QStringLiteral("beta"));
    editor->form()->userEdit->setText("carol");
    QMetaObject::invokeMethod(editor->form()->userEdit, "editingFinished");
    QVERIFY(QMetaObject::invokeMethod(editor, "okClicked"));
    QCOMPARE(combo->currentText(), QStringLiteral("beta"));
    ORVO::ConnProfiles fresh;
    QCOMPARE(fresh.load(), 0);
    QVERIFY(fresh.get("beta"));
    QCOMPARE(fresh.get("beta")->getAuth().getUser(), QStringLiteral("carol"));
}

// Without any profile, SIGN IN and the tray's Connect open the editor on a
// new one, as the first start does, and send nothing.
void TestLoginPlugin::signInWithoutProfileOpensEditor()
{
    ORVO::LoginPlugin* p = logintest::plugin();
    QVERIFY(p->newWindow(QVariantMap()));
    emit p->stateChanged(libvelcor::StateIdle);
    Recorder rec(p);
    for (bool tray : {false, true}) {
        tray ? emit p->authRequest() : p->signInClicked();
        ProfilesDialog* editor = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            editor = w->isVisible() && qobject_cast<ProfilesDialog*>(w)
                         ? static_cast<ProfilesDialog*>(w)
                         : editor;
        QVERIFY(editor);
        QCOMPARE(editor->form()->listWidget->count(), 1);
        // Asked again while it is open: what is typed stays.
        editor->form()->serverEdit->setText(QStringLiteral("typed"));
        tray ? p->signInClicked() : emit p->authRequest();
        QCOMPARE(editor->form()->serverEdit->text(), QStringLiteral("typed"));
        editor->close();
    }
    QCOMPARE(rec.order, QStringList());
}

void TestLoginPlugin::editorOpenStartsNothing_data()
{
    QTest::addColumn<bool>("removed"); // the chosen profile, else its user changed
    QTest::newRow("SIGN IN, a new user name") << false;
    QTest::newRow("tray's Connect, the chosen profile removed") << true;
}

// The editor's working set is not what is saved: while it is open no
// sign-in starts, and what it holds unsaved (a removal, a new user name)
// never reaches the service nor the user's choice of profile.
void TestLoginPlugin::editorOpenStartsNothing()
{
    QFETCH(bool, removed);
    QVERIFY(logintest::writeProfile(env->dataDir(), "alpha", "vpn"));
    QVERIFY(logintest::writeProfile(env->dataDir(), "beta", "vpn"));
    QSettings(ORVO::org(), ORVO::ApplicationId).setValue("profile", "beta");
    ORVO::LoginPlugin* p = logintest::plugin();
    QVERIFY(p->newWindow(QVariantMap()));
    LoginForm* form = p->loginForm;
    LineEdit* pass = form->form()->passwordEdit;
    pass->setText("typed");
    QTest::mouseClick(form->profileInfoButton(), Qt::LeftButton);
    auto* editor = form->window()->findChild<ProfilesDialog*>();
    QVERIFY(editor);
    if (removed) {
        QTest::mouseClick(editor->form()->removeButton, Qt::LeftButton);
    } else {
        editor->form()->userEdit->setText("unsaved-user");
        QVERIFY(QMetaObject::invokeMethod(editor->form()->userEdit, "editingFinished"));
    }
    Recorder rec(p);
    removed ? emit p->authRequest() : p->signInClicked();
    QCOMPARE(rec.order, QStringList());
    QVERIFY(editor->form()->fieldHint->isVisible());
    QTest::mouseClick(editor->form()->cancelButton, Qt::LeftButton);
    QCOMPARE(form->form()->profileComboBox->comboBox()->currentText(), QString("beta"));
    QCOMPARE(QSettings(ORVO::org(), ORVO::ApplicationId).value("profile"), QVariant("beta"));
}

// In the main window the form sits in an item of a graphics scene: the
// editor is still a whole window of its own over that window, and goes
// with the form whose store it edits.
void TestLoginPlugin::editorIsAWindowOfItsOwn()
{
    QVERIFY(logintest::writeProfile(env->dataDir(), "demo-vpn", "vpn"));
    ORVO::LoginPlugin* p = logintest::plugin();
    QVERIFY(p->newWindow(QVariantMap()));
    QGraphicsScene scene;
    QGraphicsView view(&scene);
    scene.addItem(p->window.data());
    view.show();
    QTest::mouseClick(p->loginForm->profileInfoButton(), Qt::LeftButton);
    QPointer<ProfilesDialog> editor = view.findChild<ProfilesDialog*>();
    QVERIFY(editor);
    QVERIFY(editor->isWindow() && editor->isVisible());
    QVERIFY(!editor->graphicsProxyWidget());
    delete p->window.data();
    QVERIFY(editor.isNull());
}

ORVO_TEST_GUI_MAIN(TestLoginPlugin)
#include "tst_loginplugin.moc"
