#include "modules/Onboarding/AuthView.h"

#include "components/DefaultButton.h"
#include "components/Resources.h"
#include "components/StyledButton.h"
#include "components/ThemedWidgets.h"
#include "core/StartTask.h"
#include "modules/App/AppViewModel.h"

#include <QGraphicsOpacityEffect>
#include <QVBoxLayout>

namespace tolvo {

AuthView::AuthView(AppViewModel *viewModel, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_title(new ThemedLabel(tr("Sign In to Your Google Account"), titleColor(), 32))
    , m_subtitle(new ThemedLabel(tr("Your data and credentials are stored securely on your device"),
          titleColor(), 14, QFont::Light))
    , m_signIn(new StyledButton(ButtonStyle::blue, tr("Sign in with Google")))
    , m_dimmed(new QGraphicsOpacityEffect(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->addStretch();
    layout->addWidget(
        resources::imageLabel(QStringLiteral("app_icon"), {100, 100}), 0, Qt::AlignHCenter);
    for (ThemedLabel *label : {m_title, m_subtitle}) {
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    m_signIn->setIcon(resources::icon(QStringLiteral("google_icon"), {24, 24}));
    m_signIn->setIconSize({24, 24});
    m_signIn->setContentPadding({6, 6, 6, 6});
    m_signIn->setCursor(Qt::PointingHandCursor);
    layout->addWidget(m_signIn, 0, Qt::AlignHCenter);
    layout->addStretch();

    m_dimmed->setOpacity(0.5);
    m_dimmed->setEnabled(false);
    m_signIn->setGraphicsEffect(m_dimmed);

    setDefaultButton(this, m_signIn);
    connect(m_signIn, &QAbstractButton::clicked, this, [this] {
        if (m_viewModel)
            startDetached(m_viewModel->signIn());
    });
    connect(viewModel, &AppViewModel::signingInChanged, this, &AuthView::followSigningIn);
    followSigningIn(viewModel->isSigningIn());
}

void AuthView::followSigningIn(bool signingIn)
{
    m_signIn->setEnabled(!signingIn);
    m_dimmed->setEnabled(signingIn);
}

} // namespace tolvo
