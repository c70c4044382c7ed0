#include "core/DateHelpers.h"
#include "core/OneShot.h"
#include "core/StartTask.h"
#include "services/AppDatabase.h"
#include "services/GoogleCalendarSyncClient.h"
#include "support/ClockedScope.h"
#include "support/FakeEventStreamServer.h"
#include "support/FakeGoogleCalendar.h"
#include "support/StreamCollector.h"
#include "support/SyncTestSupport.h"
#include "support/TestMain.h"

#include <QCoro/QCoroSignal>
#include <QJsonArray>
#include <QTemporaryDir>

using namespace tolvo;
using namespace std::chrono_literals;
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

// A copy that stays in progress until `gate` fires.
QCoro::Task<VoidResult> heldCopy(std::shared_ptr<OneShot> gate, std::shared_ptr<int> entered)
{
    ++*entered;
    if (!gate->hasFired())
        co_await qCoro(gate.get(), &OneShot::fired);
    co_return VoidResult {};
}

// A listing that Google has answered but that reaches the engine only once `gate` fires.
QCoro::Task<Result<GoogleEventListing>> heldListing(std::shared_ptr<OneShot> gate,
    std::shared_ptr<int> answered, GoogleCalendarClient google, QString calendarId)
{
    auto listing = co_await google.fetchEventListing(calendarId);
    ++*answered;
    if (!gate->hasFired())
        co_await qCoro(gate.get(), &OneShot::fired);
    co_return listing;
}
} // namespace

// The engine against the Calendar fake and a scripted event-stream server, over loopback. Its
// renewals, retries and pauses run on a fake clock that the tests move on.
class CalendarSyncSessionTest : public QObject
{
    Q_OBJECT

    const SyncTimings m_timings = test::fastSyncTimings();
    std::unique_ptr<test::ClockedScope> m_time;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeGoogleCalendar> m_google;
    std::unique_ptr<FakeEventStreamServer> m_relay;
    std::shared_ptr<LogRecorder> m_log;
    DatabaseClient m_database;
    std::shared_ptr<QList<QList<GoogleCalendarChange>>> m_copies;
    std::shared_ptr<QList<QList<GoogleCalendarEvent>>> m_reconciled;
    bool m_access = false;
    std::shared_ptr<Subject<LocalCalendar>> m_copyTarget;
    GoogleCalendarClient m_google_client;
    AppleCalendarClient m_apple;
    SyncCalendarsClient m_copier;
    CalendarSyncSession::Ptr m_session;
    GoogleCalendarSyncClient m_client;

    static QString stream(const QString &calendarId) { return sha256Hex(calendarId); }

    // Moves the clock on and fires what came due.
    void elapse(std::chrono::milliseconds span)
    {
        m_time->clock.advanceMs(span.count());
        m_time->scheduler()->checkNow();
    }

    // How long until the next timer the engine armed, or -1 when none is.
    qint64 untilNextTimer() const
    {
        const QDateTime next = m_time->scheduler()->nextDeadline();
        return next.isValid() ? m_time->now().msecsTo(next) : -1;
    }

