#include "services/SyncCalendarsClient.h"

#include "core/Unimplemented.h"

#include "core/Dependencies.h"
#include "core/LogCategories.h"
#include "core/Requests.h"
#include "platform/IcsEvent.h"
#include "platform/LocalCalendarStore.h"

#include "core/DateHelpers.h"
#include "services/LoggerClient.h"

#include <QSet>

namespace tolvo {

namespace {
Error noStore()
{
    return Error::make(
        ErrorDomain::localCalendar, 0, QStringLiteral("There is no local calendar store."));
}

QCoro::Task<VoidResult> googleToLocal(std::shared_ptr<SyncCalendarsSession> session,
    QList<GoogleCalendarChange> changes, QString calendarId,
    std::shared_ptr<LocalCalendarStore> store)
{
    if (!store)
        co_return failure(noStore());
    co_return session->syncGoogleChangesToLocal(changes, calendarId, *store);
}

QCoro::Task<VoidResult> reconcile(std::shared_ptr<SyncCalendarsSession> session,
    QList<GoogleCalendarEvent> events, QString calendarId,
    std::shared_ptr<LocalCalendarStore> store)
{
    if (!store)
        co_return failure(noStore());
    co_return session->reconcileGoogleEventsToLocal(events, calendarId, *store);
}

QCoro::Task<Result<std::optional<QDateTime>>> retryPending(
    std::shared_ptr<SyncCalendarsSession> session, std::shared_ptr<LocalCalendarStore> store)
{
    if (!store)
        co_return failure(noStore());
    co_return session->retryPendingCopies(*store);
}

QCoro::Task<VoidResult> localToGoogle(std::shared_ptr<SyncCalendarsSession> session,
    QList<AppleCalendarChange> changes, QString calendarId)
{
    co_return session->syncLocalChangesToGoogle(changes, calendarId);
}

bool isDeletion(const GoogleCalendarEvent &event)
{
    return event.status == GoogleCalendarEventStatus::cancelled;
}

// The rule line that leaves out the occurrence a series had at `originalStart`.
QString exclusionLine(const QDateTime &originalStart, bool allDay, const QTimeZone &localZone)
{
    if (allDay) {
        return QStringLiteral("EXDATE;VALUE=DATE:")
            + originalStart.toTimeZone(localZone).date().toString(QStringLiteral("yyyyMMdd"));
    }
    return QStringLiteral("EXDATE:")
        + originalStart.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

// An occurrence the copy overrides is shown, so no excluded date may hide it as well (readers
// that honour EXDATE would). The lines compare in the form the store keeps them in.
void unexcludeOverrides(LocalEvent &event, const QTimeZone &localZone)
{
    for (const LocalOccurrence &occurrence : std::as_const(event.overrides)) {
        const LocalEvent excluded = ics::storedForm(LocalEvent {
            .recurrence = {exclusionLine(occurrence.recurrenceId, event.isAllDay, localZone)}});
        event.recurrence.removeAll(excluded.recurrence.value(0));
    }
}

// The copies of one Google calendar share a prefix, so the copies it no longer has can be
// found even when their mapping rows were lost.
QString copyPrefix(const QString &googleCalendarId)
{
    return QStringLiteral("tolvo-") + sha256Hex(googleCalendarId).left(16) + QLatin1Char('-');
}

QList<LocalEvent> everyEvent(LocalCalendarStore &store)
{
    return store.events(QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(9999, 12, 31), QTime(0, 0), Qt::UTC));
}
} // namespace

QString copyIdentifier(const QString &googleCalendarId, const QString &googleEventId)
{
    return copyPrefix(googleCalendarId)
        + sha256Hex(googleCalendarId + QLatin1Char('\n') + googleEventId).left(32);
}

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
    // A series repeats on its zone's wall clock, so its copy is written in that zone.
    local.recurrence = google.recurrence;
    if (google.isSeriesMaster())
        local.timeZone = google.startTimeZone.value_or(QString());
    else
        local.overrides.clear();
}

SyncCalendarsSession::SyncCalendarsSession(AppleCalendarClient appleCalendarClient,
    DatabaseClient databaseClient, CacheManager cacheManager, ErrorLogger logError, Clock clock)
    : m_appleCalendarClient(std::move(appleCalendarClient))
    , m_databaseClient(std::move(databaseClient))
    , m_cacheManager(std::move(cacheManager))
    , m_logError(logError ? std::move(logError)
                          : ErrorLogger(Dependencies::current<LoggerClient>().logError))
    , m_clock(std::move(clock))
{
}

std::chrono::seconds SyncCalendarsSession::retryDelay(int attempts)
{
    const int doublings = std::clamp(attempts - 1, 0, 7);
    return std::min(std::chrono::seconds(30) * (1 << doublings), std::chrono::seconds(3600));
}

