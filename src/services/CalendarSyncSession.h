#pragma once

#include "core/AsyncStream.h"
#include "core/CalendarChanges.h"
#include "core/CancelToken.h"
#include "core/Result.h"
#include "core/SyncRecords.h"
#include "core/Timers.h"
#include "platform/EventStreamReader.h"
#include "services/AppleCalendarClient.h"
#include "services/DatabaseClient.h"
#include "services/GoogleCalendarClient.h"
#include "services/LoggerClient.h"
#include "services/SyncCalendarsClient.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

namespace tolvo {

using SyncStream = AsyncStream<CalendarSyncUpdate>;

struct SyncTimings
{
    // After a failed connection or fetch.
    std::chrono::milliseconds pause {5'000};
    // A stream that closes this soon without a line waits this long before reconnecting.
    std::chrono::milliseconds minimumPass {1'000};
    EventStreamTimeouts stream;
    // A failed channel set-up or renewal is retried after this, doubling up to the maximum.
    std::chrono::milliseconds retryFirst {60'000};
    std::chrono::milliseconds retryMaximum {3'600'000};
};

// The live sync engine's state: push channels, their renewal timers, one listener (and one
// local-change monitor) per followed calendar, and the stream they all deliver into. Main
// thread; work interleaves only at awaits. The operations are static coroutines that hold the
// session alive while they run.
class CalendarSyncSession : public QObject
{
public:
    using Ptr = std::shared_ptr<CalendarSyncSession>;

    struct Services
    {
        GoogleCalendarClient google;
        DatabaseClient database;
        AppleCalendarClient apple;
        SyncCalendarsClient copier;
        LoggerClient logger;
        QUrl backendBase;
        SyncTimings timings;
        // Renewals, retries and pauses all run on its clock.
        std::shared_ptr<TimerScheduler> scheduler;
    };

    static Ptr create(Services services);
    // Ends the open stream and every listener and monitor.
    ~CalendarSyncSession() override;

    // Opens a new stream for `calendarIds` (the earlier one is finished and its listeners and
    // monitors cancelled) and follows each calendar in the background.
    static SyncStream sync(Ptr self, QStringList calendarIds);
    // Stops the calendar's listener, monitor and stored channel.
    static QCoro::Task<VoidResult> cleanUp(Ptr self, QString calendarId);
    // Stops every listener and monitor, then every stored channel; failed stops are dropped.
    // From then on follows are refused until the next `sync` (the account signed out).
    static QCoro::Task<VoidResult> cleanUpAll(Ptr self);
    // Follows one more calendar into the current stream; returns once it is unfollowed.
    static QCoro::Task<VoidResult> addCalendar(Ptr self, QString calendarId);
    // The calendar's changes since its last fetch, classified.
    static QCoro::Task<Result<QList<GoogleCalendarChange>>> fetchChanges(
        Ptr self, QString calendarId);

    // For tests and diagnostics.
    bool isListening(const QString &calendarId) const;
    TimerRef renewalTimer(const QString &calendarId) const
    {
        return m_runningTimers.value(calendarId);
    }
    std::size_t pendingTimerCount() const
    {
        return m_timers.timers().size() + m_retryTimers.timers().size();
    }
    // When the journaled copies are tried next (an invalid date when nothing is armed).
    QDateTime copyRetryDate() const { return m_copyRetry ? m_copyRetry->fireDate() : QDateTime(); }

private:
    explicit CalendarSyncSession(Services services);

    struct Follow
    {
        CancelToken listener;
        std::optional<CancelToken> monitor;
    };
    enum class PassEnd { endedNormally, failed, cancelled };
    struct Pass
    {
        PassEnd end = PassEnd::failed;
        bool deliveredLine = false;
        bool caughtUp = false;
    };

    static QCoro::Task<> runSyncGroup(
        Ptr self, QStringList calendarIds, SyncStream::Continuation continuation);
    static QCoro::Task<VoidResult> channelChild(
        Ptr self, QString calendarId, SyncStream::Continuation continuation);
    static QCoro::Task<VoidResult> monitorChild(
        Ptr self, QString calendarId, SyncStream::Continuation continuation, CancelToken token);
    static QCoro::Task<VoidResult> follow(
        Ptr self, QString calendarId, SyncStream::Continuation continuation);
    static QCoro::Task<VoidResult> watchAndListen(Ptr self, QString calendarId,
        SyncStream::Continuation continuation, CancelToken token, quint64 generation);
    static QCoro::Task<VoidResult> stopStoredChannel(Ptr self, QString calendarId);
    static QCoro::Task<VoidResult> stopChannel(Ptr self, CalendarChannel channel);
    static QCoro::Task<> renewChannel(Ptr self, CalendarChannel previous, quint64 generation);
    static QCoro::Task<VoidResult> listenForChanges(
        Ptr self, QString calendarId, SyncStream::Continuation continuation, CancelToken token);
    static QCoro::Task<Pass> listenOnce(Ptr self, QString calendarId,
        SyncStream::Continuation continuation, CancelToken token, bool catchUp);
    static QCoro::Task<VoidResult> handleSignal(
        Ptr self, QString calendarId, SyncStream::Continuation continuation, CancelToken token);
    // The copier's part of one listing; the position is kept only once it is done.
    // `generation` is the calendar's and `recopies` the session's when the listing was asked for.
    static QCoro::Task<VoidResult> copyListing(Ptr self, QString calendarId,
        GoogleEventListing listing, QList<GoogleCalendarChange> changes, quint64 generation,
        quint64 recopies);
    static QCoro::Task<> retryCopies(Ptr self);
    // Copying became possible or moved to another calendar: forgets every followed calendar's
    // position and lists the listening ones again.
    void recopyEverything();
    static QCoro::Task<> relist(Ptr self, QString calendarId, CancelToken token);
    void armCopyRetry(const std::optional<QDateTime> &due);

    void armRenewal(const CalendarChannel &channel, const QDateTime &fireDate, quint64 generation);
    std::chrono::milliseconds nextRetryDelay(const QString &calendarId);
    // Unfollows: cancels the calendar's listener and monitor and outdates work in flight.
    void cancelFollow(const QString &calendarId);
    quint64 generation(const QString &calendarId) const { return m_generations.value(calendarId); }
    quint64 bumpGeneration(const QString &calendarId);
    QUrl streamUrl(const QString &calendarId) const;

    Services m_services;
    std::weak_ptr<CalendarSyncSession> m_self;
    Timers m_timers;
    QHash<QString, TimerRef> m_runningTimers;
    QHash<QString, Follow> m_follows;
    QHash<QString, quint64> m_generations;
    // The generation each calendar was unfollowed at, last.
    QHash<QString, quint64> m_unfollowedAt;
    QHash<QString, std::chrono::milliseconds> m_retryDelays;
    quint64 m_nextGeneration = 0;
    std::optional<SyncStream> m_stream;
    // Set by cleanUpAll, cleared by sync: no follow starts in between.
    bool m_closed = false;
    // Calendars listed at least once in this run: their next changes are news.
    QSet<QString> m_listed;
    // Counts recopyEverything: every position was forgotten then, so a listing asked for
    // before it neither copies nor keeps its position; the whole listing after it does both.
    // (A follow's generation cannot serve: its channel renewal and set-up check it too.)
    quint64 m_recopies = 0;
    Timers m_retryTimers;
    TimerRef m_copyRetry;
    Subscription m_copyTargetSubscription;
};

} // namespace tolvo
