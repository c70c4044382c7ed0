#pragma once

#include <QPointF>
#include <QtGlobal>

namespace tolvo {

enum class MouseClickType { single, double_ };

// Counts clicks the way a person means them: each press within the double-click interval and
// distance of the previous one adds one (1, 2, 3, ...); anything else starts again at 1.
// Qt itself only pairs clicks, so a triple click would read as double then single.
class ClickCounter
{
public:
    ClickCounter(int intervalMs, int distance);

    int press(quint64 timestampMs, QPointF position);

private:
    int m_intervalMs;
    int m_distance;
    int m_count = 0;
    quint64 m_lastTimestamp = 0;
    QPointF m_lastPosition;
};

} // namespace tolvo
