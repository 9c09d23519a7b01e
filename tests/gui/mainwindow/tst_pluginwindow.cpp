#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsLinearLayout>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QImage>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>

#include "common/common.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/widgets/pushbutton.h"
#include "logcapture.h"
#include "testenv.h"
#include "testmain.h"

using ORVO::PluginWindow;
using ORVO::PluginWindowPage;

namespace {

// A window in a scene, with named tabs whose pages record what they hear.
struct Rig
{
    explicit Rig(const QStringList& names)
    {
        window = new PluginWindow();
        scene.addItem(window);
        for (const QString& name : names) {
            auto* page = new PluginWindowPage();
            page->setWidget(new QWidget());
            page->setMinimumHeight(50); // but no width of its own, as a web view
            page->setDecorationTheme(PluginWindowPage::WindowDecoration, 0);
            QObject::connect(page, &PluginWindowPage::activated,
                             [this, name] { journal << "+" + name; });
            QObject::connect(page, &PluginWindowPage::deactivated,
                             [this, name] { journal << "-" + name; });
            window->addTab(name, QIcon(), page, false);
        }
        window->resize(560, 400);
    }

    QPushButton* button(int i) const { return window->tabButtons().value(i); }

    QGraphicsScene scene;
    PluginWindow* window = nullptr;
    QStringList journal;
};

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The banner buttons, left to right.
QList<PushButton*> bannerButtons(PluginWindow* window)
{
    window->layout()->activate();
    QList<PushButton*> buttons;
    for (QGraphicsItem* item : window->childItems()) {
        auto* proxy = dynamic_cast<QGraphicsProxyWidget*>(item);
        if (auto* b = proxy ? qobject_cast<PushButton*>(proxy->widget()) : nullptr)
            buttons << b;
    }
    std::sort(buttons.begin(), buttons.end(), [](PushButton* a, PushButton* b) {
        return a->graphicsProxyWidget()->x() < b->graphicsProxyWidget()->x();
    });
    return buttons;
}

} // namespace

// The plugin window: tabs, the current page, the banner buttons and the
// turning Refresh icon.
class TestPluginWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tabWidths_data();
    void tabWidths();
    void tabProperties_data();
    void tabProperties();
    void addTab();
    void activateTab();
    void leftPagesAreTold();
    void unknownTab();
    void closeTab_data();
    void closeTab();
    void closeButtonOfPage();
    void clearTabs();
    void banner_data();
    void banner();
    void bannerLogo();
    void closeButtonAsks();
    void refreshTurns();
    void refreshWithoutAnimation_data();
    void refreshWithoutAnimation();
    void loadsWithPauses();
    void activation();

private:
    orvotest::TestEnv env;
};

void TestPluginWindow::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
    QVERIFY(QDir().mkpath(env.dataDir()));
}

void TestPluginWindow::tabWidths_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("width");
    QTest::newRow("one") << 1 << 540;
    QTest::newRow("two") << 2 << 270;
    QTest::newRow("three") << 3 << 180;
    QTest::newRow("four") << 4 << 135;
    QTest::newRow("seven") << 7 << 77;
}

// Every button, old and new, gets the share of the new count.
void TestPluginWindow::tabWidths()
{
    QFETCH(int, tabs);
    QFETCH(int, width);
    QStringList names;
    for (int i = 0; i < tabs; ++i)
        names << QString::number(i);
    Rig rig(names);
    for (int i = 0; i < tabs; ++i)
        QCOMPARE(rig.button(i)->minimumWidth(), width);
}

void TestPluginWindow::tabProperties_data()
{
    QTest::addColumn<int>("tabs");
    // first_tab, last_tab, middle_tab of each button, as "flm" letters or "-".
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("only") << 1 << QStringList{"fl-"};
    QTest::newRow("two") << 2 << QStringList{"f--", "-l-"};
    QTest::newRow("three") << 3 << QStringList{"f--", "--m", "-l-"};
    QTest::newRow("four") << 4 << QStringList{"f--", "--m", "--m", "-l-"};
}

