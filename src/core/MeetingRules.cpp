#include "core/MeetingRules.h"

#include <algorithm>
#include <vector>

namespace tolvo {

QDateTime DayRange::startIn(const QTimeZone &zone) const
{
    return first.startOfDay(zone);
}

QDateTime DayRange::endIn(const QTimeZone &zone) const
{
    // The last whole second before the next day starts (a day can be 23 or 25 hours long).
    return last.addDays(1).startOfDay(zone).addSecs(-1);
}

DayRange displayedDays(CalendarViewType view, const QDateTime &date, const CalendarContext &context)
{
    const QDate day = date.toTimeZone(context.zone).date();
    switch (view) {
    case CalendarViewType::day: return {day, day};
    case CalendarViewType::week: {
        // Counting back to the first weekday never goes through week numbers, so the week
        // across a new year is the calendar week, not an ISO week of the other year.
        const int back = (day.dayOfWeek() - int(context.firstDayOfWeek) + 7) % 7;
        const QDate first = day.addDays(-back);
        return {first, first.addDays(6)};
    }
    case CalendarViewType::month:
    case CalendarViewType::agenda: {
        const QDate first(day.year(), day.month(), 1);
        return {first, first.addDays(first.daysInMonth() - 1)};
    }
    }
    return {day, day};
}

DayRange upcomingDays(const CalendarContext &context)
{
    // Reminders may lead by up to four weeks; the set is refreshed each midnight, so it reaches
    // four weeks past the next refresh.
    const QDate today = context.now().toTimeZone(context.zone).date();
    return {today, today.addDays(maxReminderMinutes / (24 * 60))};
}

QDateTime nextLocalMidnight(const QDateTime &now, const QTimeZone &zone)
{
    return now.toTimeZone(zone).date().addDays(1).startOfDay(zone);
}

CalendarListDifference calendarListDifference(
    const QList<GoogleCalendar> &handled, const QList<GoogleCalendar> &wanted)
{
    // A longest common subsequence of ids stays; everything else leaves or comes in.
    const qsizetype n = handled.size();
    const qsizetype m = wanted.size();
    std::vector<std::vector<int>> common(n + 1, std::vector<int>(m + 1, 0));
    for (qsizetype i = n - 1; i >= 0; --i) {
        for (qsizetype j = m - 1; j >= 0; --j) {
            common[i][j] = handled[i].id == wanted[j].id
                ? common[i + 1][j + 1] + 1
                : std::max(common[i + 1][j], common[i][j + 1]);
        }
    }
    CalendarListDifference difference;
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && handled[i].id == wanted[j].id) {
            ++i;
            ++j;
        } else if (j == m || (i < n && common[i + 1][j] >= common[i][j + 1])) {
            difference.removed.append(handled[i++].id);
        } else {
            difference.inserted.append(wanted[j++].id);
        }
    }
    return difference;
}

QList<GoogleCalendarEvent> sortedByStart(QList<GoogleCalendarEvent> events, const QDateTime &now)
{
    std::stable_sort(events.begin(), events.end(),
        [&now](const GoogleCalendarEvent &a, const GoogleCalendarEvent &b) {
            return a.start.value_or(now) < b.start.value_or(now);
        });
    return events;
}

QString notificationDateText(
    const GoogleCalendarEvent &event, const QDateTime &now, const AppDateFormatter &formatter)
{
    const QDateTime start = event.start.value_or(now);
    QString text = formatter.date(start) + QStringLiteral(" at ") + formatter.time(start);
    if (event.end)
        text += QStringLiteral(" - ") + formatter.time(*event.end);
    return text;
}

bool canWriteCalendar(const std::optional<QString> &accessRole)
{
    return accessRole == QStringLiteral("owner") || accessRole == QStringLiteral("writer");
}

bool isInstanceOfSeries(const QString &listedId, const QString &seriesId)
{
    return !seriesId.isEmpty() && listedId.size() > seriesId.size() + 1
        && listedId.startsWith(seriesId) && listedId.at(seriesId.size()) == QLatin1Char('_');
}

} // namespace tolvo
