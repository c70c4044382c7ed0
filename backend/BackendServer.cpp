#include "backend/BackendServer.h"

#include "backend/Notification.h"
#include "backend/PendingNotifications.h"
#include "backend/Route.h"

#include <event2/buffer.h>
#include <event2/bufferevent.h>
#include <event2/event.h>
#include <event2/http.h>
#include <event2/keyvalq_struct.h>
#include <event2/listener.h>
#include <event2/thread.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

namespace tolvo::backend {

namespace {

timeval toTimeval(std::chrono::milliseconds duration)
{
    const auto count = std::max<std::chrono::milliseconds::rep>(duration.count(), 0);
    return timeval {
        static_cast<time_t>(count / 1000), static_cast<suseconds_t>(count % 1000 * 1000)};
}

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

// Request text is the client's: keep it to one short printable line in the log.
std::string printable(const char *text, std::size_t limit = 100)
{
    std::string out;
    for (const char *c = text; c != nullptr && *c != '\0' && out.size() < limit; ++c) {
        out += (*c >= 0x20 && *c <= 0x7e) ? *c : '?';
    }
    return out;
}

void ensureThreadSupport()
{
    static std::once_flag once;
    std::call_once(once, [] { evthread_use_pthreads(); });
}

} // namespace

class BackendServer::Loop
{
public:
    explicit Loop(BackendOptions options)
        : m_options(std::move(options))
        , m_pending(m_options.pendingLifetime, m_options.maxPendingNames)
    {
        ensureThreadSupport();
    }

