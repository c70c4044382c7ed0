#pragma once

#include "core/CalendarChanges.h"
#include "core/Subject.h"

#include <functional>

namespace tolvo {

// The in-process "google_changed_notification": the main screen posts every update of the sync
// stream here and the meetings list listens, so neither holds the other.
struct SyncBus
{
    static constexpr const char *dependencyKey = "syncBus";

    // Delivered to every direct subscriber before it returns.
    std::function<void(const CalendarSyncUpdate &)> postGoogleChanged;
    Publisher<CalendarSyncUpdate> googleChanged;

    // One bus for the process (a test context builds its own).
    static SyncBus liveValue();
    static SyncBus testValue() { return liveValue(); }
    static SyncBus previewValue() { return liveValue(); }
};

} // namespace tolvo
