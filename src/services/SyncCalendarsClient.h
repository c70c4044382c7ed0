#pragma once

#include "core/CalendarChanges.h"
#include "core/Clock.h"
#include "core/LocalEvent.h"
#include "core/Result.h"
#include "services/AppleCalendarClient.h"
#include "services/CacheManager.h"
#include "services/DatabaseClient.h"

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <memory>

namespace tolvo {

class LocalCalendarStore;

// Copies the Google event's fields onto a local event: title, notes, location, the all-day
// flag and the series' rule lines always; start and end only when the Google event has them; a
// series' zone; a single event has no changed occurrences.
void applyGoogleEvent(const GoogleCalendarEvent &google, LocalEvent &local);

// The UID of the local copy of a Google event: derived from the calendar and the event, so a
// copy whose mapping row was lost (a crash between the two writes) is found and adopted rather
// than made twice.
QString copyIdentifier(const QString &googleCalendarId, const QString &googleEventId);

// Applies Google changes to the chosen local calendar through the event-mapping rows. A copy
// that fails is logged, kept in the journal of the database and tried again later.
class SyncCalendarsSession
{
public:
    using ErrorLogger = std::function<void(const Error &)>;

    SyncCalendarsSession(AppleCalendarClient appleCalendarClient, DatabaseClient databaseClient,
        CacheManager cacheManager, ErrorLogger logError, Clock clock = systemClock());

    // Every change in order; one that fails is journaled and the rest still run. Added and
    // modified both make sure the local copy exists and holds the Google event's fields;
    // deleted removes the copy and its mapping. Without a chosen calendar new copies are
    // skipped quietly. Fails (CalendarSyncError eventSyncFailed) when a change could not be
    // copied but was journaled; with another error when even the journal failed.
    VoidResult syncGoogleChangesToLocal(const QList<GoogleCalendarChange> &changes,
        const QString &calendarId, LocalCalendarStore &store);
    // A whole listing of the calendar: every listed event is applied and the copies of its
    // events that are no longer listed are removed. Fails as syncGoogleChangesToLocal.
    VoidResult reconcileGoogleEventsToLocal(const QList<GoogleCalendarEvent> &events,
        const QString &calendarId, LocalCalendarStore &store);
    // Tries the journaled copies that are due; answers when the next one is due (nothing when
    // the journal is empty).
    Result<std::optional<QDateTime>> retryPendingCopies(LocalCalendarStore &store);
    // Forms the Google requests for local additions and drops them: the local-to-Google
    // direction sends nothing.
    VoidResult syncLocalChangesToGoogle(
        const QList<AppleCalendarChange> &changes, const QString &calendarId);

    // The wait before the n-th retry of a failed copy (n from 1): doubling from 30 s to 1 h.
    static std::chrono::seconds retryDelay(int attempts);

private:
    VoidResult apply(
        const GoogleCalendarEvent &event, const QString &calendarId, LocalCalendarStore &store);
    VoidResult upsert(
        const GoogleCalendarEvent &event, const QString &calendarId, LocalCalendarStore &store);
    // A changed occurrence becomes an override in its series' copy, a cancelled one an
    // excluded date; a cancelled one whose series has no copy is done.
    VoidResult applyOccurrence(
        const GoogleCalendarEvent &event, const QString &calendarId, LocalCalendarStore &store);
    // Whether the journal holds a copy of the event still to be made.
    Result<bool> awaitsCopy(const QString &googleEventId, const QString &calendarId);
    VoidResult remove(const QString &googleEventId, const QString &calendarId,
        const std::optional<QString> &mappedIdentifier, LocalCalendarStore &store);
    // Applies each event, journaling the failures; `journaled` lists what the journal held.
    VoidResult applyAll(const QList<GoogleCalendarEvent> &events, const QString &calendarId,
        LocalCalendarStore &store);
    VoidResult journal(const GoogleCalendarEvent &event, const QString &calendarId,
        const Error &error, int previousAttempts);

    AppleCalendarClient m_appleCalendarClient;
    DatabaseClient m_databaseClient;
    CacheManager m_cacheManager;
    ErrorLogger m_logError;
    Clock m_clock;
};

// Copies Google changes into the chosen local calendar.
struct SyncCalendarsClient
{
    static constexpr const char *dependencyKey = "syncCalendarsClient";

    std::function<QCoro::Task<VoidResult>(const QList<AppleCalendarChange> &changes,
        const QString &calendarId, std::shared_ptr<LocalCalendarStore> eventStore)>
        syncLocalChangesToGoogle;
    // Every followed calendar is copied into the one chosen local calendar; the calendar id
    // names where each copy came from.
    std::function<QCoro::Task<VoidResult>(const QList<GoogleCalendarChange> &changes,
        const QString &calendarId, std::shared_ptr<LocalCalendarStore> eventStore)>
        syncGoogleChangesToLocal;

    // A whole listing of the calendar (see SyncCalendarsSession).
    std::function<QCoro::Task<VoidResult>(const QList<GoogleCalendarEvent> &events,
        const QString &calendarId, std::shared_ptr<LocalCalendarStore> eventStore)>
        reconcileGoogleEventsToLocal;
    // Retries the journaled copies that are due; answers when the next one is due.
    std::function<QCoro::Task<Result<std::optional<QDateTime>>>(
        std::shared_ptr<LocalCalendarStore> eventStore)>
        retryPendingCopies;

    static SyncCalendarsClient over(std::shared_ptr<SyncCalendarsSession> session);

    // Over the container's local calendar, database, caches and logger.
    static SyncCalendarsClient liveValue();
    static SyncCalendarsClient testValue();
    static SyncCalendarsClient previewValue() { return liveValue(); }
};

} // namespace tolvo
