#include "services/AppleCalendarClient.h"

#include "core/CalendarContext.h"
#include "core/Dependencies.h"
#include "core/OneShot.h"
#include "core/StartTask.h"
#include "core/Unimplemented.h"
#include "platform/LocalCalendarStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QTemporaryDir>

namespace tolvo {

QString rawValue(CalendarAccessStatus status)
{
    switch (status) {
    case CalendarAccessStatus::notDetermined: return QStringLiteral("notDetermined");
    case CalendarAccessStatus::restricted: return QStringLiteral("restricted");
    case CalendarAccessStatus::denied: return QStringLiteral("denied");
    case CalendarAccessStatus::fullAccess: return QStringLiteral("fullAccess");
    case CalendarAccessStatus::writeOnly: return QStringLiteral("writeOnly");
    }
    return QStringLiteral("notDetermined");
}

std::optional<CalendarAccessStatus> calendarAccessStatus(const QString &raw)
{
    for (auto status : {CalendarAccessStatus::notDetermined, CalendarAccessStatus::restricted,
             CalendarAccessStatus::denied, CalendarAccessStatus::fullAccess,
             CalendarAccessStatus::writeOnly}) {
        if (rawValue(status) == raw)
            return status;
    }
    return std::nullopt;
}

namespace {
// The store belongs to the application object, so it goes before the event loop does even
// though the container keeps its value until the process exits.
std::shared_ptr<LocalCalendarStore> makeStore(const QString &root)
{
    const auto context = Dependencies::current<CalendarContext>();
    LocalCalendarStore::Options options;
    options.localZone = context.zone;
    options.clock = context.clock;
    auto *store = new LocalCalendarStore(root, options, QCoreApplication::instance());
    QPointer<LocalCalendarStore> guard(store);
    return std::shared_ptr<LocalCalendarStore>(
        store, [guard](LocalCalendarStore *) { delete guard.data(); });
}

QCoro::Task<Result<bool>> requestAccessOf(std::shared_ptr<AppleCalendarSession> session)
{
    co_return co_await session->requestAccess();
}

QCoro::Task<void> monitorOf(std::shared_ptr<AppleCalendarSession> session, QString calendarId,
    AsyncStream<CalendarSyncUpdate>::Continuation continuation, CancelToken token)
{
    co_await session->startLocalChangeMonitoring(
        std::move(calendarId), std::move(continuation), std::move(token));
}
} // namespace

CalendarAccessPrompt CalendarAccessPrompt::liveValue()
{
    return {[] {
        return readyTask<Result<bool>>(failure(ErrorDomain::localCalendar, 0,
            QStringLiteral("There is no way to ask for calendar access.")));
    }};
}

CalendarAccessPrompt CalendarAccessPrompt::testValue()
{
    return {unimplemented<QCoro::Task<Result<bool>>()>("CalendarAccessPrompt", "ask")};
}

CalendarAccessPrompt CalendarAccessPrompt::previewValue()
{
    return {[] { return readyTask<Result<bool>>(true); }};
}

AppleCalendarSession::AppleCalendarSession(std::shared_ptr<LocalCalendarStore> store,
    UserDefaultsClient userDefaults, CalendarAccessPrompt prompt, Clock clock)
    : m_store(std::move(store))
    , m_userDefaults(std::move(userDefaults))
    , m_prompt(std::move(prompt))
    , m_clock(std::move(clock))
{
}

std::optional<QString> AppleCalendarSession::storedText(const char *key) const
{
    const auto stored = m_userDefaults.data(QString::fromLatin1(key));
    if (!stored)
        return std::nullopt;
    return decodeJsonString(*stored);
}

CalendarAccessStatus AppleCalendarSession::accessStatus() const
{
    const auto raw = storedText(AppleCalendarClient::accessStatusKey);
    if (!raw)
        return CalendarAccessStatus::notDetermined;
    return calendarAccessStatus(*raw).value_or(CalendarAccessStatus::notDetermined);
}

QCoro::Task<Result<bool>> AppleCalendarSession::requestAccess()
{
    switch (accessStatus()) {
    case CalendarAccessStatus::fullAccess:
    case CalendarAccessStatus::writeOnly: co_return true;
    case CalendarAccessStatus::restricted:
    case CalendarAccessStatus::denied: co_return false;
    case CalendarAccessStatus::notDetermined: break;
    }
    auto answer = co_await m_prompt.ask();
    if (!answer)
        co_return answer; // nothing was decided: the next request asks again
    const auto status = *answer ? CalendarAccessStatus::fullAccess : CalendarAccessStatus::denied;
    // An answer that could not be kept counts for nothing: copying reads the stored consent.
    if (const VoidResult kept = m_userDefaults.set(QJsonValue(rawValue(status)),
            QString::fromLatin1(AppleCalendarClient::accessStatusKey));
        !kept)
        co_return failure(kept.error());
    if (*answer) {
        if (const auto target = selectedCalendar())
            m_copyTarget->send(*target);
    }
    co_return *answer;
}

bool AppleCalendarSession::isAccessCalendar() const
{
    const auto status = accessStatus();
    return status == CalendarAccessStatus::fullAccess || status == CalendarAccessStatus::writeOnly;
}

VoidResult AppleCalendarSession::storeCalendar(const LocalCalendar &calendar)
{
    const auto before = storedText(UserDefaultsClient::appleCalendarIdKey);
    const VoidResult stored = m_userDefaults.set(QJsonValue(calendar.identifier),
        QString::fromLatin1(UserDefaultsClient::appleCalendarIdKey));
    if (!stored)
        return stored;
    if (before != calendar.identifier && isAccessCalendar())
        m_copyTarget->send(calendar);
    return {};
}

std::optional<LocalCalendar> AppleCalendarSession::selectedCalendar() const
{
    const auto identifier = storedText(UserDefaultsClient::appleCalendarIdKey);
    if (!identifier)
        return std::nullopt;
    return m_store->calendar(*identifier);
}

bool AppleCalendarSession::isEventDeleted(const LocalEvent &event)
{
    if (!m_store->event(event.identifier))
        return true;
    const QDateTime now = m_clock();
    const QDateTime start = event.start.isValid() ? event.start : now;
    QDateTime end = event.end.isValid() ? event.end : now;
    // An event without duration still lies within a span that ends after it starts.
    if (end <= start)
        end = start.addMSecs(1);
    return !m_store->hasEventIn(event.identifier, start, end);
}

QList<AppleCalendarChange> AppleCalendarSession::computeLocalChanges(const QString &calendarId)
{
    // Captured before the query: whatever changes while the query runs is newer than this
    // and is found by the next difference.
    const QDateTime now = m_clock();
    const QDateTime local = now.toTimeZone(m_store->localZone());
    const QDateTime windowStart = local.addDays(-2);
    const QDateTime windowEnd = local.addDays(2);
    if (!windowStart.isValid() || !windowEnd.isValid())
        return {};
    const auto known = m_syncState.constFind(calendarId);
    const bool first = known == m_syncState.cend();
    const QDateTime since = first ? windowStart : known->since;
    // Every event is checked against the store: one look at the disk serves them all.
    const LocalCalendarStore::ReadScope oneLook(*m_store);

    // LAST-MODIFIED holds whole seconds: an edit later in the second of the last check carries
    // that second, so the second is looked at again, skipping what was reported as it is.
    MonitorState next {QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch(), Qt::UTC), {}};
    const auto isNewer
        = [&](const QDateTime &moment) { return first ? moment > since : moment >= since; };
    QList<AppleCalendarChange> changes;
    for (const LocalEvent &event : m_store->events(windowStart, windowEnd)) {
        if (!event.lastModified.isValid() || !isNewer(event.lastModified))
            continue;
        if (event.lastModified >= next.since)
            next.reported.insert(event.identifier, event);
        if (!first && known->reported.value(event.identifier) == event)
            continue;
        if (isEventDeleted(event))
            changes.append(AppleCalendarChange::deleted(event.identifier));
        else if (event.created.isValid() && isNewer(event.created))
            changes.append(AppleCalendarChange::added(event));
        else
            changes.append(AppleCalendarChange::modified(event));
    }
    m_syncState.insert(calendarId, std::move(next));
    return changes;
}

