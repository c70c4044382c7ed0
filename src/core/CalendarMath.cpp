#include "core/CalendarMath.h"

#include "core/DateHelpers.h"

namespace tolvo {

QDate weekStart(QDate day, Qt::DayOfWeek first)
{
    if (!day.isValid())
        return {};
    return day.addDays(-((day.dayOfWeek() - int(first) + 7) % 7));
}

namespace {
QList<QDate> consecutiveDays(QDate from, int count)
{
    QList<QDate> days;
    if (!from.isValid())
        return days;
    days.reserve(count);
    for (int i = 0; i < count; ++i)
        days.append(from.addDays(i));
    return days;
}

QDate firstOfMonth(QDate day)
{
    return QDate(day.year(), day.month(), 1);
}
} // namespace

QList<QDate> weekDays(QDate day, Qt::DayOfWeek first)
{
    return consecutiveDays(weekStart(day, first), 7);
}

QList<QDate> monthGrid42(QDate day, Qt::DayOfWeek first)
{
    if (!day.isValid())
        return {};
    return consecutiveDays(weekStart(firstOfMonth(day), first), 42);
}

QList<QDate> miniMonthDays(QDate day, Qt::DayOfWeek first)
{
    if (!day.isValid())
        return {};
    const QDate start = weekStart(firstOfMonth(day), first);
    const QDate last = QDate(day.year(), day.month(), day.daysInMonth());
    const QDate end = weekStart(last, first).addDays(7);
    return consecutiveDays(start, int(start.daysTo(end)));
}

QStringList weekdaySymbols(const CalendarContext &context, QLocale::FormatType format)
{
    QStringList names;
    for (int i = 0; i < 7; ++i) {
        const int weekday = (int(context.firstDayOfWeek) - 1 + i) % 7 + 1;
        names.append(context.locale.dayName(weekday, format));
    }
    return names;
}

bool isSameMonth(QDate a, QDate b)
{
    return a.isValid() && b.isValid() && a.year() == b.year() && a.month() == b.month();
}

QDate localDate(const QDateTime &moment, const CalendarContext &context)
{
    if (!moment.isValid())
        return {};
    return moment.toTimeZone(context.zone).date();
}

bool isOnLocalDay(const QDateTime &moment, QDate day, const CalendarContext &context)
{
    return day.isValid() && localDate(moment, context) == day;
}

QDateTime startOfLocalDay(QDate day, const CalendarContext &context)
{
    return day.startOfDay(context.zone);
}

std::optional<QDateTime> addLocalMonths(
    const QDateTime &moment, int months, const CalendarContext &context)
{
    if (!moment.isValid())
        return std::nullopt;
    const QDateTime local = moment.toTimeZone(context.zone);
    return resolveLocalTime(local.date().addMonths(months), local.time(), context.zone);
}

std::optional<QDateTime> stepDate(
    CalendarViewType type, const QDateTime &moment, int by, const CalendarContext &context)
{
    if (!moment.isValid())
        return std::nullopt;
    const QDateTime local = moment.toTimeZone(context.zone);
    switch (type) {
    case CalendarViewType::day:
        return resolveLocalTime(local.date().addDays(by), local.time(), context.zone);
    case CalendarViewType::week:
        return resolveLocalTime(local.date().addDays(7 * by), local.time(), context.zone);
    case CalendarViewType::month:
    case CalendarViewType::agenda: return addLocalMonths(moment, by, context);
    }
    return std::nullopt;
}

QString monthTitle(QDate day, const CalendarContext &context)
{
    return context.locale.toString(day, QStringLiteral("MMMM yyyy"));
}

QString headerTitle(CalendarViewType type, const QDateTime &moment, const CalendarContext &context)
{
    const QDate day = localDate(moment, context);
    if (!day.isValid())
        return {};
    switch (type) {
    case CalendarViewType::day: return context.locale.toString(day, QStringLiteral("dddd, MMM d"));
    case CalendarViewType::week: {
        const QDate first = weekStart(day, context.firstDayOfWeek);
        const QDate last = first.addDays(6);
        return context.locale.toString(first, QStringLiteral("MMM d")) + QStringLiteral(" - ")
            + context.locale.toString(last, QStringLiteral("d, yyyy"));
    }
    case CalendarViewType::month:
    case CalendarViewType::agenda: return monthTitle(day, context);
    }
    return {};
}

} // namespace tolvo
