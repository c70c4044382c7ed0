#include "backend/RedisBridge.h"

#include "backend/EventTime.h"

#include <event2/event.h>
#include <hiredis/adapters/libevent.h>
#include <hiredis/async.h>
#include <hiredis/hiredis.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace tolvo::backend {

namespace {

using namespace std::chrono;
using Clock = steady_clock;

constexpr std::string_view channelPrefix = "tolvo:events:";
constexpr std::string_view pendingPrefix = "tolvo:pending:";
// The kept names, scored by when each was kept (microseconds of Redis's clock), so that the
// oldest can be dropped when there are too many. It cannot clash with a pending key: those
// continue the prefix with a colon.
constexpr std::string_view pendingOrderKey = "tolvo:pending-names";
constexpr std::size_t idLength = 16;

// keep(key, order, name, line, lifetime ms, most names, key prefix): keeps a line for a name,
// replacing an older one and making it the newest, then drops the oldest names past the most.
// Scores only grow, even within one microsecond, so that ties never reorder names. Entries of
// names whose key expired fall out by their score.
constexpr std::string_view keepFunction
    = "local function keep(key, order, name, line, lifetime, most, prefix)\n"
      "  local t = redis.call('TIME')\n"
      "  local now = tonumber(t[1]) * 1000000 + tonumber(t[2])\n"
      "  local newest = redis.call('ZRANGE', order, -1, -1, 'WITHSCORES')\n"
      "  if newest[2] and tonumber(newest[2]) >= now then now = tonumber(newest[2]) + 1 end\n"
      "  redis.call('ZREMRANGEBYSCORE', order, '-inf', now - tonumber(lifetime) * 1000)\n"
      "  redis.call('SET', key, line, 'PX', lifetime)\n"
      "  redis.call('ZADD', order, now, name)\n"
      "  redis.call('PEXPIRE', order, lifetime)\n"
      "  local over = redis.call('ZCARD', order) - tonumber(most)\n"
      "  if over > 0 then\n"
      "    local dropped = redis.call('ZPOPMIN', order, over)\n"
      "    for i = 1, #dropped, 2 do redis.call('DEL', prefix .. dropped[i]) end\n"
      "  end\n"
      "end\n";

// Publishes a notification and, when no relay is subscribed to its name and the publisher's own
// streams did not have it either, keeps it for the first one that subscribes.
// KEYS pending key, order; ARGV name, line, lifetime in ms, most names, key prefix, channel,
// message, keep ('1' or '0').
const std::string publishScript = std::string(keepFunction)
    + "local n = redis.call('PUBLISH', ARGV[6], ARGV[7])\n"
      "if n == 0 and ARGV[8] == '1' then\n"
      "  keep(KEYS[1], KEYS[2], ARGV[1], ARGV[2], ARGV[3], ARGV[4], ARGV[5])\n"
      "end\n"
      "return n\n";
// Keeps a notification that reached a relay with no stream left for it. KEYS and ARGV as above,
// up to the key prefix.
const std::string keepScript = std::string(keepFunction)
    + "keep(KEYS[1], KEYS[2], ARGV[1], ARGV[2], ARGV[3], ARGV[4], ARGV[5])\n";
// Takes the notification kept for a name, at most once (GETDEL for Redis before 6.2).
// KEYS pending key, order; ARGV name.
constexpr std::string_view takeScript = "local v = redis.call('GET', KEYS[1])\n"
                                        "if v then redis.call('DEL', KEYS[1]) end\n"
                                        "redis.call('ZREM', KEYS[2], ARGV[1])\n"
                                        "return v\n";

std::string randomId()
{
    std::random_device device;
    std::uniform_int_distribution<unsigned> digit(0, 15);
    std::string id;
    for (std::size_t i = 0; i < idLength; ++i) {
        id += "0123456789abcdef"[digit(device)];
    }
    return id;
}

std::string text(const redisReply *reply)
{
    return reply != nullptr && reply->str != nullptr ? std::string(reply->str, reply->len)
                                                     : std::string();
}

} // namespace

