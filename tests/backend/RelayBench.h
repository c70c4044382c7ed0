#pragma once

// What the relay benchmarks share: the relay as a process of its own, and plain libevent
// clients that hold its streams, post notifications and time the lines.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

struct bufferevent;
struct event_base;

namespace tolvo::bench {

using Clock = std::chrono::steady_clock;

std::string streamName(std::size_t index);
long residentKilobytes(pid_t pid);
double percentile(std::vector<double> values, double p);

// A child process whose standard error is forwarded, read until it prints `ready`.
class Process
{
public:
    // False when `ready` did not come within 10 s; `number` gets the number after it.
    bool start(
        const std::vector<std::string> &args, const std::string &ready, long *number = nullptr);
    // SIGTERM, and how long the process took to end.
    std::pair<int, double> stop();
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_log = -1;
    std::thread m_forwarder;
};

// tolvo-backend on a free loopback port, caps raised for benchmark loads.
class Relay : public Process
{
public:
    bool start(int keepAliveSeconds, std::vector<std::string> extra = {});
    std::uint16_t port() const { return m_port; }

private:
    std::uint16_t m_port = 0;
};

class Bench
{
public:
    explicit Bench(std::uint16_t port);
    ~Bench();

    // Opens streams for the given names in batches (on `port`, else the bench's); false when a
    // stream was refused.
    bool openStreams(const std::vector<std::string> &names, std::uint16_t port = 0);
    void closeStreams();
    std::size_t openCount() const { return m_heads; }

    // Posts one notification for `name` (to `port`, else the bench's) and waits for `listeners`
    // lines; their latencies in ms, those of streams on the port posted to in `local` if given.
    bool sample(const std::string &name, std::size_t listeners, std::vector<double> &latencies,
        std::uint16_t port = 0, std::vector<double> *local = nullptr);

    // Answer times of requests sent one after another for `seconds`, while the streams are
    // held (and read): the longest is the longest the relay's loop was busy elsewhere.
    bool probe(double seconds, std::vector<double> &times);

private:
    struct Stream
    {
        Bench *bench;
        bufferevent *buffer;
        std::string name;
        std::string pending;
        std::uint16_t port;
        bool head;
    };

    bufferevent *connectTo(
        std::uint16_t port, void (*onRead)(bufferevent *, void *), void *context);
    bufferevent *poster(std::uint16_t port);
    static void onStreamRead(bufferevent *buffer, void *context);
    static void onPosterRead(bufferevent *buffer, void *context);
    static void onEvent(bufferevent *, short what, void *);
    bool runUntil(const std::function<bool()> &done, int seconds);

    event_base *m_base;
    std::uint16_t m_port;
    std::vector<Stream *> m_streams;
    std::size_t m_heads = 0;
    std::size_t m_refused = 0;
    std::map<std::uint16_t, bufferevent *> m_posters;
    std::size_t m_sample = 0;
    std::string m_marker;
    std::uint16_t m_postedTo = 0;
    Clock::time_point m_sentAt;
    std::vector<double> m_arrived;
    std::vector<double> m_arrivedLocal;
    std::size_t m_answers = 0;
    std::string m_posterText;
};

} // namespace tolvo::bench
