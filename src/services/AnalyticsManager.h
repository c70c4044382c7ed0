#pragma once

namespace tolvo {

// Usage analytics.
// Its operations arrive with the work that builds it.
struct AnalyticsManager
{
    static constexpr const char *dependencyKey = "analyticsManager";

    static AnalyticsManager liveValue() { return {}; }
    static AnalyticsManager testValue() { return {}; }
    static AnalyticsManager previewValue() { return {}; }
};

} // namespace tolvo
