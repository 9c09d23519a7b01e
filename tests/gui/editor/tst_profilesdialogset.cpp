// The profile editor's list: loading and selecting, adding, removing and
// renaming profiles, and ending the edit with OK, Cancel or Escape.

#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTabWidget>

#include <memory>

#include "editorfixture.h"
#include "gui/testseams.h"
#include "logcapture.h"
#include "profilefixture.h"
#include "testmain.h"

using edtest::Rig;
using ORVO::ConnProfile;

namespace {

ConnProfile* spied(const QSignalSpy& spy, int i)
{
    return spy.at(i).at(0).value<ConnProfile*>();
}

} // namespace

class TestProfilesDialogSet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void loadIndex_data();
    void loadIndex();
    void loadEmptyStore();
    void loadById();
    void reloadDropsShownProfile();
    void addTwice();
    void removeRows_data();
    void removeRows();
    void removeWithoutCurrentRow();
    void renameEachKeystroke();
    void renameToTakenId();
    void emptiedName();
    void cancelRestores();
    void okSaves();
    void okFailsOnBlankProfile();
    void okAfterRemovingAll();
    void escapeKeepsEdits();

private:
    void three(const QStringList& ids);

    std::unique_ptr<Rig> rig;
    std::unique_ptr<orvotest::LogCapture> capture;
};

void TestProfilesDialogSet::initTestCase()
{
    initEditorResources();
    ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
}

void TestProfilesDialogSet::init()
{
    capture.reset(new orvotest::LogCapture);
    rig.reset(new Rig);
}

void TestProfilesDialogSet::cleanup()
{
    rig.reset();
    capture.reset();
}

// Saved profiles with these ids (user = id), read back from disk.
void TestProfilesDialogSet::three(const QStringList& ids)
{
    for (const QString& id : ids)
        QVERIFY(edtest::makeVpnManual(rig->store.add(id), "vpn.example.org", id, rig->env.root()));
    QVERIFY2(rig->saveAndReload(), qPrintable(capture->linesAt("ERROR").join('\n')));
}

void TestProfilesDialogSet::loadIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("current");
    QTest::addColumn<int>("changes");

    QTest::newRow("negative counts as 0") << -3 << "a" << 2;
    QTest::newRow("first") << 0 << "a" << 2;
    QTest::newRow("last") << 2 << "c" << 2;
    QTest::newRow("past the last row") << 3 << "<none>" << 0;
}

void TestProfilesDialogSet::loadIndex()
{
    QFETCH(int, index);
    QFETCH(QString, current);
    QFETCH(int, changes);

    three({"c", "a", "b"});
    QSignalSpy changed(&rig->dialog, SIGNAL(profileChanged(ORVO::ConnProfile*)));
    QCOMPARE(rig->dialog.load(index, false), 0);
    QCOMPARE(rig->rows(), QStringList({"a", "b", "c"}));
    QCOMPARE(rig->currentRow(), current);
    // Shown when the list selects it and once more by load itself.
    QCOMPARE(changed.count(), changes);
    for (int i = 0; i < changed.count(); ++i)
        QCOMPARE(spied(changed, i), rig->store.get(current));
    QVERIFY(
        capture->contains(QStringLiteral("[ProfilesDialog] index: \"%1\"").arg(qMax(index, 0))));
}

