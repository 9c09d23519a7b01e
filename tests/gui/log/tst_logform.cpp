// The log page and the message capture: restored settings, verbosity,
// the logging switch, the first page's listener and announcements, copy,
// save and clear, several pages, and lines of other threads.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QThread>

#include <cerrno>
#include <memory>

#include <sys/stat.h>

#include "../boxdriver.h"
#include "common/config.h"
#include "common/log.h"
#include "gui/log/logform.h"
#include "gui/log/logformlogger.h"
#include "gui/log/logtable.h"
#include "gui/testseams.h"
#include "libabout/about.h"
#include "libvelcor/loglevel.h"
#include "linerecorder.h"
#include "logrows.h"
#include "smalldisk.h"
#include "testenv.h"
#include "testmain.h"

using logtest::containing;
using logtest::line;
using logtest::LineRecorder;
using logtest::messages;

namespace {

QSettings* store()
{
    static QSettings* s = nullptr;
    if (!s)
        s = new QSettings(QString::fromLatin1(LibVelcorOrganization),
                          QString::fromLatin1(ORVO::ApplicationId));
    return s;
}

LogTable* tableOf(LogForm* page)
{
    return page->findChild<LogTable*>();
}

QPushButton* button(LogForm* page, const QString& text)
{
    for (QPushButton* b : page->findChildren<QPushButton*>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

// Logs a line that only reaches pages that take every line.
QString probe(const QString& word)
{
    const QString text = QStringLiteral("[Probe] ") + word;
    // Each page sets the level from its verbosity; debug lines must print.
    g_cfg->logLevel = 7;
    LOG_DEBUG << text;
    return text;
}

} // namespace

class TestLogForm : public QObject
{
    Q_OBJECT

    orvotest::TestEnv env;
    std::unique_ptr<ORVO::Config> cfg;
    std::vector<std::unique_ptr<LogForm>> pages;

    LogForm* newPage()
    {
        pages.push_back(std::make_unique<LogForm>());
        return pages.back().get();
    }

    // A page that takes no line of the program's log, for exact rows.
    LogForm* quietPage()
    {
        store()->setValue("logDisabled", true);
        store()->sync();
        LogForm* page = newPage();
        tableOf(page)->clearRows();
        return page;
    }

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        QVERIFY(orvotest::writeFile(env.root() + "/b/Resources/etc/vtx.json", "{}"));
        QDir().mkpath(env.root() + "/b/bin");
        cfg = std::make_unique<ORVO::Config>(env.root() + "/b/bin");
        g_cfg = cfg.get();
        LineRecorder::install();
        LogFormLogger::instance();
        LogForm::setListenPort(0);
        ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
    }

    void init()
    {
        store()->clear();
        store()->sync();
        LogForm::resetFirstPage();
        LineRecorder::clear();
    }

    void cleanup()
    {
        pages.clear();
        ORVO::seams::setFileDialogAnswer({});
    }

    void cleanupTestCase() { g_cfg = nullptr; }

    void restore_data()
    {
        QTest::addColumn<QVariant>("storedVerbosity");
        QTest::addColumn<QVariant>("storedDisabled");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("nothing stored") << QVariant() << QVariant() << 2 << 5 << true;
        QTest::newRow("Normal") << QVariant("Normal") << QVariant() << 1 << 6 << true;
        QTest::newRow("High") << QVariant("High") << QVariant(false) << 0 << 7 << true;
        QTest::newRow("unknown word") << QVariant("Verbose") << QVariant() << 2 << 5 << true;
        QTest::newRow("disabled") << QVariant("Normal") << QVariant(true) << 1 << 6 << false;
    }

    void restore()
    {
        QFETCH(QVariant, storedVerbosity);
        QFETCH(QVariant, storedDisabled);
        QFETCH(int, index);
        QFETCH(int, level);
        QFETCH(bool, enabled);
        if (storedVerbosity.isValid())
            store()->setValue("logVerbosity", storedVerbosity);
        if (storedDisabled.isValid())
            store()->setValue("logDisabled", storedDisabled);
        store()->sync();
        g_cfg->logLevel = 7;

        LogForm* page = newPage();
        newPage();
        QSignalSpy verbositySpy(page, SIGNAL(logVerbosityChanged(ORVO::Verbosity)));
        QCOMPARE(page->findChild<QComboBox*>("comboBoxWithLabelSm")->currentIndex(), index);
        QCOMPARE(int(page->getLogVerbosity()), index);
        QCOMPARE(g_cfg->logLevel, level);
        QCOMPARE(g_libvelcorLogLev, level);
        QCOMPARE(page->findChild<QCheckBox*>("CheckBox")->isChecked(), enabled);
        QCOMPARE(page->logEnabled(), enabled);
        // Restoring writes no verbosity and announces nothing at once.
        store()->sync();
        QCOMPARE(store()->value("logVerbosity"), storedVerbosity);
        QCOMPARE(store()->value("logDisabled").toBool(), !enabled);
        QCOMPARE(verbositySpy.count(), 0);
        // The page takes the program's lines only while it is on.
        const QString text = probe("restore");
        QCOMPARE(containing(tableOf(page), text).size(), enabled ? 1 : 0);
        // The stored switch is logged once for both pages.
        QCOMPARE(LineRecorder::count("[Log] disabled"), enabled ? 0 : 1);
        QCOMPARE(LineRecorder::count("[Log] enabled"), enabled ? 1 : 0);
    }

    // A choice in either page sets the level, the setting and the signal;
    // the other page's chooser follows, announcing nothing.
    void verbosityChoice()
    {
        LogForm* first = newPage();
        LogForm* second = newPage();
        QSignalSpy spy(first, SIGNAL(logVerbosityChanged(ORVO::Verbosity)));
        QComboBox* firstBox = first->findChild<QComboBox*>("comboBoxWithLabelSm");
        firstBox->setCurrentIndex(ORVO::VerbosityHigh);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<ORVO::Verbosity>(), ORVO::VerbosityHigh);
        QCOMPARE(store()->value("logVerbosity").toString(), QString("High"));
        QCOMPARE(g_cfg->logLevel, 7);
        QVERIFY(!containing(tableOf(first), "[Log] verbosity: \"High\"").isEmpty());

        QCOMPARE(second->getLogVerbosity(), ORVO::VerbosityHigh);
        second->findChild<QComboBox*>("comboBoxWithLabelSm")->setCurrentIndex(1);
        QCOMPARE(store()->value("logVerbosity").toString(), QString("Normal"));
        QCOMPARE(g_cfg->logLevel, 6);
        QCOMPARE(firstBox->currentIndex(), int(ORVO::VerbosityNormal));
        QCOMPARE(spy.count(), 1);
        // Both pages take lines at the level in force: no trace line.
        g_cfg->logLevel = 7;
        LOG_TRACE << "[Probe] trace line";
        QCOMPARE(containing(tableOf(first), "[Probe] trace line").size(), 0);
        QCOMPARE(containing(tableOf(second), "[Probe] trace line").size(), 0);
    }

