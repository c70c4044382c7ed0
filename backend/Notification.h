#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <tl/expected.hpp>

namespace tolvo::backend {

// The headers of a Google channel notification that the relay reads; null when absent.
struct NotificationHeaders
{
    const char *channelToken = nullptr; // X-Goog-Channel-Token: the stream name
    const char *resourceState = nullptr; // X-Goog-Resource-State
    const char *channelId = nullptr; // X-Goog-Channel-ID
};

// A notification that passed validation, ready to be relayed.
struct Notification
{
    std::string streamName;
    std::string state;
    std::optional<std::string> channelId;
};

// A stream name is the lower-case hexadecimal SHA-256 of a calendar id: 64 characters.
bool isStreamName(std::string_view text);

// Checks a notification's headers. The state and channel id end up inside a JSON line on every
// listener's stream, so only short printable ASCII is accepted there.
tl::expected<Notification, std::string> parseNotification(const NotificationHeaders &headers);

// `data: {"state":"...","channelId":"..."}` and the blank line that ends the event.
std::string eventLine(const Notification &notification);

// A comment line: listeners take it as a sign of life, not as a change.
inline constexpr std::string_view keepAliveLine = ": keep-alive\n";

} // namespace tolvo::backend
