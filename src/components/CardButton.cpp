#include "components/CardButton.h"

#include "components/Icons.h"
#include "components/Palette.h"

#include <QPainter>
#include <QPainterPath>

namespace tolvo {

CardButton::CardButton(const QString &symbol, QWidget *parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void CardButton::setTextWidth(int width)
{
    m_textWidth = width;
    setSizePolicy(width > 0 ? QSizePolicy::Fixed : QSizePolicy::Expanding, QSizePolicy::Fixed);
    updateGeometry();
    update();
}

QSize CardButton::sizeHint() const
{
    const int textHeight = fontMetrics().height();
    const int width = m_textWidth > 0 ? m_textWidth : fontMetrics().horizontalAdvance(text());
    return QSize(2 * horizontalPadding + width + spacing + iconSide,
        2 * verticalPadding + qMax(textHeight, iconSide));
}

QSize CardButton::minimumSizeHint() const
{
    if (m_textWidth > 0)
        return sizeHint();
    return QSize(2 * horizontalPadding + spacing + iconSide, sizeHint().height());
}

QRect CardButton::textRect() const
{
    const int right = width() - horizontalPadding - iconSide - spacing;
    const int textRight = m_textWidth > 0 ? qMin(right, horizontalPadding + m_textWidth) : right;
    return QRect(horizontalPadding, 0, qMax(0, textRight - horizontalPadding), height());
}

QString CardButton::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, textRect().width());
}

void CardButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(card, isDown() ? palette::backgroundLight() : QColor(Qt::white));
    if (hasFocus()) {
        painter.setPen(QPen(palette::accentBlue(), 1.5));
        painter.drawPath(card);
    }
    painter.setPen(palette::textDark());
    painter.setFont(font());
    painter.drawText(textRect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
    const QRect icon(
        width() - horizontalPadding - iconSide, (height() - iconSide) / 2, iconSide, iconSide);
    painter.drawPixmap(
        icon, symbolPixmap(m_symbol, icon.size(), palette::textDark(), devicePixelRatioF()));
}

} // namespace tolvo
