#include "services/FeedbackClient.h"

#include "core/StartTask.h"
#include "core/Unimplemented.h"
#include "platform/CrashReporter.h"

#include <QCoreApplication>

namespace tolvo {

namespace {
QCoro::Task<VoidResult> sendThroughReporter(FeedbackReport report)
{
    CrashReporter *reporter = CrashReporter::shared();
    if (!reporter)
        co_return failure(ErrorDomain::other, 0,
            QCoreApplication::translate(
                "FeedbackClient", "Reports cannot be sent: the crash reporter is not running."));
    UserFeedback feedback {
        {}, std::move(report.name), std::move(report.email), std::move(report.comments)};
    VoidResult sent = co_await reporter->sendFeedback(QStringLiteral("user message"), feedback);
    co_return sent;
}
} // namespace

FeedbackClient FeedbackClient::liveValue()
{
    return FeedbackClient {
        [](const FeedbackReport &report) { return sendThroughReporter(report); }};
}

FeedbackClient FeedbackClient::testValue()
{
    return FeedbackClient {
        unimplemented<QCoro::Task<VoidResult>(const FeedbackReport &)>(
            "FeedbackClient", "sendFeedback"),
    };
}

FeedbackClient FeedbackClient::previewValue()
{
    return FeedbackClient {[](const FeedbackReport &) { return readyTask(VoidResult {}); }};
}

} // namespace tolvo
