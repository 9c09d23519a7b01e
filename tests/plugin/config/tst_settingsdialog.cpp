#include <QBitmap>
#include <QDir>
#include <QSignalSpy>
#include <QTabWidget>

#include "gui/testseams.h"
#include "logcapture.h"
#include "settingsfixture.h"
#include "smalldisk.h"
#include "testenv.h"
#include "testmain.h"

using namespace settingstest;

class TestSettingsDialog : public QObject
{
    Q_OBJECT

    orvotest::TestEnv env;

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        LogForm::setListenPort(0);
    }

    void init()
    {
        store()->clear();
        store()->sync();
        ORVO::seams::setMessageBoxAutoAnswer(0);
    }

    void cleanup() { ORVO::seams::setMessageBoxAutoAnswer(0); }

    void listing_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("errors");

        QTest::newRow("by key text, upper case first")
            << Entries{"ssh=Shell|/usr/bin/ssh|", "Vnc=Viewer|%PROGRAM_PATH%/vnc|/opt/vnc",
                       "Ssh=S|/bin/ssh|/x"}
            << QStringList{"Ssh|S|/bin/ssh|/x", "Vnc|Viewer|%PROGRAM_PATH%/vnc|/opt/vnc",
                           "ssh|Shell|/usr/bin/ssh|"}
            << 0;
        QTest::newRow("empty fields") << Entries{"a=||"} << QStringList{"a|||"} << 0;
        // Each unreadable entry is shown as not set, between the others.
        QTest::newRow("unreadable entries")
            << Entries{"a=R|P|/c", "b=R|P", "c=R|P|/c|d", "d", "e=/only/path", "f=R|P|"}
            << QStringList{"a|R|P|/c", "b|||", "c|||", "d|||", "e|||", "f|R|P|"} << 4;
        QTest::newRow("nothing stored") << Entries{} << QStringList{} << 0;
    }
    void listing()
    {
        QFETCH(Entries, entries);
        QFETCH(QStringList, expected);
        QFETCH(int, errors);
        seed(ServerA, entries);
        seed(ServerB, {"other=R|P|/b"});
        orvotest::LogCapture log;

        auto d = openDialog();
        QCOMPARE(rows(d.get()), expected);
        QCOMPARE(d->getActionCount(), expected.size());
        QCOMPARE(log.count(QRegularExpression("\\[ERROR\\].*unreadable location")), errors);
        QCOMPARE(button(d.get(), "Reset Selected")->isEnabled(), !expected.isEmpty());
        QCOMPARE(button(d.get(), "Reset All")->isEnabled(), !expected.isEmpty());
        // Every cell's tooltip is its text; a listing writes nothing.
        TableWidget* t = table(d.get());
        for (int r = 0; r < t->rowCount(); ++r)
            for (int c = 0; c < 4; ++c)
                QCOMPARE(t->item(r, c)->toolTip(), t->item(r, c)->text());
        QVERIFY(!log.contains("changing key"));
        QCOMPARE(stored(ServerA).size(), entries.size());
        QCOMPARE(stored(ServerB), Entries{"other=R|P|/b"});
    }

    void malformedRowCannotBeEdited()
    {
        seed(ServerA, {"bad=R|P", "good=R|P|/c"});
        auto d = openDialog();
        TableWidget* t = table(d.get());
        for (int c = 0; c < 4; ++c)
            QVERIFY(!(t->item(0, c)->flags() & Qt::ItemIsEditable));
        QVERIFY(t->item(1, 3)->flags() & Qt::ItemIsEditable);
        // Even set from code, the cell keeps showing "not set".
        t->item(0, 3)->setText("/typed");
        QCOMPARE(t->item(0, 3)->text(), QString());
        QCOMPARE(stored(ServerA), (Entries{"bad=R|P", "good=R|P|/c"}));
    }

    void editCustom_data()
    {
        QTest::addColumn<QStringList>("edit"); // stored before, typed, stored after
        QTest::addColumn<bool>("logged");

        QTest::newRow("new path") << QStringList{"R|P|/old", "/new path ", "R|P|/new path "}
                                  << true;
        QTest::newRow("first location") << QStringList{"R|P|", "/opt/x", "R|P|/opt/x"} << true;
        QTest::newRow("cleared") << QStringList{"R|P|/old", "", "R|P|"} << true;
        QTest::newRow("unchanged") << QStringList{"R|P|/old", "/old", "R|P|/old"} << false;
        // The editor drops the separator, typed or pasted.
        QTest::newRow("separator typed") << QStringList{"R|P|/old", "/a|b", "R|P|/ab"} << true;
    }
    void editCustom()
    {
        QFETCH(QStringList, edit);
        QFETCH(bool, logged);
        const QString before = edit.at(0), typed = edit.at(1), after = edit.at(2);
        seed(ServerA, {"app=" + before});
        seed(ServerB, {"app=" + before});
        auto d = openDialog();
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        orvotest::LogCapture log;

        TableWidget* t = table(d.get());
        t->setCurrentCell(0, 3);
        t->editItem(t->item(0, 3));
        QPointer<QLineEdit> editor = openEditor(d.get());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClicks(editor, typed);
        // The view commits from its event loop, then drops the editor.
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(editor.isNull());

        QCOMPARE(stored(ServerA), Entries{"app=" + after});
        QCOMPARE(stored(ServerB), Entries{"app=" + before});
        QCOMPARE(t->item(0, 3)->text(), after.section('|', 2));
        QCOMPARE(log.contains("changing key"), logged);
    }

    void refusedChanges_data()
    {
        // The store's value at the edit ("-" for none), the text set, the text shown.
        QTest::addColumn<QStringList>("change");
        QTest::newRow("separator from code") << QStringList{"R|P|/old", "/a|b", "/old"};
        QTest::newRow("entry broken since the listing") << QStringList{"R|P", "/new", ""};
        QTest::newRow("entry gone since the listing") << QStringList{"-", "/new", ""};
    }
    void refusedChanges()
    {
        QFETCH(QStringList, change);
        const QString outside = change.at(0), text = change.at(1), shown = change.at(2);
        seed(ServerA, {"app=R|P|/old"});
        auto d = openDialog();
        if (outside == "-")
            store()->remove(group(ServerA) + "app");
        else
            store()->setValue(group(ServerA) + "app", outside);
        store()->sync();
        orvotest::LogCapture log;

        table(d.get())->item(0, 3)->setText(text);
        QCOMPARE(table(d.get())->item(0, 3)->text(), shown);
        QCOMPARE(stored(ServerA), outside == "-" ? Entries{} : Entries{"app=" + outside});
        QCOMPARE(log.linesAt("ERROR").size(), 1);
    }

    void editorOnlyOnCustomLocation_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("byKey");
        for (int column = 0; column < 4; ++column) {
            QTest::addRow("double click, column %d", column) << column << false;
            QTest::addRow("edit key, column %d", column) << column << true;
        }
    }
    void editorOnlyOnCustomLocation()
    {
        QFETCH(int, column);
        QFETCH(bool, byKey);
        seed(ServerA, {"app=R|P|/old"});
        auto d = openDialog();
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        TableWidget* t = table(d.get());
        t->setFocus();
        t->setCurrentCell(0, column);
        if (byKey) {
            QTest::keyClick(t, Qt::Key_F2);
        } else {
            const QPoint at = t->visualItemRect(t->item(0, column)).center();
            // The press of a real double click comes first.
            QTest::mouseClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            QTest::mouseDClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        }
        QCOMPARE(openEditor(d.get()) != nullptr, column == 3);
        // A double-clicked cell outside the custom location stays read-only.
        QCOMPARE(bool(t->item(0, column)->flags() & Qt::ItemIsEditable), byKey || column == 3);
        QCOMPARE(stored(ServerA), Entries{"app=R|P|/old"});
    }

    void reset_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last"); // -1: nothing selected
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("listed"); // the keys left in the table
        QTest::addColumn<QStringList>("kept");   // and in the store

        const QString one = "Reset Selected", all = "Reset All";
        const int ok = QMessageBox::Ok;
        const QStringList none, seen{"a", "b", "bad", "c"}, late{"late"};
        QTest::newRow("two adjacent, Ok")
            << one << 0 << 1 << ok << QStringList{"bad", "c"} << QStringList{"bad", "c", "late"};
        QTest::newRow("the unreadable one, Ok") << one << 2 << 2 << ok << QStringList{"a", "b", "c"}
                                                << QStringList{"a", "b", "c", "late"};
        QTest::newRow("every row, Ok") << one << 0 << 3 << ok << none << late;
        QTest::newRow("Cancel") << one << 0 << 1 << int(QMessageBox::Cancel) << seen << seen + late;
        QTest::newRow("box closed")
            << one << 0 << 1 << ORVO::seams::CloseAnswer << seen << seen + late;
        QTest::newRow("nothing selected") << one << 0 << -1 << ok << seen << seen + late;
        // Reset All also takes what was stored while the dialog was open.
        QTest::newRow("all, Ok") << all << 0 << -1 << ok << none << none;
        QTest::newRow("all, Cancel")
            << all << 0 << -1 << int(QMessageBox::Cancel) << seen << seen + late;
    }
    void reset()
    {
        QFETCH(QString, which);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, answer);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, kept);
        seed(ServerA, {"a=R|P|/a", "b=R|P|", "bad=R|P", "c=R|P|/c"});
        seed(ServerB, {"a=R|P|/a"});
        auto d = openDialog();
        // Stored by the launcher while the dialog is open: never listed here.
        seed(ServerA, {"late=R|P|/late"});
        if (last >= 0)
            selectRows(d.get(), first, last);
        ORVO::seams::setMessageBoxAutoAnswer(answer);
        BoxRecorder recorder;

        QTest::mouseClick(button(d.get(), which), Qt::LeftButton);

        const QString asked = which == "Reset All" ? "ALL" : "the selected";
        if (which == "Reset All" || last >= 0)
            QCOMPARE(recorder.seen, QStringList{"Bastiva Connect App Confirmation: Do you really "
                                                "want to reset " +
                                                asked + " applications?"});
        else
            QVERIFY(recorder.seen.isEmpty());
        QStringList keys;
        for (const QString& row : rows(d.get()))
            keys.append(row.section('|', 0, 0));
        QCOMPARE(keys, listed);
        QCOMPARE(d->getActionCount(), listed.size());
        Entries left;
        for (const QString& entry :
             Entries{"a=R|P|/a", "b=R|P|", "bad=R|P", "c=R|P|/c", "late=R|P|/late"})
            if (kept.contains(entry.section('=', 0, 0)))
                left.append(entry);
        QCOMPARE(stored(ServerA), left);
        QCOMPARE(stored(ServerB), Entries{"a=R|P|/a"});
        QCOMPARE(button(d.get(), "Reset Selected")->isEnabled(), !listed.isEmpty());
        QCOMPARE(button(d.get(), "Reset All")->isEnabled(), !listed.isEmpty());
    }

    void reloadFollowsStoreAndServer()
    {
        seed(ServerA, {"a=R|P|"});
        seed(ServerB, {"b=R|P|/b"});
        auto d = openDialog();
        QCOMPARE(rows(d.get()), QStringList{"a|R|P|"});

        // The launcher stores a location; the next opening shows it.
        seed(ServerA, {"a=R|P|/picked"});
        for (int i = 0; i < 3; ++i)
            d->load();
        QCOMPARE(rows(d.get()), QStringList{"a|R|P|/picked"});

        d->setServerId(QUuid(QString::fromLatin1(ServerB)));
        d->load();
        QCOMPARE(rows(d.get()), QStringList{"b|R|P|/b"});
        // After many openings, edits still reach the listed server's group.
        table(d.get())->item(0, 3)->setText("/edited");
        QCOMPARE(stored(ServerB), Entries{"b=R|P|/edited"});
        QCOMPARE(stored(ServerA), Entries{"a=R|P|/picked"});
    }

    void failedWritesLoseNothing()
    {
        // The store's file on a full disk: every save fails.
        const QString file = store()->fileName();
        const QString folder = QFileInfo(file).absolutePath();
        orvotest::SmallDisk disk(folder);
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.whyNot()));
        seed(ServerA, {"a=R|P|/a", "b=R|P|/b"});
        auto d = openDialog();
        const QByteArray before = orvotest::readFile(file);
        QVERIFY(disk.fill());
        ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
        BoxRecorder recorder;

        table(d.get())->item(0, 3)->setText("/new");
        QCOMPARE(table(d.get())->item(0, 3)->text(), QString("/a"));
        QTRY_COMPARE(recorder.seen.size(), 1);
        // With the system's reason.
        const QString reason =
            ": cannot write the settings file " + file + ": no space left on device";
        QVERIFY2(recorder.seen.at(0).endsWith("The location could not be saved" + reason),
                 qPrintable(recorder.seen.at(0)));

        selectRows(d.get(), 1, 1);
        QTest::mouseClick(button(d.get(), "Reset Selected"), Qt::LeftButton);
        QCOMPARE(recorder.seen.size(), 3);
        QVERIFY(recorder.seen.at(2).endsWith("The applications could not be reset" + reason));
        QCOMPARE(rows(d.get()), (QStringList{"a|R|P|/a", "b|R|P|/b"}));
        QCOMPARE(d->getActionCount(), 2);
        d.reset();
        QCOMPARE(orvotest::readFile(file), before);
    }

    void changeButton_data()
    {
        QTest::addColumn<QStringList>("entries"); // old, new, repeat
        QTest::addColumn<bool>("enabled");
        QTest::newRow("all three") << QStringList{"o", "n", "n"} << true;
        QTest::newRow("blanks count") << QStringList{" ", " ", " "} << true;
        QTest::newRow("old missing") << QStringList{"", "n", "n"} << false;
        QTest::newRow("new missing") << QStringList{"o", "", "n"} << false;
        QTest::newRow("repeat missing") << QStringList{"o", "n", ""} << false;
    }
    void changeButton()
    {
        QFETCH(QStringList, entries);
        QFETCH(bool, enabled);
        auto d = openDialog();
        QPushButton* change = button(d.get(), "Change password");
        QVERIFY(!change->isEnabled());
        fillPasswords(d.get(), entries);
        QCOMPARE(change->isEnabled(), enabled);
        // Opening again empties the fields.
        d->load();
        QVERIFY(!change->isEnabled());
        QCOMPARE(edit(d.get(), "oldPassEdit")->text(), QString());
    }

    void changePassword_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("entries"); // old, new, repeat
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("error"); // the second box's text, "" for none
        QTest::addColumn<bool>("emitted");

        const int ok = QMessageBox::Ok;
        const QString none;
        const QString wrongOld = "Incorrect Old password!";
        const QString mismatch = "Password reentered incorrectly!";
        QTest::newRow("accepted") << "secret" << QStringList{"secret", "n 1", "n 1"} << ok << none
                                  << true;
        QTest::newRow("blank new password")
            << "secret" << QStringList{"secret", " ", " "} << ok << none << true;
        QTest::newRow("stored with blank, part before it")
            << "my secret" << QStringList{"my", "n", "n"} << ok << none << true;
        QTest::newRow("stored with blank, full text refused")
            << "my secret" << QStringList{"my secret", "n", "n"} << ok << wrongOld << false;
        QTest::newRow("two blanks lose the last part")
            << "a b c" << QStringList{"a b", "n", "n"} << ok << none << true;
        QTest::newRow("trailing blank dropped")
            << "secret " << QStringList{"secret", "n", "n"} << ok << none << true;
        QTest::newRow("case matters")
            << "Secret" << QStringList{"secret", "n", "n"} << ok << wrongOld << false;
        QTest::newRow("repeat differs")
            << "secret" << QStringList{"secret", "n", "m"} << ok << mismatch << false;
        QTest::newRow("wrong old before repeat")
            << "secret" << QStringList{"wrong", "n", "m"} << ok << wrongOld << false;
        QTest::newRow("Cancel, wrong entries") << "secret" << QStringList{"wrong", "n", "m"}
                                               << int(QMessageBox::Cancel) << none << false;
        QTest::newRow("box closed") << "secret" << QStringList{"secret", "n", "n"}
                                    << ORVO::seams::CloseAnswer << none << false;
    }
    void changePassword()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, entries);
        QFETCH(int, answer);
        QFETCH(QString, error);
        QFETCH(bool, emitted);
        auto d = openDialog(ServerA, stored);
        QSignalSpy spy(d.get(), SIGNAL(changePassword(QString)));
        orvotest::LogCapture log;
        fillPasswords(d.get(), entries);
        ORVO::seams::setMessageBoxAutoAnswer(answer);
        BoxRecorder recorder;

        QTest::mouseClick(button(d.get(), "Change password"), Qt::LeftButton);

        QStringList boxes{"Bastiva Connect App Confirmation: "
                          "Do you really want to change your password?"};
        if (!error.isEmpty())
            boxes.append("Bastiva Connect App Error: " + error);
        QCOMPARE(recorder.seen, boxes);
        QCOMPARE(spy.count(), emitted ? 1 : 0);
        if (emitted)
            QCOMPARE(spy.at(0).at(0).toString(), entries.at(1));
        // The fields keep their texts; no password reaches the log.
        QCOMPARE(edit(d.get(), "newPassEdit")->text(), entries.at(1));
        for (const QString& line : log.lines())
            QVERIFY2(!line.contains(stored.trimmed()), qPrintable(line));
    }

    void withoutLogForm()
    {
        seed(ServerA, {"a=R|P|/a"});
        orvotest::LogCapture log;
        SettingsDialog d(nullptr, nullptr);
        QVERIFY(!d.isValid());
        QCOMPARE(log.linesAt("ERROR").size(), 1);
        d.setServerId(QUuid(QString::fromLatin1(ServerA)));
        d.setAuth(libvelcor::Auth());
        d.load();
        d.setVisible(true);
        QMetaObject::invokeMethod(&d, "test");
        d.setVisible(false);
        QVERIFY(!table(&d));
        QVERIFY(!d.findChild<QTabWidget*>());
        QCOMPARE(d.getActionCount(), 0);
        QCOMPARE(stored(ServerA), Entries{"a=R|P|/a"});
    }

    void hostsLogForm()
    {
        auto* form = new LogForm();
        QPointer<LogForm> watch(form);
        {
            SettingsDialog d(nullptr, form);
            auto* tabs = d.findChild<QTabWidget*>();
            QVERIFY(tabs);
            QCOMPARE(tabs->widget(2), form);
            QCOMPARE(tabs->tabText(2), QString("Logs"));
            QCOMPARE(d.windowTitle(), QString("Bastiva Connect App Settings"));
        }
        // The dialog owns the page it hosts.
        QVERIFY(watch.isNull());
    }

    void tableMask_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("form size") << QSize(540, 400);
        QTest::newRow("small") << QSize(40, 30);
        QTest::newRow("wide") << QSize(900, 60);
    }
    void tableMask()
    {
        QFETCH(QSize, size);
        // A child, so that each resize reaches it at once.
        QWidget host;
        host.resize(1000, 500);
        TableWidget t(&host);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        t.resize(size);
        QVERIFY(t.getMaskPixmap());
        QCOMPARE(t.getMaskPixmap()->size(), size);
        const QRegion mask = t.mask();
        QVERIFY(mask.contains(QPoint(size.width() / 2, size.height() / 2)));
        // The rounded corners are cut out, the rest stays.
        int cut = 0;
        for (int x = 0; x < 16; ++x)
            for (int y = 0; y < 16; ++y)
                cut += mask.contains(QPoint(x, y)) ? 0 : 1;
        QVERIFY(cut > 0);
        QVERIFY(cut < 16 * 16);

        t.resize(size + QSize(10, 10));
        QCOMPARE(t.getMaskPixmap()->size(), size + QSize(10, 10));
        t.resize(0, 0);
        QVERIFY(t.getMaskPixmap()->isNull());
        QVERIFY(t.mask().isEmpty());
    }
};

ORVO_TEST_GUI_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
