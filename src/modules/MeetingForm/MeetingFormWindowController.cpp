#include "modules/MeetingForm/MeetingFormWindowController.h"

#include "components/TolvoTextField.h"
#include "modules/MeetingForm/MeetingFormView.h"
#include "modules/MeetingForm/MeetingFormViewModel.h"

namespace tolvo {

MeetingFormWindowController::MeetingFormWindowController(std::function<void()> saveHandler)
    : m_saveHandler(std::move(saveHandler))
{
}

MeetingFormViewModel *MeetingFormWindowController::viewModel() const
{
    return m_view ? m_view->model() : nullptr;
}

std::function<void()> MeetingFormWindowController::closeHandler()
{
    return [this] { close(); };
}

std::function<void()> MeetingFormWindowController::formSaveHandler()
{
    return [this] {
        close();
        if (m_saveHandler)
            m_saveHandler();
    };
}

void MeetingFormWindowController::present(MeetingFormView *view)
{
    m_view = view;
    connect(this, &FormWindowController::closing, view->model(), &MeetingFormViewModel::abandon);
    FormWindowController::present(windowSize, view);
    // The title is what a new or changed meeting needs first: typing goes there at once.
    view->titleField()->setFocus(Qt::ActiveWindowFocusReason);
}

} // namespace tolvo
