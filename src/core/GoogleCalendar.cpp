#include "core/GoogleCalendar.h"

#include "core/JsonFields.h"

namespace tolvo {

QJsonObject GoogleCalendar::toJson() const
{
    QJsonObject json;
    json.insert(QStringLiteral("identifier"), identifier.toString(QUuid::WithoutBraces));
    json.insert(QStringLiteral("id"), id);
    json.insert(QStringLiteral("summary"), json::fromOptional(summary));
    json.insert(QStringLiteral("backgroundColor"), json::fromOptional(backgroundColor));
    json.insert(QStringLiteral("accessRole"), json::fromOptional(accessRole));
    json.insert(QStringLiteral("isSelected"), isSelected);
    json.insert(QStringLiteral("createdDate"), json::fromDate(createdDate));
    return json;
}

Result<GoogleCalendar> GoogleCalendar::fromJson(const QJsonObject &json)
{
    GoogleCalendar calendar;
    TRY_ASSIGN(const QString identifierText, json::requiredString(json, "identifier"));
    calendar.identifier = QUuid::fromString(identifierText);
    if (calendar.identifier.isNull())
        return failure(json::missing("identifier"));
    TRY_ASSIGN(calendar.id, json::requiredString(json, "id"));
    TRY_ASSIGN(calendar.summary, json::optionalString(json, "summary"));
    TRY_ASSIGN(calendar.backgroundColor, json::optionalString(json, "backgroundColor"));
    TRY_ASSIGN(calendar.accessRole, json::optionalString(json, "accessRole"));
    TRY_ASSIGN(calendar.isSelected, json::requiredBool(json, "isSelected"));
    TRY_ASSIGN(calendar.createdDate, json::requiredDate(json, "createdDate"));
    return calendar;
}

} // namespace tolvo
