#include "gui/mainwindow/mainview.h"

#include <QEasingCurve>
#include <QGraphicsScene>
#include <QPainter>
#include <QPalette>
#include <QPropertyAnimation>
#include <QResizeEvent>
#include <QStaticText>
#include <QTextOption>

#include "common/utils.h"

namespace {

const int FadeMs = 500;
const int OsdFadeMs = 1000;
const qreal Everywhere = 1000000.0;

// The curtain and the on-screen text: a layer over the whole scene, hidden,
// with a fade of its opacity.
QPropertyAnimation* coverScene(QGraphicsWidget* layer, QGraphicsScene* scene, double z,
                               qreal opacity, const QColor& color, int fadeMs,
                               QEasingCurve::Type curve)
{
    layer->setOpacity(opacity);
    layer->setAutoFillBackground(true);
    layer->setPalette(QPalette(color));
    layer->setVisible(false);
    layer->setGeometry(-Everywhere, -Everywhere, 2 * Everywhere, 2 * Everywhere);
    layer->setZValue(z);
    if (scene)
        scene->addItem(layer);
    auto* fade = new QPropertyAnimation(layer, "opacity", layer);
    fade->setObjectName(QStringLiteral("fadeAnimation"));
    fade->setDuration(fadeMs);
    fade->setEasingCurve(curve);
    return fade;
}

} // namespace

MainView::MainView()
{
    // The view owns its scene.
    setScene(new QGraphicsScene(this));
    // Fixed from the start: a scene that measured its items would take in
    // the curtain's reach and grow the window list without end until the
    // view's first resize.
    scene()->setSceneRect(QRectF(QPointF(0, 0), size()));
    setFrameStyle(0);
    setStyleSheet(ORVO::utils::loadStyleSheet(QStringLiteral(":/main.css")));
    setObjectName(QStringLiteral("MainView"));
}

void MainView::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    scene()->setSceneRect(0, 0, event->size().width(), event->size().height());
}

BlackCurtain::BlackCurtain(QGraphicsScene* scene, double z)
{
    fade = coverScene(this, scene, z, 0.0, Qt::black, FadeMs, QEasingCurve::OutExpo);
    connect(fade, &QPropertyAnimation::finished, this, &BlackCurtain::hideAnimationCompleted);
}

void BlackCurtain::show()
{
    fade->stop();
    fade->setStartValue(opacity());
    fade->setEndValue(0.9);
    setVisible(true);
    fade->start();
}

void BlackCurtain::hide()
{
    fade->stop();
    fade->setStartValue(opacity());
    fade->setEndValue(0.0);
    fade->start();
}

void BlackCurtain::hideAnimationCompleted()
{
    // The end of a show() leaves it on screen.
    if (opacity() == 0.0)
        setVisible(false);
}

OSDInfo::OSDInfo(QGraphicsScene* scene, double z)
{
    fade = coverScene(this, scene, z, 1.0, Qt::transparent, OsdFadeMs, QEasingCurve::InExpo);
    connect(fade, &QPropertyAnimation::finished, this, &QGraphicsWidget::close);
    setEnabled(false);
    staticText = new QStaticText();
    QTextOption option;
    option.setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    staticText->setTextOption(option);
    staticText->setTextWidth(400.0);
}

OSDInfo::~OSDInfo()
{
    delete staticText;
}

void OSDInfo::show(const QString& text)
{
    staticText->setText(text);
    fade->stop();
    fade->setStartValue(0.95);
    fade->setEndValue(0.0);
    setVisible(true);
    fade->start();
}

QString OSDInfo::text() const
{
    return staticText->text();
}

void OSDInfo::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    Q_UNUSED(option);
    Q_UNUSED(widget);
    if (!painter || !scene())
        return;
    const QRectF rect = scene()->sceneRect();
    const QPointF centre =
        mapFromScene(QPointF(rect.x() + rect.width() * 0.5, rect.y() + rect.height() * 0.5));
    QFont font = painter->font();
    font.setPixelSize(32);
    painter->setFont(font);
    staticText->prepare(painter->transform(), font);
    const QSizeF size = staticText->size();
    const QPointF origin = centre - QPointF(size.width() * 0.5, size.height() * 0.5);
    painter->setBrush(QBrush(Qt::white, Qt::SolidPattern));
    painter->setPen(QPen(Qt::transparent));
    painter->drawRoundedRect(QRectF(origin - QPointF(20, 20), size + QSizeF(40, 40)), 10, 10,
                             Qt::AbsoluteSize);
    painter->setPen(QPen(Qt::black));
    painter->drawStaticText(origin, *staticText);
}
