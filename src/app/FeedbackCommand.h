#pragma once

namespace tolvo {

// "Send Feedback": a new feedback window each time; the window deletes itself when closed.
void openFeedbackWindow();

} // namespace tolvo