    // Without a configuration the level cannot be set, and nothing breaks.
    void verbosityWithoutConfiguration()
    {
        LogForm* page = newPage();
        g_cfg = nullptr;
        g_libvelcorLogLev = 0;
        page->setLogVerbosity(ORVO::VerbosityLow);
        g_cfg = cfg.get();
        QCOMPARE(g_libvelcorLogLev, 5);
        QCOMPARE(LineRecorder::count("[Log] No configuration"), 1);
    }

    // The first page runs the listener: it announces the port and the
    // verbosity a second later and logs each service line, which reaches
    // every page. The second page announces nothing.
    void firstPageListens()
    {
        store()->setValue("logVerbosity", "Normal");
        store()->sync();
        QElapsedTimer sinceFirst;
        sinceFirst.start();
        LogForm* first = newPage();
        LogForm* second = newPage();
        QSignalSpy port(first, SIGNAL(logPortSupply(int)));
        QSignalSpy verbosity(first, SIGNAL(logVerbosityChanged(ORVO::Verbosity)));
        QSignalSpy secondPort(second, SIGNAL(logPortSupply(int)));
        QSignalSpy secondVerbosity(second, SIGNAL(logVerbosityChanged(ORVO::Verbosity)));
        // Nothing before the second is up (a slow build, as under the
        // sanitizers, may take most of it to make the pages).
        QTest::qWait(qMax<qint64>(0, 700 - sinceFirst.elapsed()));
        if (sinceFirst.elapsed() < 900)
            QCOMPARE(verbosity.count() + port.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(verbosity.count(), 1, 2000);
        QCOMPARE(verbosity.at(0).at(0).value<ORVO::Verbosity>(), ORVO::VerbosityNormal);
        QTRY_COMPARE_WITH_TIMEOUT(port.count(), 1, 3000);
        const int p = port.at(0).at(0).toInt();
        QVERIFY(p > 0);
        QCOMPARE(first->objectName(), QString("pluginWindow"));
        QCOMPARE(second->objectName(), QString("pluginWindow"));

        LineRecorder::clear();
        QTcpSocket service;
        service.connectToHost(QHostAddress::LocalHost, quint16(p));
        QVERIFY(service.waitForConnected(2000));
        const QString svcStamp = "Mon Dec 7 09:59:44 2026";
        service.write(QString("  " + line("notice", "[VPN] tunnel up", svcStamp) + "  \n" +
                              line("trace", "[VPN] trace detail", svcStamp) + "\n" +
                              line("notice", QString::fromUtf8("Grüße aus 東京"), svcStamp) + "\n")
                          .toUtf8());
        service.write(line("notice", QString::fromUtf8("[VPN] a\\b\u2028c"), svcStamp).toUtf8() +
                      '\n');
        // Anything else ends the connection.
        service.write("garbage without fields\n");
        QTRY_COMPARE(service.state(), QAbstractSocket::UnconnectedState);
        QTRY_COMPARE(containing(tableOf(second), "[VPN] a\\\\b\\u2028c").size(), 1);
        for (LogForm* page : {first, second}) {
            QCOMPARE(containing(tableOf(page), "[VPN] tunnel up").size(), 1);
            QCOMPARE(containing(tableOf(page), QString::fromUtf8("[notice] Grüße aus 東京")).size(),
                     1);
            QCOMPARE(containing(tableOf(page), "trace detail").size(), 0);
        }
        // Re-logged as the service wrote it, with nothing of this process.
        const QStringList relogged = LineRecorder::lines();
        QCOMPARE(relogged.filter("[VPN] tunnel up"),
                 QStringList{QString(svcStamp + " [0x7f00] [notice] [" + logtest::Location +
                                     "] [VPN] tunnel up")});
        // Escaped once, like any line of the log.
        QCOMPARE(relogged.filter("[VPN] a\\\\b\\u2028c").size(), 1);
        QCOMPARE(relogged.filter("trace detail").size(), 0);
        QCOMPARE(relogged.filter("garbage").size(), 0);
        QCOMPARE(secondPort.count() + secondVerbosity.count(), 0);
    }

    // A page whose listener cannot start leaves the duty to the next one.
    // Taken ports do not stop it: the system picks one then. No descriptor
    // left does.
    void listenerFailureMovesOn()
    {
        // Fonts are read before, not without descriptors.
        QVERIFY(!QFontDatabase().families().isEmpty());
        orvotest::NoFreeDescriptors none;
        QVERIFY(none.isValid());
        LogForm* failed = newPage();
        none.release();
        QSignalSpy failedPort(failed, SIGNAL(logPortSupply(int)));
        QSignalSpy failedVerbosity(failed, SIGNAL(logVerbosityChanged(ORVO::Verbosity)));
        QCOMPARE(failed->objectName(), QString("LogForm"));
        QVERIFY(LineRecorder::count("[ERROR]") >= 1);

        LogForm* next = newPage();
        QSignalSpy nextPort(next, SIGNAL(logPortSupply(int)));
        QTRY_COMPARE_WITH_TIMEOUT(nextPort.count(), 1, 3000);
        QCOMPARE(failedPort.count() + failedVerbosity.count(), 0);
        QCOMPARE(next->objectName(), QString("pluginWindow"));
    }

    // Copy and save give the shown rows, "time";"message" CR LF, UTF-8,
    // a quote inside a cell written twice (CSV).
    void copyAndSave_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("copies"); // of the five lines
        QTest::addColumn<QByteArray>("expected");
        const QByteArray t = "\"2026-12-07 09:59:44\";";
        const QByteArray all = t + "\"[A] alpha\"\r\n" + t + "\"[B] say \"\"hi\"\"\"\r\n" + t +
                               "\"[notice] gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac\"\r\n" + t +
                               "\"[C] two\nlines\"\r\n" + t + "\"[D] a;\"\"b\"\r\n";
        QTest::newRow("all") << "" << 1 << all;
        QTest::newRow("quotes") << "hi" << 1 << t + "\"[B] say \"\"hi\"\"\"\r\n";
        QTest::newRow("nothing shown") << "absent" << 1 << QByteArray();
        QTest::newRow("40,000 rows") << "" << 8000 << all.repeated(8000);
    }

