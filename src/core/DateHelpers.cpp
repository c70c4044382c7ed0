#include "core/DateHelpers.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QStringList>

#include <limits>
#include <set>

namespace tolvo {

QString sha256Hex(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

std::optional<QDateTime> resolveLocalTime(QDate day, QTime time, const QTimeZone &zone)
{
    if (!day.isValid() || !time.isValid() || !zone.isValid())
        return std::nullopt;
    // The wall-clock reading as if it were UTC; subtracting an offset gives a candidate instant.
    const qint64 wall = QDateTime(day, time, Qt::UTC).toSecsSinceEpoch();
    const auto offsetAt = [&zone](qint64 secs) {
        return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(secs, Qt::UTC));
    };

    // Offsets can only change at transitions, and none is more than a day long in practice:
    // the offsets a day either side cover every reading of this wall time.
    std::set<int> offsets {offsetAt(wall - 86400), offsetAt(wall), offsetAt(wall + 86400)};
    std::optional<qint64> earliest;
    for (const int offset : offsets) {
        const qint64 candidate = wall - offset;
        if (offsetAt(candidate) == offset && (!earliest || candidate < *earliest))
            earliest = candidate;
    }
    if (earliest)
        return QDateTime::fromSecsSinceEpoch(*earliest, Qt::UTC).toTimeZone(zone);

    // No reading: the time lies in a gap. The first existing time after it is the transition.
    const auto transitions
        = zone.transitions(QDateTime::fromSecsSinceEpoch(wall - 2 * 86400, Qt::UTC),
            QDateTime::fromSecsSinceEpoch(wall + 2 * 86400, Qt::UTC));
    for (const auto &transition : transitions) {
        const qint64 at = transition.atUtc.toSecsSinceEpoch();
        const int before = offsetAt(at - 1);
        const int after = transition.offsetFromUtc;
        if (after > before && wall >= at + before && wall < at + after)
            return QDateTime::fromSecsSinceEpoch(at, Qt::UTC).toTimeZone(zone);
    }
    return std::nullopt;
}

QDateTime parseIsoDateTime(const QString &text, const QTimeZone &zone)
{
    const auto parse = [](const QString &candidate) {
        const QDateTime moment = QDateTime::fromString(candidate, Qt::ISODateWithMs);
        return moment.isValid() ? moment : QDateTime::fromString(candidate, Qt::ISODate);
    };
    const QDateTime moment = parse(text);
    if (moment.isValid() && moment.timeSpec() != Qt::LocalTime)
        return moment;
    // No offset: read the wall time as written (as UTC, which has no gaps), then place it.
    const QDateTime wall = parse(text + QLatin1Char('Z'));
    if (!wall.isValid())
        return {};
    return resolveLocalTime(wall.date(), wall.time(), zone).value_or(QDateTime());
}

namespace {
// An optional sign, then one or more ASCII digits, nothing else; within 64 bits.
std::optional<qint64> strictInteger(const QString &text)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[+-]?[0-9]+")));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}
} // namespace

std::optional<QDateTime> settingHour(
    const QDateTime &day, const QString &time, const QTimeZone &zone)
{
    if (!day.isValid())
        return std::nullopt;
    std::optional<qint64> hour;
    std::optional<qint64> minute;
    if (time.contains(QLatin1Char(':'))) {
        const QStringList pieces = time.split(QLatin1Char(':'));
        hour = strictInteger(pieces.first());
        minute = strictInteger(pieces.last());
    } else {
        hour = strictInteger(time);
        minute = 0;
    }
    if (!hour || !minute)
        return std::nullopt;
    if (*hour < 0 || *hour > 23 || *minute < 0 || *minute > 59)
        return std::nullopt;
    const QDate date = day.toTimeZone(zone).date();
    return resolveLocalTime(date, QTime(static_cast<int>(*hour), static_cast<int>(*minute)), zone);
}

QString timeFieldText(const QDateTime &moment, const QTimeZone &zone)
{
    return QLocale::c().toString(moment.toTimeZone(zone), QStringLiteral("HH:mm"));
}

AppDateFormatter::AppDateFormatter(QLocale locale, QTimeZone zone)
    : m_locale(std::move(locale))
    , m_zone(std::move(zone))
{
}

AppDateFormatter::AppDateFormatter(const CalendarContext &context)
    : AppDateFormatter(context.locale, context.zone)
{
}

AppDateFormatter AppDateFormatter::current()
{
    return AppDateFormatter(Dependencies::current<CalendarContext>());
}

QString AppDateFormatter::time(const QDateTime &moment) const
{
    return m_locale.toString(moment.toTimeZone(m_zone), QStringLiteral("HH:mm"));
}

QString AppDateFormatter::date(const QDateTime &moment) const
{
    // Qt has no single-"y" year pattern; "yyyy" prints the full year as "y" does elsewhere.
    return m_locale.toString(moment.toTimeZone(m_zone), QStringLiteral("d MMMM yyyy"));
}

} // namespace tolvo
