#include "RelayBench.h"

#include <event2/buffer.h>
#include <event2/bufferevent.h>
#include <event2/event.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

extern char **environ;

namespace tolvo::bench {

std::string streamName(std::size_t index)
{
    char name[65];
    std::snprintf(name, sizeof(name), "%064zx", index);
    return name;
}

long residentKilobytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

bool Process::start(
    const std::vector<std::string> &args, const std::string &readyText, long *number)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> copy = args;
    std::vector<char *> argv;
    for (auto &arg : copy) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int spawned
        = posix_spawn(&m_pid, copy[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return false;
    }
    m_log = pipeFds[0];
    // Read the output until the process says it is ready.
    std::string text;
    bool ready = false;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!ready && Clock::now() < deadline) {
        pollfd readable {m_log, POLLIN, 0};
        if (poll(&readable, 1, 100) <= 0) {
            continue;
        }
        char buffer[512];
        const ssize_t n = read(m_log, buffer, sizeof(buffer));
        if (n <= 0) {
            break;
        }
        text.append(buffer, std::size_t(n));
        if (auto at = text.find(readyText);
            at != std::string::npos && text.find('\n', at) != std::string::npos) {
            ready = true;
            if (number != nullptr) {
                *number = std::atol(text.c_str() + at + readyText.size());
            }
        }
    }
    std::cerr << text;
    // Keep forwarding the log so that the process never blocks on a full pipe.
    m_forwarder = std::thread([fd = m_log] {
        char buffer[4096];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof(buffer))) > 0) {
            std::cerr.write(buffer, n);
        }
    });
    return ready;
}

std::pair<int, double> Process::stop()
{
    const auto begin = Clock::now();
    kill(m_pid, SIGTERM);
    int status = 0;
    waitpid(m_pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
    if (m_forwarder.joinable()) {
        m_forwarder.join();
    }
    close(m_log);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ms};
}

bool Relay::start(int keepAliveSeconds, std::vector<std::string> extra)
{
    std::vector<std::string> args = {TOLVO_BACKEND_EXECUTABLE, "--port", "0", "--max-streams",
        "30000", "--max-streams-per-name", "100000",
        // One address opens every stream, as through a proxy.
        "--max-connections-per-address", "100000", "--max-streams-per-address", "100000",
        "--keep-alive-period", std::to_string(keepAliveSeconds)};
    args.insert(args.end(), extra.begin(), extra.end());
    long port = 0;
    Process::start(args, "listening on 127.0.0.1:", &port);
    m_port = std::uint16_t(port);
    return m_port != 0;
}

Bench::Bench(std::uint16_t port)
    : m_base(event_base_new())
    , m_port(port)
{
}

Bench::~Bench()
{
    closeStreams();
    for (auto &[port, buffer] : m_posters) {
        bufferevent_free(buffer);
    }
    event_base_free(m_base);
}

bool Bench::openStreams(const std::vector<std::string> &names, std::uint16_t port)
{
    constexpr std::size_t batch = 500;
    for (std::size_t first = 0; first < names.size(); first += batch) {
        const std::size_t last = std::min(names.size(), first + batch);
        for (std::size_t i = first; i < last; ++i) {
            auto *stream = new Stream {this, nullptr, names[i], {}, port ? port : m_port, false};
            stream->buffer = connectTo(stream->port, &Bench::onStreamRead, stream);
            m_streams.push_back(stream);
        }
        if (!runUntil([&] { return m_heads + m_refused == m_streams.size(); }, 30)) {
            std::cerr << "timed out waiting for stream heads\n";
            return false;
        }
    }
    return m_refused == 0;
}

void Bench::closeStreams()
{
    for (Stream *stream : m_streams) {
        bufferevent_free(stream->buffer);
        delete stream;
    }
    m_streams.clear();
    m_heads = 0;
}

bufferevent *Bench::poster(std::uint16_t port)
{
    auto &buffer = m_posters[port];
    if (buffer == nullptr) {
        buffer = connectTo(port, &Bench::onPosterRead, this);
    }
    return buffer;
}

