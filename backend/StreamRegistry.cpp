#include "backend/StreamRegistry.h"

#include "backend/EventTime.h"
#include "backend/Notification.h"

#include <event2/buffer.h>
#include <event2/bufferevent.h>
#include <event2/event.h>
#include <event2/http.h>

#include <linux/sockios.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace tolvo::backend {

namespace {

using namespace std::chrono;

// The sweep takes a pass about this often, so a period is this many slices.
constexpr milliseconds sweepStep = 100ms;

} // namespace

// Kept small: the relay holds tens of thousands.
struct StreamRegistry::Stream
{
    StreamRegistry *registry;
    evhttp_request *request;
    evhttp_connection *connection;
    const std::string *name; // its key in m_byName, valid while listed
    std::pair<const std::string, std::size_t> *address; // its entry in m_perAddress
    std::uint32_t nameIndex; // in its name's list
    std::uint32_t sweepIndex; // in m_all
    std::uint32_t acked; // low bits of the bytes its client acknowledged, when last seen
    std::uint32_t progressAt; // when its client last took bytes (ms, registry clock)
    bool chunked;
    bool ending = false; // its reply was ended by us; libevent frees the request
    bool listed = true;
};

StreamRegistry::StreamRegistry(event_base *base, const BackendOptions &options, RelayLog log)
    : m_options(options)
    , m_log(std::move(log))
    , m_keepAlive(keepAliveLine)
    , m_sweep(event_new(base, -1, EV_PERSIST, &StreamRegistry::onSweep, this))
    , m_endBatch(event_new(base, -1, 0, &StreamRegistry::onEndBatch, this))
    , m_epoch(steady_clock::now())
    , m_pending(options.pendingLifetime, options.maxPendingNames)
{
    // Without keep-alives the sweep still checks that clients read.
    const milliseconds period = options.keepAlivePeriod.count() > 0
        ? options.keepAlivePeriod
        : std::max(options.streamWriteTimeout / 2, 1ms);
    m_passesPerPeriod
        = std::max<std::size_t>(1, std::size_t((period + sweepStep - 1ms) / sweepStep));
    const timeval step = toTimeval(std::max<milliseconds>(period / long(m_passesPerPeriod), 1ms));
    event_add(m_sweep, &step);
}

StreamRegistry::~StreamRegistry()
{
    event_free(m_sweep);
    event_free(m_endBatch);
}

std::uint32_t StreamRegistry::now() const
{
    // Wraps after 49 days; only differences are used.
    return std::uint32_t(duration_cast<milliseconds>(steady_clock::now() - m_epoch).count());
}

StreamRegistry::Admission StreamRegistry::admit(
    const std::string &name, const std::string &address) const
{
    if (m_open >= m_options.maxStreams) {
        return Admission::full;
    }
    auto found = m_byName.find(name);
    if (found != m_byName.end() && found->second.size() >= m_options.maxStreamsPerName) {
        return Admission::nameFull;
    }
    auto perAddress = m_perAddress.find(address);
    if (perAddress != m_perAddress.end() && perAddress->second >= m_options.maxStreamsPerAddress) {
        return Admission::addressFull;
    }
    return Admission::open;
}

