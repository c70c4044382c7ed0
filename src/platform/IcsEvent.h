#pragma once

#include "core/LocalEvent.h"
#include "core/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QTimeZone>

// Reading and writing one event as iCalendar text (one VCALENDAR with one master VEVENT).
namespace tolvo::ics {

// The master VEVENT of the text (the one without RECURRENCE-ID). Times without a zone
// ("floating") and all-day dates are placed in `localZone`; all-day events start and end at
// local midnights, the end being the morning after the last day. A recurring event is read as
// its first occurrence. `identifier` is the UID (empty when the event has none) and
// `calendarId` is left empty.
Result<LocalEvent> readEvent(const QByteArray &text, const QTimeZone &localZone);

// The text for `event`. With `previous` (the file the event was read from) everything this
// store does not manage - recurrence rules, alarms, attendees, unknown properties, other
// components - is kept as it was. Timed events are written in UTC (to the second); all-day
// events as dates. LAST-MODIFIED and DTSTAMP become `now`; CREATED is kept, else set to the
// event's own creation date or `now`.
Result<QByteArray> writeEvent(
    const LocalEvent &event, const QByteArray &previous, const QDateTime &now);

// The zone a TZID names: an IANA name, one behind a vendor prefix ("/vendor/.../Europe/Berlin")
// or a Windows name. Invalid when none matches.
QTimeZone zoneForTzid(const QString &tzid);

} // namespace tolvo::ics
