#include "components/FocusRing.h"

#include "components/Palette.h"

#include <QPainter>
#include <QWidget>

namespace tolvo {

namespace {
constexpr qreal ringWidth = 2;
}

bool showsKeyboardFocus(const QWidget *widget)
{
    return widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void drawFocusRing(QPainter &painter, const QRectF &rect, qreal radius, bool overFill)
{
    // A white ring at the very edge of a fill melts into a light page and only looks like a
    // smaller button: it goes a ring's width inside, framed by the fill on both sides.
    const qreal inset = ringWidth / 2 + (overFill ? ringWidth : 0);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(overFill ? QColor(Qt::white) : palette::accentBlue(), ringWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(inset, inset, -inset, -inset), qMax(0.0, radius - inset),
        qMax(0.0, radius - inset));
    painter.restore();
}

} // namespace tolvo