void StreamRegistry::open(
    evhttp_request *request, const std::string &name, const std::string &address)
{
    evkeyvalq *headers = evhttp_request_get_output_headers(request);
    evhttp_add_header(headers, "Content-Type", "text/event-stream");
    evhttp_add_header(headers, "Cache-Control", "no-cache");
    // A stream ends only when we stop or drop it; the connection goes with it.
    evhttp_add_header(headers, "Connection", "close");
    // Proxies in front must not buffer the stream.
    evhttp_add_header(headers, "X-Accel-Buffering", "no");
    evhttp_send_reply_start(request, 200, "OK");
    // Chunked for HTTP/1.1; an HTTP/1.0 body is the bare lines, ended by the close.
    const bool chunked = evhttp_find_header(headers, "Transfer-Encoding") != nullptr;
    // The header lists are not read again but for the connection's fate: give their memory
    // back for the stream's lifetime.
    evhttp_clear_headers(headers);
    evhttp_add_header(headers, "Connection", "close");
    evhttp_clear_headers(evhttp_request_get_input_headers(request));

    evhttp_connection *connection = evhttp_request_get_connection(request);
    bufferevent *buffer = evhttp_connection_get_bufferevent(connection);
    // evhttp's idle timeout would end a quiet stream: keep only a write timeout.
    const timeval writeTimeout = toTimeval(m_options.streamWriteTimeout);
    bufferevent_set_timeouts(buffer, nullptr, &writeTimeout);
    // Whatever the client sends now is never read by evhttp: stop buffering it early.
    bufferevent_setwatermark(buffer, EV_READ, 0, m_options.maxStreamInputBytes);

    auto *stream
        = new Stream {this, request, connection, nullptr, nullptr, 0, 0, 0, now(), chunked};
    auto perAddress = m_perAddress.try_emplace(address, 0).first;
    ++perAddress->second;
    stream->address = &*perAddress;
    std::optional<std::string> pending;
    bool first = false;
    {
        std::lock_guard lock(m_mutex);
        auto [entry, added] = m_byName.try_emplace(name);
        first = added;
        stream->name = &entry->first;
        stream->nameIndex = std::uint32_t(entry->second.size());
        entry->second.push_back(stream);
        // A newcomer waits for the next period's keep-alive like the others.
        stream->sweepIndex = std::uint32_t(m_all.size());
        m_all.push_back(stream);
        ++m_open;
        pending = m_pending.take(name, PendingNotifications::Clock::now());
    }
    ++m_live;
    evhttp_connection_set_closecb(connection, &StreamRegistry::onClosed, stream);
    if (first && onFirstStream) {
        onFirstStream(name);
    }
    if (pending && !write(*stream, Framed(*pending))) {
        drop(*stream, "its client stopped reading");
    }
}

void StreamRegistry::relay(const Notification &notification)
{
    const std::string line = eventLine(notification);
    if (!deliver(notification.streamName, line)) {
        keepPending(notification.streamName, line);
    }
}

bool StreamRegistry::deliver(const std::string &name, const std::string &line)
{
    auto found = m_byName.find(name);
    if (found == m_byName.end()) {
        return false;
    }
    const Framed framed(line);
    std::vector<Stream *> behind;
    for (Stream *stream : found->second) {
        if (!write(*stream, framed)) {
            behind.push_back(stream);
        }
    }
    // Dropping edits the list, so only after the loop over it.
    for (Stream *stream : behind) {
        drop(*stream, "its client stopped reading");
    }
    if (!behind.empty() && !m_byName.contains(name)) {
        // The reconnecting client still gets this one.
        keepPending(name, line);
    }
    return true;
}

std::optional<std::string> StreamRegistry::takePending(const std::string &name)
{
    std::lock_guard lock(m_mutex);
    return m_pending.take(name, PendingNotifications::Clock::now());
}

void StreamRegistry::keepPending(const std::string &name, const std::string &line)
{
    std::lock_guard lock(m_mutex);
    if (m_pending.remember(name, line, PendingNotifications::Clock::now())) {
        // Counted, and logged by the housekeeping: a flood must not flood the log.
        ++m_evictedPending;
    }
}

void StreamRegistry::housekeeping()
{
    std::size_t evicted = 0;
    {
        std::lock_guard lock(m_mutex);
        m_pending.dropExpired(PendingNotifications::Clock::now());
        std::swap(evicted, m_evictedPending);
    }
    if (evicted > 0) {
        m_log("too many pending notifications: dropped the " + std::to_string(evicted) + " oldest");
    }
    if (const std::size_t left = m_dropLog.endPeriod(); left > 0) {
        m_log("and " + std::to_string(left) + " more streams dropped");
    }
}

