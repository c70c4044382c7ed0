#pragma once

#include "components/FormWindowController.h"

#include <QSize>

namespace tolvo {

class UserFeedbackView;

// The feedback window, 500 x 600, centred, with an empty form: `new
// UserFeedbackWindowController` opens it. The window and the controller go away when it
// closes, so each "Send Feedback" opens a new, independent one.
class UserFeedbackWindowController : public FormWindowController
{
    Q_OBJECT
public:
    static constexpr QSize windowSize {500, 600};

    UserFeedbackWindowController();

    UserFeedbackView *view() const { return m_view; }

private:
    UserFeedbackView *m_view;
};

} // namespace tolvo