    void copyAndSave()
    {
        QFETCH(QString, search);
        QFETCH(int, copies);
        QFETCH(QByteArray, expected);
        LogForm* page = quietPage();
        for (int i = 0; i < copies; ++i) {
            for (const QString& m :
                 {QString("[A] alpha"), QString("[B] say \"hi\""), QString::fromUtf8("grüße €"),
                  QString("[C] two\nlines"), QString("[D] a;\"b")})
                page->appendLine(QtDebugMsg, line("notice", m));
        }
        page->findChild<QLineEdit*>("plainLineEdit")->setText(search);
        tableOf(page)->selectAll();

        QApplication::clipboard()->clear();
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(button(page, "Copy log to clipboard"), Qt::LeftButton);
        // Linear: grown by each row's exact size, it took minutes under ASan.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(QApplication::clipboard()->text(), QString::fromUtf8(expected));
        QVERIFY(tableOf(page)->selectedItems().isEmpty());

        const QString path = env.root() + "/saved.csv";
        QVERIFY(orvotest::writeFile(path, "old content that is longer than the log"));
        QString filter;
        ORVO::seams::setFileDialogAnswer([&](const QString&, const QString&, const QString& f) {
            filter = f;
            return path;
        });
        QTest::mouseClick(button(page, "Save log to file"), Qt::LeftButton);
        QVERIFY2(filter.contains("(*.csv)"), qPrintable(filter));
        QCOMPARE(orvotest::readFile(path), expected);
    }

