// The profile editor's form and which fields each kind of profile shows.

#include <QApplication>
#include <QCheckBox>
#include <QRegExpValidator>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

#include <memory>

#include "common/common.h"
#include "common/utils.h"
#include "editorfixture.h"
#include "logcapture.h"
#include "testmain.h"

using edtest::Rig;
using ORVO::ConnProfile;

namespace {

// How a profile of the tables is set up: type, mode, credential type, and
// the flags manual authentication, remember, CA check, fallback.
struct Shape
{
    ConnProfile::Type type;
    ConnProfile::ConfigMode mode;
    libvelcor::Auth::Type auth;
    bool manualAuth, remember, caVerify, fallback;
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

// The fields on view once their tab is chosen: not hidden, on a page that
// the tab widget holds.
QString shownFields(Ui_profilesDialog* f)
{
    const QList<QPair<const char*, QWidget*>> fields{{"name", f->nameEdit},
                                                     {"mode", f->configCombo},
                                                     {"files", f->configFilesWidget},
                                                     {"server", f->serverEdit},
                                                     {"vpnCa", f->selectVpnCaEdit},
                                                     {"manualAuth", f->manualAuthCheck},
                                                     {"authType", f->authCombo},
                                                     {"user", f->userEdit},
                                                     {"p12", f->selectP12Edit},
                                                     {"remember", f->rememberAuthCheck},
                                                     {"pass", f->passEdit},
                                                     {"port", f->serverPortWidget},
                                                     {"verifyCa", f->verifyCaCheck},
                                                     {"lsCa", f->selectLsCaEdit},
                                                     {"device", f->deviceCombo},
                                                     {"proto", f->protoCombo},
                                                     {"lzo", f->enableCompCheck},
                                                     {"routes", f->pullRoutesCheck},
                                                     {"fallback", f->fallbackServerEnable},
                                                     {"fbServer", f->fallbackServerEdit},
                                                     {"fbPort", f->fallbackPortWidget},
                                                     {"fbProto", f->fallbackProtoCombo}};
    const bool advanced = f->tabWidget->indexOf(f->advancedTab) >= 0;
    QStringList names;
    for (const auto& field : fields) {
        if ((advanced || !f->advancedTab->isAncestorOf(field.second)) && !field.second->isHidden())
            names << QLatin1String(field.first);
    }
    return names.join(' ');
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
    void returnOnlyFinishesTheField();
    void visibility_data();
    void visibility();
    void showingKeepsStoredFlags_data();
    void showingKeepsStoredFlags();

private:
    std::unique_ptr<orvotest::LogCapture> capture;
    std::unique_ptr<Rig> rig;
};

void TestProfilesDialog::initTestCase()
{
    initEditorTests();
    qRegisterMetaType<Shape>();
}

// The log is captured per test; QtTest's own handler is installed by then.
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
    QVERIFY(d.styleSheet().startsWith(ORVO::utils::loadStyleSheet(":/main.css")));
    QVERIFY(!ORVO::utils::loadStyleSheet(":/main.css").isEmpty());
    // The shared style names replace the names the form was built with.
    for (QPushButton* b : d.findChildren<QPushButton*>())
        QCOMPARE(b->objectName(), QStringLiteral("actionButton"));
    QCOMPARE(d.findChildren<QPushButton*>().size(), 5);
    for (QCheckBox* c : d.findChildren<QCheckBox*>())
        QCOMPARE(c->objectName(), QStringLiteral("CheckBox"));
    QCOMPARE(d.findChildren<QCheckBox*>().size(), 6);
    for (LineEdit* e : d.findChildren<LineEdit*>()) {
        QCOMPARE(e->label()->objectName(), QStringLiteral("lineEditLabelSm"));
        QCOMPARE(e->lineEdit()->objectName(), QStringLiteral("lineEditSm"));
    }
    for (QSpinBox* spin : {f->serverPortSpin, f->fallbackPortSpin}) {
        QCOMPARE(spin->objectName(), QStringLiteral("spinBoxWithLabelSm"));
        QCOMPARE(spin->value(), 1194);
        QCOMPARE(spin->minimum(), 1);
        QCOMPARE(spin->maximum(), 65535);
    }
    QCOMPARE(f->serverPortLabel->objectName(), QStringLiteral("labelRoundedLeftSm"));
    QCOMPARE(f->tabWidget->tabBar()->objectName(), QStringLiteral("tabWidget"));
    QVERIFY(f->tabWidget->tabBar()->property("smalltabs").toBool());
    QCOMPARE(f->tabWidget->styleSheet(), QStringLiteral("QTabBar::tab { width: 212px; }"));
    QCOMPARE(f->passEdit->lineEdit()->echoMode(), QLineEdit::Password);
    for (LineEdit* e : {f->selectVpnCaEdit, f->selectLsCaEdit, f->selectP12Edit})
        QVERIFY(e->lineEdit()->isReadOnly());
    QCOMPARE(f->authCombo->comboBox()->itemText(1), QStringLiteral("Certificate"));
    QCOMPARE(f->deviceCombo->comboBox()->itemText(1), QStringLiteral("TUN"));
    QCOMPARE(f->fallbackProtoCombo->comboBox()->itemText(1), QStringLiteral("TCP"));
}

void TestProfilesDialog::nameValidator_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");

