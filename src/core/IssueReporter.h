#pragma once

#include <QString>

#include <functional>

namespace tolvo {

// Reports a programming issue (a test value used without being overridden, for example).
// The application logs it; the test harness turns it into a test failure.
void reportIssue(const QString &message);

using IssueHandler = std::function<void(const QString &message)>;

// Replaces the handler and returns the previous one.
IssueHandler setIssueHandler(IssueHandler handler);

} // namespace tolvo
