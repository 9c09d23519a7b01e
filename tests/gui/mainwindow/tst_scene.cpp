#include <QApplication>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPainter>
#include <QPropertyAnimation>
#include <QSignalSpy>

#include "gui/mainwindow/mainview.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "logcapture.h"
#include "testmain.h"

using ORVO::PluginWindow;
using ORVO::PluginWindowContainer;

namespace {

// A list in a 600 x 400 scene with n containers, each holding a window.
struct Stage
{
    explicit Stage(int n, bool inScene = true)
    {
        scene.setSceneRect(0, 0, 600, 400);
        list = new PluginWindowList();
        if (inScene)
            scene.addItem(list);
        for (int i = 0; i < n; ++i) {
            auto* c = new PluginWindowContainer();
            auto* w = new PluginWindow();
            w->setObjectName(QString::number(i));
            c->setWindow(w);
            if (!inScene)
                owned.append(c);
            list->addPluginWindow(c);
        }
    }
    ~Stage()
    {
        if (!list->scene())
            delete list;
    }

    PluginWindowContainer* at(int i) const { return list->windows().value(i); }
    QPropertyAnimation* slide() const
    {
        return list->findChild<QPropertyAnimation*>(QStringLiteral("slideAnimation"));
    }
    QPropertyAnimation* hiding() const
    {
        return list->findChild<QPropertyAnimation*>(QStringLiteral("hideAnimation"));
    }

    QGraphicsScene scene;
    PluginWindowList* list = nullptr;
    QList<QPointer<PluginWindowContainer>> owned;
};

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

// The scene's pieces: the view, the window list, the curtain, the
// on-screen text.
class TestScene : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mainView();
    void slideTargets_data();
    void slideTargets();
    void hiddenKeepsItsSlot();
    void emptyList();
    void removeCurrent();
    void removeOutsideScene();
    void deletedElsewhere();
    void neighbours_data();
    void neighbours();
    void hideAway_data();
    void hideAway();
    void hideThenShow();
    void windowsActivated();
    void enabledState();
    void onScreenText();
    void curtain();
    void curtainTurnsBack();
    void container();
};

void TestScene::initTestCase()
{
    Q_INIT_RESOURCE(resources);
}

// The view owns its scene, which takes the view's size.
void TestScene::mainView()
{
    QPointer<QGraphicsScene> scene;
    {
        MainView view;
        scene = view.scene();
        QCOMPARE(scene->parent(), static_cast<QObject*>(&view));
        QCOMPARE(view.objectName(), QStringLiteral("MainView"));
        QCOMPARE(view.frameStyle(), 0);
        view.resize(333, 222);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(scene->sceneRect(), QRectF(0, 0, 333, 222));
        QSignalSpy changed(scene.data(), &QGraphicsScene::sceneRectChanged);
        view.resize(400, 300);
        QTRY_COMPARE(scene->sceneRect(), QRectF(0, 0, 400, 300));
        QCOMPARE(changed.count(), 1);
    }
    QVERIFY(!scene);
}

void TestScene::slideTargets_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<QPointF>("target");
    QTest::newRow("first and only") << 1 << 0 << QPointF(0, 0);
    QTest::newRow("second of two") << 2 << 1 << QPointF(-600, 0);
    QTest::newRow("third of three") << 3 << 2 << QPointF(-1200, 0);
}

// Each slot 20 narrower than the scene and 20 apart: one slot is 600.
void TestScene::slideTargets()
{
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(QPointF, target);
    Stage stage(count);
    QCOMPARE(stage.list->size(), QSizeF(count * 600, 410));
    for (PluginWindowContainer* c : stage.list->windows())
        QCOMPARE(c->preferredWidth(), 580.0);
    // The first addition made the first container current.
    QCOMPARE(stage.list->currentWindow(), stage.at(0));

    stage.list->showPluginWindow(stage.at(current));
    QCOMPARE(stage.list->currentWindow(), stage.at(current));
    QCOMPARE(stage.slide()->endValue().toPointF(), target);
    QCOMPARE(stage.slide()->duration(), 500);
    QCOMPARE(stage.slide()->easingCurve().type(), QEasingCurve::OutExpo);
    QTRY_COMPARE(stage.list->pos(), target);
    // Each container centred in its slot, as wide as the view less 20 and
    // as high as the view, 10 below its top.
    for (int i = 0; i < count; ++i)
        QCOMPARE(stage.at(i)->geometry(), QRectF(10 + 600 * i, 10, 580, 400));

    // A new scene size refits the row and slides to the same container.
    stage.scene.setSceneRect(0, 0, 800, 400);
    stage.list->adjustGeometry(stage.scene.sceneRect());
    QCOMPARE(stage.slide()->endValue().toPointF(), target * (800.0 / 600.0));
}

