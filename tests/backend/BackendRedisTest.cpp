// Two relays sharing one Redis: notifications and pending notifications cross between them, and
// a Redis that goes away costs neither relay its own streams.

#include "support/TestMain.h"

#include "RedisTestServer.h"
#include "RelayTestClient.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <functional>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace tolvo::backend;
using namespace tolvo::test::relay;

namespace {

// Log lines collected from a relay's own thread.
struct LogLines
{
    std::mutex mutex;
    std::vector<std::string> lines;

    int count(const std::string &part)
    {
        std::lock_guard lock(mutex);
        return int(std::count_if(lines.begin(), lines.end(),
            [&](const std::string &line) { return line.find(part) != std::string::npos; }));
    }
};

bool waitFor(const std::function<bool()> &done, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(10);
    }
    return true;
}

} // namespace

class BackendRedisTest : public QObject
{
    Q_OBJECT

    RedisTestServer m_redis;
    RelayFixture m_a;
    RelayFixture m_b;
    std::shared_ptr<LogLines> m_logA;

    // Options for a relay on `url` whose log the test reads (as m_logA).
    BackendOptions sharing(const QByteArray &url)
    {
        m_logA = std::make_shared<LogLines>();
        BackendOptions options;
        options.redisUrl = url.toStdString();
        options.redisRetryMin = std::chrono::milliseconds(50);
        options.redisRetryMax = std::chrono::milliseconds(400);
        options.log = [log = m_logA](std::string_view line) {
            std::lock_guard lock(log->mutex);
            log->lines.emplace_back(line);
        };
        return options;
    }

    // Both relays on the test's Redis, connected to it.
    bool startPair()
    {
        BackendOptions options = sharing(m_redis.url());
        if (m_a.start(options) == 0) {
            return false;
        }
        options.log = {};
        if (m_b.start(options) == 0) {
            return false;
        }
        return waitFor([&] { return linked(); });
    }

    bool linked() const { return m_a.server->redisConnected() && m_b.server->redisConnected(); }
    quint16 portA() const { return m_a.server->port(); }
    quint16 portB() const { return m_b.server->port(); }

    // A stream of `name` that the relays' Redis counts as subscribed.
    bool subscribed(const QByteArray &name, long long relays)
    {
        return waitFor([&] { return m_redis.subscribers(name) == relays; });
    }

private slots:
    void initTestCase()
    {
        if (RedisTestServer::executable().isEmpty()) {
            QSKIP("redis-server is not installed (Debian package redis-server)");
        }
        QVERIFY(m_redis.start());
    }

    void init() { QVERIFY(!m_redis.command({"FLUSHALL"}).isEmpty()); }

    void cleanup()
    {
        m_redis.resume();
        m_a.reset();
        m_b.reset();
    }

    void notificationReachesStreamsOnEitherRelayOnce()
    {
        QVERIFY(startPair());
        Stream onB(portB(), nameA);
        QVERIFY(onB.waitForHead());
        QCOMPARE(onB.status(), 200);
        Stream onA(portA(), nameA);
        QVERIFY(onA.waitForHead());
        QVERIFY(subscribed(nameA, 2));

        // Each relay writes its own streams at once and the other's through Redis: one at a
        // time, so that the order is known.
        QCOMPARE(notify(portA(), nameA, "exists", "one"), 200);
        const QByteArray one = eventLine("exists", "one");
        QVERIFY(onA.waitForBody(one.size()));
        QVERIFY(onB.waitForBody(one.size()));
        QCOMPARE(notify(portB(), nameA, "exists", "two"), 200);
        const QByteArray both = one + eventLine("exists", "two");
        QVERIFY(onA.waitForBody(both.size()));
        QVERIFY(onB.waitForBody(both.size()));
        // A fence behind them: had anything come twice, it would show before it.
        QCOMPARE(notify(portB(), nameA, "exists", "fence"), 200);
        const QByteArray all = both + eventLine("exists", "fence");
        QVERIFY(onA.waitForBody(all.size()));
        QVERIFY(onB.waitForBody(all.size()));
        QCOMPARE(onA.body(), all);
        QCOMPARE(onB.body(), all);

        // The last stream of a name leaving ends its relay's subscription.
        onB.close();
        QVERIFY(subscribed(nameA, 1));
        onA.close();
        QVERIFY(subscribed(nameA, 0));
    }

