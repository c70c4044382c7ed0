#pragma once

#include <QObject>

#include <functional>

class QEvent;

namespace tolvo {

// Watches the application's input events while it runs. A local monitor sees every event of
// the chosen kinds before its receiver does, and may swallow it; a global one would see other
// applications' events, which no Linux desktop hands out, so a global monitor never starts.
// A monitor that is started again replaces its earlier run, and one that is destroyed stops.
class EventMonitor
{
public:
    enum class MonitorType { global, local };

    enum class EventKind {
        leftMouseDown = 1 << 0,
        leftMouseUp = 1 << 1,
        rightMouseDown = 1 << 2,
        rightMouseUp = 1 << 3,
        otherMouseDown = 1 << 4,
        otherMouseUp = 1 << 5,
        mouseMoved = 1 << 6,
        scrollWheel = 1 << 7,
        keyDown = 1 << 8,
        keyUp = 1 << 9,
    };
    Q_DECLARE_FLAGS(EventMask, EventKind)

    // The global handler sees an event; the local one answers with the event to deliver, or
    // null to swallow it. Qt cannot deliver another event in its place: an answer other than
    // the event itself or null is delivered as the original.
    using GlobalHandler = std::function<void(QEvent *)>;
    using LocalHandler = std::function<QEvent *(QEvent *)>;

    EventMonitor(
        MonitorType type, EventMask mask, GlobalHandler globalHandler, LocalHandler localHandler);
    ~EventMonitor();
    EventMonitor(const EventMonitor &) = delete;
    EventMonitor &operator=(const EventMonitor &) = delete;

    void start();
    void stop();
    bool isRunning() const { return m_filter != nullptr; }

    MonitorType monitorType() const { return m_type; }
    EventMask mask() const { return m_mask; }

    // Whether the mask covers an event of this Qt type (mouse buttons are told apart by the
    // event itself).
    static bool matches(EventMask mask, const QEvent *event);

private:
    class Filter;

    MonitorType m_type;
    EventMask m_mask;
    GlobalHandler m_globalHandler;
    LocalHandler m_localHandler;
    Filter *m_filter = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(EventMonitor::EventMask)

} // namespace tolvo
