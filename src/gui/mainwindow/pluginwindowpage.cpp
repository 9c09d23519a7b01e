#include "gui/mainwindow/pluginwindowpage.h"

#include <QAction>
#include <QGraphicsSceneResizeEvent>
#include <QIcon>
#include <QPainter>
#include <QProgressBar>
#include <QToolBar>
#include <QtMath>

#include "common/log.h"
#include "common/utils.h"

namespace ORVO {

namespace {

const char StyleSheet[] = ":/main.css";
const char CloseOff[] = "rc:closeoff.png";
// The toolbar peeks out this far right of the page.
const int ToolBarInset = 16;

struct Theme
{
    const char* picture;
    FrameDecoration decoration;
};

Theme themeOf(PluginWindowPage::DefaultDecorationThemes theme)
{
    switch (theme) {
    case PluginWindowPage::BlackDecoration:
        return {"rc:bgblack.png", {20, 20, 16, 65, 88, 32, 37}};
    case PluginWindowPage::WindowDecoration:
        return {"rc:windowbg.png", {20, 20, 16, 62, 93, 20, 12}};
    case PluginWindowPage::WhiteDecoration:
        return {"rc:bgwhite.png", {20, 20, 16, 65, 88, 32, 37}};
    default:
        return {nullptr, {}};
    }
}

} // namespace

void QGraphicsIntegerProxyWidget::setGeometry(const QRectF& rect)
{
    QGraphicsProxyWidget::setGeometry(
        QRectF(qRound(rect.x()), qRound(rect.y()), qRound(rect.width()), qRound(rect.height())));
}

QVector<FrameSlice> frameSlices(const QSizeF& page, const QSize& picture, const FrameDecoration& d,
                                bool anchored, qreal anchorX)
{
    const qreal w = page.width();
    const qreal h = page.height();
    const int W = picture.width();
    const int H = picture.height();
    const int L = d.left;
    const int R = d.right;
    const int T = d.top;
    const int B = d.bottom;
    const int iw = static_cast<int>(w);
    const int ih = static_cast<int>(h);
    const int topY = anchored ? 0 : d.topRowOffset;
    const int midW = d.notchStart - L - R;
    const int midH = H - B - T;

    QVector<FrameSlice> slices{
        {QRectF(-L, -T, L, T), QRect(0, topY, L, T)},
        {QRectF(w, -T, R, T), QRect(W - R, topY, R, T)},
        {QRectF(-L, h, L, B), QRect(0, H - B, L, B)},
        {QRectF(w, h, R, B), QRect(W - R, H - B, R, B)},
        {QRectF(-L, 0, L, ih), QRect(0, T, L, midH)},
        {QRectF(w, 0, R, ih), QRect(W - R, T, R, midH)},
        {QRectF(0, -T, iw, T), QRect(L, topY, midW, T)},
        {QRectF(0, h, iw, B), QRect(L, H - B, midW, B)},
        {QRectF(0, 0, iw, ih), QRect(L, T, midW, midH)},
    };
    if (anchored) {
        // Under the tab button's centre, never past either end of the top edge.
        const int notch = d.notchEnd - d.notchStart;
        const int half = notch / 2;
        int c = static_cast<int>(anchorX);
        c = qMax(c, half);
        c = qMin(c, iw - half);
        slices.append({QRectF(c - half, -T, notch, T), QRect(d.notchStart, 0, notch, T)});
    }
    return slices;
}

PluginWindowPage::PluginWindowPage()
{
    const QPixmap closeOff{QLatin1String(CloseOff)};
    bar = new QToolBar();
    toolBarProxy = new QGraphicsProxyWidget(this);
    toolBarProxy->setWidget(bar);
    bar->setOrientation(Qt::Vertical);
    bar->setIconSize(closeOff.size());
    bar->setObjectName(QStringLiteral("pluginPageToolBar"));
    // A proxied widget is a window of its own: it gets the sheet itself and
    // shows only its icons. Its place is fixed, so it has no grip.
    bar->setStyleSheet(utils::loadStyleSheet(QLatin1String(StyleSheet)));
    bar->setAttribute(Qt::WA_TranslucentBackground);
    bar->setMovable(false);
    toolBarProxy->setPos(size().width() - ToolBarInset, 0);
    toolBarProxy->setFlag(QGraphicsItem::ItemStacksBehindParent);
    bar->setMinimumHeight(4 * closeOff.height());
}

QAction* PluginWindowPage::action(QAction*& slot, const char* off, const char* on)
{
    if (!slot) {
        QIcon icon;
        icon.addPixmap(QPixmap(QLatin1String(off)), QIcon::Normal, QIcon::Off);
        icon.addPixmap(QPixmap(QLatin1String(on)), QIcon::Active, QIcon::Off);
        slot = new QAction(icon, QString(), this);
    }
    return slot;
}

QAction* PluginWindowPage::closeAction()
{
    return action(closeAct, CloseOff, "rc:closeon.png");
}

QAction* PluginWindowPage::reloadAction()
{
    return action(reloadAct, "rc:reloadoff.png", "rc:reloadon.png");
}

QAction* PluginWindowPage::backAction()
{
    return action(backAct, "rc:backoff.png", "rc:backon.png");
}

QAction* PluginWindowPage::settingsAction()
{
    return action(settingsAct, "rc:settingsoff.png", "rc:settingson.png");
}

QAction* PluginWindowPage::zoomInAction()
{
    return action(zoomInAct, "rc:plusoff.png", "rc:pluson.png");
}

QAction* PluginWindowPage::zoomOutAction()
{
    return action(zoomOutAct, "rc:minusoff.png", "rc:minuson.png");
}

void PluginWindowPage::setDecorationTheme(DefaultDecorationThemes theme, int actions)
{
    if (actions & CloseFlag)
        bar->addAction(closeAction());
    if (actions & ReloadFlag)
        bar->addAction(reloadAction());
    if (actions & BackFlag)
        bar->addAction(backAction());
    if (actions & SettingsFlag)
        bar->addAction(settingsAction());
    if (actions & ZoomInFlag)
        bar->addAction(zoomInAction());
    if (actions & ZoomOutFlag)
        bar->addAction(zoomOutAction());

    const Theme t = themeOf(theme);
    const QPixmap pic = t.picture ? QPixmap(QLatin1String(t.picture)) : QPixmap();
    const FrameDecoration& d = t.decoration;
    setDecoration(pic, d.left, d.right, d.topRowOffset, d.notchStart, d.notchEnd, d.top, d.bottom);
}

void PluginWindowPage::setDecoration(const QPixmap& pic, int left, int right, int topRowOffset,
                                     int notchStart, int notchEnd, int top, int bottom)
{
    picture = pic;
    deco = {left, right, topRowOffset, notchStart, notchEnd, top, bottom};
    // The toolbar's icons stand out of the right edge.
    int frameRight = right;
    if (!bar->actions().isEmpty())
        frameRight = right + bar->iconSize().width() - 32;
    setWindowFrameMargins(left, top, frameRight, bottom);
}

void PluginWindowPage::setAnchorTabButton(QGraphicsItem* item)
{
    anchor = item;
    update();
}

void PluginWindowPage::activate()
{
    emit activated();
}

void PluginWindowPage::deactivate()
{
    emit deactivated();
}

void PluginWindowPage::paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
                             QWidget* widget)
{
    if (!painter) {
        LOG_ERROR;
        return;
    }
    paintWindowFrame(painter, option, widget);
    QGraphicsProxyWidget::paint(painter, option, widget);
}

