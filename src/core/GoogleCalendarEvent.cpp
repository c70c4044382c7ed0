#include "core/GoogleCalendarEvent.h"

#include "core/JsonFields.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace tolvo {

QString rawValue(GoogleCalendarEventStatus status)
{
    switch (status) {
    case GoogleCalendarEventStatus::confirmed: return QStringLiteral("confirmed");
    case GoogleCalendarEventStatus::tentative: return QStringLiteral("tentative");
    case GoogleCalendarEventStatus::cancelled: return QStringLiteral("cancelled");
    }
    return {};
}

std::optional<GoogleCalendarEventStatus> googleCalendarEventStatus(const QString &raw)
{
    for (const auto status : {GoogleCalendarEventStatus::confirmed,
             GoogleCalendarEventStatus::tentative, GoogleCalendarEventStatus::cancelled}) {
        if (raw == rawValue(status))
            return status;
    }
    return std::nullopt;
}

std::optional<QDateTime> dateComponents(const QDateTime &moment)
{
    if (!moment.isValid())
        return std::nullopt;
    const qint64 wholeSeconds = moment.toSecsSinceEpoch();
    return QDateTime::fromSecsSinceEpoch(wholeSeconds, Qt::UTC);
}

std::optional<qint64> reminderMinutesFrom(double minutes)
{
    if (!std::isfinite(minutes))
        return std::nullopt;
    // Clamped as a double first: converting a double beyond qint64 is undefined.
    return static_cast<qint64>(std::clamp(minutes, 0.0, double(maxReminderMinutes)));
}

std::optional<QDateTime> GoogleCalendarEvent::reminderMoment() const
{
    if (!start || !start->isValid())
        return std::nullopt;
    return start->addSecs(-60 * std::clamp(reminderMinutes, qint64(0), maxReminderMinutes));
}

double GoogleCalendarEvent::timeToReminder(const QDateTime &now) const
{
    const auto moment = reminderMoment();
    if (!moment || !moment->isValid())
        return 0;
    return static_cast<double>(now.msecsTo(*moment)) / 1000.0;
}

QJsonObject GoogleCalendarEvent::toJson() const
{
    QJsonObject json;
    json::insertIdentity(json, *this);
    json.insert(QStringLiteral("created"), json::fromOptionalDate(created));
    json.insert(QStringLiteral("updated"), json::fromOptionalDate(updated));
    json.insert(QStringLiteral("start"), json::fromOptionalDate(start));
    json.insert(QStringLiteral("end"), json::fromOptionalDate(end));
    json.insert(QStringLiteral("summary"), json::fromOptional(summary));
    json.insert(QStringLiteral("status"),
        status ? QJsonValue(rawValue(*status)) : QJsonValue(QJsonValue::Null));
    json.insert(QStringLiteral("iCalUID"), json::fromOptional(iCalUID));
    json.insert(QStringLiteral("description"), json::fromOptional(description));
    json.insert(QStringLiteral("hangoutLink"), json::fromOptional(hangoutLink));
    json.insert(QStringLiteral("reminderMinutes"), static_cast<double>(reminderMinutes));
    json.insert(QStringLiteral("location"), json::fromOptional(location));
    json.insert(QStringLiteral("isAllDay"), isAllDay);
    json.insert(QStringLiteral("isFavourite"), isFavourite);
    if (!recurrence.isEmpty())
        json.insert(QStringLiteral("recurrence"), QJsonArray::fromStringList(recurrence));
    if (recurringEventId)
        json.insert(QStringLiteral("recurringEventId"), *recurringEventId);
    if (originalStartTime)
        json.insert(QStringLiteral("originalStartTime"), json::fromDate(*originalStartTime));
    if (startTimeZone)
        json.insert(QStringLiteral("startTimeZone"), *startTimeZone);
    return json;
}

Result<GoogleCalendarEvent> GoogleCalendarEvent::fromJson(const QJsonObject &json)
{
    GoogleCalendarEvent event;
    TRY(json::readIdentity(json, event));
    TRY_ASSIGN(event.created, json::optionalDate(json, "created"));
    TRY_ASSIGN(event.updated, json::optionalDate(json, "updated"));
    TRY_ASSIGN(event.start, json::optionalDate(json, "start"));
    TRY_ASSIGN(event.end, json::optionalDate(json, "end"));
    TRY_ASSIGN(event.summary, json::optionalString(json, "summary"));
    TRY_ASSIGN(const auto statusText, json::optionalString(json, "status"));
    if (statusText) {
        event.status = googleCalendarEventStatus(*statusText);
        if (!event.status)
            return failure(json::missing("status"));
    }
    TRY_ASSIGN(event.iCalUID, json::optionalString(json, "iCalUID"));
    TRY_ASSIGN(event.description, json::optionalString(json, "description"));
    TRY_ASSIGN(event.hangoutLink, json::optionalString(json, "hangoutLink"));
    TRY_ASSIGN(const double minutes, json::requiredDouble(json, "reminderMinutes"));
    const auto reminderMinutes = reminderMinutesFrom(minutes);
    if (!reminderMinutes)
        return failure(json::missing("reminderMinutes"));
    event.reminderMinutes = *reminderMinutes;
    TRY_ASSIGN(event.location, json::optionalString(json, "location"));
    TRY_ASSIGN(event.isAllDay, json::requiredBool(json, "isAllDay"));
    TRY_ASSIGN(event.isFavourite, json::requiredBool(json, "isFavourite"));
    // The series fields came later: a record stored without them is a single event.
    const QJsonValue recurrence = json.value(QStringLiteral("recurrence"));
    if (!recurrence.isUndefined() && !recurrence.isNull()) {
        if (!recurrence.isArray())
            return failure(json::missing("recurrence"));
        for (const QJsonValue &line : recurrence.toArray()) {
            if (!line.isString())
                return failure(json::missing("recurrence"));
            event.recurrence.append(line.toString());
        }
    }
    TRY_ASSIGN(event.recurringEventId, json::optionalString(json, "recurringEventId"));
    TRY_ASSIGN(event.originalStartTime, json::optionalDate(json, "originalStartTime"));
    TRY_ASSIGN(event.startTimeZone, json::optionalString(json, "startTimeZone"));
    return event;
}

} // namespace tolvo
