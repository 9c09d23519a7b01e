// The profile editor's form, which fields each kind of profile shows, and
// showing one profile after another.

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegExpValidator>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

#include <memory>

#include "common/common.h"
#include "editorfixture.h"
#include "gui/widgets/clickablelabel.h"
#include "logcapture.h"
#include "testmain.h"

using edtest::Rig;
using ORVO::ConnProfile;

namespace {

// The fields whose visibility depends on the profile, by object name.
QList<QPair<QString, QWidget*>> fields(Ui_profilesDialog* f)
{
    return {{"nameEdit", f->nameEdit},
            {"configCombo", f->configCombo},
            {"configFilesWidget", f->configFilesWidget},
            {"serverEdit", f->serverEdit},
            {"selectVpnCaEdit", f->selectVpnCaEdit},
            {"manualAuthCheck", f->manualAuthCheck},
            {"authCombo", f->authCombo},
            {"userEdit", f->userEdit},
            {"selectP12Edit", f->selectP12Edit},
            {"rememberAuthCheck", f->rememberAuthCheck},
            {"passEdit", f->passEdit},
            {"serverPortWidget", f->serverPortWidget},
            {"verifyCaCheck", f->verifyCaCheck},
            {"selectLsCaEdit", f->selectLsCaEdit},
            {"deviceCombo", f->deviceCombo},
            {"protoCombo", f->protoCombo},
            {"enableCompCheck", f->enableCompCheck},
            {"pullRoutesCheck", f->pullRoutesCheck},
            {"fallbackServerEnable", f->fallbackServerEnable},
            {"fallbackServerEdit", f->fallbackServerEdit},
            {"fallbackPortWidget", f->fallbackPortWidget},
            {"fallbackProtoCombo", f->fallbackProtoCombo}};
}

// The fields on view once their tab is chosen: not hidden, on a page that
// the tab widget holds.
QString shownFields(Ui_profilesDialog* f)
{
    const bool advanced = f->tabWidget->indexOf(f->advancedTab) >= 0;
    QStringList names;
    for (const auto& field : fields(f)) {
        if (!advanced && f->advancedTab->isAncestorOf(field.second))
            continue;
        if (!field.second->isHidden())
            names << field.first;
    }
    return names.join(' ');
}

// How a profile of the tables is set up.
struct Shape
{
    ConnProfile::Type type;
    ConnProfile::ConfigMode mode;
    libvelcor::Auth::Type auth;
    bool manualAuth;
    bool remember;
    bool caVerify;
    bool fallback;
};

bool shape(ConnProfile* p, const Shape& s, const QString& dir)
{
    p->setType(s.type);
    if (s.mode == ConnProfile::FilesConfigMode && !edtest::makeVpnFiles(p, dir, s.manualAuth))
        return false;
    p->setConfigMode(s.mode);
    p->setManualAuth(s.manualAuth);
    p->getAuth().setType(s.auth);
    p->setRememberAuth(s.remember);
    p->setCaVerify(s.caVerify);
    p->getVpnConfig().setFallbackEnabled(s.fallback);
    return true;
}

} // namespace

Q_DECLARE_METATYPE(Shape)

class TestProfilesDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void construction();
    void nameValidator_data();
    void nameValidator();
    void returnFinishesOnlyTheField();
    void visibility_data();
    void visibility();
    void tabsFollowTheProfile();
    void showingKeepsStoredFlags_data();
    void showingKeepsStoredFlags();
    void emptyFilesListIsTinted();
    void showingTwiceChangesNothing();

private:
    std::unique_ptr<Rig> rig;
    std::unique_ptr<orvotest::LogCapture> capture;
};

void TestProfilesDialog::initTestCase()
{
    initEditorResources();
    qRegisterMetaType<Shape>();
}

void TestProfilesDialog::init()
{
    capture.reset(new orvotest::LogCapture);
    rig.reset(new Rig);
}

void TestProfilesDialog::cleanup()
{
    rig.reset();
    capture.reset();
}

