#pragma once

#include "components/ClickCounter.h"
#include "core/CalendarContext.h"
#include "core/CalendarEvent.h"

#include <QWidget>

namespace tolvo {

// One event on a timeline: a colour stripe, then the title (with a video mark when the event
// has a meeting link), the location and the time; only an ellipsis when the block is 60 pixels
// wide or narrower. The full colour behind it when selected, a tenth of it otherwise.
class EventBlockWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int detailsMinWidth = 60; // details need more than this
    static constexpr int stripeWidth = 4;
    static constexpr int cornerRadius = 6;

    EventBlockWidget(const CalendarEvent &event, const CalendarContext &context, QWidget *parent);

    const CalendarEvent &event() const { return m_event; }
    void setEvent(const CalendarEvent &event);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // Whether the title, location and time are drawn (else only the ellipsis).
    bool showsDetails() const { return width() > detailsMinWidth; }
    QColor backgroundColor() const;

signals:
    void clicked(tolvo::MouseClickType type);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    CalendarEvent m_event;
    CalendarContext m_context;
    bool m_selected = false;
};

} // namespace tolvo
