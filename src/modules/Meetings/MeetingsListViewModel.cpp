#include "modules/Meetings/MeetingsListViewModel.h"

#include "core/Snooze.h"
#include "core/StartTask.h"

#include <QSet>

#include <algorithm>

#include <vector>

namespace tolvo {

namespace {

QString notificationTitle(GoogleCalendarChange::Kind kind)
{
    switch (kind) {
    case GoogleCalendarChange::Kind::added: return QStringLiteral("New event added");
    case GoogleCalendarChange::Kind::modified:
        return QStringLiteral("Event updated with new values");
    case GoogleCalendarChange::Kind::deleted: return QStringLiteral("Event deleted");
    }
    return {};
}

QStringList idsOf(const QList<GoogleCalendar> &calendars)
{
    QStringList ids;
    for (const GoogleCalendar &calendar : calendars)
        ids.append(calendar.id);
    return ids;
}

} // namespace

MeetingsListViewModel::MeetingsListViewModel(QObject *parent)
    : QObject(parent)
    , m_formatter(m_context->locale, m_context->zone)
    , m_selectedDate(m_context->now())
{
    // The cache announces every stored list of followed calendars (a follow, an unfollow, a new
    // start): the list follows it, and so do the reminders of the upcoming weeks.
    m_calendarSubscription = m_cacheManager->listenCalendarChanges.subscribe(
        this, [this](const QList<GoogleCalendar> &calendars) {
            enqueue({calendars, m_dateManager->selectedDate(), true, false});
        });
    // Queued: the current date arrives on a later pass of the loop, which is the first load.
    m_dateSubscription = m_dateManager->listenDateSelection().subscribe(
        this,
        [this](const QDateTime &date) {
            const bool first = std::exchange(m_firstDate, false);
            enqueue({m_cacheManager->calendars(), date, first, true});
        },
        Qt::QueuedConnection);
    m_syncSubscription = m_syncBus->googleChanged.subscribe(
        this, [this](const CalendarSyncUpdate &update) { googleChangedNotification(update); });
    armMidnight();
}

QDateTime MeetingsListViewModel::displayedDate() const
{
    return m_selectedDate.isValid() ? m_selectedDate : m_dateManager->selectedDate();
}

void MeetingsListViewModel::pickDate(const QDateTime &date)
{
    m_dateManager->selectDate(date);
}

MeetingsListViewModel::~MeetingsListViewModel()
{
    // This list is the only user of the event timers: what it armed must not fire for a screen
    // that is gone (an end timer could delete a meeting for an account that signed out).
    m_eventsTimerManager->clearTimers();
}

void MeetingsListViewModel::setNotificationStatus(const NotificationStatus &status)
{
    m_notificationStatus = status;
    emit notificationStatusChanged();
}

void MeetingsListViewModel::setEventsModel(QList<EventModelPtr> models)
{
    m_eventsModel = std::move(models);
    emit eventsModelChanged();
}

DayRange MeetingsListViewModel::dateInterval(const QDateTime &date) const
{
    return displayedDays(m_selectedView, date, *m_context);
}

void MeetingsListViewModel::selectView(CalendarViewType view)
{
    m_selectedView = view;
    emit selectedViewChanged(view);
    enqueue({m_cacheManager->calendars(), m_dateManager->selectedDate(), false, false});
}

void MeetingsListViewModel::handleCalendars(
    const QList<GoogleCalendar> &calendars, std::optional<QDateTime> date)
{
    enqueue({calendars, std::move(date), false, false});
}

void MeetingsListViewModel::enqueue(Reload reload)
{
    m_reloads.push_back(std::move(reload));
    if (m_reloadRunning)
        return;
    m_reloadRunning = true;
    emit loadingChanged(true);
    startDetached(runReloads(this));
}

QCoro::Task<> MeetingsListViewModel::runReloads(QPointer<MeetingsListViewModel> self)
{
    // One at a time: each reload's difference is taken against what the one before left, so
    // overlapping requests neither list events twice nor drop an added calendar.
    while (self && !self->m_reloads.empty()) {
        Reload reload = std::move(self->m_reloads.front());
        self->m_reloads.pop_front();
        if (reload.refresh) {
            // Every handled calendar (a follow still waiting brings its own), for the date
            // picked by now: changes pushed up to this turn are all in the answer.
            self->m_refreshWaiting = false;
            reload.calendars = self->m_currentHandleCalendars;
            reload.date = self->m_dateManager->selectedDate();
        }
        if (reload.calendars)
            co_await reloadDisplayed(self, reload);
        if (self && reload.publishesDate && reload.date) {
            self->m_selectedDate = *reload.date;
            emit self->selectedDateChanged(self->m_selectedDate);
        }
        if (self && reload.upcoming)
            co_await reloadUpcoming(self);
    }
    if (!self)
        co_return;
    self->m_reloadRunning = false;
    emit self->loadingChanged(false);
}

QCoro::Task<> MeetingsListViewModel::reloadDisplayed(
    QPointer<MeetingsListViewModel> self, Reload reload)
{
    const QList<GoogleCalendar> wanted = *reload.calendars;
    const CalendarListDifference difference
        = calendarListDifference(self->m_currentHandleCalendars, wanted);

    for (const QString &removedId : difference.removed) {
        self->dropEntries([&removedId](const GoogleCalendarEvent &, const QString &calendarId) {
            return calendarId == removedId;
        });
    }
    self->m_currentHandleCalendars = wanted;

    QStringList ids = difference.inserted;
    if (ids.isEmpty()) {
        // Nothing new: the period (or the view) changed, so everything is fetched again. Only
        // timers that nothing else needs go; the upcoming weeks' reminders stay armed.
        const QList<EventModelPtr> previous = self->m_eventsModel;
        self->setEventsModel({});
        for (const EventModelPtr &model : previous)
            self->releaseTimersIfUnused(model->event());
        ids = idsOf(wanted);
    }
    if (!reload.date || ids.isEmpty())
        co_return;

    const DayRange days = self->dateInterval(*reload.date);
    const GoogleCalendarClient client = *self->m_googleCalendarClient;
    const CalendarContext context = *self->m_context;
    self->m_changedWhileFetching.clear();
    auto fetched = co_await fetchMeetings(client, ids, days, context);
    if (!self)
        co_return;
    if (!fetched) {
        self->raiseFetchAlert(fetched.error(), wanted, reload.date);
        co_return;
    }
    self->addMeetings(*fetched);
}

QCoro::Task<> MeetingsListViewModel::reloadUpcoming(QPointer<MeetingsListViewModel> self)
{
    const QStringList ids = idsOf(self->m_currentHandleCalendars);
    const CalendarContext context = *self->m_context;
    const GoogleCalendarClient client = *self->m_googleCalendarClient;
    self->m_changedWhileFetching.clear();
    auto fetched = co_await fetchMeetings(client, ids, upcomingDays(context), context);
    if (!self)
        co_return;
    if (!fetched) {
        // The displayed period raises its own alert; here the previous set stays armed.
        self->m_logger->logError(fetched.error());
        co_return;
    }
    QHash<QString, Upcoming> fresh;
    QList<Upcoming> toArm;
    for (const Meeting &meeting : std::as_const(*fetched)) {
        for (const GoogleCalendarEvent &event : meeting.events) {
            if (self->changedWhileFetching(event.id))
                continue;
            fresh.insert(event.id, {event, meeting.calendarId});
            toArm.append({event, meeting.calendarId});
        }
    }
    // What a pushed change set while the fetch ran is newer than the answer.
    for (const Upcoming &pushed : std::as_const(self->m_upcoming)) {
        if (self->changedWhileFetching(pushed.event.id))
            fresh.insert(pushed.event.id, pushed);
    }
    const QHash<QString, Upcoming> previous = std::exchange(self->m_upcoming, fresh);
    for (const Upcoming &old : previous) {
        if (!fresh.contains(old.event.id))
            self->releaseTimersIfUnused(old.event);
    }
    for (const Upcoming &upcoming : std::as_const(toArm))
        self->armTimers(upcoming.event, upcoming.calendarId);
}

bool MeetingsListViewModel::changedWhileFetching(const QString &eventId) const
{
    if (m_changedWhileFetching.contains(eventId))
        return true;
    return std::any_of(m_changedWhileFetching.cbegin(), m_changedWhileFetching.cend(),
        [&eventId](const QString &changed) { return isInstanceOfSeries(eventId, changed); });
}

QCoro::Task<Result<QList<MeetingsListViewModel::Meeting>>> MeetingsListViewModel::fetchMeetings(
    GoogleCalendarClient client, QStringList calendarIds, DayRange days, CalendarContext context)
{
    // Every calendar is asked at once; the slowest answer sets the pace.
    const QDateTime start = days.startIn(context.zone);
    const QDateTime end = days.endIn(context.zone);
    std::vector<QCoro::Task<Result<QList<GoogleCalendarEvent>>>> requests;
    requests.reserve(std::size_t(calendarIds.size()));
    for (const QString &calendarId : std::as_const(calendarIds))
        requests.push_back(client.fetchEventsForDate(start, end, calendarId));

    QList<Meeting> meetings;
    std::optional<Error> firstFailure;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        auto events = co_await std::move(requests[i]);
        if (!events) {
            if (!firstFailure)
                firstFailure = events.error();
            continue;
        }
        meetings.append({calendarIds.at(qsizetype(i)), sortedByStart(*events, context.now())});
    }
    // One failing calendar fails the reload: a partial list would look complete.
    if (firstFailure)
        co_return failure(*firstFailure);
    co_return meetings;
}

