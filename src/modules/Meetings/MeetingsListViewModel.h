#pragma once

#include "core/AlertType.h"
#include "core/CalendarChanges.h"
#include "core/CalendarContext.h"
#include "core/DateHelpers.h"
#include "core/Dependencies.h"
#include "core/GoogleCalendar.h"
#include "core/MeetingRules.h"
#include "core/Requests.h"
#include "core/Subject.h"
#include "core/SyncBus.h"
#include "core/Timers.h"
#include "modules/Meetings/EventModel.h"
#include "services/CacheManager.h"
#include "services/DateManager.h"
#include "services/EventsTimerManager.h"
#include "services/GoogleCalendarClient.h"
#include "services/GoogleClient.h"
#include "services/LoggerClient.h"
#include "services/NotificationHandler.h"
#include "services/UserDefaultsClient.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <deque>
#include <functional>
#include <optional>

namespace tolvo {

// The meetings of the followed calendars: the events of the displayed day, week or month (the
// list the calendar screen draws), reminders and end timers for them and for everything from now
// to four weeks past tomorrow, the changes that live sync pushes, snoozes, and deletion of ended
// meetings on Google when the user asked for it. Main thread.
//
// Reloads run one after another, in the order they were asked for. It is the only user of the
// event timers and cancels all of them when it is destroyed: keep one list at a time (destroy
// the old one before making its successor).
class MeetingsListViewModel : public QObject
{
    Q_OBJECT
public:
    explicit MeetingsListViewModel(QObject *parent = nullptr);
    ~MeetingsListViewModel() override;

    // --- published state ---
    // Whether the full-screen reminder shows, and for which event. The view sets idle when the
    // user dismisses it.
    const NotificationStatus &notificationStatus() const { return m_notificationStatus; }
    void setNotificationStatus(const NotificationStatus &status);
    // The displayed events in the order they were added: each reload appends one block per
    // calendar ordered by start; pushed additions go in front.
    const QList<EventModelPtr> &eventsModel() const { return m_eventsModel; }
    // The alert to present; the presenter clears it.
    AlertItem *alertType() { return &m_alert; }
    CalendarViewType selectedView() const { return m_selectedView; }
    // The date whose period is displayed; set once the reload for a picked date has finished.
    // Pick dates with pickDate, not here.
    QDateTime selectedDate() const { return m_selectedDate; }
    // The calendars whose events the list holds or is loading.
    const QList<GoogleCalendar> &currentHandleCalendars() const { return m_currentHandleCalendars; }
    // Whether a reload is running or waiting.
    bool isLoading() const { return m_reloadRunning || !m_reloads.empty(); }
    // The zone, locale, week start and clock the list's dates are in.
    const CalendarContext &calendarContext() const { return *m_context; }
    // The date the calendar screen shows: the selected date, or DateManager's pick before one is
    // set.
    QDateTime displayedDate() const;

    // --- commands ---
    // Another calendar view: its period is loaded.
    void selectView(CalendarViewType view);
    // The user picked a date on the calendar screen: it goes to DateManager, and selectedDate
    // follows once its period is loaded.
    void pickDate(const QDateTime &date);
    // The user's Delete: asks Google to delete the event. The list changes when the deletion
    // comes back as a pushed change or at the next reload.
    void deleteEvent(const GoogleCalendarEvent &event, const QString &calendarId);
    // The reminder's snooze choice: the reminder closes and comes back at the chosen moment
    // unless that is after the event's start.
    void snooze(SnoozeTime time, const GoogleCalendarEvent &event);

    // --- what timers and live sync call; public for the views' tests and for tests ---
    // Shows the reminder unless another one shows (then this one is dropped).
    void showReminder(const GoogleCalendarEvent &event);
    // The event leaves the list and its timers go; with a calendar id and "deleteEventOnEnded"
    // on, it is also deleted on Google when the account may write that calendar.
    void removeEndedEvent(const GoogleCalendarEvent &event, const QString &calendarId);
    // One update of the sync stream ("google_changed_notification").
    void googleChangedNotification(const CalendarSyncUpdate &update);
    // Loads `calendars` for the period around `date` after the reloads already asked for.
    void handleCalendars(const QList<GoogleCalendar> &calendars, std::optional<QDateTime> date);
    // The days displayed around `date` for the current view.
    DayRange dateInterval(const QDateTime &date) const;

signals:
    void notificationStatusChanged();
    void eventsModelChanged();
    void selectedViewChanged(tolvo::CalendarViewType view);
    void selectedDateChanged(const QDateTime &date);
    void loadingChanged(bool loading);

private:
    struct Meeting
    {
        QString calendarId;
        QList<GoogleCalendarEvent> events;
    };
    struct Reload
    {
        std::optional<QList<GoogleCalendar>> calendars; // the displayed period, when set
        std::optional<QDateTime> date;
        bool upcoming = false; // refresh the upcoming weeks as well
        bool publishesDate = false; // a date pick: selectedDate follows once it is done
        // Everything handled again, with the calendars and date of its turn (set then).
        bool refresh = false;
    };
    struct Upcoming
    {
        GoogleCalendarEvent event;
        QString calendarId;
    };

