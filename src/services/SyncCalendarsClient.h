#pragma once

#include "core/CalendarChanges.h"
#include "core/LocalEvent.h"
#include "core/Result.h"
#include "services/AppleCalendarClient.h"
#include "services/CacheManager.h"
#include "services/DatabaseClient.h"

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>

namespace tolvo {

class LocalCalendarStore;

// Copies the Google event's fields onto a local event: title, notes, location and the all-day
// flag always; start and end only when the Google event has them.
void applyGoogleEvent(const GoogleCalendarEvent &google, LocalEvent &local);

// Applies Google changes to the chosen local calendar through the event-mapping rows.
class SyncCalendarsSession
{
public:
    using ErrorLogger = std::function<void(const Error &)>;

    SyncCalendarsSession(AppleCalendarClient appleCalendarClient, DatabaseClient databaseClient,
        CacheManager cacheManager, ErrorLogger logError);

    // Every change in order; one that fails is logged and the rest still run. Added and
    // modified both make sure the local copy exists and holds the Google event's fields;
    // deleted removes the copy and its mapping. Without a chosen calendar new copies are
    // skipped quietly.
    VoidResult syncGoogleChangesToLocal(
        const QList<GoogleCalendarChange> &changes, LocalCalendarStore &store);
    // Forms the Google requests for local additions and drops them: the local-to-Google
    // direction sends nothing.
    VoidResult syncLocalChangesToGoogle(
        const QList<AppleCalendarChange> &changes, const QString &calendarId);

private:
    VoidResult upsert(const GoogleCalendarEvent &event, LocalCalendarStore &store);
    VoidResult remove(const GoogleCalendarEvent &event, LocalCalendarStore &store);

    AppleCalendarClient m_appleCalendarClient;
    DatabaseClient m_databaseClient;
    CacheManager m_cacheManager;
    ErrorLogger m_logError;
};

// Copies Google changes into the chosen local calendar.
struct SyncCalendarsClient
{
    static constexpr const char *dependencyKey = "syncCalendarsClient";

    std::function<QCoro::Task<VoidResult>(const QList<AppleCalendarChange> &changes,
        const QString &calendarId, std::shared_ptr<LocalCalendarStore> eventStore)>
        syncLocalChangesToGoogle;
    // The calendar id is not used: every followed calendar is copied into the one chosen
    // local calendar.
    std::function<QCoro::Task<VoidResult>(const QList<GoogleCalendarChange> &changes,
        const QString &calendarId, std::shared_ptr<LocalCalendarStore> eventStore)>
        syncGoogleChangesToLocal;

    static SyncCalendarsClient over(std::shared_ptr<SyncCalendarsSession> session);

    // Over the container's local calendar, database and caches.
    static SyncCalendarsClient liveValue();
    static SyncCalendarsClient testValue();
    static SyncCalendarsClient previewValue() { return liveValue(); }
};

} // namespace tolvo