void MeetingsListViewModel::addMeetings(const QList<Meeting> &meetings)
{
    // The answer was asked for before the changes pushed while it ran: for those events the
    // pushed state stands (a deleted one stays away), whatever the answer says.
    QSet<QString> fetchedIds;
    for (const Meeting &meeting : meetings) {
        for (const GoogleCalendarEvent &event : meeting.events) {
            if (!changedWhileFetching(event.id))
                fetchedIds.insert(event.id);
        }
    }
    // An event listed already (by an earlier push) gives way to the fetched copy rather than
    // standing beside it.
    QList<EventModelPtr> models;
    models.reserve(m_eventsModel.size() + fetchedIds.size());
    for (const EventModelPtr &model : std::as_const(m_eventsModel)) {
        if (!fetchedIds.contains(model->event().id))
            models.append(model);
    }
    for (const Meeting &meeting : meetings) {
        for (const GoogleCalendarEvent &event : meeting.events) {
            if (!fetchedIds.contains(event.id))
                continue;
            armTimers(event, meeting.calendarId);
            models.append(std::make_shared<const EventModel>(event, meeting.calendarId));
        }
    }
    setEventsModel(std::move(models));
}

void MeetingsListViewModel::armTimers(const GoogleCalendarEvent &event, const QString &calendarId)
{
    QPointer<MeetingsListViewModel> self(this);
    EventsTimerManager::Handler reminder = [self](const GoogleCalendarEvent &fired) {
        if (self)
            self->showReminder(fired);
    };
    EventsTimerManager::Handler end = [self, calendarId](const GoogleCalendarEvent &fired) {
        if (self)
            self->endFired(fired, calendarId);
    };
    // Re-arming replaces the event's timers, also when its new moment has passed, so a moved
    // meeting is never reminded at its old time.
    m_eventsTimerManager->modifyTimerWithEvent(event, EventTimerType::notification, reminder);
    m_eventsTimerManager->modifyTimerWithEvent(event, EventTimerType::end, end);
}

