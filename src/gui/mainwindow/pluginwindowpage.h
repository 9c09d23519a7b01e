#pragma once

#include <QGraphicsProxyWidget>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QVector>

class QAction;
class QGraphicsSceneResizeEvent;
class QPainter;
class QStyleOptionGraphicsItem;
class QToolBar;

namespace ORVO {

// A proxy that keeps its geometry on whole pixels, so that the tab buttons
// it carries are drawn sharp.
class QGraphicsIntegerProxyWidget : public QGraphicsProxyWidget
{
public:
    using QGraphicsProxyWidget::QGraphicsProxyWidget;
    void setGeometry(const QRectF& rect) override;
};

// How a decoration picture is cut: widths of the left and right slices, the
// row where the top edge starts when there is no notch, the columns of the
// notch, heights of the top and bottom slices.
struct FrameDecoration
{
    int left = 0;
    int right = 0;
    int topRowOffset = 0;
    int notchStart = 0;
    int notchEnd = 0;
    int top = 0;
    int bottom = 0;
};

// One piece of a decoration frame: a source rectangle of the picture drawn
// scaled onto a target rectangle in page coordinates.
struct FrameSlice
{
    QRectF target;
    QRect source;
};

// The pieces of a page's frame, in drawing order: four corners, left and
// right edges, top and bottom edges, centre and, when the page points at a
// tab button (anchored), the notch centred under anchorX (clamped to the
// top edge).
QVector<FrameSlice> frameSlices(const QSizeF& page, const QSize& picture, const FrameDecoration& d,
                                bool anchored, qreal anchorX);

// One tab's page of a PluginWindow: hosts the plugin's widget (set with
// setWidget by the creator), draws a decoration frame cut in nine slices
// from one picture with a notch pointing at the page's tab button, carries
// a vertical toolbar of page actions at its right edge and can show a load
// progress bar in its middle.
class PluginWindowPage : public QGraphicsProxyWidget
{
    Q_OBJECT
public:
    enum DefaultDecorationThemes : int {
        NoDecoration = 0,
        BlackDecoration = 1,
        WindowDecoration = 2,
        WhiteDecoration = 3
    };
    enum ActionFlags {
        CloseFlag = 0x01,
        ReloadFlag = 0x02,
        BackFlag = 0x04,
        SettingsFlag = 0x08,
        ZoomInFlag = 0x10,
        ZoomOutFlag = 0x20
    };

    PluginWindowPage();

    // Made on first use, with the page as parent.
    QAction* closeAction();
    QAction* reloadAction();
    QAction* backAction();
    QAction* settingsAction();
    QAction* zoomInAction();
    QAction* zoomOutAction();

    // Adds the actions of the bits set, then the theme's decoration.
    void setDecorationTheme(DefaultDecorationThemes theme, int actions);
    void setDecoration(const QPixmap& picture, int left, int right, int topRowOffset,
                       int notchStart, int notchEnd, int top, int bottom);
    FrameDecoration decoration() const { return deco; }
    QPixmap decorationPicture() const { return picture; }

    // The tab button the notch points at; borrowed, null for none.
    void setAnchorTabButton(QGraphicsItem* item);
    QGraphicsItem* anchorTabButton() const { return anchor; }

    QGraphicsProxyWidget* toolBarItem() const { return toolBarProxy; }
    QToolBar* toolBar() const { return bar; }
    // The load progress bar while it shows, else null.
    QProgressBar* progressBar() const;

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    void paintWindowFrame(QPainter* painter, const QStyleOptionGraphicsItem* option,
                          QWidget* widget) override;

public slots:
    // At step == totSteps the bar goes away.
    void showLoadProgressBar(int step, int totSteps = 100,
                             QString description = QStringLiteral("%p"));
    void hideLoadProgressBar();
    void activate();
    void deactivate();

signals:
    void activated();
    void deactivated();

protected:
    void resizeEvent(QGraphicsSceneResizeEvent* event) override;

private:
    QAction* action(QAction*& slot, const char* off, const char* on);

    QPixmap picture;
    FrameDecoration deco;
    QGraphicsProxyWidget* toolBarProxy = nullptr;
    QToolBar* bar = nullptr;
    QGraphicsItem* anchor = nullptr;
    QAction* closeAct = nullptr;
    QAction* reloadAct = nullptr;
    QAction* backAct = nullptr;
    QAction* settingsAct = nullptr;
    QAction* zoomInAct = nullptr;
    QAction* zoomOutAct = nullptr;
    // A child of the hosted widget, which may go first.
    QPointer<QProgressBar> progress;
};

} // namespace ORVO
