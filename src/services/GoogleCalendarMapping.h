#pragma once

#include "core/GoogleCalendar.h"
#include "core/GoogleCalendarEvent.h"
#include "core/Requests.h"
#include "core/Result.h"
#include "core/SyncRecords.h"

#include <QDateTime>
#include <QJsonObject>
#include <QTimeZone>
#include <QUrlQuery>

// Google Calendar v3 resources to and from the application's records. Pure functions: the zone
// and the current moment are given, never read.
namespace tolvo::google {

// A calendar-list entry. Missing summary and colour read as empty text.
GoogleCalendar calendarFromResource(const QJsonObject &entry, const QDateTime &now);

// An event resource. An all-day date is the local midnight of that date in `zone`.
GoogleCalendarEvent eventFromResource(const QJsonObject &event, const QTimeZone &zone);

// An RFC 3339 time stamp with or without fractions, in UTC; one without an offset is a wall
// time in `zone`. Invalid when unreadable.
QDateTime parseTimestamp(const QString &text, const QTimeZone &zone);

// The window of a list by days: 00:00:00 of `start`'s day to 23:59:59 of `end`'s day in `zone`.
QUrlQuery dayWindowQuery(const QDateTime &start, const QDateTime &end, const QTimeZone &zone);

// The body of events.watch.
QJsonObject watchBody(const QString &channelId, const QString &calendarId, const QUrl &backendBase);

// The channel of a watch answer; `expiration` may come as a number or as a string of
// milliseconds. An answer without id, resourceId or expiration is an error.
Result<CalendarChannel> channelFromWatchAnswer(
    const QString &calendarId, const QJsonObject &answer);

enum class WriteKind { create, update };

struct EventWrite
{
    QJsonObject body;
    bool conferenceDataVersion = false; // send conferenceDataVersion=1
};

// The event resource a create or update sends. An update touches the conference only when
// the Meet switch changed: turned on, it asks for a Meet unless `hasMeet` says the event has
// one by now; turned off, it removes the conference.
EventWrite eventWrite(
    const CalendarEventRequest &request, WriteKind kind, bool hasMeet, const QTimeZone &zone);

} // namespace tolvo::google
