#pragma once

#include <QPointer>
#include <QWidget>

class QGraphicsOpacityEffect;
class QLineEdit;

namespace tolvo {

class AppViewModel;
class StyledButton;
class ThemedLabel;

// The sign-in page: the application icon, what signing in means, and the Google button. The
// button is disabled while a sign-in runs, so that a second press does not open a second
// browser flow; meanwhile the page says that it waits for the browser and offers Cancel. Once
// the address is known it is always offered with Copy: quietly while a browser was started (it
// may still fail to come up), prominently when none could be. Failures are silent and leave the
// page as it was.
class AuthView : public QWidget
{
    Q_OBJECT
public:
    explicit AuthView(AppViewModel *viewModel, QWidget *parent = nullptr);

    StyledButton *signInButton() const { return m_signIn; }
    ThemedLabel *titleLabel() const { return m_title; }
    ThemedLabel *subtitleLabel() const { return m_subtitle; }
    ThemedLabel *statusLabel() const { return m_status; }
    // "Browser did not open?": shown with the quiet address only.
    ThemedLabel *addressHint() const { return m_addressHint; }
    StyledButton *cancelButton() const { return m_cancel; }
    QLineEdit *addressField() const { return m_address; }
    StyledButton *copyButton() const { return m_copy; }

private:
    void followSigningIn(bool signingIn);
    void followPrompt();

    QPointer<AppViewModel> m_viewModel;
    ThemedLabel *m_title;
    ThemedLabel *m_subtitle;
    StyledButton *m_signIn;
    ThemedLabel *m_status;
    StyledButton *m_cancel;
    ThemedLabel *m_addressHint;
    QWidget *m_addressRow;
    QLineEdit *m_address;
    StyledButton *m_copy;
    QGraphicsOpacityEffect *m_dimmed;
};

} // namespace tolvo
