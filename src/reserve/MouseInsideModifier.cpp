#include "reserve/MouseInsideModifier.h"

#include <QEvent>
#include <QWidget>

namespace tolvo {

MouseInsideModifier::MouseInsideModifier(QWidget *widget, std::function<void(bool)> mouseIsInside)
    : QObject(widget)
    , m_widget(widget)
    , m_mouseIsInside(std::move(mouseIsInside))
{
    widget->installEventFilter(this);
}

bool MouseInsideModifier::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_widget || !m_mouseIsInside)
        return false;
    switch (event->type()) {
    case QEvent::Enter:
        if (m_widget->isActiveWindow()) {
            m_reportedInside = true;
            m_mouseIsInside(true);
        }
        break;
    case QEvent::Leave:
        // A leave always ends a reported enter, so that no row stays lit.
        if (m_widget->isActiveWindow() || m_reportedInside) {
            m_reportedInside = false;
            m_mouseIsInside(false);
        }
        break;
    default: break;
    }
    return false;
}

} // namespace tolvo