// One command in flight on the command connection, handed back with its answer.
struct RedisBridge::Request
{
    enum class Kind { setup, subscriberSetup, hello, publish, take, keep, ping };
    RedisBridge *bridge;
    Kind kind;
    std::string name;
    std::string line;
    bool keepIfUnheard = false;
};

RedisBridge::RedisBridge(event_base *base, RedisEndpoint endpoint, const BackendOptions &options,
    RelayLog log, Local local)
    : m_base(base)
    , m_endpoint(std::move(endpoint))
    , m_options(options)
    , m_log(std::move(log))
    , m_local(std::move(local))
    , m_id(randomId())
    , m_ownChannel("tolvo:relay:" + m_id)
    , m_backoff(options.redisRetryMin)
    , m_retry(event_new(
          base, -1, 0,
          [](evutil_socket_t, short, void *context) {
              static_cast<RedisBridge *>(context)->connect();
          },
          this))
    , m_tick(event_new(
          base, -1, EV_PERSIST,
          [](evutil_socket_t, short, void *context) {
              static_cast<RedisBridge *>(context)->tick();
          },
          this))
    , m_outbox(options.pendingLifetime, options.maxPendingNames)
{
}

RedisBridge::~RedisBridge()
{
    // Freeing a context hands every command still waiting back with no answer: nothing is kept.
    m_closing = true;
    for (redisAsyncContext *context :
        {std::exchange(m_commands, nullptr), std::exchange(m_subscriber, nullptr)}) {
        if (context != nullptr) {
            redisAsyncFree(context);
        }
    }
    event_free(m_retry);
    event_free(m_tick);
}

void RedisBridge::start()
{
    const timeval period = toTimeval(std::max<milliseconds>(m_options.redisTimeout / 4, 10ms));
    event_add(m_tick, &period);
    connect();
}

void RedisBridge::connect()
{
    m_state = State::connecting;
    m_connectStarted = Clock::now();
    m_connectedContexts = 0;
    m_answeredContexts = 0;
    for (redisAsyncContext **slot : {&m_commands, &m_subscriber}) {
        redisAsyncContext *context
            = redisAsyncConnect(m_endpoint.host.c_str(), int(m_endpoint.port));
        if (context == nullptr || context->err != 0) {
            const std::string why = context != nullptr ? context->errstr : "out of memory";
            if (context != nullptr) {
                redisAsyncFree(context);
            }
            lost(why);
            return;
        }
        *slot = context;
        context->data = this;
        redisLibeventAttach(context, m_base);
        redisAsyncSetConnectCallback(context, &RedisBridge::onConnected);
        redisAsyncSetDisconnectCallback(context, &RedisBridge::onDisconnected);
    }
}

void RedisBridge::onConnected(const redisAsyncContext *context, int status)
{
    auto *self = static_cast<RedisBridge *>(context->data);
    const bool ours = context == self->m_commands || context == self->m_subscriber;
    if (!ours) {
        return;
    }
    if (status != REDIS_OK) {
        // hiredis frees the context after this call.
        (context == self->m_commands ? self->m_commands : self->m_subscriber) = nullptr;
        self->lost(context->errstr);
        return;
    }
    redisEnableKeepAlive(const_cast<redisContext *>(&context->c));
    if (++self->m_connectedContexts == 2) {
        self->greet();
    }
}

void RedisBridge::onDisconnected(const redisAsyncContext *context, int)
{
    auto *self = static_cast<RedisBridge *>(context->data);
    if (context != self->m_commands && context != self->m_subscriber) {
        return; // one we let go of ourselves
    }
    (context == self->m_commands ? self->m_commands : self->m_subscriber) = nullptr;
    self->lost(context->err != 0 ? context->errstr : "Redis closed the connection");
}

