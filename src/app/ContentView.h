#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class QStackedLayout;

namespace tolvo {

class AppViewModel;
class OnboardingView;

// The main window's content: onboarding (fixed 650 by 400) while the destination is `auth`,
// the main screen (at least 1200 by 700) while it is `main`. The main screen is made anew each
// time the destination becomes `main` and destroyed when it leaves, taking its view models,
// timers and sync with it. Each time the content is shown it announces `appeared`.
class ContentView : public QWidget
{
    Q_OBJECT
public:
    using MainScreenFactory = std::function<QWidget *()>;

    static constexpr QSize onboardingSize {650, 400};
    static constexpr QSize mainMinimumSize {1200, 700};

    ContentView(
        AppViewModel *viewModel, MainScreenFactory makeMainScreen, QWidget *parent = nullptr);

    // The most the window's screen leaves for the content: the main screen's minimum is its
    // 1200 by 700 or this, whichever is smaller, so that on a small screen nothing is off it.
    // The window sets it and then applies the content's bounds; no signal comes from here.
    void setRoom(QSize room);
    QSize mainMinimum() const { return mainMinimumSize.boundedTo(m_room); }

    OnboardingView *onboarding() const { return m_onboarding; }
    QWidget *mainScreen() const { return m_mainScreen; }
    QWidget *currentScreen() const;

signals:
    void appeared();
    void mainScreenChanged(QWidget *screen);
    // The content's minimum or maximum size changed with the destination.
    void boundsChanged();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void followDestination();

    QPointer<AppViewModel> m_viewModel;
    MainScreenFactory m_makeMainScreen;
    QStackedLayout *m_stack;
    OnboardingView *m_onboarding;
    QPointer<QWidget> m_mainScreen;
    QSize m_room {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
};

} // namespace tolvo
