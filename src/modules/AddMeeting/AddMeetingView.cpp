#include "modules/AddMeeting/AddMeetingView.h"

#include "modules/AddMeeting/AddMeetingViewModel.h"

namespace tolvo {

AddMeetingView::AddMeetingView(AddMeetingViewModel *model, std::function<void()> closeHandler,
    std::function<void()> saveHandler, QWidget *parent)
    : MeetingFormView(
        tr("Add Schedule"), model, [model] { return model->calendars(); }, std::move(closeHandler),
        std::move(saveHandler), parent)
{
}

} // namespace tolvo
