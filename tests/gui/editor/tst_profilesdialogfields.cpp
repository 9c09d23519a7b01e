// The profile editor's fields: what each edit writes into the shown profile,
// the file choosers, and the fields that come and go with a flag.

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>
#include <QTabWidget>

#include <functional>
#include <memory>

#include "editorfixture.h"
#include "gui/testseams.h"
#include "logcapture.h"
#include "testmain.h"

using edtest::Rig;
using ORVO::ConnProfile;

namespace {

const QString Tinted = QStringLiteral("QLineEdit#lineEditSm { background-color: #ffcccc }");
const QString Plain = QStringLiteral("QLineEdit#lineEditSm { }");

} // namespace

class TestProfilesDialogFields : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void userAndPassword();
    void p12Chooser();
    void caChooser_data();
    void caChooser();
    void authType_data();
    void authType();
    void configMode();
    void configFiles();
    void serverAndPort();
    void lsPortDefault_data();
    void lsPortDefault();
    void refusedUrlIsReported();
    void checkStates_data();
    void checkStates();
    void flagsShowFields();
    void tunnelOptions();
    void nothingShown();

private:
    ConnProfile* showVpn(const QString& id = QStringLiteral("v"));
    ConnProfile* showLs(const QString& url);
    int boxes(const QString& text) const;

    std::unique_ptr<Rig> rig;
    std::unique_ptr<orvotest::LogCapture> capture;
};

void TestProfilesDialogFields::initTestCase()
{
    initEditorResources();
    ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
}

void TestProfilesDialogFields::init()
{
    capture.reset(new orvotest::LogCapture);
    rig.reset(new Rig);
}

void TestProfilesDialogFields::cleanup()
{
    rig.reset();
    capture.reset();
}

ConnProfile* TestProfilesDialogFields::showVpn(const QString& id)
{
    ConnProfile* p = rig->store.add(id);
    if (!edtest::makeVpnManual(p, "vpn.example.org", "alice", rig->env.root()))
        return nullptr;
    rig->dialog.load(id, false);
    rig->dialog.show();
    return p;
}

ConnProfile* TestProfilesDialogFields::showLs(const QString& url)
{
    ConnProfile* p = rig->store.add("ls");
    edtest::makeLs(p, url, "bob");
    rig->dialog.load(QStringLiteral("ls"), false);
    rig->dialog.show();
    return p;
}

// Message boxes shown (and answered by the seam) with this text.
int TestProfilesDialogFields::boxes(const QString& text) const
{
    return capture->count(QRegularExpression("Auto-answer .*" + QRegularExpression::escape(text)));
}

void TestProfilesDialogFields::userAndPassword()
{
    ConnProfile* p = showVpn();
    LineEdit* user = rig->f()->userEdit;
    edtest::typeInto(user, QString());
    QCOMPARE(user->styleSheet(), Tinted);
    QTest::keyClick(user->lineEdit(), 'b');
    QCOMPARE(user->styleSheet(), Plain);
    QTest::keyClick(user->lineEdit(), Qt::Key_Backspace);
    QCOMPARE(user->styleSheet(), Tinted);
    // Left empty, the stored name stays.
    edtest::pressReturn(user->lineEdit());
    QCOMPARE(p->getAuth().getUser(), QStringLiteral("alice"));
    edtest::enter(user, "bob");
    QCOMPARE(p->getAuth().getUser(), QStringLiteral("bob"));

    LineEdit* pass = rig->f()->passEdit;
    edtest::enter(pass, QString());
    QCOMPARE(pass->styleSheet(), Tinted);
    QCOMPARE(p->getAuth().getPass(), QStringLiteral("secret"));
    edtest::enter(pass, "n3w");
    QCOMPARE(p->getAuth().getPass(), QStringLiteral("n3w"));
}

