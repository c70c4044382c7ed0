#include "backend/RelayLog.h"

#include <ctime>
#include <iostream>

namespace tolvo::backend {

RelayLog::RelayLog(std::function<void(std::string_view line)> sink)
    : m_sink(std::move(sink))
{
}

void RelayLog::operator()(const std::string &message) const
{
    if (m_sink) {
        m_sink(message);
        return;
    }
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc {};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof(stamp), "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::cerr << stamp << " tolvo-backend: " << message << std::endl;
}

std::string printable(const char *text, std::size_t limit)
{
    std::string out;
    for (const char *c = text; c != nullptr && *c != '\0' && out.size() < limit; ++c) {
        out += (*c >= 0x20 && *c <= 0x7e) ? *c : '?';
    }
    return out;
}

} // namespace tolvo::backend
