// The profile editor's list: loading and selecting, removing and renaming
// profiles, ending the edit with OK or Cancel, and the list's order, which
// must be the login form's whatever the locale (CTest runs this under
// LANG=C and under en_US.UTF-8): the login form passes a row number.

#include <QApplication>
#include <QSignalSpy>
#include <QTabWidget>

#include <algorithm>
#include <memory>

#include "common/utils.h"
#include "editorfixture.h"
#include "gui/editor/profileorder.h"
#include "logcapture.h"
#include "profilefixture.h"
#include "testmain.h"

using edtest::Rig;
using ORVO::ConnProfile;

namespace {

// Mixed case, ids equal but for case, and the id rule's punctuation, which
// a locale's collation weighs differently from code units.
const QStringList MoreIds{"alpha",  "Beta", "Delta", "ABC", "abc", "_new profile 1", "Zeta 10",
                          "zeta 2", "b-c",  "b_c",   "B c", "b2",  "Alpha-1"};

// The login form's list: the store's ids sorted by the shared comparison.
QStringList loginList(const ORVO::ConnProfiles& store)
{
    QStringList ids = store.ids();
    std::stable_sort(ids.begin(), ids.end(), ORVO::utils::caseInsensitiveLessThan);
    return ids;
}

} // namespace

class TestProfilesDialogSet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void load_data();
    void load();
    void reloadDropsShownProfile();
    void removeRows_data();
    void removeRows();
    void renameToTakenId();
    void cancelRestores_data();
    void cancelRestores();
    void writeFailureNamesTheReason();
    void listOrder();
    void orderAfterEdits();

private:
    QString userOnDisk(const QString& id) const
    {
        return proftest::readJson(rig->dirOf(id) + "/config.json")
            .value("auth")
            .toMap()
            .value("user")
            .toString();
    }

    std::unique_ptr<orvotest::LogCapture> capture;
    std::unique_ptr<Rig> rig;
};

void TestProfilesDialogSet::initTestCase()
{
    initEditorTests();
}

void TestProfilesDialogSet::init()
{
    capture.reset(new orvotest::LogCapture);
    rig.reset(new Rig);
    QVERIFY(rig->saved({"c", "a", "b"}));
}

void TestProfilesDialogSet::cleanup()
{
    rig.reset();
    capture.reset();
}

void TestProfilesDialogSet::load_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("current");

    QTest::newRow("negative index counts as 0") << -3 << ""
                                                << "a";
    QTest::newRow("last") << 2 << ""
                          << "c";
    QTest::newRow("past the last row") << 3 << ""
                                       << "<none>";
    QTest::newRow("by id") << 0 << "b"
                           << "b";
    // An id no profile has opens on the first row, as an empty choice does.
    QTest::newRow("unknown id") << 0 << "B"
                                << "a";
}

void TestProfilesDialogSet::load()
{
    QFETCH(int, index);
    QFETCH(QString, id);
    QFETCH(QString, current);

    QSignalSpy changed(&rig->dialog, SIGNAL(profileChanged(ORVO::ConnProfile*)));
    QCOMPARE(id.isEmpty() ? rig->dialog.load(index, false) : rig->dialog.load(id, false), 0);
    QCOMPARE(rig->rows(), QStringList({"a", "b", "c"}));
    QCOMPARE(rig->currentRow(), current);
    // Once when the list selects the row, once more by load itself.
    QCOMPARE(changed.count(), current == "<none>" ? 0 : 2);
    for (const QList<QVariant>& args : changed)
        QCOMPARE(args.at(0).value<ConnProfile*>(), rig->store.get(current));
}

void TestProfilesDialogSet::reloadDropsShownProfile()
{
    rig->open("a");
    // The reload deletes the shown profile and selects nothing.
    QCOMPARE(rig->dialog.load(5, true), 0);
    ConnProfile* fresh = rig->store.get("a");
    // Edits reach neither the deleted profile nor the fresh one.
    edtest::enter(rig->f()->userEdit, "mallory");
    QCOMPARE(fresh->getAuth().getUser(), QStringLiteral("a"));
    // A changed item without a shown profile renames nothing.
    QListWidgetItem* item = rig->f()->listWidget->item(0);
    item->setText("x");
    QCOMPARE(item->text(), QStringLiteral("x"));
    QCOMPARE(rig->store.ids(), QStringList({"a", "b", "c"}));
    rig->dialog.load(0, false);
    edtest::enter(rig->f()->userEdit, "bob");
    QCOMPARE(fresh->getAuth().getUser(), QStringLiteral("bob"));
}

void TestProfilesDialogSet::removeRows_data()
{
    QTest::addColumn<QStringList>("removed");
    QTest::addColumn<QString>("shown");

    QTest::newRow("first") << QStringList{"a"} << "b";
    QTest::newRow("middle") << QStringList{"b"} << "a";
    QTest::newRow("last") << QStringList{"c"} << "b";
    QTest::newRow("all, the last one the only one") << QStringList{"a", "b", "c"} << "<none>";
}

