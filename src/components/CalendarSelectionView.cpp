#include "components/CalendarSelectionView.h"

namespace tolvo {

namespace {
QList<HoverPickList::Row> rowsFor(const QList<GoogleCalendar> &calendars)
{
    QList<HoverPickList::Row> rows;
    for (const GoogleCalendar &calendar : calendars)
        rows.append(
            {calendar.id, calendar.summary.value_or(QString()), QVariant::fromValue(calendar)});
    return rows;
}
} // namespace

CalendarSelectionView::CalendarSelectionView(const QList<GoogleCalendar> &calendars,
    std::function<void(const GoogleCalendar &)> calendarSelectionHandler, QWidget *parent)
    : HoverPickList(
        rowsFor(calendars),
        [handler = std::move(calendarSelectionHandler)](const QVariant &value) {
            if (handler)
                handler(value.value<GoogleCalendar>());
        },
        parent)
{
}

} // namespace tolvo
