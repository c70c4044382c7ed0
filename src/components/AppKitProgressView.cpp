#include "components/AppKitProgressView.h"

#include "components/Appearance.h"
#include "components/Palette.h"

#include <QPainter>

namespace tolvo {

namespace {
constexpr int spokes = 12;
}

AppKitProgressView::AppKitProgressView(QWidget *parent)
    : QWidget(parent)
    , m_color(DynamicColor {palette::textDark(), Qt::white}.resolve())
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_timer.setInterval(80);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % spokes;
        update();
    });
}

void AppKitProgressView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height());
    const qreal outer = side / 2.0;
    const qreal inner = outer * 0.45;
    const qreal thickness = qMax(1.5, side / 12.0);
    painter.translate(width() / 2.0, height() / 2.0);
    QPen pen(m_color, thickness, Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < spokes; ++i) {
        // The leading spoke is opaque; those behind it fade towards a quarter.
        const int age = (m_frame - i + spokes) % spokes;
        QColor color = m_color;
        color.setAlphaF(m_color.alphaF() * (1.0 - 0.75 * age / (spokes - 1)));
        pen.setColor(color);
        painter.setPen(pen);
        painter.save();
        painter.rotate(i * 360.0 / spokes);
        painter.drawLine(QPointF(0, -inner), QPointF(0, -(outer - thickness / 2)));
        painter.restore();
    }
}

void AppKitProgressView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_timer.start();
}

void AppKitProgressView::hideEvent(QHideEvent *event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}

} // namespace tolvo