    QTest::newRow("letters digits dash underscore blank") << "Office-2_b c"
                                                          << "Office-2_b c";
    QTest::newRow("slash and dot refused") << "a/b.c"
                                           << "abc";
    QTest::newRow("accented letter refused") << QString::fromUtf8("caf\xc3\xa9") << "caf";
    // Even over a selection: the old name stays.
    QTest::newRow("only refused characters") << "../"
                                             << "A";
    QTest::newRow("emptied") << ""
                             << "";
}

void TestProfilesDialog::nameValidator()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);

    rig->store.add("A");
    rig->open("A");
    QVERIFY(qobject_cast<const QRegExpValidator*>(rig->f()->nameEdit->lineEdit()->validator()));
    QSignalSpy finished(rig->f()->nameEdit, SIGNAL(editingFinished()));
    edtest::enter(rig->f()->nameEdit, typed);
    QCOMPARE(rig->f()->nameEdit->text(), shown);
    // An empty name is never committed.
    QCOMPARE(finished.count(), shown.isEmpty() ? 0 : 1);
}

void TestProfilesDialog::returnOnlyFinishesTheField()
{
    ConnProfile* a = rig->store.add("A");
    QVERIFY(edtest::makeVpnManual(a, "alice", rig->env.root()));
    rig->open("A");
    // In a dialog Return would also press the default push button (here
    // the add button): it must only commit the field.
    edtest::enter(rig->f()->userEdit, "bob");
    QCOMPARE(a->getAuth().getUser(), QStringLiteral("bob"));
    QCOMPARE(rig->store.size(), 1);
    QVERIFY(rig->dialog.isVisible());
}

void TestProfilesDialog::visibility_data()
{
    QTest::addColumn<Shape>("shape");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("tabWidth");

    const auto ls = ConnProfile::LsType;
    const auto vpn = ConnProfile::VpnType;
    const auto manual = ConnProfile::ManualConfigMode;
    const auto files = ConnProfile::FilesConfigMode;
    const auto pass = libvelcor::Auth::UserPassType;
    const auto cert = libvelcor::Auth::CertificateType;
    const QString tunnel = " device proto lzo routes fallback";
    const QString fallback = " fbServer fbPort fbProto";

    QTest::newRow("ls, password, remembered") << Shape{ls, manual, pass, true, true, false, false}
                                              << "name server user remember pass port verifyCa"
                                              << "210";
    QTest::newRow("ls, certificate, not remembered, CA checked")
        << Shape{ls, manual, cert, true, false, true, false}
        << "name server p12 remember port verifyCa lsCa"
        << "210";
    QTest::newRow("ls, manual authentication off")
        << Shape{ls, files, pass, false, true, false, true}
        << "name server user remember pass port verifyCa"
        << "210";
    QTest::newRow("vpn manual, password")
        << Shape{vpn, manual, pass, true, true, false, false}
        << "name mode server vpnCa authType user remember pass port" + tunnel << "210";
    QTest::newRow("vpn manual, certificate, manual authentication off, fallback")
        << Shape{vpn, manual, cert, false, true, false, true}
        << "name mode server p12 remember pass port" + tunnel + fallback << "210";
    QTest::newRow("vpn manual, no credential type")
        << Shape{vpn, manual, libvelcor::Auth::NoneType, true, false, false, false}
        << "name mode server authType p12 remember port" + tunnel << "210";
    QTest::newRow("vpn files, manual authentication off")
        << Shape{vpn, files, pass, false, true, false, true} << "name mode files manualAuth"
        << "420";
    QTest::newRow("vpn files, password, not remembered")
        << Shape{vpn, files, pass, true, false, false, false}
        << "name mode files manualAuth authType user remember"
        << "420";
    QTest::newRow("vpn files, certificate, remembered")
        << Shape{vpn, files, cert, true, true, false, false}
        << "name mode files manualAuth authType p12 remember pass"
        << "420";
}

