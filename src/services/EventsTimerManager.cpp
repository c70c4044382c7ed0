#include "services/EventsTimerManager.h"

#include "core/Unimplemented.h"

#include <QHash>
#include <QSet>

namespace tolvo {

namespace {
class EventTimerTable
{
public:
    EventTimerTable()
        : m_timers(Dependencies::current<std::shared_ptr<TimerScheduler>>())
    {
    }

    void arm(const GoogleCalendarEvent &event, EventTimerType type,
        const EventsTimerManager::Handler &handler)
    {
        const QDateTime now = m_timers.now();
        QDateTime fireDate;
        if (type == EventTimerType::notification) {
            const auto moment = event.reminderMoment();
            if (!moment)
                return;
            fireDate = *moment;
            if (event.timeToReminder(now) <= 0) {
                // A moment that passed while the machine slept or a reload re-armed is not
                // lost: it fires at once, unless the meeting has begun or its reminder has come
                // already (shown, dismissed or dropped).
                if (*event.start <= now || m_reminded.contains(event.id))
                    return;
                fireDate = now;
            }
        } else {
            if (!event.end || !event.end->isValid() || now.msecsTo(*event.end) <= 0)
                return;
            fireDate = *event.end;
        }

        TimerRef timer = makeTimer(
            fireDate, event,
            [this, type, handler](const GoogleCalendarEvent &armed) {
                slotFired(armed.id, type);
                if (handler)
                    handler(armed);
            },
            m_timers);

        EventTimerPair &pair = m_pairs[event.id];
        TimerRef &slot = slotOf(pair, type);
        // A displaced timer would otherwise still fire at the old moment (an end timer there
        // could delete a moved event), so it goes.
        if (slot)
            m_timers.cancel(slot);
        slot = timer;
    }

    void modify(const GoogleCalendarEvent &event, EventTimerType type,
        const EventsTimerManager::Handler &handler)
    {
        const auto found = m_pairs.find(event.id);
        if (found != m_pairs.end()) {
            TimerRef &slot = slotOf(found.value(), type);
            if (slot) {
                m_timers.cancel(slot);
                slot.reset();
            }
            dropIfEmpty(event.id);
        }
        arm(event, type, handler);
    }

    void remove(const GoogleCalendarEvent &event)
    {
        const auto found = m_pairs.find(event.id);
        if (found == m_pairs.end())
            return;
        m_timers.cancel(found->notificationTimer);
        m_timers.cancel(found->endTimer);
        m_pairs.erase(found);
    }

    void clear()
    {
        m_timers.clear();
        m_pairs.clear();
        m_reminded.clear();
    }

    void freeStanding(const QDateTime &date, const GoogleCalendarEvent &event,
        const EventsTimerManager::Handler &handler)
    {
        makeTimer(date, event, handler, m_timers);
    }

    std::size_t pendingCount() const { return m_timers.timers().size(); }

    std::optional<EventTimerPair> pairOf(const QString &eventId) const
    {
        const auto found = m_pairs.constFind(eventId);
        if (found == m_pairs.constEnd())
            return std::nullopt;
        return found.value();
    }

private:
    static TimerRef &slotOf(EventTimerPair &pair, EventTimerType type)
    {
        return type == EventTimerType::notification ? pair.notificationTimer : pair.endTimer;
    }

    void slotFired(const QString &eventId, EventTimerType type)
    {
        if (type == EventTimerType::notification)
            m_reminded.insert(eventId);
        const auto found = m_pairs.find(eventId);
        if (found == m_pairs.end())
            return;
        slotOf(found.value(), type).reset();
        dropIfEmpty(eventId);
    }

    void dropIfEmpty(const QString &eventId)
    {
        const auto found = m_pairs.find(eventId);
        if (found != m_pairs.end() && !found->notificationTimer && !found->endTimer)
            m_pairs.erase(found);
    }

    Timers m_timers;
    QHash<QString, EventTimerPair> m_pairs;
    // Events whose reminder timer has fired: a later re-arm past the moment stays quiet.
    QSet<QString> m_reminded;
};
} // namespace

EventsTimerManager EventsTimerManager::liveValue()
{
    auto table = std::make_shared<EventTimerTable>();
    EventsTimerManager manager;
    manager.createTimerWithEvent = [table](const GoogleCalendarEvent &event, Handler handler) {
        table->arm(event, EventTimerType::notification, handler);
    };
    manager.createEndTimerWithEvent = [table](const GoogleCalendarEvent &event, Handler handler) {
        table->arm(event, EventTimerType::end, handler);
    };
    manager.modifyTimerWithEvent = [table](const GoogleCalendarEvent &event, EventTimerType type,
                                       Handler handler) { table->modify(event, type, handler); };
    manager.createSnoozeWithEvent
        = [table](const GoogleCalendarEvent &event, const QDateTime &date, Handler handler) {
              table->freeStanding(date, event, handler);
          };
    manager.clearTimers = [table] { table->clear(); };
    manager.removeTimer = [table](const GoogleCalendarEvent &event) { table->remove(event); };
    manager.createTimerWithDate
        = [table](const QDateTime &date, const GoogleCalendarEvent &event, Handler handler) {
              table->freeStanding(date, event, handler);
          };
    manager.pendingTimerCount = [table] { return table->pendingCount(); };
    manager.pair = [table](const QString &eventId) { return table->pairOf(eventId); };
    return manager;
}

EventsTimerManager EventsTimerManager::testValue()
{
    constexpr const char *name = "EventsTimerManager";
    EventsTimerManager manager;
    manager.createTimerWithEvent
        = unimplemented<void(const GoogleCalendarEvent &, Handler)>(name, "createTimerWithEvent");
    manager.createEndTimerWithEvent = unimplemented<void(const GoogleCalendarEvent &, Handler)>(
        name, "createEndTimerWithEvent");
    manager.modifyTimerWithEvent
        = unimplemented<void(const GoogleCalendarEvent &, EventTimerType, Handler)>(
            name, "modifyTimerWithEvent");
    manager.createSnoozeWithEvent
        = unimplemented<void(const GoogleCalendarEvent &, const QDateTime &, Handler)>(
            name, "createSnoozeWithEvent");
    manager.clearTimers = unimplemented<void()>(name, "clearTimers");
    manager.removeTimer = unimplemented<void(const GoogleCalendarEvent &)>(name, "removeTimer");
    manager.createTimerWithDate
        = unimplemented<void(const QDateTime &, const GoogleCalendarEvent &, Handler)>(
            name, "createTimerWithDate");
    manager.pendingTimerCount = unimplemented<std::size_t()>(name, "pendingTimerCount");
    manager.pair = unimplemented<std::optional<EventTimerPair>(const QString &)>(name, "pair");
    return manager;
}

} // namespace tolvo