void TestPluginWindow::tabProperties()
{
    QFETCH(int, tabs);
    QFETCH(QStringList, expected);
    QStringList names;
    for (int i = 0; i < tabs; ++i)
        names << QString::number(i);
    Rig rig(names);
    for (int i = 0; i < tabs; ++i) {
        QPushButton* b = rig.button(i);
        QString got;
        got += b->property("first_tab").toBool() ? "f" : "-";
        got += b->property("last_tab").toBool() ? "l" : "-";
        got += b->property("middle_tab").toBool() ? "m" : "-";
        QCOMPARE(got, expected.at(i));
    }
    // Closing the last tab makes the one before it the last.
    if (tabs > 1) {
        rig.window->closeTab(QString::number(tabs - 1));
        QVERIFY(rig.button(tabs - 2)->property("last_tab").toBool());
        QCOMPARE(rig.button(tabs - 2)->property("middle_tab").toBool(), false);
    }
}

// A new tab is not shown; its button and its page's toolbar join the window.
void TestPluginWindow::addTab()
{
    Rig rig({"LOGIN"});
    QPushButton* b = rig.button(0);
    QCOMPARE(b->text(), QStringLiteral("LOGIN"));
    QCOMPARE(b->height(), 35);
    QVERIFY(b->isCheckable());
    QVERIFY(!b->isChecked());
    QCOMPARE(b->focusPolicy(), Qt::NoFocus);
    QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(b->testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(!rig.window->currentPage());
    QCOMPARE(rig.window->currentIndex(), -1);
    QVERIFY(rig.journal.isEmpty());

    PluginWindowPage* page = rig.window->tab(QStringLiteral("LOGIN"));
    QVERIFY(page);
    QCOMPARE(page->toolBarItem()->parent(), static_cast<QObject*>(rig.window));
    // Half the page's side frame margins.
    qreal l, t, r, bottom;
    rig.window->getContentsMargins(&l, &t, &r, &bottom);
    QCOMPARE(QRectF(l, t, r, bottom), QRectF(10, 0, 10, 0));

    auto* hidden = new PluginWindowPage();
    rig.window->addTab(QStringLiteral("HIDDEN"), QIcon(), hidden, true);
    QCOMPARE(rig.button(1)->height(), 0);
    QCOMPARE(rig.window->tabNames(), (QStringList{"LOGIN", "HIDDEN"}));
    QCOMPARE(rig.window->pages(), (QList<PluginWindowPage*>{page, hidden}));
    QVERIFY(!rig.window->tab(QStringLiteral("NONE")));
}

// One page at a time; a click shows the tab before tabClicked is heard.
void TestPluginWindow::activateTab()
{
    Rig rig({"LOGIN", "ADVANCED", "LOGS"});
    QSignalSpy clicked(rig.window, SIGNAL(tabClicked(QString)));
    connect(rig.window, &PluginWindow::tabClicked,
            [&rig](const QString& name) { rig.journal << "clicked " + name; });

    rig.window->activateTab(QStringLiteral("ADVANCED"));
    PluginWindowPage* advanced = rig.window->tab(QStringLiteral("ADVANCED"));
    QCOMPARE(rig.window->currentPage(), advanced);
    QCOMPARE(rig.window->currentIndex(), 1);
    QVERIFY(advanced->isVisible());
    QVERIFY(!rig.window->tab(QStringLiteral("LOGIN"))->isVisible());
    QVERIFY(!rig.window->tab(QStringLiteral("LOGS"))->isVisible());
    QVERIFY(rig.button(1)->isChecked());
    QVERIFY(!rig.button(0)->isChecked());
    // Several tabs: the page's notch points at its button.
    QCOMPARE(advanced->anchorTabButton(), rig.button(1)->graphicsProxyWidget());
    QCOMPARE(advanced->widget()->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(rig.journal, QStringList{"+ADVANCED"});
    QVERIFY(clicked.isEmpty());

    rig.journal.clear();
    rig.button(2)->click();
    QCOMPARE(rig.journal, (QStringList{"-ADVANCED", "+LOGS", "clicked LOGS"}));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(rig.window->currentIndex(), 2);
    // Its widget's paints reach the scene, once the layout's own have.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QSignalSpy changed(&rig.scene, &QGraphicsScene::changed);
    rig.window->currentPage()->widget()->update();
    QTRY_VERIFY(!changed.isEmpty());

    // A single tab has no notch.
    Rig single({"ONLY"});
    single.window->activateTab(QStringLiteral("ONLY"));
    QVERIFY(!single.window->tab(QStringLiteral("ONLY"))->anchorTabButton());
}

// Whatever was shown is told it was left, the first tab's page too.
void TestPluginWindow::leftPagesAreTold()
{
    Rig rig({"A", "B", "C"});
    rig.window->activateTab(QStringLiteral("A"));
    rig.window->activateTab(QStringLiteral("B"));
    rig.window->activateTab(QStringLiteral("A"));
    // Activating the shown tab again leaves it and comes back (a page reloads).
    rig.window->activateTab(QStringLiteral("A"));
    QCOMPARE(rig.journal, (QStringList{"+A", "-A", "+B", "-B", "+A", "-A", "+A"}));
}

// No page for an unknown name; every button off.
void TestPluginWindow::unknownTab()
{
    Rig rig({"A", "B"});
    rig.window->activateTab(QStringLiteral("B"));
    rig.window->activateTab(QStringLiteral("Z"));
    QVERIFY(!rig.window->currentPage());
    QVERIFY(!rig.window->tab(QStringLiteral("A"))->isVisible());
    QVERIFY(!rig.window->tab(QStringLiteral("B"))->isVisible());
    QVERIFY(!rig.button(0)->isChecked());
    QVERIFY(!rig.button(1)->isChecked());
    QCOMPARE(rig.journal, (QStringList{"+B", "-B"}));
    // The group is exclusive again afterwards.
    rig.button(0)->click();
    rig.button(1)->click();
    QVERIFY(!rig.button(0)->isChecked());
}

void TestPluginWindow::closeTab_data()
{
    QTest::addColumn<QStringList>("tabs");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("close");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QString>("nowShown");
    QTest::addColumn<QStringList>("journal");
    QTest::addColumn<bool>("closed");

    QTest::newRow("first of three, shown")
        << QStringList{"A", "B", "C"} << "A"
        << "A" << QStringList{"B", "C"} << "B" << QStringList{"-A", "+B"} << false;
    QTest::newRow("last of three, shown")
        << QStringList{"A", "B", "C"} << "C"
        << "C" << QStringList{"A", "B"} << "B" << QStringList{"-C", "+B"} << false;
    QTest::newRow("middle, shown")
        << QStringList{"A", "B", "C"} << "B"
        << "B" << QStringList{"A", "C"} << "A" << QStringList{"-B", "+A"} << false;
    // The shown page is left once, although its index moved.
    QTest::newRow("first while the last is shown")
        << QStringList{"A", "B", "C"} << "C"
        << "A" << QStringList{"B", "C"} << "B" << QStringList{"-C", "+B"} << false;
    QTest::newRow("only tab, by empty name")
        << QStringList{"A"} << "A" << QString() << QStringList{} << QString() << QStringList{"-A"}
        << true;
    QTest::newRow("only tab, never shown") << QStringList{"A"} << QString() << "A" << QStringList{}
                                           << QString() << QStringList{} << true;
    QTest::newRow("empty name among two") << QStringList{"A", "B"} << "B" << QString()
                                          << QStringList{"A", "B"} << "B" << QStringList{} << false;
    QTest::newRow("unknown name") << QStringList{"A", "B"} << "A"
                                  << "Z" << QStringList{"A", "B"} << "A" << QStringList{} << false;
}

void TestPluginWindow::closeTab()
{
    QFETCH(QStringList, tabs);
    QFETCH(QString, shown);
    QFETCH(QString, close);
    QFETCH(QStringList, left);
    QFETCH(QString, nowShown);
    QFETCH(QStringList, journal);
    QFETCH(bool, closed);

    Rig rig(tabs);
    if (!shown.isEmpty())
        rig.window->activateTab(shown);
    QPointer<PluginWindowPage> closing = rig.window->tab(close.isEmpty() ? tabs.first() : close);
    QSignalSpy windowClosed(rig.window, SIGNAL(windowClosed()));
    rig.journal.clear();

    rig.window->closeTab(close);
    QCOMPARE(rig.window->tabNames(), left);
    QCOMPARE(rig.journal, journal);
    QCOMPARE(windowClosed.count(), closed ? 1 : 0);
    PluginWindowPage* current = rig.window->currentPage();
    QCOMPARE(current ? rig.window->tabNames().value(rig.window->currentIndex()) : QString(),
             nowShown);
    if (!left.isEmpty()) {
        QVERIFY(rig.button(left.size() - 1)->property("last_tab").toBool());
        QVERIFY(rig.button(0)->property("first_tab").toBool());
    }
    flushDeletes();
    if (close.isEmpty() || tabs.contains(close))
        QCOMPARE(closing.isNull(), tabs.size() != left.size());
}

// A page's close action closes its own tab.
void TestPluginWindow::closeButtonOfPage()
{
    Rig rig({"A", "B"});
    rig.window->activateTab(QStringLiteral("B"));
    rig.window->tab(QStringLiteral("B"))->closeAction()->trigger();
    QCOMPARE(rig.window->tabNames(), QStringList{"A"});
    QCOMPARE(rig.window->currentIndex(), 0);
}

void TestPluginWindow::clearTabs()
{
    Rig rig({"A", "B"});
    rig.window->activateTab(QStringLiteral("A"));
    QPointer<PluginWindowPage> a = rig.window->tab(QStringLiteral("A"));
    rig.window->clearTabs();
    QVERIFY(rig.window->tabNames().isEmpty());
    QVERIFY(!rig.window->currentPage());
    flushDeletes();
    QVERIFY(!a);
    // The window goes on with new tabs.
    auto* page = new PluginWindowPage();
    page->setWidget(new QWidget());
    rig.window->addTab(QStringLiteral("C"), QIcon(), page, false);
    rig.window->activateTab(QStringLiteral("C"));
    QCOMPARE(rig.window->currentPage(), page);
}

void TestPluginWindow::banner_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QSize>("logo");
    // What ends a load during which Logout was pressed.
    QTest::addColumn<QString>("loadEnd");
    const QStringList portal{" Refresh", " Back", " Settings", " Logout"};
    QTest::newRow("portal") << 0x4e << portal << QSize() << QString();
    QTest::newRow("all") << 0x7f << QStringList{" Refresh",  " Back",  " Settings", " Zoom In",
                                                " Zoom Out", " Close", " Logout"}
                         << QSize() << QString();
    QTest::newRow("none") << 0 << QStringList{} << QSize() << QString();
    QTest::newRow("the server's usual logo") << 0x4e << portal << QSize(48, 48) << QString();
    QTest::newRow("a logo of 2400 x 1600") << 0x4e << portal << QSize(2400, 1600) << QString();
    QTest::newRow("Logout during a load") << 0x4e << portal << QSize() << "finished";
    QTest::newRow("Logout during a load that stalls") << 0x4e << portal << QSize() << "bound";
    QTest::newRow("Logout during a load, signed out elsewhere")
        << 0x4e << portal << QSize() << "session gone";
}

// The buttons in their fixed order, each with a leading blank, and the
// tabs below them, where they stood before the server's logo was fetched.
void TestPluginWindow::banner()
{
    QFETCH(int, flags);
    QFETCH(QStringList, texts);
    QFETCH(QSize, logo);
    QFETCH(QString, loadEnd);
    Rig before({"PAGE"});
    before.window->showBannerAndButtons(flags, QPixmap());
    QImage picture(logo, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(!logo.isValid() || picture.save(ORVO::getCustomLogoSmallPath()));
    Rig rig({"PAGE"});
    rig.window->showBannerAndButtons(flags, QPixmap());
    QFile::remove(ORVO::getCustomLogoSmallPath());
    const QList<PushButton*> buttons = bannerButtons(rig.window);
    bannerButtons(before.window);
    QCOMPARE(rig.window->geometry(), before.window->geometry());
    QCOMPARE(rig.button(0)->graphicsProxyWidget()->pos(),
             before.button(0)->graphicsProxyWidget()->pos());
    QStringList got;
    for (PushButton* b : buttons) {
        got << b->text();
        QCOMPARE(b->objectName(), QStringLiteral("pluginPageButton"));
        QCOMPARE(b->layoutDirection(), Qt::RightToLeft);
        QCOMPARE(b->iconSize(), QSize(20, 20));
    }
    QCOMPARE(got, texts);
    QCOMPARE(rig.window->refreshButton() != nullptr, bool(flags & 0x02));
    QCOMPARE(rig.window->logoutButton() != nullptr, bool(flags & 0x40));
    QCOMPARE(rig.window->refreshMovie() != nullptr, bool(flags & 0x02));

    // Each click comes out as the window's signal.
    const QList<QByteArray> signalNames{"refresh()", "back()",  "settings()", "zoomIn()",
                                        "zoomOut()", "close()", "logout()"};
    const QList<int> bits{0x02, 0x04, 0x08, 0x10, 0x20, 0x01, 0x40};
    int at = 0;
    for (int i = 0; i < bits.size(); ++i) {
        if (!(flags & bits.at(i)))
            continue;
        QSignalSpy spy(rig.window, QByteArray("2" + signalNames.at(i)).constData());
        buttons.at(at++)->click();
        QCOMPARE(spy.count(), 1);
    }
    if (loadEnd.isEmpty())
        return;

    // Pressed during a load: taken, and shown at once; a second press adds
    // nothing. Carried out as the load's hold ends, unless the session went.
    PushButton* logout = rig.window->logoutButton();
    QSignalSpy out(rig.window, SIGNAL(logout()));
    rig.window->loadHold()->setCapacity(300);
    rig.window->loadStarted();
    logout->click();
    QCOMPARE(logout->text(), QStringLiteral(" Signing out"));
    QVERIFY(!logout->isEnabled());
    rig.window->loadHold()->press();
    if (loadEnd == "finished")
        rig.window->loadFinished();
    else if (loadEnd == "session gone")
        rig.window->loadHold()->reset();
    QTRY_COMPARE(out.count(), loadEnd == "session gone" ? 0 : 1);
    // Carried out, it can change nothing more until the session ends.
    QCOMPARE(logout->isEnabled(), loadEnd == "session gone");
    QCOMPARE(logout->text(), loadEnd == "session gone" ? " Logout" : " Signing out");
}

// Without a picture: the server's small logo when one was fetched, else ours.
void TestPluginWindow::bannerLogo()
{
    PluginWindow window;
    orvotest::LogCapture log;
    window.showBannerAndButtons(0, QPixmap());
    QVERIFY(log.contains(QStringLiteral("[PluginWindow] Using embedded logo (small)")));
    QLabel* banner = nullptr;
    for (QGraphicsItem* item : window.childItems()) {
        auto* proxy = dynamic_cast<QGraphicsProxyWidget*>(item);
        if (auto* label = proxy ? qobject_cast<QLabel*>(proxy->widget()) : nullptr)
            banner = label;
    }
    QVERIFY(banner);
    QCOMPARE(banner->objectName(), QStringLiteral("banner"));
    QCOMPARE(banner->pixmap(Qt::ReturnByValue).size(),
             QPixmap(QStringLiteral("rc:logo-small.png")).size());

    PluginWindow given;
    QPixmap logo(64, 16);
    logo.fill(Qt::red);
    log.clear();
    given.showBannerAndButtons(0, logo);
    QVERIFY(!log.contains(QStringLiteral("logo (small)")));
}

// The Close button asks through the window's close() signal; the window
// stays, its owner decides.
void TestPluginWindow::closeButtonAsks()
{
    Rig rig({"PAGE"});
    rig.window->showBannerAndButtons(PluginWindow::CloseFlag, QPixmap());
    QSignalSpy asked(rig.window, SIGNAL(close()));
    bannerButtons(rig.window).first()->click();
    QCOMPARE(asked.count(), 1);
    QVERIFY(rig.window->isVisible());
}

// A load that finishes mid-turn lets the icon turn to its still frame,
// faster, then stops.
void TestPluginWindow::refreshTurns()
{
    Rig rig({"PAGE"});
    rig.window->showBannerAndButtons(0x4e, QPixmap());
    QMovie* movie = rig.window->refreshMovie();
    PushButton* refresh = rig.window->refreshButton();
    PushButton* logout = rig.window->logoutButton();

    rig.window->loadStarted();
    QVERIFY(logout->isEnabled());
    QCOMPARE(refresh->property("hideText").toBool(), true);
    QCOMPARE(movie->state(), QMovie::Running);
    QTRY_VERIFY(movie->currentFrameNumber() > 1);

    rig.window->loadFinished();
    QVERIFY(logout->isEnabled());
    QCOMPARE(movie->state(), QMovie::Running);
    QCOMPARE(movie->speed(), 300);
    QTRY_COMPARE_WITH_TIMEOUT(movie->state(), QMovie::NotRunning, 2000);
    QCOMPARE(movie->speed(), 100);
    QCOMPARE(refresh->property("hideText").toBool(), false);
    QVERIFY(refresh->icon().pixmap(20, 20).toImage() ==
            QIcon(QStringLiteral("rc:refresh-off.png")).pixmap(20, 20).toImage());

    // Closing the last tab ends a turn and disables Refresh and Back.
    rig.window->loadStarted();
    rig.window->closeTab(QString());
    QTRY_COMPARE_WITH_TIMEOUT(movie->state(), QMovie::NotRunning, 2000);
    QVERIFY(!refresh->isEnabled());
    QVERIFY(!rig.window->backButton()->isEnabled());
}

void TestPluginWindow::refreshWithoutAnimation_data()
{
    QTest::addColumn<bool>("missing");
    QTest::addColumn<bool>("started");
    QTest::newRow("animation missing") << true << true;
    QTest::newRow("never started") << false << false;
}

// An animation that is missing or stopped never reaches another frame:
// the finish comes at once and nothing waits for it.
void TestPluginWindow::refreshWithoutAnimation()
{
    QFETCH(bool, missing);
    QFETCH(bool, started);
    QTemporaryDir empty;
    if (missing)
        QDir::setSearchPaths(QStringLiteral("rc"), {empty.path()});
    const std::unique_ptr<void, void (*)(void*)> restore(&empty, [](void*) {
        QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
    });
    Rig rig({"PAGE"});
    rig.window->showBannerAndButtons(0x4e, QPixmap());
    QCOMPARE(rig.window->refreshMovie()->isValid(), !missing);

    if (started)
        rig.window->loadStarted();
    orvotest::LogCapture log;
    rig.window->loadFinished();
    QTest::qWait(100);
    QCOMPARE(log.count(QRegularExpression(QStringLiteral("_finishTurn\\(\\)"))), 1);
    QCOMPARE(rig.window->refreshButton()->property("hideText").toBool(), false);
    QVERIFY(rig.window->logoutButton()->isEnabled());
}

// A frame whose loads take 9 s with pauses of 1.1 s, the loads ten times
// faster (a budget of 1 s): the sign-out is usable three quarters of the
// time and never greyed for longer than the budget (and a late timer).
void TestPluginWindow::loadsWithPauses()
{
    ORVO::LoadHold hold;
    hold.setCapacity(1000);
    QElapsedTimer load;
    qint64 greyed = 0, releasedAt = -1;
    connect(&hold, &ORVO::LoadHold::released, this, [&] { releasedAt = load.elapsed(); });
    for (int i = 0; i < 3; ++i) {
        load.start();
        releasedAt = -1;
        const bool held = hold.started();
        QTest::qWait(900);
        hold.finished();
        greyed += !held ? 0 : releasedAt < 0 ? load.elapsed() : releasedAt;
        QVERIFY2(releasedAt <= 1100, qPrintable(QString::number(releasedAt)));
        QTest::qWait(1100);
    }
    QVERIFY2(greyed * 4 <= 3 * 2000, qPrintable(QString::number(greyed)));
}

void TestPluginWindow::activation()
{
    PluginWindow window;
    QSignalSpy on(&window, SIGNAL(windowActivated()));
    QSignalSpy off(&window, SIGNAL(windowDeactivated()));
    window.activate(true);
    window.activate(true);
    QCOMPARE(on.count(), 1);
    QVERIFY(window.isActive());
    window.activate(false);
    window.activate(false);
    QCOMPARE(off.count(), 1);
    window.setDescription(QStringLiteral("Portal"));
    QCOMPARE(window.description(), QStringLiteral("Portal"));

    orvotest::LogCapture log;
    window.paint(nullptr, nullptr, nullptr);
    QCOMPARE(log.linesAt(QStringLiteral("ERROR")).size(), 1);
}

ORVO_TEST_GUI_MAIN(TestPluginWindow)
#include "tst_pluginwindow.moc"
