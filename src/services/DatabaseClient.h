#pragma once

#include "core/Clock.h"
#include "core/Result.h"
#include "core/SyncRecords.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace tolvo {

class AppDatabase;

// A reminder that has come (shown, dismissed or dropped): its event, the moment it was for,
// and until when it matters (the event's end).
struct ReminderMark
{
    QString eventId;
    QDateTime reminderAt;
    QDateTime keepUntil;
};

// The SQLite store of push channels and event mappings. Every operation is synchronous and
// one transaction; errors of SQLite (busy, full disk, a UNIQUE violation) reach the caller
// unchanged, and a failed write leaves the database as it was.
struct DatabaseClient
{
    static constexpr const char *dependencyKey = "databaseClient";

    // Updates the row with the channel's calendar id, or inserts one.
    std::function<VoidResult(const CalendarChannel &)> storeCalendarChannel;
    std::function<Result<QList<CalendarChannel>>()> calendarChannels;
    // Deleting a calendar id that has no row is fine.
    std::function<VoidResult(const QString &calendarId)> deleteCalendarChannelByCalendarId;
    // Points the Google event's row at the local event (keeping its id), or inserts one;
    // dated now.
    std::function<VoidResult(const QString &ekEventIdentifier, const QString &googleEventId)>
        saveEventMapping;
    // As saveEventMapping, and records the Google calendar the event came from.
    std::function<VoidResult(const QString &ekEventIdentifier, const QString &googleEventId,
        const QString &googleCalendarId)>
        saveCalendarEventMapping;
    // The mappings recorded for a Google calendar (rows saved without one are not listed).
    std::function<Result<QList<EventMapping>>(const QString &googleCalendarId)>
        eventMappingsOfCalendar;
    std::function<VoidResult(const QString &googleEventId)> deleteEventMapping;
    std::function<Result<std::optional<EventMapping>>(const QString &googleEventId)>
        retrieveEventMapping;

    // Each calendar's incremental position at Google; none when the calendar was never
    // listed (or its position was cleared).
    std::function<Result<std::optional<QString>>(const QString &calendarId)> syncToken;
    std::function<VoidResult(const QString &calendarId, const QString &token)> storeSyncToken;
    std::function<VoidResult(const QString &calendarId)> deleteSyncToken;
    std::function<VoidResult()> deleteAllSyncTokens;

    // The journal of failed copies, one entry per Google event (a newer failure replaces it).
    std::function<VoidResult(const PendingCopy &)> storePendingCopy;
    std::function<Result<QList<PendingCopy>>()> pendingCopies;
    std::function<VoidResult(const QString &googleEventId)> deletePendingCopy;

    // The reminders that have come, across restarts. Storing one also forgets every mark kept
    // only until a moment before `now`.
    std::function<VoidResult(const ReminderMark &, const QDateTime &now)> storeReminderMark;
    std::function<Result<bool>(const QString &eventId, const QDateTime &reminderAt)>
        hasReminderMark;

    static DatabaseClient over(std::shared_ptr<AppDatabase> database, Clock clock = systemClock());

    // The process's database file; a file that cannot be opened stops the process.
    static DatabaseClient liveValue();
    // A real database file in a temporary folder of this process, so test runs never share
    // or keep rows.
    static DatabaseClient testValue();
    static DatabaseClient previewValue() { return liveValue(); }
};

} // namespace tolvo
