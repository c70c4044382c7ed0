#include "backend/Notification.h"

#include <algorithm>

namespace tolvo::backend {

namespace {

constexpr std::size_t maxFieldLength = 256;

bool isPrintableField(std::string_view text)
{
    return !text.empty() && text.size() <= maxFieldLength
        && std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x21 && c <= 0x7e; });
}

void appendJsonString(std::string &out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        // Fields are printable ASCII by now; only these two need escaping.
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
}

} // namespace

bool isStreamName(std::string_view text)
{
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
}

tl::expected<Notification, std::string> parseNotification(const NotificationHeaders &headers)
{
    if (headers.channelToken == nullptr || !isStreamName(headers.channelToken)) {
        return tl::unexpected(
            std::string("X-Goog-Channel-Token must be 64 lower-case hexadecimal characters"));
    }
    if (headers.resourceState == nullptr || *headers.resourceState == '\0') {
        return tl::unexpected(std::string("X-Goog-Resource-State is missing"));
    }
    if (!isPrintableField(headers.resourceState)) {
        return tl::unexpected(std::string("X-Goog-Resource-State is not a short ASCII word"));
    }
    Notification notification {headers.channelToken, headers.resourceState, std::nullopt};
    if (headers.channelId != nullptr) {
        if (!isPrintableField(headers.channelId)) {
            return tl::unexpected(std::string("X-Goog-Channel-ID is not short printable ASCII"));
        }
        notification.channelId = headers.channelId;
    }
    return notification;
}

std::string eventLine(const Notification &notification)
{
    std::string line = "data: {\"state\":";
    appendJsonString(line, notification.state);
    if (notification.channelId) {
        line += ",\"channelId\":";
        appendJsonString(line, *notification.channelId);
    }
    line += "}\n\n";
    return line;
}

} // namespace tolvo::backend
