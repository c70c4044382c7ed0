#include "services/CacheManager.h"

#include "core/Unimplemented.h"

#include <QRecursiveMutex>

#include <memory>

namespace tolvo {

namespace {
struct CacheState
{
    QRecursiveMutex calendarsLock;
    QList<GoogleCalendar> calendars;
    QRecursiveMutex eventsLock;
    QList<GoogleCalendarEvent> events;
    std::shared_ptr<Subject<QList<GoogleCalendar>>> calendarChanges
        = Subject<QList<GoogleCalendar>>::passthrough();
};
} // namespace

CacheManager CacheManager::liveValue()
{
    auto state = std::make_shared<CacheState>();
    CacheManager cache;
    cache.storeCalendars = [state](const QList<GoogleCalendar> &list) {
        QMutexLocker lock(&state->calendarsLock);
        state->calendars = list;
        state->calendarChanges->send(list);
    };
    cache.storeEvent = [state](const GoogleCalendarEvent &event) {
        QMutexLocker lock(&state->eventsLock);
        for (auto &stored : state->events) {
            if (stored.id == event.id) {
                stored = event;
                return;
            }
        }
        state->events.append(event);
    };
    cache.calendars = [state] {
        QMutexLocker lock(&state->calendarsLock);
        return state->calendars;
    };
    cache.events = [state] {
        QMutexLocker lock(&state->eventsLock);
        return state->events;
    };
    // Subscribing through the shared state keeps the subject alive as long as the value.
    cache.listenCalendarChanges
        = Publisher<QList<GoogleCalendar>>([state](Subscriber<QList<GoogleCalendar>> subscriber) {
              return state->calendarChanges->subscribe(std::move(subscriber));
          });
    return cache;
}

CacheManager CacheManager::testValue()
{
    constexpr const char *name = "CacheManager";
    CacheManager cache;
    cache.storeCalendars
        = unimplemented<void(const QList<GoogleCalendar> &)>(name, "storeCalendars");
    cache.storeEvent = unimplemented<void(const GoogleCalendarEvent &)>(name, "storeEvent");
    cache.calendars = unimplemented<QList<GoogleCalendar>()>(name, "calendars");
    cache.events = unimplemented<QList<GoogleCalendarEvent>()>(name, "events");
    cache.listenCalendarChanges
        = unimplementedPublisher<QList<GoogleCalendar>>(name, "listenCalendarChanges");
    return cache;
}

} // namespace tolvo
