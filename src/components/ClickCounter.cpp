#include "components/ClickCounter.h"

namespace tolvo {

ClickCounter::ClickCounter(int intervalMs, int distance)
    : m_intervalMs(intervalMs)
    , m_distance(distance)
{
}

int ClickCounter::press(quint64 timestampMs, QPointF position)
{
    const bool inTime = m_count > 0 && timestampMs >= m_lastTimestamp
        && timestampMs - m_lastTimestamp <= quint64(m_intervalMs);
    const QPointF moved = position - m_lastPosition;
    const bool inPlace = qAbs(moved.x()) <= m_distance && qAbs(moved.y()) <= m_distance;
    m_count = inTime && inPlace ? m_count + 1 : 1;
    m_lastTimestamp = timestampMs;
    m_lastPosition = position;
    return m_count;
}

} // namespace tolvo
