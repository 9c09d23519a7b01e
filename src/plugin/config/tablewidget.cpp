#include "plugin/config/tablewidget.h"

#include <QBitmap>
#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QRect>
#include <QRectF>
#include <QResizeEvent>

namespace {

// Drawn where the mask is to be transparent; nothing else uses it.
const QColor KeyColour(100, 100, 100, 255);

} // namespace

TableWidget::TableWidget(QWidget* parent) : QTableWidget(parent) {}

TableWidget::~TableWidget()
{
    delete maskPixmap;
}

void TableWidget::resizeEvent(QResizeEvent* event)
{
    // The viewport's resizes come here too, with its smaller size: the
    // mask is always the whole widget's.
    const int w = width();
    const int h = height();

    delete maskPixmap;
    maskPixmap = new QPixmap(w > 0 ? w : 0, h > 0 ? h : 0);
    if (maskPixmap->isNull()) {
        // Nothing to paint on, and nothing to hide.
        clearMask();
        QTableWidget::resizeEvent(event);
        return;
    }
    // A fresh pixmap holds anything, the key colour included: what no
    // step below paints must come out opaque.
    maskPixmap->fill(Qt::white);

    {
        QPainter painter(maskPixmap);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
        QPen pen(KeyColour);
        pen.setWidth(0);
        pen.setCosmetic(true);
        painter.setPen(pen);
        for (int i = 10; i >= 1; --i) {
            painter.drawRect(QRect(QPoint(-1, h - 10), QPoint(i - 3, h - 1)));
            painter.drawRect(QRect(QPoint(w - 10, h - 10), QPoint(w + i - 12, h - 1)));
        }
        painter.drawRoundedRect(QRectF(-1.0, -1.0, w + 1, h + 1), 15.0, 16.0, Qt::AbsoluteSize);
    }
    setMask(maskPixmap->createMaskFromColor(KeyColour, Qt::MaskInColor));

    QTableWidget::resizeEvent(event);
}
