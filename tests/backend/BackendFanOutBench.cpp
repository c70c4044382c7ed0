// Fan-out latency of relays sharing a Redis against one relay alone, in one run: the same
// names x listeners, every listener of a name on the one relay, then half of them on each of two
// relays joined through a redis-server of the benchmark's own, with posts alternating between
// the two as a load balancer would send them. Latency is POST sent to line received.
//
//   BackendFanOutBench [--names N] [--per-name N] [--samples N]
//
// It prints figures and exits 0 when every line arrived; the goal is printed beside them, never
// asserted. Without redis-server it prints the one-relay figures and says so.

#include "RelayBench.h"

#include <hiredis/hiredis.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

using namespace tolvo::bench;

namespace {

std::uint16_t freePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address));
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

std::string findRedisServer()
{
    for (const char *folder : {"/usr/bin", "/usr/sbin", "/usr/local/bin"}) {
        const std::string path = std::string(folder) + "/redis-server";
        if (access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return {};
}

// Until Redis counts `relays` subscribers on every name's channel: a line published before a
// relay's subscription is in place would not reach that relay's listeners.
bool waitForSubscriptions(
    std::uint16_t port, const std::vector<std::string> &names, long long relays)
{
    redisContext *redis = redisConnect("127.0.0.1", port);
    if (redis == nullptr || redis->err != 0) {
        return false;
    }
    bool all = false;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!all && Clock::now() < deadline) {
        all = true;
        for (const std::string &name : names) {
            auto *reply = static_cast<redisReply *>(
                redisCommand(redis, "PUBSUB NUMSUB tolvo:events:%s", name.c_str()));
            all = all && reply != nullptr && reply->type == REDIS_REPLY_ARRAY
                && reply->elements == 2 && reply->element[1]->integer == relays;
            freeReplyObject(reply);
        }
        if (!all) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    redisFree(redis);
    return all;
}

void print(const char *what, const std::vector<double> &latencies)
{
    std::printf("fan-out: %-34s p50 %.3f ms  p99 %.3f ms  (%zu lines)\n", what,
        percentile(latencies, 0.5), percentile(latencies, 0.99), latencies.size());
}

} // namespace

int main(int argc, char *argv[])
{
    std::size_t names = 100;
    std::size_t perName = 100;
    std::size_t samples = 200;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const auto value = std::max<std::size_t>(2, std::strtoull(argv[i + 1], nullptr, 10));
        if (flag == "--names") {
            names = value;
        } else if (flag == "--per-name") {
            perName = value;
        } else if (flag == "--samples") {
            samples = value;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    rlimit limit {};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    std::vector<std::string> nameList;
    for (std::size_t i = 0; i < names; ++i) {
        nameList.push_back(streamName(1'000'000 + i));
    }
    std::vector<std::string> listeners; // perName of each name, names interleaved
    for (std::size_t i = 0; i < names * perName; ++i) {
        listeners.push_back(nameList[i % names]);
    }
    const std::size_t half = listeners.size() / 2;
    bool ok = true;

    // One relay holding every listener.
    std::vector<double> single;
    {
        Relay relay;
        if (!relay.start(30)) {
            std::cerr << "the relay did not start\n";
            return 1;
        }
        Bench bench(relay.port());
        ok = bench.openStreams(listeners);
        for (std::size_t i = 0; i < samples && ok; ++i) {
            ok = bench.sample(nameList[i % names], perName, single);
        }
        bench.closeStreams();
        relay.stop();
    }
    print("one relay", single);

    const std::string redisServer = findRedisServer();
    if (redisServer.empty()) {
        std::printf("fan-out: two relays skipped: redis-server is not installed\n");
        return ok ? 0 : 1;
    }
    char folderTemplate[] = "/tmp/tolvo-fanout-XXXXXX";
    const char *folder = mkdtemp(folderTemplate);
    const std::uint16_t redisPort = freePort();
    Process redis;
    if (folder == nullptr
        || !redis.start({redisServer, "--port", std::to_string(redisPort), "--bind", "127.0.0.1",
                            "--save", "", "--appendonly", "no", "--dir", folder},
            "Ready to accept connections")) {
        std::cerr << "redis-server did not start\n";
        return 1;
    }

    // Two relays, half of each name's listeners on each; posts alternate between them.
    std::vector<double> crossed;
    std::vector<double> local;
    {
        const std::string url = "redis://127.0.0.1:" + std::to_string(redisPort);
        Relay first;
        Relay second;
        if (!first.start(30, {"--redis", url}) || !second.start(30, {"--redis", url})) {
            std::cerr << "the relays did not start\n";
            return 1;
        }
        Bench bench(first.port());
        ok = ok && bench.openStreams({listeners.begin(), listeners.begin() + long(half)})
            && bench.openStreams({listeners.begin() + long(half), listeners.end()}, second.port())
            && waitForSubscriptions(redisPort, nameList, 2);
        for (std::size_t i = 0; i < samples && ok; ++i) {
            const std::uint16_t to = i % 2 == 0 ? first.port() : second.port();
            ok = bench.sample(nameList[i % names], perName, crossed, to, &local);
        }
        bench.closeStreams();
        first.stop();
        second.stop();
    }
    redis.stop();
    std::filesystem::remove_all(folder);

    std::vector<double> all = crossed;
    all.insert(all.end(), local.begin(), local.end());
    print("two relays, every line", all);
    print("two relays, through Redis", crossed);
    print("two relays, on the relay posted to", local);
    const double single50 = percentile(single, 0.5);
    std::printf("fan-out: %zu names x %zu listeners; two relays' p50 %.2fx one relay's "
                "(through Redis %.2fx)   goal <= 1.5x\n",
        names, perName, single50 > 0 ? percentile(all, 0.5) / single50 : 0.0,
        single50 > 0 ? percentile(crossed, 0.5) / single50 : 0.0);
    std::fflush(stdout);
    return ok ? 0 : 1;
}
