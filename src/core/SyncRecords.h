#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace tolvo {

// One Google push channel watching one calendar; one row per followed calendar.
struct CalendarChannel
{
    QString calendarId;
    // Milliseconds since 1970-01-01 UTC, exactly as the watch answer gave it.
    double expiration = 0;
    QString resourceId;
    QString channelId;

    QDateTime expirationDate() const;

    QJsonObject toJson() const;
    // Every key is required.
    static Result<CalendarChannel> fromJson(const QJsonObject &json);

    friend bool operator==(const CalendarChannel &, const CalendarChannel &) = default;
};

// Which local calendar event stands for which Google event.
struct EventMapping
{
    // Assigned by the store on first insert; absent before.
    std::optional<qint64> id;
    QString ekEventIdentifier;
    QString googleEventId;
    QDateTime lastSynchronizedDate;

    QJsonObject toJson() const;
    // Every key is required except `id`, which may be absent or null.
    static Result<EventMapping> fromJson(const QJsonObject &json);

    friend bool operator==(const EventMapping &, const EventMapping &) = default;
};

// A copy into the local calendar that failed and waits to be tried again. The event carries
// its state at Google: a cancelled event means the copy is to be removed.
struct PendingCopy
{
    QString googleEventId;
    QString calendarId;
    QJsonObject event; // GoogleCalendarEvent::toJson
    int attempts = 0;
    QDateTime nextAttempt;

    friend bool operator==(const PendingCopy &, const PendingCopy &) = default;
};

// One message of the standalone event-stream client, read from a "data: " line.
struct SSEEvent
{
    QString state;
    std::optional<QString> channelId;

    // "channelId" is left out when absent.
    QByteArray toJson() const;
    static Result<SSEEvent> fromJson(const QByteArray &text);

    friend bool operator==(const SSEEvent &, const SSEEvent &) = default;
};

// The errors of the live sync and the copier.
struct CalendarSyncError
{
    enum class Kind {
        authenticationFailed,
        eventSyncFailed,
        watchSetupFailed,
        sseConnectionFailed,
        invalidEventData,
        calendarNotFound,
        eventNotFound,
    };
    Kind kind;
    QString message; // authenticationFailed and eventSyncFailed only

    // Domain sync, code = the case's position.
    Error toError() const;
    static std::optional<CalendarSyncError> fromError(const Error &error);
};

} // namespace tolvo
