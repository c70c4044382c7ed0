#include "components/ElidedLabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QtMath>

namespace tolvo {

ElidedLabel::ElidedLabel(const QString &text, QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setFullText(text);
}

void ElidedLabel::setFullText(const QString &text)
{
    m_fullText = text;
    setToolTip(text);
    elide();
    updateGeometry();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, QLabel::minimumSizeHint().height());
}

QSize ElidedLabel::sizeHint() const
{
    // Rounded up: elision compares the text's fractional width, so a width rounded to the
    // nearest pixel can fall short by a fraction and cut a text that was given its own width.
    const QMargins margins = contentsMargins();
    const int textWidth = qCeil(QFontMetricsF(font(), this).horizontalAdvance(oneLine()));
    return QSize(textWidth + margins.left() + margins.right(), QLabel::sizeHint().height());
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        elide();
}

QString ElidedLabel::oneLine() const
{
    QString line = m_fullText;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

void ElidedLabel::elide()
{
    setText(fontMetrics().elidedText(oneLine(), Qt::ElideRight, qMax(0, contentsRect().width())));
}

} // namespace tolvo