void RedisBridge::greet()
{
    // Commands are pipelined: whatever follows runs after these, or fails with them. The first
    // plain answer on each connection (PING's, and our own channel's SUBSCRIBE's) says that its
    // setup went through.
    if (!m_endpoint.password.empty()) {
        send(new Request {this, Request::Kind::setup}, {"AUTH", m_endpoint.password});
        const char *argv[] = {"AUTH", m_endpoint.password.c_str()};
        redisAsyncCommandArgv(m_subscriber, &RedisBridge::onCommandReplyThunk,
            new Request {this, Request::Kind::subscriberSetup}, 2, argv, nullptr);
    }
    if (m_endpoint.database != 0) {
        send(new Request {this, Request::Kind::setup},
            {"SELECT", std::to_string(m_endpoint.database)});
    }
    send(new Request {this, Request::Kind::hello}, {"PING"});
    // Never subscribed to nothing: hiredis leaves subscribed mode when the count drops to 0,
    // and then takes a later SUBSCRIBE's answer for a stray reply.
    subscriberCommand("SUBSCRIBE", m_ownChannel);
}

void RedisBridge::answered()
{
    if (m_state == State::connecting && ++m_answeredContexts == 2) {
        linkUp();
    }
}

void RedisBridge::linkUp()
{
    m_state = State::up;
    m_connected = true;
    m_backoff = m_options.redisRetryMin;
    if (m_outageLogged) {
        m_outageLogged = false;
        m_log("Redis at " + m_endpoint.host + ":" + std::to_string(m_endpoint.port)
            + " is back: sharing notifications again");
    } else {
        m_log("sharing notifications through Redis at " + m_endpoint.host + ":"
            + std::to_string(m_endpoint.port));
    }
    std::vector<std::string> names;
    for (auto &[name, subscription] : m_subscriptions) {
        names.push_back(name);
    }
    for (const std::string &name : names) {
        pump(name);
    }
    // What arrived meanwhile. A name whose line still waits here was heard by no stream.
    m_outbox.dropExpired(PendingNotifications::Clock::now());
    for (auto &[name, line] : m_outbox.takeAll()) {
        sendPublish(name, line, m_local.takePending(name).has_value());
    }
}

void RedisBridge::lost(const std::string &why)
{
    if (m_state == State::down || m_closing) {
        return;
    }
    m_state = State::down;
    m_connected = false;
    if (!m_outageLogged) {
        m_outageLogged = true;
        m_log("Redis at " + m_endpoint.host + ":" + std::to_string(m_endpoint.port)
            + " is unreachable (" + why + "): serving this relay's streams alone and reconnecting");
    }
    m_awaiting.clear();
    for (auto it = m_subscriptions.begin(); it != m_subscriptions.end();) {
        it->second.active = false;
        it->second.busy = false;
        it = it->second.wanted ? std::next(it) : m_subscriptions.erase(it);
    }
    // Letting go of the other connection hands its waiting commands back: publishes among them
    // go to the outbox.
    for (redisAsyncContext *context :
        {std::exchange(m_commands, nullptr), std::exchange(m_subscriber, nullptr)}) {
        if (context != nullptr) {
            redisAsyncFree(context);
        }
    }
    const timeval wait = toTimeval(m_backoff);
    event_add(m_retry, &wait);
    m_backoff = std::min(m_backoff.load() * 2, m_options.redisRetryMax);
}

void RedisBridge::tick()
{
    const auto now = Clock::now();
    if (m_state == State::connecting && now - m_connectStarted > m_options.redisTimeout) {
        // A hung Redis's kernel still accepts connections: then it is the answer that is late.
        lost(std::string(m_connectedContexts == 2 ? "no answer" : "no connection") + " within "
            + std::to_string(m_options.redisTimeout.count()) + " ms");
        return;
    }
    if (m_state != State::up) {
        m_outbox.dropExpired(PendingNotifications::Clock::now());
        return;
    }
    if (!m_awaiting.empty() && now - m_awaiting.front() > m_options.redisTimeout) {
        lost("no answer within " + std::to_string(m_options.redisTimeout.count()) + " ms");
        return;
    }
    // A quiet link is checked too, so that a Redis that hangs is noticed before it is needed.
    if (m_awaiting.empty() && now - m_lastSent > m_options.redisTimeout / 2) {
        send(new Request {this, Request::Kind::ping}, {"PING"});
    }
}

