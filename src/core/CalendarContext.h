#pragma once

#include "core/Clock.h"

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

} // namespace tolvo
