#include "gui/widgets/combobox.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QMetaObject>
#include <QResizeEvent>
#include <QSizePolicy>

void Ui_ComboBox::setupUi(QWidget* widget)
{
    if (widget->objectName().isEmpty())
        widget->setObjectName(QStringLiteral("widget"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(0);
    policy.setHeightForWidth(widget->sizePolicy().hasHeightForWidth());
    widget->setSizePolicy(policy);
    widget->setMinimumSize(400, 24);
    label = new QLabel(widget);
    label->setObjectName(QStringLiteral("label"));
    comboBox = new QComboBox(widget);
    comboBox->setObjectName(QStringLiteral("comboBox"));
    QMetaObject::connectSlotsByName(widget);
}

ComboBox::ComboBox(QWidget* parent) : QWidget(parent), ui(new Ui_ComboBox)
{
    ui->setupUi(this);
    ui->label->setObjectName(QStringLiteral("labelRoundedLeftSm"));
    ui->comboBox->setObjectName(QStringLiteral("comboBoxWithLabelSm"));
    ui->label->setFocusPolicy(Qt::NoFocus);
    ui->label->setBuddy(ui->comboBox);
    connect(ui->comboBox, QOverload<int>::of(&QComboBox::activated), this,
            QOverload<int>::of(&ComboBox::activated));
    connect(ui->comboBox, &QComboBox::textActivated, this,
            QOverload<QString>::of(&ComboBox::activated));
    ui->comboBox->installEventFilter(this);
}

ComboBox::~ComboBox()
{
    // The halves outlive this part of the object: nothing of theirs may
    // reach the relays while the widget goes.
    ui->comboBox->removeEventFilter(this);
    ui->comboBox->disconnect(this);
    delete ui;
}

void ComboBox::setEnabled(bool enabled)
{
    ui->label->setEnabled(enabled);
    ui->comboBox->setEnabled(enabled);
}

void ComboBox::setDisabled(bool disabled)
{
    ui->label->setDisabled(disabled);
    ui->comboBox->setDisabled(disabled);
}

void ComboBox::setLabelText(const QString& text)
{
    ui->label->setText(text);
}

void ComboBox::setLabelWidth(int width)
{
    ui->label->setFixedWidth(width);
}

void ComboBox::setComboWidth(int width)
{
    ui->comboBox->setFixedWidth(width);
}

void ComboBox::setHeight(int height)
{
    ui->label->setFixedHeight(height);
    ui->comboBox->setFixedHeight(height);
    setFixedHeight(height);
}

QLabel* ComboBox::label() const
{
    return ui->label;
}

QComboBox* ComboBox::comboBox() const
{
    return ui->comboBox;
}

bool ComboBox::eventFilter(QObject* watched, QEvent* event)
{
    // Seen, never consumed: the combo box handles its mouse as usual.
    if (event->type() == QEvent::MouseButtonRelease)
        emit clicked();
    return QObject::eventFilter(watched, event);
}

void ComboBox::resizeEvent(QResizeEvent* event)
{
    // No layout: the combo box sits right of the label's current width.
    ui->comboBox->move(ui->label->width(), 0);
    QWidget::resizeEvent(event);
}
