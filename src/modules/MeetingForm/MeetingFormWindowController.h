#pragma once

#include "components/FormWindowController.h"

#include <QSize>

#include <functional>

namespace tolvo {

class MeetingFormView;
class MeetingFormViewModel;

// Opens a meeting form in a window of its own, 500 x 700, centred. The window, its form and
// the controller go away when it closes, so the opener need not keep anything. The form's
// close buttons close the window; a confirmed save closes it and then calls the opener's
// save handler.
class MeetingFormWindowController : public FormWindowController
{
    Q_OBJECT
public:
    static constexpr QSize windowSize {500, 700};

    MeetingFormView *view() const { return m_view; }
    MeetingFormViewModel *viewModel() const;

protected:
    explicit MeetingFormWindowController(std::function<void()> saveHandler);

    std::function<void()> closeHandler();
    std::function<void()> formSaveHandler();
    void present(MeetingFormView *view);

private:
    std::function<void()> m_saveHandler;
    MeetingFormView *m_view = nullptr;
};

} // namespace tolvo
