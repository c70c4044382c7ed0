#pragma once

#include "components/ClickCounter.h"
#include "core/CalendarContext.h"
#include "core/CalendarEvent.h"

#include <QWidget>

namespace tolvo {

// One event on a timeline: a colour stripe, then the title (with a video mark when the event
// has a meeting link), the location and the time; only an ellipsis when the block is 60 pixels
// wide or narrower. The full colour behind it when selected, a tenth of it otherwise.
class EventBlock : public QWidget
{
    Q_OBJECT
public:
    static constexpr int detailsMinWidth = 60; // details need more than this
    static constexpr int stripeWidth = 4;
    static constexpr int cornerRadius = 6;

    EventBlock(const CalendarEvent &event, const CalendarContext &context, QWidget *parent);

    const CalendarEvent &event() const { return m_event; }
    void setEvent(const CalendarEvent &event);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // The width the overlap layout gave the block, before it was rounded to pixels; it alone
    // decides between the details and the ellipsis. Until set, the block's own width does.
    void setLayoutWidth(double width);
    double layoutWidth() const { return m_layoutWidth < 0 ? width() : m_layoutWidth; }
    // Whether the title, location and time are drawn (else only the ellipsis).
    bool showsDetails() const { return layoutWidth() > detailsMinWidth; }
    QColor backgroundColor() const;

    // Where the lines of the details go: centred as a group in the block, or from its top
    // when the block is too short for them all, so that a short block shows its title. An
    // absent line has an empty rectangle, and so has a line that the block's height cannot hold
    // whole.
    struct Lines
    {
        QRect title;
        QRect location;
        QRect time;
    };
    Lines lines() const;

signals:
    void clicked(tolvo::MouseClickType type);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int textWidth() const;

    CalendarEvent m_event;
    CalendarContext m_context;
    bool m_selected = false;
    double m_layoutWidth = -1;
};

} // namespace tolvo
