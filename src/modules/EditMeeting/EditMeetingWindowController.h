#pragma once

#include "core/CalendarContext.h"
#include "core/GoogleCalendarEvent.h"
#include "modules/MeetingForm/MeetingFormWindowController.h"

namespace tolvo {

// The edit-meeting window for one event of the Google calendar `calendarId`:
// `new EditMeetingWindowController(event, calendarId, handler)` opens it; nothing needs to keep
// the controller.
class EditMeetingWindowController : public MeetingFormWindowController
{
    Q_OBJECT
public:
    EditMeetingWindowController(const GoogleCalendarEvent &event, const QString &calendarId,
        std::function<void()> saveHandler = {},
        const CalendarContext &context = Dependencies::current<CalendarContext>());
};

} // namespace tolvo
