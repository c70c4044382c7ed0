#include "modules/Feedback/UserFeedbackWindowController.h"

#include "modules/Feedback/UserFeedbackView.h"
#include "modules/Feedback/UserFeedbackViewModel.h"

namespace tolvo {

UserFeedbackWindowController::UserFeedbackWindowController()
    : m_view(new UserFeedbackView(new UserFeedbackViewModel, [this] { close(); }))
{
    connect(this, &FormWindowController::closing, m_view->model(), &UserFeedbackViewModel::abandon);
    present(windowSize, m_view);
}

} // namespace tolvo
