#include "modules/Meetings/MeetingsListViewModel.h"
#include "core/OneShot.h"
#include "core/StartTask.h"
#include "support/ClockedScope.h"
#include "support/TemporaryDatabase.h"
#include "support/TestMain.h"

#include <QCoro/QCoroSignal>
#include <QTemporaryDir>

using namespace tolvo;

namespace {

// Event fetches answered from a table, always on a later pass of the loop; a held calendar
// answers only when released, with what the table says then.
class FakeEventReplies : public QObject
{
    Q_OBJECT
public:
    struct Call
    {
        QString calendarId;
        QDateTime start;
        QDateTime end;
    };

    QHash<QString, Result<QList<GoogleCalendarEvent>>> answers;
    QSet<QString> held;
    QList<Call> calls;
    QList<DeleteEventRequest> deletes;
    QList<Result<bool>> deleteAnswers; // taken in order; success once they run out
    // Answer with what the table said when the fetch was asked for, as a reply already on its
    // way would.
    bool answerAsAsked = false;

    GoogleCalendarClient client()
    {
        GoogleCalendarClient client = GoogleCalendarClient::testValue();
        QPointer<FakeEventReplies> self(this);
        client.fetchEventsForDate
            = [self](const QDateTime &start, const QDateTime &end, const QString &calendarId) {
                  self->calls.append({calendarId, start, end});
                  auto *gate = new OneShot(self);
                  if (!self->held.contains(calendarId))
                      QTimer::singleShot(0, gate, &OneShot::fire);
                  std::optional<Result<QList<GoogleCalendarEvent>>> asked;
                  if (self->answerAsAsked)
                      asked = self->answers.value(calendarId, QList<GoogleCalendarEvent>());
                  return answer(self, calendarId, gate, asked);
              };
        client.deleteEvent = [self](const DeleteEventRequest &request) {
            self->deletes.append(request);
            Result<bool> result = self->deleteAnswers.isEmpty() ? Result<bool>(true)
                                                                : self->deleteAnswers.takeFirst();
            return readyTask(result);
        };
        return client;
    }

    void release(const QString &calendarId)
    {
        held.remove(calendarId);
        for (OneShot *gate : findChildren<OneShot *>(calendarId))
            gate->fire();
    }

    // Answers every fetch still waiting: a fetch left waiting when the fake goes would never
    // end, and neither would the reload awaiting it.
    void releaseAll()
    {
        held.clear();
        for (OneShot *gate : findChildren<OneShot *>())
            gate->fire();
    }
    bool answeredAll() const { return findChildren<OneShot *>().isEmpty(); }

    QStringList calledIds() const
    {
        QStringList ids;
        for (const Call &call : calls)
            ids.append(call.calendarId);
        return ids;
    }

private:
    static QCoro::Task<Result<QList<GoogleCalendarEvent>>> answer(QPointer<FakeEventReplies> self,
        QString calendarId, OneShot *gate, std::optional<Result<QList<GoogleCalendarEvent>>> asked)
    {
        gate->setObjectName(calendarId);
        co_await qCoro(gate, &OneShot::fired);
        gate->deleteLater();
        if (!self)
            co_return failure(Error::cancellation());
        if (asked)
            co_return *asked;
        co_return self->answers.value(calendarId, QList<GoogleCalendarEvent>());
    }
};

GoogleCalendar calendar(const QString &id, const QString &role = QStringLiteral("owner"))
{
    GoogleCalendar c;
    c.id = id;
    c.accessRole = role;
    return c;
}

QStringList idsOf(const QList<EventModelPtr> &models)
{
    QStringList ids;
    for (const EventModelPtr &model : models)
        ids.append(model->event().id);
    return ids;
}

} // namespace

// The meetings list over overridden services: the Calendar client answers from a table, the
// timers, cache, date and bus are the real ones on a fake clock (Monday 3 March 2025, 09:00 UTC).
class MeetingsListViewModelTest : public QObject
{
    Q_OBJECT

    test::ClockedScope m_time;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<FakeEventReplies> m_google;
    CacheManager m_cache;
    DateManager m_dates;
    SyncBus m_bus;
    EventsTimerManager m_timers;
    std::shared_ptr<LogRecorder> m_log;
    QStringList m_notifications;
    bool m_deleteOnEnded = false;
    int m_authorizeCalls = 0;
    bool m_authorizeAnswer = true;

    QDateTime at(int minutesFromNow) const { return m_time.now().addSecs(60 * minutesFromNow); }

    GoogleCalendarEvent event(const QString &id, std::optional<int> startInMinutes = 60,
        int durationMinutes = 30, const QString &summary = QStringLiteral("Meeting"))
    {
        GoogleCalendarEvent e;
        e.id = id;
        e.summary = summary;
        if (startInMinutes) {
            e.start = at(*startInMinutes);
            e.end = at(*startInMinutes + durationMinutes);
        }
        return e;
    }

