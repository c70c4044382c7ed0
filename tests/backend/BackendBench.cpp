// Figures for the push relay alone: how many event streams one relay process holds, how long a
// notification takes from its POST to the line on the streams, the relay's memory per stream,
// and how long its loop stalls while keep-alives go out to all of them. The relay runs as its
// own process (both ends of 15,000 connections would not fit in one process's descriptor
// limit); the clients are plain libevent sockets.
//
//   BackendBench [--streams N] [--names N] [--per-name N] [--samples N] [--keep-alive SECONDS]
//
// It prints figures and exits 0 when every request was answered; the goals are printed beside
// them, never asserted.

#include <event2/buffer.h>
#include <event2/bufferevent.h>
#include <event2/event.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

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

class Relay
{
public:
    bool start(int keepAliveSeconds)
    {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) {
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        // The relay's path is compiled in relative to this executable's folder.
        const std::string relay = (std::filesystem::read_symlink("/proc/self/exe").parent_path()
            / TOLVO_BACKEND_EXECUTABLE)
                                      .string();
        std::vector<std::string> args
            = {relay, "--port", "0", "--max-streams", "30000", "--max-streams-per-name", "100000",
                // One address opens every stream, as through a proxy.
                "--max-connections-per-address", "100000", "--keep-alive-period",
                std::to_string(keepAliveSeconds)};
        std::vector<char *> argv;
        for (auto &arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const int spawned
            = posix_spawn(&m_pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        if (spawned != 0) {
            close(pipeFds[0]);
            return false;
        }
        m_log = pipeFds[0];
        // Read the log until the relay says where it listens.
        std::string text;
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (m_port == 0 && Clock::now() < deadline) {
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
            if (auto at = text.find("listening on 127.0.0.1:"); at != std::string::npos) {
                m_port = std::uint16_t(std::atoi(text.c_str() + at + 23));
            }
        }
        std::cerr << text;
        // Keep forwarding the relay's log so that it never blocks on a full pipe.
        m_forwarder = std::thread([fd = m_log] {
            char buffer[4096];
            ssize_t n;
            while ((n = read(fd, buffer, sizeof(buffer))) > 0) {
                std::cerr.write(buffer, n);
            }
        });
        return m_port != 0;
    }

    // SIGTERM, and how long the relay took to end.
    std::pair<int, double> stop()
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

    pid_t pid() const { return m_pid; }
    std::uint16_t port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_log = -1;
    std::uint16_t m_port = 0;
    std::thread m_forwarder;
};

class Bench
{
public:
    explicit Bench(std::uint16_t port)
        : m_base(event_base_new())
    {
        m_address.sin_family = AF_INET;
        m_address.sin_port = htons(port);
        m_address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }

    ~Bench()
    {
        closeStreams();
        if (m_poster != nullptr) {
            bufferevent_free(m_poster);
        }
        event_base_free(m_base);
    }

    // Opens streams for the given names in batches; false when a stream was refused.
    bool openStreams(const std::vector<std::string> &names)
    {
        constexpr std::size_t batch = 500;
        for (std::size_t first = 0; first < names.size(); first += batch) {
            const std::size_t last = std::min(names.size(), first + batch);
            for (std::size_t i = first; i < last; ++i) {
                auto *stream = new Stream {this, nullptr, names[i], {}, false};
                stream->buffer = connectTo(&Bench::onStreamRead, stream);
                m_streams.push_back(stream);
            }
            if (!runUntil([&] { return m_heads + m_refused == m_streams.size(); }, 30)) {
                std::cerr << "timed out waiting for stream heads\n";
                return false;
            }
        }
        return m_refused == 0;
    }

    void closeStreams()
    {
        for (Stream *stream : m_streams) {
            bufferevent_free(stream->buffer);
            delete stream;
        }
        m_streams.clear();
        m_heads = 0;
    }

    std::size_t openCount() const { return m_heads; }

    // Posts one notification for `name` and waits for `listeners` lines; their latencies in ms.
    bool sample(const std::string &name, std::size_t listeners, std::vector<double> &latencies)
    {
        if (m_poster == nullptr) {
            m_poster = connectTo(&Bench::onPosterRead, this);
        }
        ++m_sample;
        m_marker = "\"channelId\":\"s" + std::to_string(m_sample) + "\"";
        m_arrived.clear();
        m_expected = listeners;
        const std::string request
            = "POST /notification-handler HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n"
              "X-Goog-Channel-ID: s"
            + std::to_string(m_sample) + "\r\nX-Goog-Channel-Token: " + name
            + "\r\nX-Goog-Resource-State: exists\r\nX-Goog-Resource-ID: r\r\n"
              "X-Goog-Message-Number: 1\r\n\r\n";
        m_sentAt = Clock::now();
        bufferevent_write(m_poster, request.data(), request.size());
        if (!runUntil([&] { return m_arrived.size() >= m_expected; }, 10)) {
            return false;
        }
        latencies.insert(latencies.end(), m_arrived.begin(), m_arrived.end());
        return true;
    }

    // Answer times of requests sent one after another for `seconds`, while the streams are
    // held (and read): the longest is the longest the relay's loop was busy elsewhere.
    bool probe(double seconds, std::vector<double> &times)
    {
        if (m_poster == nullptr) {
            m_poster = connectTo(&Bench::onPosterRead, this);
        }
        const std::string request
            = "POST /notification-handler HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n"
              "X-Goog-Channel-ID: probe\r\nX-Goog-Channel-Token: "
            + std::string(64, 'f') + "\r\nX-Goog-Resource-State: exists\r\n\r\n";
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < end) {
            m_answers = 0;
            const auto sent = Clock::now();
            bufferevent_write(m_poster, request.data(), request.size());
            if (!runUntil([&] { return m_answers > 0; }, 10)) {
                return false;
            }
            times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        }
        return true;
    }

private:
    struct Stream
    {
        Bench *bench;
        bufferevent *buffer;
        std::string name;
        std::string pending;
        bool head;
    };

    bufferevent *connectTo(bufferevent_data_cb onRead, void *context)
    {
        bufferevent *buffer = bufferevent_socket_new(m_base, -1, BEV_OPT_CLOSE_ON_FREE);
        bufferevent_setcb(buffer, onRead, nullptr, &Bench::onEvent, context);
        bufferevent_enable(buffer, EV_READ | EV_WRITE);
        bufferevent_socket_connect(
            buffer, reinterpret_cast<sockaddr *>(&m_address), sizeof(m_address));
        int one = 1;
        setsockopt(bufferevent_getfd(buffer), IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
        if (onRead == &Bench::onStreamRead) {
            const std::string get = "GET /events/" + static_cast<Stream *>(context)->name
                + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n";
            bufferevent_write(buffer, get.data(), get.size());
        }
        return buffer;
    }

    static void onStreamRead(bufferevent *buffer, void *context)
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
            for (auto at = stream->pending.find(bench->m_marker); at != std::string::npos;
                 at = stream->pending.find(bench->m_marker, at + 1)) {
                bench->m_arrived.push_back(
                    std::chrono::duration<double, std::milli>(now - bench->m_sentAt).count());
            }
        }
        // Lines end in a blank line; keep only an unfinished one.
        if (auto last = stream->pending.rfind("\n\n"); last != std::string::npos) {
            stream->pending.erase(0, last + 2);
        }
    }