void TestProfilesDialog::construction()
{
    ProfilesDialog& d = rig->dialog;
    Ui_profilesDialog* f = rig->f();
    QCOMPARE(d.windowTitle(), ORVO::app() + " Connection Profiles");
    QVERIFY(d.testAttribute(Qt::WA_AlwaysShowToolTips));
    QVERIFY(!d.isVisible());

    // The shared style names replace the names the form was built with.
    const QList<QPushButton*> buttons = d.findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), 5);
    for (QPushButton* b : buttons) {
        QCOMPARE(b->objectName(), QStringLiteral("actionButton"));
        QVERIFY(!b->autoDefault());
    }
    const QList<QCheckBox*> checks = d.findChildren<QCheckBox*>();
    QCOMPARE(checks.size(), 6);
    for (QCheckBox* c : checks)
        QCOMPARE(c->objectName(), QStringLiteral("CheckBox"));
    const QList<LineEdit*> edits = d.findChildren<LineEdit*>();
    QCOMPARE(edits.size(), 8);
    for (LineEdit* e : edits) {
        QCOMPARE(e->label()->objectName(), QStringLiteral("lineEditLabelSm"));
        QCOMPARE(e->lineEdit()->objectName(), QStringLiteral("lineEditSm"));
        QCOMPARE(e->height(), 26);
        QCOMPARE(e->lineEdit()->width(), 200);
    }
    for (QSpinBox* spin : {f->serverPortSpin, f->fallbackPortSpin}) {
        QCOMPARE(spin->objectName(), QStringLiteral("spinBoxWithLabelSm"));
        QCOMPARE(spin->value(), 1194);
        QCOMPARE(spin->minimum(), 1);
        QCOMPARE(spin->maximum(), 65535);
    }
    QCOMPARE(f->serverPortLabel->objectName(), QStringLiteral("labelRoundedLeftSm"));
    QCOMPARE(f->fallbackPortLabel->objectName(), QStringLiteral("labelRoundedLeftSm"));
    QCOMPARE(f->okButton->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(f->listWidget->focusPolicy(), Qt::NoFocus);
    QVERIFY(f->listWidget->isSortingEnabled());

    // Two tabs share 424 pixels until a profile is shown.
    QCOMPARE(f->tabWidget->size(), QSize(424, 450));
    QCOMPARE(f->tabWidget->count(), 2);
    QCOMPARE(f->tabWidget->styleSheet(), QStringLiteral("QTabBar::tab { width: 212px; }"));
    QCOMPARE(f->tabWidget->tabBar()->objectName(), QStringLiteral("tabWidget"));
    QCOMPARE(f->tabWidget->tabBar()->property("smalltabs").toBool(), true);

    QCOMPARE(f->passEdit->lineEdit()->echoMode(), QLineEdit::Password);
    for (LineEdit* e : {f->selectVpnCaEdit, f->selectLsCaEdit, f->selectP12Edit})
        QVERIFY(e->lineEdit()->isReadOnly());
    for (LineEdit* e :
         {f->nameEdit, f->serverEdit, f->userEdit, f->passEdit, f->fallbackServerEdit})
        QVERIFY(!e->lineEdit()->isReadOnly());

    // Rows in the order of the values they stand for.
    const QList<QPair<ComboBox*, QStringList>> combos{
        {f->configCombo, {"Manual", "From files"}},
        {f->authCombo, {"Username / Password", "Certificate"}},
        {f->deviceCombo, {"TAP", "TUN"}},
        {f->protoCombo, {"UDP", "TCP"}},
        {f->fallbackProtoCombo, {"UDP", "TCP"}}};
    for (const auto& combo : combos) {
        QStringList items;
        for (int i = 0; i < combo.first->comboBox()->count(); ++i)
            items << combo.first->comboBox()->itemText(i);
        QCOMPARE(items, combo.second);
    }
}

void TestProfilesDialog::nameValidator_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("finishes");

    QTest::newRow("letters digits dash underscore blank") << "Office-2_b c"
                                                          << "Office-2_b c" << true;
    QTest::newRow("slash and dot refused") << "a/b.c"
                                           << "abc" << true;
    QTest::newRow("accented letter refused") << QString::fromUtf8("caf\xc3\xa9") << "caf" << true;
    QTest::newRow("only refused characters") << "../"
                                             << "A" << true;
    QTest::newRow("emptied") << ""
                             << "" << false;
}

