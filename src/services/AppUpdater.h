#pragma once

namespace tolvo {

// Update checks.
// Its operations arrive with the work that builds it.
struct AppUpdater
{
    static constexpr const char *dependencyKey = "appUpdater";

    static AppUpdater liveValue() { return {}; }
    static AppUpdater testValue() { return {}; }
    static AppUpdater previewValue() { return {}; }
};

} // namespace tolvo
