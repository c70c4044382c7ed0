#include "core/ChangeClassification.h"

namespace tolvo {

GoogleCalendarChange classifyChange(const GoogleCalendarEvent &event)
{
    if (event.status == GoogleCalendarEventStatus::cancelled)
        return GoogleCalendarChange::deleted(event);
    if (event.created == event.updated)
        return GoogleCalendarChange::added(event);
    return GoogleCalendarChange::modified(event);
}

QList<GoogleCalendarChange> classifyChanges(const QList<GoogleCalendarEvent> &events)
{
    QList<GoogleCalendarChange> changes;
    changes.reserve(events.size());
    for (const auto &event : events)
        changes.append(classifyChange(event));
    return changes;
}

} // namespace tolvo
