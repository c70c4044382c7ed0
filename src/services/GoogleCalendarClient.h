#pragma once

namespace tolvo {

// The Google Calendar REST operations.
// Its operations arrive with the work that builds it.
struct GoogleCalendarClient
{
    static constexpr const char *dependencyKey = "googleCalendarClient";

    static GoogleCalendarClient liveValue() { return {}; }
    static GoogleCalendarClient testValue() { return {}; }
    static GoogleCalendarClient previewValue() { return {}; }
};

} // namespace tolvo