    // Ctrl+C copies the selected rows and keeps the selection.
    void copySelected()
    {
        LogForm* page = quietPage();
        for (const char* m : {"[A] one", "[A] two", "[A] three"})
            page->appendLine(QtDebugMsg, line("notice", m));
        LogTable* table = tableOf(page);
        table->flushRows();
        table->topLevelItem(1)->setSelected(true);
        table->topLevelItem(2)->setSelected(true);
        QApplication::clipboard()->clear();
        QList<QAction*> actions = table->actions();
        QCOMPARE(actions.size(), 1);
        QCOMPARE(actions.at(0)->shortcut(), QKeySequence(QKeySequence::Copy));
        actions.at(0)->trigger();
        QCOMPARE(QApplication::clipboard()->text(),
                 QString("\"2026-12-07 09:59:44\";\"[A] two\"\r\n"
                         "\"2026-12-07 09:59:44\";\"[A] three\"\r\n"));
        QCOMPARE(table->selectedItems().size(), 2);
    }

    // A failed save leaves the previous file, logs and tells the user why.
    void saveFailure_data()
    {
        QTest::addColumn<QString>("target"); // under the environment's root
        QTest::addColumn<QString>("kept");   // the file that must stay as it was, or a FIFO
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a folder") << "/blocker/log.csv"
                                      << "/blocker" << qt_error_string(ENOTDIR);
        QTest::newRow("full disk") << "/small/log.csv"
                                   << "/small/log.csv" << qt_error_string(ENOSPC);
        QTest::newRow("a FIFO") << "/fifo"
                                << ""
                                << "Not a regular file";
    }

