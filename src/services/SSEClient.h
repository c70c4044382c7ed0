#pragma once

namespace tolvo {

// A standalone reader of the backend's event streams.
// Its operations arrive with the work that builds it.
struct SSEClient
{
    static constexpr const char *dependencyKey = "sseClient";

    static SSEClient liveValue() { return {}; }
    static SSEClient testValue() { return {}; }
    static SSEClient previewValue() { return {}; }
};

} // namespace tolvo