void TestProfilesDialog::nameValidator()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, finishes);

    rig->store.add("A");
    rig->dialog.load(0, false);
    rig->dialog.show();
    QLineEdit* name = rig->f()->nameEdit->lineEdit();
    QVERIFY(qobject_cast<const QRegExpValidator*>(name->validator()));
    QSignalSpy finished(rig->f()->nameEdit, SIGNAL(editingFinished()));

    edtest::enter(rig->f()->nameEdit, typed);
    QCOMPARE(name->text(), shown);
    QCOMPARE(finished.count(), finishes ? 1 : 0);
}

void TestProfilesDialog::returnFinishesOnlyTheField()
{
    ConnProfile* a = rig->store.add("A");
    QVERIFY(edtest::makeVpnManual(a, "vpn.example.org", "alice", rig->env.root()));
    rig->dialog.load(0, false);
    rig->dialog.show();
    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));

    // In a dialog Return would also press the default button: here it
    // commits the field and nothing else.
    edtest::enter(rig->f()->userEdit, "bob");
    edtest::enter(rig->f()->serverEdit, "vpn2.example.org");
    QCOMPARE(a->getAuth().getUser(), QStringLiteral("bob"));
    QCOMPARE(a->getVpnConfig().getRemote(), QStringLiteral("vpn2.example.org"));
    QCOMPARE(rig->store.size(), 1);
    QVERIFY(rig->dialog.isVisible());
    QCOMPARE(saved.count(), 0);
}

void TestProfilesDialog::visibility_data()
{
    QTest::addColumn<Shape>("shape");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("tabs");

    const auto ls = ConnProfile::LsType;
    const auto vpn = ConnProfile::VpnType;
    const auto manual = ConnProfile::ManualConfigMode;
    const auto files = ConnProfile::FilesConfigMode;
    const auto pass = libvelcor::Auth::UserPassType;
    const auto cert = libvelcor::Auth::CertificateType;
    const auto none = libvelcor::Auth::NoneType;
    const QString tunnel =
        " deviceCombo protoCombo enableCompCheck pullRoutesCheck fallbackServerEnable";
    const QString fallback = " fallbackServerEdit fallbackPortWidget fallbackProtoCombo";

    QTest::newRow("ls, password, remembered")
        << Shape{ls, manual, pass, true, true, false, false}
        << "nameEdit serverEdit userEdit rememberAuthCheck passEdit serverPortWidget verifyCaCheck"
        << 2;
    QTest::newRow("ls, certificate, not remembered, CA checked")
        << Shape{ls, manual, cert, true, false, true, false}
        << "nameEdit serverEdit selectP12Edit rememberAuthCheck serverPortWidget verifyCaCheck "
           "selectLsCaEdit"
        << 2;
    // Manual authentication off does not hide an ls profile's credential.
    QTest::newRow("ls, manual authentication off")
        << Shape{ls, files, pass, false, true, false, true}
        << "nameEdit serverEdit userEdit rememberAuthCheck passEdit serverPortWidget verifyCaCheck"
        << 2;
    QTest::newRow("vpn manual, password, fallback off")
        << Shape{vpn, manual, pass, true, true, false, false}
        << "nameEdit configCombo serverEdit selectVpnCaEdit authCombo userEdit rememberAuthCheck "
           "passEdit serverPortWidget" +
               tunnel
        << 2;
    QTest::newRow("vpn manual, certificate, manual authentication off, fallback on")
        << Shape{vpn, manual, cert, false, true, false, true}
        << "nameEdit configCombo serverEdit selectP12Edit rememberAuthCheck passEdit "
           "serverPortWidget" +
               tunnel + fallback
        << 2;
    QTest::newRow("vpn manual, no credential type")
        << Shape{vpn, manual, none, true, false, false, false}
        << "nameEdit configCombo serverEdit authCombo selectP12Edit rememberAuthCheck "
           "serverPortWidget" +
               tunnel
        << 2;
    QTest::newRow("vpn files, manual authentication off")
        << Shape{vpn, files, pass, false, true, false, true}
        << "nameEdit configCombo configFilesWidget manualAuthCheck" << 1;
    QTest::newRow("vpn files, password, not remembered")
        << Shape{vpn, files, pass, true, false, false, false}
        << "nameEdit configCombo configFilesWidget manualAuthCheck authCombo userEdit "
           "rememberAuthCheck"
        << 1;
    QTest::newRow("vpn files, certificate, remembered")
        << Shape{vpn, files, cert, true, true, false, false}
        << "nameEdit configCombo configFilesWidget manualAuthCheck authCombo selectP12Edit "
           "rememberAuthCheck passEdit"
        << 1;
}

