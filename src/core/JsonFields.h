#pragma once

#include "core/DateHelpers.h"
#include "core/Result.h"

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>

// Small helpers for records coded as JSON objects whose keys are their field names.
namespace tolvo::json {

inline QJsonValue fromOptional(const std::optional<QString> &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

inline QJsonValue fromDate(const QDateTime &value)
{
    return value.toUTC().toString(Qt::ISODateWithMs);
}

inline QJsonValue fromUuid(const QUuid &value)
{
    return value.toString(QUuid::WithoutBraces);
}

inline QJsonValue fromOptionalDate(const std::optional<QDateTime> &value)
{
    return value ? fromDate(*value) : QJsonValue(QJsonValue::Null);
}

inline Error missing(const char *key)
{
    return Error::make(ErrorDomain::decoding, 0,
        QStringLiteral("Missing or invalid value for \"%1\".").arg(QLatin1String(key)));
}

inline Result<QString> requiredString(const QJsonObject &json, const char *key)
{
    const QJsonValue value = json.value(QLatin1String(key));
    if (!value.isString())
        return failure(missing(key));
    return value.toString();
}

// Absent and null both read as nothing; any other non-text value is an error.
inline Result<std::optional<QString>> optionalString(const QJsonObject &json, const char *key)
{
    const QJsonValue value = json.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return std::optional<QString>();
    if (!value.isString())
        return failure(missing(key));
    return std::optional<QString>(value.toString());
}

inline Result<bool> requiredBool(const QJsonObject &json, const char *key)
{
    const QJsonValue value = json.value(QLatin1String(key));
    if (!value.isBool())
        return failure(missing(key));
    return value.toBool();
}

inline Result<double> requiredDouble(const QJsonObject &json, const char *key)
{
    const QJsonValue value = json.value(QLatin1String(key));
    if (!value.isDouble())
        return failure(missing(key));
    return value.toDouble();
}

// The null UUID is refused like text that is no UUID: a stored record never carries it.
inline Result<QUuid> requiredUuid(const QJsonObject &json, const char *key)
{
    TRY_ASSIGN(const QString text, requiredString(json, key));
    const QUuid uuid = QUuid::fromString(text);
    if (uuid.isNull())
        return failure(missing(key));
    return uuid;
}

inline Result<QDateTime> dateFromText(const QString &text, const char *key)
{
    // Dates are written in UTC; one without an offset is read as UTC too, never in the machine's
    // zone.
    const QDateTime date = parseIsoDateTime(text, QTimeZone::utc());
    if (!date.isValid())
        return failure(missing(key));
    return date.toUTC();
}

inline Result<QDateTime> requiredDate(const QJsonObject &json, const char *key)
{
    TRY_ASSIGN(const QString text, requiredString(json, key));
    return dateFromText(text, key);
}

inline Result<std::optional<QDateTime>> optionalDate(const QJsonObject &json, const char *key)
{
    TRY_ASSIGN(const auto text, optionalString(json, key));
    if (!text)
        return std::optional<QDateTime>();
    TRY_ASSIGN(const QDateTime date, dateFromText(*text, key));
    return std::optional<QDateTime>(date);
}

// The identity a Google record carries: `identifier`, the UUID that tells two fetches of one
// item apart, and `id`, Google's own.
template<typename Record> void insertIdentity(QJsonObject &json, const Record &record)
{
    json.insert(QStringLiteral("identifier"), fromUuid(record.identifier));
    json.insert(QStringLiteral("id"), record.id);
}

template<typename Record> VoidResult readIdentity(const QJsonObject &json, Record &record)
{
    TRY_ASSIGN(record.identifier, requiredUuid(json, "identifier"));
    TRY_ASSIGN(record.id, requiredString(json, "id"));
    return {};
}

} // namespace tolvo::json