    void advanceMinutes(int minutes)
    {
        m_time.clock.advance(60 * minutes);
        m_time.scheduler()->checkNow();
        QCoreApplication::processEvents();
    }

    std::unique_ptr<MeetingsListViewModel> makeLoaded(const QList<GoogleCalendar> &calendars)
    {
        m_cache.storeCalendars(calendars);
        auto model = std::make_unique<MeetingsListViewModel>();
        settle(*model);
        return model;
    }

    static void settle(MeetingsListViewModel &model)
    {
        QCoreApplication::processEvents();
        QTRY_VERIFY(!model.isLoading());
    }

private slots:
    void init()
    {
        m_time.clock.set(QDateTime(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC));
        DependencyScope &scope = m_time.open();
        m_folder = std::make_unique<QTemporaryDir>();
        m_google = std::make_unique<FakeEventReplies>();
        // Reminder marks of one test function must not keep back the reminders of the next.
        m_timers = EventsTimerManager::keepingMarksIn(test::temporaryDatabase(*m_folder));
        m_cache = CacheManager::liveValue();
        m_dates = DateManager::liveValue();
        m_dates.selectDate(m_time.now());
        m_bus = SyncBus::liveValue();
        m_log = std::make_shared<LogRecorder>();
        m_notifications.clear();
        m_deleteOnEnded = false;
        m_authorizeCalls = 0;
        m_authorizeAnswer = true;

        UserDefaultsClient defaults = UserDefaultsClient::testValue();
        defaults.boolValue = [this](const QString &key) {
            return key == QLatin1String(UserDefaultsClient::deleteEventOnEndedKey)
                && m_deleteOnEnded;
        };
        GoogleClient googleClient = GoogleClient::testValue();
        googleClient.authorize = [this]() -> QCoro::Task<Result<bool>> {
            ++m_authorizeCalls;
            return readyTask<Result<bool>>(m_authorizeAnswer);
        };
        scope.set(m_timers)
            .set(m_cache)
            .set(m_dates)
            .set(m_bus)
            .set(m_google->client())
            .set(googleClient)
            .set(defaults)
            .set(LoggerClient::recording(m_log))
            .set(NotificationHandler {
                [this](const QString &title, const QString &body, const QString &subtitle) {
                    m_notifications.append(title + " | " + body + " | " + subtitle);
                }});
    }

    void cleanup()
    {
        m_google->releaseAll();
        QTRY_VERIFY(m_google->answeredAll());
        m_time.close();
        m_google.reset();
        m_timers = EventsTimerManager();
        m_folder.reset();
    }

    void firstLoadArrivesOnALaterPass()
    {
        GoogleCalendarEvent late = event("late", 120);
        GoogleCalendarEvent early = event("early", 60);
        m_google->answers["a"] = QList<GoogleCalendarEvent> {late, early};
        m_cache.storeCalendars({calendar("a")});
        const QDateTime picked = at(0).addDays(20);
        m_dates.selectDate(picked);

        MeetingsListViewModel model;
        QVERIFY(m_google->calls.isEmpty());
        QCOMPARE(model.selectedView(), CalendarViewType::month);
        QTRY_COMPARE(idsOf(model.eventsModel()), (QStringList {"early", "late"}));
        // The displayed month, then the upcoming four weeks for the reminders.
        QCOMPARE(m_google->calls.at(0).start, QDateTime(QDate(2025, 3, 1), QTime(0, 0), Qt::UTC));
        QCOMPARE(
            m_google->calls.at(0).end, QDateTime(QDate(2025, 3, 31), QTime(23, 59, 59), Qt::UTC));
        QTRY_COMPARE(model.selectedDate(), picked);
        QTRY_COMPARE(m_google->calls.size(), 2);
        QCOMPARE(m_google->calls.at(1).start, QDateTime(QDate(2025, 3, 3), QTime(0, 0), Qt::UTC));
        QCOMPARE(
            m_google->calls.at(1).end, QDateTime(QDate(2025, 3, 31), QTime(23, 59, 59), Qt::UTC));
        QCOMPARE(model.eventsModel().at(0)->calendarId(), "a");
        QVERIFY(m_timers.pair("early").has_value());
    }

    void selectedDateFollowsOnlyAfterTheReload()
    {
        auto model = makeLoaded({calendar("a")});
        m_google->held.insert("a");
        const QDateTime picked = at(0).addDays(40);
        m_dates.selectDate(picked);
        QTRY_COMPARE(m_google->calls.size(), 3);
        QCoreApplication::processEvents();
        QVERIFY(model->selectedDate() != picked);
        m_google->release("a");
        QTRY_COMPARE(model->selectedDate(), picked);
        QCOMPARE(m_google->calls.last().start, QDateTime(QDate(2025, 4, 1), QTime(0, 0), Qt::UTC));
    }

