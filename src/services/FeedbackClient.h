#pragma once

#include "core/Result.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>

namespace tolvo {

// A problem report typed by the user.
struct FeedbackReport
{
    QString name;
    QString email;
    QString comments;
};

// Sends the feedback form's reports to the crash-reporting service: the message "user message"
// with the user's name, address and description attached. Succeeds only once the service has
// accepted the report.
struct FeedbackClient
{
    static constexpr const char *dependencyKey = "feedbackClient";

    std::function<QCoro::Task<VoidResult>(const FeedbackReport &report)> sendFeedback;

    // Through the process's crash reporter; fails when none was started.
    static FeedbackClient liveValue();
    static FeedbackClient testValue();
    static FeedbackClient previewValue();
};

} // namespace tolvo
