#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QTimeZone>

namespace tolvo::test {

// How the Google fake turns a series master into the instances it serves with
// singleEvents=true: the rule lines (RRULE, EXDATE, RDATE) expanded on the wall time of the
// master's start zone, so a weekly 09:30 stays at 09:30 across a daylight-saving change.
struct SeriesOccurrence
{
    QDateTime start; // the original start, UTC (for an all-day series the date at 00:00 UTC)
    QString key; // the instance id suffix: 20261216T093000Z, or 20261216 for all-day
};

// The occurrences of the series whose first start is `first` (all-day when `allDay`), with
// original starts before `before`, earliest first; at most `limit` of them. Lines the expander
// cannot read are passed over, as Google would refuse them on write.
QList<SeriesOccurrence> expandSeries(const QDateTime &first, bool allDay, const QTimeZone &zone,
    const QStringList &recurrence, const QDateTime &before, int limit = 1000);

// The instance resource of `master` for one occurrence: the master's fields without its
// recurrence, its own id, `recurringEventId`, `originalStartTime` and the start and end moved
// to the occurrence with the master's duration.
QJsonObject seriesInstance(const QJsonObject &master, const SeriesOccurrence &occurrence);

// The occurrences of a master resource, as `expandSeries` reads them from its start.
QList<SeriesOccurrence> occurrencesOf(const QJsonObject &master, const QDateTime &before);

} // namespace tolvo::test
