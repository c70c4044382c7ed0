#pragma once

#include "core/CalendarEvent.h"
#include "core/GoogleCalendar.h"
#include "core/GoogleCalendarEvent.h"

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

} // namespace tolvo
