#include "services/GoogleCalendarMapping.h"

#include "core/BackendAddresses.h"
#include "core/DateHelpers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace tolvo::google {

namespace {
std::optional<QString> optionalText(const QJsonObject &json, const char *key)
{
    const QJsonValue value = json.value(QLatin1String(key));
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<QDateTime> boundary(const QJsonObject &time, const QTimeZone &zone)
{
    if (time.contains(QStringLiteral("dateTime"))) {
        const QDateTime moment
            = parseTimestamp(time.value(QStringLiteral("dateTime")).toString(), zone);
        if (moment.isValid())
            return moment;
        return std::nullopt;
    }
    if (time.contains(QStringLiteral("date"))) {
        const QDate date
            = QDate::fromString(time.value(QStringLiteral("date")).toString(), Qt::ISODate);
        return resolveLocalTime(date, QTime(0, 0), zone);
    }
    return std::nullopt;
}

QString upperUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString rfc3339(const QDateTime &moment, const QTimeZone &zone)
{
    // The wall time and the offset of that very instant, so the text names the same moment.
    const QDateTime local = moment.toTimeZone(zone);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

// An update patches, and Google merges a patched boundary into the stored one: the form it
// does not use is cleared, or an event switched between all-day and timed would hold both.
QJsonObject writeBoundary(
    const QDateTime &moment, bool allDay, WriteKind kind, const QTimeZone &zone)
{
    QJsonObject boundary;
    if (allDay)
        boundary.insert(
            QStringLiteral("date"), moment.toTimeZone(zone).date().toString(Qt::ISODate));
    else
        boundary.insert(QStringLiteral("dateTime"), rfc3339(moment, zone));
    if (kind == WriteKind::update)
        boundary.insert(
            allDay ? QStringLiteral("dateTime") : QStringLiteral("date"), QJsonValue::Null);
    return boundary;
}
} // namespace

QDateTime parseTimestamp(const QString &text, const QTimeZone &zone)
{
    const QDateTime moment = parseIsoDateTime(text, zone);
    return moment.isValid() ? moment.toUTC() : QDateTime();
}

GoogleCalendar calendarFromResource(const QJsonObject &entry, const QDateTime &now)
{
    GoogleCalendar calendar;
    calendar.id = entry.value(QStringLiteral("id")).toString();
    calendar.summary = entry.value(QStringLiteral("summary")).toString();
    calendar.backgroundColor = entry.value(QStringLiteral("backgroundColor")).toString();
    calendar.accessRole = optionalText(entry, "accessRole");
    calendar.isSelected = true;
    calendar.createdDate = now;
    return calendar;
}

GoogleCalendarEvent eventFromResource(const QJsonObject &resource, const QTimeZone &zone)
{
    GoogleCalendarEvent event;
    event.id = resource.value(QStringLiteral("id")).toString();
    if (const auto created = optionalText(resource, "created"))
        event.created = dateComponents(parseTimestamp(*created, zone));
    if (const auto updated = optionalText(resource, "updated"))
        event.updated = dateComponents(parseTimestamp(*updated, zone));
    const QJsonObject start = resource.value(QStringLiteral("start")).toObject();
    const QJsonObject end = resource.value(QStringLiteral("end")).toObject();
    event.start = boundary(start, zone);
    event.end = boundary(end, zone);
    event.summary = optionalText(resource, "summary");
    event.status = googleCalendarEventStatus(resource.value(QStringLiteral("status")).toString())
                       .value_or(GoogleCalendarEventStatus::tentative);
    event.iCalUID = optionalText(resource, "iCalUID");
    event.description = optionalText(resource, "description");
    event.hangoutLink = optionalText(resource, "hangoutLink");
    event.location = optionalText(resource, "location");
    const QJsonArray overrides = resource.value(QStringLiteral("reminders"))
                                     .toObject()
                                     .value(QStringLiteral("overrides"))
                                     .toArray();
    const QJsonValue minutes = overrides.isEmpty()
        ? QJsonValue()
        : overrides.first().toObject().value(QStringLiteral("minutes"));
    event.reminderMinutes
        = minutes.isDouble() ? reminderMinutesFrom(minutes.toDouble()).value_or(30) : 30;
    event.isAllDay = start.contains(QStringLiteral("date")) && end.contains(QStringLiteral("date"));
    for (const QJsonValue &line : resource.value(QStringLiteral("recurrence")).toArray()) {
        if (line.isString() && !line.toString().trimmed().isEmpty())
            event.recurrence.append(line.toString());
    }
    event.recurringEventId = optionalText(resource, "recurringEventId");
    if (event.recurringEventId && event.recurringEventId->isEmpty())
        event.recurringEventId.reset();
    event.originalStartTime
        = boundary(resource.value(QStringLiteral("originalStartTime")).toObject(), zone);
    event.startTimeZone = optionalText(start, "timeZone");
    return event;
}

QUrlQuery dayWindowQuery(const QDateTime &start, const QDateTime &end, const QTimeZone &zone)
{
    const auto from = resolveLocalTime(start.toTimeZone(zone).date(), QTime(0, 0, 0), zone);
    const auto to = resolveLocalTime(end.toTimeZone(zone).date(), QTime(23, 59, 59), zone);
    QUrlQuery query;
    if (from)
        query.addQueryItem(QStringLiteral("timeMin"), rfc3339(*from, zone));
    if (to)
        query.addQueryItem(QStringLiteral("timeMax"), rfc3339(*to, zone));
    return query;
}

QJsonObject watchBody(const QString &channelId, const QString &calendarId, const QUrl &backendBase)
{
    return {{QStringLiteral("id"), channelId}, {QStringLiteral("type"), QStringLiteral("web_hook")},
        {QStringLiteral("address"), notificationAddress(backendBase).toString()},
        {QStringLiteral("token"), sha256Hex(calendarId)}};
}

Result<CalendarChannel> channelFromWatchAnswer(const QString &calendarId, const QJsonObject &answer)
{
    const QJsonValue id = answer.value(QStringLiteral("id"));
    const QJsonValue resourceId = answer.value(QStringLiteral("resourceId"));
    const QJsonValue expirationValue = answer.value(QStringLiteral("expiration"));
    double expiration = 0;
    bool haveExpiration = false;
    if (expirationValue.isDouble()) {
        expiration = expirationValue.toDouble();
        haveExpiration = true;
    } else if (expirationValue.isString()) {
        expiration = expirationValue.toString().toDouble(&haveExpiration);
    }
    if (!id.isString() || !resourceId.isString() || !haveExpiration)
        return failure(ErrorDomain::decoding, 0,
            QStringLiteral("The watch answer lacks its id, resourceId or expiration."));
    return CalendarChannel {calendarId, expiration, resourceId.toString(), id.toString()};
}

EventWrite eventWrite(
    const CalendarEventRequest &request, WriteKind kind, bool hasMeet, const QTimeZone &zone)
{
    EventWrite write;
    write.body.insert(QStringLiteral("summary"), request.title);
    if (request.description)
        write.body.insert(QStringLiteral("description"), *request.description);
    // A new event is made without a place; an edit carries the one the form holds.
    if (request.location && kind == WriteKind::update)
        write.body.insert(QStringLiteral("location"), *request.location);
    write.body.insert(
        QStringLiteral("start"), writeBoundary(request.startDate, request.isAllDay, kind, zone));
    QJsonObject end = writeBoundary(request.endDate, request.isAllDay, kind, zone);
    if (request.isAllDay) {
        // Google's all-day end is exclusive: a one-day event ends on the next day.
        const QDate startDay = request.startDate.toTimeZone(zone).date();
        const QDate endDay = request.endDate.toTimeZone(zone).date();
        if (endDay <= startDay)
            end.insert(QStringLiteral("date"), startDay.addDays(1).toString(Qt::ISODate));
    }
    write.body.insert(QStringLiteral("end"), end);
    write.body.insert(QStringLiteral("reminders"),
        QJsonObject {{QStringLiteral("useDefault"), false},
            {QStringLiteral("overrides"),
                QJsonArray {QJsonObject {{QStringLiteral("method"), QStringLiteral("email")},
                    {QStringLiteral("minutes"), static_cast<double>(request.reminderTime)}}}}});

    const QJsonObject createRequest {{QStringLiteral("createRequest"),
        QJsonObject {{QStringLiteral("requestId"), upperUuid()},
            {QStringLiteral("conferenceSolutionKey"),
                QJsonObject {{QStringLiteral("type"), QStringLiteral("hangoutsMeet")}}}}}};
    if (kind == WriteKind::create) {
        if (request.shouldCreateGoogleMeet) {
            write.body.insert(QStringLiteral("conferenceData"), createRequest);
            write.conferenceDataVersion = true;
        }
        return write;
    }
    // A conference the switch did not change stays as it is, whatever it is (an add-on's
    // join links included).
    if (request.shouldCreateGoogleMeet == request.hadGoogleMeet)
        return write;
    if (request.shouldCreateGoogleMeet) {
        // An existing link stays valid for the attendees: ask for a conference only when none.
        if (!hasMeet) {
            write.body.insert(QStringLiteral("conferenceData"), createRequest);
            write.conferenceDataVersion = true;
        }
    } else {
        write.body.insert(QStringLiteral("conferenceData"), QJsonValue::Null);
        write.conferenceDataVersion = true;
    }
    return write;
}

} // namespace tolvo::google
