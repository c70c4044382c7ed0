#pragma once

#include "backend/BackendOptions.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <tl/expected.hpp>

namespace tolvo::backend {

// The push relay: Google posts a channel's notifications to POST /notification-handler, and
// every open GET /events/<channel token> stream of that token receives one event line.
//
// Two ways to run it:
// - `run()` serves on the calling thread until SIGTERM, SIGINT or `stop()` (the executable);
// - `start()` serves on a thread of its own and returns once listening (tests, in-process).
// Either way `stop()` ends every stream cleanly (its chunked body is closed) and returns once
// the server has let go of its port. A stopped server can be started again; it then listens on
// the port it had, even when that was picked with port 0.
// The accessors may be called from any thread.
class BackendServer
{
public:
    explicit BackendServer(BackendOptions options = {});
    ~BackendServer();

    BackendServer(const BackendServer &) = delete;
    BackendServer &operator=(const BackendServer &) = delete;

    tl::expected<void, std::string> start();
    tl::expected<void, std::string> run();
    void stop();

    // The port actually listened on (useful with port 0); 0 before the first start.
    std::uint16_t port() const;
    // Open event streams of one stream name, and in all.
    std::size_t subscriberCount(const std::string &streamName) const;
    std::size_t streamCount() const;
    // Stream names holding an undelivered notification.
    std::size_t pendingCount() const;
    // Whether the relay shares notifications through Redis right now (never without --redis).
    bool redisConnected() const;
    // How long the relay waits before its next attempt to reach Redis, should this one fail;
    // zero without --redis.
    std::chrono::milliseconds redisRetryDelay() const;
    // The most streams one keep-alive pass has written to since the start.
    std::size_t longestKeepAlivePass() const;

private:
    struct Runner;
    enum class Thread { own, caller };

    tl::expected<void, std::string> launch(Thread thread);

    BackendOptions m_options;
    std::unique_ptr<Runner> m_runner;
};

} // namespace tolvo::backend
