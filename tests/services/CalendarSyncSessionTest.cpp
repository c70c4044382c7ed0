#include "core/DateHelpers.h"
#include "core/OneShot.h"
#include "core/StartTask.h"
#include "services/AppDatabase.h"
#include "services/GoogleCalendarSyncClient.h"
#include "support/FakeEventStreamServer.h"
#include "support/FakeGoogleCalendar.h"
#include "support/StreamCollector.h"
#include "support/SyncTestSupport.h"
#include "support/TestMain.h"

#include <QCoro/QCoroSignal>
#include <QJsonArray>
#include <QTemporaryDir>

using namespace tolvo;
using test::FakeEventStreamServer;
using test::FakeGoogleCalendar;

namespace {
const QString calendarA = QStringLiteral("team#a@group.calendar.google.com");
const QString calendarB = QStringLiteral("b@example.com");
const QString calendarC = QStringLiteral("c@example.com");

QCoro::Task<void> untilCancelled(CancelToken token)
{
    if (token.isCancelled())
        co_return;
    OneShot done;
    token.onCancel(&done, [&done] { done.fire(); });
    co_await qCoro(&done, &OneShot::fired);
}

using StreamLog = test::Collected<CalendarSyncUpdate>;

QCoro::Task<> runAndRecord(
    QCoro::Task<VoidResult> task, std::shared_ptr<std::optional<VoidResult>> out)
{
    *out = co_await std::move(task);
}
} // namespace

