#include "LiveSyncFixture.h"
#include "modules/Main/MainViewModel.h"
#include "modules/Meetings/MeetingsListViewModel.h"
#include "support/ClockedScope.h"
#include "support/TestMain.h"

using namespace tolvo;
using test::LiveSyncFixture;

namespace {
const QString team = QStringLiteral("team@group.calendar.google.com");

QJsonObject meeting(const QString &summary, const QDateTime &start)
{
    return {{"summary", summary},
        {"start", QJsonObject {{"dateTime", start.toString(Qt::ISODate)}}},
        {"end", QJsonObject {{"dateTime", start.addSecs(1800).toString(Qt::ISODate)}}}};
}
} // namespace

// Tolvo quits and starts again over the same database and local calendar while events change
// on Google: the app's own start path (the main screen and the meetings list over the real
// engine on loopback) brings the local copy level with Google, quietly.
class LiveSyncRestartTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<LiveSyncFixture> m_loop;
    std::unique_ptr<MainViewModel> m_main;
    std::unique_ptr<MeetingsListViewModel> m_list;
    std::unique_ptr<test::ClockedScope> m_time;
    QStringList m_notifications;
    QStringList m_ids;

    QDateTime inHours(int hours) const { return m_time->now().addSecs(3600 * hours); }

    QString add(const QString &summary, int inHoursFromNow)
    {
        const QString id = m_loop->google.addEvent(team, meeting(summary, inHours(inHoursFromNow)))
                               .value("id")
                               .toString();
        m_ids.append(id);
        return id;
    }

    void modify(const QString &id, const QString &summary, int inHoursFromNow)
    {
        QJsonObject changes = meeting(summary, inHours(inHoursFromNow));
        // Later than the creation, so that Google's times tell a change from an addition.
        changes.insert("updated", m_time->now().addSecs(60).toString(Qt::ISODate));
        m_loop->google.modifyEvent(team, id, changes);
    }

    bool localCopyMatchesGoogle() const
    {
        return test::localEventLines(*m_loop->store)
            == test::googleEventLines(m_loop->google, team, m_ids);
    }

    // The app's start: the main screen, the list made as soon as the main screen is
    // configured (as the window does), the followed calendars restored from the database.
    void startApp()
    {
        if (!m_loop->session)
            QVERIFY(m_loop->start());
        DependencyScope &scope = m_time->open();
        GoogleClient google = GoogleClient::testValue();
        google.authSession = test::storedLiveSession;
        UserDefaultsClient defaults = UserDefaultsClient::testValue();
        defaults.boolValue = [](const QString &) { return false; };
        AppUpdater updater = AppUpdater::testValue();
        updater.startUpdater = [] {};
        const LoggerClient logger = LoggerClient::recording(m_loop->log);
        scope.set(EventsTimerManager::liveValue())
            .set(CacheManager::liveValue())
            .set(DateManager::liveValue())
            .set(SyncBus::liveValue())
            .set(google)
            .set(GoogleCalendarClient::make({m_loop->google.apiRoot(), m_loop->relayRoot(),
                test::signedInAs(QStringLiteral("live")), logger, QTimeZone::utc()}))
            .set(m_loop->database)
            .set(m_loop->client)
            .set(defaults)
            .set(updater)
            .set(logger)
            .set(AnalyticsManager::recording(std::make_shared<AnalyticsRecorder>()))
            .set(NotificationHandler {
                [this](const QString &title, const QString &, const QString &subtitle) {
                    m_notifications.append(title + ": " + subtitle);
                }});
        m_main = std::make_unique<MainViewModel>();
        connect(m_main.get(), &MainViewModel::appStateChanged, this, [this](AppState state) {
            if (state == AppState::configured && !m_list)
                m_list = std::make_unique<MeetingsListViewModel>();
        });
        m_main->startIfNeeded();
    }

    void quitApp()
    {
        m_list.reset();
        m_main.reset();
        m_time->close();
        QVERIFY(m_loop->stop());
        QTRY_COMPARE(m_loop->subscribers(team), std::size_t(0));
    }

    // A change made with the app running is told: the quiet start ended and the notification
    // handler is the one the list uses.
    void expectALiveChangeToldAlone(const QString &summary)
    {
        add(summary, 5);
        QTRY_COMPARE(m_notifications, QStringList {"New event added: " + summary});
        QTRY_VERIFY(localCopyMatchesGoogle());
    }

private slots:
    void init()
    {
        m_loop = std::make_unique<LiveSyncFixture>();
        QVERIFY(m_loop->ready);
        m_loop->google.addCalendar(team, QStringLiteral("Team"));
        m_time = std::make_unique<test::ClockedScope>();
        m_notifications.clear();
        m_ids.clear();
    }

    void cleanup()
    {
        m_list.reset();
        m_main.reset();
        m_time.reset();
        if (m_loop->session)
            m_loop->stop();
        m_loop.reset();
    }

    void changesWhileClosedReachTheLocalCopyQuietly_data()
    {
        QTest::addColumn<bool>("positionExpires");
        QTest::newRow("stored position") << false;
        // Google forgot the position meanwhile (410): the whole listing reconciles instead.
        QTest::newRow("expired position") << true;
    }

    void changesWhileClosedReachTheLocalCopyQuietly()
    {
        QFETCH(bool, positionExpires);
        const QString standUp = add(QStringLiteral("Stand-up"), 2);
        const QString review = add(QStringLiteral("Review"), 3);
        const QString retro = add(QStringLiteral("Retro"), 4);

        // Following copies what was there before, and tells nothing about it.
        startApp();
        QTRY_COMPARE(m_main->appState(), AppState::configured);
        m_main->toggleCalendar(m_main->calendars().first());
        QTRY_COMPARE(m_loop->subscribers(team), std::size_t(1));
        QTRY_VERIFY(localCopyMatchesGoogle());
        QCOMPARE(test::localEventLines(*m_loop->store).size(), 3);
        expectALiveChangeToldAlone(QStringLiteral("Lunch"));
        quitApp();

        // Closed: one event added, one moved and renamed, one deleted.
        m_notifications.clear();
        add(QStringLiteral("Planning"), 6);
        modify(review, QStringLiteral("Review, moved"), 7);
        m_loop->google.deleteEvent(team, retro);
        if (positionExpires)
            m_loop->google.expireSyncTokens();

        startApp();
        QTRY_COMPARE(m_loop->subscribers(team), std::size_t(1));
        QTRY_VERIFY(localCopyMatchesGoogle());
        QVERIFY(test::localEventLines(*m_loop->store).size() == 4);
        expectALiveChangeToldAlone(QStringLiteral("Coffee"));

        // Every copy is mapped, and only the events Google still has.
        const auto mappings = m_loop->database.eventMappingsOfCalendar(team);
        QVERIFY(mappings);
        QSet<QString> mapped;
        for (const EventMapping &mapping : *mappings)
            mapped.insert(mapping.googleEventId);
        QSet<QString> live(m_ids.cbegin(), m_ids.cend());
        live.remove(retro);
        QCOMPARE(mapped, live);
        QVERIFY(mapped.contains(standUp));
        QVERIFY(m_loop->google.unexpectedRequests().isEmpty());
    }
};

TOLVO_TEST_MAIN(LiveSyncRestartTest)
#include "LiveSyncRestartTest.moc"
