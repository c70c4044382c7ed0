#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace tolvo {

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

    friend bool operator==(const LocalEvent &, const LocalEvent &) = default;
};

} // namespace tolvo
