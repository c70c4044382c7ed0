#pragma once

#include "core/CalendarContext.h"
#include "core/CalendarEvent.h"
#include "core/Requests.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace tolvo {

class CalendarHeaderView;
class CalendarPeriodView;

// The calendar screen: the header above the day, week, month or agenda view. It keeps no date
// of its own: the owner sets the date, the view type and the events, and the header's and
// views' requests go back to the owner as signals. Events and dates update the shown view in
// place; a new view type builds a new view, so its selection starts afresh.
class IntuitiveCalendarView : public QWidget
{
    Q_OBJECT
public:
    explicit IntuitiveCalendarView(const CalendarContext &context, QWidget *parent = nullptr);

    void setDate(const QDateTime &date);
    void setViewType(CalendarViewType type);
    void setEvents(const QList<CalendarEvent> &events);

    QDateTime date() const { return m_date; }
    CalendarViewType viewType() const { return m_type; }
    CalendarHeaderView *header() const { return m_header; }
    CalendarPeriodView *view() const { return m_view; }

signals:
    void dateChangeRequested(const QDateTime &date);
    void viewTypeChangeRequested(tolvo::CalendarViewType type);
    void editRequested(const tolvo::CalendarEvent &event);
    void deleteRequested(const tolvo::CalendarEvent &event);

private:
    void buildView();
    void applyPalette();

    CalendarContext m_context;
    QDateTime m_date;
    CalendarViewType m_type = CalendarViewType::month;
    QList<CalendarEvent> m_events;
    CalendarHeaderView *m_header;
    QPointer<CalendarPeriodView> m_view;
};

} // namespace tolvo
