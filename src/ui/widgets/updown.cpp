#include "ui/widgets/updown.h"

#include <QKeyEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QToolButton>

#include <algorithm>

UpDown::UpDown(QWidget *parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this))
{
    setFocusPolicy(Qt::StrongFocus);
    for (QToolButton *button : {m_up, m_down}) {
        // The widget takes the focus, not its buttons: tab order and arrow keys stay on one stop.
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
        button->setAutoRepeatDelay(400);
        button->setAutoRepeatInterval(80);
    }
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    connect(m_up, &QToolButton::clicked, this, &UpDown::stepUp);
    connect(m_down, &QToolButton::clicked, this, &UpDown::stepDown);
    updateArrows();
}

void UpDown::setMinimum(int minimum)
{
    m_minimum = minimum;
    setValue(m_value);
}

void UpDown::setMaximum(int maximum)
{
    m_maximum = maximum;
    setValue(m_value);
}

void UpDown::setSingleStep(int step)
{
    m_step = step;
}

void UpDown::setOrientation(Qt::Orientation orientation)
{
    m_orientation = orientation;
    updateArrows();
    placeButtons();
}

void UpDown::setValue(int value)
{
    const int clamped =
        std::clamp(value, std::min(m_minimum, m_maximum), std::max(m_minimum, m_maximum));
    if (clamped == m_value)
        return;
    m_value = clamped;
    emit changed(m_value);
}

void UpDown::stepUp()
{
    stepBy(+1);
}

void UpDown::stepDown()
{
    stepBy(-1);
}

void UpDown::stepBy(int direction)
{
    emit aboutToStep();
    // Towards maximum for +1, towards minimum for -1, whichever of the two is larger.
    const qint64 sign = m_maximum >= m_minimum ? 1 : -1;
    const qint64 target = qint64(m_value) + sign * direction * qint64(m_step);
    const qint64 low = std::min(m_minimum, m_maximum);
    const qint64 high = std::max(m_minimum, m_maximum);
    setValue(int(std::clamp(target, low, high)));
}

void UpDown::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        stepUp();
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        stepDown();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void UpDown::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeButtons();
}

void UpDown::paintEvent(QPaintEvent *)
{
    if (!hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

void UpDown::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    placeButtons();
    update();
}

void UpDown::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    placeButtons();
    update();
}

void UpDown::placeButtons()
{
    // A one-pixel rim is left free while focused so the focus frame shows around the arrows.
    const QRect area = hasFocus() ? rect().adjusted(1, 1, -1, -1) : rect();
    if (m_orientation == Qt::Vertical) {
        const int half = area.height() / 2;
        m_up->setGeometry(area.x(), area.y(), area.width(), half);
        m_down->setGeometry(area.x(), area.y() + half, area.width(), area.height() - half);
    } else {
        const int half = area.width() / 2;
        m_down->setGeometry(area.x(), area.y(), half, area.height());
        m_up->setGeometry(area.x() + half, area.y(), area.width() - half, area.height());
    }
}

void UpDown::updateArrows()
{
    const bool vertical = m_orientation == Qt::Vertical;
    m_up->setArrowType(vertical ? Qt::UpArrow : Qt::RightArrow);
    m_down->setArrowType(vertical ? Qt::DownArrow : Qt::LeftArrow);
}
