#pragma once

#include <QColor>
#include <QGraphicsEffect>

class QWidget;

namespace tolvo {

// Recolours everything a widget draws in one colour, keeping its alpha.
class TintEffect : public QGraphicsEffect
{
    Q_OBJECT
public:
    explicit TintEffect(QColor color, QObject *parent = nullptr);
    QColor color() const { return m_color; }

protected:
    void draw(QPainter *painter) override;

private:
    QColor m_color;
};

// Installs a TintEffect; an invalid colour leaves the widget (and any earlier tint) as it was.
void applyTint(QWidget *widget, const QColor &color);

} // namespace tolvo