    ~Loop()
    {
        if (m_listener != nullptr) {
            std::lock_guard lock(listenersMutex());
            listeners().erase(m_listener);
        }
        // Freeing the server closes the connections still open; their close callbacks run
        // now and need the members below.
        if (m_http != nullptr) {
            evhttp_free(m_http);
        }
        for (event *e :
            {m_keepAlive, m_stopEvent, m_stopDeadline, m_resumeAccept, m_sigterm, m_sigint}) {
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

    tl::expected<void, std::string> listen()
    {
        // A client that goes away mid-write must cost an error code, not the process.
        std::signal(SIGPIPE, SIG_IGN);
        clampStreamsToFileLimit();

        sockaddr_storage address {};
        socklen_t addressLength = 0;
        bool ipv6 = false;
        auto *v4 = reinterpret_cast<sockaddr_in *>(&address);
        auto *v6 = reinterpret_cast<sockaddr_in6 *>(&address);
        if (inet_pton(AF_INET, m_options.listenAddress.c_str(), &v4->sin_addr) == 1) {
            v4->sin_family = AF_INET;
            v4->sin_port = htons(m_options.port);
            addressLength = sizeof(sockaddr_in);
        } else if (inet_pton(AF_INET6, m_options.listenAddress.c_str(), &v6->sin6_addr) == 1) {
            v6->sin6_family = AF_INET6;
            v6->sin6_port = htons(m_options.port);
            addressLength = sizeof(sockaddr_in6);
            ipv6 = true;
        } else {
            return tl::unexpected("not an IP address: \"" + m_options.listenAddress + "\"");
        }

        m_base = event_base_new();
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
        evhttp_set_gencb(m_http, &Loop::onRequest, this);

        // Our own listener: evhttp's binds with a backlog of 128 and binds "::" dual-stack.
        unsigned flags = LEV_OPT_REUSEABLE | LEV_OPT_CLOSE_ON_FREE | LEV_OPT_CLOSE_ON_EXEC;
        if (ipv6) {
            flags |= LEV_OPT_BIND_IPV6ONLY;
        }
        evconnlistener *listener = evconnlistener_new_bind(m_base, nullptr, nullptr, flags, 4096,
            reinterpret_cast<sockaddr *>(&address), static_cast<int>(addressLength));
        if (listener == nullptr) {
            return tl::unexpected(
                "cannot listen on " + endpoint(m_options.port) + ": " + std::strerror(errno));
        }
        if (evhttp_bind_listener(m_http, listener) == nullptr) {
            evconnlistener_free(listener);
            return tl::unexpected(std::string("could not attach the listener"));
        }
        m_listener = listener;
        // The listener's context is evhttp's, so its error callback finds us through this.
        {
            std::lock_guard lock(listenersMutex());
            listeners()[m_listener] = this;
        }
        evconnlistener_set_error_cb(m_listener, &Loop::onAcceptError);

        sockaddr_storage bound {};
        socklen_t boundLength = sizeof(bound);
        if (getsockname(evconnlistener_get_fd(m_listener), reinterpret_cast<sockaddr *>(&bound),
                &boundLength)
            == 0) {
            m_port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port
                                : reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
        }

        m_keepAlive = event_new(m_base, -1, EV_PERSIST, &Loop::onKeepAlive, this);
        m_stopEvent = event_new(m_base, -1, 0, &Loop::onStop, this);
        m_stopDeadline = event_new(m_base, -1, 0, &Loop::onStopDeadline, this);
        m_resumeAccept = event_new(m_base, -1, 0, &Loop::onResumeAccept, this);
        if (m_options.keepAlivePeriod.count() > 0) {
            const timeval period = toTimeval(m_options.keepAlivePeriod);
            event_add(m_keepAlive, &period);
        }
        log("listening on " + endpoint(m_port));
        return {};
    }

    void handleTerminationSignals()
    {
        m_sigterm = evsignal_new(m_base, SIGTERM, &Loop::onStop, this);
        m_sigint = evsignal_new(m_base, SIGINT, &Loop::onStop, this);
        event_add(m_sigterm, nullptr);
        event_add(m_sigint, nullptr);
    }

    void dispatch()
    {
        event_base_dispatch(m_base);
        log("stopped");
    }

    // Any thread.
    void requestStop() { event_active(m_stopEvent, EV_TIMEOUT, 0); }

    std::uint16_t port() const { return m_port; }

    std::size_t subscriberCount(const std::string &name) const
    {
        std::lock_guard lock(m_stateMutex);
        auto found = m_streams.find(name);
        return found == m_streams.end() ? 0 : found->second.size();
    }

    std::size_t streamCount() const
    {
        std::lock_guard lock(m_stateMutex);
        return m_openStreams;
    }

    std::size_t pendingCount() const
    {
        std::lock_guard lock(m_stateMutex);
        return m_pending.size();
    }

private:
    struct Stream
    {
        Loop *loop;
        std::string name;
        evhttp_request *request;
        evhttp_connection *connection;
        std::size_t index; // in its name's list
        bool ending = false; // its reply was ended by us; libevent frees the request
        bool listed = true;
    };

    static void onRequest(evhttp_request *request, void *context)
    {
        static_cast<Loop *>(context)->handle(request);
    }

    void handle(evhttp_request *request)
    {
        const char *method = methodName(evhttp_request_get_command(request));
        const evhttp_uri *uri = evhttp_request_get_evhttp_uri(request);
        const char *path = uri != nullptr ? evhttp_uri_get_path(uri) : nullptr;
        if (m_stopping) {
            reject(request, 503, "Service Unavailable", "the relay is stopping");
            return;
        }
        const Route route = routeRequest(method, path != nullptr ? path : "");
        switch (route.kind) {
        case Route::Kind::notification: handleNotification(request); return;
        case Route::Kind::eventStream: openStream(request, route.streamName); return;
        case Route::Kind::methodNotAllowed:
            evhttp_add_header(evhttp_request_get_output_headers(request), "Allow",
                std::string(route.allow).c_str());
            reject(request, 405, "Method Not Allowed",
                std::string(method) + " " + printable(path) + " is not allowed");
            return;
        case Route::Kind::notFound:
            reject(request, 404, "Not Found", std::string(method) + " " + printable(path));
            return;
        }
    }

    void handleNotification(evhttp_request *request)
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
        evhttp_send_reply(request, 200, "OK", nullptr);
        relay(*notification);
    }

    void relay(const Notification &notification)
    {
        const std::string line = eventLine(notification);
        auto found = m_streams.find(notification.streamName);
        if (found == m_streams.end()) {
            keepPending(notification.streamName, line);
            return;
        }
        std::vector<Stream *> behind;
        for (Stream *stream : found->second) {
            if (!write(*stream, line)) {
                behind.push_back(stream);
            }
        }
        // Dropping edits the list, so only after the loop over it.
        for (Stream *stream : behind) {
            drop(*stream, "its client stopped reading");
        }
        if (!behind.empty() && !m_streams.contains(notification.streamName)) {
            // The reconnecting client still gets this one.
            keepPending(notification.streamName, line);
        }
    }

    void keepPending(const std::string &name, const std::string &line)
    {
        std::lock_guard lock(m_stateMutex);
        if (m_pending.remember(name, line, PendingNotifications::Clock::now())) {
            // Counted, and logged once per keep-alive period: a flood must not flood the log.
            ++m_evictedPending;
        }
    }

    void openStream(evhttp_request *request, const std::string &name)
    {
        if (m_openStreams >= m_options.maxStreams) {
            evhttp_add_header(evhttp_request_get_output_headers(request), "Retry-After", "5");
            reject(request, 503, "Service Unavailable", "open streams are at their cap");
            return;
        }
        auto found = m_streams.find(name);
        if (found != m_streams.end() && found->second.size() >= m_options.maxStreamsPerName) {
            reject(request, 429, "Too Many Requests",
                "stream " + name.substr(0, 8) + "… has its most listeners");
            return;
        }
        evkeyvalq *headers = evhttp_request_get_output_headers(request);
        evhttp_add_header(headers, "Content-Type", "text/event-stream");
        evhttp_add_header(headers, "Cache-Control", "no-cache");
        // A stream ends only when we stop or drop it; the connection goes with it.
        evhttp_add_header(headers, "Connection", "close");
        // Proxies in front must not buffer the stream.
        evhttp_add_header(headers, "X-Accel-Buffering", "no");
        evhttp_send_reply_start(request, 200, "OK");

        evhttp_connection *connection = evhttp_request_get_connection(request);
        bufferevent *buffer = evhttp_connection_get_bufferevent(connection);
        // evhttp's idle timeout would end a quiet stream: keep only a write timeout.
        const timeval writeTimeout = toTimeval(m_options.streamWriteTimeout);
        bufferevent_set_timeouts(buffer, nullptr, &writeTimeout);
        // Whatever the client sends now is never read by evhttp: stop buffering it early.
        bufferevent_setwatermark(buffer, EV_READ, 0, m_options.maxStreamInputBytes);

        auto *stream = new Stream {this, name, request, connection, 0};
        std::optional<std::string> pending;
        {
            std::lock_guard lock(m_stateMutex);
            auto &list = m_streams[name];
            stream->index = list.size();
            list.push_back(stream);
            ++m_openStreams;
            pending = m_pending.take(name, PendingNotifications::Clock::now());
        }
        ++m_liveStreams;
        evhttp_connection_set_closecb(connection, &Loop::onStreamClosed, stream);
        if (pending && !write(*stream, *pending)) {
            drop(*stream, "its client stopped reading");
        }
    }

    // False when the client has fallen too far behind to take more.
    bool write(Stream &stream, std::string_view line)
    {
        bufferevent *buffer = evhttp_connection_get_bufferevent(stream.connection);
        if (evbuffer_get_length(bufferevent_get_output(buffer)) > m_options.maxStreamOutputBytes) {
            return false;
        }
        evbuffer_add(m_scratch, line.data(), line.size());
        evhttp_send_reply_chunk(stream.request, m_scratch);
        // The call drains the buffer, except when it has nothing to write to.
        evbuffer_drain(m_scratch, evbuffer_get_length(m_scratch));
        return true;
    }

    void drop(Stream &stream, std::string_view why)
    {
        log("dropping a stream of " + stream.name.substr(0, 8) + "…: " + std::string(why));
        // Runs onStreamClosed, which forgets the stream; libevent frees the request.
        evhttp_connection_free(stream.connection);
    }

    void unlist(Stream &stream)
    {
        if (!stream.listed) {
            return;
        }
        std::lock_guard lock(m_stateMutex);
        auto found = m_streams.find(stream.name);
        auto &list = found->second;
        list[stream.index] = list.back();
        list[stream.index]->index = stream.index;
        list.pop_back();
        if (list.empty()) {
            m_streams.erase(found);
        }
        stream.listed = false;
        --m_openStreams;
    }

    static void onStreamClosed(evhttp_connection *, void *context)
    {
        auto *stream = static_cast<Stream *>(context);
        Loop *loop = stream->loop;
        // A client that went away leaves its request unlinked from the connection, and
        // ours to free; one that we close or end is freed by libevent.
        if (!stream->ending && evhttp_request_get_connection(stream->request) == nullptr) {
            evhttp_request_free(stream->request);
        }
        loop->unlist(*stream);
        delete stream;
        --loop->m_liveStreams;
        if (loop->m_stopping && loop->m_liveStreams == 0) {
            event_base_loopexit(loop->m_base, nullptr);
        }
    }

    static void onKeepAlive(evutil_socket_t, short, void *context)
    {
        auto *loop = static_cast<Loop *>(context);
        std::size_t evicted = 0;
        {
            std::lock_guard lock(loop->m_stateMutex);
            loop->m_pending.dropExpired(PendingNotifications::Clock::now());
            std::swap(evicted, loop->m_evictedPending);
        }
        if (evicted > 0) {
            loop->log("too many pending notifications: dropped the " + std::to_string(evicted)
                + " oldest");
        }
        std::vector<std::pair<Stream *, const char *>> dropped;
        for (auto &[name, list] : loop->m_streams) {
            for (Stream *stream : list) {
                bufferevent *buffer = evhttp_connection_get_bufferevent(stream->connection);
                if (evbuffer_get_length(bufferevent_get_input(buffer))
                    >= loop->m_options.maxStreamInputBytes) {
                    dropped.emplace_back(stream, "its client sends data");
                } else if (!loop->write(*stream, keepAliveLine)) {
                    dropped.emplace_back(stream, "its client stopped reading");
                }
            }
        }
        for (auto [stream, why] : dropped) {
            loop->drop(*stream, why);
        }
    }

    static void onStop(evutil_socket_t, short, void *context)
    {
        static_cast<Loop *>(context)->beginStop();
    }

    void beginStop()
    {
        if (m_stopping) {
            return;
        }
        m_stopping = true;
        log("stopping: ending " + std::to_string(m_openStreams) + " streams");
        evconnlistener_disable(m_listener);
        event_del(m_keepAlive);
        for (event *signal : {m_sigterm, m_sigint}) {
            if (signal != nullptr) {
                event_del(signal);
            }
        }
        std::vector<Stream *> streams;
        for (auto &[name, list] : m_streams) {
            streams.insert(streams.end(), list.begin(), list.end());
        }
        for (Stream *stream : streams) {
            // Listeners see a body that ends normally, and reconnect.
            unlist(*stream);
            stream->ending = true;
            evhttp_send_reply_end(stream->request);
        }
        if (m_liveStreams == 0) {
            event_base_loopexit(m_base, nullptr);
            return;
        }
        // Clients that do not read cannot hold the stop up for long.
        const timeval deadline {2, 0};
        event_add(m_stopDeadline, &deadline);
    }

    static void onStopDeadline(evutil_socket_t, short, void *context)
    {
        event_base_loopexit(static_cast<Loop *>(context)->m_base, nullptr);
    }

    static std::mutex &listenersMutex()
    {
        static std::mutex mutex;
        return mutex;
    }

    static std::unordered_map<evconnlistener *, Loop *> &listeners()
    {
        static std::unordered_map<evconnlistener *, Loop *> map;
        return map;
    }

    static void onAcceptError(evconnlistener *listener, void *)
    {
        // Out of file descriptors, libevent would retry at once for ever: pause instead.
        Loop *loop = nullptr;
        {
            std::lock_guard lock(listenersMutex());
            loop = listeners().at(listener);
        }
        const int error = EVUTIL_SOCKET_ERROR();
        loop->log(std::string("accept failed (") + evutil_socket_error_to_string(error)
            + "): pausing new connections");
        evconnlistener_disable(listener);
        const timeval pause {0, 200'000};
        event_add(loop->m_resumeAccept, &pause);
    }

    static void onResumeAccept(evutil_socket_t, short, void *context)
    {
        auto *loop = static_cast<Loop *>(context);
        if (!loop->m_stopping) {
            evconnlistener_enable(loop->m_listener);
        }
    }

    void reject(evhttp_request *request, int status, const char *reason, const std::string &why)
    {
        std::string peer = "?";
        if (evhttp_connection *connection = evhttp_request_get_connection(request)) {
            char *address = nullptr;
            ev_uint16_t port = 0;
            evhttp_connection_get_peer(connection, &address, &port);
            peer = printable(address);
        }
        log(std::to_string(status) + " for " + peer + ": " + why);
        evhttp_add_header(evhttp_request_get_output_headers(request), "Connection", "close");
        const std::string body = std::to_string(status) + " " + reason + ": " + why + "\n";
        evbuffer_add(m_scratch, body.data(), body.size());
        evhttp_send_reply(request, status, reason, m_scratch);
        evbuffer_drain(m_scratch, evbuffer_get_length(m_scratch));
    }

    void clampStreamsToFileLimit()
    {
        // Past the descriptor limit accept fails; better to answer 503 while we still can.
        constexpr rlim_t reserve = 64;
        rlimit limit {};
        if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
            && limit.rlim_cur > reserve && m_options.maxStreams > limit.rlim_cur - reserve) {
            m_options.maxStreams = limit.rlim_cur - reserve;
            log("open-file limit " + std::to_string(limit.rlim_cur) + ": at most "
                + std::to_string(m_options.maxStreams) + " streams");
        }
    }

    std::string endpoint(std::uint16_t port) const
    {
        const bool ipv6 = m_options.listenAddress.find(':') != std::string::npos;
        return (ipv6 ? "[" + m_options.listenAddress + "]" : m_options.listenAddress) + ":"
            + std::to_string(port);
    }

    void log(const std::string &message) const
    {
        if (m_options.log) {
            m_options.log(message);
            return;
        }
        char stamp[32];
        const std::time_t now = std::time(nullptr);
        std::tm utc {};
        gmtime_r(&now, &utc);
        std::strftime(stamp, sizeof(stamp), "%Y-%m-%dT%H:%M:%SZ", &utc);
        std::cerr << stamp << " tolvo-backend: " << message << std::endl;
    }

    BackendOptions m_options;
    event_base *m_base = nullptr;
    evhttp *m_http = nullptr;
    evconnlistener *m_listener = nullptr; // owned by m_http
    evbuffer *m_scratch = nullptr;
    event *m_keepAlive = nullptr;
    event *m_stopEvent = nullptr;
    event *m_stopDeadline = nullptr;
    event *m_resumeAccept = nullptr;
    event *m_sigterm = nullptr;
    event *m_sigint = nullptr;
    std::atomic<std::uint16_t> m_port = 0;
    bool m_stopping = false;
    std::size_t m_liveStreams = 0; // Stream objects, ending ones included

    // Written by the loop thread under the mutex; read by it freely and by others under it.
    mutable std::mutex m_stateMutex;
    std::unordered_map<std::string, std::vector<Stream *>> m_streams;
    std::size_t m_openStreams = 0;
    PendingNotifications m_pending;
    std::size_t m_evictedPending = 0;
};

struct BackendServer::Runner
{
    std::mutex mutex;
    std::shared_ptr<Loop> loop;
    std::thread thread;
    std::atomic<std::uint16_t> port = 0;

