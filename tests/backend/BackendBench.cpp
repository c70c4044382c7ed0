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

#include "RelayBench.h"

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

using namespace tolvo::bench;

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