    void pendingNotificationIsTakenOnceOnAnotherRelay()
    {
        QVERIFY(startPair());
        QCOMPARE(notify(portA(), nameB, "exists", "kept"), 200);
        QVERIFY(waitFor([&] { return m_redis.keeps(nameB); }));
        QCOMPARE(m_a.server->pendingCount(), std::size_t(0));

        Stream onB(portB(), nameB);
        QVERIFY(onB.waitForBody(eventLine("exists", "kept").size()));
        QVERIFY(!m_redis.keeps(nameB));

        // A later stream, here or there, does not get it again.
        Stream onA(portA(), nameB);
        QVERIFY(onA.waitForHead());
        QVERIFY(subscribed(nameB, 2));
        QCOMPARE(notify(portB(), nameB, "exists", "fence"), 200);
        QVERIFY(onA.waitForBody(eventLine("exists", "fence").size()));
        QVERIFY(onB.waitForBody(
            eventLine("exists", "kept").size() + eventLine("exists", "fence").size()));
        QCOMPARE(onA.body(), eventLine("exists", "fence"));
        QCOMPARE(onB.body(), eventLine("exists", "kept") + eventLine("exists", "fence"));
    }

    void relaysOutliveRedisAndCatchUpWhenItIsBack()
    {
        QVERIFY(startPair());
        Stream onA(portA(), nameA);
        Stream onB(portB(), nameB);
        QVERIFY(onA.waitForHead());
        QVERIFY(onB.waitForHead());
        QVERIFY(subscribed(nameA, 1));
        QVERIFY(subscribed(nameB, 1));

        m_redis.kill();
        QVERIFY(waitFor(
            [&] { return !m_a.server->redisConnected() && !m_b.server->redisConnected(); }));
        // Each relay still serves its own streams, and holds what the other one should get.
        QCOMPARE(notify(portA(), nameA, "exists", "while-away"), 200);
        QCOMPARE(notify(portA(), nameB, "exists", "held"), 200);
        QVERIFY(onA.waitForBody(eventLine("exists", "while-away").size()));
        // Reconnection attempts fail meanwhile; the outage is logged once.
        QVERIFY(waitFor([&] { return m_logA->count("unreachable") > 0; }));

        QVERIFY(m_redis.start());
        QVERIFY(waitFor([&] { return linked(); }));
        QVERIFY(onB.waitForBody(eventLine("exists", "held").size()));
        QVERIFY(subscribed(nameA, 1));
        QVERIFY(subscribed(nameB, 1));
        QCOMPARE(notify(portB(), nameA, "exists", "back"), 200);
        QCOMPARE(notify(portA(), nameB, "exists", "back"), 200);
        const QByteArray onAWants = eventLine("exists", "while-away") + eventLine("exists", "back");
        const QByteArray onBWants = eventLine("exists", "held") + eventLine("exists", "back");
        QVERIFY(onA.waitForBody(onAWants.size()));
        QVERIFY(onB.waitForBody(onBWants.size()));
        QCOMPARE(onA.body(), onAWants);
        QCOMPARE(onB.body(), onBWants);
        QVERIFY(onA.isOpen() && onB.isOpen());
        QCOMPARE(m_logA->count("unreachable"), 1);
        QCOMPARE(m_logA->count("is back"), 1);
    }