    void weekViewStartsOnTheFirstWeekday()
    {
        auto model = makeLoaded({calendar("a")});
        m_dates.selectDate(QDateTime(QDate(2024, 12, 31), QTime(15, 30), Qt::UTC));
        settle(*model);
        model->selectView(CalendarViewType::week);
        settle(*model);
        QCOMPARE(model->selectedView(), CalendarViewType::week);
        QCOMPARE(
            m_google->calls.last().start, QDateTime(QDate(2024, 12, 30), QTime(0, 0), Qt::UTC));
        QCOMPARE(
            m_google->calls.last().end, QDateTime(QDate(2025, 1, 5), QTime(23, 59, 59), Qt::UTC));
        model->selectView(CalendarViewType::day);
        settle(*model);
        QCOMPARE(
            m_google->calls.last().start, QDateTime(QDate(2024, 12, 31), QTime(0, 0), Qt::UTC));
        QCOMPARE(
            m_google->calls.last().end, QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59), Qt::UTC));
    }

    void followFetchesOnlyTheNewCalendarAndUnfollowRefetches()
    {
        m_google->answers["a"] = QList<GoogleCalendarEvent> {event("a1")};
        m_google->answers["b"] = QList<GoogleCalendarEvent> {event("b1", 90)};
        auto model = makeLoaded({calendar("a")});
        const EventModelPtr listedA = model->eventsModel().at(0);
        const QDateTime reminderA = m_timers.pair("a1")->notificationTimer->fireDate();
        m_google->calls.clear();

        m_cache.storeCalendars({calendar("a"), calendar("b")});
        settle(*model);
        QCOMPARE(m_google->calledIds().first(), "b");
        QCOMPARE(idsOf(model->eventsModel()), (QStringList {"a1", "b1"}));
        QCOMPARE(model->eventsModel().at(0), listedA);
        QCOMPARE(m_timers.pair("a1")->notificationTimer->fireDate(), reminderA);
        QCOMPARE(model->currentHandleCalendars().size(), 2);

        m_google->calls.clear();
        m_cache.storeCalendars({calendar("b")});
        settle(*model);
        QCOMPARE(m_google->calledIds(), (QStringList {"b", "b"}));
        QCOMPARE(idsOf(model->eventsModel()), (QStringList {"b1"}));
        QVERIFY(!m_timers.pair("a1").has_value());
    }

    void oneFailingCalendarFailsTheReload_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("kind");
        QTest::newRow("expired sign-in") << -10 << int(AlertType::Kind::expiredToken);
        QTest::newRow("scopes") << 403 << int(AlertType::Kind::authenticationScopesError);
        QTest::newRow("other") << 500 << int(AlertType::Kind::error);
    }

    void oneFailingCalendarFailsTheReload()
    {
        QFETCH(int, code);
        QFETCH(int, kind);
        m_google->answers["a"] = QList<GoogleCalendarEvent> {event("a1")};
        m_google->answers["b"] = failure(Error::http(code, "refused"));
        m_google->answers["c"] = QList<GoogleCalendarEvent> {event("c1")};
        auto model = makeLoaded({calendar("a"), calendar("b"), calendar("c")});
        QVERIFY(model->eventsModel().isEmpty());
        QVERIFY(model->alertType()->isSet());
        QCOMPARE(int(model->alertType()->value()->kind()), kind);

        if (kind == int(AlertType::Kind::error))
            return;
        // "Refresh": sign in, then every handled calendar again, and today's reminders.
        m_google->answers["b"] = QList<GoogleCalendarEvent> {event("b1")};
        m_google->calls.clear();
        model->alertType()->value()->handler()();
        QTRY_COMPARE(m_authorizeCalls, 1);
        QTRY_COMPARE(model->eventsModel().size(), 3);
        settle(*model);
        QCOMPARE(m_google->calls.size(), 6);
    }

    void aRefusedSignInChangesNothing()
    {
        m_google->answers["a"] = failure(Error::http(403, "scopes"));
        auto model = makeLoaded({calendar("a")});
        m_authorizeAnswer = false;
        const int calls = int(m_google->calls.size());
        model->alertType()->value()->handler()();
        QTRY_COMPARE(m_authorizeCalls, 1);
        QCoreApplication::processEvents();
        QCOMPARE(int(m_google->calls.size()), calls);
    }

    void overlappingReloadsListEachEventOnce()
    {
        m_google->answers["a"] = QList<GoogleCalendarEvent> {event("a1"), event("a2", 120)};
        auto model = makeLoaded({calendar("a")});
        const qsizetype before = m_google->calls.size();
        m_google->held.insert("a");
        m_dates.selectDate(at(0));
        m_cache.storeCalendars({calendar("a")});
        m_dates.selectDate(at(0));
        QCoreApplication::processEvents();
        // Only the first asks the Calendar; the others wait behind it.
        QTRY_COMPARE(m_google->calls.size(), before + 1);
        QCoreApplication::processEvents();
        QCOMPARE(m_google->calls.size(), before + 1);
        m_google->release("a");
        QTRY_VERIFY(!model->isLoading());
        QCOMPARE(idsOf(model->eventsModel()), (QStringList {"a1", "a2"}));
        QCOMPARE(m_timers.pendingTimerCount(), std::size_t(4));
    }

    void pushedBatchNotifiesInOrderAndChangesTheList()
    {
        GoogleCalendarEvent kept = event("kept", 60);
        GoogleCalendarEvent gone = event("gone", 90);
        m_google->answers["a"] = QList<GoogleCalendarEvent> {kept, gone};
        auto model = makeLoaded({calendar("a")});
        const int calls = int(m_google->calls.size());

        GoogleCalendarEvent added = event("new", 30);
        added.summary.reset();
        GoogleCalendarEvent moved = kept;
        moved.start = at(180);
        moved.end = at(200);
        GoogleCalendarEvent noDates = gone;
        noDates.start.reset();
        noDates.end.reset();
        m_bus.postGoogleChanged(CalendarSyncUpdate::googleChanges("a",
            {GoogleCalendarChange::added(added), GoogleCalendarChange::modified(moved),
                GoogleCalendarChange::deleted(noDates)}));
        // Told at once, every change; the list follows on a later pass.
        QCOMPARE(m_notifications,
            (QStringList {"New event added | 3 March 2025 at 09:30 - 10:00 | ",
                "Event updated with new values | 3 March 2025 at 12:00 - 12:20 | Meeting",
                "Event deleted | 3 March 2025 at 09:00 | Meeting"}));
        QCOMPARE(idsOf(model->eventsModel()), (QStringList {"kept", "gone"}));
        QTRY_COMPARE(idsOf(model->eventsModel()), (QStringList {"new", "kept"}));
        QCOMPARE(*model->eventsModel().at(1)->event().start, at(180));
        QCOMPARE(m_timers.pair("kept")->notificationTimer->fireDate(), at(150));
        QVERIFY(!m_timers.pair("gone").has_value());
        QVERIFY(m_timers.pair("new").has_value());
        QCoreApplication::processEvents();
        QCOMPARE(int(m_google->calls.size()), calls);

        // Local changes are not the list's business.
        m_bus.postGoogleChanged(CalendarSyncUpdate::localChanges("a", {}));
        QCoreApplication::processEvents();
        QCOMPARE(m_notifications.size(), 3);
    }

    void changesMadeWhileClosedUpdateTheListWithoutNotifications()
    {
        m_google->answers["a"] = QList<GoogleCalendarEvent> {event("kept", 60)};
        auto model = makeLoaded({calendar("a")});
        m_bus.postGoogleChanged(CalendarSyncUpdate::googleChanges("a",
            {GoogleCalendarChange::added(event("new", 30)),
                GoogleCalendarChange::deleted(event("kept", 60))},
            false));
        QTRY_COMPARE(idsOf(model->eventsModel()), QStringList {"new"});
        QVERIFY(m_notifications.isEmpty());
    }

    void anAddedEventAlreadyListedIsReplaced()
    {
        GoogleCalendarEvent listed = event("x", 60);
        m_google->answers["a"] = QList<GoogleCalendarEvent> {event("first", 30), listed};
        auto model = makeLoaded({calendar("a")});
        GoogleCalendarEvent again = listed;
        again.summary = QStringLiteral("Renamed");
        m_bus.postGoogleChanged(
            CalendarSyncUpdate::googleChanges("a", {GoogleCalendarChange::added(again)}));
        QTRY_COMPARE(model->eventsModel().at(1)->event().summary, QStringLiteral("Renamed"));
        QCOMPARE(idsOf(model->eventsModel()), (QStringList {"first", "x"}));
    }

    void unlistedOrSeriesChangesReloadOnce_data()
    {
        QTest::addColumn<QString>("listedId");
        QTest::addColumn<QStringList>("changedIds");
        QTest::newRow("modified, not listed") << "x" << QStringList {"elsewhere"};
        QTest::newRow("series whose instances are listed")
            << "series_20250303T100000Z" << QStringList {"series"};
        QTest::newRow("three in one batch") << "x" << QStringList {"p", "q", "r"};
    }

    void unlistedOrSeriesChangesReloadOnce()
    {
        QFETCH(QString, listedId);
        QFETCH(QStringList, changedIds);
        m_google->answers["a"] = QList<GoogleCalendarEvent> {event(listedId)};
        auto model = makeLoaded({calendar("a")});
        m_google->calls.clear();
        QList<GoogleCalendarChange> changes;
        for (const QString &id : changedIds)
            changes.append(GoogleCalendarChange::modified(event(id)));
        m_bus.postGoogleChanged(CalendarSyncUpdate::googleChanges("a", changes));
        QCOMPARE(m_notifications.size(), changedIds.size());
        QTRY_VERIFY(!m_google->calls.isEmpty());
        settle(*model);
        // The displayed month and the upcoming days, once.
        QCOMPARE(m_google->calls.size(), 2);
    }

    void aPushedSeriesIsReloadedAsItsOccurrences_data()
    {
        QTest::addColumn<bool>("added");
        QTest::newRow("added") << true;
        QTest::newRow("modified") << false;
    }

    void aPushedSeriesIsReloadedAsItsOccurrences()
    {
        QFETCH(bool, added);
        m_deleteOnEnded = true;
        auto model = makeLoaded({calendar("a")});
        m_google->calls.clear();
        // The feed brings the master under the series' id with its first occurrence's times.
        GoogleCalendarEvent master = event("weekly", 10, 20);
        master.recurrence = {QStringLiteral("RRULE:FREQ=WEEKLY")};
        GoogleCalendarEvent first = event("weekly_20250303T091000Z", 10, 20);
        first.recurringEventId = QStringLiteral("weekly");
        first.originalStartTime = first.start;
        m_google->answers["a"] = QList<GoogleCalendarEvent> {first};
        m_bus.postGoogleChanged(CalendarSyncUpdate::googleChanges("a",
            {added ? GoogleCalendarChange::added(master)
                   : GoogleCalendarChange::modified(master)}));
        QTRY_VERIFY(!m_google->calls.isEmpty());
        settle(*model);
        QCOMPARE(m_google->calls.size(), 2);
        QCOMPARE(idsOf(model->eventsModel()), QStringList {first.id});
        QVERIFY(!m_timers.pair("weekly").has_value());

        // Its first occurrence ends: that occurrence goes, never the series.
        advanceMinutes(31);
        QTRY_COMPARE(m_google->deletes.size(), 1);
        QCOMPARE(m_google->deletes.first().eventId, first.id);
        // Nor when a master reaches the end handling some other way.
        model->removeEndedEvent(master, "a");
        QCoreApplication::processEvents();
        QCOMPARE(m_google->deletes.size(), 1);
    }

    void aDeletedSeriesTakesItsOccurrencesAtOnce()
    {
        m_deleteOnEnded = true;
        GoogleCalendarEvent occurrence = event("weekly_20250303T091000Z", 10, 20);
        occurrence.recurringEventId = QStringLiteral("weekly");
        m_google->answers["a"] = QList<GoogleCalendarEvent> {occurrence, event("single", 10, 20)};
        auto model = makeLoaded({calendar("a")});
        QVERIFY(m_timers.pair(occurrence.id).has_value());
        const qsizetype calls = m_google->calls.size();

        // Google names the cancelled series alone; a reload now would fail.
        m_google->answers["a"] = failure(Error::http(500, "backendError"));
        GoogleCalendarEvent series;
        series.id = QStringLiteral("weekly");
        series.status = GoogleCalendarEventStatus::cancelled;
        m_bus.postGoogleChanged(
            CalendarSyncUpdate::googleChanges("a", {GoogleCalendarChange::deleted(series)}));
        QTRY_COMPARE(idsOf(model->eventsModel()), QStringList {"single"});
        QVERIFY(!m_timers.pair(occurrence.id).has_value());

        // Both would have ended now: only the single meeting is deleted on Google.
        advanceMinutes(31);
        QTRY_COMPARE(m_google->deletes.size(), 1);
        QCOMPARE(m_google->deletes.first().eventId, "single");
        settle(*model);
        QCOMPARE(m_google->calls.size(), calls);
        QVERIFY(!model->alertType()->isSet());
    }

    void changesPushedDuringAHeldReloadCauseOneMore()
    {
        auto model = makeLoaded({calendar("a"), calendar("b")});
        m_google->calls.clear();
        m_google->held = {"a", "b"};
        m_dates.selectDate(at(0));
        QTRY_COMPARE(m_google->calls.size(), 2);
        for (int i = 0; i < 10; ++i) {
            GoogleCalendarEvent master = event(QStringLiteral("series%1").arg(i));
            master.recurrence = {QStringLiteral("RRULE:FREQ=WEEKLY")};
            m_bus.postGoogleChanged(CalendarSyncUpdate::googleChanges(
                i % 2 ? "a" : "b", {GoogleCalendarChange::added(master)}));
        }
        QCoreApplication::processEvents();
        m_google->releaseAll();
        settle(*model);
        // The held period, then one more reload of both calendars' period and upcoming weeks.
        QCOMPARE(m_google->calls.size(), 2 + 4);

        // Deleting what is neither listed nor upcoming (the echo of an ended meeting's
        // deletion, say) costs no reload.
        m_google->calls.clear();
        m_bus.postGoogleChanged(CalendarSyncUpdate::googleChanges(
            "a", {GoogleCalendarChange::deleted(event("elsewhere"))}));
        QCoreApplication::processEvents();
        settle(*model);
        QVERIFY(m_google->calls.isEmpty());
    }

    void aReminderThatCameStaysAwayUntilItsMeetingMoves_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::newRow("a new list") << false;
        QTest::newRow("a restart over the same database") << true;
    }

    void aReminderThatCameStaysAwayUntilItsMeetingMoves()
    {
        QFETCH(bool, restart);
        QTemporaryDir folder;
        // Each start opens the same database file afresh, as a restart does.
        const auto start = [&folder] {
            return EventsTimerManager::keepingMarksIn(test::temporaryDatabase(folder));
        };
        DependencyScope scope;
        scope.set(start());
        const GoogleCalendarEvent review = event("review", 40);
        m_google->answers["a"] = QList<GoogleCalendarEvent> {review};
        auto model = makeLoaded({calendar("a")});
        advanceMinutes(10);
        QCOMPARE(model->notificationStatus(), NotificationStatus::showed(review));
        model->setNotificationStatus(NotificationStatus::idle());

        // Five minutes later the list is made again; its reminder moment has passed and the
        // meeting is still to come, but the user has seen it.
        advanceMinutes(5);
        model.reset();
        if (restart)
            scope.set(start());
        model = std::make_unique<MeetingsListViewModel>();
        settle(*model);
        QCOMPARE(idsOf(model->eventsModel()), QStringList {"review"});
        m_time.scheduler()->checkNow();
        QCoreApplication::processEvents();
        QVERIFY(model->notificationStatus().isIdle());

        // Moved two minutes earlier: a new moment, reminded at once.
        GoogleCalendarEvent moved = review;
        moved.start = review.start->addSecs(-120);
        moved.end = review.end->addSecs(-120);
        m_bus.postGoogleChanged(
            CalendarSyncUpdate::googleChanges("a", {GoogleCalendarChange::modified(moved)}));
        QTRY_COMPARE(*model->eventsModel().first()->event().start, *moved.start);
        m_time.scheduler()->checkNow();
        QTRY_COMPARE(model->notificationStatus(), NotificationStatus::showed(moved));
    }

    void anAnswerAskedBeforeAChangeDoesNotUndoIt_data()
    {
        QTest::addColumn<bool>("deleted");
        QTest::newRow("deleted") << true;
        QTest::newRow("moved") << false;
    }

    void anAnswerAskedBeforeAChangeDoesNotUndoIt()
    {
        QFETCH(bool, deleted);
        // Starts after the next midnight, so the midnight refresh of the upcoming set asks for
        // it.
        const GoogleCalendarEvent e = event("e", 20 * 60, 30, "Review");
        m_google->answers["a"] = QList<GoogleCalendarEvent> {e};
        auto model = makeLoaded({calendar("a")});
        QVERIFY(m_timers.pair("e").has_value());

        m_google->answerAsAsked = true;
        m_google->held.insert("a");
        const int asked = int(m_google->calls.size());
        advanceMinutes(15 * 60);
        QTRY_COMPARE(int(m_google->calls.size()), asked + 1);

        // Changed while that answer is on its way; Google holds the change from now on.
        GoogleCalendarEvent moved = e;
        moved.start = e.start->addSecs(3600);
        moved.end = e.end->addSecs(3600);
        m_bus.postGoogleChanged(CalendarSyncUpdate::googleChanges("a",
            {deleted ? GoogleCalendarChange::deleted(e) : GoogleCalendarChange::modified(moved)}));
        QTRY_COMPARE(m_notifications.size(), 1);
        m_google->answers["a"]
            = deleted ? QList<GoogleCalendarEvent>() : QList<GoogleCalendarEvent> {moved};
        const auto holdsTheChange = [&] {
            for (const EventModelPtr &listed : model->eventsModel()) {
                if (listed->event().id == u"e"
                    && (deleted || *listed->event().start != moved.start))
                    return false;
            }
            return true;
        };

        m_google->releaseAll();
        settle(*model);
        QVERIFY(holdsTheChange());
        if (deleted)
            QVERIFY(!m_timers.pair("e").has_value());
        else
            QCOMPARE(m_timers.pair("e")->endTimer->fireDate(), *moved.end);
    }

    void pushedMeetingsWeeksAheadStayReminded()
    {
        auto model = makeLoaded({calendar("a")});
        // Three weeks ahead with a 20-day lead: reminded tomorrow, whatever month is shown.
        GoogleCalendarEvent review = event("review", 60 * 24 * 21);
        review.reminderMinutes = 60 * 24 * 20;
        m_bus.postGoogleChanged(
            CalendarSyncUpdate::googleChanges("a", {GoogleCalendarChange::added(review)}));
        QTRY_VERIFY(m_timers.pair("review").has_value());
        m_dates.selectDate(at(60 * 24 * 60));
        settle(*model);
        QVERIFY(model->eventsModel().isEmpty());
        QVERIFY(m_timers.pair("review").has_value());
        advanceMinutes(60 * 24);
        QCOMPARE(model->notificationStatus(), NotificationStatus::showed(review));
    }

    void snooze_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<int>("startInSeconds");
        QTest::addColumn<int>("showsAfterSeconds"); // -1: never
        QTest::newRow("a minute with the start 30 s away") << int(SnoozeTime::minute) << 30 << -1;
        QTest::newRow("a minute") << int(SnoozeTime::minute) << 600 << 60;
        QTest::newRow("five minutes") << int(SnoozeTime::fiveMinutes) << 600 << 300;
        QTest::newRow("until the event") << int(SnoozeTime::untilEvent) << 600 << 600;
        QTest::newRow("until the event, already started")
            << int(SnoozeTime::untilEvent) << -60 << 0;
    }

    void snooze()
    {
        QFETCH(int, choice);
        QFETCH(int, startInSeconds);
        QFETCH(int, showsAfterSeconds);
        auto model = makeLoaded({});
        GoogleCalendarEvent e = event("s");
        e.start = m_time.now().addSecs(startInSeconds);
        model->showReminder(e);
        QVERIFY(!model->notificationStatus().isIdle());
        model->snooze(SnoozeTime(choice), e);
        QVERIFY(model->notificationStatus().isIdle());
        if (showsAfterSeconds < 0) {
            QCOMPARE(m_timers.pendingTimerCount(), std::size_t(0));
            return;
        }
        if (showsAfterSeconds > 0) {
            m_time.clock.advance(showsAfterSeconds - 1);
            m_time.scheduler()->checkNow();
            QVERIFY(model->notificationStatus().isIdle());
            m_time.clock.advance(1);
        }
        m_time.scheduler()->checkNow();
        QCOMPARE(model->notificationStatus(), NotificationStatus::showed(e));
    }

    void aReminderWhileAnotherShowsIsDropped()
    {
        GoogleCalendarEvent first = event("first", 40);
        GoogleCalendarEvent second = event("second", 41);
        m_google->answers["a"] = QList<GoogleCalendarEvent> {first, second};
        auto model = makeLoaded({calendar("a")});
        advanceMinutes(11);
        QCOMPARE(model->notificationStatus(), NotificationStatus::showed(first));
        model->setNotificationStatus(NotificationStatus::idle());
        advanceMinutes(1);
        QVERIFY(model->notificationStatus().isIdle());
    }

    void aPushedDeletionWithdrawsTheSnooze()
    {
        auto model = makeLoaded({});
        GoogleCalendarEvent e = event("s", 30);
        model->snooze(SnoozeTime::fiveMinutes, e);
        m_bus.postGoogleChanged(
            CalendarSyncUpdate::googleChanges("a", {GoogleCalendarChange::deleted(e)}));
        QCoreApplication::processEvents();
        advanceMinutes(6);
        QVERIFY(model->notificationStatus().isIdle());
    }

    void endedEventsAreDeletedOnlyWhereTheAccountMayWrite_data()
    {
        QTest::addColumn<bool>("setting");
        QTest::addColumn<QString>("role");
        QTest::addColumn<int>("deletes");
        QTest::newRow("on, owner") << true << "owner" << 1;
        QTest::newRow("on, writer") << true << "writer" << 1;
        QTest::newRow("on, reader") << true << "reader" << 0;
        QTest::newRow("off, owner") << false << "owner" << 0;
    }

    void endedEventsAreDeletedOnlyWhereTheAccountMayWrite()
    {
        QFETCH(bool, setting);
        QFETCH(QString, role);
        QFETCH(int, deletes);
        m_deleteOnEnded = setting;
        m_google->answers["a"] = QList<GoogleCalendarEvent> {event("e", 10, 20)};
        auto model = makeLoaded({calendar("a", role)});
        advanceMinutes(31);
        QVERIFY(model->eventsModel().isEmpty());
        QTRY_COMPARE(int(m_google->deletes.size()), deletes);
        QCoreApplication::processEvents();
        QCOMPARE(int(m_google->deletes.size()), deletes);
        if (deletes) {
            QCOMPARE(m_google->deletes.first().calendarId, "a");
            QCOMPARE(m_google->deletes.first().eventId, "e");
        }
        QVERIFY(!model->alertType()->isSet());
    }

    void aPushedDeletionNeverDeletesOnGoogle()
    {
        m_deleteOnEnded = true;
        GoogleCalendarEvent e = event("e");
        m_google->answers["a"] = QList<GoogleCalendarEvent> {e};
        auto model = makeLoaded({calendar("a")});
        m_bus.postGoogleChanged(
            CalendarSyncUpdate::googleChanges("a", {GoogleCalendarChange::deleted(e)}));
        QTRY_VERIFY(model->eventsModel().isEmpty());
        QVERIFY(!m_timers.pair("e").has_value());
        QCoreApplication::processEvents();
        QVERIFY(m_google->deletes.isEmpty());
    }

    void aFailedDeleteOffersSignInAndRetries()
    {
        auto model = makeLoaded({});
        m_google->deleteAnswers = {failure(Error::http(403, "scopes"))};
        const GoogleCalendarEvent e = event("e");
        model->deleteEvent(e, "a");
        QTRY_VERIFY(model->alertType()->isSet());
        QCOMPARE(model->alertType()->value()->kind(), AlertType::Kind::authenticationScopesError);
        model->alertType()->value()->handler()();
        QTRY_COMPARE(m_google->deletes.size(), 2);
        QCOMPARE(m_authorizeCalls, 1);
        QCOMPARE(m_google->deletes.at(1).eventId, "e");
    }

    void remindersDoNotDependOnTheDisplayedPeriod()
    {
        GoogleCalendarEvent today = event("today", 45);
        m_google->answers["a"] = QList<GoogleCalendarEvent> {today};
        auto model = makeLoaded({calendar("a")});
        // Looking at next month: today's meeting is no longer listed but still reminded.
        m_google->answers["a"] = QList<GoogleCalendarEvent> {event("later", 60 * 24 * 30)};
        m_dates.selectDate(at(60 * 24 * 30));
        settle(*model);
        QCOMPARE(idsOf(model->eventsModel()), (QStringList {"later"}));
        advanceMinutes(15);
        QCOMPARE(model->notificationStatus(), NotificationStatus::showed(today));
    }

    void midnightArmsTheNewTomorrow()
    {
        auto model = makeLoaded({calendar("a")});
        m_google->calls.clear();
        GoogleCalendarEvent dayAfter = event("dayAfter", 60 * 39);
        m_google->answers["a"] = QList<GoogleCalendarEvent> {dayAfter};
        advanceMinutes(15 * 60);
        settle(*model);
        QCOMPARE(m_google->calls.size(), 1);
        QCOMPARE(m_google->calls.first().start, QDateTime(QDate(2025, 3, 4), QTime(0, 0), Qt::UTC));
        QCOMPARE(
            m_google->calls.first().end, QDateTime(QDate(2025, 4, 1), QTime(23, 59, 59), Qt::UTC));
        QVERIFY(m_timers.pair("dayAfter").has_value());
    }

    void noTimerFiresAfterTheListIsGone()
    {
        m_deleteOnEnded = true;
        m_google->answers["a"] = QList<GoogleCalendarEvent> {event("e", 40, 10)};
        auto model = makeLoaded({calendar("a")});
        model->snooze(SnoozeTime::minute, event("s", 30));
        QVERIFY(m_timers.pendingTimerCount() > 0);
        model.reset();
        QCOMPARE(m_timers.pendingTimerCount(), std::size_t(0));
        advanceMinutes(60);
        QVERIFY(m_google->deletes.isEmpty());
    }

    void eventModelsAreItemsOfTheirOwn()
    {
        GoogleCalendar coloured = calendar("a");
        coloured.backgroundColor = QStringLiteral("#ac725e");
        m_cache.storeCalendars({coloured});
        const GoogleCalendarEvent e = event("e");
        const EventModel one(e, "a");
        const EventModel two(e, "a");
        QVERIFY(!(one == two));
        QVERIFY(one == one);
        QCOMPARE(qHash(one), qHash(one));
        QCOMPARE(one.eventState(), EventState::started);
        QVERIFY(one.timeToMeeting().isEmpty());
        QCOMPARE(one.calendarColor(), QStringLiteral("#ac725e"));
        {
            // The cache it was made with stays its cache.
            DependencyScope inner;
            CacheManager other = CacheManager::liveValue();
            inner.set(other);
            const EventModel three(e, "a");
            QCOMPARE(one.calendarColor(), QStringLiteral("#ac725e"));
            QCOMPARE(three.calendarColor(), std::nullopt);
        }
    }
};

TOLVO_TEST_MAIN(MeetingsListViewModelTest)
#include "MeetingsListViewModelTest.moc"
