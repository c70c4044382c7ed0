#include "modules/EditMeeting/EditMeetingWindowController.h"

#include "modules/EditMeeting/EditMeetingView.h"
#include "modules/EditMeeting/EditMeetingViewModel.h"

namespace tolvo {

EditMeetingWindowController::EditMeetingWindowController(const GoogleCalendarEvent &event,
    const QString &calendarId, std::function<void()> saveHandler, const CalendarContext &context)
    : MeetingFormWindowController(std::move(saveHandler))
{
    present(new EditMeetingView(
        new EditMeetingViewModel(event, calendarId, context), closeHandler(), formSaveHandler()));
}

} // namespace tolvo