    void pendingNamesInRedisAreCappedOldestFirst()
    {
        BackendOptions options = sharing(m_redis.url());
        options.maxPendingNames = 3;
        const quint16 port = m_a.start(options);
        QVERIFY(port != 0);
        QVERIFY(waitFor([&] { return m_a.server->redisConnected(); }));
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(notify(port, nameNumbered(i)), 200);
        }
        // One relay's commands run in order: the last one kept, all have run.
        QVERIFY(waitFor([&] { return m_redis.keeps(nameNumbered(4)); }));
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(m_redis.keeps(nameNumbered(i)), i >= 2);
        }

        // A name taken frees its place: the next one pushes none of the others out.
        Stream stream(port, nameNumbered(4));
        QVERIFY(stream.waitForBody(eventLine("exists", "chan-1").size()));
        QVERIFY(!m_redis.keeps(nameNumbered(4)));
        QCOMPARE(notify(port, nameNumbered(5)), 200);
        QVERIFY(waitFor([&] { return m_redis.keeps(nameNumbered(5)); }));
        QVERIFY(m_redis.keeps(nameNumbered(2)));
        QVERIFY(m_redis.keeps(nameNumbered(3)));
    }

    void refusedPasswordBacksOffUntilRedisAnswers_data()
    {
        QTest::addColumn<QByteArray>("relayPassword");
        QTest::newRow("wrong") << QByteArray("secretpw");
        QTest::newRow("missing") << QByteArray();
    }

    // A refused AUTH is a failed attempt like a refused connection: each one waits longer, and
    // the outage is logged once.
    void refusedPasswordBacksOffUntilRedisAnswers()
    {
        QFETCH(QByteArray, relayPassword);
        RedisTestServer locked;
        locked.setPassword("otherpw");
        QVERIFY(locked.start());
        const BackendOptions options = sharing(locked.url(relayPassword));
        QVERIFY(m_a.start(options) != 0);
        QVERIFY(waitFor([&] { return m_a.server->redisRetryDelay() == options.redisRetryMax; }));
        QVERIFY(!m_a.server->redisConnected());
        QCOMPARE(m_logA->count("unreachable"), 1);
        QCOMPARE(m_logA->count("Redis at"), 1);

        // The password put right: the next attempt links, and the waits start over.
        QVERIFY(locked.command({"CONFIG", "SET", "requirepass", relayPassword}).startsWith("+OK"));
        QVERIFY(waitFor([&] { return m_a.server->redisConnected(); }));
        QCOMPARE(m_a.server->redisRetryDelay(), options.redisRetryMin);
        QCOMPARE(m_logA->count("unreachable"), 1);
        QCOMPARE(m_logA->count("is back"), 1);
    }

    // A hung Redis still accepts connections, but answers nothing: that is no recovery.
    void hungRedisIsBackOnlyOnceItAnswers()
    {
        BackendOptions options = sharing(m_redis.url());
        options.redisTimeout = std::chrono::milliseconds(500);
        const quint16 port = m_a.start(options);
        QVERIFY(port != 0);
        QVERIFY(waitFor([&] { return m_a.server->redisConnected(); }));

        m_redis.pause();
        QVERIFY(waitFor([&] { return m_logA->count("unreachable") == 1; }));
        QVERIFY(waitFor([&] { return m_a.server->redisRetryDelay() == options.redisRetryMax; }));
        QCOMPARE(m_logA->count("is back"), 0);
        QVERIFY(!m_a.server->redisConnected());

        m_redis.resume();
        QVERIFY(waitFor([&] { return m_a.server->redisConnected(); }));
        QCOMPARE(m_logA->count("unreachable"), 1);
        QCOMPARE(m_logA->count("is back"), 1);
        // Shared again, not merely connected.
        Stream stream(port, nameC);
        QVERIFY(stream.waitForHead());
        QVERIFY(subscribed(nameC, 1));
    }

    void relayStartsAndServesWithoutItsRedis()
    {
        BackendOptions options;
        options.redisUrl = "redis://127.0.0.1:1";
        const quint16 port = m_a.start(options);
        QVERIFY(port != 0);
        Stream stream(port, nameC);
        QVERIFY(stream.waitForHead());
        QCOMPARE(stream.status(), 200);
        QCOMPARE(notify(port, nameC), 200);
        QVERIFY(stream.waitForBody(eventLine("exists", "chan-1").size()));
        QVERIFY(!m_a.server->redisConnected());
    }
};

TOLVO_TEST_MAIN(BackendRedisTest)
#include "BackendRedisTest.moc"
