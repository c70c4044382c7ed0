#include "modules/Calendar/CalendarStyle.h"

#include "components/Appearance.h"
#include "components/Fonts.h"
#include "components/Icons.h"
#include "components/Palette.h"

#include <QPainter>

namespace tolvo::calendarstyle {

QFont headline()
{
    return uiFont(13, QFont::DemiBold);
}
QFont subheadline(QFont::Weight weight)
{
    return uiFont(11, weight);
}
QFont body()
{
    return uiFont(13);
}
QFont caption(QFont::Weight weight)
{
    return uiFont(10, weight);
}
QFont caption2()
{
    return uiFont(10);
}

QColor primaryText()
{
    return DynamicColor {palette::textDark(), Qt::white}.resolve();
}

QColor secondaryText()
{
    return DynamicColor {QColor(0, 0, 0, 128), QColor(255, 255, 255, 140)}.resolve();
}

QColor gridLine()
{
    return withAlpha(QColor(0x8E, 0x8E, 0x93), 0.3);
}

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(color.alphaF() * alpha);
    return color;
}

QColor background()
{
    return DynamicColor {Qt::white, QColor(0x1F, 0x26, 0x2F)}.resolve();
}

void drawSymbol(QPainter &painter, const QString &name, const QRect &rect, const QColor &color)
{
    const int side = qMin(rect.width(), rect.height());
    if (side <= 0)
        return;
    QRect icon(0, 0, side, side);
    icon.moveCenter(rect.center());
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    painter.drawPixmap(icon, symbolPixmap(name, icon.size(), color, dpr));
}

} // namespace tolvo::calendarstyle
