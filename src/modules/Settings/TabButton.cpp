#include "modules/Settings/TabButton.h"

#include "components/Appearance.h"
#include "components/FocusRing.h"
#include "components/Fonts.h"
#include "components/Palette.h"
#include "components/Resources.h"

#include <QPainter>
#include <QPainterPath>

namespace tolvo {

namespace {
constexpr int iconSide = 18;
constexpr int iconTitleSpacing = 4;
constexpr int verticalPadding = 8;
constexpr int minimumTabWidth = 80;

QColor secondary()
{
    return Appearance::current() == ColorScheme::dark ? QColor(255, 255, 255, 140)
                                                      : QColor(0, 0, 0, 128);
}
} // namespace

TabButton::TabButton(const QString &title, const QString &imageName, QWidget *parent)
    : QAbstractButton(parent)
    , m_imageName(imageName)
{
    setText(title);
    setCheckable(true);
    setFont(uiFont(10));
    setCursor(Qt::PointingHandCursor);
    connect(&Appearance::instance(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

QColor TabButton::iconColor() const
{
    return isChecked() ? palette::accentBlue() : secondary();
}

QColor TabButton::titleColor() const
{
    // Dark text on the dark window would vanish: the selected title turns white there.
    return isChecked() ? DynamicColor {palette::textDark(), Qt::white}.resolve() : secondary();
}

QColor TabButton::backgroundColor() const
{
    if (!isChecked())
        return {};
    QColor tint = palette::accentBlue();
    tint.setAlphaF(0.1);
    return tint;
}

QSize TabButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int width = qMax(minimumTabWidth, metrics.horizontalAdvance(text()) + 16);
    return {width, verticalPadding * 2 + iconSide + iconTitleSpacing + metrics.height()};
}

void TabButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (const QColor background = backgroundColor(); background.isValid()) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 8, 8);
        painter.fillPath(shape, background);
    }
    if (showsKeyboardFocus(this))
        drawFocusRing(painter, QRectF(rect()), 8, false);
    const QRect iconRect((width() - iconSide) / 2, verticalPadding, iconSide, iconSide);
    painter.drawPixmap(iconRect,
        resources::image(m_imageName, {iconSide, iconSide}, iconColor(), devicePixelRatioF()));
    painter.setPen(titleColor());
    painter.setFont(font());
    const QRect titleRect(
        0, iconRect.bottom() + 1 + iconTitleSpacing, width(), QFontMetrics(font()).height());
    painter.drawText(titleRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
        QFontMetrics(font()).elidedText(text(), Qt::ElideRight, width() - 4));
}

} // namespace tolvo
