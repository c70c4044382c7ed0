#include "services/SyncCalendarsClient.h"

#include "core/Unimplemented.h"

#include "core/Dependencies.h"
#include "core/Requests.h"
#include "platform/LocalCalendarStore.h"

#include <QLoggingCategory>

namespace tolvo {

namespace {
Q_LOGGING_CATEGORY(copierLog, "tolvo.copier")

void logToConsole(const Error &error)
{
    qCCritical(copierLog, "%s", qUtf8Printable(error.describe()));
}

QCoro::Task<VoidResult> googleToLocal(std::shared_ptr<SyncCalendarsSession> session,
    QList<GoogleCalendarChange> changes, std::shared_ptr<LocalCalendarStore> store)
{
    if (!store) {
        co_return failure(
            ErrorDomain::localCalendar, 0, QStringLiteral("There is no local calendar store."));
    }
    co_return session->syncGoogleChangesToLocal(changes, *store);
}

QCoro::Task<VoidResult> localToGoogle(std::shared_ptr<SyncCalendarsSession> session,
    QList<AppleCalendarChange> changes, QString calendarId)
{
    co_return session->syncLocalChangesToGoogle(changes, calendarId);
}
} // namespace

void applyGoogleEvent(const GoogleCalendarEvent &google, LocalEvent &local)
{
    local.title = google.summary.value_or(QString());
    local.notes = google.description;
    local.location = google.location;
    local.isAllDay = google.isAllDay;
    if (google.start)
        local.start = *google.start;
    if (google.end)
        local.end = *google.end;
}

SyncCalendarsSession::SyncCalendarsSession(AppleCalendarClient appleCalendarClient,
    DatabaseClient databaseClient, CacheManager cacheManager, ErrorLogger logError)
    : m_appleCalendarClient(std::move(appleCalendarClient))
    , m_databaseClient(std::move(databaseClient))
    , m_cacheManager(std::move(cacheManager))
    , m_logError(logError ? std::move(logError) : ErrorLogger(logToConsole))
{
}

VoidResult SyncCalendarsSession::syncGoogleChangesToLocal(
    const QList<GoogleCalendarChange> &changes, LocalCalendarStore &store)
{
    // One bad change must not cost the rest of the batch (nor the listener that sent it).
    for (const GoogleCalendarChange &change : changes) {
        const auto applied = change.kind() == GoogleCalendarChange::Kind::deleted
            ? remove(change.event(), store)
            : upsert(change.event(), store);
        if (!applied) {
            Error error = applied.error();
            error.message = QStringLiteral("Copying the change of event %1 failed: %2")
                                .arg(change.event().id, error.message);
            m_logError(error);
        }
    }
    return {};
}

VoidResult SyncCalendarsSession::upsert(const GoogleCalendarEvent &event, LocalCalendarStore &store)
{
    // Added and modified end the same way: events that existed before copying began arrive
    // as modified, and a repeated added must not make a second copy.
    TRY_ASSIGN(const auto mapping, m_databaseClient.retrieveEventMapping(event.id));
    if (mapping) {
        if (auto existing = store.event(mapping->ekEventIdentifier)) {
            applyGoogleEvent(event, *existing);
            TRY_ASSIGN(const LocalEvent saved, store.save(*existing));
            return m_databaseClient.saveEventMapping(saved.identifier, event.id);
        }
        // The copy was removed by hand: make a new one below and point the row at it.
    }
    const auto calendar = m_appleCalendarClient.selectedCalendar();
    if (!calendar)
        return {}; // access without a chosen calendar: nothing to copy into
    LocalEvent local;
    local.calendarId = calendar->identifier;
    applyGoogleEvent(event, local);
    TRY_ASSIGN(const LocalEvent saved, store.save(local));
    if (auto mapped = m_databaseClient.saveEventMapping(saved.identifier, event.id); !mapped) {
        // A copy without a row would be copied again next time: take it back.
        if (auto removed = store.remove(saved.identifier); !removed)
            m_logError(removed.error());
        return mapped;
    }
    return {};
}

VoidResult SyncCalendarsSession::remove(const GoogleCalendarEvent &event, LocalCalendarStore &store)
{
    TRY_ASSIGN(const auto mapping, m_databaseClient.retrieveEventMapping(event.id));
    if (!mapping)
        return {}; // never copied
    if (store.event(mapping->ekEventIdentifier))
        TRY(store.remove(mapping->ekEventIdentifier));
    return m_databaseClient.deleteEventMapping(event.id);
}

VoidResult SyncCalendarsSession::syncLocalChangesToGoogle(
    const QList<AppleCalendarChange> &changes, const QString &calendarId)
{
    const auto calendars = m_cacheManager.calendars();
    const auto calendar = std::find_if(calendars.cbegin(), calendars.cend(),
        [&](const GoogleCalendar &cached) { return cached.id == calendarId; });
    for (const AppleCalendarChange &change : changes) {
        const auto *added = std::get_if<AppleCalendarChange::Added>(&change.value);
        if (!added || calendar == calendars.cend())
            continue;
        CalendarEventRequest request;
        request.title = added->event.title;
        request.description = added->event.notes;
        request.startDate = added->event.start;
        request.endDate = added->event.end;
        request.calendar = *calendar;
        request.location = added->event.location;
        request.isAllDay = added->event.isAllDay;
        Q_UNUSED(request); // nothing is sent in this direction
    }
    return {};
}

SyncCalendarsClient SyncCalendarsClient::over(std::shared_ptr<SyncCalendarsSession> session)
{
    SyncCalendarsClient client;
    client.syncLocalChangesToGoogle
        = [session](const QList<AppleCalendarChange> &changes, const QString &calendarId,
              std::shared_ptr<LocalCalendarStore>) {
              return localToGoogle(session, changes, calendarId);
          };
    client.syncGoogleChangesToLocal
        = [session](const QList<GoogleCalendarChange> &changes, const QString &,
              std::shared_ptr<LocalCalendarStore> store) {
              return googleToLocal(session, changes, std::move(store));
          };
    return client;
}

SyncCalendarsClient SyncCalendarsClient::liveValue()
{
    return over(std::make_shared<SyncCalendarsSession>(Dependencies::current<AppleCalendarClient>(),
        Dependencies::current<DatabaseClient>(), Dependencies::current<CacheManager>(), nullptr));
}

SyncCalendarsClient SyncCalendarsClient::testValue()
{
    constexpr const char *name = "SyncCalendarsClient";
    using Copy = QCoro::Task<VoidResult>(
        const QList<AppleCalendarChange> &, const QString &, std::shared_ptr<LocalCalendarStore>);
    using Apply = QCoro::Task<VoidResult>(
        const QList<GoogleCalendarChange> &, const QString &, std::shared_ptr<LocalCalendarStore>);
    SyncCalendarsClient client;
    client.syncLocalChangesToGoogle = unimplemented<Copy>(name, "syncLocalChangesToGoogle");
    client.syncGoogleChangesToLocal = unimplemented<Apply>(name, "syncGoogleChangesToLocal");
    return client;
}

} // namespace tolvo
