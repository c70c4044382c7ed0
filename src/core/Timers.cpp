#include "core/Timers.h"

#include <algorithm>

namespace tolvo {

Timers::Timers(std::shared_ptr<TimerScheduler> scheduler)
    : m_scheduler(std::move(scheduler))
{
}

Timers::~Timers()
{
    clear();
}

TimerRef Timers::schedule(const QDateTime &fireDate, std::function<void()> callback)
{
    auto timer = std::make_shared<Timer>();
    timer->m_fireDate = fireDate;
    std::weak_ptr<Timer> weakTimer = timer;
    timer->m_id
        = m_scheduler->schedule(fireDate, [this, weakTimer, callback = std::move(callback)] {
              // The scheduler never calls back after cancel(), and ~Timers cancels everything, so
              // `this` is alive here.
              if (auto firing = weakTimer.lock())
                  fired(firing);
              callback();
          });
    m_timers.push_back(timer);
    return timer;
}

void Timers::fired(const TimerRef &timer)
{
    timer->m_valid = false;
    std::erase(m_timers, timer);
}

void Timers::cancel(const TimerRef &timer)
{
    if (!timer)
        return;
    const auto found = std::find(m_timers.begin(), m_timers.end(), timer);
    if (found == m_timers.end())
        return;
    timer->m_valid = false;
    m_scheduler->cancel(timer->m_id);
    std::erase(m_timers, timer);
}

void Timers::clear()
{
    auto timers = std::move(m_timers);
    m_timers.clear();
    for (const auto &timer : timers) {
        timer->m_valid = false;
        m_scheduler->cancel(timer->m_id);
    }
}

TimerRef makeTimer(const QDateTime &fireDate, const GoogleCalendarEvent &event,
    std::function<void(const GoogleCalendarEvent &)> handler, Timers &target)
{
    return target.schedule(fireDate, [event, handler = std::move(handler)] {
        if (handler)
            handler(event);
    });
}

TimerRef makeChannelTimer(const QDateTime &fireDate, const CalendarChannel &channel,
    std::function<void(const CalendarChannel &)> handler, Timers &target)
{
    return target.schedule(fireDate, [channel, handler = std::move(handler)] {
        if (handler)
            handler(channel);
    });
}

} // namespace tolvo