void TestProfilesDialog::visibility()
{
    QFETCH(Shape, shape);
    QFETCH(QString, shown);
    QFETCH(int, tabs);

    ConnProfile* p = rig->store.add("P");
    QVERIFY(::shape(p, shape, rig->env.root()));
    rig->dialog.load(0, false);
    rig->dialog.show();

    QCOMPARE(shownFields(rig->f()), shown);
    QCOMPARE(rig->f()->tabWidget->count(), tabs);
    QVERIFY(rig->f()->tabWidget->isVisible());
    QCOMPARE(rig->f()->passEdit->label()->text(), shape.auth == libvelcor::Auth::UserPassType
                                                      ? QStringLiteral("Password")
                                                      : QStringLiteral("PKCS#12 password"));
    // Nothing is disabled: fields only come and go.
    for (const auto& field : fields(rig->f()))
        QVERIFY2(field.second->isEnabled(), qPrintable(field.first));
}

void TestProfilesDialog::tabsFollowTheProfile()
{
    ConnProfile* ls = rig->store.add("a-ls");
    ls->setType(ConnProfile::LsType);
    rig->store.add("b-manual");
    ConnProfile* files = rig->store.add("c-files");
    QVERIFY(edtest::makeVpnFiles(files, rig->env.root(), true));
    Ui_profilesDialog* f = rig->f();
    rig->dialog.show();

    struct Step
    {
        const char* id;
        int tabs;
        const char* width;
    };
    // ls after manual keeps the tab; files drops it and the one tab takes
    // 420 pixels; manual brings it back at index 1.
    const Step steps[] = {{"b-manual", 2, "210"}, {"a-ls", 2, "210"},    {"c-files", 1, "420"},
                          {"b-manual", 2, "210"}, {"c-files", 1, "420"}, {"a-ls", 2, "210"}};
    for (const Step& step : steps) {
        QCOMPARE(rig->dialog.load(QString::fromLatin1(step.id), false), 0);
        QCOMPARE(f->tabWidget->count(), step.tabs);
        QCOMPARE(f->tabWidget->styleSheet(),
                 QStringLiteral("QTabBar::tab { width: %1px; }").arg(step.width));
        QCOMPARE(f->tabWidget->widget(0), f->connectionTab);
        if (step.tabs == 2) {
            QCOMPARE(f->tabWidget->widget(1), f->advancedTab);
            QCOMPARE(f->tabWidget->tabText(1), QStringLiteral("Advanced"));
        }
    }
    // The page left the tab widget but kept its fields.
    QVERIFY(f->advancedTab->findChild<QSpinBox*>());
}

void TestProfilesDialog::showingKeepsStoredFlags_data()
{
    QTest::addColumn<Shape>("first");
    QTest::addColumn<Shape>("second");

    const auto ls = ConnProfile::LsType;
    const auto vpn = ConnProfile::VpnType;
    const auto manual = ConnProfile::ManualConfigMode;
    const auto files = ConnProfile::FilesConfigMode;
    const auto pass = libvelcor::Auth::UserPassType;
    const auto cert = libvelcor::Auth::CertificateType;

    // The remember box is hidden for the second profile while it was
    // checked for the first.
    QTest::newRow("remembered manual, then files without manual authentication")
        << Shape{vpn, manual, pass, true, true, false, true}
        << Shape{vpn, files, pass, false, true, false, false};
    QTest::newRow("files without manual authentication, then manual not remembered")
        << Shape{vpn, files, cert, false, true, false, false}
        << Shape{vpn, manual, pass, false, false, false, true};
    QTest::newRow("vpn with fallback, then ls with CA check")
        << Shape{vpn, manual, pass, true, true, false, true}
        << Shape{ls, manual, cert, true, false, true, false};
    QTest::newRow("ls with CA check, then vpn files")
        << Shape{ls, manual, pass, false, true, true, false}
        << Shape{vpn, files, pass, true, false, false, true};
}

