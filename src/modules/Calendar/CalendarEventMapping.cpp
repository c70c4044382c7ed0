#include "modules/Calendar/CalendarEventMapping.h"

#include "components/Palette.h"

namespace tolvo {

QColor calendarEventColor(const QString &calendarId, const QList<GoogleCalendar> &calendars)
{
    for (const GoogleCalendar &calendar : calendars) {
        if (calendar.id != calendarId)
            continue;
        if (!calendar.backgroundColor)
            break;
        const QColor color = colorFromHex(*calendar.backgroundColor);
        // The parser's answer for text it cannot read is its fallback; keep events visible.
        if (color == colorFromHex(QStringView()))
            break;
        return color;
    }
    return palette::accentBlue();
}

CalendarEvent makeCalendarEvent(const GoogleCalendarEvent &event, const QString &calendarId,
    const QList<GoogleCalendar> &calendars, const QDateTime &now)
{
    CalendarEvent result;
    result.id = event.identifier;
    result.identifier = event.id;
    result.title = event.summary.value_or(QString());
    result.startDate = event.start.value_or(now);
    result.endDate = event.end.value_or(now);
    result.color = calendarEventColor(calendarId, calendars).rgba();
    result.location = event.location;
    result.notes = event.description;
    result.hangoutLink = event.hangoutLink;
    result.isAllDAy = event.isAllDay;
    return result;
}

CalendarEvent makeCalendarEvent(const EventModel &model, const QDateTime &now)
{
    return makeCalendarEvent(
        model.event(), model.calendarId(), model.cacheManager().calendars(), now);
}

QList<CalendarEvent> makeCalendarEvents(const QList<EventModelPtr> &models, const QDateTime &now)
{
    QList<CalendarEvent> events;
    events.reserve(models.size());
    for (const EventModelPtr &model : models) {
        if (model)
            events.append(makeCalendarEvent(*model, now));
    }
    return events;
}

} // namespace tolvo
