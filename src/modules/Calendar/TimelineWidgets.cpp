#include "modules/Calendar/TimelineWidgets.h"

#include "core/TimelineGeometry.h"
#include "core/TimelineSelection.h"
#include "modules/Calendar/CalendarStyle.h"
#include "modules/Calendar/EventBlock.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace tolvo {

TimeGrid::TimeGrid(const CalendarContext &context, int topInset, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_topInset(topInset)
{
    setFixedWidth(columnWidth);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QString TimeGrid::label(int hour) const
{
    return hourLabel(hour, m_context.locale);
}

QRect TimeGrid::labelRect(int hour) const
{
    const int rowHeight = int(hourHeight);
    return QRect(0, m_topInset + hour * rowHeight + textOffset, labelWidth, rowHeight);
}

void TimeGrid::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setFont(calendarstyle::caption());
    painter.setPen(calendarstyle::primaryText());
    for (int hour = 0; hour < 24; ++hour) {
        const QRect row = labelRect(hour);
        if (!row.intersects(event->rect()))
            continue;
        painter.drawText(row, Qt::AlignTop | Qt::AlignHCenter, label(hour));
    }
}

DayColumnWidget::DayColumnWidget(
    TimelineSelection *selection, const CalendarContext &context, QWidget *parent)
    : QWidget(parent)
    , m_selection(selection)
    , m_context(context)
{
    connect(selection, &TimelineSelection::changed, this, &DayColumnWidget::refreshSelection);
}

void DayColumnWidget::setEvents(const QList<CalendarEvent> &events)
{
    if (events == m_events && m_blocks.size() == events.size())
        return;
    m_events = events;
    relayout();
}

void DayColumnWidget::setLayoutWidth(double width)
{
    if (qFuzzyCompare(width + 1, m_layoutWidth + 1))
        return;
    m_layoutWidth = width;
    relayout();
}

QList<EventBlock *> DayColumnWidget::blocks() const
{
    return m_blocks;
}

EventBlock *DayColumnWidget::blockFor(const QUuid &eventId) const
{
    for (EventBlock *block : m_blocks) {
        if (block->event().id == eventId)
            return block;
    }
    return nullptr;
}

void DayColumnWidget::relayout()
{
    const QList<PositionedEvent> laid = layoutOverlappingEvents(m_events, m_layoutWidth);
    // A block stays with its event across loads (which give events new per-load ids), so that
    // a reload keeps an open popover on it and a pending click on the event it was pressed on.
    QMultiHash<QString, EventBlock *> existing;
    for (EventBlock *block : std::as_const(m_blocks))
        existing.insert(TimelineSelection::keyOf(block->event()), block);

    QList<EventBlock *> blocks;
    blocks.reserve(laid.size());
    bool changed = false;
    for (const PositionedEvent &entry : laid) {
        EventBlock *block = existing.take(TimelineSelection::keyOf(entry.event));
        if (block) {
            block->setEvent(entry.event);
        } else {
            block = new EventBlock(entry.event, m_context, this);
            connect(block, &EventBlock::clicked, this, [this, block](MouseClickType type) {
                if (!m_selection)
                    return;
                if (type == MouseClickType::double_)
                    m_selection->doubleClick(block->event());
                else
                    m_selection->singleClick(block->event());
            });
            changed = true;
        }
        const double top = eventTimeOffset(entry.event.startDate, m_context);
        const double height = eventHeight(entry.event.startDate, entry.event.endDate);
        block->setGeometry(int(std::round(entry.xOffset)), int(std::round(top)),
            int(std::round(entry.xOffset + entry.width)) - int(std::round(entry.xOffset)),
            int(std::round(height)));
        block->setLayoutWidth(entry.width);
        block->setSelected(m_selection && m_selection->isSelected(entry.event.id));
        block->show();
        block->raise(); // later blocks on top
        blocks.append(block);
    }
    for (EventBlock *gone : std::as_const(existing)) {
        changed = true;
        delete gone;
    }
    m_blocks = blocks;
    if (changed)
        emit blocksChanged();
}

void DayColumnWidget::refreshSelection()
{
    for (EventBlock *block : std::as_const(m_blocks))
        block->setSelected(m_selection && m_selection->isSelected(block->event().id));
}

void DayColumnWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QPen pen(calendarstyle::gridLine());
    pen.setWidthF(0.5);
    painter.setPen(pen);
    painter.setRenderHint(QPainter::Antialiasing);
    // Each hour row has its own hairline border, so every hour line shows twice.
    for (int hour = 0; hour < 24; ++hour) {
        const QRectF row(0, hour * hourHeight, width(), hourHeight);
        painter.drawRect(row.adjusted(0.25, 0.25, -0.25, -0.25));
    }
}

void DayColumnWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_selection)
        m_selection->clear();
    event->accept();
}

} // namespace tolvo
