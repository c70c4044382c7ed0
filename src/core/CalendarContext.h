#pragma once

#include "core/Clock.h"
#include "core/Dependencies.h"

#include <QLocale>
#include <QTimeZone>

namespace tolvo {

// Everything date logic may know about the user's calendar. Logic takes one of these and never
// reads the system zone, locale or clock itself; the application builds it from the system and
// tests build as many as they need.
struct CalendarContext
{
    QTimeZone zone = QTimeZone::systemTimeZone();
    QLocale locale = QLocale::system();
    Qt::DayOfWeek firstDayOfWeek = QLocale::system().firstDayOfWeek();
    Clock clock = systemClock();

    static CalendarContext system() { return {}; }
    QDateTime now() const { return clock(); }
};

// The container's context (key `calendarContext`): the system's in the application; in tests a
// fixed one (UTC, the C locale, weeks from Monday) so that nothing depends on the machine.
template<> struct DependencyTraits<CalendarContext>
{
    static constexpr const char *key = "calendarContext";
    static CalendarContext liveValue() { return CalendarContext::system(); }
    static CalendarContext testValue()
    {
        return {QTimeZone::utc(), QLocale::c(), Qt::Monday, systemClock()};
    }
    static CalendarContext previewValue() { return liveValue(); }
};

} // namespace tolvo
