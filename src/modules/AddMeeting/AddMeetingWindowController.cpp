#include "modules/AddMeeting/AddMeetingWindowController.h"

#include "modules/AddMeeting/AddMeetingView.h"
#include "modules/AddMeeting/AddMeetingViewModel.h"

namespace tolvo {

AddMeetingWindowController::AddMeetingWindowController(
    std::function<void()> saveHandler, const CalendarContext &context)
    : MeetingFormWindowController(std::move(saveHandler))
{
    present(
        new AddMeetingView(new AddMeetingViewModel(context), closeHandler(), formSaveHandler()));
}

} // namespace tolvo
