#pragma once

#include "FakeClock.h"
#include "core/CalendarContext.h"

namespace tolvo::test {

// The three calendars the date tests run in, side by side in one process: a Sunday-first one
// west of UTC, a Monday-first one east of it, and a Saturday-first one.
inline CalendarContext calendarContext(const char *locale, const char *zone, const FakeClock &clock)
{
    CalendarContext context;
    context.locale = QLocale(QString::fromLatin1(locale));
    context.zone = QTimeZone(QByteArray(zone));
    context.firstDayOfWeek = context.locale.firstDayOfWeek();
    context.clock = clock.clock();
    return context;
}

inline CalendarContext newYork(const FakeClock &clock = FakeClock())
{
    return calendarContext("en_US", "America/New_York", clock);
}
inline CalendarContext berlin(const FakeClock &clock = FakeClock())
{
    return calendarContext("de_DE", "Europe/Berlin", clock);
}
inline CalendarContext cairo(const FakeClock &clock = FakeClock())
{
    return calendarContext("ar_EG", "Africa/Cairo", clock);
}

} // namespace tolvo::test
