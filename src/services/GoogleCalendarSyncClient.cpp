#include "services/GoogleCalendarSyncClient.h"

#include "core/Unimplemented.h"

#include "core/Endpoints.h"

namespace tolvo {

GoogleCalendarSyncClient GoogleCalendarSyncClient::over(CalendarSyncSession::Ptr session)
{
    GoogleCalendarSyncClient client;
    client.sync = [session](const QStringList &calendarIds) {
        return CalendarSyncSession::sync(session, calendarIds);
    };
    client.cleanUp = [session](const QString &calendarId) {
        return CalendarSyncSession::cleanUp(session, calendarId);
    };
    client.cleanUpAll = [session] { return CalendarSyncSession::cleanUpAll(session); };
    client.addCalendar = [session](const QString &calendarId) {
        return CalendarSyncSession::addCalendar(session, calendarId);
    };
    return client;
}

CalendarSyncSession::Services GoogleCalendarSyncClient::services()
{
    return {Dependencies::current<GoogleCalendarClient>(), Dependencies::current<DatabaseClient>(),
        Dependencies::current<AppleCalendarClient>(), Dependencies::current<SyncCalendarsClient>(),
        Dependencies::current<LoggerClient>(), Dependencies::current<Endpoints>().backendBase,
        SyncTimings {}, Dependencies::current<std::shared_ptr<TimerScheduler>>()};
}

GoogleCalendarSyncClient GoogleCalendarSyncClient::liveValue()
{
    return over(CalendarSyncSession::create(services()));
}

GoogleCalendarSyncClient GoogleCalendarSyncClient::testValue()
{
    constexpr const char *name = "GoogleCalendarSyncClient";
    GoogleCalendarSyncClient client;
    client.sync = unimplemented<SyncStream(const QStringList &)>(name, "sync");
    client.cleanUp = unimplemented<QCoro::Task<VoidResult>(const QString &)>(name, "cleanUp");
    client.cleanUpAll = unimplemented<QCoro::Task<VoidResult>()>(name, "cleanUpAll");
    client.addCalendar
        = unimplemented<QCoro::Task<VoidResult>(const QString &)>(name, "addCalendar");
    return client;
}

} // namespace tolvo