void RedisBridge::send(Request *request, std::initializer_list<std::string_view> arguments)
{
    std::vector<const char *> argv;
    std::vector<std::size_t> lengths;
    for (std::string_view argument : arguments) {
        argv.push_back(argument.data());
        lengths.push_back(argument.size());
    }
    if (m_commands == nullptr
        || redisAsyncCommandArgv(m_commands, &RedisBridge::onCommandReplyThunk, request,
               int(argv.size()), argv.data(), lengths.data())
            != REDIS_OK) {
        onCommandReply(*request, nullptr);
        delete request;
        return;
    }
    m_lastSent = Clock::now();
    m_awaiting.push_back(m_lastSent);
}

void RedisBridge::subscriberCommand(const char *command, const std::string &channel)
{
    const char *argv[] = {command, channel.data()};
    const std::size_t lengths[] = {std::strlen(command), channel.size()};
    redisAsyncCommandArgv(
        m_subscriber, &RedisBridge::onSubscriberReplyThunk, this, 2, argv, lengths);
}

void RedisBridge::publish(const std::string &name, const std::string &line, bool heardHere)
{
    if (m_state != State::up) {
        heldBack(name, line, heardHere);
        return;
    }
    sendPublish(name, line, !heardHere);
}

void RedisBridge::heldBack(const std::string &name, const std::string &line, bool heardHere)
{
    m_outbox.remember(name, line, PendingNotifications::Clock::now());
    if (!heardHere) {
        m_local.keepPending(name, line);
    }
}

void RedisBridge::sendPublish(const std::string &name, const std::string &line, bool keepIfUnheard)
{
    const std::string channel = std::string(channelPrefix) + name;
    const std::string key = std::string(pendingPrefix) + name;
    // Our id, whether our streams missed it, then the line.
    const std::string message = m_id + (keepIfUnheard ? "1" : "0") + line;
    const std::string lifetime = std::to_string(m_options.pendingLifetime.count());
    const std::string most = std::to_string(m_options.maxPendingNames);
    send(new Request {this, Request::Kind::publish, name, line, keepIfUnheard},
        {"EVAL", publishScript, "2", key, pendingOrderKey, name, line, lifetime, most,
            pendingPrefix, channel, message, keepIfUnheard ? "1" : "0"});
}

void RedisBridge::follow(const std::string &name)
{
    m_subscriptions[name].wanted = true;
    pump(name);
}

void RedisBridge::unfollow(const std::string &name)
{
    auto found = m_subscriptions.find(name);
    if (found == m_subscriptions.end()) {
        return;
    }
    found->second.wanted = false;
    pump(name);
}

// One SUBSCRIBE or UNSUBSCRIBE per name at a time: hiredis keeps one callback per channel and
// forgets it at an UNSUBSCRIBE's answer, so a SUBSCRIBE sent right behind one would lose it.
void RedisBridge::pump(const std::string &name)
{
    auto found = m_subscriptions.find(name);
    if (found == m_subscriptions.end()) {
        return;
    }
    Subscription &subscription = found->second;
    if (m_state != State::up || subscription.busy) {
        if (!subscription.wanted && !subscription.active && !subscription.busy) {
            m_subscriptions.erase(found);
        }
        return;
    }
    if (subscription.wanted != subscription.active) {
        subscription.busy = true;
        subscriberCommand(
            subscription.wanted ? "SUBSCRIBE" : "UNSUBSCRIBE", std::string(channelPrefix) + name);
    } else if (!subscription.wanted) {
        m_subscriptions.erase(found);
    }
}

void RedisBridge::onSubscriberReplyThunk(redisAsyncContext *, void *reply, void *privdata)
{
    auto *self = static_cast<RedisBridge *>(privdata);
    if (reply != nullptr && !self->m_closing) {
        self->onSubscriberReply(reply);
    }
}

