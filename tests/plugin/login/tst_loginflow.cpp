// Both GUI modes signing in and out from their login window against the
// service simulator: the real controller, plugin and Manager, in process.
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QtPlugin>

#include "gui/gui.h"
#include "gui/log/logform.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/testseams.h"
#include "gui/widgets/combobox.h"
#include "gui/widgets/lineedit.h"
#include "libvelcor/api.h"
#include "loginfixture.h"
#include "mgr/manager.h"
#include "plugin/login/loginform.h"
#include "servicesimulator.h"
#include "testenv.h"
#include "testmain.h"

Q_IMPORT_PLUGIN(LoginPlugin)

class TestLoginFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        LogForm::setListenPort(0);
        ORVO::seams::setAssumeSystemTray(true);
    }
    void cleanup() { orvotest::clearQuitRequest(); }
    void signInAndOut_data()
    {
        QTest::addColumn<bool>("minimal");
        QTest::newRow("full window") << false;
        QTest::newRow("tray only") << true;
    }
    void signInAndOut();

private:
    // One for both rows: the plugin, made once per process, keeps the
    // settings file of the first.
    orvotest::TestEnv env;
};

void TestLoginFlow::signInAndOut()
{
    QFETCH(bool, minimal);
    QVERIFY(logintest::writeProfile(env.dataDir(), "office", "vpn"));
    orvosim::ServiceSimulator sim;
    QVERIFY(sim.listen(0));
    sim.setAutopilot(true);
    sim.setStepDelay(10);
    qputenv(libvelcor::Api::ServiceAddrVariable, sim.address().toLatin1());
    {
        QSettings s(ORVO::org(), ORVO::ApplicationId);
        s.setValue("vpnTimeout", "77");
    }

    ORVO::Gui gui(nullptr, true, minimal);
    QVERIFY(gui.isValid());
    ORVO::Manager manager(nullptr);
    QVERIFY(manager.isValid());
    manager.gui = &gui;
    QCOMPARE(manager.run(), 0);
    QCOMPARE(gui.run(), 0);
    // The stored timeout reaches the service in both modes, the tray-only
    // one included, whose window was built before Manager.
    QTRY_COMPARE_WITH_TIMEOUT(sim.mergedConfig().value("timeout").toString(), QString("77"), 5000);

    ORVO::LoginPlugin* p = logintest::plugin();
    QVERIFY(p->loginForm);
    LineEdit* pass = p->loginForm->form()->passwordEdit;
    pass->setText("pw");
    // For a look at the windows: ORVO_SCREENSHOT_DIR=<dir>, under Xvfb.
    const QString shots = qEnvironmentVariable("ORVO_SCREENSHOT_DIR");
    if (!shots.isEmpty() && !minimal) {
        QTest::qWait(800);
        QVERIFY(gui.mainWindow->grab().save(shots + "/signin-window.png"));
        QVERIFY(p->loginForm->grab().save(shots + "/signin-form.png"));
    }
    const int mark = sim.log().size();
    if (minimal) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(pass->lineEdit(), &press);
    } else {
        QTest::mouseClick(gui.mainWindow->signInButton, Qt::LeftButton);
    }
    QTRY_COMPARE_WITH_TIMEOUT(sim.currentState(), 4, 5000);
    if (!minimal) {
        QTRY_COMPARE(gui.mainWindow->signInButton->text(), QString("LOGOUT"));
    }
    // The sign-in carried the profile's OpenVPN file.
    bool sawConf = false;
    const auto entries = sim.log();
    for (int i = mark; i < entries.size(); ++i)
        if (entries.at(i).value.toMap().value("vpn").toMap().value("conf").toString().endsWith(
                "office.profile/openvpn.conf"))
            sawConf = true;
    QVERIFY(sawConf);
    if (!shots.isEmpty() && !minimal) {
        QTest::qWait(2300);
        QVERIFY(gui.mainWindow->grab().save(shots + "/connected-window.png"));
    }
    // Manager hands the states to the plugin in the full window only.
    if (!minimal) {
        QTRY_COMPARE(pass->text(), QString(""));
    }

    if (minimal)
        emit gui.sigDisconnect();
    else
        QTest::mouseClick(gui.mainWindow->signInButton, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(sim.currentState(), 0, 5000);
    if (!minimal) {
        QTRY_COMPARE(gui.mainWindow->signInButton->text(), QString("SIGN IN"));
    }
    if (!minimal) {
        QTRY_VERIFY(p->loginForm->form()->profileComboBox->comboBox()->isEnabled());
    }
}

ORVO_TEST_GUI_MAIN(TestLoginFlow)
#include "tst_loginflow.moc"