    std::shared_ptr<Loop> current()
    {
        std::lock_guard lock(mutex);
        return loop;
    }
};

BackendServer::BackendServer(BackendOptions options)
    : m_options(std::move(options))
    , m_runner(std::make_unique<Runner>())
{
}

BackendServer::~BackendServer()
{
    stop();
}

tl::expected<void, std::string> BackendServer::start()
{
    if (m_runner->current() != nullptr || m_runner->thread.joinable()) {
        return tl::unexpected(std::string("the relay is already running"));
    }
    auto loop = std::make_shared<Loop>(optionsForStart());
    if (auto listening = loop->listen(); !listening) {
        return listening;
    }
    m_runner->port = loop->port();
    {
        std::lock_guard lock(m_runner->mutex);
        m_runner->loop = loop;
    }
    m_runner->thread = std::thread([loop] { loop->dispatch(); });
    return {};
}

tl::expected<void, std::string> BackendServer::run()
{
    if (m_runner->current() != nullptr || m_runner->thread.joinable()) {
        return tl::unexpected(std::string("the relay is already running"));
    }
    auto loop = std::make_shared<Loop>(optionsForStart());
    if (auto listening = loop->listen(); !listening) {
        return listening;
    }
    loop->handleTerminationSignals();
    m_runner->port = loop->port();
    {
        std::lock_guard lock(m_runner->mutex);
        m_runner->loop = loop;
    }
    loop->dispatch();
    std::lock_guard lock(m_runner->mutex);
    m_runner->loop.reset();
    return {};
}

BackendOptions BackendServer::optionsForStart() const
{
    // Listeners come back to the address they know: a restart keeps the port picked before.
    BackendOptions options = m_options;
    if (options.port == 0) {
        options.port = m_runner->port;
    }
    return options;
}

void BackendServer::stop()
{
    if (auto loop = m_runner->current()) {
        loop->requestStop();
    }
    if (m_runner->thread.joinable()) {
        m_runner->thread.join();
        // The loop (and with it the listening socket) goes here, on the caller's thread.
        std::lock_guard lock(m_runner->mutex);
        m_runner->loop.reset();
    }
}

std::uint16_t BackendServer::port() const
{
    return m_runner->port;
}

std::size_t BackendServer::subscriberCount(const std::string &streamName) const
{
    auto loop = m_runner->current();
    return loop ? loop->subscriberCount(streamName) : 0;
}

std::size_t BackendServer::streamCount() const
{
    auto loop = m_runner->current();
    return loop ? loop->streamCount() : 0;
}

std::size_t BackendServer::pendingCount() const
{
    auto loop = m_runner->current();
    return loop ? loop->pendingCount() : 0;
}

} // namespace tolvo::backend
