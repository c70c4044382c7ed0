#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <tl/expected.hpp>

namespace tolvo::backend {

using namespace std::chrono_literals;

// Everything the relay can be tuned with. The defaults are what the executable runs with; tests
// shorten the periods so that nothing waits for real deadlines.
struct BackendOptions
{
    std::string listenAddress = "127.0.0.1"; // an IPv4 or IPv6 literal
    std::uint16_t port = 8080; // 0 picks a free port (see BackendServer::port)

    std::chrono::milliseconds keepAlivePeriod = 30s; // 0: no keep-alive comments
    // A notification for a stream name nobody listens to waits this long for a listener.
    std::chrono::milliseconds pendingLifetime = 15min;
    // A connection that is not an event stream and sends nothing for this long is closed.
    std::chrono::milliseconds idleTimeout = 60s;
    // A connection must send a whole request (head and body) within this long of opening, or of
    // its previous answer; sending slowly does not extend it. Idle keep-alive connections close
    // when it runs out.
    std::chrono::milliseconds requestDeadline = 10s;
    // An event stream whose client reads nothing of what is queued for it for this long is
    // closed, keep-alives or not. Checked once per keep-alive period.
    std::chrono::milliseconds streamWriteTimeout = 60s;

    std::size_t maxHeaderBytes = 8 * 1024;
    std::size_t maxBodyBytes = 4 * 1024;
    std::size_t maxStreamsPerName = 16;
    std::size_t maxStreams = 16384;
    // So that one client address cannot take every stream slot. Behind a reverse proxy every
    // client has the proxy's address: raise it there.
    std::size_t maxStreamsPerAddress = 64;
    // Connections that are not streams (requests, and keep-alive connections between them), in
    // all and per client address. Past either cap the oldest one waiting for a request is
    // closed to make room. Behind a reverse proxy every client has the proxy's address.
    std::size_t maxConnections = 1024;
    std::size_t maxConnectionsPerAddress = 128;
    // Keep-alives are written a slice at a time over the period, at most this many per pass of
    // the loop (as is the ending of streams at stop).
    std::size_t keepAliveBatch = 256;
    std::size_t maxPendingNames = 10000;
    // A stream whose client does not read falls behind; past this much queued output it is
    // dropped, and the client reconnects and catches up with one fetch.
    std::size_t maxStreamOutputBytes = 256 * 1024;
    // Clients send nothing after their GET; one that does is dropped past this much.
    std::size_t maxStreamInputBytes = 4 * 1024;

    // Joins the relays sharing this Redis (redis://[:password@]host[:port][/db]); empty: this
    // relay alone.
    std::string redisUrl;
    // The first wait before connecting to Redis again; it doubles up to the longest.
    std::chrono::milliseconds redisRetryMin = 250ms;
    std::chrono::milliseconds redisRetryMax = 10s;
    // Redis not answering a command for this long counts as gone.
    std::chrono::milliseconds redisTimeout = 5s;

    // Where log lines go; empty means standard error.
    std::function<void(std::string_view line)> log;
};

struct CommandLine
{
    BackendOptions options;
    bool helpRequested = false;
};

// Parses the executable's arguments (without the program name).
tl::expected<CommandLine, std::string> parseCommandLine(const std::vector<std::string> &arguments);

std::string usageText();

} // namespace tolvo::backend
