#pragma once

namespace tolvo {

// Error logging through the crash reporter.
// Its operations arrive with the work that builds it.
struct LoggerClient
{
    static constexpr const char *dependencyKey = "loggerClient";

    static LoggerClient liveValue() { return {}; }
    static LoggerClient testValue() { return {}; }
    static LoggerClient previewValue() { return {}; }
};

} // namespace tolvo
