// Edits made through the profile editor and saved with OK, read back from
// disk by a store of their own.

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSpinBox>

#include <memory>

#include "editorfixture.h"
#include "gui/testseams.h"
#include "logcapture.h"
#include "profilefixture.h"
#include "testmain.h"

using edtest::Rig;
using ORVO::ConnProfile;

class TestProfilesDialogSave : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void vpnEditsReadBack();
    void certificateReadBack();
    void lsEditsReadBack();

private:
    // OK pressed; the set is then read from disk into a new store.
    void ok();

    std::unique_ptr<Rig> rig;
    std::unique_ptr<orvotest::LogCapture> capture;
    std::unique_ptr<ORVO::ConnProfiles> fresh;
};

void TestProfilesDialogSave::initTestCase()
{
    initEditorResources();
    ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
}

void TestProfilesDialogSave::init()
{
    capture.reset(new orvotest::LogCapture);
    rig.reset(new Rig);
}

void TestProfilesDialogSave::cleanup()
{
    fresh.reset();
    rig.reset();
    capture.reset();
}

void TestProfilesDialogSave::ok()
{
    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    QTest::mouseClick(rig->f()->okButton, Qt::LeftButton);
    QVERIFY2(saved.count() == 1, qPrintable(capture->linesAt("ERROR").join('\n')));
    fresh.reset(new ORVO::ConnProfiles);
    QCOMPARE(fresh->load(), 0);
}

void TestProfilesDialogSave::vpnEditsReadBack()
{
    QVERIFY(edtest::makeVpnManual(rig->store.add("office"), "vpn.example.org", "alice",
                                  rig->env.root()));
    QVERIFY(rig->saveAndReload());
    rig->dialog.load(0, false);
    rig->dialog.show();
    Ui_profilesDialog* f = rig->f();

    edtest::enter(f->serverEdit, "vpn2.example.org");
    f->serverPortSpin->setValue(1195);
    edtest::pressReturn(f->serverPortSpin);
    edtest::enter(f->userEdit, "bob");
    edtest::enter(f->passEdit, "n3w pass");
    const QString ca = rig->env.root() + "/chosen/other-ca.pem";
    QVERIFY(orvotest::writeFile(ca, edtest::realPem()));
    rig->choosers.singleAnswers << ca;
    edtest::click(f->selectVpnCaEdit);
    edtest::choose(f->deviceCombo, libvelcor::VpnConfig::TunDev);
    edtest::choose(f->protoCombo, libvelcor::VpnConfig::TcpProto);
    f->enableCompCheck->setChecked(true);
    f->pullRoutesCheck->setChecked(false);
    f->fallbackServerEnable->setChecked(true);
    edtest::enter(f->fallbackServerEdit, "backup.example.org");
    f->fallbackPortSpin->setValue(1196);
    edtest::pressReturn(f->fallbackPortSpin);
    edtest::choose(f->fallbackProtoCombo, libvelcor::VpnConfig::TcpProto);
    ok();

    ConnProfile* p = fresh->get("office");
    QVERIFY(p);
    libvelcor::VpnConfig& vpn = p->getVpnConfig();
    QCOMPARE(vpn.getRemote(), QStringLiteral("vpn2.example.org"));
    QCOMPARE(vpn.getRemotePort(), 1195);
    QCOMPARE(int(vpn.getDev()), int(libvelcor::VpnConfig::TunDev));
    QCOMPARE(int(vpn.getRemoteProto()), int(libvelcor::VpnConfig::TcpProto));
    QVERIFY(vpn.isCompEnabled());
    QVERIFY(!p->getPullRoutes());
    QVERIFY(vpn.isFallbackEnabled());
    QCOMPARE(vpn.getFallbackRemote(), QStringLiteral("backup.example.org"));
    QCOMPARE(vpn.getFallbackRemotePort(), 1196);
    QCOMPARE(int(vpn.getFallbackRemoteProto()), int(libvelcor::VpnConfig::TcpProto));
    QCOMPARE(p->getAuth().getUser(), QStringLiteral("bob"));
    QCOMPARE(p->getAuth().getPass(), QStringLiteral("n3w pass"));
    // The chosen CA file now lies in the profile's directory.
    QCOMPARE(QFileInfo(p->getCaPath()).fileName(), QStringLiteral("other-ca.pem"));
    QCOMPARE(orvotest::readFile(rig->dirOf("office") + "/other-ca.pem"), edtest::realPem());

    // The editor over the fresh store shows what was saved.
    ProfilesDialog again(nullptr, fresh.get());
    again.load(0, false);
    QCOMPARE(again.form()->serverEdit->text(), QStringLiteral("vpn2.example.org"));
    QCOMPARE(again.form()->serverPortSpin->value(), 1195);
    QCOMPARE(again.form()->fallbackPortSpin->value(), 1196);
    QVERIFY(!again.form()->pullRoutesCheck->isChecked());
}

