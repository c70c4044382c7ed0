#pragma once

#include <QPointer>
#include <QWidget>

namespace tolvo {

class AppViewModel;
class StyledButton;

// The offer to copy Google events into a local calendar: "Enable Sync" asks for access,
// "Maybe later" goes straight to the main screen.
class OnboardingAppleCalendarSupportView : public QWidget
{
    Q_OBJECT
public:
    explicit OnboardingAppleCalendarSupportView(AppViewModel *viewModel, QWidget *parent = nullptr);

    StyledButton *enableButton() const { return m_enable; }
    StyledButton *laterButton() const { return m_later; }

private:
    QPointer<AppViewModel> m_viewModel;
    StyledButton *m_enable;
    StyledButton *m_later;
};

} // namespace tolvo
