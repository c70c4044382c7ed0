#pragma once

#include "core/GoogleCalendar.h"
#include "core/GoogleCalendarEvent.h"
#include "core/Result.h"

#include <QDateTime>
#include <QHashFunctions>
#include <QString>

#include <optional>

namespace tolvo {

// What the add and edit forms send to create or update a Google event.
struct CalendarEventRequest
{
    QString title;
    std::optional<QString> description;
    QDateTime startDate;
    QDateTime endDate;
    qint64 reminderTime = 30; // minutes
    GoogleCalendar calendar;
    bool shouldCreateGoogleMeet = false;
    // An edit's event had a Meet link when the form opened: the conference is written only
    // when `shouldCreateGoogleMeet` differs, so an edit never drops one it did not change.
    bool hadGoogleMeet = false;
    std::optional<QString> eventId; // absent for a new event
    std::optional<QString> location;
    bool isAllDay = false;
};

struct DeleteEventRequest
{
    QString calendarId;
    QString eventId;
};

// The key of the main screen's start-up request table.
enum class RequestType { watching, googleCalendarInit };

inline size_t qHash(RequestType type, size_t seed = 0)
{
    return ::qHash(static_cast<int>(type), seed);
}

struct RequestInfo
{
    std::optional<Error> error;
    bool success = false;
};

enum class AppState { idle, configured, somethingWrong };

enum class EventState { started, ended };

// Whether the full-screen reminder shows, and for which event. Two `showed` values are equal
// only for equal events (local identifier included).
struct NotificationStatus
{
    std::optional<GoogleCalendarEvent> event;

    static NotificationStatus idle() { return {}; }
    static NotificationStatus showed(GoogleCalendarEvent event) { return {std::move(event)}; }
    bool isIdle() const { return !event.has_value(); }

    friend bool operator==(const NotificationStatus &, const NotificationStatus &) = default;
};

// `notDefined` is the reminder's "nothing chosen yet"; it never reaches a snooze.
enum class SnoozeTime { minute, fiveMinutes, untilEvent, notDefined };

enum class CalendarViewType { day, week, month, agenda };

} // namespace tolvo
