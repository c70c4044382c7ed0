#include "LiveSyncFixture.h"

#include "services/SyncCalendarsClient.h"
#include "support/SyncTestSupport.h"

#include <QDir>
#include <QTest>

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

std::optional<TolvoSide> startTolvoSide(const QString &folder, const QUrl &apiRoot,
    const QUrl &relay, const LoggerClient &logger, SyncTimings timings,
    std::shared_ptr<TimerScheduler> scheduler)
{
    const QDir data(folder);
    TolvoSide side;
    side.store = std::make_shared<LocalCalendarStore>(data.filePath(QStringLiteral("calendars")));
    CalendarAccessPrompt prompt;
    prompt.ask = consent;
    auto local = std::make_shared<AppleCalendarSession>(
        side.store, UserDefaultsClient::atPath(data.filePath(QStringLiteral("settings"))), prompt);
    const auto granted = QCoro::waitFor(local->requestAccess());
    if (!granted || !*granted || side.store->calendars().isEmpty())
        return std::nullopt;
    local->storeCalendar(side.store->calendars().first());
    const AppleCalendarClient apple = AppleCalendarClient::over(local);

    auto opened = AppDatabase::open(data.filePath(QStringLiteral("db.sqlite")));
    if (!opened)
        return std::nullopt;
    side.database = DatabaseClient::over(*opened);
    const SyncCalendarsClient copier
        = SyncCalendarsClient::over(std::make_shared<SyncCalendarsSession>(apple, side.database,
            CacheManager::liveValue(), [logger](const Error &error) { logger.logError(error); }));

    // As the app's: positions are kept in the database, so a restart goes on from them.
    GoogleCalendarClient::Environment google {apiRoot, FakeGoogleCalendar::behindTls(relay),
        signedInAs(QStringLiteral("live")), logger, QTimeZone::utc()};
    google.tokens = SyncTokenStore::over(side.database);
    side.session = CalendarSyncSession::create({GoogleCalendarClient::make(std::move(google)),
        side.database, apple, copier, logger, relay, timings, std::move(scheduler)});
    side.client = GoogleCalendarSyncClient::over(side.session);
    return side;
}

LiveSyncFixture::LiveSyncFixture(SyncTimings timings)
    : backend(relayOptions())
    , m_timings(timings)
{
    if (!google.start() || !backend.start())
        return;
    google.acceptAccessToken(QStringLiteral("live"));
    ready = start();
}

QUrl LiveSyncFixture::relayRoot() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(backend.port()));
}

bool LiveSyncFixture::start()
{
    // Each start has a scheduler of its own, as the app's, on the one clock of the fixture.
    m_scheduler = std::make_shared<TimerScheduler>(
        [skipped = m_skippedMs] { return QDateTime::currentDateTimeUtc().addMSecs(*skipped); });
    auto side = startTolvoSide(folder.path(), google.apiRoot(), relayRoot(),
        LoggerClient::recording(log), m_timings, m_scheduler);
    if (!side)
        return false;
    store = side->store;
    database = side->database;
    session = side->session;
    client = side->client;
    return true;
}

bool LiveSyncFixture::stop()
{
    // A stream for no calendar ends the earlier one and cancels its listeners and monitors,
    // without touching what is stored.
    client.sync({});
    const std::weak_ptr<CalendarSyncSession> engine = session;
    client = {};
    session.reset();
    database = {};
    store.reset();
    return QTest::qWaitFor([&engine] { return engine.expired(); }, 5000);
}

void LiveSyncFixture::skipAhead(std::chrono::milliseconds duration)
{
    *m_skippedMs += duration.count();
    if (m_scheduler)
        m_scheduler->checkNow();
}

std::shared_ptr<LiveSyncFixture::Received> LiveSyncFixture::open(const QStringList &calendarIds)
{
    return collect(client.sync(calendarIds));
}

namespace {
QString eventLine(const QString &summary, const QDateTime &start, const QDateTime &end)
{
    return QStringLiteral("%1 | %2 | %3")
        .arg(summary, start.toUTC().toString(Qt::ISODate), end.toUTC().toString(Qt::ISODate));
}

QDateTime googleMoment(const QJsonObject &boundary)
{
    return QDateTime::fromString(
        boundary.value(QStringLiteral("dateTime")).toString(), Qt::ISODate);
}
} // namespace

QCoro::Task<Result<std::shared_ptr<AuthorizationSession>>> storedLiveSession()
{
    co_return sessionWithToken(QStringLiteral("live"));
}

QStringList googleEventLines(
    const FakeGoogleCalendar &google, const QString &calendarId, const QStringList &ids)
{
    QStringList lines;
    for (const QString &id : ids) {
        const QJsonObject event = google.event(calendarId, id);
        if (event.isEmpty() || event.value(QStringLiteral("status")).toString() == u"cancelled")
            continue;
        lines.append(eventLine(event.value(QStringLiteral("summary")).toString(),
            googleMoment(event.value(QStringLiteral("start")).toObject()),
            googleMoment(event.value(QStringLiteral("end")).toObject())));
    }
    lines.sort();
    return lines;
}

QStringList localEventLines(LocalCalendarStore &store)
{
    QStringList lines;
    const QDateTime first(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    for (const LocalEvent &event : store.events(first, first.addYears(9000)))
        lines.append(eventLine(event.title, event.start, event.end));
    lines.sort();
    return lines;
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
