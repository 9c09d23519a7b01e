#include <QApplication>
#include <QComboBox>
#include <QSignalSpy>
#include <QSpinBox>

#include "gui/widgets/lineedit.h"
#include "logcapture.h"
#include "plugin/login/advform.h"
#include "testmain.h"

// The advanced form's values as the plugin reads them.
class TestAdvForm : public QObject
{
    Q_OBJECT

private slots:
    void vpnTimeout_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("seconds");
        QTest::newRow("en") << "120 seconds" << 120;
        QTest::newRow("de") << "120 Sekunden" << 120;
        QTest::newRow("it") << "120 secondi" << 120;
        QTest::newRow("blanks around") << "  45   seconds  " << 45;
        QTest::newRow("bare number") << "7" << 7;
        QTest::newRow("unit first") << "Sekunden: 300" << 300;
        QTest::newRow("emptied by a click") << "" << 0;
        QTest::newRow("no number") << "seconds" << 0;
    }
    void vpnTimeout()
    {
        QFETCH(QString, text);
        QFETCH(int, seconds);
        AdvForm form(nullptr);
        form.form()->vpnTimeoutEdit->setText(text);
        QCOMPARE(form.vpnTimeout(), seconds);
    }

    void timeoutEditReformats()
    {
        AdvForm form(nullptr);
        QCOMPARE(form.vpnTimeout(), 60);
        form.setVpnTimeout(120);
        QCOMPARE(form.vpnTimeout(), 120);
        QSignalSpy edited(&form, SIGNAL(vpnTimeoutEdited()));
        int seen = -1;
        connect(&form, &AdvForm::vpnTimeoutEdited, [&]() { seen = form.vpnTimeout(); });
        emit form.form()->vpnTimeoutEdit->clicked();
        QCOMPARE(form.form()->vpnTimeoutEdit->text(), QString());
        form.form()->vpnTimeoutEdit->setText("75");
        emit form.form()->vpnTimeoutEdit->editingFinished();
        QCOMPARE(edited.count(), 1);
        QCOMPARE(seen, 75);
        QVERIFY(form.form()->vpnTimeoutEdit->text().startsWith("75 "));
    }

    void languages()
    {
        AdvForm form(nullptr);
        orvotest::LogCapture log;
        form.setLang("de");
        QCOMPARE(form.form()->langComboBox->currentIndex(), 1);
        form.setLang("fr");
        QCOMPARE(form.form()->langComboBox->currentIndex(), 1);
        QCOMPARE(log.linesAt("ERROR").size(), 2);
        QCOMPARE(AdvForm::indexToLang(2), QString("it"));
        QCOMPARE(AdvForm::indexToLang(3), QString());
    }

    void proxyPortClamped()
    {
        AdvForm form(nullptr);
        QCOMPARE(form.proxyPort(), 8080);
        form.setProxyPort(0);
        QCOMPARE(form.proxyPort(), 1);
        form.setProxyPort(70000);
        QCOMPARE(form.proxyPort(), 65535);
        QSignalSpy enabled(&form, SIGNAL(proxyEnabled(bool)));
        form.setProxyEnabled(true);
        QCOMPARE(enabled.count(), 1);
        QVERIFY(!form.form()->proxyTypeComboBox->isEnabled());
    }
};

ORVO_TEST_GUI_MAIN(TestAdvForm)
#include "tst_advform.moc"
