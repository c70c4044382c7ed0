#include "backend/Listener.h"

#include <event2/event.h>
#include <event2/http.h>
#include <event2/listener.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace tolvo::backend {

namespace {

// The listener's callback context is evhttp's, so its error callback finds us through this.
std::mutex &listenersMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::unordered_map<evconnlistener *, Listener *> &listeners()
{
    static std::unordered_map<evconnlistener *, Listener *> map;
    return map;
}

} // namespace

Listener::Listener(event_base *base, RelayLog log)
    : m_base(base)
    , m_log(std::move(log))
    , m_resume(event_new(base, -1, 0, &Listener::onResume, this))
{
}

Listener::~Listener()
{
    if (m_listener != nullptr) {
        std::lock_guard lock(listenersMutex());
        listeners().erase(m_listener);
    }
    if (m_resume != nullptr) {
        event_free(m_resume);
    }
}

tl::expected<void, std::string> Listener::bind(
    evhttp *http, const std::string &address, std::uint16_t port)
{
    m_address = address;
    m_port = port;
    sockaddr_storage storage {};
    socklen_t length = 0;
    bool ipv6 = false;
    auto *v4 = reinterpret_cast<sockaddr_in *>(&storage);
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(&storage);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        length = sizeof(sockaddr_in);
    } else if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        length = sizeof(sockaddr_in6);
        ipv6 = true;
    } else {
        return tl::unexpected("not an IP address: \"" + address + "\"");
    }

    unsigned flags = LEV_OPT_REUSEABLE | LEV_OPT_CLOSE_ON_FREE | LEV_OPT_CLOSE_ON_EXEC;
    if (ipv6) {
        flags |= LEV_OPT_BIND_IPV6ONLY;
    }
    evconnlistener *listener = evconnlistener_new_bind(m_base, nullptr, nullptr, flags, 4096,
        reinterpret_cast<sockaddr *>(&storage), static_cast<int>(length));
    if (listener == nullptr) {
        return tl::unexpected("cannot listen on " + endpoint() + ": " + std::strerror(errno));
    }
    if (evhttp_bind_listener(http, listener) == nullptr) {
        evconnlistener_free(listener);
        return tl::unexpected(std::string("could not attach the listener"));
    }
    m_listener = listener;
    {
        std::lock_guard lock(listenersMutex());
        listeners()[m_listener] = this;
    }
    evconnlistener_set_error_cb(m_listener, &Listener::onAcceptError);

    sockaddr_storage bound {};
    socklen_t boundLength = sizeof(bound);
    if (getsockname(
            evconnlistener_get_fd(m_listener), reinterpret_cast<sockaddr *>(&bound), &boundLength)
        == 0) {
        m_port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port
                            : reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
    }
    return {};
}

std::string Listener::endpoint() const
{
    const bool ipv6 = m_address.find(':') != std::string::npos;
    return (ipv6 ? "[" + m_address + "]" : m_address) + ":" + std::to_string(m_port);
}

void Listener::close()
{
    m_closed = true;
    if (m_listener != nullptr) {
        evconnlistener_disable(m_listener);
    }
    event_del(m_resume);
}

void Listener::onAcceptError(evconnlistener *listener, void *)
{
    Listener *self = nullptr;
    {
        std::lock_guard lock(listenersMutex());
        self = listeners().at(listener);
    }
    const int error = EVUTIL_SOCKET_ERROR();
    const bool outOfDescriptors
        = error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
    if (outOfDescriptors && self->freeDescriptors && self->freeDescriptors()) {
        return; // the listener tries again on its next turn
    }
    self->m_log(std::string("accept failed (") + evutil_socket_error_to_string(error)
        + "): pausing new connections");
    evconnlistener_disable(listener);
    const timeval pause {0, 200'000};
    event_add(self->m_resume, &pause);
}

void Listener::onResume(int, short, void *context)
{
    auto *self = static_cast<Listener *>(context);
    if (!self->m_closed) {
        evconnlistener_enable(self->m_listener);
    }
}

} // namespace tolvo::backend
