#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace tolvo {

enum class GoogleCalendarEventStatus { confirmed, tentative, cancelled };

QString rawValue(GoogleCalendarEventStatus status);
// Exact, case-sensitive match of the raw text; anything else is no status.
std::optional<GoogleCalendarEventStatus> googleCalendarEventStatus(const QString &raw);

// Creation and update times as Google reports them: UTC, whole seconds, so that two of them
// compare as a whole (the added-or-modified classification depends on created == updated).
std::optional<QDateTime> dateComponents(const QDateTime &moment);

// One Google event as the application keeps it. `identifier` is new for every value made
// (default construction); copies keep it, and equality includes it.
struct GoogleCalendarEvent
{
    QUuid identifier = QUuid::createUuid();
    QString id;
    std::optional<QDateTime> created;
    std::optional<QDateTime> updated;
    std::optional<QDateTime> start;
    std::optional<QDateTime> end;
    std::optional<QString> summary;
    std::optional<GoogleCalendarEventStatus> status;
    std::optional<QString> iCalUID;
    std::optional<QString> description;
    std::optional<QString> hangoutLink;
    qint64 reminderMinutes = 30;
    std::optional<QString> location;
    bool isAllDay = false;
    bool isFavourite = false;
    // A series master carries its rules as iCalendar text lines (RRULE, EXDATE, RDATE); Google
    // lists it under the series' own id with its first occurrence's times.
    QStringList recurrence;
    // An instance names its series and the start it had in the series' rule (which stays its
    // key when the instance is moved).
    std::optional<QString> recurringEventId;
    std::optional<QDateTime> originalStartTime;
    // The zone the start's wall time is kept in (Google's `start.timeZone`); a series repeats on
    // that wall time across daylight-saving changes.
    std::optional<QString> startTimeZone;

    bool isSeriesMaster() const { return !recurrence.isEmpty(); }
    bool isInstance() const { return recurringEventId.has_value(); }

    // Seconds from `now` to the reminder moment (start minus reminderMinutes); 0 without a
    // start. Positive while the moment lies ahead.
    double timeToReminder(const QDateTime &now) const;
    std::optional<QDateTime> reminderMoment() const;

    QJsonObject toJson() const;
    static Result<GoogleCalendarEvent> fromJson(const QJsonObject &json);

    friend bool operator==(const GoogleCalendarEvent &, const GoogleCalendarEvent &) = default;
};

// The longest reminder lead Google allows: four weeks.
inline constexpr qint64 maxReminderMinutes = 40320;

// A reminder lead from outside (Google, a stored record) as whole minutes within what Google
// allows, 0 to 40,320; nothing for a value that is not a finite number.
std::optional<qint64> reminderMinutesFrom(double minutes);

} // namespace tolvo
