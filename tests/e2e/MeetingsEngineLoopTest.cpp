#include "LiveSyncFixture.h"
#include "core/OneShot.h"
#include "modules/Main/MainViewModel.h"
#include "modules/Meetings/MeetingsListViewModel.h"
#include "support/ClockedScope.h"
#include "support/TestMain.h"

#include <QCoro/QCoroSignal>
#include <QJsonArray>
#include <QSignalSpy>

using namespace tolvo;
using test::LiveSyncFixture;

namespace {
const QString team = QStringLiteral("team@group.calendar.google.com");

QJsonObject timed(const QDateTime &start, int minutes)
{
    return {{"start", QJsonObject {{"dateTime", start.toString(Qt::ISODate)}}},
        {"end", QJsonObject {{"dateTime", start.addSecs(60 * minutes).toString(Qt::ISODate)}}}};
}
// A fetch that Google is slow to refuse: it waits for `gate`, then fails.
QCoro::Task<Result<QList<GoogleCalendarEvent>>> refusedOnceOpened(QPointer<OneShot> gate)
{
    if (gate && !gate->hasFired())
        co_await qCoro(gate.data(), &OneShot::fired);
    co_return failure(Error::http(503, QStringLiteral("backendError")));
}
int deletes(const test::FakeGoogleCalendar &google)
{
    const auto &requests = google.requests();
    return int(std::count_if(requests.cbegin(), requests.cend(),
        [](const test::FakeGoogleCalendar::LoggedRequest &request) {
            return request.method == u"DELETE";
        }));
}
} // namespace

// The two view models over the real services on loopback: the Calendar fake, the relay in
// process, the engine, the database and local store in a temporary folder. Only the clock of
// the reminders is fake (it starts at the real now, which the fake's event times follow).
class MeetingsEngineLoopTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<LiveSyncFixture> m_loop;
    std::unique_ptr<test::ClockedScope> m_time;
    EventsTimerManager m_timers;
    QStringList m_notifications;
    bool m_deleteOnEnded = false;
    int m_signOuts = 0;

    // Starts the main screen, makes the list as the screen does once configured, and follows
    // the team calendar.
    void follow(MainViewModel &main, MeetingsListViewModel &list)
    {
        QTRY_COMPARE(main.appState(), AppState::configured);
        QTRY_VERIFY(!list.isLoading());
        main.toggleCalendar(main.calendars().first());
        QTRY_COMPARE(m_loop->subscribers(team), std::size_t(1));
        QTRY_VERIFY(!list.isLoading());
        QCOMPARE(list.currentHandleCalendars().size(), 1);
    }

