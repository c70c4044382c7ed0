#include "reserve/CheckmarkView.h"

#include "reserve/MenuTiming.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <utility>

namespace tolvo {

CheckmarkView::CheckmarkView(MenuStyle style, QWidget *parent)
    : QWidget(parent)
    , m_style(std::move(style))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_strokeEnd = value.toReal();
        update();
    });
    connect(&m_animation, &QVariantAnimation::finished, this, [this] {
        if (const std::function<void()> completion = std::exchange(m_completion, {}))
            completion();
    });
}

QSize CheckmarkView::sizeHint() const
{
    const int side = int(m_style->checkmarkSize());
    return {side, side};
}

void CheckmarkView::showCheckmark(double seconds, std::function<void()> completion)
{
    m_animation.stop();
    if (seconds <= 0) {
        m_completion = {};
        m_strokeEnd = 1;
        update();
        if (completion)
            completion();
        return;
    }
    m_completion = std::move(completion);
    menuTiming::animateTo(&m_animation, 0.0, 1.0, seconds, menuTiming::easeInEaseOut());
}

QPainterPath CheckmarkView::checkmarkPath(QSizeF size)
{
    const qreal u = size.width() / 100;
    const qreal cx = size.width() * 0.5;
    const qreal cy = size.height() * 0.5;
    const QRectF ring(cx - cx, cy - cx, 2 * cx, 2 * cx);
    QPainterPath path;
    path.arcMoveTo(ring, 180);
    path.arcTo(ring, 180, -720); // clockwise on screen, twice round
    path.moveTo(cx - 23 * u, cy - u);
    path.lineTo(cx - 6 * u, cy + 15.9 * u);
    path.lineTo(cx + 22.8 * u, cy - 13.4 * u);
    return path;
}

void CheckmarkView::paintEvent(QPaintEvent *)
{
    if (m_strokeEnd <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(m_style->checkmarkColor(), m_style->checkmarkLineWidth());
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    // Draw the path up to its stroke end, one flattened piece after another.
    const QList<QPolygonF> pieces = checkmarkPath(QSizeF(size())).toSubpathPolygons();
    qreal total = 0;
    for (const QPolygonF &piece : pieces)
        for (qsizetype i = 1; i < piece.size(); ++i)
            total += QLineF(piece[i - 1], piece[i]).length();
    qreal left = total * std::min<qreal>(m_strokeEnd, 1);
    for (const QPolygonF &piece : pieces) {
        QPolygonF drawn;
        for (qsizetype i = 0; i < piece.size() && left > 0; ++i) {
            if (i == 0) {
                drawn << piece[0];
                continue;
            }
            const QLineF segment(piece[i - 1], piece[i]);
            if (segment.length() <= left) {
                drawn << piece[i];
                left -= segment.length();
            } else {
                drawn << segment.pointAt(left / segment.length());
                left = 0;
            }
        }
        if (drawn.size() > 1)
            painter.drawPolyline(drawn);
        if (left <= 0)
            break;
    }
}

} // namespace tolvo
