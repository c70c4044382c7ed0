#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;
class QRect;

namespace tolvo {

// The text styles and colours the calendar screen shares, resolved for the current appearance
// when they are used.
namespace calendarstyle {
QFont headline(); // 13 semibold
QFont subheadline(QFont::Weight weight = QFont::Normal); // 11
QFont body(); // 13
QFont caption(QFont::Weight weight = QFont::Normal); // 10
QFont caption2(); // 10

QColor primaryText(); // textDark or white
QColor secondaryText();
QColor gridLine(); // grey at 0.3
QColor withAlpha(QColor color, qreal alpha);
// The screen's background behind the views.
QColor background();

// A bundled symbol drawn centred in a rectangle.
void drawSymbol(QPainter &painter, const QString &name, const QRect &rect, const QColor &color);
} // namespace calendarstyle

} // namespace tolvo