void TestProfilesDialog::showingKeepsStoredFlags()
{
    QFETCH(Shape, first);
    QFETCH(Shape, second);

    ConnProfile* a = rig->store.add("A");
    ConnProfile* b = rig->store.add("B");
    QVERIFY(shape(a, first, rig->env.root()));
    QVERIFY(shape(b, second, rig->env.root()));
    // Flags that differ between the two.
    a->getVpnConfig().setCompEnabled(true);
    b->setPullRoutes(false);
    const ConnProfile beforeA(*a);
    const ConnProfile beforeB(*b);

    rig->dialog.show();
    for (const char* id : {"A", "B", "A", "B"}) {
        rig->dialog.load(QString::fromLatin1(id), false);
        QVERIFY(*a == beforeA);
        QVERIFY(*b == beforeB);
    }
    QCOMPARE(b->getRememberAuth(), second.remember);
    QCOMPARE(b->getManualAuth(), second.manualAuth);
}

void TestProfilesDialog::emptyFilesListIsTinted()
{
    ConnProfile* p = rig->store.add("P");
    p->setConfigMode(ConnProfile::FilesConfigMode);
    rig->dialog.load(0, false);
    QLabel* label = rig->f()->configFilesLabel;
    QCOMPARE(label->styleSheet(), QStringLiteral("QLabel { color: #ffcccc }"));
    QCOMPARE(rig->f()->configFilesWidget->toolTip(), QString());

    const QString a = rig->env.root() + "/a.ovpn";
    const QString b = rig->env.root() + "/b.crt";
    QVERIFY(orvotest::writeFile(a, "client\nremote vpn.example.org 1194\n"));
    QVERIFY(orvotest::writeFile(b, "not a configuration\n"));
    QCOMPARE(p->setConfigFiles({a, b}, QString(), true), 0);
    rig->dialog.load(0, false);
    QCOMPARE(label->styleSheet(), QStringLiteral("QLabel { }"));
    QCOMPARE(rig->f()->configFilesWidget->toolTip(), a + "\n" + b);
    QVERIFY(label->text().contains('2'));
}

void TestProfilesDialog::showingTwiceChangesNothing()
{
    ConnProfile* p = rig->store.add("P");
    QVERIFY(edtest::makeVpnManual(p, "vpn.example.org", "", rig->env.root()));
    rig->dialog.load(0, false);
    Ui_profilesDialog* f = rig->f();
    // An empty required field is tinted, a filled one is not.
    QCOMPARE(f->userEdit->styleSheet(),
             QStringLiteral("QLineEdit#lineEditSm { background-color: #ffcccc }"));
    QCOMPARE(f->serverEdit->styleSheet(), QStringLiteral("QLineEdit#lineEditSm { }"));

    const QString before = shownFields(f);
    QList<QSignalSpy*> spies;
    for (QCheckBox* c : rig->dialog.findChildren<QCheckBox*>())
        spies << new QSignalSpy(c, SIGNAL(stateChanged(int)));
    for (LineEdit* e : rig->dialog.findChildren<LineEdit*>())
        spies << new QSignalSpy(e, SIGNAL(textChanged(QString)));
    const ConnProfile copy(*p);
    rig->dialog.load(0, false);
    for (QSignalSpy* spy : spies)
        QCOMPARE(spy->count(), 0);
    qDeleteAll(spies);
    QCOMPARE(shownFields(f), before);
    QVERIFY(*p == copy);
}

ORVO_TEST_GUI_MAIN(TestProfilesDialog)
#include "tst_profilesdialog.moc"