void MeetingsListViewModel::endFired(const GoogleCalendarEvent &event, const QString &calendarId)
{
    if (isListed(event.id) || m_upcoming.contains(event.id))
        removeEndedEvent(event, calendarId);
}

bool MeetingsListViewModel::isListed(const QString &eventId) const
{
    return std::any_of(m_eventsModel.cbegin(), m_eventsModel.cend(),
        [&eventId](const EventModelPtr &model) { return model->event().id == eventId; });
}

void MeetingsListViewModel::releaseTimersIfUnused(const GoogleCalendarEvent &event)
{
    if (!isListed(event.id) && !m_upcoming.contains(event.id))
        m_eventsTimerManager->removeTimer(event);
}

void MeetingsListViewModel::noteUpcoming(
    const GoogleCalendarEvent &event, const QString &calendarId)
{
    const DayRange days = upcomingDays(*m_context);
    const QDateTime windowStart = days.startIn(m_context->zone);
    const QDateTime windowEnd = days.endIn(m_context->zone);
    const QDateTime start = event.start.value_or(m_context->now());
    const QDateTime end = event.end.value_or(start);
    if (start <= windowEnd && end >= windowStart)
        m_upcoming.insert(event.id, {event, calendarId});
    else
        m_upcoming.remove(event.id);
}

void MeetingsListViewModel::raiseFetchAlert(
    const Error &error, QList<GoogleCalendar> calendars, std::optional<QDateTime> date)
{
    QPointer<MeetingsListViewModel> self(this);
    m_alert.set(alertForFailure(error, [self, calendars, date] {
        if (self)
            startDetached(runReauthorize(self, calendars, date));
    }));
}

QCoro::Task<> MeetingsListViewModel::runReauthorize(QPointer<MeetingsListViewModel> self,
    QList<GoogleCalendar> calendars, std::optional<QDateTime> date)
{
    const GoogleClient google = *self->m_googleClient;
    const auto authorized = co_await google.authorize();
    if (!self || !authorized || !*authorized)
        co_return;
    self->enqueue({calendars, date, true, false});
}