// The full window hides the sign-in container while the portal shows: the
// portal's container stays in its own slot, in view once the list has slid
// there.
void TestScene::hiddenKeepsItsSlot()
{
    Stage stage(2);
    stage.at(0)->hide();
    stage.list->showPluginWindow(stage.at(1));
    QTRY_COMPARE(stage.list->pos(), QPointF(-600, 0));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCOMPARE(stage.at(1)->geometry(), QRectF(610, 10, 580, 400));
    QCOMPARE(stage.at(1)->sceneBoundingRect(), QRectF(10, 10, 580, 400));
}

// After clear() the empty list slides one slot to the right, and the next
// container comes in from there.
void TestScene::emptyList()
{
    Stage stage(2);
    QPointer<PluginWindowContainer> first = stage.at(0);
    stage.list->clear();
    QVERIFY(!stage.list->currentWindow());
    QVERIFY(stage.list->windows().isEmpty());
    flushDeletes();
    QVERIFY(!first);

    stage.list->showPluginWindow(nullptr);
    QVERIFY(!stage.list->currentWindow());
    QCOMPARE(stage.slide()->endValue().toPointF(), QPointF(600, 0));
    auto* c = new PluginWindowContainer();
    stage.list->addPluginWindow(c);
    QCOMPARE(stage.list->currentWindow(), c);
    QCOMPARE(stage.slide()->endValue().toPointF(), QPointF(0, 0));
}

// The removed current container stays current until the next show sees it
// gone; then nothing slides, and the show after that picks the first.
void TestScene::removeCurrent()
{
    Stage stage(3);
    stage.list->showPluginWindow(stage.at(2));
    QTRY_COMPARE(stage.list->pos(), QPointF(-1200, 0));
    PluginWindowContainer* removed = stage.at(2);
    stage.list->removePluginWindow(removed);
    QVERIFY(!stage.list->currentWindow());
    QCOMPARE(stage.list->windows().size(), 2);
    QCOMPARE(stage.list->size(), QSizeF(1200, 410));
    QCOMPARE(stage.slide()->state(), QAbstractAnimation::Stopped);
    QCOMPARE(stage.slide()->endValue().toPointF(), QPointF(-1200, 0));

    // Removing what is not there changes nothing.
    stage.list->removePluginWindow(removed);
    QCOMPARE(stage.list->windows().size(), 2);

    stage.list->showPluginWindow(nullptr);
    QCOMPARE(stage.list->currentWindow(), stage.at(0));
    QCOMPARE(stage.slide()->endValue().toPointF(), QPointF(0, 0));
}

// Outside a scene the removal does not refit; once the container is gone
// the list no longer names it.
void TestScene::removeOutsideScene()
{
    Stage stage(2, false);
    QVERIFY(!stage.list->currentWindow());
    stage.scene.addItem(stage.list);
    stage.list->adjustGeometry(stage.scene.sceneRect());
    stage.list->showPluginWindow(stage.at(1));
    QPointer<PluginWindowContainer> current = stage.at(1);
    stage.scene.removeItem(stage.list);

    stage.list->removePluginWindow(current);
    QCOMPARE(stage.list->currentWindow(), current.data());
    flushDeletes();
    QVERIFY(!current);
    QVERIFY(!stage.list->currentWindow());
    QVERIFY(!stage.list->nextWindow());
    QVERIFY(!stage.list->prevWindow());
    stage.list->setEnabled(false);

    // Back in a scene, the list shows its first container.
    stage.scene.addItem(stage.list);
    stage.list->adjustGeometry(stage.scene.sceneRect());
    QCOMPARE(stage.list->currentWindow(), stage.at(0));
    QCOMPARE(stage.list->windows().size(), 1);
}

