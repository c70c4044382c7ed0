#include "backend/ConnectionGuard.h"

#include "backend/EventTime.h"

#include <event2/bufferevent.h>
#include <event2/event.h>
#include <event2/http.h>

#include <algorithm>

namespace tolvo::backend {

ConnectionGuard::ConnectionGuard(
    event_base *base, evhttp *http, const BackendOptions &options, RelayLog log)
    : m_base(base)
    , m_options(options)
    , m_log(std::move(log))
    , m_register(event_new(base, -1, 0, &ConnectionGuard::onRegister, this))
    , m_deadlineCheck(event_new(base, -1, EV_PERSIST, &ConnectionGuard::onDeadlineCheck, this))
{
    evhttp_set_bevcb(http, &ConnectionGuard::onNewConnection, this);
    // Deadlines are checked often enough to close a connection within an eighth of its time.
    const auto step = std::clamp<std::chrono::milliseconds>(
        options.requestDeadline / 8, std::chrono::milliseconds(5), std::chrono::seconds(1));
    const timeval period = toTimeval(step);
    event_add(m_deadlineCheck, &period);
}

ConnectionGuard::~ConnectionGuard()
{
    // The HTTP server, freed first, has closed every connection.
    event_free(m_register);
    event_free(m_deadlineCheck);
}

// evhttp asks us for each accepted connection's buffer before it reads anything. The connection
// object it wraps the buffer in exists only once it returns, so the connection is taken in hand
// by an event that runs in this same pass of the loop, before any of its bytes are read.
bufferevent *ConnectionGuard::onNewConnection(event_base *base, void *context)
{
    auto *self = static_cast<ConnectionGuard *>(context);
    bufferevent *buffer = bufferevent_socket_new(base, -1, BEV_OPT_CLOSE_ON_FREE);
    if (buffer != nullptr) {
        self->m_fresh.push_back(buffer);
        event_active(self->m_register, EV_TIMEOUT, 0);
    }
    return buffer;
}

void ConnectionGuard::onRegister(int, short, void *context)
{
    auto *self = static_cast<ConnectionGuard *>(context);
    const std::vector<bufferevent *> fresh = std::exchange(self->m_fresh, {});
    for (bufferevent *buffer : fresh) {
        self->track(buffer);
    }
}

void ConnectionGuard::track(bufferevent *buffer)
{
    void *argument = nullptr;
    bufferevent_getcb(buffer, nullptr, nullptr, nullptr, &argument);
    auto *connection = static_cast<evhttp_connection *>(argument);
    if (connection == nullptr) {
        return; // evhttp gave up on it already
    }
    char *peer = nullptr;
    ev_uint16_t port = 0;
    evhttp_connection_get_peer(connection, &peer, &port);
    auto *tracked = new Tracked {this, connection, nullptr, Clock::now(), {}};
    tracked->address = &*m_perAddress.try_emplace(peer != nullptr ? peer : "?", 0).first;
    m_byConnection.emplace(connection, tracked);
    evhttp_connection_set_closecb(connection, &ConnectionGuard::onClosed, tracked);

    if (++tracked->address->second == m_options.maxConnectionsPerAddress + 1) {
        ++m_addressesOverCap;
    }
    startWaiting(*tracked);

    // Descriptors are a hard limit: room is made at once, if need be by refusing this one.
    const std::size_t streams = streamCount ? streamCount() : 0;
    if (m_descriptorBudget > 0 && count() + streams > m_descriptorBudget) {
        shed(1, "descriptors run short");
    }
    enforceCaps();
}

// The caps give way to a burst of new connections (many clients reconnecting at once, or
// through one proxy): only connections that have waited past a grace are closed for them.
void ConnectionGuard::enforceCaps()
{
    const auto overCap
        = [this] { return count() > m_options.maxConnections || m_addressesOverCap > 0; };
    if (!overCap()) {
        return;
    }
    const auto grace
        = std::min<Clock::duration>(m_options.requestDeadline / 10, std::chrono::seconds(1));
    const auto graceEnd = Clock::now() - grace;
    std::size_t closed = 0;
    for (auto at = m_waiting.begin();
         at != m_waiting.end() && (*at)->waitingSince <= graceEnd && overCap();) {
        Tracked *tracked = *at++;
        if (count() > m_options.maxConnections
            || tracked->address->second > m_options.maxConnectionsPerAddress) {
            close(*tracked);
            ++closed;
        }
    }
    if (closed > 0 && m_shedLog.admit()) {
        m_log("connections are at their cap: closed " + std::to_string(closed)
            + " waiting longest for a request");
    }
}

std::size_t ConnectionGuard::shed(std::size_t count, const char *why)
{
    std::size_t closed = 0;
    while (closed < count && !m_waiting.empty()) {
        close(*m_waiting.front());
        ++closed;
    }
    if (closed > 0 && m_shedLog.admit()) {
        m_log(std::string(why) + ": closed " + std::to_string(closed)
            + " connection(s) waiting longest for a request");
    }
    return closed;
}

void ConnectionGuard::flushLog()
{
    if (const std::size_t left = m_shedLog.endPeriod(); left > 0) {
        m_log("and " + std::to_string(left) + " more connection(s) closed for the limits");
    }
}

void ConnectionGuard::requestArrived(evhttp_request *request)
{
    if (Tracked *tracked = find(request)) {
        stopWaiting(*tracked);
        evhttp_request_set_on_complete_cb(request, &ConnectionGuard::onAnswered, tracked);
    }
}

void ConnectionGuard::release(evhttp_request *request)
{
    if (Tracked *tracked = find(request)) {
        evhttp_request_set_on_complete_cb(request, nullptr, nullptr);
        evhttp_connection_set_closecb(tracked->connection, nullptr, nullptr);
        forget(*tracked);
    }
}

ConnectionGuard::Tracked *ConnectionGuard::find(evhttp_request *request) const
{
    auto found = m_byConnection.find(evhttp_request_get_connection(request));
    return found == m_byConnection.end() ? nullptr : found->second;
}

void ConnectionGuard::onAnswered(evhttp_request *, void *context)
{
    // The connection stays for another request (else its close follows at once).
    auto *tracked = static_cast<Tracked *>(context);
    tracked->waitingSince = Clock::now();
    tracked->guard->startWaiting(*tracked);
}

void ConnectionGuard::startWaiting(Tracked &tracked)
{
    if (!tracked.waiting) {
        tracked.waitingAt = m_waiting.insert(m_waiting.end(), &tracked);
        tracked.waiting = true;
    }
}

void ConnectionGuard::stopWaiting(Tracked &tracked)
{
    if (tracked.waiting) {
        m_waiting.erase(tracked.waitingAt);
        tracked.waiting = false;
    }
}

void ConnectionGuard::onDeadlineCheck(int, short, void *context)
{
    auto *self = static_cast<ConnectionGuard *>(context);
    const auto expired = Clock::now() - self->m_options.requestDeadline;
    std::size_t closed = 0;
    while (!self->m_waiting.empty() && self->m_waiting.front()->waitingSince <= expired) {
        self->close(*self->m_waiting.front());
        ++closed;
    }
    if (closed > 0 && self->m_shedLog.admit()) {
        self->m_log("closed " + std::to_string(closed)
            + " connection(s) that sent no whole request in time");
    }
    self->enforceCaps();
}

void ConnectionGuard::close(Tracked &tracked)
{
    // Runs onClosed, which forgets it.
    evhttp_connection_free(tracked.connection);
}

void ConnectionGuard::onClosed(evhttp_connection *, void *context)
{
    auto *tracked = static_cast<Tracked *>(context);
    tracked->guard->forget(*tracked);
}

void ConnectionGuard::forget(Tracked &tracked)
{
    stopWaiting(tracked);
    m_byConnection.erase(tracked.connection);
    if (tracked.address->second-- == m_options.maxConnectionsPerAddress + 1) {
        --m_addressesOverCap;
    }
    if (tracked.address->second == 0) {
        m_perAddress.erase(m_perAddress.find(tracked.address->first));
    }
    delete &tracked;
}

} // namespace tolvo::backend