void TestProfilesDialogSave::certificateReadBack()
{
    QVERIFY(
        edtest::makeVpnManual(rig->store.add("cert"), "vpn.example.org", "alice", rig->env.root()));
    QVERIFY(rig->saveAndReload());
    rig->dialog.load(0, false);
    rig->dialog.show();
    Ui_profilesDialog* f = rig->f();

    edtest::choose(f->authCombo, libvelcor::Auth::CertificateType);
    const QString p12 = rig->env.root() + "/chosen/client.p12";
    QVERIFY(orvotest::writeFile(p12, proftest::p12Bytes("client")));
    rig->choosers.singleAnswers << p12;
    edtest::click(f->selectP12Edit);
    edtest::enter(f->passEdit, "p12 secret");
    ok();

    ConnProfile* p = fresh->get("cert");
    QVERIFY(p);
    QCOMPARE(p->getAuth().getType(), libvelcor::Auth::CertificateType);
    QCOMPARE(QFileInfo(p->getAuth().getPath()).fileName(), QStringLiteral("client.p12"));
    QCOMPARE(p->getAuth().getPass(), QStringLiteral("p12 secret"));
    QCOMPARE(orvotest::readFile(rig->dirOf("cert") + "/client.p12"), proftest::p12Bytes("client"));
    QCOMPARE(p->getVpnConfig().getCaPath(), QString());
}

void TestProfilesDialogSave::lsEditsReadBack()
{
    // Written by hand with a URL that names no port.
    QVERIFY(proftest::writeLsDir(rig->dirOf("cloud")));
    QCOMPARE(rig->store.load(), 0);
    rig->dialog.load(0, false);
    rig->dialog.show();
    Ui_profilesDialog* f = rig->f();
    QCOMPARE(f->serverEdit->text(), QStringLiteral("ls.example.org"));
    QCOMPARE(f->serverPortSpin->value(), 443);

    edtest::enter(f->serverEdit, "ls2.example.org");
    f->verifyCaCheck->setChecked(true);
    const QString ca = rig->env.root() + "/chosen/ls-ca.pem";
    QVERIFY(orvotest::writeFile(ca, edtest::realPem()));
    rig->choosers.singleAnswers << ca;
    edtest::click(f->selectLsCaEdit);
    ok();

    ConnProfile* p = fresh->get("cloud");
    QVERIFY(p);
    QCOMPARE(p->getType(), ConnProfile::LsType);
    QCOMPARE(p->getAuth().getUrl(), QStringLiteral("https://ls2.example.org:443"));
    QVERIFY(p->getCaVerify());
    QCOMPARE(QFileInfo(p->getCaPath()).fileName(), QStringLiteral("ls-ca.pem"));
    QCOMPARE(orvotest::readFile(rig->dirOf("cloud") + "/ls-ca.pem"), edtest::realPem());
    QCOMPARE(p->getAuth().getUser(), QStringLiteral("u"));
}

ORVO_TEST_GUI_MAIN(TestProfilesDialogSave)
#include "tst_profilesdialogsave.moc"
