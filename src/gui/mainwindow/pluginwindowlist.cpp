#include "gui/mainwindow/pluginwindowlist.h"

#include <QEasingCurve>
#include <QGraphicsLinearLayout>
#include <QGraphicsScene>
#include <QPainter>
#include <QPropertyAnimation>

#include "common/log.h"
#include "gui/mainwindow/mainview.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowpage.h"

namespace {

const int SlideMs = 500;
const float Spacing = 20.0f;
const double OsdZ = 1000000.0;

} // namespace

namespace ORVO {

PluginWindowContainer::PluginWindowContainer()
{
    column = new QGraphicsLinearLayout(Qt::Vertical);
    column->setSpacing(0.0);
    setContentsMargins(0, 0, 0, 0);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    auto* spacer = new QGraphicsWidget();
    spacer->setMaximumHeight(0.0);
    spacer->setVisible(false);
    column->addItem(spacer);
    column->setItemSpacing(0, 0.0);
    setLayout(column);
    // A hidden container keeps its slot in the row: Qt 5's layouts close
    // the gap otherwise, and the slide to a later container, which counts
    // slots, would land on an empty one.
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
}

void PluginWindowContainer::setWindow(ORVO::PluginWindow* window)
{
    win = window;
    if (!window)
        return;
    column->addItem(window);
    column->setAlignment(window, Qt::AlignHCenter | Qt::AlignVCenter);
}

void PluginWindowContainer::paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
                                  QWidget* widget)
{
    Q_UNUSED(option);
    Q_UNUSED(widget);
    if (!painter) {
        LOG_ERROR;
        return;
    }
    painter->fillRect(QRectF(QPointF(0, 0), size()), Qt::transparent);
}

} // namespace ORVO

using ORVO::PluginWindowContainer;

PluginWindowList::PluginWindowList()
{
    // Half the spacing at either end and above: each container sits centred
    // in a slot one scene width wide, a little below the view's top edge,
    // whatever the style's layout margins.
    row = new QGraphicsLinearLayout(Qt::Horizontal);
    row->setContentsMargins(Spacing / 2, Spacing / 2, Spacing / 2, 0);
    setLayout(row);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    slide = new QPropertyAnimation(this, "pos", this);
    slide->setObjectName(QStringLiteral("slideAnimation"));
    slide->setDuration(SlideMs);
    slide->setEasingCurve(QEasingCurve::OutExpo);
    hideAnimation = new QPropertyAnimation(this, "pos", this);
    hideAnimation->setObjectName(QStringLiteral("hideAnimation"));
    hideAnimation->setDuration(SlideMs);
    hideAnimation->setEasingCurve(QEasingCurve::OutExpo);
    connect(hideAnimation, &QPropertyAnimation::finished, this,
            &PluginWindowList::hideAnimationCompleted);
}

int PluginWindowList::indexOf(const PluginWindowContainer* container) const
{
    if (!container)
        return -1;
    for (int i = 0; i < containers.size(); ++i) {
        if (containers.at(i) == container)
            return i;
    }
    return -1;
}

void PluginWindowList::prune()
{
    containers.removeAll(QPointer<PluginWindowContainer>());
}

void PluginWindowList::addPluginWindow(PluginWindowContainer* container)
{
    if (!container)
        return;
    prune();
    containers.append(container);
    row->addItem(container);
    if (scene())
        adjustGeometry(scene()->sceneRect());
}

void PluginWindowList::removePluginWindow(PluginWindowContainer* container)
{
    prune();
    const int index = indexOf(container);
    if (index < 0)
        return;
    containers.removeAt(index);
    row->removeItem(container);
    container->deleteLater();
    if (scene())
        adjustGeometry(scene()->sceneRect());
}

void PluginWindowList::clear()
{
    for (const QPointer<PluginWindowContainer>& c : qAsConst(containers)) {
        if (c) {
            row->removeItem(c);
            c->deleteLater();
        }
    }
    containers.clear();
    current = nullptr;
}

