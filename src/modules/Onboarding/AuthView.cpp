#include "modules/Onboarding/AuthView.h"

#include "components/DefaultButton.h"
#include "components/Fonts.h"
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
    , m_addressHint(new ThemedLabel(tr("Browser did not open? Open this address to sign in:"),
          titleColor(), 12, QFont::Light))
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

    // Only while a sign-in waits, centred under the button: what it waits for, the address to
    // open by hand once it is known, and the way out.
    auto *waiting = new QVBoxLayout;
    waiting->setSpacing(6);
    m_status->setWordWrap(true);
    m_status->setAlignment(Qt::AlignCenter);
    waiting->addWidget(m_status);
    m_addressHint->setWordWrap(true);
    m_addressHint->setAlignment(Qt::AlignCenter);
    waiting->addWidget(m_addressHint);
    auto *addressLayout = new QHBoxLayout(m_addressRow);
    addressLayout->setContentsMargins(40, 0, 40, 0);
    m_address->setReadOnly(true);
    m_address->setAccessibleName(tr("Sign-in address"));
    addressLayout->addWidget(m_address, 1);
    addressLayout->addWidget(m_copy);
    waiting->addWidget(m_addressRow);
    waiting->addWidget(m_cancel, 0, Qt::AlignHCenter);
    layout->addLayout(waiting);
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
        = signingIn && m_viewModel ? m_viewModel->signInPrompt() : std::nullopt;
    const bool noBrowser = prompt && !prompt->browserOpened;
    m_status->setVisible(signingIn);
    m_status->setText(noBrowser
            ? tr("No web browser could be opened. Open this address in your browser to sign in:")
            : tr("Waiting for your browser..."));
    // A browser that starts may still fail (an error, a broken handler) without our knowing:
    // the address stays within reach, in smaller type while the browser is presumed to open.
    m_address->setFont(uiFont(noBrowser ? 13 : 11));
    m_copy->setFont(uiFont(noBrowser ? 16 : 12, QFont::Bold));
    m_address->setText(prompt ? QString::fromUtf8(prompt->address.toEncoded()) : QString());
    m_address->setCursorPosition(0);
    m_addressHint->setVisible(prompt && !noBrowser);
    m_addressRow->setVisible(prompt.has_value());
}

} // namespace tolvo
