#pragma once

namespace tolvo {

// The live sync engine: push channels, event streams, classified changes.
// Its operations arrive with the work that builds it.
struct GoogleCalendarSyncClient
{
    static constexpr const char *dependencyKey = "calendarSyncClient";

    static GoogleCalendarSyncClient liveValue() { return {}; }
    static GoogleCalendarSyncClient testValue() { return {}; }
    static GoogleCalendarSyncClient previewValue() { return {}; }
};

} // namespace tolvo
