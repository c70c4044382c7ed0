#include "backend/BackendServer.h"

#include "backend/RelayLoop.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace tolvo::backend {

struct BackendServer::Runner
{
    std::mutex mutex;
    std::shared_ptr<RelayLoop> loop;
    std::thread thread;
    std::atomic<std::uint16_t> port = 0;

    std::shared_ptr<RelayLoop> current()
    {
        std::lock_guard lock(mutex);
        return loop;
    }

    void forget()
    {
        // The loop (and with it the listening socket) goes here, on the caller's thread.
        std::lock_guard lock(mutex);
        loop.reset();
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
    return launch(Thread::own);
}

tl::expected<void, std::string> BackendServer::run()
{
    return launch(Thread::caller);
}

tl::expected<void, std::string> BackendServer::launch(Thread thread)
{
    if (m_runner->current() != nullptr || m_runner->thread.joinable()) {
        return tl::unexpected(std::string("the relay is already running"));
    }
    // Listeners come back to the address they know: a restart keeps the port picked before.
    BackendOptions options = m_options;
    if (options.port == 0) {
        options.port = m_runner->port;
    }
    auto loop = std::make_shared<RelayLoop>(std::move(options));
    if (auto listening = loop->listen(); !listening) {
        return listening;
    }
    m_runner->port = loop->port();
    {
        std::lock_guard lock(m_runner->mutex);
        m_runner->loop = loop;
    }
    if (thread == Thread::own) {
        m_runner->thread = std::thread([loop] { loop->dispatch(); });
        return {};
    }
    loop->handleTerminationSignals();
    loop->dispatch();
    m_runner->forget();
    return {};
}

void BackendServer::stop()
{
    if (auto loop = m_runner->current()) {
        loop->requestStop();
    }
    if (m_runner->thread.joinable()) {
        m_runner->thread.join();
        m_runner->forget();
    }
}

std::uint16_t BackendServer::port() const
{
    return m_runner->port;
}

std::size_t BackendServer::subscriberCount(const std::string &streamName) const
{
    auto loop = m_runner->current();
    return loop ? loop->streams().subscriberCount(streamName) : 0;
}

std::size_t BackendServer::streamCount() const
{
    auto loop = m_runner->current();
    return loop ? loop->streams().streamCount() : 0;
}

std::size_t BackendServer::pendingCount() const
{
    auto loop = m_runner->current();
    return loop ? loop->streams().pendingCount() : 0;
}

bool BackendServer::redisConnected() const
{
    auto loop = m_runner->current();
    return loop && loop->redisConnected();
}

std::chrono::milliseconds BackendServer::redisRetryDelay() const
{
    auto loop = m_runner->current();
    return loop ? loop->redisRetryDelay() : std::chrono::milliseconds(0);
}

std::size_t BackendServer::longestKeepAlivePass() const
{
    auto loop = m_runner->current();
    return loop ? loop->streams().longestKeepAlivePass() : 0;
}

} // namespace tolvo::backend
