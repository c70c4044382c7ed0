#include "reserve/TintEffect.h"

#include <QPainter>
#include <QWidget>

namespace tolvo {

TintEffect::TintEffect(QColor color, QObject *parent)
    : QGraphicsEffect(parent)
    , m_color(std::move(color))
{
}

void TintEffect::draw(QPainter *painter)
{
    QPoint offset;
    QPixmap pixmap = sourcePixmap(Qt::DeviceCoordinates, &offset, PadToEffectiveBoundingRect);
    if (pixmap.isNull())
        return;
    {
        QPainter tint(&pixmap);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(pixmap.rect(), m_color);
    }
    const QTransform saved = painter->worldTransform();
    painter->setWorldTransform(QTransform());
    painter->drawPixmap(offset, pixmap);
    painter->setWorldTransform(saved);
}

void applyTint(QWidget *widget, const QColor &color)
{
    if (!widget || !color.isValid())
        return;
    widget->setGraphicsEffect(new TintEffect(color));
}

} // namespace tolvo
