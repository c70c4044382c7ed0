#include "components/Popover.h"

#include "components/Appearance.h"
#include "components/Palette.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

namespace tolvo {

Popover::Popover(QWidget *content, QWidget *parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
    , m_content(content)
    , m_background(DynamicColor {Qt::white, palette::backgroundDark()}.resolve())
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(
        cornerRadius / 2, cornerRadius / 2, cornerRadius / 2, cornerRadius / 2);
    if (content)
        layout->addWidget(content);
}

void Popover::setContent(QWidget *content)
{
    if (!content || content == m_content)
        return;
    if (m_content) {
        layout()->removeWidget(m_content);
        m_content->hide();
        m_content->setParent(nullptr);
    }
    m_content = content;
    layout()->addWidget(content);
    content->show();
}

void Popover::setCornerRadius(qreal radius)
{
    m_cornerRadius = radius;
    update();
}

void Popover::setContentMargins(const QMargins &margins)
{
    layout()->setContentsMargins(margins);
}

QPainterPath Popover::backgroundShape() const
{
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
    return card;
}

void Popover::setBackground(const QColor &color)
{
    m_background = color;
    update();
}

QRect Popover::placement(const QRect &anchor, QSize size, const QRect &area, bool *flipped)
{
    QRect rect(QPoint(0, 0), size);
    rect.moveTop(anchor.bottom() + 1 + gap);
    rect.moveLeft(anchor.center().x() - size.width() / 2);
    bool above = false;
    if (rect.bottom() > area.bottom() && anchor.top() - gap - size.height() >= area.top()) {
        rect.moveBottom(anchor.top() - 1 - gap);
        above = true;
    }
    if (rect.right() > area.right())
        rect.moveRight(area.right());
    if (rect.left() < area.left())
        rect.moveLeft(area.left());
    if (flipped)
        *flipped = above;
    return rect;
}

void Popover::showFor(QWidget *anchor)
{
    m_anchor = anchor;
    adjustSize();
    const QRect anchorRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    QScreen *screen = anchor->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect(anchorRect.topLeft(), size());
    setGeometry(placement(anchorRect, size(), area, &m_flipped));
    show();
}

void Popover::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(backgroundShape(), m_background);
}

void Popover::mousePressEvent(QMouseEvent *event)
{
    if (!rect().contains(event->position().toPoint()) && m_anchor) {
        const QRect anchorRect(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size());
        // A press elsewhere goes on to what is under it once the popover closes; one on the
        // anchor must not, or the anchor would open the popover again at once.
        setAttribute(Qt::WA_NoMouseReplay, anchorRect.contains(event->globalPosition().toPoint()));
    }
    QWidget::mousePressEvent(event);
}

void Popover::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit closed();
}

} // namespace tolvo
