// The profile editor's fields: the CA chooser, the authentication type and
// the management server's URL; edits saved with OK and read back from disk
// by a store of their own.

#include <QApplication>
#include <QCheckBox>
#include <QSignalSpy>
#include <QSpinBox>

#include <memory>

#include "editorfixture.h"
#include "logcapture.h"
#include "profilefixture.h"
#include "testmain.h"

using edtest::Rig;
using ORVO::ConnProfile;

class TestProfilesDialogFields : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void caChooser_data();
    void caChooser();
    void authType_data();
    void authType();
    void lsUrl_data();
    void lsUrl();
    void pendingEditReachesItsProfile_data();
    void pendingEditReachesItsProfile();
    void vpnEditsReadBack();
    void lsEditsReadBack();
    void serverAddressTyped_data();
    void serverAddressTyped();
    void nameOfUnreadableProfile();

private:
    // OK, then the profile as a new store reads it from disk.
    ConnProfile* okAndRead(const QString& id);

    std::unique_ptr<orvotest::LogCapture> capture;
    std::unique_ptr<Rig> rig;
    std::unique_ptr<ORVO::ConnProfiles> fresh;
};

void TestProfilesDialogFields::initTestCase()
{
    initEditorTests();
}

void TestProfilesDialogFields::init()
{
    capture.reset(new orvotest::LogCapture);
    rig.reset(new Rig);
}

void TestProfilesDialogFields::cleanup()
{
    fresh.reset();
    rig.reset();
    capture.reset();
}

void TestProfilesDialogFields::caChooser_data()
{
    QTest::addColumn<bool>("ls");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("refusals");
    QTest::addColumn<QString>("taken");

    QTest::newRow("a certificate at once") << false << QStringList{"good.pem"} << 0 << "good.pem";
    QTest::newRow("not PEM, DER, missing, then a certificate")
        << true << QStringList{"text.pem", "der.crt", "missing.pem", "good.pem"} << 3 << "good.pem";
    QTest::newRow("not PEM, then cancelled") << false << QStringList{"text.pem", ""} << 1 << "";
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
    const QByteArray pem = edtest::realPem();
    QVERIFY(orvotest::writeFile(dir + "good.pem", pem) &&
            orvotest::writeFile(dir + "chain.pem", pem + pem) &&
            orvotest::writeFile(dir + "d[1]/ca.pem", pem) &&
            orvotest::writeFile(dir + "d1/ca.pem", "no certificate\n") &&
            orvotest::writeFile(dir + "text.pem", "-----BEGIN CERTIFICATE-----\nxx\n") &&
            orvotest::writeFile(dir + "der.crt", QByteArray::fromHex("3082018a30820130a0030201")));
    ConnProfile* p = rig->store.add("p");
    if (ls) {
        edtest::makeLs(p, "https://ls.example.org");
        p->setCaVerify(true);
    }
    rig->open("p");
    LineEdit* field = ls ? rig->f()->selectLsCaEdit : rig->f()->selectVpnCaEdit;
    QCOMPARE(field->styleSheet(), "QLineEdit#lineEditSm { background-color: #ffcccc }");
    for (const QString& answer : answers)
        rig->answers << (answer.isEmpty() ? QString() : dir + answer);

    // The chooser comes back after each refused file.
    edtest::click(field);
    QCOMPARE(rig->captions.size(), answers.size());
    QCOMPARE(rig->captions.first(), QStringLiteral("Select a CA certificate file"));
    QCOMPARE(capture->count(QRegularExpression("Auto-answer .*Chosen file is not readable or does "
                                               "not contain valid certificates!")),
             refusals);
    QCOMPARE(p->getCaPath(), taken.isEmpty() ? QString() : dir + taken);
    QCOMPARE(field->text(), p->getCaPath());
    if (!taken.isEmpty()) {
        QCOMPARE(field->lineEdit()->toolTip(), dir + taken);
        QCOMPARE(field->styleSheet(), QStringLiteral("QLineEdit#lineEditSm { }"));
    }
}