void TestProfilesDialogSet::loadEmptyStore()
{
    QSignalSpy changed(&rig->dialog, SIGNAL(profileChanged(ORVO::ConnProfile*)));
    QCOMPARE(rig->dialog.load(-1, false), 0);
    QCOMPARE(rig->rows(), QStringList("_new profile 1"));
    QCOMPARE(rig->currentRow(), QStringLiteral("_new profile 1"));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(spied(changed, 0)->getType(), ConnProfile::VpnType);
    QCOMPARE(QDir(rig->root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestProfilesDialogSet::loadById()
{
    three({"a", "b", "c"});
    QCOMPARE(rig->dialog.load(QStringLiteral("b"), false), 0);
    QCOMPARE(rig->currentRow(), QStringLiteral("b"));
    QCOMPARE(rig->f()->nameEdit->text(), QStringLiteral("b"));
    // An id no profile has opens on the first row, as an empty choice does.
    QCOMPARE(rig->dialog.load(QStringLiteral("B"), false), 0);
    QCOMPARE(rig->currentRow(), QStringLiteral("a"));
    QCOMPARE(rig->dialog.load(QString(), false), 0);
    QCOMPARE(rig->currentRow(), QStringLiteral("a"));
}

void TestProfilesDialogSet::reloadDropsShownProfile()
{
    three({"a"});
    rig->dialog.load(0, false);
    rig->dialog.show();
    // The reload deletes the shown profile and selects nothing.
    QCOMPARE(rig->dialog.load(5, true), 0);
    QCOMPARE(rig->currentRow(), QStringLiteral("<none>"));
    ConnProfile* fresh = rig->store.get("a");
    QVERIFY(fresh);

    // Edits now reach no profile, neither the deleted one nor the fresh one.
    edtest::enter(rig->f()->userEdit, "mallory");
    edtest::enter(rig->f()->serverEdit, "other.example.org");
    QCOMPARE(fresh->getAuth().getUser(), QStringLiteral("a"));
    // An item changed without a shown profile renames nothing and keeps
    // its text.
    rig->f()->listWidget->item(0)->setText("x");
    QCOMPARE(rig->f()->listWidget->item(0)->text(), QStringLiteral("x"));
    QCOMPARE(rig->store.ids(), QStringList("a"));
    // Selecting again edits the fresh profile.
    QCOMPARE(rig->dialog.load(0, false), 0);
    edtest::enter(rig->f()->userEdit, "bob");
    QCOMPARE(fresh->getAuth().getUser(), QStringLiteral("bob"));
}

void TestProfilesDialogSet::addTwice()
{
    three({"a"});
    rig->dialog.load(0, false);
    rig->dialog.show();
    QSignalSpy changed(&rig->dialog, SIGNAL(profileChanged(ORVO::ConnProfile*)));
    QTest::mouseClick(rig->f()->addButton, Qt::LeftButton);
    QCOMPARE(rig->currentRow(), QStringLiteral("_new profile 1"));
    QTest::mouseClick(rig->f()->addButton, Qt::LeftButton);
    QCOMPARE(rig->currentRow(), QStringLiteral("_new profile 2"));
    QCOMPARE(rig->rows(), QStringList({"_new profile 1", "_new profile 2", "a"}));
    QVERIFY(changed.count() >= 2);
    QCOMPARE(spied(changed, changed.count() - 1)->getId(), QStringLiteral("_new profile 2"));
    QCOMPARE(rig->f()->nameEdit->text(), QStringLiteral("_new profile 2"));
    QCOMPARE(rig->f()->tabWidget->count(), 2);
}

void TestProfilesDialogSet::removeRows_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("shown");

    QTest::newRow("first of three") << QStringList{"a", "b", "c"} << 0 << "b";
    QTest::newRow("middle of three") << QStringList{"a", "b", "c"} << 1 << "a";
    QTest::newRow("last of three") << QStringList{"a", "b", "c"} << 2 << "b";
    QTest::newRow("only") << QStringList{"a"} << 0 << "<none>";
}

void TestProfilesDialogSet::removeRows()
{
    QFETCH(QStringList, ids);
    QFETCH(int, row);
    QFETCH(QString, shown);

    three(ids);
    rig->dialog.load(row, false);
    rig->dialog.show();
    QSignalSpy changed(&rig->dialog, SIGNAL(profileChanged(ORVO::ConnProfile*)));
    const QString removed = ids.at(row);
    QTest::mouseClick(rig->f()->removeButton, Qt::LeftButton);

    QStringList left = ids;
    left.removeAt(row);
    QCOMPARE(rig->rows(), left);
    QCOMPARE(rig->store.ids(), left);
    QCOMPARE(rig->currentRow(), shown);
    if (left.isEmpty()) {
        QVERIFY(rig->f()->tabWidget->isHidden());
        QCOMPARE(changed.count(), 0);
        // Nothing is shown: the fields write nowhere.
        edtest::enter(rig->f()->userEdit, "mallory");
    } else {
        QCOMPARE(rig->f()->nameEdit->text(), shown);
        QCOMPARE(spied(changed, changed.count() - 1), rig->store.get(shown));
        // The neighbour takes the edits.
        edtest::enter(rig->f()->userEdit, "edited");
        QCOMPARE(rig->store.get(shown)->getAuth().getUser(), QStringLiteral("edited"));
    }
    // The directory stays until the set is saved.
    QVERIFY(QFileInfo::exists(rig->dirOf(removed)));

    // Adding after removing the only row shows the tabs again.
    QTest::mouseClick(rig->f()->addButton, Qt::LeftButton);
    QVERIFY(!rig->f()->tabWidget->isHidden());
}

void TestProfilesDialogSet::removeWithoutCurrentRow()
{
    three({"a", "b"});
    rig->dialog.load(9, false);
    QTest::mouseClick(rig->f()->removeButton, Qt::LeftButton);
    QCOMPARE(rig->store.ids(), QStringList({"a", "b"}));
    QCOMPARE(rig->rows(), QStringList({"a", "b"}));
    QCOMPARE(capture->linesAt("ERROR").size(), 1);
}

void TestProfilesDialogSet::renameEachKeystroke()
{
    three({"a", "m"});
    rig->dialog.load(0, false);
    rig->dialog.show();
    ConnProfile* a = rig->store.get("a");
    edtest::typeInto(rig->f()->nameEdit, "z");
    QCOMPARE(rig->rows(), QStringList({"m", "z"}));
    QTest::keyClicks(rig->f()->nameEdit->lineEdit(), "ed");
    QCOMPARE(rig->rows(), QStringList({"m", "zed"}));
    QCOMPARE(rig->store.get("zed"), a);
    QCOMPARE(a->getId(), QStringLiteral("zed"));
    edtest::pressReturn(rig->f()->nameEdit->lineEdit());
    QCOMPARE(a->getId(), QStringLiteral("zed"));

    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    QTest::mouseClick(rig->f()->okButton, Qt::LeftButton);
    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.at(0).at(0).toString(), QStringLiteral("zed"));
    QVERIFY(!QFileInfo::exists(rig->dirOf("a")));
    QCOMPARE(proftest::readJson(rig->dirOf("zed") + "/config.json")
                 .value("auth")
                 .toMap()
                 .value("user")
                 .toString(),
             QStringLiteral("a"));
}

void TestProfilesDialogSet::renameToTakenId()
{
    three({"A", "B"});
    rig->dialog.load(0, false);
    rig->dialog.show();
    ConnProfile* a = rig->store.get("A");
    ConnProfile* b = rig->store.get("B");

    // The list keeps the old id while the field shows the typed one.
    edtest::typeInto(rig->f()->nameEdit, "B");
    QCOMPARE(rig->f()->nameEdit->text(), QStringLiteral("B"));
    QCOMPARE(rig->rows(), QStringList({"A", "B"}));
    QCOMPARE(rig->store.get("A"), a);
    QCOMPARE(rig->store.get("B"), b);
    // Finishing the edit puts the field back: the profile's id stays the
    // key it is stored under.
    edtest::pressReturn(rig->f()->nameEdit->lineEdit());
    QCOMPARE(rig->f()->nameEdit->text(), QStringLiteral("A"));
    QCOMPARE(a->getId(), QStringLiteral("A"));
    QCOMPARE(b->getId(), QStringLiteral("B"));

    // A's edits are saved into A's directory, B's stays B's.
    edtest::enter(rig->f()->userEdit, "edited");
    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    QTest::mouseClick(rig->f()->okButton, Qt::LeftButton);
    QCOMPARE(saved.count(), 1);
    auto userIn = [this](const QString& id) {
        return proftest::readJson(rig->dirOf(id) + "/config.json")
            .value("auth")
            .toMap()
            .value("user")
            .toString();
    };
    QCOMPARE(userIn("A"), QStringLiteral("edited"));
    QCOMPARE(userIn("B"), QStringLiteral("B"));
}

void TestProfilesDialogSet::emptiedName()
{
    three({"a"});
    rig->dialog.load(0, false);
    rig->dialog.show();
    edtest::enter(rig->f()->nameEdit, QString());
    QCOMPARE(rig->f()->nameEdit->text(), QString());
    QCOMPARE(rig->rows(), QStringList("a"));
    QCOMPARE(rig->store.get("a")->getId(), QStringLiteral("a"));
    // The validator holds back editingFinished: no commit ran.
    for (const QString& line : capture->lines())
        QVERIFY(!line.contains("nameFinished"));
    // Leaving the field for another one does not commit either.
    rig->f()->userEdit->lineEdit()->setFocus();
    QCOMPARE(rig->store.get("a")->getId(), QStringLiteral("a"));
}

void TestProfilesDialogSet::cancelRestores()
{
    three({"a", "b", "c"});
    const QMap<QString, QByteArray> before{
        {"a", orvotest::readFile(rig->dirOf("a") + "/config.json")},
        {"b", orvotest::readFile(rig->dirOf("b") + "/config.json")}};
    rig->dialog.load(0, false);
    rig->dialog.show();
    edtest::typeInto(rig->f()->nameEdit, "renamed");
    edtest::enter(rig->f()->userEdit, "edited");
    rig->dialog.load(QStringLiteral("b"), false);
    QTest::mouseClick(rig->f()->removeButton, Qt::LeftButton);
    QTest::mouseClick(rig->f()->addButton, Qt::LeftButton);
    QCOMPARE(rig->store.ids(), QStringList({"_new profile 1", "c", "renamed"}));

    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    QSignalSpy changed(&rig->dialog, SIGNAL(profileChanged(ORVO::ConnProfile*)));
    QTest::mouseClick(rig->f()->cancelButton, Qt::LeftButton);
    QVERIFY(!rig->dialog.isVisible());
    QCOMPARE(rig->f()->listWidget->count(), 0);
    QCOMPARE(saved.count(), 0);
    QCOMPARE(changed.count(), 0);
    // Removed and renamed profiles are back; an added one stays with the
    // values it was made with.
    QCOMPARE(rig->store.ids(), QStringList({"_new profile 1", "a", "b", "c"}));
    QCOMPARE(rig->store.get("a")->getAuth().getUser(), QStringLiteral("a"));
    QCOMPARE(rig->store.get("_new profile 1")->getAuth().getUser(), QString());
    QCOMPARE(orvotest::readFile(rig->dirOf("a") + "/config.json"), before.value("a"));
    QCOMPARE(orvotest::readFile(rig->dirOf("b") + "/config.json"), before.value("b"));
    QVERIFY(!QFileInfo::exists(rig->dirOf("renamed")));

    // The next opening shows the rolled-back set.
    QCOMPARE(rig->dialog.load(1, false), 0);
    QCOMPARE(rig->rows(), QStringList({"_new profile 1", "a", "b", "c"}));
    QCOMPARE(rig->currentRow(), QStringLiteral("a"));
    QCOMPARE(rig->f()->userEdit->text(), QStringLiteral("a"));
}

void TestProfilesDialogSet::okSaves()
{
    three({"a", "b"});
    rig->dialog.load(1, false);
    rig->dialog.show();
    int rowsWhenSaved = -1;
    connect(&rig->dialog, &ProfilesDialog::saved, this,
            [&](const QString&) { rowsWhenSaved = rig->f()->listWidget->count(); });
    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    QTest::mouseClick(rig->f()->okButton, Qt::LeftButton);
    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.at(0).at(0).toString(), QStringLiteral("b"));
    // Announced before the list is emptied and the window closes.
    QCOMPARE(rowsWhenSaved, 2);
    QCOMPARE(rig->f()->listWidget->count(), 0);
    QVERIFY(!rig->dialog.isVisible());
}