private slots:
    void init()
    {
        m_loop = std::make_unique<LiveSyncFixture>();
        QVERIFY(m_loop->ready);
        m_loop->google.addCalendar(team, QStringLiteral("Team"), QStringLiteral("#ac725e"));
        m_notifications.clear();
        m_deleteOnEnded = false;
        m_signOuts = 0;
        m_time = std::make_unique<test::ClockedScope>();
        DependencyScope &scope = m_time->open();
        m_timers = EventsTimerManager::liveValue();
        const QUrl relay(QStringLiteral("http://127.0.0.1:%1").arg(m_loop->backend.port()));
        GoogleClient google = GoogleClient::testValue();
        google.authSession = test::storedLiveSession;
        google.signOut = [this]() -> QCoro::Task<VoidResult> {
            ++m_signOuts;
            return readyTask(VoidResult());
        };
        UserDefaultsClient defaults = UserDefaultsClient::testValue();
        defaults.boolValue = [this](const QString &key) {
            return key == QLatin1String(UserDefaultsClient::deleteEventOnEndedKey)
                && m_deleteOnEnded;
        };
        AppUpdater updater = AppUpdater::testValue();
        updater.startUpdater = [] {};
        scope.set(m_timers)
            .set(CacheManager::liveValue())
            .set(DateManager::liveValue())
            .set(SyncBus::liveValue())
            .set(google)
            .set(GoogleCalendarClient::make(
                {m_loop->google.apiRoot(), relay, test::signedInAs(QStringLiteral("live")),
                    LoggerClient::recording(m_loop->log), QTimeZone::utc()}))
            .set(m_loop->database)
            .set(m_loop->client)
            .set(defaults)
            .set(updater)
            .set(LoggerClient::recording(m_loop->log))
            .set(AnalyticsManager::recording(std::make_shared<AnalyticsRecorder>()))
            .set(NotificationHandler {
                [this](const QString &title, const QString &, const QString &subtitle) {
                    m_notifications.append(title + ": " + subtitle);
                }});
    }

    void cleanup()
    {
        if (m_loop->ready)
            QCoro::waitFor(m_loop->client.cleanUpAll());
        m_time.reset();
        m_loop.reset();
    }

    void aFollowedCalendarsChangesReachTheListAndItsReminders()
    {
        MainViewModel main;
        main.startIfNeeded();
        QTRY_COMPARE(main.appState(), AppState::configured);
        QCOMPARE(main.calendars().size(), 1);
        QVERIFY(!main.calendars().first().isSelected);

        // The screen shows the list once configured; then the user follows the calendar.
        MeetingsListViewModel list;
        follow(main, list);

        const QDateTime start = m_time->now().addSecs(90 * 60);
        QJsonObject planning = timed(start, 30);
        planning.insert("summary", "Planning");
        const QString id = m_loop->google.addEvent(team, planning).value("id").toString();
        QTRY_COMPARE(list.eventsModel().size(), 1);
        const EventModelPtr listed = list.eventsModel().first();
        QCOMPARE(listed->event().id, id);
        QCOMPARE(listed->calendarId(), team);
        QCOMPARE(listed->calendarColor(), QStringLiteral("#ac725e"));
        QCOMPARE(m_notifications, QStringList {"New event added: Planning"});

        // Thirty minutes before the start the reminder shows.
        m_time->advanceTo(start.addSecs(-30 * 60 - 1));
        QVERIFY(list.notificationStatus().isIdle());
        m_time->advanceTo(start.addSecs(-30 * 60));
        QVERIFY(!list.notificationStatus().isIdle());
        QCOMPARE(list.notificationStatus().event->id, id);
        list.setNotificationStatus(NotificationStatus::idle());

        // Moved by an hour elsewhere: the reminder moves with it.
        const QDateTime moved = start.addSecs(3600);
        m_loop->google.modifyEvent(team, id, timed(moved, 30));
        QTRY_COMPARE(m_notifications.size(), 2);
        // Within the second of its creation Google's times cannot tell a change from a
        // creation, so it may be announced as either; the listed entry is replaced both ways.
        QVERIFY(m_notifications.last().endsWith(": Planning"));
        QTRY_COMPARE(*list.eventsModel().first()->event().start, moved);
        QCOMPARE(m_timers.pair(id)->notificationTimer->fireDate(), moved.addSecs(-30 * 60));

        // Deleted elsewhere: it leaves the list and is not reminded.
        m_loop->google.deleteEvent(team, id);
        QTRY_VERIFY(list.eventsModel().isEmpty());
        // A cancelled event comes back from Google without its title.
        QCOMPARE(m_notifications.last(), "Event deleted: ");
        QVERIFY(!m_timers.pair(id).has_value());
        m_time->advanceTo(moved.addSecs(-30 * 60));
        QVERIFY(list.notificationStatus().isIdle());
        QVERIFY(m_loop->google.unexpectedRequests().isEmpty());
    }

    void anEndedMeetingIsDeletedOnGoogleOnce()
    {
        m_deleteOnEnded = true;
        MainViewModel main;
        main.startIfNeeded();
        MeetingsListViewModel list;
        follow(main, list);

        const QDateTime start = m_time->now().addSecs(5 * 60);
        QJsonObject standUp = timed(start, 10);
        standUp.insert("summary", "Stand-up");
        const QString id = m_loop->google.addEvent(team, standUp).value("id").toString();
        QTRY_COMPARE(list.eventsModel().size(), 1);

        m_time->advanceTo(start.addSecs(10 * 60));
        QVERIFY(list.eventsModel().isEmpty());
        // Google's deletion comes back as a pushed change, which finds nothing left to remove.
        QTRY_COMPARE(m_notifications.last(), "Event deleted: ");
        QTRY_VERIFY(!list.isLoading());
        QCOMPARE(m_loop->google.requestsTo("DELETE", id).size(), 1);
        QVERIFY(!list.alertType()->isSet());
        QVERIFY(list.eventsModel().isEmpty());
    }

    void aRecurringSeriesIsNeverDeletedWhenAnOccurrenceEnds()
    {
        m_deleteOnEnded = true;
        MainViewModel main;
        main.startIfNeeded();
        MeetingsListViewModel list;
        follow(main, list);

        // Made elsewhere: the change feed brings the master, under the series' id with its
        // first occurrence's times.
        const QDateTime first = m_time->now().addSecs(5 * 60);
        QJsonObject weekly = timed(first, 10);
        weekly.insert("summary", "Weekly sync");
        weekly.insert("recurrence", QJsonArray {"RRULE:FREQ=WEEKLY;COUNT=3"});
        const QString series = m_loop->google.addEvent(team, weekly).value("id").toString();
        const QString firstId
            = series + "_" + first.toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
        QTRY_COMPARE(m_notifications.size(), 1);
        QTRY_VERIFY(list.eventsModel().size() >= 1);
        QTRY_VERIFY(!list.isLoading());
        for (const EventModelPtr &model : list.eventsModel()) {
            QCOMPARE(model->event().recurringEventId, std::optional<QString>(series));
            QVERIFY(!model->event().isSeriesMaster());
        }
        QVERIFY(!m_timers.pair(series).has_value());
        QVERIFY(m_timers.pair(firstId).has_value());

        // The first occurrence ends: the series stays whole; what goes is that occurrence alone.
        m_time->advanceTo(first.addSecs(10 * 60));
        QTRY_COMPARE(m_loop->google.requestsTo("DELETE", firstId).size(), 1);
        QTRY_VERIFY(!list.isLoading());
        QVERIFY(m_loop->google.requestsTo("DELETE", series).isEmpty());
        QCOMPARE(deletes(m_loop->google), 1);
        QCOMPARE(m_loop->google.event(team, series).value("status").toString(), "confirmed");
        QCOMPARE(m_loop->google
                     .event(team,
                         series + "_"
                             + first.addDays(7).toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")))
                     .value("status")
                     .toString(),
            "confirmed");

        // A single meeting beside it still goes once it ends.
        const QDateTime start = m_time->now().addSecs(5 * 60);
        const QString single
            = m_loop->google.addEvent(team, timed(start, 10)).value("id").toString();
        QTRY_VERIFY(m_timers.pair(single).has_value());
        m_time->advanceTo(start.addSecs(10 * 60));
        QTRY_COMPARE(m_loop->google.requestsTo("DELETE", single).size(), 1);
        QTRY_VERIFY(!list.isLoading());
        QCOMPARE(deletes(m_loop->google), 2);
        QVERIFY(!list.alertType()->isSet());
        QVERIFY(m_loop->google.unexpectedRequests().isEmpty());
    }

    void aMeetingTurnedIntoASeriesIsNeverDeletedAsOne()
    {
        m_deleteOnEnded = true;
        // The list's own fetches go to the fake until `holding`; from then on they wait for
        // the gate and fail.
        OneShot gate;
        bool holding = false;
        int held = 0;
        const GoogleCalendarClient real = Dependencies::current<GoogleCalendarClient>();
        GoogleCalendarClient gated = real;
        gated.fetchEventsForDate
            = [real, &holding, &held, gate = QPointer<OneShot>(&gate)](
                  const QDateTime &from, const QDateTime &to, const QString &calendarId) {
                  if (!holding)
                      return real.fetchEventsForDate(from, to, calendarId);
                  ++held;
                  return refusedOnceOpened(gate);
              };
        DependencyScope scope;
        scope.set(gated);

        MainViewModel main;
        main.startIfNeeded();
        MeetingsListViewModel list;
        follow(main, list);

        // A meeting under way, listed and due to end in ten minutes.
        const QDateTime end = m_time->now().addSecs(10 * 60);
        const QString id = m_loop->google.addEvent(team, timed(end.addSecs(-15 * 60), 15))
                               .value("id")
                               .toString();
        QTRY_COMPARE(list.eventsModel().size(), 1);
        QVERIFY(m_timers.pair(id)->endTimer);

        // Someone makes it a weekly series; the reload that follows is slow, then fails.
        holding = true;
        m_loop->google.modifyEvent(
            team, id, {{"recurrence", QJsonArray {"RRULE:FREQ=WEEKLY;COUNT=3"}}});
        QTRY_COMPARE(m_notifications.size(), 2);
        QTRY_VERIFY(held > 0);
        QVERIFY(!m_timers.pair(id).has_value());
        gate.fire();
        QTRY_VERIFY(!list.isLoading());
        QVERIFY(list.alertType()->isSet());
        QVERIFY(list.eventsModel().isEmpty());

        // The meeting ends: nothing is armed to delete it, and the series stays whole.
        QCOMPARE(m_timers.pendingTimerCount(), std::size_t(0));
        m_time->advanceTo(end);
        QCoreApplication::processEvents();
        QCOMPARE(deletes(m_loop->google), 0);
        QCOMPARE(m_loop->google.event(team, id).value("status").toString(), "confirmed");
        QVERIFY(m_loop->google.unexpectedRequests().isEmpty());
    }

    void signingOutWhileTheCalendarListLoadsLeavesNothingOfTheAccount()
    {
        // Followed in an earlier run: the start will follow it again.
        auto earlier = m_loop->open({team});
        QTRY_COMPARE(m_loop->rows().size(), 1);
        QTRY_COMPARE(m_loop->subscribers(team), std::size_t(1));

        m_loop->google.hold(QStringLiteral("calendarList"));
        MainViewModel main;
        QSignalSpy startEnded(&main, &MainViewModel::startEnded);
        main.startIfNeeded();
        QTRY_COMPARE(m_loop->google.heldCount(), 1);
        QSignalSpy finished(&main, &MainViewModel::logoutFinished);
        main.logout();
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(m_signOuts, 1);
        QVERIFY(m_loop->rows().isEmpty());

        m_loop->google.clearLog();
        m_loop->google.releaseHeld();
        QTRY_COMPARE(m_loop->google.heldCount(), 0);
        // The outdated start has taken the list's arrival to its end.
        QTRY_COMPARE(startEnded.size(), 1);
        QVERIFY(!main.isSyncing());
        QVERIFY(!m_loop->session->isListening(team));
        QVERIFY(!m_loop->session->renewalTimer(team));
        QCOMPARE(m_loop->session->pendingTimerCount(), std::size_t(0));
        QVERIFY(m_loop->rows().isEmpty());
        QTRY_COMPARE(m_loop->subscribers(team), std::size_t(0));
        QVERIFY(m_loop->google.requestsTo("POST", "watch").isEmpty());
        QVERIFY(main.calendars().isEmpty());
        QVERIFY(m_loop->google.unexpectedRequests().isEmpty());
    }
};

TOLVO_TEST_MAIN(MeetingsEngineLoopTest)
#include "MeetingsEngineLoopTest.moc"