void TestProfilesDialogFields::p12Chooser()
{
    ConnProfile* p = showVpn();
    edtest::choose(rig->f()->authCombo, libvelcor::Auth::CertificateType);
    LineEdit* field = rig->f()->selectP12Edit;
    QVERIFY(!field->isHidden());
    QCOMPARE(field->styleSheet(), Tinted);

    rig->choosers.singleAnswers << "/Users/u/certs/client.p12";
    edtest::click(field);
    QCOMPARE(rig->choosers.captions, QStringList("Select a PKCS#12 file"));
    QCOMPARE(rig->choosers.filters, QStringList("PKCS#12 File (*.p12)"));
    QCOMPARE(p->getAuth().getPath(), QStringLiteral("/Users/u/certs/client.p12"));
    QCOMPARE(p->getVpnConfig().getP12Path(), QStringLiteral("client.p12"));
    QCOMPARE(field->text(), QStringLiteral("/Users/u/certs/client.p12"));
    QCOMPARE(field->lineEdit()->toolTip(), QStringLiteral("/Users/u/certs/client.p12"));
    QCOMPARE(field->styleSheet(), Plain);

    // The label takes clicks too; a cancelled chooser changes nothing.
    QTest::mouseClick(field->label(), Qt::LeftButton);
    QCOMPARE(rig->choosers.captions.size(), 2);
    QVERIFY(capture->contains("[ProfilesDialog] Chosen PKCS12: \"\""));
    QCOMPARE(field->text(), QStringLiteral("/Users/u/certs/client.p12"));
    QCOMPARE(p->getAuth().getPath(), QStringLiteral("/Users/u/certs/client.p12"));
}

void TestProfilesDialogFields::caChooser_data()
{
    QTest::addColumn<bool>("ls");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("refusals");
    QTest::addColumn<QString>("taken");

    QTest::newRow("a certificate at once") << false << QStringList{"good.pem"} << 0 << "good.pem";
    QTest::newRow("not PEM, DER, then a certificate")
        << false << QStringList{"text.pem", "der.crt", "good.pem"} << 2 << "good.pem";
    QTest::newRow("missing file, then a certificate")
        << true << QStringList{"missing.pem", "good.pem"} << 1 << "good.pem";
    QTest::newRow("not PEM, then cancelled") << true << QStringList{"text.pem", ""} << 1 << "";
    QTest::newRow("cancelled") << true << QStringList{""} << 0 << "";
    QTest::newRow("several certificates") << true << QStringList{"chain.pem"} << 0 << "chain.pem";
    // As a pattern it would name d1/ca.pem, which holds no certificate.
    QTest::newRow("wildcards taken literally")
        << false << QStringList{"d[1]/ca.pem"} << 0 << "d[1]/ca.pem";
}

void TestProfilesDialogFields::caChooser()
{
    QFETCH(bool, ls);
    QFETCH(QStringList, answers);
    QFETCH(int, refusals);
    QFETCH(QString, taken);

    const QString dir = rig->env.root() + "/certs/";
    QVERIFY(orvotest::writeFile(dir + "good.pem", edtest::realPem()));
    QVERIFY(orvotest::writeFile(dir + "chain.pem", edtest::realPem() + edtest::realPem()));
    QVERIFY(orvotest::writeFile(dir + "d[1]/ca.pem", edtest::realPem()));
    QVERIFY(orvotest::writeFile(dir + "d1/ca.pem", "no certificate here\n"));
    QVERIFY(orvotest::writeFile(dir + "text.pem", "-----BEGIN CERTIFICATE-----\nxx\n"));
    QVERIFY(
        orvotest::writeFile(dir + "der.crt", QByteArray::fromHex("3082018a30820130a003020102")));

    ConnProfile* p = nullptr;
    if (ls) {
        p = showLs("https://ls.example.org:8443");
        rig->f()->verifyCaCheck->setChecked(true);
    } else {
        p = showVpn();
    }
    LineEdit* field = ls ? rig->f()->selectLsCaEdit : rig->f()->selectVpnCaEdit;
    QVERIFY(!field->isHidden());
    const QString before = p->getCaPath();
    for (const QString& answer : answers)
        rig->choosers.singleAnswers << (answer.isEmpty() ? QString() : dir + answer);

    edtest::click(field);
    QCOMPARE(rig->choosers.captions.size(), answers.size());
    QCOMPARE(rig->choosers.captions.first(), QStringLiteral("Select a CA certificate file"));
    QCOMPARE(rig->choosers.filters.first(), QStringLiteral("PEM File (*.pem)"));
    QCOMPARE(boxes("Chosen file is not readable or does not contain valid certificates!"),
             refusals);
    if (taken.isEmpty()) {
        QCOMPARE(p->getCaPath(), before);
        return;
    }
    QCOMPARE(p->getCaPath(), dir + taken);
    QCOMPARE(field->text(), dir + taken);
    QCOMPARE(field->lineEdit()->toolTip(), dir + taken);
    QCOMPARE(field->styleSheet(), Plain);
}

