#include "gui/widgets/lineedit.h"

#include <QCursor>
#include <QEvent>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QSizePolicy>
#include <QSpacerItem>

#include "gui/widgets/clickablelabel.h"

void Ui_LineEdit::setupUi(QWidget* widget)
{
    if (widget->objectName().isEmpty())
        widget->setObjectName(QStringLiteral("LineEdit"));
    QSizePolicy policy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    policy.setHeightForWidth(widget->sizePolicy().hasHeightForWidth());
    widget->setSizePolicy(policy);
    widget->setMaximumSize(400, 35);

    horizontalLayout = new QHBoxLayout(widget);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);

    label = new ClickableLabel(widget);
    label->setObjectName(QStringLiteral("label"));
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    horizontalLayout->addWidget(label);

    lineEdit = new QLineEdit(widget);
    lineEdit->setObjectName(QStringLiteral("lineEdit"));
    lineEdit->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    horizontalLayout->addWidget(lineEdit);

    // Keeps label and line edit packed at the left.
    spacer = new QSpacerItem(16777215, 0, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout->addItem(spacer);

    QMetaObject::connectSlotsByName(widget);
}

LineEdit::LineEdit(QWidget* parent) : QWidget(parent), ui(new Ui_LineEdit)
{
    ui->setupUi(this);
    connect(ui->lineEdit, &QLineEdit::textChanged, this, &LineEdit::textChanged);
    connect(ui->lineEdit, &QLineEdit::editingFinished, this, &LineEdit::editingFinished);
    ui->label->setObjectName(QStringLiteral("lineEditLabelSm"));
    ui->label->setFocusPolicy(Qt::NoFocus);
    ui->label->setBuddy(ui->lineEdit);
    connect(ui->label, &ClickableLabel::clicked, this, &LineEdit::clicked);
    ui->lineEdit->setObjectName(QStringLiteral("lineEditSm"));
    ui->lineEdit->installEventFilter(this);
}

LineEdit::~LineEdit()
{
    // The halves outlive this part of the object: a focus leaving the line
    // edit while the widget goes must not reach the relays.
    ui->lineEdit->removeEventFilter(this);
    ui->lineEdit->disconnect(this);
    ui->label->disconnect(this);
    delete ui;
}

void LineEdit::setEnabled(bool enabled)
{
    ui->label->setEnabled(enabled);
    ui->lineEdit->setEnabled(enabled);
}

void LineEdit::setDisabled(bool disabled)
{
    ui->label->setDisabled(disabled);
    ui->lineEdit->setDisabled(disabled);
}

void LineEdit::setText(const QString& text)
{
    ui->lineEdit->setText(text);
}

QString LineEdit::text() const
{
    return ui->lineEdit->text();
}

void LineEdit::setLabelText(const QString& text)
{
    ui->label->setText(text);
}

void LineEdit::setToolTip(const QString& tip)
{
    ui->lineEdit->setToolTip(tip);
}

void LineEdit::setValidator(const QValidator* validator)
{
    ui->lineEdit->setValidator(validator);
}

void LineEdit::setEchoMode(QLineEdit::EchoMode mode)
{
    ui->lineEdit->setEchoMode(mode);
}

void LineEdit::setLabelWidth(int width)
{
    ui->label->setFixedWidth(width);
}

void LineEdit::setLineWidth(int width)
{
    ui->lineEdit->setFixedWidth(width);
}

void LineEdit::setHeight(int height)
{
    ui->label->setFixedHeight(height);
    ui->lineEdit->setFixedHeight(height);
}

void LineEdit::setReadOnly(bool readOnly)
{
    ui->lineEdit->setReadOnly(readOnly);
}

void LineEdit::setCursor(const QCursor& cursor)
{
    ui->lineEdit->setCursor(cursor);
    ui->label->setCursor(cursor);
}

void LineEdit::installEventFilter(QObject* filter)
{
    ui->lineEdit->installEventFilter(filter);
}

ClickableLabel* LineEdit::label() const
{
    return ui->label;
}

QLineEdit* LineEdit::lineEdit() const
{
    return ui->lineEdit;
}

bool LineEdit::eventFilter(QObject* watched, QEvent* event)
{
    // Seen, never consumed.
    if (event->type() == QEvent::MouseButtonRelease)
        emit clicked();
    return QObject::eventFilter(watched, event);
}