    void saveFailure()
    {
        QFETCH(QString, target);
        QFETCH(QString, kept);
        QFETCH(QString, reason);
        std::unique_ptr<orvotest::SmallDisk> disk;
        if (target.startsWith("/small/")) {
            disk = std::make_unique<orvotest::SmallDisk>(env.root() + "/small");
            if (!disk->isMounted())
                QSKIP(qPrintable(disk->whyNot()));
        }
        LogForm* page = quietPage();
        // More than the one block left free.
        for (int i = 0; i < 100; ++i)
            page->appendLine(QtDebugMsg, line("notice", "[A] line " + QString(80, 'x')));
        const QByteArray fifo = QFile::encodeName(env.root() + target);
        QVERIFY(kept.isEmpty() ? ::mkfifo(fifo.constData(), 0600) == 0
                               : orvotest::writeFile(env.root() + kept, "the previous file"));
        if (disk)
            QVERIFY(disk->fill());
        ORVO::seams::setMessageBoxAutoAnswer(0);
        BoxDriver box(QMessageBox::Ok);
        const int rc = page->saveTo(env.root() + target);
        ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
        QCOMPARE(rc, -1);
        QVERIFY(box.seen.shown);
        QCOMPARE(box.seen.title, ORVO::app() + " Error");
        QVERIFY2(box.seen.text.contains(env.root() + target + ":\n" + reason),
                 qPrintable(box.seen.text));
        QCOMPARE(LineRecorder::count("[ERROR]"), 1);
        QCOMPARE(LineRecorder::count("[Log] Cannot save the log to"), 1);
        struct stat st = {};
        if (kept.isEmpty())
            QVERIFY(::stat(fifo.constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        else
            QCOMPARE(orvotest::readFile(env.root() + kept), QByteArray("the previous file"));
    }

    // Clear removes the rows; the lines come back with the next search.
    void clearThenSearch()
    {
        LogForm* page = quietPage();
        page->appendLine(QtDebugMsg, line("notice", "[A] before clear"));
        QTest::mouseClick(button(page, "Clear log"), Qt::LeftButton);
        QCOMPARE(messages(tableOf(page)), QStringList());
        page->appendLine(QtDebugMsg, line("notice", "[A] after clear"));
        QCOMPARE(messages(tableOf(page)), QStringList("[A] after clear"));
        page->findChild<QLineEdit*>("plainLineEdit")->setText("clear");
        QCOMPARE(messages(tableOf(page)), (QStringList{"[A] before clear", "[A] after clear"}));
    }

    // The switch: off, the page takes only "[Log]" lines; on again, all.
    void logSwitch()
    {
        LogForm* page = newPage();
        const QString enabled = "[Log] enabled (verbosity = \"Low\")";
        QCOMPARE(containing(tableOf(page), enabled).size(), 1);
        QCheckBox* box = page->findChild<QCheckBox*>("CheckBox");
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(!page->logEnabled());
        QCOMPARE(store()->value("logDisabled").toBool(), true);
        QCOMPARE(containing(tableOf(page), "[Log] disabled").size(), 1);
        const QString off = probe("while off");
        LOG_DEBUG << "[Log] status while off";
        QCOMPARE(containing(tableOf(page), off).size(), 0);
        QCOMPARE(containing(tableOf(page), "[Log] status while off").size(), 0);

        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(store()->value("logDisabled").toBool(), false);
        QCOMPARE(containing(tableOf(page), enabled).size(), 2);
        const QString on = probe("while on");
        QCOMPARE(containing(tableOf(page), on).size(), 1);
    }

    // Choices that cannot be stored are in force until the program ends (a
    // full disk must not keep the log detailed), the chooser shows the one in
    // force, and the user is told why they are not kept.
    void choicesNotSaved()
    {
        const QString folder = QFileInfo(store()->fileName()).absolutePath();
        orvotest::SmallDisk disk(folder);
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.whyNot()));
        LogForm* page = newPage();
        QSignalSpy told(page, SIGNAL(logVerbosityChanged(ORVO::Verbosity)));
        QVERIFY(disk.fill());
        g_cfg->logLevel = 7; // the boxes' lines
        QTest::mouseClick(page->findChild<QCheckBox*>("CheckBox"), Qt::LeftButton);
        page->findChild<QComboBox*>("comboBoxWithLabelSm")->setCurrentIndex(1);
        QVERIFY(!page->logEnabled());
        QCOMPARE(page->getLogVerbosity(), ORVO::VerbosityNormal);
        QCOMPARE(g_cfg->logLevel, 6);
        QCOMPARE(told.count(), 1);
        QCOMPARE(LineRecorder::count("[Log] verbosity: \"Normal\""), 1);
        QCOMPARE(LineRecorder::count("Auto-answer 1024: \"" + ORVO::app() +
                                     " Error\": \"The setting could not be saved, and holds only "
                                     "until the program ends: cannot write the settings file " +
                                     store()->fileName() + ": no space left on device\""),
                 2);
    }

