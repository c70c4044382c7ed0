#pragma once

#include "core/CalendarContext.h"
#include "core/DateHelpers.h"
#include "core/GoogleCalendar.h"
#include "core/GoogleCalendarEvent.h"
#include "core/Requests.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace tolvo {

// A run of whole days, first to last inclusive.
struct DayRange
{
    QDate first;
    QDate last;

    // The first moment of the first day and the last second of the last day, in `zone`.
    QDateTime startIn(const QTimeZone &zone) const;
    QDateTime endIn(const QTimeZone &zone) const;
    friend bool operator==(const DayRange &, const DayRange &) = default;
};

// The days a calendar view shows around `date` (read in the context's zone): the day itself;
// the week from the context's first weekday; the whole month for the month and agenda views.
DayRange displayedDays(
    CalendarViewType view, const QDateTime &date, const CalendarContext &context);

// Today and the 28 days after it in the context's zone: the days whose meetings are always
// reminded (a reminder may lead its meeting by four weeks).
DayRange upcomingDays(const CalendarContext &context);

// The next local midnight strictly after `now`.
QDateTime nextLocalMidnight(const QDateTime &now, const QTimeZone &zone);

// How a handled calendar list becomes a new one, by id and keeping order: what leaves and what
// comes in. A calendar that only moves counts as leaving and coming in again.
struct CalendarListDifference
{
    QStringList removed;
    QStringList inserted; // in their order in the new list
};
CalendarListDifference calendarListDifference(
    const QList<GoogleCalendar> &handled, const QList<GoogleCalendar> &wanted);

// Earliest start first; an event without a start counts as starting at `now`. Stable.
QList<GoogleCalendarEvent> sortedByStart(QList<GoogleCalendarEvent> events, const QDateTime &now);

// The body of a pushed change's notification: "5 March 2025 at 14:00 - 15:00", or without the
// " - " part when the event has no end; `now` stands in for a missing start.
QString notificationDateText(
    const GoogleCalendarEvent &event, const QDateTime &now, const AppDateFormatter &formatter);

// Whether the account may delete events of a calendar with this access role.
bool canWriteCalendar(const std::optional<QString> &accessRole);

// Whether `listedId` is an instance of the recurring series `seriesId` (Google names instances
// "<series id>_<start>").
bool isInstanceOfSeries(const QString &listedId, const QString &seriesId);

} // namespace tolvo
