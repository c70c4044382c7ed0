#pragma once

#include "core/GoogleCalendarEvent.h"
#include "core/Timers.h"
#include "services/DatabaseClient.h"

#include <QDateTime>

#include <functional>
#include <memory>

namespace tolvo {

enum class EventTimerType { notification, end };

struct EventTimerPair
{
    TimerRef notificationTimer;
    TimerRef endTimer;
};

// Arms, re-arms and cancels each event's reminder and end timers (at most one of each per
// event, keyed by the Google event id) and the free-standing snooze timers. Main thread only.
struct EventsTimerManager
{
    static constexpr const char *dependencyKey = "eventsTimerManager";

    using Handler = std::function<void(const GoogleCalendarEvent &)>;

    // Reminder at start minus reminderMinutes; nothing without a start. A moment that has
    // passed fires at once while the event has not started and the reminder for that moment
    // has not fired yet (marks kept in the database until the event ends, so also not in an
    // earlier run); otherwise nothing is armed. Re-arming replaces (and cancels) the event's
    // previous reminder timer.
    std::function<void(const GoogleCalendarEvent &, Handler)> createTimerWithEvent;
    // End timer at the event's end; nothing without an end or when it is not in the future.
    std::function<void(const GoogleCalendarEvent &, Handler)> createEndTimerWithEvent;
    // Cancels the slot's timer, then arms anew.
    std::function<void(const GoogleCalendarEvent &, EventTimerType, Handler)> modifyTimerWithEvent;
    std::function<void(const GoogleCalendarEvent &, const QDateTime &, Handler)>
        createSnoozeWithEvent;
    std::function<void()> clearTimers;
    // Cancels the event's reminder and end timers; snooze timers stay.
    std::function<void(const GoogleCalendarEvent &)> removeTimer;
    std::function<void(const QDateTime &, const GoogleCalendarEvent &, Handler)>
        createTimerWithDate;

    // For tests and diagnostics: the number of timers alive in the service's list, and the
    // event's pair.
    std::function<std::size_t()> pendingTimerCount;
    std::function<std::optional<EventTimerPair>(const QString &eventId)> pair;

    // Timers run on the container's TimerScheduler (tests that want working timers use it over
    // a scheduler on a fake clock); the marks of reminders that came go to the container's
    // DatabaseClient.
    static EventsTimerManager liveValue();
    static EventsTimerManager keepingMarksIn(DatabaseClient database);
    static EventsTimerManager testValue();
    static EventsTimerManager previewValue() { return liveValue(); }
};

} // namespace tolvo
