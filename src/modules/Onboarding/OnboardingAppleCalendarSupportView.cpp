#include "modules/Onboarding/OnboardingAppleCalendarSupportView.h"

#include "components/DefaultButton.h"
#include "components/Resources.h"
#include "components/StyledButton.h"
#include "components/ThemedWidgets.h"
#include "modules/App/AppViewModel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace tolvo {

OnboardingAppleCalendarSupportView::OnboardingAppleCalendarSupportView(
    AppViewModel *viewModel, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_enable(new StyledButton(ButtonStyle::blue, tr("Enable Sync")))
    , m_later(new StyledButton(ButtonStyle::grayed, tr("Maybe later")))
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->addStretch();
    layout->addWidget(
        resources::imageLabel(QStringLiteral("app_icon"), {100, 100}), 0, Qt::AlignHCenter);
    auto *title = new ThemedLabel(tr("Sync Google Events to a Local Calendar"), titleColor(), 32);
    auto *question = new ThemedLabel(
        tr("Would you like to see your Google Calendar events in your local calendar as well?"),
        titleColor(), 14, QFont::Light);
    for (ThemedLabel *label : {title, question}) {
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (StyledButton *button : {m_enable, m_later}) {
        button->setContentPadding({8, 8, 8, 8});
        button->setCursor(Qt::PointingHandCursor);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addStretch();

    setDefaultButton(this, m_enable);
    connect(m_enable, &QAbstractButton::clicked, this, [this] {
        if (m_viewModel)
            m_viewModel->requestAppleCalendarAccess();
    });
    connect(m_later, &QAbstractButton::clicked, this, [this] {
        if (m_viewModel)
            m_viewModel->setDestination(Destination::main);
    });
}

} // namespace tolvo