    // Destroying one page leaves the others registered.
    void pageDestroyed()
    {
        LogForm* first = newPage();
        LogForm* second = newPage();
        const QString before = probe("before");
        pages.pop_back();
        const QString after = probe("after");
        QCOMPARE(containing(tableOf(first), before).size(), 1);
        QCOMPARE(containing(tableOf(first), after).size(), 1);
        Q_UNUSED(second);
    }

    void registeredTwice()
    {
        LogForm* page = quietPage();
        LogFormLogger::addTarget(page);
        LogFormLogger::addTarget(page);
        page->findChild<QCheckBox*>("CheckBox")->blockSignals(true);
        page->findChild<QCheckBox*>("CheckBox")->setChecked(true);
        const QString twice = probe("twice");
        QCOMPARE(containing(tableOf(page), twice).size(), 2);
        LogFormLogger::removeTarget(page);
        const QString none = probe("none");
        QCOMPARE(containing(tableOf(page), none).size(), 0);
    }

    // A line logged while another is delivered follows it to the previous
    // handler and the pages.
    // The note, like the line on the stored switch, is every page's: it is
    // written once, and again by pages started over.
    void lineLoggedDuringDelivery()
    {
        for (int start = 0; start < 2; ++start) {
            init();
            LogForm* page = newPage();
            LogForm* other = newPage();
            tableOf(page)->setCapacity(1);
            tableOf(other)->setCapacity(1);
            probe("over the bound");
            const QString note = "[Log] The log view keeps the newest 1 lines";
            QCOMPARE(LineRecorder::count(note), 1);
            for (LogForm* p : {page, other})
                QCOMPARE(containing(tableOf(p), note).size(), 1);
        }
    }

    // A line of another thread goes to the previous handler at once, on
    // that thread, and reaches the pages on the GUI thread afterwards.
    void lineFromWorkerThread()
    {
        LogForm* page = newPage();
        LogTable* table = tableOf(page);
        const int stored = table->lineCount();
        Qt::HANDLE worker = nullptr;
        g_cfg->logLevel = 7;
        QThread* thread = QThread::create([&worker]() {
            worker = QThread::currentThreadId();
            LOG_DEBUG << "[Worker] from another thread";
        });
        thread->start();
        QVERIFY(thread->wait(5000));
        delete thread;
        QCOMPARE(table->lineCount(), stored);
        const QVector<LineRecorder::Entry> seen = LineRecorder::entries();
        int found = 0;
        for (const LineRecorder::Entry& e : seen) {
            if (e.text.contains("[Worker] from another thread")) {
                ++found;
                QCOMPARE(e.thread, worker);
            }
        }
        QCOMPARE(found, 1);
        QTRY_COMPARE(containing(table, "[Worker] from another thread").size(), 1);
    }
};

ORVO_TEST_GUI_MAIN(TestLogForm)
#include "tst_logform.moc"
