#pragma once

#include "core/AlertType.h"
#include "core/CalendarContext.h"
#include "core/Dependencies.h"
#include "core/GoogleCalendar.h"
#include "core/Requests.h"
#include "core/Subject.h"
#include "core/SyncBus.h"
#include "services/AnalyticsManager.h"
#include "services/AppUpdater.h"
#include "services/CacheManager.h"
#include "services/DatabaseClient.h"
#include "services/DateManager.h"
#include "services/GoogleCalendarClient.h"
#include "services/GoogleCalendarSyncClient.h"
#include "services/GoogleClient.h"
#include "services/LoggerClient.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <optional>

namespace tolvo {

// The signed-in window's state: which pane shows (spinner, meetings or the "Refresh" empty
// state), the alert, the account's calendars with the followed ones marked, and the date picked
// in the sidebar. It starts the live sync of the followed calendars, owns that stream and posts
// every update on the SyncBus; it follows and unfollows calendars and signs out. Main thread.
class MainViewModel : public QObject
{
    Q_OBJECT
public:
    explicit MainViewModel(QObject *parent = nullptr);
    ~MainViewModel() override;

    // --- published state ---
    AppState appState() const { return m_appState; }
    // The alert to present; the presenter clears it.
    AlertItem *alertType() { return &m_alert; }
    // In Google's order; `isSelected` is whether the calendar is followed.
    const QList<GoogleCalendar> &calendars() const { return m_calendars; }
    // Mirrors DateManager's selected date.
    QDateTime selectedDate() const { return m_selectedDate; }
    // The zone, locale, week start and clock the sidebar's month is drawn in.
    const CalendarContext &calendarContext() const { return *m_context; }
    // The date the sidebar's month opens at: the selected date, or now before one is set.
    QDateTime pickerDate() const;
    // The outcome of each start-up request (only `googleCalendarInit` is written).
    const QHash<RequestType, RequestInfo> &requests() const { return m_requests; }
    bool someRequestFailed() const;
    std::optional<Error> firstFailedError() const;
    // Whether a start is configuring right now.
    bool isStarting() const { return m_starting; }
    // Whether this screen's sync stream is open.
    bool isSyncing() const { return m_streamOpen; }

    // --- commands ---
    // Each time the main screen shows: starts unless an earlier start succeeded or is running.
    void startIfNeeded();
    // The empty state's "Refresh": starts again unless a start is running.
    void refresh();
    // The sidebar's date pick: goes to DateManager, and selectedDate follows.
    void selectDate(const QDateTime &date);
    // A sidebar row: follows an unfollowed calendar and unfollows a followed one.
    void toggleCalendar(const GoogleCalendar &calendar);
    // Ends a start that is still running, stops every channel, then signs out (which returns
    // the window to onboarding), then reports "signOut"; a failing step ends the sequence
    // quietly.
    void logout();
    // The start-up alerts' "Refresh": the browser sign-in, then the start again.
    void reauthorize();

signals:
    void appStateChanged(tolvo::AppState state);
    void calendarsChanged();
    void selectedDateChanged(const QDateTime &date);
    // The sign-out sequence ended; `signedOut` tells whether it went through.
    void logoutFinished(bool signedOut);
    // A start has run to its end, also one that a sign-out outdated: nothing it began is
    // still under way.
    void startEnded();

private:
    // Whether the model lives and is still of the account a start began with.
    static bool isCurrent(const QPointer<MainViewModel> &self, quint64 account)
    {
        return self && self->m_account == account;
    }
    static QCoro::Task<> startSync(QPointer<MainViewModel> self);
    static QCoro::Task<> configure(QPointer<MainViewModel> self, quint64 account);
    static QCoro::Task<> googleCalendarInit(QPointer<MainViewModel> self, quint64 account);
    static QCoro::Task<VoidResult> loadGoogleCalendars(
        QPointer<MainViewModel> self, quint64 account);
    static QCoro::Task<> runReauthorize(QPointer<MainViewModel> self);
    static QCoro::Task<> runToggle(QPointer<MainViewModel> self, QString calendarId, bool follow);
    static QCoro::Task<> runLogout(QPointer<MainViewModel> self);
    static QCoro::Task<> consume(SyncStream stream, LoggerClient logger, SyncBus bus);

    Result<QList<GoogleCalendar>> markSelectedCalendars(QList<GoogleCalendar> calendars) const;
    void evaluateRequests();
    void openStream();
    void closeStream();
    void setAppState(AppState state);
    void setCalendars(QList<GoogleCalendar> calendars);
    QList<GoogleCalendar> selectedCalendars() const;

    Dependency<DatabaseClient> m_databaseClient;
    Dependency<CacheManager> m_cacheManager;
    Dependency<GoogleClient> m_googleClient;
    Dependency<GoogleCalendarClient> m_googleCalendarClient;
    Dependency<DateManager> m_dateManager;
    Dependency<AppUpdater> m_appUpdater;
    Dependency<LoggerClient> m_logger;
    Dependency<GoogleCalendarSyncClient> m_calendarSyncClient;
    Dependency<AnalyticsManager> m_analyticsManager;
    Dependency<SyncBus> m_syncBus;
    Dependency<CalendarContext> m_context;

    QHash<RequestType, RequestInfo> m_requests;
    AppState m_appState = AppState::idle;
    AlertItem m_alert;
    QList<GoogleCalendar> m_calendars;
    QDateTime m_selectedDate;
    Subscription m_dateSubscription;

    bool m_configuredOnce = false;
    bool m_starting = false;
    // Bumped by a sign-out: a start of an earlier value belongs to the signed-out account.
    quint64 m_account = 0;
    bool m_streamOpen = false;
    std::optional<SyncStream> m_stream;
};

} // namespace tolvo