void TestProfilesDialogFields::authType_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("ca");
    QTest::addColumn<QString>("p12");

    // A certificate drops the OpenVPN CA file, a password the PKCS#12 name;
    // choosing the type shown again does the same.
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
    QVERIFY(edtest::makeVpnManual(p, "alice", rig->env.root()));
    p->getAuth().setType(static_cast<libvelcor::Auth::Type>(from));
    p->getAuth().setPath("/certs/client.p12");
    p->getVpnConfig().setCaPath("ca.pem");
    p->getVpnConfig().setP12Path("client.p12");
    rig->open("v");

    edtest::choose(rig->f()->authCombo, to);
    QCOMPARE(int(p->getAuth().getType()), to);
    QCOMPARE(p->getVpnConfig().getCaPath(), ca);
    QCOMPARE(p->getVpnConfig().getP12Path(), p12);
    QCOMPARE(p->getAuth().getPass(), QString());
    QCOMPARE(p->getAuth().getPath(), QStringLiteral("/certs/client.p12"));
    // The form follows at once.
    const bool cert = to == libvelcor::Auth::CertificateType;
    QCOMPARE(rig->f()->userEdit->isHidden(), cert);
    QCOMPARE(rig->f()->selectVpnCaEdit->isHidden(), cert);
    QCOMPARE(rig->f()->selectP12Edit->isHidden(), !cert);
    QCOMPARE(rig->f()->passEdit->text(), QString());

    // The PKCS#12 chooser keeps the full path and the file's own name.
    if (cert) {
        rig->answers << "/Users/u/certs/client2.p12";
        edtest::click(rig->f()->selectP12Edit);
        QCOMPARE(p->getAuth().getPath(), QStringLiteral("/Users/u/certs/client2.p12"));
        QCOMPARE(p->getVpnConfig().getP12Path(), QStringLiteral("client2.p12"));
    }
}

void TestProfilesDialogFields::lsUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("shownPort");
    QTest::addColumn<QString>("typed"); // into the server field; "" for none
    QTest::addColumn<int>("port");      // into the port field; 0 for none
    QTest::addColumn<QString>("written");

    // Fields passed through without a change write nothing.
    QTest::newRow("http, own port")
        << "http://ls.example.org:8080" << 8080 << "" << 0 << "http://ls.example.org:8080";
    QTest::newRow("path") << "https://ls.example.org:8443/portal" << 8443 << "" << 0
                          << "https://ls.example.org:8443/portal";
    QTest::newRow("http, no port")
        << "http://ls.example.org" << 80 << "" << 0 << "http://ls.example.org";
    // An edit keeps the scheme and the path.
    QTest::newRow("server edited")
        << "http://ls.example.org:8080/portal" << 8080 << "ls2.example.org" << 0
        << "http://ls2.example.org:8080/portal";
    QTest::newRow("port edited") << "https://ls.example.org/portal" << 443 << "" << 9443
                                 << "https://ls.example.org:9443/portal";
    QTest::newRow("new profile's URL")
        << "https://:443" << 443 << "ls.example.org" << 0 << "https://ls.example.org:443";
    // A scheme typed into the server field is taken as one.
    QTest::newRow("scheme typed") << "https://:443" << 443 << "https://127.0.0.1" << 0
                                  << "https://127.0.0.1";
    // A text the URL cannot hold is reported and leaves the URL.
    QTest::newRow("control character") << "https://ls.example.org:8443" << 8443 << "ls\texample.org"
                                       << 0 << "https://ls.example.org:8443";
}

void TestProfilesDialogFields::lsUrl()
{
    QFETCH(QString, url);
    QFETCH(int, shownPort);
    QFETCH(QString, typed);
    QFETCH(int, port);
    QFETCH(QString, written);

    ConnProfile* p = rig->store.add("ls");
    edtest::makeLs(p, url);
    rig->open("ls");
    QCOMPARE(rig->f()->serverPortSpin->value(), shownPort);
    if (!typed.isEmpty())
        rig->f()->serverEdit->setText(typed);
    capture->clear();
    QTest::keyClick(rig->f()->serverEdit->lineEdit(), Qt::Key_Return);
    if (port)
        rig->f()->serverPortSpin->setValue(port);
    QTest::keyClick(rig->f()->serverPortSpin, Qt::Key_Return);
    QCOMPARE(p->getAuth().getUrl(), written);
    // Refused by the server field, then again by the port field.
    QCOMPARE(capture->linesAt("ERROR").size(), typed.contains('\t') ? 2 : 0);
}

ConnProfile* TestProfilesDialogFields::okAndRead(const QString& id)
{
    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    edtest::click(rig->f()->okButton);
    if (saved.count() != 1)
        return nullptr;
    fresh.reset(new ORVO::ConnProfiles);
    fresh->load();
    return fresh->get(id);
}

void TestProfilesDialogFields::pendingEditReachesItsProfile_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("user") << "user";
    QTest::newRow("port") << "port";
}

