#pragma once

#include "core/Clock.h"
#include "core/Dependencies.h"

#include <QLocale>
#include <QTimeZone>

namespace tolvo {

// Everything date logic may know about the user's calendar. Logic takes one of these and never
// reads the system zone, locale or clock itself; the application builds it from the system and
// tests build as many as they need. `system()` is the one place that reads the machine's zone
// and locale: a context made field by field starts from UTC, the C locale and Monday, so that a
// field left unset cannot pick up whatever machine the code runs on.
struct CalendarContext
{
    QTimeZone zone = QTimeZone::utc();
    QLocale locale = QLocale::c();
    Qt::DayOfWeek firstDayOfWeek = Qt::Monday;
    Clock clock = systemClock();

    static CalendarContext system()
    {
        const QLocale locale = QLocale::system();
        return {QTimeZone::systemTimeZone(), locale, locale.firstDayOfWeek(), systemClock()};
    }
    QDateTime now() const { return clock(); }
};

// The container's context (key `calendarContext`): the system's in the application; in tests a
// fixed one (UTC, the C locale, weeks from Monday) so that nothing depends on the machine.
template<> struct DependencyTraits<CalendarContext>
{
    static constexpr const char *key = "calendarContext";
    static CalendarContext liveValue() { return CalendarContext::system(); }
    static CalendarContext testValue() { return {}; }
    static CalendarContext previewValue() { return liveValue(); }
};

} // namespace tolvo
