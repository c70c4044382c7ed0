#include "modules/EditMeeting/EditMeetingView.h"

#include "modules/EditMeeting/EditMeetingViewModel.h"

namespace tolvo {

EditMeetingView::EditMeetingView(EditMeetingViewModel *model, std::function<void()> closeHandler,
    std::function<void()> saveHandler, QWidget *parent)
    : MeetingFormView(
        tr("Edit Schedule"), model, {}, std::move(closeHandler), std::move(saveHandler), parent)
{
}

} // namespace tolvo