// A container deleted by someone else drops out of the list and its row.
void TestScene::deletedElsewhere()
{
    Stage stage(3);
    stage.list->showPluginWindow(stage.at(1));
    delete stage.at(1);
    QCOMPARE(stage.list->windows().size(), 2);
    QVERIFY(!stage.list->currentWindow());
    stage.list->showPluginWindow(stage.at(1));
    QCOMPARE(stage.slide()->endValue().toPointF(), QPointF(-600, 0));
    QCOMPARE(stage.list->nextWindow(), stage.at(0));
    stage.list->adjustGeometry(stage.scene.sceneRect());
    QCOMPARE(stage.list->size(), QSizeF(1200, 410));
}

void TestScene::neighbours_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("next");
    QTest::addColumn<int>("prev");
    QTest::newRow("last wraps to first") << 3 << 2 << 0 << 1;
    QTest::newRow("first wraps to last") << 3 << 0 << 1 << 2;
    QTest::newRow("middle") << 3 << 1 << 2 << 0;
    QTest::newRow("alone") << 1 << 0 << 0 << 0;
}

void TestScene::neighbours()
{
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(int, next);
    QFETCH(int, prev);
    Stage stage(count);
    stage.list->showPluginWindow(stage.at(current));
    QCOMPARE(stage.list->nextWindow(), stage.at(next));
    QCOMPARE(stage.list->prevWindow(), stage.at(prev));
}

void TestScene::hideAway_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<QPointF>("target");
    QTest::newRow("up") << int(PluginWindowList::HideUp) << QPointF(-600, -400);
    QTest::newRow("left") << int(PluginWindowList::HideLeft) << QPointF(-600, 0);
}

// Away by the scene's height or width; invisible at the end; a second
// hide while one runs changes nothing.
void TestScene::hideAway()
{
    QFETCH(int, direction);
    QFETCH(QPointF, target);
    Stage stage(2);
    stage.list->showPluginWindow(stage.at(1));
    QTRY_COMPARE(stage.list->pos(), QPointF(-600, 0));

    stage.list->hide(PluginWindowList::HideDirection(direction));
    QCOMPARE(stage.hiding()->endValue().toPointF(), target);
    QCOMPARE(stage.hiding()->state(), QAbstractAnimation::Running);
    QTest::qWait(50);
    stage.list->hide(PluginWindowList::HideDirection(1 - direction));
    QCOMPARE(stage.hiding()->endValue().toPointF(), target);
    QVERIFY(stage.list->isVisible());
    QTRY_VERIFY(!stage.list->isVisible());
    QCOMPARE(stage.list->pos(), target);

    // Outside a scene it just goes.
    Stage loose(1, false);
    loose.list->hide(PluginWindowList::HideUp);
    QVERIFY(!loose.list->isVisible());
    QCOMPARE(loose.hiding()->state(), QAbstractAnimation::Stopped);
}

// A show stops the hide where it is and slides back.
void TestScene::hideThenShow()
{
    Stage stage(1);
    QTRY_COMPARE(stage.list->pos(), QPointF(0, 0));
    stage.list->hide(PluginWindowList::HideUp);
    QTest::qWait(60);
    stage.list->showPluginWindow(nullptr);
    QCOMPARE(stage.hiding()->state(), QAbstractAnimation::Stopped);
    const QPointF halfway = stage.slide()->startValue().toPointF();
    QVERIFY(halfway.y() < 0 && halfway.y() > -400);
    QTRY_COMPARE(stage.list->pos(), QPointF(0, 0));
    QVERIFY(stage.list->isVisible());
}

// The window that stops being current is told so, the new one too.
void TestScene::windowsActivated()
{
    Stage stage(2);
    PluginWindow* first = stage.at(0)->window();
    PluginWindow* second = stage.at(1)->window();
    QVERIFY(first->isActive());
    QVERIFY(!second->isActive());
    second->setEnabled(false);
    QSignalSpy firstOff(first, SIGNAL(windowDeactivated()));
    QSignalSpy secondOn(second, SIGNAL(windowActivated()));
    stage.list->showPluginWindow(stage.at(1));
    QCOMPARE(firstOff.count(), 1);
    QCOMPARE(secondOn.count(), 1);
    QVERIFY(second->isEnabled());
    // Showing the current one again says nothing new.
    stage.list->showPluginWindow(stage.at(1));
    QCOMPARE(firstOff.count(), 1);
    QCOMPARE(secondOn.count(), 1);
}

