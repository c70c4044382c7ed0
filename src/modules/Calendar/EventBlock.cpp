#include "modules/Calendar/EventBlock.h"

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

EventBlock::EventBlock(const CalendarEvent &event, const CalendarContext &context, QWidget *parent)
    : QWidget(parent)
    , m_event(event)
    , m_context(context)
{
    setAttribute(Qt::WA_Hover, false);
    new ClickCountDetector(this, [this](MouseClickType type) { emit clicked(type); });
}

void EventBlock::setEvent(const CalendarEvent &event)
{
    if (event == m_event)
        return;
    m_event = event;
    update();
}

void EventBlock::setLayoutWidth(double width)
{
    if (width == m_layoutWidth)
        return;
    m_layoutWidth = width;
    update();
}

void EventBlock::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

QColor EventBlock::backgroundColor() const
{
    const QColor color = QColor::fromRgba(m_event.color);
    return m_selected ? color : calendarstyle::withAlpha(color, 0.1);
}

void EventBlock::paintEvent(QPaintEvent *)
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

    const Lines laid = lines();
    const int textWidth = this->textWidth();
    if (!laid.title.isEmpty()) {
        painter.setFont(calendarstyle::subheadline(QFont::Medium));
        painter.setPen(primary);
        const int titleRoom = qMax(0, textWidth - contentSpacing - videoSide);
        const QString title
            = painter.fontMetrics().elidedText(m_event.title, Qt::ElideRight, titleRoom);
        const int titleWidth = painter.fontMetrics().horizontalAdvance(title);
        painter.drawText(laid.title.adjusted(0, 0, titleRoom - textWidth, 0),
            Qt::AlignLeft | Qt::AlignVCenter, title);
        // The mark keeps its place when there is no link, so titles line up either way.
        if (m_event.hangoutLink) {
            calendarstyle::drawSymbol(painter, QStringLiteral("video"),
                QRect(laid.title.left() + titleWidth + contentSpacing, laid.title.top(), videoSide,
                    laid.title.height()),
                primary);
        }
    }

    const QColor secondary = calendarstyle::secondaryText();
    painter.setPen(secondary);
    if (!laid.location.isEmpty()) {
        painter.setFont(calendarstyle::caption());
        painter.drawText(laid.location, Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(
                m_event.location.value_or(QString()), Qt::ElideRight, textWidth));
    }
    if (!laid.time.isEmpty()) {
        painter.setFont(calendarstyle::caption2());
        painter.drawText(laid.time, Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(
                timeRangeText(m_event, m_context), Qt::ElideRight, textWidth));
    }
}

int EventBlock::textWidth() const
{
    return width() - stripeWidth - contentSpacing - 4;
}

EventBlock::Lines EventBlock::lines() const
{
    const int left = stripeWidth + contentSpacing;
    const int textWidth = this->textWidth();
    if (textWidth <= 0 || !showsDetails())
        return {};
    const int titleHeight
        = qMax(QFontMetrics(calendarstyle::subheadline(QFont::Medium)).height(), videoSide);
    const int locationHeight = QFontMetrics(calendarstyle::caption()).height();
    const int timeHeight = QFontMetrics(calendarstyle::caption2()).height();
    const bool showLocation = m_event.location.has_value();
    const bool showTime = !m_event.isAllDAy;
    int total = titleHeight;
    if (showLocation)
        total += lineSpacing + locationHeight;
    if (showTime)
        total += lineSpacing + timeHeight;
    int y = qMax(0, (height() - total) / 2);
    // A line cut by the block's bottom shows only the tops of its letters, which read as stray
    // marks: it is left out, and so is every line under it.
    Lines result;
    const auto place = [&](QRect &line, int lineHeight) {
        if (y + lineHeight > height())
            return false;
        line = QRect(left, y, textWidth, lineHeight);
        y += lineHeight + lineSpacing;
        return true;
    };
    if (!place(result.title, titleHeight))
        return result;
    if (showLocation && !place(result.location, locationHeight))
        return result;
    if (showTime)
        place(result.time, timeHeight);
    return result;
}

} // namespace tolvo
