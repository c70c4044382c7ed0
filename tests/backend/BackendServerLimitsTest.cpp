// The relay against clients that misbehave: timeouts, caps, stalled and chatty streams.

#include "support/TestMain.h"

#include "RelayTestClient.h"

#include <QElapsedTimer>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace tolvo::backend;
using namespace tolvo::test::relay;

class BackendServerLimitsTest : public QObject
{
    Q_OBJECT

    RelayFixture m_relay;

private slots:
    void cleanup() { m_relay.reset(); }

    void quietStreamOutlivesTheIdleTimeout()
    {
        // evhttp's idle timeout is for requests that stall, not for streams with nothing to say.
        BackendOptions options;
        options.idleTimeout = std::chrono::milliseconds(400);
        const quint16 port = m_relay.start(options);
        Stream stream(port, nameA);
        QVERIFY(stream.waitForHead());
        QCOMPARE(stream.status(), 200);
        // A connection that says nothing, opened after the stream, being closed shows that the
        // timeout has run out for the stream too.
        Client idle(port);
        QVERIFY(idle.waitForClose());
        QCOMPARE(m_relay.subscribers(nameA), std::size_t(1));
        QCOMPARE(notify(port, nameA), 200);
        QVERIFY(stream.waitForBody(eventLine("exists", "chan-1").size()));
        QCOMPARE(stream.body(), eventLine("exists", "chan-1"));
    }

