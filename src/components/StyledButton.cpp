#include "components/StyledButton.h"

#include "components/FocusRing.h"
#include "components/Fonts.h"
#include "components/Icons.h"
#include "components/Palette.h"

#include <QPainter>
#include <QPainterPath>

namespace tolvo {

namespace {
constexpr int iconTextSpacing = 6;

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(color.alphaF() * alpha);
    return color;
}
} // namespace

StyledButton::StyledButton(ButtonStyle style, const QString &text, QWidget *parent)
    : QAbstractButton(parent)
    , m_style(style)
{
    setText(text);
    if (style == ButtonStyle::gray || style == ButtonStyle::calendarArrow)
        setFont(uiFont(16, QFont::Bold));
    setIconSize(QSize(16, 16));
    setAttribute(Qt::WA_Hover, false);
}

void StyledButton::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

void StyledButton::setSymbol(const QString &name)
{
    m_symbol = name;
    updateGeometry();
    update();
}

void StyledButton::setContentPadding(QMargins padding)
{
    m_contentPadding = padding;
    updateGeometry();
    update();
}

QColor StyledButton::labelColor() const
{
    switch (m_style) {
    case ButtonStyle::gray: return withAlpha(palette::textGray(), isDown() ? 0.5 : 1.0);
    case ButtonStyle::calendarArrow: return palette::textGray();
    case ButtonStyle::grayed:
    case ButtonStyle::blue:
    case ButtonStyle::calendar: return Qt::white;
    }
    return Qt::white;
}

QColor StyledButton::backgroundColor() const
{
    const qreal pressed = isDown() ? 0.5 : 1.0;
    switch (m_style) {
    case ButtonStyle::gray: return {};
    case ButtonStyle::grayed: return withAlpha(palette::textGray(), pressed);
    case ButtonStyle::blue: return withAlpha(palette::primaryBlue(), pressed);
    case ButtonStyle::calendar:
        return m_selected ? withAlpha(palette::accentBlue(), 0.5) : QColor();
    case ButtonStyle::calendarArrow:
        return isDown() ? withAlpha(palette::textGray(), 0.5) : QColor();
    }
    return {};
}

int StyledButton::cornerRadius() const
{
    switch (m_style) {
    case ButtonStyle::gray: return 0;
    case ButtonStyle::grayed:
    case ButtonStyle::blue: return 12;
    case ButtonStyle::calendar:
    case ButtonStyle::calendarArrow: return 6;
    }
    return 0;
}

bool StyledButton::showsFocus() const
{
    return showsKeyboardFocus(this);
}

bool StyledButton::hasImage() const
{
    return !m_symbol.isEmpty() || !icon().isNull();
}

QMargins StyledButton::padding() const
{
    const int arrow = m_style == ButtonStyle::calendarArrow ? 8 : 0;
    return m_contentPadding + QMargins(arrow, arrow, arrow, arrow);
}

QSize StyledButton::labelSize() const
{
    const QFontMetrics metrics(font());
    QSize size(0, 0);
    if (!text().isEmpty())
        size = QSize(metrics.horizontalAdvance(text()), metrics.height());
    if (hasImage()) {
        const QSize icon = iconSize();
        const int spacing = text().isEmpty() ? 0 : iconTextSpacing;
        size = QSize(size.width() + spacing + icon.width(), qMax(size.height(), icon.height()));
    }
    return size;
}

QSize StyledButton::sizeHint() const
{
    const QMargins margins = padding();
    return labelSize().grownBy(margins);
}

void StyledButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int radius = cornerRadius();
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), radius, radius);
    if (radius > 0)
        painter.setClipPath(clip);

    const QColor background = backgroundColor();
    if (background.isValid())
        painter.fillPath(clip, background);
    if (showsFocus())
        drawFocusRing(painter, QRectF(rect()), radius, background.isValid());

    const QRect content = rect().marginsRemoved(padding());
    const QSize label = labelSize();
    QRect labelRect(QPoint(0, 0), label);
    labelRect.moveCenter(content.center());
    const QColor color = labelColor();

    int x = labelRect.left();
    if (hasImage()) {
        const QSize icon = iconSize();
        const QRect iconRect(QPoint(x, labelRect.center().y() - icon.height() / 2 + 1), icon);
        painter.drawPixmap(iconRect,
            m_symbol.isEmpty() ? this->icon().pixmap(icon, devicePixelRatioF())
                               : symbolPixmap(m_symbol, icon, color, devicePixelRatioF()));
        x += icon.width() + iconTextSpacing;
    }
    if (!text().isEmpty()) {
        painter.setPen(color);
        painter.setFont(font());
        const QRect textRect(x, labelRect.top(), labelRect.right() - x + 1, labelRect.height());
        painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, text());
    }
}

} // namespace tolvo
