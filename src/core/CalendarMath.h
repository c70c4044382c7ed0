#pragma once

#include "core/CalendarContext.h"
#include "core/Requests.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolvo {

// Calendar arithmetic of the calendar screen and the pickers. Days are QDates; a day becomes an
// instant only through startOfLocalDay, so days whose midnight does not exist still work.

// The first day of the week (starting on `first`) that contains `day`.
QDate weekStart(QDate day, Qt::DayOfWeek first);
// The seven days of that week, in order.
QList<QDate> weekDays(QDate day, Qt::DayOfWeek first);
// The month view's fixed six weeks: 42 days from the week start of the month's 1st.
QList<QDate> monthGrid42(QDate day, Qt::DayOfWeek first);
// The mini month's days: whole weeks from the week of the month's 1st to the week of its last
// day, so 28, 35 or 42 days.
QList<QDate> miniMonthDays(QDate day, Qt::DayOfWeek first);
// Weekday names in week order, starting on the context's first weekday.
QStringList weekdaySymbols(const CalendarContext &context, QLocale::FormatType format);

bool isSameMonth(QDate a, QDate b);
// The calendar day that `moment` falls on in the context's zone.
QDate localDate(const QDateTime &moment, const CalendarContext &context);
bool isOnLocalDay(const QDateTime &moment, QDate day, const CalendarContext &context);
// The first instant of `day` in the context's zone (01:00 where midnight is skipped).
QDateTime startOfLocalDay(QDate day, const CalendarContext &context);
// `moment` moved by whole months in local time, its time of day kept (moved past a gap, or the
// first of a repeated hour). The day is clamped to the month's length (Jan 31 + 1 = Feb 28).
std::optional<QDateTime> addLocalMonths(
    const QDateTime &moment, int months, const CalendarContext &context);

// One step of the header's chevrons: a day, a week or a month; the agenda steps by month.
std::optional<QDateTime> stepDate(
    CalendarViewType type, const QDateTime &moment, int by, const CalendarContext &context);
// The header's title for the view type: "Friday, Jan 10", "Dec 28 - 3, 2026" (the year of the
// week's last day), "January 2025".
QString headerTitle(CalendarViewType type, const QDateTime &moment, const CalendarContext &context);
// "January 2027": the calendar year, never the week-based one.
QString monthTitle(QDate day, const CalendarContext &context);

} // namespace tolvo
