#pragma once

#include "core/GoogleCalendarEvent.h"
#include "core/Requests.h"

#include <QDateTime>

#include <optional>

namespace tolvo {

// When a snoozed reminder comes back: a minute or five minutes after `now`, or at the event's
// start (`now` without one). Nothing when that moment would be after the start, or for
// `notDefined`, which no reminder reports and which is logged and ignored if it ever arrives.
std::optional<QDateTime> snoozeMoment(
    SnoozeTime choice, const GoogleCalendarEvent &event, const QDateTime &now);

} // namespace tolvo
