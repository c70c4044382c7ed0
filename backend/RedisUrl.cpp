#include "backend/RedisUrl.h"

#include "backend/ParseNumber.h"

namespace tolvo::backend {

tl::expected<RedisEndpoint, std::string> parseRedisUrl(std::string_view url)
{
    constexpr std::string_view scheme = "redis://";
    const auto fail = [&](const std::string &why) {
        return tl::unexpected("\"" + std::string(url) + "\" " + why);
    };
    if (!url.starts_with(scheme)) {
        return fail("is not a redis:// address");
    }
    std::string_view rest = url.substr(scheme.size());
    RedisEndpoint endpoint;
    if (auto at = rest.rfind('@'); at != std::string_view::npos) {
        const std::string_view credentials = rest.substr(0, at);
        const auto colon = credentials.find(':');
        // Only the password is used: the user part needs Redis 6 ACLs.
        endpoint.password = colon == std::string_view::npos
            ? std::string(credentials)
            : std::string(credentials.substr(colon + 1));
        rest = rest.substr(at + 1);
    }
    std::string_view path;
    if (auto slash = rest.find('/'); slash != std::string_view::npos) {
        path = rest.substr(slash + 1);
        rest = rest.substr(0, slash);
    }
    std::string_view port;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string_view::npos) {
            return fail("has an unclosed [");
        }
        endpoint.host = std::string(rest.substr(1, close - 1));
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty() && !after.starts_with(':')) {
            return fail("has text after its host");
        }
        port = after.empty() ? after : after.substr(1);
        if (after == ":") {
            return fail("has an empty port");
        }
    } else if (auto colon = rest.find(':'); colon != std::string_view::npos) {
        endpoint.host = std::string(rest.substr(0, colon));
        port = rest.substr(colon + 1);
        if (port.empty()) {
            return fail("has an empty port");
        }
    } else {
        endpoint.host = std::string(rest);
    }
    if (endpoint.host.empty()) {
        return fail("names no host");
    }
    if (!port.empty() && (!parseNumber<std::uint16_t>(port, 1, 65535, endpoint.port))) {
        return fail("has a port that is not a number from 1 to 65535");
    }
    if (!path.empty() && !parseNumber<unsigned>(path, 0, 1'000'000, endpoint.database)) {
        return fail("has a database that is not a number");
    }
    return endpoint;
}

} // namespace tolvo::backend