void StreamRegistry::onSweep(int, short, void *context)
{
    auto *self = static_cast<StreamRegistry *>(context);
    // Pass r of a period takes the streams up to its share (r + 1) / passes of them; a period
    // that could not keep up at `keepAliveBatch` per pass runs on until every stream had its turn.
    const std::size_t total = self->m_all.size();
    const std::size_t passes = self->m_passesPerPeriod;
    const std::size_t target = std::min(total, total * (self->m_pass + 1) / passes);
    const std::uint32_t now = self->now();
    std::vector<std::pair<Stream *, const char *>> dropped;
    std::size_t visited = 0;
    for (; self->m_cursor < target && visited < self->m_options.keepAliveBatch; ++visited) {
        Stream *stream = self->m_all[self->m_cursor++];
        if (const char *why = self->misbehaviour(*stream, now)) {
            dropped.emplace_back(stream, why);
        } else if (self->m_options.keepAlivePeriod.count() > 0
            && !self->write(*stream, self->m_keepAlive)) {
            dropped.emplace_back(stream, "its client stopped reading");
        }
    }
    if (++self->m_pass >= passes && self->m_cursor >= total) {
        self->m_pass = 0;
        self->m_cursor = 0;
    }
    if (visited > self->m_longestPass) {
        self->m_longestPass = visited;
    }
    for (auto [stream, why] : dropped) {
        self->drop(*stream, why);
    }
}

// Why the stream's client should be dropped, or null.
const char *StreamRegistry::misbehaviour(Stream &stream, std::uint32_t now) const
{
    bufferevent *buffer = evhttp_connection_get_bufferevent(stream.connection);
    if (evbuffer_get_length(bufferevent_get_input(buffer)) >= m_options.maxStreamInputBytes) {
        return "its client sends data";
    }
    // Progress is what the client's end acknowledged: a client that stops reading fills its
    // receive window, and then nothing more is acknowledged, whatever we keep writing.
    const int fd = bufferevent_getfd(buffer);
    int unsent = 0;
    if (evbuffer_get_length(bufferevent_get_output(buffer)) == 0
        && ioctl(fd, SIOCOUTQ, &unsent) == 0 && unsent == 0) {
        stream.progressAt = now; // nothing waits for the client
        return nullptr;
    }
    tcp_info info {};
    socklen_t length = sizeof(info);
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0
        || length < offsetof(tcp_info, tcpi_bytes_acked) + sizeof(info.tcpi_bytes_acked)) {
        return nullptr; // cannot tell; the output cap still applies
    }
    const auto acked = std::uint32_t(info.tcpi_bytes_acked);
    if (acked != stream.acked) {
        stream.acked = acked;
        stream.progressAt = now;
        return nullptr;
    }
    const auto stalled = milliseconds(now - stream.progressAt);
    return stalled >= m_options.streamWriteTimeout ? "its client has read nothing for too long"
                                                   : nullptr;
}

void StreamRegistry::endAll(std::function<void()> onEnded)
{
    m_onEnded = std::move(onEnded);
    event_active(m_endBatch, EV_TIMEOUT, 0);
}

void StreamRegistry::onEndBatch(int, short, void *context)
{
    auto *self = static_cast<StreamRegistry *>(context);
    for (std::size_t i = 0; i < self->m_options.keepAliveBatch && !self->m_all.empty(); ++i) {
        Stream *stream = self->m_all.back();
        // Listeners see a body that ends normally, and reconnect.
        self->unlist(*stream);
        stream->ending = true;
        evhttp_send_reply_end(stream->request);
    }
    if (!self->m_all.empty()) {
        // The rest in a later pass, so that the loop serves what else is ready meanwhile.
        event_active(self->m_endBatch, EV_TIMEOUT, 0);
        return;
    }
    if (self->m_onEnded) {
        std::exchange(self->m_onEnded, {})();
    }
}

