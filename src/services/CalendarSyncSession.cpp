#include "services/CalendarSyncSession.h"

#include "core/BackendAddresses.h"
#include "core/ChangeClassification.h"
#include "core/LogCategories.h"
#include "core/StartTask.h"
#include "core/TaskGroup.h"

namespace tolvo {

namespace {
bool isCancellation(const VoidResult &result)
{
    return !result && result.error().isCancellation();
}
} // namespace

CalendarSyncSession::CalendarSyncSession(Services services)
    : m_services(std::move(services))
    , m_timers(m_services.scheduler)
    , m_retryTimers(m_services.scheduler)
{
}

CalendarSyncSession::~CalendarSyncSession()
{
    for (Follow &follow : m_follows) {
        follow.listener.cancel();
        if (follow.monitor)
            follow.monitor->cancel();
    }
    // A consumer waiting on the stream must not wait for ever on a session that is gone.
    if (m_stream)
        m_stream->continuation().finish();
}

CalendarSyncSession::Ptr CalendarSyncSession::create(Services services)
{
    Ptr session(new CalendarSyncSession(std::move(services)));
    session->m_self = session;
    session->m_copyTargetSubscription = session->m_services.apple.copyTargetChanged.subscribe(
        session.get(), [weakSelf = session->m_self](const LocalCalendar &) {
            if (auto self = weakSelf.lock())
                self->recopyEverything();
        });
    return session;
}

void CalendarSyncSession::recopyEverything()
{
    // Listings that were not copied (no access, no calendar) or were copied elsewhere moved the
    // positions on all the same: without them, the next listing of each followed calendar is
    // a whole one, which reconciles the copy quietly.
    ++m_recopies;
    QSet<QString> followed(m_follows.keyBegin(), m_follows.keyEnd());
    if (const auto rows = m_services.database.calendarChannels()) {
        for (const CalendarChannel &channel : *rows)
            followed.insert(channel.calendarId);
    } else {
        m_services.logger.logError(rows.error());
    }
    for (const QString &calendarId : std::as_const(followed)) {
        if (const VoidResult forgotten = m_services.google.forgetSyncToken(calendarId); !forgotten)
            m_services.logger.logError(forgotten.error());
    }
    // The calendars listening now list again at once rather than at their next change.
    if (!m_stream)
        return;
    for (auto follow = m_follows.cbegin(); follow != m_follows.cend(); ++follow) {
        if (!follow->listener.isCancelled())
            startDetached(relist(m_self.lock(), follow.key(), follow->listener));
    }
}

QCoro::Task<> CalendarSyncSession::relist(Ptr self, QString calendarId, CancelToken token)
{
    if (!self->m_stream)
        co_return;
    const VoidResult listed
        = co_await handleSignal(self, calendarId, self->m_stream->continuation(), token);
    // A failed re-list is done again by the listener's next signal, which is whole now too.
    if (!listed && !listed.error().isCancellation())
        self->m_services.logger.logError(listed.error());
}

bool CalendarSyncSession::isListening(const QString &calendarId) const
{
    const auto found = m_follows.constFind(calendarId);
    return found != m_follows.constEnd() && !found->listener.isCancelled();
}

quint64 CalendarSyncSession::bumpGeneration(const QString &calendarId)
{
    const quint64 next = ++m_nextGeneration;
    m_generations.insert(calendarId, next);
    return next;
}

void CalendarSyncSession::cancelFollow(const QString &calendarId)
{
    const auto found = m_follows.find(calendarId);
    if (found != m_follows.end()) {
        found->listener.cancel();
        if (found->monitor)
            found->monitor->cancel();
        m_follows.erase(found);
    }
    bumpGeneration(calendarId);
    m_retryDelays.remove(calendarId);
}

QUrl CalendarSyncSession::streamUrl(const QString &calendarId) const
{
    return eventStreamAddress(m_services.backendBase, calendarId);
}

std::chrono::milliseconds CalendarSyncSession::nextRetryDelay(const QString &calendarId)
{
    const auto previous = m_retryDelays.value(calendarId, std::chrono::milliseconds(0));
    const auto delay = previous.count() == 0
        ? m_services.timings.retryFirst
        : std::min(previous * 2, m_services.timings.retryMaximum);
    m_retryDelays.insert(calendarId, delay);
    return delay;
}

// ---- opening the stream ----

SyncStream CalendarSyncSession::sync(Ptr self, QStringList calendarIds)
{
    // One set of listeners at a time: the earlier stream ends quietly with its producers.
    const QStringList followed = self->m_follows.keys();
    for (const QString &calendarId : followed)
        self->cancelFollow(calendarId);
    if (self->m_stream)
        self->m_stream->continuation().finish();
    self->m_closed = false;

    SyncStream stream;
    self->m_stream = stream;
    startDetached(runSyncGroup(self, calendarIds, stream.continuation()));
    return stream;
}

QCoro::Task<> CalendarSyncSession::runSyncGroup(
    Ptr self, QStringList calendarIds, SyncStream::Continuation continuation)
{
    TaskGroup group;
    for (const QString &calendarId : calendarIds) {
        group.add(channelChild(self, calendarId, continuation));
        CancelToken monitor;
        self->m_follows[calendarId].monitor = monitor;
        group.add(monitorChild(self, calendarId, continuation, monitor));
    }
    const VoidResult result = co_await group.waitForAll();
    // A deliberate stop is not a failure of the stream.
    if (!result && !result.error().isCancellation())
        continuation.finish(result.error());
}

QCoro::Task<VoidResult> CalendarSyncSession::channelChild(
    Ptr self, QString calendarId, SyncStream::Continuation continuation)
{
    // The previous channel is stopped before the new one is registered, whatever the stop's
    // outcome. A refused stop (often a channel that already expired) is logged, not the
    // stream's failure: the calendar is followed all the same.
    const quint64 before = self->generation(calendarId);
    const VoidResult stopped = co_await stopStoredChannel(self, calendarId);
    if (!stopped)
        self->m_services.logger.logError(stopped.error());
    // Unfollowed (or signed out) while the stop ran: that wins.
    if (self->generation(calendarId) != before)
        co_return VoidResult {};
    const VoidResult followed = co_await follow(self, calendarId, continuation);
    co_return followed;
}

QCoro::Task<VoidResult> CalendarSyncSession::monitorChild(
    Ptr self, QString calendarId, SyncStream::Continuation continuation, CancelToken token)
{
    co_await self->m_services.apple.startLocalChangeMonitoring(calendarId, continuation, token);
    co_return VoidResult {};
}

// ---- following one calendar ----

QCoro::Task<VoidResult> CalendarSyncSession::addCalendar(Ptr self, QString calendarId)
{
    if (!self->m_stream)
        co_return failure(ErrorDomain::sync, 0,
            QStringLiteral("No sync stream is open to deliver the calendar into."));
    const VoidResult result = co_await follow(self, calendarId, self->m_stream->continuation());
    co_return result;
}

QCoro::Task<VoidResult> CalendarSyncSession::follow(
    Ptr self, QString calendarId, SyncStream::Continuation continuation)
{
    // After a sign-out nothing of the old account may start again: a follow that was still on
    // its way (a tap, a start that was loading) ends here.
    if (self->m_closed)
        co_return failure(Error::cancellation());
    // Exactly one listener per calendar: a new follow replaces the running one.
    Follow &entry = self->m_follows[calendarId];
    entry.listener.cancel();
    entry.listener = CancelToken();
    const CancelToken token = entry.listener;
    const quint64 current = self->bumpGeneration(calendarId);
    const VoidResult result
        = co_await watchAndListen(self, calendarId, continuation, token, current);
    if (isCancellation(result))
        co_return VoidResult {};
    co_return result;
}

QCoro::Task<VoidResult> CalendarSyncSession::watchAndListen(Ptr self, QString calendarId,
    SyncStream::Continuation continuation, CancelToken token, quint64 generation)
{
    // Set-up failures are retried while the calendar stays followed, so a passing failure
    // neither unfollows it nor silently ends its live sync.
    while (true) {
        auto channel = co_await self->m_services.google.watch(calendarId);
        if (token.isCancelled() || self->generation(calendarId) != generation) {
            if (channel)
                startDetached(
                    self->m_services.google.stop(channel->channelId, channel->resourceId));
            co_return failure(Error::cancellation());
        }
        if (channel) {
            const VoidResult stored = self->m_services.database.storeCalendarChannel(*channel);
            if (stored) {
                qCDebug(lcSync, "Channel %s registered for %s until %s",
                    qUtf8Printable(channel->channelId), qUtf8Printable(calendarId),
                    qUtf8Printable(channel->expirationDate().toString(Qt::ISODate)));
                self->m_retryDelays.remove(calendarId);
                self->armRenewal(*channel, channel->expirationDate(), generation);
                break;
            }
            // The Google client has logged its own failures already. The channel that could
            // not be recorded must not stay registered until it expires.
            self->m_services.logger.logError(stored.error());
            startDetached(self->m_services.google.stop(channel->channelId, channel->resourceId));
        }
        const auto delay = self->nextRetryDelay(calendarId);
        qCDebug(lcSync, "No channel for %s (%s); trying again in %lld ms",
            qUtf8Printable(calendarId),
            qUtf8Printable(channel ? QStringLiteral("not recorded") : channel.error().describe()),
            static_cast<long long>(delay.count()));
        const VoidResult waited = co_await sleepFor(self->m_services.scheduler, delay, token);
        if (!waited)
            co_return waited;
    }
    const VoidResult listened = co_await listenForChanges(self, calendarId, continuation, token);
    co_return listened;
}

// ---- stopping ----

QCoro::Task<VoidResult> CalendarSyncSession::cleanUp(Ptr self, QString calendarId)
{
    self->cancelFollow(calendarId);
    // Work of the follow that ends here is never handed to a later follow.
    self->m_unfollowedAt.insert(calendarId, self->generation(calendarId));
    // Followed again later, the calendar starts from a whole listing.
    self->m_listed.remove(calendarId);
    if (const VoidResult forgotten = self->m_services.google.forgetSyncToken(calendarId);
        !forgotten)
        self->m_services.logger.logError(forgotten.error());
    const VoidResult stopped = co_await stopStoredChannel(self, calendarId);
    co_return stopped;
}

QCoro::Task<VoidResult> CalendarSyncSession::cleanUpAll(Ptr self)
{
    self->m_closed = true;
    self->armCopyRetry(std::nullopt);
    const QStringList followed = self->m_follows.keys();
    for (const QString &calendarId : followed)
        self->cancelFollow(calendarId);
    self->m_listed.clear();
    const auto rows = self->m_services.database.calendarChannels();
    if (!rows)
        co_return failure(rows.error());
    TaskGroup stops;
    for (const CalendarChannel &channel : *rows) {
        self->bumpGeneration(channel.calendarId);
        stops.add(stopChannel(self, channel));
    }
    // A refused stop keeps its row, for a later start to stop; sign-out goes on regardless.
    // Its renewal timer goes, though: nothing of the signed-out account may run any more.
    co_await stops.waitForAll();
    for (const TimerRef &timer : std::as_const(self->m_runningTimers))
        self->m_timers.cancel(timer);
    self->m_runningTimers.clear();
    co_return VoidResult {};
}

QCoro::Task<VoidResult> CalendarSyncSession::stopStoredChannel(Ptr self, QString calendarId)
{
    const auto rows = self->m_services.database.calendarChannels();
    if (!rows)
        co_return failure(rows.error());
    for (const CalendarChannel &channel : *rows) {
        if (channel.calendarId == calendarId) {
            const VoidResult stopped = co_await stopChannel(self, channel);
            co_return stopped;
        }
    }
    co_return VoidResult {};
}

QCoro::Task<VoidResult> CalendarSyncSession::stopChannel(Ptr self, CalendarChannel channel)
{
    const auto stopped
        = co_await self->m_services.google.stop(channel.channelId, channel.resourceId);
    if (!stopped) {
        qCDebug(lcSync, "Channel %s of %s not stopped: %s", qUtf8Printable(channel.channelId),
            qUtf8Printable(channel.calendarId), qUtf8Printable(stopped.error().describe()));
        co_return failure(stopped.error());
    }
    if (!*stopped)
        co_return VoidResult {};
    qCDebug(lcSync, "Channel %s of %s stopped", qUtf8Printable(channel.channelId),
        qUtf8Printable(channel.calendarId));
    const VoidResult deleted
        = self->m_services.database.deleteCalendarChannelByCalendarId(channel.calendarId);
    if (!deleted)
        co_return deleted;
    if (const TimerRef timer = self->m_runningTimers.take(channel.calendarId))
        self->m_timers.cancel(timer);
    co_return VoidResult {};
}

// ---- renewal ----

void CalendarSyncSession::armRenewal(
    const CalendarChannel &channel, const QDateTime &fireDate, quint64 generation)
{
    TimerRef timer = makeChannelTimer(
        fireDate, channel,
        [weakSelf = m_self, generation](const CalendarChannel &expiring) {
            if (auto self = weakSelf.lock())
                startDetached(renewChannel(self, expiring, generation));
        },
        m_timers);
    // A replaced timer must not fire later and re-follow a calendar the user has left.
    if (const TimerRef displaced = m_runningTimers.take(channel.calendarId))
        m_timers.cancel(displaced);
    m_runningTimers.insert(channel.calendarId, timer);
}

QCoro::Task<> CalendarSyncSession::renewChannel(
    Ptr self, CalendarChannel previous, quint64 generation)
{
    const QString calendarId = previous.calendarId;
    if (self->generation(calendarId) != generation)
        co_return;
    auto renewed = co_await self->m_services.google.watch(calendarId);
    if (self->generation(calendarId) != generation) {
        // Unfollowed meanwhile: the new channel must not linger at Google or in the store.
        if (renewed)
            startDetached(self->m_services.google.stop(renewed->channelId, renewed->resourceId));
        co_return;
    }
    const VoidResult stored = renewed ? self->m_services.database.storeCalendarChannel(*renewed)
                                      : VoidResult(failure(renewed.error()));
    if (!stored) {
        if (renewed)
            self->m_services.logger.logError(stored.error());
        const auto delay = self->nextRetryDelay(calendarId);
        qCDebug(lcSync, "Channel %s of %s not renewed (%s); trying again in %lld ms",
            qUtf8Printable(previous.channelId), qUtf8Printable(calendarId),
            qUtf8Printable(stored.error().describe()), static_cast<long long>(delay.count()));
        self->armRenewal(previous, self->m_timers.now().addMSecs(delay.count()), generation);
        co_return;
    }
    qCDebug(lcSync, "Channel %s of %s renewed as %s until %s", qUtf8Printable(previous.channelId),
        qUtf8Printable(calendarId), qUtf8Printable(renewed->channelId),
        qUtf8Printable(renewed->expirationDate().toString(Qt::ISODate)));
    self->m_retryDelays.remove(calendarId);
    self->armRenewal(*renewed, renewed->expirationDate(), generation);
}

// ---- listening ----

QCoro::Task<Result<QList<GoogleCalendarChange>>> CalendarSyncSession::fetchChanges(
    Ptr self, QString calendarId)
{
    auto events = co_await self->m_services.google.fetchEvents(calendarId);
    if (!events)
        co_return failure(events.error());
    co_return classifyChanges(*events);
}

QCoro::Task<VoidResult> CalendarSyncSession::listenForChanges(
    Ptr self, QString calendarId, SyncStream::Continuation continuation, CancelToken token)
{
    const auto &timings = self->m_services.timings;
    // The first signal must find an incremental position, so list once now. Without a held
    // position that listing is a whole one: it reconciles the local copy and reports nothing.
    // With one, what it finds is reported like any later change.
    while (true) {
        const VoidResult primed = co_await handleSignal(self, calendarId, continuation, token);
        if (token.isCancelled())
            co_return failure(Error::cancellation());
        if (primed)
            break;
        const VoidResult waited
            = co_await sleepFor(self->m_services.scheduler, timings.pause, token);
        if (!waited)
            co_return waited;
    }

    // After the first connection every reconnection fetches once, because what changed while
    // the stream was away may never be signalled (a relay that restarts loses its pending
    // flags, and a dropped stream cannot be told from one the server ended).
    bool catchUp = false;
    while (true) {
        const QDateTime passStart = self->m_timers.now();
        const Pass pass = co_await listenOnce(self, calendarId, continuation, token, catchUp);
        if (pass.end == PassEnd::cancelled || token.isCancelled())
            co_return failure(Error::cancellation());
        if (pass.caughtUp)
            catchUp = false;
        if (pass.end == PassEnd::failed) {
            catchUp = true;
            const VoidResult waited
                = co_await sleepFor(self->m_services.scheduler, timings.pause, token);
            if (!waited)
                co_return waited;
            continue;
        }
        // A stream that closes at once with nothing in it is misbehaving: no tight loop, and
        // no fetch for each of its turns.
        if (passStart.msecsTo(self->m_timers.now()) < timings.minimumPass.count()
            && !pass.deliveredLine) {
            const VoidResult waited
                = co_await sleepFor(self->m_services.scheduler, timings.minimumPass, token);
            if (!waited)
                co_return waited;
            continue;
        }
        catchUp = true;
    }
}

QCoro::Task<CalendarSyncSession::Pass> CalendarSyncSession::listenOnce(Ptr self, QString calendarId,
    SyncStream::Continuation continuation, CancelToken token, bool catchUp)
{
    Pass pass;
    auto reader = co_await EventStreamReader::open(
        self->streamUrl(calendarId), self->m_services.timings.stream, token);
    if (token.isCancelled()) {
        pass.end = PassEnd::cancelled;
        co_return pass;
    }
    if (!reader) {
        qCDebug(lcSync, "The event stream of %s could not be opened: %s",
            qUtf8Printable(calendarId), qUtf8Printable(reader.error().describe()));
        co_return pass;
    }
    qCDebug(lcSync, "Event stream of %s open", qUtf8Printable(calendarId));
    const auto ended = [&pass](const VoidResult &handled) {
        pass.end = isCancellation(handled) ? PassEnd::cancelled : PassEnd::failed;
        return pass;
    };
    if (catchUp) {
        const VoidResult handled = co_await handleSignal(self, calendarId, continuation, token);
        if (!handled)
            co_return ended(handled);
        pass.caughtUp = true;
    }
    // One event of the stream (its field lines up to the blank line) is one signal;
    // comment lines only keep the connection alive.
    bool eventPending = false;
    while (true) {
        auto line = co_await (*reader)->nextLine();
        if (token.isCancelled()) {
            pass.end = PassEnd::cancelled;
            co_return pass;
        }
        if (!line) {
            qCDebug(lcSync, "The event stream of %s failed: %s", qUtf8Printable(calendarId),
                qUtf8Printable(line.error().describe()));
            co_return pass;
        }
        const bool bodyEnded = !line->has_value();
        if (!bodyEnded) {
            pass.deliveredLine = true;
            if ((*line)->startsWith(QLatin1Char(':')))
                continue;
            if (!(*line)->isEmpty()) {
                eventPending = true;
                continue;
            }
        }
        if (eventPending) {
            eventPending = false;
            qCDebug(lcSync, "Change signalled for %s", qUtf8Printable(calendarId));
            const VoidResult handled = co_await handleSignal(self, calendarId, continuation, token);
            if (!handled)
                co_return ended(handled);
        }
        if (bodyEnded) {
            qCDebug(lcSync, "The event stream of %s ended", qUtf8Printable(calendarId));
            pass.end = PassEnd::endedNormally;
            co_return pass;
        }
    }
}

QCoro::Task<VoidResult> CalendarSyncSession::handleSignal(
    Ptr self, QString calendarId, SyncStream::Continuation continuation, CancelToken token)
{
    // The position this listing leads to belongs to the follow that asked for it.
    quint64 generation = self->generation(calendarId);
    const quint64 recopies = self->m_recopies;
    auto listing = co_await self->m_services.google.fetchEventListing(calendarId);
    if (listing) {
        qCDebug(lcSync, "Listing of %s fetched: %lld events, %s", qUtf8Printable(calendarId),
            static_cast<long long>(listing->events.size()),
            listing->complete ? "whole" : "changes since the last one");
    } else {
        qCDebug(lcSync, "Listing of %s failed: %s", qUtf8Printable(calendarId),
            qUtf8Printable(listing.error().describe()));
    }
    if (!listing) {
        if (token.isCancelled())
            co_return failure(Error::cancellation());
        co_return failure(listing.error());
    }
    if (token.isCancelled()) {
        // An unfollowed calendar's position is forgotten: its batch goes with it. Otherwise
        // the calendar is followed by a newer listener, which starts from the position kept
        // below: the batch goes to the stream that one delivers into, or it would be lost.
        if (!self->m_follows.contains(calendarId) || !self->m_stream
            || self->m_unfollowedAt.value(calendarId) > generation)
            co_return failure(Error::cancellation());
        continuation = self->m_stream->continuation();
        generation = self->generation(calendarId);
    }
    QList<GoogleCalendarChange> changes;
    if (!listing->complete) {
        changes = classifyChanges(listing->events);
        const bool news = self->m_listed.contains(calendarId);
        continuation.yield(CalendarSyncUpdate::googleChanges(calendarId, changes, news));
    }
    const VoidResult copied
        = co_await copyListing(self, calendarId, *listing, changes, generation, recopies);
    if (!copied)
        co_return copied;
    self->m_listed.insert(calendarId);
    if (token.isCancelled())
        co_return failure(Error::cancellation());
    co_return VoidResult {};
}

QCoro::Task<VoidResult> CalendarSyncSession::copyListing(Ptr self, QString calendarId,
    GoogleEventListing listing, QList<GoogleCalendarChange> changes, quint64 generation,
    quint64 recopies)
{
    const auto &services = self->m_services;
    // Copying became possible or moved while this listing was out: the whole listing that
    // followed is newer, and copying this one after it would put older states back.
    if (self->m_recopies != recopies)
        co_return VoidResult {};
    if (services.apple.isAccessCalendar()) {
        const auto store = services.apple.eventStore();
        VoidResult copied;
        if (listing.complete) {
            copied = co_await services.copier.reconcileGoogleEventsToLocal(
                listing.events, calendarId, store);
        } else {
            copied = co_await services.copier.syncGoogleChangesToLocal(changes, calendarId, store);
        }
        // A copy that failed was journaled and is retried; the position may move on. When not
        // even the journal took it, the position stays and the listing comes again.
        const auto journaled = copied ? std::nullopt : CalendarSyncError::fromError(copied.error());
        if (!copied && !(journaled && journaled->kind == CalendarSyncError::Kind::eventSyncFailed))
            co_return copied;
        if (!self->m_closed) {
            const auto retried = co_await services.copier.retryPendingCopies(store);
            if (retried)
                self->armCopyRetry(*retried);
            else
                services.logger.logError(retried.error());
        }
    }
    // Unfollowed, signed out or recopied meanwhile: the position was forgotten and must stay
    // so, or a later listing would start from it and miss what changed in between.
    if (self->generation(calendarId) != generation || self->m_recopies != recopies)
        co_return VoidResult {};
    const VoidResult kept = services.google.commitSyncToken(calendarId, listing.syncToken);
    if (!kept)
        services.logger.logError(kept.error());
    co_return VoidResult {};
}

void CalendarSyncSession::armCopyRetry(const std::optional<QDateTime> &due)
{
    if (m_copyRetry) {
        m_retryTimers.cancel(m_copyRetry);
        m_copyRetry.reset();
    }
    // Signed out: the journal waits for the next sync, whose first copy tries it again.
    if (!due || m_closed)
        return;
    m_copyRetry = m_retryTimers.schedule(*due, [weakSelf = m_self] {
        if (auto self = weakSelf.lock()) {
            self->m_copyRetry.reset();
            startDetached(retryCopies(self));
        }
    });
}

QCoro::Task<> CalendarSyncSession::retryCopies(Ptr self)
{
    const auto &services = self->m_services;
    if (self->m_closed || !services.apple.isAccessCalendar())
        co_return;
    const auto retried = co_await services.copier.retryPendingCopies(services.apple.eventStore());
    if (retried)
        self->armCopyRetry(*retried);
    else
        services.logger.logError(retried.error());
}

} // namespace tolvo
