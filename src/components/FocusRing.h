#pragma once

#include <QRectF>

class QPainter;
class QWidget;

namespace tolvo {

// Whether a control that paints itself shows its focus ring: it has the focus and the keyboard
// moved it there, as the platform styles do.
bool showsKeyboardFocus(const QWidget *widget);

// The ring, 2 px wide and inside `rect` (so no layout has to leave room for it): the accent
// colour at the edge over nothing; over a filled shape white, 2 px in from the edge so that the
// fill frames it, which reads on light and dark backgrounds alike.
void drawFocusRing(QPainter &painter, const QRectF &rect, qreal radius, bool overFill);

} // namespace tolvo
