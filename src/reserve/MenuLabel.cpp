#include "reserve/MenuLabel.h"

#include <QPainter>

namespace tolvo {

MenuLabel::MenuLabel(const QString &text, const QFont &font, const QColor &color,
    Qt::Alignment alignment, QWidget *parent)
    : QWidget(parent)
    , m_text(text)
    , m_color(color)
    , m_alignment((alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter)
{
    setFont(font);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void MenuLabel::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

QString MenuLabel::shownText() const
{
    QString line = m_text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return fontMetrics().elidedText(line, Qt::ElideRight, width());
}

QSize MenuLabel::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(m_text), fontMetrics().height()};
}

QSize MenuLabel::minimumSizeHint() const
{
    return {0, fontMetrics().height()};
}

void MenuLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(m_color);
    painter.drawText(rect(), int(m_alignment), shownText());
}

} // namespace tolvo
