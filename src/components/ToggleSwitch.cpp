#include "components/ToggleSwitch.h"

#include "components/Palette.h"

#include <QPainter>

namespace tolvo {

ToggleSwitch::ToggleSwitch(QWidget *parent)
    : QAbstractButton(parent)
    , m_tint(palette::accentBlue())
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ToggleSwitch::setTint(const QColor &tint)
{
    m_tint = tint;
    update();
}

void ToggleSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = track.height() / 2;
    QColor fill = isChecked() ? m_tint : QColor(0x78, 0x78, 0x80, 0x52);
    if (!isEnabled())
        fill.setAlphaF(fill.alphaF() * 0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, radius, radius);

    const qreal knob = track.height() - 2;
    const bool atEnd = isChecked() != (layoutDirection() == Qt::RightToLeft);
    const qreal x = atEnd ? track.right() - 1 - knob : track.left() + 1;
    painter.setBrush(Qt::white);
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.drawEllipse(QRectF(x, track.top() + 1, knob, knob));
}

} // namespace tolvo