void TestProfilesDialogFields::authType_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("ca");
    QTest::addColumn<QString>("p12");

    // Certificate drops the OpenVPN CA file, a password drops the PKCS#12
    // name; choosing the type shown again does the same.
    QTest::newRow("password to certificate") << 0 << 1 << ""
                                             << "client.p12";
    QTest::newRow("certificate to password") << 1 << 0 << "ca.pem"
                                             << "";
    QTest::newRow("password again") << 0 << 0 << "ca.pem"
                                    << "";
    QTest::newRow("certificate again") << 1 << 1 << ""
                                       << "client.p12";
}

void TestProfilesDialogFields::authType()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, ca);
    QFETCH(QString, p12);

    ConnProfile* p = rig->store.add("v");
    QVERIFY(edtest::makeVpnManual(p, "vpn.example.org", "alice", rig->env.root()));
    p->getAuth().setType(static_cast<libvelcor::Auth::Type>(from));
    p->getAuth().setPath("/certs/client.p12");
    p->getVpnConfig().setCaPath("ca.pem");
    p->getVpnConfig().setP12Path("client.p12");
    rig->dialog.load(0, false);
    rig->dialog.show();

    edtest::choose(rig->f()->authCombo, to);
    QCOMPARE(int(p->getAuth().getType()), to);
    QCOMPARE(p->getVpnConfig().getCaPath(), ca);
    QCOMPARE(p->getVpnConfig().getP12Path(), p12);
    QCOMPARE(p->getAuth().getPass(), QString());
    QCOMPARE(p->getAuth().getPath(), QStringLiteral("/certs/client.p12"));
    QCOMPARE(p->getAuth().getUser(), QStringLiteral("alice"));

    // The form follows the new type at once.
    const bool cert = to == libvelcor::Auth::CertificateType;
    QCOMPARE(rig->f()->userEdit->isHidden(), cert);
    QCOMPARE(rig->f()->selectVpnCaEdit->isHidden(), cert);
    QCOMPARE(rig->f()->selectP12Edit->isHidden(), !cert);
    QCOMPARE(rig->f()->passEdit->label()->text(),
             cert ? QStringLiteral("PKCS#12 password") : QStringLiteral("Password"));
    QCOMPARE(rig->f()->passEdit->text(), QString());
    QCOMPARE(rig->f()->passEdit->styleSheet(), Tinted);
}

void TestProfilesDialogFields::configMode()
{
    ConnProfile* files = rig->store.add("files");
    QVERIFY(edtest::makeVpnFiles(files, rig->env.root(), false));
    ConnProfile* manual = rig->store.add("manual");
    manual->setManualAuth(false);
    ConnProfile* ls = rig->store.add("ls");
    ls->setType(ConnProfile::LsType);
    rig->dialog.show();

    // Manual mode turns manual authentication on: no box is left to do it.
    rig->dialog.load(QStringLiteral("files"), false);
    QCOMPARE(rig->f()->tabWidget->count(), 1);
    edtest::choose(rig->f()->configCombo, ConnProfile::ManualConfigMode);
    QCOMPARE(files->getConfigMode(), ConnProfile::ManualConfigMode);
    QVERIFY(files->getManualAuth());
    QCOMPARE(rig->f()->tabWidget->count(), 2);
    QVERIFY(!rig->f()->serverEdit->isHidden());

    // From files leaves the flag as it was.
    rig->dialog.load(QStringLiteral("manual"), false);
    edtest::choose(rig->f()->configCombo, ConnProfile::FilesConfigMode);
    QCOMPARE(manual->getConfigMode(), ConnProfile::FilesConfigMode);
    QVERIFY(!manual->getManualAuth());
    QVERIFY(!rig->f()->manualAuthCheck->isHidden());
    QVERIFY(rig->f()->userEdit->isHidden());

    // No mode for an ls profile, even through the hidden combo.
    rig->dialog.load(QStringLiteral("ls"), false);
    capture->clear();
    edtest::choose(rig->f()->configCombo, ConnProfile::FilesConfigMode);
    QCOMPARE(ls->getConfigMode(), ConnProfile::ManualConfigMode);
    QCOMPARE(capture->linesAt("ERROR").size(), 1);
}

