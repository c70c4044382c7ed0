#include "reserve/SSEClient.h"
#include "core/DateHelpers.h"
#include "support/FakeEventStreamServer.h"
#include "support/StreamCollector.h"
#include "support/TestMain.h"

using namespace tolvo;
using test::FakeEventStreamServer;

using Received = test::Collected<SSEEvent>;

class SSEClientTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeEventStreamServer> m_relay;
    std::shared_ptr<LogRecorder> m_log;
    SSEClientSession::Ptr m_session;
    SSEClient m_client;
    const QString m_name = sha256Hex(QStringLiteral("cal"));

    std::shared_ptr<Received> openAndCollect()
    {
        auto stream = QCoro::waitFor(m_client.openStream(QStringLiteral("cal")));
        if (!stream) {
            auto out = std::make_shared<Received>();
            out->error = stream.error();
            out->ended = true;
            return out;
        }
        return test::collect(*stream);
    }

private slots:
    void init()
    {
        m_relay = std::make_unique<FakeEventStreamServer>();
        QVERIFY(m_relay->start());
        m_log = std::make_shared<LogRecorder>();
        m_session = std::make_shared<SSEClientSession>(
            LoggerClient::recording(m_log), m_relay->baseUrl(), EventStreamTimeouts {});
        m_client = SSEClient::over(m_session);
    }

    void onlyDataLinesWithTheSpaceAreMessages()
    {
        const auto out = openAndCollect();
        QTRY_COMPARE(m_relay->openStreams(m_name), 1);
        m_relay->send(m_name,
            "data: {\"state\":\"sync\"}\n"
            "data:{\"state\":\"nospace\"}\n"
            "event: change\n"
            ": comment\n"
            "\n"
            "data: {\"state\":\"exists\",\"channelId\":\"c1\"}\n");
        m_relay->closeStreams(m_name);
        QTRY_VERIFY(out->ended);
        QVERIFY(!out->error);
        QCOMPARE(out->items.size(), 2);
        QCOMPARE(out->items.at(0), (SSEEvent {QStringLiteral("sync"), std::nullopt}));
        QCOMPARE(out->items.at(1), (SSEEvent {QStringLiteral("exists"), QStringLiteral("c1")}));
    }

    void anUnreadableMessageEndsTheStream()
    {
        const auto out = openAndCollect();
        QTRY_COMPARE(m_relay->openStreams(m_name), 1);
        m_relay->send(m_name,
            "data: {\"state\":\"a\"}\ndata: {\"channelId\":\"x\"}\ndata: {\"state\":\"b\"}\n");
        QTRY_VERIFY(out->ended);
        QVERIFY(out->error);
        QCOMPARE(out->items.size(), 1);
    }

    void onlyTheThreeNewestWaitingMessagesAreKept()
    {
        auto stream = QCoro::waitFor(m_client.openStream(QStringLiteral("cal")));
        QVERIFY(stream);
        QTRY_COMPARE(m_relay->openStreams(m_name), 1);
        for (int i = 1; i <= 5; ++i)
            m_relay->send(m_name, QStringLiteral("data: {\"state\":\"s%1\"}\n").arg(i).toUtf8());
        m_relay->closeStreams(m_name);
        // Every line read and the body ended, with nobody taking messages meanwhile.
        QTRY_VERIFY(stream->continuation().isFinished());
        QCOMPARE(stream->buffered(), std::size_t(3));
        const auto out = test::collect(*stream);
        QTRY_VERIFY(out->ended);
        QCOMPARE(out->items.size(), 3);
        QCOMPARE(out->items.first().state, QStringLiteral("s3"));
    }

    void aConsumerThatCancelsClosesTheConnection()
    {
        auto stream = QCoro::waitFor(m_client.openStream(QStringLiteral("cal")));
        QVERIFY(stream);
        QTRY_COMPARE(m_relay->openStreams(m_name), 1);
        stream->cancel();
        QTRY_COMPARE(m_relay->openStreams(m_name), 0);
        QCOMPARE(m_relay->connectionCount(m_name), 1);
        QVERIFY(m_log->errors().isEmpty());
    }

    void aRefusedStreamFailsAndIsLogged()
    {
        m_relay->setStatus(404);
        const auto out = openAndCollect();
        QVERIFY(out->error);
        m_client.connect(QStringLiteral("cal"));
        QTRY_COMPARE(m_log->errors().size(), 1);
        QTRY_VERIFY(!m_session->isConnected(QStringLiteral("cal")));
    }

    void connectReplacesTheReaderAndDisconnectEndsIt()
    {
        m_client.connect(QStringLiteral("cal"));
        QTRY_COMPARE(m_relay->openStreams(m_name), 1);
        m_client.connect(QStringLiteral("cal"));
        QTRY_COMPARE(m_relay->connectionCount(m_name), 2);
        QTRY_COMPARE(m_relay->openStreams(m_name), 1); // the first reader was stopped
        QVERIFY(QCoro::waitFor(m_client.disconnect(QStringLiteral("cal"))));
        QTRY_COMPARE(m_relay->openStreams(m_name), 0);
        QVERIFY(!m_session->isConnected(QStringLiteral("cal")));
        QVERIFY(QCoro::waitFor(m_client.disconnect(QStringLiteral("never"))));
        QVERIFY(m_log->errors().isEmpty());
    }
};

TOLVO_TEST_MAIN(SSEClientTest)
#include "SSEClientTest.moc"
