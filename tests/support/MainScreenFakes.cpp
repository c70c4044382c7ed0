#include "MainScreenFakes.h"

#include "SyncTestSupport.h"

#include "core/StartTask.h"

namespace tolvo::test {

namespace {
QCoro::Task<VoidResult> signedOut(std::shared_ptr<Subject<bool>> changed)
{
    changed->send(false);
    co_return VoidResult();
}
} // namespace

MainScreenFakes::MainScreenFakes()
{
    GoogleClient google = GoogleClient::testValue();
    google.authSession = [] {
        return readyTask<Result<std::shared_ptr<AuthorizationSession>>>(
            sessionWithToken(QStringLiteral("t")));
    };
    google.signOut = [this] {
        ++signOuts;
        syncCallsAtSignOut = syncCalls;
        return signedOut(authorizationChanged);
    };
    google.listenAuthorizationChanged = authorizationChanged->publisher();

    GoogleCalendarClient calendars = GoogleCalendarClient::testValue();
    calendars.fetchCalendarList
        = [this](std::shared_ptr<AuthorizationSession>) { return readyTask(calendarList); };

    DatabaseClient database = DatabaseClient::testValue();
    database.calendarChannels = [this]() -> Result<QList<CalendarChannel>> {
        QList<CalendarChannel> rows;
        for (const QString &id : std::as_const(channelCalendarIds)) {
            CalendarChannel row;
            row.calendarId = id;
            rows.append(row);
        }
        return rows;
    };

    GoogleCalendarSyncClient sync = GoogleCalendarSyncClient::testValue();
    sync.sync = [this](const QStringList &ids) {
        syncCalls.append(QStringLiteral("sync:") + ids.join(QLatin1Char(',')));
        // Like the engine: a new stream ends the one before, and with it its consumer.
        if (m_stream)
            m_stream->continuation().finish();
        m_stream = SyncStream();
        return *m_stream;
    };
    sync.addCalendar = [this](const QString &id) {
        syncCalls.append(QStringLiteral("add:") + id);
        return readyTask(VoidResult());
    };
    sync.cleanUp = [this](const QString &id) {
        syncCalls.append(QStringLiteral("cleanUp:") + id);
        return readyTask(VoidResult());
    };
    sync.cleanUpAll = [this] {
        syncCalls.append(QStringLiteral("cleanUpAll"));
        return readyTask(VoidResult());
    };

    AppUpdater updater;
    updater.startUpdater = [this] { ++updaterStarts; };
    updater.checkForUpdates = [] {};
    updater.canCheckForUpdatesPublisher = Publisher<bool>::just({false});
    updater.updateCheckResults = Publisher<UpdateCheckResult>::just({});

    m_scope.set(google)
        .set(calendars)
        .set(database)
        .set(sync)
        .set(updater)
        .set(cache)
        .set(dates)
        .set(AnalyticsManager::recording(analytics))
        .set(LoggerClient::recording(log));
}

GoogleCalendar MainScreenFakes::calendar(
    const QString &id, const QString &summary, std::optional<QString> color)
{
    GoogleCalendar result;
    result.id = id;
    result.summary = summary;
    result.backgroundColor = color;
    result.accessRole = QStringLiteral("owner");
    return result;
}

} // namespace tolvo::test
