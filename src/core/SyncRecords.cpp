#include "core/SyncRecords.h"

#include "core/JsonFields.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

namespace tolvo {

QDateTime CalendarChannel::expirationDate() const
{
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(expiration)), Qt::UTC);
}

QJsonObject CalendarChannel::toJson() const
{
    return QJsonObject {{QStringLiteral("calendarId"), calendarId},
        {QStringLiteral("expiration"), expiration}, {QStringLiteral("resourceId"), resourceId},
        {QStringLiteral("channelId"), channelId}};
}

Result<CalendarChannel> CalendarChannel::fromJson(const QJsonObject &json)
{
    CalendarChannel channel;
    TRY_ASSIGN(channel.calendarId, json::requiredString(json, "calendarId"));
    TRY_ASSIGN(channel.expiration, json::requiredDouble(json, "expiration"));
    TRY_ASSIGN(channel.resourceId, json::requiredString(json, "resourceId"));
    TRY_ASSIGN(channel.channelId, json::requiredString(json, "channelId"));
    return channel;
}

QJsonObject EventMapping::toJson() const
{
    QJsonObject json;
    json.insert(QStringLiteral("id"),
        id ? QJsonValue(static_cast<double>(*id)) : QJsonValue(QJsonValue::Null));
    json.insert(QStringLiteral("ekEventIdentifier"), ekEventIdentifier);
    json.insert(QStringLiteral("googleEventId"), googleEventId);
    json.insert(QStringLiteral("lastSynchronizedDate"), json::fromDate(lastSynchronizedDate));
    return json;
}

Result<EventMapping> EventMapping::fromJson(const QJsonObject &json)
{
    EventMapping mapping;
    const QJsonValue idValue = json.value(QStringLiteral("id"));
    if (idValue.isDouble())
        mapping.id = idValue.toInteger();
    else if (!idValue.isUndefined() && !idValue.isNull())
        return failure(json::missing("id"));
    TRY_ASSIGN(mapping.ekEventIdentifier, json::requiredString(json, "ekEventIdentifier"));
    TRY_ASSIGN(mapping.googleEventId, json::requiredString(json, "googleEventId"));
    TRY_ASSIGN(mapping.lastSynchronizedDate, json::requiredDate(json, "lastSynchronizedDate"));
    return mapping;
}

QByteArray SSEEvent::toJson() const
{
    QJsonObject json {{QStringLiteral("state"), state}};
    if (channelId)
        json.insert(QStringLiteral("channelId"), *channelId);
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

Result<SSEEvent> SSEEvent::fromJson(const QByteArray &text)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return failure(ErrorDomain::decoding, 0, QStringLiteral("The event is not a JSON object."));
    const QJsonObject json = document.object();
    SSEEvent event;
    TRY_ASSIGN(event.state, json::requiredString(json, "state"));
    TRY_ASSIGN(event.channelId, json::optionalString(json, "channelId"));
    return event;
}

namespace {
const char *describe(CalendarSyncError::Kind kind)
{
    switch (kind) {
    case CalendarSyncError::Kind::authenticationFailed: return "Authentication failed.";
    case CalendarSyncError::Kind::eventSyncFailed: return "Event sync failed.";
    case CalendarSyncError::Kind::watchSetupFailed: return "The push channel could not be set up.";
    case CalendarSyncError::Kind::sseConnectionFailed:
        return "The event stream could not be opened.";
    case CalendarSyncError::Kind::invalidEventData: return "The event data is invalid.";
    case CalendarSyncError::Kind::calendarNotFound: return "The calendar was not found.";
    case CalendarSyncError::Kind::eventNotFound: return "The event was not found.";
    }
    return "Sync failed.";
}
} // namespace

Error CalendarSyncError::toError() const
{
    const QString text = message.isEmpty() ? QString::fromLatin1(describe(kind)) : message;
    return Error::make(ErrorDomain::sync, static_cast<int>(kind), text);
}

std::optional<CalendarSyncError> CalendarSyncError::fromError(const Error &error)
{
    if (error.domain != ErrorDomain::sync || error.code < 0
        || error.code > static_cast<int>(Kind::eventNotFound))
        return std::nullopt;
    return CalendarSyncError {static_cast<Kind>(error.code), error.message};
}

} // namespace tolvo
