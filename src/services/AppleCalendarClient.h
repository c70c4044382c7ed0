#pragma once

namespace tolvo {

// Access to the local calendar store and its change monitor.
// Its operations arrive with the work that builds it.
struct AppleCalendarClient
{
    static constexpr const char *dependencyKey = "appleCalendarClient";

    static AppleCalendarClient liveValue() { return {}; }
    static AppleCalendarClient testValue() { return {}; }
    static AppleCalendarClient previewValue() { return {}; }
};

} // namespace tolvo
