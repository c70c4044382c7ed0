#include "core/TimelineSelection.h"

namespace tolvo {

std::optional<CalendarEvent> TimelineSelection::readFor(const QUuid &blockId) const
{
    if (m_selected && m_key == blockId)
        return m_selected;
    return std::nullopt;
}

void TimelineSelection::writeFor(const QUuid &blockId, const std::optional<CalendarEvent> &value)
{
    if (readFor(blockId) == value)
        return;
    if (value) {
        m_selected = value;
        m_key = blockId;
    } else {
        m_selected.reset();
        m_key = QUuid();
    }
    emit changed();
}

void TimelineSelection::setPopoverShown(bool shown)
{
    if (m_popoverShown == shown)
        return;
    m_popoverShown = shown;
    emit changed();
}

void TimelineSelection::singleClick(const CalendarEvent &event)
{
    if (isSelected(event.id))
        return;
    writeFor(event.id, event);
}

void TimelineSelection::doubleClick(const CalendarEvent &event)
{
    QSignalBlocker blocker(this);
    const bool wasShown = m_popoverShown;
    const auto before = m_selected;
    setPopoverShown(true);
    writeFor(event.id, event);
    blocker.unblock();
    if (wasShown != m_popoverShown || before != m_selected)
        emit changed();
}

void TimelineSelection::clear()
{
    if (!m_selected && !m_popoverShown)
        return;
    m_selected.reset();
    m_key = QUuid();
    m_popoverShown = false;
    emit changed();
}

void TimelineSelection::retain(const QList<CalendarEvent> &events)
{
    if (!m_selected)
        return;
    const std::optional<CalendarEvent> current = sameEventIn(events, *m_selected);
    if (!current) {
        clear();
        return;
    }
    // The same event, perhaps edited or from a new load: the selection and its popover show
    // the new values.
    if (*current != *m_selected) {
        m_selected = current;
        m_key = current->id;
        emit changed();
    }
}

QString TimelineSelection::keyOf(const CalendarEvent &event)
{
    return event.identifier.isEmpty() ? event.id.toString() : event.identifier;
}

std::optional<CalendarEvent> TimelineSelection::sameEventIn(
    const QList<CalendarEvent> &events, const CalendarEvent &event)
{
    const QString key = keyOf(event);
    for (const CalendarEvent &candidate : events) {
        if (keyOf(candidate) == key)
            return candidate;
    }
    return std::nullopt;
}

} // namespace tolvo
