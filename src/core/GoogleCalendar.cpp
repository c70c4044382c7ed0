#include "core/GoogleCalendar.h"

#include "core/JsonFields.h"

namespace tolvo {

QJsonObject GoogleCalendar::toJson() const
{
    QJsonObject json;
    json::insertIdentity(json, *this);
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
    TRY(json::readIdentity(json, calendar));
    TRY_ASSIGN(calendar.summary, json::optionalString(json, "summary"));
    TRY_ASSIGN(calendar.backgroundColor, json::optionalString(json, "backgroundColor"));
    TRY_ASSIGN(calendar.accessRole, json::optionalString(json, "accessRole"));
    TRY_ASSIGN(calendar.isSelected, json::requiredBool(json, "isSelected"));
    TRY_ASSIGN(calendar.createdDate, json::requiredDate(json, "createdDate"));
    return calendar;
}

} // namespace tolvo
