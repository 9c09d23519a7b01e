#include <QAction>
#include <QApplication>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QProgressBar>
#include <QStyleOptionGraphicsItem>
#include <QToolBar>

#include "gui/mainwindow/pluginwindowpage.h"
#include "logcapture.h"
#include "testmain.h"

using ORVO::FrameDecoration;
using ORVO::FrameSlice;
using ORVO::PluginWindowPage;

Q_DECLARE_METATYPE(ORVO::FrameDecoration)

namespace {

// The picture's pixels, whatever the format it was kept in.
QImage pixels(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage pixels(const QString& name)
{
    return QImage(name).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

// One tab's page: its frame, toolbar, actions and load progress bar.
class TestPluginWindowPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void themes_data();
    void themes();
    void frameSlices_data();
    void frameSlices();
    void frameIsDrawn();
    void toolBar();
    void actions();
    void signals_();
    void progressBar();
    void integerProxy_data();
    void integerProxy();
};

void TestPluginWindowPage::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
}

void TestPluginWindowPage::themes_data()
{
    QTest::addColumn<int>("theme");
    QTest::addColumn<int>("actions");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QRectF>("margins"); // left, top, right, bottom
    QTest::addColumn<int>("tools");
    QTest::newRow("none") << 0 << 0 << QString() << QRectF(0, 0, 0, 0) << 0;
    QTest::newRow("black") << 1 << 0 << "rc:bgblack.png" << QRectF(20, 32, 20, 37) << 0;
    QTest::newRow("window, as the login plugin")
        << 2 << 0 << "rc:windowbg.png" << QRectF(20, 20, 20, 12) << 0;
    QTest::newRow("white") << 3 << 0 << "rc:bgwhite.png" << QRectF(20, 32, 20, 37) << 0;
    QTest::newRow("unknown theme") << 9 << 0 << QString() << QRectF(0, 0, 0, 0) << 0;
    // The toolbar's 24-pixel icons stand out of the right edge: 20 + 24 - 32.
    QTest::newRow("black with close")
        << 1 << 0x01 << "rc:bgblack.png" << QRectF(20, 32, 12, 37) << 1;
    QTest::newRow("all actions") << 2 << 0x3f << "rc:windowbg.png" << QRectF(20, 20, 12, 12) << 6;
    QTest::newRow("actions, no frame") << 0 << 0x06 << QString() << QRectF(0, 0, -8, 0) << 2;
}

void TestPluginWindowPage::themes()
{
    QFETCH(int, theme);
    QFETCH(int, actions);
    QFETCH(QString, picture);
    QFETCH(QRectF, margins);
    QFETCH(int, tools);

    PluginWindowPage page;
    page.setDecorationTheme(static_cast<PluginWindowPage::DefaultDecorationThemes>(theme), actions);
    if (picture.isEmpty())
        QVERIFY(page.decorationPicture().isNull());
    else
        QCOMPARE(pixels(page.decorationPicture()), pixels(picture));
    qreal l, t, r, b;
    page.getWindowFrameMargins(&l, &t, &r, &b);
    QCOMPARE(QRectF(l, t, r, b), margins);
    QCOMPARE(page.toolBar()->actions().size(), tools);
    if (actions == 0x3f) {
        // In bit order.
        QCOMPARE(
            page.toolBar()->actions(),
            (QList<QAction*>{page.closeAction(), page.reloadAction(), page.backAction(),
                             page.settingsAction(), page.zoomInAction(), page.zoomOutAction()}));
    }
}

void TestPluginWindowPage::frameSlices_data()
{
    QTest::addColumn<QSizeF>("page");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<FrameDecoration>("deco");
    QTest::addColumn<bool>("anchored");
    QTest::addColumn<qreal>("anchorX");
    QTest::addColumn<int>("index");
    QTest::addColumn<QRectF>("target");
    QTest::addColumn<QRect>("source");

    const FrameDecoration window{20, 20, 16, 62, 93, 20, 12};
    const FrameDecoration black{20, 20, 16, 65, 88, 32, 37};
    const QSizeF page(500, 300);
    const QSize pic(120, 60);
    // Without a notch the top row starts at the offset.
    QTest::newRow("top-left") << page << pic << window << false << 0.0 << 0
                              << QRectF(-20, -20, 20, 20) << QRect(0, 16, 20, 20);
    QTest::newRow("top-right") << page << pic << window << false << 0.0 << 1
                               << QRectF(500, -20, 20, 20) << QRect(100, 16, 20, 20);
    QTest::newRow("bottom-left") << page << pic << window << false << 0.0 << 2
                                 << QRectF(-20, 300, 20, 12) << QRect(0, 48, 20, 12);
    QTest::newRow("bottom-right") << page << pic << window << false << 0.0 << 3
                                  << QRectF(500, 300, 20, 12) << QRect(100, 48, 20, 12);
    QTest::newRow("left edge") << page << pic << window << false << 0.0 << 4
                               << QRectF(-20, 0, 20, 300) << QRect(0, 20, 20, 28);
    QTest::newRow("right edge") << page << pic << window << false << 0.0 << 5
                                << QRectF(500, 0, 20, 300) << QRect(100, 20, 20, 28);
    QTest::newRow("top edge") << page << pic << window << false << 0.0 << 6
                              << QRectF(0, -20, 500, 20) << QRect(20, 16, 22, 20);
    QTest::newRow("bottom edge") << page << pic << window << false << 0.0 << 7
                                 << QRectF(0, 300, 500, 12) << QRect(20, 48, 22, 12);
    QTest::newRow("centre") << page << pic << window << false << 0.0 << 8 << QRectF(0, 0, 500, 300)
                            << QRect(20, 20, 22, 28);
    // With a notch the top row starts at the picture's top.
    QTest::newRow("anchored top-left") << page << pic << window << true << 250.0 << 0
                                       << QRectF(-20, -20, 20, 20) << QRect(0, 0, 20, 20);
    QTest::newRow("anchored top edge") << page << pic << window << true << 250.0 << 6
                                       << QRectF(0, -20, 500, 20) << QRect(20, 0, 22, 20);
    QTest::newRow("notch centred") << page << pic << window << true << 250.7 << 9
                                   << QRectF(235, -20, 31, 20) << QRect(62, 0, 31, 20);
    // Half of 23 is 11: a centre 10 from the left edge is raised to 11.
    QTest::newRow("notch at the left end") << page << QSize(120, 100) << black << true << 10.0 << 9
                                           << QRectF(0, -32, 23, 32) << QRect(65, 0, 23, 32);
    QTest::newRow("notch at the right end")
        << page << QSize(120, 100) << black << true << 499.0 << 9 << QRectF(478, -32, 23, 32)
        << QRect(65, 0, 23, 32);
    // Edges and centre span whole pixels; the right column starts at the true width.
    QTest::newRow("fractional size, top edge")
        << QSizeF(500.7, 300.9) << pic << window << false << 0.0 << 6 << QRectF(0, -20, 500, 20)
        << QRect(20, 16, 22, 20);
    QTest::newRow("fractional size, right edge")
        << QSizeF(500.7, 300.9) << pic << window << false << 0.0 << 5 << QRectF(500.7, 0, 20, 300)
        << QRect(100, 20, 20, 28);
}

void TestPluginWindowPage::frameSlices()
{
    QFETCH(QSizeF, page);
    QFETCH(QSize, picture);
    QFETCH(FrameDecoration, deco);
    QFETCH(bool, anchored);
    QFETCH(qreal, anchorX);
    QFETCH(int, index);
    QFETCH(QRectF, target);
    QFETCH(QRect, source);

    const QVector<FrameSlice> slices = ORVO::frameSlices(page, picture, deco, anchored, anchorX);
    QCOMPARE(slices.size(), anchored ? 10 : 9);
    QCOMPARE(slices.at(index).target, target);
    QCOMPARE(slices.at(index).source, source);
}

// The frame lies outside the page; a page without picture draws nothing.
void TestPluginWindowPage::frameIsDrawn()
{
    for (int theme : {2, 0}) {
        PluginWindowPage page;
        page.setDecorationTheme(static_cast<PluginWindowPage::DefaultDecorationThemes>(theme), 0);
        page.resize(200, 100);
        QImage image(240, 132, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.translate(20, 20);
            QStyleOptionGraphicsItem option;
            page.paintWindowFrame(&painter, &option, nullptr);
        }
        // The frame's left side, at half height.
        const QRgb edge = image.pixel(14, 70);
        if (theme == 2)
            QVERIFY2(qAlpha(edge) > 0, qPrintable(QString::number(edge, 16)));
        else
            QCOMPARE(qAlpha(edge), 0);
    }

    orvotest::LogCapture log;
    PluginWindowPage page;
    page.paint(nullptr, nullptr, nullptr);
    QCOMPARE(log.linesAt(QStringLiteral("ERROR")).size(), 1);
}

void TestPluginWindowPage::toolBar()
{
    PluginWindowPage page;
    const QSize icon = QPixmap(QStringLiteral("rc:closeoff.png")).size();
    QCOMPARE(icon, QSize(24, 24));
    QToolBar* bar = page.toolBar();
    QCOMPARE(bar->objectName(), QStringLiteral("pluginPageToolBar"));
    QCOMPARE(bar->orientation(), Qt::Vertical);
    QCOMPARE(bar->iconSize(), icon);
    QCOMPARE(bar->minimumHeight(), 4 * icon.height());
    // Only its icons show beside the page.
    QVERIFY(bar->testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(!bar->isMovable());
    QCOMPARE(page.toolBarItem()->parentItem(), &page);
    QVERIFY(page.toolBarItem()->flags() & QGraphicsItem::ItemStacksBehindParent);

    // It follows the right edge.
    QGraphicsScene scene;
    scene.addItem(&page);
    page.resize(300, 200);
    QCOMPARE(page.toolBarItem()->pos(), QPointF(284, 0));
    page.resize(420, 200);
    QCOMPARE(page.toolBarItem()->pos(), QPointF(404, 0));
    scene.removeItem(&page);
}

// Made once, on first use, with an idle and a hover picture.
void TestPluginWindowPage::actions()
{
    PluginWindowPage page;
    QAction* close = page.closeAction();
    QCOMPARE(page.closeAction(), close);
    QCOMPARE(close->parent(), static_cast<QObject*>(&page));
    QVERIFY(close->text().isEmpty());
    QCOMPARE(pixels(close->icon().pixmap(24, 24, QIcon::Normal)),
             pixels(QStringLiteral("rc:closeoff.png")));
    QCOMPARE(pixels(close->icon().pixmap(24, 24, QIcon::Active)),
             pixels(QStringLiteral("rc:closeon.png")));
    QCOMPARE(pixels(page.zoomOutAction()->icon().pixmap(24, 24, QIcon::Active)),
             pixels(QStringLiteral("rc:minuson.png")));
    QVERIFY(page.toolBar()->actions().isEmpty());
}

void TestPluginWindowPage::signals_()
{
    PluginWindowPage page;
    QSignalSpy on(&page, SIGNAL(activated()));
    QSignalSpy off(&page, SIGNAL(deactivated()));
    page.activate();
    page.deactivate();
    page.deactivate();
    QCOMPARE(on.count(), 1);
    QCOMPARE(off.count(), 2);
}

void TestPluginWindowPage::progressBar()
{
    PluginWindowPage bare;
    bare.showLoadProgressBar(10);
    QVERIFY(!bare.progressBar());

    QGraphicsScene scene;
    auto* page = new PluginWindowPage();
    page->setWidget(new QWidget());
    scene.addItem(page);
    page->resize(800, 600);

    page->showLoadProgressBar(40);
    QProgressBar* bar = page->progressBar();
    QVERIFY(bar);
    QCOMPARE(bar->parentWidget(), page->widget());
    QCOMPARE(bar->value(), 40);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->format(), QStringLiteral("%p"));
    QCOMPARE(bar->text(), bar->locale().toString(40)); // digits of the language
    QCOMPARE(bar->minimumWidth(), 200);
    QVERIFY(!bar->isHidden());

    // Centred at its own size.
    bar->resize(200, 20);
    page->showLoadProgressBar(3, 14, QStringLiteral("Reconnection in progress"));
    QCOMPARE(page->progressBar(), bar);
    QCOMPARE(bar->pos(), QPoint(300, 290));
    QCOMPARE(bar->maximum(), 14);
    QCOMPARE(bar->text(), QStringLiteral("Reconnection in progress"));
    page->resize(400, 300);
    QCOMPARE(bar->pos(), QPoint(100, 140));
    QCOMPARE(bar->value(), 3);

    // The last step takes it away, as does hiding it; a resize brings
    // neither back.
    page->showLoadProgressBar(14, 14);
    page->resize(500, 400);
    QVERIFY(!page->progressBar());
    page->showLoadProgressBar(5);
    QVERIFY(page->progressBar());
    page->hideLoadProgressBar();
    page->resize(800, 600);
    QVERIFY(!page->progressBar());
    page->hideLoadProgressBar();
    // At the total with no bar: nothing appears.
    page->showLoadProgressBar(100);
    QVERIFY(!page->progressBar());
}

void TestPluginWindowPage::integerProxy_data()
{
    QTest::addColumn<QRectF>("given");
    QTest::addColumn<QRectF>("kept");
    QTest::newRow("halves up") << QRectF(10.5, -0.5, 99.4, 35.5) << QRectF(11, 0, 99, 36);
    QTest::newRow("negative halves") << QRectF(-1.5, -2.5, 20.5, 0.49) << QRectF(-1, -2, 21, 0);
    QTest::newRow("whole") << QRectF(3, 4, 5, 6) << QRectF(3, 4, 5, 6);
}

void TestPluginWindowPage::integerProxy()
{
    QFETCH(QRectF, given);
    QFETCH(QRectF, kept);
    ORVO::QGraphicsIntegerProxyWidget proxy;
    proxy.setGeometry(given);
    QCOMPARE(proxy.geometry(), kept);
}

ORVO_TEST_GUI_MAIN(TestPluginWindowPage)
#include "tst_pluginwindowpage.moc"
