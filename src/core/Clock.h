#pragma once

#include <QDateTime>

#include <functional>

namespace tolvo {

// The wall clock as a value, so that logic and timers can run against a fake one.
using Clock = std::function<QDateTime()>;

inline Clock systemClock()
{
    return [] { return QDateTime::currentDateTimeUtc(); };
}

} // namespace tolvo
