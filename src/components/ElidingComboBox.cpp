#include "components/ElidingComboBox.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace tolvo {

ElidingComboBox::ElidingComboBox(QWidget *parent)
    : QComboBox(parent)
{
}

QString ElidingComboBox::elided(const QStyleOptionComboBox &option) const
{
    QRect field
        = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    // The styles draw the icon inside the field, followed by a small gap, and keep a pixel
    // clear at each side of the text.
    if (!option.currentIcon.isNull())
        field.setLeft(field.left() + option.iconSize.width() + 4);
    const int room = qMax(0, field.width() - 2);
    return fontMetrics().elidedText(option.currentText, Qt::ElideRight, room);
}

QString ElidingComboBox::shownText() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return elided(option);
}

void ElidingComboBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = elided(option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

} // namespace tolvo
