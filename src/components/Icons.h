#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace tolvo {

// The bundled monochrome symbols ("chevron-left", "clock", "x", ...), drawn in one colour.
// An unknown name gives a null pixmap.
QPixmap symbolPixmap(const QString &name, QSize size, const QColor &color, qreal dpr = 1.0);
QIcon symbolIcon(const QString &name, const QColor &color, QSize size = QSize(16, 16));
bool hasSymbol(const QString &name);

} // namespace tolvo
