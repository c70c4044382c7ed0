#pragma once

#include "backend/BackendOptions.h"
#include "backend/RelayLog.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

struct bufferevent;
struct event;
struct event_base;
struct evhttp;
struct evhttp_connection;
struct evhttp_request;

namespace tolvo::backend {

// Limits for the connections that are not event streams, which evhttp 2.1 does not bound: a
// deadline for each whole request that sending slowly cannot extend, a cap in all and per client
// address, and room made when descriptors run short. Where a cap is reached the connection that
// has waited longest for a request is closed, so a flood of slow connections keeps turning over
// and a client that sends its request at once is served. The caps let a burst of new
// connections through for a moment (a tenth of the deadline, at most a second); the descriptor
// budget does not. Loop thread only.
class ConnectionGuard
{
public:
    ConnectionGuard(event_base *base, evhttp *http, const BackendOptions &options, RelayLog log);
    ~ConnectionGuard();

    ConnectionGuard(const ConnectionGuard &) = delete;
    ConnectionGuard &operator=(const ConnectionGuard &) = delete;

    // Connections the process may hold before it must make room (streams included).
    void setDescriptorBudget(std::size_t budget) { m_descriptorBudget = budget; }
    // Open streams, which count against the descriptor budget.
    std::function<std::size_t()> streamCount;

    // A complete request arrived: its connection is busy until the answer is written.
    void requestArrived(evhttp_request *request);
    // The request became an event stream, which has its own limits.
    void release(evhttp_request *request);
    // Closes up to `count` of the connections waiting longest for a request; how many it closed.
    std::size_t shed(std::size_t count, const char *why);

    std::size_t count() const { return m_byConnection.size(); }
    // Logs how many connections were closed for the limits since the last call, if any.
    void flushLog();

private:
    using Clock = std::chrono::steady_clock;
    struct Tracked
    {
        ConnectionGuard *guard;
        evhttp_connection *connection;
        std::pair<const std::string, std::size_t> *address; // its entry in m_perAddress
        Clock::time_point waitingSince;
        std::list<Tracked *>::iterator waitingAt; // valid while waiting
        bool waiting = false;
    };

    static bufferevent *onNewConnection(event_base *base, void *context);
    static void onRegister(int, short, void *context);
    static void onDeadlineCheck(int, short, void *context);
    static void onAnswered(evhttp_request *, void *context);
    static void onClosed(evhttp_connection *, void *context);

    void track(bufferevent *buffer);
    void startWaiting(Tracked &tracked);
    void stopWaiting(Tracked &tracked);
    void enforceCaps();
    void close(Tracked &tracked);
    void forget(Tracked &tracked);
    Tracked *find(evhttp_request *request) const;

    event_base *m_base;
    const BackendOptions &m_options;
    RelayLog m_log;
    LogThrottle m_shedLog;
    std::size_t m_descriptorBudget = 0; // 0: no budget
    event *m_register;
    event *m_deadlineCheck;
    std::vector<bufferevent *> m_fresh;
    std::unordered_map<evhttp_connection *, Tracked *> m_byConnection;
    std::unordered_map<std::string, std::size_t> m_perAddress;
    std::size_t m_addressesOverCap = 0;
    std::list<Tracked *> m_waiting; // longest waiting first
};

} // namespace tolvo::backend
