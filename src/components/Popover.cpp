#include "components/Popover.h"

#include "components/Appearance.h"
#include "components/Palette.h"
#include "components/WindowSystem.h"

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
    , m_translucent(windowsystem::showsTranslucency())
{
    if (m_translucent)
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
    updateMask();
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

QRect Popover::placement(const QRect &anchor, QSize size, const QRect &area, bool *flipped,
    Side side, Qt::LayoutDirection direction)
{
    QRect rect(QPoint(0, 0), size);
    bool other = false;
    if (side == Side::below) {
        rect.moveTop(anchor.bottom() + 1 + gap);
        rect.moveLeft(anchor.center().x() - size.width() / 2);
        if (rect.bottom() > area.bottom() && anchor.top() - gap - size.height() >= area.top()) {
            rect.moveBottom(anchor.top() - 1 - gap);
            other = true;
        }
    } else {
        const bool wantsLeft = (side == Side::leading) == (direction == Qt::LeftToRight);
        const int roomLeft = anchor.left() - gap - area.left();
        const int roomRight = area.right() - anchor.right() - gap;
        bool left = wantsLeft;
        if ((left ? roomLeft : roomRight) < size.width()) {
            const int otherRoom = left ? roomRight : roomLeft;
            // Neither side has the room: the roomier one, overlapping the anchor least.
            if (otherRoom >= size.width() || otherRoom > (left ? roomLeft : roomRight))
                left = !left;
        }
        other = left != wantsLeft;
        if (left)
            rect.moveRight(anchor.left() - 1 - gap);
        else
            rect.moveLeft(anchor.right() + 1 + gap);
        rect.moveTop(anchor.center().y() - size.height() / 2);
    }
    if (rect.right() > area.right())
        rect.moveRight(area.right());
    if (rect.left() < area.left())
        rect.moveLeft(area.left());
    if (rect.bottom() > area.bottom())
        rect.moveBottom(area.bottom());
    if (rect.top() < area.top())
        rect.moveTop(area.top());
    if (flipped)
        *flipped = other;
    return rect;
}

void Popover::showFor(QWidget *anchor, Side side)
{
    m_anchor = anchor;
    adjustSize();
    // Beside a block taller than its scrolled view, the popover goes by the part that shows.
    QRect shown = anchor->visibleRegion().boundingRect();
    if (shown.isEmpty())
        shown = anchor->rect();
    const QRect anchorRect(anchor->mapToGlobal(shown.topLeft()), shown.size());
    QScreen *screen = anchor->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect(anchorRect.topLeft(), size());
    setGeometry(placement(anchorRect, size(), area, &m_flipped, side, anchor->layoutDirection()));
    show();
}

void Popover::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_translucent) {
        painter.fillPath(backgroundShape(), m_background);
        return;
    }
    // Opaque: every pixel is painted (the mask cuts the corners), and with no shadow from a
    // compositor a hairline keeps the card apart from a background of its own colour.
    painter.fillRect(rect(), m_background);
    QColor edge = m_background.lightnessF() > 0.5 ? QColor(0, 0, 0, 60) : QColor(255, 255, 255, 60);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(
        QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_cornerRadius, m_cornerRadius);
}

void Popover::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateMask();
}

void Popover::updateMask()
{
    if (m_translucent)
        return;
    setMask(QRegion(backgroundShape().toFillPolygon().toPolygon()));
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
