#pragma once

#include <QString>

#include <optional>

namespace tolvo {

// Where a local calendar's events live: only on this machine, or synchronised with a CalDAV
// server by another tool. Onboarding and settings offer only these two kinds.
enum class LocalCalendarSource { local, calDAV, other };

inline QString rawValue(LocalCalendarSource source)
{
    switch (source) {
    case LocalCalendarSource::local: return QStringLiteral("local");
    case LocalCalendarSource::calDAV: return QStringLiteral("caldav");
    case LocalCalendarSource::other: return QStringLiteral("other");
    }
    return QStringLiteral("other");
}

// A calendar of the local calendar store.
struct LocalCalendar
{
    QString identifier;
    QString title;
    QString color; // "#RRGGBB", or empty when the calendar has none
    LocalCalendarSource source = LocalCalendarSource::local;

    friend bool operator==(const LocalCalendar &, const LocalCalendar &) = default;
};

} // namespace tolvo
