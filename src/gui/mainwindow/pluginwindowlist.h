#pragma once

#include <QGraphicsWidget>
#include <QList>
#include <QPointer>
#include <QRectF>

#include "gui/mainwindow/pluginwindow.h"

class OSDInfo;
class QGraphicsLinearLayout;
class QPainter;
class QPropertyAnimation;
class QStyleOptionGraphicsItem;

namespace ORVO {

// A transparent holder that centres one plugin window. The window becomes
// its child item, so deleting the container deletes the window; the plugin
// that made the window holds it through a guarded pointer, and so does the
// container, since a plugin may delete its window first.
class PluginWindowContainer : public QGraphicsWidget
{
    Q_OBJECT
public:
    PluginWindowContainer();

    void setWindow(ORVO::PluginWindow* window);
    ORVO::PluginWindow* window() const { return win.data(); }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QGraphicsLinearLayout* column = nullptr;
    QPointer<ORVO::PluginWindow> win;
};

} // namespace ORVO

// A horizontal row of containers, each 20 narrower than the scene and 20
// apart, that slides so that one container fills the view, and can slide
// away upwards or to the left. The owner connects the scene's
// sceneRectChanged(QRectF) to adjustGeometry(QRectF).
class PluginWindowList : public QGraphicsWidget
{
    Q_OBJECT
public:
    enum HideDirection { HideUp = 0, HideLeft = 1 };

    PluginWindowList();

    void addPluginWindow(ORVO::PluginWindowContainer* container);
    // Schedules the container's deletion; the current one stays current
    // until the next showPluginWindow sees it gone.
    void removePluginWindow(ORVO::PluginWindowContainer* container);
    // Schedules every container's deletion; nothing slides.
    void clear();
    // Slides to the container; null means the current one, else the first.
    void showPluginWindow(ORVO::PluginWindowContainer* container);
    void hide(HideDirection direction);

    ORVO::PluginWindowContainer* currentWindow() const { return current.data(); }
    // The page of the current tab of the current window, if any.
    ORVO::PluginWindowPage* currentPage() const;
    ORVO::PluginWindowContainer* nextWindow() const;
    ORVO::PluginWindowContainer* prevWindow() const;
    QList<ORVO::PluginWindowContainer*> windows() const;
    OSDInfo* osdInfo() const { return osd; }

    // Every container's enabled state; the list's own is left alone. Hides
    // QGraphicsItem::setEnabled for calls through a PluginWindowList pointer.
    void setEnabled(bool enabled);

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

public slots:
    void adjustGeometry(QRectF sceneRect);
    void hideAnimationCompleted();

private:
    int indexOf(const ORVO::PluginWindowContainer* container) const;
    // Drops containers deleted elsewhere; their layout slots went with them.
    void prune();

    QList<QPointer<ORVO::PluginWindowContainer>> containers;
    // Guarded: a container may be deleted by someone else.
    QPointer<ORVO::PluginWindowContainer> current;
    OSDInfo* osd = nullptr;
    QGraphicsLinearLayout* row = nullptr;
    float spacing = 0.0f;
    float itemWidth = 0.0f;
    QPropertyAnimation* slide = nullptr;
    QPropertyAnimation* hideAnimation = nullptr;
};
