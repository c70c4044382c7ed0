#include "core/Snooze.h"

#include <QDebug>

namespace tolvo {

std::optional<QDateTime> snoozeMoment(
    SnoozeTime choice, const GoogleCalendarEvent &event, const QDateTime &now)
{
    const QDateTime start = event.start.value_or(now);
    QDateTime moment;
    switch (choice) {
    case SnoozeTime::minute: moment = now.addSecs(60); break;
    case SnoozeTime::fiveMinutes: moment = now.addSecs(300); break;
    case SnoozeTime::untilEvent: moment = start; break;
    case SnoozeTime::notDefined:
        qWarning("Ignored a snooze without a chosen time.");
        return std::nullopt;
    }
    if (start < moment)
        return std::nullopt;
    return moment;
}

} // namespace tolvo