void TestProfilesDialog::visibility()
{
    QFETCH(Shape, shape);
    QFETCH(QString, shown);
    QFETCH(QString, tabWidth);

    // A manual OpenVPN profile shown first: the tab may have to go.
    rig->store.add("a");
    QVERIFY(::shape(rig->store.add("p"), shape, rig->env.root()));
    rig->open("a");
    rig->open("p");
    Ui_profilesDialog* f = rig->f();
    QCOMPARE(shownFields(f), shown);
    QCOMPARE(f->tabWidget->styleSheet(), "QTabBar::tab { width: " + tabWidth + "px; }");
    if (tabWidth == "210")
        QCOMPARE(f->tabWidget->widget(1), f->advancedTab);
    QCOMPARE(f->passEdit->label()->text(),
             shape.auth == libvelcor::Auth::UserPassType ? "Password" : "PKCS#12 password");
    // Back to the manual profile: the tab is back at index 1.
    rig->open("a");
    QCOMPARE(f->tabWidget->count(), 2);
    QCOMPARE(f->tabWidget->tabText(1), QStringLiteral("Advanced"));
}

void TestProfilesDialog::showingKeepsStoredFlags_data()
{
    QTest::addColumn<Shape>("first");
    QTest::addColumn<Shape>("second");

    const auto vpn = ConnProfile::VpnType;
    const auto manual = ConnProfile::ManualConfigMode;
    const auto files = ConnProfile::FilesConfigMode;
    const auto pass = libvelcor::Auth::UserPassType;
    const auto cert = libvelcor::Auth::CertificateType;

    // The second profile's remember box is hidden while it was checked.
    QTest::newRow("remembered manual, then files without manual authentication")
        << Shape{vpn, manual, pass, true, true, false, true}
        << Shape{vpn, files, pass, false, true, false, false};
    QTest::newRow("files without manual authentication, then not remembered")
        << Shape{vpn, files, cert, false, true, false, false}
        << Shape{vpn, manual, pass, false, false, false, true};
    QTest::newRow("vpn with fallback, then ls with CA check")
        << Shape{vpn, manual, pass, true, true, false, true}
        << Shape{ConnProfile::LsType, manual, cert, true, false, true, false};
}

void TestProfilesDialog::showingKeepsStoredFlags()
{
    QFETCH(Shape, first);
    QFETCH(Shape, second);

    ConnProfile* a = rig->store.add("A");
    ConnProfile* b = rig->store.add("B");
    QVERIFY(shape(a, first, rig->env.root()));
    QVERIFY(shape(b, second, rig->env.root()));
    a->getVpnConfig().setCompEnabled(true);
    b->setPullRoutes(false);
    const ConnProfile beforeA(*a);
    const ConnProfile beforeB(*b);
    for (const char* id : {"A", "B", "A", "B"}) {
        rig->open(QLatin1String(id));
        QVERIFY(*a == beforeA);
        QVERIFY(*b == beforeB);
    }
}

ORVO_TEST_GUI_MAIN(TestProfilesDialog)
#include "tst_profilesdialog.moc"