// Typed, then another profile clicked in the list, which takes no focus:
// the field is never left, yet the edit belongs to the first profile.
void TestProfilesDialogFields::pendingEditReachesItsProfile()
{
    QFETCH(QString, field);
    QVERIFY(rig->saved({"a", "b"}));
    rig->open("a");
    Ui_profilesDialog* f = rig->f();
    const auto value = [&](ConnProfile* p) {
        return field == "user" ? p->getAuth().getUser()
                               : QString::number(p->getVpnConfig().getRemotePort());
    };
    if (field == "port") {
        f->serverPortSpin->setFocus();
        f->serverPortSpin->selectAll();
        QTest::keyClicks(f->serverPortSpin, "2001");
    } else {
        f->userEdit->lineEdit()->setFocus();
        edtest::typeInto(f->userEdit, "2001");
    }
    QListWidget* list = f->listWidget;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center());
    QCOMPARE(rig->currentRow(), QStringLiteral("b"));
    QCOMPARE(value(rig->store.get("a")), QStringLiteral("2001"));
    ConnProfile* saved = okAndRead("a");
    QVERIFY(saved);
    QCOMPARE(value(saved), QStringLiteral("2001"));
}

void TestProfilesDialogFields::vpnEditsReadBack()
{
    QVERIFY(rig->saved({"office"}));
    rig->open("office");
    Ui_profilesDialog* f = rig->f();
    edtest::enter(f->serverEdit, "vpn2.example.org");
    f->serverPortSpin->setValue(1195);
    QTest::keyClick(f->serverPortSpin, Qt::Key_Return);
    edtest::enter(f->userEdit, "bob");
    edtest::enter(f->passEdit, "n3w pass");
    const QString ca = rig->env.root() + "/chosen/other-ca.pem";
    QVERIFY(orvotest::writeFile(ca, edtest::realPem()));
    rig->answers << ca;
    edtest::click(f->selectVpnCaEdit);
    edtest::choose(f->deviceCombo, libvelcor::VpnConfig::TunDev);
    edtest::choose(f->protoCombo, libvelcor::VpnConfig::TcpProto);
    f->enableCompCheck->setChecked(true);
    f->pullRoutesCheck->setChecked(false);
    f->fallbackServerEnable->setChecked(true);
    edtest::enter(f->fallbackServerEdit, "backup.example.org");
    f->fallbackPortSpin->setValue(1196);
    QTest::keyClick(f->fallbackPortSpin, Qt::Key_Return);
    edtest::choose(f->fallbackProtoCombo, libvelcor::VpnConfig::TcpProto);

    ConnProfile* p = okAndRead("office");
    QVERIFY2(p, qPrintable(capture->linesAt("ERROR").join('\n')));
    libvelcor::VpnConfig& vpn = p->getVpnConfig();
    QCOMPARE(vpn.getRemote(), QStringLiteral("vpn2.example.org"));
    QCOMPARE(vpn.getRemotePort(), 1195);
    QCOMPARE(vpn.getDev(), libvelcor::VpnConfig::TunDev);
    QCOMPARE(vpn.getRemoteProto(), libvelcor::VpnConfig::TcpProto);
    QVERIFY(vpn.isCompEnabled() && !p->getPullRoutes() && vpn.isFallbackEnabled());
    QCOMPARE(vpn.getFallbackRemote(), QStringLiteral("backup.example.org"));
    QCOMPARE(vpn.getFallbackRemotePort(), 1196);
    QCOMPARE(vpn.getFallbackRemoteProto(), libvelcor::VpnConfig::TcpProto);
    QCOMPARE(p->getAuth().getUser(), QStringLiteral("bob"));
    QCOMPARE(p->getAuth().getPass(), QStringLiteral("n3w pass"));
    QCOMPARE(orvotest::readFile(rig->dirOf("office") + "/other-ca.pem"), edtest::realPem());
}

void TestProfilesDialogFields::lsEditsReadBack()
{
    // Written by hand, with a URL that names no port.
    QVERIFY(proftest::writeLsDir(rig->dirOf("cloud")));
    QCOMPARE(rig->store.load(), 0);
    rig->open("cloud");
    Ui_profilesDialog* f = rig->f();
    edtest::enter(f->serverEdit, "ls2.example.org");
    f->verifyCaCheck->setChecked(true);
    const QString ca = rig->env.root() + "/chosen/ls-ca.pem";
    QVERIFY(orvotest::writeFile(ca, edtest::realPem()));
    rig->answers << ca;
    edtest::click(f->selectLsCaEdit);

    ConnProfile* p = okAndRead("cloud");
    QVERIFY2(p, qPrintable(capture->linesAt("ERROR").join('\n')));
    QCOMPARE(p->getType(), ConnProfile::LsType);
    QCOMPARE(p->getAuth().getUrl(), QStringLiteral("https://ls2.example.org"));
    QVERIFY(p->getCaVerify());
    QCOMPARE(orvotest::readFile(rig->dirOf("cloud") + "/ls-ca.pem"), edtest::realPem());
}

