#include "LiveSyncFixture.h"

#include "services/SyncCalendarsClient.h"
#include "support/SyncTestSupport.h"

namespace tolvo::test {

namespace {
backend::BackendOptions relayOptions()
{
    backend::BackendOptions options;
    options.port = 0;
    options.keepAlivePeriod = std::chrono::milliseconds(200);
    options.log = [](std::string_view) {};
    return options;
}

QCoro::Task<Result<bool>> consent()
{
    co_return true;
}
} // namespace

LiveSyncFixture::LiveSyncFixture(SyncTimings timings)
    : backend(relayOptions())
{
    if (!google.start() || !backend.start())
        return;
    google.acceptAccessToken(QStringLiteral("live"));
    const QUrl relay(QStringLiteral("http://127.0.0.1:%1").arg(backend.port()));

    const auto current = signedInAs(QStringLiteral("live"));
    const LoggerClient logger = LoggerClient::recording(log);

    store = std::make_shared<LocalCalendarStore>(folder.filePath(QStringLiteral("calendars")));
    CalendarAccessPrompt prompt;
    prompt.ask = consent;
    auto local = std::make_shared<AppleCalendarSession>(
        store, UserDefaultsClient::atPath(folder.filePath(QStringLiteral("settings"))), prompt);
    const auto granted = QCoro::waitFor(local->requestAccess());
    if (!granted || !*granted || store->calendars().isEmpty())
        return;
    local->storeCalendar(store->calendars().first());
    const AppleCalendarClient apple = AppleCalendarClient::over(local);

    auto opened = AppDatabase::open(folder.filePath(QStringLiteral("db.sqlite")));
    if (!opened)
        return;
    database = DatabaseClient::over(*opened);
    const SyncCalendarsClient copier
        = SyncCalendarsClient::over(std::make_shared<SyncCalendarsSession>(apple, database,
            CacheManager::liveValue(), [logger](const Error &error) { logger.logError(error); }));

    session = CalendarSyncSession::create(
        {GoogleCalendarClient::make({google.apiRoot(), relay, current, logger, QTimeZone::utc()}),
            database, apple, copier, logger, relay, timings, std::make_shared<TimerScheduler>()});
    client = GoogleCalendarSyncClient::over(session);
    ready = true;
}

std::shared_ptr<LiveSyncFixture::Received> LiveSyncFixture::open(const QStringList &calendarIds)
{
    return collect(client.sync(calendarIds));
}

QList<GoogleCalendarChange> changesOf(
    const Collected<CalendarSyncUpdate> &received, const QString &calendarId)
{
    QList<GoogleCalendarChange> changes;
    for (const auto &item : received.items) {
        if (const auto *google = item.google(); google && google->calendarId == calendarId)
            changes.append(google->changes);
    }
    return changes;
}

QList<CalendarChannel> LiveSyncFixture::rows() const
{
    return database.calendarChannels().value_or(QList<CalendarChannel>());
}

QList<LocalEvent> LiveSyncFixture::localEvents() const
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return store->events(now.addDays(-30), now.addDays(30));
}

} // namespace tolvo::test
