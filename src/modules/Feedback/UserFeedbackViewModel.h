#pragma once

#include "core/AlertType.h"
#include "core/Dependencies.h"
#include "services/FeedbackClient.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

namespace tolvo {

// The feedback form's state, an explicit state machine like the meeting forms'. The name and
// the description are checked once typing has paused for the debounce interval, the e-mail at
// once; a field is first checked when it is first written. The form becomes valid only after
// each of the three has been checked at least once, and is then the conjunction of their
// latest results. The three flags only drive the outlines.
class UserFeedbackViewModel : public QObject
{
    Q_OBJECT
public:
    static constexpr int defaultDebounceMs = 500;

    explicit UserFeedbackViewModel(QObject *parent = nullptr);

    const QString &email() const { return m_email; }
    const QString &username() const { return m_username; }
    const QString &comments() const { return m_comments; }
    void setEmail(const QString &email);
    void setUsername(const QString &name);
    void setComments(const QString &comments);

    bool isUsernameValid() const { return m_usernameValid; }
    bool isEmailValid() const { return m_emailValid; }
    bool isCommentsValid() const { return m_commentsValid; }
    bool formIsValid() const { return m_formIsValid; }

    AlertItem *alertType() const { return m_alert; }
    bool isSending() const { return m_sending; }

    void setDebounceInterval(int ms);

    // The "Send" button: a form not yet valid has all three fields checked at once (outlining
    // each one that fails); one still invalid raises `emptyInputs`; a valid one sends, and
    // "Report sent" (whose OK runs `closeHandler`) follows only once the report was accepted.
    // Ignored while a report is being sent.
    void submitTapped(std::function<void()> closeHandler);
    // The window has closed: a late answer shows nothing.
    void abandon();

signals:
    void changed();

private:
    void usernameChecked();
    void commentsChecked();
    void checkAllNow();
    void recomputeFormValid();

    Dependency<FeedbackClient> m_client;
    QString m_email;
    QString m_username;
    QString m_comments;
    bool m_usernameValid = true;
    bool m_emailValid = true;
    bool m_commentsValid = true;
    // The latest result of each check; none until the field was first checked.
    std::optional<bool> m_usernameResult;
    std::optional<bool> m_emailResult;
    std::optional<bool> m_commentsResult;
    bool m_formIsValid = false;
    bool m_sending = false;
    bool m_abandoned = false;
    QTimer m_usernameDebounce;
    QTimer m_commentsDebounce;
    AlertItem *m_alert;
};

} // namespace tolvo