QList<PluginWindowContainer*> PluginWindowList::windows() const
{
    QList<PluginWindowContainer*> list;
    for (const QPointer<PluginWindowContainer>& c : containers) {
        if (c)
            list.append(c.data());
    }
    return list;
}

void PluginWindowList::adjustGeometry(QRectF sceneRect)
{
    prune();
    spacing = Spacing;
    itemWidth = static_cast<float>(sceneRect.width()) - Spacing;
    row->setSpacing(Spacing);
    resize(containers.size() * sceneRect.width(), sceneRect.height() + 10.0);
    // Kept at exactly the item width, so that the slots stay one scene width
    // apart and a slide lands on a container.
    for (const QPointer<PluginWindowContainer>& c : qAsConst(containers)) {
        if (c) {
            c->setPreferredWidth(itemWidth);
            c->setMaximumWidth(itemWidth);
        }
    }
    row->activate();
    // A list that slid away, or is sliding away, stays out of sight until
    // it is shown again.
    if (isVisible() && hideAnimation->state() != QAbstractAnimation::Running)
        showPluginWindow(current.data());
}

ORVO::PluginWindowPage* PluginWindowList::currentPage() const
{
    if (!current || !current->window())
        return nullptr;
    return current->window()->currentPage();
}

void PluginWindowList::showPluginWindow(PluginWindowContainer* container)
{
    if (!scene())
        return;
    if (!osd)
        osd = new OSDInfo(scene(), OsdZ);
    prune();

    if (current && current->window() && current != container)
        current->window()->activate(false);

    int index = indexOf(container);
    if (index >= 0) {
        current = container;
    } else if (current) {
        index = indexOf(current.data());
        if (index < 0) {
            // Removed from the list: nothing to slide to.
            current = nullptr;
            return;
        }
    } else if (containers.isEmpty()) {
        index = -1;
    } else {
        current = containers.first();
        index = 0;
    }

    if (current && current->window()) {
        ORVO::PluginWindow* window = current->window();
        window->activate(true);
        window->setEnabled(true);
        if (ORVO::PluginWindowPage* page = window->currentPage())
            page->setFocus(Qt::OtherFocusReason);
        if (!window->description().isEmpty())
            osd->show(window->description());
    }

    hideAnimation->stop();
    slide->stop();
    const float x = -(spacing + itemWidth) * static_cast<float>(index);
    slide->setStartValue(pos());
    slide->setEndValue(QPointF(x, 0));
    slide->start();
}

void PluginWindowList::hide(HideDirection direction)
{
    slide->stop();
    if (hideAnimation->state() == QAbstractAnimation::Running)
        return;
    if (!scene()) {
        setVisible(false);
        return;
    }
    const QRectF rect = scene()->sceneRect();
    const QPointF from = pos();
    const QPointF to =
        direction == HideUp ? QPointF(from.x(), -rect.height()) : QPointF(-rect.width(), from.y());
    hideAnimation->setStartValue(from);
    hideAnimation->setEndValue(to);
    hideAnimation->start();
}

void PluginWindowList::hideAnimationCompleted()
{
    setVisible(false);
}

PluginWindowContainer* PluginWindowList::nextWindow() const
{
    const QList<PluginWindowContainer*> live = windows();
    const int n = live.size();
    const int i = live.indexOf(current.data());
    if (n == 0 || i < 0)
        return nullptr;
    return live.at((i + 1) % n);
}

PluginWindowContainer* PluginWindowList::prevWindow() const
{
    const QList<PluginWindowContainer*> live = windows();
    const int n = live.size();
    const int i = live.indexOf(current.data());
    if (n == 0 || i < 0)
        return nullptr;
    return live.at((i + n - 1) % n);
}

void PluginWindowList::setEnabled(bool enabled)
{
    for (const QPointer<PluginWindowContainer>& c : qAsConst(containers)) {
        if (c)
            c->setEnabled(enabled);
    }
}

void PluginWindowList::paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
                             QWidget* widget)
{
    Q_UNUSED(option);
    Q_UNUSED(widget);
    if (!painter)
        return;
    painter->fillRect(QRectF(QPointF(0, 0), size()), Qt::transparent);
}
