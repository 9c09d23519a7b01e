#include "plugin/login/tabwidget.h"

#include <QTabBar>

TabWidget::TabWidget(QWidget* parent) : QTabWidget(parent)
{
    const QList<QTabBar*> bars = findChildren<QTabBar*>();
    for (QTabBar* bar : bars)
        bar->setCursor(Qt::PointingHandCursor);
}