void MeetingsListViewModel::showReminder(const GoogleCalendarEvent &event)
{
    // One reminder at a time: one that comes while another shows is dropped, not queued.
    if (!m_notificationStatus.isIdle())
        return;
    setNotificationStatus(NotificationStatus::showed(event));
}

void MeetingsListViewModel::snooze(SnoozeTime time, const GoogleCalendarEvent &event)
{
    setNotificationStatus(NotificationStatus::idle());
    const std::optional<QDateTime> moment = snoozeMoment(time, event, m_context->now());
    if (!moment)
        return;
    // Snoozes stand apart from the event's timers: a reload or the meeting's end keeps them.
    // A pushed deletion withdraws them through this ticket.
    const quint64 ticket = ++m_nextSnooze;
    m_snoozes.insert(event.id, ticket);
    QPointer<MeetingsListViewModel> self(this);
    m_eventsTimerManager->createTimerWithDate(
        *moment, event, [self, ticket](const GoogleCalendarEvent &fired) {
            if (!self || self->m_snoozes.value(fired.id) != ticket)
                return;
            self->m_snoozes.remove(fired.id);
            self->showReminder(fired);
        });
}

void MeetingsListViewModel::removeEndedEvent(
    const GoogleCalendarEvent &endedEvent, const QString &endedCalendarId)
{
    // Copies: the arguments may live in the very timer that removeTimer below cancels.
    const GoogleCalendarEvent event = endedEvent;
    const QString calendarId = endedCalendarId;
    dropEntries([&event](const GoogleCalendarEvent &entry, const QString &) {
        return entry.id == event.id;
    });
    m_eventsTimerManager->removeTimer(event);

    // Deleting a master deletes every occurrence, past and future: only a single meeting or
    // one occurrence (by its own id) goes when it ends.
    if (calendarId.isEmpty() || event.isSeriesMaster())
        return;
    if (!m_userDefaults->boolValue(QString::fromLatin1(UserDefaultsClient::deleteEventOnEndedKey)))
        return;
    // Only where the account may write: a read-only calendar (holidays, a colleague's) would
    // otherwise answer every ended meeting with a sign-in alert.
    const QList<GoogleCalendar> calendars = m_cacheManager->calendars();
    const auto calendar = std::find_if(calendars.cbegin(), calendars.cend(),
        [&calendarId](const GoogleCalendar &c) { return c.id == calendarId; });
    if (calendar == calendars.cend() || !canWriteCalendar(calendar->accessRole))
        return;
    deleteEvent(event, calendarId);
}

void MeetingsListViewModel::deleteEvent(const GoogleCalendarEvent &event, const QString &calendarId)
{
    startDetached(runDelete(this, event, calendarId, false));
}

QCoro::Task<> MeetingsListViewModel::runDelete(QPointer<MeetingsListViewModel> self,
    GoogleCalendarEvent event, QString calendarId, bool signInFirst)
{
    if (signInFirst) {
        const GoogleClient google = *self->m_googleClient;
        const auto authorized = co_await google.authorize();
        if (!self || !authorized || !*authorized)
            co_return;
    }
    const GoogleCalendarClient client = *self->m_googleCalendarClient;
    // A local, not a braced temporary in the awaited expression (g++ 12 destroys those twice).
    const DeleteEventRequest request {calendarId, event.id};
    const auto deleted = co_await client.deleteEvent(request);
    if (!self || deleted)
        co_return;
    self->raiseDeleteAlert(deleted.error(), event, calendarId);
}

void MeetingsListViewModel::raiseDeleteAlert(
    const Error &error, GoogleCalendarEvent event, QString calendarId)
{
    QPointer<MeetingsListViewModel> self(this);
    m_alert.set(alertForFailure(error, [self, event, calendarId] {
        if (self)
            startDetached(runDelete(self, event, calendarId, true));
    }));
}

void MeetingsListViewModel::googleChangedNotification(const CalendarSyncUpdate &update)
{
    const CalendarSyncUpdate::GoogleChanges *google = update.google();
    if (!google)
        return;
    // Every change is told, listed or not; the list itself changes on a later pass. Changes
    // made while Tolvo was closed only update the list: told at start they would be a flood.
    if (google->notify) {
        const QDateTime now = m_context->now();
        for (const GoogleCalendarChange &change : google->changes) {
            const GoogleCalendarEvent &event = change.event();
            m_notificationHandler->postNotification(notificationTitle(change.kind()),
                notificationDateText(event, now, m_formatter), event.summary.value_or(QString()));
        }
    }
    QMetaObject::invokeMethod(
        this,
        [this, calendarId = google->calendarId, changes = google->changes] {
            applyGoogleChanges(calendarId, changes);
        },
        Qt::QueuedConnection);
}

