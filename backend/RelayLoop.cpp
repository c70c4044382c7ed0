#include "backend/RelayLoop.h"

#include "backend/EventTime.h"
#include "backend/Notification.h"
#include "backend/RedisUrl.h"
#include "backend/Route.h"

#include <event2/buffer.h>
#include <event2/bufferevent.h>
#include <event2/bufferevent_struct.h>
#include <event2/event.h>
#include <event2/http.h>
#include <event2/keyvalq_struct.h>
#include <event2/thread.h>

#include <sys/resource.h>

#include <csignal>
#include <mutex>

namespace tolvo::backend {

namespace {

const char *methodName(evhttp_cmd_type command)
{
    switch (command) {
    case EVHTTP_REQ_GET: return "GET";
    case EVHTTP_REQ_POST: return "POST";
    case EVHTTP_REQ_HEAD: return "HEAD";
    case EVHTTP_REQ_PUT: return "PUT";
    case EVHTTP_REQ_DELETE: return "DELETE";
    case EVHTTP_REQ_OPTIONS: return "OPTIONS";
    case EVHTTP_REQ_TRACE: return "TRACE";
    case EVHTTP_REQ_CONNECT: return "CONNECT";
    case EVHTTP_REQ_PATCH: return "PATCH";
    }
    return "?";
}

std::string peerAddress(evhttp_request *request)
{
    evhttp_connection *connection = evhttp_request_get_connection(request);
    if (connection == nullptr) {
        return "?";
    }
    char *address = nullptr;
    ev_uint16_t port = 0;
    evhttp_connection_get_peer(connection, &address, &port);
    return printable(address);
}

// Sends an answer now rather than on the next pass. evhttp queues it and asks epoll to report
// the socket writable, which costs a loop pass, and an epoll_ctl to start and to stop watching
// for it on every request of a keep-alive connection. Running the connection's write event at
// once writes the answer in this pass (a socket that cannot take it all leaves the rest to the
// usual watch), and since the watch is dropped in the same pass, the change list sends nothing
// to epoll.
void answer(evhttp_request *request, int status, const char *reason, evbuffer *body)
{
    evhttp_connection *connection = evhttp_request_get_connection(request);
    bufferevent *buffer
        = connection != nullptr ? evhttp_connection_get_bufferevent(connection) : nullptr;
    evhttp_send_reply(request, status, reason, body);
    if (buffer != nullptr) {
        event_active(&buffer->ev_write, EV_WRITE, 1);
    }
}

void ensureThreadSupport()
{
    static std::once_flag once;
    std::call_once(once, [] { evthread_use_pthreads(); });
}

} // namespace

RelayLoop::RelayLoop(BackendOptions options)
    : m_options(std::move(options))
    , m_log(m_options.log)
{
    ensureThreadSupport();
}

RelayLoop::~RelayLoop()
{
    // Freeing the server closes the connections still open; their close callbacks run now and
    // need the streams.
    if (m_http != nullptr) {
        evhttp_free(m_http);
    }
    m_redis.reset();
    m_listener.reset();
    m_guard.reset();
    m_streams.reset();
    for (event *e : {m_housekeeping, m_stopEvent, m_stopDeadline, m_sigterm, m_sigint}) {
        if (e != nullptr) {
            event_free(e);
        }
    }
    if (m_scratch != nullptr) {
        evbuffer_free(m_scratch);
    }
    if (m_base != nullptr) {
        event_base_free(m_base);
    }
}

tl::expected<void, std::string> RelayLoop::listen()
{
    // A client that goes away mid-write must cost an error code, not the process.
    std::signal(SIGPIPE, SIG_IGN);
    applyFileLimit();

    // Switching a connection between reading its request and writing its answer changes what
    // epoll waits for several times per request; the change list folds those into at most one
    // epoll_ctl per descriptor and loop pass. libevent warns it is unsafe for descriptors that
    // are dup()ed; nothing here duplicates one (evhttp, the listener, the direct stream writes
    // and hiredis's libevent adapter all register the descriptor they were given).
    event_config *config = event_config_new();
    if (config != nullptr) {
        event_config_set_flag(config, EVENT_BASE_FLAG_EPOLL_USE_CHANGELIST);
        m_base = event_base_new_with_config(config);
        event_config_free(config);
    }
    m_http = m_base != nullptr ? evhttp_new(m_base) : nullptr;
    m_scratch = evbuffer_new();
    if (m_http == nullptr || m_scratch == nullptr) {
        return tl::unexpected(std::string("could not set up the event loop"));
    }
    evhttp_set_max_headers_size(m_http, static_cast<ev_ssize_t>(m_options.maxHeaderBytes));
    evhttp_set_max_body_size(m_http, static_cast<ev_ssize_t>(m_options.maxBodyBytes));
    // Every method evhttp knows reaches the router, which answers 404 or 405 (else 501).
    evhttp_set_allowed_methods(m_http,
        EVHTTP_REQ_GET | EVHTTP_REQ_POST | EVHTTP_REQ_HEAD | EVHTTP_REQ_PUT | EVHTTP_REQ_DELETE
            | EVHTTP_REQ_OPTIONS | EVHTTP_REQ_TRACE | EVHTTP_REQ_CONNECT | EVHTTP_REQ_PATCH);
    evhttp_set_default_content_type(m_http, "text/plain; charset=utf-8");
    const timeval idle = toTimeval(m_options.idleTimeout);
    evhttp_set_timeout_tv(m_http, &idle);
    evhttp_set_gencb(m_http, &RelayLoop::onRequest, this);

    m_streams = std::make_unique<StreamRegistry>(m_base, m_options, m_log);
    m_streams->onAllClosed = [this] {
        if (m_stopping) {
            event_base_loopexit(m_base, nullptr);
        }
    };
    if (!m_options.redisUrl.empty()) {
        auto endpoint = parseRedisUrl(m_options.redisUrl);
        if (!endpoint) {
            return tl::unexpected("--redis: " + endpoint.error());
        }
        StreamRegistry &streams = *m_streams;
        m_redis = std::make_unique<RedisBridge>(m_base, std::move(*endpoint), m_options, m_log,
            RedisBridge::Local {[&streams](const std::string &name, const std::string &line) {
                                    return streams.deliver(name, line);
                                },
                [&streams](const std::string &name, const std::string &line) {
                    streams.keepPending(name, line);
                },
                [&streams](const std::string &name) { return streams.takePending(name); }});
        m_streams->onFirstStream = [this](const std::string &name) { m_redis->follow(name); };
        m_streams->onLastStream = [this](const std::string &name) { m_redis->unfollow(name); };
    }
    m_guard = std::make_unique<ConnectionGuard>(m_base, m_http, m_options, m_log);
    m_guard->setDescriptorBudget(m_descriptorBudget);
    m_guard->streamCount = [this] { return m_streams->liveCount(); };
    m_listener = std::make_unique<Listener>(m_base, m_log);
    m_listener->freeDescriptors = [this] { return m_guard->shed(16, "out of descriptors") > 0; };
    if (auto bound = m_listener->bind(m_http, m_options.listenAddress, m_options.port); !bound) {
        return bound;
    }
    m_port = m_listener->port();

    m_housekeeping = event_new(
        m_base, -1, EV_PERSIST,
        [](evutil_socket_t, short, void *context) {
            static_cast<RelayLoop *>(context)->housekeeping();
        },
        this);
    const timeval housekeepingPeriod {10, 0};
    event_add(m_housekeeping, &housekeepingPeriod);
    m_stopEvent = event_new(
        m_base, -1, 0,
        [](evutil_socket_t, short, void *context) {
            static_cast<RelayLoop *>(context)->beginStop();
        },
        this);
    m_stopDeadline = event_new(
        m_base, -1, 0,
        [](evutil_socket_t, short, void *context) {
            event_base_loopexit(static_cast<RelayLoop *>(context)->m_base, nullptr);
        },
        this);
    m_log("listening on " + m_listener->endpoint());
    if (m_redis) {
        m_redis->start();
    }
    return {};
}

void RelayLoop::handleTerminationSignals()
{
    const auto stop = [](evutil_socket_t, short, void *context) {
        static_cast<RelayLoop *>(context)->beginStop();
    };
    m_sigterm = evsignal_new(m_base, SIGTERM, stop, this);
    m_sigint = evsignal_new(m_base, SIGINT, stop, this);
    event_add(m_sigterm, nullptr);
    event_add(m_sigint, nullptr);
}

void RelayLoop::dispatch()
{
    event_base_dispatch(m_base);
    housekeeping();
    m_log("stopped");
}

void RelayLoop::housekeeping()
{
    m_streams->housekeeping();
    m_guard->flushLog();
    if (const std::size_t left = m_rejectLog.endPeriod(); left > 0) {
        m_log("and " + std::to_string(left) + " more requests answered with an error");
    }
}

void RelayLoop::requestStop()
{
    event_active(m_stopEvent, EV_TIMEOUT, 0);
}

void RelayLoop::onRequest(evhttp_request *request, void *context)
{
    static_cast<RelayLoop *>(context)->handle(request);
}

void RelayLoop::handle(evhttp_request *request)
{
    const char *method = methodName(evhttp_request_get_command(request));
    const evhttp_uri *uri = evhttp_request_get_evhttp_uri(request);
    const char *path = uri != nullptr ? evhttp_uri_get_path(uri) : nullptr;
    m_guard->requestArrived(request);
    if (m_stopping) {
        reject(request, 503, "Service Unavailable", "the relay is stopping");
        return;
    }
    const Route route = routeRequest(method, path != nullptr ? path : "");
    switch (route.kind) {
    case Route::Kind::notification: handleNotification(request); return;
    case Route::Kind::eventStream: openStream(request, route.streamName); return;
    case Route::Kind::methodNotAllowed:
        evhttp_add_header(
            evhttp_request_get_output_headers(request), "Allow", std::string(route.allow).c_str());
        reject(request, 405, "Method Not Allowed",
            std::string(method) + " " + printable(path) + " is not allowed");
        return;
    case Route::Kind::notFound:
        reject(request, 404, "Not Found", std::string(method) + " " + printable(path));
        return;
    }
}

void RelayLoop::handleNotification(evhttp_request *request)
{
    evkeyvalq *headers = evhttp_request_get_input_headers(request);
    const NotificationHeaders fields {evhttp_find_header(headers, "X-Goog-Channel-Token"),
        evhttp_find_header(headers, "X-Goog-Resource-State"),
        evhttp_find_header(headers, "X-Goog-Channel-ID")};
    auto notification = parseNotification(fields);
    if (!notification) {
        reject(request, 400, "Bad Request", notification.error());
        return;
    }
    // Google wants its answer at once; the fan-out only queues bytes, so it follows here.
    answer(request, 200, "OK", nullptr);
    if (!m_redis) {
        m_streams->relay(*notification);
        return;
    }
    const std::string line = eventLine(*notification);
    const bool heard = m_streams->deliver(notification->streamName, line);
    m_redis->publish(notification->streamName, line, heard);
}

void RelayLoop::openStream(evhttp_request *request, const std::string &name)
{
    const std::string address = peerAddress(request);
    switch (m_streams->admit(name, address)) {
    case StreamRegistry::Admission::full:
        evhttp_add_header(evhttp_request_get_output_headers(request), "Retry-After", "5");
        reject(request, 503, "Service Unavailable", "open streams are at their cap");
        return;
    case StreamRegistry::Admission::nameFull:
        reject(request, 429, "Too Many Requests",
            "stream " + name.substr(0, 8) + "… has its most listeners");
        return;
    case StreamRegistry::Admission::addressFull:
        evhttp_add_header(evhttp_request_get_output_headers(request), "Retry-After", "5");
        reject(request, 429, "Too Many Requests", "this address holds its most streams");
        return;
    case StreamRegistry::Admission::open:
        m_guard->release(request);
        m_streams->open(request, name, address);
        return;
    }
}

void RelayLoop::reject(
    evhttp_request *request, int status, const char *reason, const std::string &why)
{
    if (m_rejectLog.admit()) {
        m_log(std::to_string(status) + " for " + peerAddress(request) + ": " + why);
    }
    evhttp_add_header(evhttp_request_get_output_headers(request), "Connection", "close");
    const std::string body = std::to_string(status) + " " + reason + ": " + why + "\n";
    evbuffer_add(m_scratch, body.data(), body.size());
    answer(request, status, reason, m_scratch);
    evbuffer_drain(m_scratch, evbuffer_get_length(m_scratch));
}

void RelayLoop::beginStop()
{
    if (m_stopping) {
        return;
    }
    m_stopping = true;
    m_log("stopping: ending " + std::to_string(m_streams->streamCount()) + " streams");
    m_listener->close();
    for (event *signal : {m_sigterm, m_sigint}) {
        if (signal != nullptr) {
            event_del(signal);
        }
    }
    m_streams->endAll([this] {
        if (m_streams->liveCount() == 0) {
            event_base_loopexit(m_base, nullptr);
            return;
        }
        // Clients that do not read cannot hold the stop up for long.
        const timeval deadline {2, 0};
        event_add(m_stopDeadline, &deadline);
    });
}

void RelayLoop::applyFileLimit()
{
    // Past the descriptor limit accept fails: streams are refused with 503 while there is room,
    // and other connections make room for new ones before it runs out.
    constexpr rlim_t streamReserve = 64;
    constexpr rlim_t reserve = 16; // the listener, the loop's own, the log
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY
        || limit.rlim_cur <= streamReserve) {
        return;
    }
    m_descriptorBudget = limit.rlim_cur - reserve;
    if (m_options.maxStreams > limit.rlim_cur - streamReserve) {
        m_options.maxStreams = limit.rlim_cur - streamReserve;
        m_log("open-file limit " + std::to_string(limit.rlim_cur) + ": at most "
            + std::to_string(m_options.maxStreams) + " streams");
    }
}

} // namespace tolvo::backend
