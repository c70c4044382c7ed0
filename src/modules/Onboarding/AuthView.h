#pragma once

#include <QPointer>
#include <QWidget>

class QGraphicsOpacityEffect;

namespace tolvo {

class AppViewModel;
class StyledButton;
class ThemedLabel;

// The sign-in page: the application icon, what signing in means, and the Google button. The
// button is disabled while a sign-in runs, so that a second press does not open a second
// browser flow; failures are silent and leave the page as it was.
class AuthView : public QWidget
{
    Q_OBJECT
public:
    explicit AuthView(AppViewModel *viewModel, QWidget *parent = nullptr);

    StyledButton *signInButton() const { return m_signIn; }
    ThemedLabel *titleLabel() const { return m_title; }
    ThemedLabel *subtitleLabel() const { return m_subtitle; }

private:
    void followSigningIn(bool signingIn);

    QPointer<AppViewModel> m_viewModel;
    ThemedLabel *m_title;
    ThemedLabel *m_subtitle;
    StyledButton *m_signIn;
    QGraphicsOpacityEffect *m_dimmed;
};

} // namespace tolvo
