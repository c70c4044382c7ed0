#pragma once

#include "backend/BackendOptions.h"
#include "backend/PendingNotifications.h"
#include "backend/RelayLog.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct event;
struct event_base;
struct evhttp_connection;
struct evhttp_request;

namespace tolvo::backend {

struct Notification;

// The open event streams by stream name: opening them, fanning notifications out to them,
// keeping them alive, dropping those whose clients misbehave, and ending them at stop. Driven
// by the loop thread only; the counts may be read from any thread.
//
// Keep-alives are spread over their period: every pass of the sweep takes the next slice of the
// streams (at most `keepAliveBatch`), writes their comment and checks that their clients still
// read, so that no pass holds the loop for long however many streams are open.
class StreamRegistry
{
public:
    enum class Admission {
        open,
        full, // every stream the relay may hold is open
        nameFull, // the name has its most listeners
        addressFull, // the client's address holds its most streams
    };

    StreamRegistry(event_base *base, const BackendOptions &options, RelayLog log);
    ~StreamRegistry();

    StreamRegistry(const StreamRegistry &) = delete;
    StreamRegistry &operator=(const StreamRegistry &) = delete;

    Admission admit(const std::string &name, const std::string &address) const;
    // Starts the reply of an admitted stream request and keeps the stream.
    void open(evhttp_request *request, const std::string &name, const std::string &address);
    // Writes the notification to every stream of its name, or keeps it for the next one.
    void relay(const Notification &notification);
    // Writes `line` to every stream of `name`; false when the name has none. A line that every
    // stream was too far behind to take is kept for the next one.
    bool deliver(const std::string &name, const std::string &line);
    // Keeps `line` for the next stream of `name`, here.
    void keepPending(const std::string &name, const std::string &line);
    // The line kept here for `name`, at most once.
    std::optional<std::string> takePending(const std::string &name);
    bool holds(const std::string &name) const { return m_byName.contains(name); }
    // Forgets expired pending notifications, and logs how many a flood pushed out and how many
    // stream drops were left out of the log.
    void housekeeping();

    // A stream name gained its first stream, or lost its last one.
    std::function<void(const std::string &name)> onFirstStream;
    std::function<void(const std::string &name)> onLastStream;
    // Ends every stream's body cleanly, a batch per pass; `onEnded` runs after the last batch.
    void endAll(std::function<void()> onEnded);

    // Stream objects not yet freed, ending ones included.
    std::size_t liveCount() const { return m_live; }
    // Called when the last live stream is gone.
    std::function<void()> onAllClosed;

    std::size_t subscriberCount(const std::string &name) const;
    std::size_t streamCount() const;
    std::size_t pendingCount() const;
    // The most streams one keep-alive pass has visited.
    std::size_t longestKeepAlivePass() const { return m_longestPass; }

private:
    struct Stream;
    // A line as written to streams with and without chunked bodies.
    struct Framed
    {
        explicit Framed(std::string_view line);
        std::string_view raw;
        std::string chunked;
    };

    bool write(Stream &stream, const Framed &line);
    const char *misbehaviour(Stream &stream, std::uint32_t now) const;
    void drop(Stream &stream, std::string_view why);
    void unlist(Stream &stream);
    std::uint32_t now() const;
    static void onClosed(evhttp_connection *, void *context);
    static void onSweep(int, short, void *context);
    static void onEndBatch(int, short, void *context);

    const BackendOptions &m_options;
    RelayLog m_log;
    const Framed m_keepAlive;
    event *m_sweep;
    event *m_endBatch;
    std::function<void()> m_onEnded;
    std::size_t m_passesPerPeriod = 1;
    std::chrono::steady_clock::time_point m_epoch;
    std::size_t m_live = 0;
    std::atomic<std::size_t> m_longestPass = 0;

    // Every listed stream, in sweep order: [0, m_cursor) had their turn this period.
    std::vector<Stream *> m_all;
    std::size_t m_cursor = 0;
    std::size_t m_pass = 0; // passes since this period began

    // Written by the loop thread under the mutex; read by it freely and by others under it.
    mutable std::mutex m_mutex;
    std::unordered_map<std::string, std::vector<Stream *>> m_byName;
    std::size_t m_open = 0;
    PendingNotifications m_pending;
    std::size_t m_evictedPending = 0;
    std::unordered_map<std::string, std::size_t> m_perAddress;
    LogThrottle m_dropLog;
};

} // namespace tolvo::backend
