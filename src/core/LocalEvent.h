#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolvo {

// A changed occurrence of a local series: an override (RECURRENCE-ID) in the series' file.
struct LocalOccurrence
{
    // The start the occurrence has in the series' rule: its key, also once moved.
    QDateTime recurrenceId;
    QString title;
    QDateTime start;
    QDateTime end;
    std::optional<QString> location;
    std::optional<QString> notes;

    friend bool operator==(const LocalOccurrence &, const LocalOccurrence &) = default;
};

// An event of the local calendar store as plain data. The store (iCalendar files) reads and
// writes these; the sync and the copier pass them around.
struct LocalEvent
{
    QString identifier; // the event's UID within the store
    QString calendarId;
    QString title;
    QDateTime start;
    QDateTime end;
    bool isAllDay = false;
    std::optional<QString> location;
    std::optional<QString> notes;
    std::optional<QString> url;
    // Invalid when the event carries none: the change monitor skips events without a
    // last-modified date and tells added from modified by the creation date.
    QDateTime created;
    QDateTime lastModified;
    // A series: its rules as iCalendar lines ("RRULE:...", "RDATE...", "EXDATE...": a cancelled
    // occurrence is an EXDATE) and its changed occurrences, by recurrence id. Empty for a
    // single event.
    QStringList recurrence;
    QList<LocalOccurrence> overrides;
    // The IANA zone the start's wall time is kept in (a series repeats on it); empty for UTC,
    // floating and all-day times. A save writes the times in this zone when it is given.
    QString timeZone;

    friend bool operator==(const LocalEvent &, const LocalEvent &) = default;
};

} // namespace tolvo
