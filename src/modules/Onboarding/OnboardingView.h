#pragma once

#include "components/ThemedWidgets.h"

#include <QPointer>

class QStackedWidget;
class QAbstractAnimation;

namespace tolvo {

class AppViewModel;
class AuthView;
class OnboardingAppleCalendarSelectionView;
class OnboardingAppleCalendarSupportView;
class StyledButton;
class WindowReader;

// The onboarding screens: welcome, sign-in, the local-calendar offer and the calendar choice,
// one at a time as the view model's step says. There is no way back. "Get Started" slides the
// sign-in page in; every other change swaps the page at once. Showing the welcome page centres
// the window.
class OnboardingView : public ThemedPanel
{
    Q_OBJECT
public:
    explicit OnboardingView(AppViewModel *viewModel, QWidget *parent = nullptr);

    // How long "Get Started" animates (600 ms; tests use 0).
    void setTransitionDuration(int milliseconds) { m_transitionMs = milliseconds; }
    void getStarted();

    QWidget *currentPage() const;
    WindowReader *welcomePage() const { return m_welcome; }
    StyledButton *getStartedButton() const { return m_getStarted; }
    AuthView *authPage() const { return m_auth; }
    OnboardingAppleCalendarSupportView *supportPage() const { return m_support; }
    OnboardingAppleCalendarSelectionView *selectionPage() const { return m_selection; }

private:
    QWidget *makeWelcome();
    void showStep(bool animated);

    QPointer<AppViewModel> m_viewModel;
    QStackedWidget *m_pages;
    StyledButton *m_getStarted = nullptr;
    WindowReader *m_welcome;
    AuthView *m_auth;
    OnboardingAppleCalendarSupportView *m_support;
    OnboardingAppleCalendarSelectionView *m_selection;
    QPointer<QAbstractAnimation> m_slide;
    int m_transitionMs = 600;
};

} // namespace tolvo