VoidResult SyncCalendarsSession::syncGoogleChangesToLocal(
    const QList<GoogleCalendarChange> &changes, const QString &calendarId,
    LocalCalendarStore &store)
{
    QList<GoogleCalendarEvent> events;
    events.reserve(changes.size());
    for (const GoogleCalendarChange &change : changes) {
        GoogleCalendarEvent event = change.event();
        if (change.kind() == GoogleCalendarChange::Kind::deleted)
            event.status = GoogleCalendarEventStatus::cancelled;
        events.append(std::move(event));
    }
    return applyAll(events, calendarId, store);
}

VoidResult SyncCalendarsSession::reconcileGoogleEventsToLocal(
    const QList<GoogleCalendarEvent> &events, const QString &calendarId, LocalCalendarStore &store)
{
    const VoidResult applied = applyAll(events, calendarId, store);

    QSet<QString> listed;
    QSet<QString> wantedCopies;
    for (const GoogleCalendarEvent &event : events) {
        listed.insert(event.id);
        if (!isDeletion(event) && !event.isInstance())
            wantedCopies.insert(copyIdentifier(calendarId, event.id));
    }
    QList<GoogleCalendarEvent> gone;
    QSet<QString> goneIds;
    const auto goneUnlessListed = [&](const QString &googleEventId) {
        if (listed.contains(googleEventId) || goneIds.contains(googleEventId))
            return;
        goneIds.insert(googleEventId);
        GoogleCalendarEvent removed;
        removed.id = googleEventId;
        removed.status = GoogleCalendarEventStatus::cancelled;
        gone.append(removed);
    };
    TRY_ASSIGN(
        const QList<EventMapping> mappings, m_databaseClient.eventMappingsOfCalendar(calendarId));
    for (const EventMapping &mapping : mappings)
        goneUnlessListed(mapping.googleEventId);
    // A failed copy of an event the calendar no longer has must not be retried into a copy.
    TRY_ASSIGN(const QList<PendingCopy> pending, m_databaseClient.pendingCopies());
    for (const PendingCopy &entry : pending) {
        if (entry.calendarId == calendarId)
            goneUnlessListed(entry.googleEventId);
    }
    VoidResult removedGone = applyAll(gone, calendarId, store);
    // Copies whose mapping row never got written: nothing but their UID ties them to the
    // calendar.
    const QString prefix = copyPrefix(calendarId);
    for (const LocalEvent &local : everyEvent(store)) {
        if (local.identifier.startsWith(prefix) && !wantedCopies.contains(local.identifier)) {
            if (auto removed = store.remove(local.identifier); !removed) {
                m_logError(removed.error());
                if (removedGone)
                    removedGone = removed;
            }
        }
    }
    if (!applied)
        return applied;
    return removedGone;
}

Result<std::optional<QDateTime>> SyncCalendarsSession::retryPendingCopies(LocalCalendarStore &store)
{
    TRY_ASSIGN(const QList<PendingCopy> pending, m_databaseClient.pendingCopies());
    const QDateTime now = m_clock();
    std::optional<QDateTime> next;
    const auto due = [&next](const QDateTime &moment) {
        if (!next || moment < *next)
            next = moment;
    };
    for (const PendingCopy &entry : pending) {
        if (entry.nextAttempt.isValid() && entry.nextAttempt > now) {
            due(entry.nextAttempt);
            continue;
        }
        const auto event = GoogleCalendarEvent::fromJson(entry.event);
        if (!event) {
            m_logError(event.error());
            TRY(m_databaseClient.deletePendingCopy(entry.googleEventId));
            continue;
        }
        if (const VoidResult applied = apply(*event, entry.calendarId, store); applied) {
            TRY(m_databaseClient.deletePendingCopy(entry.googleEventId));
            continue;
        } else {
            TRY(journal(*event, entry.calendarId, applied.error(), entry.attempts));
        }
        due(now.addSecs(retryDelay(entry.attempts + 1).count()));
    }
    return next;
}

