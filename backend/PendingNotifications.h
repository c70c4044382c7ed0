#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tolvo::backend {

// Notifications for stream names that nobody listens to right now, e.g. while a listener is
// reconnecting. One line per name is enough: a listener fetches everything since its last look
// on any line. Anyone can post well-formed names, so both age and count are bounded.
class PendingNotifications
{
public:
    using Clock = std::chrono::steady_clock;

    PendingNotifications(std::chrono::milliseconds lifetime, std::size_t maxNames);

    // Keeps `line` for `name`, replacing an older one and restarting its lifetime. Returns
    // true when the oldest name had to be dropped to make room.
    bool remember(const std::string &name, std::string line, Clock::time_point now);

    // The line waiting for `name`, at most once, unless it has expired.
    std::optional<std::string> take(const std::string &name, Clock::time_point now);

    void dropExpired(Clock::time_point now);

    // Every line still kept, oldest first, leaving none.
    std::vector<std::pair<std::string, std::string>> takeAll();

    std::size_t size() const { return m_byName.size(); }

private:
    struct Entry
    {
        std::string name;
        std::string line;
        Clock::time_point expiry;
    };

    std::chrono::milliseconds m_lifetime;
    std::size_t m_maxNames;
    // Oldest first; every entry has the same lifetime, so this is also expiry order.
    std::list<Entry> m_entries;
    std::unordered_map<std::string, std::list<Entry>::iterator> m_byName;
};

} // namespace tolvo::backend
