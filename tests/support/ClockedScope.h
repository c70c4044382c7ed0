#pragma once

#include "FakeClock.h"
#include "core/Dependencies.h"
#include "core/TimerScheduler.h"

#include <QDateTime>

#include <memory>

namespace tolvo::test {

// A dependency scope whose timers run on a fake clock, for tests that drive the real engine:
// the scheduler and the calendar context (UTC, the C locale, weeks from Monday) read `clock`,
// which starts at the real now to the whole second (as Google's times are). Time moves only
// through advanceTo; nothing sleeps.
class ClockedScope
{
public:
    ClockedScope();

    // A new scope over a new scheduler (the one before ends first); the caller adds the rest of
    // its services to it. The clock stays where it is, as it does across a restart.
    DependencyScope &open();
    // Ends the scope and its scheduler; the clock stays.
    void close();
    bool isOpen() const { return bool(m_scope); }

    // Moves the clock and lets every timer that is due by then fire.
    void advanceTo(const QDateTime &moment);
    QDateTime now() const { return clock.now(); }

    FakeClock clock;
    const std::shared_ptr<TimerScheduler> &scheduler() const { return m_scheduler; }

private:
    std::shared_ptr<TimerScheduler> m_scheduler;
    std::unique_ptr<DependencyScope> m_scope;
};

} // namespace tolvo::test
