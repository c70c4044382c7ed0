#pragma once

#include "modules/MeetingForm/MeetingFormViewModel.h"

#include "core/GoogleCalendarEvent.h"

namespace tolvo {

// The edit-meeting form, filled from an existing event and sent as an update of it. What the
// form does not show (the location) and how long the event lasts across days are kept. When
// the event's calendar is not among the followed ones, the calendar field stays empty and the
// update goes to the calendar id alone.
class EditMeetingViewModel : public MeetingFormViewModel
{
    Q_OBJECT
public:
    EditMeetingViewModel(const GoogleCalendarEvent &event, const QString &calendarId,
        CalendarContext context = Dependencies::current<CalendarContext>(),
        QObject *parent = nullptr);

    const GoogleCalendarEvent &event() const { return m_event; }

private:
    GoogleCalendarEvent m_event;
};

} // namespace tolvo
