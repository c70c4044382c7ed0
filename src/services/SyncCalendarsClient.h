#pragma once

namespace tolvo {

// Copies Google changes into the chosen local calendar.
// Its operations arrive with the work that builds it.
struct SyncCalendarsClient
{
    static constexpr const char *dependencyKey = "syncCalendarsClient";

    static SyncCalendarsClient liveValue() { return {}; }
    static SyncCalendarsClient testValue() { return {}; }
    static SyncCalendarsClient previewValue() { return {}; }
};

} // namespace tolvo
