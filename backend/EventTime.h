#pragma once

#include <sys/time.h>

#include <algorithm>
#include <chrono>

namespace tolvo::backend {

// libevent takes its periods as timevals; negative durations count as none.
inline timeval toTimeval(std::chrono::milliseconds duration)
{
    const auto count = std::max<std::chrono::milliseconds::rep>(duration.count(), 0);
    return timeval {
        static_cast<time_t>(count / 1000), static_cast<suseconds_t>(count % 1000 * 1000)};
}

} // namespace tolvo::backend