void TestProfilesDialogFields::configFiles()
{
    ConnProfile* p = rig->store.add("files");
    QVERIFY(edtest::makeVpnFiles(p, rig->env.root(), true));
    const QStringList before = p->getConfigFiles();
    rig->dialog.load(0, false);
    rig->dialog.show();
    const QString notes = rig->env.root() + "/notes.txt";
    const QString conf = rig->env.root() + "/site.ovpn";
    QVERIFY(orvotest::writeFile(notes, "just notes\n"));
    QVERIFY(orvotest::writeFile(conf, "client\ndev tap\nremote site.example.org 1194 tcp\n"));

    // No configuration among the files: refused, nothing changes.
    rig->choosers.multipleAnswers << QStringList{notes};
    QTest::mouseClick(rig->f()->configFilesButton, Qt::LeftButton);
    QCOMPARE(boxes("No valid OpenVPN configuration file detected!"), 1);
    QCOMPARE(p->getConfigFiles(), before);

    // Cancelled: only the log line.
    QTest::mouseClick(rig->f()->configFilesButton, Qt::LeftButton);
    QVERIFY(capture->contains("[ProfilesDialog] Chosen config files: ()"));
    QCOMPARE(p->getConfigFiles(), before);

    // The whole list is kept; the form counts it.
    rig->choosers.multipleAnswers << QStringList{notes, conf};
    QTest::mouseClick(rig->f()->configFilesButton, Qt::LeftButton);
    QCOMPARE(rig->choosers.captions.last(),
             QStringLiteral("Select one or more configuration files"));
    QCOMPARE(rig->choosers.filters.last(), QStringLiteral("All files (*.*)"));
    QCOMPARE(p->getConfigFiles(), QStringList({notes, conf}));
    QCOMPARE(rig->f()->configFilesWidget->toolTip(), notes + "\n" + conf);
    QVERIFY(rig->f()->configFilesLabel->text().contains('2'));
    QCOMPARE(boxes("No valid OpenVPN configuration file detected!"), 1);
}

void TestProfilesDialogFields::serverAndPort()
{
    ConnProfile* ls = showLs("https://ls.example.org:8443");
    QSpinBox* port = rig->f()->serverPortSpin;
    QCOMPARE(rig->f()->serverEdit->text(), QStringLiteral("ls.example.org"));
    QCOMPARE(port->value(), 8443);

    // The port edit takes the server text as it stands, finished or not.
    edtest::typeInto(rig->f()->serverEdit, "other.example.org");
    QCOMPARE(ls->getAuth().getUrl(), QStringLiteral("https://ls.example.org:8443"));
    port->setValue(9443);
    edtest::pressReturn(port);
    QCOMPARE(ls->getAuth().getUrl(), QStringLiteral("https://other.example.org:9443"));
    // An empty server still makes a URL, without a host.
    edtest::enter(rig->f()->serverEdit, QString());
    QCOMPARE(rig->f()->serverEdit->styleSheet(), Tinted);
    QCOMPARE(ls->getAuth().getUrl(), QStringLiteral("https://:9443"));

    // A vpn profile's server and port go to its OpenVPN settings, untrimmed.
    ConnProfile* vpn = showVpn();
    rig->f()->serverEdit->setText(" vpn2.example.org");
    edtest::pressReturn(rig->f()->serverEdit->lineEdit());
    QCOMPARE(vpn->getVpnConfig().getRemote(), QStringLiteral("vpn.example.org"));
    QCOMPARE(capture->linesAt("ERROR").filter("serverEdited").size(), 1);
    edtest::enter(rig->f()->serverEdit, "vpn2.example.org");
    QCOMPARE(vpn->getVpnConfig().getRemote(), QStringLiteral("vpn2.example.org"));
    port->setValue(1195);
    edtest::pressReturn(port);
    QCOMPARE(vpn->getVpnConfig().getRemotePort(), 1195);
    QCOMPARE(ls->getAuth().getUrl(), QStringLiteral("https://:9443"));
}

void TestProfilesDialogFields::lsPortDefault_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("written");

    QTest::newRow("no port") << "https://ls.example.org"
                             << "ls.example.org" << 443 << "https://ls.example.org:443";
    QTest::newRow("new profile's URL") << "https://:443"
                                       << "" << 443 << "https://:443";
    QTest::newRow("own port") << "https://ls.example.org:8443"
                              << "ls.example.org" << 8443 << "https://ls.example.org:8443";
}

void TestProfilesDialogFields::lsPortDefault()
{
    QFETCH(QString, url);
    QFETCH(QString, server);
    QFETCH(int, port);
    QFETCH(QString, written);

    ConnProfile* p = showLs(url);
    QCOMPARE(rig->f()->serverEdit->text(), server);
    QCOMPARE(rig->f()->serverEdit->styleSheet(), server.isEmpty() ? Tinted : Plain);
    QCOMPARE(rig->f()->serverPortSpin->value(), port);
    edtest::pressReturn(rig->f()->serverEdit->lineEdit());
    QCOMPARE(p->getAuth().getUrl(), written);
}

