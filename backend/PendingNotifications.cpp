#include "backend/PendingNotifications.h"

namespace tolvo::backend {

PendingNotifications::PendingNotifications(std::chrono::milliseconds lifetime, std::size_t maxNames)
    : m_lifetime(lifetime)
    , m_maxNames(maxNames)
{
}

bool PendingNotifications::remember(
    const std::string &name, std::string line, Clock::time_point now)
{
    dropExpired(now);
    if (auto found = m_byName.find(name); found != m_byName.end()) {
        m_entries.erase(found->second);
        m_byName.erase(found);
    }
    if (m_maxNames == 0) {
        return false;
    }
    bool evicted = false;
    while (m_byName.size() >= m_maxNames) {
        m_byName.erase(m_entries.front().name);
        m_entries.pop_front();
        evicted = true;
    }
    m_entries.push_back(Entry {name, std::move(line), now + m_lifetime});
    m_byName.emplace(name, std::prev(m_entries.end()));
    return evicted;
}

std::optional<std::string> PendingNotifications::take(
    const std::string &name, Clock::time_point now)
{
    dropExpired(now);
    auto found = m_byName.find(name);
    if (found == m_byName.end()) {
        return std::nullopt;
    }
    std::string line = std::move(found->second->line);
    m_entries.erase(found->second);
    m_byName.erase(found);
    return line;
}

std::vector<std::pair<std::string, std::string>> PendingNotifications::takeAll()
{
    std::vector<std::pair<std::string, std::string>> all;
    all.reserve(m_entries.size());
    for (Entry &entry : m_entries) {
        all.emplace_back(std::move(entry.name), std::move(entry.line));
    }
    m_entries.clear();
    m_byName.clear();
    return all;
}

void PendingNotifications::dropExpired(Clock::time_point now)
{
    while (!m_entries.empty() && m_entries.front().expiry <= now) {
        m_byName.erase(m_entries.front().name);
        m_entries.pop_front();
    }
}

} // namespace tolvo::backend
