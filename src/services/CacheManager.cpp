#include "services/CacheManager.h"

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
    CacheManager cache;
    cache.storeCalendars = [](const QList<GoogleCalendar> &) {};
    cache.storeEvent = [](const GoogleCalendarEvent &) {};
    cache.calendars = [] { return QList<GoogleCalendar>(); };
    cache.events = [] { return QList<GoogleCalendarEvent>(); };
    cache.listenCalendarChanges = Publisher<QList<GoogleCalendar>>::just({QList<GoogleCalendar>()});
    return cache;
}

} // namespace tolvo