void MeetingsListViewModel::applyGoogleChanges(
    const QString &calendarId, const QList<GoogleCalendarChange> &changes)
{
    bool reload = false;
    for (const GoogleCalendarChange &change : changes) {
        const GoogleCalendarEvent &event = change.event();
        m_changedWhileFetching.insert(event.id);
        if (change.kind() == GoogleCalendarChange::Kind::deleted) {
            // A deleted series takes its occurrences with it, and they go here and now: an
            // occurrence left armed (because a reload failed or is still out) would end by
            // asking Google to delete what is gone. What is deleted needs no fetch.
            const auto goneWith = [&event](const QString &id) {
                return id == event.id || isInstanceOfSeries(id, event.id);
            };
            dropEntries([&goneWith](const GoogleCalendarEvent &entry, const QString &) {
                return goneWith(entry.id);
            });
            m_eventsTimerManager->removeTimer(event);
            m_snoozes.removeIf([&goneWith](QHash<QString, quint64>::iterator snooze) {
                return goneWith(snooze.key());
            });
            continue;
        }
        // A series arrives as its master, under the series' id with its first occurrence's
        // times: listed as one meeting, its end would delete the whole series on Google. What
        // the list holds under that id (the single meeting it was until now) goes at once with
        // its timers, so that its end cannot fire before the reload brings the occurrences,
        // nor after a reload that failed.
        if (event.isSeriesMaster()) {
            dropEntries([&event](const GoogleCalendarEvent &entry, const QString &) {
                return entry.id == event.id;
            });
            m_eventsTimerManager->removeTimer(event);
            reload = true;
            continue;
        }
        // A change to a recurring series names the series, while the list holds its instances.
        if (change.kind() == GoogleCalendarChange::Kind::modified) {
            reload = reload
                || std::any_of(m_eventsModel.cbegin(), m_eventsModel.cend(),
                    [&event](const EventModelPtr &model) {
                        return isInstanceOfSeries(model->event().id, event.id);
                    });
        }
        // Looked up now, not when the change arrived: a reload or an earlier change may have
        // moved or removed the entry since.
        const auto listed = std::find_if(m_eventsModel.cbegin(), m_eventsModel.cend(),
            [&event](const EventModelPtr &model) { return model->event().id == event.id; });
        const bool isListedNow = listed != m_eventsModel.cend();
        if (!isListedNow && change.kind() == GoogleCalendarChange::Kind::modified) {
            // It may have moved into the displayed period: the reload finds out.
            reload = true;
            continue;
        }
        QList<EventModelPtr> models = m_eventsModel;
        auto model = std::make_shared<const EventModel>(event, calendarId);
        if (isListedNow)
            models[listed - m_eventsModel.cbegin()] = std::move(model);
        else
            models.prepend(std::move(model));
        noteUpcoming(event, calendarId);
        armTimers(event, calendarId);
        setEventsModel(std::move(models));
    }
    if (reload)
        refresh();
}

void MeetingsListViewModel::refresh()
{
    // Changes pushed while a reload runs need one more reload after it, not one each: the
    // waiting one reads the calendars and the date when its turn comes.
    if (m_refreshWaiting)
        return;
    m_refreshWaiting = true;
    Reload reload;
    reload.upcoming = true;
    reload.refresh = true;
    enqueue(std::move(reload));
}

void MeetingsListViewModel::dropEntries(
    const std::function<bool(const GoogleCalendarEvent &, const QString &calendarId)> &matches)
{
    QList<GoogleCalendarEvent> released;
    QList<EventModelPtr> kept;
    for (const EventModelPtr &model : std::as_const(m_eventsModel)) {
        if (matches(model->event(), model->calendarId()))
            released.append(model->event());
        else
            kept.append(model);
    }
    for (auto it = m_upcoming.begin(); it != m_upcoming.end();) {
        if (matches(it->event, it->calendarId)) {
            released.append(it->event);
            it = m_upcoming.erase(it);
        } else {
            ++it;
        }
    }
    if (kept.size() != m_eventsModel.size())
        setEventsModel(kept);
    for (const GoogleCalendarEvent &event : std::as_const(released))
        releaseTimersIfUnused(event);
}

void MeetingsListViewModel::armMidnight()
{
    // A wall-clock timer: a machine that sleeps through midnight refreshes when it wakes.
    m_ownTimers.schedule(nextLocalMidnight(m_context->now(), m_context->zone), [this] {
        armMidnight();
        enqueue({std::nullopt, std::nullopt, true, false});
    });
}

} // namespace tolvo