    void enqueue(Reload reload);
    // Queues a refresh unless one is waiting already.
    void refresh();
    static QCoro::Task<> runReloads(QPointer<MeetingsListViewModel> self);
    static QCoro::Task<> reloadDisplayed(QPointer<MeetingsListViewModel> self, Reload reload);
    static QCoro::Task<> reloadUpcoming(QPointer<MeetingsListViewModel> self);
    static QCoro::Task<Result<QList<Meeting>>> fetchMeetings(GoogleCalendarClient client,
        QStringList calendarIds, DayRange days, CalendarContext context);
    static QCoro::Task<> runDelete(QPointer<MeetingsListViewModel> self, GoogleCalendarEvent event,
        QString calendarId, bool retryAfterSignIn);
    static QCoro::Task<> runReauthorize(QPointer<MeetingsListViewModel> self,
        QList<GoogleCalendar> calendars, std::optional<QDateTime> date);

    void addMeetings(const QList<Meeting> &meetings);
    void armTimers(const GoogleCalendarEvent &event, const QString &calendarId);
    void endFired(const GoogleCalendarEvent &event, const QString &calendarId);
    void applyGoogleChanges(const QString &calendarId, const QList<GoogleCalendarChange> &changes);
    void noteUpcoming(const GoogleCalendarEvent &event, const QString &calendarId);
    bool isListed(const QString &eventId) const;
    // Whether a pushed change reached the event (or its series) after the running fetch was
    // asked for.
    bool changedWhileFetching(const QString &eventId) const;
    // Cancels the event's reminder and end timers unless it is listed or upcoming.
    void releaseTimersIfUnused(const GoogleCalendarEvent &event);
    // Removes the listed and upcoming entries that match, with the timers nothing else needs.
    void dropEntries(
        const std::function<bool(const GoogleCalendarEvent &, const QString &calendarId)> &matches);
    void raiseFetchAlert(
        const Error &error, QList<GoogleCalendar> calendars, std::optional<QDateTime> date);
    void raiseDeleteAlert(const Error &error, GoogleCalendarEvent event, QString calendarId);
    void armMidnight();
    void setEventsModel(QList<EventModelPtr> models);

    Dependency<GoogleClient> m_googleClient;
    Dependency<GoogleCalendarClient> m_googleCalendarClient;
    Dependency<CacheManager> m_cacheManager;
    Dependency<DateManager> m_dateManager;
    Dependency<EventsTimerManager> m_eventsTimerManager;
    Dependency<UserDefaultsClient> m_userDefaults;
    Dependency<NotificationHandler> m_notificationHandler;
    Dependency<LoggerClient> m_logger;
    Dependency<SyncBus> m_syncBus;
    Dependency<CalendarContext> m_context;
    AppDateFormatter m_formatter;

    NotificationStatus m_notificationStatus;
    QList<EventModelPtr> m_eventsModel;
    AlertItem m_alert;
    CalendarViewType m_selectedView = CalendarViewType::month;
    QDateTime m_selectedDate;
    QList<GoogleCalendar> m_currentHandleCalendars;
    QHash<QString, Upcoming> m_upcoming; // by event id
    QHash<QString, quint64> m_snoozes; // event id -> the snooze that may still show it
    // Ids pushed since the running fetch was asked for (reloads run one at a time).
    QSet<QString> m_changedWhileFetching;
    quint64 m_nextSnooze = 0;

    std::deque<Reload> m_reloads;
    bool m_reloadRunning = false;
    bool m_refreshWaiting = false;
    bool m_firstDate = true;
    Timers m_ownTimers; // the midnight refresh
    Subscription m_calendarSubscription;
    Subscription m_dateSubscription;
    Subscription m_syncSubscription;
};

} // namespace tolvo
