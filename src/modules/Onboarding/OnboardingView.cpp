#include "modules/Onboarding/OnboardingView.h"

#include "components/DefaultButton.h"
#include "components/Resources.h"
#include "components/StyledButton.h"
#include "components/WindowReader.h"
#include "modules/App/AppViewModel.h"
#include "modules/Onboarding/AuthView.h"
#include "modules/Onboarding/OnboardingAppleCalendarSelectionView.h"
#include "modules/Onboarding/OnboardingAppleCalendarSupportView.h"

#include <QGraphicsOpacityEffect>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tolvo {

OnboardingView::OnboardingView(AppViewModel *viewModel, QWidget *parent)
    : ThemedPanel(screenBackground(), parent)
    , m_viewModel(viewModel)
    , m_pages(new QStackedWidget)
    , m_welcome(new WindowReader([this](QWidget *) { return makeWelcome(); },
          [](QWidget *window) { centreWindow(window); }))
    , m_auth(new AuthView(viewModel))
    , m_support(new OnboardingAppleCalendarSupportView(viewModel))
    , m_selection(new OnboardingAppleCalendarSelectionView(viewModel))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);
    for (QWidget *page : {static_cast<QWidget *>(m_welcome), static_cast<QWidget *>(m_auth),
             static_cast<QWidget *>(m_support), static_cast<QWidget *>(m_selection)})
        m_pages->addWidget(page);
    connect(viewModel, &AppViewModel::currentStepChanged, this, [this] { showStep(false); });
    showStep(false);
}

QWidget *OnboardingView::makeWelcome()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addStretch();
    layout->addWidget(
        resources::imageLabel(QStringLiteral("app_icon"), {100, 100}), 0, Qt::AlignHCenter);
    auto *title = new ThemedLabel(tr("Welcome to Tolvo!"), titleColor(), 32);
    title->setAlignment(Qt::AlignCenter);
    title->setWordWrap(true);
    layout->addWidget(title);
    m_getStarted = new StyledButton(ButtonStyle::blue, tr("Get Started"));
    m_getStarted->setContentPadding({8, 8, 8, 8});
    m_getStarted->setCursor(Qt::PointingHandCursor);
    connect(m_getStarted, &QAbstractButton::clicked, this, &OnboardingView::getStarted);
    layout->addWidget(m_getStarted, 0, Qt::AlignHCenter);
    layout->addStretch();
    setDefaultButton(page, m_getStarted);
    return page;
}

QWidget *OnboardingView::currentPage() const
{
    return m_pages->currentWidget();
}

void OnboardingView::getStarted()
{
    if (!m_viewModel)
        return;
    // The step change below shows the page at once; the slide is added on top of it.
    m_viewModel->setCurrentStep(OnboardingStep::auth);
    showStep(true);
}

void OnboardingView::showStep(bool animated)
{
    if (!m_viewModel)
        return;
    QWidget *page = m_welcome;
    switch (m_viewModel->currentStep()) {
    case OnboardingStep::onboarding: page = m_welcome; break;
    case OnboardingStep::auth: page = m_auth; break;
    case OnboardingStep::appleCalendarSupport: page = m_support; break;
    case OnboardingStep::appleCalendarSelection: page = m_selection; break;
    }
    if (m_slide)
        m_slide->stop();
    page->setGraphicsEffect(nullptr);
    m_pages->setCurrentWidget(page);
    if (!animated || m_transitionMs <= 0 || !isVisible())
        return;

    // In from the trailing edge while fading in.
    auto *fade = new QGraphicsOpacityEffect(page);
    page->setGraphicsEffect(fade);
    auto *group = new QParallelAnimationGroup(page);
    auto *move = new QPropertyAnimation(page, "pos", group);
    const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
    move->setStartValue(QPoint(rightToLeft ? -width() : width(), 0));
    move->setEndValue(QPoint(0, 0));
    auto *opacity = new QPropertyAnimation(fade, "opacity", group);
    opacity->setStartValue(0.0);
    opacity->setEndValue(1.0);
    for (QPropertyAnimation *animation : {move, opacity}) {
        animation->setDuration(m_transitionMs);
        animation->setEasingCurve(QEasingCurve::OutCubic);
        group->addAnimation(animation);
    }
    connect(
        group, &QAbstractAnimation::finished, page, [page] { page->setGraphicsEffect(nullptr); });
    m_slide = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace tolvo
