#include "components/TolvoTextField.h"

#include "components/Palette.h"

#include <QPainter>
#include <QPainterPath>

namespace tolvo {

TolvoTextField::TolvoTextField(QWidget *parent)
    : QLineEdit(parent)
{
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette colours = palette();
    // The card is always white, so the text and placeholder colours must not follow a dark
    // desktop palette.
    colours.setColor(QPalette::Text, palette::textDark());
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::PlaceholderText, palette::textGray());
    setPalette(colours);
    setTextMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
}

void TolvoTextField::setHint(const QString &hint)
{
    m_hint = hint;
    updateGeometry();
    update();
}

void TolvoTextField::setHintShown(bool shown)
{
    m_hintShown = shown;
    update();
}

void TolvoTextField::setInvalid(bool invalid)
{
    m_invalid = invalid;
    update();
}

QSize TolvoTextField::sizeHint() const
{
    QSize size = QLineEdit::sizeHint();
    if (!m_hint.isEmpty())
        size.setWidth(
            qMax(size.width(), fontMetrics().horizontalAdvance(m_hint) + 2 * horizontalPadding));
    return size;
}

void TolvoTextField::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath card;
        card.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        painter.fillPath(card, Qt::white);
        if (m_invalid) {
            QPainterPath outline;
            outline.addRoundedRect(
                QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), cornerRadius, cornerRadius);
            painter.strokePath(outline, QPen(Qt::red, 3));
        }
        if (m_hintShown && !m_hint.isEmpty()) {
            painter.setPen(palette::textGray());
            painter.setFont(font());
            painter.drawText(rect().adjusted(horizontalPadding, 0, -horizontalPadding, 0),
                Qt::AlignLeft | Qt::AlignVCenter, m_hint);
        }
    }
    QLineEdit::paintEvent(event);
}

} // namespace tolvo
