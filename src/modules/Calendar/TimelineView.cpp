#include "modules/Calendar/TimelineView.h"

#include "core/CalendarMath.h"
#include "core/TimelineGeometry.h"
#include "core/TimelineSelection.h"
#include "modules/Calendar/CalendarStyle.h"
#include "modules/Calendar/EventBlock.h"
#include "modules/Calendar/EventPopoverPresenter.h"
#include "modules/Calendar/TimelineWidgets.h"

#include <QEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>

namespace tolvo {

TimelineView *TimelineView::dayView(const CalendarContext &context, QWidget *parent)
{
    return new TimelineView(context, 1, parent);
}

TimelineView *TimelineView::weekView(const CalendarContext &context, QWidget *parent)
{
    return new TimelineView(context, 7, parent);
}

TimelineView::TimelineView(const CalendarContext &context, int dayCount, QWidget *parent)
    : CalendarPeriodView(context, parent)
    , m_dayCount(dayCount)
    , m_selection(new TimelineSelection(this))
    , m_scroll(new QScrollArea)
    , m_content(new QWidget)
    , m_timeGrid(new TimeGrid(context, topInset, m_content))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    if (dayCount > 1) {
        m_header = new WeekDayHeader(context, this);
        layout->addWidget(m_header);
    }
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(true);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_content->setAutoFillBackground(false);
    m_content->setFixedHeight(topInset + int(dayHeight));
    m_content->installEventFilter(this);
    m_scroll->setWidget(m_content);
    layout->addWidget(m_scroll, 1);

    for (int i = 0; i < dayCount; ++i) {
        auto *column = new DayColumnWidget(m_selection, context, m_content);
        m_columns.append(column);
    }
    // Beside the block, on its leading side, so the block stays in view.
    m_popovers = new EventPopoverPresenter(
        m_selection, context, [this](const QUuid &id) -> QWidget * { return blockFor(id); },
        Popover::Side::leading, this);
    for (DayColumnWidget *column : std::as_const(m_columns))
        connect(column, &DayColumnWidget::blocksChanged, m_popovers, &EventPopoverPresenter::sync);
    connect(m_popovers, &EventPopoverPresenter::editRequested, this, &TimelineView::editRequested);
    connect(
        m_popovers, &EventPopoverPresenter::deleteRequested, this, &TimelineView::deleteRequested);
    setDate(context.now());
}

QList<QDate> TimelineView::days() const
{
    if (m_dayCount == 1)
        return {m_anchorDay};
    return weekDays(m_anchorDay, context().firstDayOfWeek);
}

void TimelineView::setDate(const QDateTime &date)
{
    const QDate day = localDate(date, context());
    if (!day.isValid())
        return;
    m_anchorDay = day;
    const QList<QDate> shown = days();
    for (int i = 0; i < m_columns.size(); ++i)
        m_columns[i]->setDay(shown.value(i));
    if (m_header)
        m_header->setDays(shown);
    distributeEvents();
}

void TimelineView::setEvents(const QList<CalendarEvent> &events)
{
    m_events = events;
    {
        // The blocks and the popover follow the selection once they show the new events: told
        // before, the popover would look for a reloaded event among the old ones and close.
        const QSignalBlocker quiet(m_selection);
        m_selection->retain(events);
    }
    distributeEvents();
}

void TimelineView::distributeEvents()
{
    const QHash<QDate, QList<CalendarEvent>> byDay = eventsByStartDay(m_events, context());
    for (DayColumnWidget *column : std::as_const(m_columns))
        column->setEvents(byDay.value(column->day()));
    if (m_popovers)
        m_popovers->sync();
}

EventBlock *TimelineView::blockFor(const QUuid &eventId) const
{
    for (DayColumnWidget *column : m_columns) {
        if (EventBlock *block = column->blockFor(eventId))
            return block;
    }
    return nullptr;
}

void TimelineView::layoutColumns()
{
    // A scroll bar takes its own width out of the content's.
    const int contentWidth = m_content->width();
    const double columnWidth = double(contentWidth - layoutGutter) / m_dayCount;
    m_timeGrid->setGeometry(0, 0, TimeGrid::columnWidth, m_content->height());
    for (int i = 0; i < m_columns.size(); ++i) {
        const int left = leadingWidth + int(std::round(i * columnWidth));
        const int right = leadingWidth + int(std::round((i + 1) * columnWidth));
        m_columns[i]->setGeometry(left, topInset, qMax(0, right - left), int(dayHeight));
        m_columns[i]->setLayoutWidth(qMax(0.0, columnWidth));
    }
    if (m_header)
        m_header->setColumns(leadingWidth, qMax(0.0, columnWidth));
    if (m_popovers)
        m_popovers->sync();
}

bool TimelineView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_content && event->type() == QEvent::Resize)
        layoutColumns();
    return CalendarPeriodView::eventFilter(watched, event);
}

WeekDayHeader::WeekDayHeader(const CalendarContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void WeekDayHeader::setDays(const QList<QDate> &days)
{
    m_days = days;
    update();
}

void WeekDayHeader::setColumns(int left, double width)
{
    m_left = left;
    m_columnWidth = width;
    update();
}

QStringList WeekDayHeader::names() const
{
    QStringList result;
    for (const QDate &day : m_days)
        result << m_context.locale.dayName(day.dayOfWeek(), QLocale::ShortFormat);
    return result;
}

QSize WeekDayHeader::sizeHint() const
{
    const QFontMetrics metrics(calendarstyle::caption());
    return QSize(TimelineView::leadingWidth + 7 * 40, 2 * metrics.height() + 10);
}

void WeekDayHeader::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(calendarstyle::caption());
    const int lineHeight = painter.fontMetrics().height();
    const int top = (height() - 2 * lineHeight - 2) / 2;
    const QStringList dayNames = names();
    for (int i = 0; i < m_days.size(); ++i) {
        const int left = m_left + int(std::round(i * m_columnWidth));
        const int right = m_left + int(std::round((i + 1) * m_columnWidth));
        const QRect name(left, top, right - left, lineHeight);
        painter.setPen(calendarstyle::secondaryText());
        painter.drawText(name, Qt::AlignCenter,
            painter.fontMetrics().elidedText(dayNames.value(i), Qt::ElideRight, name.width()));
        painter.setPen(calendarstyle::primaryText());
        painter.drawText(name.translated(0, lineHeight + 2), Qt::AlignCenter,
            m_context.locale.toString(m_days[i], QStringLiteral("d")));
    }
}

} // namespace tolvo
