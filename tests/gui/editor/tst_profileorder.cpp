// The login form's profile list and the profile editor's list put the
// profiles in the same order, whatever the locale (CTest runs this under
// LANG=C and under en_US.UTF-8), so that the row the login form passes
// opens the editor on the same profile.

#include <QApplication>
#include <QListWidget>
#include <QLocale>
#include <QSignalSpy>

#include <algorithm>
#include <memory>

#include "common/utils.h"
#include "editorfixture.h"
#include "gui/editor/profileorder.h"
#include "logcapture.h"
#include "testmain.h"

using edtest::Rig;
using ORVO::ConnProfile;

namespace {

// Mixed case, ids equal but for case, and the id rule's punctuation, which
// a locale's collation weighs differently from code units.
const QStringList Ids{"alpha",   "Beta",   "gamma", "Delta", "ABC", "abc", "_new profile 1",
                      "Zeta 10", "zeta 2", "b-c",   "b_c",   "B c", "b2",  "Alpha-1"};

// The login form's list: the store's ids sorted by the shared comparison.
QStringList loginList(const ORVO::ConnProfiles& store)
{
    QStringList ids = store.ids();
    std::stable_sort(ids.begin(), ids.end(), ORVO::utils::caseInsensitiveLessThan);
    return ids;
}

} // namespace

class TestProfileOrder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sameOrder();
    void indexOpensTheSameProfile();
    void idOpensThatProfile();
    void orderKeptAfterEdits();

private:
    std::unique_ptr<Rig> rig;
    std::unique_ptr<orvotest::LogCapture> capture;
};

void TestProfileOrder::init()
{
    capture.reset(new orvotest::LogCapture);
    rig.reset(new Rig);
    for (const QString& id : Ids)
        QVERIFY(rig->store.add(id));
}

void TestProfileOrder::cleanup()
{
    rig.reset();
    capture.reset();
}

void TestProfileOrder::sameOrder()
{
    qInfo("locale: %s", qPrintable(QLocale::system().name()));
    const QStringList login = loginList(rig->store);
    QCOMPARE(ORVO::sortedProfileIds(Ids), login);
    QCOMPARE(ORVO::sortedProfileIds(rig->store.ids()), login);
    // Equal but for case: upper case first, as the store lists them.
    QVERIFY(login.indexOf("ABC") + 1 == login.indexOf("abc"));
    rig->dialog.load(0, false);
    QCOMPARE(rig->rows(), login);
}

void TestProfileOrder::indexOpensTheSameProfile()
{
    const QStringList login = loginList(rig->store);
    QSignalSpy changed(&rig->dialog, SIGNAL(profileChanged(ORVO::ConnProfile*)));
    for (int row = 0; row < login.size(); ++row) {
        changed.clear();
        QCOMPARE(rig->dialog.load(row, false), 0);
        QCOMPARE(rig->currentRow(), login.at(row));
        QCOMPARE(rig->f()->nameEdit->text(), login.at(row));
        QVERIFY(!changed.isEmpty());
        QCOMPARE(changed.last().at(0).value<ConnProfile*>(), rig->store.get(login.at(row)));
    }
}

void TestProfileOrder::idOpensThatProfile()
{
    for (const QString& id : Ids) {
        QCOMPARE(rig->dialog.load(id, false), 0);
        QCOMPARE(rig->currentRow(), id);
    }
}

void TestProfileOrder::orderKeptAfterEdits()
{
    rig->dialog.load(QStringLiteral("alpha"), false);
    rig->dialog.show();
    // A rename moves the row to its place in the same order.
    edtest::typeInto(rig->f()->nameEdit, "omega");
    QCOMPARE(rig->currentRow(), QStringLiteral("omega"));
    QCOMPARE(rig->rows(), loginList(rig->store));
    QTest::mouseClick(rig->f()->addButton, Qt::LeftButton);
    QCOMPARE(rig->currentRow(), QStringLiteral("_new profile 2"));
    QCOMPARE(rig->rows(), loginList(rig->store));
    QTest::mouseClick(rig->f()->removeButton, Qt::LeftButton);
    QCOMPARE(rig->rows(), loginList(rig->store));
    const QStringList login = loginList(rig->store);
    QCOMPARE(rig->dialog.load(3, false), 0);
    QCOMPARE(rig->currentRow(), login.at(3));
}

ORVO_TEST_GUI_MAIN(TestProfileOrder)
#include "tst_profileorder.moc"