void RedisBridge::onSubscriberReply(void *data)
{
    const auto *reply = static_cast<const redisReply *>(data);
    if (reply->type != REDIS_REPLY_ARRAY || reply->elements < 3) {
        return;
    }
    const std::string kind = text(reply->element[0]);
    const std::string channel = text(reply->element[1]);
    if (channel == m_ownChannel) {
        if (kind == "subscribe") {
            answered();
        }
        return;
    }
    if (!channel.starts_with(channelPrefix)) {
        return;
    }
    const std::string name = channel.substr(channelPrefix.size());
    if (kind == "message") {
        const std::string message = text(reply->element[2]);
        if (message.size() <= idLength) {
            return;
        }
        const bool ours = message.compare(0, idLength, m_id) == 0;
        const bool missedHere = message[idLength] == '1';
        // Our streams had our own notifications, unless they were not there yet.
        if (!ours || missedHere) {
            deliverOrKeep(name, message.substr(idLength + 1));
        }
        return;
    }
    auto found = m_subscriptions.find(name);
    if (found == m_subscriptions.end()) {
        return;
    }
    found->second.busy = false;
    if (kind == "subscribe") {
        found->second.active = true;
        // Anything kept before the subscription counted is ours to take now; anything later
        // reaches the subscription.
        send(new Request {this, Request::Kind::take, name},
            {"EVAL", takeScript, "2", std::string(pendingPrefix) + name, pendingOrderKey, name});
    } else if (kind == "unsubscribe") {
        found->second.active = false;
    }
    pump(name);
}

// A line that reached this relay for a name: its streams take it, or Redis keeps it for the
// next stream anywhere (the publisher counted this relay as a listener and kept nothing).
void RedisBridge::deliverOrKeep(const std::string &name, const std::string &line)
{
    if (m_local.deliver(name, line)) {
        return;
    }
    if (m_state != State::up) {
        m_local.keepPending(name, line);
        return;
    }
    send(new Request {this, Request::Kind::keep, name, line},
        {"EVAL", keepScript, "2", std::string(pendingPrefix) + name, pendingOrderKey, name, line,
            std::to_string(m_options.pendingLifetime.count()),
            std::to_string(m_options.maxPendingNames), pendingPrefix});
}

void RedisBridge::onCommandReplyThunk(redisAsyncContext *, void *reply, void *privdata)
{
    auto *request = static_cast<Request *>(privdata);
    request->bridge->onCommandReply(*request, reply);
    delete request;
}

void RedisBridge::onCommandReply(Request &request, void *data)
{
    if (m_closing) {
        return;
    }
    const auto *reply = static_cast<const redisReply *>(data);
    if (reply != nullptr && request.kind != Request::Kind::subscriberSetup && !m_awaiting.empty()) {
        m_awaiting.pop_front();
    }
    if (reply == nullptr) {
        // The link went before the answer. A publish may or may not have run: sent again once
        // Redis is back, since a missed change signal costs more than a repeated one.
        if (request.kind == Request::Kind::publish) {
            heldBack(request.name, request.line, !request.keepIfUnheard);
        } else if (request.kind == Request::Kind::keep) {
            m_local.keepPending(request.name, request.line);
        }
        return;
    }
    if (reply->type == REDIS_REPLY_ERROR) {
        const std::string error = text(reply);
        if (request.kind == Request::Kind::setup || request.kind == Request::Kind::subscriberSetup
            || request.kind == Request::Kind::hello) {
            lost("Redis refused the connection's setup: " + error);
        } else if (request.kind == Request::Kind::publish) {
            heldBack(request.name, request.line, !request.keepIfUnheard);
            lost("Redis refused a publish: " + error);
        }
        return;
    }
    if (request.kind == Request::Kind::hello) {
        answered();
    } else if (request.kind == Request::Kind::take && reply->type == REDIS_REPLY_STRING) {
        deliverOrKeep(request.name, text(reply));
    }
}

} // namespace tolvo::backend
