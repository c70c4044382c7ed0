#include "platform/EventStreamReader.h"
#include "core/SyncRecords.h"
#include "support/FakeEventStreamServer.h"
#include "support/TestMain.h"

#include <QTcpServer>

using namespace tolvo;
using namespace std::chrono_literals;
using test::FakeEventStreamServer;

namespace {
QCoro::Task<Result<QStringList>> readAll(std::shared_ptr<EventStreamReader> reader)
{
    QStringList lines;
    while (true) {
        auto line = co_await reader->nextLine();
        if (!line)
            co_return failure(line.error());
        if (!line->has_value())
            co_return lines;
        lines.append(**line);
    }
}
} // namespace

class EventStreamReaderTest : public QObject
{
    Q_OBJECT

    FakeEventStreamServer m_relay;

    QUrl url(const QString &name) const
    {
        return QUrl(m_relay.baseUrl().toString() + "/events/" + name);
    }

private slots:
    void initTestCase() { QVERIFY(m_relay.start()); }
    void init()
    {
        m_relay.setStatus(200);
        m_relay.setCloseImmediately(false);
    }

    void splitsLinesAndDropsAnUnfinishedOne()
    {
        auto reader = QCoro::waitFor(EventStreamReader::open(url("a"), {}, CancelToken()));
        QVERIFY(reader);
        m_relay.send("a", "one\r\ntwo\n\nthr");
        m_relay.send("a", "ee\n: ping\npartial");
        m_relay.closeStreams("a");
        const auto lines = QCoro::waitFor(readAll(*reader));
        QVERIFY(lines);
        QCOMPARE(*lines, (QStringList {"one", "two", "", "three", ": ping"}));
    }

    void aLineLongerThan64KBBreaksTheStream()
    {
        auto reader = QCoro::waitFor(EventStreamReader::open(url("long"), {}, CancelToken()));
        QVERIFY(reader);
        m_relay.send("long", "short\n");
        m_relay.send("long", QByteArray(EventStreamReader::maximumLineBytes + 1, 'x'));
        const auto lines = QCoro::waitFor(readAll(*reader));
        QVERIFY(!lines);
        QVERIFY(!lines.error().isCancellation());
        QTRY_COMPARE(m_relay.openStreams("long"), 0); // the connection is closed
    }

    void otherStatusesFail()
    {
        m_relay.setStatus(503);
        const auto reader = QCoro::waitFor(EventStreamReader::open(url("b"), {}, CancelToken()));
        QVERIFY(!reader);
        const auto syncError = CalendarSyncError::fromError(reader.error());
        QVERIFY(syncError);
        QCOMPARE(syncError->kind, CalendarSyncError::Kind::sseConnectionFailed);
    }

    void aMissingHeadOrASilentBodyTimesOut()
    {
        // A server that accepts and never answers.
        QTcpServer mute;
        QVERIFY(mute.listen(QHostAddress::LocalHost));
        const QUrl muteUrl(QStringLiteral("http://127.0.0.1:%1/events/x").arg(mute.serverPort()));
        const auto head
            = QCoro::waitFor(EventStreamReader::open(muteUrl, {100ms, 100ms}, CancelToken()));
        QVERIFY(!head);
        QVERIFY(head.error().domain == ErrorDomain::network);

        auto reader = QCoro::waitFor(EventStreamReader::open(url("c"), {1s, 150ms}, CancelToken()));
        QVERIFY(reader);
        m_relay.send("c", ": keep-alive\n");
        const auto lines = QCoro::waitFor(readAll(*reader));
        QVERIFY(!lines);
        QVERIFY(lines.error().domain == ErrorDomain::network);
    }

    void cancellationAbortsTheStream()
    {
        CancelToken token;
        auto reader = QCoro::waitFor(EventStreamReader::open(url("d"), {}, token));
        QVERIFY(reader);
        QTimer::singleShot(20, [token] { token.cancel(); });
        const auto lines = QCoro::waitFor(readAll(*reader));
        QVERIFY(!lines);
        QVERIFY(lines.error().isCancellation());
        QVERIFY(!QCoro::waitFor(EventStreamReader::open(url("d"), {}, token)));
    }
};

TOLVO_TEST_MAIN(EventStreamReaderTest)
#include "EventStreamReaderTest.moc"
