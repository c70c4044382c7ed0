#pragma once

#include "core/GoogleCalendar.h"
#include "core/GoogleCalendarEvent.h"
#include "core/Subject.h"

#include <QList>

#include <functional>

namespace tolvo {

// In-memory caches that let screens share the followed calendars (and an event list) without
// holding each other. Nothing is persisted and nothing is cleared at sign-out.
struct CacheManager
{
    static constexpr const char *dependencyKey = "cacheManager";

    // Replaces the list and announces it to every subscriber before returning, on the caller's
    // thread, while the cache's (recursive) lock is held.
    std::function<void(const QList<GoogleCalendar> &)> storeCalendars;
    // Replaces the first event with the same Google id, or appends.
    std::function<void(const GoogleCalendarEvent &)> storeEvent;
    std::function<QList<GoogleCalendar>()> calendars;
    std::function<QList<GoogleCalendarEvent>()> events;
    // Every list stored after subscribing; no initial value; never finishes.
    Publisher<QList<GoogleCalendar>> listenCalendarChanges;

    // In memory: tests that want a working cache use it too.
    static CacheManager liveValue();
    static CacheManager testValue();
    static CacheManager previewValue() { return liveValue(); }
};

} // namespace tolvo
