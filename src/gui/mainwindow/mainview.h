#pragma once

#include <QGraphicsView>
#include <QGraphicsWidget>
#include <QString>

class QGraphicsScene;
class QPainter;
class QPropertyAnimation;
class QResizeEvent;
class QStaticText;
class QStyleOptionGraphicsItem;

// A graphics view with a scene of its own (a child of the view) whose
// rectangle follows the view's size.
class MainView : public QGraphicsView
{
    Q_OBJECT
public:
    MainView();

protected:
    void resizeEvent(QResizeEvent* event) override;
};

// A black overlay over the whole scene that fades in behind the window list.
//
// show() and hide() hide QGraphicsItem's members: they fade, and act only
// when called through a BlackCurtain pointer.
class BlackCurtain : public QGraphicsWidget
{
    Q_OBJECT
public:
    // Added to the scene, which owns it.
    BlackCurtain(QGraphicsScene* scene, double z);

    // Fades to 0.9 from where it is.
    void show();
    // Fades to 0.0 from where it is; invisible once there.
    void hide();

private slots:
    void hideAnimationCompleted();

private:
    QPropertyAnimation* fade = nullptr;
};

// A centred text box that fades out over a second, then closes itself.
class OSDInfo : public QGraphicsWidget
{
    Q_OBJECT
public:
    // Added to the scene, which owns it.
    OSDInfo(QGraphicsScene* scene, double z);
    ~OSDInfo() override;
    OSDInfo(const OSDInfo&) = delete;
    OSDInfo& operator=(const OSDInfo&) = delete;

    void show(const QString& text);
    QString text() const;

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QStaticText* staticText = nullptr;
    QPropertyAnimation* fade = nullptr;
};
