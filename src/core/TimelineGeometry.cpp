#include "core/TimelineGeometry.h"

#include "core/CalendarMath.h"

#include <algorithm>

namespace tolvo {

double eventTimeOffset(const QDateTime &moment, const CalendarContext &context)
{
    if (!moment.isValid())
        return 0;
    const QTime wall = moment.toTimeZone(context.zone).time();
    return wall.hour() * hourHeight + wall.minute() / 60.0 * hourHeight;
}

double eventHeight(const QDateTime &start, const QDateTime &end)
{
    if (!start.isValid() || !end.isValid())
        return 0;
    const qint64 minutes = start.secsTo(end) / 60;
    return minutes <= 0 ? 0 : double(minutes) / 60.0 * hourHeight;
}

QString hourLabel(int hour, const QLocale &locale)
{
    return locale.toString(QTime(hour, 0), QStringLiteral("h AP"));
}

namespace {
QList<CalendarEvent> sortedByStart(QList<CalendarEvent> events)
{
    std::stable_sort(events.begin(), events.end(),
        [](const CalendarEvent &a, const CalendarEvent &b) { return a.startDate < b.startDate; });
    return events;
}
} // namespace

QList<PositionedEvent> layoutOverlappingEvents(const QList<CalendarEvent> &events, double width)
{
    const QList<CalendarEvent> sorted = sortedByStart(events);
    QList<PositionedEvent> positioned;
    positioned.reserve(sorted.size());
    qsizetype groupBegin = 0;
    const auto closeGroup = [&](qsizetype end) {
        const qsizetype count = end - groupBegin;
        for (qsizetype j = 0; j < count; ++j) {
            PositionedEvent &entry = positioned[groupBegin + j];
            entry.width = width / double(count);
            entry.xOffset = double(j) * width / double(count);
        }
        groupBegin = end;
    };
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        const CalendarEvent &event = sorted[i];
        if (i > 0) {
            const CalendarEvent &previous = sorted[i - 1];
            const bool overlaps
                = previous.startDate < event.endDate && previous.endDate > event.startDate;
            if (!overlaps)
                closeGroup(i);
        }
        positioned.append({event, 0, 0});
    }
    closeGroup(positioned.size());
    return positioned;
}

QHash<QDate, QList<CalendarEvent>> eventsByStartDay(
    const QList<CalendarEvent> &events, const CalendarContext &context)
{
    QHash<QDate, QList<CalendarEvent>> days;
    for (const CalendarEvent &event : sortedByStart(events))
        days[localDate(event.startDate, context)].append(event);
    days.remove(QDate());
    return days;
}

QList<CalendarEvent> eventsStartingOn(
    const QList<CalendarEvent> &events, QDate day, const CalendarContext &context)
{
    QList<CalendarEvent> result;
    for (const CalendarEvent &event : events) {
        if (isOnLocalDay(event.startDate, day, context))
            result.append(event);
    }
    return result;
}

QList<CalendarEvent> eventsInMonth(
    const QList<CalendarEvent> &events, QDate month, const CalendarContext &context)
{
    QList<CalendarEvent> result;
    if (!month.isValid())
        return result;
    const QDate first(month.year(), month.month(), 1);
    const QDateTime begin = startOfLocalDay(first, context);
    const QDateTime end = startOfLocalDay(first.addMonths(1), context);
    for (const CalendarEvent &event : events) {
        if (event.startDate >= begin && event.startDate < end)
            result.append(event);
    }
    return result;
}

std::vector<std::pair<QDate, QList<CalendarEvent>>> groupByDay(
    const QList<CalendarEvent> &events, const CalendarContext &context)
{
    const QHash<QDate, QList<CalendarEvent>> days = eventsByStartDay(events, context);
    std::vector<std::pair<QDate, QList<CalendarEvent>>> grouped;
    grouped.reserve(size_t(days.size()));
    for (auto it = days.cbegin(); it != days.cend(); ++it)
        grouped.emplace_back(it.key(), it.value());
    std::sort(grouped.begin(), grouped.end(),
        [](const auto &a, const auto &b) { return a.first < b.first; });
    return grouped;
}

} // namespace tolvo
