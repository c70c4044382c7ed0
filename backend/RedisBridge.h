#pragma once

#include "backend/BackendOptions.h"
#include "backend/PendingNotifications.h"
#include "backend/RedisUrl.h"
#include "backend/RelayLog.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

struct event;
struct event_base;
struct redisAsyncContext;

namespace tolvo::backend {

// Joins this relay to the others sharing one Redis, so that a notification reaches a stream
// whichever relay a load balancer gave each of them.
//
// - Every notification a relay receives is published once on its stream name's channel; each
//   relay subscribes to a name while it holds a stream of it, and writes what others publish to
//   its own streams. Its own streams are written directly, never through Redis.
// - A notification nobody listens to anywhere is kept in Redis for the pending lifetime, and the
//   first relay to subscribe to that name takes it: publishing-or-keeping and taking are each one
//   Lua script, so two relays never both deliver it. Redis keeps as many names as one relay
//   would, dropping the oldest first: anyone can post well-formed names.
// - Without Redis the relay goes on alone: notifications keep reaching its own streams, and one
//   per name waits in an outbox that is published once Redis is back. It reconnects with backoff
//   and subscribes again to what it holds; the outage is logged once. Redis counts as back only
//   once it has answered on both connections: a connection that opens (a hung Redis's kernel
//   still accepts) or is then refused (a wrong password) is a failed attempt like any other.
//
// Two connections: commands, and subscriptions (Redis allows nothing else on a subscribed one).
// Loop thread only, but for `connected` and `retryDelay`.
class RedisBridge
{
public:
    // What the bridge needs of this relay's own streams.
    struct Local
    {
        // Writes a line to the streams of a name; false when it has none.
        std::function<bool(const std::string &name, const std::string &line)> deliver;
        std::function<void(const std::string &name, const std::string &line)> keepPending;
        std::function<std::optional<std::string>(const std::string &name)> takePending;
    };

    RedisBridge(event_base *base, RedisEndpoint endpoint, const BackendOptions &options,
        RelayLog log, Local local);
    ~RedisBridge();

    RedisBridge(const RedisBridge &) = delete;
    RedisBridge &operator=(const RedisBridge &) = delete;

    void start();

    // A notification this relay received, already written to its own streams of the name;
    // `heardHere` tells whether it had any.
    void publish(const std::string &name, const std::string &line, bool heardHere);
    // This relay holds its first stream of a name, or let its last one go.
    void follow(const std::string &name);
    void unfollow(const std::string &name);

    // Any thread.
    bool connected() const { return m_connected; }
    // The wait before the next attempt to connect, should the current one fail.
    std::chrono::milliseconds retryDelay() const { return m_backoff; }

private:
    // `connecting` lasts until Redis has answered the setup of both connections.
    enum class State { down, connecting, up };
    struct Subscription
    {
        bool wanted = false;
        bool active = false;
        bool busy = false; // a SUBSCRIBE or UNSUBSCRIBE awaits its answer
    };
    struct Request;

    void connect();
    void greet();
    void answered();
    void linkUp();
    void lost(const std::string &why);
    void pump(const std::string &name);
    void send(Request *request, std::initializer_list<std::string_view> arguments);
    void subscriberCommand(const char *command, const std::string &channel);
    void sendPublish(const std::string &name, const std::string &line, bool keepIfUnheard);
    void deliverOrKeep(const std::string &name, const std::string &line);
    void heldBack(const std::string &name, const std::string &line, bool heardHere);
    void onCommandReply(Request &request, void *reply);
    void onSubscriberReply(void *reply);
    void tick();

    static void onConnected(const redisAsyncContext *context, int status);
    static void onDisconnected(const redisAsyncContext *context, int status);
    static void onCommandReplyThunk(redisAsyncContext *, void *reply, void *privdata);
    static void onSubscriberReplyThunk(redisAsyncContext *, void *reply, void *privdata);

    event_base *m_base;
    RedisEndpoint m_endpoint;
    const BackendOptions &m_options;
    RelayLog m_log;
    Local m_local;
    const std::string m_id; // tells this relay's own messages apart
    const std::string m_ownChannel;

    redisAsyncContext *m_commands = nullptr;
    redisAsyncContext *m_subscriber = nullptr;
    int m_connectedContexts = 0;
    int m_answeredContexts = 0;
    State m_state = State::down;
    std::atomic<bool> m_connected = false;
    bool m_closing = false;
    bool m_outageLogged = false;
    std::atomic<std::chrono::milliseconds> m_backoff;
    std::chrono::steady_clock::time_point m_connectStarted;
    std::chrono::steady_clock::time_point m_lastSent;
    // When each command still awaiting its answer was sent, oldest first.
    std::deque<std::chrono::steady_clock::time_point> m_awaiting;
    event *m_retry;
    event *m_tick;

    std::unordered_map<std::string, Subscription> m_subscriptions;
    // While Redis is away: the newest notification of each name, published once it is back.
    PendingNotifications m_outbox;
};

} // namespace tolvo::backend
