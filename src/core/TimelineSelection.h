#pragma once

#include "core/CalendarEvent.h"

#include <QList>
#include <QObject>

#include <optional>

namespace tolvo {

// The one selected event of a timeline or month grid, and whether its details popover is up.
// A refresh finds the selected event again by its Google event id (every load gives events new
// per-load ids, and a date step reloads): inserting or reordering events never moves the
// selection to another event, and when the selected event leaves the list the selection and
// the popover go with it.
class TimelineSelection : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    std::optional<CalendarEvent> selected() const { return m_selected; }
    bool isSelected(const QUuid &id) const { return m_selected && m_selected->id == id; }
    // What the block with this id reads: the selected event when it is that block's.
    std::optional<CalendarEvent> readFor(const QUuid &blockId) const;
    // What the block with this id writes. The same value again changes nothing; another event
    // becomes the only entry under the block's own id; nothing clears the selection when the
    // block holds it, and changes nothing otherwise.
    void writeFor(const QUuid &blockId, const std::optional<CalendarEvent> &value);

    bool isPopoverShown() const { return m_popoverShown; }
    void setPopoverShown(bool shown);
    // The popover shows exactly for the selected event while the flag is up.
    bool showsPopoverFor(const QUuid &id) const { return m_popoverShown && isSelected(id); }

    // A single click selects; a double click also raises the popover.
    void singleClick(const CalendarEvent &event);
    void doubleClick(const CalendarEvent &event);
    // A click on empty space: nothing selected, no popover.
    void clear();
    // After a refresh: takes the new values of the selected event, or drops the selection (and
    // the popover) when its event is gone.
    void retain(const QList<CalendarEvent> &events);

    // What stays the same for one event across loads: its Google event id, or its per-load id
    // where it has none.
    static QString keyOf(const CalendarEvent &event);
    // The value in `events` of the same event as `event`, if it is still there.
    static std::optional<CalendarEvent> sameEventIn(
        const QList<CalendarEvent> &events, const CalendarEvent &event);

signals:
    void changed();

private:
    std::optional<CalendarEvent> m_selected;
    QUuid m_key;
    bool m_popoverShown = false;
};

} // namespace tolvo
