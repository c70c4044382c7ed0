#pragma once

#include "core/CalendarEvent.h"
#include "core/GoogleCalendar.h"
#include "core/GoogleCalendarEvent.h"
#include "modules/Meetings/EventModel.h"

#include <QColor>
#include <QList>

namespace tolvo {

// The colour an event of `calendarId` is drawn in: the first cached calendar with that id, its
// background colour read as hex. A calendar that is not cached, has no colour or has one that
// does not read gives the accent blue, never the parser's all but invisible fallback.
QColor calendarEventColor(const QString &calendarId, const QList<GoogleCalendar> &calendars);

// What the views draw for one listed Google event. A missing title is empty; a missing start or
// end is `now`.
CalendarEvent makeCalendarEvent(const GoogleCalendarEvent &event, const QString &calendarId,
    const QList<GoogleCalendar> &calendars, const QDateTime &now);

// The same for a listed meeting: the calendars are read afresh, for every event, from the cache
// the model was made with.
CalendarEvent makeCalendarEvent(const EventModel &model, const QDateTime &now);
// The meetings list as the screen draws it, in list order (nothing sorted or dropped).
QList<CalendarEvent> makeCalendarEvents(const QList<EventModelPtr> &models, const QDateTime &now);

} // namespace tolvo
