#pragma once

#include "core/CalendarContext.h"
#include "core/CalendarEvent.h"

#include <QHash>
#include <QList>
#include <QString>

namespace tolvo {

// The timelines' vertical scale: one hour is this many pixels, a day 24 of them.
inline constexpr double hourHeight = 80;
inline constexpr double dayHeight = 24 * hourHeight;

// One block of a timeline column: where it sits across the column.
struct PositionedEvent
{
    CalendarEvent event;
    double xOffset = 0;
    double width = 0;

    friend bool operator==(const PositionedEvent &, const PositionedEvent &) = default;
};

// The block's top: the local wall-clock hour and minute of `moment` (seconds dropped).
double eventTimeOffset(const QDateTime &moment, const CalendarContext &context);
// The block's height from the elapsed time in whole minutes; never negative, and free to run
// past the end of the day.
double eventHeight(const QDateTime &start, const QDateTime &end);
// "3 AM": made from the hour alone, so a day with a skipped hour still labels every row once.
QString hourLabel(int hour, const QLocale &locale);

// Places concurrent events side by side in a column `width` wide. Events are stably sorted by
// start; each joins the group of the event just before it when the two overlap (touching is
// not overlapping), and a group of k shares the width in k equal parts. The result is in the
// drawing order (later on top).
QList<PositionedEvent> layoutOverlappingEvents(const QList<CalendarEvent> &events, double width);

// The events that start on each local day, stably sorted by start within the day.
QHash<QDate, QList<CalendarEvent>> eventsByStartDay(
    const QList<CalendarEvent> &events, const CalendarContext &context);
// The events that start on `day`, in input order.
QList<CalendarEvent> eventsStartingOn(
    const QList<CalendarEvent> &events, QDate day, const CalendarContext &context);

// The agenda's month: events whose start lies in [first of the month, first of the next month)
// of the local zone, in input order.
QList<CalendarEvent> eventsInMonth(
    const QList<CalendarEvent> &events, QDate month, const CalendarContext &context);
// Days in ascending order, each with its events in time order (stable for equal starts).
std::vector<std::pair<QDate, QList<CalendarEvent>>> groupByDay(
    const QList<CalendarEvent> &events, const CalendarContext &context);

} // namespace tolvo