void TestProfilesDialogFields::refusedUrlIsReported()
{
    ConnProfile* p = showLs("https://ls.example.org:8443");
    rig->f()->serverEdit->setText(QStringLiteral("ls\texample.org"));
    capture->clear();
    edtest::pressReturn(rig->f()->serverEdit->lineEdit());
    QCOMPARE(p->getAuth().getUrl(), QStringLiteral("https://ls.example.org:8443"));
    QCOMPARE(capture->linesAt("ERROR").filter("serverEdited").size(), 1);
    rig->f()->serverPortSpin->setValue(9443);
    edtest::pressReturn(rig->f()->serverPortSpin);
    QCOMPARE(capture->linesAt("ERROR").filter("serverPortEdited").size(), 1);
    QCOMPARE(p->getAuth().getUrl(), QStringLiteral("https://ls.example.org:8443"));
}

void TestProfilesDialogFields::checkStates_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("kind");

    QTest::newRow("verify CA") << "verifyCaCheck"
                               << "ls";
    QTest::newRow("manual authentication") << "manualAuthCheck"
                                           << "files";
    QTest::newRow("remember password") << "rememberAuthCheck"
                                       << "vpn";
    QTest::newRow("LZO compression") << "enableCompCheck"
                                     << "vpn";
    QTest::newRow("routes") << "pullRoutesCheck"
                            << "vpn";
    QTest::newRow("fallback server") << "fallbackServerEnable"
                                     << "vpn";
}

void TestProfilesDialogFields::checkStates()
{
    QFETCH(QString, box);
    QFETCH(QString, kind);

    ConnProfile* p = nullptr;
    if (kind == "ls") {
        p = showLs("https://ls.example.org");
    } else if (kind == "files") {
        p = rig->store.add("files");
        QVERIFY(edtest::makeVpnFiles(p, rig->env.root(), true));
        rig->dialog.load(0, false);
        rig->dialog.show();
    } else {
        p = showVpn();
    }
    const QMap<QString, std::function<bool()>> flags{
        {"verifyCaCheck", [p] { return p->getCaVerify(); }},
        {"manualAuthCheck", [p] { return p->getManualAuth(); }},
        {"rememberAuthCheck", [p] { return p->getRememberAuth(); }},
        {"enableCompCheck", [p] { return p->getVpnConfig().isCompEnabled(); }},
        {"pullRoutesCheck", [p] { return p->getPullRoutes(); }},
        {"fallbackServerEnable", [p] { return p->getVpnConfig().isFallbackEnabled(); }}};
    QCheckBox* check = nullptr;
    for (const auto& pair : QList<QPair<QString, QCheckBox*>>{
             {"verifyCaCheck", rig->f()->verifyCaCheck},
             {"manualAuthCheck", rig->f()->manualAuthCheck},
             {"rememberAuthCheck", rig->f()->rememberAuthCheck},
             {"enableCompCheck", rig->f()->enableCompCheck},
             {"pullRoutesCheck", rig->f()->pullRoutesCheck},
             {"fallbackServerEnable", rig->f()->fallbackServerEnable}}) {
        if (pair.first == box)
            check = pair.second;
    }
    QVERIFY(check && !check->isHidden());

    check->setCheckState(Qt::Checked);
    QVERIFY(flags.value(box)());
    // Partially checked counts as off.
    check->setCheckState(Qt::PartiallyChecked);
    QVERIFY(!flags.value(box)());
    check->setCheckState(Qt::Checked);
    QVERIFY(flags.value(box)());
    check->setCheckState(Qt::Unchecked);
    QVERIFY(!flags.value(box)());
}