void TestProfilesDialogSet::removeRows()
{
    QFETCH(QStringList, removed);
    QFETCH(QString, shown);

    QSignalSpy changed(&rig->dialog, SIGNAL(profileChanged(ORVO::ConnProfile*)));
    for (const QString& id : removed) {
        rig->open(id);
        changed.clear();
        edtest::click(rig->f()->removeButton);
    }
    QStringList left{"a", "b", "c"};
    for (const QString& id : removed)
        left.removeOne(id);
    QCOMPARE(rig->rows(), left);
    QCOMPARE(rig->store.ids(), left);
    QCOMPARE(rig->currentRow(), shown);
    QCOMPARE(rig->f()->tabWidget->isHidden(), left.isEmpty());
    if (!left.isEmpty()) {
        QCOMPARE(rig->f()->nameEdit->text(), shown);
        QCOMPARE(changed.last().at(0).value<ConnProfile*>(), rig->store.get(shown));
    }
    // The neighbour takes the edits; with no profile left they go nowhere.
    edtest::enter(rig->f()->userEdit, "edited");
    if (!left.isEmpty())
        QCOMPARE(rig->store.get(shown)->getAuth().getUser(), QStringLiteral("edited"));
    // Nothing on disk changes before OK, which then deletes the directory.
    QVERIFY(QFileInfo::exists(rig->dirOf(removed.last())));
    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    edtest::click(rig->f()->okButton);
    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.at(0).at(0).toString(), left.isEmpty() ? QString() : shown);
    QVERIFY(!QFileInfo::exists(rig->dirOf(removed.last())));
}

void TestProfilesDialogSet::renameToTakenId()
{
    rig->open("a");
    ConnProfile* a = rig->store.get("a");
    // Each keystroke renames; the id of another profile is refused, the
    // list keeping the last accepted id while the field shows the typed one.
    edtest::typeInto(rig->f()->nameEdit, "d");
    QCOMPARE(rig->rows(), QStringList({"b", "c", "d"}));
    edtest::typeInto(rig->f()->nameEdit, "b");
    QCOMPARE(rig->f()->nameEdit->text(), QStringLiteral("b"));
    QCOMPARE(rig->f()->fieldHint->text(),
             QString("The name b cannot be used: another profile has it."));
    QCOMPARE(rig->rows(), QStringList({"b", "c", "d"}));
    QCOMPARE(rig->store.get("d"), a);
    // The refused name stays in view and holds OK: the last name taken on
    // the way is not one the user chose.
    QTest::keyClick(rig->f()->nameEdit->lineEdit(), Qt::Key_Return);
    QCOMPARE(rig->f()->nameEdit->text(), QStringLiteral("b"));
    QCOMPARE(a->getId(), QStringLiteral("d"));
    QCOMPARE(rig->store.get("b")->getId(), QStringLiteral("b"));
    // Also after another profile was shown.
    rig->open("c");
    rig->open("d");
    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    edtest::click(rig->f()->okButton);
    QCOMPARE(saved.count(), 0);
    QVERIFY(rig->f()->fieldHint->text().startsWith("The name b cannot be used"));

    // Freed meanwhile, the typed name is taken when its profile is shown.
    rig->open("b");
    edtest::enter(rig->f()->nameEdit, "x");
    rig->f()->listWidget->setCurrentItem(rig->f()->listWidget->findItems("d", Qt::MatchExactly)[0]);
    QCOMPARE(a->getId(), QStringLiteral("b"));
    QVERIFY(rig->f()->fieldHint->isHidden());

    // Saved, each profile lands in its own directory.
    edtest::enter(rig->f()->userEdit, "edited");
    edtest::click(rig->f()->okButton);
    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.at(0).at(0).toString(), QStringLiteral("b"));
    QCOMPARE(userOnDisk("b"), QStringLiteral("edited"));
    QCOMPARE(userOnDisk("x"), QStringLiteral("b"));
    QVERIFY(!QFileInfo::exists(rig->dirOf("a")));
}

// Every way out but OK is a Cancel.
void TestProfilesDialogSet::cancelRestores_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel button") << "cancel";
    QTest::newRow("close control") << "close";
    QTest::newRow("escape key") << "escape";
}