// The engine against the Calendar fake and a scripted event-stream server, over loopback, with
// the pauses shortened.
class CalendarSyncSessionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeGoogleCalendar> m_google;
    std::unique_ptr<FakeEventStreamServer> m_relay;
    std::shared_ptr<LogRecorder> m_log;
    DatabaseClient m_database;
    std::shared_ptr<QList<QList<GoogleCalendarChange>>> m_copies;
    std::shared_ptr<QList<QList<GoogleCalendarEvent>>> m_reconciled;
    bool m_access = false;
    GoogleCalendarClient m_google_client;
    AppleCalendarClient m_apple;
    SyncCalendarsClient m_copier;
    CalendarSyncSession::Ptr m_session;
    GoogleCalendarSyncClient m_client;

    static QString stream(const QString &calendarId) { return sha256Hex(calendarId); }

    int eventFetches(const QString &calendarId) const
    {
        int count = 0;
        for (const auto &request :
            m_google->requestsTo(QStringLiteral("GET"), QStringLiteral("events")))
            count += request.segments.value(1) == calendarId;
        return count;
    }

    std::shared_ptr<StreamLog> open(const QStringList &ids)
    {
        return test::collect(m_client.sync(ids));
    }

    std::shared_ptr<std::optional<VoidResult>> follow(const QString &calendarId)
    {
        auto result = std::make_shared<std::optional<VoidResult>>();
        startDetached(runAndRecord(m_client.addCalendar(calendarId), result));
        return result;
    }

    QList<CalendarChannel> rows() const
    {
        return m_database.calendarChannels().value_or(QList<CalendarChannel>());
    }

    static QCoro::Task<Result<bool>> stopAfter(
        std::shared_ptr<OneShot> gate, GoogleCalendarClient google, QString channel, QString res)
    {
        if (!gate->hasFired())
            co_await qCoro(gate.get(), &OneShot::fired);
        co_return co_await google.stop(channel, res);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_google = std::make_unique<FakeGoogleCalendar>();
        m_relay = std::make_unique<FakeEventStreamServer>();
        QVERIFY(m_google->start());
        QVERIFY(m_relay->start());
        m_google->acceptAccessToken(QStringLiteral("live"));
        for (const QString &id : {calendarA, calendarB, calendarC})
            m_google->addCalendar(id, id);
        m_log = std::make_shared<LogRecorder>();
        const auto current = test::signedInAs(QStringLiteral("live"));

        auto database = AppDatabase::open(m_dir->filePath(QStringLiteral("db.sqlite")));
        QVERIFY(database);
        m_database = DatabaseClient::over(*database);
        m_copies = std::make_shared<QList<QList<GoogleCalendarChange>>>();
        m_reconciled = std::make_shared<QList<QList<GoogleCalendarEvent>>>();
        m_access = false;

        AppleCalendarClient apple;
        apple.startLocalChangeMonitoring = [](const QString &, SyncStream::Continuation,
                                               CancelToken token) { return untilCancelled(token); };
        apple.isAccessCalendar = [this] { return m_access; };
        apple.eventStore = [] { return std::shared_ptr<LocalCalendarStore>(); };
        SyncCalendarsClient copier;
        copier.syncGoogleChangesToLocal
            = [copies = m_copies](const QList<GoogleCalendarChange> &changes, const QString &,
                  std::shared_ptr<LocalCalendarStore>) {
                  copies->append(changes);
                  return readyTask(VoidResult {});
              };
        copier.reconcileGoogleEventsToLocal
            = [reconciled = m_reconciled](const QList<GoogleCalendarEvent> &events, const QString &,
                  std::shared_ptr<LocalCalendarStore>) {
                  reconciled->append(events);
                  return readyTask(VoidResult {});
              };
        copier.retryPendingCopies = [](std::shared_ptr<LocalCalendarStore>) {
            return readyTask<Result<std::optional<QDateTime>>>(std::optional<QDateTime>());
        };

        GoogleCalendarClient::Environment environment {m_google->apiRoot(), m_relay->baseUrl(),
            current, LoggerClient::recording(m_log), QTimeZone::utc()};
        environment.rest.readRetries = 0; // failed fetches take the listener's own path
        m_google_client = GoogleCalendarClient::make(environment);
        m_apple = apple;
        m_copier = copier;
        rebuild(m_google_client, m_database);
    }

    // A new engine over the given Google client and database (the rest as in init).
    void rebuild(const GoogleCalendarClient &google, const DatabaseClient &database)
    {
        m_session = CalendarSyncSession::create(
            {google, database, m_apple, m_copier, LoggerClient::recording(m_log),
                m_relay->baseUrl(), test::fastSyncTimings(), std::make_shared<TimerScheduler>()});
        m_client = GoogleCalendarSyncClient::over(m_session);
    }
    void cleanup()
    {
        QCoro::waitFor(m_client.cleanUpAll());
        m_client = {};
        m_session.reset();
        QVERIFY2(m_google->unexpectedRequests().isEmpty(),
            qPrintable(m_google->unexpectedRequests().join(QLatin1Char('\n'))));
    }

    void emptySyncStaysOpenAndAFollowDeliversIntoIt()
    {
        const auto log = open({});
        const QJsonObject event = m_google->addEvent(calendarA, {{"summary", "Before"}});
        const auto followed = follow(calendarA);
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        // The baseline fetch reported nothing: the event that existed is not news.
        QVERIFY(log->items.isEmpty());
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows().first().calendarId, calendarA);

        m_google->modifyEvent(calendarA, event.value(QStringLiteral("id")).toString(),
            {{"summary", "After"},
                {"updated", QDateTime::currentDateTimeUtc().addSecs(60).toString(Qt::ISODate)}});
        m_relay->send(stream(calendarA), "data: {\"state\":\"exists\"}\n\n");
        QTRY_COMPARE(log->items.size(), 1);
        const auto *update = log->items.first().google();
        QVERIFY(update);
        QCOMPARE(update->calendarId, calendarA);
        QCOMPARE(update->changes.size(), 1);
        QCOMPARE(update->changes.first().kind(), GoogleCalendarChange::Kind::modified);
        QVERIFY(!log->ended);
        QVERIFY(!followed->has_value()); // still following
        QVERIFY(m_copies->isEmpty()); // no access, no copy
    }

    void theStreamEndsWithItsSession()
    {
        const auto log = open({});
        const std::weak_ptr<CalendarSyncSession> engine = m_session;
        m_client = {};
        m_session.reset();
        rebuild(m_google_client, m_database); // for cleanup
        QTRY_VERIFY(engine.expired());
        QTRY_VERIFY(log->ended);
        QVERIFY(!log->error);
    }

    void oneFetchPerEventInOrder()
    {
        const auto log = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        m_access = true;
        const int before = eventFetches(calendarA);
        m_google->addEvent(calendarA, {{"summary", "New"}});
        // Three events, a keep-alive comment and stray blank lines in one burst.
        m_relay->send(
            stream(calendarA), "data: a\n\n: keep-alive\n\ndata: b\nid: 2\n\n\n\ndata: c\n\n");
        QTRY_COMPARE(log->items.size(), 3);
        QCOMPARE(eventFetches(calendarA) - before, 3);
        QCOMPARE(log->items.at(0).google()->changes.size(), 1);
        QCOMPARE(
            log->items.at(0).google()->changes.first().kind(), GoogleCalendarChange::Kind::added);
        QVERIFY(log->items.at(1).google()->changes.isEmpty()); // still yielded
        QVERIFY(log->items.at(2).google()->changes.isEmpty());
        QCOMPARE(m_copies->size(), 3);
        QByteArray streamHead;
        for (const QByteArray &head : m_relay->requestHeads()) {
            if (head.startsWith("GET /events/"))
                streamHead = head;
        }
        QVERIFY(streamHead.contains("Accept: text/event-stream"));
        QVERIFY(streamHead.contains("Cache-Control: no-cache"));
    }

    void previousChannelIsStoppedFirstAndARefusalIsRemembered()
    {
        QVERIFY(m_database.storeCalendarChannel(
            {calendarA, 1e15, QStringLiteral("old-res"), QStringLiteral("OLD")}));
        const auto log = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        const auto stops = m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("stop"));
        QCOMPARE(stops.size(), 1);
        QCOMPARE(stops.first().body.value(QStringLiteral("id")).toString(), QStringLiteral("OLD"));
        const auto watches = m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("watch"));
        QCOMPARE(watches.size(), 1);
        QCOMPARE(rows().size(), 1);
        QCOMPARE(
            rows().first().channelId, watches.first().body.value(QStringLiteral("id")).toString());
        QVERIFY(!log->ended); // the failure waits for every child; the monitor runs on
    }

    void cleanUpStopsTheChannelListenerAndTimer()
    {
        const auto followed = follow(calendarA);
        open({});
        m_client = GoogleCalendarSyncClient::over(m_session);
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 0);
        QVERIFY(followed->has_value()); // no stream yet: refused at once
        QVERIFY(!followed->value());

        const auto log = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        QVERIFY(m_session->renewalTimer(calendarA));
        const QString channelId = rows().first().channelId;
        QVERIFY(QCoro::waitFor(m_client.cleanUp(calendarA)));
        QVERIFY(rows().isEmpty());
        QVERIFY(!m_session->renewalTimer(calendarA));
        QCOMPARE(m_session->pendingTimerCount(), std::size_t(0));
        QCOMPARE(m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("stop"))
                     .last()
                     .body.value(QStringLiteral("id"))
                     .toString(),
            channelId);
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 0);
        QVERIFY(!m_session->isListening(calendarA));
        // Nothing is fetched for an unfollowed calendar any more.
        const int fetches = eventFetches(calendarA);
        QTest::qWait(200);
        QCOMPARE(eventFetches(calendarA), fetches);
        QVERIFY(QCoro::waitFor(m_client.cleanUp(QStringLiteral("never-followed"))));
        QVERIFY(!log->error);
    }

    void cleanUpAllKeepsTheRowsOfRefusedStops()
    {
        const auto log = open({calendarA, calendarB, calendarC});
        QTRY_COMPARE(rows().size(), 3);
        QTRY_COMPARE(m_relay->openStreams(stream(calendarC)), 1);
        m_google->failNext(QStringLiteral("channels/stop"), 500);
        QVERIFY(QCoro::waitFor(m_client.cleanUpAll()));
        QCOMPARE(rows().size(), 1);
        QVERIFY(m_session->renewalTimer(rows().first().calendarId));
        for (const QString &id : {calendarA, calendarB, calendarC})
            QTRY_COMPARE(m_relay->openStreams(stream(id)), 0);
        QVERIFY(!log->error);
    }

    void expiringChannelsAreRenewedAndTheRowNamesTheNewest()
    {
        m_google->setChannelLifetimeMs(250);
        open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("watch")).size() >= 3,
            5000);
        const auto watches = m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("watch"));
        m_google->setChannelLifetimeMs(3'600'000);
        QTRY_COMPARE(rows().first().channelId,
            m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("watch"))
                .last()
                .body.value(QStringLiteral("id"))
                .toString());
        // The listener was not touched by the renewals.
        QCOMPARE(m_relay->connectionCount(stream(calendarA)), 1);
        QCOMPARE(m_session->pendingTimerCount(), std::size_t(1));
        const QString newest = rows().first().channelId;
        QVERIFY(QCoro::waitFor(m_client.cleanUp(calendarA)));
        QCOMPARE(m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("stop"))
                     .last()
                     .body.value(QStringLiteral("id"))
                     .toString(),
            newest);
        QVERIFY(watches.size() >= 3);
    }

    void failedSetUpIsRetriedAndLogged()
    {
        m_google->failNext(QStringLiteral("watch"), 500);
        m_google->failNext(QStringLiteral("watch"), 503);
        const auto log = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        QCOMPARE(m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("watch")).size(), 3);
        QCOMPARE(m_log->errors().size(), 2);
        QCOMPARE(rows().size(), 1);
        QVERIFY(!log->ended);
    }

    void failedRenewalIsRetried()
    {
        m_google->setChannelLifetimeMs(150);
        open({calendarA});
        QTRY_COMPARE(rows().size(), 1);
        m_google->setChannelLifetimeMs(3'600'000);
        m_google->failNext(QStringLiteral("watch"), 500);
        // The failed renewal is logged and tried again; the row then names a live channel.
        QTRY_VERIFY_WITH_TIMEOUT(
            m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("watch")).size() >= 3,
            5000);
        QTRY_VERIFY(!m_log->errors().isEmpty());
        QTRY_COMPARE(rows().first().channelId,
            m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("watch"))
                .last()
                .body.value(QStringLiteral("id"))
                .toString());
    }

    void aBrokenStreamReconnectsAndCatchesUp()
    {
        const auto log = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        QTest::qWait(150); // a stream that lived, not one that closed at once
        m_relay->abortStreams(stream(calendarA));
        // Changed while the connection is down; no line ever announces it.
        m_google->addEvent(calendarA, {{"summary", "While away"}});
        QTRY_COMPARE(m_relay->connectionCount(stream(calendarA)), 2);
        QTRY_COMPARE(log->items.size(), 1);
        QCOMPARE(log->items.first().google()->changes.size(), 1);
        QCOMPARE(log->items.first().google()->changes.first().event().summary,
            std::optional<QString>("While away"));
    }

    void aFailedFetchReconnectsAndFetchesAgain()
    {
        const auto log = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        m_google->addEvent(calendarA, {{"summary", "Missed once"}});
        m_google->failNext(QStringLiteral("events"), 500);
        m_relay->send(stream(calendarA), "data: x\n\n");
        // No update for the failed fetch; the connection is dropped and, once back, the
        // change is fetched without waiting for another signal.
        QTRY_COMPARE(m_relay->connectionCount(stream(calendarA)), 2);
        QTRY_COMPARE(log->items.size(), 1);
        QCOMPARE(log->items.first().google()->changes.size(), 1);
        QCOMPARE(log->items.first().google()->changes.first().event().summary,
            std::optional<QString>("Missed once"));
    }

    void refusedStreamsAreRetriedAfterThePause()
    {
        m_relay->setStatus(404);
        const auto log = open({calendarA});
        QTRY_VERIFY(m_relay->connectionCount(stream(calendarA)) >= 3);
        QVERIFY(log->items.isEmpty());
        QVERIFY(m_log->errors().isEmpty()); // retried quietly
        m_relay->setStatus(200);
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
    }

    void streamsThatCloseAtOnceDoNotSpin()
    {
        m_relay->setCloseImmediately(true);
        open({calendarA});
        QTRY_COMPARE(m_relay->connectionCount(stream(calendarA)), 1);
        QTest::qWait(500);
        // With a 100 ms minimum pass, at most a handful of reconnects fit in half a second.
        QVERIFY2(m_relay->connectionCount(stream(calendarA)) <= 7,
            qPrintable(QString::number(m_relay->connectionCount(stream(calendarA)))));
    }

    void aNewSyncEndsTheEarlierQuietly()
    {
        const auto first = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        const auto second = open({calendarA});
        QTRY_VERIFY(first->ended);
        QVERIFY(!first->error);
        QTRY_COMPARE(m_relay->connectionCount(stream(calendarA)), 2);
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        // One listener: one signal is one fetch and one item.
        const int before = eventFetches(calendarA);
        m_relay->send(stream(calendarA), "data: x\n\n");
        QTRY_COMPARE(second->items.size(), 1);
        QTest::qWait(100);
        QCOMPARE(eventFetches(calendarA) - before, 1);
        QCOMPARE(first->items.size(), 0);
    }

    void aRefusedStopOfAStaleChannelNeverEndsTheStream()
    {
        // An expired channel left by the last run: Google answers 404 to its stop.
        QVERIFY(m_database.storeCalendarChannel(
            {calendarA, 1e15, QStringLiteral("old-res"), QStringLiteral("OLD")}));
        m_google->failNext(QStringLiteral("channels/stop"), 404);
        const auto log = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        QVERIFY(!m_log->errors().isEmpty()); // logged, not the stream's failure

        // Off and on again, then sign-out and back.
        QVERIFY(QCoro::waitFor(m_client.cleanUp(calendarA)));
        QVERIFY(QCoro::waitFor(m_client.cleanUpAll()));
        QTest::qWait(50);
        QVERIFY(!log->ended);
        const auto followed = follow(calendarA);
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        m_google->addEvent(calendarA, {{"summary", "Still arrives"}});
        m_relay->send(stream(calendarA), "data: x\n\n");
        QTRY_COMPARE(log->items.size(), 1);
        QCOMPARE(log->items.first().google()->changes.first().event().summary,
            std::optional<QString>("Still arrives"));
        QVERIFY(!log->ended);
        QVERIFY(!followed->has_value());
    }

    void anUnfollowDuringTheStartUpStopWins()
    {
        QVERIFY(m_database.storeCalendarChannel(
            {calendarA, 1e15, QStringLiteral("old-res"), QStringLiteral("OLD")}));
        const auto gate = std::make_shared<OneShot>();
        GoogleCalendarClient google = m_google_client;
        google.stop = [gate, real = m_google_client](const QString &channel, const QString &res) {
            return stopAfter(gate, real, channel, res);
        };
        rebuild(google, m_database);
        const auto log = open({calendarA});
        // The user turns the calendar off while the old channel's stop is still out.
        const auto unfollowed = std::make_shared<std::optional<VoidResult>>();
        startDetached(runAndRecord(m_client.cleanUp(calendarA), unfollowed));
        gate->fire();
        QTRY_VERIFY(unfollowed->has_value());
        QTRY_COMPARE(
            m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("stop")).size(), 2);
        QTest::qWait(200);
        // The old channel is unknown to the fake, so its refused stop keeps its row; no new
        // channel was registered and nothing listens.
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows().first().channelId, QStringLiteral("OLD"));
        QVERIFY(!m_session->isListening(calendarA));
        QCOMPARE(m_relay->openStreams(stream(calendarA)), 0);
        QVERIFY(m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("watch")).isEmpty());
        QVERIFY(!log->error);
    }

    void aSecondSyncReportsWhatChangedInBetweenOnce()
    {
        const auto first = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        // Changed with no signal, then a Refresh opens a new stream.
        m_google->addEvent(calendarA, {{"summary", "Pending"}});
        const auto second = open({calendarA});
        QTRY_COMPARE(second->items.size(), 1);
        QTest::qWait(150);
        QCOMPARE(second->items.size(), 1);
        const auto *update = second->items.first().google();
        QCOMPARE(update->changes.size(), 1);
        QCOMPARE(update->changes.first().event().summary, std::optional<QString>("Pending"));
        QVERIFY(update->notify);
        QVERIFY(first->items.isEmpty());
    }

    void aChannelThatCannotBeRecordedIsStoppedBeforeTheRetry()
    {
        DatabaseClient failing = m_database;
        auto refusals = std::make_shared<int>(1);
        failing.storeCalendarChannel = [refusals, real = m_database](const CalendarChannel &c) {
            if ((*refusals)-- > 0)
                return VoidResult(failure(ErrorDomain::database, 13, QStringLiteral("full")));
            return real.storeCalendarChannel(c);
        };
        rebuild(m_google_client, failing);
        open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        const auto watches = m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("watch"));
        QCOMPARE(watches.size(), 2);
        QTRY_COMPARE(
            m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("stop")).size(), 1);
        QCOMPARE(m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("stop"))
                     .first()
                     .body.value(QStringLiteral("id")),
            watches.first().body.value(QStringLiteral("id")));
        QCOMPARE(
            rows().first().channelId, watches.last().body.value(QStringLiteral("id")).toString());
    }

    void aWholeListingReconcilesTheCopyQuietly()
    {
        m_access = true;
        m_google->addEvent(calendarA, {{"summary", "Before the follow"}});
        const auto log = open({calendarA});
        QTRY_COMPARE(m_reconciled->size(), 1);
        QCOMPARE(m_reconciled->first().size(), 1);
        QVERIFY(log->items.isEmpty());
        QVERIFY(m_copies->isEmpty());

        // An expired position in the middle: the re-list reconciles the same way.
        m_google->expireSyncTokens();
        m_google->addEvent(calendarA, {{"summary", "While expired"}});
        m_relay->send(stream(calendarA), "data: x\n\n");
        QTRY_COMPARE_WITH_TIMEOUT(m_reconciled->size(), 2, 30000);
        QCOMPARE(m_reconciled->last().size(), 2);
        QVERIFY(log->items.isEmpty());

        m_google->addEvent(calendarA, {{"summary", "News"}});
        m_relay->send(stream(calendarA), "data: x\n\n");
        QTRY_COMPARE(log->items.size(), 1);
        QVERIFY(log->items.first().google()->notify);
        QCOMPARE(m_copies->size(), 1);
    }

    void followingTwiceKeepsOneListener()
    {
        open({});
        const auto first = follow(calendarA);
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        const auto second = follow(calendarA);
        QTRY_VERIFY(first->has_value());
        QVERIFY(first->value()); // replaced, not failed
        QTRY_COMPARE(m_relay->connectionCount(stream(calendarA)), 2);
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows().first().channelId,
            m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("watch"))
                .last()
                .body.value(QStringLiteral("id"))
                .toString());
        QVERIFY(!second->has_value());
    }
};

TOLVO_TEST_MAIN(CalendarSyncSessionTest)
#include "CalendarSyncSessionTest.moc"