bool Bench::sample(const std::string &name, std::size_t listeners, std::vector<double> &latencies,
    std::uint16_t port, std::vector<double> *local)
{
    m_postedTo = port ? port : m_port;
    bufferevent *to = poster(m_postedTo);
    ++m_sample;
    m_marker = "\"channelId\":\"s" + std::to_string(m_sample) + "\"";
    m_arrived.clear();
    m_arrivedLocal.clear();
    const std::string request
        = "POST /notification-handler HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n"
          "X-Goog-Channel-ID: s"
        + std::to_string(m_sample) + "\r\nX-Goog-Channel-Token: " + name
        + "\r\nX-Goog-Resource-State: exists\r\nX-Goog-Resource-ID: r\r\n"
          "X-Goog-Message-Number: 1\r\n\r\n";
    m_sentAt = Clock::now();
    bufferevent_write(to, request.data(), request.size());
    if (!runUntil([&] { return m_arrived.size() + m_arrivedLocal.size() >= listeners; }, 10)) {
        return false;
    }
    latencies.insert(latencies.end(), m_arrived.begin(), m_arrived.end());
    (local ? *local : latencies)
        .insert((local ? *local : latencies).end(), m_arrivedLocal.begin(), m_arrivedLocal.end());
    return true;
}

bool Bench::probe(double seconds, std::vector<double> &times)
{
    bufferevent *to = poster(m_port);
    const std::string request
        = "POST /notification-handler HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n"
          "X-Goog-Channel-ID: probe\r\nX-Goog-Channel-Token: "
        + std::string(64, 'f') + "\r\nX-Goog-Resource-State: exists\r\n\r\n";
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        m_answers = 0;
        const auto sent = Clock::now();
        bufferevent_write(to, request.data(), request.size());
        if (!runUntil([&] { return m_answers > 0; }, 10)) {
            return false;
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    }
    return true;
}

bufferevent *Bench::connectTo(
    std::uint16_t port, void (*onRead)(bufferevent *, void *), void *context)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bufferevent *buffer = bufferevent_socket_new(m_base, -1, BEV_OPT_CLOSE_ON_FREE);
    bufferevent_setcb(buffer, onRead, nullptr, &Bench::onEvent, context);
    bufferevent_enable(buffer, EV_READ | EV_WRITE);
    bufferevent_socket_connect(buffer, reinterpret_cast<sockaddr *>(&address), sizeof(address));
    int one = 1;
    setsockopt(bufferevent_getfd(buffer), IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    if (onRead == &Bench::onStreamRead) {
        const std::string get = "GET /events/" + static_cast<Stream *>(context)->name
            + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n";
        bufferevent_write(buffer, get.data(), get.size());
    }
    return buffer;
}

void Bench::onStreamRead(bufferevent *buffer, void *context)
{
    auto *stream = static_cast<Stream *>(context);
    Bench *bench = stream->bench;
    const auto now = Clock::now();
    evbuffer *input = bufferevent_get_input(buffer);
    const std::size_t length = evbuffer_get_length(input);
    stream->pending.append(reinterpret_cast<const char *>(evbuffer_pullup(input, -1)), length);
    evbuffer_drain(input, length);
    if (!stream->head) {
        const auto end = stream->pending.find("\r\n\r\n");
        if (end == std::string::npos) {
            return;
        }
        stream->head = true;
        if (stream->pending.rfind("HTTP/1.1 200", 0) == 0) {
            ++bench->m_heads;
        } else {
            ++bench->m_refused;
        }
        stream->pending.erase(0, end + 4);
    }
    if (!bench->m_marker.empty()) {
        auto &into = stream->port == bench->m_postedTo ? bench->m_arrivedLocal : bench->m_arrived;
        for (auto at = stream->pending.find(bench->m_marker); at != std::string::npos;
             at = stream->pending.find(bench->m_marker, at + 1)) {
            into.push_back(
                std::chrono::duration<double, std::milli>(now - bench->m_sentAt).count());
        }
    }
    // Lines end in a blank line; keep only an unfinished one.
    if (auto last = stream->pending.rfind("\n\n"); last != std::string::npos) {
        stream->pending.erase(0, last + 2);
    }
}

void Bench::onPosterRead(bufferevent *buffer, void *context)
{
    auto *bench = static_cast<Bench *>(context);
    evbuffer *input = bufferevent_get_input(buffer);
    // Answers carry no body: each one ends with its head.
    std::string text(evbuffer_get_length(input), '\0');
    evbuffer_remove(input, text.data(), text.size());
    bench->m_posterText += text;
    for (auto at = bench->m_posterText.find("\r\n\r\n"); at != std::string::npos;
         at = bench->m_posterText.find("\r\n\r\n")) {
        ++bench->m_answers;
        bench->m_posterText.erase(0, at + 4);
    }
}

void Bench::onEvent(bufferevent *, short what, void *)
{
    if (what & (BEV_EVENT_ERROR | BEV_EVENT_EOF)) {
        std::cerr << "a connection failed or was closed by the relay\n";
    }
}

bool Bench::runUntil(const std::function<bool()> &done, int seconds)
{
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        event_base_loop(m_base, EVLOOP_ONCE);
    }
    return true;
}

} // namespace tolvo::bench