QCoro::Task<void> AppleCalendarSession::startLocalChangeMonitoring(QString calendarId,
    AsyncStream<CalendarSyncUpdate>::Continuation continuation, CancelToken token)
{
    if (token.isCancelled() || continuation.isFinished())
        co_return;
    OneShot stop;
    const QPointer<OneShot> stopGuard(&stop);
    token.onCancel(&stop, [stopGuard] {
        if (stopGuard)
            stopGuard->fire();
    });
    continuation.onTermination([stopGuard] {
        if (stopGuard)
            stopGuard->fire();
    });
    // The connection ends with `stop`, that is when this monitor returns.
    QObject::connect(
        m_store.get(), &LocalCalendarStore::storeChanged, &stop, [this, calendarId, continuation] {
            const auto changes = computeLocalChanges(calendarId);
            if (!changes.isEmpty())
                continuation.yield(CalendarSyncUpdate::localChanges(calendarId, changes));
        });
    if (!stop.hasFired())
        co_await qCoro(&stop, &OneShot::fired);
}

AppleCalendarClient AppleCalendarClient::over(std::shared_ptr<AppleCalendarSession> session)
{
    AppleCalendarClient client;
    client.requestAccess = [session] { return requestAccessOf(session); };
    client.startLocalChangeMonitoring
        = [session](const QString &calendarId,
              AsyncStream<CalendarSyncUpdate>::Continuation continuation, CancelToken token) {
              return monitorOf(session, calendarId, std::move(continuation), std::move(token));
          };
    client.fetchAppleEvents = [session](const QDateTime &start, const QDateTime &end) {
        return session->store()->events(start, end);
    };
    client.eventStore = [session] { return session->store(); };
    client.storeCalendar
        = [session](const LocalCalendar &calendar) { return session->storeCalendar(calendar); };
    client.selectedCalendar = [session] { return session->selectedCalendar(); };
    client.calendars = [session] { return session->store()->calendars(); };
    client.isAccessCalendar = [session] { return session->isAccessCalendar(); };
    client.copyTargetChanged = session->copyTargetChanged();
    return client;
}

AppleCalendarClient AppleCalendarClient::liveValue()
{
    return over(std::make_shared<AppleCalendarSession>(makeStore(LocalCalendarStore::defaultRoot()),
        Dependencies::current<UserDefaultsClient>(),
        Dependencies::current<CalendarAccessPrompt>()));
}

AppleCalendarClient AppleCalendarClient::testValue()
{
    static QTemporaryDir folder;
    return over(std::make_shared<AppleCalendarSession>(
        makeStore(QDir(folder.path()).filePath(QStringLiteral("calendars"))),
        Dependencies::current<UserDefaultsClient>(),
        Dependencies::current<CalendarAccessPrompt>()));
}

} // namespace tolvo
