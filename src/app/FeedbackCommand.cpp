#include "app/FeedbackCommand.h"

#include "modules/Feedback/UserFeedbackWindowController.h"

namespace tolvo {

void openFeedbackWindow()
{
    // The window owns its controller and both go when it closes; nothing here keeps them.
    auto *controller = new UserFeedbackWindowController;
    controller->showWindow();
}

} // namespace tolvo
