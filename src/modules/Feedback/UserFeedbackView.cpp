#include "modules/Feedback/UserFeedbackView.h"

#include "components/AlertPresenter.h"
#include "components/DefaultButton.h"
#include "components/FormParts.h"
#include "components/MacEditorTextView.h"
#include "components/Palette.h"
#include "components/StyledButton.h"
#include "components/TolvoTextField.h"
#include "components/ValidationFrame.h"
#include "modules/Feedback/UserFeedbackViewModel.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace tolvo {

UserFeedbackView::UserFeedbackView(
    UserFeedbackViewModel *model, std::function<void()> closeHandler, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_closeHandler(std::move(closeHandler))
{
    model->setParent(this);
    setAttribute(Qt::WA_OpaquePaintEvent);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(rowSpacing);

    m_closeButton = form::closeButton(this);
    connect(m_closeButton, &QAbstractButton::clicked, this, [this] {
        if (m_closeHandler)
            m_closeHandler();
    });
    column->addLayout(
        form::headerRow(form::headerLabel(tr("Report a problem"), this), m_closeButton));

    m_nameField = new TolvoTextField(this);
    m_nameField->setPlaceholderText(tr("Name"));
    m_nameFrame = new ValidationFrame(m_nameField, this);
    connect(m_nameField, &QLineEdit::textEdited, model, &UserFeedbackViewModel::setUsername);
    column->addWidget(form::labelledRow(tr("Your name *"), m_nameFrame, this));

    m_emailField = new TolvoTextField(this);
    m_emailField->setPlaceholderText(tr("Email address"));
    m_emailFrame = new ValidationFrame(m_emailField, this);
    connect(m_emailField, &QLineEdit::textEdited, model, &UserFeedbackViewModel::setEmail);
    column->addWidget(form::labelledRow(tr("Email address *"), m_emailFrame, this));

    m_commentsEditor = new MacEditorTextView(this);
    m_commentsFrame = new ValidationFrame(m_commentsEditor, this);
    m_commentsFrame->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(m_commentsEditor, &MacEditorTextView::textChanged, model,
        &UserFeedbackViewModel::setComments);
    column->addWidget(form::labelledRow(tr("Issues description *"), m_commentsFrame, this), 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_sendButton = new StyledButton(ButtonStyle::blue, tr("Send"), this);
    m_sendButton->setFixedSize(sendButtonSize);
    connect(m_sendButton, &QAbstractButton::clicked, this, &UserFeedbackView::submitTapped);
    setDefaultButton(this, m_sendButton);
    buttons->addWidget(m_sendButton);
    column->addLayout(buttons);

    m_alertPresenter = new AlertPresenter(model->alertType(), this);
    connect(model, &UserFeedbackViewModel::changed, this, &UserFeedbackView::sync);
    sync();
}

void UserFeedbackView::submitTapped()
{
    m_model->submitTapped(m_closeHandler);
}

void UserFeedbackView::sync()
{
    m_nameFrame->setInvalid(!m_model->isUsernameValid());
    m_emailFrame->setInvalid(!m_model->isEmailValid());
    m_commentsFrame->setInvalid(!m_model->isCommentsValid());
}

void UserFeedbackView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette::backgroundDark());
}

} // namespace tolvo
