#include "services/EventsTimerManager.h"

#include "core/LogCategories.h"
#include "core/Unimplemented.h"

#include <QHash>

namespace tolvo {

namespace {
class EventTimerTable
{
public:
    explicit EventTimerTable(DatabaseClient marks)
        : m_timers(Dependencies::current<std::shared_ptr<TimerScheduler>>())
        , m_marks(std::move(marks))
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
                // lost: it fires at once, unless the meeting has begun or this reminder has come
                // already (shown, dismissed or dropped), in this run or an earlier one.
                if (*event.start <= now || hasCome(event.id, *moment))
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
                slotFired(armed, type);
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

    // The marks of reminders that have come stay: a new list re-arms the same reminders.
    void clear()
    {
        m_timers.clear();
        m_pairs.clear();
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

    void slotFired(const GoogleCalendarEvent &event, EventTimerType type)
    {
        if (type == EventTimerType::notification)
            markCome(event);
        const auto found = m_pairs.find(event.id);
        if (found == m_pairs.end())
            return;
        slotOf(found.value(), type).reset();
        dropIfEmpty(event.id);
    }

    static QString markKey(const QString &eventId, const QDateTime &reminderAt)
    {
        return eventId + QLatin1Char('\n') + QString::number(reminderAt.toMSecsSinceEpoch());
    }

    // Keyed by the moment too: a meeting moved to another time is reminded again.
    bool hasCome(const QString &eventId, const QDateTime &reminderAt) const
    {
        if (m_come.contains(markKey(eventId, reminderAt)))
            return true;
        const auto stored = m_marks.hasReminderMark(eventId, reminderAt);
        if (!stored) {
            qCWarning(lcDb, "A reminder mark could not be read: %s",
                qUtf8Printable(stored.error().describe()));
            return false;
        }
        return *stored;
    }

    void markCome(const GoogleCalendarEvent &event)
    {
        const auto reminderAt = event.reminderMoment();
        if (!reminderAt)
            return;
        const QDateTime now = m_timers.now();
        const ReminderMark mark {event.id, *reminderAt, event.end.value_or(*event.start)};
        for (auto it = m_come.begin(); it != m_come.end();) {
            if (it.value() < now)
                it = m_come.erase(it);
            else
                ++it;
        }
        m_come.insert(markKey(mark.eventId, mark.reminderAt), mark.keepUntil);
        // Unsaved, the mark still holds for this run.
        if (const auto stored = m_marks.storeReminderMark(mark, now); !stored) {
            qCWarning(lcDb, "A reminder mark could not be saved: %s",
                qUtf8Printable(stored.error().describe()));
        }
    }

    void dropIfEmpty(const QString &eventId)
    {
        const auto found = m_pairs.find(eventId);
        if (found != m_pairs.end() && !found->notificationTimer && !found->endTimer)
            m_pairs.erase(found);
    }

    Timers m_timers;
    DatabaseClient m_marks;
    QHash<QString, EventTimerPair> m_pairs;
    // Reminders that have come (markKey -> until when they matter): a later re-arm past the
    // moment stays quiet. The database keeps them across restarts.
    QHash<QString, QDateTime> m_come;
};
} // namespace

EventsTimerManager EventsTimerManager::liveValue()
{
    return keepingMarksIn(Dependencies::current<DatabaseClient>());
}

EventsTimerManager EventsTimerManager::keepingMarksIn(DatabaseClient database)
{
    auto table = std::make_shared<EventTimerTable>(std::move(database));
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
