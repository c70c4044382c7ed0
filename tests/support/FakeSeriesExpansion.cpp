#include "support/FakeSeriesExpansion.h"

#include <libical/ical.h>

#include <QJsonArray>

#include <algorithm>

namespace tolvo::test {

namespace {
QString utcKey(const QDateTime &start, bool allDay)
{
    if (allDay)
        return start.date().toString(QStringLiteral("yyyyMMdd"));
    return start.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

// A wall time in `zone`; Qt moves a time inside a spring-forward gap forward.
QDateTime wallTime(const icaltimetype &time, bool allDay, const QTimeZone &zone)
{
    const QDate date(time.year, time.month, time.day);
    if (allDay || time.is_date)
        return QDateTime(date, QTime(0, 0), Qt::UTC);
    const QTime clock(time.hour, time.minute, time.second);
    return QDateTime(date, clock, zone).toUTC();
}

// One date or date-time value of an EXDATE, RDATE or UNTIL, read in `zone` unless it names UTC
// (a trailing Z) or its own TZID.
QDateTime valueMoment(const QString &value, const QString &tzid, bool allDay, const QTimeZone &zone)
{
    const icaltimetype time = icaltime_from_string(value.toLatin1().constData());
    if (icaltime_is_null_time(time))
        return {};
    if (allDay || time.is_date)
        return QDateTime(QDate(time.year, time.month, time.day), QTime(0, 0), Qt::UTC);
    if (value.endsWith(QLatin1Char('Z')))
        return QDateTime(QDate(time.year, time.month, time.day),
            QTime(time.hour, time.minute, time.second), Qt::UTC);
    const QTimeZone own = tzid.isEmpty() ? zone : QTimeZone(tzid.toUtf8());
    return wallTime(time, false, own.isValid() ? own : zone);
}

struct Line
{
    QString name;
    QString tzid;
    QString value;
};

Line splitLine(const QString &text)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return {};
    const QStringList head = text.left(colon).split(QLatin1Char(';'));
    Line line {head.first().trimmed().toUpper(), {}, text.mid(colon + 1).trimmed()};
    for (const QString &parameter : head.mid(1)) {
        if (parameter.startsWith(QLatin1String("TZID="), Qt::CaseInsensitive))
            line.tzid = parameter.mid(5);
    }
    return line;
}

QList<QDateTime> ruleStarts(const QString &rule, const QDateTime &first, bool allDay,
    const QTimeZone &zone, const QDateTime &before, int limit)
{
    icalrecurrencetype recurrence = icalrecurrencetype_from_string(rule.toLatin1().constData());
    if (recurrence.freq == ICAL_NO_RECURRENCE)
        return {};
    // UNTIL is applied here, as a moment: libical would compare it with floating wall times.
    QDateTime until;
    if (!icaltime_is_null_time(recurrence.until)) {
        char *text = icaltime_as_ical_string_r(recurrence.until);
        const QString untilText = QString::fromLatin1(text);
        icalmemory_free_buffer(text);
        until = valueMoment(untilText, {}, allDay, zone);
        if (recurrence.until.is_date && !allDay)
            until = QDateTime(until.date(), QTime(23, 59, 59), zone).toUTC();
        recurrence.until = icaltime_null_time();
    }
    const QDateTime wall = allDay ? first : first.toTimeZone(zone);
    icaltimetype start = icaltime_null_time();
    start.year = wall.date().year();
    start.month = wall.date().month();
    start.day = wall.date().day();
    start.is_date = allDay ? 1 : 0;
    if (!allDay) {
        start.hour = wall.time().hour();
        start.minute = wall.time().minute();
        start.second = wall.time().second();
    }
    icalrecur_iterator *iterator = icalrecur_iterator_new(recurrence, start);
    if (!iterator)
        return {};
    QList<QDateTime> starts;
    for (icaltimetype next = icalrecur_iterator_next(iterator);
         !icaltime_is_null_time(next) && starts.size() < limit;
         next = icalrecur_iterator_next(iterator)) {
        const QDateTime moment = wallTime(next, allDay, zone);
        if ((until.isValid() && moment > until) || (before.isValid() && moment >= before))
            break;
        starts.append(moment);
    }
    icalrecur_iterator_free(iterator);
    return starts;
}

QTimeZone zoneOf(const QJsonObject &time)
{
    const QTimeZone named(time.value(QStringLiteral("timeZone")).toString().toUtf8());
    if (named.isValid())
        return named;
    const QDateTime moment = QDateTime::fromString(
        time.value(QStringLiteral("dateTime")).toString(), Qt::ISODateWithMs);
    return QTimeZone(moment.isValid() ? moment.offsetFromUtc() : 0);
}

QJsonObject boundaryAt(const QDateTime &moment, bool allDay, const QJsonObject &like)
{
    if (allDay)
        return {{QStringLiteral("date"), moment.date().toString(Qt::ISODate)}};
    const QDateTime local = moment.toTimeZone(zoneOf(like));
    QJsonObject time {{QStringLiteral("dateTime"),
        local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate)}};
    if (like.contains(QStringLiteral("timeZone")))
        time.insert(QStringLiteral("timeZone"), like.value(QStringLiteral("timeZone")));
    return time;
}

QDateTime startOf(const QJsonObject &time)
{
    if (time.contains(QStringLiteral("date")))
        return QDateTime(
            QDate::fromString(time.value(QStringLiteral("date")).toString(), Qt::ISODate),
            QTime(0, 0), Qt::UTC);
    return QDateTime::fromString(
        time.value(QStringLiteral("dateTime")).toString(), Qt::ISODateWithMs)
        .toUTC();
}
} // namespace

