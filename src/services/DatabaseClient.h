#pragma once

namespace tolvo {

// The SQLite store of push channels and event mappings.
// Its operations arrive with the work that builds it.
struct DatabaseClient
{
    static constexpr const char *dependencyKey = "databaseClient";

    static DatabaseClient liveValue() { return {}; }
    static DatabaseClient testValue() { return {}; }
    static DatabaseClient previewValue() { return {}; }
};

} // namespace tolvo
