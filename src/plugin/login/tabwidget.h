#pragma once

#include <QTabWidget>

// A tab widget whose tab bars show the pointing hand.
class TabWidget : public QTabWidget
{
    Q_OBJECT
public:
    explicit TabWidget(QWidget* parent);
};
