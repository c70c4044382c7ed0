#include "reserve/MenuScroller.h"

#include "reserve/MenuTiming.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionSlider>

namespace tolvo {

MenuScroller::MenuScroller(Type type, QWidget *parent)
    : QScrollBar(type == Type::vertical ? Qt::Vertical : Qt::Horizontal, parent)
    , m_type(type)
    , m_animation(this, "displayedOpacity")
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    m_fadeTimer.setSingleShot(true);
    connect(&m_fadeTimer, &QTimer::timeout, this, &MenuScroller::fadeOut);
    connect(this, &QScrollBar::valueChanged, this, [this] {
        setAlpha(true, 1.0, 0.1);
        m_fadeTimer.start(menuTiming::milliseconds(1.0));
    });
}

QSize MenuScroller::sizeHint() const
{
    return m_type == Type::vertical ? QSize(thickness, 2 * thickness)
                                    : QSize(2 * thickness, thickness);
}

void MenuScroller::setDisplayedOpacity(qreal opacity)
{
    m_opacity = opacity;
    update();
}

void MenuScroller::setAlpha(bool animated, qreal alpha, double seconds)
{
    if (qFuzzyCompare(m_alpha, alpha))
        return;
    m_alpha = alpha;
    m_animation.stop();
    if (!animated) {
        setDisplayedOpacity(alpha);
        return;
    }
    menuTiming::animateTo(&m_animation, m_opacity, alpha, seconds, menuTiming::defaultCurve());
}

void MenuScroller::fadeOut()
{
    setAlpha(true, restingAlpha, 0.25);
}

void MenuScroller::enterEvent(QEnterEvent *event)
{
    QScrollBar::enterEvent(event);
    setAlpha(true, 1.0, 0.1);
    m_fadeTimer.stop();
}

void MenuScroller::leaveEvent(QEvent *event)
{
    QScrollBar::leaveEvent(event);
    setAlpha(true, restingAlpha, 0.25);
}

void MenuScroller::mouseMoveEvent(QMouseEvent *event)
{
    QScrollBar::mouseMoveEvent(event);
    setAlpha(false, 1.0, 0);
}

QRect MenuScroller::partRect(QStyle::SubControl part) const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_ScrollBar, &option, part, this);
}

QRectF MenuScroller::knobRect() const
{
    const QRectF knob = partRect(QStyle::SC_ScrollBarSlider);
    return m_type == Type::vertical ? knob.adjusted(5, 0, -5, 0) : knob.adjusted(0, 3, 0, -3);
}

QRectF MenuScroller::slotRect() const
{
    return QRectF(partRect(QStyle::SC_ScrollBarGroove)).adjusted(3, 0, -3, 0);
}

void MenuScroller::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_opacity);
    // The knob first and the slot over it, as the overlay look has it.
    QPainterPath knob;
    knob.addRoundedRect(knobRect(), 3, 3);
    painter.fillPath(knob, Qt::white);
    QPainterPath slot;
    slot.addRoundedRect(slotRect(), 5, 5);
    painter.fillPath(slot, QColor(255, 255, 255, qRound(0.15 * 255)));
}

} // namespace tolvo
