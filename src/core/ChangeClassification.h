#pragma once

#include "core/CalendarChanges.h"

#include <QList>

namespace tolvo {

// What happened to an event found by an incremental fetch: cancelled means deleted; created
// equal to updated (both absent counts as equal) means added; anything else means modified.
GoogleCalendarChange classifyChange(const GoogleCalendarEvent &event);
QList<GoogleCalendarChange> classifyChanges(const QList<GoogleCalendarEvent> &events);

} // namespace tolvo
