#pragma once

#include "core/GoogleCalendarEvent.h"
#include "core/SyncRecords.h"
#include "core/TimerScheduler.h"

#include <QDateTime>

#include <functional>
#include <memory>
#include <vector>

namespace tolvo {

// A one-shot wall-clock timer made through a Timers list.
class Timer
{
public:
    QDateTime fireDate() const { return m_fireDate; }
    bool isValid() const { return m_valid; }

private:
    friend class Timers;
    QDateTime m_fireDate;
    TimerScheduler::TimerId m_id = 0;
    bool m_valid = true;
};

using TimerRef = std::shared_ptr<Timer>;

// The owner of a set of timers. A timer leaves the list when it fires, when it is cancelled and
// when the list is cleared; destroying the list cancels whatever is still in it, so no callback
// ever runs after its owner is gone.
class Timers
{
public:
    explicit Timers(std::shared_ptr<TimerScheduler> scheduler
        = Dependencies::current<std::shared_ptr<TimerScheduler>>());
    ~Timers();
    Timers(const Timers &) = delete;
    Timers &operator=(const Timers &) = delete;

    TimerRef schedule(const QDateTime &fireDate, std::function<void()> callback);
    // Invalidates the timer and takes it out of the list; a timer not in the list is untouched.
    void cancel(const TimerRef &timer);
    void clear();

    const std::vector<TimerRef> &timers() const { return m_timers; }
    QDateTime now() const { return m_scheduler->now(); }
    const std::shared_ptr<TimerScheduler> &scheduler() const { return m_scheduler; }

private:
    void fired(const TimerRef &timer);

    std::shared_ptr<TimerScheduler> m_scheduler;
    std::vector<TimerRef> m_timers;
};

// A timer whose handler receives the event it was armed with.
TimerRef makeTimer(const QDateTime &fireDate, const GoogleCalendarEvent &event,
    std::function<void(const GoogleCalendarEvent &)> handler, Timers &target);

// A timer whose handler receives the channel it was armed with (push-channel renewal).
TimerRef makeChannelTimer(const QDateTime &fireDate, const CalendarChannel &channel,
    std::function<void(const CalendarChannel &)> handler, Timers &target);

} // namespace tolvo
