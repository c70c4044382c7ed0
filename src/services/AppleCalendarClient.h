#pragma once

#include "core/AsyncStream.h"
#include "core/CalendarChanges.h"
#include "core/CancelToken.h"
#include "core/Clock.h"
#include "core/LocalCalendar.h"
#include "core/LocalEvent.h"
#include "core/Result.h"
#include "core/Subject.h"
#include "services/UserDefaultsClient.h"

#include <QCoro/QCoroTask>
#include <QHash>

#include <functional>
#include <memory>
#include <optional>

namespace tolvo {

class LocalCalendarStore;

// Whether the user let the application use the local calendar. Kept in settings: the store
// on disk has no permission of its own, so this is the application's own consent.
enum class CalendarAccessStatus { notDetermined, restricted, denied, fullAccess, writeOnly };

QString rawValue(CalendarAccessStatus status);
std::optional<CalendarAccessStatus> calendarAccessStatus(const QString &raw);

// Asks the user whether the application may use the local calendar: true for yes, false for
// no, an error when the question could not be asked. The application installs a dialog; the
// live default has no way to ask and fails.
struct CalendarAccessPrompt
{
    static constexpr const char *dependencyKey = "calendarAccessPrompt";

    std::function<QCoro::Task<Result<bool>>()> ask;

    static CalendarAccessPrompt liveValue();
    static CalendarAccessPrompt testValue();
    static CalendarAccessPrompt previewValue();
};

// The local calendar session: the one store, the chosen calendar in settings, the access
// consent and, per followed Google calendar, when its change monitor last looked.
class AppleCalendarSession
{
public:
    AppleCalendarSession(std::shared_ptr<LocalCalendarStore> store, UserDefaultsClient userDefaults,
        CalendarAccessPrompt prompt, Clock clock = systemClock());

    CalendarAccessStatus accessStatus() const;
    QCoro::Task<Result<bool>> requestAccess();
    bool isAccessCalendar() const;

    VoidResult storeCalendar(const LocalCalendar &calendar);
    std::optional<LocalCalendar> selectedCalendar() const;

    // The changes of every calendar within two days of now, modified since the calendar id's
    // last difference (or, the first time, within the last two days).
    QList<AppleCalendarChange> computeLocalChanges(const QString &calendarId);
    QCoro::Task<void> startLocalChangeMonitoring(QString calendarId,
        AsyncStream<CalendarSyncUpdate>::Continuation continuation, CancelToken token);

    const std::shared_ptr<LocalCalendarStore> &store() const { return m_store; }

    // The calendar copies now go into, each time copying becomes possible (access granted
    // while a calendar is chosen) or its target changes (another calendar chosen with access).
    Publisher<LocalCalendar> copyTargetChanged() const { return m_copyTarget->publisher(); }

private:
    bool isEventDeleted(const LocalEvent &event);
    // The text stored under `key` as a JSON string; nothing when absent or unreadable.
    std::optional<QString> storedText(const char *key) const;

    std::shared_ptr<LocalCalendarStore> m_store;
    UserDefaultsClient m_userDefaults;
    CalendarAccessPrompt m_prompt;
    Clock m_clock;
    struct MonitorState
    {
        // The whole second of the last check; edits in it or later are looked at.
        QDateTime since;
        // What that check saw modified within its own second, as it was then.
        QHash<QString, LocalEvent> reported;
    };
    QHash<QString, MonitorState> m_syncState;
    std::shared_ptr<Subject<LocalCalendar>> m_copyTarget = Subject<LocalCalendar>::passthrough();
};

// Access to the local calendar store and its change monitor.
struct AppleCalendarClient
{
    static constexpr const char *dependencyKey = "appleCalendarClient";
    // Settings key of the access consent (a JSON string: one of the status names).
    static constexpr const char *accessStatusKey = "calendarAccessStatus";

    // Not determined: asks the prompt and keeps the answer (an answer that cannot be saved is
    // an error, and the next request asks again). Full or write-only access: true; restricted
    // or denied: false, without asking.
    std::function<QCoro::Task<Result<bool>>()> requestAccess;
    // Yields the local changes around now into the continuation on every change of the store,
    // until the token is cancelled or the stream finishes.
    std::function<QCoro::Task<void>(const QString &calendarId,
        AsyncStream<CalendarSyncUpdate>::Continuation continuation, CancelToken token)>
        startLocalChangeMonitoring;
    std::function<QList<LocalEvent>(const QDateTime &start, const QDateTime &end)> fetchAppleEvents;
    std::function<std::shared_ptr<LocalCalendarStore>()> eventStore;
    // Keeps the calendar's identifier under "appleCalendarId" (as a JSON string); fails when
    // the settings cannot be saved, and the earlier choice stays.
    std::function<VoidResult(const LocalCalendar &calendar)> storeCalendar;
    // The stored calendar, or nothing when none is stored, the value is unreadable or the
    // calendar is gone.
    std::function<std::optional<LocalCalendar>()> selectedCalendar;
    std::function<QList<LocalCalendar>()> calendars;
    // Never asks: true for full and write-only access.
    std::function<bool()> isAccessCalendar;
    // The chosen calendar each time copying becomes possible or moves to another calendar:
    // what was not copied before, or went elsewhere, is to be copied again.
    Publisher<LocalCalendar> copyTargetChanged;

    static AppleCalendarClient over(std::shared_ptr<AppleCalendarSession> session);

    // The store at its default root, settings and prompt from the container.
    static AppleCalendarClient liveValue();
    // A session over a store in a temporary folder of this process.
    static AppleCalendarClient testValue();
    static AppleCalendarClient previewValue() { return liveValue(); }
};

} // namespace tolvo