    static void onPosterRead(bufferevent *buffer, void *context)
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

    static void onEvent(bufferevent *, short what, void *)
    {
        if (what & (BEV_EVENT_ERROR | BEV_EVENT_EOF)) {
            std::cerr << "a connection failed or was closed by the relay\n";
        }
    }

    bool runUntil(const std::function<bool()> &done, int seconds)
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

    event_base *m_base;
    sockaddr_in m_address {};
    std::vector<Stream *> m_streams;
    std::size_t m_heads = 0;
    std::size_t m_refused = 0;
    bufferevent *m_poster = nullptr;
    std::size_t m_sample = 0;
    std::string m_marker;
    Clock::time_point m_sentAt;
    std::vector<double> m_arrived;
    std::size_t m_expected = 0;
    std::size_t m_answers = 0;
    std::string m_posterText;
};

} // namespace

int main(int argc, char *argv[])
{
    std::size_t streams = 15000;
    std::size_t names = 100;
    std::size_t perName = 100;
    std::size_t samples = 1000;
    std::size_t keepAlive = 6;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const auto value = std::size_t(std::strtoull(argv[i + 1], nullptr, 10));
        if (flag == "--streams") {
            streams = value;
        } else if (flag == "--names") {
            names = value;
        } else if (flag == "--samples") {
            samples = value;
        } else if (flag == "--per-name") {
            perName = std::max<std::size_t>(1, value);
        } else if (flag == "--keep-alive") {
            keepAlive = std::max<std::size_t>(1, value);
        }
    }
    signal(SIGPIPE, SIG_IGN);
    rlimit limit {};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    Relay relay;
    if (!relay.start(int(keepAlive))) {
        std::cerr << "the relay did not start\n";
        return 1;
    }
    bool ok = true;
    int exitCode = -1;
    {
        Bench bench(relay.port());
        const long idleKb = residentKilobytes(relay.pid());

        // Capacity and memory: one stream for each of `streams` names.
        std::vector<std::string> single;
        for (std::size_t i = 0; i < streams; ++i) {
            single.push_back(streamName(i));
        }
        const auto openBegin = Clock::now();
        ok = bench.openStreams(single) && ok;
        const double openSeconds = std::chrono::duration<double>(Clock::now() - openBegin).count();
        const std::size_t held = bench.openCount();
        const long heldKb = residentKilobytes(relay.pid());

        std::vector<double> one;
        for (std::size_t i = 0; i < samples && ok; ++i) {
            ok = bench.sample(single[(i * 7919) % single.size()], 1, one);
        }
        // A little more than one keep-alive period: every stream gets its keep-alive.
        std::vector<double> probes;
        ok = ok && bench.probe(double(keepAlive) * 1.2, probes);
        bench.closeStreams();

        // Fan-out: `names` names with streams / names streams each.
        std::vector<std::string> shared;
        for (std::size_t i = 0; i < names * perName; ++i) {
            shared.push_back(streamName(streams + i % names));
        }
        ok = ok && bench.openStreams(shared);
        std::vector<double> fanOut;
        for (std::size_t i = 0; i < samples / 5 && ok; ++i) {
            ok = bench.sample(streamName(streams + i % names), perName, fanOut);
        }
        const std::size_t fanOutHeld = bench.openCount();

        const double perStreamBytes
            = held > 0 ? double(heldKb - idleKb) * 1024.0 / double(held) : 0;
        std::printf("relay: open streams held            %zu of %zu (opened in %.2f s)\n", held,
            streams, openSeconds);
        std::printf("relay: resident memory per stream   %.0f bytes at %zu streams (idle %ld kB, "
                    "holding %ld kB)   goal <= 3400\n",
            perStreamBytes, held, idleKb, heldKb);
        std::printf("relay: POST to line, 1 stream/name  p50 %.3f ms  p99 %.3f ms  (%zu samples)\n",
            percentile(one, 0.5), percentile(one, 0.99), one.size());
        std::printf("relay: POST to line, %zu names x %zu  p50 %.3f ms  p99 %.3f ms  (%zu lines)"
                    "   goal p99 <= 2 ms\n",
            names, perName, percentile(fanOut, 0.5), percentile(fanOut, 0.99), fanOut.size());
        std::printf("relay: streams held during fan-out  %zu\n", fanOutHeld);
        std::printf(
            "relay: requests during keep-alives  at %zu streams, %zu s period: longest stall "
            "%.2f ms, p99 %.3f ms, p50 %.3f ms (%zu requests)\n",
            held, keepAlive, probes.empty() ? 0.0 : *std::max_element(probes.begin(), probes.end()),
            percentile(probes, 0.99), percentile(probes, 0.5), probes.size());

        // Stopping ends every held stream cleanly before the process exits.
        const auto [code, stopMs] = relay.stop();
        exitCode = code;
        std::printf("relay: SIGTERM to exit, %zu streams %.1f ms (exit code %d)\n", fanOutHeld,
            stopMs, exitCode);
    }
    std::fflush(stdout);
    return ok && exitCode == 0 ? 0 : 1;
}