// The list's own state stays; its containers follow.
void TestScene::enabledState()
{
    Stage stage(2);
    stage.list->setEnabled(false);
    QVERIFY(stage.list->isEnabled());
    QVERIFY(!stage.at(0)->isEnabled());
    QVERIFY(!stage.at(1)->isEnabled());
    stage.list->setEnabled(true);
    QVERIFY(stage.at(0)->isEnabled());
}

// A window's description shows in a box that fades out and closes.
void TestScene::onScreenText()
{
    Stage stage(2);
    OSDInfo* osd = stage.list->osdInfo();
    QVERIFY(osd);
    QCOMPARE(osd->zValue(), 1000000.0);
    QCOMPARE(osd->scene(), &stage.scene);
    QVERIFY(!osd->isEnabled());
    QVERIFY(!osd->isVisible());

    stage.at(1)->window()->setDescription(QStringLiteral("Portal"));
    stage.list->showPluginWindow(stage.at(1));
    QVERIFY(osd->isVisible());
    QCOMPARE(osd->text(), QStringLiteral("Portal"));
    QCOMPARE(osd->opacity(), 0.95);
    QImage image(600, 400, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        stage.scene.render(&painter);
    }
    // A white box around the middle.
    int white = 0;
    for (int y = 150; y < 250; ++y) {
        for (int x = 200; x < 400; ++x)
            white += qAlpha(image.pixel(x, y)) > 230 && QColor(image.pixel(x, y)).value() > 230;
    }
    QVERIFY2(white > 2000, qPrintable(QString::number(white)));
    QTRY_VERIFY_WITH_TIMEOUT(!osd->isVisible(), 2000);
    // A window without description shows nothing.
    stage.list->showPluginWindow(stage.at(0));
    QVERIFY(!osd->isVisible());
}

// Fades to 0.9 and stays; fades to 0 and goes.
void TestScene::curtain()
{
    QGraphicsScene scene;
    auto* curtain = new BlackCurtain(&scene, 10000.0);
    QCOMPARE(curtain->scene(), &scene);
    QCOMPARE(curtain->zValue(), 10000.0);
    QCOMPARE(curtain->opacity(), 0.0);
    QVERIFY(!curtain->isVisible());
    QVERIFY(curtain->geometry().contains(QRectF(-5000, -5000, 10000, 10000)));

    curtain->show();
    QVERIFY(curtain->isVisible());
    QTRY_COMPARE(curtain->opacity(), 0.9);
    QTest::qWait(50);
    QVERIFY(curtain->isVisible());

    curtain->hide();
    QVERIFY(curtain->isVisible());
    QTRY_VERIFY(!curtain->isVisible());
    QCOMPARE(curtain->opacity(), 0.0);
}

// A hide right after a show fades from where the show got to.
void TestScene::curtainTurnsBack()
{
    QGraphicsScene scene;
    auto* curtain = new BlackCurtain(&scene, 10000.0);
    auto* fade = curtain->findChild<QPropertyAnimation*>(QStringLiteral("fadeAnimation"));
    QVERIFY(fade);
    curtain->show();
    QTest::qWait(40);
    const qreal reached = curtain->opacity();
    QVERIFY(reached > 0.0 && reached < 0.9);
    curtain->hide();
    QCOMPARE(fade->startValue().toReal(), reached);
    QCOMPARE(fade->endValue().toReal(), 0.0);
    QVERIFY(curtain->isVisible());
    QTRY_VERIFY(!curtain->isVisible());
}

// The container centres its window and lets go of a window deleted first.
void TestScene::container()
{
    QGraphicsScene scene;
    auto* c = new PluginWindowContainer();
    scene.addItem(c);
    auto* w = new PluginWindow();
    c->setWindow(w);
    QCOMPARE(w->parentItem(), c);
    c->resize(600, 400);
    w->setPreferredSize(200, 100);
    c->layout()->activate();
    QCOMPARE(w->geometry().center().x(), 300.0);

    delete w;
    QVERIFY(!c->window());
    c->setWindow(nullptr);
    QVERIFY(!c->window());

    orvotest::LogCapture log;
    c->paint(nullptr, nullptr, nullptr);
    QCOMPARE(log.linesAt(QStringLiteral("ERROR")).size(), 1);
}

ORVO_TEST_GUI_MAIN(TestScene)
#include "tst_scene.moc"
