#pragma once

#include "core/CalendarContext.h"
#include "modules/MeetingForm/MeetingFormWindowController.h"

namespace tolvo {

// The add-meeting window: `new AddMeetingWindowController(handler)` opens it; nothing needs
// to keep the controller.
class AddMeetingWindowController : public MeetingFormWindowController
{
    Q_OBJECT
public:
    explicit AddMeetingWindowController(std::function<void()> saveHandler = {},
        const CalendarContext &context = Dependencies::current<CalendarContext>());
};

} // namespace tolvo
