#include "components/ThemedWidgets.h"

#include "components/Fonts.h"
#include "components/Palette.h"

#include <QPainter>

namespace tolvo {

ThemedLabel::ThemedLabel(
    const QString &text, DynamicColor color, int pixelSize, QFont::Weight weight, QWidget *parent)
    : QLabel(text, parent)
    , m_color(color)
    , m_pixelSize(pixelSize)
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

void ThemedLabel::setShrinkToFit(int minimumPixelSize)
{
    m_minimumPixelSize = qMin(minimumPixelSize, m_pixelSize);
    fitToWidth();
    updateGeometry();
}

int ThemedLabel::fittingPixelSize(int width) const
{
    QFont font = this->font();
    for (int size = m_pixelSize; size > m_minimumPixelSize; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).horizontalAdvance(text()) <= width)
            return size;
    }
    return m_minimumPixelSize;
}

void ThemedLabel::fitToWidth()
{
    if (m_minimumPixelSize <= 0)
        return;
    const int width = contentsRect().width();
    const int size = fittingPixelSize(width);
    QFont font = this->font();
    font.setPixelSize(size);
    // At the smallest size, a text that is still too wide wraps rather than being cut.
    setWordWrap(size == m_minimumPixelSize && QFontMetrics(font).horizontalAdvance(text()) > width);
    if (this->font().pixelSize() != size)
        setFont(font);
}

QSize ThemedLabel::minimumSizeHint() const
{
    if (m_minimumPixelSize <= 0)
        return QLabel::minimumSizeHint();
    // Any width will do: the text shrinks or wraps to it.
    return {0, QLabel::minimumSizeHint().height()};
}

bool ThemedLabel::hasHeightForWidth() const
{
    return m_minimumPixelSize > 0 || QLabel::hasHeightForWidth();
}

int ThemedLabel::heightForWidth(int width) const
{
    if (m_minimumPixelSize <= 0)
        return QLabel::heightForWidth(width);
    QFont font = this->font();
    font.setPixelSize(
        fittingPixelSize(width - contentsMargins().left() - contentsMargins().right()));
    const QFontMetrics metrics(font);
    const QRect needed = metrics.boundingRect(
        QRect(0, 0, qMax(1, width), 100000), Qt::TextWordWrap | int(alignment()), text());
    return needed.height() + contentsMargins().top() + contentsMargins().bottom();
}

void ThemedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fitToWidth();
}

QColor ThemedLabel::currentColor() const
{
    return palette().color(QPalette::WindowText);
}

namespace {
void setLabelColor(QLabel *label, const QColor &color)
{
    QPalette colors = label->palette();
    colors.setColor(QPalette::WindowText, color);
    colors.setColor(QPalette::Text, color);
    label->setPalette(colors);
}
} // namespace

void ThemedLabel::applyAppearance()
{
    setLabelColor(this, m_color.resolve());
}

void followAppearance(QLabel *label, DynamicColor color)
{
    setLabelColor(label, color.resolve());
    QObject::connect(&Appearance::instance(), &Appearance::changed, label,
        [label, color] { setLabelColor(label, color.resolve()); });
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
