#include "modules/Calendar/EventPopoverPresenter.h"

#include "components/Popover.h"
#include "core/TimelineSelection.h"
#include "modules/Calendar/EventDetailsView.h"

namespace tolvo {

EventPopoverPresenter::EventPopoverPresenter(TimelineSelection *selection,
    const CalendarContext &context, AnchorLookup anchorFor, Popover::Side side, QObject *parent)
    : QObject(parent)
    , m_selection(selection)
    , m_context(context)
    , m_anchorFor(std::move(anchorFor))
    , m_side(side)
{
    connect(selection, &TimelineSelection::changed, this, &EventPopoverPresenter::sync);
}

EventPopoverPresenter::~EventPopoverPresenter()
{
    close();
}

void EventPopoverPresenter::sync()
{
    const auto selected = m_selection ? m_selection->selected() : std::nullopt;
    const bool wanted = selected && m_selection->isPopoverShown();
    QWidget *anchor = wanted ? m_anchorFor(selected->id) : nullptr;
    if (!anchor || !anchor->isVisible()) {
        close();
        // The anchor went away: the popover is closed, so its flag goes down with it.
        if (wanted && m_selection)
            m_selection->setPopoverShown(false);
        return;
    }
    if (m_popover && m_anchor == anchor && m_popover->isVisible()) {
        // The same block, perhaps with a refreshed event: keep the popover, show the new values.
        if (m_details)
            m_details->setEvent(*selected);
        return;
    }
    close();
    auto *details = new EventDetailsView(*selected, m_context);
    connect(details, &EventDetailsView::editRequested, this, &EventPopoverPresenter::editRequested);
    connect(
        details, &EventDetailsView::deleteRequested, this, &EventPopoverPresenter::deleteRequested);
    auto *popover = new Popover(details, anchor->window());
    popover->setAttribute(Qt::WA_DeleteOnClose);
    connect(popover, &Popover::closed, this, [this, popover] {
        if (popover == m_popover)
            dismissedFromOutside();
    });
    // A block removed outside a relayout still takes its popover with it.
    connect(anchor, &QObject::destroyed, this, [this, popover] {
        if (popover != m_popover)
            return;
        close();
        if (m_selection)
            m_selection->setPopoverShown(false);
    });
    m_popover = popover;
    m_details = details;
    m_anchor = anchor;
    popover->showFor(anchor, m_side);
}

void EventPopoverPresenter::close()
{
    if (!m_popover)
        return;
    m_closing = true;
    Popover *popover = m_popover;
    m_popover = nullptr;
    m_details = nullptr;
    m_anchor = nullptr;
    popover->close();
    popover->deleteLater();
    m_closing = false;
}

void EventPopoverPresenter::dismissedFromOutside()
{
    if (m_closing)
        return;
    m_popover = nullptr;
    m_details = nullptr;
    m_anchor = nullptr;
    if (m_selection)
        m_selection->setPopoverShown(false);
}

} // namespace tolvo
