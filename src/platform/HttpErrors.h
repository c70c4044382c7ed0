#pragma once

#include "core/Result.h"

#include <QNetworkReply>

#include <chrono>
#include <optional>

namespace tolvo {

// Codes of ErrorDomain::network. They are ours: a QNetworkReply::NetworkError value is never
// passed on as a code (its 403 means "service unavailable", not "forbidden").
namespace networkcode {
inline constexpr int connectionRefused = -1;
inline constexpr int hostNotFound = -2;
inline constexpr int timedOut = -3;
inline constexpr int tls = -4;
inline constexpr int connectionClosed = -5;
inline constexpr int other = -99;
} // namespace networkcode

// The transport failure of a reply that got no HTTP answer. The message is a fixed text: Qt's
// own error strings name the URL, which can carry a calendar id (an e-mail address).
Error transportError(QNetworkReply::NetworkError error);

// The HTTP status of a finished reply, 0 when there was no HTTP answer.
int httpStatus(const QNetworkReply &reply);

// Every request Tolvo sends to Google or the OAuth server gives up after this long without a
// byte moving either way.
inline constexpr std::chrono::milliseconds defaultTransferTimeout {30'000};

// Aborts `reply` when `limit` passes without progress (a server that accepts and never
// answers); replyFailure then reports networkcode::timedOut, not a cancellation.
void armTransferTimeout(QNetworkReply *reply, std::chrono::milliseconds limit);

// How a finished reply failed: an HTTP status of 400 or more (with the status as code), a
// transport failure, or an abort (the cancellation error). Nothing for a success.
std::optional<Error> replyFailure(const QNetworkReply &reply);

} // namespace tolvo
