#pragma once

#include "backend/BackendServer.h"
#include "core/DateHelpers.h"
#include "core/StartTask.h"
#include "core/TimerScheduler.h"
#include "platform/LocalCalendarStore.h"
#include "services/AppDatabase.h"
#include "services/CacheManager.h"
#include "services/GoogleCalendarSyncClient.h"
#include "support/FakeGoogleCalendar.h"
#include "support/StreamCollector.h"
#include "support/SyncTestSupport.h"

#include <QTemporaryDir>

#include <chrono>

#include <memory>
#include <optional>

namespace tolvo::test {

// What the app builds at start over its data folder: the local calendar store (access granted,
// its first calendar chosen), the settings and the database in `folder`, and the engine
// following over `apiRoot` and `relay` with the "live" access token.
struct TolvoSide
{
    std::shared_ptr<LocalCalendarStore> store;
    DatabaseClient database;
    CalendarSyncSession::Ptr session;
    GoogleCalendarSyncClient client;
};
std::optional<TolvoSide> startTolvoSide(const QString &folder, const QUrl &apiRoot,
    const QUrl &relay, const LoggerClient &logger, SyncTimings timings,
    std::shared_ptr<TimerScheduler> scheduler = std::make_shared<TimerScheduler>());

// Everything of the live-sync loop, real, on loopback: the Calendar fake whose channels point
// at an in-process relay, the engine, the local calendar store (access granted, its calendar
// chosen) and the database, all in a temporary folder.
class LiveSyncFixture
{
public:
    using Received = Collected<CalendarSyncUpdate>;

    explicit LiveSyncFixture(SyncTimings timings = fastSyncTimings());
    static QString streamName(const QString &calendarId) { return sha256Hex(calendarId); }
    QUrl relayRoot() const;
    const SyncTimings &timings() const { return m_timings; }

    // Quitting: every listener and monitor stops and Tolvo's side is dropped; the database
    // (channels, positions, mappings) and the local store stay on disk as they are.
    // Answers whether the engine wound down.
    bool stop();
    // Starting again over the same folder (and so the same database and store).
    bool start();

    // Moves the engine's clock that far ahead of the real one and lets what is due by then run,
    // as if the time had passed: for a wait that a test would otherwise sit out.
    void skipAhead(std::chrono::milliseconds duration);

    std::shared_ptr<Received> open(const QStringList &calendarIds);
    QList<CalendarChannel> rows() const;
    QList<LocalEvent> localEvents() const;
    std::size_t subscribers(const QString &calendarId) const
    {
        return backend.subscriberCount(streamName(calendarId).toStdString());
    }

    QTemporaryDir folder;
    FakeGoogleCalendar google;
    backend::BackendServer backend;
    std::shared_ptr<LocalCalendarStore> store;
    std::shared_ptr<LogRecorder> log = std::make_shared<LogRecorder>();
    DatabaseClient database;
    CalendarSyncSession::Ptr session;
    GoogleCalendarSyncClient client;
    bool ready = false;

private:
    SyncTimings m_timings;
    // The engine's clock: the real one plus what the test skipped.
    std::shared_ptr<qint64> m_skippedMs = std::make_shared<qint64>(0);
    std::shared_ptr<TimerScheduler> m_scheduler;
};

// The events as "summary | start | end" (UTC), sorted: the fake's `ids` of `calendarId`
// that are not cancelled, and every event of the local store. Equal lists mean the local copy
// matches the fake exactly.
QStringList googleEventLines(
    const FakeGoogleCalendar &google, const QString &calendarId, const QStringList &ids);
QStringList localEventLines(LocalCalendarStore &store);

// The session a signed-in start finds stored: the "live" access token, which the loop's Calendar
// fake accepts. For `GoogleClient::authSession`.
QCoro::Task<Result<std::shared_ptr<AuthorizationSession>>> storedLiveSession();

// Google changes of one calendar, empty signals left out.
QList<GoogleCalendarChange> changesOf(
    const Collected<CalendarSyncUpdate> &received, const QString &calendarId);

} // namespace tolvo::test