QList<SeriesOccurrence> expandSeries(const QDateTime &first, bool allDay, const QTimeZone &zone,
    const QStringList &recurrence, const QDateTime &before, int limit)
{
    QList<QDateTime> starts;
    QList<QDateTime> excluded;
    bool ruled = false;
    for (const QString &text : recurrence) {
        const Line line = splitLine(text);
        if (line.name == u"RRULE") {
            starts += ruleStarts(line.value, first, allDay, zone, before, limit);
            ruled = true;
            continue;
        }
        for (const QString &value : line.value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QDateTime moment = valueMoment(value.trimmed(), line.tzid, allDay, zone);
            if (!moment.isValid())
                continue;
            if (line.name == u"EXDATE")
                excluded.append(moment);
            else if (line.name == u"RDATE" && (!before.isValid() || moment < before))
                starts.append(moment);
        }
    }
    // The first start always belongs to the series, as in iCalendar.
    if (!ruled && (!before.isValid() || first < before))
        starts.prepend(allDay ? QDateTime(first.date(), QTime(0, 0), Qt::UTC) : first.toUTC());
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    QList<SeriesOccurrence> occurrences;
    for (const QDateTime &start : std::as_const(starts)) {
        if (excluded.contains(start) || occurrences.size() >= limit)
            continue;
        occurrences.append({start, utcKey(start, allDay)});
    }
    return occurrences;
}

QList<SeriesOccurrence> occurrencesOf(const QJsonObject &master, const QDateTime &before)
{
    const QJsonObject start = master.value(QStringLiteral("start")).toObject();
    const bool allDay = start.contains(QStringLiteral("date"));
    QStringList lines;
    for (const QJsonValue &line : master.value(QStringLiteral("recurrence")).toArray())
        lines.append(line.toString());
    return expandSeries(startOf(start), allDay, zoneOf(start), lines, before);
}

QJsonObject seriesInstance(const QJsonObject &master, const SeriesOccurrence &occurrence)
{
    const QJsonObject start = master.value(QStringLiteral("start")).toObject();
    const QJsonObject end = master.value(QStringLiteral("end")).toObject();
    const bool allDay = start.contains(QStringLiteral("date"));
    const qint64 length = startOf(start).secsTo(startOf(end));
    QJsonObject instance = master;
    instance.remove(QStringLiteral("recurrence"));
    const QString seriesId = master.value(QStringLiteral("id")).toString();
    instance.insert(QStringLiteral("id"), seriesId + QLatin1Char('_') + occurrence.key);
    instance.insert(QStringLiteral("recurringEventId"), seriesId);
    const QJsonObject original = boundaryAt(occurrence.start, allDay, start);
    instance.insert(QStringLiteral("originalStartTime"), original);
    instance.insert(QStringLiteral("start"), original);
    instance.insert(
        QStringLiteral("end"), boundaryAt(occurrence.start.addSecs(length), allDay, end));
    return instance;
}

} // namespace tolvo::test
