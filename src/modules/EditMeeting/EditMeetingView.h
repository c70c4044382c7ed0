#pragma once

#include "modules/MeetingForm/MeetingFormView.h"

namespace tolvo {

class EditMeetingViewModel;

// The edit-meeting form ("Edit Schedule"): the event's calendar is shown and cannot change.
class EditMeetingView : public MeetingFormView
{
    Q_OBJECT
public:
    // Takes the model as its child.
    EditMeetingView(EditMeetingViewModel *model, std::function<void()> closeHandler,
        std::function<void()> saveHandler, QWidget *parent = nullptr);
};

} // namespace tolvo
