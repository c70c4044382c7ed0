#pragma once

#include "core/CalendarContext.h"
#include "core/CalendarEvent.h"

#include <QDateTime>
#include <QList>
#include <QWidget>

namespace tolvo {

class TimelineSelection;

// What the calendar screen asks of each of its four views: the displayed date and the events
// (updated in place), and the edit and delete requests coming back from the user.
class CalendarPeriodView : public QWidget
{
    Q_OBJECT
public:
    explicit CalendarPeriodView(const CalendarContext &context, QWidget *parent = nullptr)
        : QWidget(parent)
        , m_context(context)
    {
    }

    virtual void setDate(const QDateTime &date) = 0;
    virtual void setEvents(const QList<CalendarEvent> &events) = 0;
    // The view's selection, when it has one (the agenda has none).
    virtual TimelineSelection *selection() const { return nullptr; }

    const CalendarContext &context() const { return m_context; }

signals:
    void editRequested(const tolvo::CalendarEvent &event);
    void deleteRequested(const tolvo::CalendarEvent &event);

private:
    CalendarContext m_context;
};

} // namespace tolvo
