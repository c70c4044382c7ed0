#pragma once

#include "backend/RelayLog.h"

#include <cstdint>
#include <functional>
#include <string>

#include <tl/expected.hpp>

struct event;
struct event_base;
struct evconnlistener;
struct evhttp;

namespace tolvo::backend {

// The relay's listening socket, handed to evhttp. Ours rather than evhttp's own: that one listens
// with a backlog of 128 and binds "::" dual-stack. Running out of descriptors at accept pauses it
// briefly instead of letting libevent retry at once for ever.
class Listener
{
public:
    Listener(event_base *base, RelayLog log);
    ~Listener();

    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    tl::expected<void, std::string> bind(
        evhttp *http, const std::string &address, std::uint16_t port);

    // The port actually bound (useful with port 0).
    std::uint16_t port() const { return m_port; }
    std::string endpoint() const;

    // No more connections: the relay is stopping.
    void close();

    // Asked when accept finds no free descriptor; true when it freed some, so that accepting
    // goes on at once.
    std::function<bool()> freeDescriptors;

private:
    static void onAcceptError(evconnlistener *listener, void *);
    static void onResume(int, short, void *context);

    event_base *m_base;
    RelayLog m_log;
    std::string m_address;
    std::uint16_t m_port = 0;
    evconnlistener *m_listener = nullptr; // owned by the evhttp it is bound to
    event *m_resume = nullptr;
    bool m_closed = false;
};

} // namespace tolvo::backend
