#pragma once

#include "backend/BackendOptions.h"
#include "backend/ConnectionGuard.h"
#include "backend/Listener.h"
#include "backend/RedisBridge.h"
#include "backend/RelayLog.h"
#include "backend/StreamRegistry.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include <tl/expected.hpp>

struct event;
struct event_base;
struct evbuffer;
struct evhttp;
struct evhttp_request;

namespace tolvo::backend {

// One relay: an event loop with its HTTP server, listener and streams. It routes requests,
// answers what is not a stream, and stops gracefully. Everything but `requestStop` and the
// counts runs on the thread that calls `dispatch`.
class RelayLoop
{
public:
    explicit RelayLoop(BackendOptions options);
    ~RelayLoop();

    RelayLoop(const RelayLoop &) = delete;
    RelayLoop &operator=(const RelayLoop &) = delete;

    tl::expected<void, std::string> listen();
    // SIGTERM and SIGINT stop the loop (for the executable).
    void handleTerminationSignals();
    // Serves until stopped.
    void dispatch();
    // Any thread.
    void requestStop();

    std::uint16_t port() const { return m_port; }
    const StreamRegistry &streams() const { return *m_streams; }
    // Whether this relay shares notifications through Redis right now.
    bool redisConnected() const { return m_redis != nullptr && m_redis->connected(); }
    std::chrono::milliseconds redisRetryDelay() const
    {
        return m_redis != nullptr ? m_redis->retryDelay() : std::chrono::milliseconds(0);
    }

private:
    static void onRequest(evhttp_request *request, void *context);
    void handle(evhttp_request *request);
    void handleNotification(evhttp_request *request);
    void openStream(evhttp_request *request, const std::string &name);
    void reject(evhttp_request *request, int status, const char *reason, const std::string &why);
    void beginStop();
    void housekeeping();
    void applyFileLimit();

    BackendOptions m_options;
    RelayLog m_log;
    event_base *m_base = nullptr;
    evhttp *m_http = nullptr;
    evbuffer *m_scratch = nullptr;
    std::unique_ptr<Listener> m_listener;
    std::unique_ptr<StreamRegistry> m_streams;
    std::unique_ptr<ConnectionGuard> m_guard;
    std::unique_ptr<RedisBridge> m_redis;
    std::size_t m_descriptorBudget = 0;
    LogThrottle m_rejectLog;
    event *m_housekeeping = nullptr;
    event *m_stopEvent = nullptr;
    event *m_stopDeadline = nullptr;
    event *m_sigterm = nullptr;
    event *m_sigint = nullptr;
    std::atomic<std::uint16_t> m_port = 0;
    bool m_stopping = false;
};

} // namespace tolvo::backend