void PluginWindowPage::paintWindowFrame(QPainter* painter, const QStyleOptionGraphicsItem* option,
                                        QWidget* widget)
{
    Q_UNUSED(option);
    Q_UNUSED(widget);
    if (!painter || picture.isNull())
        return;
    qreal anchorX = 0;
    if (anchor)
        anchorX = mapFromItem(anchor, anchor->boundingRect().center()).x();
    const QVector<FrameSlice> slices =
        frameSlices(size(), picture.size(), deco, anchor != nullptr, anchorX);
    for (const FrameSlice& s : slices)
        painter->drawPixmap(s.target, picture, QRectF(s.source));
}

void PluginWindowPage::resizeEvent(QGraphicsSceneResizeEvent* event)
{
    QGraphicsProxyWidget::resizeEvent(event);
    toolBarProxy->setPos(event->newSize().width() - ToolBarInset, 0);
    // The bar stays made once hidden: only a shown one is placed again.
    if (QProgressBar* bar = progressBar())
        showLoadProgressBar(bar->value(), bar->maximum(), bar->format());
}

void PluginWindowPage::showLoadProgressBar(int step, int totSteps, QString description)
{
    QWidget* hosted = widget();
    if (!hosted)
        return;
    if (step == totSteps) {
        hideLoadProgressBar();
        return;
    }
    // Made once and then hidden between loads: each new bar would parse the
    // whole style sheet again, on every page load.
    if (!progress) {
        progress = new QProgressBar(hosted);
        progress->setStyleSheet(utils::loadStyleSheet(QLatin1String(StyleSheet)));
        progress->setMinimumWidth(200);
    }
    // Centred on the page, at the bar's own size.
    const int x = static_cast<int>(size().width() * 0.5 - progress->width() / 2);
    const int y = static_cast<int>(size().height() * 0.5 - progress->height() / 2);
    progress->move(x, y);
    progress->setMaximum(totSteps);
    progress->setValue(step);
    progress->setFormat(description);
    progress->setVisible(true);
}

void PluginWindowPage::hideLoadProgressBar()
{
    if (progress)
        progress->hide();
}

QProgressBar* PluginWindowPage::progressBar() const
{
    return progress && !progress->isHidden() ? progress.data() : nullptr;
}

} // namespace ORVO
