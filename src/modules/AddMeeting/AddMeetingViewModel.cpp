#include "modules/AddMeeting/AddMeetingViewModel.h"

namespace tolvo {

AddMeetingViewModel::AddMeetingViewModel(CalendarContext context, QObject *parent)
    : MeetingFormViewModel(
        Mode::add, Dependency<GoogleCalendarClient>()->createEvent, std::move(context), parent)
{
    startValidating();
}

} // namespace tolvo
