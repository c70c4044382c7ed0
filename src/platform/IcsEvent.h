#pragma once

#include "core/LocalEvent.h"
#include "core/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QTimeZone>

// Reading and writing one event as iCalendar text (one VCALENDAR with one master VEVENT).
namespace tolvo::ics {

// The master VEVENT of the text (the one without RECURRENCE-ID), with its rule lines and the
// overrides of the same UID in the text. Times without a zone
// ("floating") and all-day dates are placed in `localZone`; all-day events start and end at
// local midnights, the end being the morning after the last day. A recurring event is read as
// its first occurrence. `identifier` is the UID (empty when the event has none) and
// `calendarId` is left empty.
Result<LocalEvent> readEvent(const QByteArray &text, const QTimeZone &localZone);

// Every event of the text, read as `readEvent` reads one: each VEVENT without RECURRENCE-ID,
// and for a series whose master is missing its first override. Overrides of a listed series
// belong to it and are not listed apart. Fails when the text holds no readable event.
Result<QList<LocalEvent>> readEvents(const QByteArray &text, const QTimeZone &localZone);

// The text without the VEVENTs of `uid` (series and overrides), everything else kept; or
// with only those (and the rest of the calendar: zones, properties). Used to move one event
// out of a file that holds several.
Result<QByteArray> withoutEvent(const QByteArray &text, const QString &uid);
Result<QByteArray> onlyEvent(const QByteArray &text, const QString &uid);
// How many events `readEvents` lists in the text (0 when it cannot be read).
qsizetype eventCount(const QByteArray &text);

// The text for `event`. With `previous` (the file the event was read from) everything this
// store does not manage - recurrence rules, alarms, attendees, unknown properties, other
// components and events - is kept as it was. The VEVENT edited is the one whose UID is the
// event's identifier (else the first one without a UID). A time that did not change is kept
// as written; one that did keeps the form it had (a TZID stays in that zone, a floating time
// stays floating in `localZone`, UTC stays UTC); new events are written in UTC (to the
// second); all-day events as dates. A date outside the years 1 to 3000 is refused.
// LAST-MODIFIED and DTSTAMP become `now`; CREATED is kept, else set to the event's own
// creation date or `now`. Texts are written normalised. When the times change, SEQUENCE goes
// up; when a series' start moves, its added dates and the end of its rule move by the same
// wall-clock amount, and so do its excluded dates and overrides' RECURRENCE-IDs (overrides that
// were not moved apart move along) where that lands on an occurrence of the series as saved;
// else by the change of the time of day where that does (a rule that pins the weekday), else
// not at all. Rule lines and overrides that differ from the file's are written as given (each
// override's VEVENT updated in place, new ones in the form of the series' start). Properties
// rewritten keep the parameters they had (LANGUAGE, X- parameters), but for TZID and VALUE,
// which the new value decides, and ALTREP and ENCODING, which only fit the old text.
Result<QByteArray> writeEvent(const LocalEvent &event, const QByteArray &previous,
    const QDateTime &now, const QTimeZone &localZone);

// A text as an iCalendar text value holds it and reads it back: CR and CRLF become "\n", other
// control characters but tab are dropped, and so are spaces and tabs at either end. Reads and
// writes both pass through it.
QString normalisedText(QString text);

// The event as it reads back once saved: texts normalised, empty notes, location and URL
// absent, times to the second, rule lines as libical writes them, overrides by recurrence id.
LocalEvent storedForm(LocalEvent event);

// The zone a TZID names: an IANA name, one behind a vendor prefix ("/vendor/.../Europe/Berlin")
// or a Windows name. Invalid when none matches.
QTimeZone zoneForTzid(const QString &tzid);

} // namespace tolvo::ics
