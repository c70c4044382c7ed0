#include "modules/Main/MainViewModel.h"
#include "core/OneShot.h"
#include "core/StartTask.h"
#include "services/AppDatabase.h"
#include "support/SyncTestSupport.h"
#include "support/TestMain.h"

#include <QCoro/QCoroSignal>

using namespace tolvo;

namespace {

GoogleCalendar calendar(const QString &id, bool googleSaysSelected = true)
{
    GoogleCalendar c;
    c.id = id;
    c.isSelected = googleSaysSelected;
    return c;
}

CalendarChannel channel(const QString &calendarId)
{
    CalendarChannel row;
    row.calendarId = calendarId;
    row.channelId = calendarId + "-channel";
    row.resourceId = calendarId + "-resource";
    return row;
}

QStringList idsOf(const QList<GoogleCalendar> &calendars)
{
    QStringList ids;
    for (const GoogleCalendar &c : calendars)
        ids.append(c.id);
    return ids;
}

// An answer that waits until the gate opens.
template<typename T> QCoro::Task<T> answerAfter(QPointer<OneShot> gate, T value)
{
    if (gate && !gate->hasFired())
        co_await qCoro(gate.data(), &OneShot::fired);
    co_return value;
}

} // namespace

// The main screen's state over overridden services: every operation it calls answers from the
// fields below and is counted.
class MainViewModelTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<DependencyScope> m_scope;
    std::shared_ptr<LogRecorder> m_log;
    std::shared_ptr<AnalyticsRecorder> m_analytics;
    CacheManager m_cache;
    SyncBus m_bus;
    QStringList m_calls;

    Result<bool> m_authorize = true;
    Result<QList<GoogleCalendar>> m_calendars = QList<GoogleCalendar>();
    Result<QList<CalendarChannel>> m_channels = QList<CalendarChannel>();
    VoidResult m_cleanUpAll;
    VoidResult m_signOut;
    VoidResult m_toggle;
    bool m_hasSession = true;
    bool m_sessionError = false;
    OneShot *m_sessionGate = nullptr;
    int m_updaterStarts = 0;
    QList<QStringList> m_syncs;
    QList<SyncStream> m_streams;
    QList<CalendarSyncUpdate> m_posted;
    Subscription m_busSubscription;

    void install()
    {
        GoogleClient google = GoogleClient::testValue();
        google.authSession = [this]() {
            m_calls.append("authSession");
            Result<std::shared_ptr<AuthorizationSession>> session
                = m_hasSession ? test::sessionWithToken("token") : nullptr;
            if (m_sessionError)
                session = failure(ErrorDomain::keychain, keychaincode::notFound, "none stored");
            return answerAfter(QPointer<OneShot>(m_sessionGate), session);
        };
        google.authorize = [this]() {
            m_calls.append("authorize");
            return readyTask(m_authorize);
        };
        google.signOut = [this]() {
            m_calls.append("signOut");
            return readyTask(m_signOut);
        };
        GoogleCalendarClient calendars = GoogleCalendarClient::testValue();
        calendars.fetchCalendarList = [this](std::shared_ptr<AuthorizationSession>) {
            m_calls.append("fetchCalendarList");
            return readyTask(m_calendars);
        };
        DatabaseClient database = DatabaseClient::testValue();
        database.calendarChannels = [this] {
            m_calls.append("calendarChannels");
            return m_channels;
        };
        GoogleCalendarSyncClient sync;
        sync.sync = [this](const QStringList &ids) {
            m_syncs.append(ids);
            // Like the engine: a new stream ends the one before.
            if (!m_streams.isEmpty())
                m_streams.last().continuation().finish();
            m_streams.append(SyncStream());
            return m_streams.last();
        };
        sync.cleanUp = [this](const QString &id) {
            m_calls.append("cleanUp:" + id);
            return readyTask(m_toggle);
        };
        sync.addCalendar = [this](const QString &id) {
            m_calls.append("addCalendar:" + id);
            return readyTask(m_toggle);
        };
        sync.cleanUpAll = [this]() {
            m_calls.append("cleanUpAll");
            return readyTask(m_cleanUpAll);
        };
        AppUpdater updater = AppUpdater::testValue();
        updater.startUpdater = [this] { ++m_updaterStarts; };
        m_scope->set(google)
            .set(calendars)
            .set(database)
            .set(sync)
            .set(updater)
            .set(m_cache)
            .set(DateManager::liveValue())
            .set(m_bus)
            .set(LoggerClient::recording(m_log))
            .set(AnalyticsManager::recording(m_analytics));
    }

    static void settle(MainViewModel &model)
    {
        QTRY_VERIFY(!model.isStarting());
        QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        m_scope = std::make_unique<DependencyScope>();
        m_log = std::make_shared<LogRecorder>();
        m_analytics = std::make_shared<AnalyticsRecorder>();
        m_cache = CacheManager::liveValue();
        m_bus = SyncBus::liveValue();
        m_calls.clear();
        m_authorize = true;
        m_calendars = QList<GoogleCalendar>();
        m_channels = QList<CalendarChannel>();
        m_cleanUpAll = {};
        m_signOut = {};
        m_toggle = {};
        m_hasSession = true;
        m_sessionError = false;
        m_sessionGate = nullptr;
        m_updaterStarts = 0;
        m_syncs.clear();
        m_streams.clear();
        m_posted.clear();
        m_busSubscription = m_bus.googleChanged.subscribe(
            this, [this](const CalendarSyncUpdate &update) { m_posted.append(update); });
        install();
    }

    void cleanup()
    {
        m_busSubscription.cancel();
        m_scope.reset();
    }

    void startMarksFollowedCalendarsAndSyncsThem()
    {
        m_calendars = QList<GoogleCalendar> {calendar("a"), calendar("b", false), calendar("c")};
        m_channels = QList<CalendarChannel> {channel("b"), channel("c")};
        MainViewModel model;
        QCOMPARE(model.appState(), AppState::idle);
        model.startIfNeeded();
        settle(model);
        QCOMPARE(model.appState(), AppState::configured);
        QVERIFY(!model.alertType()->isSet());
        // Followed means a stored channel, whatever Google reports.
        QCOMPARE(model.calendars().size(), 3);
        QVERIFY(!model.calendars().at(0).isSelected);
        QVERIFY(model.calendars().at(1).isSelected);
        QCOMPARE(idsOf(m_cache.calendars()), (QStringList {"b", "c"}));
        QCOMPARE(m_syncs, (QList<QStringList> {{"b", "c"}}));
        QCOMPARE(m_updaterStarts, 1);

        // Every update of the stream is posted once, in order, local ones included.
        m_streams.last().continuation().yield(CalendarSyncUpdate::googleChanges("b", {}));
        m_streams.last().continuation().yield(CalendarSyncUpdate::localChanges("c", {}));
        QTRY_COMPARE(m_posted.size(), 2);
        QCOMPARE(m_posted.at(0).calendarId(), "b");
        QVERIFY(m_posted.at(1).local());

        // Shown again after a successful start: nothing more.
        const QStringList calls = m_calls;
        model.startIfNeeded();
        settle(model);
        QCOMPARE(m_calls, calls);
        QCOMPARE(m_syncs.size(), 1);
    }

    void aDatabaseReplacedAtStartIsToldOnce()
    {
        DatabaseRecovery recovery;
        recovery.cause
            = Error::make(ErrorDomain::database, 26, QStringLiteral("file is not a database"));
        recovery.setAsidePath = QStringLiteral("/data/Tolvo/db.damaged-20261211T093000Z.sqlite");
        AppDatabase::keepRecovery(recovery);
        {
            MainViewModel first;
            QVERIFY(first.alertType()->isSet());
            const AlertSpec spec = alertSpec(*first.alertType()->value());
            QVERIFY(spec.message.contains(recovery.setAsidePath));
            QVERIFY(spec.message.contains(QStringLiteral("file is not a database")));
        }
        MainViewModel second;
        QVERIFY(!second.alertType()->isSet());
    }

    void noStoredSessionIsAnEmptyConfiguredScreen_data()
    {
        QTest::addColumn<bool>("nothingStored");
        QTest::newRow("no session held") << false;
        QTest::newRow("nothing in the keychain") << true;
    }

    void noStoredSessionIsAnEmptyConfiguredScreen()
    {
        QFETCH(bool, nothingStored);
        m_hasSession = false;
        m_sessionError = nothingStored;
        MainViewModel model;
        model.startIfNeeded();
        settle(model);
        QCOMPARE(model.appState(), AppState::configured);
        QVERIFY(model.calendars().isEmpty());
        QVERIFY(!model.alertType()->isSet());
        QCOMPARE(m_syncs, (QList<QStringList> {{}}));
    }

    void aFailedStartRaisesTheAlertOfItsCode_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("kind");
        QTest::newRow("expired sign-in") << -10 << int(AlertType::Kind::expiredToken);
        QTest::newRow("scopes") << 403 << int(AlertType::Kind::authenticationScopesError);
        QTest::newRow("other") << 500 << int(AlertType::Kind::error);
    }

    void aFailedStartRaisesTheAlertOfItsCode()
    {
        QFETCH(int, code);
        QFETCH(int, kind);
        m_calendars = failure(Error::http(code, "refused"));
        MainViewModel model;
        model.startIfNeeded();
        settle(model);
        QCOMPARE(model.appState(), AppState::somethingWrong);
        QCOMPARE(int(model.alertType()->value()->kind()), kind);
        QCOMPARE(model.firstFailedError()->code, code);
        // The stream is still asked for, with nothing to follow; the updater starts anyway.
        QCOMPARE(m_syncs, (QList<QStringList> {{}}));
        QTRY_COMPARE(m_updaterStarts, 1);

        // Shown again: a failed start is tried again, and the updater is not started twice.
        m_calendars = QList<GoogleCalendar> {calendar("a")};
        m_channels = QList<CalendarChannel> {channel("a")};
        model.startIfNeeded();
        settle(model);
        QCOMPARE(model.appState(), AppState::configured);
        QCOMPARE(m_syncs.last(), QStringList {"a"});
        QCOMPARE(m_updaterStarts, 1);
    }

    void refreshAfterAnExpiredSignInResumesLiveSync()
    {
        m_calendars = failure(Error::http(Error::oauthInvalidGrant, "invalid_grant"));
        MainViewModel model;
        model.startIfNeeded();
        settle(model);
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::expiredToken);

        m_calendars = QList<GoogleCalendar> {calendar("a"), calendar("b")};
        m_channels = QList<CalendarChannel> {channel("a")};
        model.alertType()->value()->handler()();
        QTRY_COMPARE(m_syncs.size(), 2);
        settle(model);
        QVERIFY(m_calls.contains("authorize"));
        QCOMPARE(model.appState(), AppState::configured);
        QCOMPARE(m_syncs.last(), QStringList {"a"});
    }

    void aRefusedOrFailedSignInFromTheAlert()
    {
        m_calendars = failure(Error::http(403, "scopes"));
        MainViewModel model;
        model.startIfNeeded();
        settle(model);
        m_authorize = false;
        model.alertType()->clear();
        model.reauthorize();
        QTRY_VERIFY(m_calls.contains("authorize"));
        QCoreApplication::processEvents();
        QCOMPARE(m_syncs.size(), 1);
        QVERIFY(!model.alertType()->isSet());

        m_authorize = failure(Error::http(403, "still not"));
        model.reauthorize();
        QTRY_VERIFY(model.alertType()->isSet());
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::authenticationScopesError);
        QCOMPARE(model.appState(), AppState::somethingWrong);
    }

    void aStartWhileOneRunsIsIgnored()
    {
        OneShot gate;
        m_sessionGate = &gate;
        MainViewModel model;
        model.startIfNeeded();
        QVERIFY(model.isStarting());
        model.startIfNeeded();
        model.refresh();
        gate.fire();
        settle(model);
        QCOMPARE(m_calls.count("authSession"), 1);
        QCOMPARE(m_syncs.size(), 1);
    }

    void followAndUnfollow_data()
    {
        QTest::addColumn<QString>("tapped");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QStringList>("cached");
        QTest::newRow("follow") << "a" << false << "addCalendar:a" << QStringList {"a", "b"};
        QTest::newRow("unfollow") << "b" << false << "cleanUp:b" << QStringList();
        QTest::newRow("failing follow") << "a" << true << "addCalendar:a" << QStringList {"a", "b"};
        QTest::newRow("failing unfollow") << "b" << true << "cleanUp:b" << QStringList();
    }

    void followAndUnfollow()
    {
        QFETCH(QString, tapped);
        QFETCH(bool, fails);
        QFETCH(QString, call);
        QFETCH(QStringList, cached);
        m_calendars = QList<GoogleCalendar> {calendar("a"), calendar("b")};
        m_channels = QList<CalendarChannel> {channel("b")};
        MainViewModel model;
        model.startIfNeeded();
        settle(model);
        if (fails)
            m_toggle = failure(Error::http(500, "no channel"));

        model.toggleCalendar(calendar(tapped));
        QCOMPARE(idsOf(m_cache.calendars()), cached);
        QCOMPARE(model.calendars().at(tapped == "a" ? 0 : 1).isSelected, tapped == "a");
        QTRY_VERIFY(m_calls.contains(call));
        QCoreApplication::processEvents();
        QCOMPARE(model.alertType()->isSet(), fails);
        if (fails) {
            QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::simpleError);
            QCOMPARE(m_log->errors().size(), 1);
        }
    }

    void signOutStopsAtTheFirstFailingStep_data()
    {
        QTest::addColumn<int>("failingStep"); // 0: none
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("tracked");
        QTest::newRow("all steps") << 0 << QStringList {"cleanUpAll", "signOut"} << true;
        QTest::newRow("channels fail") << 1 << QStringList {"cleanUpAll"} << false;
        QTest::newRow("sign-out fails") << 2 << QStringList {"cleanUpAll", "signOut"} << false;
    }

    void signOutStopsAtTheFirstFailingStep()
    {
        QFETCH(int, failingStep);
        QFETCH(QStringList, calls);
        QFETCH(bool, tracked);
        MainViewModel model;
        model.startIfNeeded();
        settle(model);
        m_calls.clear();
        if (failingStep == 1)
            m_cleanUpAll = failure(Error::http(500, "stop failed"));
        if (failingStep == 2)
            m_signOut = failure(Error::make(ErrorDomain::keychain, 1, "locked"));
        QSignalSpy finished(&model, &MainViewModel::logoutFinished);
        model.logout();
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toBool(), failingStep == 0);
        QCOMPARE(m_calls, calls);
        QCOMPARE(m_analytics->events().size(), tracked ? 1 : 0);
        if (tracked)
            QCOMPARE(m_analytics->events().first().name, "signOut");
        // Once the channels are stopped, nothing of this account reaches the screens.
        QCOMPARE(model.isSyncing(), failingStep == 1);
        QVERIFY(!model.alertType()->isSet());
        QVERIFY(m_log->errors().isEmpty());
    }

    void aFailingStreamIsLogged()
    {
        MainViewModel model;
        model.startIfNeeded();
        settle(model);
        m_streams.last().continuation().finish(Error::http(500, "relay down"));
        QTRY_COMPARE(m_log->errors().size(), 1);
        QCOMPARE(model.appState(), AppState::configured);
    }
};

TOLVO_TEST_MAIN(MainViewModelTest)
#include "MainViewModelTest.moc"
