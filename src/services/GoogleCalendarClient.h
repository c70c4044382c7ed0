#pragma once

#include "core/Endpoints.h"
#include "core/GoogleCalendar.h"
#include "core/GoogleCalendarEvent.h"
#include "core/Requests.h"
#include "core/Result.h"
#include "core/SyncRecords.h"
#include "platform/AuthorizationSession.h"
#include "platform/CurrentAuthSession.h"
#include "platform/GoogleRestClient.h"
#include "services/DatabaseClient.h"
#include "services/LoggerClient.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QTimeZone>

#include <functional>
#include <memory>

namespace tolvo {

// Where the calendars' incremental positions are kept between runs.
struct SyncTokenStore
{
    std::function<Result<std::optional<QString>>(const QString &calendarId)> load;
    std::function<VoidResult(const QString &calendarId, const QString &token)> store;
    std::function<VoidResult(const QString &calendarId)> remove;
    std::function<VoidResult()> clear;

    static SyncTokenStore over(const DatabaseClient &database);
};

// One listing of a calendar's events. `complete` says it is not a change feed but the whole
// calendar (no position was held, or Google no longer knew it): it reconciles a copy instead of
// reporting changes. `syncToken` is the position after it, not yet kept.
struct GoogleEventListing
{
    QList<GoogleCalendarEvent> events;
    bool complete = false;
    QString syncToken;
};

// The Google Calendar v3 operations Tolvo uses. Every request is signed by the process's
// current session; every failure is logged and handed back unchanged (HTTP status as code).
// One incremental sync token is kept per calendar (in memory and in the token store), used and
// replaced by `fetchEvents` and `commitSyncToken`, cleared by sign-out and `forgetSyncToken`.
struct GoogleCalendarClient
{
    static constexpr const char *dependencyKey = "googleCalendarClient";

    template<typename T> using Async = QCoro::Task<Result<T>>;

    // Makes `session` the current one (when given), then lists the account's calendars.
    std::function<Async<QList<GoogleCalendar>>(std::shared_ptr<AuthorizationSession> session)>
        fetchCalendarList;
    // The calendar's changes since its sync token (all events, deleted ones included, without
    // one). An expired token is dropped and replaced by a fresh baseline, which is no change.
    std::function<Async<QList<GoogleCalendarEvent>>(const QString &calendarId)> fetchEvents;
    // The calendar's events since its held position (or all of them), without moving the
    // position: the caller keeps the answer's token with `commitSyncToken` once it has dealt
    // with the events, so a crash in between lists them again instead of losing them.
    std::function<Async<GoogleEventListing>(const QString &calendarId)> fetchEventListing;
    // Keeps `token` as the calendar's position (an empty token clears it).
    std::function<VoidResult(const QString &calendarId, const QString &token)> commitSyncToken;
    // The calendar was unfollowed: its next listing is a whole one.
    std::function<VoidResult(const QString &calendarId)> forgetSyncToken;
    // Registers a push channel with the backend's notification address.
    std::function<Async<CalendarChannel>(const QString &calendarId)> watch;
    std::function<Async<bool>(const QString &channelId, const QString &resourceId)> stop;
    // The single events of the days from `start`'s day to `end`'s day, by start time.
    std::function<Async<QList<GoogleCalendarEvent>>(
        const QDateTime &start, const QDateTime &end, const QString &calendarId)>
        fetchEventsForDate;
    std::function<Async<bool>(const CalendarEventRequest &request)> createEvent;
    std::function<Async<bool>(const DeleteEventRequest &request)> deleteEvent;
    // False, without a request, when the request has no event id.
    std::function<Async<bool>(const CalendarEventRequest &request)> updateEvent;

    struct Environment
    {
        QUrl apiRoot;
        QUrl backendBase;
        CurrentAuthSessionPtr current;
        LoggerClient logger;
        // All-day dates and day windows are in this zone: `environment()` gives the calendar
        // context's; a hand-made environment stays in UTC whatever the machine's zone.
        QTimeZone zone = QTimeZone::utc();
        Clock clock = systemClock();
        // Without one, positions live for the process only.
        std::optional<SyncTokenStore> tokens;
        // Timeout and retries of every request.
        GoogleRestClient::Options rest {};
    };
    // Endpoints, session holder, logger and token store from the container; the zone and
    // clock of the container's calendar context.
    static Environment environment();
    static GoogleCalendarClient make(Environment environment);

    static GoogleCalendarClient liveValue();
    // Every operation fails the test that did not override it.
    static GoogleCalendarClient testValue();
    // An opt-in stand-in: two sample calendars, a sample channel, empty lists and successful
    // writes, without a request.
    static GoogleCalendarClient sample();
    static GoogleCalendarClient previewValue() { return sample(); }
};

} // namespace tolvo
