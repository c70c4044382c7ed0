#include "modules/Meetings/EventModel.h"

namespace tolvo {

EventModel::EventModel(GoogleCalendarEvent event, QString calendarId)
    : m_calendarId(std::move(calendarId))
    , m_event(std::move(event))
{
}

std::optional<QString> EventModel::calendarColor() const
{
    const QList<GoogleCalendar> calendars = m_cacheManager->calendars();
    for (const GoogleCalendar &calendar : calendars) {
        if (calendar.id == m_calendarId)
            return calendar.backgroundColor;
    }
    return std::nullopt;
}

} // namespace tolvo
