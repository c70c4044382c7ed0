#include "app/ContentView.h"

#include "modules/App/AppViewModel.h"
#include "modules/Onboarding/OnboardingView.h"

#include <QShowEvent>
#include <QStackedLayout>

namespace tolvo {

ContentView::ContentView(AppViewModel *viewModel, MainScreenFactory makeMainScreen, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_makeMainScreen(std::move(makeMainScreen))
    , m_stack(new QStackedLayout(this))
    , m_onboarding(new OnboardingView(viewModel))
{
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_onboarding);
    connect(viewModel, &AppViewModel::destinationChanged, this, &ContentView::followDestination);
    followDestination();
}

QWidget *ContentView::currentScreen() const
{
    return m_stack->currentWidget();
}

void ContentView::setRoom(QSize room)
{
    if (room == m_room)
        return;
    m_room = room;
    if (m_viewModel && m_viewModel->destination() == Destination::main)
        setMinimumSize(mainMinimum());
}

void ContentView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        emit appeared();
}

void ContentView::followDestination()
{
    if (!m_viewModel)
        return;
    if (m_viewModel->destination() == Destination::main) {
        if (!m_mainScreen) {
            m_mainScreen = m_makeMainScreen();
            m_stack->addWidget(m_mainScreen);
        }
        setMinimumSize(mainMinimum());
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        m_stack->setCurrentWidget(m_mainScreen);
        emit boundsChanged();
        emit mainScreenChanged(m_mainScreen);
        return;
    }
    setFixedSize(onboardingSize);
    m_stack->setCurrentWidget(m_onboarding);
    emit boundsChanged();
    if (m_mainScreen) {
        // Gone at once from the window, deleted on the next turn: its coroutines may be on
        // the stack right now.
        QWidget *old = m_mainScreen;
        m_mainScreen = nullptr;
        m_stack->removeWidget(old);
        old->hide();
        old->deleteLater();
        emit mainScreenChanged(nullptr);
    }
}

} // namespace tolvo
