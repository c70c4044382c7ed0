#include "components/ToggleSwitch.h"

#include "components/Palette.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace tolvo {

namespace {
constexpr int textSpacing = 8;
} // namespace

ToggleSwitch::ToggleSwitch(QWidget *parent)
    : ToggleSwitch(QString(), parent)
{
}

ToggleSwitch::ToggleSwitch(const QString &text, QWidget *parent)
    : QAbstractButton(parent)
    , m_tint(palette::accentBlue())
    , m_textColor(Qt::white)
{
    setCheckable(true);
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ToggleSwitch::setTint(const QColor &tint)
{
    m_tint = tint;
    update();
}

void ToggleSwitch::setSwitchSize(Size size)
{
    m_size = size;
    updateGeometry();
    update();
}

void ToggleSwitch::setTextColor(const QColor &color)
{
    m_textColor = color;
    update();
}

QSize ToggleSwitch::trackSize() const
{
    return m_size == Size::regular ? QSize(38, 22) : QSize(26, 15);
}

QRect ToggleSwitch::trackRect() const
{
    const QSize track = trackSize();
    // The label leads, the switch follows it.
    const int x = text().isEmpty() ? 0 : textWidth() + textSpacing;
    return QRect(
        QPoint(qMin(x, qMax(0, width() - track.width())), (height() - track.height()) / 2), track);
}

QRect ToggleSwitch::knobRect() const
{
    const QRect track = trackRect();
    const int inset = m_size == Size::regular ? 2 : 1;
    const int side = track.height() - 2 * inset;
    const bool atEnd = isChecked() != (layoutDirection() == Qt::RightToLeft);
    const int x = atEnd ? track.right() - inset - side + 1 : track.left() + inset;
    return QRect(x, track.top() + inset, side, side);
}

int ToggleSwitch::textWidth() const
{
    // Rounded up, so that the text drawn in that room is never elided by a fraction.
    return qCeil(QFontMetricsF(font()).horizontalAdvance(text())) + 1;
}

QSize ToggleSwitch::sizeHint() const
{
    const QSize track = trackSize();
    if (text().isEmpty())
        return track;
    return QSize(
        track.width() + textSpacing + textWidth(), qMax(track.height(), fontMetrics().height()));
}

bool ToggleSwitch::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void ToggleSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track(trackRect());
    QColor trackColor = isChecked() ? m_tint : QColor(0x78, 0x78, 0x80, 0x66);
    if (!isEnabled())
        trackColor.setAlphaF(trackColor.alphaF() * 0.5);
    QPainterPath trackPath;
    trackPath.addRoundedRect(track, track.height() / 2, track.height() / 2);
    painter.fillPath(trackPath, trackColor);
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.setBrush(isDown() ? QColor(0xEE, 0xEE, 0xEE) : QColor(Qt::white));
    painter.drawEllipse(QRectF(knobRect()));
    if (hasFocus() && focusPolicy() != Qt::NoFocus) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette::accentBlue(), 1.5));
        painter.drawPath(trackPath);
    }
    if (!text().isEmpty()) {
        painter.setPen(m_textColor);
        painter.setFont(font());
        const QRect textRect(0, 0, qMax(0, int(track.left()) - textSpacing), height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
            fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width()));
    }
}

} // namespace tolvo
