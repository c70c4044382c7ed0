#include "modules/Feedback/UserFeedbackViewModel.h"

#include "core/FormLogic.h"
#include "core/StartTask.h"

namespace tolvo {

UserFeedbackViewModel::UserFeedbackViewModel(QObject *parent)
    : QObject(parent)
    , m_alert(new AlertItem(this))
{
    for (QTimer *timer : {&m_usernameDebounce, &m_commentsDebounce}) {
        timer->setSingleShot(true);
        timer->setInterval(defaultDebounceMs);
    }
    connect(&m_usernameDebounce, &QTimer::timeout, this, &UserFeedbackViewModel::usernameChecked);
    connect(&m_commentsDebounce, &QTimer::timeout, this, &UserFeedbackViewModel::commentsChecked);
}

void UserFeedbackViewModel::setDebounceInterval(int ms)
{
    m_usernameDebounce.setInterval(ms);
    m_commentsDebounce.setInterval(ms);
}

void UserFeedbackViewModel::setEmail(const QString &email)
{
    m_email = email;
    m_emailResult = isValidEmail(email);
    m_emailValid = *m_emailResult;
    recomputeFormValid();
}

void UserFeedbackViewModel::setUsername(const QString &name)
{
    m_username = name;
    m_usernameDebounce.start();
    emit changed();
}

void UserFeedbackViewModel::setComments(const QString &comments)
{
    m_comments = comments;
    m_commentsDebounce.start();
    emit changed();
}

void UserFeedbackViewModel::usernameChecked()
{
    m_usernameResult = isNonEmptyText(m_username);
    m_usernameValid = *m_usernameResult;
    recomputeFormValid();
}

void UserFeedbackViewModel::commentsChecked()
{
    m_commentsResult = isNonEmptyText(m_comments);
    m_commentsValid = *m_commentsResult;
    recomputeFormValid();
}

void UserFeedbackViewModel::recomputeFormValid()
{
    // Combines the checks' results, not the flags: nothing until all three have run once.
    if (m_usernameResult && m_commentsResult && m_emailResult)
        m_formIsValid = allThreeValid(*m_usernameResult, *m_commentsResult, *m_emailResult);
    emit changed();
}

void UserFeedbackViewModel::submitTapped(std::function<void()> closeHandler)
{
    if (m_sending || m_abandoned)
        return;
    if (!m_formIsValid)
        checkAllNow();
    if (!m_formIsValid) {
        m_alert->set(AlertType::emptyInputs());
        return;
    }
    m_sending = true;
    emit changed();
    startTask(this, m_client->sendFeedback(FeedbackReport {m_username, m_email, m_comments}),
        [this, closeHandler](VoidResult sent) {
            m_sending = false;
            if (m_abandoned)
                return;
            if (sent)
                m_alert->set(AlertType::reportSendedSuccessfully(closeHandler));
            else
                m_alert->set(AlertType::error(sent.error()));
            emit changed();
        });
}

void UserFeedbackViewModel::checkAllNow()
{
    // As the meeting forms do on Save: fields never touched still hold their first "valid"
    // flags, so all are checked now, every empty one is outlined and what is filled counts.
    m_usernameDebounce.stop();
    m_commentsDebounce.stop();
    usernameChecked();
    commentsChecked();
    setEmail(m_email);
}

void UserFeedbackViewModel::abandon()
{
    m_abandoned = true;
    m_usernameDebounce.stop();
    m_commentsDebounce.stop();
}

} // namespace tolvo
