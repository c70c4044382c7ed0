#pragma once

#include <QWidget>

#include <functional>

namespace tolvo {

class AlertPresenter;
class MacEditorTextView;
class StyledButton;
class TolvoTextField;
class UserFeedbackViewModel;
class ValidationFrame;

// The feedback form ("Report a problem"): a name, an e-mail address and a description of the
// issue, each outlined in red while its check fails, and "Send". Fixed dark colours.
class UserFeedbackView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int padding = 20;
    static constexpr int rowSpacing = 16;
    static constexpr QSize sendButtonSize {100, 48};

    // Takes the model as its child.
    UserFeedbackView(UserFeedbackViewModel *model, std::function<void()> closeHandler,
        QWidget *parent = nullptr);

    UserFeedbackViewModel *model() const { return m_model; }
    void submitTapped();

    StyledButton *closeButton() const { return m_closeButton; }
    TolvoTextField *nameField() const { return m_nameField; }
    TolvoTextField *emailField() const { return m_emailField; }
    MacEditorTextView *commentsEditor() const { return m_commentsEditor; }
    ValidationFrame *nameFrame() const { return m_nameFrame; }
    ValidationFrame *emailFrame() const { return m_emailFrame; }
    ValidationFrame *commentsFrame() const { return m_commentsFrame; }
    StyledButton *sendButton() const { return m_sendButton; }
    AlertPresenter *alertPresenter() const { return m_alertPresenter; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void sync();

    UserFeedbackViewModel *m_model;
    std::function<void()> m_closeHandler;
    StyledButton *m_closeButton;
    TolvoTextField *m_nameField;
    TolvoTextField *m_emailField;
    MacEditorTextView *m_commentsEditor;
    ValidationFrame *m_nameFrame;
    ValidationFrame *m_emailFrame;
    ValidationFrame *m_commentsFrame;
    StyledButton *m_sendButton;
    AlertPresenter *m_alertPresenter;
};

} // namespace tolvo
