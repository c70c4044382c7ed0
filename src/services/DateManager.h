#pragma once

#include "core/Subject.h"

#include <QDateTime>

#include <functional>

namespace tolvo {

// The date the user selected in the calendar, shared by every screen. Safe to call from any
// thread.
struct DateManager
{
    static constexpr const char *dependencyKey = "dateManager";

    // Delivered to every subscriber (direct ones before this returns); equal dates are
    // delivered again.
    std::function<void(const QDateTime &)> selectDate;
    std::function<QDateTime()> selectedDate;
    // The current date at once (queued subscribers get it later, from their event loop), then
    // every later selection.
    std::function<Publisher<QDateTime>()> listenDateSelection;

    // Starts at `date`; tests that want a working date selection use it.
    static DateManager startingAt(const QDateTime &date);
    // Starts at the moment of the system clock.
    static DateManager liveValue();
    static DateManager testValue();
    static DateManager previewValue() { return liveValue(); }
};

} // namespace tolvo
