#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <tl/expected.hpp>

namespace tolvo::backend {

// Where the relays' shared Redis is: redis://[[user]:password@]host[:port][/db].
struct RedisEndpoint
{
    std::string host;
    std::uint16_t port = 6379;
    unsigned database = 0;
    std::string password; // empty: no AUTH
};

tl::expected<RedisEndpoint, std::string> parseRedisUrl(std::string_view url);

} // namespace tolvo::backend