void TestProfilesDialogSet::cancelRestores()
{
    QFETCH(QString, how);
    const QByteArray before = orvotest::readFile(rig->dirOf("a") + "/config.json");
    rig->open("a");
    edtest::typeInto(rig->f()->nameEdit, "renamed");
    edtest::enter(rig->f()->userEdit, "edited");
    rig->open("b");
    edtest::click(rig->f()->removeButton);
    edtest::click(rig->f()->addButton);
    QCOMPARE(rig->store.ids(), QStringList({"_new profile 1", "c", "renamed"}));

    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    QSignalSpy changed(&rig->dialog, SIGNAL(profileChanged(ORVO::ConnProfile*)));
    if (how == QLatin1String("cancel"))
        edtest::click(rig->f()->cancelButton);
    else if (how == QLatin1String("close"))
        rig->dialog.close();
    else
        QTest::keyClick(&rig->dialog, Qt::Key_Escape);
    QVERIFY(!rig->dialog.isVisible());
    QCOMPARE(rig->f()->listWidget->count(), 0);
    QCOMPARE(saved.count() + changed.count(), 0);
    // Removed and renamed profiles are back; an added one is gone.
    QCOMPARE(rig->store.ids(), QStringList({"a", "b", "c"}));
    QCOMPARE(rig->store.get("a")->getAuth().getUser(), QStringLiteral("a"));
    QCOMPARE(orvotest::readFile(rig->dirOf("a") + "/config.json"), before);
    QVERIFY(QFileInfo::exists(rig->dirOf("b")));
    QVERIFY(!QFileInfo::exists(rig->dirOf("renamed")));
    rig->open("a");
    QCOMPARE(rig->f()->userEdit->text(), QStringLiteral("a"));

    // Nothing of the cancelled pass stands in the way of the next OK.
    edtest::click(rig->f()->okButton);
    QCOMPARE(saved.count(), 1);
}

void TestProfilesDialogSet::writeFailureNamesTheReason()
{
    // A file where the profiles folder must be: nothing can be written or
    // listed there, for root too.
    const QString root = rig->env.dataDir() + "/profiles";
    QVERIFY(QDir().rename(root, root + ".aside"));
    QVERIFY(orvotest::writeFile(root, "in the way"));
    rig->open("a");
    edtest::enter(rig->f()->userEdit, "edited");
    QSignalSpy saved(&rig->dialog, SIGNAL(saved(QString)));
    edtest::click(rig->f()->okButton);
    QCOMPARE(saved.count(), 0);
    const QString reason = "not a directory (" + root + "/a.profile.tmp)";
    QVERIFY(capture->contains("The profile 'a' could not be written: " + reason));
    QVERIFY(!capture->linesAt("ERROR").filter(reason).isEmpty());
    // A folder that cannot be listed is said to be so, and what is held stays.
    QCOMPARE(rig->store.load(), -1);
    QCOMPARE(rig->store.writeError(), "not a directory (" + root + ")");
    QCOMPARE(rig->store.ids(), QStringList({"a", "b", "c"}));

    QVERIFY(QFile::remove(root) && QDir().rename(root + ".aside", root));
    edtest::click(rig->f()->okButton);
    QCOMPARE(saved.count(), 1);
    QCOMPARE(userOnDisk("a"), QStringLiteral("edited"));
}

void TestProfilesDialogSet::listOrder()
{
    for (const QString& id : MoreIds)
        QVERIFY(rig->store.add(id));
    const QStringList login = loginList(rig->store);
    QCOMPARE(ORVO::sortedProfileIds(rig->store.ids()), login);
    // Equal but for case: upper case first, as the store lists them.
    QCOMPARE(login.indexOf("ABC") + 1, login.indexOf("abc"));
    QSignalSpy changed(&rig->dialog, SIGNAL(profileChanged(ORVO::ConnProfile*)));
    for (int row = 0; row < login.size(); ++row) {
        QCOMPARE(rig->dialog.load(row, false), 0);
        QCOMPARE(rig->rows(), login);
        QCOMPARE(rig->f()->nameEdit->text(), login.at(row));
        QCOMPARE(changed.last().at(0).value<ConnProfile*>(), rig->store.get(login.at(row)));
        QCOMPARE(rig->dialog.load(login.at(row), false), 0);
        QCOMPARE(rig->currentRow(), login.at(row));
    }
}

void TestProfilesDialogSet::orderAfterEdits()
{
    for (const QString& id : MoreIds)
        QVERIFY(rig->store.add(id));
    rig->open("alpha");
    // A renamed or added row takes its place in the same order.
    edtest::typeInto(rig->f()->nameEdit, "omega");
    QCOMPARE(rig->rows(), loginList(rig->store));
    edtest::click(rig->f()->addButton);
    QCOMPARE(rig->currentRow(), QStringLiteral("_new profile 2"));
    // A new VPN profile checks the server, as it will after a restart.
    QVERIFY(rig->store.get("_new profile 2")->getCaVerify());
    QCOMPARE(rig->rows(), loginList(rig->store));
    rig->dialog.load(3, false);
    QCOMPARE(rig->currentRow(), loginList(rig->store).at(3));
}

ORVO_TEST_GUI_MAIN(TestProfilesDialogSet)
#include "tst_profilesdialogset.moc"