VoidResult SyncCalendarsSession::applyAll(const QList<GoogleCalendarEvent> &listedEvents,
    const QString &calendarId, LocalCalendarStore &store)
{
    if (listedEvents.isEmpty())
        return {};
    // A series' copy before its changed and cancelled occurrences, which go into it.
    QList<GoogleCalendarEvent> events = listedEvents;
    std::stable_partition(events.begin(), events.end(),
        [](const GoogleCalendarEvent &event) { return !event.isInstance(); });
    TRY_ASSIGN(const QList<PendingCopy> pending, m_databaseClient.pendingCopies());
    QHash<QString, int> attempts;
    for (const PendingCopy &entry : pending)
        attempts.insert(entry.googleEventId, entry.attempts);

    int failed = 0;
    std::optional<Error> journalFailure;
    // One bad change must not cost the rest of the batch (nor the listener that sent it).
    for (const GoogleCalendarEvent &event : events) {
        const VoidResult applied = apply(event, calendarId, store);
        if (applied) {
            // A newer state of the event went through: the older one must not come back.
            if (attempts.contains(event.id)) {
                if (auto cleared = m_databaseClient.deletePendingCopy(event.id); !cleared)
                    journalFailure = cleared.error();
            }
            continue;
        }
        ++failed;
        Error error = applied.error();
        error.message = QStringLiteral("Copying the change of event %1 failed: %2")
                            .arg(event.id, error.message);
        m_logError(error);
        if (auto kept = journal(event, calendarId, error, attempts.value(event.id)); !kept) {
            m_logError(kept.error());
            journalFailure = kept.error();
        }
    }
    if (journalFailure)
        return failure(*journalFailure);
    if (failed > 0) {
        return failure(CalendarSyncError {CalendarSyncError::Kind::eventSyncFailed,
            QStringLiteral("%1 of %2 changes could not be copied; they will be tried again.")
                .arg(failed)
                .arg(events.size())}
                           .toError());
    }
    return {};
}

VoidResult SyncCalendarsSession::journal(const GoogleCalendarEvent &event,
    const QString &calendarId, const Error &, int previousAttempts)
{
    PendingCopy entry;
    entry.googleEventId = event.id;
    entry.calendarId = calendarId;
    entry.event = event.toJson();
    entry.attempts = previousAttempts + 1;
    entry.nextAttempt = m_clock().addSecs(retryDelay(entry.attempts).count());
    return m_databaseClient.storePendingCopy(entry);
}

VoidResult SyncCalendarsSession::apply(
    const GoogleCalendarEvent &event, const QString &calendarId, LocalCalendarStore &store)
{
    if (event.isInstance())
        return applyOccurrence(event, calendarId, store);
    if (!isDeletion(event))
        return upsert(event, calendarId, store);
    TRY_ASSIGN(const auto mapping, m_databaseClient.retrieveEventMapping(event.id));
    return remove(event.id, calendarId,
        mapping ? std::optional<QString>(mapping->ekEventIdentifier) : std::nullopt, store);
}

VoidResult SyncCalendarsSession::upsert(
    const GoogleCalendarEvent &event, const QString &calendarId, LocalCalendarStore &store)
{
    // Added and modified end the same way: events that existed before copying began arrive
    // as modified, and a repeated added must not make a second copy.
    TRY_ASSIGN(const auto mapping, m_databaseClient.retrieveEventMapping(event.id));
    QStringList candidates;
    if (mapping)
        candidates.append(mapping->ekEventIdentifier);
    candidates.append(copyIdentifier(calendarId, event.id));
    for (const QString &identifier : std::as_const(candidates)) {
        const auto existing = store.event(identifier);
        if (!existing)
            continue;
        LocalEvent updated = *existing;
        applyGoogleEvent(event, updated);
        // As the store will read it back: a copy Google did not change is not written again.
        updated = ics::storedForm(std::move(updated));
        // Occurrences cancelled one by one are not in the series' own rules: they stay.
        if (event.isSeriesMaster()) {
            for (const QString &line : existing->recurrence) {
                if (line.startsWith(QLatin1String("EXDATE")) && !updated.recurrence.contains(line))
                    updated.recurrence.append(line);
            }
            unexcludeOverrides(updated, store.localZone());
        }
        const bool mapped = mapping && mapping->ekEventIdentifier == existing->identifier;
        if (updated == *existing && mapped)
            return {}; // already up to date: no write, and no change for other readers
        if (!(updated == *existing)) {
            TRY(store.save(updated));
            qCDebug(lcStore, "Copy %s of %s updated", qUtf8Printable(existing->identifier),
                qUtf8Printable(event.id));
        }
        return m_databaseClient.saveCalendarEventMapping(
            existing->identifier, event.id, calendarId);
    }
    // Never copied, or the copy was removed by hand: make one and point the row at it.
    const auto calendar = m_appleCalendarClient.selectedCalendar();
    if (!calendar)
        return {}; // access without a chosen calendar: nothing to copy into
    LocalEvent local;
    local.identifier = copyIdentifier(calendarId, event.id);
    local.calendarId = calendar->identifier;
    applyGoogleEvent(event, local);
    TRY_ASSIGN(const LocalEvent saved, store.save(local));
    qCDebug(lcStore, "Copy %s of %s written", qUtf8Printable(saved.identifier),
        qUtf8Printable(event.id));
    return m_databaseClient.saveCalendarEventMapping(saved.identifier, event.id, calendarId);
}

