#include "backend/BackendOptions.h"

#include "backend/ParseNumber.h"
#include "backend/RedisUrl.h"

#include <arpa/inet.h>
#include <charconv>
#include <limits>

namespace tolvo::backend {

namespace {

bool isAddressLiteral(const std::string &text)
{
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, text.c_str(), buffer) == 1
        || inet_pton(AF_INET6, text.c_str(), buffer) == 1;
}

} // namespace

std::string usageText()
{
    return "Usage: tolvo-backend [--listen ADDRESS] [--port PORT] [--max-streams N]\n"
           "                     [--max-streams-per-name N] [--max-streams-per-address N]\n"
           "                     [--max-connections N] [--max-connections-per-address N]\n"
           "                     [--keep-alive-period SECONDS] [--redis URL]\n"
           "Relays Google Calendar push notifications (POST /notification-handler) to event\n"
           "streams (GET /events/<stream name>).\n"
           "  --listen ADDRESS           IPv4 or IPv6 address to listen on (default 127.0.0.1)\n"
           "  --port PORT                TCP port, 0 for any free port (default 8080)\n"
           "  --max-streams N            open event streams in all (default 16384)\n"
           "  --max-streams-per-name N   open event streams per stream name (default 16)\n"
           "  --max-streams-per-address N\n"
           "                             open event streams per client address (default 64;\n"
           "                             behind a reverse proxy every client has its address)\n"
           "  --max-connections N        other connections in all (default 1024)\n"
           "  --max-connections-per-address N\n"
           "                             other connections per client address (default 128)\n"
           "  --keep-alive-period SECONDS\n"
           "                             how often each stream gets a keep-alive comment\n"
           "                             (default 30; shorter behind proxies that close quiet\n"
           "                             connections sooner)\n"
           "  --redis URL                share notifications with the relays using this Redis,\n"
           "                             redis://[:PASSWORD@]HOST[:PORT][/DB] (default: none,\n"
           "                             this relay alone)\n"
           "Logs to standard error; stops cleanly on SIGTERM or SIGINT.\n";
}

tl::expected<CommandLine, std::string> parseCommandLine(const std::vector<std::string> &arguments)
{
    CommandLine result;
    BackendOptions &options = result.options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            result.helpRequested = true;
            continue;
        }
        // Both "--flag value" and "--flag=value".
        std::string name = argument;
        std::string value;
        bool hasValue = false;
        if (auto equals = argument.find('=');
            argument.starts_with("--") && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            hasValue = true;
        }
        struct Count
        {
            const char *name;
            std::size_t maximum;
            std::size_t BackendOptions::*field;
        };
        static constexpr Count counts[] = {
            {"--max-streams", 1'000'000, &BackendOptions::maxStreams},
            {"--max-streams-per-name", 100'000, &BackendOptions::maxStreamsPerName},
            {"--max-streams-per-address", 1'000'000, &BackendOptions::maxStreamsPerAddress},
            {"--max-connections", 1'000'000, &BackendOptions::maxConnections},
            {"--max-connections-per-address", 1'000'000, &BackendOptions::maxConnectionsPerAddress},
        };
        const Count *count = nullptr;
        for (const Count &candidate : counts) {
            if (name == candidate.name) {
                count = &candidate;
            }
        }
        const bool known = name == "--listen" || name == "--port" || name == "--keep-alive-period"
            || name == "--redis" || count != nullptr;
        if (!known) {
            return tl::unexpected("unknown argument \"" + argument + "\"");
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                return tl::unexpected(name + " needs a value");
            }
            value = arguments[++i];
        }
        if (name == "--listen") {
            if (!isAddressLiteral(value)) {
                return tl::unexpected(
                    "--listen needs an IPv4 or IPv6 address, not \"" + value + "\"");
            }
            options.listenAddress = value;
        } else if (name == "--port") {
            if (!parseNumber<std::uint16_t>(value, 0, 65535, options.port)) {
                return tl::unexpected(
                    "--port needs a number from 0 to 65535, not \"" + value + "\"");
            }
        } else if (name == "--redis") {
            if (auto endpoint = parseRedisUrl(value); !endpoint) {
                return tl::unexpected("--redis: " + endpoint.error());
            }
            options.redisUrl = value;
        } else if (name == "--keep-alive-period") {
            unsigned seconds = 0;
            if (!parseNumber<unsigned>(value, 1, 3600, seconds)) {
                return tl::unexpected(
                    "--keep-alive-period needs a number of seconds from 1 to 3600, not \"" + value
                    + "\"");
            }
            options.keepAlivePeriod = std::chrono::seconds(seconds);
        } else if (!parseNumber<std::size_t>(value, 1, count->maximum, options.*(count->field))) {
            return tl::unexpected(std::string(count->name) + " needs a number from 1 to "
                + std::to_string(count->maximum) + ", not \"" + value + "\"");
        }
    }
    return result;
}

} // namespace tolvo::backend
