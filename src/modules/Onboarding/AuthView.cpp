#include "modules/Onboarding/AuthView.h"

#include "components/DefaultButton.h"
#include "components/Resources.h"
#include "components/StyledButton.h"
#include "components/ThemedWidgets.h"
#include "core/StartTask.h"
#include "modules/App/AppViewModel.h"

#include <QClipboard>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace tolvo {

AuthView::AuthView(AppViewModel *viewModel, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_title(new ThemedLabel(tr("Sign In to Your Google Account"), titleColor(), 32))
    , m_subtitle(new ThemedLabel(tr("Your data and credentials are stored securely on your device"),
          titleColor(), 14, QFont::Light))
    , m_signIn(new StyledButton(ButtonStyle::blue, tr("Sign in with Google")))
    , m_status(new ThemedLabel(QString(), titleColor(), 13))
    , m_cancel(new StyledButton(ButtonStyle::gray, tr("Cancel")))
    , m_addressRow(new QWidget)
    , m_address(new QLineEdit)
    , m_copy(new StyledButton(ButtonStyle::gray, tr("Copy")))
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

    // Only while a sign-in waits: what it waits for, and the way out.
    auto *statusRow = new QHBoxLayout;
    statusRow->addStretch();
    m_status->setWordWrap(true);
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_cancel);
    statusRow->addStretch();
    layout->addLayout(statusRow);
    auto *addressLayout = new QHBoxLayout(m_addressRow);
    addressLayout->setContentsMargins(40, 0, 40, 0);
    m_address->setReadOnly(true);
    m_address->setAccessibleName(tr("Sign-in address"));
    addressLayout->addWidget(m_address, 1);
    addressLayout->addWidget(m_copy);
    layout->addWidget(m_addressRow);
    layout->addStretch();

    m_dimmed->setOpacity(0.5);
    m_dimmed->setEnabled(false);
    m_signIn->setGraphicsEffect(m_dimmed);

    setDefaultButton(this, m_signIn);
    connect(m_signIn, &QAbstractButton::clicked, this, [this] {
        if (m_viewModel)
            startDetached(m_viewModel->signIn());
    });
    connect(m_cancel, &QAbstractButton::clicked, this, [this] {
        if (m_viewModel)
            m_viewModel->cancelSignIn();
    });
    connect(m_copy, &QAbstractButton::clicked, this,
        [this] { QGuiApplication::clipboard()->setText(m_address->text()); });
    connect(viewModel, &AppViewModel::signingInChanged, this, &AuthView::followSigningIn);
    connect(viewModel, &AppViewModel::signInPromptChanged, this, &AuthView::followPrompt);
    followSigningIn(viewModel->isSigningIn());
}

void AuthView::followSigningIn(bool signingIn)
{
    m_signIn->setEnabled(!signingIn);
    m_dimmed->setEnabled(signingIn);
    m_cancel->setVisible(signingIn);
    followPrompt();
}

void AuthView::followPrompt()
{
    const bool signingIn = m_viewModel && m_viewModel->isSigningIn();
    const std::optional<SignInPrompt> prompt
        = m_viewModel ? m_viewModel->signInPrompt() : std::nullopt;
    const bool noBrowser = signingIn && prompt && !prompt->browserOpened;
    m_status->setVisible(signingIn);
    m_status->setText(noBrowser
            ? tr("No web browser could be opened. Open this address in your browser to sign in:")
            : tr("Waiting for your browser..."));
    m_address->setText(noBrowser ? QString::fromUtf8(prompt->address.toEncoded()) : QString());
    m_address->setCursorPosition(0);
    m_addressRow->setVisible(noBrowser);
}

} // namespace tolvo
