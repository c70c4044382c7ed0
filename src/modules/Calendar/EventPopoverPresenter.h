#pragma once

#include "components/Popover.h"
#include "core/CalendarContext.h"
#include "core/CalendarEvent.h"
#include "modules/Calendar/EventDetailsView.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace tolvo {

class TimelineSelection;

// Shows the details popover of a view's selected event while the selection says so, anchored
// to the widget that draws that event. Closing the popover from outside (a click elsewhere,
// Esc) lowers only the flag; the popover closes by itself when its anchor goes away or the
// selection drops it.
class EventPopoverPresenter : public QObject
{
    Q_OBJECT
public:
    using AnchorLookup = std::function<QWidget *(const QUuid &eventId)>;

    // The popover opens on `side` of its anchor.
    EventPopoverPresenter(TimelineSelection *selection, const CalendarContext &context,
        AnchorLookup anchorFor, Popover::Side side, QObject *parent);
    ~EventPopoverPresenter() override;

    // Brings the popover in line with the selection and the current anchors; the owner calls it
    // after every relayout.
    void sync();

    Popover *popover() const { return m_popover; }
    EventDetailsView *details() const { return m_details; }

signals:
    void editRequested(const tolvo::CalendarEvent &event);
    void deleteRequested(const tolvo::CalendarEvent &event);

private:
    void close();
    void dismissedFromOutside();

    QPointer<TimelineSelection> m_selection;
    CalendarContext m_context;
    AnchorLookup m_anchorFor;
    Popover::Side m_side;
    QPointer<Popover> m_popover;
    QPointer<EventDetailsView> m_details;
    QPointer<QWidget> m_anchor;
    bool m_closing = false;
};

} // namespace tolvo
