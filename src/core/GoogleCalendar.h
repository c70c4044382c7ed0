#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QHashFunctions>
#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

namespace tolvo {

// One calendar of the account's calendar list. Identified, compared and hashed by `id` only.
struct GoogleCalendar
{
    QUuid identifier = QUuid::createUuid();
    QString id;
    std::optional<QString> summary;
    std::optional<QString> backgroundColor;
    std::optional<QString> accessRole;
    bool isSelected = true;
    // When the list first showed the calendar (the mapping stamps it from its clock). A calendar
    // made in code starts at the epoch, a fixed instant that still codes and decodes.
    QDateTime createdDate = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);

    QJsonObject toJson() const;
    static Result<GoogleCalendar> fromJson(const QJsonObject &json);

    friend bool operator==(const GoogleCalendar &a, const GoogleCalendar &b)
    {
        return a.id == b.id;
    }
};

inline size_t qHash(const GoogleCalendar &calendar, size_t seed = 0)
{
    return qHash(calendar.id, seed);
}

} // namespace tolvo

template<> struct std::hash<tolvo::GoogleCalendar>
{
    size_t operator()(const tolvo::GoogleCalendar &calendar) const { return qHash(calendar.id); }
};