void TestProfilesDialogFields::serverAddressTyped_data()
{
    QTest::addColumn<QString>("server");        // null: left alone
    QTest::addColumn<QStringList>("fallbacks"); // entered in turn; none: fallback off
    QTest::newRow("blanks around, as pasted") << "  vpn2.example.org " << QStringList();
    QTest::newRow("blank inside") << "vpn2 example.org" << QStringList();
    QTest::newRow("fallback, blanks around") << QString() << QStringList{" backup.example.org "};
    QTest::newRow("fallback, blank inside") << QString() << QStringList{"backup example.org"};
    QTest::newRow("both refused, the fallback mended")
        << "vpn2 example.org" << QStringList{"backup example.org", "backup.example.org"};
}

// Blanks around are dropped; a refused address is shown as refused, with
// its reason, and OK then saves nothing and shows the field, also after
// another profile was shown meanwhile.
void TestProfilesDialogFields::serverAddressTyped()
{
    QFETCH(QString, server);
    QFETCH(QStringList, fallbacks);
    const QString fallback = fallbacks.isEmpty() ? QString() : fallbacks.last().trimmed();
    const bool serverRefused = server.trimmed().contains(' ');
    const bool refused = serverRefused || fallback.contains(' ');
    QVERIFY(rig->saved({"home", "office"}));
    rig->open("office");
    Ui_profilesDialog* f = rig->f();
    f->fallbackServerEnable->setChecked(!fallbacks.isEmpty());
    if (!server.isNull())
        edtest::enter(f->serverEdit, server);
    f->tabWidget->setCurrentIndex(1);
    for (const QString& text : fallbacks)
        edtest::enter(f->fallbackServerEdit, text);
    QCOMPARE(f->fieldHint->isVisible(), refused);
    f->listWidget->setCurrentRow(0);
    f->tabWidget->setCurrentIndex(serverRefused ? 1 : 0);
    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    edtest::click(f->okButton);
    QCOMPARE(saved.count(), refused ? 0 : 1);
    QCOMPARE(rig->dialog.isVisible(), refused);
    if (refused) {
        LineEdit* edit = serverRefused ? f->serverEdit : f->fallbackServerEdit;
        QCOMPARE(rig->currentRow(), QString("office"));
        QCOMPARE(edit->text(), serverRefused ? server : fallback);
        QVERIFY(f->tabWidget->currentWidget()->isAncestorOf(edit));
        QVERIFY(f->fieldHint->isVisible());
    }
    ORVO::ConnProfiles disk;
    QCOMPARE(disk.load(), 0);
    const libvelcor::VpnConfig& vpn = disk.get("office")->getVpnConfig();
    const bool takeServer = !refused && !server.isNull();
    QCOMPARE(vpn.getRemote(), takeServer ? server.trimmed() : QString("vpn.example.org"));
    QCOMPARE(vpn.getFallbackRemote(), refused ? QString() : fallback);
}

// A name taken on disk by a profile that cannot be read is refused with
// the reason, which stays in view with the typed name.
void TestProfilesDialogFields::nameOfUnreadableProfile()
{
    QVERIFY(rig->saved({"Locke"}));
    QVERIFY(QDir().mkpath(rig->dirOf("Locked")));
    QCOMPARE(rig->store.load(), 0);
    rig->open("Locke");
    QLineEdit* name = rig->f()->nameEdit->lineEdit();
    name->end(false);
    QTest::keyClick(name, 'd');
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(name->text(), QString("Locked"));
    QCOMPARE(rig->rows(), QStringList{"Locke"});
    QCOMPARE(rig->f()->fieldHint->text(), QString("The name Locked cannot be used: a profile of "
                                                  "that name is on disk and cannot be read."));
    QVERIFY(rig->f()->fieldHint->isVisible());
}

ORVO_TEST_GUI_MAIN(TestProfilesDialogFields)
#include "tst_profilesdialogfields.moc"
