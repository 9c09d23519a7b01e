#pragma once

#include <QTableWidget>

class QPixmap;
class QResizeEvent;

// A table widget with rounded corners: its shape is clipped by a mask
// worked out again at each resize.
class TableWidget : public QTableWidget
{
    Q_OBJECT
public:
    explicit TableWidget(QWidget* parent);
    ~TableWidget() override;
    TableWidget(const TableWidget&) = delete;
    TableWidget& operator=(const TableWidget&) = delete;

    // The pixmap the latest mask was drawn on; null before the first resize.
    const QPixmap* getMaskPixmap() const { return maskPixmap; }

private slots:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPixmap* maskPixmap = nullptr;
};
