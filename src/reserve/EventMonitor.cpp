#include "reserve/EventMonitor.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMouseEvent>

namespace tolvo {

Q_LOGGING_CATEGORY(eventMonitorLog, "tolvo.eventmonitor")

class EventMonitor::Filter : public QObject
{
public:
    Filter(EventMask mask, LocalHandler handler)
        : m_mask(mask)
        , m_handler(std::move(handler))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Input reaches a window once, from the window system, before the window hands it to
        // its widgets (and on to their parents): that first delivery is the one to watch.
        if (!watched->isWindowType() || !EventMonitor::matches(m_mask, event))
            return false;
        return m_handler(event) == nullptr;
    }

private:
    EventMask m_mask;
    LocalHandler m_handler;
};

EventMonitor::EventMonitor(
    MonitorType type, EventMask mask, GlobalHandler globalHandler, LocalHandler localHandler)
    : m_type(type)
    , m_mask(mask)
    , m_globalHandler(std::move(globalHandler))
    , m_localHandler(std::move(localHandler))
{
}

EventMonitor::~EventMonitor()
{
    stop();
}

void EventMonitor::start()
{
    // Started twice, the earlier run would go on unreachable for the life of the process.
    stop();
    if (m_type == MonitorType::global) {
        if (m_globalHandler)
            qCWarning(eventMonitorLog) << "other applications' events cannot be watched here";
        return;
    }
    if (!m_localHandler || !QCoreApplication::instance())
        return;
    m_filter = new Filter(m_mask, m_localHandler);
    QCoreApplication::instance()->installEventFilter(m_filter);
}

void EventMonitor::stop()
{
    if (!m_filter)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(m_filter);
    // The handler may stop its own monitor while it runs: the filter goes once it returned.
    m_filter->deleteLater();
    m_filter = nullptr;
}

bool EventMonitor::matches(EventMask mask, const QEvent *event)
{
    const auto button = [event] { return static_cast<const QMouseEvent *>(event)->button(); };
    const auto mouse = [&](EventKind left, EventKind right, EventKind other) {
        switch (button()) {
        case Qt::LeftButton: return mask.testFlag(left);
        case Qt::RightButton: return mask.testFlag(right);
        default: return mask.testFlag(other);
        }
    };
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return mouse(
            EventKind::leftMouseDown, EventKind::rightMouseDown, EventKind::otherMouseDown);
    case QEvent::MouseButtonRelease:
        return mouse(EventKind::leftMouseUp, EventKind::rightMouseUp, EventKind::otherMouseUp);
    case QEvent::MouseMove: return mask.testFlag(EventKind::mouseMoved);
    case QEvent::Wheel: return mask.testFlag(EventKind::scrollWheel);
    case QEvent::KeyPress: return mask.testFlag(EventKind::keyDown);
    case QEvent::KeyRelease: return mask.testFlag(EventKind::keyUp);
    default: return false;
    }
}

} // namespace tolvo
