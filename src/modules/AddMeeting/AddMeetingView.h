#pragma once

#include "modules/MeetingForm/MeetingFormView.h"

namespace tolvo {

class AddMeetingViewModel;

// The add-meeting form ("Add Schedule"): the calendar is chosen from the followed calendars.
class AddMeetingView : public MeetingFormView
{
    Q_OBJECT
public:
    // Takes the model as its child.
    AddMeetingView(AddMeetingViewModel *model, std::function<void()> closeHandler,
        std::function<void()> saveHandler, QWidget *parent = nullptr);
};

} // namespace tolvo
