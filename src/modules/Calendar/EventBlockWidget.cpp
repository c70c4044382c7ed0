#include "modules/Calendar/EventBlockWidget.h"

#include "components/ClickCountDetector.h"
#include "core/EventTexts.h"
#include "modules/Calendar/CalendarStyle.h"

#include <QPainter>
#include <QPainterPath>

namespace tolvo {

namespace {
constexpr int contentSpacing = 8;
constexpr int lineSpacing = 2;
constexpr int videoSide = 12;
} // namespace

EventBlockWidget::EventBlockWidget(
    const CalendarEvent &event, const CalendarContext &context, QWidget *parent)
    : QWidget(parent)
    , m_event(event)
    , m_context(context)
{
    setAttribute(Qt::WA_Hover, false);
    new ClickCountDetector(this, [this](MouseClickType type) { emit clicked(type); });
}

void EventBlockWidget::setEvent(const CalendarEvent &event)
{
    if (event == m_event)
        return;
    m_event = event;
    update();
}

void EventBlockWidget::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

QColor EventBlockWidget::backgroundColor() const
{
    const QColor color = QColor::fromRgba(m_event.color);
    return m_selected ? color : calendarstyle::withAlpha(color, 0.1);
}

void EventBlockWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // No clip path (costly with hundreds of blocks): every text is elided to the width, and
    // the widget's own bounds cut what runs past its height.
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(card, backgroundColor());

    const QColor color = QColor::fromRgba(m_event.color);
    QPainterPath stripe;
    stripe.addRoundedRect(
        QRectF(0, 0, stripeWidth, height()).intersected(card.boundingRect()), 2, 2);
    painter.fillPath(stripe, color);

    const int left = stripeWidth + contentSpacing;
    const int available = width() - left;
    if (available <= 0)
        return;
    const QColor primary = calendarstyle::primaryText();
    if (!showsDetails()) {
        calendarstyle::drawSymbol(painter, QStringLiteral("ellipsis"),
            QRect(left, 0, available, height()).adjusted(0, 2, -2, -2), primary);
        return;
    }

    // The lines, centred as a group in the block's height and clipped by it.
    const QFont titleFont = calendarstyle::subheadline(QFont::Medium);
    const QFont locationFont = calendarstyle::caption();
    const QFont timeFont = calendarstyle::caption2();
    const QString location = m_event.location.value_or(QString());
    const bool showLocation = m_event.location.has_value();
    const bool showTime = !m_event.isAllDAy;
    const int titleHeight = qMax(QFontMetrics(titleFont).height(), videoSide);
    int total = titleHeight;
    if (showLocation)
        total += lineSpacing + QFontMetrics(locationFont).height();
    if (showTime)
        total += lineSpacing + QFontMetrics(timeFont).height();
    int y = (height() - total) / 2;
    const int textWidth = available - 4;

    painter.setFont(titleFont);
    painter.setPen(primary);
    const int titleRoom = qMax(0, textWidth - contentSpacing - videoSide);
    const QString title
        = painter.fontMetrics().elidedText(m_event.title, Qt::ElideRight, titleRoom);
    const int titleWidth = painter.fontMetrics().horizontalAdvance(title);
    painter.drawText(
        QRect(left, y, titleRoom, titleHeight), Qt::AlignLeft | Qt::AlignVCenter, title);
    // The mark keeps its place when there is no link, so titles line up either way.
    if (m_event.hangoutLink) {
        calendarstyle::drawSymbol(painter, QStringLiteral("video"),
            QRect(left + titleWidth + contentSpacing, y, videoSide, titleHeight), primary);
    }
    y += titleHeight;

    const QColor secondary = calendarstyle::secondaryText();
    if (showLocation) {
        y += lineSpacing;
        painter.setFont(locationFont);
        painter.setPen(secondary);
        const int lineHeight = painter.fontMetrics().height();
        painter.drawText(QRect(left, y, textWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(location, Qt::ElideRight, textWidth));
        y += lineHeight;
    }
    if (showTime) {
        y += lineSpacing;
        painter.setFont(timeFont);
        painter.setPen(secondary);
        const int lineHeight = painter.fontMetrics().height();
        painter.drawText(QRect(left, y, textWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(
                timeRangeText(m_event, m_context), Qt::ElideRight, textWidth));
    }
}

} // namespace tolvo