    QList<FakeGoogleCalendar::LoggedRequest> watches() const
    {
        return m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("watch"));
    }
    QString lastWatchedChannel() const
    {
        return watches().last().body.value(QStringLiteral("id")).toString();
    }

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
        return test::startRecorded(m_client.addCalendar(calendarId));
    }

    QList<CalendarChannel> rows() const
    {
        return m_database.calendarChannels().value_or(QList<CalendarChannel>());
    }

    // Its answer is counted before the caller resumes with it.
    static QCoro::Task<Result<bool>> stopAfter(std::shared_ptr<OneShot> gate,
        std::shared_ptr<int> answered, GoogleCalendarClient google, QString channel, QString res)
    {
        if (!gate->hasFired())
            co_await qCoro(gate.get(), &OneShot::fired);
        const auto stopped = co_await google.stop(channel, res);
        ++*answered;
        co_return stopped;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_time = std::make_unique<test::ClockedScope>();
        m_time->clock.set(QDateTime(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC));
        m_time->open();
        m_google = std::make_unique<FakeGoogleCalendar>();
        m_google->setClock(m_time->clock.clock());
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
        m_copyTarget = Subject<LocalCalendar>::passthrough();
        apple.copyTargetChanged = m_copyTarget->publisher();
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

        GoogleCalendarClient::Environment environment {m_google->apiRoot(),
            FakeGoogleCalendar::behindTls(m_relay->baseUrl()), current,
            LoggerClient::recording(m_log), QTimeZone::utc()};
        environment.rest.readRetries = 0; // failed fetches take the listener's own path
        m_google_client = GoogleCalendarClient::make(environment);
        m_apple = apple;
        m_copier = copier;
        rebuild(m_google_client, m_database);
    }

    // A new engine over the given Google client and database (the rest as in init).
    void rebuild(const GoogleCalendarClient &google, const DatabaseClient &database)
    {
        m_session = CalendarSyncSession::create({google, database, m_apple, m_copier,
            LoggerClient::recording(m_log), m_relay->baseUrl(), m_timings, m_time->scheduler()});
        m_client = GoogleCalendarSyncClient::over(m_session);
    }
    void cleanup()
    {
        QCoro::waitFor(m_client.cleanUpAll());
        m_client = {};
        m_session.reset();
        m_time.reset();
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
        // Nothing is fetched for an unfollowed calendar any more: no timer is left to wake it,
        // and a day later still nothing has come.
        QTRY_COMPARE(m_time->scheduler()->pendingCount(), std::size_t(0));
        const int fetches = eventFetches(calendarA);
        elapse(24h);
        QCoreApplication::processEvents();
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
        // The kept row waits for a later start; no timer of the signed-out account is left.
        QVERIFY(!m_session->renewalTimer(rows().first().calendarId));
        QCOMPARE(m_session->pendingTimerCount(), std::size_t(0));
        for (const QString &id : {calendarA, calendarB, calendarC})
            QTRY_COMPARE(m_relay->openStreams(stream(id)), 0);
        QVERIFY(!log->error);
    }

    void expiringChannelsAreRenewedAndTheRowNamesTheNewest()
    {
        m_google->setChannelLifetimeMs(250);
        open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        for (int renewal = 1; renewal <= 2; ++renewal) {
            QTRY_COMPARE(rows().first().channelId, lastWatchedChannel());
            // Renewed when the channel expires, not before.
            QCOMPARE(untilNextTimer(), qint64(250));
            elapse(249ms);
            QCOMPARE(untilNextTimer(), qint64(1));
            QCOMPARE(watches().size(), renewal);
            elapse(1ms);
            QTRY_COMPARE(watches().size(), renewal + 1);
        }
        m_google->setChannelLifetimeMs(3'600'000);
        QTRY_COMPARE(rows().first().channelId, lastWatchedChannel());
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
        QCOMPARE(watches().size(), 3);
    }

    void failedSetUpIsRetriedAndLogged()
    {
        m_google->failNext(QStringLiteral("watch"), 500);
        m_google->failNext(QStringLiteral("watch"), 503);
        const auto log = open({calendarA});
        // Each failure waits on the clock, the pause doubling.
        for (const qint64 pause : {50, 100}) {
            QTRY_COMPARE(untilNextTimer(), pause);
            const qsizetype tried = watches().size();
            elapse(std::chrono::milliseconds(pause));
            QTRY_COMPARE(watches().size(), tried + 1);
        }
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        QCOMPARE(watches().size(), 3);
        QCOMPARE(m_log->errors().size(), 2);
        QCOMPARE(rows().size(), 1);
        QVERIFY(!log->ended);
    }

    void failedRenewalIsRetried()
    {
        m_google->setChannelLifetimeMs(150);
        open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        m_google->setChannelLifetimeMs(3'600'000);
        m_google->failNext(QStringLiteral("watch"), 500);
        QCOMPARE(untilNextTimer(), qint64(150));
        elapse(150ms);
        // The failed renewal is logged and tried again after the first retry pause; the row
        // then names a live channel, renewed when that one expires.
        QTRY_VERIFY(!m_log->errors().isEmpty());
        QTRY_COMPARE(untilNextTimer(), qint64(50));
        QCOMPARE(watches().size(), 2);
        elapse(50ms);
        QTRY_COMPARE(watches().size(), 3);
        QTRY_COMPARE(rows().first().channelId, lastWatchedChannel());
        QCOMPARE(untilNextTimer(), qint64(3'600'000));
    }

    void aBrokenStreamReconnectsAndCatchesUp()
    {
        const auto log = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        elapse(m_timings.minimumPass); // a stream that lived, not one that closed at once
        m_relay->abortStreams(stream(calendarA));
        // Changed while the connection is down; no line ever announces it.
        m_google->addEvent(calendarA, {{"summary", "While away"}});
        // Back at once, or after the pause when the drop counts as a failure.
        QTRY_VERIFY(m_relay->connectionCount(stream(calendarA)) == 2
            || untilNextTimer() == m_timings.pause.count());
        elapse(m_timings.pause);
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
        // No update for the failed fetch; the connection is dropped and, once back after the
        // pause, the change is fetched without waiting for another signal.
        QTRY_COMPARE(untilNextTimer(), m_timings.pause.count());
        QVERIFY(log->items.isEmpty());
        QCOMPARE(m_relay->connectionCount(stream(calendarA)), 1);
        elapse(m_timings.pause);
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
        for (int refused = 1; refused <= 3; ++refused) {
            QTRY_COMPARE(m_relay->connectionCount(stream(calendarA)), refused);
            QTRY_COMPARE(untilNextTimer(), m_timings.pause.count());
            elapse(m_timings.pause - 1ms);
            QCOMPARE(untilNextTimer(), qint64(1)); // the whole pause
            elapse(1ms);
        }
        QTRY_COMPARE(m_relay->connectionCount(stream(calendarA)), 4);
        QVERIFY(log->items.isEmpty());
        QVERIFY(m_log->errors().isEmpty()); // retried quietly
        m_relay->setStatus(200);
        QTRY_COMPARE(untilNextTimer(), m_timings.pause.count());
        elapse(m_timings.pause);
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
    }

    void streamsThatCloseAtOnceDoNotSpin()
    {
        m_relay->setCloseImmediately(true);
        open({calendarA});
        QTRY_COMPARE(m_relay->connectionCount(stream(calendarA)), 1);
        const int fetches = eventFetches(calendarA);
        // Each empty pass waits out the minimum pass on the clock before the next connection,
        // and fetches nothing.
        for (int turn = 1; turn <= 3; ++turn) {
            QTRY_COMPARE(untilNextTimer(), m_timings.minimumPass.count());
            QCOMPARE(m_relay->connectionCount(stream(calendarA)), turn);
            elapse(m_timings.minimumPass);
            QTRY_COMPARE(m_relay->connectionCount(stream(calendarA)), turn + 1);
        }
        QCOMPARE(eventFetches(calendarA), fetches);
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
        // One listener: one signal is one fetch and one item. The listener handles its signals
        // in turn, so a second fetch for the first would come before the second's item. (The
        // listing before the connection reported already.)
        const int before = eventFetches(calendarA);
        const qsizetype reported = second->items.size();
        m_relay->send(stream(calendarA), "data: x\n\n");
        QTRY_COMPARE(second->items.size(), reported + 1);
        m_relay->send(stream(calendarA), "data: y\n\n");
        QTRY_COMPARE(second->items.size(), reported + 2);
        QCOMPARE(eventFetches(calendarA) - before, 2);
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

        // Off and on again.
        QVERIFY(QCoro::waitFor(m_client.cleanUp(calendarA)));
        // An ended stream would take no more items: the one below shows it stayed open.
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

    void afterSignOutNothingIsFollowedUntilTheNextSync()
    {
        const auto log = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        const auto watched = watches().size();
        QVERIFY(QCoro::waitFor(m_client.cleanUpAll()));
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 0);

        // A follow still on its way (a tap, a start that was loading) sets nothing up.
        const auto late = QCoro::waitFor(m_client.addCalendar(calendarA));
        QVERIFY(!late && late.error().isCancellation());
        QCOMPARE(watches().size(), watched);
        QVERIFY(rows().isEmpty());
        QVERIFY(!m_session->isListening(calendarA));
        QCOMPARE(m_session->pendingTimerCount(), std::size_t(0));

        // Signed in again, the start's sync follows as before.
        const auto again = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        QCOMPARE(rows().size(), 1);
    }

    void anUnfollowDuringTheStartUpStopWins()
    {
        QVERIFY(m_database.storeCalendarChannel(
            {calendarA, 1e15, QStringLiteral("old-res"), QStringLiteral("OLD")}));
        const auto gate = std::make_shared<OneShot>();
        const auto answered = std::make_shared<int>(0);
        const auto watchCalls = std::make_shared<int>(0);
        GoogleCalendarClient google = m_google_client;
        google.stop
            = [gate, answered, real = m_google_client](const QString &channel, const QString &res) {
                  return stopAfter(gate, answered, real, channel, res);
              };
        google.watch = [watchCalls, real = m_google_client](const QString &calendarId) {
            ++*watchCalls;
            return real.watch(calendarId);
        };
        rebuild(google, m_database);
        const auto log = open({calendarA});
        // The user turns the calendar off while the old channel's stop is still out.
        const auto unfollowed = test::startRecorded(m_client.cleanUp(calendarA));
        gate->fire();
        QTRY_VERIFY(unfollowed->has_value());
        QTRY_COMPARE(
            m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("stop")).size(), 2);
        // Both answers are in, and whatever the start-up does with its answer it has done:
        // it resumes at once, up to the next request it makes.
        QTRY_COMPARE(*answered, 2);
        QCOMPARE(*watchCalls, 0);
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
        // The listener handles its work in turn: a second report of the change would come
        // before the item of a later signal.
        QTRY_COMPARE(m_relay->connectionCount(stream(calendarA)), 2);
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        m_relay->send(stream(calendarA), "data: x\n\n");
        QTRY_COMPARE(second->items.size(), 2);
        QVERIFY(second->items.last().google()->changes.isEmpty());
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
        QTRY_COMPARE(untilNextTimer(), m_timings.retryFirst.count());
        elapse(m_timings.retryFirst);
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
        // The listing comes before the connection: a signal sent sooner would reach nobody.
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);

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

    // Copying turned on after a listing: what was listed before is copied at once and quietly,
    // and a followed calendar not listening now starts from a whole listing next time.
    void turningCopyingOnCopiesWhatWasListedBefore()
    {
        m_google->addEvent(calendarA, {{"summary", "Before copying"}});
        const auto log = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);
        QVERIFY(m_reconciled->isEmpty());
        QVERIFY(m_google_client.commitSyncToken(calendarB, QStringLiteral("held")));
        QVERIFY(m_database.storeCalendarChannel(
            {calendarB, 0, QStringLiteral("r"), QStringLiteral("c")}));

        m_access = true;
        m_copyTarget->send(LocalCalendar {QStringLiteral("local"), QStringLiteral("Calendar")});
        QTRY_COMPARE(m_reconciled->size(), 1);
        QCOMPARE(m_reconciled->first().size(), 1);
        QCOMPARE(m_reconciled->first().first().summary, std::optional<QString>("Before copying"));
        QVERIFY(log->items.isEmpty());
        QVERIFY(m_copies->isEmpty());
        QVERIFY(m_database.deleteCalendarChannelByCalendarId(calendarB));
        const auto listings = eventFetches(calendarB);
        QCoro::waitFor(m_google_client.fetchEventListing(calendarB));
        const auto fetches = m_google->requestsTo(QStringLiteral("GET"), QStringLiteral("events"));
        QCOMPARE(eventFetches(calendarB), listings + 1);
        QVERIFY(!fetches.last().query.hasQueryItem(QStringLiteral("syncToken")));
    }

    // An unfollow while a listing is being copied leaves no position behind: following again
    // starts from a whole listing.
    void anUnfollowDuringACopyLeavesNoPosition()
    {
        m_access = true;
        auto gate = std::make_shared<OneShot>();
        auto entered = std::make_shared<int>(0);
        m_copier.reconcileGoogleEventsToLocal
            = [gate, entered, reconciled = m_reconciled](const QList<GoogleCalendarEvent> &events,
                  const QString &, std::shared_ptr<LocalCalendarStore>) {
                  reconciled->append(events);
                  return heldCopy(gate, entered);
              };
        rebuild(m_google_client, m_database);
        m_google->addEvent(calendarA, {{"summary", "Listed"}});
        open({calendarA});
        QTRY_COMPARE(*entered, 1);
        QVERIFY(QCoro::waitFor(m_client.cleanUp(calendarA)));
        gate->fire();

        follow(calendarA);
        QTRY_COMPARE(m_reconciled->size(), 2);
        QVERIFY(m_copies->isEmpty());
    }

    // Copying turned on while a listing is out: the whole listing that this causes copies the
    // newest states, and the older listing, back after it, is still reported but neither
    // copies its older states over them nor puts its position back.
    void aListingOutWhenCopyingStartsKeepsNothing()
    {
        const auto gate = std::make_shared<OneShot>();
        const auto answered = std::make_shared<int>(0);
        const auto holding = std::make_shared<bool>(false);
        GoogleCalendarClient google = m_google_client;
        google.fetchEventListing
            = [gate, answered, holding, real = m_google_client](const QString &calendarId) {
                  if (*holding)
                      return heldListing(gate, answered, real, calendarId);
                  return real.fetchEventListing(calendarId);
              };
        rebuild(google, m_database);
        const QString id
            = m_google->addEvent(calendarA, {{"summary", "First"}}).value("id").toString();
        const auto log = open({calendarA});
        QTRY_COMPARE(m_relay->openStreams(stream(calendarA)), 1);

        m_google->modifyEvent(calendarA, id, {{"summary", "Second"}});
        *holding = true;
        m_relay->send(stream(calendarA), "data: x\n\n");
        QTRY_COMPARE(*answered, 1);
        *holding = false;
        m_google->modifyEvent(calendarA, id, {{"summary", "Third"}});
        m_access = true;
        m_copyTarget->send(LocalCalendar {QStringLiteral("local"), QStringLiteral("Calendar")});
        QTRY_COMPARE(m_reconciled->size(), 1);
        QCOMPARE(m_reconciled->first().first().summary, std::optional<QString>("Third"));

        gate->fire();
        QTRY_COMPARE(log->items.size(), 1);
        QCOMPARE(log->items.first().google()->changes.first().event().summary,
            std::optional<QString>("Second"));
        // Signals are handled in turn: this one's listing starts where the whole one ended.
        m_relay->send(stream(calendarA), "data: y\n\n");
        QTRY_COMPARE(log->items.size(), 2);
        QVERIFY(log->items.last().google()->changes.isEmpty());
        for (const QList<GoogleCalendarChange> &copied : std::as_const(*m_copies))
            QVERIFY(copied.isEmpty());
    }

    // Nothing of the account runs after sign-out: the copy retry it had armed goes with its
    // channels, and a copy still running then arms none.
    void signOutLeavesNoTimerOrRequestBehind_data()
    {
        QTest::addColumn<bool>("copyRunning");
        QTest::newRow("retry armed") << false;
        QTest::newRow("copy running") << true;
    }

    void signOutLeavesNoTimerOrRequestBehind()
    {
        QFETCH(bool, copyRunning);
        m_access = true;
        const auto retries = std::make_shared<int>(0);
        // A journaled copy that keeps failing: due again a minute on.
        m_copier.retryPendingCopies = [this, retries](std::shared_ptr<LocalCalendarStore>) {
            ++*retries;
            return readyTask<Result<std::optional<QDateTime>>>(
                std::optional<QDateTime>(m_time->now().addSecs(61)));
        };
        const auto gate = std::make_shared<OneShot>();
        const auto entered = std::make_shared<int>(0);
        if (copyRunning) {
            m_copier.reconcileGoogleEventsToLocal
                = [gate, entered](const QList<GoogleCalendarEvent> &, const QString &,
                      std::shared_ptr<LocalCalendarStore>) { return heldCopy(gate, entered); };
        }
        rebuild(m_google_client, m_database);
        open({calendarA});
        if (copyRunning)
            QTRY_COMPARE(*entered, 1);
        else
            QTRY_VERIFY(m_session->copyRetryDate().isValid());

        QVERIFY(QCoro::waitFor(m_client.cleanUpAll()));
        gate->fire();
        QTRY_COMPARE(m_time->scheduler()->pendingCount(), std::size_t(0));
        QCOMPARE(m_session->pendingTimerCount(), std::size_t(0));
        QVERIFY(!m_session->copyRetryDate().isValid());
        const int tried = *retries;
        const qsizetype requests = m_google->requests().size();
        elapse(24h);
        QCoreApplication::processEvents();
        QCOMPARE(*retries, tried);
        QCOMPARE(m_google->requests().size(), requests);
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
