#include "components/ThemedWidgets.h"

#include "components/Fonts.h"
#include "components/Palette.h"

#include <QPainter>

namespace tolvo {

ThemedLabel::ThemedLabel(
    const QString &text, DynamicColor color, int pixelSize, QFont::Weight weight, QWidget *parent)
    : QLabel(text, parent)
    , m_color(color)
{
    setTextFormat(Qt::PlainText);
    setFont(uiFont(pixelSize, weight));
    applyAppearance();
    connect(&Appearance::instance(), &Appearance::changed, this, &ThemedLabel::applyAppearance);
}

void ThemedLabel::setColor(DynamicColor color)
{
    m_color = color;
    applyAppearance();
}

QColor ThemedLabel::currentColor() const
{
    return palette().color(QPalette::WindowText);
}

void ThemedLabel::applyAppearance()
{
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, m_color.resolve());
    colors.setColor(QPalette::Text, m_color.resolve());
    setPalette(colors);
}

ThemedPanel::ThemedPanel(DynamicColor background, QWidget *parent)
    : QWidget(parent)
    , m_background(background)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&Appearance::instance(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void ThemedPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_background.resolve());
}

DynamicColor titleColor()
{
    return {palette::textDark(), palette::textGray()};
}

DynamicColor screenBackground()
{
    return {palette::backgroundLight(), palette::backgroundDark()};
}

} // namespace tolvo
