#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace tolvo::backend {

// Where the relay's lines go: the given sink, or standard error with a UTC time stamp.
class RelayLog
{
public:
    explicit RelayLog(std::function<void(std::string_view line)> sink = {});

    void operator()(const std::string &message) const;

private:
    std::function<void(std::string_view line)> m_sink;
};

// Keeps a flood of alike lines (rejected requests, closed connections) out of the log: the first
// few of each period are written, the rest only counted.
class LogThrottle
{
public:
    explicit LogThrottle(std::size_t linesPerPeriod = 10)
        : m_linesPerPeriod(linesPerPeriod)
    {
    }

    // True when this line may be written.
    bool admit()
    {
        if (m_written < m_linesPerPeriod) {
            ++m_written;
            return true;
        }
        ++m_suppressed;
        return false;
    }

    // Ends the period: the number of lines left out.
    std::size_t endPeriod()
    {
        m_written = 0;
        return std::exchange(m_suppressed, 0);
    }

private:
    std::size_t m_linesPerPeriod;
    std::size_t m_written = 0;
    std::size_t m_suppressed = 0;
};

// Request text is the client's: keep it to one short printable line in the log.
std::string printable(const char *text, std::size_t limit = 100);

} // namespace tolvo::backend
