#include "core/TimerScheduler.h"

#include "core/OneShot.h"

#include <QCoro/QCoroSignal>
#include <QScopeGuard>

#include <algorithm>
#include <vector>

namespace tolvo {

TimerScheduler::TimerScheduler(Clock clock, QObject *parent)
    : QObject(parent)
    , m_clock(std::move(clock))
{
    m_wakeUp.setSingleShot(true);
    m_wakeUp.setTimerType(Qt::PreciseTimer);
    connect(&m_wakeUp, &QTimer::timeout, this, &TimerScheduler::checkNow);
}

TimerScheduler::TimerId TimerScheduler::schedule(
    const QDateTime &deadline, std::function<void()> callback)
{
    const TimerId id = m_nextId++;
    m_entries.emplace(id, Entry {deadline, std::move(callback)});
    rearm();
    return id;
}

bool TimerScheduler::cancel(TimerId id)
{
    const bool removed = m_entries.erase(id) > 0;
    if (removed)
        rearm();
    return removed;
}

bool TimerScheduler::isScheduled(TimerId id) const
{
    return m_entries.contains(id);
}

void TimerScheduler::checkNow()
{
    const QDateTime now = m_clock();
    std::vector<std::pair<QDateTime, TimerId>> due;
    for (const auto &[id, entry] : m_entries) {
        if (entry.deadline <= now)
            due.emplace_back(entry.deadline, id);
    }
    std::sort(due.begin(), due.end());
    for (const auto &[deadline, id] : due) {
        // An earlier callback may have cancelled this one.
        auto found = m_entries.find(id);
        if (found == m_entries.end())
            continue;
        auto callback = std::move(found->second.callback);
        m_entries.erase(found);
        if (callback)
            callback();
    }
    rearm();
}

std::chrono::milliseconds TimerScheduler::currentWait() const
{
    if (!m_wakeUp.isActive())
        return std::chrono::milliseconds::max();
    return std::chrono::milliseconds(m_wakeUp.interval());
}

QDateTime TimerScheduler::nextDeadline() const
{
    QDateTime nearest;
    for (const auto &[id, entry] : m_entries) {
        if (!nearest.isValid() || entry.deadline < nearest)
            nearest = entry.deadline;
    }
    return nearest;
}

void TimerScheduler::rearm()
{
    if (m_entries.empty()) {
        m_wakeUp.stop();
        return;
    }
    const QDateTime nearest = nextDeadline();
    const qint64 untilNearest = std::max<qint64>(0, m_clock().msecsTo(nearest));
    const auto wait = std::min<qint64>(untilNearest, maximumWait.count());
    m_wakeUp.start(static_cast<int>(wait));
}

QCoro::Task<VoidResult> sleepFor(std::shared_ptr<TimerScheduler> scheduler,
    std::chrono::milliseconds duration, CancelToken token)
{
    if (token.isCancelled())
        co_return failure(Error::cancellation());
    // The waiter is owned by this frame, and the timer goes with the frame, so nothing can
    // resume us after it is gone.
    OneShot done;
    const TimerScheduler::TimerId id = scheduler->schedule(
        scheduler->now().addMSecs(duration.count()), [&done] { done.fire(); });
    const auto disarm = qScopeGuard([&scheduler, id] { scheduler->cancel(id); });
    QObject::connect(token.state(), &CancelState::cancelled, &done, &OneShot::fire);
    co_await qCoro(&done, &OneShot::fired);
    if (token.isCancelled())
        co_return failure(Error::cancellation());
    co_return VoidResult {};
}

} // namespace tolvo