void TestProfilesDialogSet::okFailsOnBlankProfile()
{
    rig->dialog.load(0, false);
    rig->dialog.show();
    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    QTest::mouseClick(rig->f()->okButton, Qt::LeftButton);
    QCOMPARE(saved.count(), 0);
    QVERIFY(rig->dialog.isVisible());
    QVERIFY(capture->contains("Undefined fields in profile '_new profile 1'"));
    QCOMPARE(rig->currentRow(), QStringLiteral("_new profile 1"));

    // Completed, it saves.
    edtest::enter(rig->f()->userEdit, "alice");
    edtest::enter(rig->f()->passEdit, "secret");
    const QString ca = rig->env.root() + "/ca.pem";
    QVERIFY(orvotest::writeFile(ca, edtest::realPem()));
    rig->choosers.singleAnswers << ca;
    edtest::click(rig->f()->selectVpnCaEdit);
    QTest::mouseClick(rig->f()->okButton, Qt::LeftButton);
    QCOMPARE(saved.count(), 1);
    QVERIFY(QFileInfo::exists(rig->dirOf("_new profile 1") + "/config.json"));
}

void TestProfilesDialogSet::okAfterRemovingAll()
{
    three({"a"});
    rig->dialog.load(0, false);
    rig->dialog.show();
    QTest::mouseClick(rig->f()->removeButton, Qt::LeftButton);
    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    QTest::mouseClick(rig->f()->okButton, Qt::LeftButton);
    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.at(0).at(0).toString(), QString());
    QVERIFY(!QFileInfo::exists(rig->dirOf("a")));
}

void TestProfilesDialogSet::escapeKeepsEdits()
{
    three({"a"});
    rig->dialog.load(0, false);
    rig->dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig->dialog));
    edtest::enter(rig->f()->userEdit, "edited");
    QTest::keyClick(&rig->dialog, Qt::Key_Escape);
    QVERIFY(!rig->dialog.isVisible());
    // Nothing saved, nothing rolled back.
    QCOMPARE(rig->f()->listWidget->count(), 1);
    QCOMPARE(rig->dialog.load(0, false), 0);
    QCOMPARE(rig->f()->userEdit->text(), QStringLiteral("edited"));
    QCOMPARE(proftest::readJson(rig->dirOf("a") + "/config.json")
                 .value("auth")
                 .toMap()
                 .value("user")
                 .toString(),
             QStringLiteral("a"));
}

ORVO_TEST_GUI_MAIN(TestProfilesDialogSet)
#include "tst_profilesdialogset.moc"
