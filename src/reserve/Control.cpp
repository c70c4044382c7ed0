#include "reserve/Control.h"

#include "reserve/MenuTiming.h"
#include "reserve/MenuWindow.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tolvo {

Control::Control(const MenuBaseConfiguration &style, QWidget *parent)
    : QWidget(parent)
    , m_hoverColor(style.hoverColor())
    , m_duration(style.hoverAnimationDuration())
{
    connect(&m_fill, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_progress = value.toReal();
        update();
    });
    m_actionTimer.setSingleShot(true);
    connect(&m_actionTimer, &QTimer::timeout, this, [this] {
        if (action)
            action();
    });
}

void Control::setHovered(bool hovered)
{
    if (!isEnabled() || hovered == m_hovered)
        return;
    m_hovered = hovered;
    // A new fill starts from where the running one is, as a replaced animation would.
    menuTiming::animateTo(
        &m_fill, m_progress, hovered ? 1.0 : 0.0, m_duration, menuTiming::easeInEaseOut());
    if (hover)
        hover(hovered);
}

void Control::activate()
{
    if (!isEnabled() || !action)
        return;
    m_fill.stop();
    m_progress = 0;
    m_hovered = false;
    update();
    if (hover)
        hover(false);
    m_actionTimer.start(menuTiming::milliseconds(actionDelay));
}

void Control::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    setHovered(true);
}

void Control::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    setHovered(false);
}

void Control::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void Control::mouseReleaseEvent(QMouseEvent *event)
{
    const bool clicked = m_pressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (clicked)
        activate();
}

void Control::paintEvent(QPaintEvent *)
{
    if (m_progress <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = m_hoverColor;
    fill.setAlphaF(fill.alphaF() * float(std::min<qreal>(m_progress, 1)));
    QPainterPath area;
    area.addRect(QRectF(rect()));
    // Inside the menu's window the fill keeps to its rounded corners.
    if (auto *menu = qobject_cast<MenuWindow *>(window()))
        area = area.intersected(menu->backgroundShape().translated(-mapTo(menu, QPointF())));
    painter.fillPath(area, fill);
}

} // namespace tolvo