    void clientsThatGoAwayAreForgotten()
    {
        const quint16 port = m_relay.start();
        std::vector<std::unique_ptr<Stream>> streams;
        for (int i = 0; i < 4; ++i) {
            streams.push_back(std::make_unique<Stream>(port, nameA));
        }
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(4));
        streams[0]->close();
        streams[1]->close();
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(2));

        // Gone while lines are being written to it: the writes fail, nothing else does.
        streams[2]->close();
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(notify(port, nameA, "exists", QByteArray::number(i)), 200);
        }
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(1));
        QVERIFY(streams[3]->waitUntil([&] { return streams[3]->body().count("data: ") == 20; }));
        QCOMPARE(m_relay.server->streamCount(), std::size_t(1));
    }

    void clientThatStopsReadingIsDropped()
    {
        BackendOptions options;
        options.maxStreamOutputBytes = 2048;
        const quint16 port = m_relay.start(options);

        StalledReader stalled(port, nameA);
        QVERIFY(stalled.ok());
        Stream reader(port, nameA);
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(2));

        Client poster(port);
        int sent = 0;
        const QByteArray padding(200, 'p'); // longer lines fill the buffers sooner
        while (m_relay.subscribers(nameA) == 2 && sent < 20000) {
            poster.send(notificationRequest(nameA, "exists", padding + QByteArray::number(sent)));
            QCOMPARE(poster.takeAnswer(), 200);
            ++sent;
            if (sent % 50 == 0) {
                // Let the reader keep up; the stalled client cannot.
                QVERIFY(reader.waitUntil([&] { return reader.body().count("data: ") == sent; }));
            }
        }
        QCOMPARE(m_relay.subscribers(nameA), std::size_t(1));
        QVERIFY(reader.waitUntil([&] { return reader.body().count("data: ") == sent; }));
    }

    void clientThatSendsAfterItsRequestIsDropped()
    {
        BackendOptions options;
        options.maxStreamInputBytes = 64;
        options.keepAlivePeriod = std::chrono::milliseconds(20);
        const quint16 port = m_relay.start(options);
        Stream talker(port, nameA);
        Stream quiet(port, nameA);
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(2));
        talker.send(QByteArray(1000, 'x'));
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(1));
        QVERIFY(talker.waitForClose());
    }

    void capsAnswerInsteadOfFailing()
    {
        BackendOptions options;
        options.maxStreamsPerName = 2;
        options.maxStreams = 3;
        const quint16 port = m_relay.start(options);
        auto a1 = std::make_unique<Stream>(port, nameA);
        Stream a2(port, nameA);
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(2));

        Stream a3(port, nameA);
        QVERIFY(a3.waitForHead());
        QCOMPARE(a3.status(), 429);
        QVERIFY(a3.waitForClose());

        Stream b(port, nameB);
        QTRY_COMPARE(m_relay.subscribers(nameB), std::size_t(1));
        Stream c(port, nameC);
        QVERIFY(c.waitForHead());
        QCOMPARE(c.status(), 503);
        QVERIFY(c.head().contains("Retry-After: "));

        a1->close();
        QTRY_COMPARE(m_relay.server->streamCount(), std::size_t(2));
        Stream c2(port, nameC);
        QVERIFY(c2.waitForHead());
        QCOMPARE(c2.status(), 200);
    }

    void oneAddressCannotTakeEveryStream()
    {
        BackendOptions options;
        options.maxStreamsPerAddress = 2;
        const quint16 port = m_relay.start(options);
        auto first = std::make_unique<Stream>(port, nameA);
        Stream second(port, nameB);
        QTRY_COMPARE(m_relay.server->streamCount(), std::size_t(2));

        Stream third(port, nameC);
        QVERIFY(third.waitForHead());
        QCOMPARE(third.status(), 429);
        QVERIFY(third.head().contains("Retry-After: "));
        // Another address still gets its stream.
        Stream elsewhere(port, nameC, QHostAddress::LocalHost, QHostAddress("127.0.0.2"));
        QVERIFY(elsewhere.waitForHead());
        QCOMPARE(elsewhere.status(), 200);

        first->close();
        QTRY_COMPARE(m_relay.server->streamCount(), std::size_t(2));
        Stream again(port, nameC);
        QVERIFY(again.waitForHead());
        QCOMPARE(again.status(), 200);
    }

    void tricklingRequestIsClosedAtItsDeadline()
    {
        BackendOptions options;
        options.requestDeadline = std::chrono::milliseconds(300);
        const quint16 port = m_relay.start(options);
        // One byte at a time keeps evhttp's idle timeout from ever running out.
        const QByteArray request = streamRequest(nameA);
        Client trickler(port);
        qsizetype sent = 0;
        QVERIFY(trickler.waitUntil(
            [&] {
                if (trickler.isOpen() && sent < request.size() - 1) {
                    trickler.send(request.mid(sent++, 1));
                }
                return !trickler.isOpen();
            },
            10000));
        QVERIFY(sent < request.size() - 1);
        QCOMPARE(trickler.status(), 0);
        QCOMPARE(notify(port, nameA), 200);
    }

    void connectionCapsCloseTheOldestWaiting_data()
    {
        QTest::addColumn<int>("inAll");
        QTest::addColumn<int>("perAddress");
        QTest::newRow("per address") << 100 << 3;
        QTest::newRow("in all") << 3 << 100;
    }

    void connectionCapsCloseTheOldestWaiting()
    {
        QFETCH(int, inAll);
        QFETCH(int, perAddress);
        BackendOptions options;
        options.maxConnections = std::size_t(inAll);
        options.maxConnectionsPerAddress = std::size_t(perAddress);
        // Connections past the caps are closed once they have waited a tenth of this.
        options.requestDeadline = std::chrono::seconds(2);
        const quint16 port = m_relay.start(options);
        // Streams have caps of their own and are never closed to make room.
        Stream stream(port, nameA);
        QVERIFY(stream.waitForHead());

        std::vector<std::unique_ptr<Client>> waiting;
        for (int i = 0; i < 4; ++i) {
            waiting.push_back(std::make_unique<Client>(port));
            QVERIFY(waiting.back()->connected());
        }
        QVERIFY(waiting[0]->waitForClose());
        // The newest was kept, and is served.
        waiting[3]->send(notificationRequest(nameA, "exists", "chan-1"));
        QCOMPARE(waiting[3]->takeAnswer(), 200);
        QVERIFY(stream.waitForBody(eventLine("exists", "chan-1").size()));
        // A client with its request ready gets in too, at the expense of the oldest waiting.
        QCOMPARE(notify(port, nameA, "exists", "chan-2"), 200);
        QVERIFY(waiting[1]->waitForClose());
        QCOMPARE(m_relay.subscribers(nameA), std::size_t(1));
    }

    void streamWhoseClientReadsNothingIsClosedDespiteKeepAlives()
    {
        BackendOptions options;
        options.keepAlivePeriod = std::chrono::milliseconds(20);
        options.streamWriteTimeout = std::chrono::milliseconds(300);
        const quint16 port = m_relay.start(options);
        StalledReader stalled(port, nameA);
        QVERIFY(stalled.ok());
        Stream reader(port, nameA);
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(2));

        // Enough to fill the stalled client's small window at once; far below the output cap.
        const QByteArray padding(200, 'p');
        for (int i = 0; i < 30; ++i) {
            QCOMPARE(notify(port, nameA, "exists", padding + QByteArray::number(i)), 200);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_relay.subscribers(nameA), std::size_t(1), 10000);
        QVERIFY(reader.waitUntil([&] { return reader.body().count("data: ") == 30; }));
        // The reader, whose client reads, stays through more keep-alive periods.
        const qsizetype seen = reader.body().size();
        QVERIFY(reader.waitUntil([&] { return reader.body().size() > seen + 200; }));
        QCOMPARE(m_relay.subscribers(nameA), std::size_t(1));
    }

    void keepAlivePassesAreBounded()
    {
        BackendOptions options;
        options.keepAlivePeriod = std::chrono::milliseconds(300);
        options.keepAliveBatch = 3;
        const quint16 port = m_relay.start(options);
        std::vector<std::unique_ptr<Stream>> streams;
        for (int i = 0; i < 12; ++i) {
            streams.push_back(std::make_unique<Stream>(port, nameNumbered(i)));
        }
        for (auto &stream : streams) {
            QVERIFY(stream->waitUntil([&] { return stream->body().contains(": keep-alive\n"); }));
        }
        QVERIFY(m_relay.server->longestKeepAlivePass() > 0);
        QVERIFY(m_relay.server->longestKeepAlivePass() <= 3);
    }

    void stopEndsStreamsABatchAtATime()
    {
        BackendOptions options;
        options.keepAliveBatch = 2;
        const quint16 port = m_relay.start(options);
        std::vector<std::unique_ptr<Stream>> streams;
        for (int i = 0; i < 7; ++i) {
            streams.push_back(std::make_unique<Stream>(port, nameNumbered(i)));
        }
        QTRY_COMPARE(m_relay.server->streamCount(), std::size_t(7));
        m_relay.server->stop();
        for (auto &stream : streams) {
            bool ended = false;
            QVERIFY(stream->waitUntil([&] {
                stream->body(&ended);
                return ended;
            }));
        }
    }

    void errorAnswersAreLoggedSparingly()
    {
        auto lines = std::make_shared<std::vector<std::string>>();
        BackendOptions options;
        options.log = [lines](std::string_view line) { lines->emplace_back(line); };
        const quint16 port = m_relay.start(options);
        for (int i = 0; i < 30; ++i) {
            QCOMPARE(exchange(port, "GET /missing HTTP/1.1\r\nHost: x\r\n\r\n"), 404);
        }
        m_relay.server->stop(); // the loop thread is done with the lines
        const auto answers = std::count_if(lines->begin(), lines->end(),
            [](const std::string &line) { return line.starts_with("404 for "); });
        QCOMPARE(answers, 10);
        QVERIFY(
            std::find(lines->begin(), lines->end(), "and 20 more requests answered with an error")
            != lines->end());
    }

    void streamDropsAreLoggedSparingly()
    {
        auto lines = std::make_shared<std::vector<std::string>>();
        BackendOptions options;
        options.maxStreamInputBytes = 64;
        options.keepAlivePeriod = std::chrono::milliseconds(20);
        options.log = [lines](std::string_view line) { lines->emplace_back(line); };
        const quint16 port = m_relay.start(options);
        std::vector<std::unique_ptr<Stream>> talkers;
        for (int i = 0; i < 30; ++i) {
            talkers.push_back(std::make_unique<Stream>(port, nameNumbered(i)));
            QVERIFY(talkers.back()->waitForHead());
        }
        for (auto &talker : talkers) {
            talker->send(QByteArray(1000, 'x'));
        }
        for (auto &talker : talkers) {
            QVERIFY(talker->waitForClose());
        }
        m_relay.server->stop(); // the loop thread is done with the lines
        const auto drops = std::count_if(lines->begin(), lines->end(),
            [](const std::string &line) { return line.starts_with("dropping a stream"); });
        QCOMPARE(drops, 10);
        QVERIFY(
            std::find(lines->begin(), lines->end(), "and 20 more streams dropped") != lines->end());
    }
};

TOLVO_TEST_MAIN(BackendServerLimitsTest)
#include "BackendServerLimitsTest.moc"
