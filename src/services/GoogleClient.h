#pragma once

namespace tolvo {

// Google sign-in and the session that signs every Google request.
// Its operations arrive with the work that builds it.
struct GoogleClient
{
    static constexpr const char *dependencyKey = "googleClient";

    static GoogleClient liveValue() { return {}; }
    static GoogleClient testValue() { return {}; }
    static GoogleClient previewValue() { return {}; }
};

} // namespace tolvo