StreamRegistry::Framed::Framed(std::string_view line)
    : raw(line)
{
    char size[24];
    const int length = std::snprintf(size, sizeof(size), "%zx\r\n", line.size());
    chunked.reserve(std::size_t(length) + line.size() + 2);
    chunked.append(size, std::size_t(length)).append(line).append("\r\n");
}

// False when the client has fallen too far behind to take more.
bool StreamRegistry::write(Stream &stream, const Framed &line)
{
    bufferevent *buffer = evhttp_connection_get_bufferevent(stream.connection);
    const std::size_t queued = evbuffer_get_length(bufferevent_get_output(buffer));
    if (queued > m_options.maxStreamOutputBytes) {
        return false;
    }
    const std::string_view bytes = stream.chunked ? std::string_view(line.chunked) : line.raw;
    // Straight to the socket when nothing waits before it: one system call, and no change to
    // what the loop polls for. What the socket does not take waits in the output buffer, whose
    // writing also finds a client that went away.
    std::size_t sent = 0;
    if (queued == 0) {
        const ssize_t written = ::send(
            bufferevent_getfd(buffer), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        sent = written > 0 ? std::size_t(written) : 0;
    }
    if (sent < bytes.size()) {
        bufferevent_write(buffer, bytes.data() + sent, bytes.size() - sent);
    }
    return true;
}

void StreamRegistry::drop(Stream &stream, std::string_view why)
{
    if (m_dropLog.admit()) {
        m_log("dropping a stream of " + stream.name->substr(0, 8) + "…: " + std::string(why));
    }
    // Runs onClosed, which forgets the stream; libevent frees the request.
    evhttp_connection_free(stream.connection);
}

void StreamRegistry::unlist(Stream &stream)
{
    if (!stream.listed) {
        return;
    }
    std::unique_lock lock(m_mutex);
    auto found = m_byName.find(*stream.name);
    auto &list = found->second;
    list[stream.nameIndex] = list.back();
    list[stream.nameIndex]->nameIndex = stream.nameIndex;
    list.pop_back();
    const bool last = list.empty();
    std::string name;
    if (last) {
        name = found->first;
        m_byName.erase(found);
    }
    stream.name = nullptr;
    if (--stream.address->second == 0) {
        m_perAddress.erase(m_perAddress.find(stream.address->first));
    }

    // Keep [0, m_cursor) the streams that had their turn: one that had it fills the gap, and
    // the last stream, still waiting, takes that one's place.
    std::size_t gap = stream.sweepIndex;
    if (gap < m_cursor) {
        --m_cursor;
        m_all[gap] = m_all[m_cursor];
        m_all[gap]->sweepIndex = std::uint32_t(gap);
        gap = m_cursor;
    }
    m_all[gap] = m_all.back();
    m_all[gap]->sweepIndex = std::uint32_t(gap);
    m_all.pop_back();

    stream.listed = false;
    --m_open;
    lock.unlock();
    if (last && onLastStream) {
        onLastStream(name);
    }
}

void StreamRegistry::onClosed(evhttp_connection *, void *context)
{
    auto *stream = static_cast<Stream *>(context);
    StreamRegistry *self = stream->registry;
    // A client that went away leaves its request unlinked from the connection, and ours to
    // free; one that we close or end is freed by libevent.
    if (!stream->ending && evhttp_request_get_connection(stream->request) == nullptr) {
        evhttp_request_free(stream->request);
    }
    self->unlist(*stream);
    delete stream;
    if (--self->m_live == 0 && self->onAllClosed) {
        self->onAllClosed();
    }
}

std::size_t StreamRegistry::subscriberCount(const std::string &name) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_byName.find(name);
    return found == m_byName.end() ? 0 : found->second.size();
}

std::size_t StreamRegistry::streamCount() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

std::size_t StreamRegistry::pendingCount() const
{
    std::lock_guard lock(m_mutex);
    return m_pending.size();
}

} // namespace tolvo::backend
