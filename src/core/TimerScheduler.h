#pragma once

#include "core/CancelToken.h"
#include "core/Clock.h"
#include "core/Dependencies.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace tolvo {

// Fires callbacks at wall-clock dates. One precise QTimer is armed to the nearest deadline but
// never for longer than the re-check period; each wake compares the deadlines with the clock.
// So intervals beyond QTimer's 24.8-day limit, clock changes and machine suspend all end with
// the callback at (or just after) its date, never before it.
class TimerScheduler : public QObject
{
    Q_OBJECT
public:
    using TimerId = std::uint64_t;

    static constexpr std::chrono::milliseconds maximumWait {30'000};

    explicit TimerScheduler(Clock clock = systemClock(), QObject *parent = nullptr);

    // The callback runs on this object's thread once the clock reaches deadline.
    TimerId schedule(const QDateTime &deadline, std::function<void()> callback);
    // False when the timer already fired or was cancelled.
    bool cancel(TimerId id);
    bool isScheduled(TimerId id) const;
    std::size_t pendingCount() const { return m_entries.size(); }
    // The nearest deadline (an invalid date when nothing is pending).
    QDateTime nextDeadline() const;

    QDateTime now() const { return m_clock(); }

    // Fires every due timer, in deadline order, then re-arms. The wake-up timer calls it; a
    // test calls it after moving a fake clock.
    void checkNow();

    // How long the wake-up timer waits now, for tests and diagnostics.
    std::chrono::milliseconds currentWait() const;

private:
    void rearm();

    struct Entry
    {
        QDateTime deadline;
        std::function<void()> callback;
    };

    Clock m_clock;
    QTimer m_wakeUp;
    TimerId m_nextId = 1;
    std::map<TimerId, Entry> m_entries;
};

// A pause measured on the scheduler's clock, so that a fake clock drives it like any other
// timer. It ends early, with the cancellation error, when the token is cancelled.
QCoro::Task<VoidResult> sleepFor(std::shared_ptr<TimerScheduler> scheduler,
    std::chrono::milliseconds duration, CancelToken token);

template<> struct DependencyTraits<std::shared_ptr<TimerScheduler>>
{
    static constexpr const char *key = "timerScheduler";
    static std::shared_ptr<TimerScheduler> liveValue()
    {
        return std::make_shared<TimerScheduler>();
    }
    static std::shared_ptr<TimerScheduler> testValue() { return liveValue(); }
    static std::shared_ptr<TimerScheduler> previewValue() { return liveValue(); }
};

} // namespace tolvo