VoidResult SyncCalendarsSession::applyOccurrence(
    const GoogleCalendarEvent &event, const QString &calendarId, LocalCalendarStore &store)
{
    const QString seriesId = event.recurringEventId.value_or(QString());
    if (!event.originalStartTime) {
        return failure(ErrorDomain::invalidInput, 0,
            QStringLiteral("The occurrence %1 has no original start.").arg(event.id));
    }
    TRY_ASSIGN(const auto mapping, m_databaseClient.retrieveEventMapping(seriesId));
    std::optional<LocalEvent> series;
    for (const QString &identifier :
        {mapping ? mapping->ekEventIdentifier : QString(), copyIdentifier(calendarId, seriesId)}) {
        if (!identifier.isEmpty() && (series = store.event(identifier)))
            break;
    }
    if (!series) {
        if (!m_appleCalendarClient.selectedCalendar())
            return {}; // the series is not copied either
        // Without a copy of its series a cancelled occurrence has nothing left to hide (the
        // series was deleted with it, or never copied), unless the series' copy is waiting in
        // the journal: made later, it would show the occurrence again.
        if (isDeletion(event)) {
            TRY_ASSIGN(const bool seriesWaits, awaitsCopy(seriesId, calendarId));
            if (!seriesWaits)
                return {};
        }
        return failure(ErrorDomain::localCalendar, LocalCalendarStore::eventNotFound,
            QStringLiteral("The series of occurrence %1 has no copy yet.").arg(event.id));
    }
    // The occurrence is keyed by the start it had in the series' rule.
    const QDateTime original = *event.originalStartTime;
    LocalEvent updated = *series;
    updated.overrides.removeIf(
        [&](const LocalOccurrence &occurrence) { return occurrence.recurrenceId == original; });
    if (isDeletion(event)) {
        updated.recurrence.append(exclusionLine(original, series->isAllDay, store.localZone()));
    } else {
        const QDateTime start = event.start.value_or(original);
        updated.overrides.append(LocalOccurrence {original, event.summary.value_or(QString()),
            start, event.end.value_or(start), event.location, event.description});
    }
    updated = ics::storedForm(std::move(updated));
    updated.recurrence.removeDuplicates();
    // A restored occurrence comes back as an override: the date its cancellation excluded goes.
    unexcludeOverrides(updated, store.localZone());
    if (updated == *series)
        return {};
    TRY(store.save(updated));
    qCDebug(lcStore, "Copy %s updated for the occurrence %s", qUtf8Printable(updated.identifier),
        qUtf8Printable(event.id));
    return {};
}

Result<bool> SyncCalendarsSession::awaitsCopy(
    const QString &googleEventId, const QString &calendarId)
{
    TRY_ASSIGN(const QList<PendingCopy> pending, m_databaseClient.pendingCopies());
    for (const PendingCopy &entry : pending) {
        if (entry.googleEventId != googleEventId || entry.calendarId != calendarId)
            continue;
        const auto event = GoogleCalendarEvent::fromJson(entry.event);
        return event && !isDeletion(*event);
    }
    return false;
}

VoidResult SyncCalendarsSession::remove(const QString &googleEventId, const QString &calendarId,
    const std::optional<QString> &mappedIdentifier, LocalCalendarStore &store)
{
    QStringList candidates;
    if (mappedIdentifier)
        candidates.append(*mappedIdentifier);
    candidates.append(copyIdentifier(calendarId, googleEventId));
    for (const QString &identifier : std::as_const(candidates)) {
        if (store.event(identifier)) {
            TRY(store.remove(identifier));
            qCDebug(lcStore, "Copy %s of %s removed", qUtf8Printable(identifier),
                qUtf8Printable(googleEventId));
        }
    }
    return m_databaseClient.deleteEventMapping(googleEventId);
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
        = [session](const QList<GoogleCalendarChange> &changes, const QString &calendarId,
              std::shared_ptr<LocalCalendarStore> store) {
              return googleToLocal(session, changes, calendarId, std::move(store));
          };
    client.reconcileGoogleEventsToLocal
        = [session](const QList<GoogleCalendarEvent> &events, const QString &calendarId,
              std::shared_ptr<LocalCalendarStore> store) {
              return reconcile(session, events, calendarId, std::move(store));
          };
    client.retryPendingCopies = [session](std::shared_ptr<LocalCalendarStore> store) {
        return retryPending(session, std::move(store));
    };
    return client;
}

SyncCalendarsClient SyncCalendarsClient::liveValue()
{
    return over(std::make_shared<SyncCalendarsSession>(Dependencies::current<AppleCalendarClient>(),
        Dependencies::current<DatabaseClient>(), Dependencies::current<CacheManager>(),
        Dependencies::current<LoggerClient>().logError));
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