void TestProfilesDialogFields::flagsShowFields()
{
    showVpn();
    Ui_profilesDialog* f = rig->f();
    auto fallbackShown = [f] {
        return !f->fallbackServerEdit->isHidden() && !f->fallbackPortWidget->isHidden() &&
               !f->fallbackProtoCombo->isHidden();
    };
    QVERIFY(!fallbackShown());
    f->fallbackServerEnable->setChecked(true);
    QVERIFY(fallbackShown());
    f->fallbackServerEnable->setChecked(false);
    QVERIFY(f->fallbackServerEdit->isHidden());

    QVERIFY(!f->passEdit->isHidden());
    f->rememberAuthCheck->setChecked(false);
    QVERIFY(f->passEdit->isHidden());
    f->rememberAuthCheck->setChecked(true);
    QVERIFY(!f->passEdit->isHidden());

    const QString before = QString::number(f->fallbackServerEdit->isHidden()) +
                           QString::number(f->passEdit->isHidden());
    f->enableCompCheck->setChecked(!f->enableCompCheck->isChecked());
    f->pullRoutesCheck->setChecked(!f->pullRoutesCheck->isChecked());
    QCOMPARE(QString::number(f->fallbackServerEdit->isHidden()) +
                 QString::number(f->passEdit->isHidden()),
             before);

    // Files without manual authentication: turning it on shows the
    // credential fields.
    ConnProfile* files = rig->store.add("files");
    QVERIFY(edtest::makeVpnFiles(files, rig->env.root(), false));
    rig->dialog.load(QStringLiteral("files"), false);
    QVERIFY(f->userEdit->isHidden() && f->authCombo->isHidden() && f->passEdit->isHidden());
    f->manualAuthCheck->setChecked(true);
    QVERIFY(!f->userEdit->isHidden() && !f->authCombo->isHidden() && !f->passEdit->isHidden());
}

void TestProfilesDialogFields::tunnelOptions()
{
    ConnProfile* p = showVpn();
    Ui_profilesDialog* f = rig->f();
    libvelcor::VpnConfig& vpn = p->getVpnConfig();
    edtest::choose(f->deviceCombo, 1);
    QCOMPARE(int(vpn.getDev()), 1);
    edtest::choose(f->protoCombo, 1);
    QCOMPARE(int(vpn.getRemoteProto()), 1);
    // The row already shown is written again.
    vpn.setDev(libvelcor::VpnConfig::TapDev);
    edtest::choose(f->deviceCombo, 1);
    QCOMPARE(int(vpn.getDev()), 1);

    f->fallbackServerEnable->setChecked(true);
    edtest::enter(f->fallbackServerEdit, "backup.example.org");
    QCOMPARE(vpn.getFallbackRemote(), QStringLiteral("backup.example.org"));
    edtest::enter(f->fallbackServerEdit, QString());
    QCOMPARE(vpn.getFallbackRemote(), QString());
    f->fallbackPortSpin->setValue(65535);
    edtest::pressReturn(f->fallbackPortSpin);
    QCOMPARE(vpn.getFallbackRemotePort(), 65535);
    edtest::choose(f->fallbackProtoCombo, 1);
    QCOMPARE(int(vpn.getFallbackRemoteProto()), 1);
    // The spin box keeps to 1..65535.
    f->fallbackPortSpin->setValue(0);
    QCOMPARE(f->fallbackPortSpin->value(), 1);
}

void TestProfilesDialogFields::nothingShown()
{
    ConnProfile* p = showVpn("only");
    QTest::mouseClick(rig->f()->removeButton, Qt::LeftButton);
    QVERIFY(rig->f()->tabWidget->isHidden());
    Q_UNUSED(p);

    // Every field slot finds no profile: choosers still answer, nothing is
    // written, nothing breaks.
    const QString ca = rig->env.root() + "/ca.pem";
    rig->choosers.singleAnswers << ca << "/certs/client.p12";
    rig->choosers.multipleAnswers << QStringList{ca};
    for (const char* slot : {"selectCaClicked", "selectP12Clicked", "configFilesButtonClicked",
                             "serverEdited", "serverPortEdited", "userEdited", "passEdited",
                             "fallbackServerEdited", "fallbackPortEdited", "nameFinished"})
        QVERIFY(QMetaObject::invokeMethod(&rig->dialog, slot));
    for (const char* slot :
         {"configComboActivated", "authComboActivated", "deviceComboActivated",
          "protoComboActivated", "fallbackProtoActivated", "verifyCaChanged", "manualAuthChanged",
          "rememberAuthChanged", "enableCompChanged", "pullRoutesChanged", "fallbackServerChanged"})
        QVERIFY(QMetaObject::invokeMethod(&rig->dialog, slot, Q_ARG(int, 1)));
    QCOMPARE(rig->choosers.captions.size(), 3);
    QCOMPARE(rig->f()->selectP12Edit->text(), QStringLiteral("/certs/client.p12"));
    QCOMPARE(rig->store.size(), 0);
    QVERIFY(rig->f()->tabWidget->isHidden());
}

ORVO_TEST_GUI_MAIN(TestProfilesDialogFields)
#include "tst_profilesdialogfields.moc"
